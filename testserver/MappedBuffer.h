// MappedBuffer: a buffer of anonymous memory mapped for one request and unmapped with it.
//
// The test server's buffers of a MiB or more live here instead of on the heap: glibc keeps freed
// heap blocks of that size with the arena of the worker thread that used them, so with many
// workers the process would grow with every upload or download and blur the library's memory
// measurements. Pages count towards the resident size only once written. Movable, not copyable,
// used by one thread at a time.
#pragma once

#include <cstddef>
#include <string_view>

namespace testserver {

class MappedBuffer {
 public:
  MappedBuffer() = default;
  ~MappedBuffer();
  MappedBuffer(const MappedBuffer&) = delete;
  MappedBuffer& operator=(const MappedBuffer&) = delete;
  MappedBuffer(MappedBuffer&& other) noexcept;
  MappedBuffer& operator=(MappedBuffer&& other) noexcept;

  // Maps `capacity` bytes; throws std::bad_alloc when the system refuses.
  explicit MappedBuffer(size_t capacity);
  // Appends unless that would pass the capacity; false then.
  bool append(const char* data, size_t size);
  std::string_view view() const { return {data_, size_}; }
  char* data() { return data_; }
  size_t capacity() const { return capacity_; }
  bool isMapped() const { return data_ != nullptr; }

 private:
  char* data_ = nullptr;
  size_t capacity_ = 0;
  size_t size_ = 0;
};

}  // namespace testserver
