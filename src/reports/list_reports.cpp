#include "reports/list_reports.h"

#include "db/date.h"
#include "db/default_config.h"
#include "db/value.h"
#include "forms/text.h"
#include "reports/audit_list.h"
#include "reports/calendar.h"
#include "reports/issued_billed.h"
#include "reports/period_checklist.h"
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
    *error = FillAgeSummaryGrid(database, asOf, grid, false);
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
  const std::string id = grid.TextMatrix(row, ColumnOf(AgeColumns(), "往来ID"));
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

LY_DB::LY_DB()
    : ListReport("LY_DB", "LY_DB",
                 std::vector<FilterField>{{kArrivedFrom, "进厂日期", FieldKind::Date, "", false},
                                          {kArrivedTo, "至", FieldKind::Date, "", false},
                                          {kNumber, "工单号码", FieldKind::Text, "", false}}) {
  // Orders still in the workshop have parts not issued yet; the owner looks at the rest.
  CheckedOnly().SetValue(1);
}

bool LY_DB::Init(host::ISystem& system, int64_t programNumber) {
  const bool done = ListReport::Init(system, programNumber);
  // The month the clerk is working in, up to its last day.
  db::Date first = system.GetLoginInfo().loginDate;
  first.day = 1;
  FilterInput(kArrivedFrom).SetText(first.Text());
  FilterInput(kArrivedTo).SetText(AddDays(AddMonths(first.Text(), 1), -1));
  return done;
}

bool LY_DB::FillList(db::IDatabase& database, forms::Grid& grid, std::string* error) {
  const IssuedAgainstBilled list = LoadIssuedAgainstBilled(
      database, FilterInput(kArrivedFrom).Text(), FilterInput(kArrivedTo).Text(),
      FilterInput(kNumber).Text(), CheckedOnly().Checked());
  *error = list.error;
  if (error->empty()) FillIssuedGrid(list, grid, false);
  return true;
}

void LY_DB::AddTotalRows(forms::Grid& grid) {
  AddIssuedTotals(grid);
}

ReportControl::DocumentRef LY_DB::DocumentAt(int row, int col) const {
  static const int requisitions = ColumnOf(IssuedColumns(), "领料单");
  static const int requisitionProgram = ColumnOf(IssuedColumns(), "领料progid");
  if (col == requisitions) {
    const DocumentRef requisition = DocumentIn(row, requisitionProgram);
    if (requisition.id > 0) return requisition;
  }
  return ListReport::DocumentAt(row, col);
}

std::string LY_DB::PrintCondition() const {
  const std::string number = forms::Trim(FilterInput(kNumber).Text());
  const std::string window = number.empty() ? "进厂日期：从 " + FilterInput(kArrivedFrom).Text() +
                                                  " 到 " + FilterInput(kArrivedTo).Text()
                                            : "工单号码：" + number;
  return window + "\r" + Status().Caption();
}

JZ_JC::JZ_JC()
    : ListReport("JZ_JC", "JZ_JC",
                 std::vector<FilterField>{{kPeriod, "会计期间", FieldKind::Text, "", false}}) {
  CheckedOnly().SetVisible(false);
}

bool JZ_JC::Init(host::ISystem& system, int64_t programNumber) {
  const bool done = ListReport::Init(system, programNumber);
  closingDay_ = static_cast<int>(db::NumericValue(system.GetParameter(12, 3)));
  FilterInput(kPeriod).SetText(std::to_string(CurrentPeriod(system)));
  return done;
}

int JZ_JC::CurrentPeriod(host::ISystem& system) {
  const auto current = static_cast<int>(db::NumericValue(system.GetParameter(12, 1)));
  if (current > 0) return current;
  return db::PeriodOfDate(system.GetLoginInfo().loginDate,
                          static_cast<int>(db::NumericValue(system.GetParameter(12, 3))));
}

