#include "QuenlarCloudAPI/Model/CoreData/TQManagedObjectContext.h"

#include <algorithm>
#include <utility>

#include "QuenlarCloudAPI/Model/CoreData/TQAttributeRegistry.h"
#include "QuenlarCloudAPI/Model/CoreData/TQDBResource.h"
#include "QuenlarCloudAPI/Model/CoreData/TQDataModel.h"
#include "QuenlarCloudAPI/Model/CoreData/TQETag.h"
#include "QuenlarCloudAPI/Model/CoreData/TQEntitySQL.h"
#include "QuenlarCloudAPI/Model/CoreData/TQManagedObject.h"
#include "QuenlarCloudAPI/Model/CoreData/TQObjectBlocks.h"
#include "QuenlarCloudAPI/Model/CoreData/TQObjectRegistry.h"
#include "QuenlarCloudAPI/Model/CoreData/TQStoreConnections.h"
#include "QuenlarCloudAPI/Model/CoreData/TQWriteTransaction.h"
#include "QuenlarCloudAPI/Platform/SQLite.h"

namespace {

using TQEntitySQL::bindValues;
using TQEntitySQL::buildQuery;
using TQEntitySQL::isEntity;
using TQEntitySQL::logProblem;
using TQEntitySQL::printableKey;
using TQEntitySQL::readColumn;
using TQEntitySQL::readRowOn;
using TQEntitySQL::readRowValues;
using TQEntitySQL::renderPredicate;
using TQEntitySQL::setError;
using TQEntitySQL::statementsFor;
using TQEntitySQL::whereClause;
using Connection = TQStoreConnections::Connection;
using TQDataModel::quotedIdentifier;

// Rows read by one statement of existingObjectsWithIDs: a JSON array of this many stays small.
constexpr size_t kRowsPerRead = 5000;

// Terms of one OR that a deletion applies at a time: far below SQLite's expression depth limit.
constexpr size_t kDeletionSlice = 100;

// The key and values of an OR of equality comparisons without options, all of one attribute of
// the entity and none with nil: what deleteObjectsWhereIn deletes as one set.
struct EqualitySet {
  std::string key;
  std::vector<tq::Value> values;
};

std::optional<EqualitySet> equalitySet(std::string_view entity, const tq::PredicatePtr& predicate) {
  if (!predicate || predicate->type() != tq::Predicate::Type::Or || predicate->operands().empty()) {
    return std::nullopt;
  }
  EqualitySet set{predicate->operands().front()->key(), {}};
  if (TQAttributeRegistry::findAttribute(entity, set.key) == nullptr) {
    return std::nullopt;  // the predicate's own road logs the unknown key
  }
  set.values.reserve(predicate->operands().size());
  for (const auto& operand : predicate->operands()) {
    const auto options = operand->options();
    if (operand->type() != tq::Predicate::Type::Comparison ||
        operand->comparisonOperator() != tq::ComparisonOperator::Equal || options.caseInsensitive ||
        options.diacriticInsensitive || operand->key() != set.key ||
        std::holds_alternative<std::monostate>(operand->value())) {
      return std::nullopt;
    }
    set.values.push_back(operand->value());
  }
  return set;
}

// Where the attribute `key` stands among the entity's row values; past the end when it is none.
size_t attributeIndex(std::string_view entity, std::string_view key) {
  const auto attributes = TQAttributeRegistry::attributesOfEntity(entity);
  const TQAttribute* attribute = TQAttributeRegistry::findAttribute(entity, key);
  return attribute == nullptr ? attributes.size()
                              : static_cast<size_t>(attribute - attributes.data());
}

// The uri among a TQDBResource row's values, by which an upsert finds the row it updated.
const std::string* uriOf(std::string_view entity, const std::vector<tq::Value>& values) {
  if (entity != kTQDBResourceEntityName) {
    return nullptr;
  }
  static const size_t index = attributeIndex(kTQDBResourceEntityName, "uri");
  return index < values.size() ? std::get_if<std::string>(&values[index]) : nullptr;
}

// The eTagID among a TQETag row's values, by which a find-or-create finds the row it stands for.
const std::string* eTagIDOf(std::string_view entity, const std::vector<tq::Value>& values) {
  if (entity != kTQETagEntityName) {
    return nullptr;
  }
  static const size_t index = attributeIndex(kTQETagEntityName, "eTagID");
  return index < values.size() ? std::get_if<std::string>(&values[index]) : nullptr;
}

// Whether an object's values satisfy the predicate, as the store's SQL would decide for its row.
bool matchesInMemory(std::string_view entity, const std::vector<tq::Value>& values,
                     const tq::PredicatePtr& predicate) {
  if (!predicate) {
    return true;
  }
  return predicate->evaluate(
      [&](std::string_view key) {
        const size_t index = attributeIndex(entity, key);
        return index < values.size() ? values[index] : tq::Value{};
      },
      [entity](std::string_view key) -> std::optional<tq::ResolvedKey> {
        const TQAttribute* attribute = TQAttributeRegistry::findAttribute(entity, key);
        if (attribute == nullptr) {
          return std::nullopt;
        }
        return TQAttributeRegistry::resolvedKey(*attribute);
      });
}

// An OR of many terms in slices that SQLite's expression depth allows; any other predicate whole.
std::vector<tq::PredicatePtr> deletionSlices(const tq::PredicatePtr& predicate) {
  if (!predicate || predicate->type() != tq::Predicate::Type::Or ||
      predicate->operands().size() <= kDeletionSlice) {
    return {predicate};
  }
  std::vector<tq::PredicatePtr> slices;
  const auto& operands = predicate->operands();
  for (size_t first = 0; first < operands.size(); first += kDeletionSlice) {
    const size_t last = std::min(operands.size(), first + kDeletionSlice);
    slices.push_back(tq::Predicate::orPredicate(
        std::vector<tq::PredicatePtr>(operands.begin() + static_cast<ptrdiff_t>(first),
                                      operands.begin() + static_cast<ptrdiff_t>(last))));
  }
  return slices;
}

template <class Entity>
std::shared_ptr<TQManagedObject> makeEntity(TQObjectBlocks* blocks) {
  return blocks != nullptr ? blocks->make<Entity>() : std::make_shared<Entity>();
}

std::shared_ptr<TQManagedObject> makeObject(std::string_view entity,
                                            TQObjectBlocks* blocks = nullptr) {
  if (entity == kTQDBResourceEntityName) {
    return makeEntity<TQDBResource>(blocks);
  }
  if (entity == kTQETagEntityName) {
    return makeEntity<TQETag>(blocks);
  }
  return nullptr;
}

}  // namespace

