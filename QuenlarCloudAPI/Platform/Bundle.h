// Bundle: a directory of resources with an information dictionary ("Info.plist") and string
// tables, standing in for the platform's bundles.
//
// Two bundles matter to the library: its own (Info.plist, ServerSettings.plist and the other
// resources it ships, installed under share/QuenlarCloudAPI/QuenlarCloudAPI.bundle) and the
// host's main bundle (by default the directory of the running executable), whose Info.plist names
// the host application and whose string tables may translate the library's messages.
//
// Layout of a bundle directory:
//   Info.plist                     information dictionary (XML or binary property list)
//   <resource>                     resources without a localization
//   <language>.lproj/<resource>    localized resources and string tables
//
// Thread safety: every member is safe from any thread. A Bundle reads its Info.plist once, on
// first use, and each string table once, on the first lookup that needs it; a resource or table
// that changes on disk afterwards is not seen by that Bundle object.
// The user's language is read from LC_ALL, LC_MESSAGES or LANG (the first one set) when the
// Bundle object is made.
#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "QuenlarCloudAPI/Platform/JSON.h"

namespace tq {

class StringTable;

class Bundle {
 public:
  // A bundle over the directory `path`; nothing is read until asked for.
  explicit Bundle(std::filesystem::path path);
  ~Bundle();
  Bundle(const Bundle&) = delete;
  Bundle& operator=(const Bundle&) = delete;

  // The library's own bundle. Until setLibraryBundlePath() is called this is the installed
  // bundle directory.
  static std::shared_ptr<const Bundle> libraryBundle();

  // The host application's bundle: the directory set by setMainBundlePath(), or the directory of
  // the running executable.
  static std::shared_ptr<const Bundle> mainBundle();

  // Point the library's or the main bundle at another directory. The next libraryBundle() or
  // mainBundle() call answers a fresh Bundle over it; Bundle objects handed out before keep their
  // own directory. Hosts call these before first use; tests may call them again at any time.
  static void setLibraryBundlePath(std::filesystem::path path);
  static void setMainBundlePath(std::filesystem::path path);

  const std::filesystem::path& bundlePath() const { return path_; }

  // The contents of Info.plist; an empty object when the file is missing or is not a dictionary.
  // The reference stays valid as long as this Bundle.
  const JSON& infoDictionary() const;

  // The Info.plist value for `key`, or nullptr when there is none. Valid as long as this Bundle.
  const JSON* objectForInfoDictionaryKey(std::string_view key) const;

  // Info.plist's "CFBundleIdentifier" when it is text; nullopt otherwise.
  std::optional<std::string> bundleIdentifier() const;

  // The path of the resource `name` with the extension `type` (which may be empty when `name`
  // carries its extension), looked up first at the bundle's top level, then in the .lproj folder
  // of each of the user's languages in order of preference. nullopt when it exists nowhere, or
  // when `name` is empty or would reach outside the bundle.
  std::optional<std::filesystem::path> pathForResource(std::string_view name,
                                                       std::string_view type) const;

  // The translation of `key` in the string table `table` ("Localizable" when empty): the first
  // of <language>.lproj/<table>.strings (the user's languages in order of preference, then "en"
  // and "Base") and <table>.strings at the top level that holds the key. When no table holds it,
  // answers `value`, or `key` itself when `value` is empty.
  std::string localizedString(std::string_view key, std::string_view value,
                              std::string_view table) const;

  // The .lproj folder names searched, most preferred first (for example "de_DE", "de-DE", "de",
  // "en", "Base").
  const std::vector<std::string>& localizations() const { return localizations_; }

 private:
  std::shared_ptr<const StringTable> stringTable(const std::filesystem::path& file) const;

  std::filesystem::path path_;
  std::vector<std::string> localizations_;

  mutable std::once_flag infoOnce_;
  mutable JSON info_;

  mutable std::mutex tablesMutex_;
  // Keyed by file path; a null entry remembers a missing or malformed file.
  mutable std::map<std::filesystem::path, std::shared_ptr<const StringTable>> tables_;
};

}  // namespace tq
