// The playlist endpoints of the stand-in service, answering from server.state<PlaylistState>()
// (PlaylistState.h) and resolving the paths a request adds through server.state<ResourceTree>():
//   GET    /cloud/1/playlists[?type&sort&page&start&count]  {"playlistDefinitions":
//                                                             {"playlistDefinition": [...]}}
//   POST   /cloud/1/playlists {"name","type"[,"paths"]}     201 {"playlistDefinition": {...}}
//   GET    /cloud/1/playlists/<uid>                         {"playlistDefinition": {...}}
//   PUT    /cloud/1/playlists/<uid> {"name","type"}         {"playlistDefinition": {...}}
//   DELETE /cloud/1/playlists/<uid>                         204
//   GET    /cloud/1/playlists/<uid>/items[?sort&page&start&count]
//                                                           {"playlist": {"playlistElement":
//                                                           [...]}}
//   PUT    /cloud/1/playlists/<uid>/items {"name"[,"paths"],"type"}: the definition rewritten,
//          the items replaced by the given paths when there are any   {"playlistDefinition": {...}}
//   POST   /cloud/1/playlists/<uid>/items {"add": [paths]}  {"paths": [added resource objects]}
//   GET    /cloud/1/playlists/<uid>/items/<itemuid>         the item's content bytes
//   DELETE /cloud/1/playlists/<uid>/items/<itemuid>         204
// Sort strings are "key+asc" or "key+desc" over the listed objects' members. Every route wants
// "Authorization: Bearer <token>" with a non-empty token (401 otherwise); an unknown playlist or
// item is 404; a body without a required member, a path the tree lacks, or a paging value that is
// not a number or below zero is 400. An item added through the routes has the content
// "content of <path>". With PlaylistState::setSingleObjectAnswers(), a list of one is answered as
// that object.
#pragma once

#include "testserver/TestServer.h"

namespace testserver {

void installPlaylistRoutes(TestServer& server);

}  // namespace testserver
