// The file lists of the local collections: an audio album without UID (TQAlbum), an artist
// (TQArtist) and a genre (TQGenre), each known by its name alone. Stateless; safe from any thread.
#pragma once

#include <string_view>

#include "QuenlarCloudAPI/API/Resource_API/Search_API/TQSearchCompletionHandlers.h"
#include "QuenlarCloudAPI/Platform/Predicate.h"

namespace TQLocalCollection {

// The stored attributes the collections are made of.
inline constexpr std::string_view kAlbumKey = "album";
inline constexpr std::string_view kArtistKey = "artist";
inline constexpr std::string_view kGenreKey = "genre";

// The stored audio files of the collection `name` of attribute `key`: those whose value contains
// `name` ignoring case and diacritics, every character of it matched as itself ("*", "?", "%" and
// "_" included), and whose MIME type contains "audio" (letter case kept; no MIME type, no match).
tq::PredicatePtr audioFilesPredicate(std::string_view key, std::string_view name);

// Lists those files after a full sync (TQLocalSearch::searchAudioFiles(): no sort given, so by
// name from Z to A). The handler runs once on the main queue with the files (empty, never
// nullopt, when the sync failed or nothing matched) and the local search's response. Raises the
// missing-parameter exception out of here, nothing sent, while nobody is signed in.
void getAudioFiles(std::string_view key, std::string_view name,
                   TQMediaListCompletionHandler<TQAudio> completionHandler);

}  // namespace TQLocalCollection
