// The navigator's per-block figures: after other users write, only the blocks of keys they
// wrote to are counted again, and the position text stays what a full count gives, whatever
// they did, on lists the blocks cannot vouch for, inside a transaction and on a file without
// the tracking.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "db/catalogue.h"
#include "db/runner.h"
#include "db/sql.h"
#include "platform/navigator.h"
#include "support/test_host.h"

namespace ws {
namespace {

using host::kNavFirst;
using host::kNavNext;
using host::kNavPrevious;
using platform::RecordNavigator;
using test::TestHost;

const std::string kSelect =
    " SELECT WSDJ.*, pdmwldw.公司名称 FROM WSDJ LEFT JOIN pdmwldw ON WSDJ.车主ID = pdmwldw.往来ID";
const std::string kWindow = "progid=200001 and 进厂日期>='2012-01-01' and 进厂日期<'2013-01-01'";
constexpr int64_t kBlock = db::kChangeBlockKeys;

void Write(db::IDatabase& db, const db::Sql& sql) {
  ASSERT_EQ(db::Runner(db).Execute(sql), "") << sql.Literal();
}

void AddOrder(db::IDatabase& db, int64_t id, const std::string& date = "2012-06-01",
              int64_t owner = 7) {
  db::Sql sql("INSERT INTO WSDJ (单据ID, progid, 工单号码, 进厂日期, 车主ID) VALUES (");
  sql.Key(id).Raw(", 200001, ").Text("N" + std::to_string(id)).Raw(", ").Text(date).Raw(", ");
  Write(db, sql.Key(owner).Raw(")"));
}

// "k/N" of the row as a full count over the list gives it.
std::string Counted(db::IDatabase& db, const std::string& condition, int64_t id) {
  db::Sql sql("SELECT COUNT(*), SUM(CASE WHEN 单据ID <= ");
  sql.Key(id).Raw(" THEN 1 ELSE 0 END) FROM WSDJ LEFT JOIN pdmwldw ON WSDJ.车主ID = ");
  auto rs = db::Runner(db).Open(sql.Raw("pdmwldw.往来ID WHERE ").Raw(condition));
  return std::to_string(rs->Field(1).ToLong()) + "/" + std::to_string(rs->Field(0).ToLong());
}

class NavigatorBlocksTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(other_);
    host_.Exec("INSERT INTO pdmwldw (往来ID, 公司名称) VALUES (7, '宏达运输'), (8, '顺风')");
    host_.Db().EnableLog(true);
  }

  host::NavResult Move(int mode, int64_t current, const std::string& condition = kWindow) {
    host::NavResult r = nav_.Navigate(kSelect, condition, mode, current, "单据ID", 1);
    EXPECT_EQ(r.message, std::optional<std::string>("")) << condition;
    return r;
  }
  // Count statements the navigator ran since the log was last cleared.
  int Counts() {
    int n = 0;
    for (const auto& sql : host_.Db().Log()) n += sql.rfind("SELECT COUNT(*)", 0) == 0;
    return n;
  }

  TestHost host_{TestHost::Storage::File};
  std::unique_ptr<platform::EngineDatabase> other_ = host_.OpenSecondConnection();
  RecordNavigator nav_{host_.Db()};
};

TEST_F(NavigatorBlocksTest, OnlyTheBlocksOthersWroteToAreCountedAgain) {
  for (int64_t block = 0; block < 6; ++block) {
    for (int64_t i = 1; i <= 3; ++i) AddOrder(host_.Db(), block * kBlock + i * 10);
  }
  host::NavResult r = Move(kNavFirst, 0);
  EXPECT_EQ(r.position, "1/18");

  // Another user adds a row in block 4 and deletes one in block 1: the next step recounts
  // those two blocks and the row's own block up to it, not the six blocks of the list.
  AddOrder(*other_, 4 * kBlock + 5);
  Write(*other_, db::Sql("DELETE FROM WSDJ WHERE 单据ID=").Key(kBlock + 20));
  host_.Db().ClearLog();
  r = Move(kNavNext, 10);
  EXPECT_EQ(r.records->Long("单据ID"), 20);
  EXPECT_EQ(r.position, "2/18");
  // The server's change stamp moves with any session's writes, which may cost a retry there.
  if (!host_.OnPostgres()) {
    EXPECT_EQ(Counts(), 3);
  }
  for (const auto& sql : host_.Db().Log()) {
    EXPECT_EQ(sql.find("GROUP BY"), std::string::npos) << "no full pass: " << sql;
  }
  // A row that leaves the window by a date change is a write to its block too.
  Write(*other_,
        db::Sql("UPDATE WSDJ SET 进厂日期='2011-12-31' WHERE 单据ID=").Key(5 * kBlock + 10));
  r = Move(kNavPrevious, 20);
  EXPECT_EQ(r.position, "1/17");
}

