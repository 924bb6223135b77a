// File bytes, thumbnails and the file operations of the stand-in service, all acting on
// server.state<ResourceTree>() (ResourceTree.h). Every route wants "Authorization: Bearer <token>"
// with a non-empty token (401 otherwise); a change the tree refuses is answered with the
// TreeError's status and {"error": <reason>}.
//
//   GET    /cloud/1/files/<path>           the file's bytes, streamed (never held whole), with its
//                                          mime type; 404 for no live file there.
//   GET    /cloud/1/thumbnails/<token>     ?size=xs|s|m (any case) or ?tw=<w>&th=<h> (both above
//                                          0): thumbnailBody(); 404 for no live file with that
//                                          content token, 400 for a bad size or dimensions.
//   POST   /cloud/1/fops/createfolder      {"name", "path"[, "override"]}: 201 {"folder": <new>}.
//   POST   /cloud/1/fops/copy              {"src", "target"[, ...]}: copies into the folder
//                                          `target`, 200 {"folder": <the copy>}.
//   POST   /cloud/1/fops/move              as copy, moving: 200 {"folder": <the item moved>}.
//   POST   /cloud/1/fops/rename            {"src", "target"}: `target` is the new name (a path's
//                                          last component also serves); 200 {"file": <item>} or
//                                          {"folder": <item>} by the item's kind.
//   DELETE /cloud/1/fops/delete            ?path=<path>&purge=true|false: 204; to the trash
//                                          unless purge is "true".
//   POST   /cloud/1/fops/restore           {"path": [<path>, ...]}: each trashed item back, 204;
//                                          404 (and nothing restored) when one is not in the trash.
// JSON bodies need "Content-Type: application/json" (415 otherwise) and the members named, as
// texts (400 otherwise); "safe", "conflictsolve" and "override" are accepted and not acted on.
#pragma once

#include <atomic>
#include <string>

#include "testserver/TestServer.h"

namespace testserver {

// How the byte routes answer, through server.state<FileRouteSettings>().
class FileRouteSettings {
 public:
  // True (the default): a Content-Length; false: chunked transfer without a known length.
  void setKnownLength(bool known) { knownLength_ = known; }
  bool knownLength() const { return knownLength_; }

 private:
  std::atomic<bool> knownLength_ = true;
};

// The bytes of a thumbnail: "thumbnail <token> <size or WxH>".
std::string thumbnailBody(const std::string& contentToken, const std::string& dimensions);

void installFileRoutes(TestServer& server);

}  // namespace testserver
