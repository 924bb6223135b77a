#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "QuenlarCloudAPI/CloudSDK/TLBRCloudSDKSyncPredicate.h"

namespace {

using Strings = std::vector<std::string>;

std::string describe(const tq::PredicatePtr& predicate) {
  return predicate == nullptr ? "nil" : predicate->description();
}

std::string translate(std::string_view query, bool caseSensitivity = false) {
  return describe(TLBRCloudSDKSyncPredicate::predicateFromString(query, caseSensitivity));
}

struct TranslationCase {
  const char* reason;
  const char* query;
  const char* expected;  // the predicate's description, or "nil"
};

void expectTranslations(const std::vector<TranslationCase>& cases, bool caseSensitivity = false) {
  for (const TranslationCase& c : cases) {
    SCOPED_TRACE(c.reason);
    EXPECT_EQ(translate(c.query, caseSensitivity), c.expected) << c.query;
  }
}

constexpr const char* kFalse = "FALSEPREDICATE";

TEST(TLBRCloudSDKSyncPredicate, TranslatesTheDocumentedEdgeCases) {
  expectTranslations({
      {"wildcard", "contentType:image*", R"(contentType LIKE[cd] "image*")"},
      {"plain value", "name:holiday", R"(name CONTAINS[cd] "holiday")"},
      {"path stands for parentPath", "path:/Photos", R"(parentPath == "/Photos")"},
      {"not equal", "name<>x", R"(name != "x")"},
      {"boolean true", "file:true", "file == YES"},
      {"boolean zero", "file:0", "file == NO"},
      {"comparison reads a date", "creationDate>=2015-01-01T00:00:00.000Z",
       "creationDate != nil AND creationDate >= 2015-01-01T00:00:00.000Z"},
      {"range", "creationDate:[2015-01-01T00:00:00Z TO 2015-02-01T00:00:00Z]",
       "creationDate >= 2015-01-01T00:00:00.000Z AND creationDate < 2015-02-01T00:00:00.000Z"},
      {"AND then OR, no precedence", "name:1 AND title:2 OR album:3",
       R"((name CONTAINS[cd] "1" AND title CONTAINS[cd] "2") OR album CONTAINS[cd] "3")"},
      {"OR then AND, no precedence", "name:1 OR title:2 AND album:3",
       R"((name CONTAINS[cd] "1" OR title CONTAINS[cd] "2") AND album CONTAINS[cd] "3")"},
      {"key prefix over a group", "name:(foo OR bar)",
       R"(name CONTAINS[cd] "foo" OR name CONTAINS[cd] "bar")"},
      {"key prefix after a term", "title:x AND name:(foo OR bar)",
       R"(title CONTAINS[cd] "x" AND (name CONTAINS[cd] "foo" OR name CONTAINS[cd] "bar"))"},
      {"two clauses without a join word", "(name:a) (title:b)", R"(name CONTAINS[cd] "a")"},
      {"escaped colon", R"(name:a\:b)", R"(name CONTAINS[cd] "a:b")"},
      {"empty query", "", "nil"},
      {"spaces and parentheses only", " ( ( ) )  ", "nil"},
      {"a word without a sign", "holiday", "nil"},
      {"a date that does not parse", "creationDate>=yesterday", kFalse},
  });
  EXPECT_EQ(translate("name:holiday", true), R"(name CONTAINS[d] "holiday")");
  EXPECT_EQ(translate("contentType:image*", true), R"(contentType LIKE[d] "image*")");
}

TEST(TLBRCloudSDKSyncPredicate, QueriesTheLibraryBuildsTranslateAsBefore) {
  expectTranslations({
      {"media list", "contentType:application/*", R"(contentType LIKE[cd] "application/*")"},
      {"local album with a blank", "album:*Best Of*", R"(album LIKE[cd] "*Best Of*")"},
      {"three terms nested to the left", "((name:a) AND (title:b)) AND (album:c)",
       R"(name CONTAINS[cd] "a" AND title CONTAINS[cd] "b" AND album CONTAINS[cd] "c")"},
      {"OR of two", "(name:a) OR (title:c)", R"(name CONTAINS[cd] "a" OR title CONTAINS[cd] "c")"},
  });
}

TEST(TLBRCloudSDKSyncPredicate, JoinWordsCountOnlyAsWholeWords) {
  expectTranslations({
      {"OR inside a word", "name:ORANGE", R"(name CONTAINS[cd] "ORANGE")"},
      {"OR inside a wildcard value", "artist:*THE DOORS*", R"(artist LIKE[cd] "*THE DOORS*")"},
      {"AND glued to a term", "name:a ANDtitle:b", R"(name CONTAINS[cd] "a ANDtitle:b")"},
      {"AND right after the colon", "name:AND", R"(name CONTAINS[cd] "AND")"},
      {"OR inside a prefixed group", "artist:(THE DOORS OR ABBA)",
       R"(artist CONTAINS[cd] "THE DOORS" OR artist CONTAINS[cd] "ABBA")"},
      {"tab and no-break space around the word", "name:a\tAND\xC2\xA0title:b",
       R"(name CONTAINS[cd] "a" AND title CONTAINS[cd] "b")"},
      {"lower-case words are values", "name:salt and pepper",
       R"(name CONTAINS[cd] "salt and pepper")"},
  });
}

TEST(TLBRCloudSDKSyncPredicate, NotEqualHoldsInEveryForm) {
  expectTranslations({
      {"path", "path<>/Photos", R"(parentPath != "/Photos")"},
      {"wildcard", "name<>tmp*", R"(NOT name LIKE[cd] "tmp*")"},
      {"boolean", "file<>true", "file != YES"},
      {"range", "creationDate<>[2015-01-01T00:00:00Z TO 2015-02-01T00:00:00Z]",
       "NOT (creationDate >= 2015-01-01T00:00:00.000Z AND "
       "creationDate < 2015-02-01T00:00:00.000Z)"},
      {"escaped value", R"(name<>a\:b)", R"(name != "a:b")"},
  });
}

TEST(TLBRCloudSDKSyncPredicate, TermsThatCannotBeEvaluatedMatchNothing) {
  expectTranslations({
      {"unknown key", "colour:red", kFalse},
      {"favorite is no attribute", "favorite:true", kFalse},
      {"unknown key stays false when negated", "colour<>red*", kFalse},
      {"path is parentPath only in the equality forms", "path:/Photos/*", kFalse},
      {"keys are case-sensitive", "Name:x", kFalse},
      {"key is not trimmed", "name :x", kFalse},
      {"comparison on a text attribute", "name>=2015-01-01T00:00:00Z", kFalse},
      {"text search on a date attribute", "creationDate:2015", kFalse},
      {"text search on a number attribute", "size:100", kFalse},
      {"range on a text attribute", "name:[2015-01-01T00:00:00Z TO 2016-01-01T00:00:00Z]", kFalse},
      {"range with no bound that parses", "creationDate:[soon TO later]", kFalse},
      {"range open on both sides", "creationDate:[* TO *]", kFalse},
      {"empty range", "creationDate:[]", kFalse},
      {"a false term among others", "name:a AND colour:red",
       R"(name CONTAINS[cd] "a" AND FALSEPREDICATE)"},
  });
}

TEST(TLBRCloudSDKSyncPredicate, BuildsEachTermForm) {
  expectTranslations({
      {"boolean yes", "file:yes", "file == YES"},
      {"boolean after blanks, sign and zeros", "file: -007", "file == YES"},
      {"boolean no", "file:no", "file == NO"},
      {"boolean empty", "file:", "nil"},  // a piece ending in ":" is a key prefix
      {"boolean empty inside a clause", "file: AND name:a",
       R"(file == NO AND name CONTAINS[cd] "a")"},
      {"boolean form wins over a sign", "file>=1", "file == YES"},
      {"less or equal", "creationDate<=2015-01-01T00:00:00Z",
       "creationDate != nil AND creationDate <= 2015-01-01T00:00:00.000Z"},
      {"less, with an offset", "timelineDate<2015-01-01 01:00:00 +0100",
       "timelineDate != nil AND timelineDate < 2015-01-01T00:00:00.000Z"},
      {"greater", "versionCreated>2015-01-01T00:00:00.000Z",
       "versionCreated != nil AND versionCreated > 2015-01-01T00:00:00.000Z"},
      {"cut at >= before :", "name:a>=2015-01-01T00:00:00Z", kFalse},  // key "name:a"
      {"the cut prefers < to :", "creationDate:x<y", kFalse},          // key "creationDate:x"
      {"range with one part", "capturedDate:[2015-01-01T00:00:00Z]",
       "capturedDate >= 2015-01-01T00:00:00.000Z"},
      {"range with two parts", "capturedDate:[2015-01-01T00:00:00Z TO]",
       "capturedDate >= 2015-01-01T00:00:00.000Z"},
      {"range open above", "versionCreated:[2020-06-01T00:00:00.000Z TO *]",
       "versionCreated >= 2020-06-01T00:00:00.000Z"},
      {"range open below", "versionCreated:[* TO 2019-12-31T00:00:00Z]",
       "versionCreated < 2019-12-31T00:00:00.000Z"},
      {"a bound that does not parse leaves its side open",
       "creationDate:[2015-01-01T00:00:00Z TO 2015-02-30T00:00:00Z]",
       "creationDate >= 2015-01-01T00:00:00.000Z"},
      {"negated open range", "creationDate<>[soon TO 2015-02-01T00:00:00Z]",
       "NOT creationDate < 2015-02-01T00:00:00.000Z"},
      {"value is not trimmed", "name: x", R"(name CONTAINS[cd] " x")"},
      {"value keeps a later colon", "name:a:b", R"(name CONTAINS[cd] "a:b")"},
      {"question mark alone is no wildcard", "name:a?", R"(name CONTAINS[cd] "a?")"},
      {"typed %28 is decoded", "name:50%28", R"(name CONTAINS[cd] "50(")"},
      {"lower-case hexadecimal is not decoded", "name:%5b", R"(name CONTAINS[cd] "%5b")"},
      {"escaped brackets in a wildcard value", R"(name:\[draft\]*)", R"(name LIKE[cd] "[draft]*")"},
      {"escaped parentheses stay in the value", R"q(name:f\(x\))q",
       R"q(name CONTAINS[cd] "f(x)")q"},
  });
}

TEST(TLBRCloudSDKSyncPredicate, CombinesWhatItCanAndNeverFails) {
  expectTranslations({
      {"key prefix persists to later groups", "name:(foo) AND (bar)",
       R"(name CONTAINS[cd] "foo" AND name CONTAINS[cd] "bar")"},
      {"a term with a colon ends the prefix", "name:(foo) OR (title:x) AND (bar)",
       R"(name CONTAINS[cd] "foo" OR title CONTAINS[cd] "x")"},
      {"a term without a comparison drops out", "name:a AND holiday", R"(name CONTAINS[cd] "a")"},
      {"leading join word: terms stand at even places", "AND name:a", "nil"},
      {"doubled join words", "name:a AND AND title:b", R"(name CONTAINS[cd] "a")"},
      {"join word alone", "OR", "nil"},
      {"clause ending in a join word", "(name:a OR) (title:b)",
       R"(name CONTAINS[cd] "a" OR title CONTAINS[cd] "b")"},
      {"clause starting with a join word", "(name:a) (OR title:b)",
       R"(name CONTAINS[cd] "a" OR title CONTAINS[cd] "b")"},
      {"join word clause first", "(AND) (name:a)", "nil"},
      {"unbalanced parentheses", "((name:a", R"(name CONTAINS[cd] "a")"},
      {"stray closing parenthesis", "name:a) OR (title:b",
       R"(name CONTAINS[cd] "a" OR title CONTAINS[cd] "b")"},
      {"range clause kept whole",
       "(capturedDate:[2015-01-01T00:00:00Z TO 2016-01-01T00:00:00Z])"
       " AND (name:a)",
       "(capturedDate >= 2015-01-01T00:00:00.000Z AND capturedDate < "
       "2016-01-01T00:00:00.000Z) AND name CONTAINS[cd] \"a\""},
      {"lone backslash", "name:a\\", R"(name CONTAINS[cd] "a\\")"},
      {"invalid UTF-8", "name:\xFF\xFE", "name CONTAINS[cd] \"\xFF\xFE\""},
  });
}

TEST(TLBRCloudSDKSyncPredicate, GroupsCombineFromTheLeft) {
  const struct {
    const char* reason;
    Strings list;
    const char* expected;
  } cases[] = {
      {"empty", {}, "nil"},
      {"one term", {"name:a"}, R"(name CONTAINS[cd] "a")"},
      {"join word upper-cased",
       {"name:a", "and", "title:b"},
       R"(name CONTAINS[cd] "a" AND title CONTAINS[cd] "b")"},
      {"anything but AND is OR",
       {"name:a", "xor", "title:b"},
       R"(name CONTAINS[cd] "a" OR title CONTAINS[cd] "b")"},
      {"trailing join word", {"name:a", "AND"}, R"(name CONTAINS[cd] "a")"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reason);
    EXPECT_EQ(describe(TLBRCloudSDKSyncPredicate::predicateFromGroup(c.list, false)), c.expected);
  }
}

TEST(TLBRCloudSDKSyncPredicate, SplitsAtWholeJoinWords) {
  const struct {
    const char* reason;
    const char* text;
    Strings expected;
  } cases[] = {
      {"two terms", "a:1 AND b:2", {"a:1", "AND", "b:2"}},
      {"trims white space and line ends", " \t a:1 \n", {"a:1"}},
      {"the earlier word first", "a OR b AND c", {"a", "OR", "b", "AND", "c"}},
      {"word alone", "AND", {"AND"}},
      {"word at the end", "a:1 OR", {"a:1", "OR"}},
      {"words in a row", "a AND OR b", {"a", "AND", "OR", "b"}},
      {"inside a word", "ORANGE", {"ORANGE"}},
      {"inside a phrase", "THE DOORS", {"THE DOORS"}},
      {"glued words", "a ANDOR b", {"a ANDOR b"}},
      {"case-sensitive", "a and b", {"a and b"}},
      {"Unicode blanks",
       "a\xE3\x80\x80OR\xE2\x80\xA8"
       "b",
       {"a", "OR", "b"}},
      {"empty", "", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reason);
    EXPECT_EQ(TLBRCloudSDKSyncPredicate::splitAtJoin(c.text), c.expected);
  }
}

TEST(TLBRCloudSDKSyncPredicate, SplitsIntoClausesWithKeyPrefixes) {
  const struct {
    const char* reason;
    const char* query;
    Strings expected;
  } cases[] = {
      {"built query", "((a:1) AND (b:2)) AND (c:3)", {"a:1", "AND", "b:2", "AND", "c:3"}},
      {"prefix rebuilds the group", "name:(foo OR bar)", {"name:foo  OR name:bar "}},
      {"prefix after a term",
       "type:x AND name:(foo OR bar)",
       {"type:x", "AND", "name:foo  OR name:bar "}},
      {"prefix persists", "name:(foo) AND (bar)", {"name:foo ", " AND ", "name:bar "}},
      {"a colon ends the prefix", "name:(foo) (t:x) (bar)", {"name:foo ", "t:x", "bar"}},
      {"spaces before the group", "name: (a)", {"name:a "}},
      {"escapes replaced first", R"q(name:\(x\))q", {"name:%28x%29"}},
      {"pieces trimmed of spaces only", "(\ta:1 )", {"\ta:1"}},
      {"nothing but parentheses", " ( ) ", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reason);
    EXPECT_EQ(TLBRCloudSDKSyncPredicate::splitQueryIntoClauses(c.query), c.expected);
  }
}

TEST(TLBRCloudSDKSyncPredicate, EscapesAndDecodes) {
  EXPECT_EQ(
      TLBRCloudSDKSyncPredicate::reformatQueryToEscapeCertainControlCharacters(R"(\(\)\[\]\:\x)"),
      R"(%28%29%5B%5D%3A\x)");
  EXPECT_EQ(TLBRCloudSDKSyncPredicate::reformatQueryToEscapeCertainControlCharacters(R"(\\()"),
            R"(\%28)");
  EXPECT_EQ(TLBRCloudSDKSyncPredicate::decodeEscapedCharactersToOriginalState(
                "%28%29%5B%5D%3A %5b %2528"),
            "()[]: %5b %2528");
  const struct {
    const char* text;
    const char* expected;
  } encodings[] = {
      {"():[]", "%28%29%3A%5B%5D"},
      {"a b%", "a%20b%25"},
      {"-._~!*';/?@&=+$,#", "-._~!*';/?@&=+$,#"},
      {"\"<>\\^`{|}", "%22%3C%3E%5C%5E%60%7B%7C%7D"},
      {"é", "%C3%A9"},
  };
  for (const auto& e : encodings) {
    EXPECT_EQ(TLBRCloudSDKSyncPredicate::urlEncodeForString(e.text), e.expected) << e.text;
  }
}

}  // namespace
