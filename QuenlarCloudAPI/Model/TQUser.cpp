#include "QuenlarCloudAPI/Model/TQUser.h"

#include "QuenlarCloudAPI/Model/TQShareReading.h"

std::shared_ptr<TQUser> TQUser::initWithDictionary(const tq::JSON& dictionary) {
  auto user = std::make_shared<TQUser>(Key());
  user->UID_ = TQShareReading::text(dictionary, "uid");
  return user;
}
