#include "QuenlarCloudAPI/APILogger/TQAPILogRedaction.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <optional>
#include <utility>

#include "QuenlarCloudAPI/Helper_Class/NSURL_Helper.h"

namespace TQAPILogRedaction {
namespace {

// Rewrites "k=v&k=v" text, replacing the values of secret keys; every other byte stays.
std::string redactedPairs(std::string_view pairs) {
  std::string out;
  out.reserve(pairs.size());
  std::size_t start = 0;
  while (true) {
    const std::size_t ampersand = pairs.find('&', start);
    const std::size_t end = ampersand == std::string_view::npos ? pairs.size() : ampersand;
    const std::string_view piece = pairs.substr(start, end - start);
    const std::size_t equals = piece.find('=');
    if (equals != std::string_view::npos && isSecretParameterName(piece.substr(0, equals))) {
      out += piece.substr(0, equals + 1);
      out += kRedacted;
    } else {
      out += piece;
    }
    if (ampersand == std::string_view::npos) {
      break;
    }
    out += '&';
    start = ampersand + 1;
  }
  return out;
}

void redactInPlace(tq::JSON& json) {
  if (json.is_object()) {
    for (auto& [key, value] : json.items()) {
      if (isSecretParameterName(key)) {
        value = std::string(kRedacted);
      } else {
        redactInPlace(value);
      }
    }
  } else if (json.is_array()) {
    for (auto& element : json) {
      redactInPlace(element);
    }
  }
}

// Whether `json` holds containers more than `levels` deep; it stops looking at the limit, so the
// recursion is bounded whatever the value.
bool nestsDeeper(const tq::JSON& json, int levels) {
  if (!json.is_structured()) {
    return false;
  }
  if (levels == 0) {
    return true;
  }
  for (const auto& element : json) {
    if (nestsDeeper(element, levels - 1)) {
      return true;
    }
  }
  return false;
}

// `body` parsed as JSON (discarded when it is none), or nullopt when it nests deeper than the
// limit. The parser itself keeps its nesting on the heap; the callback only spares building what
// would be thrown away, and tells us that it was.
std::optional<tq::JSON> parsedWithinDepth(std::string_view body) {
  // The JSON reader ends its input at a NUL, which would show "{...}\0rest" as the object
  // alone; JSON text never holds a raw NUL.
  if (body.find('\0') != std::string_view::npos) {
    return tq::JSON(tq::JSON::value_t::discarded);
  }
  bool tooDeep = false;
  const tq::JSON::parser_callback_t withinDepth =
      [&tooDeep](int depth, tq::JSON::parse_event_t event, const tq::JSON& /*parsed*/) {
        const bool opens = event == tq::JSON::parse_event_t::object_start ||
                           event == tq::JSON::parse_event_t::array_start;
        if (opens && depth >= kMaximumJSONDepth) {
          tooDeep = true;
          return false;
        }
        return true;
      };
  tq::JSON json = tq::JSON::parse(body, withinDepth, /*allow_exceptions=*/false);
  if (tooDeep) {
    return std::nullopt;
  }
  return json;
}

std::string redactedText(tq::JSON json) {
  redactInPlace(json);
  return json.dump(-1, ' ', false, tq::JSON::error_handler_t::replace);
}

bool isASCIILetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isASCIIDigit(char c) { return c >= '0' && c <= '9'; }

// Lower-case ASCII letters and digits only, so that "X-Access-Token", "access_token" and
// "accessToken" all end in "token" and one list of endings serves every spelling.
std::string normalizedName(std::string_view name) {
  std::string out;
  out.reserve(name.size());
  for (const char c : name) {
    if (c >= 'A' && c <= 'Z') {
      out += static_cast<char>(c - 'A' + 'a');
    } else if (isASCIILetter(c) || isASCIIDigit(c)) {
      out += c;
    }
  }
  return out;
}

bool endsWithAny(std::string_view name, const auto& endings) {
  return std::any_of(std::begin(endings), std::end(endings),
                     [name](std::string_view ending) { return name.ends_with(ending); });
}

bool isSecretNormalizedName(std::string_view name) {
  static constexpr std::array<std::string_view, 5> kSecretEndings = {"token", "secret", "password",
                                                                     "passwd", "apikey"};
  // Only the whole name: "zipcode" and "mycode" are no authorization codes.
  return name == "code" || endsWithAny(name, kSecretEndings);
}

// Where the authority of "scheme://authority/..." starts, or npos when `url` has no scheme.
std::size_t authorityStart(std::string_view url) {
  const std::size_t separator = url.find("://");
  if (separator == std::string_view::npos || separator == 0) {
    return std::string_view::npos;
  }
  const std::string_view scheme = url.substr(0, separator);
  const auto isSchemeCharacter = [](char c) {
    return isASCIILetter(c) || isASCIIDigit(c) || c == '+' || c == '-' || c == '.';
  };
  if (!isASCIILetter(scheme.front()) ||
      !std::all_of(scheme.begin(), scheme.end(), isSchemeCharacter)) {
    return std::string_view::npos;
  }
  return separator + 3;
}

// The user name alone can name an account, so the whole "user:password@" goes, not just the
// password.
std::string withoutUserInformation(std::string_view url) {
  const std::size_t start = authorityStart(url);
  if (start == std::string_view::npos) {
    return std::string(url);
  }
  const std::string_view authority = url.substr(start, url.find_first_of("/?#", start) - start);
  const std::size_t at = authority.rfind('@');
  if (at == std::string_view::npos) {
    return std::string(url);
  }
  std::string out(url.substr(0, start));
  out += kRedacted;
  out += url.substr(start + at);
  return out;
}

}  // namespace

bool isSecretParameterName(std::string_view name) {
  // Names may arrive escaped ("access%5Ftoken") or with "+" for blanks; both are undone before
  // names are compared, so the escaped spelling of a secret is still recognised.
  return isSecretNormalizedName(normalizedName(NSURL_Helper::formDecoded(name)));
}

bool isSecretHeaderName(std::string_view name) {
  static constexpr std::array<std::string_view, 2> kSecretEndings = {"authorization", "cookie"};
  const std::string normalized = normalizedName(name);
  return isSecretNormalizedName(normalized) || endsWithAny(normalized, kSecretEndings);
}

std::string redactedURLString(std::string_view url) {
  const std::size_t hash = url.find('#');
  const std::string_view beforeFragment = url.substr(0, hash);
  const std::size_t question = beforeFragment.find('?');
  std::string out = withoutUserInformation(beforeFragment.substr(0, question));
  if (question != std::string_view::npos) {
    out += '?';
    out += redactedPairs(beforeFragment.substr(question + 1));
  }
  if (hash != std::string_view::npos) {
    out += '#';
    out += redactedPairs(url.substr(hash + 1));
  }
  return out;
}

std::string redactedBody(std::string_view body) {
  auto json = parsedWithinDepth(body);
  if (!json) {
    return std::string(kBodyNotShown);
  }
  if (!json->is_discarded() && json->is_structured()) {
    return redactedText(std::move(*json));
  }
  return redactedPairs(body);
}

std::string redactedJSONText(const tq::JSON& json) {
  if (nestsDeeper(json, kMaximumJSONDepth)) {
    return std::string(kBodyNotShown);
  }
  return redactedText(json);
}

}  // namespace TQAPILogRedaction
