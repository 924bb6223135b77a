// TQGetTagsAPI: GET <base>/cloud/1/tags<path>, the tags of one resource. Runs on the default
// session; its handler runs on that session's delegate queue. Its record is a TQGetTagsAPIParams.
// Single calls only: it has no response operation.
#pragma once

#include "QuenlarCloudAPI/API/Resource_API/Tags_API/TQGetTagsAPIParams.h"
#include "QuenlarCloudAPI/API/TQAPI.h"

class TQGetTagsAPI : public TQAPI {
 public:
  using TQAPI::TQAPI;

  // The path follows the endpoint directly, encoded as the metadata listing encodes its path, so
  // a "?" or "#" in a name stays part of the path. The request carries "Content-Type:
  // application/json" although it has no body: servers may rely on receiving it.
  void prepareQuery() override;
};
