#include "QuenlarCloudAPI/Platform/Utf8.h"

#include <cstdint>

namespace tq {

std::optional<Utf8Char> Utf8Decoder::next() {
  if (atEnd()) {
    return std::nullopt;
  }
  const std::size_t start = position_;
  const auto byteAt = [this](std::size_t i) { return static_cast<uint8_t>(text_[i]); };
  const uint8_t lead = byteAt(start);
  const auto invalid = [&](std::size_t length) {
    position_ = start + length;
    return Utf8Char{0xFFFD, text_.substr(start, length), false};
  };
  if (lead < 0x80) {
    position_ = start + 1;
    return Utf8Char{lead, text_.substr(start, 1), true};
  }

  std::size_t length = 0;
  char32_t value = 0;
  // The allowed range of the second byte rules out overlong forms, surrogates and values past
  // U+10FFFF in one check.
  uint8_t low = 0x80;
  uint8_t high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    value = lead & 0x1FU;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    value = lead & 0x0FU;
    if (lead == 0xE0) {
      low = 0xA0;
    } else if (lead == 0xED) {
      high = 0x9F;
    }
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    value = lead & 0x07U;
    if (lead == 0xF0) {
      low = 0x90;
    } else if (lead == 0xF4) {
      high = 0x8F;
    }
  } else {
    return invalid(1);
  }

  for (std::size_t i = 1; i < length; ++i) {
    if (start + i >= text_.size()) {
      return invalid(i);
    }
    const uint8_t byte = byteAt(start + i);
    if (byte < low || byte > high) {
      return invalid(i);
    }
    low = 0x80;
    high = 0xBF;
    value = (value << 6U) | (byte & 0x3FU);
  }
  position_ = start + length;
  return Utf8Char{value, text_.substr(start, length), true};
}

void appendUtf8(std::string& out, char32_t c) {
  if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
    c = 0xFFFD;
  }
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0U | (c >> 6U)));
    out.push_back(static_cast<char>(0x80U | (c & 0x3FU)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0U | (c >> 12U)));
    out.push_back(static_cast<char>(0x80U | ((c >> 6U) & 0x3FU)));
    out.push_back(static_cast<char>(0x80U | (c & 0x3FU)));
  } else {
    out.push_back(static_cast<char>(0xF0U | (c >> 18U)));
    out.push_back(static_cast<char>(0x80U | ((c >> 12U) & 0x3FU)));
    out.push_back(static_cast<char>(0x80U | ((c >> 6U) & 0x3FU)));
    out.push_back(static_cast<char>(0x80U | (c & 0x3FU)));
  }
}

}  // namespace tq
