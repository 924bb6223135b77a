#include "QuenlarCloudAPI/API/TQServerSettings.h"

#include <cstddef>
#include <mutex>
#include <string>

#include "QuenlarCloudAPI/Platform/Bundle.h"
#include "QuenlarCloudAPI/Platform/PropertyList.h"
#include "QuenlarCloudAPI/Platform/ReadFile.h"

namespace TQServerSettings {
namespace {

// Property lists larger than this are not settings anyone wrote; they count as unreadable.
constexpr std::size_t kMaximumBytes = std::size_t{16} << 20;

struct Cache {
  std::mutex mutex;
  std::optional<std::string> bytes;
  std::optional<tq::JSON> settings;
};

Cache& cache() {
  static auto* instance = new Cache;  // queues may still make calls during static destruction
  return *instance;
}

}  // namespace

std::optional<tq::JSON> read() {
  const auto path = tq::Bundle::libraryBundle()->pathForResource("ServerSettings", "plist");
  auto bytes = path ? tq::readSmallFile(*path, kMaximumBytes) : std::nullopt;
  if (!bytes) {
    return std::nullopt;
  }
  auto& c = cache();
  {
    std::lock_guard lock(c.mutex);
    if (c.bytes == bytes) {
      return c.settings;
    }
  }
  auto settings = tq::PropertyList::dictionaryWithData(*bytes);
  std::lock_guard lock(c.mutex);
  c.bytes = std::move(bytes);
  c.settings = settings;
  return settings;
}

}  // namespace TQServerSettings
