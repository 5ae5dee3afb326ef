// The record navigator on PostgreSQL: the repair order's list walked, searched and counted over
// the catalogue's tables on the server, with other users saving on their own connections.
#include <gtest/gtest.h>

#include <string>

#include "db/catalogue.h"
#include "db/runner.h"
#include "db/sql.h"
#include "platform/navigator.h"
#include "support/postgres_scratch.h"

namespace ws::platform {
namespace {

using host::kNavFirst;
using host::kNavLast;
using host::kNavNext;
using host::kNavPrevious;
using testing::PostgresScratch;

const std::string kSelect =
    " SELECT WSDJ.*, pdmwldw.公司名称, CLZl.车牌号, CLZl.发动机号, CLZl.车架号, CLZl.车型"
    "  FROM (WSDJ LEFT JOIN CLZl ON WSDJ.车辆ID = CLZl.车辆ID)"
    "      LEFT JOIN pdmwldw ON WSDJ.车主ID = pdmwldw.往来ID";
const std::string kWindow = "progid=200001 and 进厂日期>='2011-06-01' and 进厂日期<'2012-07-01'";

std::string AddOrder(db::IDatabase& db, int64_t id, const std::string& number,
                     const std::string& date = "2012-06-01") {
  return db::Runner(db).Execute(
      db::Sql("INSERT INTO WSDJ (单据ID, progid, smark, 工单号码, 进厂日期, 车主ID) VALUES (")
          .Key(id)
          .Raw(", 200001, '01', ")
          .Text(number)
          .Raw(", ")
          .Text(date)
          .Raw(", 7)"));
}

struct Seen {
  int64_t id = 0;
  std::string position;
  std::string message;
};

Seen Move(RecordNavigator& nav, int mode, int64_t current) {
  host::NavResult r = nav.Navigate(kSelect, kWindow, mode, current, "单据ID", 1);
  Seen seen;
  seen.position = r.position;
  seen.message = r.message.value_or("<null>");
  if (r.records && !r.records->Eof()) seen.id = r.records->Long("单据ID");
  return seen;
}

class PostgresNavigatorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WS_REQUIRE_POSTGRES(scratch_);
    db_ = scratch_.Connect();
    other_ = scratch_.Connect();
    ASSERT_TRUE(db_ && other_) << scratch_.Error();
    for (const auto& sql : db::CatalogueStatements(db::Engine::Postgres)) {
      ASSERT_EQ(db::Runner(*db_).Execute(sql), "") << sql.Literal();
    }
    ASSERT_EQ(
        db::Runner(*db_).Execute("INSERT INTO pdmwldw (往来ID, 公司名称) VALUES (7, '宏达运输')"),
        "");
    nav_.Attach(*db_);
  }

  PostgresScratch scratch_;
  std::unique_ptr<PostgresDatabase> db_;
  std::unique_ptr<PostgresDatabase> other_;
  RecordNavigator nav_;
};

