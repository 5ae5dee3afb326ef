// Copies a SQLite write-ahead log back into its database on a thread of its own.
//
// Left to itself, SQLite checkpoints inside the commit that brings the log past a thousand
// pages: the clerk whose save that was waits while every page the last few dozen saves
// touched is written back and synced, which on a shop of ten years takes one or two seconds,
// once in about thirty saves. Here the commit only wakes this thread, which checkpoints
// through a connection of its own while the clerk goes on; readers and the next writer are
// not held up by a passive checkpoint.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

struct sqlite3;

namespace ws::platform {

class WalCheckpointer {
 public:
  // `path` is the database file the attached connection has open in WAL mode.
  explicit WalCheckpointer(std::string path);
  ~WalCheckpointer();
  WalCheckpointer(const WalCheckpointer&) = delete;
  WalCheckpointer& operator=(const WalCheckpointer&) = delete;

  // Takes over `db`'s checkpoints: a commit that leaves `pages` or more in the log wakes the
  // thread. Call Detach before this object goes away or `db` is closed.
  void Attach(sqlite3* db, int pages = 1000);
  static void Detach(sqlite3* db);

  // Checkpoints run so far, on the thread or, once its connection could not be opened, by
  // the committing connection as SQLite itself would.
  int64_t Done() const;

 private:
  static int OnCommit(void* self, sqlite3* db, const char* schema, int pages);
  void Wake();
  void Run();
  bool CheckpointOnce();

  const std::string path_;
  int pages_ = 1000;
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  bool pending_ = false;
  bool stopping_ = false;
  bool failed_ = false;
  int64_t done_ = 0;
  std::thread thread_;  // started by the first commit that needs it
};

}  // namespace ws::platform
