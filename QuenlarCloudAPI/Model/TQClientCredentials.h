// TQClientCredentials: the host's registration with the server (client ID, client secret,
// redirect URL) and the keychain ID that names its credentials item. Immutable once made, so it
// is safe to share between threads. Empty text stands for a value the host did not give.
#pragma once

#include <memory>
#include <string>

class TQClientCredentials {
 public:
  virtual ~TQClientCredentials() = default;
  TQClientCredentials(const TQClientCredentials&) = delete;
  TQClientCredentials& operator=(const TQClientCredentials&) = delete;

  static std::shared_ptr<TQClientCredentials> initWithClientID(std::string clientID,
                                                               std::string clientSecret,
                                                               std::string redirectURL,
                                                               std::string keychainID);

  const std::string& clientID() const { return clientID_; }
  const std::string& clientSecret() const { return clientSecret_; }
  const std::string& redirectURLString() const { return redirectURLString_; }
  const std::string& keychainID() const { return keychainID_; }

 protected:
  TQClientCredentials(std::string clientID, std::string clientSecret, std::string redirectURL,
                      std::string keychainID)
      : clientID_(std::move(clientID)),
        clientSecret_(std::move(clientSecret)),
        redirectURLString_(std::move(redirectURL)),
        keychainID_(std::move(keychainID)) {}

 private:
  const std::string clientID_;
  const std::string clientSecret_;
  const std::string redirectURLString_;
  const std::string keychainID_;
};