bool JZ_JC::FillList(db::IDatabase& database, forms::Grid& grid, std::string* error) {
  const std::string typed = forms::Trim(FilterInput(kPeriod).Text());
  const int period = static_cast<int>(db::NumericValue(typed));
  const PeriodChecklist list = LoadPeriodChecklist(database, period, closingDay_);
  *error = list.error;
  if (error->empty()) FillChecklistGrid(list, grid, false);
  return true;
}

void JZ_JC::AddTotalRows(forms::Grid& grid) {
  AddChecklistTotals(grid);
}

std::string JZ_JC::PrintCondition() const {
  return "会计期间：" + FilterInput(kPeriod).Text() + "\r" + Status().Caption();
}

XG_JL::XG_JL()
    : ListReport("XG_JL", "XG_JL",
                 std::vector<FilterField>{{kFrom, "日期", FieldKind::Date, "", false},
                                          {kTo, "至", FieldKind::Date, "", false},
                                          {kUser, "用户", FieldKind::Text, "", false},
                                          {kType, "单据类型", FieldKind::Text, "", false},
                                          {kNumber, "单据编号", FieldKind::Text, "", false}}) {
  CheckedOnly().SetVisible(false);
}

bool XG_JL::Init(host::ISystem& system, int64_t programNumber) {
  const bool done = ListReport::Init(system, programNumber);
  system_ = &system;
  // Events carry the clock's day, the clerks' work the day they logged in with: the window
  // opens from the earlier of the two to the later, so neither's events are missed.
  const db::Date login = system.GetLoginInfo().loginDate;
  const db::Date today = db::Today();
  FilterInput(kFrom).SetText(std::min(login, today).Text());
  FilterInput(kTo).SetText(std::max(login, today).Text());
  return done;
}

bool XG_JL::FillList(db::IDatabase& database, forms::Grid& grid, std::string* error) {
  const std::optional<std::string> type = AuditTypeOf(FilterInput(kType).Text());
  if (!type) {
    *error = "没有这种单据：" + FilterInput(kType).Text();
    return true;
  }
  db::AuditFilter filter;
  filter.documentType = *type;
  filter.user = forms::Trim(FilterInput(kUser).Text());
  filter.number = forms::Trim(FilterInput(kNumber).Text());
  // Still on the document ShowDocument put here: its id holds even where no event carries a
  // number (a card without a code, a document from before the trail).
  if (shown_.documentId > 0 && filter.documentType == shown_.documentType &&
      filter.number == shown_.number) {
    filter.documentId = shown_.documentId;
    filter.number.clear();
  }
  filter.fromDate = forms::Trim(FilterInput(kFrom).Text());
  filter.toDate = forms::Trim(FilterInput(kTo).Text());
  const AuditTrail trail = LoadAuditTrail(database, filter);
  *error = trail.error;
  if (error->empty()) FillAuditGrid(trail, grid);
  return true;
}

bool XG_JL::ShowDocument(const std::string& className, int64_t id) {
  shown_ = {};
  shown_.documentType = className;
  shown_.documentId = id;
  if (!system_) return false;
  shown_.number = LatestAuditNumber(system_->GetDatabase(), className, id);
  for (int index : {kFrom, kTo, kUser}) FilterInput(index).SetText("");
  std::string kind = className;
  for (const auto& entry : db::DefaultControls()) {
    if (entry.className == className) kind = entry.caption;
  }
  FilterInput(kType).SetText(kind);
  FilterInput(kNumber).SetText(shown_.number);
  return true;
}

std::string XG_JL::PrintCondition() const {
  std::string text = "日期：从 " + FilterInput(kFrom).Text() + " 到 " + FilterInput(kTo).Text();
  for (int index : {kUser, kType, kNumber}) {
    if (const std::string& value = FilterInput(index).Text(); !value.empty()) {
      text += "\t" + FilterInput(index).Caption() + "：" + value;
    }
  }
  return text + "\r" + Status().Caption();
}

}  // namespace ws::reports
