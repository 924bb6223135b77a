#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "QuenlarCloudAPI/Platform/Bundle.h"
#include "QuenlarCloudAPI/Platform/PropertyList.h"
#include "QuenlarCloudAPI/Platform/StringTable.h"
#include "QuenlarCloudAPI/QuenlarCloudAPIVersion.h"

namespace {

namespace fs = std::filesystem;
using tq::JSON;

class BundleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "BundleTest-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { fs::remove_all(dir_); }

  fs::path write(const fs::path& relative, std::string_view bytes) {
    auto path = dir_ / relative;
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
    return path;
  }

  fs::path dir_;
};

std::string xmlPlist(std::string_view body) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n" +
         std::string(body) + "\n</plist>\n";
}

// The same dictionary as kBinaryPlist, with keys deliberately out of alphabetical order.
const char* const kXmlBody = R"(<dict>
  <key>zeta</key><string>last-first</string>
  <key>name</key><string>Café ☃</string>
  <key>count</key><integer>-42</integer>
  <key>big</key><integer>1099511627776</integer>
  <key>ratio</key><real>2.5</real>
  <key>yes</key><true/>
  <key>no</key><false/>
  <key>when</key><date>2020-02-29T12:34:56Z</date>
  <key>blob</key><data>AAH/YWI=</data>
  <key>list</key><array><integer>1</integer><string>two</string><array><real>3.0</real></array>
    <dict><key>k</key><string>v</string></dict></array>
  <key>nested</key><dict><key>b</key><dict><key>c</key><string>deep</string></dict>
    <key>a</key><array/></dict>
</dict>)";

const unsigned char kBinaryPlist[] =
    "\x62\x70\x6c\x69\x73\x74\x30\x30\xdb\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a\x0b\x0c\x0d\x0e"
    "\x0f"
    "\x10\x11\x12\x13\x14\x15\x1d\x54\x7a\x65\x74\x61\x54\x6e\x61\x6d\x65\x55\x63\x6f\x75\x6e\x74"
    "\x53"
    "\x62\x69\x67\x55\x72\x61\x74\x69\x6f\x53\x79\x65\x73\x52\x6e\x6f\x54\x77\x68\x65\x6e\x54\x62"
    "\x6c"
    "\x6f\x62\x54\x6c\x69\x73\x74\x56\x6e\x65\x73\x74\x65\x64\x5a\x6c\x61\x73\x74\x2d\x66\x69\x72"
    "\x73"
    "\x74\x66\x00\x43\x00\x61\x00\x66\x00\xe9\x00\x20\x26\x03\x13\xff\xff\xff\xff\xff\xff\xff\xd6"
    "\x13"
    "\x00\x00\x01\x00\x00\x00\x00\x00\x23\x40\x04\x00\x00\x00\x00\x00\x00\x09\x08\x33\x41\xc2\x05"
    "\x48"
    "\xf8\x00\x00\x00\x45\x00\x01\xff\x61\x62\xa4\x16\x17\x18\x1a\x10\x01\x53\x74\x77\x6f\xa1\x19"
    "\x23"
    "\x40\x08\x00\x00\x00\x00\x00\x00\xd1\x1b\x1c\x51\x6b\x51\x76\xd2\x1e\x1f\x20\x23\x51\x62\x51"
    "\x61"
    "\xd1\x21\x22\x51\x63\x54\x64\x65\x65\x70\xa0\x08\x1f\x24\x29\x2f\x33\x39\x3d\x40\x45\x4a\x4f"
    "\x56"
    "\x61\x6e\x77\x80\x89\x8a\x8b\x94\x9a\x9f\xa1\xa5\xa7\xb0\xb3\xb5\xb7\xbc\xbe\xc0\xc3\xc5\xca"
    "\x00"
    "\x00\x00\x00\x00\x00\x01\x01\x00\x00\x00\x00\x00\x00\x00\x24\x00\x00\x00\x00\x00\x00\x00\x00"
    "\x00"
    "\x00\x00\x00\x00\x00\x00\xcb";

// `text` as UTF-16 bytes behind a byte-order mark.
std::string utf16(std::u16string_view text, bool bigEndian) {
  std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
  for (const char16_t unit : text) {
    const auto high = static_cast<char>(unit >> 8);
    const auto low = static_cast<char>(unit & 0xFF);
    bytes += bigEndian ? std::string{high, low} : std::string{low, high};
  }
  return bytes;
}

