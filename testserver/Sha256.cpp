#include "testserver/Sha256.h"

#include <openssl/evp.h>

#include <array>
#include <stdexcept>

namespace testserver {

Sha256::Sha256() : context_(EVP_MD_CTX_new()) {
  if (context_ == nullptr || EVP_DigestInit_ex(context_, EVP_sha256(), nullptr) != 1) {
    EVP_MD_CTX_free(context_);
    throw std::runtime_error("cannot start a SHA-256 digest");
  }
}

Sha256::~Sha256() { EVP_MD_CTX_free(context_); }

void Sha256::update(const void* data, size_t size) {
  if (size > 0 && EVP_DigestUpdate(context_, data, size) != 1) {
    throw std::runtime_error("SHA-256 update failed");
  }
}

std::string Sha256::finishHex() {
  std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
  unsigned int length = 0;
  if (EVP_DigestFinal_ex(context_, digest.data(), &length) != 1) {
    throw std::runtime_error("SHA-256 final failed");
  }
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  text.reserve(size_t{length} * 2);
  for (unsigned int i = 0; i < length; ++i) {
    text.push_back(kDigits[digest[i] >> 4]);
    text.push_back(kDigits[digest[i] & 0xf]);
  }
  return text;
}

std::string Sha256::hex(std::string_view data) {
  Sha256 hash;
  hash.update(data);
  return hash.finishHex();
}

}  // namespace testserver
