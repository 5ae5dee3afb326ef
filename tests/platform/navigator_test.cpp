#include "platform/navigator.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <thread>
#include <vector>

#include "db/runner.h"
#include "db/sql.h"
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

std::string AddOrder(db::IDatabase& db, int64_t id, const std::string& number,
                     const std::string& date = "2012-06-01", int64_t prog = 200001) {
  db::Sql sql("INSERT INTO WSDJ (单据ID, progid, smark, 工单号码, 进厂日期, 车主ID) VALUES (");
  sql.Key(id).Raw(", ").Key(prog).Raw(", '01', ").Text(number).Raw(", ").Text(date).Raw(", 7)");
  return db::Runner(db).Execute(sql);
}

struct Seen {
  int64_t id = 0;
  std::string position;
  std::optional<std::string> message;
};

Seen Look(const host::NavResult& r) {
  Seen seen{0, r.position, r.message};
  if (r.records && !r.records->Eof()) seen.id = r.records->Long("单据ID");
  return seen;
}
Seen Move(RecordNavigator& nav, int mode, int64_t current) {
  Seen seen = Look(nav.Navigate(kSelect, kWindow, mode, current, "单据ID", 1));
  EXPECT_EQ(seen.message, std::optional<std::string>("")) << "mode " << mode << " at " << current;
  return seen;
}
Seen Find(RecordNavigator& nav, const std::string& condition, const std::string& base = kWindow) {
  return Look(nav.Search(kSelect, base, condition, "单据ID"));
}

class NavigatorTest : public test::HostTest {
 protected:
  void SetUp() override {
    host_.Exec("INSERT INTO pdmwldw (往来ID, 公司名称) VALUES (7, '宏达运输')");
  }
  void Add(int64_t id, const std::string& number, const std::string& date = "2012-06-01",
           int64_t prog = 200001) {
    ASSERT_EQ(AddOrder(host_.Db(), id, number, date, prog), "") << id;
  }
  RecordNavigator nav_{host_.Db()};
};

TEST_F(NavigatorTest, MovesThroughTheListAndStaysPutAtBothEnds) {
  Add(5, "B");
  Add(3, "A");
  Add(9, "C");
  Add(4, "OLD", "2011-05-31");            // before the window
  Add(6, "OTHER", "2012-06-01", 200002);  // another program

  host::NavResult first = nav_.Navigate(kSelect, kWindow, kNavFirst, 0, "单据ID", 1);
  ASSERT_EQ(first.message, std::optional<std::string>(""));
  EXPECT_EQ(first.records->Text("公司名称"), "宏达运输") << "joined columns come along";
  EXPECT_EQ(Look(first).position, "1/3");
  struct Step {
    int mode;
    int64_t id;
    const char* position;
  };
  const Step steps[] = {{kNavNext, 5, "2/3"},     {kNavNext, 9, "3/3"},
                        {kNavNext, 9, "3/3"},     {kNavLast, 9, "3/3"},
                        {kNavPrevious, 5, "2/3"}, {kNavPrevious, 3, "1/3"},
                        {kNavPrevious, 3, "1/3"}, {kNavLast, 9, "3/3"}};
  int64_t current = 3;
  for (const Step& step : steps) {
    Seen seen = Move(nav_, step.mode, current);
    EXPECT_EQ(seen.id, step.id) << "mode " << step.mode << " from " << current;
    EXPECT_EQ(seen.position, step.position) << "mode " << step.mode << " from " << current;
    current = seen.id;
  }

  // A current row that vanished gives way to the nearest (as after deleting an order).
  host_.Exec("DELETE FROM WSDJ WHERE 单据ID=9");
  Seen seen = Move(nav_, kNavNext, 9);
  EXPECT_EQ(seen.id, 5);
  EXPECT_EQ(seen.position, "2/2");
}