JSON expectedDictionary() {
  return JSON::parse(R"({
    "zeta": "last-first", "name": "Café ☃", "count": -42, "big": 1099511627776, "ratio": 2.5,
    "yes": true, "no": false, "when": "2020-02-29T12:34:56Z", "blob": "AAH/YWI=",
    "list": [1, "two", [3.0], {"k": "v"}], "nested": {"b": {"c": "deep"}, "a": []}})");
}

TEST_F(BundleTest, PropertyListFiles) {
  const std::string binary(reinterpret_cast<const char*>(kBinaryPlist), sizeof kBinaryPlist - 1);
  struct Case {
    const char* reason;
    std::optional<std::string> contents;  // nullopt: no file at all
    std::optional<JSON> expected;
  };
  const Case cases[] = {
      {"a missing file is nil", std::nullopt, std::nullopt},
      {"an empty file is nil", "", std::nullopt},
      {"text that is no property list is nil", "ServerBaseURL=http://x", std::nullopt},
      {"a truncated binary list is nil", binary.substr(0, 100), std::nullopt},
      {"an array root is nil", xmlPlist("<array><string>a</string></array>"), std::nullopt},
      {"a string root is nil", xmlPlist("<string>a</string>"), std::nullopt},
      {"an empty dictionary", xmlPlist("<dict/>"), JSON::object()},
      {"XML: every type, nested, keys in file order", xmlPlist(kXmlBody), expectedDictionary()},
      {"binary: the same dictionary", binary, expectedDictionary()},
  };
  for (const auto& c : cases) {
    const auto path = dir_ / "list.plist";
    fs::remove(path);
    if (c.contents) {
      write("list.plist", *c.contents);
    }
    const auto dictionary = tq::PropertyList::dictionaryWithContentsOfFile(path);
    ASSERT_EQ(dictionary.has_value(), c.expected.has_value()) << c.reason;
    if (c.expected) {
      EXPECT_EQ(dictionary->dump(), c.expected->dump()) << c.reason;
    }
  }
  EXPECT_EQ(tq::PropertyList::dictionaryWithContentsOfFile(dir_), std::nullopt)
      << "a directory is nil";
}

// A binary property list of `objects` (markers and 4-byte references already encoded), rooted at
// object 0.
std::string binaryPlist(const std::vector<std::string>& objects) {
  const auto be32 = [](uint32_t v) {
    return std::string{static_cast<char>(v >> 24), static_cast<char>(v >> 16),
                       static_cast<char>(v >> 8), static_cast<char>(v)};
  };
  const auto be64 = [&](uint64_t v) { return be32(uint32_t(v >> 32)) + be32(uint32_t(v)); };
  std::string data = "bplist00";
  std::string table;
  for (const auto& object : objects) {
    table += be32(static_cast<uint32_t>(data.size()));
    data += object;
  }
  const auto tableOffset = data.size();
  return data + table + std::string(6, '\0') + "\x04\x04" + be64(objects.size()) + be64(0) +
         be64(tableOffset);
}

// A one-entry dictionary {"a": object 2} followed by `rest` (objects 2, 3, ...).
std::vector<std::string> dictionaryOf(std::vector<std::string> rest) {
  std::vector<std::string> objects{std::string("\xD1\0\0\0\x01\0\0\0\x02", 9),
                                   "\x51"
                                   "a"};
  objects.insert(objects.end(), rest.begin(), rest.end());
  return objects;
}

std::string ref(uint32_t index) {
  return {static_cast<char>(index >> 24), static_cast<char>(index >> 16),
          static_cast<char>(index >> 8), static_cast<char>(index)};
}

TEST_F(BundleTest, HostilePropertyListsAreRefusedWithoutCrashing) {
  std::vector<std::string> deep;  // 100,000 arrays, each holding the next
  for (uint32_t i = 0; i < 100000; ++i) {
    deep.push_back("\xA1" + ref(3 + i));
  }
  deep.push_back("\xA0");
  std::vector<std::string> doubling;  // each array holds the next one twice: 2^40 once expanded
  for (uint32_t i = 0; i < 40; ++i) {
    doubling.push_back("\xA2" + ref(3 + i) + ref(3 + i));
  }
  doubling.push_back("\xA0");
  std::string nestedXml;
  for (int i = 0; i < 100000; ++i) {
    nestedXml += "<array>";
  }
  const struct {
    const char* reason;
    std::string bytes;
    bool accepted;
  } cases[] = {
      {"small binary list from the same builder", binaryPlist(dictionaryOf({"\xA0"})), true},
      {"deeply nested binary arrays", binaryPlist(dictionaryOf(deep)), false},
      {"shared references that explode when expanded", binaryPlist(dictionaryOf(doubling)), false},
      {"an array that contains itself", binaryPlist(dictionaryOf({"\xA1" + ref(2)})), false},
      {"reference past the last object", binaryPlist(dictionaryOf({"\xA1" + ref(99)})), false},
      {"deeply nested XML arrays", xmlPlist("<dict><key>a</key>" + nestedXml + "</dict>"), false},
  };
  for (const auto& c : cases) {
    const auto path = write("hostile.plist", c.bytes);
    EXPECT_EQ(tq::PropertyList::dictionaryWithContentsOfFile(path).has_value(), c.accepted)
        << c.reason;
  }
}

