// TQRevokeTokenAPI: the revocation of an access token, POST <base>/cloud/1/oauth2/revoke with
// client_id, client_secret and token in the query. Offered to hosts; the library never sends it.
// A 401 answer is delivered as it is: token calls never start a token refresh. Its handler runs
// on the default session's delegate queue.
#pragma once

#include "QuenlarCloudAPI/API/TQAPI.h"
#include "QuenlarCloudAPI/API/Token_API/TQRevokeTokenAPIParams.h"

class TQRevokeTokenAPI : public TQAPI {
 public:
  using TQAPI::TQAPI;

  void prepareQuery() override;

 protected:
  bool startsRefreshFlow() const override { return false; }
};
