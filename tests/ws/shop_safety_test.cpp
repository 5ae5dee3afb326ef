// What protects a shop on either engine: the upgrade makes every object of the catalogue and
// names the rows that keep a unique index out, a card saved while another user saves the same
// code says the card's own words, a full disk is told in the shop's words, once, and a backup
// is a sound copy that a restore puts back whole.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <thread>

#include "db/amount.h"
#include "db/catalogue.h"
#include "db/runner.h"
#include "db/schema.h"
#include "forms/input.h"
#include "forms/text.h"
#include "masters/descriptions.h"
#include "masters/master_card.h"
#include "platform/engine_database.h"
#include "platform/sqlite_database.h"
#include "run_ws.h"
#include "shop/store/backup.h"
#include "support/test_host.h"

namespace ws::shop {
namespace {

using forms::Input;

TEST(ShopSafetyTest, UpgradeMakesMissingObjectsAndNamesRowsBreakingAUniqueIndex) {
  test::TestHost host;
  db::Runner runner(host.Db());
  // A file whose version rows are current but which lacks objects: the numbers' unique index
  // (added to version 1 after version-1 files existed), another unique index and a trigger.
  host.Exec("DROP INDEX ix_wsdj_unique_number");
  host.Exec("DROP INDEX ix_pdmwxxm_code");
  host.Exec(host.OnPostgres() ? "DROP TRIGGER ws_change_wsdj ON WSDJ"
                              : "DROP TRIGGER ws_change_wsdj_ins");
  host.Exec(
      "INSERT INTO WSDJ (单据ID, progid, 工单号码) VALUES (1, 200001, 'W1'), (2, 200001, 'W1'), "
      "(3, 200001, 'W3'), (4, 200001, ''), (5, 200001, '')");

  std::string notice;
  ASSERT_EQ(db::UpgradeSchema(host.Db(), &notice), "");
  EXPECT_NE(notice.find("WSDJ"), std::string::npos) << notice;
  EXPECT_NE(notice.find("ix_wsdj_unique_number"), std::string::npos) << notice;
  EXPECT_NE(notice.find("200001/W1（2 行）"), std::string::npos) << notice;
  EXPECT_EQ(notice.find("W3"), std::string::npos) << "only the duplicates are listed";

  // What the stored rows allow is made: the trigger counts a write, the code is unique again.
  host.Exec("INSERT INTO WSDJ (单据ID, progid, 工单号码) VALUES (5000, 200001, 'W5000')");
  EXPECT_EQ(host.Scalar("SELECT version FROM ws_change_block WHERE table_name='wsdj' AND block=1")
                .ToLong(),
            1);
  host.Exec("INSERT INTO PDMWXXM (AutoID, 编码, 维修项目) VALUES (1, 'X1', '洗车')");
  EXPECT_NE(runner.Execute("INSERT INTO PDMWXXM (AutoID, 编码, 维修项目) VALUES (2, 'X1', '补胎')"),
            "");

  // Once the user has set the numbers right, the next opening makes the index.
  host.Exec("UPDATE WSDJ SET 工单号码='W2' WHERE 单据ID=2");
  ASSERT_EQ(db::UpgradeSchema(host.Db(), &notice), "");
  EXPECT_EQ(notice, "");
  EXPECT_NE(runner.Execute("INSERT INTO WSDJ (单据ID, progid, 工单号码) VALUES (6, 200001, 'W3')"),
            "");
}

// A shop of the build before exact amounts: its money columns are doubles on the server, and
// doubles' sums are stored in them. The upgrade makes them NUMERIC(19,4) and every value reads
// as the amount it was; on SQLite only the versions move.
TEST(ShopSafetyTest, UpgradeMakesAnOlderShopsMoneyColumnsExactWithTheirValues) {
  test::TestHost host;
  const auto moneyColumns = [] {
    std::vector<std::pair<std::string, std::string>> columns;
    for (const auto& table : db::Tables()) {
      for (const auto& column : table.columns) {
        // What a shop of that build had: tables and columns that came later are made new.
        if (column.kind == db::ColumnKind::Money && table.since <= 3 && column.since <= 3) {
          columns.emplace_back(table.name, column.name);
        }
      }
    }
    return columns;
  }();
  ASSERT_GT(moneyColumns.size(), 30u);
  if (host.OnPostgres()) {
    // That build's triggers named no column; the upgrade makes this build's after the change.
    for (const auto& table : db::Tables()) {
      if (table.trackedSince) host.Exec(db::DropChangeUpdateTrigger(table, db::Engine::Postgres));
    }
    for (const auto& [table, column] : moneyColumns) {
      host.Exec("ALTER TABLE " + table + " ALTER COLUMN " + column + " TYPE DOUBLE PRECISION");
    }
  }
  host.Exec("UPDATE ws_meta SET value='3' WHERE key IN ('version:module', 'version:host')");
  host.Exec(
      db::Sql("INSERT INTO WSDJ (单据ID, progid, 工单号码, 总金额, 余额) VALUES (1, 200001, 'W1', ")
          .Num(0.1 + 0.2)
          .Raw(", ")
          .Num(29028505778.7 + 1737929968.81)
          .Raw(")"));
  host.Exec(db::Sql("INSERT INTO gl_accvouch (autoid, 借方金额, 汇率) VALUES (1, ")
                .Num(-1234.5678)
                .Raw(", ")
                .Num(1.0 / 3)
                .Raw(")"));

  ASSERT_EQ(db::UpgradeSchema(host.Db()), "");
  // Both version rows move on to this build's, on the server as on a file.
  std::map<std::string, int> current;
  for (const auto& subsystem : db::Subsystems())
    current[subsystem.name] = db::CurrentVersion(subsystem);
  EXPECT_EQ(host.Joined("SELECT value FROM ws_meta WHERE key IN ('version:module', "
                        "'version:host') ORDER BY key"),
            std::to_string(current["host"]) + "," + std::to_string(current["module"]));
  const auto exact = [&](const std::string& sql) {
    return db::Amount::OfValue(host.Scalar(sql)).Text();
  };
  EXPECT_EQ(exact("SELECT 总金额 FROM WSDJ") + " " + exact("SELECT 余额 FROM WSDJ") + " " +
                exact("SELECT 借方金额 FROM gl_accvouch"),
            "0.3 30766435747.51 -1234.5678");
  if (!host.OnPostgres()) return;
  // Stored as the amounts themselves; a rate is no money and keeps its double.
  EXPECT_EQ(host.RowText("SELECT 总金额, 余额 FROM WSDJ"), "0.3/30766435747.51");
  EXPECT_NE(host.Scalar("SELECT 汇率 FROM gl_accvouch").ToText(), "0.3333");
  for (const auto& [table, column] : moneyColumns) {
    EXPECT_EQ(host.RowText("SELECT data_type, numeric_precision, numeric_scale FROM "
                           "information_schema.columns WHERE table_schema = current_schema() "
                           "AND table_name = '" +
                           forms::FoldCase(table) + "' AND column_name = '" + column + "'"),
              "numeric/19/4")
        << table << "." << column;
  }
}

class CardSaveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    card_.Events().AttachSink(&host_.Sink());
    ASSERT_TRUE(card_.Init(host_.System(), 200013, 0) && card_.FileNew());
  }
  void Type(int field, const std::string& text) {
    ASSERT_TRUE(Input::Type(card_.FieldAt(field), text).accepted);
  }
  // How many boxes and error events told the text.
  int TimesTold(std::string_view text) {
    int told = 0;
    for (const auto& box : host_.Dialogs().Boxes())
      told += box.text.find(text) != std::string::npos;
    for (const auto& error : host_.Sink().ErrMessages()) {
      told += error.find(text) != std::string::npos;
    }
    return told;
  }

