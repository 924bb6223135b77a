#include <gtest/gtest.h>

#include <fstream>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "QuenlarCloudAPI/Helper_Class/NSString_HelperMethods.h"
#include "QuenlarCloudAPI/Platform/Digest.h"
#include "QuenlarCloudAPI/Platform/Dispatch.h"
#include "tests/support/TestSupport.h"

namespace {

struct EncodingCase {
  const char* reason;
  std::string input;
  std::string expected;
};

TEST(NSStringHelperMethods, PercentEncodingKeepsLettersMarksAndDigitsOfEveryScript) {
  const EncodingCase cases[] = {
      {"blank, ampersand and equals sign are escaped", "a b&c=d", "a%20b%26c%3Dd"},
      {"plus, colon, hash and percent are escaped", "1+1:#%", "1%2B1%3A%23%25"},
      {"slash and question mark stay, so paths and query marks pass", "/a/b?c", "/a/b?c"},
      {"the four unreserved marks stay", "-._~", "-._~"},
      {"quote, asterisk and bang are escaped", "'*!", "%27%2A%21"},
      {"precomposed accented Latin letter stays", "caf\u00e9", "caf\u00e9"},
      {"a combining mark after a letter stays", "cafe\u0301", "cafe\u0301"},
      {"Cyrillic letters stay", "\u041f\u0440\u0438\u0432\u0435\u0442",
       "\u041f\u0440\u0438\u0432\u0435\u0442"},
      {"CJK ideographs stay", "\u65e5\u672c\u8a9e", "\u65e5\u672c\u8a9e"},
      {"Devanagari letters with their vowel signs stay", "\u0928\u092e\u0938\u094d\u0924\u0947",
       "\u0928\u092e\u0938\u094d\u0924\u0947"},
      {"Arabic letters and Arabic-Indic digits stay", "\u0645\u0631\u062d\u0628\u0627\u0663",
       "\u0645\u0631\u062d\u0628\u0627\u0663"},
      {"a letter outside the basic plane stays", "\U0001D49C", "\U0001D49C"},
      {"an emoji is not a letter: its four bytes are escaped", "\U0001F600", "%F0%9F%98%80"},
      {"a no-break space is escaped by its two bytes", "a\u00a0b", "a%C2%A0b"},
      {"a currency sign is escaped in upper-case hexadecimal", "\u20ac", "%E2%82%AC"},
      {"a byte that is not UTF-8 is escaped alone",
       std::string("a\xff"
                   "b"),
       "a%FFb"},
      {"a truncated sequence is escaped byte by byte", std::string("\xe2\x82"), "%E2%82"},
      {"a NUL byte is escaped", std::string("a\0b", 3), "a%00b"},
      {"empty text stays empty", "", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(NSString_HelperMethods::stringByAddingPercentEncoding(c.input), c.expected)
        << c.reason;
  }
}

TEST(NSStringHelperMethods, URLQueryEncodingKeepsOnlyItsASCIISet) {
  const EncodingCase cases[] = {
      {"query punctuation stays", "a=b&c=d+e/f?g:h@i", "a=b&c=d+e/f?g:h@i"},
      {"the remaining allowed marks stay", "!$'()*,;_~-.", "!$'()*,;_~-."},
      {"blank, hash, percent and brackets are escaped", " #%[]", "%20%23%25%5B%5D"},
      {"non-ASCII letters are escaped, unlike the helper above", "\u00e9", "%C3%A9"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(NSString_HelperMethods::stringByAddingURLQueryPercentEncoding(c.input), c.expected)
        << c.reason;
  }
}

// The three encoders for values placed in a URL by hand, each against the text that would move
// the value elsewhere in the URL.
TEST(NSStringHelperMethods, URLPlacementEncodersKeepEachValueInItsPlace) {
  using Encoder = std::string (*)(std::string_view);
  const Encoder path = NSString_HelperMethods::urlPathEncoded;
  const Encoder segments = NSString_HelperMethods::urlPathSegmentsEncoded;
  const Encoder raw = [](std::string_view v) {
    return NSString_HelperMethods::rawQueryValueEncoded(v);
  };
  const Encoder rawStrict = [](std::string_view v) {
    return NSString_HelperMethods::rawQueryValueEncoded(v, "+=");
  };
  const struct {
    const char* reason;
    Encoder encoder;
    std::string input;
    std::string expected;
  } cases[] = {
      {"path: ? and # stay in the name", path, "/a?b#c", "/a%3Fb%23c"},
      {"path: slashes and blanks", path, "/My Docs/x", "/My%20Docs/x"},
      {"segments: host's / and % stay", segments, "a/b%20c", "a/b%20c"},
      {"segments: blank, ?, # and non-ASCII", segments, "a b?c#\u00e9", "a%20b%3Fc%23%C3%A9"},
      {"segments: controls and quotes", segments, std::string("a\n\"\0", 4), "a%0A%22%00"},
      {"segments: a lone dot-dot", segments, "..", "%2E%2E"},
      {"segments: dot segments inside", segments, "a/./../b", "a/%2E/%2E%2E/b"},
      {"segments: dots inside a name stay", segments, "a..b/.c", "a..b/.c"},
      {"segments: empty stays empty", segments, "", ""},
      {"raw: & # blank and non-ASCII", raw, "a&b#c d\u00e9", "a%26b%23c%20d%C3%A9"},
      {"raw: + = and % stay", raw, "name+asc=%41", "name+asc=%41"},
      {"raw strict: + and = too", rawStrict, "YWJj+/=+01:00", "YWJj%2B/%3D%2B01:00"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.encoder(c.input), c.expected) << c.reason;
  }
}

// Runs the checksum helper and waits for its handler, noting whether it ran on the main queue.
struct ChecksumResult {
  std::optional<std::string> checksum;
  bool onMainQueue = false;
};

ChecksumResult checksumOf(const std::string& path) {
  testsupport::Latch done;
  std::mutex mutex;
  ChecksumResult result;
  NSString_HelperMethods::md5HashWithCompletionHandler(
      path, [&](std::optional<std::string> checksum) {
        std::lock_guard lock(mutex);
        result.checksum = std::move(checksum);
        result.onMainQueue = tq::mainQueue().isCurrent();
        done.countDown();
      });
  EXPECT_TRUE(done.wait());
  std::lock_guard lock(mutex);
  return result;
}

TEST(NSStringHelperMethods, ChecksumIsSHA256DeliveredOnTheMainQueue) {
  testsupport::TemporaryDirectory directory;
  const auto write = [&](const std::string& name, const std::string& bytes) {
    std::ofstream(directory.path() / name, std::ios::binary) << bytes;
    return (directory.path() / name).string();
  };
  const std::string longContent(3 * 1024 * 1024 + 7, 'a');
  struct Case {
    const char* reason;
    std::string path;
    std::optional<std::string> expected;
  };
  const Case cases[] = {
      {"an empty file hashes to the digest of no bytes", write("empty", ""),
       "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"a small file", write("abc", "abc"),
       "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"a file longer than one read piece", write("long", longContent), tq::sha256(longContent)},
      {"no file at the path reports nil", (directory.path() / "missing").string(), std::nullopt},
      {"a directory reports nil", directory.path().string(), std::nullopt},
      {"an empty path reports nil", "", std::nullopt},
  };
  for (const auto& c : cases) {
    const ChecksumResult result = checksumOf(c.path);
    EXPECT_EQ(result.checksum, c.expected) << c.reason;
    EXPECT_TRUE(result.onMainQueue) << c.reason;
  }
}

TEST(NSStringHelperMethods, Base64OfUTF8Bytes) {
  const EncodingCase cases[] = {
      {"no bytes", "", ""},
      {"one byte pads twice", "f", "Zg=="},
      {"two bytes pad once", "fo", "Zm8="},
      {"three bytes need no padding", "foo", "Zm9v"},
      {"longer text has no line breaks", std::string(100, 'x'),
       "eHh4eHh4eHh4eHh4eHh4eHh4eHh4eHh4eHh4eHh4eHh4eHh4eHh4eHh4eHh4eHh4eHh4eHh4eHh4eHh4eHh4eHh4eH"
       "h4eHh4eHh4eHh4eHh4eHh4eHh4eHh4eHh4eHh4eHh4eA=="},
      {"bytes at the top of the range use + and /", "\xfb\xff", "+/8="},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(NSString_HelperMethods::base64EncodededString(c.input), c.expected) << c.reason;
  }
}

TEST(NSStringHelperMethods, ScanStringTakesTheTextBetweenTags) {
  struct Case {
    const char* reason;
    const char* text;
    const char* start;
    const char* end;
    const char* expected;
  };
  const Case cases[] = {
      {"text between the tags", "x<b>bold</b>y", "<b>", "</b>", "bold"},
      {"only the first start tag counts", "<b>1</b><b>2</b>", "<b>", "</b>", "1"},
      {"no end tag takes the rest", "x<b>rest", "<b>", "</b>", "rest"},
      {"a start tag that does not occur gives empty text", "plain", "<b>", "</b>", ""},
      {"empty text gives empty text", "", "<b>", "</b>", ""},
      {"a start tag at the very end gives empty text", "x<b>", "<b>", "</b>", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(NSString_HelperMethods::scanString(c.text, c.start, c.end), c.expected) << c.reason;
  }
}

}  // namespace
