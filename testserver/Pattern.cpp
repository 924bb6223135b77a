#include "testserver/Pattern.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <vector>

#include "testserver/Sha256.h"

namespace testserver {
namespace {

constexpr size_t kBlockSize = size_t{1} << 20;

uint64_t patternWord(uint64_t index) {
  uint64_t z = (index + 1) * 0x9e3779b97f4a7c15ULL;
  z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
  z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
  z ^= z >> 31;
  if constexpr (std::endian::native == std::endian::big) {
    z = __builtin_bswap64(z);
  }
  return z;
}

void checkNotNegative(int64_t value, const char* what) {
  if (value < 0) {
    throw std::invalid_argument(std::string("pattern ") + what + " below zero");
  }
}

}  // namespace

void fillPattern(int64_t offset, char* out, size_t size) {
  checkNotNegative(offset, "offset");
  auto position = static_cast<uint64_t>(offset);
  // A partial first word, then whole words, then a partial last word.
  while (size > 0 && position % 8 != 0) {
    const uint64_t word = patternWord(position / 8);
    std::memcpy(out, reinterpret_cast<const char*>(&word) + position % 8, 1);
    ++out;
    ++position;
    --size;
  }
  uint64_t index = position / 8;
  for (; size >= 8; size -= 8, out += 8, ++index) {
    const uint64_t word = patternWord(index);
    std::memcpy(out, &word, 8);
  }
  if (size > 0) {
    const uint64_t word = patternWord(index);
    std::memcpy(out, &word, size);
  }
}

std::string patternSha256(int64_t n) {
  checkNotNegative(n, "length");
  Sha256 hash;
  std::vector<char> block(kBlockSize);
  for (int64_t done = 0; done < n;) {
    const auto size = static_cast<size_t>(std::min<int64_t>(n - done, kBlockSize));
    fillPattern(done, block.data(), size);
    hash.update(block.data(), size);
    done += static_cast<int64_t>(size);
  }
  return hash.finishHex();
}

void writePatternFile(const std::string& path, int64_t n) {
  checkNotNegative(n, "length");
  const std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "wb"), &std::fclose);
  if (!file) {
    throw std::runtime_error("cannot create pattern file " + path);
  }
  std::vector<char> block(kBlockSize);
  for (int64_t done = 0; done < n;) {
    const auto size = static_cast<size_t>(std::min<int64_t>(n - done, kBlockSize));
    fillPattern(done, block.data(), size);
    if (std::fwrite(block.data(), 1, size, file.get()) != size) {
      throw std::runtime_error("cannot write pattern file " + path);
    }
    done += static_cast<int64_t>(size);
  }
  if (std::fflush(file.get()) != 0) {
    throw std::runtime_error("cannot write pattern file " + path);
  }
}

}  // namespace testserver
