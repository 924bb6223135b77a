// SHA-256 of a large file: the library's file digest against `openssl dgst -sha256` over the same
// file, both reading from a warm page cache. Prints the best of several runs of each and their
// ratio (library time / reference time; lower is better).
//
// QUENLAR_BENCH_BYTES sets the file size (default 1 GiB); QUENLAR_BENCH_RUNS the runs (default 3).
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "QuenlarCloudAPI/Platform/Digest.h"
#include "bench/BenchSupport.h"

namespace {

namespace fs = std::filesystem;

bool writePatternFile(const fs::path& path, uint64_t bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) {
    return false;
  }
  std::vector<uint64_t> block((1U << 20U) / sizeof(uint64_t));
  uint64_t state = 0x9E3779B97F4A7C15ULL;
  bool ok = true;
  for (uint64_t written = 0; written < bytes && ok;) {
    for (auto& word : block) {  // xorshift64: cheap bytes that do not compress
      state ^= state << 13U;
      state ^= state >> 7U;
      state ^= state << 17U;
      word = state;
    }
    const auto piece = static_cast<std::size_t>(std::min<uint64_t>(bytes - written, 1U << 20U));
    ok = std::fwrite(block.data(), 1, piece, file) == piece;
    written += piece;
  }
  return std::fclose(file) == 0 && ok;
}

void warmPageCache(const fs::path& path) {
  const int fd = ::open(path.c_str(), O_RDONLY);
  std::vector<char> buffer(1U << 20U);
  while (fd >= 0 && ::read(fd, buffer.data(), buffer.size()) > 0) {
  }
  if (fd >= 0) {
    ::close(fd);
  }
}

std::optional<std::string> referenceDigest(const fs::path& path) {
  const std::string command = "openssl dgst -sha256 -r '" + path.string() + "'";
  std::FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) {
    return std::nullopt;
  }
  char line[256] = {};
  const bool read = std::fgets(line, sizeof line, pipe) != nullptr;
  if (::pclose(pipe) != 0 || !read) {
    return std::nullopt;
  }
  return std::string(line, std::min<std::size_t>(64, std::string(line).size()));
}

}  // namespace

int main() {
  const uint64_t bytes = bench::envCount("QUENLAR_BENCH_BYTES", 1ULL << 30U);
  const uint64_t runs = std::max<uint64_t>(1, bench::envCount("QUENLAR_BENCH_RUNS", 3));

  const auto made = bench::makeTemporaryDirectory("bench_sha256-");
  if (!made) {
    std::fprintf(stderr, "cannot create a temporary directory\n");
    return 1;
  }
  const fs::path& dir = *made;
  const fs::path file = dir / "data.bin";
  int status = 0;
  if (!writePatternFile(file, bytes)) {
    std::fprintf(stderr, "cannot write %llu bytes to %s\n", static_cast<unsigned long long>(bytes),
                 file.c_str());
    status = 1;
  } else {
    warmPageCache(file);
    double best = std::numeric_limits<double>::max();
    double bestReference = std::numeric_limits<double>::max();
    std::optional<std::string> ours;
    std::optional<std::string> reference;
    for (uint64_t run = 0; run < runs; ++run) {
      best = std::min(best, bench::seconds([&] { ours = tq::sha256OfFile(file); }));
      bestReference =
          std::min(bestReference, bench::seconds([&] { reference = referenceDigest(file); }));
    }
    const double mib = static_cast<double>(bytes) / (1 << 20);
    std::printf("file: %.0f MiB, best of %llu runs\n", mib, static_cast<unsigned long long>(runs));
    std::printf("tq::sha256OfFile        %8.3f s  %8.1f MiB/s  %s\n", best, mib / best,
                ours.value_or("(failed)").c_str());
    std::printf("openssl dgst -sha256    %8.3f s  %8.1f MiB/s  %s\n", bestReference,
                mib / bestReference, reference.value_or("(failed)").c_str());
    std::printf("ratio (tq / openssl)    %8.3f\n", best / bestReference);
    if (!ours || ours != reference) {
      std::fprintf(stderr, "digests differ\n");
      status = 1;
    }
  }
  std::error_code error;
  fs::remove_all(dir, error);
  return status;
}
