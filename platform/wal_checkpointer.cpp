#include "platform/wal_checkpointer.h"

#include <sqlite3.h>

#include <utility>

namespace ws::platform {

WalCheckpointer::WalCheckpointer(std::string path) : path_(std::move(path)) {}

WalCheckpointer::~WalCheckpointer() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_one();
  if (thread_.joinable()) thread_.join();
}

void WalCheckpointer::Attach(sqlite3* db, int pages) {
  pages_ = pages;
  // Replaces the connection's automatic checkpoint, which is a hook of this same kind.
  sqlite3_wal_hook(db, &WalCheckpointer::OnCommit, this);
}

void WalCheckpointer::Detach(sqlite3* db) {
  sqlite3_wal_hook(db, nullptr, nullptr);
}

int64_t WalCheckpointer::Done() const {
  std::lock_guard lock(mutex_);
  return done_;
}

int WalCheckpointer::OnCommit(void* self, sqlite3* db, const char* schema, int pages) {
  auto* checkpointer = static_cast<WalCheckpointer*>(self);
  if (pages < checkpointer->pages_) return SQLITE_OK;
  bool failed = false;
  {
    std::lock_guard lock(checkpointer->mutex_);
    failed = checkpointer->failed_;
  }
  if (!failed) {
    checkpointer->Wake();
    return SQLITE_OK;
  }
  sqlite3_wal_checkpoint_v2(db, schema, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
  std::lock_guard lock(checkpointer->mutex_);
  ++checkpointer->done_;
  return SQLITE_OK;
}

void WalCheckpointer::Wake() {
  {
    std::lock_guard lock(mutex_);
    pending_ = true;
    if (!thread_.joinable()) thread_ = std::thread(&WalCheckpointer::Run, this);
  }
  wake_.notify_one();
}

void WalCheckpointer::Run() {
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return pending_ || stopping_; });
    if (stopping_) return;
    pending_ = false;
    lock.unlock();
    const bool ran = CheckpointOnce();
    lock.lock();
    if (!ran) {
      failed_ = true;
      return;
    }
    ++done_;
  }
}

bool WalCheckpointer::CheckpointOnce() {
  // Opened for each checkpoint and closed after it: a connection kept open would stop the
  // file's own connection from ever leaving WAL mode (as a bulk load does for its speed).
  sqlite3* own = nullptr;
  const bool opened =
      sqlite3_open_v2(path_.c_str(), &own, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK;
  // A connection finds the file's log only when it first reads; until then a checkpoint
  // through it does nothing. Busy (another connection switching the journal) is no failure:
  // the next commit past the threshold wakes this thread again.
  const int read =
      opened ? sqlite3_exec(own, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr)
             : SQLITE_CANTOPEN;
  if (read == SQLITE_OK) {
    // Passive: copies what no reader still needs and never waits for a lock, so it cannot
    // stall a clerk; what it leaves is copied by the next one. The first writer after a
    // checkpoint that copied everything starts the log again from its beginning.
    sqlite3_wal_checkpoint_v2(own, nullptr, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
  }
  sqlite3_close_v2(own);
  return read == SQLITE_OK || read == SQLITE_BUSY || read == SQLITE_LOCKED;
}

}  // namespace ws::platform
