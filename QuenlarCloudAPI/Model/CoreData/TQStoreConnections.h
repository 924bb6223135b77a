// TQStoreConnections: the SQLite connections of one open store file and the state that every
// context of the store shares.
//
// - One writer connection, held by one context at a time for the whole of its write transaction
//   (from its first write to its save or rollback), whichever threads that context is used on.
// - Reader connections, each lent to one thread at a time; in WAL mode they read the last
//   committed state beside the writer.
// - The epoch, which the store's reset (logout) advances: a context made for an earlier epoch can
//   no longer commit. The commit count, which advances with every commit, tells objects that
//   their cached values may be stale.
// Every member is safe from any thread.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
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

  // Opens (and on first use creates) the store file. Answers nullptr with `reason` filled when the
  // file cannot be opened, is not a SQLite database, or holds another data model; such a file is
  // left as it is.
  static std::shared_ptr<TQStoreConnections> open(const std::filesystem::path& path,
                                                  std::string& reason);

  TQStoreConnections(const TQStoreConnections&) = delete;
  TQStoreConnections& operator=(const TQStoreConnections&) = delete;

  const std::filesystem::path& path() const { return path_; }

  // Waits until no one holds the writer, then holds it. Pair with releaseWriter(), which may run
  // on another thread.
  Connection& acquireWriter();
  void releaseWriter();

  // A reader connection; waits when every one allowed is in use.
  ReaderLease reader();

  uint64_t epoch() const { return epoch_.load(std::memory_order_acquire); }
  // Starts a new epoch; the caller holds the writer, so no transaction of the old epoch is open.
  void beginNewEpoch() { epoch_.fetch_add(1, std::memory_order_acq_rel); }

  uint64_t commitCount() const { return commitCount_.load(std::memory_order_acquire); }
  void didCommit() { commitCount_.fetch_add(1, std::memory_order_acq_rel); }

 private:
  TQStoreConnections(std::filesystem::path path, std::unique_ptr<Connection> writer)
      : path_(std::move(path)), writer_(std::move(writer)) {}
  void returnReader(std::unique_ptr<Connection> connection);

  static constexpr size_t kMaximumReaders = 4;

  const std::filesystem::path path_;
  std::unique_ptr<Connection> writer_;

  std::mutex writerMutex_;
  std::condition_variable writerReleased_;
  bool writerHeld_ = false;

  std::mutex readersMutex_;
  std::condition_variable readerReturned_;
  std::vector<std::unique_ptr<Connection>> idleReaders_;
  size_t openReaders_ = 0;

  std::atomic<uint64_t> epoch_{1};
  std::atomic<uint64_t> commitCount_{0};
};
