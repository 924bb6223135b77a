#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "QuenlarCloudAPI/Platform/Unicode.h"
#include "QuenlarCloudAPI/Platform/Utf8.h"

namespace {

using tq::Unicode::fold;

TEST(Unicode, AlphanumericAcrossScripts) {
  const struct {
    const char* reason;
    char32_t c;
    bool expected;
  } cases[] = {
      {"ASCII letter", U'q', true},
      {"ASCII digit", U'7', true},
      {"Latin letter with accent", U'\u00E9', true},
      {"Cyrillic", U'\u0416', true},
      {"Han", U'\u4E2D', true},
      {"Arabic letter", U'\u0628', true},
      {"combining acute accent (Mn)", U'\u0301', true},
      {"Devanagari vowel sign (Mc)", U'\u093F', true},
      {"enclosing circle (Me)", U'\u20DD', true},
      {"Arabic-Indic digit", U'\u0664', true},
      {"Devanagari digit", U'\u0966', true},
      {"Roman numeral (Nl)", U'\u216B', true},
      {"superscript two (No)", U'\u00B2', true},
      {"supplementary letter", U'\U00010400', true},
      {"space", U' ', false},
      {"hyphen", U'-', false},
      {"ampersand", U'&', false},
      {"underscore", U'_', false},
      {"euro sign", U'\u20AC', false},
      {"ideographic space", U'\u3000', false},
      {"Arabic comma", U'\u060C', false},
      {"emoji", U'\U0001F600', false},
      {"past the last code point", static_cast<char32_t>(0x110000), false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(tq::Unicode::isAlphanumeric(c.c), c.expected) << c.reason;
  }
}

TEST(Unicode, Folding) {
  const struct {
    const char* reason;
    std::string text;
    bool c;
    bool d;
    std::string expected;
  } cases[] = {
      {"ASCII [c]", "Hello World", true, false, "hello world"},
      {"ASCII [d] leaves case", "Hello", false, true, "Hello"},
      {"accented capital [cd]", "\u00C9", true, true, "e"},
      {"accented capital [c]", "\u00C9", true, false, "\u00E9"},
      {"accented capital [d]", "\u00C9", false, true, "E"},
      {"decomposed input is composed", "e\u0301", false, false, "\u00E9"},
      {"decomposed input [cd]", "E\u0301cole", true, true, "ecole"},
      {"sharp s folds to ss", "Stra\u00DFe", true, false, "strasse"},
      {"capital sharp s folds to ss", "\u1E9E", true, false, "ss"},
      {"Greek final sigma", "\u039F\u0394\u039F\u03A3 \u03BF\u03B4\u03BF\u03C2", true, false,
       "\u03BF\u03B4\u03BF\u03C3 \u03BF\u03B4\u03BF\u03C3"},
      {"Greek tonos [cd]", "\u038C\u03C1\u03BF\u03C2", true, true, "\u03BF\u03C1\u03BF\u03C3"},
      {"dotted capital I, root rules [c]", "\u0130", true, false, "i\u0307"},
      {"dotted capital I [cd]", "\u0130stanbul", true, true, "istanbul"},
      {"dotless small i stays", "\u0131", true, true, "\u0131"},
      {"ligature fi", "\uFB01le", true, false, "file"},
      {"Kelvin sign", "\u212A", true, false, "k"},
      {"Vietnamese stacked marks [cd]", "\u1EC6", true, true, "e"},
      {"Angstrom sign [d]", "\u212B", false, true, "A"},
      {"spacing marks of Devanagari are kept [d]", "\u0915\u093F", false, true, "\u0915\u093F"},
      {"ill-formed UTF-8 becomes U+FFFD",
       "a\xFF"
       "b\u00C9",
       true, false, "a\uFFFDb\u00E9"},
      {"empty", "", true, true, ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(fold(c.text, c.c, c.d), c.expected) << c.reason;
  }
}

TEST(Unicode, LocalizedCaseInsensitiveCompare) {
  // "C" is what a bare environment has; its collation must still ignore case.
  ::setenv("LC_ALL", "C", 1);  // NOLINT(concurrency-mt-unsafe): before ICU reads the locale
  const struct {
    const char* a;
    const char* b;
    int expected;
  } cases[] = {
      {"apple", "APPLE", 0},
      {"a", "B", -1},
      {"B", "a", 1},
      {"", "a", -1},
      {"\u00E9", "e", 1},
      {"r\u00E9sum\u00E9", "R\u00C9SUM\u00C9", 0},
      {"e\u0301", "\u00E9", 0},
      {"file10", "File9", -1},
      {"zebra", "\u00C4pfel", 1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(tq::Unicode::localizedCaseInsensitiveCompare(c.a, c.b), c.expected)
        << c.a << " vs " << c.b;
  }
  EXPECT_EQ(tq::Unicode::compareCodePoints("Z", "a"), -1) << "capitals first by code point";
  EXPECT_EQ(tq::Unicode::compareCodePoints("\u00E9", "z"), 1);
  EXPECT_EQ(tq::Unicode::compareCodePoints("same", "same"), 0);
  EXPECT_EQ(tq::Unicode::compareCodePoints("", "a"), -1);
}

// A sort keeps a whole list's keys in one buffer: each appended key must be the key alone, and
// what the buffer held before must stay as it was.
TEST(Unicode, SortKeysAppendAfterWhatTheBufferHolds) {
  std::string han;  // its key is longer than the first guess at its size
  for (int i = 0; i < 200; ++i) {
    han += "\u4E2D\u6587";
  }
  std::string buffer = "before";
  std::string expected = buffer;
  for (const std::string& text :
       {std::string("Apple"), std::string("r\u00E9sum\u00E9"), std::string(), han}) {
    tq::Unicode::appendLocalizedCaseInsensitiveSortKey(text, buffer);
    expected += tq::Unicode::localizedCaseInsensitiveSortKey(text);
    EXPECT_EQ(buffer, expected) << text.size() << " bytes of text";
  }
}

TEST(Unicode, Utf8DecoderNeverThrows) {
  const struct {
    const char* reason;
    std::string text;
    std::vector<char32_t> expected;
    std::vector<std::size_t> lengths;  // bytes each character came from
  } cases[] = {
      {"mixed widths", "a\u00E9\u4E2D\U0001F600", {U'a', 0xE9, 0x4E2D, 0x1F600}, {1, 2, 3, 4}},
      {"stray continuation byte",
       "\x80"
       "a",
       {0xFFFD, U'a'},
       {1, 1}},
      {"overlong slash", "\xC0\xAF", {0xFFFD, 0xFFFD}, {1, 1}},
      {"overlong three-byte form", "\xE0\x80\x80", {0xFFFD, 0xFFFD, 0xFFFD}, {1, 1, 1}},
      {"encoded surrogate", "\xED\xA0\x80", {0xFFFD, 0xFFFD, 0xFFFD}, {1, 1, 1}},
      {"past U+10FFFF", "\xF4\x90\x80\x80", {0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD}, {1, 1, 1, 1}},
      {"truncated at the end", "a\xE2\x82", {U'a', 0xFFFD}, {1, 2}},
      {"truncated before ASCII",
       "\xF0\x9F\x98"
       "b",
       {0xFFFD, U'b'},
       {3, 1}},
      {"embedded NUL", std::string("\0x", 2), {0, U'x'}, {1, 1}},
  };
  for (const auto& c : cases) {
    tq::Utf8Decoder decoder(c.text);
    std::vector<char32_t> decoded;
    std::vector<std::size_t> lengths;
    while (auto ch = decoder.next()) {
      decoded.push_back(ch->codePoint);
      lengths.push_back(ch->bytes.size());
      EXPECT_EQ(ch->valid, ch->codePoint != 0xFFFD) << c.reason;
    }
    EXPECT_EQ(decoded, c.expected) << c.reason;
    EXPECT_EQ(lengths, c.lengths) << c.reason;
    EXPECT_TRUE(decoder.atEnd());
  }
}

TEST(Unicode, AppendUtf8ReplacesWhatCannotBeEncoded) {
  std::string out;
  tq::appendUtf8(out, U'\u00E9');
  tq::appendUtf8(out, static_cast<char32_t>(0xD800));
  tq::appendUtf8(out, static_cast<char32_t>(0x110000));
  tq::appendUtf8(out, U'\U0001F600');
  EXPECT_EQ(out, "\u00E9\uFFFD\uFFFD\U0001F600");
}

}  // namespace
