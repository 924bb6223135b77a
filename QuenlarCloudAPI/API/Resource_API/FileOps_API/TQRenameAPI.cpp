#include "QuenlarCloudAPI/API/Resource_API/FileOps_API/TQRenameAPI.h"

#include "QuenlarCloudAPI/API/Resource_API/FileOps_API/TQFOPSRequest.h"

void TQRenameAPI::prepareQuery() {
  const auto params = validatedParams<TQFOPSAPIParams>();
  TQFOPSRequest::preparePost(*this, serverBaseURLText() + "/cloud/1/fops/rename",
                             params->accessToken,
                             TQFOPSRequest::transferBody(*params, /*sendsOverride=*/false));
}
