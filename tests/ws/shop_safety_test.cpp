// What protects a shop on either engine: the upgrade makes every object of the catalogue and
// names the rows that keep a unique index out, a card saved while another user saves the same
// code says the card's own words, and a full disk is told in the shop's words, once.
#include <gtest/gtest.h>

#include <chrono>
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

}  // namespace
}  // namespace ws::shop
