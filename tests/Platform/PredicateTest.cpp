#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "QuenlarCloudAPI/Platform/Predicate.h"
#include "QuenlarCloudAPI/Platform/PredicateSQL.h"
#include "QuenlarCloudAPI/Platform/SQLite.h"
#include "QuenlarCloudAPI/Platform/SystemLog.h"
#include "QuenlarCloudAPI/Platform/Unicode.h"
#include "QuenlarCloudAPI/Platform/Utf8.h"
#include "tests/support/TestSupport.h"

namespace {

using tq::ComparisonOperator;
using tq::Predicate;
using tq::PredicatePtr;
using tq::ResolvedKey;
using tq::Value;
using Kind = ResolvedKey::Kind;

// "name" and "note" are text, "size" a number, "taken" a date, "file" a boolean; columns differ
// from keys so that tests see which one reaches SQL.
std::optional<ResolvedKey> resolve(std::string_view key) {
  static const std::map<std::string, ResolvedKey, std::less<>> keys = {
      {"name", {"c_name", Kind::Text}},    {"note", {"c_note", Kind::Text}},
      {"size", {"c_size", Kind::Number}},  {"taken", {"c_taken", Kind::Date}},
      {"file", {"c_file", Kind::Boolean}},
  };
  const auto found = keys.find(key);
  return found == keys.end() ? std::nullopt : std::optional(found->second);
}

const tq::KeyResolver kResolver = resolve;

using Row = std::map<std::string, Value, std::less<>>;

bool evaluate(const PredicatePtr& predicate, const Row& row) {
  return predicate->evaluate(
      [&row](std::string_view key) {
        const auto found = row.find(key);
        return found == row.end() ? Value{} : found->second;
      },
      kResolver);
}

// One table whose rows are the test's rows, to run the rendered SQL against.
class PredicateSQLFixture : public ::testing::Test {
 protected:
  PredicateSQLFixture() : database_(directory_.path() / "predicate.sqlite") {
    tq::registerPredicateFunctions(database_);
    database_.exec(
        "CREATE TABLE t (id INTEGER PRIMARY KEY, c_name TEXT, c_note TEXT, c_size NUMERIC, "
        "c_taken INTEGER, c_file INTEGER)");
  }

  void insert(int64_t id, const Row& row) {
    auto statement = database_.prepare("INSERT INTO t VALUES (?1, ?2, ?3, ?4, ?5, ?6)");
    statement.bindInt64(1, id);
    int index = 2;
    for (const char* key : {"name", "note", "size", "taken", "file"}) {
      const auto found = row.find(key);
      tq::bindValue(statement, index++, found == row.end() ? Value{} : found->second);
    }
    statement.step();
  }

  bool matchesInSQL(const PredicatePtr& predicate, int64_t id) {
    const tq::RenderedSQL rendered = predicate->render(kResolver, 2);
    auto statement = database_.prepare("SELECT count(*) FROM t WHERE id = ?1 AND " + rendered.sql);
    statement.bindInt64(1, id);
    tq::bindRenderedSQL(statement, rendered, 2);
    EXPECT_TRUE(statement.step());
    return statement.columnInt64(0).value_or(0) == 1;
  }

  // Rows on which each leaf() differs, inserted as 1, 2, ...
  std::vector<Row> insertLeafRows();
  // The ids of `rows` (inserted as 1, 2, ...) that the SQL selects, and that evaluate() selects.
  std::pair<std::set<int64_t>, std::set<int64_t>> selections(const PredicatePtr& predicate,
                                                             const std::vector<Row>& rows);

