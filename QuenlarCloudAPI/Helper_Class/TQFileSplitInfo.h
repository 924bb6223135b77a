// TQFileSplitInfo: one chunk file a split wrote. A plain record.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "QuenlarCloudAPI/Platform/FileSystem.h"

class TQFileSplitInfo {
 public:
  // Path of the source file.
  std::string masterFilePath;
  // Path of this chunk file.
  std::string chunkFilePath;
  // Number of the chunk, counted from 1 in file order (not a byte position).
  int32_t offset = 0;
  // The advisory lock of the directory the chunk file lies in, shared by a split's records: while
  // one is held, no process takes the directory for a leftover of a killed one.
  std::shared_ptr<const tq::FileDescriptor> directoryLock;
};
