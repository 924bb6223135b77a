#include "testserver/MappedBuffer.h"

#include <sys/mman.h>

#include <cstring>
#include <new>
#include <utility>

namespace testserver {

MappedBuffer::MappedBuffer(size_t capacity) : capacity_(capacity) {
  void* data = mmap(nullptr, capacity, PROT_READ | PROT_WRITE,
                    MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (data == MAP_FAILED) {
    throw std::bad_alloc();
  }
  data_ = static_cast<char*>(data);
}

MappedBuffer::~MappedBuffer() {
  if (data_ != nullptr) {
    munmap(data_, capacity_);
  }
}

MappedBuffer::MappedBuffer(MappedBuffer&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)),
      capacity_(std::exchange(other.capacity_, 0)),
      size_(std::exchange(other.size_, 0)) {}

MappedBuffer& MappedBuffer::operator=(MappedBuffer&& other) noexcept {
  if (this != &other) {
    MappedBuffer gone(std::move(*this));
    data_ = std::exchange(other.data_, nullptr);
    capacity_ = std::exchange(other.capacity_, 0);
    size_ = std::exchange(other.size_, 0);
  }
  return *this;
}

bool MappedBuffer::append(const char* data, size_t size) {
  if (size > capacity_ - size_) {
    return false;
  }
  std::memcpy(data_ + size_, data, size);
  size_ += size;
  return true;
}

}  // namespace testserver
