// ResourceTree: the stand-in service's files and folders. The root holds the virtual folders;
// each folder holds folders and files, each described by a resource object with the members the
// service sends (name, path, parentPath, uri, itemuid, contentToken, checksum, size, version,
// versionCreated, deleted, mimeType, and "systemAttributes" with MimeType, CreationDate, Tags and
// whatever a test adds).
//
// Paths are absolute ("/Photos/a.jpg"); names may hold any character but "/". Tests seed the tree
// and inspect it; the routes answer from it. Every member is safe from any thread; answers are
// copies.
//
// Versions and the change log: each virtual folder has a version, "v<N>" as an ETag, that every
// change inside it raises by one (seeding included). An item remembers the version of its last
// change, and the folder logs the paths it lost, so fullView() can answer the whole folder or the
// changes since an earlier version. A move or rename gives the item (and everything under it) a
// new uri at its new path and logs its old path as deleted: the only way a client's mirror learns
// of it.
//
// The trash: a deleted item (markDeleted(), remove() without purge) stays in the tree flagged
// "deleted", with everything under it; listings show it only with include_deleted, fullView()
// reports its path deleted, trash() lists it and restore() brings it back.
//
// File content: a seeded file's bytes are generated from its identifier ("size" of them); a file
// written with putFile() has the bytes it was given, in memory or in a file on disk.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

namespace testserver {

// What a metadata listing asks for, as the request's query gives it.
struct ListingQuery {
  std::string path;             // "" or "/" for the root
  bool includeDeleted = false;  // also list deleted items
  std::string sortKey;          // a member of the resource object, "" for the tree's own order
  bool sortAscending = true;
  int64_t page = 0;    // 1-based page of `count` items; 0 when not given
  int64_t start = 0;   // index of the first item when no page is given
  int64_t count = 0;   // items per page; 0 for all
  std::string filter;  // "", "file" or "folder"
};

// A change the tree refuses, with the HTTP status a route answers for it: 404 for a missing item
// or parent folder, 409 for a name already taken or a non-empty folder removed without force,
// 400 for a change that makes no sense (the root, a folder into itself).
class TreeError : public std::runtime_error {
 public:
  TreeError(int status, const std::string& what) : std::runtime_error(what), status_(status) {}
  int status() const { return status_; }

 private:
  int status_;
};

// What a fullview answer holds for one virtual folder.
struct FullView {
  std::string eTag;        // the folder's version now, "v<N>"
  bool unchanged = false;  // the client's ETag is the current one: nothing else is filled
  bool whole = false;      // no or unknown ETag: every live item, no deleted paths
  std::vector<nlohmann::ordered_json> files;
  std::vector<nlohmann::ordered_json> folders;
  std::vector<std::string> deletedPaths;
};

// Bytes of a file: held in memory, or a file on disk (large uploads).
using FileContent = std::variant<std::shared_ptr<const std::string>, std::filesystem::path>;

class ResourceTree {
 public:
  using JSON = nlohmann::ordered_json;

  ResourceTree() = default;
  ResourceTree(const ResourceTree&) = delete;
  ResourceTree& operator=(const ResourceTree&) = delete;

  // Adds a virtual folder under the root and answers its path ("/" + name).
  std::string addVirtualFolder(const std::string& name);
  // Adds a folder or a file at `path` whose parent folder exists; `members` are merged into the
  // generated resource object ("systemAttributes" member by member). Throws TreeError for a
  // missing parent (404) or a path already taken (409).
  void addFolder(const std::string& path, const JSON& members = JSON::object());
  void addFile(const std::string& path, const JSON& members = JSON::object());
  // Moves an item to the trash (see above); false when there is no such item.
  bool markDeleted(const std::string& path);
  // Removes every item.
  void clear();

  // ---- Changes the service's operations make; each raises the affected folders' versions. Each
  // answers the resource object of the item as it is afterwards and throws TreeError. ----

