#include <gtest/gtest.h>

#include <string>

#include "QuenlarCloudAPI/Platform/JSONReader.h"

namespace {

using namespace std::string_literals;

// `levels` arrays, each holding the next.
std::string nestedArrays(int levels) {
  return std::string(static_cast<std::size_t>(levels), '[') +
         std::string(static_cast<std::size_t>(levels), ']');
}

// An object of `count` members "k0":0, "k1":1, ... with "k0" and the last key sent again after
// them: large objects find repeated keys through an index, small ones by a scan.
std::string objectWithRepeats(int count) {
  std::string text = "{";
  for (int i = 0; i < count; ++i) {
    text += "\"k" + std::to_string(i) + "\":" + std::to_string(i) + ",";
  }
  return text + "\"k0\":\"again\",\"x\":1,\"k" + std::to_string(count - 1) + "\":[]}";
}

// The reader promises the value tq::JSON::parse gives, key order included.
TEST(JSONReader, ReadsWhatTheParserReads) {
  const struct {
    const char* reason;
    std::string text;
  } cases[] = {
      {"keys in the order they came", R"({"b":1,"a":2,"c":{"z":1,"y":2}})"},
      {"a repeated key: first place, later value", R"({"a":1,"b":2,"a":3})"},
      {"a repeat may change the kind of value", R"({"a":1,"b":{"x":1},"a":[2],"c":3,"b":null})"},
      {"repeats are per object", R"({"a":{"a":1,"a":2},"b":[{"a":1},{"a":2,"a":3}],"a":0})"},
      {"empty containers", R"({"o":{},"a":[],"n":[{},[]],"":{}})"},
      {"numbers of every kind, escapes", R"([-1,18446744073709551615,1.5,-0,1e2,"\u00e9\n"])"},
      {"a small object with repeats", objectWithRepeats(31)},
      {"an object just indexed", objectWithRepeats(32)},
      {"an indexed object", objectWithRepeats(33)},
      {"a large object", objectWithRepeats(200)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reason);
    const auto json = tq::readJSON(c.text, 512);
    ASSERT_TRUE(json.has_value());
    EXPECT_EQ(json->dump(), tq::JSON::parse(c.text).dump());
  }
}

TEST(JSONReader, MalformedTextNULAndNesting) {
  const struct {
    const char* reason;
    std::string text;
    int maximumDepth;
    bool read;
  } cases[] = {
      {"nothing", "", 512, false},
      {"an unclosed object", R"({"a":[1})", 512, false},
      {"a trailing comma", "[1,]", 512, false},
      {"two values", "{}{}", 512, false},
      {"NUL inside text", "[\"a\0b\"]"s, 512, false},
      {"NUL after the value, which the tokenizer takes for the end", "{\"a\":1}\0rest"s, 512,
       false},
      {"nesting at the limit", nestedArrays(512), 512, true},
      {"one level past it", nestedArrays(513), 512, false},
      {"objects count as arrays do", R"({"a":[{"b":1}]})", 3, true},
      {"one past with objects", R"({"a":[{"b":[]}]})", 3, false},
      {"siblings at the limit do not add up", R"([[[]],[[]],{"a":{}}])", 3, true},
      {"brackets inside text are no nesting", R"(["[[[[{{{{"])", 3, true},
      {"refused while reading, not after", std::string(1000000, '['), 512, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(tq::readJSON(c.text, c.maximumDepth).has_value(), c.read) << c.reason;
  }
}

}  // namespace
