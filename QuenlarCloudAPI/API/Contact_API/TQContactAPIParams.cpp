#include "QuenlarCloudAPI/API/Contact_API/TQContactAPIParams.h"

#include <array>
#include <string_view>

namespace {

constexpr std::array<std::string_view, 7> kWireNames = {
    "firstname", "lastname", "created", "modified", "favorite", "version", "id"};

}  // namespace

void TQContactAPIParams::setSortKey(TQContactSortKey key, bool isAscending) {
  const auto index = static_cast<int64_t>(key);
  if (index < 0 || index >= static_cast<int64_t>(kWireNames.size())) {
    return;
  }
  sort = std::string(kWireNames[static_cast<size_t>(index)]) + "+" + (isAscending ? "asc" : "desc");
}

void TQContactAPIParams::setQueryValue(const std::string& value, const std::string& field) {
  query = field + ":" + value;
}

std::optional<tq::JSON> TQContactAPIParams::getSortKeyWithValue() const {
  if (!sort) {
    return std::nullopt;
  }
  const std::string_view text = *sort;
  const size_t plus = text.find('+');
  std::string sortType(text.substr(0, plus));
  if (sortType == "firstname") {
    sortType = "firstName";
  } else if (sortType == "lastname") {
    sortType = "lastName";
  } else if (sortType == "id") {
    sortType = "ID";
  }
  bool ascending = true;
  if (plus != std::string_view::npos) {
    const std::string_view rest = text.substr(plus + 1);
    ascending = rest.substr(0, rest.find('+')) == "asc";
  }
  return tq::JSON{{"sortType", sortType}, {"sortOrder", ascending}};
}

bool TQContactAPIParams::validateParameters() const {
  TQResourceAPIParams::validateParameters();
  checkPaging(
      page, 0, count,
      {TQPagingCheck::NegativePage, TQPagingCheck::NegativeCount, TQPagingCheck::CountRequired});
  return true;
}
