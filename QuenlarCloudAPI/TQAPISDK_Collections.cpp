// The facade's media collections: photo albums and audio playlists from the server's playlist
// listings; artists, genres and audio albums as the distinct values of the audio list.
#include <memory>
#include <optional>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

#include "QuenlarCloudAPI/API/Playlist_API/TQGetPlaylistAPI.h"
#include "QuenlarCloudAPI/API/Playlist_API/TQGetPlaylistAPIParams.h"
#include "QuenlarCloudAPI/Model/TQAlbum.h"
#include "QuenlarCloudAPI/Model/TQArtist.h"
#include "QuenlarCloudAPI/Model/TQAudio.h"
#include "QuenlarCloudAPI/Model/TQGenre.h"
#include "QuenlarCloudAPI/Platform/Dispatch.h"
#include "QuenlarCloudAPI/TQAPISDK.h"
#include "QuenlarCloudAPI/TQAPISDKRoads.h"

namespace {

using AudioValue = std::optional<std::string> (TQAudio::*)() const;

// Global queue: one record per distinct value, in the order the values first appear.
template <class Record, class Make>
std::vector<std::shared_ptr<Record>> distinctRecords(
    const std::vector<std::shared_ptr<TQAudio>>& audioFiles, AudioValue value, Make make) {
  std::vector<std::shared_ptr<Record>> records;
  std::unordered_set<std::string> seen;
  for (const auto& audio : audioFiles) {
    const std::optional<std::string> text = (*audio.*value)();
    // "(null)" is how a missing value has always been stored and shown: it names nothing.
    if (text && *text != "(null)" && seen.insert(*text).second) {
      records.push_back(make(*text));
    }
  }
  return records;
}

// The audio list, then its distinct values as records, handed over on the main queue.
template <class Record, class Make>
void listDistinctValues(TQAPISDK& facade, AudioValue value, Make make,
                        TQMediaListCompletionHandler<Record> completionHandler) {
  facade.getAudiosWithCompletionHandler(
      [value, make, completionHandler = std::move(completionHandler)](
          const std::vector<std::shared_ptr<TQAudio>>& audioFiles,
          const std::shared_ptr<TQAPIQueryResponse>& response) {
        tq::globalQueue().async([value, make, completionHandler, audioFiles, response] {
          auto records = distinctRecords<Record>(audioFiles, value, make);
          tq::mainQueue().async([completionHandler, records = std::move(records), response] {
            if (completionHandler) {
              completionHandler(records, response);
            }
          });
        });
      });
}

}  // namespace

void TQAPISDK::getPhotoAlbumsWithCompletionHandler(TQAlbumsCompletionHandler completionHandler) {
  std::vector<std::shared_ptr<TQGetPlaylistAPIParams>> listings;
  for (const char* type : {"image", "video", "image-video"}) {
    auto params = std::make_shared<TQGetPlaylistAPIParams>();
    params->type = type;
    listings.push_back(std::move(params));
  }
  startBatchWithParameters<TQGetPlaylistAPI>(
      listings, [completionHandler = std::move(completionHandler)](
                    const TQAPIBatchOutcome<std::shared_ptr<TQAlbum>>& outcome) {
        if (completionHandler) {
          completionHandler(outcome.resultsIfSuccess(), outcome.response);
        }
      });
}

std::shared_ptr<TQGetPlaylistAPI> TQAPISDK::getAudioPlaylistsWithCompletionHandler(
    TQPlaylistsCompletionHandler completionHandler) {
  auto params = std::make_shared<TQGetPlaylistAPIParams>();
  params->type = "music";
  return getPlaylist(std::move(params), std::move(completionHandler));
}

void TQAPISDK::getArtistsWithCompletionHandler(
    TQMediaListCompletionHandler<TQArtist> completionHandler) {
  listDistinctValues<TQArtist>(*this, &TQAudio::artist, TQArtist::initWithValue,
                               std::move(completionHandler));
}

void TQAPISDK::getGenresWithCompletionHandler(
    TQMediaListCompletionHandler<TQGenre> completionHandler) {
  listDistinctValues<TQGenre>(*this, &TQAudio::genre, TQGenre::initWithValue,
                              std::move(completionHandler));
}

void TQAPISDK::getAudioAlbumsWithCompletionHandler(
    TQMediaListCompletionHandler<TQAlbum> completionHandler) {
  listDistinctValues<TQAlbum>(
      *this, &TQAudio::album,
      [](const std::string& name) {
        return TQAlbum::initWithDict(tq::JSON{{"name", name}});
      },
      std::move(completionHandler));
}
