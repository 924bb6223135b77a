// Reading the members of the server's share objects into the share records (TQShare,
// TQShareItem, TQShareResource, TQUser, TQLink). The answer is untrusted: a member of an
// unexpected type never throws; it reads as described below. Stateless; safe from any thread.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "QuenlarCloudAPI/API/TQJSONReading.h"
#include "QuenlarCloudAPI/Model/NSDictionary_TQResource.h"
#include "QuenlarCloudAPI/Platform/JSON.h"
#include "QuenlarCloudAPI/Platform/Value.h"

namespace TQShareReading {

// The share date formatter: one object for every share record of the process, apart from the
// resource records' own, reading "yyyy-MM-dd'T'HH:mm:ss.SSS'Z'" strictly as UTC.
const TQResourceDateFormatter& apiDateFormatter();

// The text form of member `key`: a text as it is, a number or boolean as its decimal text, an
// array or object as compact JSON, and a null as "<null>", since the member is there; nullopt
// when `object` lacks the member (or is no object).
std::optional<std::string> text(const tq::JSON& object, std::string_view key);

// Member `key` as the server sent it, with no conversion: a number stays a number, a text a text
// ("3" is not 3), a null a null. nullopt when `object` lacks the member (or is no object).
std::optional<tq::JSON> value(const tq::JSON& object, std::string_view key);

// A text member that the share date formatter reads; nullopt for anything else.
std::optional<tq::Date> date(const tq::JSON& object, std::string_view key);

// Member `key` when it is an object; otherwise an empty object, so that the record built from it
// has nil fields.
const tq::JSON& object(const tq::JSON& object, std::string_view key);

// One record per object of a list member, in order: a single object counts as a list of one and
// elements that are not objects are skipped. nullopt when the member is absent, null, or neither
// a list nor an object.
template <class Record>
std::optional<std::vector<std::shared_ptr<Record>>> list(const tq::JSON& object,
                                                         std::string_view key) {
  const tq::JSON* value = TQJSONReading::member(object, key);
  if (value == nullptr || !(value->is_array() || value->is_object())) {
    return std::nullopt;
  }
  std::vector<std::shared_ptr<Record>> records;
  if (value->is_array()) {
    records.reserve(value->size());
  }
  for (const tq::JSON* element : TQJSONReading::objects(value)) {
    records.push_back(Record::initWithDictionary(*element));
  }
  return records;
}

}  // namespace TQShareReading
