#include "QuenlarCloudAPI/API/Resource_API/FileOps_API/TQFOPSRequest.h"

#include "QuenlarCloudAPI/API/Resource_API/FileOps_API/TQFOPSAPIParams.h"
#include "QuenlarCloudAPI/API/TQAPI.h"
#include "QuenlarCloudAPI/API/TQException.h"

namespace TQFOPSRequest {

void preparePost(TQAPI& call, const std::string& url, const std::string& accessToken,
                 const tq::JSON& body) {
  std::string text;
  try {
    text = body.dump();
  } catch (const tq::JSON::type_error&) {
    throw TQException(NSInvalidArgumentException,
                      "A text of the request is not valid UTF-8: " + call.className());
  }
  call.setRequestMethod("POST");
  call.setRequestURLString(url);
  auto headers = TQAPI::bearerJSONHeaders(accessToken);
  headers.set("Content-Type", "application/json");
  call.setRequestHeaders(std::move(headers));
  call.setRequestBody(std::move(text));
}

tq::JSON transferBody(const TQFOPSAPIParams& params, bool sendsOverride) {
  tq::JSON body = {{"src", params.source}, {"target", params.target}};
  if (!params.safe.empty()) {
    body["safe"] = params.safe;
  }
  if (!params.conflictsolve.empty()) {
    body["conflictsolve"] = params.conflictsolve;
  }
  if (sendsOverride && !params.overrideRule.empty()) {
    body["override"] = params.overrideRule;
  }
  return body;
}

}  // namespace TQFOPSRequest
