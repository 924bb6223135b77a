// TQFileSplitInfo: one chunk file a split wrote. A plain record.
#pragma once

#include <cstdint>
#include <string>

class TQFileSplitInfo {
 public:
  // Path of the source file.
  std::string masterFilePath;
  // Path of this chunk file.
  std::string chunkFilePath;
  // Number of the chunk, counted from 1 in file order (not a byte position).
  int32_t offset = 0;
};
