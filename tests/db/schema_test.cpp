// The catalogue and its layout in a shop file: what a new shop holds, and a file written by an
// older build opened: every subsystem's tables are brought forward in one transaction, data
// stays, and a file of a newer build is refused untouched.
#include "db/schema.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "db/catalogue.h"
#include "db/default_config.h"
#include "db/runner.h"
#include "platform/sqlite_database.h"
#include "support/test_host.h"

namespace ws::db {
namespace {

namespace fs = std::filesystem;

class SchemaTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = (fs::temp_directory_path() / ("ws_schema_test_" + std::to_string(::getpid()) + ".db"))
                .string();
    Remove();
    // The layout of the build before per-subsystem versions: the tables, columns and indexes
    // of version 1 without change tracking, and ws_meta with the schema name and version 1 only.
    auto db = Open();
    for (const auto& sql : CatalogueStatements(Engine::Sqlite)) {
      if (sql.Statement().rfind("CREATE TRIGGER", 0) == 0) continue;
      ASSERT_EQ(Runner(*db).Execute(sql), "") << sql.Literal();
    }
    for (const auto& table : Tables()) {
      if (table.since > 1) {
        ASSERT_EQ(db->ExecScript("DROP TABLE " + table.name), "");
        continue;
      }
      for (const auto& index : table.indexes) {
        if (index.since > 1 && index.onlyOn.value_or(Engine::Sqlite) == Engine::Sqlite) {
          ASSERT_EQ(db->ExecScript("DROP INDEX " + index.name), "");
        }
      }
    }
    ASSERT_EQ(db->ExecScript("DELETE FROM ws_meta WHERE key LIKE 'version:%';"
                             "UPDATE ws_meta SET value = '1' WHERE key = 'version';"
                             "INSERT INTO WSDJ (单据ID, progid, 工单号码) VALUES (7, 200001, 'W7');"
                             "INSERT INTO xt_menu (progID, menuname) VALUES (200001, '工单');"),
              "");
  }
  void TearDown() override { Remove(); }

  std::unique_ptr<platform::SqliteDatabase> Open() {
    std::string error;
    auto db = platform::SqliteDatabase::Open(path_);
    EXPECT_TRUE(db) << db.Error();
    return std::move(db).Take();
  }
  void Remove() {
    std::error_code ignored;
    for (const char* suffix : {"", "-wal", "-shm"}) fs::remove(path_ + suffix, ignored);
  }
  static std::string Text(IDatabase& db, const std::string& sql) {
    std::string error;
    std::string text = Runner(db).ScalarText(Sql(sql), &error);
    EXPECT_EQ(error, "") << sql;
    return text;
  }
  static std::string Meta(IDatabase& db, const std::string& key) {
    return Runner(db).ScalarText(Sql("SELECT value FROM ws_meta WHERE key=").Text(key));
  }

  // The module's version after this build's.
  static int NextModuleVersion() { return CurrentVersion(Subsystems().front()) + 1; }
  // This build's catalogue with the next version of the module's tables: a column, an index and
  // a tracked table added.
  static std::vector<TableDef> NewerCatalogue() {
    const int next = NextModuleVersion();
    std::vector<TableDef> tables = Tables();
    for (auto& table : tables) {
      if (table.name == "WSDJ") {
        table.columns.push_back({"预约日期", ColumnKind::Date, next});
        table.columns.push_back({"预约人", ColumnKind::Text, next});
        table.indexes.push_back({"ix_wsdj_booked", {"预约日期"}, false, "", next});
        // The number's index made needless by a later one.
        std::erase_if(table.indexes,
                      [](const IndexDef& index) { return index.name == "ix_wsdj_number"; });
        table.retiredIndexes.push_back({"ix_wsdj_number", next});
      }
    }
    tables.push_back({"ws_booking",
                      TableRole::Module,
                      {{"预约ID", ColumnKind::Id}, {"单据ID", ColumnKind::Id}},
                      {"预约ID"},
                      {{"ix_ws_booking_doc", {"单据ID"}}},
                      next});
    tables.back().trackedSince = next;
    return tables;
  }

  std::string path_;
};