std::shared_ptr<TQManagedObjectContext> TQManagedObjectContext::make(
    ConcurrencyType type, std::shared_ptr<TQStoreConnections> store, uint64_t epoch,
    std::shared_ptr<TQManagedObjectContext> parent) {
  return std::shared_ptr<TQManagedObjectContext>(
      new TQManagedObjectContext(type, std::move(store), epoch, std::move(parent)));
}

TQManagedObjectContext::TQManagedObjectContext(ConcurrencyType type,
                                               std::shared_ptr<TQStoreConnections> store,
                                               uint64_t epoch,
                                               std::shared_ptr<TQManagedObjectContext> parent)
    : type_(type),
      store_(std::move(store)),
      epoch_(epoch),
      parent_(std::move(parent)),
      registry_(std::make_shared<TQObjectRegistry>()) {}

TQManagedObjectContext::~TQManagedObjectContext() {
  std::lock_guard lock(operationMutex_);
  rollbackLocked();
}

std::vector<std::shared_ptr<TQManagedObject>> TQManagedObjectContext::executeFetchRequest(
    const TQFetchRequest& request, TQStoreError* error) {
  try {
    auto query = buildQuery(request, error);
    if (!query) {
      return {};
    }
    return fetchWhere(request.entityName, query->where, query->bindings,
                      query->orderBy + query->limit, error);
  } catch (const std::exception& exception) {
    logProblem(std::string("Fetch failed: ") + exception.what());
    setError(error, TQStoreErrorCode::SQLiteFailure, exception.what());
    return {};
  }
}

std::vector<TQManagedObjectID> TQManagedObjectContext::executeFetchRequestForObjectIDs(
    const TQFetchRequest& request, TQStoreError* error) {
  std::vector<TQManagedObjectID> identifiers;
  const bool read = selectColumn(
      request, TQDataModel::kObjectIDColumn,
      [&](const tq::SQLiteStatement& statement) {
        identifiers.emplace_back(request.entityName, *statement.columnInt64(0));
      },
      error);
  return read ? identifiers : std::vector<TQManagedObjectID>{};
}

std::vector<tq::Value> TQManagedObjectContext::executeFetchRequestForValues(
    const TQFetchRequest& request, std::string_view key, TQStoreError* error) {
  const TQAttribute* attribute = TQAttributeRegistry::findAttribute(request.entityName, key);
  if (attribute == nullptr) {
    logProblem(TQEntitySQL::unknownKeyMessage(request.entityName, key));
    setError(error, TQStoreErrorCode::UnknownKey, "Unknown key to fetch.");
    return {};
  }
  std::vector<tq::Value> values;
  const bool read = selectColumn(
      request, attribute->column,
      [&](const tq::SQLiteStatement& statement) {
        values.push_back(readColumn(statement, 0, attribute->kind));
      },
      error);
  return read ? values : std::vector<tq::Value>{};
}

