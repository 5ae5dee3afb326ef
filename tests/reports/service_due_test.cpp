// The services due as the list reads them through the shop's summaries must be the list the
// orders themselves give: every vehicle's last dated visit with an interval item, due at the
// earlier of its months and its kilometres at the vehicle's average over all its orders with a
// reading, whatever histories and edits led there.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "db/date.h"
#include "db/runner.h"
#include "reports/calendar.h"
#include "reports/service_due.h"
#include "support/test_host.h"

namespace ws::reports {
namespace {

// "plate due by last-visit order km-a-day items", the items in their ids' order.
std::string Line(const std::string& plate, const std::string& due, bool byKm,
                 const std::string& last, int64_t order, std::optional<double> perDay,
                 const std::string& items) {
  char km[32] = "-";
  if (perDay) std::snprintf(km, sizeof km, "%.9f", *perDay);
  return plate + " " + due + (byKm ? " km " : " months ") + last + " " + std::to_string(order) +
         " " + km + " " + items;
}

class ServiceDueTest : public test::HostTest {
 protected:
  std::vector<std::string> Listed(const std::string& from, const std::string& to) {
    const ServiceDue due = LoadServiceDue(host_.Db(), from, to);
    EXPECT_EQ(due.error, "");
    std::vector<std::string> lines;
    for (const ServiceDueRow& r : due.rows) {
      lines.push_back(
          Line(r.plate, r.dueDate, r.byKilometres, r.lastVisit, r.orderId, r.kmPerDay, r.items));
    }
    std::sort(lines.begin(), lines.end());
    return lines;
  }

  // The same list from the orders and their lines alone, read whole.
  std::vector<std::string> FromOrders(const std::string& from, const std::string& to) {
    db::Runner runner(host_.Db());
    std::string error;
    struct Interval {
      std::string name;
      int months;
      double km;
    };
    std::map<int64_t, Interval> intervals;
    for (auto rs = runner.Open(db::Sql("SELECT AutoID, 维修项目, 保养月数, 保养公里 FROM PDMWXXM"),
                               &error);
         !rs->Eof(); rs->MoveNext()) {
      if (rs->Number("保养月数") > 0 || rs->Number("保养公里") > 0) {
        intervals[rs->Long("AutoID")] = {
            rs->Text("维修项目"), static_cast<int>(rs->Number("保养月数")), rs->Number("保养公里")};
      }
    }
    // Each vehicle's last dated visit with an interval item: (day, order) and its items.
    std::map<int64_t, std::tuple<std::string, int64_t, std::set<int64_t>>> last;
    for (auto rs =
             runner.Open(db::Sql("SELECT A.车辆ID, A.单据ID, A.进厂日期, B.项目ID FROM wsdj A "
                                 "JOIN wsdjxm B ON B.单据ID = A.单据ID WHERE A.车辆ID IS NOT "
                                 "NULL AND A.进厂日期 IS NOT NULL"),
                         &error);
         !rs->Eof(); rs->MoveNext()) {
      if (!intervals.count(rs->Long("项目ID"))) continue;
      auto visit = std::make_tuple(rs->Text("进厂日期"), rs->Long("单据ID"), std::set<int64_t>{});
      auto [found, added] = last.try_emplace(rs->Long("车辆ID"), visit);
      auto& kept = found->second;
      if (std::tie(std::get<0>(kept), std::get<1>(kept)) <
          std::tie(std::get<0>(visit), std::get<1>(visit)))
        kept = visit;
      if (std::get<1>(kept) == rs->Long("单据ID")) std::get<2>(kept).insert(rs->Long("项目ID"));
    }
    std::map<int64_t, double> perDay;
    for (auto rs = runner.Open(
             db::Sql("SELECT 车辆ID, MIN(进厂日期) AS a, MAX(进厂日期) AS b, MIN(公里数) AS lo, "
                     "MAX(公里数) AS hi FROM wsdj WHERE 公里数 > 0 GROUP BY 车辆ID"),
             &error);
         !rs->Eof(); rs->MoveNext()) {
      auto days = DaysBetween(db::FormatDateText(rs->Text("a")).substr(0, 10),
                              db::FormatDateText(rs->Text("b")).substr(0, 10));
      const double km = rs->Number("hi") - rs->Number("lo");
      if (days && *days > 0 && km > 0) perDay[rs->Long("车辆ID")] = km / *days;
    }
    EXPECT_EQ(error, "");
    std::vector<std::string> lines;
    for (const auto& [vehicle, visit] : last) {
      const auto& [day, order, items] = visit;
      const std::string lastVisit = db::FormatDateText(day).substr(0, 10);
      int months = 0;
      double km = 0;
      std::string names;
      for (int64_t id : items) {
        const Interval& interval = intervals[id];
        if (interval.months > 0)
          months = months ? std::min(months, interval.months) : interval.months;
        if (interval.km > 0) km = km > 0 ? std::min(km, interval.km) : interval.km;
        names += (names.empty() ? "" : "、") + interval.name;
      }
      std::string due = months ? AddMonths(lastVisit, months) : "";
      bool byKm = false;
      std::optional<double> rate;
      if (perDay.count(vehicle)) rate = perDay[vehicle];
      if (km > 0 && rate) {
        const std::string byDistance = AddDays(lastVisit, static_cast<int>(std::ceil(km / *rate)));
        if (due.empty() || byDistance < due) due = byDistance, byKm = true;
      }
      if (due.empty() || due < from || due > to) continue;
      lines.push_back(
          Line(host_.Joined("SELECT 车牌号 FROM clzl WHERE 车辆ID = " + std::to_string(vehicle)),
               due, byKm, lastVisit, order, km > 0 ? rate : std::nullopt, names));
    }
    std::sort(lines.begin(), lines.end());
    return lines;
  }

