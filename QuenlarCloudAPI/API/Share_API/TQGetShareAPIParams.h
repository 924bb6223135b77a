// TQGetShareAPIParams: the record of the share listing: which shares, where a previous page left
// off, how many per page and the time window. The server reads `cursor`, `since` and `until`; the
// library hands them on as the host gave them and gives them no format of its own.
//
// A new record lists the outbound shares with the server's own page size. A copy (copy()) carries
// the access token and these defaults, not the fields.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "QuenlarCloudAPI/API/Resource_API/TQResourceAPIParams.h"

class TQGetShareAPIParams : public TQResourceAPIParams {
 public:
  TQGetShareAPIParams() = default;

  // Where to resume, as a previous answer's links gave it; empty for the first page.
  std::string cursor;
  // Shares per page; 0 leaves it to the server.
  int32_t count = 0;
  // The time window, as the server reads it; empty for none.
  std::string since;
  std::string until;
  // Which shares to list: the server offers others, but this library lists only "outbound".
  std::string filter = "outbound";

  // In this order: the access token; "Negative count"; a filter other than exactly "outbound"
  // ("valid filter value").
  bool validateParameters() const override;

 protected:
  std::shared_ptr<TQResourceAPIParams> newInstance() const override {
    return std::make_shared<TQGetShareAPIParams>();
  }
};
