// The handler type of the trash listing.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class TQMetadata;
class TQAPIQueryResponse;

// Receives a trash listing's outcome once, on the main queue: the trashed items (nullopt, the
// interface's nil, when the listing failed, when there is no virtual folder, or for a page past
// the last) and the response that decided it (nullptr when there was no virtual folder).
using TQTrashCompletionHandler =
    std::function<void(const std::optional<std::vector<std::shared_ptr<TQMetadata>>>& items,
                       const std::shared_ptr<TQAPIQueryResponse>& response)>;
