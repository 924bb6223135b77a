#include "QuenlarCloudAPI/API/Resource_API/Tags_API/TQSetTagsAPI.h"

#include "QuenlarCloudAPI/Platform/JSON.h"

void TQSetTagsAPI::prepareQuery() {
  const auto params = validatedParams<TQSetTagsAPIParams>();
  setRequestURLString(serverBaseURLText() + "/cloud/1/tags");
  setRequestMethod("PUT");
  const tq::JSON body = {
      {"Tags", params->tags}, {"uri", params->uri}, {"createVersion", params->createVersion}};
  // Text that is not UTF-8 is sent with replacement characters rather than raising from here.
  setRequestBody(body.dump(-1, ' ', false, tq::JSON::error_handler_t::replace));
  auto headers = bearerJSONHeaders(params->accessToken);
  headers.set("Content-Type", "application/json");
  setRequestHeaders(std::move(headers));
}
