#include "QuenlarCloudAPI/API/Resource_API/Favorites_API/TQSetFavoritesAPI.h"

#include "QuenlarCloudAPI/Platform/JSON.h"

void TQSetFavoritesAPI::prepareQuery() {
  const auto params = validatedParams<TQSetFavoritesAPIParams>();
  setRequestURLString(serverBaseURLText() + "/cloud/1/favorites");
  setRequestMethod("PUT");
  const tq::JSON body = {{"uri", params->uri}, {"createVersion", params->createVersion}};
  // Text that is not UTF-8 is sent with replacement characters rather than raising from here.
  setRequestBody(body.dump(-1, ' ', false, tq::JSON::error_handler_t::replace));
  auto headers = bearerJSONHeaders(params->accessToken);
  headers.set("Content-Type", "application/json");
  setRequestHeaders(std::move(headers));
}
