#include "QuenlarCloudAPI/Platform/Environment.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <mutex>
#include <optional>
#include <string>
#include <utility>

#include "QuenlarCloudAPI/Platform/FileSystem.h"

namespace tq::Environment {
namespace {

struct State {
  std::mutex mutex;
  std::optional<std::filesystem::path> documents;
  std::optional<std::filesystem::path> temporary;
  std::optional<std::filesystem::path> defaultTemporary;
};

State& state() {
  // Leaked on purpose: queues may ask for a directory while static objects are destroyed at exit.
  static auto* instance = new State;
  return *instance;
}

// The value of an environment variable when it holds an absolute path.
std::optional<std::filesystem::path> absolutePathFromEnvironment(const char* name) {
  const char* value = std::getenv(name);  // NOLINT(concurrency-mt-unsafe): read, never written
  if (value == nullptr || value[0] != '/') {
    return std::nullopt;
  }
  return std::filesystem::path(value);
}

std::filesystem::path defaultDocumentsDirectory() { return dataDirectory() / "Documents"; }

// True when `dir` is a real directory owned by us; tightens its mode to 0700 if needed.
bool isPrivateDirectory(const std::filesystem::path& dir) {
  struct stat info {};
  if (::lstat(dir.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::geteuid()) {
    return false;
  }
  return (info.st_mode & 077) == 0 || ::chmod(dir.c_str(), 0700) == 0;
}

std::filesystem::path defaultTemporaryDirectory() {
  const auto base = absolutePathFromEnvironment("TMPDIR").value_or("/tmp");
  const std::string name = "QuenlarCloudAPI-" + std::to_string(::geteuid());
  auto dir = base / name;
  makeDirectories(dir);
  if (isPrivateDirectory(dir)) {
    return dir;
  }
  // Someone else holds the well-known name: never write into a directory we do not own.
  std::string pattern = (base / (name + "-XXXXXX")).string();
  if (::mkdtemp(pattern.data()) != nullptr) {
    return pattern;
  }
  return dir;
}

}  // namespace

std::filesystem::path documentsDirectory() {
  std::filesystem::path dir;
  {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    if (!s.documents) {
      s.documents = defaultDocumentsDirectory();
    }
    dir = *s.documents;
  }
  makeDirectories(dir);
  return dir;
}

std::filesystem::path temporaryDirectory() {
  auto& s = state();
  std::lock_guard lock(s.mutex);
  if (s.temporary) {
    makeDirectories(*s.temporary);
    return *s.temporary;
  }
  if (!s.defaultTemporary || !isPrivateDirectory(*s.defaultTemporary)) {
    s.defaultTemporary = defaultTemporaryDirectory();
  }
  return *s.defaultTemporary;
}

void setDocumentsDirectory(std::filesystem::path path) {
  auto& s = state();
  std::lock_guard lock(s.mutex);
  s.documents = std::move(path);
}

void setTemporaryDirectory(std::filesystem::path path) {
  auto& s = state();
  std::lock_guard lock(s.mutex);
  s.temporary = std::move(path);
}

std::filesystem::path dataDirectory() {
  auto base = absolutePathFromEnvironment("XDG_DATA_HOME");
  if (!base) {
    const auto home = absolutePathFromEnvironment("HOME");
    base = home ? *home / ".local" / "share" : std::filesystem::path("/tmp");
  }
  return *base / "QuenlarCloudAPI";
}

}  // namespace tq::Environment
