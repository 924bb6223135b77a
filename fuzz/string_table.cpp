// String tables: any bytes read as a table or as nothing, without a crash or a throw; and a table
// written from entries drawn from the input, in every encoding and escape style the format
// allows, reads back with exactly those entries (a later entry for a key replacing the earlier).
//
// Input: the first byte picks raw reading (even) or writing and reading (odd); the rest is the
// table's bytes or the entries.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "QuenlarCloudAPI/Platform/StringTable.h"
#include "fuzz/FuzzSupport.h"

namespace {

enum class Encoding { Utf8, Utf8WithMark, Utf16LittleEndian, Utf16BigEndian };

struct Style {
  Encoding encoding = Encoding::Utf8;
  bool escapeNonASCII = false;  // \UXXXX (pairs of them past U+FFFF) instead of raw characters
  bool escapeControls = false;  // \n \t \r instead of raw characters
  bool comments = false;
};

void appendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// Mostly ASCII (syntax characters included), now and then a character from anywhere in Unicode
// but the surrogates, which no text holds.
std::u32string drawText(FuzzedDataProvider& input) {
  std::u32string text(input.ConsumeIntegralInRange<std::size_t>(0, 12), U'\0');
  for (char32_t& c : text) {
    const auto byte = input.ConsumeIntegral<uint8_t>();
    if (byte < 0xE0) {
      c = byte & 0x7FU;
    } else {
      c = input.ConsumeIntegralInRange<char32_t>(0x80, 0x10FFFF - 0x800);
      if (c >= 0xD800) {
        c += 0x800;
      }
    }
  }
  return text;
}

void appendEscapeUnit(std::u32string& out, char32_t unit) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  out += U"\\U";
  for (int shift = 12; shift >= 0; shift -= 4) {
    out += static_cast<char32_t>(kHex[(unit >> shift) & 0xFU]);
  }
}

std::u32string quoted(const std::u32string& text, const Style& style) {
  std::u32string out = U"\"";
  for (const char32_t c : text) {
    if (c == U'"' || c == U'\\') {
      out += U'\\';
      out += c;
    } else if (style.escapeControls && (c == U'\n' || c == U'\t' || c == U'\r')) {
      out += U'\\';
      out += c == U'\n' ? U'n' : c == U'\t' ? U't' : U'r';
    } else if (style.escapeNonASCII && c >= 0x80) {
      if (c >= 0x10000) {
        appendEscapeUnit(out, 0xD800 + ((c - 0x10000) >> 10));
        appendEscapeUnit(out, 0xDC00 + ((c - 0x10000) & 0x3FF));
      } else {
        appendEscapeUnit(out, c);
      }
    } else {
      out += c;
    }
  }
  out += U'"';
  return out;
}

std::string encode(const std::u32string& text, Encoding encoding) {
  std::string out;
  if (encoding == Encoding::Utf8 || encoding == Encoding::Utf8WithMark) {
    if (encoding == Encoding::Utf8WithMark) {
      out += "\xEF\xBB\xBF";
    }
    for (const char32_t c : text) {
      appendUtf8(out, c);
    }
    return out;
  }
  const bool big = encoding == Encoding::Utf16BigEndian;
  out += big ? "\xFE\xFF" : "\xFF\xFE";
  const auto unit = [&](char32_t u) {
    const auto high = static_cast<char>(u >> 8);
    const auto low = static_cast<char>(u & 0xFF);
    out += big ? high : low;
    out += big ? low : high;
  };
  for (const char32_t c : text) {
    if (c >= 0x10000) {
      unit(0xD800 + ((c - 0x10000) >> 10));
      unit(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      unit(c);
    }
  }
  return out;
}

void checkWrittenTable(FuzzedDataProvider& input) {
  Style style;
  style.encoding = input.PickValueInArray({Encoding::Utf8, Encoding::Utf8WithMark,
                                           Encoding::Utf16LittleEndian, Encoding::Utf16BigEndian});
  style.escapeNonASCII = input.ConsumeBool();
  style.escapeControls = input.ConsumeBool();
  style.comments = input.ConsumeBool();

  std::map<std::string, std::string> expected;
  std::u32string text;
  while (input.remaining_bytes() > 0) {
    const std::u32string key = drawText(input);
    const std::u32string value = drawText(input);
    std::string keyUtf8;
    std::string valueUtf8;
    for (const char32_t c : key) {
      appendUtf8(keyUtf8, c);
    }
    for (const char32_t c : value) {
      appendUtf8(valueUtf8, c);
    }
    expected.insert_or_assign(keyUtf8, valueUtf8);
    if (style.comments) {
      text += U"/* a \"comment\" = */ // another\n";
    }
    text += quoted(key, style) + U" = " + quoted(value, style) + U";\n";
  }
  const auto table = tq::StringTable::parse(encode(text, style.encoding));
  fuzz::check(table.has_value(), "a written table reads");
  fuzz::check(table->size() == expected.size(), "a written table has one entry per key");
  for (const auto& [key, value] : expected) {
    const std::string* found = table->find(key);
    fuzz::check(found != nullptr && *found == value, "every written entry reads back");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  return fuzz::splitOnFirstByte(
      data, size, "reading a table",
      [](std::string_view text) {
        if (const auto table = tq::StringTable::parse(text)) {
          (void)table->find("key");
        }
      },
      "writing and reading a table", checkWrittenTable);
}
