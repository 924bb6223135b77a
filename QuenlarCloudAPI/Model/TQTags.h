// TQTags: the tags of one resource, as the server answered them to a tags reading or setting.
// Built on the delegate queue, then only read; safe to read from any thread.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "QuenlarCloudAPI/Platform/JSON.h"

class TQTags {
 public:
  TQTags() = default;

  // The record of a whole answer: tags() is the text form of its "Tags" member (text as it is, a
  // number in decimal, a list or object as compact JSON); nullopt (nil) when the answer is no
  // object, lacks the member or holds null there.
  static std::shared_ptr<TQTags> initWithDictionary(const tq::JSON& dictionary);

  // The tags as one text, written as the server keeps them.
  const std::optional<std::string>& tags() const { return tags_; }

 private:
  std::optional<std::string> tags_;
};
