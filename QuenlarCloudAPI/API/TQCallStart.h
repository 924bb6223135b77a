// TQCallStart: how a call is started. A data task on the default session, or a download or upload
// task on the background session with a progress handler (run on the delegate queue). Both roads,
// the single call and the batch, start calls through one of these.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <utility>

#include "QuenlarCloudAPI/Platform/URL.h"

// Bytes in this event, bytes so far, bytes expected (-1 when unknown).
using TQAPIProgressHandler =
    std::function<void(int64_t bytes, int64_t totalBytes, int64_t totalBytesExpected)>;

struct TQCallStart {
  enum class Kind { Data, Download, Upload };

  static TQCallStart data() { return {}; }
  static TQCallStart download(TQAPIProgressHandler progress) {
    return {Kind::Download, std::move(progress), std::nullopt};
  }
  static TQCallStart upload(tq::URL fileURL, TQAPIProgressHandler progress) {
    return {Kind::Upload, std::move(progress), std::move(fileURL)};
  }

  Kind kind = Kind::Data;
  TQAPIProgressHandler progressHandler;
  // The file an upload sends; nullopt for the other kinds.
  std::optional<tq::URL> fileURL;
};