TEST_F(SchemaTest, AnOlderFileIsBroughtForwardAndKeepsItsData) {
  auto db = Open();
  ASSERT_EQ(SchemaVersion(*db), std::optional<std::string>("1"));
  EXPECT_EQ(UpgradeSchema(*db), "");
  EXPECT_EQ(SchemaVersion(*db), std::optional<std::string>(kSchemaVersion));
  for (const auto& subsystem : Subsystems()) {
    EXPECT_EQ(Meta(*db, SubsystemVersionKey(subsystem)), std::to_string(CurrentVersion(subsystem)))
        << subsystem.name;
  }
  EXPECT_EQ(Text(*db, "SELECT 工单号码 FROM WSDJ WHERE 单据ID=7"), "W7");
  // Every control of this build is in the menu, those the file had left as they were.
  EXPECT_EQ(Text(*db, "SELECT COUNT(*) FROM xt_menu"), std::to_string(DefaultControls().size()));
  EXPECT_EQ(Text(*db, "SELECT COUNT(*) FROM xt_objects"), std::to_string(DefaultControls().size()));
  // Writes to the document tables are tracked from the upgrade on.
  ASSERT_EQ(db->ExecScript("UPDATE WSDJ SET 工单号码='W7a' WHERE 单据ID=7"), "");
  EXPECT_EQ(Text(*db, "SELECT block || ':' || version FROM ws_change_block"), "0:2");

  // A file whose version rows say less than it holds (lost, or written between two builds) is
  // brought forward without tripping over what it already has, and nothing is made twice.
  ASSERT_EQ(db->ExecScript("UPDATE ws_meta SET value = '1' WHERE key = 'version';"
                           "DELETE FROM ws_meta WHERE key LIKE 'version:%'"),
            "");
  EXPECT_EQ(UpgradeSchema(*db), "");
  EXPECT_EQ(SchemaVersion(*db), std::optional<std::string>(kSchemaVersion));
  // One trigger of each kind: an update bumps the old and the new key's block once each.
  ASSERT_EQ(db->ExecScript("UPDATE WSDJ SET 工单号码='W7b' WHERE 单据ID=7"), "");
  EXPECT_EQ(Text(*db, "SELECT block || ':' || version FROM ws_change_block"), "0:4");
}

TEST_F(SchemaTest, AddedTablesColumnsAndIndexesReachTheOlderFile) {
  const auto newer = NewerCatalogue();
  auto db = Open();
  ASSERT_EQ(UpgradeSchema(*db), "");  // this build's layout first
  EXPECT_EQ(UpgradeSchema(*db, newer), "");
  // The old row reads the added columns as a new row would: no date, empty text.
  EXPECT_EQ(Text(*db, "SELECT isnull(预约日期) FROM WSDJ WHERE 单据ID=7"), "1");
  EXPECT_EQ(Text(*db, "SELECT 预约人 || '|' || 工单号码 FROM WSDJ WHERE 单据ID=7"), "|W7");
  const Subsystem& module = Subsystems().front();

  EXPECT_EQ(Text(*db, "SELECT count(*) FROM sqlite_master WHERE name='ix_wsdj_booked'"), "1");
  // The change trigger compares the added column too: a booking changed alone is a change.
  const std::string versions = "SELECT COALESCE(SUM(version), 0) FROM ws_change_block";
  const std::string before = Text(*db, versions);
  ASSERT_EQ(db->ExecScript("UPDATE WSDJ SET 预约人='王' WHERE 单据ID=7"), "");
  EXPECT_NE(Text(*db, versions), before);
  EXPECT_EQ(Text(*db, "SELECT count(*) FROM sqlite_master WHERE name='ix_wsdj_number'"), "0");
  // The same build opening its own file again finds nothing to do; the older build now meets
  // a file newer than itself and refuses it without touching it.
  EXPECT_EQ(UpgradeSchema(*db, newer), "");
  std::string refused = UpgradeSchema(*db);
  EXPECT_NE(refused.find("newer"), std::string::npos) << refused;
  EXPECT_EQ(Meta(*db, SubsystemVersionKey(module)), std::to_string(NextModuleVersion()));
}

