// The handler type of the metadata listing.
#pragma once

#include <functional>
#include <memory>

class TQMetadata;
class TQAPIQueryResponse;

// Receives a metadata listing's outcome once, on the main queue: the listing (nullptr unless the
// server answered 200 with JSON) and the call's outcome.
using TQMetadataCompletionHandler =
    std::function<void(const std::shared_ptr<TQMetadata>& metadata,
                       const std::shared_ptr<TQAPIQueryResponse>& response)>;
