// TQFileSplitter: cuts a local file into numbered chunk files for a chunked upload. One shared
// object without state (sharedInstance(), made once, safe from any thread).
//
// Each split writes into a directory of its own, made for it inside the Documents directory, so
// splits that run at the same time (even of sources with the same name) never share a chunk file,
// and no file of the host's in Documents is ever written or removed. The directory is named and
// locked as TQLibraryFiles says; each chunk record holds the lock (directoryLock), so whoever
// removes the directory keeps a record's lock until it is gone. Chunk files are named
// "<base>(<n>)" (chunkBaseName()), which always fits the file system's 255-byte name limit. Only
// one chunk's bytes move at a time, and each chunk file appears whole or not at all (written under
// a temporary name, then renamed). The source is only read. Whoever receives the chunk files owns
// them and their directory (the parent of each chunkFilePath).
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "QuenlarCloudAPI/Helper_Class/TQFileSplitConfiguration.h"
#include "QuenlarCloudAPI/Helper_Class/TQFileSplitInfo.h"
#include "QuenlarCloudAPI/Platform/URLError.h"

// Receives a split's chunk files, highest chunk number first, and no error; or no chunk file and
// the error that ended the split.
using TQFileSplitCompletionHandler = std::function<void(
    std::vector<std::shared_ptr<TQFileSplitInfo>> chunks, std::optional<tq::URLError> error)>;

class TQFileSplitter {
  struct Key {};

 public:
  // The base name used when the source's name gives none (it begins with a dot, say).
  static constexpr const char* kFallbackBaseName = "chunk";
  // The longest base name in bytes: room is left for "(<n>)" with the largest chunk number.
  static constexpr size_t kMaximumBaseNameBytes = 255 - sizeof("(2147483647)") + 1;

  explicit TQFileSplitter(Key /*key*/) {}
  TQFileSplitter(const TQFileSplitter&) = delete;
  TQFileSplitter& operator=(const TQFileSplitter&) = delete;

  static std::shared_ptr<TQFileSplitter> sharedInstance();

  // Returns at once; the split runs as one task on the global queue, and the handler runs there
  // too, exactly once (an empty handler means nothing is done). The source is cut into chunks of
  // `chunkSize` bytes (the last one shorter), written and reported last chunk first; an empty
  // source gives no chunk file and no error. The split fails, leaving no chunk file behind, when
  // there is no configuration, the chunk size is below 1, the source cannot be read (or turns out
  // shorter than its size said), or a chunk file cannot be written.
  void splitFileWithConfiguration(std::shared_ptr<TQFileSplitConfiguration> configuration,
                                  TQFileSplitCompletionHandler completionHandler) const;

  // The Documents directory followed by chunkBaseName(sourcePath): where chunk files of the
  // source would be named if splits had no directory of their own.
  std::string chunkFileName(std::string_view sourcePath) const;

  // The name chunk files of `sourcePath` start with: its last path component, percent-decoded
  // (unchanged when that fails), up to its first dot; a "/" or NUL the decoding brought in becomes
  // "_", and an empty result becomes kFallbackBaseName, so the name never leaves its directory.
  // A longer name is cut to kMaximumBaseNameBytes, at the start of a UTF-8 character.
  static std::string chunkBaseName(std::string_view sourcePath);
};
