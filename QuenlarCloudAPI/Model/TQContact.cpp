#include "QuenlarCloudAPI/Model/TQContact.h"

#include <cstdint>
#include <limits>
#include <string_view>
#include <unordered_map>

#include "QuenlarCloudAPI/API/TQJSONReading.h"
#include "QuenlarCloudAPI/Model/TQAddressType.h"
#include "QuenlarCloudAPI/Model/TQContactReading.h"
#include "QuenlarCloudAPI/Model/TQEmailContactType.h"
#include "QuenlarCloudAPI/Model/TQInstantMessageType.h"
#include "QuenlarCloudAPI/Model/TQTelContactType.h"

struct TQContact::Field {
  enum class Kind {
    Text,
    Raw,
    Truth,
    LowerCaseMaritalStatus,
    Telephones,
    Emails,
    Addresses,
    InstantMessages
  };
  Kind kind;
  std::optional<std::string> TQContact::*text = nullptr;
  std::optional<tq::JSON> TQContact::*raw = nullptr;
  bool TQContact::*truth = nullptr;
};

namespace {

// An entry list of a member that should hold an array of entry objects; nil for a value that
// holds no list at all.
template <class Entry>
std::optional<std::vector<std::shared_ptr<Entry>>> entriesOf(const tq::JSON& value) {
  if (!value.is_array() && !value.is_object()) {
    return std::nullopt;
  }
  const auto elements = TQJSONReading::objects(&value);
  std::vector<std::shared_ptr<Entry>> entries;
  entries.reserve(elements.size());
  for (const tq::JSON* element : elements) {
    entries.push_back(Entry::initWithDictionary(*element));
  }
  return entries;
}

template <const std::optional<std::string>& (TQContact::*Getter)() const>
tq::Value textAt(const TQContact& contact) {
  const auto& text = (contact.*Getter)();
  return text ? tq::Value(*text) : tq::Value();
}

tq::Value numberOrText(const std::optional<tq::JSON>& value) {
  if (!value) {
    return {};
  }
  switch (value->type()) {
    case tq::JSON::value_t::boolean:
      return value->get<bool>();
    case tq::JSON::value_t::number_integer:
      return value->get<int64_t>();
    case tq::JSON::value_t::number_unsigned: {
      const auto number = value->get<uint64_t>();
      if (number <= static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) {
        return static_cast<int64_t>(number);
      }
      return static_cast<double>(number);
    }
    case tq::JSON::value_t::number_float:
      return value->get<double>();
    case tq::JSON::value_t::string:
      return value->get<std::string>();
    default:
      return {};
  }
}

}  // namespace

TQContact::TQContact() = default;
TQContact::~TQContact() = default;

const TQContact::Field* TQContact::fieldForKey(std::string_view key) {
  using Kind = Field::Kind;
  static const std::unordered_map<std::string_view, Field> kFields = {
      {"id", {Kind::Text, &TQContact::ID_}},
      {"nameprefix", {Kind::Text, &TQContact::namePrefix_}},
      {"namesuffix", {Kind::Text, &TQContact::nameSuffix_}},
      {"nickname", {Kind::Text, &TQContact::nickname_}},
      {"firstname", {Kind::Text, &TQContact::firstName_}},
      {"lastname", {Kind::Text, &TQContact::lastName_}},
      {"middlename", {Kind::Text, &TQContact::middleName_}},
      {"note", {Kind::Text, &TQContact::note_}},
      {"birthday", {Kind::Text, &TQContact::birthday_}},
      {"anniversary", {Kind::Text, &TQContact::anniversary_}},
      {"spouse", {Kind::Text, &TQContact::spouse_}},
      {"children", {Kind::Text, &TQContact::children_}},
      {"profession", {Kind::Text, &TQContact::profession_}},
      {"assistant", {Kind::Text, &TQContact::assistant_}},
      {"relationship", {Kind::Text, &TQContact::relationship_}},
      {"maritalStatus", {Kind::Text, &TQContact::maritalStatus_}},
      {"gender", {Kind::Text, &TQContact::gender_}},
      {"source", {Kind::Text, &TQContact::source_}},
      {"created", {Kind::Text, &TQContact::created_}},
      {"modified", {Kind::Text, &TQContact::modified_}},
      {"jobtitle", {Kind::Text, &TQContact::jobTitle_}},
      {"orgname", {Kind::Text, &TQContact::orgName_}},
      {"orgunit", {Kind::Text, &TQContact::orgUnit_}},
      {"photoreference", {Kind::Text, &TQContact::photoReference_}},
      {"maritalstatus", {Kind::LowerCaseMaritalStatus}},
      {"version", {Kind::Raw, nullptr, &TQContact::version_}},
      {"photo", {Kind::Raw, nullptr, &TQContact::photo_}},
      {"incaseofemergency", {Kind::Truth, nullptr, nullptr, &TQContact::incaseOfEmergency_}},
      {"favorite", {Kind::Truth, nullptr, nullptr, &TQContact::favorite_}},
      {"tel", {Kind::Telephones}},
      {"email", {Kind::Emails}},
      {"address", {Kind::Addresses}},
      {"im", {Kind::InstantMessages}},
  };
  const auto found = kFields.find(key);
  return found != kFields.end() ? &found->second : nullptr;
}

