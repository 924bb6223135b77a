#include "QuenlarCloudAPI/Model/CoreData/TQStoreConnections.h"

#include <algorithm>

#include "QuenlarCloudAPI/Model/CoreData/TQDataModel.h"
#include "QuenlarCloudAPI/Platform/PredicateSQL.h"

namespace {

// Statement texts vary with predicates; past this many the cache starts afresh at the next point
// where no statement is in use.
constexpr size_t kStatementCacheLimit = 64;
constexpr std::chrono::seconds kBusyTimeout{10};
// How often a write asks a holder that is inside a call to yield, until the call has ended.
constexpr std::chrono::milliseconds kYieldRetry{2};

// The writer's settings for a local mirror that takes large merges: a crash may lose the last
// commits but never corrupts (WAL with NORMAL), the log is cut back after it has grown, and the
// page cache stays at 8 MiB: a larger one would not make a first sync faster (its pages spill to
// the log either way) but would hold its memory for the connection's life.
constexpr const char* kWriterPragmas =
    "PRAGMA synchronous = NORMAL;"
    "PRAGMA journal_size_limit = 67108864;"
    "PRAGMA cache_size = -8192;";

}  // namespace

TQStoreConnections::Connection::Connection(const std::filesystem::path& path,
                                           tq::SQLiteDatabase::OpenMode mode)
    : database_(path, mode) {
  database_.setBusyTimeout(kBusyTimeout);
  // Rendered predicates call the folding functions, so every connection needs them.
  tq::registerPredicateFunctions(database_);
}

tq::SQLiteStatement& TQStoreConnections::Connection::statement(const std::string& sql) {
  auto found = statements_.find(sql);
  if (found == statements_.end()) {
    found = statements_.emplace(sql, database_.prepare(sql)).first;
  } else {
    found->second.reset();
    found->second.clearBindings();
  }
  return found->second;
}

void TQStoreConnections::Connection::finishUse() {
  if (statements_.size() > kStatementCacheLimit) {
    statements_.clear();
    return;
  }
  for (auto& [sql, statement] : statements_) {
    statement.reset();
  }
}

TQStoreConnections::ReaderLease::~ReaderLease() {
  if (connection_) {
    owner_.returnReader(std::move(connection_));
  }
}

std::shared_ptr<TQStoreConnections> TQStoreConnections::open(const std::filesystem::path& path,
                                                             std::string& reason,
                                                             uint64_t firstEpoch) {
  try {
    std::error_code ignored;
    std::filesystem::create_directories(path.parent_path(), ignored);
    auto writer = std::make_unique<Connection>(path, tq::SQLiteDatabase::OpenMode::ReadWriteCreate);
    // Before the model check: a migration that removes rows must take their relations along, and
    // the pragma does nothing inside a transaction.
    writer->database().exec("PRAGMA foreign_keys = ON;");
    if (!TQDataModel::prepareDatabase(writer->database(), reason)) {
      return nullptr;
    }
    writer->database().enableWriteAheadLog();
    writer->database().exec(kWriterPragmas);
    return std::shared_ptr<TQStoreConnections>(
        new TQStoreConnections(path, std::move(writer), firstEpoch));
  } catch (const tq::SQLiteError& error) {
    reason = error.what();
  } catch (const std::exception& error) {
    reason = error.what();
  }
  return nullptr;
}

TQStoreConnections::WriterLease::~WriterLease() {
  if (owner_ != nullptr) {
    owner_->releaseWriter();
  }
}

TQStoreConnections::ResetRequest::ResetRequest(TQStoreConnections& owner) : owner_(owner) {
  std::function<bool(GiveWay)> giveWay;
  {
    std::lock_guard lock(owner_.writerMutex_);
    owner_.resetsPending_.fetch_add(1, std::memory_order_acq_rel);
    giveWay = owner_.giveWay_;
  }
  // Outside the lock: the hook takes the holder's own locks, and giving way returns the writer.
  if (giveWay) {
    giveWay(GiveWay::Reset);
  }
}

TQStoreConnections::ResetRequest::~ResetRequest() {
  {
    std::lock_guard lock(owner_.writerMutex_);
    owner_.resetsPending_.fetch_sub(1, std::memory_order_acq_rel);
  }
  owner_.writerReleased_.notify_all();
}

