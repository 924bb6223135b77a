// TQResourceShareAPIParams: one resource to put into a new share, as the host describes it. A
// plain value inside a TQCreateShareAPIParams: it carries no access token and is not checked.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

class TQResourceShareAPIParams {
 public:
  // Each is sent only when set; set to empty text, it is sent as an empty string.
  std::optional<std::string> name;
  std::optional<std::string> type;
  std::optional<std::string> subType;
  std::optional<std::string> location;
  // Bytes; 0 is not sent.
  int32_t size = 0;
};
