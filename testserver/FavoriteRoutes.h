// The favorites endpoints of the stand-in service. Favorites are kept as sets of uris per virtual
// folder (FavoriteState, in server.state<FavoriteState>()), and listed from the tree's live items
// (ResourceTree.h), so an item trashed, moved or renamed leaves the listing.
//
//   GET    /cloud/1/favorites?virtualfolder=<name>[&type=filefolder|file|folder]
//                              [&filetype=image|music|video|documents]
//          {"favorites": {"file": [...], "folder": [...]}}, in the tree's order; "type" and
//          "filetype" together, or another value, answer 400; neither lists files and folders;
//          an unknown virtual folder answers 404. Files are sorted into kinds by "mimeType":
//          image/, audio/ (music), video/, and every other file is a document.
//   PUT    /cloud/1/favorites   body {"uri": [<uri>, ...], "createVersion": <bool>}: marks
//          every uri (none when one of them names no live item: 404); 204
//   DELETE /cloud/1/favorites?uri=<uri>&createVersion=<1|0>: unmarks; 404 when not marked; 204
//
// Each wants "Authorization: Bearer <token>" with a non-empty token (401 otherwise).
#pragma once

#include <map>
#include <mutex>
#include <set>
#include <string>

#include "testserver/TestServer.h"

namespace testserver {

class FavoriteState {
 public:
  // Marks `uri` in the set of `virtualFolder`.
  void mark(const std::string& virtualFolder, const std::string& uri);
  // Unmarks `uri` wherever it is marked; false when it was nowhere.
  bool unmark(const std::string& uri);
  // The uris marked in `virtualFolder`.
  std::set<std::string> marked(const std::string& virtualFolder) const;

 private:
  mutable std::mutex mutex_;
  std::map<std::string, std::set<std::string>> byVirtualFolder_;
};

void installFavoriteRoutes(TestServer& server);

}  // namespace testserver
