#include "QuenlarCloudAPI/Platform/Keychain.h"

#include <mutex>
#include <utility>

#include "QuenlarCloudAPI/Platform/Environment.h"
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

}  // namespace

std::filesystem::path defaultKeychainDirectory() {
  return Environment::dataDirectory() / "Keychain";
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
