#include "testserver/ResourceTree.h"

#include <algorithm>
#include <charconv>
#include <fstream>
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

std::string childPath(const std::string& folder, const std::string& name) {
  return folder == "/" ? "/" + name : folder + "/" + name;
}

// The virtual folder a path lies in ("" for the root).
std::string virtualFolderOf(const std::string& path) {
  const auto end = path.find('/', 1);
  return path.size() <= 1 ? "" : path.substr(1, end == std::string::npos ? end : end - 1);
}

bool isInside(const std::string& path, const std::string& folder) {
  return path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
         (folder == "/" || path[folder.size()] == '/');
}

void checkName(const std::string& name) {
  if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos) {
    throw TreeError(400, "bad name \"" + name + "\"");
  }
}

std::string uriFor(bool folder, int64_t id) {
  return (folder ? "cloud://folder/" : "cloud://file/") + std::to_string(id);
}

// The bytes of a seeded file: printable, different per file, the same on every read.
constexpr int64_t kAlphabet = 26;
char generatedByte(int64_t seed, int64_t index) {
  return static_cast<char>('a' + (index * 7 + seed) % kAlphabet);
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
  insertLocked(path, folder, members);
}

ResourceTree::Item& ResourceTree::insertLocked(const std::string& path, bool folder,
                                               const JSON& members) {
  if (items_.empty()) {
    Item root{.folder = true};
    root.object = {{"name", ""}, {"path", "/"}, {"uri", "cloud://folder/root"}};
    items_.emplace("/", std::move(root));
  }
  const std::string parent = parentOf(path);
  const auto parentItem = items_.find(parent);
  if (path == "/" || parentItem == items_.end() || !parentItem->second.folder ||
      parentItem->second.deleted) {
    throw TreeError(404, "no folder to hold " + path);
  }
  if (const auto taken = items_.find(path); taken != items_.end()) {
    if (!taken->second.deleted) {
      throw TreeError(409, path + " exists already");
    }
    // A new item takes the place of a trashed one, which goes for good.
    eraseSubtreeLocked(path);
  }
  const int64_t id = nextIdentifier_++;
  const std::string name = lastComponent(path);
  Item item{.folder = folder};
  item.seed = id;
  item.object = {{"name", name},
                 {"path", path},
                 {"parentPath", parent},
                 {"uri", uriFor(folder, id)},
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
  if (parent == "/") {
    logs_.try_emplace(name);
  }
  item.changed = touchLocked(path);
  auto& inserted = items_.emplace(path, std::move(item)).first->second;
  items_.at(parent).children.push_back(path);
  return inserted;
}

int64_t ResourceTree::touchLocked(const std::string& path) {
  const auto log = logs_.find(virtualFolderOf(path));
  if (log == logs_.end()) {
    return 0;
  }
  log->second.changedPaths.emplace_back(++log->second.version, path);
  return log->second.version;
}

std::vector<const ResourceTree::Item*> ResourceTree::changedSinceLocked(const std::string& folder,
                                                                        const VirtualFolderLog& log,
                                                                        int64_t since) const {
  const auto& changes = log.changedPaths;
  const auto first =
      std::upper_bound(changes.begin(), changes.end(), since,
                       [](int64_t version, const auto& change) { return version < change.first; });
  // An item changed twice since is logged twice, and a logged path may have gone or moved: each
  // is taken once, and only as the walk of the folder would take it.
  std::vector<std::map<std::string, Item>::const_iterator> found;
  for (auto change = first; change != changes.end(); ++change) {
    const auto item = items_.find(change->second);
    if (item != items_.end() && isInside(item->first, folder) && !item->second.deleted &&
        item->second.changed > since) {
      found.push_back(item);
    }
  }
  std::ranges::sort(found, {}, [](const auto& item) -> const std::string& { return item->first; });
  found.erase(std::unique(found.begin(), found.end()), found.end());
  std::vector<const Item*> items;
  items.reserve(found.size());
  for (const auto& item : found) {
    items.push_back(&item->second);
  }
  return items;
}

void ResourceTree::logDeletedLocked(const std::string& path) {
  const auto log = logs_.find(virtualFolderOf(path));
  if (log != logs_.end()) {
    log->second.deletedPaths.emplace_back(++log->second.version, path);
  }
}

ResourceTree::Item& ResourceTree::liveItemLocked(const std::string& path) {
  const auto found = items_.find(path);
  if (found == items_.end() || found->first == "/" || found->second.deleted) {
    throw TreeError(404, "no item at " + path);
  }
  return found->second;
}

ResourceTree::Item& ResourceTree::folderLocked(const std::string& path) {
  const auto found = items_.find(path);
  if (found == items_.end() || found->second.deleted) {
    throw TreeError(404, "no folder at " + path);
  }
  if (!found->second.folder) {
    throw TreeError(400, path + " is no folder");
  }
  return found->second;
}

std::vector<std::string> ResourceTree::subtreeLocked(const std::string& path) const {
  std::vector<std::string> paths{path};
  const std::string prefix = path == "/" ? "/" : path + "/";
  for (auto it = items_.lower_bound(prefix);
       it != items_.end() && it->first.compare(0, prefix.size(), prefix) == 0; ++it) {
    if (it->first != "/") {
      paths.push_back(it->first);
    }
  }
  return paths;
}

void ResourceTree::eraseSubtreeLocked(const std::string& path) {
  auto& siblings = items_.at(parentOf(path)).children;
  siblings.erase(std::remove(siblings.begin(), siblings.end(), path), siblings.end());
  for (const auto& each : subtreeLocked(path)) {
    items_.erase(each);
  }
}

ResourceTree::JSON ResourceTree::relocateLocked(const std::string& from, const std::string& to) {
  if (to == from) {
    return items_.at(from).object;
  }
  if (const auto taken = items_.find(to); taken != items_.end()) {
    if (!taken->second.deleted) {
      throw TreeError(409, to + " exists already");
    }
    eraseSubtreeLocked(to);
  }
  auto& oldSiblings = items_.at(parentOf(from)).children;
  const auto place = std::find(oldSiblings.begin(), oldSiblings.end(), from);
  const bool sameParent = parentOf(from) == parentOf(to);
  if (place != oldSiblings.end() && sameParent) {
    *place = to;  // a rename keeps its place among its siblings
  } else {
    if (place != oldSiblings.end()) {
      oldSiblings.erase(place);
    }
    items_.at(parentOf(to)).children.push_back(to);
  }
  if (!items_.at(from).deleted) {
    logDeletedLocked(from);
  }
  for (const auto& oldPath : subtreeLocked(from)) {
    auto node = items_.extract(oldPath);
    Item& item = node.mapped();
    const std::string newPath = to + oldPath.substr(from.size());
    for (auto& child : item.children) {
      child = std::string(to).append(child, from.size());
    }
    const int64_t id = nextIdentifier_++;
    item.object["uri"] = uriFor(item.folder, id);
    item.object["path"] = newPath;
    item.object["parentPath"] = parentOf(newPath);
    item.object["name"] = lastComponent(newPath);
    item.changed = touchLocked(newPath);
    node.key() = newPath;
    items_.insert(std::move(node));
  }
  return items_.at(to).object;
}

ResourceTree::JSON ResourceTree::createFolder(const std::string& parentPath,
                                              const std::string& name) {
  checkName(name);
  std::lock_guard lock(mutex_);
  const std::string parent = normalised(parentPath);
  folderLocked(parent);
  return insertLocked(childPath(parent, name), true, JSON::object()).object;
}

ResourceTree::JSON ResourceTree::putFile(const std::string& rawPath, FileContent content,
                                         int64_t size, const std::string& checksum) {
  const std::string path = normalised(rawPath);
  checkName(lastComponent(path));
  std::lock_guard lock(mutex_);
  if (parentOf(path) == "/") {
    throw TreeError(400, "a file cannot stand beside the virtual folders");
  }
  folderLocked(parentOf(path));
  const auto existing = items_.find(path);
  Item* item = nullptr;
  if (existing != items_.end() && !existing->second.deleted) {
    if (existing->second.folder) {
      throw TreeError(409, path + " is a folder");
    }
    item = &existing->second;
    item->object["version"] = item->object.value("version", 1) + 1;
    item->object["contentToken"] = "content-" + std::to_string(nextIdentifier_++);
    item->changed = touchLocked(path);
  } else {
    item = &insertLocked(path, false, JSON::object());
  }
  item->object["size"] = size;
  item->object["checksum"] = checksum;
  item->content = std::move(content);
  return item->object;
}

ResourceTree::JSON ResourceTree::copyLocked(const std::string& source, const std::string& target) {
  const Item& original = items_.at(source);
  const int64_t seed = original.seed;
  const auto content = original.content;
  JSON members = original.object;
  for (const char* key : {"name", "path", "parentPath", "uri", "itemuid", "contentToken"}) {
    members.erase(key);
  }
  Item& copy = insertLocked(target, original.folder, members);
  copy.seed = seed;
  copy.content = content;
  JSON answer = copy.object;
  const std::vector<std::string> children = items_.at(source).children;
  for (const auto& child : children) {
    if (!items_.at(child).deleted) {
      copyLocked(child, childPath(target, lastComponent(child)));
    }
  }
  return answer;
}

ResourceTree::JSON ResourceTree::copy(const std::string& rawSource,
                                      const std::string& targetFolder) {
  const std::string source = normalised(rawSource);
  const std::string target = normalised(targetFolder);
  std::lock_guard lock(mutex_);
  liveItemLocked(source);
  folderLocked(target);
  if (target == source || isInside(target, source)) {
    throw TreeError(400, "cannot copy " + source + " into itself");
  }
  return copyLocked(source, childPath(target, lastComponent(source)));
}

ResourceTree::JSON ResourceTree::move(const std::string& rawSource,
                                      const std::string& targetFolder) {
  const std::string source = normalised(rawSource);
  const std::string target = normalised(targetFolder);
  std::lock_guard lock(mutex_);
  liveItemLocked(source);
  folderLocked(target);
  if (parentOf(source) == "/") {
    throw TreeError(400, "a virtual folder does not move");
  }
  if (target == source || isInside(target, source)) {
    throw TreeError(400, "cannot move " + source + " into itself");
  }
  const std::string destination = childPath(target, lastComponent(source));
  return relocateLocked(source, destination);
}

ResourceTree::JSON ResourceTree::rename(const std::string& rawSource, const std::string& newName) {
  checkName(newName);
  const std::string source = normalised(rawSource);
  std::lock_guard lock(mutex_);
  liveItemLocked(source);
  if (parentOf(source) == "/") {
    throw TreeError(400, "virtual folders are renamed on their own");
  }
  const std::string destination = childPath(parentOf(source), newName);
  return relocateLocked(source, destination);
}

ResourceTree::JSON ResourceTree::update(const std::string& path, const JSON& members) {
  std::lock_guard lock(mutex_);
  Item& item = liveItemLocked(normalised(path));
  merge(item.object, members);
  item.changed = touchLocked(normalised(path));
  return item.object;
}

void ResourceTree::remove(const std::string& rawPath, bool purge) {
  const std::string path = normalised(rawPath);
  std::lock_guard lock(mutex_);
  const auto found = items_.find(path);
  if (found == items_.end() || path == "/" || (found->second.deleted && !purge)) {
    throw TreeError(404, "no item at " + path);
  }
  if (parentOf(path) == "/") {
    throw TreeError(400, "virtual folders are removed on their own");
  }
  if (!found->second.deleted) {
    logDeletedLocked(path);
  }
  if (purge) {
    eraseSubtreeLocked(path);
    return;
  }
  for (const auto& each : subtreeLocked(path)) {
    Item& item = items_.at(each);
    item.deleted = true;
    item.object["deleted"] = true;
  }
}

ResourceTree::JSON ResourceTree::restore(const std::string& rawPath) {
  const std::string path = normalised(rawPath);
  std::lock_guard lock(mutex_);
  const auto found = items_.find(path);
  if (found == items_.end() || path == "/" || !found->second.deleted) {
    throw TreeError(404, "nothing trashed at " + path);
  }
  if (items_.at(parentOf(path)).deleted) {
    throw TreeError(409, "the folder of " + path + " is trashed itself");
  }
  for (const auto& each : subtreeLocked(path)) {
    Item& item = items_.at(each);
    item.deleted = false;
    item.object["deleted"] = false;
    item.changed = touchLocked(each);
  }
  return found->second.object;
}

std::vector<ResourceTree::JSON> ResourceTree::trash(const std::string& virtualFolder,
                                                    bool deep) const {
  std::lock_guard lock(mutex_);
  std::vector<JSON> trashed;
  const std::string folder = "/" + virtualFolder;
  if (virtualFolder.empty() || !items_.contains(folder)) {
    return trashed;
  }
  for (const auto& path : subtreeLocked(folder)) {
    const Item& item = items_.at(path);
    if (path != folder && item.deleted && (deep || !items_.at(parentOf(path)).deleted)) {
      trashed.push_back(item.object);
    }
  }
  return trashed;
}

size_t ResourceTree::emptyTrash(const std::string& virtualFolder) {
  std::lock_guard lock(mutex_);
  const std::string folder = "/" + virtualFolder;
  if (virtualFolder.empty() || !items_.contains(folder)) {
    return 0;
  }
  std::vector<std::string> tops;
  for (const auto& path : subtreeLocked(folder)) {
    if (path != folder && items_.at(path).deleted && !items_.at(parentOf(path)).deleted) {
      tops.push_back(path);
    }
  }
  for (const auto& path : tops) {
    eraseSubtreeLocked(path);
  }
  return tops.size();
}

ResourceTree::JSON ResourceTree::renameVirtualFolder(const std::string& name,
                                                     const std::string& newName) {
  checkName(newName);
  std::lock_guard lock(mutex_);
  const std::string from = "/" + name;
  const std::string to = "/" + newName;
  if (name.empty() || name.find('/') != std::string::npos || !items_.contains(from)) {
    throw TreeError(404, "no virtual folder " + name);
  }
  if (from == to) {
    return items_.at(from).object;
  }
  if (items_.contains(to)) {
    throw TreeError(409, "a virtual folder " + newName + " exists already");
  }
  logs_.erase(name);
  logs_.try_emplace(newName);
  return relocateLocked(from, to);
}

void ResourceTree::removeVirtualFolder(const std::string& name, bool force) {
  std::lock_guard lock(mutex_);
  const std::string path = "/" + name;
  const auto found = items_.find(path);
  if (name.empty() || name.find('/') != std::string::npos || found == items_.end()) {
    throw TreeError(404, "no virtual folder " + name);
  }
  if (!found->second.children.empty() && !force) {
    throw TreeError(409, "virtual folder " + name + " is not empty");
  }
  eraseSubtreeLocked(path);
  logs_.erase(name);
}

bool ResourceTree::markDeleted(const std::string& path) {
  try {
    remove(path, false);
    return true;
  } catch (const TreeError&) {
    return false;
  }
}

void ResourceTree::clear() {
  std::lock_guard lock(mutex_);
  items_.clear();
  logs_.clear();
}

std::optional<JSON> ResourceTree::resourceObject(const std::string& path) const {
  std::lock_guard lock(mutex_);
  const auto found = items_.find(normalised(path));
  return found == items_.end() ? std::nullopt : std::optional<JSON>(found->second.object);
}

std::optional<std::string> ResourceTree::pathOfURI(const std::string& uri) const {
  std::lock_guard lock(mutex_);
  for (const auto& [path, item] : items_) {
    const auto found = item.object.find("uri");
    if (found != item.object.end() && found->is_string() &&
        found->get_ref<const std::string&>() == uri) {
      return path;
    }
  }
  return std::nullopt;
}

std::vector<ResourceTree::JSON> ResourceTree::liveItems(const std::string& virtualFolder) const {
  std::lock_guard lock(mutex_);
  std::vector<JSON> live;
  const std::string folder = virtualFolder.empty() ? "/" : "/" + virtualFolder;
  if (!items_.contains(folder)) {
    return live;
  }
  for (const auto& path : subtreeLocked(folder)) {
    const Item& item = items_.at(path);
    if (path != folder && !item.deleted) {
      live.push_back(item.object);
    }
  }
  return live;
}

std::optional<int64_t> ResourceTree::contentLength(const std::string& path) const {
  std::lock_guard lock(mutex_);
  const auto found = items_.find(normalised(path));
  if (found == items_.end() || found->second.folder || found->second.deleted) {
    return std::nullopt;
  }
  const Item& item = found->second;
  if (!item.content) {
    return item.object.value("size", int64_t{0});
  }
  if (const auto* bytes = std::get_if<std::shared_ptr<const std::string>>(&*item.content)) {
    return static_cast<int64_t>((*bytes)->size());
  }
  std::error_code error;
  const auto size =
      std::filesystem::file_size(std::get<std::filesystem::path>(*item.content), error);
  return error ? 0 : static_cast<int64_t>(size);
}

std::optional<std::string> ResourceTree::readContent(const std::string& path, int64_t offset,
                                                     int64_t length) const {
  const auto total = contentLength(path);
  std::optional<FileContent> content;
  int64_t seed = 0;
  {
    std::lock_guard lock(mutex_);
    const auto found = items_.find(normalised(path));
    if (!total || found == items_.end()) {
      return std::nullopt;
    }
    content = found->second.content;
    seed = found->second.seed;
  }
  offset = std::clamp<int64_t>(offset, 0, *total);
  length = std::clamp<int64_t>(length, 0, *total - offset);
  std::string bytes(static_cast<size_t>(length), '\0');
  if (!content) {
    // The bytes repeat every kAlphabet positions: copy one period over and over.
    std::string period;
    for (int64_t i = 0; i < kAlphabet; ++i) {
      period += generatedByte(seed, offset + i);
    }
    for (size_t at = 0; at < bytes.size(); at += period.size()) {
      bytes.replace(at, std::min(period.size(), bytes.size() - at), period, 0,
                    std::min(period.size(), bytes.size() - at));
    }
  } else if (const auto* held = std::get_if<std::shared_ptr<const std::string>>(&*content)) {
    bytes.assign(**held, static_cast<size_t>(offset), static_cast<size_t>(length));
  } else {
    std::ifstream file(std::get<std::filesystem::path>(*content), std::ios::binary);
    file.seekg(offset);
    file.read(bytes.data(), length);
    bytes.resize(static_cast<size_t>(std::max<std::streamsize>(file.gcount(), 0)));
  }
  return bytes;
}

std::optional<std::string> ResourceTree::currentETag(const std::string& virtualFolder) const {
  std::lock_guard lock(mutex_);
  const auto log = logs_.find(virtualFolder);
  if (log == logs_.end() || !items_.contains("/" + virtualFolder)) {
    return std::nullopt;
  }
  return "v" + std::to_string(log->second.version);
}

std::optional<FullView> ResourceTree::fullView(const std::string& virtualFolder,
                                               const std::string& eTag) const {
  std::lock_guard lock(mutex_);
  const auto log = logs_.find(virtualFolder);
  const std::string folder = "/" + virtualFolder;
  if (virtualFolder.empty() || log == logs_.end() || !items_.contains(folder)) {
    return std::nullopt;
  }
  const int64_t version = log->second.version;
  FullView view;
  view.eTag = "v" + std::to_string(version);
  if (eTag == view.eTag) {
    view.unchanged = true;
    return view;
  }
  int64_t since = 0;
  if (eTag.size() > 1 && eTag.front() == 'v') {
    const auto [end, error] = std::from_chars(eTag.data() + 1, eTag.data() + eTag.size(), since);
    if (error != std::errc() || end != eTag.data() + eTag.size() || since < 1 || since > version) {
      since = 0;
    }
  }
  view.whole = since == 0;
  const auto answer = [&view](const Item& item) {
    (item.folder ? view.folders : view.files).push_back(item.object);
  };
  if (view.whole) {
    // The items below the folder, in path order, read in place.
    const std::string prefix = folder + "/";
    for (auto it = items_.lower_bound(prefix);
         it != items_.end() && it->first.compare(0, prefix.size(), prefix) == 0; ++it) {
      if (!it->second.deleted) {
        answer(it->second);
      }
    }
  } else {
    // The change log names the changed items: a small change costs little in a large folder.
    for (const Item* item : changedSinceLocked(folder, log->second, since)) {
      answer(*item);
    }
  }
  if (!view.whole) {
    for (const auto& [when, path] : log->second.deletedPaths) {
      // A path that is live again (restored, or taken by a new item) is reported as that item.
      const auto now = items_.find(path);
      if (when > since && (now == items_.end() || now->second.deleted) &&
          std::find(view.deletedPaths.begin(), view.deletedPaths.end(), path) ==
              view.deletedPaths.end()) {
        view.deletedPaths.push_back(path);
      }
    }
  }
  return view;
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
