// The tags endpoints of the stand-in service. Tags live in the tree's items, as the "Tags" member
// of an item's "systemAttributes" (ResourceTree.h), so a listing or a sync made later sees them.
//
//   GET    /cloud/1/tags<path>   {"Tags": <text>} for the live item at the path ("" when none)
//   PUT    /cloud/1/tags         body {"Tags": <text>, "uri": <uri>, "createVersion": <bool>};
//                                sets the item's tags and answers {"Tags": <text>}
//   DELETE /cloud/1/tags?uri=<uri>&createVersion=<1|0>   empties the item's tags; 204
//
// Each wants "Authorization: Bearer <token>" with a non-empty token (401 otherwise); an unknown
// path or uri, or a trashed item, answers 404; a body or query of the wrong shape 400.
#pragma once

#include "testserver/TestServer.h"

namespace testserver {

void installTagRoutes(TestServer& server);

}  // namespace testserver
