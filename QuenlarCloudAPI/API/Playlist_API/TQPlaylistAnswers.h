// Reading the playlist endpoints' answers into records, the same way on the single-call road and
// in a batch. Answers are untrusted: a member of another shape reads as absent, never throws.
// Wherever a list is expected, a single object counts as a list of one, elements that are not
// objects are skipped, and an absent member gives an empty list. Stateless; safe from any thread.
#pragma once

#include <memory>
#include <vector>

#include "QuenlarCloudAPI/API/TQAPIQueryResponse.h"

class TQAlbum;
class TQPlaylist;
class TQResource;

namespace TQPlaylistAnswers {

// The playlists of a listing: one per object under "playlistDefinitions", "playlistDefinition",
// in answer order.
std::vector<std::shared_ptr<TQPlaylist>> playlists(const TQAPIQueryResponse& response);

// The same listing's definitions as albums, which is how a batch of listings reads them.
std::vector<std::shared_ptr<TQAlbum>> albums(const TQAPIQueryResponse& response);

// The playlist of the answer's "playlistDefinition" object. An answer without one (or one that is
// not JSON) still gives a playlist, with every field nil but the name, "(null)": the status said
// the operation succeeded.
std::shared_ptr<TQPlaylist> playlist(const TQAPIQueryResponse& response);

// A playlist's items: one resource record per object under "playlist", "playlistElement".
std::vector<std::shared_ptr<TQResource>> items(const TQAPIQueryResponse& response);

// The added items: one resource record per object of the answer's "paths".
std::vector<std::shared_ptr<TQResource>> addedItems(const TQAPIQueryResponse& response);

}  // namespace TQPlaylistAnswers
