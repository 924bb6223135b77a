#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "QuenlarCloudAPI/Model/CoreData/TQObjectBlocks.h"

namespace {

// About a row object's size; filled, so that two carvings sharing bytes would show.
struct Row {
  std::array<uint64_t, 140> words{};
};
// Larger than a block: carved from a block of its own.
struct Huge {
  std::array<uint64_t, 40000> words{};
};

// Each block goes back once its objects are gone, in whatever order they go: the sanitizer build
// reports a block kept as a leak, and one given back early as a use after free.
TEST(TQObjectBlocksTest, ObjectsKeepTheirOwnMemoryAndGiveItBackInAnyOrder) {
  enum class Order { AsMade, Reversed, BlocksFirst, WeakReferencesLast };
  const std::pair<const char*, Order> cases[] = {
      {"as made", Order::AsMade},
      {"last made first", Order::Reversed},
      {"the blocks before their objects", Order::BlocksFirst},
      {"weak references after their objects", Order::WeakReferencesLast},
  };
  for (const auto& [what, order] : cases) {
    std::optional<TQObjectBlocks> blocks(std::in_place);
    std::vector<std::shared_ptr<Row>> rows;
    std::vector<std::shared_ptr<Huge>> huge;
    for (uint64_t i = 0; i < 1000; ++i) {
      rows.push_back(blocks->make<Row>());
      rows.back()->words.fill(i);
      if (i % 400 == 0) {
        huge.push_back(blocks->make<Huge>());
        huge.back()->words.fill(i);
      }
    }
    for (uint64_t i = 0; i < rows.size(); ++i) {
      ASSERT_EQ(rows[i]->words.front(), i) << what;
      ASSERT_EQ(rows[i]->words.back(), i) << what;
    }
    std::vector<std::weak_ptr<Row>> weak(rows.begin(), rows.end());
    if (order != Order::WeakReferencesLast) {
      weak.clear();
    }
    if (order == Order::BlocksFirst) {
      blocks.reset();
    }
    while (order == Order::Reversed && !rows.empty()) {
      rows.pop_back();
    }
    rows.clear();
    huge.clear();
    blocks.reset();
  }
}

}  // namespace
