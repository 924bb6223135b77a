// A process killed in the middle of a merge: the store it leaves opens, and its ETag and rows
// still agree (the merge's rows and ETag are one transaction). The merges run in child processes
// of this test, which opens the store only after they are gone.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <functional>
#include <string>

#include "QuenlarCloudAPI/API/Resource_API/FullView_API/TQFullViewMerge.h"
#include "tests/Model/StoreFixture.h"

namespace {

// A fullview answer of `count` files under `folder`, with `deleted` as its deleted path.
std::string answer(const std::string& folder, int count, const std::string& deleted) {
  tq::JSON files = tq::JSON::array();
  for (int i = 0; i < count; ++i) {
    const std::string name = std::to_string(i) + ".jpg";
    std::string path = folder;
    path.append("/").append(name);
    files.push_back({{"name", name},
                     {"path", path},
                     {"uri", folder + "#" + std::to_string(i)},
                     {"contentToken", "t"}});
  }
  tq::JSON data = {{"file", files}};
  if (!deleted.empty()) {
    data["deleted"] = {{"path", deleted}};
  }
  return tq::JSON({{"data", data}}).dump();
}

bool merge(const std::string& text, const std::string& eTag,
           const TQFullViewMerge::Progress& progress = nullptr) {
  const auto spool = TQAnswerSpool::make();
  spool->append(text);
  auto& store = *TQPersistentStore::sharedPersistentStore();
  return TQFullViewMerge::merge(store, store.currentEpoch(), "Photos", eTag, *spool, nullptr,
                                progress) == TQFullViewMerge::Result::Merged;
}

// Runs `body` in a child process; answers its process identifier.
pid_t inChild(const std::function<int()>& body) {
  const pid_t child = ::fork();
  if (child == 0) {
    ::_exit(body());
  }
  return child;
}

int exitStatus(pid_t child) {
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
}

using MergeCrashTest = StoreFixture;

TEST_F(MergeCrashTest, AMergeKilledHalfWayLeavesTheStoreAsBefore) {
  const std::string first = answer("/Photos/old", 600, "");
  const std::string second = answer("/Photos/new", 2000, "/Photos/old");
  ASSERT_EQ(exitStatus(inChild([&] { return merge(first, "v1") ? 0 : 1; })), 0);

  std::array<int, 2> signal{};
  ASSERT_EQ(::pipe(signal.data()), 0);
  const pid_t merging = inChild([&] {
    merge(second, "v2", [&](size_t written) {
      if (written >= 1000) {  // rows written, old rows deleted or not: mid-transaction
        const char byte = 'x';
        (void)!::write(signal[1], &byte, 1);
        for (;;) {
          ::pause();
        }
      }
    });
    return 2;  // never reached unless the merge failed before
  });
  ::close(signal[1]);
  char byte = 0;
  ASSERT_EQ(::read(signal[0], &byte, 1), 1) << "the child reached the middle of its merge";
  ::close(signal[0]);
  ::kill(merging, SIGKILL);
  EXPECT_EQ(exitStatus(merging), -SIGKILL);

  // This process opens the store for the first time now, recovering what the child left.
  ASSERT_TRUE(store()->hasStore());
  EXPECT_EQ(textInFile("SELECT eTag FROM TQETag"), std::vector<std::string>{"v1"});
  EXPECT_EQ(rowsInFile("TQDBResource"), 600);
  EXPECT_EQ(textInFile("SELECT count(*) FROM TQDBResource WHERE fullPath LIKE '/Photos/old/%'"),
            std::vector<std::string>{"600"});

  ASSERT_TRUE(merge(second, "v2")) << "the store takes the merge again";
  EXPECT_EQ(textInFile("SELECT eTag FROM TQETag"), std::vector<std::string>{"v2"});
  EXPECT_EQ(rowsInFile("TQDBResource"), 2000);
  EXPECT_EQ(textInFile("SELECT count(*) FROM TQETag_resources"), std::vector<std::string>{"2000"});
}

}  // namespace
