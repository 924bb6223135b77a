#include "QuenlarCloudAPI/API/Resource_API/TQResourceAPIParams.h"

#include <stdexcept>
#include <typeinfo>

#include "QuenlarCloudAPI/API/TQException.h"

bool TQResourceAPIParams::validateParameters() const {
  if (accessToken.empty()) {
    throwMissingParameterException(TQLocalizedString("access_token"));
  }
  return true;
}

std::shared_ptr<TQResourceAPIParams> TQResourceAPIParams::copy() const {
  auto record = newInstance();
  const TQResourceAPIParams* made = record.get();
  if (made == nullptr || typeid(*made) != typeid(*this)) {
    throw std::logic_error(std::string("parameter record class ") + typeid(*this).name() +
                           " does not override newInstance()");
  }
  record->accessToken = accessToken;
  return record;
}

std::shared_ptr<TQResourceAPIParams> TQResourceAPIParams::newInstance() const {
  return std::make_shared<TQResourceAPIParams>();
}
