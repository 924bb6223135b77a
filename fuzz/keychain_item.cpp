// Keychain item files: any bytes decode as an item or as nothing, never a crash or a throw; an
// item decoded once encodes to bytes of the same length that decode to the same item, for its own
// identifier only; and the file backend, finding those bytes in an item's file, answers exactly
// what decoding them answers.
//
// Input: the first byte's low bit chooses whether the rest is a whole file, or a file without its
// digest (which is then appended, so that the search reaches the fields behind it).
#include <cstdint>
#include <fstream>
#include <string>

#include "QuenlarCloudAPI/Platform/Digest.h"
#include "QuenlarCloudAPI/Platform/KeychainFileBackend.h"
#include "QuenlarCloudAPI/Platform/KeychainItemFormat.h"
#include "fuzz/FuzzSupport.h"

namespace {

// The identifier the seed files were written for.
constexpr std::string_view kIdentifierText = "fuzz.keychain.item";

const std::string& identifier() {
  static const std::string text(kIdentifierText);
  return text;
}

std::string withDigest(std::string_view body) {
  tq::Sha256 digest;
  digest.update(body);
  const auto raw = digest.finalBytes();
  std::string out(body);
  out.append(reinterpret_cast<const char*>(raw.data()), raw.size());
  return out;
}

void checkDecoded(const std::string& bytes) {
  const auto item = tq::decodeKeychainItem(bytes, identifier());
  if (item) {
    const std::string encoded = tq::encodeKeychainItem(identifier(), *item);
    fuzz::check(encoded.size() == bytes.size(), "an item encodes to as many bytes as it came from");
    fuzz::check(tq::decodeKeychainItem(encoded, identifier()) == item,
                "an encoded item decodes to itself");
    fuzz::check(!tq::decodeKeychainItem(bytes, std::string(kIdentifierText) + "2").has_value(),
                "an item decodes for its own identifier only");
  }

  static tq::KeychainFileBackend backend(fuzz::scratchDirectory() / "Keychain");
  static const bool directoryMade = [] {
    tq::KeychainItem ignored;
    backend.find(identifier(), ignored);  // makes the directory, private as the backend wants it
    return true;
  }();
  (void)directoryMade;
  {
    std::ofstream file(
        backend.directory() / tq::KeychainFileBackend::fileNameForIdentifier(identifier()),
        std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }
  tq::KeychainItem found;
  const tq::KeychainStatus status = backend.find(identifier(), found);
  fuzz::check(
      item ? status == tq::kKeychainSuccess && found == *item : status == tq::kKeychainItemNotFound,
      "the file backend finds exactly the item the bytes decode to");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size == 0) {
    return 0;
  }
  const std::string_view rest = fuzz::asText(data + 1, size - 1);
  fuzz::guarded("decoding an item",
                [&] { checkDecoded((data[0] & 1U) != 0 ? withDigest(rest) : std::string(rest)); });
  return 0;
}
