#include "QuenlarCloudAPI/API/AccountInfo_API/TQAccountInfoAPI.h"

void TQAccountInfoAPI::prepareQuery() {
  const auto params = validatedParams<TQAccountInfoAPIParams>();
  setRequestURLString(serverBaseURLText() + "/cloud/1/account");
  setRequestHeaders(bearerJSONHeaders(params->accessToken));
}
