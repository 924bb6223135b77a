#include "QuenlarCloudAPI/Model/TQShareReading.h"

namespace TQShareReading {
namespace {

const tq::JSON* present(const tq::JSON& object, std::string_view key) {
  if (!object.is_object()) {
    return nullptr;
  }
  const auto found = object.find(key);
  return found == object.end() ? nullptr : &*found;
}

}  // namespace

const TQResourceDateFormatter& apiDateFormatter() {
  static constexpr TQResourceDateFormatter kFormatter;
  return kFormatter;
}

std::optional<std::string> text(const tq::JSON& object, std::string_view key) {
  const tq::JSON* value = present(object, key);
  if (value == nullptr) {
    return std::nullopt;
  }
  if (value->is_null()) {
    return "<null>";
  }
  return NSDictionary_TQResource::textValue(value);
}

std::optional<tq::JSON> value(const tq::JSON& object, std::string_view key) {
  const tq::JSON* member = present(object, key);
  return member != nullptr ? std::optional<tq::JSON>(*member) : std::nullopt;
}

std::optional<tq::Date> date(const tq::JSON& object, std::string_view key) {
  const tq::JSON* value = present(object, key);
  if (value == nullptr || !value->is_string()) {
    return std::nullopt;
  }
  return apiDateFormatter().dateFromString(value->get_ref<const std::string&>());
}

const tq::JSON& object(const tq::JSON& object, std::string_view key) {
  static const tq::JSON kEmpty = tq::JSON::object();
  const tq::JSON* value = present(object, key);
  return value != nullptr && value->is_object() ? *value : kEmpty;
}

}  // namespace TQShareReading