  testsupport::TemporaryDirectory directory_;
  tq::SQLiteDatabase database_;
};

std::pair<std::set<int64_t>, std::set<int64_t>> PredicateSQLFixture::selections(
    const PredicatePtr& predicate, const std::vector<Row>& rows) {
  std::pair<std::set<int64_t>, std::set<int64_t>> selected;
  const tq::RenderedSQL rendered = predicate->render(kResolver);
  auto statement = database_.prepare("SELECT id FROM t WHERE " + rendered.sql);
  tq::bindRenderedSQL(statement, rendered);
  while (statement.step()) {
    selected.first.insert(statement.columnInt64(0).value_or(0));
  }
  for (size_t i = 0; i < rows.size(); ++i) {
    if (evaluate(predicate, rows[i])) {
      selected.second.insert(static_cast<int64_t>(i + 1));
    }
  }
  return selected;
}

TEST(Predicate, RenderBindsEveryValueAndTakesColumnsFromTheResolver) {
  const tq::Date date{std::chrono::milliseconds{1420070400000}};
  const PredicatePtr predicate = Predicate::andPredicate({
      Predicate::comparison("name", ComparisonOperator::Equal, std::string("x'); DROP TABLE t;--")),
      Predicate::orPredicate({
          Predicate::comparison("size", ComparisonOperator::GreaterOrEqual, int64_t{42}),
          Predicate::comparison("taken", ComparisonOperator::Less, date),
      }),
      Predicate::notPredicate(Predicate::comparison("file", ComparisonOperator::Equal, true)),
      Predicate::comparison("taken", ComparisonOperator::NotEqual, std::monostate{}),
  });
  const tq::RenderedSQL rendered = predicate->render(kResolver, 3);
  EXPECT_EQ(rendered.sql,
            "(\"c_name\" = ?3 AND (\"c_size\" >= ?4 OR \"c_taken\" < ?5) AND "
            "NOT ifnull(\"c_file\" = ?6, 0) AND \"c_taken\" IS NOT NULL)");
  ASSERT_EQ(rendered.bindings.size(), 4U);
  EXPECT_EQ(rendered.bindings[0], Value(std::string("x'); DROP TABLE t;--")));
  EXPECT_EQ(rendered.bindings[1], Value(int64_t{42}));
  EXPECT_EQ(rendered.bindings[2], Value(date));
  EXPECT_EQ(rendered.bindings[3], Value(true));
}

TEST(Predicate, UnknownKeyMatchesNothingWhateverTheOperator) {
  for (const auto op : {ComparisonOperator::Equal, ComparisonOperator::NotEqual,
                        ComparisonOperator::Contains, ComparisonOperator::Like}) {
    for (const Value& value : {Value{}, Value{std::string("x")}}) {
      const PredicatePtr predicate = Predicate::comparison("no such key", op, value);
      const tq::RenderedSQL rendered = predicate->render(kResolver);
      EXPECT_EQ(rendered.sql, "0");
      EXPECT_TRUE(rendered.bindings.empty());
      EXPECT_FALSE(evaluate(predicate, {{"no such key", std::string("x")}}));
    }
  }
}

TEST(Predicate, DescriptionReadsLikeThePlatformsPredicates) {
  const PredicatePtr predicate = Predicate::orPredicate({
      Predicate::andPredicate({
          Predicate::comparison("name", ComparisonOperator::Like, std::string("say \"hi\"*"),
                                {.caseInsensitive = true, .diacriticInsensitive = true}),
          Predicate::comparison("taken", ComparisonOperator::NotEqual, std::monostate{}),
      }),
      Predicate::notPredicate(Predicate::comparison("file", ComparisonOperator::Equal, false)),
      Predicate::comparison("taken", ComparisonOperator::GreaterOrEqual,
                            tq::Date{std::chrono::milliseconds{1420070400123}}),
      Predicate::constant(false),
  });
  EXPECT_EQ(predicate->description(),
            "(name LIKE[cd] \"say \\\"hi\\\"*\" AND taken != nil) OR NOT file == NO OR "
            "taken >= 2015-01-01T00:00:00.123Z OR FALSEPREDICATE");
}

// matchForm() folds Latin text one code point at a time; it must give what folding the whole
// text gives, also where Latin letters meet combining marks and other scripts.
TEST(Predicate, MatchFormFoldsAsUnicodeFoldDoes) {
  const std::vector<std::pair<char32_t, char32_t>> ranges = {{'A', 'z'},       {0xC0, 0x24F},
                                                             {0x300, 0x36F},   {0x391, 0x3C9},
                                                             {0x1E9E, 0x1E9E}, {0xFB00, 0xFB06}};
  std::mt19937 random(7);
  for (int i = 0; i < 3000; ++i) {
    std::string text;
    const int length = std::uniform_int_distribution<int>(1, 6)(random);
    for (int j = 0; j < length; ++j) {
      // Mostly Latin, so that many texts stay on the fast path.
      const auto& [first, last] =
          ranges[std::uniform_int_distribution<size_t>(0, random() % 4 == 0 ? 5 : 1)(random)];
      tq::appendUtf8(text, std::uniform_int_distribution<char32_t>(first, last)(random));
    }
    for (const bool c : {false, true}) {
      for (const bool d : {false, true}) {
        ASSERT_EQ(Predicate::matchForm(text, {c, d}), tq::Unicode::fold(text, c, d))
            << text << " c=" << c << " d=" << d;
      }
    }
  }
}

// The store finds the rows to delete below a path by a range of its NOCASE index, which is exact
// only while printable ASCII folds as NOCASE compares: letters to lower case, all else kept.
TEST(Predicate, MatchFormFoldsPrintableASCIIAsNoCaseDoes) {
  for (char c = ' '; c <= '~'; ++c) {
    const char lower = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    EXPECT_EQ(Predicate::matchForm(std::string(1, c), {true, true}), std::string(1, lower)) << c;
  }
}

struct MatchCase {
  const char* reason;
  ComparisonOperator op;
  tq::ComparisonOptions options;
  Value value;
  Value row;  // of "name", or of the key the value fits
  bool expected;
};

constexpr tq::ComparisonOptions kNone{};
constexpr tq::ComparisonOptions kC{.caseInsensitive = true};
constexpr tq::ComparisonOptions kD{.diacriticInsensitive = true};
constexpr tq::ComparisonOptions kCD{.caseInsensitive = true, .diacriticInsensitive = true};

std::string s(const char* text) { return text; }

const std::vector<MatchCase>& matchCases() {
  using enum ComparisonOperator;
  static const std::vector<MatchCase> cases = {
      {"empty pattern matches only empty text", Like, kNone, s(""), s(""), true},
      {"empty pattern against text", Like, kNone, s(""), s("a"), false},
      {"a lone star matches empty text", Like, kNone, s("*"), s(""), true},
      {"prefix", Like, kNone, s("image*"), s("image/jpeg"), true},
      {"prefix is whole-text anchored", Like, kNone, s("image*"), s("an image"), false},
      {"suffix", Like, kNone, s("*.jpg"), s("a.jpg"), true},
      {"question mark is one character", Like, kNone, s("a?c"), s("abc"), true},
      {"question mark is not zero characters", Like, kNone, s("a?c"), s("ac"), false},
      {"question mark is one code point, not one byte", Like, kNone, s("caf?"), s("café"), true},
      {"two question marks are not one accented letter", Like, kNone, s("caf??"), s("café"), false},
      {"percent is literal", Like, kNone, s("50%*"), s("500 off"), false},
      {"percent matches itself", Like, kNone, s("50%*"), s("50% off"), true},
      {"underscore is literal", Like, kNone, s("a_c"), s("abc"), false},
      {"bracket is literal", Like, kNone, s("[a]*"), s("[a] b"), true},
      {"bracket is not a character class", Like, kNone, s("[ab]"), s("a"), false},
      {"many stars fail without blowing up", Like, kNone, s("*a*a*a*a*a*a*a*a*a*a*a*a*b"),
       s("aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa"), false},
      {"many stars succeed", Like, kNone, s("*a*b*c*"), s("xxaxxbxxcxx"), true},
      {"star backtracks past a partial match", Like, kNone, s("*abc"), s("ababc"), true},
      {"case matters without [c]", Like, kNone, s("IMAGE*"), s("image/png"), false},
      {"[c] ignores case", Like, kC, s("IMAGE*"), s("image/png"), true},
      {"[c] keeps accents", Like, kC, s("*FE*"), s("café"), false},
      {"[cd] ignores both", Like, kCD, s("*FE*"), s("CAFÉ au lait"), true},
      {"[d] keeps case", Like, kD, s("*fe*"), s("CAFÉ"), false},
      {"canonically equal texts match with no option", Contains, kNone, s("e\xCC\x81"), s("café"),
       true},
      {"contains", Contains, kCD, s("holi"), s("My Holiday"), true},
      {"contains the empty text", Contains, kNone, s(""), s("x"), true},
      {"contains reads stars literally", Contains, kNone, s("a*"), s("abc"), false},
      {"what follows a NUL takes part", Contains, kNone, s("b"), std::string("a\0b", 3), true},
      {"a NUL is compared, not an end", BeginsWith, kCD, std::string("/photos\0x", 9),
       s("/Photos/x"), false},
      {"a NUL matches only a NUL", Equal, kC, std::string("a\0b", 3),
       s("a\xEF\xBF\xBD"
         "b"),
       false},
      {"a folded NUL against the same", Equal, kCD, std::string("\xC3\xA9\0x", 4),
       std::string("E\0X", 3), true},
      {"a NUL is one character to a question mark", Like, kNone, s("a?b"), std::string("a\0b", 3),
       true},
      {"equality is exact without options", Equal, kNone, s("Photos"), s("photos"), false},
      {"equality with [cd]", Equal, kCD, s("Résumé"), s("resume"), true},
      {"not equal is true for NULL", NotEqual, kNone, s("x"), Value{}, true},
      {"like is false for NULL", Like, kNone, s("*"), Value{}, false},
      {"text ordering is by code point", Less, kNone, s("b"), s("Z"), true},
      {"a value of another kind matches nothing", Equal, kNone, int64_t{1}, s("1"), false},
      {"not even not equal", NotEqual, kNone, int64_t{1}, s("1"), false},
      {"NULL value: == is IS NULL", Equal, kNone, Value{}, Value{}, true},
      {"NULL value: != is IS NOT NULL", NotEqual, kNone, Value{}, s(""), true},
      {"NULL value: ordering is false", Less, kNone, Value{}, Value{}, false},
  };
  return cases;
}

TEST_F(PredicateSQLFixture, TextMatchingAgreesInMemoryAndInSQL) {
  int64_t id = 0;
  for (const MatchCase& c : matchCases()) {
    SCOPED_TRACE(c.reason);
    // A text value goes in "name"; a number in "name" is of the wrong kind on purpose.
    const Row row = {{"name", c.row}};
    insert(++id, row);
    const PredicatePtr predicate = Predicate::comparison("name", c.op, c.value, c.options);
    EXPECT_EQ(evaluate(predicate, row), c.expected);
    EXPECT_EQ(matchesInSQL(predicate, id), c.expected);
    const PredicatePtr negated = Predicate::notPredicate(predicate);
    EXPECT_EQ(evaluate(negated, row), !c.expected);
    EXPECT_EQ(matchesInSQL(negated, id), !c.expected);
  }
}

TEST_F(PredicateSQLFixture, NumbersDatesAndBooleansAgreeInMemoryAndInSQL) {
  using enum ComparisonOperator;
  const tq::Date noon{std::chrono::hours{12}};
  struct Case {
    const char* reason;
    const char* key;
    ComparisonOperator op;
    Value value;
    Value row;
    bool expected;
  };
  const std::vector<Case> cases = {
      {"integer above 2^53 against a real", "size", Greater, int64_t{9007199254740993},
       9007199254740992.0, false},
      {"real against an integer exactly", "size", Less, 2.5, int64_t{2}, true},
      {"NaN fits no number", "size", NotEqual, std::nan(""), int64_t{2}, false},
      {"date ordering", "taken", GreaterOrEqual, noon, noon, true},
      {"date before", "taken", Less, noon, noon - std::chrono::milliseconds{1}, true},
      {"date against NULL", "taken", Less, noon, Value{}, false},
      {"boolean", "file", Equal, true, true, true},
      {"boolean differs", "file", NotEqual, true, false, true},
      {"a text value fits no date", "taken", Equal, s("x"), noon, false},
  };
  int64_t id = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.reason);
    const Row row = {{c.key, c.row}};
    insert(++id, row);
    const PredicatePtr predicate = Predicate::comparison(c.key, c.op, c.value);
    EXPECT_EQ(evaluate(predicate, row), c.expected);
    EXPECT_EQ(matchesInSQL(predicate, id), c.expected);
  }
}

