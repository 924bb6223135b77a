// TQSearchAPI: GET <base>/cloud/1/search with the query, sort, page and count of a
// TQSearchAPIParams: the server's own search. No facade operation sends it (the library's
// searches run on the local store); a host that does registers and starts it as the facade does
// (TQAPISDK::registerAndStart), so that its session events reach it. Runs on the default session;
// the handler receives the outcome unparsed, on that session's delegate queue.
#pragma once

#include "QuenlarCloudAPI/API/Resource_API/Search_API/TQSearchAPIParams.h"
#include "QuenlarCloudAPI/API/TQAPI.h"

class TQSearchAPI : public TQAPI {
 public:
  using TQAPI::TQAPI;

  // Query pairs: "query" (always), "sort" (when given), "page" (page > 0) and "count"
  // (count > 0), in that order; "start" is never sent.
  void prepareQuery() override;
};
