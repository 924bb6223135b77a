// PlaylistState: the stand-in service's playlists. Each playlist has a definition object (uid,
// name, type, mimeTypeRegex, paths, uri) and items: resource objects named by their "itemuid",
// each with the bytes its content download answers. Tests seed and inspect it; the routes
// (PlaylistRoutes.h) answer from it. Every member is safe from any thread; answers are copies.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

namespace testserver {

// Which part of a list a listing asks for, and in which order.
struct PlaylistQuery {
  std::string sortKey;  // a member of the listed objects; "" for the order they were added
  bool sortAscending = true;
  int64_t page = 0;   // 1-based page of `count` objects; 0 when not given
  int64_t start = 0;  // index of the first object when no page is given
  int64_t count = 0;  // objects per page; 0 for all
};

class PlaylistState {
 public:
  using JSON = nlohmann::ordered_json;

  PlaylistState() = default;
  PlaylistState(const PlaylistState&) = delete;
  PlaylistState& operator=(const PlaylistState&) = delete;

  // Adds a playlist from the members of `definition` ("name", "type", ...; "paths" is ignored:
  // items make it). A missing "uid" becomes "playlist-<n>"; "mimeTypeRegex" and "uri" are filled
  // in when missing. Answers the uid; an existing playlist of that uid is replaced.
  std::string addPlaylist(JSON definition);
  // Adds an item to a playlist: `resource` is its resource object, named by its "itemuid" (an
  // item of that uid is replaced), and its "path" joins the definition's "paths". False when there
  // is no such playlist.
  bool addItem(const std::string& uid, JSON resource, std::string content);

  // The definition of a playlist, or nullopt.
  std::optional<JSON> definition(const std::string& uid) const;
  // The definitions of the type (every type when empty), sorted and paged as `query` says.
  std::vector<JSON> definitions(const std::string& type, const PlaylistQuery& query) const;
  // Sets the members of `changes` on a definition ("uid" and "paths" excepted); false when there
  // is no such playlist.
  bool update(const std::string& uid, const JSON& changes);
  // Removes a playlist; false when there was none.
  bool remove(const std::string& uid);

  // A playlist's item resource objects, sorted and paged as `query` says; nullopt when there is
  // no such playlist.
  std::optional<std::vector<JSON>> items(const std::string& uid, const PlaylistQuery& query) const;
  // Removes every item of a playlist; false when there is no such playlist.
  bool clearItems(const std::string& uid);
  // The content of an item, or nullopt.
  std::optional<std::string> content(const std::string& uid, const std::string& itemUID) const;
  // Removes an item; false when there was none.
  bool removeItem(const std::string& uid, const std::string& itemUID);

  // When set, a list of exactly one definition or item is answered as that object instead of a
  // list of one, as the service sometimes does.
  void setSingleObjectAnswers(bool enabled);
  bool singleObjectAnswers() const;

 private:
  struct Item {
    JSON resource;
    std::string content;
  };
  struct Playlist {
    JSON definition;
    std::vector<Item> items;  // in the order they were added
  };

  static void refreshPaths(Playlist& playlist);

  mutable std::mutex mutex_;
  std::map<std::string, Playlist> playlists_;
  std::vector<std::string> order_;  // uids in the order they were added
  int64_t nextIdentifier_ = 1;
  bool singleObjectAnswers_ = false;
};

}  // namespace testserver
