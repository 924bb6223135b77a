// TQGenre: one genre of the account's audio files, known by its name alone: the distinct values of
// the audio files' genre in the local store (TQAPISDK::getGenresWithCompletionHandler()). Read-only
// once built, so it is safe from any thread. Not copyable: records are shared through
// std::shared_ptr.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "QuenlarCloudAPI/API/Resource_API/Search_API/TQSearchCompletionHandlers.h"

class TQGenre {
  struct Key {};

 public:
  TQGenre(Key /*key*/, std::string name) : name_(std::move(name)) {}
  TQGenre(const TQGenre&) = delete;
  TQGenre& operator=(const TQGenre&) = delete;

  // The genre named `value`.
  static std::shared_ptr<TQGenre> initWithValue(std::string_view value);

  const std::string& name() const { return name_; }

  // The audio files whose genre contains the name, as TQLocalCollection::getAudioFiles() lists
  // them: once, on the main queue, never nullopt. Raises the missing-parameter exception out of
  // here, with nothing sent, while nobody is signed in.
  void getFileWithCompletionHandler(TQMediaListCompletionHandler<TQAudio> completionHandler) const;

 private:
  std::string name_;
};
