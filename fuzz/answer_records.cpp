// Server answers into records: the body is parsed as the calls parse it, then read as a metadata
// listing, a resource, account information and a token answer. Answers are untrusted, so none of
// this may crash or throw, and what the records say must match what the answer holds.
#include <algorithm>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "QuenlarCloudAPI/API/TQAPI.h"
#include "QuenlarCloudAPI/API/TQJSONReading.h"
#include "QuenlarCloudAPI/Model/NSDictionary_TQResource.h"
#include "QuenlarCloudAPI/Model/TQAccountInfo.h"
#include "QuenlarCloudAPI/Model/TQAuthenticationResponse.h"
#include "QuenlarCloudAPI/Model/TQMetadata.h"
#include "QuenlarCloudAPI/Model/TQResource.h"
#include "fuzz/FuzzSupport.h"

namespace {

// The member `key` of `object`, or nullptr when `object` is no object or lacks it.
const tq::JSON* memberOf(const tq::JSON& object, const char* key) {
  if (!object.is_object()) {
    return nullptr;
  }
  const auto found = object.find(key);
  return found == object.end() ? nullptr : &*found;
}

// How many resource objects a "folder" or "file" member yields: a single object is a list of
// one, and list elements that are not objects are skipped.
std::size_t resourceObjectCount(const tq::JSON& object, const char* key) {
  const tq::JSON* member = memberOf(object, key);
  if (member == nullptr) {
    return 0;
  }
  if (member->is_object()) {
    return 1;
  }
  std::size_t count = 0;
  if (member->is_array()) {
    for (const auto& element : *member) {
      count += element.is_object() ? 1 : 0;
    }
  }
  return count;
}

const tq::JSON* nthResourceObject(const tq::JSON& object, const char* key, std::size_t n) {
  const tq::JSON* member = memberOf(object, key);
  if (member->is_object()) {
    return member;
  }
  for (const auto& element : *member) {
    if (element.is_object() && n-- == 0) {
      return &element;
    }
  }
  return nullptr;
}

// Walks the listing beside the answer without recursion: a deep answer must not make the check
// itself the thing that overflows.
void checkMetadata(const tq::JSON& answer) {
  const auto listing = TQMetadata::initWithDict(answer);
  fuzz::check(listing != nullptr, "a listing is made from any answer");
  std::vector<std::pair<const TQMetadata*, const tq::JSON*>> work{{listing.get(), &answer}};
  while (!work.empty()) {
    const auto [folder, object] = work.back();
    work.pop_back();
    fuzz::check(folder->subFolders().size() == resourceObjectCount(*object, "folder"),
                "a listing has one sub-folder per folder object of the answer");
    fuzz::check(folder->subFiles().size() == resourceObjectCount(*object, "file"),
                "a listing has one file per file object of the answer");
    (void)folder->fullPath();
    (void)folder->name();
    for (std::size_t i = 0; i < folder->subFolders().size(); ++i) {
      work.emplace_back(folder->subFolders()[i].get(), nthResourceObject(*object, "folder", i));
    }
  }
}

void checkDates(const tq::JSON& object) {
  // The server's date form is strict, so a text that reads as a date is the one text of it.
  const tq::JSON* const text = memberOf(object, "versionCreated");
  const auto date = NSDictionary_TQResource::versionCreated(object);
  if (date) {
    fuzz::check(text != nullptr && text->is_string(), "a date comes from a text");
    fuzz::check(NSDictionary_TQResource::apiDateFormatter().stringFromDate(*date) ==
                    text->get<std::string>(),
                "a resource date writes back as the text it was read from");
  }
}

void checkPaths(const tq::JSON& object) {
  const auto path = NSDictionary_TQResource::fullPath(object);
  if (const tq::JSON* written = memberOf(object, "path")) {
    fuzz::check(path == NSDictionary_TQResource::textValue(written),
                "a full path is the answer's own path when it has one");
  }
  if (!path) {
    return;
  }
  const std::string parent = NSDictionary_TQResource::stringByDeletingLastPathComponent(*path);
  fuzz::check(path->starts_with(parent), "a parent path is a prefix of the path");
  fuzz::check(parent == "/" || !parent.ends_with('/'), "a parent path has no trailing slash");
  const std::string extension = NSDictionary_TQResource::pathExtension(*path);
  std::string_view withoutSlashes = *path;
  while (withoutSlashes.ends_with('/')) {
    withoutSlashes.remove_suffix(1);
  }
  fuzz::check(withoutSlashes.ends_with(extension),
              "an extension ends the path, trailing slashes aside");
  fuzz::check(extension.find_first_of("/.") == std::string::npos,
              "an extension holds neither a slash nor a full stop");
}

void checkResource(const tq::JSON& object) {
  const auto resource = TQResource::initWithDict(object);
  fuzz::check(resource != nullptr, "a resource is made from any value");
  const TQResourceValues values = NSDictionary_TQResource::resourceValues(object);
  fuzz::check(resource->fullPath() == values.fullPath && resource->name() == values.name &&
                  resource->creationDate() == values.creationDate &&
                  resource->size() == values.size && resource->file() == values.file,
              "a resource record says what the resource object says");
  if (const tq::JSON* name = memberOf(object, "name"); name != nullptr && name->is_string()) {
    fuzz::check(NSDictionary_TQResource::name(object) == name->get<std::string>(),
                "a name is the answer's name text");
  }
  checkDates(object);
  checkPaths(object);
}

void checkAccountInfo(const tq::JSON& answer) {
  const auto info = TQAccountInfo::initWithDict(answer);
  fuzz::check(info != nullptr, "account information is made from any answer");
  const tq::JSON* usage = memberOf(answer, "usage");
  if (const tq::JSON* member = usage != nullptr ? memberOf(*usage, "quota") : nullptr) {
    const tq::JSON& quota = *member;
    if (quota.is_number_integer() && !quota.is_number_unsigned()) {
      fuzz::check(info->quota() == quota.get<int64_t>(), "a quota is the answer's integer");
    } else if (quota.is_number_unsigned()) {
      const auto value = quota.get<uint64_t>();
      constexpr auto kMax = std::numeric_limits<int64_t>::max();
      fuzz::check(info->quota() ==
                      (value > static_cast<uint64_t>(kMax) ? kMax : static_cast<int64_t>(value)),
                  "a quota past the signed range is clamped");
    }
  }
  if (const tq::JSON* id = memberOf(answer, "id"); id != nullptr && id->is_string()) {
    fuzz::check(info->ID() == id->get<std::string>(), "an identifier text is kept");
  }
}

void checkTokens(const tq::JSON& answer) {
  const auto tokens = TQAuthenticationResponse::initWithDict(answer);
  fuzz::check(tokens != nullptr, "a token record is made from any answer");
  fuzz::check(tokens->isAuthenticated() == !tokens->accessToken().empty(),
              "authenticated exactly when there is an access token");
  const tq::JSON* access = memberOf(answer, "access_token");
  fuzz::check(access != nullptr && access->is_string()
                  ? tokens->accessToken() == access->get<std::string>()
                  : tokens->accessToken().empty(),
              "the access token is the answer's text, and nothing else");
}

// The parser's reading of `text`, and how deep its objects and arrays nest as the parser meets
// them. The depth is taken while parsing, not from the result: a repeated key keeps only its last
// value, so a deep member that a later one replaces never shows in the parsed value, yet it is
// there in the text the library refuses to read.
struct ParserReading {
  tq::JSON value;
  int nesting = 0;
};

ParserReading readWithTheParser(std::string_view text) {
  ParserReading reading;
  const tq::JSON::parser_callback_t measure = [&reading](int depth, tq::JSON::parse_event_t event,
                                                         tq::JSON& /*parsed*/) {
    if (event == tq::JSON::parse_event_t::object_start ||
        event == tq::JSON::parse_event_t::array_start) {
      reading.nesting = std::max(reading.nesting, depth + 1);
    }
    return true;
  };
  reading.value = tq::JSON::parse(text, measure, /*allow_exceptions=*/false);
  return reading;
}

// The library reads an answer as tq::JSON::parse reads it, and refuses a container the parser
// takes only when the text holds a NUL byte or nests deeper than the library reads.
void checkAgainstTheParser(std::string_view text, const tq::JSON* json) {
  const ParserReading parsed = readWithTheParser(text);
  if (json != nullptr) {
    fuzz::check(json->dump() == parsed.value.dump(), "an answer reads as the parser reads it");
  } else if (parsed.value.is_structured() && text.find('\0') == std::string_view::npos) {
    fuzz::check(parsed.nesting > TQJSONReading::kMaximumJSONDepth,
                "an answer the parser takes is refused only for its depth");
  }
}

void checkRecords(const tq::JSON& json) {
  checkMetadata(json);
  checkResource(json);
  checkAccountInfo(json);
  checkTokens(json);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  fuzz::guarded("reading an answer", [&] {
    const auto text = fuzz::asText(data, size);
    const auto json = TQAPI::parseData(text);
    checkAgainstTheParser(text, json.get());
    if (json == nullptr) {
      return;
    }
    fuzz::check(json->is_object() || json->is_array(), "a parsed answer is an object or an array");
    checkRecords(*json);
    if (json->is_array()) {
      for (const auto& element : *json) {
        checkRecords(element);
      }
    }
  });
  return 0;
}
