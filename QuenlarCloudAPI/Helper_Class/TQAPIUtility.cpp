#include "QuenlarCloudAPI/Helper_Class/TQAPIUtility.h"

#include <array>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>

#include "QuenlarCloudAPI/Platform/Bundle.h"
#include "QuenlarCloudAPI/Platform/Device.h"
#include "QuenlarCloudAPI/TQAPISDK.h"

namespace {

constexpr std::array<std::pair<std::string_view, std::string_view>, 25> kDeviceNamesByCode = {{
    {"i386", "Simulator"},      {"iPod1,1", "iPod Touch"},  {"iPod2,1", "iPod Touch"},
    {"iPod3,1", "iPod Touch"},  {"iPod4,1", "iPod Touch"},  {"iPhone1,1", "iPhone"},
    {"iPhone1,2", "iPhone"},    {"iPhone2,1", "iPhone"},    {"iPad1,1", "iPad"},
    {"iPad2,1", "iPad 2"},      {"iPad3,1", "iPad"},        {"iPhone3,1", "iPhone 4"},
    {"iPhone4,1", "iPhone 4S"}, {"iPhone5,1", "iPhone 5"},  {"iPhone5,2", "iPhone 5"},
    {"iPad3,4", "iPad"},        {"iPad2,5", "iPad Mini"},   {"iPhone5,3", "iPhone 5c"},
    {"iPhone5,4", "iPhone 5c"}, {"iPhone6,1", "iPhone 5s"}, {"iPhone6,2", "iPhone 5s"},
    {"iPad4,1", "iPad Air"},    {"iPad4,2", "iPad Air"},    {"iPad4,4", "iPad Mini"},
    {"iPad4,5", "iPad Mini"},
}};

// The text of an information-dictionary value; empty when it is missing or not text or a number.
std::string infoText(const tq::Bundle& bundle, std::string_view key) {
  const tq::JSON* value = bundle.objectForInfoDictionaryKey(key);
  if (value == nullptr) {
    return {};
  }
  if (value->is_string()) {
    return value->get<std::string>();
  }
  return value->is_number() ? value->dump() : std::string();
}

// What the "User-Agent" value is built from, less what is fixed for the process (system, model).
struct UserAgentInputs {
  // Held, not just compared by address, so that a new bundle made where a released one lay is
  // never taken for it.
  std::shared_ptr<const tq::Bundle> mainBundle;
  std::shared_ptr<const tq::Bundle> libraryBundle;
  std::string deviceID;
  std::string clientID;

  bool operator==(const UserAgentInputs&) const = default;
};

std::string buildUserAgent(const UserAgentInputs& inputs) {
  std::string text = "QLRAPI-SDK;";
  text += infoText(*inputs.mainBundle, "CFBundleName");
  text += '(';
  text += infoText(*inputs.mainBundle, "CFBundleShortVersionString");
  text += ';';
  text += tq::Device::systemName();
  text += ';';
  text += tq::Device::systemVersion();
  text += ';';
  text += inputs.deviceID;
  text += ';';
  text += TQAPIUtility::deviceModel();
  text += ";Apple)/QuenlarCloudAPI(";
  text += inputs.clientID;
  text += ";iOS;";
  text += infoText(*inputs.libraryBundle, "CFBundleShortVersionString");
  text += ')';
  return text;
}

// The last value built and what it was built from. Every request asks for the value, and its
// inputs change only at sign-in, logout or a device-ID reset.
struct UserAgentCache {
  std::mutex mutex;
  std::optional<UserAgentInputs> inputs;  // guarded by mutex
  std::string value;                      // guarded by mutex
};

UserAgentCache& userAgentCache() {
  // Leaked on purpose: requests may be built during exit.
  static auto* cache = new UserAgentCache;
  return *cache;
}

}  // namespace

std::string TQAPIUtility::deviceModelForMachineCode(std::string_view code) {
  for (const auto& [knownCode, name] : kDeviceNamesByCode) {
    if (code == knownCode) {
      return std::string(name);
    }
  }
  if (code.find("iPod") != std::string_view::npos) {
    return "iPod Touch";
  }
  if (code.find("iPad") != std::string_view::npos) {
    return "iPad";
  }
  if (code.find("iPhone") != std::string_view::npos) {
    return "iPhone";
  }
  return "Simulator";
}

std::string TQAPIUtility::deviceModel() {
  static const std::string deviceName = deviceModelForMachineCode(tq::Device::machine());
  return deviceName;
}

std::string TQAPIUtility::deviceInformationForUserAgent() {
  const auto facade = TQAPISDK::sharedInstance();
  // The device ID comes from the facade's copy of its keychain item in memory; no item is read
  // from storage here once it is known.
  UserAgentInputs inputs{tq::Bundle::mainBundle(), tq::Bundle::libraryBundle(),
                         facade->getDeviceID(), facade->fetchClientID().value_or(std::string())};
  auto& cache = userAgentCache();
  std::lock_guard lock(cache.mutex);
  if (cache.inputs != inputs) {
    cache.value = buildUserAgent(inputs);
    cache.inputs = std::move(inputs);
  }
  return cache.value;
}
