#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "QuenlarCloudAPI/Platform/URLSessionDownloadFile.h"
#include "tests/support/TestSupport.h"

namespace {

namespace fs = std::filesystem;
using tq::detail::URLSessionDownloadFile;
constexpr size_t kBlock = URLSessionDownloadFile::kBlockSize;

struct Case {
  const char* reason;
  int64_t announced;
  std::vector<size_t> pieces;
  rlim_t fileSizeLimit;  // RLIM_INFINITY, or where the file system refuses bytes (EFBIG)
  bool finished;
};

// Each case writes bytes that differ with their offset, so a piece lost, doubled or out of place
// shows in the file; a refused write must fail the file even when it surfaces only at the end.
TEST(URLSessionDownloadFileTest, KeepsEveryPieceInOrderOrFailsTheFile) {
  const Case cases[] = {
      {"pieces as curl hands them", -1, std::vector<size_t>(11, 16384), RLIM_INFINITY, true},
      {"blocks, then an odd piece", -1, {kBlock, kBlock, 5}, RLIM_INFINITY, true},
      {"a piece beyond the held block", -1, {100, kBlock + 3}, RLIM_INFINITY, true},
      {"whole blocks at once", -1, {3 * kBlock + 17, 1}, RLIM_INFINITY, true},
      {"longer than announced", 10, {8, 9, 1000}, RLIM_INFINITY, true},
      {"a block refused on the way", -1, {kBlock / 2, kBlock, 10}, 64, false},
      {"held bytes refused at the end", -1, {100, 200}, 64, false},
  };
  const testsupport::TemporaryDirectory directory;
  std::signal(SIGXFSZ, SIG_IGN);
  for (const auto& c : cases) {
    URLSessionDownloadFile file;
    ASSERT_TRUE(file.create(directory.path())) << c.reason;
    file.expect(c.announced);
    rlimit limit{};
    ::getrlimit(RLIMIT_FSIZE, &limit);
    const rlimit previous = limit;
    limit.rlim_cur = c.fileSizeLimit;
    ::setrlimit(RLIMIT_FSIZE, &limit);
    std::string expected;
    bool taken = true;
    for (const size_t size : c.pieces) {
      std::string piece(size, '\0');
      for (size_t i = 0; i < size; ++i) {
        piece[i] = static_cast<char>('a' + (expected.size() + i) * 7 % 26);
      }
      taken = file.append(piece.data(), piece.size()) && taken;
      expected += piece;
    }
    const auto finished = file.finish();
    const auto path = finished ? std::optional(finished->path) : std::nullopt;
    ::setrlimit(RLIMIT_FSIZE, &previous);
    ASSERT_EQ(path.has_value(), c.finished) << c.reason;
    if (path) {
      EXPECT_TRUE(taken) << c.reason;
      std::ifstream in(*path, std::ios::binary);
      EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), expected) << c.reason;
      fs::remove(*path);
    }
    EXPECT_TRUE(fs::is_empty(directory.path())) << c.reason << ": no file left behind";
  }
}

}  // namespace
