#include "QuenlarCloudAPI/Model/TQLink.h"

#include "QuenlarCloudAPI/Model/TQShareReading.h"

std::shared_ptr<TQLink> TQLink::initWithDictionary(const tq::JSON& dictionary) {
  auto link = std::make_shared<TQLink>(Key());
  link->rel_ = TQShareReading::text(dictionary, "rel");
  link->link_ = TQShareReading::text(dictionary, "link");
  return link;
}