bool TQManagedObjectContext::selectColumn(
    const TQFetchRequest& request, std::string_view column,
    const std::function<void(const tq::SQLiteStatement&)>& readRow, TQStoreError* error) {
  try {
    auto query = buildQuery(request, error);
    if (!query) {
      return false;
    }
    std::lock_guard lock(operationMutex_);
    if (!mayRead(error) || !flushLocked(error)) {
      return false;
    }
    const std::string sql = "SELECT " + quotedIdentifier(column) + " FROM " +
                            quotedIdentifier(request.entityName) + whereClause(query->where) +
                            query->orderBy + query->limit;
    withReadConnectionLocked([&](Connection& connection) {
      auto& statement = connection.statement(sql);
      bindValues(statement, query->bindings);
      while (statement.step()) {
        readRow(statement);
      }
      statement.reset();
    });
  } catch (const std::exception& exception) {
    logProblem(std::string("Fetch failed: ") + exception.what());
    setError(error, TQStoreErrorCode::SQLiteFailure, exception.what());
    return false;
  }
  return true;
}

std::vector<std::shared_ptr<TQManagedObject>> TQManagedObjectContext::fetchWhere(
    std::string_view entity, const std::string& where, const std::vector<tq::Value>& bindings,
    const std::string& orderBy, TQStoreError* error) {
  std::lock_guard lock(operationMutex_);
  if (!mayRead(error) || !flushLocked(error)) {
    return {};
  }
  std::vector<std::pair<int64_t, std::vector<tq::Value>>> rows;
  const uint64_t observed = store_->commitCount();
  const std::string sql = statementsFor(entity).select + whereClause(where) + orderBy;
  try {
    withReadConnectionLocked([&](Connection& connection) {
      auto& statement = connection.statement(sql);
      bindValues(statement, bindings);
      while (statement.step()) {
        rows.emplace_back(*statement.columnInt64(0), readRowValues(statement, entity, 1));
      }
      statement.reset();
    });
  } catch (const tq::SQLiteError& exception) {
    logProblem(std::string("Fetch failed: ") + exception.what());
    setError(error, TQStoreErrorCode::SQLiteFailure, exception.what());
    return {};
  }
  std::vector<std::shared_ptr<TQManagedObject>> objects;
  objects.reserve(rows.size());
  for (const auto& [rowID, values] : rows) {
    objects.push_back(registerObject(entity, rowID, values, observed));
  }
  return objects;
}

void TQManagedObjectContext::withReadConnectionLocked(
    const std::function<void(TQStoreConnections::Connection&)>& body) {
  // Inside a transaction only the writer sees this context's own rows.
  if (transaction_) {
    body(transaction_->connection());
    return;
  }
  auto lease = store_->reader();
  body(*lease);
}

std::shared_ptr<TQManagedObject> TQManagedObjectContext::existingObjectWithID(
    const TQManagedObjectID& objectID, TQStoreError* error) {
  const std::string_view entity = objectID.entityName();
  if (!isEntity(entity) || objectID.isTemporaryID()) {
    setError(error, TQStoreErrorCode::NoSuchObject, "No row has that identifier.");
    return nullptr;
  }
  if (!mayRead(error)) {
    return nullptr;
  }
  if (auto live = registeredObject(entity, objectID.rowID())) {
    return live;
  }
  const uint64_t observed = store_->commitCount();
  std::optional<std::vector<tq::Value>> row;
  try {
    row = readRow(entity, objectID.rowID());
  } catch (const tq::SQLiteError& exception) {
    logProblem(std::string("Reading a row failed: ") + exception.what());
    setError(error, TQStoreErrorCode::SQLiteFailure, exception.what());
    return nullptr;
  }
  if (!row) {
    setError(error, TQStoreErrorCode::NoSuchObject, "No row has that identifier.");
    return nullptr;
  }
  return registerObject(entity, objectID.rowID(), *row, observed);
}

std::optional<std::vector<std::pair<TQManagedObjectID, std::shared_ptr<TQManagedObject>>>>
TQManagedObjectContext::executeFetchRequestForCommittedObjects(const TQFetchRequest& request,
                                                               TQStoreError* error) {
  if (writesInStore()) {
    return std::nullopt;
  }
  std::vector<std::pair<TQManagedObjectID, std::shared_ptr<TQManagedObject>>> rows;
  try {
    auto query = buildQuery(request, error);
    if (!query) {
      return rows;
    }
    if (!mayRead(error)) {
      return rows;
    }
    const std::string_view entity = request.entityName;
    const std::string sql =
        statementsFor(entity).select + whereClause(query->where) + query->orderBy + query->limit;
    const uint64_t observed = store_->commitCount();
    TQObjectBlocks blocks;
    auto lease = store_->reader();
    auto& statement = lease->statement(sql);
    bindValues(statement, query->bindings);
    while (statement.step()) {
      const int64_t rowID = *statement.columnInt64(0);
      auto object = registeredObject(entity, rowID);
      if (!object) {
        object = registerObject(
            entity, rowID, observed,
            [&](TQManagedObject& fresh) { fresh.readRowLocked(statement, 1); }, &blocks);
      }
      rows.emplace_back(TQManagedObjectID(entity, rowID), std::move(object));
    }
    statement.reset();
  } catch (const std::exception& exception) {
    logProblem(std::string("Fetch failed: ") + exception.what());
    setError(error, TQStoreErrorCode::SQLiteFailure, exception.what());
    rows.clear();
  }
  return rows;
}

