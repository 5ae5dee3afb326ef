// The navigator's per-block figures: after other users write, the position text stays what a
// full count gives, whatever they did, and inside a
// transaction.
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
  }

  host::NavResult Move(int mode, int64_t current, const std::string& condition = kWindow) {
    host::NavResult r = nav_.Navigate(kSelect, condition, mode, current, "单据ID", 1);
    EXPECT_EQ(r.message, std::optional<std::string>("")) << condition;
    return r;
  }

  TestHost host_{TestHost::Storage::File};
  std::unique_ptr<platform::EngineDatabase> other_ = host_.OpenSecondConnection();
  RecordNavigator nav_{host_.Db()};
};

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

}  // namespace
}  // namespace ws
