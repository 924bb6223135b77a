// The file splitter: chunk files of the right sizes and bytes, in a directory of each split's own
// inside Documents, and nothing left behind when a split fails.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <future>

#include "QuenlarCloudAPI/Helper_Class/TQFileSplitter.h"
#include "QuenlarCloudAPI/Platform/Digest.h"
#include "QuenlarCloudAPI/Platform/Environment.h"
#include "tests/Upload/UploadFixture.h"
#include "tests/support/TestSupport.h"
#include "testserver/Pattern.h"

namespace uploadtest {
namespace {

namespace fs = std::filesystem;

struct SplitOutcome {
  std::vector<std::shared_ptr<TQFileSplitInfo>> chunks;
  std::optional<tq::URLError> error;
};

class FileSplitterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    tq::Environment::setDocumentsDirectory(documents());
    fs::create_directories(documents());
  }

  fs::path documents() const { return directory_.path() / "Documents"; }

  fs::path source(const std::string& name, int64_t size) const {
    auto path = directory_.path() / name;
    testserver::writePatternFile(path.string(), size);
    return path;
  }

  static SplitOutcome split(const fs::path& path, int64_t chunkSize) {
    auto configuration = std::make_shared<TQFileSplitConfiguration>();
    configuration->filePath = path.string();
    configuration->chunkSize = chunkSize;
    return split(configuration);
  }

  static SplitOutcome split(std::shared_ptr<TQFileSplitConfiguration> configuration) {
    std::promise<SplitOutcome> outcome;
    TQFileSplitter::sharedInstance()->splitFileWithConfiguration(
        std::move(configuration), [&outcome](std::vector<std::shared_ptr<TQFileSplitInfo>> chunks,
                                             std::optional<tq::URLError> error) {
          outcome.set_value({std::move(chunks), std::move(error)});
        });
    auto future = outcome.get_future();
    EXPECT_EQ(future.wait_for(testsupport::kTimeout), std::future_status::ready);
    return future.get();
  }

  size_t documentsEntryCount() const {
    return static_cast<size_t>(std::distance(fs::recursive_directory_iterator(documents()),
                                             fs::recursive_directory_iterator()));
  }

 private:
  testsupport::TemporaryDirectory directory_;
};

