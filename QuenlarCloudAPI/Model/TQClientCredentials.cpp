#include "QuenlarCloudAPI/Model/TQClientCredentials.h"

std::shared_ptr<TQClientCredentials> TQClientCredentials::initWithClientID(std::string clientID,
                                                                           std::string clientSecret,
                                                                           std::string redirectURL,
                                                                           std::string keychainID) {
  // The constructor is protected so that subclasses can build on it; make_shared cannot reach it.
  return std::shared_ptr<TQClientCredentials>(new TQClientCredentials(
      std::move(clientID), std::move(clientSecret), std::move(redirectURL), std::move(keychainID)));
}
