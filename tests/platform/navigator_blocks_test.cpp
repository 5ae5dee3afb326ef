// The navigator's per-block figures: after other users write, the position text stays what a
// full count gives and the row the neighbour a full query gives, whatever they wrote (the
// orders, or the vehicles and owners a filter looks up), with the figures shared between
// navigators, and inside a transaction.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "db/catalogue.h"
#include "db/runner.h"
#include "db/sql.h"
#include "platform/list_counts.h"
#include "platform/navigator.h"
#include "platform/shop_list_counts.h"
#include "support/test_host.h"

namespace ws {
namespace {

using host::kNavFirst;
using host::kNavLast;
using host::kNavNext;
using host::kNavPrevious;
using platform::RecordNavigator;
using test::TestHost;

const std::string kFrom =
    " FROM (WSDJ LEFT JOIN CLZl ON WSDJ.车辆ID = CLZl.车辆ID)"
    " LEFT JOIN pdmwldw ON WSDJ.车主ID = pdmwldw.往来ID";
const std::string kSelect = " SELECT WSDJ.*, pdmwldw.公司名称, CLZl.车牌号" + kFrom;
const std::string kWindow = "progid=200001 and 进厂日期>='2012-01-01' and 进厂日期<'2013-01-01'";
constexpr int64_t kBlock = db::kChangeBlockKeys;
constexpr int64_t kVehicles = 40;
constexpr int64_t kOwners = 6;

void Write(db::IDatabase& db, const std::string& sql) {
  ASSERT_EQ(db::Runner(db).Execute(db::Sql(sql)), "") << sql;
}

void AddOrder(db::IDatabase& db, int64_t id, const std::string& date = "2012-06-01") {
  db::Sql sql("INSERT INTO WSDJ (单据ID, progid, 工单号码, 进厂日期, 车辆ID, 车主ID) VALUES (");
  sql.Key(id).Raw(", 200001, ").Text("N" + std::to_string(id)).Raw(", ").Text(date).Raw(", ");
  sql.Key(id % kVehicles + 1).Raw(", ").Key(id % kOwners + 1).Raw(")");
  ASSERT_EQ(db::Runner(db).Execute(sql), "");
}

// "k/N" of the row as a full count over the list gives it.
std::string Counted(db::IDatabase& db, const std::string& condition, int64_t id) {
  db::Sql sql("SELECT COUNT(*), SUM(CASE WHEN 单据ID <= ");
  auto rs =
      db::Runner(db).Open(sql.Key(id).Raw(" THEN 1 ELSE 0 END)" + kFrom + " WHERE " + condition));
  return std::to_string(rs->Field(1).ToLong()) + "/" + std::to_string(rs->Field(0).ToLong());
}

// The key a move must land on, by a plain query over the list: the neighbour in the
// direction of the move, else the current row while it is in the list, else the nearest on
// the other side; 0 for none.
int64_t Expected(db::IDatabase& db, const std::string& condition, int mode, int64_t current) {
  auto key = [&](const std::string& aggregate, const std::string& extra) {
    return db::Runner(db)
        .Scalar(db::Sql("SELECT COALESCE(" + aggregate + "(单据ID), 0)" + kFrom + " WHERE (" +
                        condition + ")" + extra))
        .ToLong();
  };
  const std::string at = std::to_string(current);
  if (mode == kNavFirst) return key("MIN", "");
  if (mode == kNavLast) return key("MAX", "");
  const bool up = mode == kNavNext;
  if (int64_t beyond = key(up ? "MIN" : "MAX", (up ? " AND 单据ID>" : " AND 单据ID<") + at)) {
    return beyond;
  }
  if (key("MIN", " AND 单据ID=" + at)) return current;
  return key(up ? "MAX" : "MIN", (up ? " AND 单据ID<" : " AND 单据ID>") + at);
}

// No statement the log holds counted the list whole (one GROUP BY over every block).
template <typename Log>
void ExpectNoWholeCount(const Log& log, const std::string& when) {
  for (const std::string& statement : log)
    EXPECT_EQ(statement.find("GROUP BY"), std::string::npos) << when << ": " << statement;
}

struct ListCase {
  const char* name;
  std::string condition;
};

void PrintTo(const ListCase& c, std::ostream* os) {
  *os << c.name;
}

class NavigatorBlocksTest : public ::testing::TestWithParam<ListCase> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(other_);
    for (int64_t v = 1; v <= kVehicles; ++v) {
      host_.Exec("INSERT INTO clzl (车辆ID, 车牌号, 车主ID) VALUES (" + std::to_string(v) + ", '" +
                 (v % 3 == 0 ? "京A" : "津B") + std::to_string(v) + "', 1)");
    }
    for (int64_t o = 1; o <= kOwners; ++o) {
      host_.Exec("INSERT INTO pdmwldw (往来ID, 公司名称) VALUES (" + std::to_string(o) + ", '" +
                 (o % 2 == 0 ? "宏达" : "顺风") + std::to_string(o) + "')");
    }
  }

