#include "QuenlarCloudAPI/Model/TQPlaylist.h"

#include <utility>

#include "QuenlarCloudAPI/API/Playlist_API/TQGetPlaylistItemsAPIParams.h"
#include "QuenlarCloudAPI/API/TQJSONReading.h"
#include "QuenlarCloudAPI/Platform/Dispatch.h"
#include "QuenlarCloudAPI/TQAPISDK.h"

namespace {

std::optional<std::string> textOf(const tq::JSON* value) {
  if (value != nullptr && value->is_number()) {
    return TQJSONReading::description(value);
  }
  return TQJSONReading::string(value);
}

std::optional<std::string> nameOf(const tq::JSON& dictionary) {
  if (!dictionary.is_object()) {
    return "(null)";
  }
  const auto found = dictionary.find("name");
  if (found == dictionary.end()) {
    return "(null)";
  }
  if (found->is_null()) {
    return std::nullopt;
  }
  return TQJSONReading::description(&*found);
}

std::optional<std::vector<std::string>> pathsOf(const tq::JSON* value) {
  if (value == nullptr || !value->is_array()) {
    return std::nullopt;
  }
  std::vector<std::string> paths;
  for (const auto& element : *value) {
    if (element.is_string()) {
      paths.push_back(element.get<std::string>());
    }
  }
  return paths;
}

}  // namespace

std::shared_ptr<TQPlaylist> TQPlaylist::initWithDictionary(const tq::JSON& dictionary) {
  auto playlist = std::make_shared<TQPlaylist>(Key{});
  playlist->UID_ = textOf(TQJSONReading::member(dictionary, "uid"));
  playlist->name_ = nameOf(dictionary);
  playlist->type_ = textOf(TQJSONReading::member(dictionary, "type"));
  playlist->mimeTypeRegx_ = textOf(TQJSONReading::member(dictionary, "mimeTypeRegex"));
  playlist->paths_ = pathsOf(TQJSONReading::member(dictionary, "paths"));
  playlist->uri_ = textOf(TQJSONReading::member(dictionary, "uri"));
  return playlist;
}

void TQPlaylist::getFileWithCompletionHandler(
    TQPlaylistItemsCompletionHandler completionHandler) const {
  auto params = std::make_shared<TQGetPlaylistItemsAPIParams>();
  params->playlistUID = UID_.value_or("");
  TQAPISDK::sharedInstance()->getPlaylistItems(
      std::move(params), [completionHandler = std::move(completionHandler)](
                             const std::optional<std::vector<std::shared_ptr<TQResource>>>& items,
                             const std::shared_ptr<TQAPIQueryResponse>& response) {
        // A step of its own on the main queue, so the host hears after whatever the items
        // operation's delivery queued there.
        tq::mainQueue().async([completionHandler, items, response] {
          if (completionHandler) {
            completionHandler(items, response);
          }
        });
      });
}