  test::TestHost host_{test::TestHost::Storage::File};
  masters::MasterCard card_{masters::ItemCard()};
};

// The other user's row is not committed when the card checks, so on the server only the
// unique index sees it.
TEST_F(CardSaveTest, AnotherUsersSaveOfTheSameCodeIsTheCardsDuplicate) {
  Type(0, "X01");
  Type(1, "洗车");
  auto other = host_.OpenSecondConnection();
  other->BeginTrans();
  ASSERT_EQ(db::Runner(*other).Execute(
                "INSERT INTO PDMWXXM (AutoID, 编码, 维修项目) VALUES (900, 'X01', '补胎')"),
            "");
  std::thread commit([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    other->CommitTrans();
  });
  EXPECT_FALSE(card_.FileSave());
  commit.join();
  ASSERT_EQ(host_.Dialogs().Boxes().size(), 1u);
  EXPECT_EQ(host_.Dialogs().Boxes()[0].text, "编码(X01)重复,请检查!");
  EXPECT_EQ(host_.Scalar("SELECT count(*) FROM PDMWXXM").ToLong(), 1);
}

TEST_F(CardSaveTest, AFullDiskIsToldInTheShopsWordsOnce) {
  if (host_.OnPostgres()) {
    ASSERT_EQ(host_.Db().ExecScript(
                  "CREATE FUNCTION ws_full() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN "
                  "RAISE EXCEPTION 'could not extend file' USING ERRCODE = 'disk_full'; END $$; "
                  "CREATE TRIGGER ws_full BEFORE INSERT ON PDMWXXM FOR EACH ROW EXECUTE "
                  "FUNCTION ws_full()"),
              "");
  } else {
    // The file may not grow by a page: what a full disk does to a save.
    ASSERT_EQ(host_.Db().ExecScript("PRAGMA max_page_count = 1"), "");
  }
  Type(0, "X01");
  Type(1, "洗车");
  Type(2, std::string(20000, 'x'));
  EXPECT_FALSE(card_.FileSave());
  EXPECT_EQ(TimesTold(platform::kDiskFullText), 1);
  EXPECT_EQ(TimesTold("full"), 0) << "no engine text";
  EXPECT_EQ(host_.Scalar("SELECT count(*) FROM PDMWXXM").ToLong(), 0);
}

// `ws backup` / `ws restore` on shop files that other users keep open (WAL): the copy holds
// what was committed when it began and is checked before it counts, a restore replaces
// everything at once, only from a sound backup of a shop this program reads, and leaves the
// backup byte for byte as it was.
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
