// The logger's redaction: a known secret is planted under a secret name in a URL query or
// fragment, URL credentials, a form body, a JSON body at some depth or a header, among neighbours
// drawn from the input; what the logger would write must not contain the secret. Raw input is
// also redacted as URL, body and JSON, which must neither crash nor throw, and redacting twice
// changes nothing more than redacting once.
//
// Input: the first byte's low bit picks raw text (even) or a planted secret (odd).
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "QuenlarCloudAPI/APILogger/TQAPIConsoleLogger.h"
#include "QuenlarCloudAPI/APILogger/TQAPILogRedaction.h"
#include "QuenlarCloudAPI/Helper_Class/NSString_HelperMethods.h"
#include "fuzz/FuzzSupport.h"

namespace {

// No neighbour can spell it: they are stripped of its first letter, and neither percent-encoding
// nor JSON writes that letter.
constexpr std::string_view kSecret = "Qz7SecretValue9";

// Parameter and member names whose values the log must never show.
constexpr std::string_view kSecretNames[] = {"client_secret", "code",     "refresh_token",
                                             "access_token",  "token",    "id_token",
                                             "api_secret",    "password", "user_password"};

// Header names whose values the log must never show.
constexpr std::string_view kSecretHeaders[] = {"Authorization", "Proxy-Authorization", "Cookie",
                                               "Set-Cookie", "X-Api-Key"};

std::string neighbour(FuzzedDataProvider& input, std::size_t maxLength = 24) {
  std::string text = input.ConsumeRandomLengthString(maxLength);
  std::replace(text.begin(), text.end(), kSecret.front(), 'q');
  return text;
}

// A name spelled as a client might: letters in either case, some characters percent-encoded.
std::string spelled(FuzzedDataProvider& input, std::string_view name, bool mayEscape) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (const char c : name) {
    const auto choice = input.ConsumeIntegralInRange<int>(0, 7);
    if (mayEscape && choice == 0) {
      out += '%';
      out += kHex[static_cast<unsigned char>(c) >> 4];
      out += kHex[static_cast<unsigned char>(c) & 0xF];
    } else if (choice == 1) {
      out += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    } else {
      out += c;
    }
  }
  return out;
}

std::string secretName(FuzzedDataProvider& input, bool mayEscape) {
  return spelled(input, input.PickValueInArray(kSecretNames), mayEscape);
}

// "k=v&k=v" with encoded neighbours and the secret pair somewhere among them.
std::string pairsWithSecret(FuzzedDataProvider& input) {
  std::vector<std::string> pairs;
  const auto count = input.ConsumeIntegralInRange<int>(0, 4);
  for (int i = 0; i < count; ++i) {
    std::string pair = NSString_HelperMethods::stringByAddingPercentEncoding(neighbour(input));
    if (input.ConsumeBool()) {
      pair += '=' + NSString_HelperMethods::stringByAddingPercentEncoding(neighbour(input));
    }
    pairs.push_back(std::move(pair));
  }
  const std::string secret = secretName(input, true) + "=" + std::string(kSecret);
  const auto at = input.ConsumeIntegralInRange<std::size_t>(0, pairs.size());
  pairs.insert(pairs.begin() + static_cast<std::ptrdiff_t>(at), secret);
  std::string out;
  for (const std::string& pair : pairs) {
    out += out.empty() ? "" : "&";
    out += pair;
  }
  return out;
}

// A URL without query or fragment: the encoder keeps "?", which would start the query early.
std::string pathFrom(FuzzedDataProvider& input) {
  std::string path = NSString_HelperMethods::stringByAddingPercentEncoding(neighbour(input));
  std::replace(path.begin(), path.end(), '?', '_');
  return "https://fuzz.example/" + path;
}

// A JSON value with the secret member at a depth the input chooses, among neighbours.
tq::JSON jsonWithSecret(FuzzedDataProvider& input) {
  tq::JSON value = tq::JSON::object();
  value[secretName(input, false)] =
      input.ConsumeBool() ? tq::JSON(kSecret) : tq::JSON::array({kSecret, 1});
  const auto depth = input.ConsumeIntegralInRange<int>(0, 12);
  for (int level = 0; level < depth; ++level) {
    tq::JSON outer;
    if (input.ConsumeBool()) {
      outer = tq::JSON::array();
      if (input.ConsumeBool()) {
        outer.push_back(neighbour(input));
      }
      outer.push_back(std::move(value));
    } else {
      outer = tq::JSON::object();
      if (input.ConsumeBool()) {
        outer[neighbour(input, 8)] = neighbour(input);
      }
      std::string key = neighbour(input, 8);
      if (TQAPILogRedaction::isSecretParameterName(key)) {
        key += "_";  // a secret name would hide the planted member behind its own redaction
      }
      outer[key] = std::move(value);
    }
    value = std::move(outer);
  }
  return value;
}

