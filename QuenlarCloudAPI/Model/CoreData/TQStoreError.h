// TQStoreError: why a fetch, a deletion or a save of the local store failed, handed back through
// the out-parameter of the store's operations. Its text never holds a stored or bound value, so
// it may be logged. Below it, the two exceptions that a write transaction's operations throw
// besides tq::SQLiteError, which TQWriteTransaction::perform turns into a TQStoreError.
#pragma once

#include <stdexcept>
#include <string>

enum class TQStoreErrorCode {
  None = 0,
  NoStore,        // the store file could not be opened; the library runs without a store
  SQLiteFailure,  // SQLite refused a statement (the description carries its message)
  UnknownKey,     // a predicate or sort key that is not an attribute of the entity
  StoreWasReset,  // the store was emptied (logout) after the write's epoch began
  NoSuchObject,   // no row has that identifier (never stored, or deleted since)
  StoreBusy,      // another write held the store for longer than a write waits; nothing written
  Superseded,     // a logout began while the write ran; it rolled back to let the store be emptied
  WriteFailed,    // the write's own code threw; everything it wrote was rolled back
};

struct TQStoreError {
  TQStoreErrorCode code = TQStoreErrorCode::None;
  std::string localizedDescription;
};

// Thrown out of a write transaction's operations once a logout has asked it to give way.
class TQWriteSupersededError : public std::runtime_error {
 public:
  TQWriteSupersededError()
      : std::runtime_error("A logout began while this write ran; nothing of it was committed.") {}
};

// Thrown by an operation given a key that is not an attribute of the entity; its text names the
// key, shortened and made printable.
class TQUnknownKeyError : public std::invalid_argument {
 public:
  using std::invalid_argument::invalid_argument;
};
