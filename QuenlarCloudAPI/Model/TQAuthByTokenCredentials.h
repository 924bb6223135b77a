// TQAuthByTokenCredentials: the host's client credentials plus what the sign-in by partner token
// sends: the partner's token, the subscriber's MDN and the partner's device ID. The client fields
// are fixed when made; the three partner fields may be changed afterwards. Every accessor is safe
// from any thread.
#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "QuenlarCloudAPI/Model/TQClientCredentials.h"

class TQAuthByTokenCredentials : public TQClientCredentials {
 public:
  static std::shared_ptr<TQAuthByTokenCredentials> initWithClientID(
      std::string clientID, std::string clientSecret, std::string redirectURL,
      std::string keychainID, std::string xdmToken, std::string mdn, std::string xdmDeviceID);

  std::string xdmToken() const;
  void setXdmToken(std::string value);
  std::string mdn() const;
  void setMdn(std::string value);
  // Sent only when not empty.
  std::string xdmDeviceID() const;
  void setXdmDeviceID(std::string value);

 private:
  TQAuthByTokenCredentials(std::string clientID, std::string clientSecret, std::string redirectURL,
                           std::string keychainID, std::string xdmToken, std::string mdn,
                           std::string xdmDeviceID)
      : TQClientCredentials(std::move(clientID), std::move(clientSecret), std::move(redirectURL),
                            std::move(keychainID)),
        xdmToken_(std::move(xdmToken)),
        mdn_(std::move(mdn)),
        xdmDeviceID_(std::move(xdmDeviceID)) {}

  mutable std::mutex mutex_;
  std::string xdmToken_;
  std::string mdn_;
  std::string xdmDeviceID_;
};
