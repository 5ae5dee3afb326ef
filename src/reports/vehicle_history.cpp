#include "reports/vehicle_history.h"

#include <map>

#include "db/date.h"
#include "db/default_config.h"
#include "db/runner.h"
#include "db/value.h"
#include "forms/text.h"
#include "reports/calendar.h"
#include "reports/list_grid.h"

namespace ws::reports {

namespace {

using db::kSettlementProgram;

std::string DateText(const db::Recordset& records, const char* column) {
  return db::FormatDateText(records.Text(column)).substr(0, 10);
}

// Appends a name to a visit's list of names.
void Join(std::string& list, const std::string& name) {
  if (name.empty()) return;
  if (!list.empty()) list += "、";
  list += name;
}

// The item names and the part names with quantities of every order of the vehicle, by order.
std::string ReadLines(db::Runner& runner, int64_t vehicleId, std::map<int64_t, VisitRow*>& byId) {
  std::string error;
  auto items = runner.Open(db::Sql("SELECT WSDJXM.单据ID, PDMWXXM.维修项目 FROM (WSDJXM"
                                   " JOIN WSDJ ON WSDJ.单据ID = WSDJXM.单据ID)"
                                   " LEFT JOIN PDMWXXM ON PDMWXXM.AutoID = WSDJXM.项目ID"
                                   " WHERE WSDJ.车辆ID=")
                               .Key(vehicleId)
                               .Raw(" ORDER BY WSDJXM.单据ID, WSDJXM.单据明细ID"),
                           &error);
  if (!error.empty()) return error;
  for (; !items->Eof(); items->MoveNext()) {
    auto visit = byId.find(items->Long("单据ID"));
    if (visit != byId.end()) Join(visit->second->items, items->Text("维修项目"));
  }
  auto parts =
      runner.Open(db::Sql("SELECT WSDJPJ.单据ID, PDMCPML.物品名称, WSDJPJ.数量 FROM (WSDJPJ"
                          " JOIN WSDJ ON WSDJ.单据ID = WSDJPJ.单据ID)"
                          " LEFT JOIN PDMCPML ON PDMCPML.产品ID = WSDJPJ.产品ID"
                          " WHERE WSDJ.车辆ID=")
                      .Key(vehicleId)
                      .Raw(" ORDER BY WSDJPJ.单据ID, WSDJPJ.单据明细ID"),
                  &error);
  if (!error.empty()) return error;
  for (; !parts->Eof(); parts->MoveNext()) {
    auto visit = byId.find(parts->Long("单据ID"));
    const std::string name = parts->Text("物品名称");
    if (visit == byId.end() || name.empty()) continue;
    Join(visit->second->parts, name + "×" + db::DecimalText(parts->Number("数量")));
  }
  return {};
}

}  // namespace

std::optional<double> KmPerDay(const std::string& earlierDate, double earlierKm,
                               const std::string& laterDate, double laterKm) {
  if (earlierKm <= 0 || laterKm < earlierKm) return std::nullopt;
  auto days = DaysBetween(earlierDate, laterDate);
  if (!days || *days <= 0) return std::nullopt;
  return (laterKm - earlierKm) / *days;
}

VehicleHistory LoadVehicleHistory(db::IDatabase& database, const std::string& plate) {
  VehicleHistory history;
  history.plate = forms::Trim(plate);
  if (history.plate.empty()) {
    history.error = "请输入车牌号";
    return history;
  }
  db::Runner runner(database);
  auto vehicle = runner.Open(db::Sql("SELECT clzl.车辆ID, clzl.车型, pdmwldw.公司名称 FROM clzl"
                                     " LEFT JOIN pdmwldw ON clzl.车主ID = pdmwldw.往来ID"
                                     " WHERE clzl.车牌号=")
                                 .Text(history.plate),
                             &history.error);
  if (!history.error.empty()) return history;
  if (vehicle->Eof()) {
    history.error = "没有车牌号为 " + history.plate + " 的车辆";
    return history;
  }
  history.vehicleId = vehicle->Long("车辆ID");
  history.model = vehicle->Text("车型");
  history.owner = vehicle->Text("公司名称");

  auto visits = runner.Open(
      db::Sql("SELECT 单据ID, progid, smark, 进厂日期, 出厂日期, 公里数, 工单号码, 维修分类,"
              " 维修费用, 配件费用, 应收合计, 现收金额+补收金额+扣零金额 AS 已收金额, 余额,"
              " CASE WHEN EXISTS (SELECT 1 FROM ARPReceive WHERE ARPReceive.前置单据ID ="
              " WSDJ.单据ID AND ARPReceive.progID=")
          .Key(kSettlementProgram)
          .Raw(") THEN 1 ELSE 0 END AS 已结算 FROM WSDJ WHERE 车辆ID=")
          .Key(history.vehicleId)
          .Raw(" ORDER BY 进厂日期 DESC, 工单号码 DESC"),
      &history.error);
  if (!history.error.empty()) return history;
  for (; !visits->Eof(); visits->MoveNext()) {
    VisitRow row;
    row.orderId = visits->Long("单据ID");
    row.program = visits->Long("progid");
    row.checked = visits->Text("smark") == "02";
    row.dateIn = DateText(*visits, "进厂日期");
    row.dateOut = DateText(*visits, "出厂日期");
    row.mileage = visits->Number("公里数");
    row.number = visits->Text("工单号码");
    row.category = visits->Text("维修分类");
    row.labour = visits->Money("维修费用");
    row.partsCost = visits->Money("配件费用");
    row.receivable = visits->Money("应收合计");
    row.collected = visits->Money("已收金额");
    row.balance = visits->Money("余额");
    row.settled = visits->Long("已结算") != 0;
    history.visits.push_back(std::move(row));
  }
  // Newest first: the visit before a visit is the next one down.
  for (size_t i = 0; i + 1 < history.visits.size(); ++i) {
    const VisitRow& before = history.visits[i + 1];
    VisitRow& visit = history.visits[i];
    visit.kmPerDay = KmPerDay(before.dateIn, before.mileage, visit.dateIn, visit.mileage);
  }
  std::map<int64_t, VisitRow*> byId;
  for (auto& visit : history.visits) byId[visit.orderId] = &visit;
  history.error = ReadLines(runner, history.vehicleId, byId);
  if (!history.error.empty()) history.visits.clear();
  return history;
}

namespace {

// The history's columns: the money of each visit totalled, its program and id hidden.
const ListColumns& HistoryColumns() {
  using K = ListColumnKind;
  static const ListColumns columns = {{"进厂日期", 10, K::Date},
                                      {"出厂日期", 10, K::Date},
                                      {"公里数", 8, K::Number},
                                      {"日均公里", 8, K::Number},
                                      {"工单号码", 12},
                                      {"维修分类", 10},
                                      {"维修项目", 24},
                                      {"配件", 24},
                                      ListColumn{"维修费用", 10, K::Money}.Total(),
                                      ListColumn{"配件费用", 10, K::Money}.Total(),
                                      ListColumn{"应收合计", 10, K::Money}.Total(),
                                      ListColumn{"已收金额", 10, K::Money}.Total(),
                                      ListColumn{"余额", 10, K::Money}.Total(),
                                      {"状态", 6},
                                      ListColumn{"progid", 0}.Hidden(),
                                      ListColumn{"单据ID", 0}.Hidden()};
  return columns;
}

}  // namespace

void AddHistoryTotals(forms::Grid& grid) {
  AddListTotals(grid, HistoryColumns(), "工单号码");
}

void FillHistoryGrid(const VehicleHistory& history, forms::Grid& grid, bool totals) {
  SetupListGrid(grid, HistoryColumns());
  for (const VisitRow& visit : history.visits) {
    std::string state = visit.settled ? "已结算" : visit.checked ? "已审核" : "未审核";
    AddListRow(grid,
               {visit.dateIn, visit.dateOut, visit.mileage > 0 ? WholeCell(visit.mileage) : "",
                visit.kmPerDay ? WholeCell(*visit.kmPerDay) : "", visit.number, visit.category,
                visit.items, visit.parts, MoneyCell(visit.labour.ToDouble()),
                MoneyCell(visit.partsCost.ToDouble()), MoneyCell(visit.receivable.ToDouble()),
                MoneyCell(visit.collected.ToDouble()), MoneyCell(visit.balance.ToDouble()), state,
                std::to_string(visit.program), std::to_string(visit.orderId)});
  }
  if (totals) AddHistoryTotals(grid);
}

}  // namespace ws::reports