  host::NavResult Move(RecordNavigator& nav, int mode, int64_t current) {
    const std::string& condition = GetParam().condition;
    host::NavResult r = nav.Navigate(kSelect, condition, mode, current, "单据ID", 1);
    EXPECT_NE(r.message, std::optional<std::string>()) << "empty list";
    EXPECT_EQ(r.message.value_or(""), "") << condition;
    return r;
  }

  TestHost host_{TestHost::Storage::File};
  std::unique_ptr<platform::EngineDatabase> other_ = host_.OpenSecondConnection();
};

// Random writes of another user all over the list and over what it looks up, each followed by
// a move of one of two navigators sharing their figures: the row is always the one a plain
// query gives, the position always equals a full count. Whole blocks of orders lie outside the
// window, so walks are kept to blocks.
TEST_P(NavigatorBlocksTest, MovesEqualAFullQueryAfterAnyWrites) {
  std::mt19937 random(20120615);
  for (int64_t id = 7; id < 7 * kBlock; id += 97) {
    // Blocks 2 and 3 hold last decade's orders only.
    const bool old = id / kBlock == 2 || id / kBlock == 3;
    AddOrder(host_.Db(), id, old ? "2003-04-01" : "2012-06-01");
  }
  auto counts = std::make_shared<platform::ListCounts>();
  std::vector<std::unique_ptr<RecordNavigator>> navs;
  auto open = [&] {
    navs.clear();
    for (int i = 0; i < 2; ++i)
      navs.push_back(std::make_unique<RecordNavigator>(host_.Db(), counts));
  };
  open();
  const std::string& condition = GetParam().condition;
  int64_t current = Move(*navs[0], kNavFirst, 0).records->Long("单据ID");
  for (int step = 0; step < 150; ++step) {
    // Now and then the session ends and the next one starts from the figures it kept: it must
    // not count the list again, and must still tell what was written in between. Every other
    // time it is a desk new to the shop, with nothing kept but what the shop file keeps: it
    // counts no more than the blocks written since a desk last kept the list there.
    if (step % 25 == 24) {
      const bool newDesk = step % 50 == 49;
      const std::string kept = counts->Serialize();
      counts = std::make_shared<platform::ListCounts>();
      if (!newDesk) {
        ASSERT_TRUE(counts->Restore(kept));
      }
      open();
      host_.Db().ClearLog();
      Move(*navs[0], kNavFirst, 0);
      if (newDesk) {
        ExpectNoWholeCount(host_.Db().Log(), "step " + std::to_string(step));
        EXPECT_LE(navs[0]->CountQueries(), RecordNavigator::kShopLagBlocks) << "step " << step;
      } else {
        EXPECT_EQ(navs[0]->CountQueries(), 0) << "step " << step;
      }
    }
    const std::string key = std::to_string(1 + random() % (8 * kBlock));
    const std::string other = ") AND 单据ID<>" + std::to_string(current);
    const std::string vehicle = std::to_string(1 + random() % kVehicles);
    const std::string owner = std::to_string(1 + random() % kOwners);
    // Fixed statements of the test's own, the keys being its own numbers.
    const std::string writes[] = {
        "INSERT INTO WSDJ (单据ID, progid, 进厂日期, 车辆ID, 车主ID) VALUES (" + key +
            ", 200001, '2012-03-03', " + vehicle + ", " + owner +
            ") ON CONFLICT (单据ID) DO NOTHING",
        "DELETE FROM WSDJ WHERE 单据ID=(SELECT MIN(单据ID) FROM WSDJ WHERE 单据ID>=" + key + other,
        // out of the window, and back in
        "UPDATE WSDJ SET 进厂日期='2011-05-05' WHERE 单据ID=(SELECT MAX(单据ID) FROM WSDJ WHERE "
        "单据ID<=" +
            key + other,
        "UPDATE WSDJ SET 进厂日期='2012-05-05' WHERE 单据ID=(SELECT MIN(单据ID) FROM WSDJ WHERE "
        "进厂日期<'2012-01-01' AND 单据ID>=" +
            key + ")",
        // another vehicle on an order, a vehicle's plate or an owner's name changed
        "UPDATE WSDJ SET 车辆ID=" + vehicle +
            " WHERE 单据ID=(SELECT MIN(单据ID) FROM WSDJ WHERE "
            "单据ID>=" +
            key + ")",
        "UPDATE clzl SET 车牌号='" + std::string(random() % 2 ? "京A" : "津B") + "9" + key +
            "' WHERE 车辆ID=" + vehicle,
        "UPDATE pdmwldw SET 公司名称='" + std::string(random() % 2 ? "宏达" : "顺风") + "9" + key +
            "' WHERE 往来ID=" + owner,
        // writers putting back what the rows hold: balances, plates and names as they were
        "UPDATE WSDJ SET 余额=余额, 进厂日期=进厂日期 WHERE 单据ID/4096=" + key + "/4096",
        "UPDATE clzl SET 车牌号=车牌号, 车主ID=车主ID",
        "UPDATE pdmwldw SET 公司名称=(SELECT 公司名称 FROM pdmwldw p WHERE "
        "p.往来ID=pdmwldw.往来ID)"};
    // Now and then nothing is written: the figures are reused.
    if (const size_t pick = random() % 12; pick < std::size(writes)) Write(*other_, writes[pick]);
    const int modes[] = {kNavNext, kNavNext, kNavPrevious, kNavFirst, kNavLast};
    const int mode = modes[random() % std::size(modes)];
    RecordNavigator& nav = *navs[random() % 2];
    const int64_t expected = Expected(host_.Db(), condition, mode, current);
    host::NavResult r = Move(nav, mode, current);
    ASSERT_FALSE(r.records->Eof()) << "step " << step;
    const int64_t id = r.records->Long("单据ID");
    ASSERT_EQ(id, expected) << "step " << step << " mode " << mode << " from " << current;
    ASSERT_EQ(r.position, Counted(host_.Db(), condition, id)) << "step " << step << " at " << id;
    current = id;
  }
}

