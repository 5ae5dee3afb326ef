// The price summary the database keeps beside the order lines must answer what the aggregate
// over the checked lines answers, whatever sequence of writes reached them, on both engines.
#include "db/price_summary.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "db/last_service.h"
#include "db/runner.h"
#include "db/schema.h"
#include "db/value.h"
#include "support/test_host.h"

namespace ws::db {
namespace {

constexpr int64_t kPrograms[] = {200001, 200002};
constexpr int kItems = 4;

class PriceSummaryTest : public test::HostTest {
 protected:
  // The lowest, highest and average price of the item as the summary answers it and as the
  // lines of checked orders do; each compared to a ten-thousandth.
  void ExpectSummaryMatchesLines(const std::string& when) {
    for (int64_t program : kPrograms) {
      for (int kind : {kPriceSummaryItems, kPriceSummaryParts}) {
        const std::string lines = kind == kPriceSummaryItems ? "wsdjxm" : "wsdjpj";
        const std::string key = kind == kPriceSummaryItems ? "项目ID" : "产品ID";
        for (int item = 1; item <= kItems; ++item) {
          for (int rule : {1, 2, 3}) {
            const char* aggregate = rule == 1 ? "MIN" : rule == 2 ? "MAX" : "AVG";
            const Value expected = host_.Scalar(
                std::string("SELECT ") + aggregate + "(B.单价) FROM wsdj A JOIN " + lines +
                " B ON A.单据ID = B.单据ID WHERE B." + key + " = " + std::to_string(item) +
                " AND A.smark = '02' AND A.progID = " + std::to_string(program));
            const Value actual = host_.Scalar(PriceSummarySelect(rule, kind, item, program));
            SCOPED_TRACE(::testing::Message() << when << ": program " << program << " kind " << kind
                                              << " item " << item << " rule " << rule);
            ASSERT_EQ(expected.IsNull(), actual.IsNull());
            if (expected.IsNull()) continue;
            EXPECT_NEAR(expected.ToDouble(), actual.ToDouble(), 1e-4);
          }
        }
      }
    }
  }
};

TEST_F(PriceSummaryTest, FollowsRandomChecksUnchecksAndEditsOfLines) {
  std::mt19937 random(20121206);
  auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
  const char* prices[] = {"10", "12.5", "20", "33.33", "NULL", "0"};
  int64_t nextOrder = 1;
  int64_t nextLine = 1;
  for (int step = 1; step <= 400; ++step) {
    const std::string order = std::to_string(1 + pick(static_cast<int>(nextOrder)));
    const std::string table = pick(2) ? "wsdjxm" : "wsdjpj";
    const std::string key = table == "wsdjxm" ? "项目ID" : "产品ID";
    const std::string line = std::to_string(1 + pick(static_cast<int>(nextLine)));
    switch (pick(8)) {
      case 0:  // a new order, checked or not
        host_.Exec("INSERT INTO wsdj (单据ID, progID, smark) VALUES (" +
                   std::to_string(nextOrder++) + ", " + std::to_string(kPrograms[pick(2)]) +
                   (pick(2) ? ", '02')" : ", '01')"));
        break;
      case 1:
      case 2: {  // new lines on any order (even one deleted or never made), several at once as
                 // a save inserts them, the same item at the same price among them
        const std::string item = std::to_string(1 + pick(kItems));
        const std::string price = prices[pick(6)];
        std::string values;
        for (int n = 1 + pick(3); n > 0; --n) {
          values += std::string(values.empty() ? "" : ", ") + "(" + std::to_string(nextLine++) +
                    ", " + order + ", " + (pick(2) ? item : std::to_string(1 + pick(kItems))) +
                    ", " + (pick(2) ? price : prices[pick(6)]) + ")";
        }
        host_.Exec("INSERT INTO " + table + " (单据明细ID, 单据ID, " + key + ", 单价) VALUES " +
                   values);
        break;
      }
      case 3:  // checked or unchecked
        host_.Exec(
            "UPDATE wsdj SET smark = CASE WHEN smark = '02' THEN '01' ELSE '02' END "
            "WHERE 单据ID = " +
            order);
        break;
      case 4:  // a line's price or item edited, or the line moved to another order
        host_.Exec("UPDATE " + table + " SET 单价 = " + prices[pick(6)] + ", " + key + " = " +
                   std::to_string(1 + pick(kItems)) + " WHERE 单据明细ID = " + line);
        host_.Exec("UPDATE " + table + " SET 单据ID = " + order +
                   " WHERE 单据明细ID = " + std::to_string(1 + pick(static_cast<int>(nextLine))));
        break;
      case 5:
        host_.Exec("DELETE FROM " + table + " WHERE 单据明细ID = " + line);
        break;
      case 6:  // the order moved to the other program
        host_.Exec("UPDATE wsdj SET progID = " + std::to_string(kPrograms[pick(2)]) +
                   " WHERE 单据ID = " + order);
        break;
      case 7:  // the order deleted, its lines left behind
        host_.Exec("DELETE FROM wsdj WHERE 单据ID = " + order);
        break;
    }
    if (step % 40 == 0) ExpectSummaryMatchesLines("after step " + std::to_string(step));
  }
}

TEST_F(PriceSummaryTest, AFileFromBeforeTheSummaryIsFilledFromItsCheckedOrders) {
  host_.Exec(
      "INSERT INTO wsdj (单据ID, progID, smark) VALUES (1, 200001, '02'), "
      "(2, 200001, '01'), (3, 200002, '02')");
  host_.Exec(
      "INSERT INTO wsdjxm (单据明细ID, 单据ID, 项目ID, 单价) VALUES (1, 1, 1, 10), "
      "(2, 1, 1, 10), (3, 1, 1, 30), (4, 2, 1, 5), (5, 3, 2, 7)");
  host_.Exec("INSERT INTO wsdjpj (单据明细ID, 单据ID, 产品ID, 单价) VALUES (1, 1, 3, 4.5)");
  // What a file of the build before looked like: no summary, its module tables one version
  // older.
  host_.Exec("DROP TABLE ws_price_sum");
  if (host_.OnPostgres()) {
    for (const char* function : {"ws_price_wsdj", "ws_price_wsdjxm", "ws_price_wsdjpj"}) {
      host_.Exec(std::string("DROP FUNCTION ") + function + "() CASCADE");
    }
  } else {
    for (const char* table : {"wsdj", "wsdjxm", "wsdjpj"}) {
      for (const char* event : {"ins", "upd", "del"}) {
        host_.Exec(std::string("DROP TRIGGER ws_price_") + table + "_" + event);
      }
    }
  }
  host_.Exec("UPDATE ws_meta SET value = '4' WHERE key = 'version:module'");

  ASSERT_EQ(UpgradeSchema(host_.Db()), "");
  EXPECT_EQ(host_.Joined("SELECT progid, kind, item_id, price, n FROM ws_price_sum ORDER BY "
                         "progid, kind, item_id, price"),
            "200001/1/1/10/2,200001/1/1/30/1,200001/2/3/4.5/1,200002/1/2/7/1");
  // The triggers are back: an uncheck takes the order's lines away.
  host_.Exec("UPDATE wsdj SET smark = '01' WHERE 单据ID = 1");
  ExpectSummaryMatchesLines("after the upgrade");
}

TEST_F(PriceSummaryTest, AServerUpgradeRetiresTheTriggersReplacedUnderNewNames) {
  if (!host_.OnPostgres()) GTEST_SKIP() << "the embedded engine's triggers kept their names";
  // The row triggers of older server files, each with the version whose upgrade drops it and
  // the triggers that replaced it: left beside them, it would count a line, or a checked
  // order's lines, in a second time.
  struct OldTrigger {
    std::string name, table, events;
    int retired;
    std::vector<std::string> replacedBy;
  };
  const OldTrigger old[] = {
      {"ws_price_wsdjxm", "wsdjxm", "INSERT OR DELETE OR UPDATE", 13, {"_chg", "_add"}},
      {"ws_price_wsdjpj", "wsdjpj", "INSERT OR DELETE OR UPDATE", 13, {"_chg", "_add"}},
      {"ws_last_wsdjxm", "wsdjxm", "INSERT OR DELETE OR UPDATE", 13, {"_row", "_add"}},
      {"ws_price_wsdj", "wsdj", "INSERT OR DELETE", 15, {"_ins", "_del"}},
      {"ws_last_wsdj", "wsdj", "INSERT OR DELETE", 16, {"_row"}}};
  for (const int version : {12, 14, 15}) {
    SCOPED_TRACE(::testing::Message() << "a server file of version " << version);
    host_.Exec("TRUNCATE wsdj, wsdjxm, wsdjpj, ws_price_sum, ws_last_service");
    for (const auto& trigger : old) {
      if (trigger.retired <= version) continue;
      for (const auto& made : trigger.replacedBy)
        host_.Exec("DROP TRIGGER " + trigger.name + made + " ON " + trigger.table);
      host_.Exec("CREATE TRIGGER " + trigger.name + " AFTER " + trigger.events + " ON " +
                 trigger.table + " FOR EACH ROW EXECUTE FUNCTION " + trigger.name + "()");
    }
    host_.Exec("UPDATE ws_meta SET value = '" + std::to_string(version) +
               "' WHERE key = 'version:module'");
    ASSERT_EQ(UpgradeSchema(host_.Db()), "");
    host_.Exec("INSERT INTO wsdj (单据ID, progID, smark, 车辆ID) VALUES (1, 200001, '02', 7)");
    host_.Exec(
        "INSERT INTO wsdjxm (单据明细ID, 单据ID, 项目ID, 单价) VALUES "
        "(1, 1, 1, 10), (2, 1, 1, 10)");
    host_.Exec("INSERT INTO wsdjpj (单据明细ID, 单据ID, 产品ID, 单价) VALUES (1, 1, 3, 4.5)");
    EXPECT_EQ(host_.Joined("SELECT item_id, vehicle_id, order_id FROM ws_last_service"), "1/7/1");
    // An order saved checked after its lines counts them in once.
    host_.Exec("INSERT INTO wsdjxm (单据明细ID, 单据ID, 项目ID, 单价) VALUES (3, 2, 1, 30)");
    host_.Exec("INSERT INTO wsdj (单据ID, progID, smark) VALUES (2, 200001, '02')");
    EXPECT_EQ(host_.Joined("SELECT kind, item_id, price, n FROM ws_price_sum ORDER BY kind, price"),
              "1/1/10/2,1/1/30/1,2/3/4.5/1");
    // Edits and deletes still go through the row triggers under their new names.
    host_.Exec("DELETE FROM wsdjxm WHERE 单据明细ID = 1");
    host_.Exec("UPDATE wsdjpj SET 单价 = 5 WHERE 单据明细ID = 1");
    host_.Exec("DELETE FROM wsdj WHERE 单据ID = 2");
    ExpectSummaryMatchesLines("after an edit and a delete");
  }
}

// The last-service summary the database keeps beside the orders must name, for every vehicle
// and item, the order the orders and their lines name, and the vehicle-span summary each
// vehicle's days and readings, whatever sequence of writes reached them, on both engines.
class LastServiceTest : public test::HostTest {
 protected:
  // "item/vehicle/order/day" of every (item, vehicle) pair, as the summary holds them and as
  // the stored orders and their lines tell them: the latest day, an order without one first,
  // the higher id on the same day.
  void ExpectSummaryMatchesOrders(const std::string& when) {
    std::map<std::pair<int64_t, int64_t>, std::tuple<bool, std::string, int64_t>> last;
    std::string error;
    auto lines =
        Runner(host_.Db())
            .Open(
                Sql("SELECT B.项目ID, A.车辆ID, A.进厂日期, A.单据ID FROM wsdj A JOIN wsdjxm B ON "
                    "B.单据ID = A.单据ID"),
                &error);
    ASSERT_EQ(error, "");
    for (; !lines->Eof(); lines->MoveNext()) {
      if (lines->Field("项目ID").IsNull() || lines->Field("车辆ID").IsNull()) continue;
      const auto visit = std::make_tuple(!lines->Field("进厂日期").IsNull(),
                                         lines->Text("进厂日期"), lines->Long("单据ID"));
      auto [found, added] = last.try_emplace({lines->Long("项目ID"), lines->Long("车辆ID")}, visit);
      if (!added && found->second < visit) found->second = visit;
    }
    std::string expected;
    for (const auto& [key, visit] : last) {
      expected += (expected.empty() ? "" : ",") + std::to_string(key.first) + "/" +
                  std::to_string(key.second) + "/" + std::to_string(std::get<2>(visit)) + "/" +
                  std::get<1>(visit);
    }
    EXPECT_EQ(host_.Joined("SELECT item_id, vehicle_id, order_id, visit_date FROM "
                           "ws_last_service ORDER BY item_id, vehicle_id"),
              expected)
        << when;
    // Each vehicle's span of readings as the services due gathered it from the orders.
    EXPECT_EQ(host_.Joined("SELECT vehicle_id, first_visit, last_visit, least_km, most_km FROM "
                           "ws_vehicle_span ORDER BY vehicle_id"),
              host_.Joined("SELECT 车辆ID, MIN(进厂日期), MAX(进厂日期), MIN(公里数), MAX(公里数) "
                           "FROM wsdj WHERE 公里数 > 0 AND 车辆ID IS NOT NULL GROUP BY 车辆ID "
                           "ORDER BY 车辆ID"))
        << when;
  }

