// The last-service summary the database keeps beside the orders must name, for every vehicle
// and item, the order the orders and their lines name, whatever sequence of writes reached
// them, on both engines.
#include "db/last_service.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>
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

  // Orders and lines written, edited and deleted at random, on few days and vehicles so that
  // orders share a day and a vehicle's orders compete; compared every `checkEvery` steps.
  void RandomWrites(int steps, int checkEvery) {
    auto pick = [&](int n) { return static_cast<int>(random_() % static_cast<unsigned>(n)); };
    const char* days[] = {"'2012-01-05'", "'2012-02-10'", "'2012-02-10'", "'2012-03-01'", "NULL"};
    const char* vehicles[] = {"1", "2", "3", "3", "NULL"};
    auto item = [&] { return pick(6) ? std::to_string(1 + pick(4)) : std::string("NULL"); };
    for (int step = 1; step <= steps; ++step) {
      const std::string order = std::to_string(1 + pick(static_cast<int>(nextOrder_)));
      const std::string line = std::to_string(1 + pick(static_cast<int>(nextLine_)));
      switch (pick(10)) {
        case 0:
        case 1:
          host_.Exec("INSERT INTO wsdj (单据ID, progID, smark, 车辆ID, 进厂日期) VALUES (" +
                     std::to_string(nextOrder_++) + ", 200001, '" + (pick(2) ? "01" : "02") +
                     "', " + vehicles[pick(5)] + ", " + days[pick(5)] + ")");
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
  // A save writes every column back: a day and vehicle written as they were move nothing.
  host_.Exec("UPDATE wsdj SET 进厂日期 = 进厂日期, 车辆ID = 车辆ID, smark = '02'");
  ExpectSummaryMatchesOrders("after every order was saved unchanged");
}

TEST_F(LastServiceTest, AFileFromBeforeTheSummaryIsFilledFromItsOrders) {
  RandomWrites(200, 0);
  // A file of the build before: no summary, its module tables one version older (the
  // upgrade makes any trigger that is missing; those left here find their table again).
  host_.Exec("DROP TABLE ws_last_service");
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
