// TQAccessTokenAPIParams: the record of the code exchange (grant "authorization_code"): the code
// the sign-in page received, the redirect URL it was issued for, and the grant type.
#pragma once

#include <string>

#include "QuenlarCloudAPI/API/Token_API/TQTokenAPIParams.h"

class TQAccessTokenAPIParams : public TQTokenAPIParams {
 public:
  TQAccessTokenAPIParams() = default;

  std::string authCode;
  std::string redirectURLString;
  std::string grantType;

  // The client's checks, then authCode ("code"), redirectURLString ("redirect_uri") and
  // grantType ("grant_type") not empty.
  bool validateParameters() const override;
};
