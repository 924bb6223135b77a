// The handler type of the file operations that answer the item they made or changed.
#pragma once

#include <functional>
#include <memory>

class TQResource;
class TQAPIQueryResponse;

// Receives the outcome once, on the main queue: the item as the server answered it (nullptr
// unless the status was the operation's expected one), then the call's outcome.
using TQResourceCompletionHandler =
    std::function<void(const std::shared_ptr<TQResource>& resource,
                       const std::shared_ptr<TQAPIQueryResponse>& response)>;
