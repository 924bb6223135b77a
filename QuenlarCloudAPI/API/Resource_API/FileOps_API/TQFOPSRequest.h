// What the file operations' calls share: a JSON body sent with "Authorization", "Accept" and
// "Content-Type: application/json", and the body of a copy, a move or a rename.
#pragma once

#include <string>

#include "QuenlarCloudAPI/Platform/JSON.h"

class TQAPI;
class TQFOPSAPIParams;

namespace TQFOPSRequest {

// Fills `call` as a POST to `url` carrying `body` as compact JSON, its texts unencoded. Text
// that is not valid UTF-8 cannot travel in JSON: it raises TQException
// "NSInvalidArgumentException" here, on the caller's thread, rather than reaching the server
// altered.
void preparePost(TQAPI& call, const std::string& url, const std::string& accessToken,
                 const tq::JSON& body);

// "src" and "target", then "safe" and "conflictsolve" when non-empty, then "override" when
// `sendsOverride` and the rule is non-empty.
tq::JSON transferBody(const TQFOPSAPIParams& params, bool sendsOverride);

}  // namespace TQFOPSRequest
