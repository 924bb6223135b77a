// The shares of the stand-in service, from server.state<ShareState>() (ShareState.h):
//   GET    /cloud/1/shares?filter=outbound[&cursor=c][&count=n][&since=t][&until=t]
//          200 {"shares": {"count": <shares in the window>, "links": [{"rel": "next", "link":
//          <the next page's URL>}] when more follow, "share": [<share>, ...]}}; 20 per page
//          without a count; since and until are dates with "Z" or an offset (ShareState.h).
//   POST   /cloud/1/shares {"name"?, "expiresIn"?, "resources": [{...}, ...]}
//          201 {"share": <the new share>}
//   DELETE /cloud/1/shares/<uid>   204, or 404 when no share has that uid
// Each wants "Authorization: Bearer <token>" with a non-empty token (401 otherwise), and answers
// 400 to what it cannot read: another filter, a count or date it cannot read, a cursor it never
// issued, a creation body of the wrong shape.
#pragma once

#include "testserver/TestServer.h"

namespace testserver {

void installShareRoutes(TestServer& server);

}  // namespace testserver
