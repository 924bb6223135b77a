// The local search for the library's own searches whose store predicate is built directly rather
// than translated from query text, so that a value taken from the store (an artist's name, say)
// is matched as a value: the translator would read its "*", ":", "(" or " AND " as query syntax.
// TQAPISDK::search() and the media lists take the same road with the translated query.
#pragma once

#include <memory>

#include "QuenlarCloudAPI/API/Resource_API/Search_API/TQSearchCompletionHandlers.h"
#include "QuenlarCloudAPI/Platform/Predicate.h"

namespace TQLocalSearch {

// TQAPISDK::search() on the shared facade with `predicate` in place of the translation of
// `params->query` (the record is still checked as search() checks it, raising out of here), then
// a TQAudio bound to each row found, in the search's order, as the audio list binds them. The
// handler runs once on the main queue with the records (empty, never nullopt, when the sync
// failed or nothing matched) and the search's response.
void searchAudioFiles(const std::shared_ptr<TQSearchAPIParams>& params, tq::PredicatePtr predicate,
                      TQMediaListCompletionHandler<TQAudio> completionHandler);

}  // namespace TQLocalSearch