std::vector<std::shared_ptr<TQManagedObject>> TQManagedObjectContext::existingObjectsWithIDs(
    std::span<const TQManagedObjectID> objectIDs, TQStoreError* error) {
  std::vector<std::shared_ptr<TQManagedObject>> objects(objectIDs.size());
  if (!mayRead(error)) {
    return objects;
  }
  // The rows still to read, by entity; then the objects read, by entity and row.
  std::unordered_map<std::string, std::vector<int64_t>> missing;
  for (size_t i = 0; i < objectIDs.size(); ++i) {
    const TQManagedObjectID& objectID = objectIDs[i];
    if (!isEntity(objectID.entityName()) || objectID.isTemporaryID()) {
      continue;
    }
    objects[i] = registeredObject(objectID.entityName(), objectID.rowID());
    if (!objects[i]) {
      missing[objectID.entityName()].push_back(objectID.rowID());
    }
  }
  if (missing.empty()) {
    return objects;
  }
  std::unordered_map<std::string, std::unordered_map<int64_t, std::shared_ptr<TQManagedObject>>>
      read;
  const uint64_t observed = store_->commitCount();
  try {
    for (const auto& entry : missing) {
      const std::string& entity = entry.first;
      const std::vector<int64_t>& rowIDs = entry.second;
      auto& objectsOfEntity = read[entity];
      objectsOfEntity.reserve(rowIDs.size());
      for (size_t first = 0; first < rowIDs.size(); first += kRowsPerRead) {
        const auto slice =
            std::span(rowIDs).subspan(first, std::min(kRowsPerRead, rowIDs.size() - first));
        // Each row goes straight from the statement into its object: no copy of its values in
        // between.
        readRows(entity, slice, [&](int64_t rowID, const tq::SQLiteStatement& statement) {
          objectsOfEntity.emplace(
              rowID, registerObject(entity, rowID, observed, [&](TQManagedObject& object) {
                object.readRowLocked(statement, 1);
              }));
        });
      }
    }
  } catch (const tq::SQLiteError& exception) {
    logProblem(std::string("Reading rows failed: ") + exception.what());
    setError(error, TQStoreErrorCode::SQLiteFailure, exception.what());
  }
  for (size_t i = 0; i < objectIDs.size(); ++i) {
    if (objects[i]) {
      continue;
    }
    if (const auto entity = read.find(objectIDs[i].entityName()); entity != read.end()) {
      if (const auto found = entity->second.find(objectIDs[i].rowID());
          found != entity->second.end()) {
        objects[i] = found->second;
      }
    }
  }
  return objects;
}

void TQManagedObjectContext::readRows(
    std::string_view entity, std::span<const int64_t> rowIDs,
    const std::function<void(int64_t, const tq::SQLiteStatement&)>& readRow) {
  std::string array = "[";
  for (const int64_t rowID : rowIDs) {
    if (array.size() > 1) {
      array += ',';
    }
    array += std::to_string(rowID);
  }
  array += "]";
  if (!mayRead(nullptr)) {
    return;
  }
  const std::string sql = statementsFor(entity).select + " WHERE " +
                          quotedIdentifier(TQDataModel::kObjectIDColumn) +
                          " IN (SELECT value FROM json_each(?1))";
  const auto read = [&](Connection& connection) {
    auto& statement = connection.statement(sql);
    statement.bindText(1, array);
    while (statement.step()) {
      readRow(*statement.columnInt64(0), statement);
    }
    statement.reset();
  };
  // As readRow: only a context with writes in the store has uncommitted rows to show.
  if (writesInStore()) {
    std::lock_guard lock(operationMutex_);
    if (replayLocked(nullptr) && transaction_) {
      read(transaction_->connection());
      return;
    }
  }
  auto lease = store_->reader();
  read(*lease);
}

