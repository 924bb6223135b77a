// TQStoreConnections: the SQLite connections of one open store file and the state that every
// write transaction of the store shares.
//
// - One writer connection, lent through a WriterLease to one write transaction (TQWriteTransaction)
//   at a time, for the whole of it, whichever threads that transaction is used on. Waiting for it
//   is bounded: a write that cannot have it in time fails as busy instead of hanging.
// - A reset (logout emptying the store) goes ahead of every other write: while one is pending,
//   ordinary writes wait, and the write in progress is asked to give way: a bulk write sees
//   resetPending(), and a holder idle between calls (a context's open transaction) is told through
//   the hook it set with setGiveWay().
// - A holder that set a hook keeps the writer only while no one else wants it: an ordinary write
//   that finds the writer held asks that holder to yield it (GiveWay::Yield) before waiting, again
//   every few milliseconds while the holder is inside a call, so no writer is held between a
//   context's calls while another write waits.
// - Retiring (retire()) ends the store for good when its file has to be replaced: the epoch
//   advances, every connection closes (a reader in use once it comes back), and no writer or
//   reader is lent again.
// - Reader connections, each lent to one thread at a time; in WAL mode they read the last
//   committed state beside the writer.
// - The epoch, which a reset advances: a write made for an earlier epoch can no longer commit.
//   The commit count, which advances with every commit, tells objects that their cached values
//   may be stale.
// Every member is safe from any thread.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "QuenlarCloudAPI/Platform/SQLite.h"

class TQStoreConnections {
 public:
  // One connection with its prepared statements.
  class Connection {
   public:
    Connection(const std::filesystem::path& path, tq::SQLiteDatabase::OpenMode mode);
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    tq::SQLiteDatabase& database() { return database_; }
    // A prepared statement for `sql`, reset and cleared, kept for the next use of the same text.
    tq::SQLiteStatement& statement(const std::string& sql);
    // Ends every statement's run, so no read snapshot stays open, and trims the cache; called when
    // the connection goes back to the pool, when no statement of it is in use.
    void finishUse();

   private:
    tq::SQLiteDatabase database_;
    std::unordered_map<std::string, tq::SQLiteStatement> statements_;
  };

  // The writer connection, lent until the lease goes away (on any thread). Move-only.
  class WriterLease {
   public:
    WriterLease(WriterLease&& other) noexcept : owner_(std::exchange(other.owner_, nullptr)) {}
    WriterLease& operator=(WriterLease&&) = delete;
    WriterLease(const WriterLease&) = delete;
    WriterLease& operator=(const WriterLease&) = delete;
    ~WriterLease();
    Connection& operator*() const { return *owner_->writer_; }
    Connection* operator->() const { return owner_->writer_.get(); }

   private:
    friend class TQStoreConnections;
    explicit WriterLease(TQStoreConnections& owner) : owner_(&owner) {}
    TQStoreConnections* owner_;
  };

  // Announces a reset for as long as it lives: ordinary writes wait behind it, the write in
  // progress sees resetPending(), and the writer's holder is asked to give way through its hook
  // (called on the constructing thread, with no lock of the store held). Not copyable.
  class ResetRequest {
   public:
    explicit ResetRequest(TQStoreConnections& owner);
    ~ResetRequest();
    ResetRequest(const ResetRequest&) = delete;
    ResetRequest& operator=(const ResetRequest&) = delete;

   private:
    TQStoreConnections& owner_;
  };

  // A reader connection lent until the lease goes away.
  class ReaderLease {
   public:
    ReaderLease(TQStoreConnections& owner, std::unique_ptr<Connection> connection)
        : owner_(owner), connection_(std::move(connection)) {}
    ~ReaderLease();
    ReaderLease(const ReaderLease&) = delete;
    ReaderLease& operator=(const ReaderLease&) = delete;
    Connection& operator*() const { return *connection_; }
    Connection* operator->() const { return connection_.get(); }

   private:
    TQStoreConnections& owner_;
    std::unique_ptr<Connection> connection_;
  };

  // Opens (and on first use creates) the store file, migrating a store of the previous model
  // version (TQDataModel::prepareDatabase). Answers nullptr with `reason` filled when the file
  // cannot be opened, is not a SQLite database, or holds another data model; such a file is left
  // as it is.
  // Its epochs start at `firstEpoch`.
  static std::shared_ptr<TQStoreConnections> open(const std::filesystem::path& path,
                                                  std::string& reason, uint64_t firstEpoch = 1);