// A list nobody counted is counted one block per turn of the host's event loop after its row
// is shown: the rows of moves made meanwhile are those a plain query gives, their positions
// leave open what is not counted yet, and the position told at the end equals a full count,
// although another user wrote to counted and uncounted blocks, and to what the list looks up,
// between the turns. The figures are then kept for the shop, and idle work left behind by a
// closed form does nothing.
TEST_P(NavigatorBlocksTest, FiguresCountedBetweenEventsEqualAFullCount) {
  // The days of the window hold keys out of their order; orders of another program share the
  // days, below the list's first key and above its last.
  for (int64_t id = 7; id < 7 * kBlock; id += 97) {
    AddOrder(host_.Db(), id,
             id / kBlock == 2 ? "2003-04-01" : "2012-06-0" + std::to_string(1 + id * 5 % 9));
  }
  Write(host_.Db(), "INSERT INTO WSDJ (单据ID, progid, 进厂日期) VALUES (2, 200009, '2012-06-09')");
  Write(host_.Db(),
        "INSERT INTO WSDJ (单据ID, progid, 进厂日期) VALUES (40000, 200009, '2012-06-01')");
  std::vector<std::function<bool()>> idle;
  auto turns = [&](int count) {
    for (; count > 0 && !idle.empty(); --count) {
      if (!idle.front()()) idle.erase(idle.begin());
    }
  };
  const platform::CountLater oneBlockATurn{
      [&](std::function<bool()> work) { idle.push_back(std::move(work)); }, {}, {}};
  auto nav = std::make_unique<RecordNavigator>(host_.Db());
  nav->CountWhenIdle(oneBlockATurn);
  std::vector<std::string> told;
  nav->SetPositionListener([&](const std::string& position) { told.push_back(position); });
  const std::string& condition = GetParam().condition;
  const std::string open = std::string(host::kNotCounted) + "/" + host::kNotCounted;

  host::NavResult r = Move(*nav, kNavLast, 0);
  EXPECT_EQ(r.records->Long("单据ID"), Expected(host_.Db(), condition, kNavLast, 0));
  EXPECT_EQ(r.position, open);
  ASSERT_TRUE(nav->Counting());
  ASSERT_EQ(idle.size(), 1u);
  r = Move(*nav, kNavFirst, 0);
  int64_t current = r.records->Long("单据ID");
  EXPECT_EQ(current, Expected(host_.Db(), condition, kNavFirst, 0));
  EXPECT_EQ(r.position, "1/" + std::string(host::kNotCounted));
  turns(2);
  Write(*other_, "DELETE FROM WSDJ WHERE 单据ID IN (" + std::to_string(current) + ", " +
                     std::to_string(6 * kBlock + 40) + ")");
  AddOrder(*other_, 5 * kBlock + 3);
  Write(*other_, "UPDATE clzl SET 车牌号='京A7' || 车辆ID WHERE 车辆ID IN (2, 5, 8)");
  Write(*other_, "UPDATE pdmwldw SET 公司名称='宏达9' WHERE 往来ID=1");
  // Still counting, first and last after another user put an order below the first one and
  // took the last one out of the window.
  AddOrder(*other_, 3, "2012-06-04");
  Write(*other_, "UPDATE WSDJ SET 进厂日期='2003-01-01' WHERE 单据ID=" +
                     std::to_string(Expected(host_.Db(), condition, kNavLast, 0)));
  ASSERT_TRUE(nav->Counting());
  // Previous from the first row and next from the last find nothing beyond and stay.
  for (auto [mode, beyond] : {std::pair{kNavFirst, kNavPrevious}, {kNavLast, kNavNext}}) {
    const int64_t end = Move(*nav, mode, 0).records->Long("单据ID");
    EXPECT_EQ(end, Expected(host_.Db(), condition, mode, 0)) << "mode " << mode;
    EXPECT_EQ(Move(*nav, beyond, end).records->Long("单据ID"), end) << "beyond " << mode;
  }
  const int64_t next = Expected(host_.Db(), condition, kNavNext, current);
  r = Move(*nav, kNavNext, current);
  EXPECT_EQ(r.records->Long("单据ID"), next);
  EXPECT_EQ(r.position.substr(r.position.find('/')), "/" + std::string(host::kNotCounted));
  EXPECT_TRUE(told.empty());
  turns(1000);
  EXPECT_TRUE(idle.empty());
  EXPECT_FALSE(nav->Counting());
  ASSERT_EQ(told.size(), 1u);
  EXPECT_EQ(told.back(), Counted(host_.Db(), condition, next));
  for (int mode : {kNavFirst, kNavLast}) {
    EXPECT_EQ(Move(*nav, mode, 0).records->Long("单据ID"), Expected(host_.Db(), condition, mode, 0))
        << "counted, mode " << mode;
  }

  // A desk new to the shop takes the figures kept at the end.
  RecordNavigator fresh(host_.Db(), std::make_shared<platform::ListCounts>());
  host_.Db().ClearLog();
  const int64_t last = Expected(host_.Db(), condition, kNavLast, 0);
  EXPECT_EQ(Move(fresh, kNavLast, 0).position, Counted(host_.Db(), condition, last));
  ExpectNoWholeCount(host_.Db().Log(), "fresh desk");

  // A filter no one counted, left to idle time by a form closed at once.
  nav->Navigate(kSelect, condition + " AND 单据ID<>5", kNavLast, 0, "单据ID", 1);
  ASSERT_EQ(idle.size(), 1u);
  nav.reset();
  turns(1);
  EXPECT_TRUE(idle.empty());
}

