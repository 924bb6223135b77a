// The metadata listing of the stand-in service: GET /cloud/1/metadata[/<path>] with the query
// pairs include_deleted, sort ("key+asc" or "key+desc"), page, start, count and filter ("file" or
// "folder"). It wants "Authorization: Bearer <token>" with a non-empty token (401 otherwise),
// answers {"folder": <listing>} from server.state<ResourceTree>() (ResourceTree.h), 404 for a path
// that is no folder, and 400 for a paging value that is not a number or below zero, or another
// filter.
#pragma once

#include "testserver/TestServer.h"

namespace testserver {

void installMetadataRoutes(TestServer& server);

}  // namespace testserver
