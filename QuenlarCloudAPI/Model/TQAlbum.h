// TQAlbum: one album of the account's media. A server album (a non-empty UID) is one of the
// server's photo or video playlists; a local album (no UID) is known by its name alone and stands
// for the audio files of the local store whose album holds that name. Read-only once built, so
// every accessor is safe from any thread. Not copyable: records are shared through std::shared_ptr.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "QuenlarCloudAPI/Platform/JSON.h"
#include "QuenlarCloudAPI/Platform/Value.h"

class TQAPIQueryResponse;
class TQAudio;
class TQPlaylist;
class TQResource;

// An album's files: a server album's playlist items (nullopt unless the listing answered 200),
// or a local album's audio files (empty, never nil, when there are none).
using TQAlbumFiles = std::variant<std::optional<std::vector<std::shared_ptr<TQResource>>>,
                                  std::vector<std::shared_ptr<TQAudio>>>;

// Receives an album's files once, on the main queue, then the outcome: the items listing's
// response for a server album, the local search's response for a local one.
using TQAlbumFilesCompletionHandler = std::function<void(
    const TQAlbumFiles& files, const std::shared_ptr<TQAPIQueryResponse>& response)>;

class TQAlbum {
  struct Key {};

 public:
  explicit TQAlbum(Key /*key*/, std::shared_ptr<const TQPlaylist> definition);
  TQAlbum(const TQAlbum&) = delete;
  TQAlbum& operator=(const TQAlbum&) = delete;

  // The album of one playlist definition object, read exactly as TQPlaylist::initWithDictionary()
  // reads it. {"name": <text>} makes a local album of that name.
  static std::shared_ptr<TQAlbum> initWithDict(const tq::JSON& dict);

  const std::optional<std::string>& UID() const;
  const std::optional<std::string>& name() const;
  const std::optional<std::string>& type() const;
  const std::optional<std::string>& mimeTypeRegx() const;
  const std::optional<std::vector<std::string>>& paths() const;
  const std::optional<std::string>& uri() const;
  // The server sends no dates for an album: both are always nullopt.
  std::optional<tq::Date> creationDate() const { return std::nullopt; }
  std::optional<tq::Date> lastModifiedDate() const { return std::nullopt; }

  // A server album (non-empty UID) lists its playlist items as
  // TQPlaylist::getFileWithCompletionHandler() does. A local album lists the audio files whose
  // album contains its name, as TQLocalCollection::getAudioFiles() says. Either raises the
  // missing-parameter exception out of here, with nothing sent, while nobody is signed in.
  void getFileWithCompletionHandler(TQAlbumFilesCompletionHandler completionHandler) const;

 private:
  bool isServerAlbum() const;

  std::shared_ptr<const TQPlaylist> definition_;
};
