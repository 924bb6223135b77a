#include "QuenlarCloudAPI/API/Resource_API/FileOps_API/TQCopyAPI.h"

#include "QuenlarCloudAPI/API/Resource_API/FileOps_API/TQFOPSRequest.h"

void TQCopyAPI::prepareQuery() {
  const auto params = validatedParams<TQFOPSAPIParams>();
  TQFOPSRequest::preparePost(*this, serverBaseURLText() + "/cloud/1/fops/copy", params->accessToken,
                             TQFOPSRequest::transferBody(*params, /*sendsOverride=*/true));
}
