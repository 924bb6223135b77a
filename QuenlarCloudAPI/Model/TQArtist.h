// TQArtist: one artist of the account's audio files, known by its name alone: the distinct values
// of the audio files' artist in the local store (TQAPISDK::getArtistsWithCompletionHandler()).
// Read-only once built, so it is safe from any thread. Not copyable: records are shared through
// std::shared_ptr.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "QuenlarCloudAPI/API/Resource_API/Search_API/TQSearchCompletionHandlers.h"

class TQArtist {
  struct Key {};

 public:
  TQArtist(Key /*key*/, std::string name) : name_(std::move(name)) {}
  TQArtist(const TQArtist&) = delete;
  TQArtist& operator=(const TQArtist&) = delete;

  // The artist named `value`.
  static std::shared_ptr<TQArtist> initWithValue(std::string_view value);

  const std::string& name() const { return name_; }

  // The audio files whose artist contains the name, as TQLocalCollection::getAudioFiles() lists
  // them: once, on the main queue, never nullopt. Raises the missing-parameter exception out of
  // here, with nothing sent, while nobody is signed in.
  void getFileWithCompletionHandler(TQMediaListCompletionHandler<TQAudio> completionHandler) const;

 private:
  std::string name_;
};