TEST(NavigatorSharedTest, PositionStaysTrueWhenOthersSave) {
  TestHost host(TestHost::Storage::File);
  for (int64_t id : {10, 20, 30}) ASSERT_EQ(AddOrder(host.Db(), id, "N" + std::to_string(id)), "");
  RecordNavigator nav(host.Db());

  EXPECT_EQ(Move(nav, kNavFirst, 0).position, "1/3");

  ASSERT_EQ(AddOrder(host.Db(), 15, "N15"), "");
  Seen seen = Move(nav, kNavPrevious, 30);
  EXPECT_EQ(seen.id, 20);
  EXPECT_EQ(seen.position, "3/4");
  // A jump to a row far from the remembered one is counted between the two only.
  seen = Find(nav, "工单号码='N10'");
  EXPECT_EQ(seen.id, 10);
  EXPECT_EQ(seen.position, "1/4");
  // A row shown by its key after others wrote to its block, as a save shows its document: the
  // block's count and the rows up to the row come together, and hold for the next move.
  ASSERT_EQ(AddOrder(host.Db(), 25, "N25"), "");
  ASSERT_EQ(AddOrder(host.Db(), 35, "N35"), "");
  EXPECT_EQ(Find(nav, "单据ID=30").position, "5/6");
  EXPECT_EQ(Move(nav, kNavNext, 30).position, "6/6");
  EXPECT_EQ(Find(nav, "单据ID=15").position, "2/6");
}

TEST_F(NavigatorTest, SearchFindsTheLowestMatchAndCountsItInTheWholeList) {
  Add(3, "A-1");
  Add(5, "B-1");
  Add(7, "A-2");
  Add(8, "A-3", "2010-01-01");  // matches, but outside the list
  struct Case {
    std::string condition;
    std::string base;
    int64_t id;
    const char* position;
  };
  const Case cases[] = {
      // LIKE ignores case on either engine, as on the desktop dialect.
      {" 工单号码 like '%a%'", kWindow, 3, "1/3"},
      // FindNext: the same condition past the current row; none past the last match.
      {" 工单号码 like '%A%' AND 单据ID > 3", kWindow, 7, "3/3"},
      {" 工单号码 like '%A%' AND 单据ID > 7", kWindow, 0, "0/0"},
      // The condition is bracketed: an OR in it cannot widen the list.
      {"工单号码='A-3' OR 工单号码='B-1'", kWindow, 5, "2/3"},
      // One row by its key, as a document shows itself after a save: in any spelling, never
      // outside the list, and a condition that only starts like one is taken whole.
      {" 单据ID=7", kWindow, 7, "3/3"},
      {"单据id = 5", kWindow, 5, "2/3"},
      {"单据ID=8", kWindow, 0, "0/0"},
      {"单据ID=8 OR 单据ID=5", kWindow, 5, "2/3"}};
  for (const Case& c : cases) {
    Seen seen = Find(nav_, c.condition, c.base);
    EXPECT_EQ(seen.id, c.id) << c.condition;
    EXPECT_EQ(seen.position, c.position) << c.condition;
    EXPECT_EQ(seen.message.has_value(), c.id != 0) << c.condition;
  }
  // A list windowed by dates is never walked by key to the first match: the walk would pass
  // every order before the window. The matches are sorted instead, even where sorting is
  // made to look dearer than any walk.
  host_.Db().ClearLog();
  host_.Db().EnableLog(true);
  EXPECT_EQ(Find(nav_, " 工单号码 like 'A%'").id, 3);
  host_.Db().EnableLog(false);
  const auto finds = host_.LoggedPlans("工单号码 like");
  for (const auto& [sql, plan] : finds) {
    EXPECT_NE(plan.find(host_.OnPostgres() ? "Sort Key" : "TEMP B-TREE FOR ORDER BY"),
              std::string::npos)
        << sql << "\n"
        << plan;
  }
  EXPECT_EQ(finds.size(), 1u);
}

