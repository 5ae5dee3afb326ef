// `ws backup` / `ws restore` on shop files that other users keep open (WAL): the copy holds
// what was committed when it began and is checked before it counts, a restore replaces
// everything at once, only from a sound backup of a shop this program reads, and leaves the
// backup byte for byte as it was.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "db/runner.h"
#include "platform/sqlite_database.h"
#include "run_ws.h"
#include "shop/backup.h"

namespace ws::shop {
namespace {

namespace fs = std::filesystem;

class BackupTest : public WsProcessTest {
 protected:
  void SetUp() override {
    WsProcessTest::SetUp();
    Init("shop.db");
    user_ = Connect("shop.db");
    ASSERT_EQ(
        db::Runner(*user_).Execute(
            "insert into pdmwxfl (维修分类ID,编码,维修分类,说明) values (1,'F01','小修','x')"),
        "");
    ASSERT_EQ(
        db::Runner(*user_).Execute(
            "insert into ws_audit (单据类型,单据ID,序号,操作) values ('PDM_flAdd',1,1,'新增')"),
        "");
  }
  std::string Categories(platform::SqliteDatabase& db) {
    std::string error;
    std::string text = db::Runner(db).ScalarText(
        "select group_concat(编码 || '=' || 说明, ',') from (select * from pdmwxfl order by 编码)",
        &error);
    EXPECT_EQ(error, "");
    return text;
  }
  // A copy of the backup with one table's root page overwritten, as a failing disk leaves it.
  void Damage(const std::string& from, const std::string& to) {
    fs::copy_file(Path(from), Path(to));
    auto db = Connect(to);
    const int64_t page = db::Runner(*db).ScalarNumber("PRAGMA page_size");
    const int64_t root = db::Runner(*db).ScalarNumber(
        db::Sql("select rootpage from sqlite_master where lower(name)=").Text("wsdjxm"));
    ASSERT_EQ(db->ExecScript("PRAGMA journal_mode=DELETE"), "");
    db.reset();
    std::fstream file(Path(to), std::ios::in | std::ios::out | std::ios::binary);
    file.seekp((root - 1) * page);
    file << std::string(200, '\x55');
  }

