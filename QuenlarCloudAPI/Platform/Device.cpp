#include "QuenlarCloudAPI/Platform/Device.h"

#include <sys/utsname.h>

#include <memory>
#include <mutex>
#include <utility>

namespace tq::Device {
namespace {

struct utsname systemInfo() {
  struct utsname info {};
  if (::uname(&info) != 0) {
    return {};
  }
  return info;
}

struct ProviderHolder {
  std::mutex mutex;
  std::shared_ptr<const CarrierTokenProvider> provider;
};

ProviderHolder& holder() {
  // Leaked on purpose: a request built during exit may still ask for the token.
  static auto* instance = new ProviderHolder;
  return *instance;
}

}  // namespace

std::string systemName() { return systemInfo().sysname; }
std::string systemVersion() { return systemInfo().release; }
std::string machine() { return systemInfo().machine; }

void setCarrierTokenProvider(CarrierTokenProvider provider) {
  auto next =
      provider ? std::make_shared<const CarrierTokenProvider>(std::move(provider)) : nullptr;
  auto& h = holder();
  std::lock_guard lock(h.mutex);
  // The previous provider is released after unlocking, as `next` leaves scope.
  std::swap(h.provider, next);
}

std::optional<std::string> carrierToken() {
  std::shared_ptr<const CarrierTokenProvider> provider;
  {
    auto& h = holder();
    std::lock_guard lock(h.mutex);
    provider = h.provider;
  }
  return provider ? (*provider)() : std::nullopt;
}

}  // namespace tq::Device