// Counting skips the lookup joins, aliased or not, only where they cannot change the number of
// rows; a join skipped wrongly shows in the position of the first row.
TEST_F(NavigatorTest, CountsSkipLookupJoinsOnlyWhenTheyCannotChangeTheCount) {
  host_.Exec("INSERT INTO clzl (车辆ID, 车牌号, 车主ID) VALUES (1, '京A1', 7), (2, '京A2', 7)");
  for (int64_t id : {3, 5, 9}) Add(id, "N" + std::to_string(id));
  host_.Exec("UPDATE WSDJ SET 车辆ID = 1 WHERE 单据ID IN (3, 9)");
  const std::string aliased =
      kSelect + " LEFT JOIN PDMBM AS PDMBM_1 ON WSDJ.维修分类ID = PDMBM_1.部门ID";
  struct Case {
    std::string select;
    std::string condition;
    std::string position;  // of the first row
  };
  const Case cases[] = {
      {kSelect, kWindow, "1/3"},
      {aliased, kWindow, "1/3"},
      // The condition names a joined table's column, qualified, aliased or not.
      {kSelect, kWindow + " and 车牌号='京A1'", "1/2"},
      {kSelect, kWindow + " and CLZl.车主ID=7", "1/2"},
      {aliased, kWindow + " and PDMBM_1.部门名称 IS NULL", "1/3"},
      // A lookup hanging on another lookup's column keeps that one in the count.
      {kSelect + " LEFT JOIN PDMBM AS PDMBM_1 ON CLZl.车主ID = PDMBM_1.部门ID",
       kWindow + " and PDMBM_1.部门名称 IS NULL", "1/3"},
      // A join on a column that is not the joined table's key repeats rows (each order twice
      // here, the first one's two rows both counted up to it).
      {" SELECT WSDJ.*, clzl.车牌号 FROM WSDJ LEFT JOIN clzl ON WSDJ.车主ID = clzl.车主ID", kWindow,
       "2/6"},
      {" SELECT WSDJ.* FROM WSDJ INNER JOIN clzl ON WSDJ.车辆ID = clzl.车辆ID", kWindow, "1/2"}};
  for (const Case& c : cases) {
    RecordNavigator nav(host_.Db());
    host::NavResult r = nav.Navigate(c.select, c.condition, kNavFirst, 0, "单据ID", 1);
    ASSERT_EQ(r.message, std::optional<std::string>("")) << c.condition;
    EXPECT_EQ(r.position, c.position) << c.select << " WHERE " << c.condition;
  }
}

TEST_F(NavigatorTest, NewIdsNeverCollideWithRowsAlreadyThere) {
  Add(41, "A");
  int64_t id = 0;
  ASSERT_EQ(nav_.GetNewID("wsdj", "单据ID", id), "");
  EXPECT_EQ(id, 42) << "starts after the highest key";
  // Someone inserted past the counter without asking: the counter jumps.
  Add(100, "B");
  ASSERT_EQ(nav_.GetNewID("wsdj", "单据ID", id), "");
  EXPECT_EQ(id, 101);

  // Inside the caller's transaction (as a save asks): no nested transaction, a failed statement
  // of the save does not spoil the next id, and a rolled-back id may come again but never
  // collides.
  host_.Db().BeginTrans();
  ASSERT_EQ(nav_.GetNewID("wsdj", "单据ID", id), "");
  EXPECT_EQ(id, 102);
  Add(id, "C");
  EXPECT_NE(AddOrder(host_.Db(), id, "C again"), "");
  host_.Db().RollbackTrans();
  ASSERT_EQ(nav_.GetNewID("wsdj", "单据ID", id), "");
  Add(id, "D");
  host_.Db().BeginTrans();
  ASSERT_EQ(nav_.GetNewID("wsdj", "单据ID", id), "");
  Add(id, "E");
  host_.Db().CommitTrans();
  EXPECT_EQ(host_.Scalar("SELECT COUNT(*) FROM WSDJ WHERE 工单号码 IN ('D','E')").ToLong(), 2);

  // A batch (a document's new lines) takes the next ids together, and also jumps past rows
  // inserted without asking; the single id after it follows the batch.
  std::vector<int64_t> ids;
  Add(300, "F");
  ASSERT_EQ(nav_.GetNewIDs("wsdj", "单据ID", 3, ids), "");
  EXPECT_EQ(ids, (std::vector<int64_t>{301, 302, 303}));
  ASSERT_EQ(nav_.GetNewIDs("wsdj", "单据ID", 2, ids), "");
  EXPECT_EQ(ids, (std::vector<int64_t>{304, 305}));
  ASSERT_EQ(nav_.GetNewID("wsdj", "单据ID", id), "");
  EXPECT_EQ(id, 306);

  // Several tables in one go (a new document and its lines): a table named twice gets one run
  // of ids split in order, a table never asked before starts past its rows, an empty batch
  // takes nothing.
  host_.Exec("INSERT INTO WSDJXM (单据明细ID, 单据ID) VALUES (7, 306)");
  std::vector<host::IdBatch> batches = {
      {.table = "WSDJ", .keyColumn = "单据ID", .count = 1, .ids = {}},
      {.table = "wsdjxm", .keyColumn = "单据明细ID", .count = 2, .ids = {}},
      {.table = "wsdj", .keyColumn = "单据ID", .count = 0, .ids = {}},
      {.table = "wsdjxm", .keyColumn = "单据明细ID", .count = 1, .ids = {}}};
  ASSERT_EQ(nav_.GetNewIDs(batches), "");
  const std::vector<std::vector<int64_t>> expected = {{307}, {8, 9}, {}, {10}};
  for (size_t i = 0; i < batches.size(); ++i) EXPECT_EQ(batches[i].ids, expected[i]) << i;
  ASSERT_EQ(nav_.GetNewIDs("wsdjxm", "单据明细ID", 1, ids), "");
  EXPECT_EQ(ids, std::vector<int64_t>{11});

  // Names are identifiers, never statement text.
  int64_t untouched = -1;
  EXPECT_NE(nav_.GetNewID("wsdj; DROP TABLE ws_id", "单据ID", untouched), "");
  EXPECT_NE(nav_.GetNewID("wsdj", "单据ID) FROM ws_id --", untouched), "");
  EXPECT_NE(nav_.GetNewID("no_such_table", "id", untouched), "");
  EXPECT_EQ(untouched, -1);
}