  // Every quarter of five years, and the five years at once.
  void ExpectListsMatchOrders(const std::string& when) {
    for (std::string from = "2010-01-01"; from < "2015-01-01"; from = AddMonths(from, 3)) {
      const std::string to = AddDays(AddMonths(from, 3), -1);
      EXPECT_EQ(Listed(from, to), FromOrders(from, to)) << when << ", " << from << " to " << to;
    }
    const auto all = Listed("2010-01-01", "2014-12-31");
    EXPECT_EQ(all, FromOrders("2010-01-01", "2014-12-31")) << when;
    EXPECT_GE(all.size(), 6u) << when << ": the histories are meant to fall due";
  }
};

TEST_F(ServiceDueTest, TheSummariesListWhatTheOrdersGiveAfterEveryKindOfWrite) {
  // Oil every 6 months or 5,000 km, spark plugs every 30,000 km alone, brakes every 12 months.
  host_.Exec(
      "INSERT INTO PDMWXXM (AutoID, 编码, 维修项目, 保养月数, 保养公里) VALUES "
      "(1, '01', '机油', 6, 5000), (2, '02', '火花塞', 0, 30000), (3, '03', '刹车', 12, 0), "
      "(4, '04', '洗车', 0, 0)");
  struct Visit {
    int vehicle;
    const char* day;  // SQL: a quoted day or NULL
    const char* km;
    std::vector<int> items;
    const char* mark = "02";
  };
  const std::vector<Visit> histories = {
      // Read every visit, the last with two items.
      {1, "'2010-01-05'", "10000", {1}},
      {1, "'2010-07-01'", "15000", {1, 4}},
      {1, "'2011-01-03'", "20500", {1, 3}},
      // A single reading: by months only.
      {2, "'2011-06-01'", "30000", {1}},
      // Never read, then no reading at all.
      {3, "'2010-03-01'", "0", {1}},
      {3, "'2011-03-01'", "NULL", {3}},
      // The odometer went back: the span of readings still counts.
      {4, "'2010-02-01'", "50000", {1}},
      {4, "'2011-02-01'", "20000", {1}},
      // Spark plugs long before the window, at about 19 km a day: due in 2010.
      {5, "'2006-01-01'", "1000", {2}},
      {5, "'2007-01-01'", "8000", {4}},
      // The same followed the next day by an oil change: due by that one's months.
      {6, "'2006-01-01'", "1000", {2}},
      {6, "'2006-01-02'", "1010", {1}},
      {6, "'2007-01-01'", "8000", {}},
      // Two visits on one day: no average; the later order is the visit.
      {7, "'2011-05-01'", "1000", {1}},
      {7, "'2011-05-01'", "3000", {3}},
      // The last visit not checked yet.
      {8, "'2010-09-01'", "7000", {1}},
      {8, "'2011-09-01'", "17000", {1, 2}, "01"},
      // A reading on an order without a day, between two dated ones.
      {9, "'2010-10-10'", "5000", {1}},
      {9, "NULL", "9000", {1}},
      {9, "'2011-04-10'", "8000", {}},
      // Driven far: the kilometres fall due before the months.
      {10, "'2011-01-01'", "10000", {1}},
      {10, "'2011-02-01'", "20000", {}},
  };
  for (int vehicle = 1; vehicle <= 10; ++vehicle) {
    host_.Exec("INSERT INTO clzl (车辆ID, 车牌号) VALUES (" + std::to_string(vehicle) + ", '京A" +
               std::to_string(10000 + vehicle) + "')");
  }
  int64_t order = 0;
  int64_t line = 0;
  for (const Visit& v : histories) {
    ++order;
    host_.Exec("INSERT INTO wsdj (单据ID, progID, smark, 车辆ID, 进厂日期, 公里数) VALUES (" +
               std::to_string(order) + ", 200001, '" + v.mark + "', " + std::to_string(v.vehicle) +
               ", " + v.day + ", " + v.km + ")");
    for (int item : v.items) {
      host_.Exec("INSERT INTO wsdjxm (单据明细ID, 单据ID, 项目ID) VALUES (" +
                 std::to_string(++line) + ", " + std::to_string(order) + ", " +
                 std::to_string(item) + ")");
    }
  }
  ExpectListsMatchOrders("as saved");

  struct Edit {
    const char* what;
    const char* sql;
  };
  const std::vector<Edit> edits = {
      {"the last visit deleted", "DELETE FROM wsdj WHERE 单据ID = 3"},
      {"a reading corrected", "UPDATE wsdj SET 公里数 = 12000 WHERE 单据ID = 22"},
      {"a reading taken away", "UPDATE wsdj SET 公里数 = 0 WHERE 单据ID = 9"},
      {"a day moved", "UPDATE wsdj SET 进厂日期 = '2011-07-01' WHERE 单据ID = 12"},
      {"a day given", "UPDATE wsdj SET 进厂日期 = '2012-01-01' WHERE 单据ID = 19"},
      {"an order moved to another vehicle", "UPDATE wsdj SET 车辆ID = 10 WHERE 单据ID = 4"},
      {"an order checked", "UPDATE wsdj SET smark = '02' WHERE 单据ID = 17"},
      {"a reading's order deleted", "DELETE FROM wsdj WHERE 单据ID = 10"},
  };
  for (const Edit& edit : edits) {
    host_.Exec(edit.sql);
    ExpectListsMatchOrders(edit.what);
  }
}

}  // namespace
}  // namespace ws::reports
