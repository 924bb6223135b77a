// What the fuzz targets share: how a broken promise stops the run, a guard that turns an escaping
// exception into a crash that libFuzzer keeps, and a private scratch directory.
#pragma once

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <string>
#include <string_view>

#include "QuenlarCloudAPI/Platform/Environment.h"
#include "QuenlarCloudAPI/Platform/SystemLog.h"

namespace fuzz {

// Names the promise on stderr, then traps: libFuzzer saves the input as a crash reproducer.
[[noreturn]] inline void fail(std::string_view promise) {
  std::fprintf(stderr, "\nbroken promise: %.*s\n", static_cast<int>(promise.size()),
               promise.data());
  __builtin_trap();
}

inline void check(bool condition, std::string_view promise) {
  if (!condition) {
    fail(promise);
  }
}

// Runs one input through `body`. Every reader under test promises not to throw on content, so
// an exception that gets out is a finding, reported with its message.
template <class Body>
void guarded(std::string_view what, const Body& body) {
  try {
    body();
  } catch (const std::exception& error) {
    fail(std::string(what) + " threw: " + error.what());
  } catch (...) {
    fail(std::string(what) + " threw a non-standard exception");
  }
}

// A directory of this process's own, removed at a normal exit (scripts/fuzz also points TMPDIR
// at a directory it removes, for runs that end in a crash). The library's Documents and temporary
// directories are pointed into it, so nothing a target touches lands outside it.
inline const std::filesystem::path& scratchDirectory() {
  // Never destroyed, so the exit handler below can still read it.
  static const auto* const path = [] {
    std::string pattern = (std::filesystem::temp_directory_path() / "quenlar-fuzz-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
      fail("a scratch directory can be made");
    }
    auto* made = new std::filesystem::path(pattern);
    tq::Environment::setDocumentsDirectory(*made / "Documents");
    tq::Environment::setTemporaryDirectory(*made / "tmp");
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(scratchDirectory(), ignored);
    });
    return made;
  }();
  return *path;
}

// Once per process: the scratch directory, and a silent system log (corrupt inputs are logged
// by design, and a line per input would drown libFuzzer's own output).
inline void initialise() {
  scratchDirectory();
  tq::setSystemLogSink([](std::string_view /*line*/) {});
}

inline std::string_view asText(const uint8_t* data, std::size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

// Targets that read both raw text and inputs they build themselves let the first byte choose:
// even, the rest goes to `raw` as text; odd, to `built` as a provider of structured values.
template <class Raw, class Built>
int splitOnFirstByte(const uint8_t* data, std::size_t size, std::string_view rawWhat,
                     const Raw& raw, std::string_view builtWhat, const Built& built) {
  if (size == 0) {
    return 0;
  }
  if ((data[0] & 1U) == 0) {
    guarded(rawWhat, [&] { raw(asText(data + 1, size - 1)); });
    return 0;
  }
  FuzzedDataProvider input(data + 1, size - 1);
  guarded(builtWhat, [&] { built(input); });
  return 0;
}

}  // namespace fuzz
