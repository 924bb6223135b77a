#include "QuenlarCloudAPI/Model/CoreData/TQWriteTransaction.h"

#include <algorithm>
#include <functional>
#include <string>
#include <unordered_set>
#include <utility>

#include "QuenlarCloudAPI/Model/CoreData/TQAttributeRegistry.h"
#include "QuenlarCloudAPI/Model/CoreData/TQDataModel.h"
#include "QuenlarCloudAPI/Model/CoreData/TQEntitySQL.h"
#include "QuenlarCloudAPI/Platform/Predicate.h"
#include "QuenlarCloudAPI/Platform/PredicateSQL.h"

namespace {

using TQEntitySQL::logProblem;
using TQEntitySQL::setError;

// A commit that changed this many rows copies the log back into the database at once, so the log
// does not stay large until some later commit happens to pass the automatic threshold.
constexpr int64_t kCheckpointAfterChanges = 10000;

// The text stays where the caller's values hold it until the row is written: a bulk merge copies
// nothing on the way.
void bindAttributes(tq::SQLiteStatement& statement, const TQResourceValues& values) {
  int index = 1;
  for (const TQAttribute& attribute :
       TQAttributeRegistry::attributesOfEntity(kTQDBResourceEntityName)) {
    attribute.bindValue(values, statement, index++);
  }
}

// Identifiers deleted by one statement: a JSON array of this many stays small to bind.
constexpr size_t kDeletionBatch = 10000;

constexpr tq::ComparisonOptions kFolded{.caseInsensitive = true, .diacriticInsensitive = true};

// Look-ups of a folded path by any prefix of a longer text, without a copy per look-up.
struct PathHash {
  using is_transparent = void;
  size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
};
using FoldedPaths = std::unordered_set<std::string, PathHash, std::equal_to<>>;

bool isASCII(std::string_view text) {
  return std::ranges::all_of(text, [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// The rows whose fullPath, compared as NOCASE does, lies from ?1 up to (not including) ?2.
std::string pathRangeSQL() {
  return "SELECT " + TQDataModel::quotedIdentifier(TQDataModel::kObjectIDColumn) +
         ", \"fullPath\" FROM " + TQDataModel::quotedIdentifier(kTQDBResourceEntityName) +
         " WHERE \"fullPath\" COLLATE NOCASE >= ?1 AND \"fullPath\" COLLATE NOCASE < ?2";
}

// The rows no NOCASE range finds.
std::string pathsOutsideNoCaseSQL() {
  return "SELECT " + TQDataModel::quotedIdentifier(TQDataModel::kObjectIDColumn) +
         ", \"fullPath\" FROM " + TQDataModel::quotedIdentifier(kTQDBResourceEntityName) +
         " WHERE " + TQDataModel::pathOutsideNoCaseCondition();
}

// Whether the folded path is one of `paths` or lies below one: the path itself, or any prefix of
// it that ends just before a "/".
bool isAtOrBelow(std::string_view folded, const FoldedPaths& paths) {
  if (paths.contains(folded)) {
    return true;
  }
  for (size_t slash = folded.find('/', 1); slash != std::string_view::npos;
       slash = folded.find('/', slash + 1)) {
    if (paths.contains(folded.substr(0, slash))) {
      return true;
    }
  }
  return false;
}

std::string jsonArrayOfIdentifiers(std::span<const int64_t> identifiers) {
  std::string array = "[";
  for (const int64_t identifier : identifiers) {
    if (array.size() > 1) {
      array += ',';
    }
    array += std::to_string(identifier);
  }
  return array + "]";
}

std::optional<int64_t> findIdentifier(TQStoreConnections::Connection& connection,
                                      std::string_view entity, std::string_view column,
                                      std::string_view value) {
  auto& statement = connection.statement(TQEntitySQL::selectIDWhereSQL(entity, column));
  statement.bindText(1, value);
  std::optional<int64_t> rowID;
  if (statement.step()) {
    rowID = statement.columnInt64(0);
  }
  statement.reset();
  return rowID;
}

}  // namespace

TQWriteTransaction::TQWriteTransaction(std::shared_ptr<TQStoreConnections> store,
                                       TQStoreConnections::WriterLease lease, uint64_t epoch,
                                       bool isReset)
    : store_(std::move(store)),
      lease_(std::move(lease)),
      relationChecks_(lease_->database(), isReset),
      transaction_(lease_->database(), tq::SQLiteTransaction::Mode::Immediate),
      epoch_(epoch),
      isReset_(isReset),
      changesAtBegin_(lease_->database().totalChanges()) {}

TQWriteTransaction::~TQWriteTransaction() = default;

TQWriteTransaction::RelationChecksOff::RelationChecksOff(tq::SQLiteDatabase& database, bool off)
    : database_(off ? &database : nullptr) {
  // Outside any transaction, where the setting takes effect.
  if (database_ != nullptr) {
    database_->exec("PRAGMA foreign_keys = OFF;");
  }
}

TQWriteTransaction::RelationChecksOff::~RelationChecksOff() {
  if (database_ == nullptr) {
    return;
  }
  try {
    database_->exec("PRAGMA foreign_keys = ON;");
  } catch (const tq::SQLiteError& exception) {
    logProblem(std::string("Turning the store's relation checks back on failed: ") +
               exception.what());
  }
}

std::unique_ptr<TQWriteTransaction> TQWriteTransaction::begin(
    const std::shared_ptr<TQStoreConnections>& store, uint64_t epoch, TQStoreError* error) {
  if (!store) {
    setError(error, TQStoreErrorCode::NoStore, "The store is not open.");
    return nullptr;
  }
  const auto wasReset = [&] {
    if (epoch == store->epoch()) {
      return false;
    }
    setError(error, TQStoreErrorCode::StoreWasReset,
             "The store was emptied since this write's work began.");
    return true;
  };
  // Checked before waiting too, so that a write of a past epoch never queues for the writer.
  if (wasReset()) {
    return nullptr;
  }
  auto lease = store->acquireWriter(store->writerTimeout());
  if (!lease && wasReset()) {
    return nullptr;  // the store was replaced while this write waited
  }
  if (!lease) {
    logProblem("The store stayed busy with another write; this write was not made.");
    setError(error, TQStoreErrorCode::StoreBusy, "Another write held the store too long.");
    return nullptr;
  }
  if (wasReset()) {
    return nullptr;
  }
  try {
    return std::unique_ptr<TQWriteTransaction>(
        new TQWriteTransaction(store, std::move(*lease), epoch, false));
  } catch (...) {
    describeCurrentException(error, "Beginning a write");
    return nullptr;
  }
}

bool TQWriteTransaction::perform(const std::shared_ptr<TQStoreConnections>& store, uint64_t epoch,
                                 const Body& body, TQStoreError* error) {
  auto transaction = begin(store, epoch, error);
  return transaction && run(std::move(transaction), body, error);
}

bool TQWriteTransaction::performReset(const std::shared_ptr<TQStoreConnections>& store,
                                      TQStoreConnections::WriterLease lease, const Body& body,
                                      TQStoreError* error) {
  std::unique_ptr<TQWriteTransaction> transaction;
  try {
    transaction.reset(new TQWriteTransaction(store, std::move(lease), store->epoch(), true));
  } catch (...) {
    describeCurrentException(error, "Beginning a write");
    return false;
  }
  return run(std::move(transaction), body, error);
}

bool TQWriteTransaction::run(std::unique_ptr<TQWriteTransaction> transaction, const Body& body,
                             TQStoreError* error) {
  try {
    body(*transaction);
  } catch (...) {
    describeCurrentException(error, "Writing to the store");
    return false;  // the transaction rolls back as it goes away
  }
  return transaction->commit(error);
}

bool TQWriteTransaction::commit(TQStoreError* error) {
  if (state_ != State::Open) {
    if (state_ == State::RolledBack) {
      setError(error, TQStoreErrorCode::WriteFailed, "This write was already rolled back.");
    }
    return state_ == State::Committed;
  }
  try {
    // A logout that arrived after the last row still wins: committing now would only have the
    // rows deleted again after the logout waited for them.
    checkNotSuperseded();
    transaction_.commit();
  } catch (...) {
    describeCurrentException(error, "Committing a write");
    transaction_.rollback();
    state_ = State::RolledBack;
    return false;
  }
  state_ = State::Committed;
  if (isReset_) {
    store_->beginNewEpoch();
  }
  store_->didCommit();
  checkpointIfLarge();
  return true;
}

void TQWriteTransaction::checkpointIfLarge() {
  auto& database = lease_->database();
  if (database.totalChanges() - changesAtBegin_ < kCheckpointAfterChanges) {
    return;
  }
  try {
    // PASSIVE never waits for readers; pages a reader still needs are copied at a later one.
    database.exec("PRAGMA wal_checkpoint(PASSIVE);");
  } catch (const tq::SQLiteError& exception) {
    logProblem(std::string("Checkpointing the store's log failed: ") + exception.what());
  }
}

void TQWriteTransaction::checkNotSuperseded() const {
  if (!isReset_ && store_->resetPending()) {
    throw TQWriteSupersededError();
  }
}

std::vector<int64_t> TQWriteTransaction::upsertResources(
    std::span<const TQResourceValues> resources) {
  auto& statement =
      connection().statement(TQEntitySQL::statementsFor(kTQDBResourceEntityName).insert);
  std::vector<int64_t> rowIDs;
  rowIDs.reserve(resources.size());
  for (size_t i = 0; i < resources.size(); ++i) {
    if (i % kSupersededCheckInterval == 0) {
      checkNotSuperseded();
    }
    bindAttributes(statement, resources[i]);
    const auto& uri = resources[i].uri;
    rowIDs.push_back(TQEntitySQL::stepInsert(connection(), statement, uri ? &*uri : nullptr));
  }
  statement.clearBindings();  // nothing may point into the caller's values afterwards
  return rowIDs;
}

std::vector<TQWriteTransaction::MergedResource> TQWriteTransaction::mergeResources(
    std::span<const TQResourceValues> resources) {
  // Identifiers are never handed out twice, so every row above the highest one given out so far
  // is new. (The connection's last insert cannot tell: a TQETag row may have had the number.)
  auto& sequence = connection().statement("SELECT seq FROM sqlite_sequence WHERE name = '" +
                                          std::string(kTQDBResourceEntityName) + "'");
  const int64_t highestBefore = sequence.step() ? sequence.columnInt64(0).value_or(0) : 0;
  sequence.reset();
  auto& statement = connection().statement(TQEntitySQL::mergeInsertSQL());
  std::vector<MergedResource> merged;
  merged.reserve(resources.size());
  for (size_t i = 0; i < resources.size(); ++i) {
    if (i % kSupersededCheckInterval == 0) {
      checkNotSuperseded();
    }
    bindAttributes(statement, resources[i]);
    const auto& uri = resources[i].uri;
    const int64_t rowID = TQEntitySQL::stepInsert(connection(), statement, uri ? &*uri : nullptr);
    merged.push_back({rowID, rowID > highestBefore});
  }
  statement.clearBindings();  // nothing may point into the caller's values afterwards
  return merged;
}

int64_t TQWriteTransaction::deleteResourcesAtPaths(std::span<const std::string> paths,
                                                   const std::unordered_set<int64_t>& keep) {
  FoldedPaths folded;
  for (const std::string& path : paths) {
    std::string_view trimmed = path;
    while (!trimmed.empty() && trimmed.back() == '/') {
      trimmed.remove_suffix(1);
    }
    std::string form = tq::Predicate::matchForm(trimmed, kFolded);
    if (!form.empty()) {
      folded.insert(std::move(form));
    }
  }
  if (folded.empty()) {
    return 0;
  }
  std::vector<int64_t> doomed;
  size_t seen = 0;
  const auto collect = [&](tq::SQLiteStatement& rows) {
    while (rows.step()) {
      if (seen++ % kSupersededCheckInterval == 0) {
        checkNotSuperseded();
      }
      const int64_t rowID = rows.columnInt64(0).value_or(0);
      const auto fullPath = rows.columnText(1);
      if (fullPath && !keep.contains(rowID) &&
          isAtOrBelow(tq::Predicate::matchForm(*fullPath, kFolded), folded)) {
        doomed.push_back(rowID);
      }
    }
    rows.reset();
  };
  checkNotSuperseded();
  // A path of printable ASCII folds to its NOCASE form, so such rows at or below a folded path
  // sort from that path up to the path followed by "0" (the character after "/"), among siblings
  // that merely begin with it, which the exact test above turns away. No such row folds to a
  // path that is not ASCII. Rows of any other path are read apart.
  auto& range = connection().statement(pathRangeSQL());
  for (const std::string& path : folded) {
    if (isASCII(path)) {
      range.bindText(1, path);
      range.bindText(2, path + "0");
      collect(range);
    }
  }
  range.clearBindings();
  collect(connection().statement(pathsOutsideNoCaseSQL()));
  // A row below two of the paths, or in a range and outside NOCASE, is found twice.
  std::ranges::sort(doomed);
  doomed.erase(std::unique(doomed.begin(), doomed.end()), doomed.end());
  int64_t deleted = 0;
  auto& deletion =
      connection().statement(TQEntitySQL::deleteWhereIdentifierInSQL(kTQDBResourceEntityName));
  for (size_t first = 0; first < doomed.size(); first += kDeletionBatch) {
    checkNotSuperseded();
    const size_t count = std::min(kDeletionBatch, doomed.size() - first);
    deletion.bindText(1, jsonArrayOfIdentifiers(std::span(doomed).subspan(first, count)));
    deletion.step();
    deletion.reset();
    deleted += connection().database().changes();
  }
  return deleted;
}

int64_t TQWriteTransaction::deleteObjectsWhereIn(std::string_view entity, std::string_view key,
                                                 std::span<const tq::Value> values) {
  checkNotSuperseded();
  const TQAttribute* attribute = TQAttributeRegistry::findAttribute(entity, key);
  if (attribute == nullptr) {
    throw TQUnknownKeyError(TQEntitySQL::unknownKeyMessage(entity, key));
  }
  int64_t deleted = 0;
  size_t members = 0;
  const std::string array = TQEntitySQL::jsonArrayForColumn(attribute->kind, values, members);
  if (members > 0) {
    auto& statement = connection().statement(TQEntitySQL::deleteWhereInSQL(*attribute));
    statement.bindText(1, array);
    statement.step();
    statement.reset();
    deleted += connection().database().changes();
  }
  if (attribute->kind != TQAttributeKind::Text) {
    return deleted;
  }
  for (const tq::Value& value : values) {
    const auto* text = std::get_if<std::string>(&value);
    if (text != nullptr && text->find('\0') != std::string::npos) {
      auto& statement = connection().statement(TQEntitySQL::deleteWhereEqualSQL(*attribute));
      statement.bindText(1, *text);
      statement.step();
      statement.reset();
      deleted += connection().database().changes();
    }
  }
  return deleted;
}

std::optional<int64_t> TQWriteTransaction::resourceRowID(std::string_view uri) {
  return findIdentifier(connection(), kTQDBResourceEntityName, "uri", uri);
}

std::optional<int64_t> TQWriteTransaction::eTagRowID(std::string_view eTagID) {
  return findIdentifier(connection(), kTQETagEntityName, "eTagID", eTagID);
}

int64_t TQWriteTransaction::writeETag(std::string_view eTagID,
                                      const std::optional<std::string>& eTag) {
  checkNotSuperseded();
  const auto& statements = TQEntitySQL::statementsFor(kTQETagEntityName);
  const std::vector<tq::Value> values = {TQValueOf(eTag), tq::Value(std::string(eTagID))};
  if (const auto rowID = eTagRowID(eTagID)) {
    auto& update = connection().statement(statements.update);
    tq::bindValues(update, values);
    update.bindInt64(static_cast<int>(values.size()) + 1, *rowID);
    update.step();
    update.reset();
    return *rowID;
  }
  auto& insert = connection().statement(statements.insert);
  tq::bindValues(insert, values);
  return TQEntitySQL::stepInsert(connection(), insert, nullptr);
}

void TQWriteTransaction::relateResources(int64_t eTagRowID,
                                         std::span<const int64_t> resourceRowIDs) {
  auto& statement = connection().statement(TQEntitySQL::relationshipInsertSQL());
  for (size_t i = 0; i < resourceRowIDs.size(); ++i) {
    if (i % kSupersededCheckInterval == 0) {
      checkNotSuperseded();
    }
    statement.bindInt64(1, eTagRowID);
    statement.bindInt64(2, resourceRowIDs[i]);
    statement.step();
    statement.reset();
  }
}

void TQWriteTransaction::describeCurrentException(TQStoreError* error, const char* operation) {
  try {
    throw;
  } catch (const TQWriteSupersededError& exception) {
    setError(error, TQStoreErrorCode::Superseded, exception.what());
  } catch (const tq::SQLiteError& exception) {
    const bool busy = exception.code() == tq::SQLiteError::kBusy;
    logProblem(std::string(operation) + " failed: " + exception.what());
    setError(error, busy ? TQStoreErrorCode::StoreBusy : TQStoreErrorCode::SQLiteFailure,
             exception.what());
  } catch (const TQUnknownKeyError& exception) {
    logProblem(std::string(operation) + " failed: " + exception.what());
    setError(error, TQStoreErrorCode::UnknownKey, exception.what());
  } catch (...) {
    // Nothing of the exception is logged: the text of one from the caller's code may hold stored
    // values.
    logProblem(std::string(operation) + " failed: the write's own code threw.");
    setError(error, TQStoreErrorCode::WriteFailed,
             "The write's own code threw; nothing of it was committed.");
  }
}
