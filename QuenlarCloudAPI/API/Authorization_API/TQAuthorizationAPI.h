// TQAuthorizationAPI: builds the URL of the ordinary sign-in page, which the sign-in page's web
// view loads; it is never sent as a call. With the subscriber's MDN and second token both known
// (TQSubscriber_Helper) it is the silent page <base>/cloud/1/oauth2/authorizesilent with "mdn" and
// "spc_token", else <base>/cloud/1/oauth2/authorize; both carry "response_type", "redirect_uri",
// "client_id" and "deviceid". The redirect URL is percent-encoded as the token calls encode their
// values; the other values are placed as they are.
#pragma once

#include "QuenlarCloudAPI/API/Authorization_API/TQAuthorizationAPIParams.h"
#include "QuenlarCloudAPI/API/TQAPI.h"

class TQAuthorizationAPI : public TQAPI {
 public:
  using TQAPI::TQAPI;

  void prepareQuery() override;
};