  std::unique_ptr<platform::SqliteDatabase> user_;  // another user working in the shop
};

TEST_F(BackupTest, CopyHoldsWhatWasCommittedAndRestoreReplacesItForEveryUser) {
  // Another user is in the middle of a save while the backup runs.
  user_->BeginTrans();
  ASSERT_EQ(db::Runner(*user_).Execute("update pdmwxfl set 说明='uncommitted'"), "");
  const Outcome backedUp = Ws("backup " + Db("shop.db") + Quoted("copy.db"));
  ASSERT_EQ(backedUp.status, 0) << backedUp.err;
  user_->CommitTrans();
  ASSERT_EQ(user_->LastError(), "");
  EXPECT_FALSE(fs::exists(Path("copy.db.part")));
  const std::string backup = ReadFile(Path("copy.db"));
  // A second backup keeps the first unless told to replace it; OUT must be named.
  EXPECT_EQ(Ws("backup " + Db("shop.db") + Quoted("copy.db")).status, 1);
  EXPECT_EQ(Ws("backup " + Db("shop.db")).status, 2);
  EXPECT_TRUE(ReadFile(Path("copy.db")) == backup);
  EXPECT_EQ(BackupShop(Path("shop.db"), Path("copy2.db"), true), "");

  // Later work is undone by the restore; the other user's open connection sees the restored
  // shop without reconnecting. The backup is only read: not a byte of it changes. The audit
  // trail, whose rows no statement may change or delete, is the backup's as well.
  ASSERT_EQ(db::Runner(*user_).Execute(
                "insert into pdmwxfl (维修分类ID,编码,维修分类,说明) values (2,'F02','大修','y')"),
            "");
  ASSERT_EQ(db::Runner(*user_).Execute(
                "insert into ws_audit (单据类型,单据ID,序号,操作) values ('PDM_flAdd',2,1,'新增')"),
            "");
  const Outcome restored = Ws("restore " + Db("shop.db") + Quoted("copy.db"));
  ASSERT_EQ(restored.status, 0) << restored.err;
  EXPECT_EQ(Categories(*user_), "F01=x");
  EXPECT_EQ(db::Runner(*user_).ScalarText("select group_concat(单据ID) from ws_audit"), "1");
  EXPECT_TRUE(ReadFile(Path("copy.db")) == backup);
  EXPECT_FALSE(fs::exists(Path("copy.db-wal")) || fs::exists(Path("copy.db-shm")));

  // A user holding the write lock stops a restore, which then changes nothing.
  user_->BeginTrans();
  ASSERT_EQ(db::Runner(*user_).Execute("update pdmwxfl set 说明='saving'"), "");
  EXPECT_EQ(RestoreShop(Path("shop.db"), Path("copy.db")), platform::kDatabaseBusyText);
  user_->CommitTrans();
  EXPECT_EQ(Categories(*user_), "F01=saving") << "the user's save is kept, not overwritten";

  // Restored into a file that did not exist: a complete shop.
  ASSERT_EQ(RestoreShop(Path("fresh.db"), Path("copy.db")), "");
  EXPECT_EQ(Categories(*Connect("fresh.db")), "F01=x");
}

// Each refused before a byte of the shop is written, and left as it was.
TEST_F(BackupTest, RestoreRefusesWhatIsNoSoundShopOfThisProgram) {
  ASSERT_EQ(BackupShop(Path("shop.db"), Path("copy.db"), false), "");
  Write("notes.txt", "not a database");
  Write("empty.db", "");
  Damage("copy.db", "damaged.db");
  ASSERT_EQ(Connect("foreign.db")
                ->ExecScript("create table wsdj (x int); insert into wsdj "
                             "values (1)"),
            "");  // left in WAL mode, as a copied live file is
  fs::copy_file(Path("copy.db"), Path("newer.db"));
  ASSERT_EQ(Connect("newer.db")
                ->ExecScript("update ws_meta set value='3' where key='version';"
                             "PRAGMA journal_mode=DELETE"),
            "");
  fs::copy_file(Path("copy.db"), Path("unmarked.db"));
  ASSERT_EQ(Connect("unmarked.db")
                ->ExecScript("delete from ws_meta where key='version';"
                             "PRAGMA journal_mode=DELETE"),
            "");
  struct Bad {
    std::string file;
    std::string said;
  };
  const Bad bad[] = {
      {"notes.txt", "is not a database file"},
      {"missing.db", "is not a backup file"},
      {"empty.db", "is not a database file"},
      {"damaged.db", "is damaged"},
      {"foreign.db", "is not a shop backup (it has no table"},
      {"unmarked.db", "has no version row"},
      {"newer.db", "newer program (schema version 3"},
  };
  for (const auto& b : bad) {
    const std::string before = fs::exists(Path(b.file)) ? ReadFile(Path(b.file)) : "";
    const std::string said = RestoreShop(Path("shop.db"), Path(b.file));
    EXPECT_NE(said.find(b.said), std::string::npos) << b.file << ": " << said;
    EXPECT_TRUE(before == (fs::exists(Path(b.file)) ? ReadFile(Path(b.file)) : "")) << b.file;
    EXPECT_FALSE(fs::exists(Path(b.file + "-wal")) || fs::exists(Path(b.file + "-shm"))) << b.file;
    EXPECT_EQ(Categories(*user_), "F01=x") << b.file;
  }
  const Outcome refused = Ws("restore " + Db("shop.db") + Quoted("newer.db"));
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.err.find("ws restore: " + Path("newer.db")), std::string::npos) << refused.err;
  // A shop whose pages went bad gives no backup: the copy fails its check and is not kept.
  EXPECT_NE(BackupShop(Path("damaged.db"), Path("bad-copy.db"), false).find("integrity"),
            std::string::npos);
  EXPECT_FALSE(fs::exists(Path("bad-copy.db")) || fs::exists(Path("bad-copy.db.part")));
}

}  // namespace
}  // namespace ws::shop