std::optional<std::vector<tq::Value>> TQManagedObjectContext::readRow(std::string_view entity,
                                                                      int64_t rowID) {
  if (!mayRead(nullptr)) {
    return std::nullopt;  // every row of an earlier epoch is gone
  }
  // Only a context with writes in the store (open or yielded) has uncommitted rows to show; any
  // other read goes to a reader without waiting for this context's operations, which may be
  // waiting for the writer. A yielded context whose writes cannot be written again now shows the
  // committed row.
  if (writesInStore()) {
    std::lock_guard lock(operationMutex_);
    if (replayLocked(nullptr) && transaction_) {
      return readRowOn(transaction_->connection(), entity, rowID);
    }
  }
  return readCommittedRow(*store_, entity, rowID);
}

std::optional<std::vector<tq::Value>> TQManagedObjectContext::readCommittedRow(
    TQStoreConnections& store, std::string_view entity, int64_t rowID) {
  if (store.isRetired()) {
    return std::nullopt;  // its rows went with its file
  }
  auto lease = store.reader();
  return readRowOn(*lease, entity, rowID);
}

void TQManagedObjectContext::insertObject(const std::shared_ptr<TQManagedObject>& object) {
  if (!object) {
    return;
  }
  {
    std::lock_guard objectLock(object->mutex_);
    const auto owner = object->context_.lock();
    if (owner || object->rowID_ > 0) {
      return;  // already stored, or belongs to another context
    }
    object->context_ = weak_from_this();
    object->store_ = store_;
    object->inserted_ = true;
    object->pending_ = true;
  }
  std::lock_guard lock(pendingMutex_);
  pending_.push_back(object);
}

void TQManagedObjectContext::objectDidChange(const std::shared_ptr<TQManagedObject>& object) {
  std::lock_guard lock(pendingMutex_);
  pending_.push_back(object);
}

bool TQManagedObjectContext::mayRead(TQStoreError* error) const {
  if (!store_) {
    setError(error, TQStoreErrorCode::NoStore, "The store is not open.");
    return false;
  }
  if (store_->epoch() != epoch_) {
    setError(error, TQStoreErrorCode::StoreWasReset,
             "The store was emptied since this context was made.");
    return false;
  }
  return true;
}

std::vector<std::shared_ptr<TQManagedObject>> TQManagedObjectContext::fetchForFindOrCreate(
    const TQFetchRequest& request, TQStoreError* error) {
  // A context with writes in the store reads its own rows there.
  if (writesInStore()) {
    return executeFetchRequest(request, error);
  }
  const std::string_view entity = request.entityName;
  const auto matches = [&](TQManagedObject& object) {
    std::vector<tq::Value> values;
    {
      std::lock_guard objectLock(object.mutex_);
      values = object.rowValuesLocked();
    }
    return matchesInMemory(entity, values, request.predicate);
  };
  std::vector<std::shared_ptr<TQManagedObject>> objects;
  try {
    auto query = buildQuery(request, error);
    if (!query || !mayRead(error)) {
      return {};
    }
    const uint64_t observed = store_->commitCount();
    std::vector<std::pair<int64_t, std::vector<tq::Value>>> rows;
    {
      auto lease = store_->reader();
      auto& statement = lease->statement(statementsFor(entity).select + whereClause(query->where) +
                                         query->orderBy);
      bindValues(statement, query->bindings);
      while (statement.step()) {
        rows.emplace_back(*statement.columnInt64(0), readRowValues(statement, entity, 1));
      }
      statement.reset();
    }
    // A row this context changed counts as its changes make it.
    for (const auto& [rowID, values] : rows) {
      auto object = registerObject(entity, rowID, values, observed);
      if (!object->hasChanges() || matches(*object)) {
        objects.push_back(std::move(object));
      }
    }
    std::vector<std::shared_ptr<TQManagedObject>> unwritten;
    {
      std::lock_guard lock(pendingMutex_);
      unwritten = pending_;
    }
    for (const auto& object : unwritten) {
      if (object->entity() == entity && std::ranges::find(objects, object) == objects.end() &&
          matches(*object)) {
        objects.push_back(object);
      }
    }
  } catch (const std::exception& exception) {
    logProblem(std::string("Fetch failed: ") + exception.what());
    setError(error, TQStoreErrorCode::SQLiteFailure, exception.what());
    return {};
  }
  return objects;
}

void TQManagedObjectContext::insertObjectForFindOrCreate(
    const std::shared_ptr<TQManagedObject>& object) {
  insertObject(object);
  std::lock_guard objectLock(object->mutex_);
  object->findsRowOnSave_ = true;
}

bool TQManagedObjectContext::giveWay(TQStoreConnections::GiveWay reason) {
  if (reason == TQStoreConnections::GiveWay::Yield) {
    // The waiter may hold another context's operation lock: waiting for this one could deadlock
    // with a call of this context that waits for that one's writer.
    std::unique_lock lock(operationMutex_, std::try_to_lock);
    if (!lock.owns_lock()) {
      return false;
    }
    if (transaction_ && !pinned_) {
      yieldLocked();
    }
    return true;
  }
  std::lock_guard lock(operationMutex_);
  if (transaction_) {
    superseded_ = true;
    rollbackLocked();
  }
  return true;
}

