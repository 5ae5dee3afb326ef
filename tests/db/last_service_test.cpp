// The last-service summary the database keeps beside the orders must name, for every vehicle
// and item, the order the orders and their lines name, whatever sequence of writes reached
// them, on both engines.
#include "db/last_service.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <tuple>

#include "db/runner.h"
#include "db/schema.h"
#include "support/test_host.h"

namespace ws::db {
namespace {

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
  }
};

TEST_F(LastServiceTest, FollowsRandomWritesOfOrdersAndLines) {
  std::mt19937 random(20121207);
  auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
  // Few days and vehicles, so that orders share a day and a vehicle's orders compete.
  const char* days[] = {"'2012-01-05'", "'2012-02-10'", "'2012-02-10'", "'2012-03-01'", "NULL"};
  const char* vehicles[] = {"1", "2", "3", "3", "NULL"};
  auto day = [&] { return std::string(days[pick(5)]); };
  auto vehicle = [&] { return std::string(vehicles[pick(5)]); };
  auto item = [&] { return pick(6) ? std::to_string(1 + pick(4)) : std::string("NULL"); };
  int64_t nextOrder = 1;
  int64_t nextLine = 1;
  for (int step = 1; step <= 500; ++step) {
    const std::string order = std::to_string(1 + pick(static_cast<int>(nextOrder)));
    const std::string line = std::to_string(1 + pick(static_cast<int>(nextLine)));
    switch (pick(10)) {
      case 0:
      case 1:
        host_.Exec("INSERT INTO wsdj (单据ID, progID, smark, 车辆ID, 进厂日期) VALUES (" +
                   std::to_string(nextOrder++) + ", 200001, '" + (pick(2) ? "01" : "02") + "', " +
                   vehicle() + ", " + day() + ")");
        break;
      case 2:
      case 3:  // a line on any order, even one deleted or not made yet
        host_.Exec("INSERT INTO wsdjxm (单据明细ID, 单据ID, 项目ID) VALUES (" +
                   std::to_string(nextLine++) + ", " + order + ", " + item() + ")");
        break;
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
        host_.Exec("UPDATE wsdj SET 进厂日期 = " + day() + " WHERE 单据ID = " + order);
        break;
      case 8:
        host_.Exec("UPDATE wsdj SET 车辆ID = " + vehicle() + " WHERE 单据ID = " + order);
        break;
      case 9:  // the order deleted, with its lines first or leaving them behind
        if (pick(2)) host_.Exec("DELETE FROM wsdjxm WHERE 单据ID = " + order);
        host_.Exec("DELETE FROM wsdj WHERE 单据ID = " + order);
        break;
    }
    if (step % 25 == 0) ExpectSummaryMatchesOrders("after step " + std::to_string(step));
  }
  // A save writes every column back: a day and vehicle written as they were move nothing.
  host_.Exec("UPDATE wsdj SET 进厂日期 = 进厂日期, 车辆ID = 车辆ID, smark = '02'");
  ExpectSummaryMatchesOrders("after every order was saved unchanged");
}

TEST_F(LastServiceTest, AFileFromBeforeTheSummaryIsFilledFromItsOrders) {
  host_.Exec(
      "INSERT INTO wsdj (单据ID, progID, smark, 车辆ID, 进厂日期) VALUES "
      "(1, 200001, '02', 7, '2012-01-01'), (2, 200001, '01', 7, '2012-03-01'), "
      "(3, 200001, '02', 7, '2012-03-01'), (4, 200001, '02', 8, NULL), "
      "(5, 200001, '02', 8, '2011-05-01')");
  host_.Exec(
      "INSERT INTO wsdjxm (单据明细ID, 单据ID, 项目ID) VALUES (1, 1, 1), (2, 2, 1), (3, 3, 2), "
      "(4, 2, 2), (5, 4, 1), (6, 5, 1), (7, 4, 2), (8, 1, 2)");
  // What a file of the build before looked like: no summary, its module tables one version
  // older.
  host_.Exec("DROP TABLE ws_last_service");
  if (host_.OnPostgres()) {
    for (const char* function : {"ws_last_wsdj", "ws_last_wsdjxm"}) {
      host_.Exec(std::string("DROP FUNCTION ") + function + "() CASCADE");
    }
  } else {
    for (const char* table : {"wsdj", "wsdjxm"}) {
      for (const char* event : {"ins", "upd", "del"}) {
        host_.Exec(std::string("DROP TRIGGER ws_last_") + table + "_" + event);
      }
    }
  }
  const int version = CurrentVersion(Subsystems().front());
  host_.Exec("UPDATE ws_meta SET value = '" + std::to_string(version - 1) +
             "' WHERE key = 'version:module'");

  ASSERT_EQ(UpgradeSchema(host_.Db()), "");
  // Vehicle 7: item 1 last on the order of 03-01 with the lower id, item 2 on the higher id of
  // that day; vehicle 8: the order with a day comes after the one without.
  EXPECT_EQ(host_.Joined("SELECT item_id, vehicle_id, order_id FROM ws_last_service ORDER BY "
                         "item_id, vehicle_id"),
            "1/7/2,1/8/5,2/7/3,2/8/4");
  // The triggers are back: the order moved to another vehicle leaves its rows.
  host_.Exec("UPDATE wsdj SET 车辆ID = 9 WHERE 单据ID = 3");
  ExpectSummaryMatchesOrders("after the upgrade");
}

}  // namespace
}  // namespace ws::db
