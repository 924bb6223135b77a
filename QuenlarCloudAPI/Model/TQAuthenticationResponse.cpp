#include "QuenlarCloudAPI/Model/TQAuthenticationResponse.h"

#include "QuenlarCloudAPI/API/TQJSONReading.h"

std::shared_ptr<TQAuthenticationResponse> TQAuthenticationResponse::initWithDict(
    const tq::JSON& dict) {
  auto record = std::make_shared<TQAuthenticationResponse>();
  record->accessToken_ =
      TQJSONReading::string(TQJSONReading::member(dict, "access_token")).value_or("");
  record->refreshToken_ =
      TQJSONReading::string(TQJSONReading::member(dict, "refresh_token")).value_or("");
  record->expiresIn_ = TQJSONReading::doubleValue(TQJSONReading::member(dict, "expires_in"));
  return record;
}

bool TQAuthenticationResponse::isAuthenticated() const {
  std::lock_guard lock(mutex_);
  return !accessToken_.empty();
}

std::string TQAuthenticationResponse::accessToken() const {
  std::lock_guard lock(mutex_);
  return accessToken_;
}

void TQAuthenticationResponse::setAccessToken(std::string value) {
  std::lock_guard lock(mutex_);
  accessToken_ = std::move(value);
}

std::string TQAuthenticationResponse::refreshToken() const {
  std::lock_guard lock(mutex_);
  return refreshToken_;
}

void TQAuthenticationResponse::setRefreshToken(std::string value) {
  std::lock_guard lock(mutex_);
  refreshToken_ = std::move(value);
}

double TQAuthenticationResponse::expiresIn() const {
  std::lock_guard lock(mutex_);
  return expiresIn_;
}

void TQAuthenticationResponse::setExpiresIn(double value) {
  std::lock_guard lock(mutex_);
  expiresIn_ = value;
}