TEST_F(PostgresNavigatorTest, WalksTheListAndKeepsThePositionTrueWhenOthersSave) {
  for (int64_t id : {30, 10, 20}) ASSERT_EQ(AddOrder(*db_, id, "N" + std::to_string(id)), "");
  ASSERT_EQ(AddOrder(*db_, 4, "OLD", "2011-05-31"), "");  // before the window

  host::NavResult first = nav_.Navigate(kSelect, kWindow, kNavFirst, 0, "单据ID", 1);
  ASSERT_EQ(first.message, std::optional<std::string>("")) << first.message.value_or("<null>");
  EXPECT_EQ(first.records->Long("单据ID"), 10);
  EXPECT_EQ(first.records->Text("公司名称"), "宏达运输") << "joined columns come along";
  EXPECT_EQ(first.position, "1/3");
  EXPECT_EQ(Move(nav_, kNavNext, 10).position, "2/3");
  EXPECT_EQ(Move(nav_, kNavLast, 20).position, "3/3");
  Seen stay = Move(nav_, kNavNext, 30);
  EXPECT_EQ(stay.id, 30) << "next at the end stays put";
  EXPECT_EQ(stay.position, "3/3");

  // Another user saves an order below and one above the current row: the next move counts
  // them, although this connection wrote nothing.
  ASSERT_EQ(AddOrder(*other_, 5, "N5"), "");
  ASSERT_EQ(AddOrder(*other_, 40, "N40"), "");
  Seen seen = Move(nav_, kNavPrevious, 30);
  EXPECT_EQ(seen.id, 20);
  EXPECT_EQ(seen.position, "3/5");
  // ... deletes the current row: the nearest row on the other side is taken.
  ASSERT_EQ(db::Runner(*other_).Execute("DELETE FROM wsdj WHERE 单据ID=20"), "");
  seen = Move(nav_, kNavNext, 20);
  EXPECT_EQ(seen.id, 30);
  EXPECT_EQ(seen.position, "3/4");
  // An open, uncommitted save of the other user is not counted.
  other_->BeginTrans();
  ASSERT_EQ(AddOrder(*other_, 1, "N1"), "");
  EXPECT_EQ(Move(nav_, kNavFirst, 30).position, "1/4");
  other_->RollbackTrans();

  // Search: LIKE compares without regard to case, as on the desktop dialect.
  host::NavResult found = nav_.Search(kSelect, kWindow, " 工单号码 like 'n4%'", "单据ID");
  ASSERT_EQ(found.message, std::optional<std::string>("")) << found.message.value_or("<null>");
  EXPECT_EQ(found.records->Long("单据ID"), 40);
  EXPECT_EQ(found.position, "4/4");
  found = nav_.Search(kSelect, kWindow, "工单号码='nothing'", "单据ID");
  EXPECT_FALSE(found.message.has_value());
  EXPECT_EQ(found.position, "0/0");

  // A broken statement answers the server's error text.
  host::NavResult broken =
      nav_.Navigate(" SELECT * FROM NoSuchTable", "progid=1", kNavFirst, 0, "单据ID", 1);
  ASSERT_TRUE(broken.message.has_value());
  EXPECT_NE(broken.message->find("nosuchtable"), std::string::npos) << *broken.message;
}

TEST_F(PostgresNavigatorTest, NewIdsJumpPastRowsAlreadyThereAndSurviveRollbacks) {
  ASSERT_EQ(AddOrder(*db_, 41, "A"), "");
  int64_t id = 0;
  ASSERT_EQ(nav_.GetNewID("wsdj", "单据ID", id), "");
  EXPECT_EQ(id, 42);
  ASSERT_EQ(nav_.GetNewID("WSDJ", "单据ID", id), "");
  EXPECT_EQ(id, 43) << "the table name's case does not matter";
  ASSERT_EQ(AddOrder(*other_, 100, "B"), "");
  ASSERT_EQ(nav_.GetNewID("wsdj", "单据ID", id), "");
  EXPECT_EQ(id, 101) << "rows inserted by another user without asking are jumped over";

  // Inside a save's transaction; a rolled-back id may come again but never collides, and a
  // failed statement of the save does not spoil the next id.
  db_->BeginTrans();
  ASSERT_EQ(nav_.GetNewID("wsdj", "单据ID", id), "");
  ASSERT_EQ(AddOrder(*db_, id, "C"), "");
  EXPECT_NE(AddOrder(*db_, id, "C again"), "");
  ASSERT_EQ(nav_.GetNewID("wsdjxm", "单据明细ID", id), "");
  EXPECT_EQ(id, 1);
  db_->RollbackTrans();
  ASSERT_EQ(nav_.GetNewID("wsdj", "单据ID", id), "");
  ASSERT_EQ(AddOrder(*db_, id, "D"), "");
  EXPECT_EQ(db::Runner(*db_).ScalarNumber("SELECT COUNT(*) FROM wsdj"), 3);

  int64_t untouched = -1;
  EXPECT_NE(nav_.GetNewID("wsdj; DROP TABLE ws_id", "单据ID", untouched), "");
  EXPECT_NE(nav_.GetNewID("no_such_table", "id", untouched), "");
  EXPECT_EQ(untouched, -1);
}

}  // namespace
}  // namespace ws::platform
