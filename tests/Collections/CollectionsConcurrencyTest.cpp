// The collections of the audio list started side by side from several host threads: each runs its
// own full sync, so their merges and their fetches of the store overlap.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "QuenlarCloudAPI/Model/TQAlbum.h"
#include "QuenlarCloudAPI/Model/TQArtist.h"
#include "QuenlarCloudAPI/Model/TQAudio.h"
#include "QuenlarCloudAPI/Model/TQGenre.h"
#include "tests/Sync/SyncFixture.h"

namespace {

using Names = std::vector<std::string>;

class CollectionsConcurrencyTest : public synctest::SyncFixture {};

TEST_F(CollectionsConcurrencyTest, CollectionsSideBySideEachReportOnceWithEveryFile) {
  tree().addVirtualFolder("Music");
  for (const char* name : {"a", "b", "c"}) {
    tree().addFile(
        std::string("/Music/") + name + ".mp3",
        {{"systemAttributes",
          {{"Artist", std::string("Artist ") + name}, {"Genre", "Jazz"}, {"Album", name}}}});
  }
  auto& sdk = *TQAPISDK::sharedInstance();
  std::mutex mutex;
  std::vector<std::pair<std::string, Names>> reports;
  testsupport::Latch done(4);
  const auto keep = [&](const char* what) {
    return [&, what](const auto& records, const std::shared_ptr<TQAPIQueryResponse>& /*response*/) {
      Names names;
      for (const auto& record : records) {
        names.push_back(std::optional<std::string>(record->name()).value_or("<nil>"));
      }
      std::lock_guard lock(mutex);
      reports.emplace_back(what, names);
      done.countDown();
    };
  };
  const std::vector<std::function<void()>> starts = {
      [&] { sdk.getArtistsWithCompletionHandler(keep("artists")); },
      [&] { sdk.getGenresWithCompletionHandler(keep("genres")); },
      [&] { sdk.getAudioAlbumsWithCompletionHandler(keep("albums")); },
      [&] { TQArtist::initWithValue("artist")->getFileWithCompletionHandler(keep("files")); },
  };
  std::vector<std::thread> hosts;
  hosts.reserve(starts.size());
  for (const auto& start : starts) {
    hosts.emplace_back(start);
  }
  for (auto& host : hosts) {
    host.join();
  }
  ASSERT_TRUE(done.wait());
  drainMainQueue();
  std::lock_guard lock(mutex);
  std::sort(reports.begin(), reports.end());
  EXPECT_EQ(reports, (std::vector<std::pair<std::string, Names>>{
                         {"albums", {"a", "b", "c"}},
                         {"artists", {"Artist a", "Artist b", "Artist c"}},
                         {"files", {"c.mp3", "b.mp3", "a.mp3"}},
                         {"genres", {"Jazz"}},
                     }));
}

}  // namespace
