#include <gtest/gtest.h>
#include <httplib.h>

#include <nlohmann/json.hpp>
#include <string>

#include "testserver/OAuthRoutes.h"
#include "testserver/TestServer.h"

namespace testserver {
namespace {

class OAuthRoutesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    installOAuthRoutes(server_);
    server_.route("GET", "/protected",
                  [this](const httplib::Request& request, httplib::Response& response) {
                    if (state().checkBearer(request, response)) {
                      response.set_content("{}", "application/json");
                    }
                  });
  }

  OAuthState& state() { return server_.state<OAuthState>(); }

  httplib::Result get(const std::string& target) { return client_.Get(target); }
  // The token calls send their parameters in the query of a POST without a body.
  httplib::Result post(const std::string& target) {
    return client_.Post(target, "", "application/x-www-form-urlencoded");
  }
  httplib::Result exchange(const std::string& code, const std::string& redirect = "app://done") {
    return post("/cloud/1/oauth2/token?grant_type=authorization_code&code=" + encode(code) +
                "&client_id=cid&client_secret=sec&redirect_uri=" + encode(redirect));
  }
  httplib::Result refresh(const std::string& refreshToken) {
    return post(
        "/cloud/1/oauth2/token?grant_type=refresh_token&client_id=cid&client_secret=sec"
        "&refresh_token=" +
        refreshToken);
  }
  int protectedStatus(const std::string& token) {
    httplib::Headers headers;
    if (!token.empty()) {
      headers.emplace("Authorization", "Bearer " + token);
    }
    const auto result = client_.Get("/protected", headers);
    return result ? result->status : -1;
  }
  static std::string encode(const std::string& text) {
    return httplib::detail::encode_query_param(text);
  }
  static nlohmann::json body(const httplib::Result& result) {
    return nlohmann::json::parse(result->body, nullptr, false);
  }

  TestServer server_;
  httplib::Client client_{server_.baseURL()};
};

TEST_F(OAuthRoutesTest, PagesAnswerAsTheModeSays) {
  const std::string pages[] = {
      "/cloud/1/oauth2/authorize?response_type=code&redirect_uri=app%3A%2F%2Fdone&client_id=cid"
      "&deviceid=D",
      "/cloud/1/oauth2/authorizesilent?mdn=1234567890&spc_token=S&response_type=code"
      "&redirect_uri=app%3A%2F%2Fdone&client_id=cid&deviceid=D",
      "/cloud/1/oauth2/authbytoken?response_type=code&redirect_uri=app%3A%2F%2Fdone"
      "&client_id=cid&mdn=1234567890&xdm_token=X",
  };
  for (const auto& page : pages) {
    SCOPED_TRACE(page);
    state().setPageMode(OAuthState::PageMode::Redirect);
    state().setNextAuthorizationCode("a/b c");
    auto result = get(page);
    EXPECT_EQ(result->status, 302);
    // httplib's client hands the header over decoded.
    EXPECT_EQ(result->get_header_value("Location"), "app://done?code=a/b c");
    EXPECT_EQ(exchange("a/b c")->status, 200) << "the code is the one issued, decoded";

    state().setPageMode(OAuthState::PageMode::ErrorRedirect);
    result = get(page);
    EXPECT_EQ(result->status, 302);
    EXPECT_EQ(result->get_header_value("Location"), "app://done?error=access_denied");

    state().setPageMode(OAuthState::PageMode::ApprovePage);
    result = get(page);
    EXPECT_EQ(result->status, 200);
    EXPECT_EQ(result->get_header_value("Content-Type"), "text/html");
    EXPECT_NE(result->body.find("id=\"approve\" href=\"app://done?code=code-"), std::string::npos)
        << result->body;
    EXPECT_NE(result->body.find("id=\"deny\" href=\"app://done?error=access_denied\""),
              std::string::npos);
  }
}

