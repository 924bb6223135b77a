#include "testserver/OAuthRoutes.h"

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "testserver/RouteSupport.h"

namespace testserver {
namespace {

void answerError(httplib::Response& response, int status, const char* error) {
  answerJSON(response, status, {{"error", error}});
}

std::string param(const httplib::Request& request, const char* name) {
  return request.has_param(name) ? request.get_param_value(name) : std::string();
}

std::string percentEncode(std::string_view text) {
  constexpr std::string_view kHex = "0123456789ABCDEF";
  std::string out;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if ((byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
        (byte >= '0' && byte <= '9') || c == '-' || c == '.' || c == '_' || c == '~') {
      out += c;
    } else {
      out += '%';
      out += kHex[byte >> 4U];
      out += kHex[byte & 0xFU];
    }
  }
  return out;
}

std::string escapeHTML(std::string_view text) {
  std::string out;
  for (const char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string redirectWith(const std::string& redirectURI, const char* name,
                         const std::string& value) {
  const char joiner = redirectURI.find('?') == std::string::npos ? '?' : '&';
  return redirectURI + joiner + name + "=" + percentEncode(value);
}

void answerPageError(httplib::Response& response, const std::string& reason) {
  response.status = 400;
  response.set_content("<!DOCTYPE html>\n<html><body><p>invalid_request: " + escapeHTML(reason) +
                           "</p></body></html>\n",
                       "text/html");
}

// A sign-in page: checks the request, then answers as the state's page mode says.
void answerPage(OAuthState& state, const std::vector<const char*>& required,
                const httplib::Request& request, httplib::Response& response) {
  for (const char* name : required) {
    if (param(request, name).empty()) {
      answerPageError(response, std::string("missing ") + name);
      return;
    }
  }
  const std::string clientID = param(request, "client_id");
  if (param(request, "response_type") != "code") {
    answerPageError(response, "response_type must be code");
    return;
  }
  if (!state.acceptsClient(clientID)) {
    answerPageError(response, "unknown client");
    return;
  }
  const std::string redirectURI = param(request, "redirect_uri");
  switch (state.pageMode()) {
    case OAuthState::PageMode::ErrorRedirect:
      response.set_redirect(redirectWith(redirectURI, "error", state.pageError()), 302);
      return;
    case OAuthState::PageMode::Redirect:
      response.set_redirect(
          redirectWith(redirectURI, "code", state.issueAuthorizationCode(clientID, redirectURI)),
          302);
      return;
    case OAuthState::PageMode::ApprovePage:
      break;
  }
  const std::string approve =
      redirectWith(redirectURI, "code", state.issueAuthorizationCode(clientID, redirectURI));
  const std::string deny = redirectWith(redirectURI, "error", "access_denied");
  response.status = 200;
  response.set_content(
      "<!DOCTYPE html>\n<html><head><title>Sign in</title></head><body>\n"
      "<p>Allow " +
          escapeHTML(clientID) +
          " to reach your cloud?</p>\n"
          "<a id=\"approve\" href=\"" +
          escapeHTML(approve) + "\">Allow</a>\n<a id=\"deny\" href=\"" + escapeHTML(deny) +
          "\">Deny</a>\n</body></html>\n",
      "text/html");
}

void answerToken(OAuthState& state, const httplib::Request& request, httplib::Response& response) {
  const std::string grantType = param(request, "grant_type");
  state.countTokenCall(grantType);
  const std::string clientID = param(request, "client_id");
  if (!state.acceptsClient(clientID, param(request, "client_secret"))) {
    answerError(response, 401, "invalid_client");
    return;
  }
  if (grantType == "authorization_code") {
    const std::string code = param(request, "code");
    const std::string redirectURI = param(request, "redirect_uri");
    if (code.empty() || redirectURI.empty()) {
      answerError(response, 400, "invalid_request");
      return;
    }
    if (!state.redeemAuthorizationCode(code, clientID, redirectURI)) {
      answerError(response, 400, "invalid_grant");
      return;
    }
    const auto tokens = state.issueTokens(clientID);
    answerJSON(response, 200, OAuthState::tokenAnswer(tokens.accessToken, tokens.refreshToken));
    return;
  }
  if (grantType == "refresh_token") {
    const std::string refreshToken = param(request, "refresh_token");
    if (refreshToken.empty()) {
      answerError(response, 400, "invalid_request");
      return;
    }
    if (const auto failure = state.refreshFailure()) {
      answerError(response, *failure, "invalid_grant");
      return;
    }
    const auto accessToken = state.refreshAccessToken(refreshToken);
    if (!accessToken) {
      answerError(response, 400, "invalid_grant");
      return;
    }
    answerJSON(response, 200, OAuthState::tokenAnswer(*accessToken, refreshToken));
    return;
  }
  answerError(response, 400, "unsupported_grant_type");
}

void answerRevoke(OAuthState& state, const httplib::Request& request, httplib::Response& response) {
  if (!state.acceptsClient(param(request, "client_id"), param(request, "client_secret"))) {
    answerError(response, 401, "invalid_client");
    return;
  }
  const std::string token = param(request, "token");
  if (token.empty()) {
    answerError(response, 400, "invalid_request");
    return;
  }
  state.revoke(token);
  answerJSON(response, 200, nlohmann::ordered_json::object());
}

}  // namespace

void installOAuthRoutes(TestServer& server) {
  auto& state = server.state<OAuthState>();
  server.route("POST", "/cloud/1/oauth2/token",
               [&state](const httplib::Request& request, httplib::Response& response) {
                 answerToken(state, request, response);
               });
  server.route("POST", "/cloud/1/oauth2/revoke",
               [&state](const httplib::Request& request, httplib::Response& response) {
                 answerRevoke(state, request, response);
               });

  struct Page {
    const char* path;
    std::vector<const char*> required;
  };
  const std::array<Page, 3> pages = {{
      {"/cloud/1/oauth2/authorize", {"response_type", "redirect_uri", "client_id"}},
      {"/cloud/1/oauth2/authorizesilent",
       {"response_type", "redirect_uri", "client_id", "mdn", "spc_token"}},
      {"/cloud/1/oauth2/authbytoken",
       {"response_type", "redirect_uri", "client_id", "mdn", "xdm_token"}},
  }};
  for (const auto& page : pages) {
    server.route("GET", page.path,
                 [&state, required = page.required](const httplib::Request& request,
                                                    httplib::Response& response) {
                   answerPage(state, required, request, response);
                 });
  }
}

}  // namespace testserver
