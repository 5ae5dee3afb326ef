#include "reports/service_due.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <span>
#include <tuple>
#include <unordered_map>
#include <vector>

#include "db/date.h"
#include "db/last_service.h"
#include "db/runner.h"
#include "forms/text.h"
#include "reports/calendar.h"
#include "reports/list_grid.h"

namespace ws::reports {

namespace {

struct Interval {
  std::string item;
  int months = 0;
  double km = 0;
};

// A vehicle's last visit with an interval item so far, and the interval items of that visit.
struct LastVisit {
  std::string date;  // as stored: ISO text on both engines, compared as such
  int64_t orderId = 0;
  std::vector<int64_t> items;
  // The vehicle's span of readings (every row of the vehicle carries it): the days of its first
  // and last order with kilometres and the least and most kilometres among them.
  std::string firstReading;
  std::string lastReading;
  double leastKm = 0;
  double mostKm = 0;
};

constexpr size_t kChunk = 500;

template <typename Read>
std::string InChunks(const std::vector<int64_t>& ids, Read read) {
  for (size_t first = 0; first < ids.size(); first += kChunk) {
    std::string error = read(std::span(ids).subspan(first, std::min(kChunk, ids.size() - first)));
    if (!error.empty()) return error;
  }
  return {};
}

// The plate, model, customer and phone of the due vehicles (the customer's phone, else the
// driver's at that visit), with the visit's program and reading.
std::string ReadWho(db::Runner& runner, std::vector<ServiceDueRow>& rows) {
  std::unordered_map<int64_t, ServiceDueRow*> byOrder;
  std::vector<int64_t> ids;
  for (auto& row : rows) {
    byOrder[row.orderId] = &row;
    ids.push_back(row.orderId);
  }
  return InChunks(ids, [&](std::span<const int64_t> chunk) {
    db::Sql sql(
        "SELECT WSDJ.单据ID, WSDJ.progid, WSDJ.公里数, WSDJ.司机电话, clzl.车牌号, clzl.车型,"
        " pdmwldw.公司名称, pdmwldw.电话 FROM (WSDJ JOIN clzl ON clzl.车辆ID = WSDJ.车辆ID)"
        " LEFT JOIN pdmwldw ON pdmwldw.往来ID = clzl.车主ID WHERE WSDJ.单据ID IN (");
    sql.Keys(chunk).Raw(")");
    std::string error;
    auto records = runner.Open(sql, &error);
    for (; error.empty() && !records->Eof(); records->MoveNext()) {
      auto found = byOrder.find(records->Long("单据ID"));
      if (found == byOrder.end()) continue;
      ServiceDueRow& row = *found->second;
      row.program = records->Long("progid");
      row.lastMileage = records->Number("公里数");
      row.plate = records->Text("车牌号");
      row.model = records->Text("车型");
      row.customer = records->Text("公司名称");
      row.phone = records->Text("电话");
      if (row.phone.empty()) row.phone = records->Text("司机电话");
    }
    return error;
  });
}

}  // namespace

ServiceDue LoadServiceDue(db::IDatabase& database, const std::string& from, const std::string& to) {
  ServiceDue due;
  auto first = db::Date::Parse(forms::Trim(from));
  auto last = db::Date::Parse(forms::Trim(to));
  if (!first || !last) {
    due.error = "请输入到期日期的起止(yyyy-mm-dd)";
    return due;
  }
  if (*last < *first) {
    due.error = "到期日期的起点晚于终点";
    return due;
  }
  const std::string begin = first->Text();
  const std::string end = last->Text();

  db::Runner runner(database);
  // The few items that carry an interval, from the small item master.
  std::map<int64_t, Interval> intervals;
  auto items = runner.Open(db::Sql("SELECT AutoID, 维修项目, 保养月数, 保养公里 FROM PDMWXXM"
                                   " WHERE 保养月数 > 0 OR 保养公里 > 0"),
                           &due.error);
  if (!due.error.empty()) return due;
  for (; !items->Eof(); items->MoveNext()) {
    intervals[items->Long("AutoID")] = {items->Text("维修项目"),
                                        static_cast<int>(items->Number("保养月数")),
                                        items->Number("保养公里")};
  }
  if (intervals.empty()) return due;
  std::vector<int64_t> itemIds;
  for (const auto& entry : intervals) itemIds.push_back(entry.first);
  // A vehicle falls due at the latest its visit's months after it, so one whose last visit
  // with an item of months lies more than the longest interval before the window is due before
  // it: the rows of visits that old are left in the database (a month to spare for the months'
  // uneven lengths). Items of kilometres alone bound nothing: their old rows are read too where
  // they make the vehicle's last visit (no item of months on that visit or a later one).
  std::vector<int64_t> byMonths;
  std::vector<int64_t> kilometresAlone;
  int longest = 0;
  for (const auto& [id, interval] : intervals) {
    (interval.months > 0 ? byMonths : kilometresAlone).push_back(id);
    longest = std::max(longest, interval.months);
  }
  const std::string since =
      byMonths.empty() ? std::string() : AddDays(AddMonths(begin, -longest), -31);
  std::vector<db::Sql> reads;
  for (size_t first = 0; first < itemIds.size(); first += kChunk) {
    reads.push_back(db::LastServiceSelect(
        std::span(itemIds).subspan(first, std::min(kChunk, itemIds.size() - first)), since));
  }
  if (!since.empty() && !kilometresAlone.empty()) {
    reads.push_back(db::LastServiceSelectLatest(kilometresAlone, byMonths, since));
  }

  // Each vehicle's last visit with such an item: the summary holds each vehicle's last order
  // of every item, so the latest of those is the visit and the items naming it are its items.
  std::unordered_map<int64_t, LastVisit> visits;
  for (const db::Sql& read : reads) {
    auto lines = runner.Open(read, &due.error);
    // Tens of thousands of rows at a shop of ten years: the columns by their place.
    for (; due.error.empty() && !lines->Eof(); lines->MoveNext()) {
      LastVisit& visit = visits[lines->Field(db::kLastServiceVehicle).ToLong()];
      const int64_t order = lines->Field(db::kLastServiceOrder).ToLong();
      std::string date = lines->Field(db::kLastServiceDate).ToText();
      if (visit.orderId != order) {
        // A later visit replaces what was kept; the items of one visit gather.
        if (std::tie(visit.date, visit.orderId) > std::tie(date, order)) continue;
        visit = {std::move(date),
                 order,
                 {},
                 lines->Field(db::kLastServiceFirstReading).ToText(),
                 lines->Field(db::kLastServiceLastReading).ToText(),
                 lines->Field(db::kLastServiceLeastKm).ToDouble(),
                 lines->Field(db::kLastServiceMostKm).ToDouble()};
      }
      visit.items.push_back(lines->Field(db::kLastServiceItem).ToLong());
    }
    if (!due.error.empty()) return due;
  }

  // Due by months where the items give months, and by kilometres at the vehicle's average
  // daily distance over its orders with a reading, where it has two days and two readings apart.
  for (auto& [vehicle, visit] : visits) {
    ServiceDueRow row;
    row.orderId = visit.orderId;
    row.lastVisit = db::FormatDateText(visit.date).substr(0, 10);
    int months = 0;
    double km = 0;  // the smallest kilometre interval, 0 when none
    // Named in the items' order, whichever order the database joined the rows in.
    std::sort(visit.items.begin(), visit.items.end());
    for (int64_t id : visit.items) {
      const Interval& interval = intervals[id];
      if (interval.months > 0 && (months == 0 || interval.months < months))
        months = interval.months;
      if (interval.km > 0 && (km == 0 || interval.km < km)) km = interval.km;
      if (row.items.find(interval.item) == std::string::npos)
        row.items += (row.items.empty() ? "" : "、") + interval.item;
    }
    if (months > 0) row.dueDate = AddMonths(row.lastVisit, months);
    // Due by months before the window: the kilometres can only bring it earlier still.
    if (!row.dueDate.empty() && row.dueDate < begin) continue;
    if (km > 0) {
      auto days = DaysBetween(db::FormatDateText(visit.firstReading).substr(0, 10),
                              db::FormatDateText(visit.lastReading).substr(0, 10));
      const double distance = visit.mostKm - visit.leastKm;
      if (days && *days > 0 && distance > 0) {
        row.kmPerDay = distance / *days;
        const int daysToGo = static_cast<int>(std::ceil(km / *row.kmPerDay));
        const std::string byKm = AddDays(row.lastVisit, daysToGo);
        if (row.dueDate.empty() || byKm < row.dueDate) {
          row.dueDate = byKm;
          row.byKilometres = true;
        }
      }
    }
    if (row.dueDate.empty() || row.dueDate < begin || row.dueDate > end) continue;
    due.rows.push_back(std::move(row));
  }
  due.error = ReadWho(runner, due.rows);
  if (!due.error.empty()) due.rows.clear();
  std::sort(due.rows.begin(), due.rows.end(), [](const ServiceDueRow& a, const ServiceDueRow& b) {
    return std::tie(a.dueDate, a.plate, a.orderId) < std::tie(b.dueDate, b.plate, b.orderId);
  });
  return due;
}

namespace {

// The list's columns; the last order's program and id hidden.
const ListColumns& ServiceDueColumns() {
  using K = ListColumnKind;
  static const ListColumns columns = {{"到期日期", 10, K::Date},
                                      {"依据", 6},
                                      {"车牌号", 10},
                                      {"车型", 10},
                                      {"客户", 16},
                                      {"电话", 13},
                                      {"上次进厂", 10, K::Date},
                                      {"上次公里", 8, K::Number},
                                      {"日均公里", 8, K::Number},
                                      {"保养项目", 24},
                                      ListColumn{"progid", 0}.Hidden(),
                                      ListColumn{"单据ID", 0}.Hidden()};
  return columns;
}

}  // namespace

void FillServiceDueGrid(const ServiceDue& due, forms::Grid& grid) {
  SetupListGrid(grid, ServiceDueColumns());
  for (const ServiceDueRow& row : due.rows) {
    AddListRow(grid, {row.dueDate, row.byKilometres ? "按公里" : "按月", row.plate, row.model,
                      row.customer, row.phone, row.lastVisit,
                      row.lastMileage > 0 ? WholeCell(row.lastMileage) : "",
                      row.kmPerDay ? WholeCell(*row.kmPerDay) : "", row.items,
                      std::to_string(row.program), std::to_string(row.orderId)});
  }
}

}  // namespace ws::reports
