#include "QuenlarCloudAPI/Model/TQAlbum.h"

#include <utility>

#include "QuenlarCloudAPI/Model/TQAudio.h"
#include "QuenlarCloudAPI/Model/TQLocalCollection.h"
#include "QuenlarCloudAPI/Model/TQPlaylist.h"
#include "QuenlarCloudAPI/Model/TQResource.h"

TQAlbum::TQAlbum(Key /*key*/, std::shared_ptr<const TQPlaylist> definition)
    : definition_(std::move(definition)) {}

std::shared_ptr<TQAlbum> TQAlbum::initWithDict(const tq::JSON& dict) {
  return std::make_shared<TQAlbum>(Key{}, TQPlaylist::initWithDictionary(dict));
}

const std::optional<std::string>& TQAlbum::UID() const { return definition_->UID(); }
const std::optional<std::string>& TQAlbum::name() const { return definition_->name(); }
const std::optional<std::string>& TQAlbum::type() const { return definition_->type(); }
const std::optional<std::string>& TQAlbum::mimeTypeRegx() const {
  return definition_->mimeTypeRegx();
}
const std::optional<std::vector<std::string>>& TQAlbum::paths() const {
  return definition_->paths();
}
const std::optional<std::string>& TQAlbum::uri() const { return definition_->uri(); }

bool TQAlbum::isServerAlbum() const { return UID().has_value() && !UID()->empty(); }

void TQAlbum::getFileWithCompletionHandler(TQAlbumFilesCompletionHandler completionHandler) const {
  if (isServerAlbum()) {
    definition_->getFileWithCompletionHandler(
        [completionHandler = std::move(completionHandler)](
            const std::optional<std::vector<std::shared_ptr<TQResource>>>& items,
            const std::shared_ptr<TQAPIQueryResponse>& response) {
          if (completionHandler) {
            completionHandler(TQAlbumFiles(items), response);
          }
        });
    return;
  }
  // A nil name is formatted as the text "(null)", and that text is what is searched for.
  TQLocalCollection::getAudioFiles(TQLocalCollection::kAlbumKey, name().value_or("(null)"),
                                   [completionHandler = std::move(completionHandler)](
                                       const std::vector<std::shared_ptr<TQAudio>>& audioFiles,
                                       const std::shared_ptr<TQAPIQueryResponse>& response) {
                                     if (completionHandler) {
                                       completionHandler(TQAlbumFiles(audioFiles), response);
                                     }
                                   });
}