void TQManagedObjectContext::yieldLocked() {
  endTransactionLocked();
  // The rows written are gone with the rollback, and SQLite hands their numbers out again: the
  // objects become insertions once more, and the objects updated are changes once more.
  for (const auto& weak : insertedInTransaction_) {
    if (const auto object = weak.lock()) {
      std::lock_guard objectLock(object->mutex_);
      object->rowID_ = 0;
      object->inserted_ = true;
    }
  }
  insertedInTransaction_.clear();
  for (const auto& step : written_) {
    for (const auto& object : step.objects) {
      std::lock_guard objectLock(object->mutex_);
      if (!object->inserted_) {
        object->changed_ = true;
      }
    }
  }
  forgetRegisteredState();
  yielded_.store(!written_.empty(), std::memory_order_release);
}

bool TQManagedObjectContext::replayLocked(TQStoreError* error) {
  if (!yielded_.load(std::memory_order_acquire)) {
    return true;
  }
  TQStoreError beginError;
  if (!beginLocked(&beginError)) {
    if (beginError.code == TQStoreErrorCode::StoreWasReset ||
        beginError.code == TQStoreErrorCode::Superseded) {
      // A logout came while the writes waited: they belong to the account that logged out.
      rollbackLocked();
      setError(error, TQStoreErrorCode::Superseded, TQWriteSupersededError().what());
      return false;
    }
    if (error != nullptr) {
      *error = beginError;
    }
    return false;
  }
  yielded_.store(false, std::memory_order_release);
  try {
    for (const auto& step : written_) {
      if (step.deletion || !step.deletedEntity.empty()) {
        deleteLocked(step.deletedEntity, step.deletion, error);
      } else {
        writeRowsLocked(step.objects);
        writeRelationsLocked(step);
      }
    }
  } catch (...) {
    TQWriteTransaction::describeCurrentException(error, "Writing changes again");
    rollbackLocked();
    return false;
  }
  return true;
}

bool TQManagedObjectContext::reportSupersededLocked(TQStoreError* error) {
  if (!superseded_) {
    return false;
  }
  superseded_ = false;
  setError(error, TQStoreErrorCode::Superseded, TQWriteSupersededError().what());
  return true;
}

bool TQManagedObjectContext::deleteObjects(std::string_view entity,
                                           const tq::PredicatePtr& predicate, TQStoreError* error) {
  if (!isEntity(entity)) {
    logProblem("No entity named " + printableKey(entity) + " in the store.");
    setError(error, TQStoreErrorCode::UnknownKey, "Unknown entity.");
    return false;
  }
  std::lock_guard lock(operationMutex_);
  if (!flushLocked(error) || !beginLocked(error)) {
    return false;
  }
  try {
    deleteLocked(entity, predicate, error);
  } catch (...) {
    TQWriteTransaction::describeCurrentException(error, "Deletion");
    rollbackLocked();
    return false;
  }
  WriteStep step;
  step.deletedEntity = entity;
  step.deletion = predicate;
  written_.push_back(std::move(step));
  return true;
}

void TQManagedObjectContext::deleteLocked(std::string_view entity,
                                          const tq::PredicatePtr& predicate, TQStoreError* error) {
  if (const auto set = equalitySet(entity, predicate)) {
    transaction_->deleteObjectsWhereIn(entity, set->key, set->values);
    return;
  }
  for (const auto& slice : deletionSlices(predicate)) {
    transaction_->checkNotSuperseded();
    const tq::RenderedSQL where = renderPredicate(entity, slice, error);
    auto& statement = transaction_->connection().statement(
        "DELETE FROM " + quotedIdentifier(entity) + whereClause(where.sql));
    bindValues(statement, where.bindings);
    statement.step();
    statement.reset();
  }
}

bool TQManagedObjectContext::beginWriting(TQStoreError* error) {
  std::lock_guard lock(operationMutex_);
  if (!replayLocked(error) || !beginLocked(error)) {
    return false;
  }
  pinned_ = true;
  return true;
}

bool TQManagedObjectContext::save(TQStoreError* error) {
  std::lock_guard lock(operationMutex_);
  if (reportSupersededLocked(error)) {
    rollbackLocked();  // changes made since belong to the account that logged out
    return false;
  }
  if (!flushLocked(error)) {
    return false;
  }
  if (!transaction_) {
    return true;
  }
  if (!transaction_->commit(error)) {
    rollbackLocked();
    return false;
  }
  endTransactionLocked();
  insertedInTransaction_.clear();
  written_.clear();
  return true;
}

