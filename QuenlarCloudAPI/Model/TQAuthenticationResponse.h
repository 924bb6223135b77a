// TQAuthenticationResponse: the tokens of the signed-in user, as the token endpoint answered
// them. The facade holds one and replaces it as a whole; hosts receive it from the sign-in
// handlers. Every accessor is safe from any thread.
#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "QuenlarCloudAPI/Platform/JSON.h"

class TQAuthenticationResponse {
 public:
  TQAuthenticationResponse() = default;
  TQAuthenticationResponse(const TQAuthenticationResponse&) = delete;
  TQAuthenticationResponse& operator=(const TQAuthenticationResponse&) = delete;

  // Reads a token answer (or the stored copy of one): "access_token" and "refresh_token" when
  // they are text, "expires_in" as a number (0 when absent). Anything that is not an object,
  // null included, gives a record without tokens. Never throws on the answer's content.
  static std::shared_ptr<TQAuthenticationResponse> initWithDict(const tq::JSON& dict);

  // True exactly when the access token is not empty.
  bool isAuthenticated() const;

  std::string accessToken() const;
  void setAccessToken(std::string value);
  std::string refreshToken() const;
  void setRefreshToken(std::string value);
  // The server's lifetime of the token in seconds; kept, never used to judge expiry.
  double expiresIn() const;
  void setExpiresIn(double value);

 private:
  mutable std::mutex mutex_;
  std::string accessToken_;
  std::string refreshToken_;
  double expiresIn_ = 0;
};