// With the desk's time before a row, a list of a block or two is counted before its row is
// shown; one whose keys span far more than that time can count goes whole to the idle turns,
// no chunk counted first, at the pace the first list was counted.
TEST_P(NavigatorBlocksTest, OnlyAListCountableInTimeIsCountedBeforeItsRow) {
  for (int64_t id = 1; id <= kBlock; id += 7) AddOrder(host_.Db(), id);
  std::vector<std::function<bool()>> idle;
  RecordNavigator nav(host_.Db());
  nav.CountWhenIdle(platform::CountLater{
      .runner = [&](std::function<bool()> work) { idle.push_back(std::move(work)); }});
  const std::string& condition = GetParam().condition;
  const int64_t last = Expected(host_.Db(), condition, kNavLast, 0);
  EXPECT_EQ(Move(nav, kNavLast, 0).position, Counted(host_.Db(), condition, last));
  EXPECT_TRUE(idle.empty());

  AddOrder(host_.Db(), 2000 * kBlock, "2012-06-02");
  host_.Db().ClearLog();
  host_.Db().EnableLog(true);
  const host::NavResult r =
      nav.Navigate(kSelect, condition + " AND 单据ID<>5", kNavLast, 0, "单据ID", 1);
  host_.Db().EnableLog(false);
  EXPECT_EQ(r.position, std::string(host::kNotCounted) + "/" + host::kNotCounted);
  EXPECT_EQ(idle.size(), 1u);
  ExpectNoWholeCount(host_.Db().Log(), "list too long to count first");
}

