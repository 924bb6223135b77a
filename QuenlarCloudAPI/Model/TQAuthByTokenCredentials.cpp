#include "QuenlarCloudAPI/Model/TQAuthByTokenCredentials.h"

std::shared_ptr<TQAuthByTokenCredentials> TQAuthByTokenCredentials::initWithClientID(
    std::string clientID, std::string clientSecret, std::string redirectURL, std::string keychainID,
    std::string xdmToken, std::string mdn, std::string xdmDeviceID) {
  // The constructor is private; make_shared cannot reach it.
  return std::shared_ptr<TQAuthByTokenCredentials>(new TQAuthByTokenCredentials(
      std::move(clientID), std::move(clientSecret), std::move(redirectURL), std::move(keychainID),
      std::move(xdmToken), std::move(mdn), std::move(xdmDeviceID)));
}

std::string TQAuthByTokenCredentials::xdmToken() const {
  std::lock_guard lock(mutex_);
  return xdmToken_;
}

void TQAuthByTokenCredentials::setXdmToken(std::string value) {
  std::lock_guard lock(mutex_);
  xdmToken_ = std::move(value);
}

std::string TQAuthByTokenCredentials::mdn() const {
  std::lock_guard lock(mutex_);
  return mdn_;
}

void TQAuthByTokenCredentials::setMdn(std::string value) {
  std::lock_guard lock(mutex_);
  mdn_ = std::move(value);
}

std::string TQAuthByTokenCredentials::xdmDeviceID() const {
  std::lock_guard lock(mutex_);
  return xdmDeviceID_;
}

void TQAuthByTokenCredentials::setXdmDeviceID(std::string value) {
  std::lock_guard lock(mutex_);
  xdmDeviceID_ = std::move(value);
}
