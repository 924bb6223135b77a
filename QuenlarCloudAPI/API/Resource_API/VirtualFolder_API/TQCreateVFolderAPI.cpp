#include "QuenlarCloudAPI/API/Resource_API/VirtualFolder_API/TQCreateVFolderAPI.h"

#include "QuenlarCloudAPI/Helper_Class/NSString_HelperMethods.h"

std::string TQCreateVFolderAPI::encodedFolderName(std::string_view folderName) {
  // The second pass leaves what the first wrote alone ("%" and "/" stay) and adds only the
  // escapes a path needs: "?" and dot segments. Letters of other scripts that it escapes go on
  // the wire as the same bytes, since the URL escapes non-ASCII bytes in any case.
  return NSString_HelperMethods::urlPathSegmentsEncoded(
      NSString_HelperMethods::stringByAddingPercentEncoding(folderName));
}

void TQCreateVFolderAPI::prepareQuery() {
  const auto params = validatedParams<TQCreateVFolderAPIParams>();
  setRequestMethod("POST");
  setRequestURLString(serverBaseURLText() + "/cloud/1/virtualfolder/" +
                      encodedFolderName(params->folderName));
  TQStringDictionary headers = bearerJSONHeaders(params->accessToken);
  headers.set("Content-Type", "application/json");
  setRequestHeaders(std::move(headers));
}
