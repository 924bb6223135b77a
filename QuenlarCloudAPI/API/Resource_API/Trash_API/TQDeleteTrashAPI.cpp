#include "QuenlarCloudAPI/API/Resource_API/Trash_API/TQDeleteTrashAPI.h"

#include "QuenlarCloudAPI/Helper_Class/NSString_HelperMethods.h"

void TQDeleteTrashAPI::prepareQuery() {
  const auto params = validatedParams<TQDeleteTrashAPIParams>();
  TQStringDictionary query;
  query.set("virtualfolder",
            NSString_HelperMethods::stringByAddingPercentEncoding(params->virtualfolder));
  setRequestMethod("DELETE");
  setRequestURLString(serverBaseURLText() + "/cloud/1/trash?" + paramterURLString(query));
  setRequestHeaders(bearerJSONHeaders(params->accessToken));
}
