// The local search for the library's own uses that TQAPISDK::search() and the media lists do not
// serve as they stand: a store predicate built directly rather than translated from query text,
// so that a value taken from the store (an artist's name, say) is matched as a value (the
// translator would read its "*", ":", "(" or " AND " as query syntax); and one attribute of the
// audio list's rows read without binding a record to each. Both take the local search's own road:
// the record's check, the full sync, the fetch on the global queue, the handler on the main queue.
#pragma once

#include <functional>
#include <memory>
#include <string_view>
#include <vector>

#include "QuenlarCloudAPI/API/Resource_API/Search_API/TQSearchCompletionHandlers.h"
#include "QuenlarCloudAPI/Platform/Predicate.h"
#include "QuenlarCloudAPI/Platform/Value.h"

// Receives the values of one attribute of the audio list's rows once, on the main queue (empty,
// never nullopt, when the sync failed or there is no audio file), then the search's response.
using TQAudioListValuesHandler = std::function<void(
    const std::vector<tq::Value>& values, const std::shared_ptr<TQAPIQueryResponse>& response)>;

namespace TQLocalSearch {

// TQAPISDK::search() on the shared facade with `predicate` in place of the translation of
// `params->query` (the record is still checked as search() checks it, raising out of here), then
// a TQAudio bound to each row found, in the search's order, as the audio list binds them. The
// handler runs once on the main queue with the records (empty, never nullopt, when the sync
// failed or nothing matched) and the search's response.
void searchAudioFiles(const std::shared_ptr<TQSearchAPIParams>& params, tq::PredicatePtr predicate,
                      TQMediaListCompletionHandler<TQAudio> completionHandler);

// The value of the attribute `key` (nil as std::monostate) of each file of the audio list
// (TQAPISDK::getAudiosWithCompletionHandler()), in its order, by the same search after the same
// full sync: what its records would answer for that key. Raises as the audio list does.
void audioListValues(std::string_view key, TQAudioListValuesHandler completionHandler);

}  // namespace TQLocalSearch
