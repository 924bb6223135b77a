#include "QuenlarCloudAPI/Platform/Keychain.h"

#include <cstdlib>
#include <mutex>
#include <optional>
#include <utility>

#include "QuenlarCloudAPI/Platform/KeychainFileBackend.h"

namespace tq {
namespace {

struct DefaultBackend {
  std::mutex mutex;
  std::shared_ptr<KeychainBackend> backend;
};

DefaultBackend& defaultBackend() {
  // Leaked on purpose: a request built during exit may still read the device ID.
  static auto* instance = new DefaultBackend;
  return *instance;
}

std::optional<std::filesystem::path> absolutePathFromEnvironment(const char* name) {
  const char* value = std::getenv(name);  // NOLINT(concurrency-mt-unsafe): read, never written
  if (value == nullptr || value[0] != '/') {
    return std::nullopt;
  }
  return std::filesystem::path(value);
}

}  // namespace

std::filesystem::path defaultKeychainDirectory() {
  auto base = absolutePathFromEnvironment("XDG_DATA_HOME");
  if (!base) {
    const auto home = absolutePathFromEnvironment("HOME");
    base = home ? *home / ".local" / "share" : std::filesystem::path("/tmp");
  }
  return *base / "QuenlarCloudAPI" / "Keychain";
}

std::shared_ptr<KeychainBackend> defaultKeychainBackend() {
  auto& d = defaultBackend();
  std::lock_guard lock(d.mutex);
  if (!d.backend) {
    d.backend = std::make_shared<KeychainFileBackend>(defaultKeychainDirectory());
  }
  return d.backend;
}

void setDefaultKeychainBackend(std::shared_ptr<KeychainBackend> backend) {
  auto& d = defaultBackend();
  std::lock_guard lock(d.mutex);
  // The previous backend is released after unlocking, as `backend` leaves scope.
  std::swap(d.backend, backend);
}

void setKeychainDirectory(const std::filesystem::path& directory) {
  setDefaultKeychainBackend(std::make_shared<KeychainFileBackend>(directory));
}

}  // namespace tq
