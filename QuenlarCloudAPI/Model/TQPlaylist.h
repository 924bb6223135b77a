// TQPlaylist: one playlist of the account as the server defines it: a named, typed list of the
// account's files. Built from one playlist definition object of the server; read-only afterwards,
// so every accessor is safe from any thread. Not copyable: records are shared through
// std::shared_ptr.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "QuenlarCloudAPI/API/Playlist_API/TQPlaylistCompletionHandlers.h"
#include "QuenlarCloudAPI/Platform/JSON.h"
#include "QuenlarCloudAPI/Platform/Value.h"

class TQPlaylist {
  struct Key {};

 public:
  explicit TQPlaylist(Key /*key*/) {}
  TQPlaylist(const TQPlaylist&) = delete;
  TQPlaylist& operator=(const TQPlaylist&) = delete;

  // The record of one definition object: "uid", "type", "mimeTypeRegex" and "uri" as text (a
  // number as its decimal text; other kinds of value read as nil), "paths" as the text elements of
  // its list, and "name" in its text form (a number as its decimal text): nil when the member is
  // JSON null, the text "(null)" when it is absent, which is what hosts are shown and match on.
  // A value that is not an object reads as an object without members.
  static std::shared_ptr<TQPlaylist> initWithDictionary(const tq::JSON& dictionary);

  const std::optional<std::string>& UID() const { return UID_; }
  const std::optional<std::string>& name() const { return name_; }
  const std::optional<std::string>& type() const { return type_; }
  const std::optional<std::string>& mimeTypeRegx() const { return mimeTypeRegx_; }
  const std::optional<std::vector<std::string>>& paths() const { return paths_; }
  const std::optional<std::string>& uri() const { return uri_; }
  // The server sends no dates for a playlist: both are always nullopt.
  std::optional<tq::Date> creationDate() const { return std::nullopt; }
  std::optional<tq::Date> lastModifiedDate() const { return std::nullopt; }

  // Lists the playlist's items with TQAPISDK::getPlaylistItems() (no sort, no paging) and hands
  // its outcome to `completionHandler` on a later turn of the main queue. Raises the
  // missing-parameter exception out of here, with nothing sent, when the playlist has no UID
  // (key "playlistUid") or nobody is signed in (key "access_token").
  void getFileWithCompletionHandler(TQPlaylistItemsCompletionHandler completionHandler) const;

 private:
  std::optional<std::string> UID_;
  std::optional<std::string> name_;
  std::optional<std::string> type_;
  std::optional<std::string> mimeTypeRegx_;
  std::optional<std::vector<std::string>> paths_;
  std::optional<std::string> uri_;
};