  TQStoreConnections(const TQStoreConnections&) = delete;
  TQStoreConnections& operator=(const TQStoreConnections&) = delete;

  const std::filesystem::path& path() const { return path_; }

  enum class WriterPriority { Ordinary, Reset };
  // The writer, once no one else holds it (and, for an ordinary write, no reset is pending);
  // nullopt when that does not happen within `timeout`, or at once when the store is retired.
  std::optional<WriterLease> acquireWriter(std::chrono::milliseconds timeout,
                                           WriterPriority priority = WriterPriority::Ordinary);
  // How long a write waits for the writer; 30 seconds unless set.
  std::chrono::milliseconds writerTimeout() const {
    return std::chrono::milliseconds(writerTimeoutMs_.load(std::memory_order_relaxed));
  }
  void setWriterTimeout(std::chrono::milliseconds timeout) {
    writerTimeoutMs_.store(timeout.count(), std::memory_order_relaxed);
  }
  // True while a reset waits for (or holds) the writer.
  bool resetPending() const { return resetsPending_.load(std::memory_order_acquire) > 0; }

  // Why a holder is asked to give the writer back: a reset supersedes what it wrote; a waiting
  // ordinary write only needs the writer, and the holder may take it again afterwards.
  enum class GiveWay { Reset, Yield };
  // Sets what asks the writer's current holder to give way; the caller holds the writer, and the
  // hook is dropped when the writer is given back. The hook runs on a resetting or waiting thread
  // without any lock of the store held; it may also run after the holder has given the writer
  // back, or for a later hold of the same holder. For a reset it may wait for the holder's own
  // locks. For a yield it must not wait for them (the waiter may hold locks of its own kind): it
  // answers false when the holder is inside a call, and the waiter asks again shortly; true once
  // it has yielded or has nothing to yield. Answers false, and sets nothing, when a reset is
  // already pending: the holder then gives way itself.
  bool setGiveWay(std::function<bool(GiveWay)> hook);

  // Ends this store, for a reset that replaces its file; the caller gives its writer lease. The
  // epoch advances (writes of every earlier epoch fail), the writer and the idle readers close,
  // and no connection is lent again. Answers true once every reader in use has come back and
  // closed too, false when one is still out after `wait` (it closes when it comes back).
  bool retire(WriterLease lease, std::chrono::milliseconds wait);
  bool isRetired() const { return retired_.load(std::memory_order_acquire); }

  // A reader connection; waits when every one allowed is in use. Throws tq::SQLiteError once the
  // store is retired.
  ReaderLease reader();

  uint64_t epoch() const { return epoch_.load(std::memory_order_acquire); }
  // Starts a new epoch; the caller holds the writer, so no transaction of the old epoch is open.
  void beginNewEpoch() { epoch_.fetch_add(1, std::memory_order_acq_rel); }

  uint64_t commitCount() const { return commitCount_.load(std::memory_order_acquire); }
  void didCommit() { commitCount_.fetch_add(1, std::memory_order_acq_rel); }

 private:
  TQStoreConnections(std::filesystem::path path, std::unique_ptr<Connection> writer,
                     uint64_t firstEpoch)
      : path_(std::move(path)), writer_(std::move(writer)), epoch_(firstEpoch) {}
  void returnReader(std::unique_ptr<Connection> connection);
  void releaseWriter();

  static constexpr size_t kMaximumReaders = 4;

  const std::filesystem::path path_;
  std::unique_ptr<Connection> writer_;

  std::mutex writerMutex_;
  std::condition_variable writerReleased_;
  bool writerHeld_ = false;
  // Counts the writer's holds, so that a waiter asks each holder to yield once.
  uint64_t writerHolds_ = 0;
  std::atomic<int> resetsPending_{0};
  std::atomic<int64_t> writerTimeoutMs_{30000};
  std::function<bool(GiveWay)> giveWay_;
  std::atomic<bool> retired_{false};

  std::mutex readersMutex_;
  std::condition_variable readerReturned_;
  std::vector<std::unique_ptr<Connection>> idleReaders_;
  size_t openReaders_ = 0;

  std::atomic<uint64_t> epoch_{1};
  std::atomic<uint64_t> commitCount_{0};
};
