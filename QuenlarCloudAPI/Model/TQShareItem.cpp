#include "QuenlarCloudAPI/Model/TQShareItem.h"

#include "QuenlarCloudAPI/API/TQJSONReading.h"
#include "QuenlarCloudAPI/Model/TQShareReading.h"

namespace {

// The first object of "links", or an empty link when there is none.
std::shared_ptr<TQLink> firstLink(const tq::JSON& dictionary) {
  static const tq::JSON kNoLink;
  const auto links = TQJSONReading::objects(TQJSONReading::member(dictionary, "links"));
  return TQLink::initWithDictionary(links.empty() ? kNoLink : *links.front());
}

}  // namespace

std::shared_ptr<TQShareItem> TQShareItem::initWithDictionary(const tq::JSON& dictionary) {
  using TQShareReading::date;
  using TQShareReading::text;
  using TQShareReading::value;
  auto item = std::make_shared<TQShareItem>(Key());
  item->UID_ = text(dictionary, "uid");
  item->name_ = text(dictionary, "name");
  item->totalResourceCount_ = value(dictionary, "totalResourceCount");
  item->expiresIn_ = value(dictionary, "expiresIn");
  item->expirationDate_ = date(dictionary, "expirationDate");
  item->creationDate_ = date(dictionary, "creationDate");
  item->lastModifiedDate_ = date(dictionary, "lastModifiedDate");
  item->inboundLastModifiedDate_ = date(dictionary, "inboundLastModifiedDate");
  item->publicInviteKey_ = text(dictionary, "publicInviteKey");
  item->owner_ = TQUser::initWithDictionary(TQShareReading::object(dictionary, "owner"));
  item->sharer_ = TQUser::initWithDictionary(TQShareReading::object(dictionary, "sharer"));
  item->link_ = firstLink(dictionary);
  item->resources_ = TQShareReading::list<TQShareResource>(dictionary, "resources");
  return item;
}

const TQResourceDateFormatter& TQShareItem::apiDateFormatter() {
  return TQShareReading::apiDateFormatter();
}
