#include "QuenlarCloudAPI/Platform/StringTable.h"

#include <cstdint>

#include "QuenlarCloudAPI/Platform/Utf8.h"

namespace tq {
namespace {

bool isHighSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool isLowSurrogate(char32_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// UTF-16 text (after its byte-order mark) as UTF-8; unpaired surrogates become U+FFFD.
std::optional<std::string> utf16ToUtf8(std::string_view bytes, bool bigEndian) {
  if (bytes.size() % 2 != 0) {
    return std::nullopt;
  }
  const auto unitAt = [&](std::size_t i) -> char32_t {
    const auto a = static_cast<unsigned char>(bytes[i]);
    const auto b = static_cast<unsigned char>(bytes[i + 1]);
    return bigEndian ? static_cast<char32_t>((a << 8) | b) : static_cast<char32_t>((b << 8) | a);
  };
  std::string out;
  out.reserve(bytes.size());
  for (std::size_t i = 0; i < bytes.size(); i += 2) {
    char32_t c = unitAt(i);
    if (isHighSurrogate(c) && i + 3 < bytes.size() && isLowSurrogate(unitAt(i + 2))) {
      c = 0x10000 + ((c - 0xD800) << 10) + (unitAt(i + 2) - 0xDC00);
      i += 2;
    }
    appendUtf8(out, c);
  }
  return out;
}

class Parser {
 public:
  explicit Parser(std::string_view text) : text_(text) {}

  bool parse(std::unordered_map<std::string, std::string>& entries) {
    while (true) {
      if (!skipBlanks()) {
        return false;
      }
      if (atEnd()) {
        return true;
      }
      std::string key;
      std::string value;
      if (!quoted(key) || !skipBlanks() || !expect('=') || !skipBlanks() || !quoted(value) ||
          !skipBlanks() || !expect(';')) {
        return false;
      }
      entries.insert_or_assign(std::move(key), std::move(value));
    }
  }

 private:
  bool atEnd() const { return pos_ >= text_.size(); }
  char peek(std::size_t ahead = 0) const {
    return pos_ + ahead < text_.size() ? text_[pos_ + ahead] : '\0';
  }

  bool expect(char c) {
    if (atEnd() || text_[pos_] != c) {
      return false;
    }
    ++pos_;
    return true;
  }

  // Skips white space and comments; false on a comment that never ends.
  bool skipBlanks() {
    while (!atEnd()) {
      const char c = text_[pos_];
      if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v') {
        ++pos_;
      } else if (c == '/' && peek(1) == '/') {
        const auto end = text_.find('\n', pos_);
        pos_ = end == std::string_view::npos ? text_.size() : end + 1;
      } else if (c == '/' && peek(1) == '*') {
        const auto end = text_.find("*/", pos_ + 2);
        if (end == std::string_view::npos) {
          return false;
        }
        pos_ = end + 2;
      } else {
        break;
      }
    }
    return true;
  }

  bool hexUnit(char32_t& unit) {
    if (pos_ + 4 > text_.size()) {
      return false;
    }
    unit = 0;
    for (int i = 0; i < 4; ++i) {
      const char h = text_[pos_++];
      unit <<= 4;
      if (h >= '0' && h <= '9') {
        unit |= static_cast<char32_t>(h - '0');
      } else if (h >= 'a' && h <= 'f') {
        unit |= static_cast<char32_t>(h - 'a' + 10);
      } else if (h >= 'A' && h <= 'F') {
        unit |= static_cast<char32_t>(h - 'A' + 10);
      } else {
        return false;
      }
    }
    return true;
  }

  bool unicodeEscape(std::string& out) {
    char32_t unit = 0;
    if (!hexUnit(unit)) {
      return false;
    }
    if (isHighSurrogate(unit) && peek() == '\\' && (peek(1) == 'U' || peek(1) == 'u')) {
      const std::size_t mark = pos_;
      pos_ += 2;
      char32_t low = 0;
      if (hexUnit(low) && isLowSurrogate(low)) {
        appendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
        return true;
      }
      pos_ = mark;  // not a pair: the second escape is read on its own
    }
    appendUtf8(out, unit);
    return true;
  }

  bool quoted(std::string& out) {
    if (!expect('"')) {
      return false;
    }
    while (!atEnd()) {
      const char c = text_[pos_++];
      if (c == '"') {
        return true;
      }
      if (c != '\\') {
        out.push_back(c);
        continue;
      }
      if (atEnd()) {
        return false;
      }
      const char e = text_[pos_++];
      switch (e) {
        case 'n':
          out.push_back('\n');
          break;
        case 't':
          out.push_back('\t');
          break;
        case 'r':
          out.push_back('\r');
          break;
        case 'U':
        case 'u':
          if (!unicodeEscape(out)) {
            return false;
          }
          break;
        default:  // \" \\ and any other escaped character stand for themselves
          out.push_back(e);
          break;
      }
    }
    return false;
  }

  std::string_view text_;
  std::size_t pos_ = 0;
};

}  // namespace

std::optional<StringTable> StringTable::parse(std::string_view bytes) {
  std::string converted;
  const bool littleEndian = bytes.starts_with("\xFF\xFE");
  if (littleEndian || bytes.starts_with("\xFE\xFF")) {
    auto utf8 = utf16ToUtf8(bytes.substr(2), !littleEndian);
    if (!utf8) {
      return std::nullopt;
    }
    converted = std::move(*utf8);
    bytes = converted;
  } else if (bytes.starts_with("\xEF\xBB\xBF")) {
    bytes.remove_prefix(3);
  }
  StringTable table;
  if (!Parser(bytes).parse(table.entries_)) {
    return std::nullopt;
  }
  return table;
}

const std::string* StringTable::find(const std::string& key) const {
  const auto it = entries_.find(key);
  return it == entries_.end() ? nullptr : &it->second;
}

}  // namespace tq