// Figures taken inside a transaction include this connection's own uncommitted write; were
// they kept, a rollback followed by another user's delete in the same block would leave the
// block at the version they were taken under with a different content.
TEST_P(NavigatorBlocksTest, FiguresTakenInsideATransactionAreNotKept) {
  for (int64_t id = 1; id <= 12; ++id) AddOrder(host_.Db(), id);
  RecordNavigator nav(host_.Db());
  const std::string& condition = GetParam().condition;
  const int64_t first = Move(nav, kNavFirst, 0).records->Long("单据ID");
  EXPECT_EQ(Move(nav, kNavFirst, 0).position, Counted(host_.Db(), condition, first));
  host_.Db().BeginTrans();
  for (int64_t id : {40, 41, 42}) AddOrder(host_.Db(), id);
  EXPECT_EQ(Move(nav, kNavNext, first).position,
            Counted(host_.Db(), condition, Expected(host_.Db(), condition, kNavNext, first)));
  host_.Db().RollbackTrans();
  // The other user waits for no one now; the deletes bring block 0 to a version seen before.
  Write(*other_, "DELETE FROM WSDJ WHERE 单据ID IN (8, 9, 11)");
  const int64_t next = Expected(host_.Db(), condition, kNavNext, first);
  EXPECT_EQ(Move(nav, kNavNext, first).position, Counted(host_.Db(), condition, next));
}

