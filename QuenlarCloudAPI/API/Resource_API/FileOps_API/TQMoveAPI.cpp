#include "QuenlarCloudAPI/API/Resource_API/FileOps_API/TQMoveAPI.h"

#include "QuenlarCloudAPI/API/Resource_API/FileOps_API/TQFOPSRequest.h"

void TQMoveAPI::prepareQuery() {
  const auto params = validatedParams<TQFOPSAPIParams>();
  TQFOPSRequest::preparePost(*this, serverBaseURLText() + "/cloud/1/fops/move", params->accessToken,
                             TQFOPSRequest::transferBody(*params, /*sendsOverride=*/false));
}
