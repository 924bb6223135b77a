#include "testserver/PlaylistState.h"

#include <algorithm>
#include <utility>

namespace testserver {
namespace {

using JSON = PlaylistState::JSON;

std::string mimeTypeRegexFor(const std::string& type) {
  if (type == "image" || type == "video") {
    return type + "/.*";
  }
  if (type == "image-video") {
    return "(image|video)/.*";
  }
  if (type == "music") {
    return "audio/.*";
  }
  return ".*";
}

// Absent members first, then by the JSON ordering of the values.
bool memberLess(const JSON& a, const JSON& b, const std::string& key) {
  const auto valueA = a.find(key);
  const auto valueB = b.find(key);
  if (valueB == b.end()) {
    return false;
  }
  return valueA == a.end() || *valueA < *valueB;
}

std::vector<JSON> sortedAndPaged(std::vector<JSON> list, const PlaylistQuery& query) {
  if (!query.sortKey.empty()) {
    std::stable_sort(list.begin(), list.end(), [&](const JSON& a, const JSON& b) {
      return query.sortAscending ? memberLess(a, b, query.sortKey)
                                 : memberLess(b, a, query.sortKey);
    });
  }
  size_t first = 0;
  if (query.page > 0) {
    first = static_cast<size_t>((query.page - 1) * query.count);
  } else if (query.start > 0) {
    first = static_cast<size_t>(query.start);
  }
  first = std::min(first, list.size());
  size_t last = list.size();
  if (query.count > 0) {
    last = std::min(last, first + static_cast<size_t>(query.count));
  }
  return {list.begin() + static_cast<std::ptrdiff_t>(first),
          list.begin() + static_cast<std::ptrdiff_t>(last)};
}

}  // namespace

std::string PlaylistState::addPlaylist(JSON definition) {
  std::lock_guard lock(mutex_);
  if (!definition.is_object()) {
    definition = JSON::object();
  }
  if (!definition.contains("uid")) {
    definition["uid"] = "playlist-" + std::to_string(nextIdentifier_++);
  }
  std::string uid = definition["uid"].is_string() ? definition["uid"].get<std::string>()
                                                  : definition["uid"].dump();
  if (!definition.contains("mimeTypeRegex")) {
    const auto type = definition.find("type");
    definition["mimeTypeRegex"] = mimeTypeRegexFor(
        type != definition.end() && type->is_string() ? type->get<std::string>() : "");
  }
  if (!definition.contains("uri")) {
    definition["uri"] = "cloud://playlist/" + uid;
  }
  definition.erase("paths");
  if (!playlists_.contains(uid)) {
    order_.push_back(uid);
  }
  Playlist& playlist = playlists_[uid];
  playlist = Playlist{std::move(definition), {}};
  refreshPaths(playlist);
  return uid;
}

bool PlaylistState::addItem(const std::string& uid, JSON resource, std::string content) {
  std::lock_guard lock(mutex_);
  const auto found = playlists_.find(uid);
  if (found == playlists_.end()) {
    return false;
  }
  auto& items = found->second.items;
  const JSON itemUID = resource.value("itemuid", JSON());
  const auto same = std::find_if(items.begin(), items.end(), [&](const Item& item) {
    return item.resource.value("itemuid", JSON()) == itemUID;
  });
  if (same != items.end()) {
    *same = Item{std::move(resource), std::move(content)};
  } else {
    items.push_back(Item{std::move(resource), std::move(content)});
  }
  refreshPaths(found->second);
  return true;
}

std::optional<JSON> PlaylistState::definition(const std::string& uid) const {
  std::lock_guard lock(mutex_);
  const auto found = playlists_.find(uid);
  if (found == playlists_.end()) {
    return std::nullopt;
  }
  return found->second.definition;
}

std::vector<JSON> PlaylistState::definitions(const std::string& type,
                                             const PlaylistQuery& query) const {
  std::vector<JSON> list;
  {
    std::lock_guard lock(mutex_);
    for (const auto& uid : order_) {
      const JSON& definition = playlists_.at(uid).definition;
      if (type.empty() || definition.value("type", JSON()) == type) {
        list.push_back(definition);
      }
    }
  }
  return sortedAndPaged(std::move(list), query);
}

bool PlaylistState::update(const std::string& uid, const JSON& changes) {
  std::lock_guard lock(mutex_);
  const auto found = playlists_.find(uid);
  if (found == playlists_.end()) {
    return false;
  }
  for (const auto& [key, value] : changes.items()) {
    if (key != "uid" && key != "paths") {
      found->second.definition[key] = value;
    }
  }
  if (changes.contains("type") && changes["type"].is_string()) {
    found->second.definition["mimeTypeRegex"] =
        mimeTypeRegexFor(changes["type"].get<std::string>());
  }
  return true;
}

bool PlaylistState::remove(const std::string& uid) {
  std::lock_guard lock(mutex_);
  if (playlists_.erase(uid) == 0) {
    return false;
  }
  std::erase(order_, uid);
  return true;
}

std::optional<std::vector<JSON>> PlaylistState::items(const std::string& uid,
                                                      const PlaylistQuery& query) const {
  std::vector<JSON> list;
  {
    std::lock_guard lock(mutex_);
    const auto found = playlists_.find(uid);
    if (found == playlists_.end()) {
      return std::nullopt;
    }
    for (const auto& item : found->second.items) {
      list.push_back(item.resource);
    }
  }
  return sortedAndPaged(std::move(list), query);
}

bool PlaylistState::clearItems(const std::string& uid) {
  std::lock_guard lock(mutex_);
  const auto found = playlists_.find(uid);
  if (found == playlists_.end()) {
    return false;
  }
  found->second.items.clear();
  refreshPaths(found->second);
  return true;
}

std::optional<std::string> PlaylistState::content(const std::string& uid,
                                                  const std::string& itemUID) const {
  std::lock_guard lock(mutex_);
  const auto found = playlists_.find(uid);
  if (found == playlists_.end()) {
    return std::nullopt;
  }
  for (const auto& item : found->second.items) {
    if (item.resource.value("itemuid", JSON()) == itemUID) {
      return item.content;
    }
  }
  return std::nullopt;
}

bool PlaylistState::removeItem(const std::string& uid, const std::string& itemUID) {
  std::lock_guard lock(mutex_);
  const auto found = playlists_.find(uid);
  if (found == playlists_.end()) {
    return false;
  }
  const auto removed = std::erase_if(found->second.items, [&](const Item& item) {
    return item.resource.value("itemuid", JSON()) == itemUID;
  });
  refreshPaths(found->second);
  return removed > 0;
}

void PlaylistState::setSingleObjectAnswers(bool enabled) {
  std::lock_guard lock(mutex_);
  singleObjectAnswers_ = enabled;
}

bool PlaylistState::singleObjectAnswers() const {
  std::lock_guard lock(mutex_);
  return singleObjectAnswers_;
}

void PlaylistState::refreshPaths(Playlist& playlist) {
  JSON paths = JSON::array();
  for (const auto& item : playlist.items) {
    if (const auto path = item.resource.find("path"); path != item.resource.end()) {
      paths.push_back(*path);
    }
  }
  playlist.definition["paths"] = std::move(paths);
}

}  // namespace testserver
