#include "QuenlarCloudAPI/Platform/PropertyListShape.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <vector>

namespace tq {
namespace {

bool xmlWithinDepth(std::string_view text, std::size_t maxDepth) {
  std::size_t depth = 0;
  for (std::size_t pos = text.find('<'); pos != std::string_view::npos;
       pos = text.find('<', pos + 1)) {
    const std::string_view tag = text.substr(pos + 1);
    if (tag.starts_with("!--")) {
      const auto end = text.find("-->", pos);
      if (end == std::string_view::npos) {
        return true;  // the parser rejects it
      }
      pos = end;
      continue;
    }
    const bool closing = tag.starts_with('/');
    const std::string_view name = closing ? tag.substr(1) : tag;
    const bool container = name.starts_with("array") || name.starts_with("dict");
    if (!container) {
      continue;
    }
    const auto end = tag.find('>');
    const bool selfClosing = end != std::string_view::npos && end > 0 && tag[end - 1] == '/';
    if (closing) {
      depth -= depth > 0 ? 1 : 0;
    } else if (!selfClosing && ++depth > maxDepth) {
      return false;
    }
  }
  return true;
}

// The binary format: "bplist00", objects, a table of object offsets, and a 32-byte trailer.
class BinaryShape {
 public:
  explicit BinaryShape(std::string_view data) : data_(data) {}

  bool withinLimits(const PropertyListLimits& limits) {
    if (data_.size() < 8 + 32) {
      return true;
    }
    const std::string_view trailer = data_.substr(data_.size() - 32);
    offsetSize_ = static_cast<uint8_t>(trailer[6]);
    refSize_ = static_cast<uint8_t>(trailer[7]);
    const uint64_t count = readUnsigned(trailer.substr(8, 8));
    const uint64_t top = readUnsigned(trailer.substr(16, 8));
    const uint64_t table = readUnsigned(trailer.substr(24, 8));
    if (offsetSize_ == 0 || offsetSize_ > 8 || refSize_ == 0 || refSize_ > 8 || count == 0 ||
        top >= count || table >= data_.size() || count > (data_.size() - table) / offsetSize_ ||
        count > limits.maxExpandedObjects) {
      return false;
    }
    table_ = table;
    count_ = count;
    return walk(top, limits);
  }

 private:
  static uint64_t readUnsigned(std::string_view bytes) {
    uint64_t value = 0;
    for (const char c : bytes) {
      value = (value << 8U) | static_cast<uint8_t>(c);
    }
    return value;
  }

  // Object markers keep their kind in the high nibble.
  static constexpr unsigned kASCII = 0x5;
  static constexpr unsigned kUTF16 = 0x6;
  static constexpr unsigned kArray = 0xA;
  static constexpr unsigned kSet = 0xC;
  static constexpr unsigned kDictionary = 0xD;

  std::optional<uint64_t> offsetOf(uint64_t object) const {
    const uint64_t offset = readUnsigned(data_.substr(table_ + object * offsetSize_, offsetSize_));
    return offset < table_ ? std::optional(offset) : std::nullopt;
  }

  // Only for objects whose offset children() has vetted.
  unsigned kindOf(uint64_t object) const {
    return static_cast<uint8_t>(data_[*offsetOf(object)]) >> 4U;
  }

  // Where a sized object's contents start and how many items they hold (bytes, UTF-16 units or
  // references), or nullopt when the count is malformed.
  struct Extent {
    uint64_t start;
    uint64_t length;
  };
  std::optional<Extent> extentOf(uint64_t offset) const {
    const auto marker = static_cast<uint8_t>(data_[offset]);
    uint64_t length = marker & 0x0FU;
    uint64_t pos = offset + 1;
    if (length == 0x0F) {  // the count follows as an integer object
      if (pos >= table_) {
        return std::nullopt;
      }
      const auto intMarker = static_cast<uint8_t>(data_[pos]);
      const uint64_t intBytes = uint64_t{1} << (intMarker & 0x0FU);
      if ((intMarker >> 4U) != 0x1 || intBytes > 8 || pos + 1 + intBytes > table_) {
        return std::nullopt;
      }
      length = readUnsigned(data_.substr(pos + 1, intBytes));
      pos += 1 + intBytes;
    }
    return Extent{pos, length};
  }

  // The object's references to its children, or nullopt when malformed. Scalars have none.
  std::optional<std::vector<uint64_t>> children(uint64_t object) const {
    const auto offset = offsetOf(object);
    if (!offset) {
      return std::nullopt;
    }
    const unsigned kind = static_cast<uint8_t>(data_[*offset]) >> 4U;
    if (kind != kArray && kind != kSet && kind != kDictionary) {
      return std::vector<uint64_t>{};
    }
    const auto extent = extentOf(*offset);
    if (!extent) {
      return std::nullopt;
    }
    const auto [pos, length] = *extent;
    const uint64_t refs = kind == kDictionary ? length * 2 : length;
    if (length > table_ || refs > (table_ - pos) / refSize_) {
      return std::nullopt;
    }
    std::vector<uint64_t> result;
    result.reserve(refs);
    for (uint64_t i = 0; i < refs; ++i) {
      const uint64_t ref = readUnsigned(data_.substr(pos + i * refSize_, refSize_));
      if (ref >= count_) {
        return std::nullopt;
      }
      result.push_back(ref);
    }
    return result;
  }

