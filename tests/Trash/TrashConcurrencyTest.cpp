// Trash listings started from several host threads at once: each fan-out keeps to its own record
// and reports exactly once, on the main queue.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "QuenlarCloudAPI/API/Resource_API/Trash_API/TQGetTrashAPIParams.h"
#include "QuenlarCloudAPI/Model/TQMetadata.h"
#include "QuenlarCloudAPI/Platform/Dispatch.h"
#include "QuenlarCloudAPI/TQAPISDK.h"
#include "tests/support/ServerFixture.h"
#include "testserver/ResourceTree.h"

namespace {

class TrashConcurrencyTest : public testsupport::ServerFixture {};

TEST_F(TrashConcurrencyTest, ListingsFromManyThreadsEachGetTheirOwnPage) {
  signIn();
  auto& tree = server().state<testserver::ResourceTree>();
  for (const char* folder : {"A", "B", "C", "D"}) {
    tree.addVirtualFolder(folder);
    for (int i = 0; i < 10; ++i) {
      const std::string path = std::string("/") + folder + "/" + folder + std::to_string(i);
      tree.addFile(path);
      tree.remove(path, false);
    }
  }
  constexpr int kThreads = 8;
  testsupport::Latch done(kThreads);
  std::atomic<int> wrong = 0;
  std::atomic<int> offMainQueue = 0;
  std::vector<std::thread> hosts;
  hosts.reserve(kThreads);
  for (int t = 0; t < kThreads; ++t) {
    hosts.emplace_back([&, t] {
      auto params = std::make_shared<TQGetTrashAPIParams>();
      params->page = t % 4 + 1;
      params->count = 10;
      TQAPISDK::sharedInstance()->fetchTrash(params, [&, t](const auto& items, const auto&) {
        // Sorted by name, page p holds the items of the p-th folder in name order.
        const std::string expected(1, static_cast<char>('A' + t % 4));
        if (!items || items->size() != 10U || items->front()->name() != expected + "0") {
          ++wrong;
        }
        if (!tq::mainQueue().isCurrent()) {
          ++offMainQueue;
        }
        done.countDown();
      });
      params->page = 99;  // the host reuses its record at once; the listing under way keeps its own
    });
  }
  for (auto& host : hosts) {
    host.join();
  }
  ASSERT_TRUE(done.wait());
  EXPECT_EQ(wrong, 0);
  EXPECT_EQ(offMainQueue, 0);
  drainMainQueue();
  EXPECT_EQ(done.count(), 0) << "no listing reported twice";
  EXPECT_EQ(TQAPISDK::sharedInstance()->apiArray().count(), 0U);
}

}  // namespace
