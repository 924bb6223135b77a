// The handler types of the local search and the media lists, and the classes the facade's
// declarations of them name.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "QuenlarCloudAPI/Model/CoreData/TQManagedObjectID.h"

class TQAPIQueryResponse;
class TQSearchAPIParams;
class TQPhoto;
class TQVideo;
class TQAudio;
class TQFile;

// Receives a local search's outcome once, on the main queue: the identifiers of the matching
// stored rows (nullopt when the full sync failed or the page lies past the last), then the full
// sync's combined response.
using TQSearchCompletionHandler =
    std::function<void(const std::optional<std::vector<TQManagedObjectID>>& identifiers,
                       const std::shared_ptr<TQAPIQueryResponse>& response)>;

// Receives a media list once, on the main queue: the records (empty, never nullopt, when there
// are none), then the local search's response.
template <class Item>
using TQMediaListCompletionHandler =
    std::function<void(const std::vector<std::shared_ptr<Item>>& items,
                       const std::shared_ptr<TQAPIQueryResponse>& response)>;