void TQManagedObjectContext::rollback() {
  std::lock_guard lock(operationMutex_);
  rollbackLocked();
}

bool TQManagedObjectContext::hasChanges() const {
  if (writesInStore()) {
    return true;
  }
  std::lock_guard lock(pendingMutex_);
  return !pending_.empty();
}

bool TQManagedObjectContext::beginLocked(TQStoreError* error) {
  if (transaction_) {
    return true;
  }
  if (reportSupersededLocked(error)) {
    return false;
  }
  transaction_ = TQWriteTransaction::begin(store_, epoch_, error);
  if (!transaction_) {
    return false;
  }
  holdsWriter_.store(true, std::memory_order_release);
  // The transaction may stay open between calls; neither a logout nor another write may have to
  // wait for the host.
  const bool canBeAsked =
      store_->setGiveWay([weak = weak_from_this()](TQStoreConnections::GiveWay reason) {
        const auto context = weak.lock();
        return !context || context->giveWay(reason);
      });
  if (!canBeAsked) {
    // A logout came between taking the writer and being askable: give way now.
    endTransactionLocked();
    setError(error, TQStoreErrorCode::Superseded, TQWriteSupersededError().what());
    return false;
  }
  return true;
}

void TQManagedObjectContext::endTransactionLocked() {
  // Rolls back unless committed, and gives the writer back.
  transaction_.reset();
  holdsWriter_.store(false, std::memory_order_release);
  pinned_ = false;
}

bool TQManagedObjectContext::flushLocked(TQStoreError* error) {
  if (!replayLocked(error)) {
    return false;
  }
  std::vector<std::shared_ptr<TQManagedObject>> objects;
  {
    std::lock_guard lock(pendingMutex_);
    objects.swap(pending_);
  }
  if (objects.empty()) {
    return true;
  }
  TQStoreError beginError;
  if (!beginLocked(&beginError)) {
    if (error != nullptr) {
      *error = beginError;
    }
    if (beginError.code == TQStoreErrorCode::StoreBusy) {
      // Another write was only slow: the changes wait for the next fetch or save.
      std::lock_guard lock(pendingMutex_);
      pending_.insert(pending_.begin(), objects.begin(), objects.end());
      return false;
    }
    // These changes can never be written (no store, or a store reset since): drop them.
    for (const auto& object : objects) {
      std::lock_guard objectLock(object->mutex_);
      object->pending_ = false;
      object->changed_ = false;
    }
    return false;
  }
  try {
    writeObjectsLocked(objects);
  } catch (...) {
    TQWriteTransaction::describeCurrentException(error, "Writing changes");
    rollbackLocked();
    return false;
  }
  return true;
}

void TQManagedObjectContext::writeObjectsLocked(
    const std::vector<std::shared_ptr<TQManagedObject>>& objects) {
  WriteStep step;
  step.objects = writeRowsLocked(objects);
  for (const auto& object : objects) {
    std::lock_guard objectLock(object->mutex_);
    auto related = object->takeRelatedObjectsLocked();
    if (!related.empty()) {
      step.relations.emplace_back(object, std::move(related));
    }
  }
  writeRelationsLocked(step);
  if (!step.objects.empty() || !step.relations.empty()) {
    written_.push_back(std::move(step));
  }
}

std::vector<std::shared_ptr<TQManagedObject>> TQManagedObjectContext::writeRowsLocked(
    const std::vector<std::shared_ptr<TQManagedObject>>& objects) {
  auto& connection = transaction_->connection();
  std::vector<std::shared_ptr<TQManagedObject>> writtenObjects;
  size_t written = 0;
  for (const auto& object : objects) {
    std::vector<tq::Value> values;
    bool insert = false;
    bool foundStored = false;
    int64_t rowID = 0;
    {
      std::lock_guard objectLock(object->mutex_);
      object->pending_ = false;
      if (!object->changed_ && !object->inserted_) {
        continue;
      }
      values = object->rowValuesLocked();
      insert = object->inserted_;
      rowID = object->rowID_;
      object->changed_ = false;
      if (insert && object->findsRowOnSave_) {
        // Another context may have stored the row since this one looked: it is the row meant.
        if (const std::string* eTagID = eTagIDOf(object->entity(), values)) {
          if (const auto stored = transaction_->eTagRowID(*eTagID)) {
            insert = false;
            foundStored = true;
            rowID = *stored;
            object->rowID_ = rowID;
            object->inserted_ = false;
          }
        }
      }
    }
    writtenObjects.push_back(object);
    if (written++ % TQWriteTransaction::kSupersededCheckInterval == 0) {
      transaction_->checkNotSuperseded();
    }
    const std::string_view entity = object->entity();
    if (insert) {
      auto& statement = connection.statement(statementsFor(entity).insert);
      bindValues(statement, values);
      rowID = TQEntitySQL::stepInsert(connection, statement, uriOf(entity, values));
      {
        std::lock_guard objectLock(object->mutex_);
        object->rowID_ = rowID;
        object->inserted_ = false;
        object->valuesCommit_ = store_->commitCount();
      }
      insertedInTransaction_.push_back(object);
      registry_->add(object, rowID);
    } else {
      auto& statement = connection.statement(statementsFor(entity).update);
      bindValues(statement, values);
      statement.bindInt64(static_cast<int>(values.size()) + 1, rowID);
      statement.step();
      {
        std::lock_guard objectLock(object->mutex_);
        object->valuesCommit_ = store_->commitCount();
      }
      if (foundStored) {
        insertedInTransaction_.push_back(object);
        registry_->add(object, rowID);
      }
    }
  }
  return writtenObjects;
}

