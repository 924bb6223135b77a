#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "QuenlarCloudAPI/Model/CoreData/TQObjectBlocks.h"

namespace {

// An object about the size of a row's, filled so that two carvings sharing bytes would show.
struct Row {
  std::array<uint64_t, 140> bytes{};
};

// Larger than a block: carved from a block of its own.
struct Huge {
  std::array<uint64_t, 40000> bytes{};
};

template <class T>
bool holds(const std::shared_ptr<T>& object, uint64_t seed) {
  return std::all_of(object->bytes.begin(), object->bytes.end(),
                     [seed](uint64_t word) { return word == seed; });
}

// Every block must go back once its objects are gone, in whatever order they go (the sanitizer
// build reports a block kept as a leak and a block given back early as a use after free).
TEST(TQObjectBlocksTest, ObjectsKeepTheirOwnMemoryAndGiveItBackInAnyOrder) {
  enum class Order { AsMade, Reversed, BlocksFirst, WeakReferencesLast };
  struct Case {
    const char* what;
    size_t rows;
    size_t huge;
    Order order;
  };
  const Case cases[] = {
      {"one row", 1, 0, Order::AsMade},
      {"rows over several blocks", 1000, 0, Order::AsMade},
      {"freed last made first", 1000, 0, Order::Reversed},
      {"the blocks go before their objects", 1000, 0, Order::BlocksFirst},
      {"weak references outlive the objects", 1000, 0, Order::WeakReferencesLast},
      {"objects larger than a block among rows", 300, 3, Order::Reversed},
  };
  for (const Case& c : cases) {
    std::optional<TQObjectBlocks> blocks(std::in_place);
    std::vector<std::shared_ptr<Row>> rows;
    std::vector<std::shared_ptr<Huge>> huge;
    for (size_t i = 0; i < c.rows; ++i) {
      rows.push_back(blocks->make<Row>());
      rows.back()->bytes.fill(i);
      if (i < c.huge) {
        huge.push_back(blocks->make<Huge>());
        huge.back()->bytes.fill(i);
      }
    }
    for (size_t i = 0; i < rows.size(); ++i) {
      ASSERT_TRUE(holds(rows[i], i)) << c.what << ", row " << i;
    }
    for (size_t i = 0; i < huge.size(); ++i) {
      ASSERT_TRUE(holds(huge[i], i)) << c.what << ", object " << i;
    }
    std::vector<std::weak_ptr<Row>> weak(rows.begin(), rows.end());
    switch (c.order) {
      case Order::AsMade:
        weak.clear();
        blocks.reset();
        for (auto& row : rows) {
          row.reset();
        }
        break;
      case Order::Reversed:
        weak.clear();
        while (!rows.empty()) {
          rows.pop_back();
        }
        huge.clear();
        break;
      case Order::BlocksFirst:
        weak.clear();
        blocks.reset();
        rows.clear();
        break;
      case Order::WeakReferencesLast:
        rows.clear();
        EXPECT_TRUE(std::all_of(weak.begin(), weak.end(), [](const auto& reference) {
          return reference.expired();
        })) << c.what;
        blocks.reset();
        weak.clear();
        break;
    }
  }
}

}  // namespace
