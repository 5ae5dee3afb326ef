#include "reports/service_due.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <span>
#include <tuple>
#include <vector>

#include "db/date.h"
#include "db/runner.h"
#include "forms/text.h"
#include "reports/calendar.h"
#include "reports/list_grid.h"

namespace ws::reports {

namespace {

struct LastVisit {
  ServiceDueRow row;
  std::string byMonths;   // earliest due date by months, empty when no item has months
  double kmInterval = 0;  // smallest kilometre interval, 0 when none
};

// A later visit replaces what was kept; the items of one visit gather.
void Keep(std::map<int64_t, LastVisit>& last, const db::Recordset& line) {
  const int64_t vehicle = line.Long("车辆ID");
  const int64_t order = line.Long("单据ID");
  const std::string date = db::FormatDateText(line.Text("进厂日期")).substr(0, 10);
  auto found = last.find(vehicle);
  if (found != last.end()) {
    const ServiceDueRow& kept = found->second.row;
    if (std::tie(kept.lastVisit, kept.orderId) > std::tie(date, order)) return;
    if (kept.orderId != order) last.erase(found);
  }
  LastVisit& visit = last[vehicle];
  ServiceDueRow& row = visit.row;
  if (row.orderId != order) {
    row.orderId = order;
    row.program = line.Long("progid");
    row.lastVisit = date;
    row.lastMileage = line.Number("公里数");
  }
  const std::string item = line.Text("维修项目");
  if (row.items.find(item) == std::string::npos)
    row.items += (row.items.empty() ? "" : "、") + item;
  const int months = static_cast<int>(line.Number("保养月数"));
  if (months > 0) {
    const std::string due = AddMonths(date, months);
    if (visit.byMonths.empty() || due < visit.byMonths) visit.byMonths = due;
  }
  const double km = line.Number("保养公里");
  if (km > 0 && (visit.kmInterval == 0 || km < visit.kmInterval)) visit.kmInterval = km;
}

// The plate, model, customer and phone of the due vehicles (the customer's phone, else the
// driver's at that visit), a few hundred visits to a statement.
std::string ReadWho(db::Runner& runner, std::vector<ServiceDueRow>& rows) {
  constexpr size_t kChunk = 500;
  std::map<int64_t, ServiceDueRow*> byOrder;
  for (auto& row : rows) byOrder[row.orderId] = &row;
  std::vector<int64_t> ids;
  for (const auto& entry : byOrder) ids.push_back(entry.first);
  for (size_t first = 0; first < ids.size(); first += kChunk) {
    db::Sql sql(
        "SELECT WSDJ.单据ID, WSDJ.司机电话, clzl.车牌号, clzl.车型, pdmwldw.公司名称,"
        " pdmwldw.电话 FROM (WSDJ JOIN clzl ON clzl.车辆ID = WSDJ.车辆ID)"
        " LEFT JOIN pdmwldw ON pdmwldw.往来ID = clzl.车主ID WHERE WSDJ.单据ID IN (");
    sql.Keys(std::span(ids).subspan(first, std::min(kChunk, ids.size() - first))).Raw(")");
    std::string error;
    auto records = runner.Open(sql, &error);
    if (!error.empty()) return error;
    for (; !records->Eof(); records->MoveNext()) {
      auto found = byOrder.find(records->Long("单据ID"));
      if (found == byOrder.end()) continue;
      ServiceDueRow& row = *found->second;
      row.plate = records->Text("车牌号");
      row.model = records->Text("车型");
      row.customer = records->Text("公司名称");
      row.phone = records->Text("电话");
      if (row.phone.empty()) row.phone = records->Text("司机电话");
    }
  }
  return {};
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
  // Only orders holding an interval item are read; the item index leads there from the few
  // items that carry one. The vehicle and its customer are read for the due ones alone.
  auto lines = runner.Open(
      db::Sql("SELECT WSDJ.车辆ID, WSDJ.单据ID, WSDJ.progid, WSDJ.进厂日期, WSDJ.公里数,"
              " PDMWXXM.维修项目, PDMWXXM.保养月数, PDMWXXM.保养公里"
              " FROM (PDMWXXM JOIN WSDJXM ON WSDJXM.项目ID = PDMWXXM.AutoID)"
              " JOIN WSDJ ON WSDJ.单据ID = WSDJXM.单据ID"
              " WHERE (PDMWXXM.保养月数 > 0 OR PDMWXXM.保养公里 > 0)"),
      &due.error);
  if (!due.error.empty()) return due;
  std::map<int64_t, LastVisit> visits;
  for (; !lines->Eof(); lines->MoveNext()) Keep(visits, *lines);
  if (visits.empty()) return due;

  // Each vehicle's average daily distance over its read visits; only vehicles with a kilometre
  // interval need it.
  std::map<int64_t, double> perDay;
  auto spans = runner.Open(
      db::Sql("SELECT 车辆ID, MIN(进厂日期) AS 首次, MAX(进厂日期) AS 末次, MIN(公里数) AS 最少,"
              " MAX(公里数) AS 最多 FROM WSDJ WHERE 公里数 > 0 AND 车辆ID IN (SELECT WSDJ.车辆ID"
              " FROM (PDMWXXM JOIN WSDJXM ON WSDJXM.项目ID = PDMWXXM.AutoID)"
              " JOIN WSDJ ON WSDJ.单据ID = WSDJXM.单据ID WHERE PDMWXXM.保养公里 > 0)"
              " GROUP BY 车辆ID"),
      &due.error);
  if (!due.error.empty()) return due;
  for (; !spans->Eof(); spans->MoveNext()) {
    auto days = DaysBetween(db::FormatDateText(spans->Text("首次")).substr(0, 10),
                            db::FormatDateText(spans->Text("末次")).substr(0, 10));
    const double km = spans->Number("最多") - spans->Number("最少");
    if (days && *days > 0 && km > 0) perDay[spans->Long("车辆ID")] = km / *days;
  }

  for (auto& [vehicle, visit] : visits) {
    ServiceDueRow& row = visit.row;
    std::string date = visit.byMonths;
    auto average = perDay.find(vehicle);
    if (average != perDay.end()) row.kmPerDay = average->second;
    if (visit.kmInterval > 0 && row.kmPerDay) {
      const int days = static_cast<int>(std::ceil(visit.kmInterval / *row.kmPerDay));
      const std::string byKm = AddDays(row.lastVisit, days);
      if (date.empty() || byKm < date) {
        date = byKm;
        row.byKilometres = true;
      }
    }
    if (date.empty() || date < begin || date > end) continue;
    row.dueDate = date;
    due.rows.push_back(std::move(row));
  }
  due.error = ReadWho(runner, due.rows);
  if (!due.error.empty()) due.rows.clear();
  std::sort(due.rows.begin(), due.rows.end(), [](const ServiceDueRow& a, const ServiceDueRow& b) {
    return std::tie(a.dueDate, a.plate) < std::tie(b.dueDate, b.plate);
  });
  return due;
}

void FillServiceDueGrid(const ServiceDue& due, forms::Grid& grid) {
  using K = ListColumnKind;
  SetupListGrid(grid, {{"到期日期", 10, K::Date},
                       {"依据", 6},
                       {"车牌号", 10},
                       {"车型", 10},
                       {"客户", 16},
                       {"电话", 13},
                       {"上次进厂", 10, K::Date},
                       {"上次公里", 8, K::Number},
                       {"日均公里", 8, K::Number},
                       {"保养项目", 24},
                       {"progid", 0},
                       {"单据ID", 0}});
  for (const ServiceDueRow& row : due.rows) {
    AddListRow(grid, {row.dueDate, row.byKilometres ? "按公里" : "按月", row.plate, row.model,
                      row.customer, row.phone, row.lastVisit,
                      row.lastMileage > 0 ? WholeCell(row.lastMileage) : "",
                      row.kmPerDay ? WholeCell(*row.kmPerDay) : "", row.items,
                      std::to_string(row.program), std::to_string(row.orderId)});
  }
  grid.SetColHidden(10, true);
  grid.SetColHidden(11, true);
}

}  // namespace ws::reports
