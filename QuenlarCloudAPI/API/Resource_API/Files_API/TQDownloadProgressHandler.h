// The progress handler type of the file download.
#pragma once

#include <cstdint>
#include <functional>

// Receives a file download's progress on the main queue: the bytes written so far and the bytes
// expected in all (-1 while the server has not said), as the transfer reports them.
using TQDownloadProgressHandler =
    std::function<void(int64_t totalBytesWritten, int64_t totalBytesExpectedToWrite)>;
