#include "QuenlarCloudAPI/APIOperation/Operations/Trash/TQGetTrashAPIResponseOperation.h"

#include "QuenlarCloudAPI/API/TQJSONReading.h"

namespace TQTrashAnswer {

std::vector<std::shared_ptr<TQMetadata>> items(const TQAPIQueryResponse& response) {
  const auto json = response.jsonResponse();
  std::vector<std::shared_ptr<TQMetadata>> trashed;
  for (const tq::JSON* trashCan :
       TQJSONReading::objects(TQJSONReading::member(json.get(), "trashCan"))) {
    for (const char* kind : {"file", "folder"}) {
      for (const tq::JSON* item : TQJSONReading::objects(TQJSONReading::member(*trashCan, kind))) {
        trashed.push_back(TQMetadata::initWithDict(*item));
      }
    }
  }
  return trashed;
}

}  // namespace TQTrashAnswer
