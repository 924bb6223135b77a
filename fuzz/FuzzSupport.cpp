// The set-up every fuzz target shares, run by libFuzzer once per process.
#include "fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
  fuzz::initialise();
  return 0;
}
