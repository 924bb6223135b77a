// TQThumbnailAPI: GET <base>/cloud/1/thumbnails/<contentToken>?size=<size> (or ?tw=<w>&th=<h>
// when no size is named), one thumbnail of a file. Started as a download task on the background
// session, so the body lands in a download file in Documents named after the content token; its
// handler runs on that session's delegate queue. Its record is a TQThumbnailAPIParams.
#pragma once

#include "QuenlarCloudAPI/API/Resource_API/Thumbnail_API/TQThumbnailAPIParams.h"
#include "QuenlarCloudAPI/API/TQAPI.h"

class TQThumbnailAPI : public TQAPI {
 public:
  using TQAPI::TQAPI;

  // The content token goes into the URL's path with "?" and "#" encoded, so that no token can
  // cut the path short; the size is sent as the host wrote it (validation allows only xs, s, m).
  void prepareQuery() override;
};
