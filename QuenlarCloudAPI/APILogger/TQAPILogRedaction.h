// What the loggers must never write: credentials. The console logger passes every URL, header
// and body it prints through these functions first.
//
// A secret parameter is named "code", or ends in "token", "secret", "password", "passwd" or
// "apikey" ("access_token", "accessToken", "client_secret", "user[password]", "api_key"). Names
// match in any letter case and regardless of the punctuation between their words, after
// percent-decoding, so an escaped name cannot slip past. Names that only contain such a word
// ("tokens", "zipcode") are not secrets. Secret values are replaced by "<redacted>" wherever they
// stand: in a URL's query or fragment, in a form-encoded body, or as members of a JSON body at
// any depth. A URL's user information ("user:password@") is replaced whole.
//
// A secret header is named as a secret parameter is, or ends in "authorization" or "cookie"
// ("Authorization", "Proxy-Authorization", "Cookie", "Set-Cookie", "X-Access-Token",
// "X-Api-Key"), in any letter case.
//
// JSON nested deeper than kMaximumJSONDepth is not shown at all: it is written as
// "<body not shown>", so a hostile body costs no more stack than an answer the library accepts.
// Stateless and safe from any thread.
#pragma once

#include <string>
#include <string_view>

#include "QuenlarCloudAPI/API/TQJSONReading.h"
#include "QuenlarCloudAPI/Platform/JSON.h"

namespace TQAPILogRedaction {

inline constexpr std::string_view kRedacted = "<redacted>";
inline constexpr std::string_view kBodyNotShown = "<body not shown>";
// The nesting the library accepts in a server's answer.
using TQJSONReading::kMaximumJSONDepth;

bool isSecretParameterName(std::string_view name);
bool isSecretHeaderName(std::string_view name);

// The URL text without its user information and with the values of secret parameters in its
// query and fragment replaced.
std::string redactedURLString(std::string_view url);

// A body as text: JSON is written back compactly with secret members replaced; anything else is
// read as "key=value" pieces joined by "&", and the values of secret keys are replaced.
std::string redactedBody(std::string_view body);

// `json` written compactly with the values of secret members replaced, at any depth.
std::string redactedJSONText(const tq::JSON& json);

}  // namespace TQAPILogRedaction
