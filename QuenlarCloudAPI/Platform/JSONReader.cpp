#include "QuenlarCloudAPI/Platform/JSONReader.h"

#include <cstddef>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace tq {
namespace {

// Objects of at least this many members find a repeated key through a hash index of their keys
// rather than by comparing with every key so far: small objects, which answers are made of, are
// faster to scan, and large ones must not cost time quadratic in their size.
constexpr std::size_t kIndexedMembers = 32;

// Builds the document bottom-up, for the SAX interface of tq::JSON. The elements of every open
// container wait on one stack, and a container is made when it closes, with room for exactly its
// elements, so nothing is copied as containers grow. Containers are counted as they open, which is
// where the depth limit is enforced.
class DocumentBuilder {
 public:
  explicit DocumentBuilder(int maximumDepth)
      : maximumDepth_(maximumDepth > 0 ? static_cast<std::size_t>(maximumDepth) : 0) {}

  JSON take() { return std::move(root_); }

  // ---- The SAX interface of tq::JSON ----

  bool null() { return add(JSON()); }
  bool boolean(bool flag) { return add(JSON(flag)); }
  bool number_integer(JSON::number_integer_t number) { return add(JSON(number)); }
  bool number_unsigned(JSON::number_unsigned_t number) { return add(JSON(number)); }
  bool number_float(JSON::number_float_t number, const std::string& /*text*/) {
    return add(JSON(number));
  }
  // Copied, not moved: the tokenizer keeps its buffer's capacity for the next token.
  bool string(std::string& text) { return add(JSON(text)); }
  bool binary(JSON::binary_t& /*binary*/) { return false; }  // no JSON text holds one

  bool start_object(std::size_t /*elements*/) { return open(); }
  bool start_array(std::size_t /*elements*/) { return open(); }

  bool key(std::string& key) {
    Container& object = open_.back();
    object.slot = memberPosition(object, key);
    if (object.slot == kNewMember) {
      keys_.push_back(key);
      indexNewKey(object);
    }
    return true;
  }

  bool end_object() {
    const Container object = close();
    JSON built(JSON::value_t::object);
    // The keys differ from one another already, so members are appended without a search.
    auto& members = *built.get_ptr<JSON::object_t*>();
    members.reserve(keys_.size() - object.firstKey);
    for (std::size_t i = object.firstKey; i < keys_.size(); ++i) {
      members.emplace_back(std::move(keys_[i]),
                           std::move(values_[object.firstValue + (i - object.firstKey)]));
    }
    keys_.erase(keys_.begin() + static_cast<std::ptrdiff_t>(object.firstKey), keys_.end());
    dropValuesFrom(object.firstValue);
    return add(std::move(built));
  }

  bool end_array() {
    const Container array = close();
    JSON built(JSON::value_t::array);
    const auto first = values_.begin() + static_cast<std::ptrdiff_t>(array.firstValue);
    built.get_ptr<JSON::array_t*>()->assign(std::make_move_iterator(first),
                                            std::make_move_iterator(values_.end()));
    dropValuesFrom(array.firstValue);
    return add(std::move(built));
  }

  bool parse_error(std::size_t /*position*/, const std::string& /*token*/,
                   const nlohmann::detail::exception& /*error*/) {
    return false;
  }

 private:
  static constexpr std::size_t kNewMember = static_cast<std::size_t>(-1);

  struct Container {
    std::size_t firstValue = 0;  // where its elements start in values_
    std::size_t firstKey = 0;    // where its keys start in keys_ (objects only)
    // The member the next value belongs to: an earlier one with the same key, or a new one.
    std::size_t slot = kNewMember;
    // Key hash to position in keys_, once the object has kIndexedMembers keys.
    std::unique_ptr<std::unordered_multimap<std::size_t, std::size_t>> index;
  };

  static std::size_t hashOf(std::string_view key) { return std::hash<std::string_view>{}(key); }

  bool open() {
    if (open_.size() >= maximumDepth_) {
      return false;
    }
    open_.push_back({values_.size(), keys_.size(), kNewMember, nullptr});
    return true;
  }

  Container close() {
    Container container = std::move(open_.back());
    open_.pop_back();
    return container;
  }

  void dropValuesFrom(std::size_t first) {
    values_.erase(values_.begin() + static_cast<std::ptrdiff_t>(first), values_.end());
  }

  // The position among the object's members of the one named `key`, or kNewMember.
  std::size_t memberPosition(const Container& object, std::string_view key) const {
    if (object.index) {
      const auto [first, last] = object.index->equal_range(hashOf(key));
      for (auto entry = first; entry != last; ++entry) {
        if (keys_[entry->second] == key) {
          return entry->second - object.firstKey;
        }
      }
      return kNewMember;
    }
    for (std::size_t i = object.firstKey; i < keys_.size(); ++i) {
      if (keys_[i] == key) {
        return i - object.firstKey;
      }
    }
    return kNewMember;
  }

  void indexNewKey(Container& object) {
    if (object.index) {
      object.index->emplace(hashOf(keys_.back()), keys_.size() - 1);
    } else if (keys_.size() - object.firstKey >= kIndexedMembers) {
      object.index = std::make_unique<std::unordered_multimap<std::size_t, std::size_t>>();
      for (std::size_t i = object.firstKey; i < keys_.size(); ++i) {
        object.index->emplace(hashOf(keys_[i]), i);
      }
    }
  }

  bool add(JSON value) {
    if (open_.empty()) {
      root_ = std::move(value);
      return true;
    }
    const Container& container = open_.back();
    if (container.slot == kNewMember) {
      values_.push_back(std::move(value));
    } else {
      values_[container.firstValue + container.slot] = std::move(value);
    }
    return true;
  }

  std::size_t maximumDepth_;
  JSON root_;
  std::vector<Container> open_;    // the containers opened and not yet closed, outermost first
  std::vector<JSON> values_;       // the elements of the open containers, in order
  std::vector<std::string> keys_;  // the keys of the open objects' members, in order
};

}  // namespace

std::optional<JSON> readJSON(std::string_view text, int maximumDepth) {
  if (text.find('\0') != std::string_view::npos) {
    return std::nullopt;
  }
  DocumentBuilder builder(maximumDepth);
  if (!JSON::sax_parse(text.data(), text.data() + text.size(), &builder)) {
    return std::nullopt;
  }
  return builder.take();
}

}  // namespace tq
