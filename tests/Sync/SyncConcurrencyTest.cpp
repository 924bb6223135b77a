// Full syncs running side by side (a host's own and those of the media lists) against the same
// store: each uri is stored once and every report arrives once.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "QuenlarCloudAPI/Model/TQPhoto.h"
#include "tests/Sync/SyncFixture.h"

namespace {

using synctest::Strings;

class SyncConcurrencyTest : public synctest::SyncFixture {};

TEST_F(SyncConcurrencyTest, SyncsSideBySideStoreEachURIOnce) {
  for (const char* folder : {"Photos", "Videos", "Docs"}) {
    tree().addVirtualFolder(folder);
    for (int i = 0; i < 300; ++i) {
      tree().addFile("/" + std::string(folder) + "/" + std::to_string(i) + ".jpg");
    }
  }
  constexpr int kSyncs = 3;
  constexpr int kPhotoLists = 2;
  testsupport::Latch done(kSyncs + kPhotoLists);
  std::atomic<int> reports = 0;
  std::atomic<size_t> photos = 0;
  std::vector<std::thread> hosts;
  hosts.reserve(kSyncs + kPhotoLists);
  for (int i = 0; i < kSyncs; ++i) {
    hosts.emplace_back([&] {
      TQAPISDK::sharedInstance()->doFullSyncWithCompletionHandler(
          [&](const std::shared_ptr<TQAPIQueryResponse>&) {
            ++reports;
            done.countDown();
          });
    });
  }
  for (int i = 0; i < kPhotoLists; ++i) {
    hosts.emplace_back([&] {
      TQAPISDK::sharedInstance()->getPhotosWithCompletionHandler(
          [&](const std::vector<std::shared_ptr<TQPhoto>>& items,
              const std::shared_ptr<TQAPIQueryResponse>&) {
            photos = items.size();
            ++reports;
            done.countDown();
          });
    });
  }
  for (auto& host : hosts) {
    host.join();
  }
  ASSERT_TRUE(done.wait());
  drainMainQueue();
  EXPECT_EQ(reports, kSyncs + kPhotoLists);
  EXPECT_EQ(photos, 900U) << "a photo list sees its own sync's rows at least";
  EXPECT_EQ(query("SELECT count(*) - count(DISTINCT uri) FROM TQDBResource"), Strings{"0"});
  EXPECT_EQ(storedPaths(), livePaths());
  EXPECT_EQ(query("SELECT count(*) FROM TQETag"), Strings{"3"});
}

}  // namespace
