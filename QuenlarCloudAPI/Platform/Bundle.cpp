#include "QuenlarCloudAPI/Platform/Bundle.h"

#include <algorithm>
#include <cstdlib>
#include <system_error>
#include <utility>

#include "QuenlarCloudAPI/Platform/PropertyList.h"
#include "QuenlarCloudAPI/Platform/ReadFile.h"
#include "QuenlarCloudAPI/Platform/StringTable.h"

#ifndef QUENLAR_DEFAULT_BUNDLE_DIR
#error "QUENLAR_DEFAULT_BUNDLE_DIR must name the installed bundle directory"
#endif

namespace tq {
namespace {

// String tables are small; anything bigger is not one of ours and is not read.
constexpr std::size_t kMaxStringTableBytes = 4U << 20U;

struct Registry {
  std::mutex mutex;
  std::optional<std::filesystem::path> libraryPath;
  std::optional<std::filesystem::path> mainPath;
  std::shared_ptr<const Bundle> library;
  std::shared_ptr<const Bundle> main;
};

Registry& registry() {
  // Leaked on purpose: handlers may ask for a bundle while static objects are destroyed at exit.
  static auto* instance = new Registry;
  return *instance;
}

std::filesystem::path executableDirectory() {
  std::error_code error;
  auto exe = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error || exe.empty()) {
    return std::filesystem::current_path(error);
  }
  return exe.parent_path();
}

std::string preferredLanguageSetting() {
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    // Read once per Bundle object, never while the host changes its environment.
    const char* value = std::getenv(name);  // NOLINT(concurrency-mt-unsafe)
    if (value != nullptr && *value != '\0') {
      return value;
    }
  }
  return {};
}

std::vector<std::string> localizationsFor(std::string setting) {
  std::vector<std::string> names;
  const auto add = [&names](std::string name) {
    if (!name.empty() && std::find(names.begin(), names.end(), name) == names.end()) {
      names.push_back(std::move(name));
    }
  };
  // "de_DE.UTF-8@euro" -> "de_DE"
  setting = setting.substr(0, setting.find_first_of(".@"));
  if (setting != "C" && setting != "POSIX") {
    const auto underscore = setting.find('_');
    if (underscore != std::string::npos) {
      add(setting);
      add(setting.substr(0, underscore) + "-" + setting.substr(underscore + 1));
    }
    add(setting.substr(0, underscore));
  }
  add("en");
  add("Base");
  return names;
}

// A resource name must stay inside the bundle: no absolute paths and no "..".
bool isSafeResourceName(std::string_view name) {
  if (name.empty() || name.front() == '/') {
    return false;
  }
  const std::filesystem::path path{std::string(name)};
  return std::none_of(path.begin(), path.end(), [](const auto& part) { return part == ".."; });
}

}  // namespace

Bundle::Bundle(std::filesystem::path path)
    : path_(std::move(path)), localizations_(localizationsFor(preferredLanguageSetting())) {}

Bundle::~Bundle() = default;

std::shared_ptr<const Bundle> Bundle::libraryBundle() {
  auto& r = registry();
  std::lock_guard lock(r.mutex);
  if (!r.library) {
    r.library = std::make_shared<const Bundle>(
        r.libraryPath.value_or(std::filesystem::path(QUENLAR_DEFAULT_BUNDLE_DIR)));
  }
  return r.library;
}

std::shared_ptr<const Bundle> Bundle::mainBundle() {
  auto& r = registry();
  std::lock_guard lock(r.mutex);
  if (!r.main) {
    r.main = std::make_shared<const Bundle>(r.mainPath ? *r.mainPath : executableDirectory());
  }
  return r.main;
}

void Bundle::setLibraryBundlePath(std::filesystem::path path) {
  auto& r = registry();
  std::shared_ptr<const Bundle> previous;
  std::lock_guard lock(r.mutex);
  r.libraryPath = std::move(path);
  previous = std::exchange(r.library, nullptr);
}

void Bundle::setMainBundlePath(std::filesystem::path path) {
  auto& r = registry();
  std::shared_ptr<const Bundle> previous;
  std::lock_guard lock(r.mutex);
  r.mainPath = std::move(path);
  previous = std::exchange(r.main, nullptr);
}

const JSON& Bundle::infoDictionary() const {
  std::call_once(infoOnce_, [this] {
    info_ =
        PropertyList::dictionaryWithContentsOfFile(path_ / "Info.plist").value_or(JSON::object());
  });
  return info_;
}

const JSON* Bundle::objectForInfoDictionaryKey(std::string_view key) const {
  const auto& info = infoDictionary();
  const auto it = info.find(key);
  return it == info.end() ? nullptr : &*it;
}

std::optional<std::string> Bundle::bundleIdentifier() const {
  const JSON* identifier = objectForInfoDictionaryKey("CFBundleIdentifier");
  if (identifier == nullptr || !identifier->is_string()) {
    return std::nullopt;
  }
  return identifier->get<std::string>();
}

std::optional<std::filesystem::path> Bundle::pathForResource(std::string_view name,
                                                             std::string_view type) const {
  if (!isSafeResourceName(name)) {
    return std::nullopt;
  }
  std::string file(name);
  if (!type.empty()) {
    if (type.front() != '.') {
      file.push_back('.');
    }
    file.append(type);
  }
  std::error_code error;
  auto candidate = path_ / file;
  if (std::filesystem::exists(candidate, error)) {
    return candidate;
  }
  for (const auto& language : localizations_) {
    candidate = path_ / (language + ".lproj") / file;
    if (std::filesystem::exists(candidate, error)) {
      return candidate;
    }
  }
  return std::nullopt;
}

std::shared_ptr<const StringTable> Bundle::stringTable(const std::filesystem::path& file) const {
  std::lock_guard lock(tablesMutex_);
  const auto found = tables_.find(file);
  if (found != tables_.end()) {
    return found->second;
  }
  std::shared_ptr<const StringTable> parsed;
  if (const auto bytes = readSmallFile(file, kMaxStringTableBytes)) {
    if (auto table = StringTable::parse(*bytes)) {
      parsed = std::make_shared<const StringTable>(std::move(*table));
    }
  }
  tables_.emplace(file, parsed);
  return parsed;
}

std::string Bundle::localizedString(std::string_view key, std::string_view value,
                                    std::string_view table) const {
  const std::string fileName = std::string(table.empty() ? "Localizable" : table) + ".strings";
  const std::string keyText(key);
  if (isSafeResourceName(fileName)) {
    for (const auto& language : localizations_) {
      if (const auto strings = stringTable(path_ / (language + ".lproj") / fileName)) {
        if (const std::string* hit = strings->find(keyText)) {
          return *hit;
        }
      }
    }
    if (const auto strings = stringTable(path_ / fileName)) {
      if (const std::string* hit = strings->find(keyText)) {
        return *hit;
      }
    }
  }
  return value.empty() ? keyText : std::string(value);
}

}  // namespace tq