TEST_F(OAuthRoutesTest, TokenEndpointGrants) {
  state().setClient("cid", "sec");
  const std::string code = state().issueAuthorizationCode("cid", "app://done");
  const std::string otherCode = state().issueAuthorizationCode("cid", "app://done");

  const auto first = exchange(code);
  ASSERT_EQ(first->status, 200);
  const auto tokens = body(first);
  for (const char* member :
       {"access_token", "expires_in", "refresh_token", "scope", "token_type"}) {
    EXPECT_TRUE(tokens.contains(member)) << member;
  }
  const struct {
    const char* reason;
    httplib::Result result;
    int status;
    const char* error;
  } cases[] = {
      {"a used code", exchange(code), 400, "invalid_grant"},
      {"another redirect URL", exchange(otherCode, "app://other"), 400, "invalid_grant"},
      {"an unknown code", exchange("never-issued"), 400, "invalid_grant"},
      {"a wrong secret",
       post("/cloud/1/oauth2/token?grant_type=authorization_code&code=" + otherCode +
            "&client_id=cid&client_secret=wrong&redirect_uri=app%3A%2F%2Fdone"),
       401, "invalid_client"},
      {"an unknown refresh token", refresh("refresh-unknown"), 400, "invalid_grant"},
      {"an unknown grant",
       post("/cloud/1/oauth2/token?grant_type=password&client_id=cid"
            "&client_secret=sec"),
       400, "unsupported_grant_type"},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(c.result) << c.reason;
    EXPECT_EQ(c.result->status, c.status) << c.reason;
    EXPECT_EQ(body(c.result)["error"], c.error) << c.reason;
  }

  const auto renewed = refresh(tokens["refresh_token"]);
  ASSERT_EQ(renewed->status, 200);
  EXPECT_NE(body(renewed)["access_token"], tokens["access_token"]);
  EXPECT_EQ(body(renewed)["refresh_token"], tokens["refresh_token"]);

  state().setRefreshFailure(400);
  EXPECT_EQ(refresh(tokens["refresh_token"])->status, 400);
  EXPECT_EQ(state().tokenCallCount(), 9);
  EXPECT_EQ(state().refreshCallCount(), 3);
}

TEST_F(OAuthRoutesTest, BearerCheckModes) {
  const auto issued = state().issueTokens("cid");
  const auto expired = state().issueTokens("cid");
  const auto revoked = state().issueTokens("cid");
  state().expireToken(expired.accessToken);
  ASSERT_EQ(
      post("/cloud/1/oauth2/revoke?client_id=cid&client_secret=sec&token=" + revoked.accessToken)
          ->status,
      200);
  state().expireToken("expired-unknown");

  const struct {
    std::string token;
    int permissive;
    int strict;
    const char* reason;
  } cases[] = {
      {"", 401, 401, "no token"},
      {issued.accessToken, 200, 200, "an issued token"},
      {"made-up", 200, 401, "a token never issued"},
      {expired.accessToken, 401, 401, "an expired token"},
      {"expired-unknown", 401, 401, "a token expired without being issued"},
      {revoked.accessToken, 401, 401, "a revoked token"},
  };
  for (const auto mode : {OAuthState::BearerCheck::Permissive, OAuthState::BearerCheck::Strict}) {
    state().setBearerCheck(mode);
    for (const auto& c : cases) {
      EXPECT_EQ(protectedStatus(c.token),
                mode == OAuthState::BearerCheck::Permissive ? c.permissive : c.strict)
          << c.reason << (mode == OAuthState::BearerCheck::Strict ? " (strict)" : "");
    }
  }

  state().expireAccessTokens();
  EXPECT_EQ(protectedStatus(issued.accessToken), 401) << "every token issued so far expires";
  const auto renewed = body(refresh(issued.refreshToken));
  EXPECT_EQ(protectedStatus(renewed["access_token"]), 200) << "a refreshed token is fresh";
}

}  // namespace
}  // namespace testserver
