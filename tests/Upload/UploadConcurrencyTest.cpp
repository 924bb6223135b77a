// Uploads that run side by side, and an upload whose chunk call is cancelled from outside.
#include <gtest/gtest.h>

#include <fstream>
#include <set>

#include "QuenlarCloudAPI/Platform/Digest.h"
#include "tests/Upload/UploadFixture.h"

namespace uploadtest {
namespace {

using UploadConcurrencyTest = UploadFixture;

TEST_F(UploadConcurrencyTest, TwoUploadsOfOneNameAtOnceKeepTheirChunksApart) {
  // Same name, same base name for chunk files, different bytes.
  std::filesystem::create_directories(sources() / "a");
  std::filesystem::create_directories(sources() / "b");
  const int64_t sizes[] = {kWholeFileLimit + 1, kWholeFileLimit + kChunkSize + 7};
  const std::filesystem::path paths[] = {source(sizes[0], "a/same.bin"),
                                         source(sizes[1], "b/same.bin")};
  // The host's own files in Documents that look like chunk files of these uploads.
  std::filesystem::create_directories(documentsDirectory());
  for (const char* name : {"same(1)", "same(2)"}) {
    std::ofstream(documentsDirectory() / name) << "the host's own " << name;
  }
  const auto first = start(record("same.bin"), paths[0]);
  const auto second = start(record("same.bin"), paths[1]);
  ASSERT_TRUE(first->wait());
  ASSERT_TRUE(second->wait());
  settle();

  for (const auto& run : {first, second}) {
    EXPECT_EQ(run->heard().completions, 1);
    EXPECT_EQ(run->heard().response->statusCode(), 201);
  }
  const auto stored = uploads().uploads();
  ASSERT_EQ(stored.size(), 2U);
  const std::set<std::string> checksums = {stored[0].checksum, stored[1].checksum};
  EXPECT_EQ(checksums, (std::set<std::string>{testserver::patternSha256(sizes[0]),
                                              testserver::patternSha256(sizes[1])}))
      << "each upload's chunks hashed to its own file";
  EXPECT_TRUE(stored[0].stored && stored[1].stored);
  const auto file = tree().resourceObject("/Documents/same.bin");
  ASSERT_TRUE(file);
  EXPECT_EQ((*file)["version"], 2) << "the second one stored is a new version";
  EXPECT_EQ(documentsEntries(), (std::vector<std::string>{"same(1)", "same(2)"}))
      << "no chunk file is left, and no file of the host's is touched";
  for (const char* name : {"same(1)", "same(2)"}) {
    std::ifstream in(documentsDirectory() / name);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}),
              std::string("the host's own ") + name);
  }
  EXPECT_GT(server().maxConcurrentRequests(), 1) << "chunks go side by side";
}

TEST_F(UploadConcurrencyTest, ACancelledChunkEndsTheUploadQuietlyAndLeavesNoChunk) {
  const auto gate = std::make_shared<testserver::Gate>();
  uploads().failNext(testserver::UploadStep::Bytes, {.holdUntil = gate});
  const auto path = source(kWholeFileLimit + kChunkSize + 1);
  const auto run = start(record(), path);
  ASSERT_TRUE(gate->waitForWaiters(1, testsupport::kTimeout));

  // The held chunk's call, found by the offset the server saw; the host cancels it (as a logout
  // would cancel every live call).
  int32_t heldOffset = 0;
  for (const auto& request : requestsUnder("/cloud/1/fileupload/upload/")) {
    heldOffset = std::stoi(request.target.substr(request.target.rfind('=') + 1));
  }
  std::shared_ptr<TQAPI> held;
  for (const auto& call : facade()->apiArray().snapshot()) {
    const auto params = std::dynamic_pointer_cast<TQUploadAPIParams>(call->apiParams());
    if (params && params->offset == heldOffset) {
      held = call;
    }
  }
  ASSERT_TRUE(held);
  held->cancelAPI();

  EXPECT_TRUE(testsupport::eventually([&] { return documentsEntries().empty(); }));
  settle();
  gate->open();
  drainMainQueue();
  EXPECT_EQ(run->heard().completions, 0) << "a cancelled upload reports nothing";
  EXPECT_EQ(tq::sha256OfFile(path), testserver::patternSha256(kWholeFileLimit + kChunkSize + 1));
  EXPECT_TRUE(requestsUnder("/cloud/1/fileupload/commit/").empty());
}

}  // namespace
}  // namespace uploadtest
