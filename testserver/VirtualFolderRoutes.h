// The virtual-folder endpoints of the stand-in service, acting on server.state<ResourceTree>():
//   POST   /cloud/1/virtualfolder/<name>              201 {"folder": <the new folder>}
//   PUT    /cloud/1/virtualfolder  {"src", "target"}  200 {"folder": <the renamed folder>}
//   DELETE /cloud/1/virtualfolder?name=&force=        200 {}; a folder that holds items needs
//                                                     force "1" (or "true")
// Each wants "Authorization: Bearer <token>" with a non-empty token (401 otherwise). A name that
// is empty, "." or "..", or holds "/", or a body that is not {"src": text, "target": text},
// gives 400; the tree's refusals give their own status (404 no such folder, 409 name taken or
// folder not empty), each with an {"error": ...} body.
#pragma once

#include "testserver/TestServer.h"

namespace testserver {

void installVirtualFolderRoutes(TestServer& server);

}  // namespace testserver
