// TQObjectBlocks: memory for the objects that one fetch makes by the ten thousand (a list's
// rows), carved from large blocks.
//
// Objects made here live and die as any std::shared_ptr's do, but the memory of a block goes back
// to the heap only once every object carved from it has been freed (weak references included).
// In exchange, making forty thousand row objects on a worker thread grows that thread's heap once
// per block instead of once per page, each growth a system call.
//
// make() is called by one thread at a time (a fetch's own); objects made here may be freed from
// any thread, before or after their TQObjectBlocks goes away.
#pragma once

#include <atomic>
#include <cstddef>
#include <memory>

class TQObjectBlocks {
 public:
  TQObjectBlocks() = default;
  ~TQObjectBlocks();
  TQObjectBlocks(const TQObjectBlocks&) = delete;
  TQObjectBlocks& operator=(const TQObjectBlocks&) = delete;

  // A new T (value-initialized), as std::make_shared<T>() makes it.
  template <class T>
  std::shared_ptr<T> make() {
    return std::allocate_shared<T>(Allocator<T>(this));
  }

 private:
  // Every carving is aligned to this, and preceded by this many bytes holding its block.
  static constexpr size_t kAlignment = alignof(std::max_align_t);

  struct Block {
    // Carvings not freed yet, plus one while the block is the one carved from.
    std::atomic<size_t> holds{1};
  };

  template <class T>
  class Allocator {
   public:
    using value_type = T;
    explicit Allocator(TQObjectBlocks* blocks) : blocks_(blocks) {}
    template <class U>
    explicit(false) Allocator(const Allocator<U>& other) : blocks_(other.blocks_) {}

    T* allocate(size_t count) {
      static_assert(alignof(T) <= kAlignment, "carvings are aligned to max_align_t only");
      return static_cast<T*>(blocks_->carve(count * sizeof(T)));
    }
    void deallocate(T* object, size_t /*count*/) { TQObjectBlocks::giveBack(object); }

    friend bool operator==(const Allocator& a, const Allocator& b) {
      return a.blocks_ == b.blocks_;
    }

   private:
    template <class U>
    friend class Allocator;
    // Only carve() uses it: objects outlive this.
    TQObjectBlocks* blocks_;
  };

  void* carve(size_t bytes);
  static void giveBack(void* carving);
  static void release(Block* block);

  Block* current_ = nullptr;
  size_t used_ = 0;  // bytes of current_ carved, its header included
  size_t size_ = 0;  // bytes of current_
};
