// TQRevokeTokenAPIParams: the record of the revocation of an access token. Hosts fill it; the
// library itself never revokes (logout does not).
#pragma once

#include <string>

#include "QuenlarCloudAPI/API/Token_API/TQTokenAPIParams.h"

class TQRevokeTokenAPIParams : public TQTokenAPIParams {
 public:
  TQRevokeTokenAPIParams() = default;

  std::string accessToken;

  // The client's checks, then accessToken not empty ("access_token").
  bool validateParameters() const override;
};
