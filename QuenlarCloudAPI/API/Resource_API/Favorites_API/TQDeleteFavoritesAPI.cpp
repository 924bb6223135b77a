#include "QuenlarCloudAPI/API/Resource_API/Favorites_API/TQDeleteFavoritesAPI.h"

#include "QuenlarCloudAPI/API/TQStringDictionary.h"
#include "QuenlarCloudAPI/Helper_Class/NSString_HelperMethods.h"

void TQDeleteFavoritesAPI::prepareQuery() {
  const auto params = validatedParams<TQDeleteFavoritesAPIParams>();
  const TQStringDictionary query = {
      {"uri", NSString_HelperMethods::stringByAddingPercentEncoding(params->uri)},
      {"createVersion", params->createVersion ? "1" : "0"}};
  setRequestURLString(serverBaseURLText() + "/cloud/1/favorites?" + paramterURLString(query));
  setRequestMethod("DELETE");
  setRequestHeaders(bearerJSONHeaders(params->accessToken));
}
