// TQMetaDataAPIParams: the record of the metadata listing: which folder to list and how to page,
// filter and sort its children. Every field starts empty, false or 0, which lists the account
// root; a copy (copy()) carries the access token alone.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "QuenlarCloudAPI/API/Resource_API/TQResourceAPIParams.h"

class TQMetaDataAPIParams : public TQResourceAPIParams {
 public:
  TQMetaDataAPIParams() = default;

  // The folder to list, beginning with "/"; empty lists the account root.
  std::string path;
  // Also list deleted items.
  bool includeDeleted = false;
  // A sort string handed to the server ("name+asc"); empty for the server's own order.
  std::string sort;
  // Page number (from 1); 0 means not given.
  int32_t page = 0;
  // Index of the first item, used only when no page is given; 0 means not given.
  int32_t start = 0;
  // Items per page; 0 means not given. Required when page or start is above 1.
  int32_t count = 0;
  // "file" or "folder" to list only files or only folders; empty lists both.
  std::string filter;

  // In this order: the access token; a non-empty filter other than "file" or "folder" (exact
  // case; key "filter"); then "Negative page", "Negative start", "Positive count required" (page
  // or start above 1 without a count) and "Negative count".
  bool validateParameters() const override;

 protected:
  std::shared_ptr<TQResourceAPIParams> newInstance() const override {
    return std::make_shared<TQMetaDataAPIParams>();
  }
};
