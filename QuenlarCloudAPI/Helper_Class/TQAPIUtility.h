// TQAPIUtility: the "User-Agent" value that every request with headers carries, and the device's
// model name. Safe from any thread.
#pragma once

#include <string>
#include <string_view>

class TQAPIUtility {
 public:
  TQAPIUtility() = delete;

  // The "User-Agent" value:
  //   QLRAPI-SDK;<app name>(<app version>;<system name>;<system version>;<device ID>;<model>;
  //   Apple)/QuenlarCloudAPI(<client ID>;iOS;<library version>)
  // (one line). A value that is missing is written as empty text, so the separators always
  // stand; values are not escaped. Reads, or on first use creates and stores, the device ID.
  // The text is kept and answered again until the device ID, the client ID or the main or library
  // bundle (Bundle::setMainBundlePath, setLibraryBundlePath) changes; each call answers the text
  // for the values it read, so a change shows in the next call that follows it.
  static std::string deviceInformationForUserAgent();

  // The device's model name for its machine code; worked out on the first call and kept.
  static std::string deviceModel();

  // The model name for a machine code: the known codes by name, else "iPod Touch", "iPad" or
  // "iPhone" when the code contains that word (tested in this order, case-sensitively), else
  // "Simulator".
  static std::string deviceModelForMachineCode(std::string_view code);
};
