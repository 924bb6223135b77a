#include "QuenlarCloudAPI/Model/CoreData/TQObjectBlocks.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

namespace {

// About two hundred row objects; large enough that the blocks, not the objects, set how often the
// heap grows.
constexpr size_t kBlockBytes = size_t{256} * 1024;

constexpr size_t roundUp(size_t bytes, size_t multiple) {
  return (bytes + multiple - 1) / multiple * multiple;
}

}  // namespace

TQObjectBlocks::~TQObjectBlocks() {
  if (current_ != nullptr) {
    release(current_);
  }
}

void* TQObjectBlocks::carve(size_t bytes) {
  const size_t needed = kAlignment + roundUp(bytes, kAlignment);
  if (current_ == nullptr || used_ + needed > size_) {
    if (current_ != nullptr) {
      release(std::exchange(current_, nullptr));
    }
    const size_t header = roundUp(sizeof(Block), kAlignment);
    size_ = std::max(kBlockBytes, header + needed);
    current_ = new (::operator new(size_)) Block();
    used_ = header;
  }
  auto* const start = reinterpret_cast<std::byte*>(current_) + used_;
  used_ += needed;
  current_->holds.fetch_add(1, std::memory_order_relaxed);
  std::byte* const carving = start + kAlignment;
  void* const block = current_;
  std::memcpy(carving - sizeof(void*), &block, sizeof(void*));
  return carving;
}

void TQObjectBlocks::giveBack(void* carving) {
  void* block = nullptr;
  std::memcpy(&block, static_cast<std::byte*>(carving) - sizeof(void*), sizeof(void*));
  release(static_cast<Block*>(block));
}

void TQObjectBlocks::release(Block* block) {
  // The last release sees every write made to the block's carvings, whatever thread made them.
  if (block->holds.fetch_sub(1, std::memory_order_acq_rel) == 1) {
    block->~Block();
    ::operator delete(block);
  }
}
