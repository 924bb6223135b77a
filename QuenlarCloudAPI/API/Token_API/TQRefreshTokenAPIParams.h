// TQRefreshTokenAPIParams: the record of the token refresh (grant "refresh_token").
#pragma once

#include <string>

#include "QuenlarCloudAPI/API/Token_API/TQTokenAPIParams.h"

class TQRefreshTokenAPIParams : public TQTokenAPIParams {
 public:
  TQRefreshTokenAPIParams() = default;

  std::string refreshToken;
  std::string grantType;

  // The client's checks, then refreshToken ("refresh_token") and grantType ("grant_type") not
  // empty.
  bool validateParameters() const override;
};
