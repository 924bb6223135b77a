// The full sync's and the server search's endpoints of the stand-in service, answered from
// server.state<ResourceTree>() (ResourceTree.h). Both want "Authorization: Bearer <token>" with a
// non-empty token (401 otherwise).
//
// GET /cloud/1/fullview?virtualfolder=<name>, with "X-Header-ETag: <eTag>" or none: the folder's
// fullView(): 200 with {"data": {"file": [...], "folder": [...], "deleted": {"path": [...]}}}
// ("deleted" only when a path was deleted) and "X-Header-Etag: v<N>"; 412 with an empty body when
// the ETag is the current one; 404 for no such virtual folder. The switches below change that.
//
// GET /cloud/1/search?query=...[&sort=key+asc|desc][&page=N][&count=M]: the live items of the
// tree whose resource object matches every "key:value" term of the query joined by AND ("*" any
// run of characters, letter case ignored; a key looks in the object, then in its
// "systemAttributes"), sorted and paged as asked: 200 with {"file": [...], "folder": [...]}.
#pragma once

#include <map>
#include <mutex>
#include <string>

#include "testserver/TestServer.h"

namespace testserver {

// How /fullview answers besides the tree's own view; all off at first. Safe from any thread.
class FullViewSwitches {
 public:
  // Leave the "X-Header-Etag" header out of 200 answers.
  void setOmitETagHeader(bool omit);
  // Answer a list with exactly one element (files, folders, deleted paths) as that element.
  void setSingleObjectAnswers(bool single);
  // Answer `status` with a small JSON error for the folder; 0 answers normally again.
  void setFailingFolder(const std::string& virtualFolder, int status);

  bool omitETagHeader() const;
  bool singleObjectAnswers() const;
  int failureOf(const std::string& virtualFolder) const;

 private:
  mutable std::mutex mutex_;
  bool omitETagHeader_ = false;
  bool singleObjectAnswers_ = false;
  std::map<std::string, int> failingFolders_;
};

void installSyncRoutes(TestServer& server);

}  // namespace testserver
