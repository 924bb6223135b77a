#include "QuenlarCloudAPI/API/Resource_API/FileOps_API/TQCreateFolderAPI.h"

#include "QuenlarCloudAPI/API/Resource_API/FileOps_API/TQFOPSRequest.h"

void TQCreateFolderAPI::prepareQuery() {
  const auto params = validatedParams<TQCreateFolderAPIParams>();
  tq::JSON body = {{"name", params->name}, {"path", params->path}};
  if (params->overrideRule) {
    body["override"] = *params->overrideRule;
  }
  TQFOPSRequest::preparePost(*this, serverBaseURLText() + "/cloud/1/fops/createfolder",
                             params->accessToken, body);
}
