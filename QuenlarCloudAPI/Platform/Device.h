// Device: what the library tells the server about the machine it runs on: the system's name
// (e.g. "Linux"), its version (the kernel release) and the machine code (e.g. "x86_64"), and the
// subscriber's carrier token, which only the host can supply.
//
// Safe from any thread. The carrier-token provider is called on the caller's thread, never under
// a lock of ours, and may be replaced at any time.
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace tq::Device {

std::string systemName();
std::string systemVersion();
std::string machine();

using CarrierTokenProvider = std::function<std::optional<std::string>()>;

// Installs the host's provider; an empty function removes it.
void setCarrierTokenProvider(CarrierTokenProvider provider);

// The provider's answer, read afresh at every call; nullopt when no provider is set.
std::optional<std::string> carrierToken();

}  // namespace tq::Device
