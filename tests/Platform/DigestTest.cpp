#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "QuenlarCloudAPI/Platform/Digest.h"
#include "QuenlarCloudAPI/Platform/UUID.h"

namespace {

namespace fs = std::filesystem;

class DigestTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "DigestTest-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { fs::remove_all(dir_); }

  fs::path dir_;
};

TEST_F(DigestTest, KnownVectors) {
  const struct {
    const char* reason;
    std::string input;
    const char* expected;
  } cases[] = {
      {"no bytes", "", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"two blocks", "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {"a million a's", std::string(1000000, 'a'),
       "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
      {"embedded NUL", std::string("a\0b", 3),
       "59b271ae1bbcb1d31d41929817f4b16fb439eb4f31520b5ad1d5ce98920a7138"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(tq::sha256(c.input), c.expected) << c.reason;
    const auto path = dir_ / "vector";
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(c.input.data(), std::streamsize(c.input.size()));
    EXPECT_EQ(tq::sha256OfFile(path), c.expected) << c.reason << " (from a file)";
  }
}

TEST_F(DigestTest, LargeFileMatchesIncrementalHashing) {
  // Several read buffers plus a ragged tail, so buffer boundaries fall mid-pattern.
  std::string bytes(5 * (1 << 20) + 12345, '\0');
  uint32_t state = 12345;
  for (auto& b : bytes) {
    state = state * 1103515245U + 12345U;
    b = static_cast<char>(state >> 24U);
  }
  const auto path = dir_ / "large.bin";
  std::ofstream(path, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));

  tq::Sha256 incremental;
  for (std::size_t offset = 0, piece = 1; offset < bytes.size(); offset += piece, piece *= 3) {
    incremental.update(std::string_view(bytes).substr(offset, piece));
  }
  const std::string expected = incremental.final();
  EXPECT_EQ(tq::sha256OfFile(path), expected);
  EXPECT_EQ(tq::sha256(bytes), expected);
  EXPECT_EQ(incremental.final(), tq::sha256("")) << "final() starts the digest over";
}

TEST_F(DigestTest, UnreadableFilesHaveNoDigest) {
  EXPECT_EQ(tq::sha256OfFile(dir_ / "missing"), std::nullopt) << "missing file";
  EXPECT_EQ(tq::sha256OfFile(dir_), std::nullopt) << "a directory";
}

TEST(UUID, UpperCaseAndUnique) {
  const std::string a = tq::makeUUIDString();
  const std::string b = tq::makeUUIDString();
  EXPECT_NE(a, b);
  ASSERT_EQ(a.size(), 36U);
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (i == 8 || i == 13 || i == 18 || i == 23) {
      EXPECT_EQ(a[i], '-');
    } else {
      EXPECT_TRUE(std::isdigit(static_cast<unsigned char>(a[i])) || (a[i] >= 'A' && a[i] <= 'F'))
          << a;
    }
  }
}

}  // namespace
