// TQFullViewMerge: writes one fullview answer (status 200) into the local store, as the full
// sync's response operation does for each virtual folder.
//
// The whole answer is one write transaction (TQPersistentStore::performWrite): the folder's ETag,
// its new rows and its deletions commit together or not at all, so the stored ETag always
// describes the rows beside it, also when the process dies half-way. Merges are serialised on the
// store's single writer and look every uri up inside their own transaction, so merges running
// side by side never store one uri twice. A merge made for an epoch that a logout has ended
// commits nothing.
//
// In the transaction:
// - the TQETag row of `folderKey` (made when missing) takes `eTag`, nil included;
// - each resource object of the answer whose uri names a stored row changes only that row's tags;
//   any other is inserted and related to the folder's TQETag row;
// - the rows at or below each deleted path go, except those the answer itself lists as live (an
//   item deleted and made anew at the same path since the last sync stays); see
//   TQWriteTransaction::deleteResourcesAtPaths. No path, nothing deleted.
// An answer that is not a well-formed JSON object changes nothing: storing its ETag would skip its
// changes for good.
//
// Safe from any thread; runs on the caller's thread and blocks while another write holds the store.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "QuenlarCloudAPI/API/Resource_API/FullView_API/TQAnswerSpool.h"
#include "QuenlarCloudAPI/Model/CoreData/TQStoreError.h"

class TQPersistentStore;

namespace TQFullViewMerge {

// Called after each batch of resources has been written (not yet committed), with the number
// written so far.
using Progress = std::function<void(size_t resourcesWritten)>;

enum class Result {
  Merged,      // committed
  Unreadable,  // not one well-formed JSON object (or its spool failed); nothing written
  NotStored,   // the store was missing, busy, failing, or emptied by a logout; nothing written
};

// Merges the answer in `body`. `folderKey` is the TQETag row's eTagID; without one, no ETag is
// stored. Unless Merged, `error` says why the store wrote nothing.
Result merge(TQPersistentStore& store, uint64_t epoch, const std::optional<std::string>& folderKey,
             const std::optional<std::string>& eTag, const TQAnswerSpool& body, TQStoreError* error,
             const Progress& progress = nullptr);

}  // namespace TQFullViewMerge