  // A new folder `name` in the folder at `parentPath`.
  JSON createFolder(const std::string& parentPath, const std::string& name);
  // Writes a file at `path` (its parent must exist): a new file, or a new version of a live file
  // of that name (version + 1, new contentToken, the given size and checksum).
  JSON putFile(const std::string& path, FileContent content, int64_t size,
               const std::string& checksum);
  // Copies an item (a folder with everything under it) into the folder at `targetFolder`, under
  // its own name; the copies get new uris.
  JSON copy(const std::string& source, const std::string& targetFolder);
  // Moves an item into the folder at `targetFolder`, or renames it in place to `newName`: new
  // path, new uri for it and everything under it, the old path logged as deleted.
  JSON move(const std::string& source, const std::string& targetFolder);
  JSON rename(const std::string& source, const std::string& newName);
  // Merges `members` into a live item's resource object ("systemAttributes" member by member).
  JSON update(const std::string& path, const JSON& members);
  // Deletes an item: to the trash, or for good with `purge` (a trashed item may be purged too).
  void remove(const std::string& path, bool purge);
  // Brings a trashed item back at its path, with everything under it; its parent must be live.
  JSON restore(const std::string& path);
  // The trashed items of a virtual folder: those whose parent is not trashed itself, or with
  // `deep` every trashed item; each with "deleted": true.
  std::vector<JSON> trash(const std::string& virtualFolder, bool deep) const;
  // Purges every trashed item of a virtual folder; answers how many top-level items went.
  size_t emptyTrash(const std::string& virtualFolder);
  // Renames a virtual folder (as rename(), it and its items get new uris; its log starts anew).
  JSON renameVirtualFolder(const std::string& name, const std::string& newName);
  // Removes a virtual folder; one that holds items needs `force`.
  void removeVirtualFolder(const std::string& name, bool force);

  // ---- Reading ----

  // The resource object of an item (trashed ones included), or nullopt.
  std::optional<JSON> resourceObject(const std::string& path) const;
  // The path of the item whose "uri" is `uri`, or nullopt.
  std::optional<std::string> pathOfURI(const std::string& uri) const;
  // Every live item under a virtual folder (not the folder itself), folders and files, in path
  // order; or every live item of the tree for "".
  std::vector<JSON> liveItems(const std::string& virtualFolder = "") const;
  // A file's bytes: its content's size, and `length` bytes from `offset` (fewer at the end).
  // nullopt for no live file at the path.
  std::optional<int64_t> contentLength(const std::string& path) const;
  std::optional<std::string> readContent(const std::string& path, int64_t offset,
                                         int64_t length) const;

  // The answer of a fullview call for `virtualFolder` with the client's `eTag` ("" for none):
  // the changes since that version, nothing when it is the current one, the whole folder when
  // it is absent or not one this tree gave. nullopt for no such virtual folder.
  std::optional<FullView> fullView(const std::string& virtualFolder, const std::string& eTag) const;
  // The current "v<N>" of a virtual folder, or nullopt.
  std::optional<std::string> currentETag(const std::string& virtualFolder) const;
  // The names of the virtual folders, in the order they were added.
  std::vector<std::string> virtualFolderNames() const;

  // The listing of a folder: its resource object with "folder" and "file" members holding its
  // children after filtering, sorting and paging; nullopt when there is no folder at the path.
  std::optional<JSON> listing(const ListingQuery& query) const;

  // When set, a "folder" or "file" member with exactly one element is answered as that object
  // instead of a list of one, as the service sometimes does.
  void setSingleObjectAnswers(bool enabled);

 private:
  struct Item {
    bool folder = false;
    bool deleted = false;
    JSON object;
    std::vector<std::string> children;   // paths, in the order they were added
    int64_t changed = 0;                 // its virtual folder's version at its last change
    std::optional<FileContent> content;  // none: generated from `seed`
    int64_t seed = 0;                    // the identifier the item was made with
  };
  struct VirtualFolderLog {
    int64_t version = 0;
    std::vector<std::pair<int64_t, std::string>> deletedPaths;  // (version, path)
    // (version, path) of every change an item took, in version order: an item's `changed` is
    // always one of them, with the path it has now.
    std::vector<std::pair<int64_t, std::string>> changedPaths;
  };

  void addItem(const std::string& path, bool folder, const JSON& members);
  static std::string normalised(const std::string& path);
  // The following run under mutex_.
  Item& insertLocked(const std::string& path, bool folder, const JSON& members);
  Item& liveItemLocked(const std::string& path);
  Item& folderLocked(const std::string& path);
  // Raises the version of the path's folder and logs the path as changed at it.
  int64_t touchLocked(const std::string& path);
  // The live items below `folder` changed after version `since` (> 0), in path order.
  std::vector<const Item*> changedSinceLocked(const std::string& folder,
                                              const VirtualFolderLog& log, int64_t since) const;
  void logDeletedLocked(const std::string& path);
  std::vector<std::string> subtreeLocked(const std::string& path) const;  // path first
  // Moves the item at `from` (and everything under it) to `to`, replacing a trashed item there;
  // answers its object at `to`.
  JSON relocateLocked(const std::string& from, const std::string& to);
  void eraseSubtreeLocked(const std::string& path);
  JSON copyLocked(const std::string& source, const std::string& target);

  mutable std::mutex mutex_;
  std::map<std::string, Item> items_;             // by path; "/" is the root
  std::map<std::string, VirtualFolderLog> logs_;  // by virtual folder name
  int64_t nextIdentifier_ = 1;
  bool singleObjectAnswers_ = false;
};

}  // namespace testserver
