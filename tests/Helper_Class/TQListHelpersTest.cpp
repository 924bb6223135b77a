#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <memory>
#include <numeric>
#include <optional>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "QuenlarCloudAPI/API/TQException.h"
#include "QuenlarCloudAPI/Helper_Class/TQListHelpers.h"
#include "QuenlarCloudAPI/Platform/Unicode.h"

namespace {

// A record with one key of each kind a table may yield.
struct Person {
  std::string name;
  tq::Value rank;  // whatever the case needs: a number of some kind, nil, ...
  bool favorite = false;

  static std::span<const TQKeyValueEntry<Person>> keyValueTable() {
    static constexpr TQKeyValueEntry<Person> kTable[] = {
        {"name", [](const Person& p) -> tq::Value { return p.name; }},
        {"rank", [](const Person& p) -> tq::Value { return p.rank; }},
        {"favorite", [](const Person& p) -> tq::Value { return p.favorite; }},
    };
    return kTable;
  }
};

using People = std::vector<std::shared_ptr<Person>>;

People people(std::initializer_list<Person> list) {
  People out;
  for (const auto& p : list) {
    out.push_back(std::make_shared<Person>(p));
  }
  return out;
}

std::vector<std::string> names(const std::optional<People>& list) {
  std::vector<std::string> out;
  for (const auto& p : list.value_or(People{})) {
    out.push_back(p ? p->name : "<null>");
  }
  return out;
}

TEST(TQListHelpers, PaginatedArrayCutsOneBasedPages) {
  std::vector<int> ten(10);
  std::vector<int> eight(8);
  for (int i = 0; i < 10; ++i) {
    ten[i] = i + 1;
  }
  for (int i = 0; i < 8; ++i) {
    eight[i] = i + 1;
  }
  constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
  constexpr int64_t kMin = std::numeric_limits<int64_t>::min();
  struct Case {
    const char* reason;
    const std::vector<int>* list;
    int64_t page;
    int64_t count;
    std::optional<std::vector<int>> expected;
  };
  const std::vector<int> empty;
  const Case cases[] = {
      {"first page is full", &ten, 1, 4, std::vector{1, 2, 3, 4}},
      {"middle page is full", &ten, 2, 4, std::vector{5, 6, 7, 8}},
      {"last page holds the rest", &ten, 3, 4, std::vector{9, 10}},
      {"past the last page is nil", &ten, 4, 4, std::nullopt},
      {"an exactly full last page", &eight, 2, 4, std::vector{5, 6, 7, 8}},
      {"no page after an exactly full last one", &eight, 3, 4, std::nullopt},
      {"an empty list has no first page", &empty, 1, 4, std::nullopt},
      {"page 0 is nil", &ten, 0, 4, std::nullopt},
      {"a negative page is nil", &ten, -1, 4, std::nullopt},
      {"count 0 is nil", &ten, 1, 0, std::nullopt},
      {"a negative count is nil", &ten, 1, -3, std::nullopt},
      {"the smallest page and count are nil", &ten, kMin, kMin, std::nullopt},
      {"a huge count makes one page of everything", &ten, 1, kMax, ten},
      {"a huge count has no second page", &ten, 2, kMax, std::nullopt},
      {"a huge page is past the end without overflowing", &ten, kMax, 4, std::nullopt},
      {"a huge page and count together do not overflow", &ten, kMax, kMax, std::nullopt},
      {"count 1 pages element by element", &ten, 10, 1, std::vector{10}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TQListHelpers::paginatedArray(*c.list, c.page, c.count), c.expected) << c.reason;
  }
}

TEST(TQListHelpers, SortedArrayWithSelectorIgnoresLetterCase) {
  const People list = people({{"Bob"}, {"alice"}, {"Carl"}, {"\u00c9mile"}, {"eclair"}});
  struct Case {
    const char* reason;
    bool ascending;
    std::vector<std::string> expected;
  };
  const Case cases[] = {
      {"ascending puts a small a before a capital B, accents near their letter",
       true,
       {"alice", "Bob", "Carl", "eclair", "\u00c9mile"}},
      {"descending is the reverse", false, {"\u00c9mile", "eclair", "Carl", "Bob", "alice"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(names(TQListHelpers::sortedArrayWithSelector(list, "name", c.ascending)), c.expected)
        << c.reason;
  }
  EXPECT_EQ(names(list), (std::vector<std::string>{"Bob", "alice", "Carl", "\u00c9mile", "eclair"}))
      << "the argument is left as it was";
}

// Texts are collated once into keys that sort as bytes; the order must be the one comparing the
// texts themselves gives: ties (texts equal but for case) in their positions both ways, keys alike
// in their first bytes, empty texts, and nils first ascending and last descending.
TEST(TQListHelpers, LocalizedOrderIsTheOrderOfComparingTexts) {
  const std::vector<std::string> syllables = {"ka", "Lo",      "m\u00e9", "Ri", "sa", "To",
                                              "KA", "\u00c5l", "me",      "",   "zu"};
  std::mt19937 random(5);
  std::uniform_int_distribution<std::size_t> pick(0, syllables.size() - 1);
  std::uniform_int_distribution<int> length(0, 6);
  std::vector<tq::Value> keys;
  for (int i = 0; i < 2000; ++i) {
    std::string name;
    for (int n = length(random); n > 0; --n) {
      name += syllables[pick(random)];
    }
    keys.emplace_back(i % 97 == 0 ? tq::Value{} : tq::Value{name});
  }
  for (const bool ascending : {true, false}) {
    std::vector<std::size_t> expected(keys.size());
    std::iota(expected.begin(), expected.end(), std::size_t{0});
    std::stable_sort(expected.begin(), expected.end(), [&](std::size_t a, std::size_t b) {
      const auto* left = std::get_if<std::string>(&keys[a]);
      const auto* right = std::get_if<std::string>(&keys[b]);
      const int result = left == nullptr || right == nullptr
                             ? (left != nullptr) - (right != nullptr)
                             : tq::Unicode::localizedCaseInsensitiveCompare(*left, *right);
      return ascending ? result < 0 : result > 0;
    });
    EXPECT_EQ(TQListHelpers::sortedOrder(
                  keys, TQListHelpers::TQValueComparison::LocalizedCaseInsensitive, ascending),
              expected)
        << (ascending ? "ascending" : "descending");
  }
}

TEST(TQListHelpers, SortedArrayOrdersOppositeToItsFlag) {
  const People numbers = people({{"two", int64_t{2}},
                                 {"ten", int64_t{10}},
                                 {"half", 2.5},
                                 {"none", std::monostate{}},
                                 {"minus", int64_t{-1}}});
  const People texts = people({{"b"}, {"B"}, {"a"}});
  const People flags = people({{"no", {}, false}, {"yes", {}, true}, {"no2", {}, false}});
  struct Case {
    const char* reason;
    const People* list;
    const char* key;
    bool flag;
    std::vector<std::string> expected;
  };
  const Case cases[] = {
      {"YES puts the largest value first, integers and reals by value, nil last",
       &numbers,
       "rank",
       true,
       {"ten", "half", "two", "minus", "none"}},
      {"NO puts nil first, then the smallest value",
       &numbers,
       "rank",
       false,
       {"none", "minus", "two", "half", "ten"}},
      {"text compares by code point, capitals first", &texts, "name", false, {"B", "a", "b"}},
      {"favorites first with YES, equal ones keep their order",
       &flags,
       "favorite",
       true,
       {"yes", "no", "no2"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(names(TQListHelpers::sortedArray(*c.list, c.key, c.flag)), c.expected) << c.reason;
  }
}

TEST(TQListHelpers, SortsAreStableAndSafeWithOddElements) {
  People list = people({{"x", int64_t{1}}, {"y", int64_t{1}}, {"z", int64_t{0}}});
  list.insert(list.begin() + 1, nullptr);
  list.push_back(std::make_shared<Person>(Person{"nan", std::numeric_limits<double>::quiet_NaN()}));
  EXPECT_EQ(names(TQListHelpers::sortedArray(list, "rank", false)),
            (std::vector<std::string>{"<null>", "nan", "z", "x", "y"}))
      << "a null element reads as nil; NaN sorts apart instead of breaking the order";
  EXPECT_EQ(names(TQListHelpers::sortedArrayWithSelector(list, "rank", true)),
            (std::vector<std::string>{"<null>", "nan", "z", "x", "y"}))
      << "non-text values fall back to their own order";
}

TEST(TQListHelpers, KeyPathMistakes) {
  const People list = people({{"b"}, {"a"}});
  EXPECT_EQ(TQListHelpers::sortedArrayWithSelector(list, "", true), std::nullopt)
      << "an empty key path answers nil, not the list";
  EXPECT_EQ(TQListHelpers::sortedArray(list, "", true), std::nullopt);

  struct Case {
    const char* reason;
    People list;
    const char* key;
  };
  const Case cases[] = {
      {"a key the table lacks", list, "age"},
      {"keys compare with their letter case", list, "Name"},
      {"an unknown key is reported even for an empty list", People{}, "age"},
  };
  for (const auto& c : cases) {
    for (const bool plain : {false, true}) {
      try {
        if (plain) {
          (void)TQListHelpers::sortedArray(c.list, c.key, true);
        } else {
          (void)TQListHelpers::sortedArrayWithSelector(c.list, c.key, true);
        }
        ADD_FAILURE() << c.reason << ": no exception";
      } catch (const TQException& e) {
        EXPECT_EQ(e.name(), "NSUnknownKeyException") << c.reason;
        EXPECT_NE(e.reason().find(c.key), std::string::npos) << c.reason;
      }
    }
  }
}

}  // namespace
