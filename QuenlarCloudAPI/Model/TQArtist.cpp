#include "QuenlarCloudAPI/Model/TQArtist.h"

#include <utility>

#include "QuenlarCloudAPI/Model/TQLocalCollection.h"

std::shared_ptr<TQArtist> TQArtist::initWithValue(std::string_view value) {
  return std::make_shared<TQArtist>(Key{}, std::string(value));
}

void TQArtist::getFileWithCompletionHandler(
    TQMediaListCompletionHandler<TQAudio> completionHandler) const {
  TQLocalCollection::getAudioFiles(TQLocalCollection::kArtistKey, name_,
                                   std::move(completionHandler));
}
