// TQGetTrashAPIParams: the host's record of a trash listing (TQAPISDK::fetchTrash()) and, copied
// once per virtual folder, the record of each folder's TQGetTrashAPI call. The paging fields are
// never sent: the facade pages the merged listing in memory.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "QuenlarCloudAPI/API/Resource_API/TQResourceAPIParams.h"

class TQGetTrashAPIParams : public TQResourceAPIParams {
 public:
  TQGetTrashAPIParams() = default;

  // The virtual folder whose trash one call lists. The facade fills it on each per-folder copy,
  // so a value the host sets is not used.
  std::string virtualfolder;
  // "file" or "folder" to list only one kind; empty lists both.
  std::string filter;
  // "true" or "false"; empty leaves it to the server.
  std::string deep;
  // A sort text handed to the server ("name+asc"); empty for the server's own order.
  std::string sort;
  // Page number (from 1) of the merged listing; 0 means not given.
  int32_t page = 0;
  // Used as the page number when no page is given; 0 means not given.
  int32_t start = 0;
  // Items per page; 0 means not given (no paging). Required when page or start is above 1.
  int32_t count = 0;

  // In this order: the access token; virtualfolder not empty (key "virtualfolder"); a non-empty
  // filter other than "file" or "folder" (exact case; "filter"); "Negative page", "Negative
  // start", "Positive count required" (page or start above 1 without a count), "Negative count";
  // a non-empty deep other than "true" or "false" (exact case; "deep").
  bool validateParameters() const override;

  // A record of this class with the access token, virtualfolder, filter, page, count, deep and
  // sort; start keeps its default (the fan-out sets it on each copy).
  std::shared_ptr<TQResourceAPIParams> copy() const override;

 protected:
  std::shared_ptr<TQResourceAPIParams> newInstance() const override {
    return std::make_shared<TQGetTrashAPIParams>();
  }
};
