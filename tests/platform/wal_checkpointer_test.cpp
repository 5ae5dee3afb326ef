// The log is copied back by the checkpointer's thread, not by the clerk's commit: each batch
// past the threshold is checkpointed, the log starts again instead of growing, and nothing
// written is lost, whether the checkpointer goes away idle or just woken.
#include "platform/wal_checkpointer.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include "support/test_host.h"

namespace ws::platform {
namespace {

void Exec(sqlite3* db, const std::string& sql) {
  char* message = nullptr;
  ASSERT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message), SQLITE_OK) << message;
}

std::string Text(sqlite3* db, const char* sql) {
  sqlite3_stmt* stmt = nullptr;
  sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr);
  std::string value = sqlite3_step(stmt) == SQLITE_ROW
                          ? reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0))
                          : "no row";
  sqlite3_finalize(stmt);
  return value;
}

// Some forty pages of the log per batch.
void WriteBatch(sqlite3* db) {
  Exec(db,
       "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 100) "
       "INSERT INTO t (b) SELECT randomblob(1500) FROM n");
}

bool WaitForDone(const WalCheckpointer& checkpointer, int64_t count) {
  for (int i = 0; i < 1000 && checkpointer.Done() < count; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return checkpointer.Done() >= count;
}

// A file in WAL mode with one table, opened by a connection of the test's own.
class WalCheckpointerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WS_SQLITE_ONLY("SQLite's write-ahead log");
    ASSERT_EQ(sqlite3_open(path_.c_str(), &db_), SQLITE_OK);
    Exec(db_, "PRAGMA journal_mode=WAL");
    Exec(db_, "CREATE TABLE t (b BLOB)");
  }
  void TearDown() override { sqlite3_close(db_); }

  test::TestHost host_{test::TestHost::Storage::File};
  const std::string path_ = (host_.WorkFolder() / "log.db").string();
  sqlite3* db_ = nullptr;
};

TEST_F(WalCheckpointerTest, BatchesAreCopiedBackOnItsThreadAndNothingIsLost) {
  const std::string& path = path_;
  sqlite3*& db = db_;
  auto checkpointer = std::make_unique<WalCheckpointer>(path);
  checkpointer->Attach(db, 20);

  WriteBatch(db);
  ASSERT_TRUE(WaitForDone(*checkpointer, 1));
  const auto batch = std::filesystem::file_size(path + "-wal");
  for (int k = 2; k <= 10; ++k) {
    WriteBatch(db);
    ASSERT_TRUE(WaitForDone(*checkpointer, k)) << "batch " << k;
  }
  EXPECT_LE(std::filesystem::file_size(path + "-wal"), 2 * batch)
      << "a log copied back whole starts again from its beginning";

  // Gone right after being woken: the pending checkpoint is dropped, not run on a closed
  // connection.
  WriteBatch(db);
  WalCheckpointer::Detach(db);
  checkpointer.reset();
  sqlite3_close(db);

  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  EXPECT_EQ(Text(db, "select count(*) from t where length(b)=1500"), "1100");
  EXPECT_EQ(Text(db, "PRAGMA integrity_check"), "ok");
}

TEST_F(WalCheckpointerTest, WithoutAConnectionOfItsOwnTheCommitsCheckpointAsBefore) {
  const std::string& path = path_;
  sqlite3* db = db_;
  WalCheckpointer checkpointer((host_.WorkFolder() / "no-folder" / "log.db").string());
  checkpointer.Attach(db, 20);
  WriteBatch(db);  // wakes the thread, which cannot open its connection
  for (int k = 0; k < 100 && checkpointer.Done() == 0; ++k) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    WriteBatch(db);
  }
  EXPECT_GT(checkpointer.Done(), 0);
  const auto size = std::filesystem::file_size(path + "-wal");
  WriteBatch(db);
  EXPECT_EQ(std::filesystem::file_size(path + "-wal"), size) << "the log starts again";
  WalCheckpointer::Detach(db);
}

}  // namespace
}  // namespace ws::platform