tq::HTTPHeaderFields headersWithSecret(FuzzedDataProvider& input) {
  tq::HTTPHeaderFields headers;
  const auto count = input.ConsumeIntegralInRange<int>(0, 4);
  for (int i = 0; i < count; ++i) {
    headers.emplace_back(neighbour(input, 12), neighbour(input));
  }
  std::pair<std::string, std::string> secret;
  if (input.ConsumeBool()) {
    secret = {spelled(input, input.PickValueInArray(kSecretHeaders), false),
              neighbour(input, 8) + " " + std::string(kSecret)};
  } else {
    // An ordinary header whose value is a URL carrying a secret parameter.
    secret = {"Location", pathFrom(input) + "?" + pairsWithSecret(input)};
  }
  const auto at = input.ConsumeIntegralInRange<std::size_t>(0, headers.size());
  headers.insert(headers.begin() + static_cast<std::ptrdiff_t>(at), std::move(secret));
  return headers;
}

void checkHidden(const std::string& planted, const std::string& written, std::string_view shape) {
  if (written.find(kSecret) != std::string::npos) {
    fuzz::fail(std::string(shape) + " shows a secret.\n  planted: " + planted +
               "\n  written: " + written);
  }
}

void checkURL(const std::string& url, std::string_view shape) {
  checkHidden(url, TQAPILogRedaction::redactedURLString(url), shape);
}

void checkBody(const std::string& body, std::string_view shape) {
  checkHidden(body, TQAPILogRedaction::redactedBody(body), shape);
}

void checkPlanted(FuzzedDataProvider& input) {
  switch (input.ConsumeIntegralInRange<int>(0, 5)) {
    case 0:
      checkURL(pathFrom(input) + "?" + pairsWithSecret(input), "a URL query");
      break;
    case 1:
      checkURL(pathFrom(input) + "#" + pairsWithSecret(input), "a URL fragment");
      break;
    case 2: {
      // "/" and "?" would end the user name's part of the URL.
      std::string user = NSString_HelperMethods::stringByAddingPercentEncoding(neighbour(input, 8));
      std::replace_if(
          user.begin(), user.end(), [](char c) { return c == '/' || c == '?'; }, '_');
      checkURL("https://" + user + ":" + std::string(kSecret) + "@fuzz.example/",
               "URL credentials");
      break;
    }
    case 3:
      checkBody(pairsWithSecret(input), "a form body");
      break;
    case 4: {
      const tq::JSON json = jsonWithSecret(input);
      const std::string text = json.dump(-1, ' ', false, tq::JSON::error_handler_t::replace);
      checkBody(text, "a JSON body");
      checkHidden(text, TQAPILogRedaction::redactedJSONText(json), "a JSON answer");
      break;
    }
    default: {
      const tq::HTTPHeaderFields headers = headersWithSecret(input);
      std::string planted;
      for (const auto& [name, value] : headers) {
        planted.append("\n    ").append(name).append(": ").append(value);
      }
      checkHidden(planted, TQAPIConsoleLogger::logHeader(headers), "a header");
      break;
    }
  }
}

void checkRaw(std::string_view text) {
  const std::string url = TQAPILogRedaction::redactedURLString(text);
  fuzz::check(TQAPILogRedaction::redactedURLString(url) == url, "URL redaction is settled");
  // No settledness for bodies: text that is no JSON is redacted as form pairs only, and once a
  // redacted value has taken a NUL or a quote away, the rest may read as JSON with members of its
  // own. What a body must never show is a planted secret (checkPlanted).
  (void)TQAPILogRedaction::redactedBody(text);
  const tq::JSON json = tq::JSON::parse(text, nullptr, /*allow_exceptions=*/false);
  if (!json.is_discarded()) {
    (void)TQAPILogRedaction::redactedJSONText(json);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  return fuzz::splitOnFirstByte(data, size, "redacting raw text", checkRaw,
                                "redacting a planted secret", checkPlanted);
}
