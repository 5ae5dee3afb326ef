#include "reports/list_reports.h"

#include "db/date.h"
#include "db/value.h"
#include "forms/text.h"
#include "reports/calendar.h"
#include "reports/receivables_age.h"
#include "reports/service_due.h"
#include "reports/vehicle_history.h"

namespace ws::reports {

namespace {

using forms::FieldKind;

std::string LoginDay(host::ISystem& system) {
  return system.GetLoginInfo().loginDate.Text();
}

}  // namespace

db::Sql ListReport::Query(const std::string& driver) const {
  (void)driver;
  return {};
}

void ListReport::AppendConditions(db::Sql& sql, const std::string& driver) const {
  (void)sql, (void)driver;
}

CL_LS::CL_LS()
    : ListReport("CL_LS", "CL_LS",
                 std::vector<FilterField>{{kPlate, "车牌号码", FieldKind::Text, "", false}}) {
  CheckedOnly().SetVisible(false);
}

bool CL_LS::FillList(db::IDatabase& database, forms::Grid& grid, std::string* error) {
  // Opened from the menu, the window waits for a plate rather than calling its absence wrong.
  if (forms::Trim(FilterInput(kPlate).Text()).empty()) {
    FillHistoryGrid({}, grid, false);
    return true;
  }
  const VehicleHistory history = LoadVehicleHistory(database, FilterInput(kPlate).Text());
  *error = history.error;
  if (error->empty()) FillHistoryGrid(history, grid, false);
  if (error->empty() && history.visits.empty()) *error = history.plate + " 没有进厂记录";
  return true;
}

void CL_LS::AddTotalRows(forms::Grid& grid) {
  AddHistoryTotals(grid);
}

std::string CL_LS::PrintCondition() const {
  return "车牌号码：" + FilterInput(kPlate).Text() + "\r" + Status().Caption();
}

BY_TX::BY_TX()
    : ListReport("BY_TX", "BY_TX",
                 std::vector<FilterField>{{kDueFrom, "到期日期", FieldKind::Date, "", false},
                                          {kDueTo, "至", FieldKind::Date, "", false}}) {
  CheckedOnly().SetVisible(false);
}

bool BY_TX::Init(host::ISystem& system, int64_t programNumber) {
  const bool done = ListReport::Init(system, programNumber);
  // A clerk calls the customers due in the coming month.
  const std::string today = LoginDay(system);
  FilterInput(kDueFrom).SetText(today);
  FilterInput(kDueTo).SetText(AddDays(AddMonths(today, 1), -1));
  return done;
}

bool BY_TX::FillList(db::IDatabase& database, forms::Grid& grid, std::string* error) {
  const ServiceDue due =
      LoadServiceDue(database, FilterInput(kDueFrom).Text(), FilterInput(kDueTo).Text());
  *error = due.error;
  if (error->empty()) FillServiceDueGrid(due, grid);
  return true;
}

std::string BY_TX::PrintCondition() const {
  return "到期日期：从 " + FilterInput(kDueFrom).Text() + " 到 " + FilterInput(kDueTo).Text() +
         "\r" + Status().Caption();
}

ZL_FX::ZL_FX()
    : ListReport(
          "ZL_FX", "ZL_FX",
          std::vector<FilterField>{{kAsOf, "截止日期", FieldKind::Date, "", false},
                                   {kCustomer, "客户名称", FieldKind::Lookup, "pdmkh_j", true}}) {
  CheckedOnly().SetVisible(false);
}

bool ZL_FX::Init(host::ISystem& system, int64_t programNumber) {
  const bool done = ListReport::Init(system, programNumber);
  FilterInput(kAsOf).SetText(LoginDay(system));
  return done;
}

bool ZL_FX::FillList(db::IDatabase& database, forms::Grid& grid, std::string* error) {
  const forms::Field& customer = FilterInput(kCustomer);
  const bool chosen = !forms::Trim(customer.Text()).empty();
  if (chosen && customer.KeyLong() <= 0) {
    *error = "没有这个客户：" + customer.Text();
    return true;
  }
  showsOrders_ = chosen;
  const std::string& asOf = FilterInput(kAsOf).Text();
  if (!chosen) {
    const ReceivablesByAge aged = LoadAgeSummary(database, asOf);
    *error = aged.error;
    if (error->empty()) FillAgeGrid(aged, grid, false);
    return true;
  }
  const ReceivablesByAge aged = LoadReceivablesByAge(database, asOf, customer.KeyLong(), true);
  *error = aged.error;
  if (error->empty()) FillAgedOrdersGrid(aged, grid, false);
  return true;
}

void ZL_FX::AddTotalRows(forms::Grid& grid) {
  if (showsOrders_) {
    AddAgedOrdersTotals(grid);
  } else {
    AddAgeTotals(grid);
  }
}

void ZL_FX::OpenRow(int row) {
  if (showsOrders_) {
    ListReport::OpenRow(row);
    return;
  }
  const forms::Grid& grid = Grid();
  const std::string id = grid.TextMatrix(row, grid.Cols() - 1);
  if (db::NumericValue(id) <= 0) return;
  FilterInput(kCustomer).SetValue(id, grid.TextMatrix(row, 0));
  Refresh();
}

std::string ZL_FX::ShapedLayoutFile(const std::string& file) const {
  if (!showsOrders_ || file.empty()) return file;
  const size_t dot = file.find_last_of('.');
  const size_t slash = file.find_last_of("/\\");
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
    return file + "-orders";
  return file.substr(0, dot) + "-orders" + file.substr(dot);
}

std::string ZL_FX::PrintCondition() const {
  std::string text = "截止日期：" + FilterInput(kAsOf).Text();
  if (const std::string& customer = FilterInput(kCustomer).Text(); !customer.empty()) {
    text += "\t客户名称：" + customer;
  }
  return text + "\r" + Status().Caption();
}

}  // namespace ws::reports
