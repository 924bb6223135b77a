#include "QuenlarCloudAPI/Helper_Class/NSString_HelperMethods.h"

#include <algorithm>
#include <cctype>
#include <cstdint>

#include "QuenlarCloudAPI/Platform/Digest.h"
#include "QuenlarCloudAPI/Platform/Dispatch.h"
#include "QuenlarCloudAPI/Platform/Unicode.h"
#include "QuenlarCloudAPI/Platform/Utf8.h"

namespace NSString_HelperMethods {
namespace {

bool isKept(char32_t codePoint) {
  switch (codePoint) {
    case U'-':
    case U'.':
    case U'_':
    case U'~':
    case U'/':
    case U'?':
      return true;
    default:
      return tq::Unicode::isAlphanumeric(codePoint);
  }
}

void appendPercentEncoded(std::string& out, std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    out += '%';
    out += kDigits[byte >> 4U];
    out += kDigits[byte & 0xFU];
  }
}

}  // namespace

std::string stringByAddingPercentEncoding(std::string_view text) {
  std::string encoded;
  encoded.reserve(text.size());
  tq::Utf8Decoder decoder(text);
  while (const auto character = decoder.next()) {
    if (character->valid && isKept(character->codePoint)) {
      encoded += character->bytes;
    } else {
      appendPercentEncoded(encoded, character->bytes);
    }
  }
  return encoded;
}

std::string stringByAddingURLQueryPercentEncoding(std::string_view text) {
  static constexpr std::string_view kKeptMarks = "!$&'()*+,-./:;=?@_~";
  std::string encoded;
  encoded.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    const bool asciiAlphanumeric = (byte >= '0' && byte <= '9') || (byte >= 'A' && byte <= 'Z') ||
                                   (byte >= 'a' && byte <= 'z');
    if (asciiAlphanumeric || (byte != 0 && kKeptMarks.find(c) != std::string_view::npos)) {
      encoded += c;
    } else {
      appendPercentEncoded(encoded, std::string_view(&c, 1));
    }
  }
  return encoded;
}

namespace {

// Percent-encodes each byte for which `escaped` answers true.
template <class Escaped>
std::string escapingBytes(std::string_view text, const Escaped& escaped) {
  std::string encoded;
  encoded.reserve(text.size());
  for (const char c : text) {
    if (escaped(static_cast<unsigned char>(c))) {
      appendPercentEncoded(encoded, std::string_view(&c, 1));
    } else {
      encoded += c;
    }
  }
  return encoded;
}

bool isControlBlankOrNonASCII(unsigned char byte) { return byte <= 0x20 || byte >= 0x7F; }

}  // namespace

std::string urlPathEncoded(std::string_view path) {
  // The query encoding already escapes "#" and "%".
  return escapingBytes(stringByAddingURLQueryPercentEncoding(path),
                       [](unsigned char byte) { return byte == '?'; });
}

std::string urlPathSegmentsEncoded(std::string_view identifier) {
  static constexpr std::string_view kNeverInURL = "?#\"<>\\^`{|}";
  std::string encoded = escapingBytes(identifier, [](unsigned char byte) {
    return isControlBlankOrNonASCII(byte) ||
           kNeverInURL.find(static_cast<char>(byte)) != std::string_view::npos;
  });
  // Dot segments, which a transport resolves before sending.
  std::string result;
  result.reserve(encoded.size());
  size_t start = 0;
  while (start <= encoded.size()) {
    const size_t slash = std::min(encoded.find('/', start), encoded.size());
    const std::string_view segment(encoded.data() + start, slash - start);
    if (segment == ".") {
      result += "%2E";
    } else if (segment == "..") {
      result += "%2E%2E";
    } else {
      result += segment;
    }
    if (slash < encoded.size()) {
      result += '/';
    }
    start = slash + 1;
  }
  return result;
}

std::string rawQueryValueEncoded(std::string_view value, std::string_view alsoEncoded) {
  return escapingBytes(value, [alsoEncoded](unsigned char byte) {
    return isControlBlankOrNonASCII(byte) || byte == '&' || byte == '#' ||
           alsoEncoded.find(static_cast<char>(byte)) != std::string_view::npos;
  });
}

void md5HashWithCompletionHandler(std::string path, TQFileChecksumHandler completionHandler) {
  if (!completionHandler) {
    return;
  }
  tq::globalQueue().async(
      [path = std::move(path), handler = std::move(completionHandler)]() mutable {
        std::optional<std::string> checksum;
        if (!path.empty()) {
          checksum = tq::sha256OfFile(path);
        }
        tq::mainQueue().async(
            [handler = std::move(handler), checksum = std::move(checksum)] { handler(checksum); });
      });
}

std::string base64EncodededString(std::string_view text) {
  static constexpr char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string encoded;
  encoded.reserve((text.size() + 2) / 3 * 4);
  std::size_t at = 0;
  for (; at + 3 <= text.size(); at += 3) {
    const uint32_t group = (static_cast<uint32_t>(static_cast<unsigned char>(text[at])) << 16U) |
                           (static_cast<uint32_t>(static_cast<unsigned char>(text[at + 1])) << 8U) |
                           static_cast<uint32_t>(static_cast<unsigned char>(text[at + 2]));
    encoded += kAlphabet[(group >> 18U) & 0x3FU];
    encoded += kAlphabet[(group >> 12U) & 0x3FU];
    encoded += kAlphabet[(group >> 6U) & 0x3FU];
    encoded += kAlphabet[group & 0x3FU];
  }
  const std::size_t rest = text.size() - at;
  if (rest > 0) {
    uint32_t group = static_cast<uint32_t>(static_cast<unsigned char>(text[at])) << 16U;
    if (rest == 2) {
      group |= static_cast<uint32_t>(static_cast<unsigned char>(text[at + 1])) << 8U;
    }
    encoded += kAlphabet[(group >> 18U) & 0x3FU];
    encoded += kAlphabet[(group >> 12U) & 0x3FU];
    encoded += rest == 2 ? kAlphabet[(group >> 6U) & 0x3FU] : '=';
    encoded += '=';
  }
  return encoded;
}

std::string scanString(std::string_view text, std::string_view startTag, std::string_view endTag) {
  const std::size_t start = text.find(startTag);
  if (text.empty() || start == std::string_view::npos) {
    return {};
  }
  const std::size_t from = start + startTag.size();
  // An empty end tag would end the answer before it began; it reads as "to the end" instead.
  const std::size_t end = endTag.empty() ? std::string_view::npos : text.find(endTag, from);
  return std::string(
      text.substr(from, end == std::string_view::npos ? std::string_view::npos : end - from));
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) {
    return false;
  }
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

}  // namespace NSString_HelperMethods
