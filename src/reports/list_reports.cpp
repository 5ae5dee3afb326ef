#include "reports/list_reports.h"

#include "db/date.h"
#include "db/default_config.h"
#include "forms/text.h"
#include "reports/audit_list.h"
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
  if (!forms::Trim(customer.Text()).empty() && customer.KeyLong() <= 0) {
    *error = "没有这个客户：" + customer.Text();
    return true;
  }
  const ReceivablesByAge aged =
      LoadReceivablesByAge(database, FilterInput(kAsOf).Text(), customer.KeyLong(), true);
  *error = aged.error;
  if (error->empty()) FillAgedOrdersGrid(aged, grid, false);
  return true;
}

void ZL_FX::AddTotalRows(forms::Grid& grid) {
  AddAgedOrdersTotals(grid);
}

std::string ZL_FX::PrintCondition() const {
  std::string text = "截止日期：" + FilterInput(kAsOf).Text();
  if (const std::string& customer = FilterInput(kCustomer).Text(); !customer.empty()) {
    text += "\t客户名称：" + customer;
  }
  return text + "\r" + Status().Caption();
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
  // The owner reads what happened today first: events carry the clock's day, whatever day
  // the clerks logged in with.
  FilterInput(kFrom).SetText(db::Today().Text());
  FilterInput(kTo).SetText(db::Today().Text());
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
