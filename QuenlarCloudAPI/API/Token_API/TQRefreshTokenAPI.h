// TQRefreshTokenAPI: the token refresh, POST <base>/cloud/1/oauth2/token with grant_type,
// client_id, client_secret and refresh_token in the query. Expected status 200, whose answer
// TQAuthenticationResponse::initWithDict() reads. A 401 answer is delivered as it is: token calls
// never start a token refresh. Its handler runs on the default session's delegate queue.
#pragma once

#include "QuenlarCloudAPI/API/TQAPI.h"
#include "QuenlarCloudAPI/API/Token_API/TQRefreshTokenAPIParams.h"

class TQRefreshTokenAPI : public TQAPI {
 public:
  using TQAPI::TQAPI;

  void prepareQuery() override;

 protected:
  bool startsRefreshFlow() const override { return false; }
};