// Comparisons to build deep trees from, and rows on which each of them differs.
PredicatePtr leaf(size_t i) {
  using enum ComparisonOperator;
  const PredicatePtr leaves[] = {
      Predicate::comparison("name", Equal, s("x")),
      Predicate::comparison("note", Contains, s("y"), kC),
      Predicate::comparison("size", Greater, int64_t{3}),
      Predicate::comparison("name", NotEqual, Value{}),
  };
  return leaves[i % 4];
}

std::vector<Row> PredicateSQLFixture::insertLeafRows() {
  std::vector<Row> rows;
  for (const Value& name : {Value{s("x")}, Value{s("z")}, Value{}}) {
    for (const char* note : {"Y", "n"}) {
      for (const int64_t size : {1, 5}) {
        rows.push_back({{"name", name}, {"note", s(note)}, {"size", size}});
        insert(static_cast<int64_t>(rows.size()), rows.back());
      }
    }
  }
  return rows;
}

PredicatePtr junction(bool conjunction, std::vector<PredicatePtr> operands) {
  return conjunction ? Predicate::andPredicate(std::move(operands))
                     : Predicate::orPredicate(std::move(operands));
}

// `depth` levels above `start`, level i made by step(i, the levels below).
using Step = PredicatePtr (*)(size_t, const PredicatePtr&);
PredicatePtr build(size_t depth, Step step, PredicatePtr start = leaf(0)) {
  for (size_t i = 1; i <= depth; ++i) {
    start = step(i, start);
  }
  return start;
}

