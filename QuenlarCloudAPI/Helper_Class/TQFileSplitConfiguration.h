// TQFileSplitConfiguration: what TQFileSplitter is to cut: the source file and the bytes per
// chunk. A plain record; fill it before handing it over.
#pragma once

#include <cstdint>
#include <string>

class TQFileSplitConfiguration {
 public:
  // Bytes per chunk; a split with a size below 1 fails.
  int64_t chunkSize = 0;
  // Path of the source file.
  std::string filePath;
};