// Two users saving at once: no id twice. Either each asks for its id (every other save inside
// its transaction), or each holds the counter and numbers from the table's maximum inside its
// transaction, as a posting does: the hold keeps the other waiting until its commit.
TEST(NavigatorSharedTest, NewIdsAreUniqueAcrossConcurrentUsers) {
  constexpr int kSaves = 60;
  for (const bool hold : {false, true}) {
    TestHost host(TestHost::Storage::File);
    std::vector<std::string> failures(2);
    auto user = [&](int who) {
      auto db = host.OpenSecondConnection();
      RecordNavigator nav(*db);
      for (int i = 0; i < kSaves && failures[who].empty(); ++i) {
        std::string& failure = failures[who];
        if (hold) {
          db::Transaction tx(*db);
          failure = nav.HoldCounter("WSDJ", "单据ID");
          if (failure.empty() &&
              !tx.Run(db::Sql("INSERT INTO WSDJ (单据ID, progid, smark, 工单号码, 车主ID) SELECT "
                              "COALESCE(MAX(单据ID), 0) + 1, 200001, '01', "
                              "CAST(COALESCE(MAX(单据ID), 0) + 1 AS TEXT), 7 FROM WSDJ"))) {
            failure = tx.Error();
          }
          if (failure.empty() && !tx.Commit()) failure = tx.Error();
          continue;
        }
        if (i % 2 == 0) db->BeginTrans();
        int64_t id = 0;
        failure = nav.GetNewID("wsdj", "单据ID", id);
        if (failure.empty()) failure = AddOrder(*db, id, "x" + std::to_string(id));
        if (i % 2 == 0) db->CommitTrans();
      }
    };
    std::thread a(user, 0);
    std::thread b(user, 1);
    a.join();
    b.join();
    EXPECT_EQ(failures[0], "") << hold;
    EXPECT_EQ(failures[1], "") << hold;
    // The key refuses a second row of an id: every save made its own row.
    EXPECT_EQ(host.Scalar("SELECT COUNT(*) FROM WSDJ").ToLong(), 2 * kSaves) << hold;
    // A held counter moved on past the table as a taken id does.
    RecordNavigator nav(host.Db());
    int64_t next = 0;
    ASSERT_EQ(nav.GetNewID("wsdj", "单据ID", next), "");
    EXPECT_GT(next, host.Scalar("SELECT MAX(单据ID) FROM WSDJ").ToLong()) << hold;
  }
}

}  // namespace
}  // namespace ws
