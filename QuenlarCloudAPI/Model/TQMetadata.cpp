#include "QuenlarCloudAPI/Model/TQMetadata.h"

#include <utility>

#include "QuenlarCloudAPI/API/TQJSONReading.h"

std::shared_ptr<TQMetadata> TQMetadata::initWithDict(const tq::JSON& dict) {
  auto root = std::make_shared<TQMetadata>();
  std::vector<std::pair<TQMetadata*, const tq::JSON*>> work{{root.get(), &dict}};
  while (!work.empty()) {
    TQMetadata* const listing = work.back().first;
    const tq::JSON* const object = work.back().second;
    work.pop_back();
    listing->loadDict(*object);
    for (const tq::JSON* folder :
         TQJSONReading::objects(TQJSONReading::member(*object, "folder"))) {
      auto subFolder = std::make_shared<TQMetadata>();
      work.emplace_back(subFolder.get(), folder);
      listing->subFolders_.push_back(std::move(subFolder));
    }
    for (const tq::JSON* file : TQJSONReading::objects(TQJSONReading::member(*object, "file"))) {
      listing->subFiles_.push_back(TQResource::initWithDict(*file));
    }
  }
  return root;
}

TQMetadata::~TQMetadata() {
  // Unlinks the tree level by level, so that a deep listing is not torn down by recursion.
  auto pending = std::move(subFolders_);
  while (!pending.empty()) {
    auto folder = std::move(pending.back());
    pending.pop_back();
    if (folder && folder.use_count() == 1) {
      for (auto& child : folder->subFolders_) {
        pending.push_back(std::move(child));
      }
      folder->subFolders_.clear();
    }
  }
}