TEST_F(SchemaTest, NewerForeignAndFailingFilesAreLeftAsTheyWere) {
  auto db = Open();
  // A migration that fails half way undoes the steps before it, version included.
  std::vector<TableDef> broken = NewerCatalogue();
  broken.back().columns.push_back({"单据ID", ColumnKind::Id, NextModuleVersion()});
  EXPECT_NE(UpgradeSchema(*db, broken), "");
  EXPECT_EQ(SchemaVersion(*db), std::optional<std::string>("1"));
  EXPECT_EQ(Meta(*db, "version:module"), "");
  std::string error;
  Runner(*db).Scalar(Sql("SELECT 预约日期 FROM WSDJ"), &error);
  EXPECT_NE(error, "") << "the column added before the failure is gone again";

  ASSERT_EQ(db->ExecScript("UPDATE ws_meta SET value = '99' WHERE key = 'version'"), "");
  std::string refused = UpgradeSchema(*db);
  EXPECT_NE(refused.find("99"), std::string::npos) << refused;
  EXPECT_EQ(Text(*db, "SELECT count(*) FROM ws_meta WHERE key LIKE 'version:%'"), "0");

  ASSERT_EQ(db->ExecScript("UPDATE ws_meta SET value = 'ledger' WHERE key = 'schema'"), "");
  EXPECT_NE(UpgradeSchema(*db), "");
  auto empty = platform::SqliteDatabase::Open(":memory:");
  ASSERT_TRUE(empty) << empty.Error();
  EXPECT_NE(UpgradeSchema(*empty), "");
}

using CatalogueTest = test::HostTest;

// Rows written without every column still take part in arithmetic and in conditions on the
// empty text: the module's receipts add to 补收金额 of orders whose insert never named it.
TEST_F(CatalogueTest, DefaultsKeepArithmeticAndEmptyTextConditionsWorking) {
  host_.Exec("insert into wsdj (单据ID,progid,工单号码,应收合计) values (1,200001,'W1',100)");
  host_.Exec(" update wsdj   set 补收金额=补收金额  + 30   where 单据ID=1");
  host_.Exec(" update wsdj   set 扣减金额=扣减金额  + 5   where 单据ID=1");
  host_.Exec(" update wsdj   set 余额=总金额-现收金额-补收金额-扣减金额  where 单据ID=1");
  EXPECT_EQ(host_.RowText("select 余额, 进厂日期 from wsdj where 单据ID=1"), "-35/")
      << "dates default to Null";
  EXPECT_EQ(host_.Joined("select count(*) from wsdj where 主管部门<>'' union all "
                         "select count(*) from wsdj where 主管部门=''"),
            "0,1");

  host_.Exec("insert into JXCGoodsZzTz (会计期间,仓库ID,产品ID,库存数量) values (201206,5,2,4)");
  EXPECT_EQ(host_.RowText(" SELECT 库存数量 FROM JXCGoodsZzTz  WHERE 仓库ID=5 AND 会计期间=201206 "
                          "AND 货位='' AND 产品ID=2 AND 等级='' AND 特征码='' AND 产品批次=''"),
            "4");
  // The stock ledger's key keeps one row per period, depot, part and batch.
  EXPECT_NE(host_.Db().ExecScript(
                "insert into JXCGoodsZzTz (会计期间,仓库ID,产品ID,库存数量) values (201206,5,2,1)"),
            "");
}

TEST_F(CatalogueTest, DefaultConfigurationLands) {
  for (const auto& control : DefaultControls()) {
    const std::string where = " where progID=" + std::to_string(control.programNumber);
    // The menu's own captions and classes are the menu model's test.
    EXPECT_EQ(host_.RowText("select progname, classname, fetchPrice from xt_objects" + where),
              control.caption + "/" + control.className + "/0");
  }

  EXPECT_EQ(host_.Joined("select module, name, value from ws_option where name in ('Jzperiod', "
                         "'befmonth', '7', '9', '12', 'fetchmode', 'goodsmsggageedit') order by "
                         "module, value, length(name), name"),
            "1/goodsmsggageedit/0,3/fetchmode/0,12/Jzperiod/0,12/fetchmode/0,12/befmonth/12,12/7/2,"
            "12/9/2,12/12/2");
  // The login date's period; the closing day follows the calendar.
  EXPECT_EQ(host_.Joined("select value from ws_parameter where module=12 order by number"),
            "201206,31");
}

// PostgreSQL cuts identifiers after 63 bytes, which could silently merge two index names.
TEST(CatalogueNames, FitPostgresIdentifierLimit) {
  for (const auto& table : Tables()) {
    EXPECT_LE(table.name.size(), 63u) << table.name;
    for (const auto& column : table.columns) EXPECT_LE(column.name.size(), 63u) << column.name;
    for (const auto& index : table.indexes) EXPECT_LE(index.name.size(), 63u) << index.name;
  }
}

}  // namespace
}  // namespace ws::db
