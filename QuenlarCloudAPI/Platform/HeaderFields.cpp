#include "QuenlarCloudAPI/Platform/HeaderFields.h"

#include <algorithm>

namespace tq {
namespace {

char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

bool headerNameEquals(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [](char x, char y) { return lower(x) == lower(y); });
}

std::optional<std::string> headerValue(const HTTPHeaderFields& fields, std::string_view name) {
  std::optional<std::string> joined;
  for (const auto& [field, value] : fields) {
    if (!headerNameEquals(field, name)) {
      continue;
    }
    if (joined) {
      *joined += ", ";
      *joined += value;
    } else {
      joined = value;
    }
  }
  return joined;
}

}  // namespace tq
