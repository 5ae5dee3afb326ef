#include "platform/navigator.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <thread>
#include <vector>

#include "db/runner.h"
#include "db/sql.h"
#include "forms/text.h"
#include "support/test_host.h"

namespace ws {
namespace {

using host::kNavFirst;
using host::kNavLast;
using host::kNavNext;
using host::kNavPrevious;
using platform::RecordNavigator;
using test::TestHost;

// The repair order's list as the control asks for it.
const std::string kSelect =
    " SELECT WSDJ.*, pdmwldw.公司名称, CLZl.车牌号, CLZl.发动机号, CLZl.车架号, CLZl.车型"
    "  FROM (WSDJ LEFT JOIN CLZl ON WSDJ.车辆ID = CLZl.车辆ID)"
    "      LEFT JOIN pdmwldw ON WSDJ.车主ID = pdmwldw.往来ID";
const std::string kWindow = "progid=200001 and 进厂日期>='2011-06-01' and 进厂日期<'2012-07-01'";

void AddOrder(db::IDatabase& db, int64_t id, const std::string& number,
              const std::string& date = "2012-06-01", int64_t prog = 200001) {
  std::string error = db::Runner(db).Execute(
      db::Sql("INSERT INTO WSDJ (单据ID, progid, smark, 工单号码, 进厂日期, 车主ID) VALUES (")
          .Key(id)
          .Raw(", ")
          .Key(prog)
          .Raw(", '01', ")
          .Text(number)
          .Raw(", ")
          .Text(date)
          .Raw(", 7)"));
  ASSERT_EQ(error, "") << "order " << id;
}

struct Seen {
  int64_t id;
  std::string position;
};

Seen Move(RecordNavigator& nav, int mode, int64_t current) {
  host::NavResult r = nav.Navigate(kSelect, kWindow, mode, current, "单据ID", 1);
  EXPECT_EQ(r.message, std::optional<std::string>("")) << "mode " << mode << " from " << current;
  if (!r.records || r.records->Eof()) return {0, r.position};
  return {r.records->Long("单据ID"), r.position};
}

class NavigatorTest : public test::HostTest {
 protected:
  void SetUp() override {
    host_.Exec("INSERT INTO pdmwldw (往来ID, 公司名称) VALUES (7, '宏达运输')");
  }
  RecordNavigator nav_{host_.Db()};
};

TEST_F(NavigatorTest, EmptyListAnswersNullMessageAndNoPosition) {
  AddOrder(host_.Db(), 1, "OUT", "2010-01-01");  // outside the date window
  for (int mode : {kNavFirst, kNavPrevious, kNavNext, kNavLast}) {
    host::NavResult r = nav_.Navigate(kSelect, kWindow, mode, 0, "单据ID", 1);
    EXPECT_FALSE(r.message.has_value()) << "mode " << mode;
    EXPECT_EQ(r.position, "0/0");
    ASSERT_TRUE(r.records);
    EXPECT_TRUE(r.records->Eof() && r.records->Bof());
  }
  host::NavResult found = nav_.Search(kSelect, kWindow, "工单号码='OUT'", "单据ID");
  EXPECT_FALSE(found.message.has_value());
  EXPECT_EQ(found.position, "0/0");
}

TEST_F(NavigatorTest, MovesThroughTheListAndStaysPutAtBothEnds) {
  AddOrder(host_.Db(), 5, "B");
  AddOrder(host_.Db(), 3, "A");
  AddOrder(host_.Db(), 9, "C");
  AddOrder(host_.Db(), 4, "OLD", "2011-05-31");            // before the window
  AddOrder(host_.Db(), 6, "OTHER", "2012-06-01", 200002);  // another program

  host::NavResult first = nav_.Navigate(kSelect, kWindow, kNavFirst, 0, "单据ID", 1);
  ASSERT_EQ(first.message, std::optional<std::string>(""));
  EXPECT_EQ(first.records->Long("单据ID"), 3);
  EXPECT_EQ(first.records->Text("公司名称"), "宏达运输") << "joined columns come along";
  EXPECT_EQ(first.records->RecordCount(), 1) << "one row, not the list";
  EXPECT_EQ(first.position, "1/3");

  std::vector<std::pair<int, int64_t>> moves = {
      {kNavNext, 5},     {kNavNext, 9},     {kNavNext, 9},     {kNavLast, 9},
      {kNavPrevious, 5}, {kNavPrevious, 3}, {kNavPrevious, 3}, {kNavLast, 9}};
  std::vector<std::string> positions = {"2/3", "3/3", "3/3", "3/3", "2/3", "1/3", "1/3", "3/3"};
  int64_t current = 3;
  for (size_t i = 0; i < moves.size(); ++i) {
    Seen seen = Move(nav_, moves[i].first, current);
    EXPECT_EQ(seen.id, moves[i].second) << "move " << i;
    EXPECT_EQ(seen.position, positions[i]) << "move " << i;
    current = seen.id;
  }
  // With no current row (a new control), next starts at the first and previous at the first.
  EXPECT_EQ(Move(nav_, kNavNext, 0).id, 3);
  EXPECT_EQ(Move(nav_, kNavPrevious, 0).id, 3);
}

TEST_F(NavigatorTest, AVanishedCurrentRowGivesWayToTheNearest) {
  for (int64_t id : {3, 5, 9}) AddOrder(host_.Db(), id, "N" + std::to_string(id));
  EXPECT_EQ(Move(nav_, kNavLast, 0).id, 9);
  host_.Exec("DELETE FROM WSDJ WHERE 单据ID=9");
  Seen seen = Move(nav_, kNavNext, 9);  // what a control does after deleting the last order
  EXPECT_EQ(seen.id, 5);
  EXPECT_EQ(seen.position, "2/2");
  host_.Exec("DELETE FROM WSDJ WHERE 单据ID=3");
  seen = Move(nav_, kNavPrevious, 3);
  EXPECT_EQ(seen.id, 5);
  EXPECT_EQ(seen.position, "1/1");
  host_.Exec("DELETE FROM WSDJ WHERE 单据ID=5");
  host::NavResult gone = nav_.Navigate(kSelect, kWindow, kNavNext, 5, "单据ID", 1);
  EXPECT_FALSE(gone.message.has_value());
  EXPECT_EQ(gone.position, "0/0");
}

TEST(NavigatorSharedTest, PositionStaysTrueWhenOthersSave) {
  TestHost host(TestHost::Storage::File);
  auto other = host.OpenSecondConnection();
  ASSERT_TRUE(other);
  for (int64_t id : {10, 20, 30}) AddOrder(host.Db(), id, "N" + std::to_string(id));
  RecordNavigator nav(host.Db());

  EXPECT_EQ(Move(nav, kNavFirst, 0).position, "1/3");
  // Steps over an unchanged list reuse the figures: no counting at all.
  int64_t counted = nav.CountQueries();
  EXPECT_EQ(Move(nav, kNavNext, 10).position, "2/3");
  EXPECT_EQ(Move(nav, kNavNext, 20).position, "3/3");
  EXPECT_EQ(Move(nav, kNavPrevious, 30).position, "2/3");
  EXPECT_EQ(Move(nav, kNavLast, 20).position, "3/3");
  EXPECT_EQ(Move(nav, kNavFirst, 30).position, "1/3");
  // Only SQLite tells cheaply that nobody wrote meanwhile; the server's list is counted again.
  if (!host.OnPostgres()) {
    EXPECT_EQ(nav.CountQueries(), counted);
  }

  // Another user saves an order below and one above the current row.
  AddOrder(*other, 5, "N5");
  AddOrder(*other, 40, "N40");
  Seen seen = Move(nav, kNavNext, 10);
  EXPECT_EQ(seen.id, 20);
  EXPECT_EQ(seen.position, "3/5");
  // ... deletes one, and moves one out of the window.
  ASSERT_EQ(db::Runner(*other).Execute(db::Sql("DELETE FROM WSDJ WHERE 单据ID=5")), "");
  ASSERT_EQ(
      db::Runner(*other).Execute(db::Sql("UPDATE WSDJ SET 进厂日期='2010-01-01' WHERE 单据ID=30")),
      "");
  seen = Move(nav, kNavNext, 20);
  EXPECT_EQ(seen.id, 40);
  EXPECT_EQ(seen.position, "3/3");
  // A save on the navigator's own connection counts too.
  AddOrder(host.Db(), 15, "N15");
  seen = Move(nav, kNavPrevious, 40);
  EXPECT_EQ(seen.id, 20);
  EXPECT_EQ(seen.position, "3/4");
  // A jump to a row far from the remembered one is counted between the two only.
  host::NavResult found = nav.Search(kSelect, kWindow, "工单号码='N10'", "单据ID");
  EXPECT_EQ(found.records->Long("单据ID"), 10);
  EXPECT_EQ(found.position, "1/4");
}

TEST_F(NavigatorTest, SearchFindsTheLowestMatchAndCountsItInTheWholeList) {
  AddOrder(host_.Db(), 3, "A-1");
  AddOrder(host_.Db(), 5, "B-1");
  AddOrder(host_.Db(), 7, "A-2");
  AddOrder(host_.Db(), 8, "A-3", "2010-01-01");  // matches, but outside the list

  host::NavResult r = nav_.Search(kSelect, kWindow, " 工单号码 like '%A%'", "单据ID");
  ASSERT_EQ(r.message, std::optional<std::string>(""));
  EXPECT_EQ(r.records->Long("单据ID"), 3);
  EXPECT_EQ(r.position, "1/3");
  // FindNext: the same condition past the current row.
  r = nav_.Search(kSelect, kWindow, " 工单号码 like '%A%' AND 单据ID > 3", "单据ID");
  EXPECT_EQ(r.records->Long("单据ID"), 7);
  EXPECT_EQ(r.position, "3/3");
  r = nav_.Search(kSelect, kWindow, " 工单号码 like '%A%' AND 单据ID > 7", "单据ID");
  EXPECT_FALSE(r.message.has_value()) << "no further match";
  // The condition is bracketed: an OR in it cannot widen the list.
  r = nav_.Search(kSelect, kWindow, "工单号码='A-3' OR 工单号码='B-1'", "单据ID");
  EXPECT_EQ(r.records->Long("单据ID"), 5);
  EXPECT_EQ(r.position, "2/3");
  // The requested-document form of the base condition.
  r = nav_.Search(kSelect, "progid=200001 and 单据ID=8", "", "单据ID");
  EXPECT_EQ(r.records->Long("单据ID"), 8);
  EXPECT_EQ(r.position, "1/1");
}

TEST_F(NavigatorTest, BrokenStatementsAnswerTheDatabaseError) {
  AddOrder(host_.Db(), 3, "A");
  host::NavResult r =
      nav_.Navigate(" SELECT * FROM NoSuchTable", "progid=1", kNavFirst, 0, "单据ID", 1);
  ASSERT_TRUE(r.message.has_value());
  EXPECT_NE(forms::FoldCase(*r.message).find("nosuchtable"), std::string::npos) << *r.message;
  EXPECT_EQ(r.position, "0/0");
  EXPECT_TRUE(r.records->Eof());

  r = nav_.Navigate(kSelect, "progid=200001 and 不存在的列=1", kNavNext, 0, "单据ID", 1);
  ASSERT_TRUE(r.message.has_value());
  EXPECT_NE(r.message->find("不存在的列"), std::string::npos) << *r.message;

  r = nav_.Search(kSelect, kWindow, "工单号码 = 'unclosed", "单据ID");
  ASSERT_TRUE(r.message.has_value());
  EXPECT_FALSE(r.message->empty());

  RecordNavigator detached;
  r = detached.Navigate(kSelect, kWindow, kNavFirst, 0, "单据ID", 1);
  EXPECT_TRUE(r.message.has_value() && !r.message->empty());
}

TEST_F(NavigatorTest, MovesUseTheKeysetIndexWithoutSorting) {
  WS_SQLITE_ONLY("reads SQLite's query plan");
  AddOrder(host_.Db(), 3, "A");
  AddOrder(host_.Db(), 5, "B");
  host_.Db().ClearLog();
  Move(nav_, kNavFirst, 0);
  Move(nav_, kNavNext, 3);
  Move(nav_, kNavLast, 5);
  Move(nav_, kNavPrevious, 5);
  int checked = 0;
  // A copy: the plan queries below add to the log while we walk it.
  const std::vector<std::string> moves = host_.Db().Log();
  for (const std::string& sql : moves) {
    if (sql.find("ORDER BY") == std::string::npos) continue;
    ++checked;
    auto plan = db::Runner(host_.Db()).Open(db::Sql("EXPLAIN QUERY PLAN " + sql));
    std::string text;
    for (; !plan->Eof(); plan->MoveNext()) text += plan->Text("detail") + "\n";
    EXPECT_EQ(text.find("TEMP B-TREE"), std::string::npos) << sql << "\n" << text;
    EXPECT_NE(text.find("ix_wsdj_keyset"), std::string::npos) << sql << "\n" << text;
  }
  EXPECT_GE(checked, 4);
}

// Counting skips the lookup joins only where they cannot change the number of rows.
TEST_F(NavigatorTest, CountsSkipLookupJoinsOnlyWhenTheyCannotChangeTheCount) {
  host_.Exec("INSERT INTO clzl (车辆ID, 车牌号, 车主ID) VALUES (1, '京A1', 7), (2, '京A2', 7)");
  for (int64_t id : {3, 5, 9}) AddOrder(host_.Db(), id, "N" + std::to_string(id));
  host_.Exec("UPDATE WSDJ SET 车辆ID = 1 WHERE 单据ID IN (3, 9)");
  auto countStatement = [&]() {
    for (const std::string& sql : host_.Db().Log()) {
      if (sql.rfind("SELECT COUNT(*)", 0) == 0) return sql;
    }
    return std::string("no count");
  };
  struct Case {
    std::string select;
    std::string condition;
    std::string position;  // of the first row
    bool joinsCounted;
  };
  const std::vector<Case> cases = {
      {kSelect, kWindow, "1/3", false},
      // The condition names a joined table's column, qualified or not.
      {kSelect, kWindow + " and 车牌号='京A1'", "1/2", true},
      {kSelect, kWindow + " and CLZl.车主ID=7", "1/2", true},
      {kSelect, kWindow + " and pdmwldw.公司名称 like '%宏%'", "1/3", true},
      // A literal that merely mentions a joined column changes nothing.
      {kSelect, kWindow + " and 工单号码<>'车牌号'", "1/3", false},
      // A join on a column that is not the joined table's key repeats rows (each order twice
      // here, the first one's two rows both counted up to it).
      {" SELECT WSDJ.*, clzl.车牌号 FROM WSDJ LEFT JOIN clzl ON WSDJ.车主ID = clzl.车主ID", kWindow,
       "2/6", true},
      {" SELECT WSDJ.* FROM WSDJ INNER JOIN clzl ON WSDJ.车辆ID = clzl.车辆ID", kWindow, "1/2",
       true},
  };
  for (const Case& c : cases) {
    RecordNavigator nav(host_.Db());
    host_.Db().ClearLog();
    host::NavResult r = nav.Navigate(c.select, c.condition, kNavFirst, 0, "单据ID", 1);
    ASSERT_EQ(r.message, std::optional<std::string>("")) << c.condition;
    EXPECT_EQ(r.position, c.position) << c.select << " WHERE " << c.condition;
    EXPECT_EQ(countStatement().find("JOIN") != std::string::npos, c.joinsCounted)
        << countStatement();
  }
}

TEST_F(NavigatorTest, NewIdsNeverCollideWithRowsAlreadyThere) {
  AddOrder(host_.Db(), 41, "A");
  int64_t id = 0;
  ASSERT_EQ(nav_.GetNewID("wsdj", "单据ID", id), "");
  EXPECT_EQ(id, 42) << "starts after the highest key";
  ASSERT_EQ(nav_.GetNewID("WSDJ", "单据ID", id), "");
  EXPECT_EQ(id, 43) << "the table name's case does not matter";
  EXPECT_EQ(host_.Scalar("SELECT last_id FROM ws_id WHERE table_name='wsdj'").ToLong(), 43);

  // Someone inserted past the counter without asking: the counter jumps.
  AddOrder(host_.Db(), 100, "B");
  ASSERT_EQ(nav_.GetNewID("wsdj", "单据ID", id), "");
  EXPECT_EQ(id, 101);
  // Each key column counts on its own.
  ASSERT_EQ(nav_.GetNewID("wsdjxm", "单据明细ID", id), "");
  EXPECT_EQ(id, 1);

  // Inside the caller's transaction (as a save asks): no nested transaction, and a rolled-back
  // id may come again but never collides.
  host_.Db().BeginTrans();
  ASSERT_EQ(nav_.GetNewID("wsdj", "单据ID", id), "");
  EXPECT_EQ(id, 102);
  AddOrder(host_.Db(), id, "C");
  host_.Db().RollbackTrans();
  ASSERT_EQ(nav_.GetNewID("wsdj", "单据ID", id), "");
  AddOrder(host_.Db(), id, "D");
  host_.Db().BeginTrans();
  ASSERT_EQ(nav_.GetNewID("wsdj", "单据ID", id), "");
  AddOrder(host_.Db(), id, "E");
  host_.Db().CommitTrans();
  EXPECT_EQ(host_.Scalar("SELECT COUNT(*) FROM WSDJ WHERE 工单号码 IN ('D','E')").ToLong(), 2);

  // Names are identifiers, never statement text.
  int64_t untouched = -1;
  EXPECT_NE(nav_.GetNewID("wsdj; DROP TABLE ws_id", "单据ID", untouched), "");
  EXPECT_NE(nav_.GetNewID("wsdj", "单据ID) FROM ws_id --", untouched), "");
  EXPECT_NE(nav_.GetNewID("no_such_table", "id", untouched), "");
  EXPECT_EQ(untouched, -1);
}

TEST(NavigatorSharedTest, NewIdsAreUniqueAcrossConcurrentUsers) {
  TestHost host(TestHost::Storage::File);
  constexpr int kSaves = 60;
  std::vector<std::vector<int64_t>> issued(2);
  std::vector<std::string> failures(2);
  auto user = [&](int who) {
    std::string error;
    auto db = host.OpenSecondConnection();
    if (!db) {
      failures[who] = "no connection";
      return;
    }
    RecordNavigator nav(*db);
    for (int i = 0; i < kSaves; ++i) {
      // Every other save asks inside its transaction, the rest outside one.
      bool inTransaction = i % 2 == 0;
      if (inTransaction) db->BeginTrans();
      int64_t id = 0;
      error = nav.GetNewID("wsdj", "单据ID", id);
      if (error.empty()) {
        error =
            db::Runner(*db).Execute(db::Sql("INSERT INTO WSDJ (单据ID, progid, 工单号码) VALUES (")
                                        .Key(id)
                                        .Raw(", 1, ")
                                        .Text("x" + std::to_string(id))
                                        .Raw(")"));
      }
      if (inTransaction) db->CommitTrans();
      if (!error.empty()) {
        failures[who] = error;
        return;
      }
      issued[who].push_back(id);
    }
  };
  std::thread a(user, 0);
  std::thread b(user, 1);
  a.join();
  b.join();
  EXPECT_EQ(failures[0], "");
  EXPECT_EQ(failures[1], "");
  std::set<int64_t> all(issued[0].begin(), issued[0].end());
  all.insert(issued[1].begin(), issued[1].end());
  EXPECT_EQ(all.size(), issued[0].size() + issued[1].size());
  EXPECT_EQ(host.Scalar("SELECT COUNT(*) FROM WSDJ").ToLong(), 2 * kSaves);
}

}  // namespace
}  // namespace ws
