#include "QuenlarCloudAPI/API/Resource_API/FileOps_API/TQRestoreAPI.h"

#include "QuenlarCloudAPI/API/Resource_API/FileOps_API/TQFOPSRequest.h"

void TQRestoreAPI::prepareQuery() {
  const auto params = validatedParams<TQRestoreAPIParams>();
  // A list even for one path: the server reads "path" as a list.
  const tq::JSON body = {{"path", params->paths}};
  TQFOPSRequest::preparePost(*this, serverBaseURLText() + "/cloud/1/fops/restore",
                             params->accessToken, body);
}