TEST_F(FileSplitterTest, CutsTheSourceIntoNumberedChunksLastFirst) {
  const struct {
    int64_t size;
    std::vector<int64_t> chunkSizes;  // in the order reported
    const char* why;
  } cases[] = {
      {12000000, {1514240, 5242880, 5242880}, "a short last chunk, reported first"},
      {10485760, {5242880, 5242880}, "an exact multiple has no short chunk"},
      {0, {}, "an empty source gives no chunk and no error"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    const auto path = source("My%20Song.live.mp3", c.size);
    const auto outcome = split(path, 5242880);
    ASSERT_FALSE(outcome.error);
    ASSERT_EQ(outcome.chunks.size(), c.chunkSizes.size());
    tq::Sha256 joined;
    for (size_t i = outcome.chunks.size(); i-- > 0;) {
      const auto& chunk = *outcome.chunks[i];
      const auto number = static_cast<int32_t>(outcome.chunks.size() - i);
      EXPECT_EQ(chunk.offset, number);
      EXPECT_EQ(chunk.masterFilePath, path.string());
      const fs::path file = chunk.chunkFilePath;
      EXPECT_EQ(file.filename(), "My Song(" + std::to_string(number) + ")");
      EXPECT_EQ(file.parent_path().parent_path(), documents()) << "a directory of its own";
      EXPECT_EQ(static_cast<int64_t>(fs::file_size(file)), c.chunkSizes[i]);
      std::ifstream in(file, std::ios::binary);
      joined.update(std::string(std::istreambuf_iterator<char>(in), {}));
    }
    EXPECT_EQ(joined.final(), testserver::patternSha256(c.size)) << "every byte, in order";
    EXPECT_EQ(tq::sha256OfFile(path), testserver::patternSha256(c.size)) << "source untouched";
    if (!outcome.chunks.empty()) {
      fs::remove_all(fs::path(outcome.chunks[0]->chunkFilePath).parent_path());
    }
    EXPECT_EQ(documentsEntryCount(), 0U);
  }
}

TEST_F(FileSplitterTest, AFailedSplitLeavesNoChunkFile) {
  const auto source = this->source("data.bin", 3000);
  const struct {
    std::function<SplitOutcome()> run;
    int64_t code;
    const char* why;
  } cases[] = {
      {[&] { return split(source, 0); }, tq::URLError::Unknown, "a chunk size of 0"},
      {[&] { return split(source, -5); }, tq::URLError::Unknown, "a negative chunk size"},
      {[] { return split(nullptr); }, tq::URLError::Unknown, "no configuration"},
      {[&] { return split(source.parent_path() / "missing.bin", 1000); },
       tq::URLError::FileDoesNotExist, "no source"},
      {[&] { return split(source.parent_path(), 1000); }, tq::URLError::NoPermissionsToReadFile,
       "a directory as source"},
      {[&] {
         fs::remove_all(documents());
         std::ofstream(documents()) << "not a directory";
         auto outcome = split(source, 1000);
         fs::remove(documents());
         fs::create_directories(documents());
         return outcome;
       },
       tq::URLError::CannotCreateFile, "no place for chunk files"},
      {[&] {
         limitFileSize(1500);  // the second chunk written (the first one) cannot be
         auto outcome = split(source, 2000);
         limitFileSize(RLIM_INFINITY);
         return outcome;
       },
       tq::URLError::CannotWriteToFile, "a chunk cannot be written after another was"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    const auto outcome = c.run();
    ASSERT_TRUE(outcome.error);
    EXPECT_EQ(outcome.error->code(), c.code);
    EXPECT_TRUE(outcome.chunks.empty());
    EXPECT_EQ(documentsEntryCount(), 0U);
    EXPECT_EQ(tq::sha256OfFile(source), testserver::patternSha256(3000));
  }
}

TEST_F(FileSplitterTest, ChunkNamesStayInsideTheirDirectory) {
  const struct {
    const char* source;
    const char* base;
  } cases[] = {
      {"/in/My%20Song.live.mp3", "My Song"},
      {"/in/a%20b.txt", "a b"},
      {"photo.jpg", "photo"},
      {"/in/.hidden", "chunk"},
      {"/in/", "chunk"},
      {"/in/%2E%2E%2Fetc.txt", "chunk"},
      {"/in/a%2F..%2F..%2Fb", "a_"},
      {"/in/x%00y.bin", "x_y"},
      {"/in/100%.txt", "100%"},
      {"/in/%FF%FE.bin", "%FF%FE"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TQFileSplitter::chunkBaseName(c.source), c.base) << c.source;
  }

  // Names too long for "<base>(<n>)" to fit 255 bytes are cut, never inside a character.
  auto repeat = [](std::string_view piece, size_t times) {
    std::string text;
    for (size_t i = 0; i < times; ++i) {
      text += piece;
    }
    return text;
  };
  const struct {
    std::string source;
    std::string base;
    const char* reason;
  } longNames[] = {
      {"/in/" + repeat("a", 300) + ".bin", repeat("a", 243), "ASCII is cut at the limit"},
      {"/in/" + repeat("a", 243), repeat("a", 243), "a name at the limit stays whole"},
      {"/in/" + repeat("%C3%A9", 150), repeat("\xC3\xA9", 121), "two-byte letters"},
      {"/in/" + repeat("\xF0\x9D\x84\x9E", 75), repeat("\xF0\x9D\x84\x9E", 60),
       "four-byte characters"},
  };
  for (const auto& c : longNames) {
    const std::string base = TQFileSplitter::chunkBaseName(c.source);
    EXPECT_EQ(base, c.base) << c.reason;
    EXPECT_LE((base + "(2147483647)").size(), 255U) << c.reason;
  }
  EXPECT_EQ(TQFileSplitter::sharedInstance()->chunkFileName("/in/My%20Song.live.mp3"),
            (documents() / "My Song").string());
}

}  // namespace
}  // namespace uploadtest
