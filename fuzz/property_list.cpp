// Property lists, XML and binary: any bytes either read as a dictionary or as nothing, never a
// crash, a throw or a tree deeper than the reader allows; reading the same bytes from a file
// gives the same dictionary; and a dictionary read once, written out as an XML property list,
// reads back the same.
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "QuenlarCloudAPI/Platform/PropertyList.h"
#include "QuenlarCloudAPI/Platform/Utf8.h"
#include "fuzz/FuzzSupport.h"

namespace {

// The reader's own bound, plus the root.
constexpr std::size_t kMaxDepth = 513;

std::size_t depthOf(const tq::JSON& root) {
  std::size_t deepest = 0;
  std::vector<std::pair<const tq::JSON*, std::size_t>> work{{&root, 1}};
  while (!work.empty()) {
    const auto [node, depth] = work.back();
    work.pop_back();
    deepest = std::max(deepest, depth);
    if (node->is_structured()) {
      for (const auto& child : *node) {
        work.emplace_back(&child, depth + 1);
      }
    }
  }
  return deepest;
}

// Text that an XML property list carries unchanged: UTF-8 without control characters, which
// XML either refuses or normalises.
bool isPlainText(std::string_view text) {
  tq::Utf8Decoder decoder(text);
  while (const auto character = decoder.next()) {
    if (!character->valid || character->codePoint < 0x20 || character->codePoint == 0x7F) {
      return false;
    }
  }
  return true;
}

void appendEscaped(std::string& out, std::string_view text) {
  for (const char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      default:
        out += c;
    }
  }
}

// Writes `value` as XML property-list elements; false when the tree holds something the XML form
// cannot carry unchanged (null, which no property list holds, and text that is not plain). Depth
// is bounded by the reader, so recursion here stays shallow.
bool appendXML(std::string& out, const tq::JSON& value) {
  char number[64];
  switch (value.type()) {
    case tq::JSON::value_t::object:
      out += "<dict>";
      for (const auto& [key, member] : value.items()) {
        if (!isPlainText(key)) {
          return false;
        }
        out += "<key>";
        appendEscaped(out, key);
        out += "</key>";
        if (!appendXML(out, member)) {
          return false;
        }
      }
      out += "</dict>";
      return true;
    case tq::JSON::value_t::array:
      out += "<array>";
      for (const auto& element : value) {
        if (!appendXML(out, element)) {
          return false;
        }
      }
      out += "</array>";
      return true;
    case tq::JSON::value_t::string: {
      const auto& text = value.get_ref<const std::string&>();
      if (!isPlainText(text)) {
        return false;
      }
      out += "<string>";
      appendEscaped(out, text);
      out += "</string>";
      return true;
    }
    case tq::JSON::value_t::boolean:
      out += value.get<bool>() ? "<true/>" : "<false/>";
      return true;
    case tq::JSON::value_t::number_integer:
      std::snprintf(number, sizeof number, "<integer>%" PRId64 "</integer>", value.get<int64_t>());
      out += number;
      return true;
    case tq::JSON::value_t::number_unsigned:
      std::snprintf(number, sizeof number, "<integer>%" PRIu64 "</integer>", value.get<uint64_t>());
      out += number;
      return true;
    case tq::JSON::value_t::number_float:
      std::snprintf(number, sizeof number, "<real>%.17g</real>", value.get<double>());
      out += number;
      return true;
    default:
      return false;
  }
}

void checkXMLRoundTrip(const tq::JSON& dictionary) {
  std::string xml =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<plist version=\"1.0\">";
  if (!appendXML(xml, dictionary)) {
    return;
  }
  xml += "</plist>\n";
  const auto again = tq::PropertyList::dictionaryWithData(xml);
  fuzz::check(again.has_value(), "a dictionary written as XML reads back");
  fuzz::check(*again == dictionary, "a dictionary written as XML reads back the same");
}

void checkFile(std::string_view bytes, const std::optional<tq::JSON>& fromMemory) {
  const auto path = fuzz::scratchDirectory() / "input.plist";
  {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }
  fuzz::check(tq::PropertyList::dictionaryWithContentsOfFile(path) == fromMemory,
              "a file reads as its bytes read");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string_view bytes = fuzz::asText(data, size);
  fuzz::guarded("reading a property list", [&] {
    const auto dictionary = tq::PropertyList::dictionaryWithData(bytes);
    checkFile(bytes, dictionary);
    if (!dictionary) {
      return;
    }
    fuzz::check(dictionary->is_object(), "a property list reads as a dictionary");
    fuzz::check(depthOf(*dictionary) <= kMaxDepth, "a dictionary is no deeper than the limit");
    (void)dictionary->dump(-1, ' ', false, tq::JSON::error_handler_t::replace);
    checkXMLRoundTrip(*dictionary);
  });
  return 0;
}
