#include "QuenlarCloudAPI/API/Resource_API/Upload_API/TQIntentUploadAPI.h"

#include <string>

#include "QuenlarCloudAPI/API/Resource_API/Upload_API/TQUploadAPIParams.h"
#include "QuenlarCloudAPI/API/TQStringDictionary.h"
#include "QuenlarCloudAPI/Helper_Class/NSString_HelperMethods.h"

void TQIntentUploadAPI::prepareQuery() {
  const auto params = validatedParams<TQUploadAPIParams>();
  TQStringDictionary query;
  query.set("path", NSString_HelperMethods::stringByAddingPercentEncoding(params->path));
  query.set("name", NSString_HelperMethods::stringByAddingPercentEncoding(params->name));
  query.set("size", std::to_string(params->size));
  // A checksum the facade computed is hexadecimal and goes unchanged; one a host wrote itself
  // cannot add pairs to the query.
  query.set("checksum", NSString_HelperMethods::rawQueryValueEncoded(params->checkSum));
  query.set("chunk", params->chunk ? "true" : "false");
  setRequestURLString(serverBaseURLText() + "/cloud/1/fileupload/intent?" +
                      paramterURLString(query));
  setRequestHeaders(bearerJSONHeaders(params->accessToken));
}
