#include "QuenlarCloudAPI/Helper_Class/TQListHelpers.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numeric>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "QuenlarCloudAPI/Platform/Unicode.h"

namespace TQListHelpers {
namespace {

// Ranks across kinds, so that any two values compare and the sort always has a strict weak order
// to work with, whatever mixture a table's getters yield. NaN has a rank of its own for the same
// reason: it equals nothing, not even itself.
enum class Rank { Nil, NotANumber, Number, Text, Date };

Rank rankOf(const tq::Value& value) {
  if (std::holds_alternative<std::monostate>(value)) {
    return Rank::Nil;
  }
  if (const auto* real = std::get_if<double>(&value); real != nullptr && std::isnan(*real)) {
    return Rank::NotANumber;
  }
  if (std::holds_alternative<std::string>(value)) {
    return Rank::Text;
  }
  if (std::holds_alternative<tq::Date>(value)) {
    return Rank::Date;
  }
  return Rank::Number;
}

template <class A, class B>
int threeWay(const A& a, const B& b) {
  return a < b ? -1 : (b < a ? 1 : 0);
}

// Numbers of the three kinds compare by value. long double holds every int64_t exactly here, so
// large integers next to reals compare without rounding surprises.
long double numericValue(const tq::Value& value) {
  if (const auto* flag = std::get_if<bool>(&value)) {
    return *flag ? 1.0L : 0.0L;
  }
  if (const auto* integer = std::get_if<int64_t>(&value)) {
    return static_cast<long double>(*integer);
  }
  return static_cast<long double>(std::get<double>(value));
}

int compareNumbers(const tq::Value& a, const tq::Value& b) {
  const auto* leftInteger = std::get_if<int64_t>(&a);
  const auto* rightInteger = std::get_if<int64_t>(&b);
  if (leftInteger != nullptr && rightInteger != nullptr) {
    return threeWay(*leftInteger, *rightInteger);
  }
  return threeWay(numericValue(a), numericValue(b));
}

int compareValues(const tq::Value& a, const tq::Value& b, TQValueComparison comparison) {
  const Rank left = rankOf(a);
  const Rank right = rankOf(b);
  if (left != right) {
    return threeWay(left, right);
  }
  switch (left) {
    case Rank::Nil:
    case Rank::NotANumber:
      return 0;
    case Rank::Number:
      return compareNumbers(a, b);
    case Rank::Text: {
      const auto& leftText = std::get<std::string>(a);
      const auto& rightText = std::get<std::string>(b);
      return comparison == TQValueComparison::LocalizedCaseInsensitive
                 ? tq::Unicode::localizedCaseInsensitiveCompare(leftText, rightText)
                 : tq::Unicode::compareCodePoints(leftText, rightText);
    }
    case Rank::Date:
      return threeWay(std::get<tq::Date>(a), std::get<tq::Date>(b));
  }
  return 0;
}

// A collated text's place in the sort: its collation key's first eight bytes as a number, which
// settles most comparisons without touching the key's bytes, and its position in the list. Small,
// so that the sort moves little memory.
struct Collated {
  uint64_t prefix;
  std::size_t index;
};

uint64_t prefixOf(std::string_view key) {
  uint64_t prefix = 0;
  for (std::size_t i = 0; i < sizeof(prefix); ++i) {
    // Shorter keys are padded with zero bytes, which order before every byte a key holds.
    prefix = (prefix << 8U) | (i < key.size() ? static_cast<unsigned char>(key[i]) : 0U);
  }
  return prefix;
}

// The collation keys of a list's texts, one after another in one buffer: one allocation for the
// whole list rather than one per text, and keys that sit together in memory as the sort reads
// them.
class CollationKeys {
 public:
  explicit CollationKeys(std::size_t count) : spans_(count) {}

  // Collates the text at `index` of the list. The key answered is valid until the next add().
  std::string_view add(std::size_t index, std::string_view text) {
    const std::size_t start = bytes_.size();
    tq::Unicode::appendLocalizedCaseInsensitiveSortKey(text, bytes_);
    spans_[index] = {start, bytes_.size() - start};
    return key(index);
  }