  // Orders and lines written, edited and deleted at random, on few days and vehicles so that
  // orders share a day and a vehicle's orders compete; compared every `checkEvery` steps.
  void RandomWrites(int steps, int checkEvery) {
    auto pick = [&](int n) { return static_cast<int>(random_() % static_cast<unsigned>(n)); };
    const char* days[] = {"'2012-01-05'", "'2012-02-10'", "'2012-02-10'", "'2012-03-01'", "NULL"};
    const char* vehicles[] = {"1", "2", "3", "3", "NULL"};
    // Readings that go back as well as forward, none, or none read.
    const char* readings[] = {"1000", "1500", "900", "0", "NULL"};
    auto item = [&] { return pick(6) ? std::to_string(1 + pick(4)) : std::string("NULL"); };
    for (int step = 1; step <= steps; ++step) {
      const std::string order = std::to_string(1 + pick(static_cast<int>(nextOrder_)));
      const std::string line = std::to_string(1 + pick(static_cast<int>(nextLine_)));
      switch (pick(11)) {
        case 0:
        case 1:
          host_.Exec("INSERT INTO wsdj (单据ID, progID, smark, 车辆ID, 进厂日期, 公里数) VALUES (" +
                     std::to_string(nextOrder_++) + ", 200001, '" + (pick(2) ? "01" : "02") +
                     "', " + vehicles[pick(5)] + ", " + days[pick(5)] + ", " + readings[pick(5)] +
                     ")");
          break;
        case 10:
          host_.Exec("UPDATE wsdj SET 公里数 = " + std::string(readings[pick(5)]) +
                     (pick(2) ? ", smark = '02'" : "") + " WHERE 单据ID = " + order);
          break;
        case 2:
        case 3: {  // lines on any order, even one deleted or not made yet; a save inserts
                   // several at once, the same item twice or on two orders of a vehicle
          const std::string repeated = item();
          std::string values;
          for (int n = 1 + pick(3); n > 0; --n) {
            const std::string on =
                pick(2) ? order : std::to_string(1 + pick(static_cast<int>(nextOrder_)));
            values += std::string(values.empty() ? "" : ", ") + "(" + std::to_string(nextLine_++) +
                      ", " + on + ", " + (pick(2) ? repeated : item()) + ")";
          }
          host_.Exec("INSERT INTO wsdjxm (单据明细ID, 单据ID, 项目ID) VALUES " + values);
          break;
        }
        case 4:
          host_.Exec("UPDATE wsdjxm SET 项目ID = " + item() + " WHERE 单据明细ID = " + line);
          break;
        case 5:  // the line moved to another order
          host_.Exec("UPDATE wsdjxm SET 单据ID = " + order + " WHERE 单据明细ID = " + line);
          break;
        case 6:
          host_.Exec("DELETE FROM wsdjxm WHERE 单据明细ID = " + line);
          break;
        case 7:
          host_.Exec("UPDATE wsdj SET 进厂日期 = " + std::string(days[pick(5)]) +
                     " WHERE 单据ID = " + order);
          break;
        case 8:
          host_.Exec("UPDATE wsdj SET 车辆ID = " + std::string(vehicles[pick(5)]) +
                     " WHERE 单据ID = " + order);
          break;
        case 9:  // the order deleted, with its lines first or leaving them behind
          if (pick(2)) host_.Exec("DELETE FROM wsdjxm WHERE 单据ID = " + order);
          host_.Exec("DELETE FROM wsdj WHERE 单据ID = " + order);
          break;
      }
      if (checkEvery && step % checkEvery == 0) {
        ExpectSummaryMatchesOrders("after step " + std::to_string(step));
      }
    }
  }

