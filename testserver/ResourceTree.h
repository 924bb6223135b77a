// ResourceTree: the stand-in service's files and folders. The root holds the virtual folders;
// each folder holds folders and files, each described by a resource object with the members the
// service sends (name, path, parentPath, uri, itemuid, contentToken, checksum, size, version,
// versionCreated, deleted, mimeType, and "systemAttributes" with MimeType, CreationDate, Tags and
// whatever a test adds).
//
// Paths are absolute ("/Photos/a.jpg"); names may hold any character but "/". Tests seed the tree
// and inspect it; the routes (MetadataRoutes.h) answer from it. Every member is safe from any
// thread; answers are copies.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
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

class ResourceTree {
 public:
  using JSON = nlohmann::ordered_json;

  ResourceTree() = default;
  ResourceTree(const ResourceTree&) = delete;
  ResourceTree& operator=(const ResourceTree&) = delete;

  // Adds a virtual folder under the root and answers its path ("/" + name).
  std::string addVirtualFolder(const std::string& name);
  // Adds a folder or a file at `path` whose parent folder exists; `members` are merged into the
  // generated resource object ("systemAttributes" member by member). Throws std::invalid_argument
  // for a missing parent or a path already taken.
  void addFolder(const std::string& path, const JSON& members = JSON::object());
  void addFile(const std::string& path, const JSON& members = JSON::object());
  // Marks an item deleted (listed only with include_deleted); false when there is no such item.
  bool markDeleted(const std::string& path);
  // Removes every item.
  void clear();

  // The resource object of an item, or nullopt.
  std::optional<JSON> resourceObject(const std::string& path) const;
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
    std::vector<std::string> children;  // paths, in the order they were added
  };

  void addItem(const std::string& path, bool folder, const JSON& members);
  static std::string normalised(const std::string& path);

  mutable std::mutex mutex_;
  std::map<std::string, Item> items_;  // by path; "/" is the root
  int64_t nextIdentifier_ = 1;
  bool singleObjectAnswers_ = false;
};

}  // namespace testserver