void TQManagedObjectContext::writeRelationsLocked(const WriteStep& step) {
  for (const auto& [object, related] : step.relations) {
    int64_t rowID = 0;
    {
      std::lock_guard objectLock(object->mutex_);
      rowID = object->rowID_;
    }
    std::vector<int64_t> relatedRowIDs;
    relatedRowIDs.reserve(related.size());
    for (const auto& other : related) {
      const int64_t otherRowID = other->objectID().rowID();
      if (rowID <= 0 || otherRowID <= 0) {
        logProblem("A related object has not been stored; the relationship was not saved.");
        continue;
      }
      relatedRowIDs.push_back(otherRowID);
    }
    if (!relatedRowIDs.empty()) {
      transaction_->relateResources(rowID, relatedRowIDs);
    }
  }
}

void TQManagedObjectContext::rollbackLocked() {
  std::vector<std::shared_ptr<TQManagedObject>> objects;
  {
    std::lock_guard lock(pendingMutex_);
    objects.swap(pending_);
  }
  for (auto& step : written_) {
    objects.insert(objects.end(), step.objects.begin(), step.objects.end());
  }
  written_.clear();
  yielded_.store(false, std::memory_order_release);
  for (const auto& object : objects) {
    std::lock_guard objectLock(object->mutex_);
    object->pending_ = false;
    object->changed_ = false;
    object->takeRelatedObjectsLocked();
    if (object->inserted_) {
      object->inserted_ = false;
      object->context_.reset();
    }
    object->valuesCommit_ = 0;
  }
  if (!transaction_) {
    return;
  }
  endTransactionLocked();
  // SQLite hands the row numbers of a rolled-back insertion out again: objects that held them
  // must not keep them, or they would read someone else's row later.
  for (const auto& weak : insertedInTransaction_) {
    if (const auto object = weak.lock()) {
      std::lock_guard objectLock(object->mutex_);
      object->rowID_ = 0;
      object->context_.reset();
    }
  }
  insertedInTransaction_.clear();
  forgetRegisteredState();
}

void TQManagedObjectContext::forgetRegisteredState() {
  registry_->retainIf([](TQManagedObject& object) {
    if (object.rowID_ <= 0) {
      return false;
    }
    // What these objects read inside the rolled-back transaction may not be stored: read again.
    object.valuesCommit_ = 0;
    object.deletedFromStore_ = false;
    return true;
  });
}

std::shared_ptr<TQManagedObject> TQManagedObjectContext::registeredObject(std::string_view entity,
                                                                          int64_t rowID) {
  return registry_->object(entity, rowID);
}

std::shared_ptr<TQManagedObject> TQManagedObjectContext::registerObject(
    std::string_view entity, int64_t rowID, const std::vector<tq::Value>& values,
    uint64_t observedCommit) {
  return registerObject(entity, rowID, observedCommit,
                        [&values](TQManagedObject& object) { object.setRowValuesLocked(values); });
}

std::shared_ptr<TQManagedObject> TQManagedObjectContext::registerObject(
    std::string_view entity, int64_t rowID, uint64_t observedCommit,
    const std::function<void(TQManagedObject&)>& setValues, TQObjectBlocks* blocks) {
  return registry_->findOrAdd(
      entity, rowID, [&] { return makeObject(entity, blocks); },
      [&](TQManagedObject& object, bool found) {
        if (!found) {
          object.context_ = weak_from_this();
          object.store_ = store_;
          object.rowID_ = rowID;
        } else if (object.changed_ || object.inserted_ || observedCommit < object.valuesCommit_) {
          return;  // unsaved changes, or values newer than these
        }
        setValues(object);
        object.valuesCommit_ = observedCommit;
        object.deletedFromStore_ = false;
      });
}

size_t TQManagedObjectContext::registeredObjectCount() const { return registry_->size(); }

uint64_t TQManagedObjectContext::madeObjectCount() const { return registry_->made(); }
