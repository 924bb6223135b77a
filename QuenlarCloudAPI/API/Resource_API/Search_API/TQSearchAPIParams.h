// TQSearchAPIParams: a search: its query in the search query syntax
// (NSString_SearchQueryHelperMethods), its sort and its paging. The local search, the media lists
// and the media collections read it; TQSearchAPI sends it to the server. Every field starts empty
// or 0; a copy (copy()) carries the access token alone.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "QuenlarCloudAPI/API/Resource_API/TQResourceAPIParams.h"

class TQSearchAPIParams : public TQResourceAPIParams {
 public:
  TQSearchAPIParams() = default;

  // The query, e.g. "contentType:image*"; required.
  std::string query;
  // The sort for the server: "<key>+asc" or "<key>+desc"; empty for none.
  std::string sort;
  // The sort the local search applies: its last key, ascending when mapped to true. Meant to be
  // set together with `sort` through setSortKey().
  std::map<std::string, bool> sortDict;
  // Page number (from 1); 0 means not given.
  int32_t page = 0;
  // Index of the first item (the local search reads it as a page number when no page is given);
  // 0 means not given.
  int32_t start = 0;
  // Items per page; 0 means not given. Required when page or start is above 1.
  int32_t count = 0;

  // Sets `sort` to "<key>+asc" or "<key>+desc" and `sortDict` to that one key.
  void setSortKey(const std::string& key, bool isAscending);

  // In this order: the access token; a non-empty query (key "query"); then "Negative page",
  // "Negative start", "Positive count required" and "Negative count".
  bool validateParameters() const override;

 protected:
  std::shared_ptr<TQResourceAPIParams> newInstance() const override {
    return std::make_shared<TQSearchAPIParams>();
  }
};
