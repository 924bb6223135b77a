#include "QuenlarCloudAPI/Model/TQGenre.h"

#include <utility>

#include "QuenlarCloudAPI/Model/TQLocalCollection.h"

std::shared_ptr<TQGenre> TQGenre::initWithValue(std::string_view value) {
  return std::make_shared<TQGenre>(Key{}, std::string(value));
}

void TQGenre::getFileWithCompletionHandler(
    TQMediaListCompletionHandler<TQAudio> completionHandler) const {
  TQLocalCollection::getAudioFiles(TQLocalCollection::kGenreKey, name_,
                                   std::move(completionHandler));
}