// Random writes of another user all over the list, each followed by a move of this one: the
// position always equals a full count, the row always the neighbour by key.
TEST_F(NavigatorBlocksTest, PositionsEqualAFullCountAfterAnyWrites) {
  std::mt19937 random(20120615);
  for (int64_t id = 7; id < 5 * kBlock; id += 97) AddOrder(host_.Db(), id);
  int64_t current = Move(kNavFirst, 0).records->Long("单据ID");
  for (int step = 0; step < 120; ++step) {
    const std::string key = std::to_string(1 + random() % (6 * kBlock));
    const std::string other = ") AND 单据ID<>" + std::to_string(current);
    // Fixed statements of the test's own, the keys being its own numbers.
    const std::string writes[] = {
        "INSERT INTO WSDJ (单据ID, progid, 进厂日期) VALUES (" + key +
            ", 200001, '2012-03-03') ON CONFLICT (单据ID) DO NOTHING",
        "DELETE FROM WSDJ WHERE 单据ID=(SELECT MIN(单据ID) FROM WSDJ WHERE 单据ID>=" + key + other,
        // out of the window, and back in
        "UPDATE WSDJ SET 进厂日期='2011-05-05' WHERE 单据ID=(SELECT MAX(单据ID) FROM WSDJ WHERE "
        "单据ID<=" +
            key + other,
        "UPDATE WSDJ SET 进厂日期='2012-05-05' WHERE 单据ID=(SELECT MIN(单据ID) FROM WSDJ WHERE "
        "进厂日期<'2012-01-01' AND 单据ID>=" +
            key + ")"};
    // Now and then nothing is written: the figures are reused.
    if (const size_t pick = random() % 5; pick < 4) Write(*other_, db::Sql(writes[pick]));
    const int mode = random() % 3 == 0 ? kNavPrevious : kNavNext;
    host::NavResult r = Move(mode, current);
    ASSERT_FALSE(r.records->Eof());
    const int64_t id = r.records->Long("单据ID");
    ASSERT_EQ(r.position, Counted(host_.Db(), kWindow, id)) << "step " << step << " at " << id;
    current = id;
  }
}

// A list whose rows depend on another table cannot be vouched for by the order table's blocks:
// renaming a customer changes it without a write to WSDJ.
TEST_F(NavigatorBlocksTest, ListsThatDependOnOtherTablesAreCountedWhole) {
  for (int64_t id : {int64_t{10}, int64_t{20}, kBlock + 10})
    AddOrder(host_.Db(), id, "2012-06-01", 7);
  AddOrder(host_.Db(), 30, "2012-06-01", 8);
  struct Case {
    std::string select;
    std::string condition;
  };
  const std::vector<Case> cases = {
      {kSelect, kWindow + " and 车主ID IN (SELECT 往来ID FROM pdmwldw WHERE 公司名称 LIKE '宏%')"},
      {kSelect, kWindow + " and pdmwldw.公司名称 LIKE '宏%'"},
      // The order table alone, its subquery naming nothing of the orders'.
      {" SELECT * FROM WSDJ",
       kWindow + " and 车主ID IN (SELECT 往来ID FROM pdmwldw WHERE 简称 = '宏')"},
  };
  for (const Case& c : cases) {
    Write(*other_, db::Sql("UPDATE pdmwldw SET 公司名称='顺风', 简称='' WHERE 往来ID=8"));
    Write(*other_, db::Sql("UPDATE pdmwldw SET 简称='宏' WHERE 往来ID=7"));
    auto move = [&](int mode, int64_t current) {
      host::NavResult r = nav_.Navigate(c.select, c.condition, mode, current, "单据ID", 1);
      EXPECT_EQ(r.message, std::optional<std::string>("")) << c.condition;
      return r.position;
    };
    EXPECT_EQ(move(kNavFirst, 0), "1/3") << c.condition;
    Write(*other_, db::Sql("UPDATE pdmwldw SET 公司名称='宏图', 简称='宏' WHERE 往来ID=8"));
    EXPECT_EQ(move(kNavNext, 10), "2/4") << c.condition;
  }
}

// Figures taken inside a transaction include this connection's own uncommitted write; were
// they kept, a rollback followed by another user's delete in the same block would leave the
// block at the version they were taken under with a different content.
TEST_F(NavigatorBlocksTest, FiguresTakenInsideATransactionAreNotKept) {
  for (int64_t id : {10, 20, 30}) AddOrder(host_.Db(), id);
  EXPECT_EQ(Move(kNavFirst, 0).position, "1/3");
  host_.Db().BeginTrans();
  AddOrder(host_.Db(), 40);
  EXPECT_EQ(Move(kNavNext, 10).position, "2/4");
  host_.Db().RollbackTrans();
  // The other user waits for no one now; the delete brings block 0 to the same version.
  Write(*other_, db::Sql("DELETE FROM WSDJ WHERE 单据ID=30"));
  EXPECT_EQ(Move(kNavNext, 10).position, "2/2");
}

TEST_F(NavigatorBlocksTest, AFileWithoutTheTrackingIsCountedWhole) {
  WS_SQLITE_ONLY("drops SQLite triggers by their names");
  for (const char* trigger : {"ws_change_wsdj_ins", "ws_change_wsdj_upd", "ws_change_wsdj_del"}) {
    ASSERT_EQ(host_.Db().ExecScript(std::string("DROP TRIGGER ") + trigger), "");
  }
  ASSERT_EQ(host_.Db().ExecScript("DROP TABLE ws_change_block"), "");
  for (int64_t id : {int64_t{10}, int64_t{20}, kBlock + 10}) AddOrder(host_.Db(), id);
  EXPECT_EQ(Move(kNavFirst, 0).position, "1/3");
  AddOrder(*other_, 15);
  EXPECT_EQ(Move(kNavNext, 10).position, "2/4");
}

}  // namespace
}  // namespace ws
