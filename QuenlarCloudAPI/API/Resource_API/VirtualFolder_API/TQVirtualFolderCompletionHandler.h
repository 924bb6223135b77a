// The handler type of creating and renaming a virtual folder.
#pragma once

#include <functional>
#include <memory>

class TQResource;
class TQAPIQueryResponse;

// Receives the outcome once, on the main queue: the virtual folder as the server describes it
// (nullptr unless the server answered the operation's expected status with JSON) and the call's
// outcome.
using TQVirtualFolderCompletionHandler =
    std::function<void(const std::shared_ptr<TQResource>& folder,
                       const std::shared_ptr<TQAPIQueryResponse>& response)>;