// A login that may not write the shop's figures counts its lists as before, and never reads
// figures a desk kept under another list's text; of two desks keeping the same list, the figures
// taken under newer versions stay; lists long unused are let go; a busy shop is not waited for.
TEST_P(NavigatorBlocksTest, ShopKeptFiguresAreOptionalAndNeverGoBack) {
  for (int64_t id = 1; id <= 3 * kBlock; id += 301) AddOrder(host_.Db(), id);
  const std::string& condition = GetParam().condition;
  host_.RefuseOn("ws_read_only", "ws_list_count", "INSERT", "read only");
  RecordNavigator reader(host_.Db());
  const int64_t last = Move(reader, kNavLast, 0).records->Long("单据ID");
  EXPECT_EQ(Move(reader, kNavLast, 0).position, Counted(host_.Db(), condition, last));
  EXPECT_EQ(host_.Scalar("SELECT COUNT(*) FROM ws_list_count").ToLong(), 0);
  host_.DropRefusal("ws_read_only", "ws_list_count");

  // A list nobody kept for a year goes as figures are kept.
  host_.Exec(
      "INSERT INTO ws_list_count (list_key, list_text, version_sum, figures, kept_at) VALUES "
      "('0', 'last year''s window', 1, '0 0 0 ', 1)");
  RecordNavigator writer(host_.Db());
  Move(writer, kNavLast, 0);
  ASSERT_EQ(host_.Scalar("SELECT COUNT(*) FROM ws_list_count").ToLong(), 1);
  Write(*other_, "DELETE FROM WSDJ WHERE 单据ID = " + std::to_string(last));
  RecordNavigator newer(host_.Db());
  const int64_t before = Move(newer, kNavLast, 0).records->Long("单据ID");
  EXPECT_EQ(Move(newer, kNavLast, 0).position, Counted(host_.Db(), condition, before));
  // Figures taken under older versions (a desk that counted before the delete keeping them
  // late) do not replace those the shop holds, and a desk new to the list starts from those.
  platform::ShopListCounts shop(host_.Db());
  const std::string list = kSelect.substr(1) + '\x1f' + "(" + condition + ")" + '\x1f' + "单据ID";
  const auto newest = shop.Find(list);
  ASSERT_TRUE(newest) << "kept under the list's own text";
  platform::ListBlocks older = *newest;
  for (auto& entry : older.versions) entry.second = 0;
  older.counts.begin()->second += 5;
  shop.Store(list, older);
  EXPECT_EQ(shop.Find(list)->counts, newest->counts);
  EXPECT_FALSE(shop.Find(list + " "));
  RecordNavigator fresh(host_.Db(), std::make_shared<platform::ListCounts>());
  host_.Db().ClearLog();
  EXPECT_EQ(Move(fresh, kNavLast, 0).position, Counted(host_.Db(), condition, before));
  ExpectNoWholeCount(host_.Db().Log(), "fresh desk");

  // While another desk's write holds the row (an import, a period close), a desk new to the
  // list does not wait to keep its figures (the bound below only guards against a hang): its
  // move writes nothing, and its refresh after the other desk committed keeps them.
  host_.Exec("UPDATE ws_list_count SET list_text = 'another list'");
  other_->BeginTrans();
  Write(*other_, "DELETE FROM WSDJ WHERE 单据ID = 1");
  Write(*other_, "UPDATE ws_list_count SET kept_at = kept_at + 1");
  RecordNavigator desk(host_.Db(), std::make_shared<platform::ListCounts>());
  auto moved = std::async(std::launch::async, [&] { Move(desk, kNavLast, 0); });
  EXPECT_EQ(moved.wait_for(std::chrono::seconds(3)), std::future_status::ready);
  other_->CommitTrans();
  moved.get();
  EXPECT_EQ(host_.Scalar("SELECT list_text FROM ws_list_count").ToText(), "another list");
  Move(desk, kNavLast, 0);
  EXPECT_NE(host_.Scalar("SELECT list_text FROM ws_list_count").ToText(), "another list");
}

// Kept figures come back as they were; a text that is not theirs (cut short, changed, another
// file) restores nothing and leaves what was kept.
TEST(ListCountsTest, KeptFiguresRestoreExactlyOrNotAtAll) {
  platform::ListCounts counts;
  counts.Store("a list\nwith 2: odd text", {{{0, 12}, {3, 4096}}, {{0, 7}, {3, 1}}, {{"clzl", 9}}});
  counts.Store("", {{{-1, 1}}, {}, {}});
  const std::string kept = counts.Serialize();
  platform::ListCounts back;
  ASSERT_TRUE(back.Restore(kept));
  EXPECT_EQ(back.Serialize(), kept);
  ASSERT_TRUE(back.Find("a list\nwith 2: odd text"));
  EXPECT_EQ(back.Find("a list\nwith 2: odd text")->counts.at(3), 4096);
  EXPECT_EQ(back.Find("a list\nwith 2: odd text")->lookups.at("clzl"), 9);
  std::string changed = kept;
  changed[changed.find("4096")] = 'x';
  for (const std::string& bad :
       {kept.substr(0, kept.size() - 3), changed, std::string("x"), std::string(), kept + "9"}) {
    EXPECT_FALSE(back.Restore(bad)) << bad;
    EXPECT_EQ(back.Serialize(), kept);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Lists, NavigatorBlocksTest,
    ::testing::Values(
        ListCase{"Window", kWindow},
        ListCase{"Month", "progid=200001 and 进厂日期>='2012-06-01' and 进厂日期<'2012-07-01'"},
        ListCase{"EveryProgram", "进厂日期 BETWEEN '2012-01-01' AND '2012-12-31'"},
        ListCase{"PlateFilter", kWindow + " AND clzl.车牌号 like '%京A%'"},
        ListCase{"OwnerFilter", kWindow + " AND 公司名称 like '宏达%'"},
        ListCase{"PlateOrOwner",
                 kWindow + " AND (CLZl.车牌号 like '京%' OR pdmwldw.公司名称='顺风1')"}),
    [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace ws
