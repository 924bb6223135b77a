#include "QuenlarCloudAPI/API/Contact_API/TQDeleteContactAPI.h"

#include "QuenlarCloudAPI/API/Contact_API/TQDeleteContactAPIParams.h"
#include "QuenlarCloudAPI/Helper_Class/NSString_HelperMethods.h"

void TQDeleteContactAPI::prepareQuery() {
  const auto params = validatedParams<TQDeleteContactAPIParams>();
  setRequestMethod("DELETE");
  setRequestURLString(serverBaseURLText() + "/cloud/1/contacts/" +
                      NSString_HelperMethods::urlPathSegmentsEncoded(params->contactID));
  setRequestHeaders(bearerJSONHeaders(params->accessToken));
}
