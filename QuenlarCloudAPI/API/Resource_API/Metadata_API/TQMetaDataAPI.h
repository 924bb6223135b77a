// TQMetaDataAPI: GET <base>/cloud/1/metadata[<path>][?<query>], one folder of the account with its
// sub-folders and files; without a path, the account root, whose sub-folders are the virtual
// folders. Runs on the default session; its handler runs on that session's delegate queue. Its
// record is a TQMetaDataAPIParams.
#pragma once

#include <string>
#include <string_view>

#include "QuenlarCloudAPI/API/Resource_API/Metadata_API/TQMetaDataAPIParams.h"
#include "QuenlarCloudAPI/API/TQAPI.h"

class TQMetaDataAPI : public TQAPI {
 public:
  using TQAPI::TQAPI;

  // Query pairs, each only when it says something: "include_deleted=1", "sort", "page" (page > 0),
  // "start" (no page, start > 0), "count" (count > 0) and "filter", in that order.
  void prepareQuery() override;

  // `path` as it is appended to the endpoint: encoded as a URL query would be, and with "?"
  // encoded too, so that every character of a name stays in the path ("/a?b" lists "a?b").
  static std::string encodedPath(std::string_view path);
};
