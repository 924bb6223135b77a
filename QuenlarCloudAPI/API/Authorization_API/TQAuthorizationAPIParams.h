// TQAuthorizationAPIParams: the record of the ordinary sign-in page (and its silent form): what
// the page's URL carries. `state` is kept for hosts but never sent.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "QuenlarCloudAPI/API/TQAPIParams.h"
#include "QuenlarCloudAPI/Platform/URL.h"

class TQAuthorizationAPIParams : public TQAPIParams {
 public:
  TQAuthorizationAPIParams() = default;

  std::string responseType;
  std::string clientID;
  std::string redirectURLString;
  std::string state;
  std::string deviceID;

  // The redirect URL as navigations are compared with it: made from redirectURLString after the
  // URL-query percent-encoding; nullopt when that makes no URL.
  std::optional<tq::URL> redirectURL() const { return redirectURLFrom(redirectURLString); }
  static std::optional<tq::URL> redirectURLFrom(std::string_view redirectURLString);

  // clientID ("client_id"), redirectURLString ("redirect_uri"; also when it makes no URL) and
  // responseType ("response_type") not empty.
  bool validateParameters() const override;
};