// A text object of fewer than 15 units: ASCII bytes, or big-endian UTF-16 units.
std::string asciiText(std::string_view text) {
  return static_cast<char>(0x50 | text.size()) + std::string(text);
}
std::string utf16Text(std::u16string_view text) {
  std::string object(1, static_cast<char>(0x60 | text.size()));
  for (const char16_t unit : text) {
    object += static_cast<char>(unit >> 8);
    object += static_cast<char>(unit & 0xFF);
  }
  return object;
}

// Objects of the dictionary {key: value}.
std::vector<std::string> keyed(std::string key, std::string value) {
  return {"\xD1" + ref(1) + ref(2), std::move(key), std::move(value)};
}

TEST_F(BundleTest, BinaryTextIsReadWholeOrNotAtAll) {
  using namespace std::literals;
  const std::string v = asciiText("v");
  const struct {
    const char* reason;
    std::vector<std::string> objects;
    std::optional<JSON> expected;  // nullopt: the file is unreadable
  } cases[] = {
      {"a UTF-16 key reads as UTF-8", keyed(utf16Text(u"é😀"), v), JSON{{"é😀", "v"}}},
      {"a UTF-16 value keeps U+0000", keyed(asciiText("k"), utf16Text(u"x\0y"sv)),
       JSON{{"k", "x\0y"s}}},
      {"a UTF-16 key holding U+0000", keyed(utf16Text(u"a\0b"sv), v), std::nullopt},
      {"text that is a value in one entry and a key in the next",
       {"\xD2" + ref(1) + ref(2) + ref(2) + ref(1), asciiText("a"), utf16Text(u"x\0"sv)},
       std::nullopt},
      {"an ASCII key holding NUL would lose its tail", keyed(asciiText("a\0b"sv), v), std::nullopt},
      {"an ASCII value holding NUL would lose its tail", keyed(asciiText("k"), asciiText("\0"sv)),
       std::nullopt},
      {"a byte beyond ASCII in ASCII text is not UTF-8", keyed(asciiText("caf\xE9"), v),
       std::nullopt},
      {"a lone surrogate would vanish", keyed(asciiText("k"), utf16Text(u"\xDE00x")), std::nullopt},
  };
  for (const auto& c : cases) {
    const auto dictionary = tq::PropertyList::dictionaryWithData(binaryPlist(c.objects));
    ASSERT_EQ(dictionary.has_value(), c.expected.has_value()) << c.reason;
    if (c.expected) {
      EXPECT_EQ(*dictionary, *c.expected) << c.reason;
    }
  }
}

TEST_F(BundleTest, StringTableFormat) {
  struct Case {
    const char* reason;
    std::string text;
    std::string key;
    std::optional<std::string> expected;  // nullopt: key absent
  };
  const Case cases[] = {
      {"plain entry", R"("Hello" = "Hallo";)", "Hello", "Hallo"},
      {"escaped quote and backslash", R"("q" = "say \"hi\" \\ bye";)", "q", R"(say "hi" \ bye)"},
      {"newline and tab escapes", R"("nt" = "a\nb\tc";)", "nt", "a\nb\tc"},
      {"BMP escape", R"("u" = "caf\U00e9";)", "u", "café"},
      {"surrogate pair escape", R"("s" = "\UD83D\UDE00";)", "s", "\xF0\x9F\x98\x80"},
      {"lone surrogate escape", R"("s" = "\UD83Dx";)", "s", "\xEF\xBF\xBDx"},
      {"escape in the key", R"("a\"b" = "v";)", "a\"b", "v"},
      {"comments and blank lines",
       "/* note = \"x\"; */\n// \"Hello\" = \"no\";\n\"Hello\" = "
       "/* inline */ \"yes\" ; // trailing\n",
       "Hello", "yes"},
      {"commented-out entry is absent", "// \"Hello\" = \"no\";\n\"a\" = \"b\";", "Hello",
       std::nullopt},
      {"later entry wins", R"("k" = "1"; "k" = "2";)", "k", "2"},
      {"multi-line value", "\"k\" = \"line1\nline2\";", "k", "line1\nline2"},
      {"UTF-8 byte-order mark", "\xEF\xBB\xBF\"k\" = \"v\";", "k", "v"},
      {"UTF-16LE with mark", utf16(u"\"k\" = \"\u00e9\U0001F600\";", false), "k",
       "\u00e9\U0001F600"},
      {"UTF-16BE with mark", utf16(u"\"k\" = \"\u00e9\";", true), "k", "\u00e9"},
  };
  for (const auto& c : cases) {
    const auto table = tq::StringTable::parse(c.text);
    ASSERT_TRUE(table.has_value()) << c.reason;
    const std::string* value = table->find(c.key);
    ASSERT_EQ(value != nullptr, c.expected.has_value()) << c.reason;
    if (c.expected) {
      EXPECT_EQ(*value, *c.expected) << c.reason;
    }
  }
}