// As a query joins its terms when the words alternate.
PredicatePtr alternate(size_t i, const PredicatePtr& p) {
  return junction(i % 2 == 1, {p, leaf(i)});
}
PredicatePtr twice(size_t i, const PredicatePtr& p) { return junction(i % 2 == 1, {p, p}); }
PredicatePtr distinct(size_t i, const PredicatePtr& p) {
  return junction(false, {p, Predicate::comparison("name", ComparisonOperator::Equal,
                                                   "secret" + std::to_string(i))});
}

TEST_F(PredicateSQLFixture, DeepTreesAgreeInMemoryAndInSQL) {
  constexpr size_t kDepth = 100000;
  const struct {
    const char* reason;
    size_t depth;
    Step step;
    const char* descriptionStart;
  } cases[] = {
      {"NOT of NOT, an odd number deep", kDepth + 1,
       [](size_t, const PredicatePtr& p) { return Predicate::notPredicate(p); }, "NOT NOT NOT "},
      {"AND and OR alternating, nested to the left", kDepth, alternate, "((((("},
      {"nested to the right, a NOT at every level", kDepth,
       [](size_t i, const PredicatePtr& p) {
         return Predicate::notPredicate(junction(i % 3 == 0, {leaf(i), p}));
       },
       "NOT (name == \"x\" "},
      {"deep operands hanging off a deep path", 100,
       [](size_t i, const PredicatePtr& p) {
         return junction(i % 2 == 1, {build(100, alternate, leaf(i)), p, leaf(i + 1)});
       },
       "(((("},
  };
  const std::vector<Row> rows = insertLeafRows();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reason);
    const PredicatePtr predicate = build(c.depth, c.step);
    const auto [inSQL, inMemory] = selections(predicate, rows);
    EXPECT_EQ(inSQL, inMemory);
    EXPECT_TRUE(predicate->description().starts_with(c.descriptionStart));
  }
}

TEST(Predicate, PastSQLsLimitsRenderMatchNothingWithALogLine) {
  const struct {
    const char* reason;
    PredicatePtr predicate;
    const char* logged;
  } cases[] = {
      {"more distinct values than parameters", build(40000, distinct), "more distinct values"},
      {"shared operands that expand past the length limit", build(40, twice),
       "longer than the limit"},
      {"a tree deep and bushy at every level", build(16, twice, build(40, alternate)),
       "nests too deeply"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reason);
    std::vector<std::string> lines;
    const tq::SystemLogSink previous =
        tq::setSystemLogSink([&lines](std::string_view line) { lines.emplace_back(line); });
    const tq::RenderedSQL rendered = c.predicate->render(kResolver);
    tq::setSystemLogSink(previous);
    EXPECT_TRUE(rendered.sql == "0") << rendered.sql.substr(0, 100);
    EXPECT_TRUE(rendered.bindings.empty());
    ASSERT_EQ(lines.size(), 1U);
    EXPECT_NE(lines[0].find(c.logged), std::string::npos) << lines[0];
    EXPECT_EQ(lines[0].find("secret"), std::string::npos) << lines[0];
  }
}

}  // namespace