  std::mt19937 random_{20121207};
  int64_t nextOrder_ = 1;
  int64_t nextLine_ = 1;
};

TEST_F(LastServiceTest, FollowsRandomWritesOfOrdersAndLines) {
  RandomWrites(500, 25);
  // A save writes every column back: a day, vehicle and reading written as they were move
  // nothing.
  host_.Exec("UPDATE wsdj SET 进厂日期 = 进厂日期, 车辆ID = 车辆ID, 公里数 = 公里数, smark = '02'");
  ExpectSummaryMatchesOrders("after every order was saved unchanged");
}

// Two desks correcting readings of one vehicle's orders at once on the server, the first also
// adding an order: the second waits for the vehicle's turn and then sees the first's orders, so
// it neither fails on the row the first set nor leaves out what the first wrote.
TEST_F(LastServiceTest, TwoSavesOfOneVehicleAtOnceOnTheServer) {
  if (!host_.OnPostgres()) GTEST_SKIP() << "SQLite's writer holds the whole file";
  host_.Exec(
      "INSERT INTO wsdj (单据ID, progID, smark, 车辆ID, 进厂日期, 公里数) VALUES "
      "(1, 200001, '01', 1, '2012-01-01', 1000), (5000, 200001, '01', 1, '2012-02-01', 2000)");
  host_.Exec("INSERT INTO wsdjxm (单据明细ID, 单据ID, 项目ID) VALUES (1, 1, 1), (2, 5000, 1)");
  // The orders' ids lie in different blocks of the change tracking, whose rows would otherwise
  // make the second wait anyway.
  auto other = host_.OpenSecondConnection();
  host_.Db().BeginTrans();
  host_.Exec(
      "INSERT INTO wsdj (单据ID, progID, smark, 车辆ID, 进厂日期, 公里数) VALUES "
      "(10000, 200001, '01', 1, '2012-01-15', 1500)");
  host_.Exec("UPDATE wsdj SET 公里数 = 1200 WHERE 单据ID = 1");
  std::string error;
  std::thread second([&] {
    other->BeginTrans();
    error = Runner(*other).Execute("UPDATE wsdj SET 公里数 = 900 WHERE 单据ID = 5000");
    other->CommitTrans();
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  host_.Db().CommitTrans();
  second.join();
  ASSERT_EQ(error, "");
  ExpectSummaryMatchesOrders("after two saves at once");
}

TEST_F(LastServiceTest, AFileFromBeforeTheSummaryIsFilledFromItsOrders) {
  RandomWrites(200, 0);
  // A file of the build before: no summary, its module tables one version older (the
  // upgrade makes any trigger that is missing; those left here find their table again).
  host_.Exec("DROP TABLE ws_last_service");
  host_.Exec("DROP TABLE ws_vehicle_span");
  host_.Exec("UPDATE ws_meta SET value = '" +
             std::to_string(CurrentVersion(Subsystems().front()) - 1) +
             "' WHERE key = 'version:module'");
  ASSERT_EQ(UpgradeSchema(host_.Db()), "");
  ExpectSummaryMatchesOrders("after the upgrade");
  // The triggers are back.
  RandomWrites(40, 40);
}

}  // namespace
}  // namespace ws::db
