// TQAuthByTokenAPIParams: the record of the partner-token sign-in page: what the page's URL
// carries. `state` is kept for hosts but never sent; xdmDeviceID is sent only when not empty.
#pragma once

#include <optional>
#include <string>

#include "QuenlarCloudAPI/API/TQAPIParams.h"
#include "QuenlarCloudAPI/Platform/URL.h"

class TQAuthByTokenAPIParams : public TQAPIParams {
 public:
  TQAuthByTokenAPIParams() = default;

  std::string responseType;
  std::string clientID;
  std::string redirectURLString;
  std::string state;
  std::string xdmToken;
  std::string mdn;
  std::string xdmDeviceID;

  // As TQAuthorizationAPIParams::redirectURL().
  std::optional<tq::URL> redirectURL() const;

  // clientID ("client_id"), redirectURLString ("redirect_uri"; also when it makes no URL),
  // responseType ("response_type"), xdmToken ("xdmToken") and mdn ("mdn") not empty.
  bool validateParameters() const override;
};
