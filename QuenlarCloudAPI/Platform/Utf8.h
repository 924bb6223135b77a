// Utf8: decoding and encoding UTF-8 without ever throwing on bad input.
//
// Utf8Decoder walks text one character at a time. An ill-formed sequence (a stray continuation
// byte, a truncated or overlong sequence, a surrogate, a value past U+10FFFF) yields U+FFFD for
// each maximal subpart, as the Unicode standard recommends, with `valid` false and `bytes` holding
// the raw bytes it stands for, so a caller may keep or escape them byte-wise instead.
// A decoder is a small value over text it does not own; use it from one thread.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace tq {

struct Utf8Char {
  char32_t codePoint;      // U+FFFD when !valid
  std::string_view bytes;  // the bytes of the text this character was decoded from
  bool valid;
};

class Utf8Decoder {
 public:
  explicit Utf8Decoder(std::string_view text) : text_(text) {}

  // The next character, or nullopt at the end of the text.
  std::optional<Utf8Char> next();

  bool atEnd() const { return position_ >= text_.size(); }
  std::size_t position() const { return position_; }

 private:
  std::string_view text_;
  std::size_t position_ = 0;
};

// Appends the UTF-8 form of `c`; surrogates and values past U+10FFFF are written as U+FFFD.
void appendUtf8(std::string& out, char32_t c);

}  // namespace tq
