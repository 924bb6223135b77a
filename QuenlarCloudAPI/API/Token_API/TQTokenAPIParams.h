// TQTokenAPIParams: the base of the token endpoint's records: the host's client ID and secret.
// Unlike the resource records it carries no access token, and the facade never fills one in.
#pragma once

#include <string>

#include "QuenlarCloudAPI/API/TQAPIParams.h"

class TQTokenAPIParams : public TQAPIParams {
 public:
  TQTokenAPIParams() = default;

  std::string clientID;
  std::string clientSecret;

  // clientID not empty ("client_id"), then clientSecret not empty ("client_secret").
  bool validateParameters() const override;
};
