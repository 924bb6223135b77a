// The sign-in endpoints of the stand-in cloud service, under /cloud/1/oauth2:
//   POST /token       both grants; parameters in the URL query (a form body is read too):
//                     authorization_code: grant_type, code, client_id, client_secret, redirect_uri
//                     refresh_token:      grant_type, refresh_token, client_id, client_secret
//                     200 {"access_token","expires_in","refresh_token","scope","token_type"};
//                     400 {"error":"invalid_request" | "invalid_grant" | "unsupported_grant_type"},
//                     401 {"error":"invalid_client"}, or the status set by setRefreshFailure()
//   POST /revoke      client_id, client_secret, token; 200 {} (also for an unknown token)
//   GET  /authorize        response_type=code, redirect_uri, client_id[, deviceid]
//   GET  /authorizesilent  the same plus mdn and spc_token
//   GET  /authbytoken      response_type=code, redirect_uri, client_id, mdn, xdm_token
//                          [, xdmdeviceid]
// A page request missing a required parameter, or naming a client not accepted, gets a 400 HTML
// page; a well-formed one is answered as OAuthState::pageMode() says. The redirect's code or
// error is percent-encoded and joined to the redirect URL with "?" (or "&" when it has a query).
// State and switches: server.state<OAuthState>().
#pragma once

#include "testserver/OAuthState.h"
#include "testserver/TestServer.h"

namespace testserver {

void installOAuthRoutes(TestServer& server);

}  // namespace testserver
