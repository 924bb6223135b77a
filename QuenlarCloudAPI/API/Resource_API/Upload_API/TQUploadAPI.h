// TQUploadAPI: POST of a file's bytes to the upload URL the intent answered, with "checksum"
// (whole file) or "offset" (the chunk's number, chunked upload) added to its query. The body is
// the file, sent as an upload task on the background session (TQCallStart::upload); its handler
// runs on that session's delegate queue. Expected status: 201. Its record is a TQUploadAPIParams.
#pragma once

#include <string>
#include <string_view>

#include "QuenlarCloudAPI/API/TQAPI.h"

class TQUploadAPI : public TQAPI {
 public:
  using TQAPI::TQAPI;

  // Headers "Authorization" and "Content-Type: application/octet-stream"; no "Accept".
  void prepareQuery() override;

  // `serverURL` with "name=value" added to its query: after "?" when it has none yet, else after
  // "&" (nothing more when it already ends in "?" or "&"), before any fragment. The server's own
  // text is kept byte for byte: an escape it wrote ("%2F") is not escaped again.
  static std::string urlByAppendingParameter(std::string_view serverURL, std::string_view name,
                                             std::string_view value);
};
