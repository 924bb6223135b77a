// Sha256: an incremental SHA-256, for hashing request bodies as they stream in and pattern files.
// One object hashes one message; it is not thread-safe and not copyable (it owns a digest
// context).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

struct evp_md_ctx_st;

namespace testserver {

class Sha256 {
 public:
  Sha256();
  ~Sha256();
  Sha256(const Sha256&) = delete;
  Sha256& operator=(const Sha256&) = delete;

  void update(const void* data, size_t size);
  void update(std::string_view data) { update(data.data(), data.size()); }
  // The digest of everything passed to update(), as 64 lowercase hex digits. Call once.
  std::string finishHex();

  static std::string hex(std::string_view data);

 private:
  evp_md_ctx_st* context_;
};

}  // namespace testserver
