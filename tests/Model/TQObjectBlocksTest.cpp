#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "QuenlarCloudAPI/Model/CoreData/TQManagedObject.h"
#include "QuenlarCloudAPI/Model/CoreData/TQObjectBlocks.h"
#include "QuenlarCloudAPI/Model/CoreData/TQWriteTransaction.h"
#include "tests/Model/StoreFixture.h"

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define QUENLAR_TEST_SANITIZED_HEAP 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define QUENLAR_TEST_SANITIZED_HEAP 1
#endif
#endif
#ifdef QUENLAR_TEST_SANITIZED_HEAP
// The sanitizer's runtime provides it; not every compiler ships its header.
// NOLINTNEXTLINE(bugprone-reserved-identifier)
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#else
#include <malloc.h>
#endif

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

// Bytes of heap in use: the sanitizer's own count where it stands in for malloc, else the C
// library's once it has given back what it can.
int64_t heapInUse() {
#ifdef QUENLAR_TEST_SANITIZED_HEAP
  return static_cast<int64_t>(__sanitizer_get_current_allocated_bytes());
#else
  malloc_trim(0);
  const struct mallinfo2 info = mallinfo2();
  return static_cast<int64_t>(info.uordblks + info.hblkhd);
#endif
}

using Objects = std::vector<std::shared_ptr<TQManagedObject>>;

class TQObjectBlocksStoreTest : public StoreFixture {};

// The host drops a long list: what its rows took goes back at once, by both roads that make row
// objects; a row still held keeps its one object, which a new fetch answers again.
TEST_F(TQObjectBlocksStoreTest, DroppedRowsGiveTheirMemoryBackAndAHeldRowKeepsItsObject) {
  constexpr int kRows = 40000;
  constexpr int64_t kMargin = int64_t{5} << 20;
  std::vector<TQResourceValues> values;
  values.reserve(kRows);
  for (int i = 0; i < kRows; ++i) {
    values.push_back(resourceValues("IMG_" + std::to_string(i), "u" + std::to_string(i)));
  }
  ASSERT_TRUE(store()->performWrite(
      store()->currentEpoch(), [&](TQWriteTransaction& write) { write.upsertResources(values); },
      nullptr));
  const std::pair<const char*, Objects (*)(TQManagedObjectContext&)> roads[] = {
      {"the lists' road, objects carved from blocks",
       [](TQManagedObjectContext& context) {
         auto rows = context.executeFetchRequestForCommittedObjects({"TQDBResource"}, nullptr);
         Objects objects;
         for (auto& row : rows.value()) {
           objects.push_back(std::move(row.second));
         }
         return objects;
       }},
      {"a fetch of objects",
       [](TQManagedObjectContext& context) {
         return context.executeFetchRequest({"TQDBResource"}, nullptr);
       }},
  };
  const auto context = store()->mainQueueManagedObjectContext();
  for (const auto& [road, fetch] : roads) {
    SCOPED_TRACE(road);
    fetch(*context);  // the connection's caches fill once
    const int64_t before = heapInUse();
    auto objects = fetch(*context);
    ASSERT_EQ(objects.size(), size_t{kRows});
    ASSERT_GT(heapInUse() - before, 4 * kMargin) << "the rows weigh far more than the margin";
    const auto held = objects[kRows / 2];
    objects.clear();
    EXPECT_EQ(context->registeredObjectCount(), 1U);
    EXPECT_LT(heapInUse() - before, kMargin);
    EXPECT_EQ(fetch(*context)[kRows / 2], held) << "one row, one object while it lives";
  }
  EXPECT_EQ(context->registeredObjectCount(), 0U);
}

}  // namespace