  // The key of the text at `index`; empty for a position that holds no text.
  std::string_view key(std::size_t index) const {
    return std::string_view(bytes_).substr(spans_[index].first, spans_[index].second);
  }

 private:
  std::string bytes_;
  std::vector<std::pair<std::size_t, std::size_t>> spans_;  // each key's start and length
};

// The localized order of keys that are all text or nil, which is what sorting records by a name
// meets: the collation keys sort as plain byte strings, and the nils, which order before every
// text, stay together in their own order. nullopt when another kind of value is among the keys.
std::optional<std::vector<std::size_t>> sortedTextOrder(std::span<const tq::Value> keys,
                                                        bool ascending) {
  std::vector<std::size_t> nils;
  CollationKeys collation(keys.size());
  std::vector<Collated> collated;
  collated.reserve(keys.size());
  for (std::size_t i = 0; i < keys.size(); ++i) {
    if (const auto* text = std::get_if<std::string>(&keys[i])) {
      collated.push_back({prefixOf(collation.add(i, *text)), i});
    } else if (std::holds_alternative<std::monostate>(keys[i])) {
      nils.push_back(i);
    } else {
      return std::nullopt;
    }
  }
  // Ties keep their positions, as in a stable sort.
  std::sort(collated.begin(), collated.end(),
            [ascending, &collation](const Collated& a, const Collated& b) {
              int result = a.prefix == b.prefix
                               ? collation.key(a.index).compare(collation.key(b.index))
                               : (a.prefix < b.prefix ? -1 : 1);
              if (!ascending) {
                result = -result;
              }
              return result != 0 ? result < 0 : a.index < b.index;
            });
  std::vector<std::size_t> order;
  order.reserve(keys.size());
  if (ascending) {
    order.insert(order.end(), nils.begin(), nils.end());
  }
  for (const Collated& entry : collated) {
    order.push_back(entry.index);
  }
  if (!ascending) {
    order.insert(order.end(), nils.begin(), nils.end());
  }
  return order;
}

}  // namespace

std::vector<std::size_t> sortedOrder(std::span<const tq::Value> keys, TQValueComparison comparison,
                                     bool ascending) {
  if (comparison == TQValueComparison::LocalizedCaseInsensitive) {
    // Collating is the costly part of a comparison: each text is collated once, into a key whose
    // byte order is the collation's, and the keys are sorted by their bytes.
    if (auto order = sortedTextOrder(keys, ascending)) {
      return std::move(*order);
    }
    std::vector<tq::Value> collated;
    collated.reserve(keys.size());
    for (const tq::Value& key : keys) {
      const auto* text = std::get_if<std::string>(&key);
      collated.push_back(
          text != nullptr ? tq::Value(tq::Unicode::localizedCaseInsensitiveSortKey(*text)) : key);
    }
    return sortedOrder(collated, TQValueComparison::Plain, ascending);
  }
  std::vector<std::size_t> order(keys.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    const int result = compareValues(keys[a], keys[b], comparison);
    return ascending ? result < 0 : result > 0;
  });
  return order;
}

std::optional<std::pair<std::size_t, std::size_t>> pageRange(std::size_t length, int64_t page,
                                                             int64_t count) {
  if (page < 1 || count < 1) {
    return std::nullopt;
  }
  const auto perPage = static_cast<uint64_t>(count);
  const auto size = static_cast<uint64_t>(length);
  // Rounded up without forming size + perPage - 1, which could wrap for a huge count.
  const uint64_t pages = size / perPage + (size % perPage != 0 ? 1 : 0);
  if (static_cast<uint64_t>(page) > pages) {
    return std::nullopt;
  }
  // page <= pages, so (page - 1) * perPage < size: the product cannot overflow.
  const uint64_t first = (static_cast<uint64_t>(page) - 1) * perPage;
  const uint64_t last = first + std::min(perPage, size - first);
  return std::pair{static_cast<std::size_t>(first), static_cast<std::size_t>(last)};
}

}  // namespace TQListHelpers
