// OAuthState: the sign-in state of the stand-in cloud service: authorization codes, issued access
// and refresh tokens, revoked and expired tokens, the switches tests turn, and the bearer check
// that the other endpoint families use. Kept in server.state<OAuthState>(); every member is safe
// from any thread.
//
// Tokens and codes are short readable texts ("access-1", "refresh-1", "code-1") numbered per
// server. Codes are single-use and bound to the client ID and redirect URL they were issued for.
#pragma once

#include <httplib.h>

#include <map>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>
#include <string>

namespace testserver {

class OAuthState {
 public:
  // How a sign-in page answers a well-formed request.
  enum class PageMode {
    ApprovePage,    // 200 with an HTML page whose link id="approve" targets redirect?code=...
                    // and whose link id="deny" targets redirect?error=... (attribute values
                    // HTML-escaped)
    Redirect,       // 302 with Location: redirect?code=...
    ErrorRedirect,  // 302 with Location: redirect?error=<pageError()>
  };

  // Which bearer tokens checkBearer() accepts.
  enum class BearerCheck {
    Permissive,  // any non-empty token that was not expired or revoked here
    Strict,      // only tokens issued here and neither expired nor revoked
  };

  struct Tokens {
    std::string accessToken;
    std::string refreshToken;
  };

  // ---- Client ----

  // Once set, the token and revoke endpoints answer 401 "invalid_client", and the pages 400, to
  // any other client ID (or secret); until then every non-empty client ID and secret is accepted.
  void setClient(std::string clientID, std::string clientSecret);
  bool acceptsClient(const std::string& clientID) const;
  bool acceptsClient(const std::string& clientID, const std::string& clientSecret) const;

  // ---- Sign-in pages ----

  void setPageMode(PageMode mode);  // default ApprovePage
  PageMode pageMode() const;
  void setPageError(std::string error);  // default "access_denied"
  std::string pageError() const;

  // A new code for this client and redirect URL. The next one is `nextCode` when set (for codes
  // holding characters that need encoding), else "code-<n>".
  std::string issueAuthorizationCode(const std::string& clientID, const std::string& redirectURI);
  void setNextAuthorizationCode(std::string nextCode);
  // True, and the code is used up, when it was issued for this client and redirect URL and not
  // used before.
  bool redeemAuthorizationCode(const std::string& code, const std::string& clientID,
                               const std::string& redirectURI);

  // ---- Tokens ----

  // A new access token and a new refresh token.
  Tokens issueTokens(const std::string& clientID);
  // A new access token for a refresh token issued here and not revoked; nullopt otherwise.
  std::optional<std::string> refreshAccessToken(const std::string& refreshToken);

  // Every access token issued so far expires; tokens issued later do not.
  void expireAccessTokens();
  // This token expires, whether it was issued here or not.
  void expireToken(const std::string& token);
  // Revokes an access or refresh token, whether it was issued here or not.
  void revoke(const std::string& token);
  bool isRevoked(const std::string& token) const;

  // Refresh grants answer this status with {"error":"invalid_grant"} instead of tokens;
  // nullopt (the default) lets them succeed.
  void setRefreshFailure(std::optional<int> status);
  std::optional<int> refreshFailure() const;

  // Requests to the token endpoint, whatever their outcome, and those of them with the refresh
  // grant.
  int tokenCallCount() const;
  int refreshCallCount() const;
  void countTokenCall(const std::string& grantType);

  // The body of a successful token answer for these tokens.
  static nlohmann::ordered_json tokenAnswer(const std::string& accessToken,
                                            const std::string& refreshToken);

  // ---- Bearer check ----

  void setBearerCheck(BearerCheck check);  // default Permissive
  BearerCheck bearerCheck() const;
  // True when the request's "Authorization: Bearer <token>" is accepted; otherwise answers 401
  // {"error":"invalid_token"} with a WWW-Authenticate header and returns false.
  bool checkBearer(const httplib::Request& request, httplib::Response& response) const;
  bool acceptsAccessToken(const std::string& token) const;

 private:
  struct Code {
    std::string clientID;
    std::string redirectURI;
  };

  mutable std::mutex mutex_;
  std::optional<std::pair<std::string, std::string>> client_;
  PageMode pageMode_ = PageMode::ApprovePage;
  std::string pageError_ = "access_denied";
  std::optional<std::string> nextCode_;
  std::map<std::string, Code> codes_;  // issued and not yet used
  std::set<std::string> accessTokens_;
  std::set<std::string> refreshTokens_;
  std::set<std::string> expired_;
  std::set<std::string> revoked_;
  std::optional<int> refreshFailure_;
  BearerCheck bearerCheck_ = BearerCheck::Permissive;
  int counter_ = 0;
  int tokenCalls_ = 0;
  int refreshCalls_ = 0;
};

}  // namespace testserver
