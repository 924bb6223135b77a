// Digest: SHA-256 of bytes and of files, written as 64 lower-case hexadecimal characters.
//
// Sha256 hashes a stream of pieces; one object serves one thread at a time. The free functions
// are stateless and safe from any thread. A file is read in large sequential pieces, so hashing
// holds a fixed amount of memory whatever the file's size.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace tq {

class Sha256 {
 public:
  Sha256();
  ~Sha256();
  Sha256(const Sha256&) = delete;
  Sha256& operator=(const Sha256&) = delete;

  void update(const void* data, std::size_t size);
  void update(std::string_view bytes) { update(bytes.data(), bytes.size()); }

  // The digest of everything added since construction or the previous final(), in lower-case
  // hexadecimal. The object then starts over, empty.
  std::string final();

  // The same digest as raw bytes.
  std::array<uint8_t, 32> finalBytes();

 private:
  void* context_;  // EVP_MD_CTX, kept out of this header
};

// The SHA-256 of `bytes` in lower-case hexadecimal.
std::string sha256(std::string_view bytes);

// The SHA-256 of the file's contents in lower-case hexadecimal; nullopt when the file cannot be
// opened or a read fails (a directory, a missing file, an I/O error).
std::optional<std::string> sha256OfFile(const std::filesystem::path& path);

}  // namespace tq
