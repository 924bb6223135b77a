// The facade's media collections: photo albums and audio playlists from the server's playlist
// listings; artists, genres and audio albums as the distinct values of the audio list.
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <variant>
#include <vector>

#include "QuenlarCloudAPI/API/Playlist_API/TQGetPlaylistAPI.h"
#include "QuenlarCloudAPI/API/Playlist_API/TQGetPlaylistAPIParams.h"
#include "QuenlarCloudAPI/API/Resource_API/Search_API/TQLocalSearch.h"
#include "QuenlarCloudAPI/Model/TQAlbum.h"
#include "QuenlarCloudAPI/Model/TQArtist.h"
#include "QuenlarCloudAPI/Model/TQGenre.h"
#include "QuenlarCloudAPI/Model/TQLocalCollection.h"
#include "QuenlarCloudAPI/Platform/Dispatch.h"
#include "QuenlarCloudAPI/TQAPISDK.h"
#include "QuenlarCloudAPI/TQAPISDKRoads.h"

namespace {

// Global queue: one record per distinct text value, in the order the values first appear.
template <class Record, class Make>
std::vector<std::shared_ptr<Record>> distinctRecords(const std::vector<tq::Value>& values,
                                                     Make make) {
  std::vector<std::shared_ptr<Record>> records;
  std::unordered_set<std::string> seen;
  for (const tq::Value& value : values) {
    const auto* text = std::get_if<std::string>(&value);
    // "(null)" is how a missing value is stored and shown: it names nothing.
    if (text != nullptr && *text != "(null)" && seen.insert(*text).second) {
      records.push_back(make(*text));
    }
  }
  return records;
}

// The values of `key` of the audio list, then its distinct values as records, handed over on the
// main queue. The audio list's records themselves are not made: only this one value of each
// counts, and binding a record to each of many thousand rows would cost far more than reading it.
template <class Record, class Make>
void listDistinctValues(std::string_view key, Make make,
                        TQMediaListCompletionHandler<Record> completionHandler) {
  TQLocalSearch::audioListValues(key, [make, completionHandler = std::move(completionHandler)](
                                          const std::vector<tq::Value>& values,
                                          const std::shared_ptr<TQAPIQueryResponse>& response) {
    tq::globalQueue().async([make, completionHandler, values, response] {
      auto records = distinctRecords<Record>(values, make);
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
  listDistinctValues<TQArtist>(TQLocalCollection::kArtistKey, TQArtist::initWithValue,
                               std::move(completionHandler));
}

void TQAPISDK::getGenresWithCompletionHandler(
    TQMediaListCompletionHandler<TQGenre> completionHandler) {
  listDistinctValues<TQGenre>(TQLocalCollection::kGenreKey, TQGenre::initWithValue,
                              std::move(completionHandler));
}

void TQAPISDK::getAudioAlbumsWithCompletionHandler(
    TQMediaListCompletionHandler<TQAlbum> completionHandler) {
  listDistinctValues<TQAlbum>(
      TQLocalCollection::kAlbumKey,
      [](const std::string& name) {
        return TQAlbum::initWithDict(tq::JSON{{"name", name}});
      },
      std::move(completionHandler));
}
