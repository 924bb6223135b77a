#include "QuenlarCloudAPI/API/Resource_API/VirtualFolder_API/TQDeleteVFolderAPI.h"

#include "QuenlarCloudAPI/Helper_Class/NSString_HelperMethods.h"

void TQDeleteVFolderAPI::prepareQuery() {
  const auto params = validatedParams<TQDeleteVFolderAPIParams>();
  TQStringDictionary query;
  query.set("name", NSString_HelperMethods::stringByAddingPercentEncoding(params->folderName));
  query.set("force", params->force ? "1" : "0");
  setRequestMethod("DELETE");
  setRequestURLString(serverBaseURLText() + "/cloud/1/virtualfolder?" + paramterURLString(query));
  setRequestHeaders(bearerJSONHeaders(params->accessToken));
}
