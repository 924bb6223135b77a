// The trash endpoints of the stand-in service, per virtual folder, acting on
// server.state<ResourceTree>():
//   GET    /cloud/1/trash?virtualfolder=[&filter=][&deep=][&sort=]
//          200 {"trashCan": {"file": [...], "folder": [...]}}: the folder's trashed items
//          (ResourceTree::trash()), the top-level ones only unless deep is "true"; filter "file"
//          or "folder" leaves the other list empty; sort "key+asc" or "key+desc" orders each list
//          by that member of the resource objects (absent values first, then numbers, then text).
//   DELETE /cloud/1/trash?virtualfolder=   200 {"count": <top-level items purged>}
// Both want "Authorization: Bearer <token>" with a non-empty token (401 otherwise), answer 404
// for a virtual folder the tree lacks, and 400 for a filter or deep of another value.
#pragma once

#include "testserver/TestServer.h"

namespace testserver {

void installTrashRoutes(TestServer& server);

}  // namespace testserver
