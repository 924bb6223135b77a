#include "testserver/ResourceTree.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

namespace testserver {
namespace {

using JSON = ResourceTree::JSON;

constexpr const char* kVersionCreated = "2024-03-01T10:00:00.000Z";

std::string lastComponent(const std::string& path) { return path.substr(path.rfind('/') + 1); }

std::string parentOf(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string mimeTypeFor(const std::string& name) {
  static const std::map<std::string, std::string> kTypes = {
      {"jpg", "image/jpeg"}, {"jpeg", "image/jpeg"},     {"png", "image/png"},
      {"mp4", "video/mp4"},  {"mov", "video/quicktime"}, {"mp3", "audio/mpeg"},
      {"m4a", "audio/mp4"},  {"txt", "text/plain"},      {"pdf", "application/pdf"}};
  const auto dot = name.rfind('.');
  if (dot != std::string::npos) {
    if (const auto found = kTypes.find(name.substr(dot + 1)); found != kTypes.end()) {
      return found->second;
    }
  }
  return "application/octet-stream";
}

void merge(JSON& object, const JSON& members) {
  for (const auto& [key, value] : members.items()) {
    if (key == "systemAttributes" && value.is_object() && object.contains(key) &&
        object[key].is_object()) {
      for (const auto& [saKey, saValue] : value.items()) {
        object[key][saKey] = saValue;
      }
    } else {
      object[key] = value;
    }
  }
}

// Orders two member values: absent first, then numbers by value, then text by bytes.
bool memberLess(const JSON& a, const JSON& b, const std::string& key) {
  const auto rank = [&](const JSON& object) {
    const auto found = object.find(key);
    if (found == object.end() || found->is_null()) {
      return 0;
    }
    return found->is_number() ? 1 : 2;
  };
  const int rankA = rank(a);
  const int rankB = rank(b);
  if (rankA != rankB || rankA == 0) {
    return rankA < rankB;
  }
  const JSON& valueA = a.at(key);
  const JSON& valueB = b.at(key);
  if (rankA == 1) {
    return valueA.get<double>() < valueB.get<double>();
  }
  return valueA.is_string() && valueB.is_string()
             ? valueA.get_ref<const std::string&>() < valueB.get_ref<const std::string&>()
             : valueA.dump() < valueB.dump();
}

}  // namespace

std::string ResourceTree::normalised(const std::string& path) {
  if (path.empty() || path == "/") {
    return "/";
  }
  std::string result = path.front() == '/' ? path : "/" + path;
  while (result.size() > 1 && result.back() == '/') {
    result.pop_back();
  }
  return result;
}

std::string ResourceTree::addVirtualFolder(const std::string& name) {
  std::string path = "/" + name;
  addFolder(path);
  return path;
}

void ResourceTree::addFolder(const std::string& path, const JSON& members) {
  addItem(path, true, members);
}

void ResourceTree::addFile(const std::string& path, const JSON& members) {
  addItem(path, false, members);
}

void ResourceTree::addItem(const std::string& rawPath, bool folder, const JSON& members) {
  const std::string path = normalised(rawPath);
  std::lock_guard lock(mutex_);
  if (items_.empty()) {
    Item root{.folder = true};
    root.object = {{"name", ""}, {"path", "/"}, {"uri", "cloud://folder/root"}};
    items_.emplace("/", std::move(root));
  }
  const std::string parent = parentOf(path);
  const auto parentItem = items_.find(parent);
  if (path == "/" || parentItem == items_.end() || !parentItem->second.folder) {
    throw std::invalid_argument("no folder to hold " + path);
  }
  if (items_.contains(path)) {
    throw std::invalid_argument(path + " exists already");
  }
  const int64_t id = nextIdentifier_++;
  const std::string name = lastComponent(path);
  Item item{.folder = folder};
  item.object = {{"name", name},
                 {"path", path},
                 {"parentPath", parent},
                 {"uri", (folder ? "cloud://folder/" : "cloud://file/") + std::to_string(id)},
                 {"itemuid", "item-" + std::to_string(id)},
                 {"version", 1},
                 {"versionCreated", kVersionCreated},
                 {"deleted", false}};
  if (!folder) {
    const std::string mimeType = mimeTypeFor(name);
    item.object["contentToken"] = "content-" + std::to_string(id);
    item.object["checksum"] = "checksum-" + std::to_string(id);
    item.object["size"] = 1000 + id;
    item.object["mimeType"] = mimeType;
    item.object["systemAttributes"] = {
        {"MimeType", mimeType}, {"CreationDate", kVersionCreated}, {"Tags", ""}};
  }
  merge(item.object, members);
  items_.emplace(path, std::move(item));
  parentItem->second.children.push_back(path);
}

bool ResourceTree::markDeleted(const std::string& path) {
  std::lock_guard lock(mutex_);
  const auto found = items_.find(normalised(path));
  if (found == items_.end() || found->first == "/") {
    return false;
  }
  found->second.deleted = true;
  found->second.object["deleted"] = true;
  return true;
}

void ResourceTree::clear() {
  std::lock_guard lock(mutex_);
  items_.clear();
}

std::optional<JSON> ResourceTree::resourceObject(const std::string& path) const {
  std::lock_guard lock(mutex_);
  const auto found = items_.find(normalised(path));
  return found == items_.end() ? std::nullopt : std::optional<JSON>(found->second.object);
}

std::vector<std::string> ResourceTree::virtualFolderNames() const {
  std::lock_guard lock(mutex_);
  std::vector<std::string> names;
  if (const auto root = items_.find("/"); root != items_.end()) {
    for (const auto& child : root->second.children) {
      names.push_back(lastComponent(child));
    }
  }
  return names;
}

void ResourceTree::setSingleObjectAnswers(bool enabled) {
  std::lock_guard lock(mutex_);
  singleObjectAnswers_ = enabled;
}

std::optional<JSON> ResourceTree::listing(const ListingQuery& query) const {
  std::lock_guard lock(mutex_);
  const std::string path = normalised(query.path);
  const auto found = items_.find(path);
  if (found == items_.end() && path == "/") {
    return JSON{{"name", ""}, {"path", "/"}, {"folder", JSON::array()}, {"file", JSON::array()}};
  }
  if (found == items_.end() || !found->second.folder) {
    return std::nullopt;
  }
  std::vector<const Item*> children;
  for (const auto& childPath : found->second.children) {
    const Item& child = items_.at(childPath);
    if ((child.deleted && !query.includeDeleted) || (query.filter == "file" && child.folder) ||
        (query.filter == "folder" && !child.folder)) {
      continue;
    }
    children.push_back(&child);
  }
  // Folders before files, each in the order they were added, unless a sort key says otherwise.
  std::stable_partition(children.begin(), children.end(), [](const Item* i) { return i->folder; });
  if (!query.sortKey.empty()) {
    std::stable_sort(children.begin(), children.end(), [&](const Item* a, const Item* b) {
      return query.sortAscending ? memberLess(a->object, b->object, query.sortKey)
                                 : memberLess(b->object, a->object, query.sortKey);
    });
  }
  size_t first = 0;
  if (query.page > 0 && query.count > 0) {
    first = static_cast<size_t>((query.page - 1) * query.count);
  } else if (query.page == 0 && query.start > 0) {
    first = static_cast<size_t>(query.start);
  }
  first = std::min(first, children.size());
  size_t last = children.size();
  if (query.count > 0) {
    last = std::min(last, first + static_cast<size_t>(query.count));
  }
  JSON folders = JSON::array();
  JSON files = JSON::array();
  for (size_t i = first; i < last; ++i) {
    (children[i]->folder ? folders : files).push_back(children[i]->object);
  }
  JSON answer = found->second.object;
  answer["count"] = children.size();
  const auto member = [&](JSON list) {
    return singleObjectAnswers_ && list.size() == 1 ? JSON(list.front()) : list;
  };
  answer["folder"] = member(std::move(folders));
  answer["file"] = member(std::move(files));
  return answer;
}

}  // namespace testserver
