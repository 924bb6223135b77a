#include "QuenlarCloudAPI/Platform/Digest.h"

#include <fcntl.h>
#include <openssl/evp.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <new>

namespace tq {
namespace {

// Large reads keep the digest, not the system calls, the bottleneck; aligned for direct copies.
constexpr std::size_t kReadBufferBytes = 1U << 20U;
constexpr std::size_t kReadBufferAlignment = 4096;

const EVP_MD* sha256Algorithm() {
  // Fetched once: an explicit fetch spares every digest the provider look-up of EVP_sha256().
  static const EVP_MD* const algorithm = [] {
    const EVP_MD* fetched = EVP_MD_fetch(nullptr, "SHA256", nullptr);
    return fetched != nullptr ? fetched : EVP_sha256();
  }();
  return algorithm;
}

EVP_MD_CTX* ctx(void* context) { return static_cast<EVP_MD_CTX*>(context); }

std::string toHex(const std::array<uint8_t, 32>& bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex(bytes.size() * 2, '\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    hex[2 * i] = kDigits[bytes[i] >> 4U];
    hex[2 * i + 1] = kDigits[bytes[i] & 0xFU];
  }
  return hex;
}

struct AlignedFree {
  void operator()(char* p) const { ::operator delete[](p, std::align_val_t{kReadBufferAlignment}); }
};

}  // namespace

Sha256::Sha256() : context_(EVP_MD_CTX_new()) {
  if (context_ == nullptr || EVP_DigestInit_ex(ctx(context_), sha256Algorithm(), nullptr) != 1) {
    EVP_MD_CTX_free(ctx(context_));
    throw std::bad_alloc();
  }
}

Sha256::~Sha256() { EVP_MD_CTX_free(ctx(context_)); }

void Sha256::update(const void* data, std::size_t size) {
  if (size > 0) {
    EVP_DigestUpdate(ctx(context_), data, size);
  }
}

std::array<uint8_t, 32> Sha256::finalBytes() {
  std::array<uint8_t, 32> digest{};
  unsigned int length = 0;
  EVP_DigestFinal_ex(ctx(context_), digest.data(), &length);
  EVP_DigestInit_ex(ctx(context_), sha256Algorithm(), nullptr);
  return digest;
}

std::string Sha256::final() { return toHex(finalBytes()); }

std::string sha256(std::string_view bytes) {
  Sha256 digest;
  digest.update(bytes);
  return digest.final();
}

std::optional<std::string> sha256OfFile(const std::filesystem::path& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    return std::nullopt;
  }
  const struct FdCloser {
    int fd;
    ~FdCloser() { ::close(fd); }
  } closer{fd};
  ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);

  const std::unique_ptr<char[], AlignedFree> buffer(
      new (std::align_val_t{kReadBufferAlignment}) char[kReadBufferBytes]);
  Sha256 digest;
  while (true) {
    const ssize_t n = ::read(fd, buffer.get(), kReadBufferBytes);
    if (n == 0) {
      return digest.final();
    }
    if (n < 0) {
      if (errno == EINTR) {
        continue;
      }
      return std::nullopt;
    }
    digest.update(buffer.get(), static_cast<std::size_t>(n));
  }
}

}  // namespace tq
