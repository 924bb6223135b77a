#include "QuenlarCloudAPI/Platform/SignInUI.h"

#include <mutex>
#include <utility>

namespace tq {
namespace {

struct FactoryHolder {
  std::mutex mutex;
  std::shared_ptr<const SignInSceneFactory> factory;
};

FactoryHolder& holder() {
  // Leaked on purpose, like the other host-supplied providers: a sign-in may run during exit.
  static auto* instance = new FactoryHolder;
  return *instance;
}

}  // namespace

void setSignInSceneFactory(SignInSceneFactory factory) {
  auto next = factory ? std::make_shared<const SignInSceneFactory>(std::move(factory)) : nullptr;
  auto& h = holder();
  std::lock_guard lock(h.mutex);
  // The previous factory is released after unlocking, as `next` leaves scope.
  std::swap(h.factory, next);
}

std::optional<SignInScene> instantiateSignInScene() {
  std::shared_ptr<const SignInSceneFactory> factory;
  {
    auto& h = holder();
    std::lock_guard lock(h.mutex);
    factory = h.factory;
  }
  if (!factory) {
    return std::nullopt;
  }
  // The host's factory runs outside the lock: it may itself register another factory.
  SignInScene scene = (*factory)();
  if (!scene.webView) {
    return std::nullopt;
  }
  return scene;
}

}  // namespace tq
