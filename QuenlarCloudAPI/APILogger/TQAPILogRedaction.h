// What the loggers must never write: credentials. The console logger passes every URL, header
// and body it prints through these functions first.
//
// Secret parameters are "client_secret", "code", "refresh_token", "access_token" and "token",
// matched in any letter case (and after percent-decoding, so an escaped name cannot slip past);
// their values are replaced by "<redacted>" wherever they stand: in a URL's query or fragment, in
// a form-encoded body, or as members of a JSON body at any depth. Secret headers are
// "Authorization", "Proxy-Authorization", "Cookie" and "Set-Cookie", in any letter case.
// Stateless and safe from any thread.
#pragma once

#include <string>
#include <string_view>

#include "QuenlarCloudAPI/Platform/JSON.h"

namespace TQAPILogRedaction {

inline constexpr std::string_view kRedacted = "<redacted>";

bool isSecretParameterName(std::string_view name);
bool isSecretHeaderName(std::string_view name);

// The URL text with the values of secret parameters in its query and fragment replaced.
std::string redactedURLString(std::string_view url);

// A body as text: JSON is written back compactly with secret members replaced; anything else is
// read as "key=value" pieces joined by "&", and the values of secret keys are replaced.
std::string redactedBody(std::string_view body);

// A copy of `json` with the values of secret members replaced, at any depth.
tq::JSON redactedJSON(const tq::JSON& json);

}  // namespace TQAPILogRedaction
