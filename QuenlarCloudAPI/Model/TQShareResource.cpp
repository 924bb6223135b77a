#include "QuenlarCloudAPI/Model/TQShareResource.h"

#include "QuenlarCloudAPI/Model/TQShareReading.h"

std::shared_ptr<TQShareResource> TQShareResource::initWithDictionary(const tq::JSON& dictionary) {
  using TQShareReading::date;
  using TQShareReading::text;
  using TQShareReading::value;
  auto resource = std::make_shared<TQShareResource>(Key());
  resource->uid_ = text(dictionary, "uid");
  resource->checksum_ = text(dictionary, "checksum");
  resource->contentToken_ = text(dictionary, "contentToken");
  resource->lastModifiedDate_ = date(dictionary, "lastModifiedDate");
  resource->location_ = text(dictionary, "location");
  resource->name_ = text(dictionary, "name");
  resource->resourceId_ = text(dictionary, "resourceId");
  resource->size_ = value(dictionary, "size");
  resource->type_ = text(dictionary, "type");
  resource->subType_ = text(dictionary, "subType");
  resource->url_ = text(dictionary, "url");
  return resource;
}

const TQResourceDateFormatter& TQShareResource::apiDateFormatter() {
  return TQShareReading::apiDateFormatter();
}
