#include "QuenlarCloudAPI/APILogger/TQAPILogRedaction.h"

#include <array>

#include "QuenlarCloudAPI/Helper_Class/NSString_HelperMethods.h"
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

}  // namespace

bool isSecretParameterName(std::string_view name) {
  static constexpr std::array<std::string_view, 5> kSecrets = {
      "client_secret", "code", "refresh_token", "access_token", "token"};
  // Names may arrive escaped ("access%5Ftoken") or with "+" for blanks; both are undone before
  // names are compared, so the escaped spelling of a secret is still recognised.
  const std::string decoded = NSURL_Helper::formDecoded(name);
  for (const std::string_view secret : kSecrets) {
    if (NSString_HelperMethods::equalsIgnoringCase(decoded, secret)) {
      return true;
    }
  }
  return false;
}

bool isSecretHeaderName(std::string_view name) {
  static constexpr std::array<std::string_view, 4> kSecrets = {
      "Authorization", "Proxy-Authorization", "Cookie", "Set-Cookie"};
  for (const std::string_view secret : kSecrets) {
    if (NSString_HelperMethods::equalsIgnoringCase(name, secret)) {
      return true;
    }
  }
  return false;
}

std::string redactedURLString(std::string_view url) {
  const std::size_t hash = url.find('#');
  const std::string_view beforeFragment = url.substr(0, hash);
  const std::size_t question = beforeFragment.find('?');
  std::string out(beforeFragment.substr(0, question));
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
  tq::JSON json = tq::JSON::parse(body, nullptr, /*allow_exceptions=*/false);
  if (!json.is_discarded() && (json.is_object() || json.is_array())) {
    redactInPlace(json);
    return json.dump(-1, ' ', false, tq::JSON::error_handler_t::replace);
  }
  return redactedPairs(body);
}

tq::JSON redactedJSON(const tq::JSON& json) {
  tq::JSON copy = json;
  redactInPlace(copy);
  return copy;
}

}  // namespace TQAPILogRedaction
