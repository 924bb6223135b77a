#include "QuenlarCloudAPI/API/Resource_API/Files_API/TQFilesAPI.h"

#include "QuenlarCloudAPI/Helper_Class/NSString_HelperMethods.h"

void TQFilesAPI::prepareQuery() {
  const auto params = validatedParams<TQFilesAPIParams>();
  setRequestURLString(serverBaseURLText() + "/cloud/1/files" +
                      NSString_HelperMethods::urlPathEncoded(params->path));
  setRequestHeaders(bearerJSONHeaders(params->accessToken));
}
