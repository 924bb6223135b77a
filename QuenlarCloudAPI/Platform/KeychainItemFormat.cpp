#include "QuenlarCloudAPI/Platform/KeychainItemFormat.h"

#include <array>
#include <cstdint>

#include "QuenlarCloudAPI/Platform/Digest.h"

namespace tq {
namespace {

constexpr std::string_view kMagic = "TQKCITEM";
constexpr std::size_t kDigestSize = 32;

void appendUInt32(std::string& out, uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) {
    out += static_cast<char>((value >> shift) & 0xFFU);
  }
}

void appendText(std::string& out, std::string_view text) {
  appendUInt32(out, static_cast<uint32_t>(text.size()));
  out += text;
}

// Reads the fields of a file front to back; every read checks what is left.
class Reader {
 public:
  explicit Reader(std::string_view bytes) : bytes_(bytes) {}

  bool readUInt32(uint32_t& value) {
    if (bytes_.size() < 4) {
      return false;
    }
    value = 0;
    for (std::size_t i = 0; i < 4; ++i) {
      value |= static_cast<uint32_t>(static_cast<unsigned char>(bytes_[i])) << (8 * i);
    }
    bytes_.remove_prefix(4);
    return true;
  }

  bool readBytes(std::size_t size, std::string_view& out) {
    if (bytes_.size() < size) {
      return false;
    }
    out = bytes_.substr(0, size);
    bytes_.remove_prefix(size);
    return true;
  }

  bool readText(std::string& out) {
    uint32_t size = 0;
    std::string_view bytes;
    if (!readUInt32(size) || !readBytes(size, bytes)) {
      return false;
    }
    out.assign(bytes);
    return true;
  }

  bool atEnd() const { return bytes_.empty(); }

 private:
  std::string_view bytes_;
};

std::string rawDigest(std::string_view bytes) {
  Sha256 digest;
  digest.update(bytes);
  const auto raw = digest.finalBytes();
  return {reinterpret_cast<const char*>(raw.data()), raw.size()};
}

}  // namespace

std::string encodeKeychainItem(const std::string& identifier, const KeychainItem& item) {
  std::string out(kMagic);
  appendUInt32(out, kKeychainItemFormatVersion);
  appendText(out, identifier);
  appendUInt32(out, static_cast<uint32_t>(item.attributes.size()));
  for (const auto& [key, value] : item.attributes) {
    appendText(out, key);
    appendText(out, value);
  }
  appendText(out, item.data);
  out += rawDigest(out);
  return out;
}

std::optional<KeychainItem> decodeKeychainItem(std::string_view bytes,
                                               const std::string& identifier) {
  if (bytes.size() < kMagic.size() + kDigestSize) {
    return std::nullopt;
  }
  const std::string_view body = bytes.substr(0, bytes.size() - kDigestSize);
  if (rawDigest(body) != bytes.substr(body.size())) {
    return std::nullopt;
  }
  Reader reader(body);
  std::string_view magic;
  uint32_t version = 0;
  std::string storedIdentifier;
  uint32_t count = 0;
  if (!reader.readBytes(kMagic.size(), magic) || magic != kMagic || !reader.readUInt32(version) ||
      version != kKeychainItemFormatVersion || !reader.readText(storedIdentifier) ||
      storedIdentifier != identifier || !reader.readUInt32(count)) {
    return std::nullopt;
  }
  KeychainItem item;
  for (uint32_t i = 0; i < count; ++i) {
    std::string key;
    std::string value;
    if (!reader.readText(key) || !reader.readText(value) ||
        !item.attributes.emplace(std::move(key), std::move(value)).second) {
      return std::nullopt;
    }
  }
  if (!reader.readText(item.data) || !reader.atEnd()) {
    return std::nullopt;
  }
  return item;
}

}  // namespace tq
