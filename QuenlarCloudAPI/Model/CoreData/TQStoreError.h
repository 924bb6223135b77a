// TQStoreError: why a fetch, a deletion or a save of the local store failed, handed back through
// the out-parameter of the store's operations. Its text never holds a stored or bound value, so
// it may be logged.
#pragma once

#include <string>

enum class TQStoreErrorCode {
  None = 0,
  NoStore,        // the store file could not be opened; the library runs without a store
  SQLiteFailure,  // SQLite refused a statement (the description carries its message)
  UnknownKey,     // a predicate or sort key that is not an attribute of the entity
  StoreWasReset,  // the store was emptied (logout) after the context was made for it
  NoSuchObject,   // no row has that identifier (never stored, or deleted since)
};

struct TQStoreError {
  TQStoreErrorCode code = TQStoreErrorCode::None;
  std::string localizedDescription;
};