std::optional<TQStoreConnections::WriterLease> TQStoreConnections::acquireWriter(
    std::chrono::milliseconds timeout, WriterPriority priority) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  const auto available = [&] {
    return isRetired() || (!writerHeld_ && (priority == WriterPriority::Reset || !resetPending()));
  };
  std::unique_lock lock(writerMutex_);
  std::optional<uint64_t> askedHold;
  while (!available()) {
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline) {
      return std::nullopt;
    }
    auto wakeAt = deadline;
    if (priority == WriterPriority::Ordinary && writerHeld_ && giveWay_ &&
        askedHold != writerHolds_) {
      const uint64_t hold = writerHolds_;
      const auto giveWay = giveWay_;
      // Outside the lock: yielding takes the holder's locks and gives the writer back.
      lock.unlock();
      const bool answered = giveWay(GiveWay::Yield);
      lock.lock();
      if (answered) {
        askedHold = hold;
        continue;
      }
      // The holder is inside a call of its own, which does not last: ask again shortly.
      wakeAt = std::min(deadline, now + kYieldRetry);
    }
    writerReleased_.wait_until(lock, wakeAt);
  }
  if (isRetired()) {
    return std::nullopt;
  }
  writerHeld_ = true;
  ++writerHolds_;
  return WriterLease(*this);
}

bool TQStoreConnections::setGiveWay(std::function<bool(GiveWay)> hook) {
  {
    std::lock_guard lock(writerMutex_);
    if (resetPending()) {
      return false;
    }
    giveWay_ = std::move(hook);
  }
  // Writes already waiting may now ask the holder to yield.
  writerReleased_.notify_all();
  return true;
}

void TQStoreConnections::releaseWriter() {
  std::function<bool(GiveWay)> giveWay;
  {
    std::lock_guard lock(writerMutex_);
    if (writer_) {
      writer_->finishUse();
      if (isRetired()) {
        writer_.reset();
      }
    }
    writerHeld_ = false;
    giveWay.swap(
        giveWay_);  // dropped outside the lock: it may hold the last reference to a context
  }
  // Waiters differ in what they wait for (a reset, or no reset pending): wake them all.
  writerReleased_.notify_all();
}

bool TQStoreConnections::retire(WriterLease lease, std::chrono::milliseconds wait) {
  beginNewEpoch();
  didCommit();  // objects holding rows of this store look again, and find them gone
  {
    std::lock_guard lock(writerMutex_);
    retired_.store(true, std::memory_order_release);
  }
  {
    // Closes the writer: the lease's release sees the store retired.
    const WriterLease released = std::move(lease);
  }
  writerReleased_.notify_all();
  std::unique_lock lock(readersMutex_);
  openReaders_ -= idleReaders_.size();
  idleReaders_.clear();
  readerReturned_.notify_all();
  return readerReturned_.wait_for(lock, wait, [this] { return openReaders_ == 0; });
}

TQStoreConnections::ReaderLease TQStoreConnections::reader() {
  std::unique_lock lock(readersMutex_);
  readerReturned_.wait(lock, [this] {
    return isRetired() || !idleReaders_.empty() || openReaders_ < kMaximumReaders;
  });
  if (isRetired()) {
    throw tq::SQLiteError(tq::SQLiteError::kCantOpen, "The store was replaced by a new one.");
  }
  if (!idleReaders_.empty()) {
    auto connection = std::move(idleReaders_.back());
    idleReaders_.pop_back();
    return ReaderLease(*this, std::move(connection));
  }
  ++openReaders_;
  lock.unlock();
  try {
    auto connection = std::make_unique<Connection>(path_, tq::SQLiteDatabase::OpenMode::ReadWrite);
    // Readers never write; this makes a slip an error instead of a second writer.
    connection->database().exec("PRAGMA query_only = ON;");
    return ReaderLease(*this, std::move(connection));
  } catch (...) {
    {
      std::lock_guard relock(readersMutex_);
      --openReaders_;
    }
    readerReturned_.notify_one();
    throw;
  }
}

void TQStoreConnections::returnReader(std::unique_ptr<Connection> connection) {
  connection->finishUse();
  {
    std::lock_guard lock(readersMutex_);
    if (isRetired()) {
      --openReaders_;
      connection.reset();
    } else {
      idleReaders_.push_back(std::move(connection));
    }
  }
  // A retiring store waits for the last reader as other threads wait for a free one.
  readerReturned_.notify_all();
}
