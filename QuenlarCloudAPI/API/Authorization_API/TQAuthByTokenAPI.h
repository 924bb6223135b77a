// TQAuthByTokenAPI: builds the URL of the partner-token sign-in page,
// <base>/cloud/1/oauth2/authbytoken with "response_type", "redirect_uri", "client_id", "mdn",
// "xdm_token" and, when not empty, "xdmdeviceid". The sign-in page's web view loads it; it is
// never sent as a call. The redirect URL is percent-encoded as the token calls encode their
// values; the other values are placed as they are.
#pragma once

#include "QuenlarCloudAPI/API/Authorization_API/TQAuthByTokenAPIParams.h"
#include "QuenlarCloudAPI/API/TQAPI.h"

class TQAuthByTokenAPI : public TQAPI {
 public:
  using TQAPI::TQAPI;

  void prepareQuery() override;
};
