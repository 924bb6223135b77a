#include "QuenlarCloudAPI/API/TQException.h"

#include "QuenlarCloudAPI/Platform/Bundle.h"

std::string TQLocalizedString(const std::string& key) {
  return tq::Bundle::mainBundle()->localizedString(key, "", "");
}
