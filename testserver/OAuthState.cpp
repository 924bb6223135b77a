#include "testserver/OAuthState.h"

#include <string_view>
#include <utility>

namespace testserver {
namespace {

std::string bearerTokenOf(const httplib::Request& request) {
  const std::string value = request.get_header_value("Authorization");
  constexpr std::string_view kPrefix = "Bearer ";
  return value.starts_with(kPrefix) ? value.substr(kPrefix.size()) : std::string();
}

}  // namespace

void OAuthState::setClient(std::string clientID, std::string clientSecret) {
  std::lock_guard lock(mutex_);
  client_.emplace(std::move(clientID), std::move(clientSecret));
}

bool OAuthState::acceptsClient(const std::string& clientID) const {
  std::lock_guard lock(mutex_);
  return !clientID.empty() && (!client_ || client_->first == clientID);
}

bool OAuthState::acceptsClient(const std::string& clientID, const std::string& clientSecret) const {
  std::lock_guard lock(mutex_);
  if (clientID.empty() || clientSecret.empty()) {
    return false;
  }
  return !client_ || (client_->first == clientID && client_->second == clientSecret);
}

void OAuthState::setPageMode(PageMode mode) {
  std::lock_guard lock(mutex_);
  pageMode_ = mode;
}

OAuthState::PageMode OAuthState::pageMode() const {
  std::lock_guard lock(mutex_);
  return pageMode_;
}

void OAuthState::setPageError(std::string error) {
  std::lock_guard lock(mutex_);
  pageError_ = std::move(error);
}

std::string OAuthState::pageError() const {
  std::lock_guard lock(mutex_);
  return pageError_;
}

std::string OAuthState::issueAuthorizationCode(const std::string& clientID,
                                               const std::string& redirectURI) {
  std::lock_guard lock(mutex_);
  std::string code =
      nextCode_ ? *std::exchange(nextCode_, std::nullopt) : "code-" + std::to_string(++counter_);
  codes_.insert_or_assign(code, Code{clientID, redirectURI});
  return code;
}

void OAuthState::setNextAuthorizationCode(std::string nextCode) {
  std::lock_guard lock(mutex_);
  nextCode_ = std::move(nextCode);
}

bool OAuthState::redeemAuthorizationCode(const std::string& code, const std::string& clientID,
                                         const std::string& redirectURI) {
  std::lock_guard lock(mutex_);
  const auto found = codes_.find(code);
  if (found == codes_.end() || found->second.clientID != clientID ||
      found->second.redirectURI != redirectURI) {
    return false;
  }
  codes_.erase(found);
  return true;
}

OAuthState::Tokens OAuthState::issueTokens(const std::string& /*clientID*/) {
  std::lock_guard lock(mutex_);
  const std::string number = std::to_string(++counter_);
  Tokens tokens{"access-" + number, "refresh-" + number};
  accessTokens_.insert(tokens.accessToken);
  refreshTokens_.insert(tokens.refreshToken);
  return tokens;
}

std::optional<std::string> OAuthState::refreshAccessToken(const std::string& refreshToken) {
  std::lock_guard lock(mutex_);
  if (!refreshTokens_.contains(refreshToken) || revoked_.contains(refreshToken)) {
    return std::nullopt;
  }
  std::string accessToken = "access-" + std::to_string(++counter_);
  accessTokens_.insert(accessToken);
  return accessToken;
}

void OAuthState::expireAccessTokens() {
  std::lock_guard lock(mutex_);
  expired_.insert(accessTokens_.begin(), accessTokens_.end());
}

void OAuthState::expireToken(const std::string& token) {
  std::lock_guard lock(mutex_);
  expired_.insert(token);
}

void OAuthState::revoke(const std::string& token) {
  std::lock_guard lock(mutex_);
  revoked_.insert(token);
}

bool OAuthState::isRevoked(const std::string& token) const {
  std::lock_guard lock(mutex_);
  return revoked_.contains(token);
}

void OAuthState::setRefreshFailure(std::optional<int> status) {
  std::lock_guard lock(mutex_);
  refreshFailure_ = status;
}

std::optional<int> OAuthState::refreshFailure() const {
  std::lock_guard lock(mutex_);
  return refreshFailure_;
}

int OAuthState::tokenCallCount() const {
  std::lock_guard lock(mutex_);
  return tokenCalls_;
}

int OAuthState::refreshCallCount() const {
  std::lock_guard lock(mutex_);
  return refreshCalls_;
}

void OAuthState::countTokenCall(const std::string& grantType) {
  std::lock_guard lock(mutex_);
  ++tokenCalls_;
  if (grantType == "refresh_token") {
    ++refreshCalls_;
  }
}

nlohmann::ordered_json OAuthState::tokenAnswer(const std::string& accessToken,
                                               const std::string& refreshToken) {
  return {{"access_token", accessToken},
          {"expires_in", 3600},
          {"refresh_token", refreshToken},
          {"scope", "cloud"},
          {"token_type", "Bearer"}};
}

void OAuthState::setBearerCheck(BearerCheck check) {
  std::lock_guard lock(mutex_);
  bearerCheck_ = check;
}

OAuthState::BearerCheck OAuthState::bearerCheck() const {
  std::lock_guard lock(mutex_);
  return bearerCheck_;
}

bool OAuthState::acceptsAccessToken(const std::string& token) const {
  std::lock_guard lock(mutex_);
  if (token.empty() || expired_.contains(token) || revoked_.contains(token)) {
    return false;
  }
  return bearerCheck_ == BearerCheck::Permissive || accessTokens_.contains(token);
}

bool OAuthState::checkBearer(const httplib::Request& request, httplib::Response& response) const {
  if (acceptsAccessToken(bearerTokenOf(request))) {
    return true;
  }
  response.status = 401;
  response.set_header("WWW-Authenticate", "Bearer error=\"invalid_token\"");
  response.set_content(R"({"error":"invalid_token"})", "application/json");
  return false;
}

}  // namespace testserver