  // The parser keeps keys and ASCII text as C strings and drops what it cannot convert, so a NUL
  // would cut ASCII text short, a byte beyond ASCII would reach us as text that is not UTF-8, and
  // a UTF-16 surrogate without its partner would vanish: such text is Unreadable, refused rather
  // than read altered. U+0000 in UTF-16 text survives in a value but aborts the process in a key,
  // so whether HoldsNul is fatal depends on where the text is used.
  enum class Text : uint8_t { NotText, Clean, HoldsNul, Unreadable };

  Text textOf(uint64_t object) const {
    const uint64_t offset = *offsetOf(object);  // children() has vetted it
    const unsigned kind = kindOf(object);
    if (kind != kASCII && kind != kUTF16) {
      return Text::NotText;
    }
    const auto extent = extentOf(offset);
    if (!extent) {
      return Text::Unreadable;
    }
    const auto [pos, length] = *extent;
    const uint64_t unitSize = kind == kUTF16 ? 2 : 1;
    if (length > (table_ - pos) / unitSize) {
      return Text::Unreadable;
    }
    const std::string_view text = data_.substr(pos, length * unitSize);
    return kind == kUTF16 ? utf16Text(text) : asciiText(text);
  }

  static Text asciiText(std::string_view text) {
    const bool clean = std::all_of(text.begin(), text.end(), [](char c) {
      const auto byte = static_cast<uint8_t>(c);
      return byte != 0 && byte < 0x80;
    });
    return clean ? Text::Clean : Text::Unreadable;
  }

  static Text utf16Text(std::string_view text) {
    Text result = Text::Clean;
    bool pendingHigh = false;
    for (std::size_t at = 0; at < text.size(); at += 2) {
      const auto unit = static_cast<uint16_t>((static_cast<uint8_t>(text[at]) << 8U) |
                                              static_cast<uint8_t>(text[at + 1]));
      const bool high = unit >= 0xD800 && unit <= 0xDBFF;
      const bool low = unit >= 0xDC00 && unit <= 0xDFFF;
      if (pendingHigh != low) {
        return Text::Unreadable;
      }
      pendingHigh = high;
      if (unit == 0) {
        result = Text::HoldsNul;
      }
    }
    return pendingHigh ? Text::Unreadable : result;
  }

  // Depth and expanded size of every object reachable from `top`, each object visited once;
  // iterative, so the check itself cannot overflow the stack.
  bool walk(uint64_t top, const PropertyListLimits& limits) {
    enum class State : uint8_t { New, Open, Done };
    std::vector<State> state(count_, State::New);
    std::vector<uint32_t> depth(count_, 0);
    std::vector<uint64_t> size(count_, 0);
    std::vector<bool> holdsNul(count_, false);
    struct Frame {
      uint64_t object;
      std::vector<uint64_t> children;
      std::size_t next = 0;
    };
    std::vector<Frame> stack;
    const auto open = [&](uint64_t object) {
      auto kids = children(object);
      if (!kids || stack.size() >= limits.maxDepth) {
        return false;
      }
      const Text text = textOf(object);
      if (text == Text::Unreadable) {
        return false;
      }
      holdsNul[object] = text == Text::HoldsNul;
      state[object] = State::Open;
      stack.push_back(Frame{object, std::move(*kids)});
      return true;
    };
    // A dictionary's keys are the first half of its references, all visited by the time it closes.
    const auto keysAreReadable = [&](const Frame& frame) {
      if (kindOf(frame.object) != kDictionary) {
        return true;
      }
      const auto keys = frame.children.begin();
      return std::none_of(keys, keys + static_cast<std::ptrdiff_t>(frame.children.size() / 2),
                          [&](uint64_t key) { return holdsNul[key]; });
    };
    if (!open(top)) {
      return false;
    }
    while (!stack.empty()) {
      Frame& frame = stack.back();
      if (frame.next < frame.children.size()) {
        const uint64_t child = frame.children[frame.next++];
        if (state[child] == State::Open) {
          return false;  // a cycle
        }
        if (state[child] == State::New && !open(child)) {
          return false;
        }
        continue;
      }
      if (!keysAreReadable(frame)) {
        return false;
      }
      uint32_t deepest = 0;
      uint64_t total = 1;
      for (const uint64_t child : frame.children) {
        deepest = std::max(deepest, depth[child]);
        total += size[child];
        if (total > limits.maxExpandedObjects) {
          return false;
        }
      }
      depth[frame.object] = deepest + 1;
      size[frame.object] = total;
      state[frame.object] = State::Done;
      if (depth[frame.object] > limits.maxDepth) {
        return false;
      }
      stack.pop_back();
    }
    return true;
  }

  std::string_view data_;
  uint8_t offsetSize_ = 0;
  uint8_t refSize_ = 0;
  uint64_t table_ = 0;
  uint64_t count_ = 0;
};

}  // namespace

bool isWithinLimits(std::string_view bytes, const PropertyListLimits& limits) {
  if (bytes.starts_with("bplist00")) {
    return BinaryShape(bytes).withinLimits(limits);
  }
  return xmlWithinDepth(bytes, limits.maxDepth);
}

}  // namespace tq
