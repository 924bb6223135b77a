#include "QuenlarCloudAPI/Model/TQShare.h"

#include "QuenlarCloudAPI/Model/TQShareReading.h"

std::shared_ptr<TQShare> TQShare::initWithDictionary(const tq::JSON& dictionary) {
  auto share = std::make_shared<TQShare>(Key());
  share->count_ = TQShareReading::value(dictionary, "count");
  share->links_ = TQShareReading::list<TQLink>(dictionary, "links");
  share->shareList_ = TQShareReading::list<TQShareItem>(dictionary, "share");
  return share;
}