TEST_F(BundleTest, MalformedStringTablesAreRejectedWhole) {
  const struct {
    const char* reason;
    std::string text;
  } cases[] = {
      {"missing semicolon", R"("a" = "b" "c" = "d";)"},
      {"unterminated string", R"("a" = "b;)"},
      {"unterminated comment", R"("a" = "b"; /* never closed)"},
      {"unquoted key", R"(a = "b";)"},
      {"bad unicode escape", R"("a" = "\U00G1";)"},
      {"odd-length UTF-16", utf16(u"\"k\" = \"v\";", false) + "x"},
  };
  for (const auto& c : cases) {
    EXPECT_FALSE(tq::StringTable::parse(c.text).has_value()) << c.reason;
  }
}

TEST_F(BundleTest, LocalizedStringLookup) {
  ::setenv("LC_ALL", "de_DE.UTF-8", 1);  // NOLINT(concurrency-mt-unsafe): before any thread
  write("de.lproj/Localizable.strings", R"("greeting" = "Hallo"; "only.de" = "nur deutsch";)");
  write("en.lproj/Localizable.strings", R"("greeting" = "Hello"; "only.en" = "english only";)");
  write("Localizable.strings", R"("greeting" = "root"; "only.root" = "top level";)");
  write("de.lproj/Errors.strings", R"("%@ <REQUIRED PARAMETER> is missing." = "%@ fehlt.";)");
  write("fr.lproj/Localizable.strings", R"("greeting" = "Bonjour";)");
  write("en.lproj/Broken.strings", R"("greeting" = "no semicolon")");
  const tq::Bundle bundle(dir_);

  const struct {
    const char* reason;
    const char* key;
    const char* value;
    const char* table;
    const char* expected;
  } cases[] = {
      {"user's language first", "greeting", "", "", "Hallo"},
      {"empty table name means Localizable", "only.de", "", "", "nur deutsch"},
      {"falls back to en.lproj", "only.en", "", "", "english only"},
      {"falls back to the top level", "only.root", "", "", "top level"},
      {"missing key answers the value", "absent", "default", "", "default"},
      {"missing key with empty value answers the key", "absent", "", "", "absent"},
      {"named table", "%@ <REQUIRED PARAMETER> is missing.", "", "Errors", "%@ fehlt."},
      {"missing table answers the key", "greeting", "", "Nope", "greeting"},
      {"malformed table counts as absent", "greeting", "x", "Broken", "x"},
      {"table name cannot leave the bundle", "greeting", "", "../x", "greeting"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(bundle.localizedString(c.key, c.value, c.table), c.expected) << c.reason;
  }
  EXPECT_EQ(bundle.localizations(),
            (std::vector<std::string>{"de_DE", "de-DE", "de", "en", "Base"}));
}

TEST_F(BundleTest, InfoDictionaryAndResources) {
  write("b/Info.plist", xmlPlist("<dict><key>CFBundleIdentifier</key><string>com.example.host"
                                 "</string><key>CFBundleVersion</key><integer>7</integer></dict>"));
  write("b/ServerSettings.plist", xmlPlist("<dict/>"));
  write("b/en.lproj/Sheet.txt", "x");
  write("b/Model.momd/VersionInfo.plist", xmlPlist("<dict/>"));
  const fs::path root = dir_ / "b";
  const tq::Bundle bundle(root);

  EXPECT_EQ(bundle.bundleIdentifier(), "com.example.host");
  ASSERT_NE(bundle.objectForInfoDictionaryKey("CFBundleVersion"), nullptr);
  EXPECT_EQ(*bundle.objectForInfoDictionaryKey("CFBundleVersion"), 7);
  EXPECT_EQ(bundle.objectForInfoDictionaryKey("CFBundleName"), nullptr);

  const struct {
    const char* reason;
    const char* name;
    const char* type;
    std::optional<fs::path> expected;
  } cases[] = {
      {"name and type", "ServerSettings", "plist", root / "ServerSettings.plist"},
      {"type with a dot", "ServerSettings", ".plist", root / "ServerSettings.plist"},
      {"extension in the name", "ServerSettings.plist", "", root / "ServerSettings.plist"},
      {"directory resource", "Model", "momd", root / "Model.momd"},
      {"localized resource", "Sheet", "txt", root / "en.lproj" / "Sheet.txt"},
      {"missing resource", "Nothing", "plist", std::nullopt},
      {"wrong type", "ServerSettings", "json", std::nullopt},
      {"empty name", "", "plist", std::nullopt},
      {"parent directory", "../outside", "plist", std::nullopt},
      {"absolute path", "/etc/passwd", "", std::nullopt},
  };
  write("outside.plist", "x");
  for (const auto& c : cases) {
    EXPECT_EQ(bundle.pathForResource(c.name, c.type), c.expected) << c.reason;
  }

  const tq::Bundle empty(root / "nowhere");
  EXPECT_TRUE(empty.infoDictionary().is_object());
  EXPECT_TRUE(empty.infoDictionary().empty());
  EXPECT_EQ(empty.bundleIdentifier(), std::nullopt);
}

TEST_F(BundleTest, LibraryBundleCanBeRepointed) {
  write("one/Info.plist", xmlPlist("<dict><key>CFBundleIdentifier</key><string>one</string>"
                                   "</dict>"));
  write("two/Info.plist", xmlPlist("<dict><key>CFBundleIdentifier</key><integer>2</integer>"
                                   "</dict>"));
  tq::Bundle::setLibraryBundlePath(dir_ / "one");
  const auto first = tq::Bundle::libraryBundle();
  EXPECT_EQ(first, tq::Bundle::libraryBundle()) << "one object until repointed";
  EXPECT_EQ(first->bundleIdentifier(), "one");

  tq::Bundle::setLibraryBundlePath(dir_ / "two");
  EXPECT_EQ(tq::Bundle::libraryBundle()->bundleIdentifier(), std::nullopt)
      << "a non-text identifier is none";
  EXPECT_EQ(first->bundleIdentifier(), "one") << "bundles handed out keep their directory";

  tq::Bundle::setMainBundlePath(dir_ / "one");
  EXPECT_EQ(tq::Bundle::mainBundle()->bundlePath(), dir_ / "one");
}

TEST_F(BundleTest, ShippedLibraryBundle) {
  const tq::Bundle bundle(fs::path(QUENLAR_BUILD_BUNDLE_DIR));
  EXPECT_EQ(bundle.bundleIdentifier(), "com.quenlar.QuenlarCloudAPI");
  // The bundle's versions and the library's constants come from one version.
  ASSERT_NE(bundle.objectForInfoDictionaryKey("CFBundleShortVersionString"), nullptr);
  EXPECT_EQ(*bundle.objectForInfoDictionaryKey("CFBundleShortVersionString"),
            QuenlarCloudAPIVersionString);
  ASSERT_NE(bundle.objectForInfoDictionaryKey("CFBundleVersion"), nullptr);
  EXPECT_EQ(*bundle.objectForInfoDictionaryKey("CFBundleVersion"),
            std::to_string(static_cast<int64_t>(QuenlarCloudAPIVersionNumber)));
  EXPECT_THAT(QuenlarCloudAPIVersionString, ::testing::MatchesRegex("[0-9]+\\.[0-9]+\\.[0-9]+"));
  const auto settingsPath = bundle.pathForResource("ServerSettings", "plist");
  ASSERT_TRUE(settingsPath.has_value());
  const auto settings = tq::PropertyList::dictionaryWithContentsOfFile(*settingsPath);
  ASSERT_TRUE(settings.has_value());
  ASSERT_TRUE(settings->contains("ServerBaseURL"));
  EXPECT_TRUE(settings->at("ServerBaseURL").is_string());
}

}  // namespace
