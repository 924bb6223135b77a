#include "QuenlarCloudAPI/Model/TQMetadata.h"

#include <utility>

namespace {

// The resource objects of a member that holds a list or a single object.
template <class Visit>
void forEachResourceObject(const tq::JSON& object, const char* key, const Visit& visit) {
  if (!object.is_object()) {
    return;
  }
  const auto member = object.find(key);
  if (member == object.end()) {
    return;
  }
  if (member->is_object()) {
    visit(*member);
  } else if (member->is_array()) {
    for (const auto& element : *member) {
      if (element.is_object()) {
        visit(element);
      }
    }
  }
}

}  // namespace

std::shared_ptr<TQMetadata> TQMetadata::initWithDict(const tq::JSON& dict) {
  auto root = std::make_shared<TQMetadata>();
  std::vector<std::pair<TQMetadata*, const tq::JSON*>> work{{root.get(), &dict}};
  while (!work.empty()) {
    TQMetadata* const listing = work.back().first;
    const tq::JSON* const object = work.back().second;
    work.pop_back();
    listing->loadDict(*object);
    forEachResourceObject(*object, "folder", [&](const tq::JSON& folder) {
      auto subFolder = std::make_shared<TQMetadata>();
      work.emplace_back(subFolder.get(), &folder);
      listing->subFolders_.push_back(std::move(subFolder));
    });
    forEachResourceObject(*object, "file", [&](const tq::JSON& file) {
      listing->subFiles_.push_back(TQResource::initWithDict(file));
    });
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
