// The handler types of the playlist operations. Each receives its operation's outcome once, on
// the main queue.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class TQAPIQueryResponse;
class TQPlaylist;
class TQResource;

// A list of playlists (nullopt unless the server answered with the expected status) and the
// call's outcome.
using TQPlaylistsCompletionHandler =
    std::function<void(const std::optional<std::vector<std::shared_ptr<TQPlaylist>>>& playlists,
                       const std::shared_ptr<TQAPIQueryResponse>& response)>;

// One playlist (nullptr unless the server answered with the expected status) and the call's
// outcome.
using TQPlaylistCompletionHandler =
    std::function<void(const std::shared_ptr<TQPlaylist>& playlist,
                       const std::shared_ptr<TQAPIQueryResponse>& response)>;

// A playlist's items as resource records (nullopt unless the server answered with the expected
// status) and the call's outcome.
using TQPlaylistItemsCompletionHandler =
    std::function<void(const std::optional<std::vector<std::shared_ptr<TQResource>>>& items,
                       const std::shared_ptr<TQAPIQueryResponse>& response)>;