std::shared_ptr<TQContact> TQContact::initWithDictionary(const tq::JSON& dictionary) {
  std::shared_ptr<TQContact> contact(new TQContact());
  if (!dictionary.is_object()) {
    return contact;
  }
  std::optional<std::string> lowerCaseMaritalStatus;
  // One pass over the members rather than one look-up per field: a page of contacts is read on
  // the delegate queue or a batch thread, and objects are searched linearly.
  for (auto member = dictionary.begin(); member != dictionary.end(); ++member) {
    const tq::JSON& value = member.value();
    const Field* field = value.is_null() ? nullptr : fieldForKey(member.key());
    if (field == nullptr) {
      continue;
    }
    switch (field->kind) {
      case Field::Kind::Text:
        (*contact).*(field->text) = TQContactReading::text(&value);
        break;
      case Field::Kind::Raw:
        (*contact).*(field->raw) = value;
        break;
      case Field::Kind::Truth:
        (*contact).*(field->truth) = TQContactReading::truth(&value);
        break;
      case Field::Kind::LowerCaseMaritalStatus:
        lowerCaseMaritalStatus = TQContactReading::text(&value);
        break;
      case Field::Kind::Telephones:
        contact->telphones_ = entriesOf<TQTelContactType>(value);
        break;
      case Field::Kind::Emails:
        contact->emails_ = entriesOf<TQEmailContactType>(value);
        break;
      case Field::Kind::Addresses:
        contact->addresses_ = entriesOf<TQAddressType>(value);
        break;
      case Field::Kind::InstantMessages:
        contact->imArray_ = entriesOf<TQInstantMessageType>(value);
        break;
    }
  }
  if (!contact->maritalStatus_) {
    contact->maritalStatus_ = std::move(lowerCaseMaritalStatus);
  }
  return contact;
}

std::span<const TQKeyValueEntry<TQContact>> TQContact::keyValueTable() {
  static constexpr TQKeyValueEntry<TQContact> kTable[] = {
      {"version", [](const TQContact& c) { return numberOrText(c.version()); }},
      {"ID", &textAt<&TQContact::ID>},
      {"namePrefix", &textAt<&TQContact::namePrefix>},
      {"nameSuffix", &textAt<&TQContact::nameSuffix>},
      {"nickname", &textAt<&TQContact::nickname>},
      {"firstName", &textAt<&TQContact::firstName>},
      {"lastName", &textAt<&TQContact::lastName>},
      {"middleName", &textAt<&TQContact::middleName>},
      {"note", &textAt<&TQContact::note>},
      {"birthday", &textAt<&TQContact::birthday>},
      {"anniversary", &textAt<&TQContact::anniversary>},
      {"spouse", &textAt<&TQContact::spouse>},
      {"children", &textAt<&TQContact::children>},
      {"profession", &textAt<&TQContact::profession>},
      {"assistant", &textAt<&TQContact::assistant>},
      {"relationship", &textAt<&TQContact::relationship>},
      {"maritalStatus", &textAt<&TQContact::maritalStatus>},
      {"gender", &textAt<&TQContact::gender>},
      {"source", &textAt<&TQContact::source>},
      {"created", &textAt<&TQContact::created>},
      {"modified", &textAt<&TQContact::modified>},
      {"jobTitle", &textAt<&TQContact::jobTitle>},
      {"orgName", &textAt<&TQContact::orgName>},
      {"orgUnit", &textAt<&TQContact::orgUnit>},
      {"incaseOfEmergency", [](const TQContact& c) -> tq::Value { return c.incaseOfEmergency(); }},
      {"photoReference", &textAt<&TQContact::photoReference>},
      {"favorite", [](const TQContact& c) -> tq::Value { return c.favorite(); }},
  };
  return kTable;
}
