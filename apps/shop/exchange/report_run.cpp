#include "shop/exchange/report_run.h"

#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>
#include <vector>

#include "db/date.h"
#include "db/default_config.h"
#include "db/value.h"
#include "forms/grid_pack.h"
#include "forms/input.h"
#include "framework/shop_decimals.h"
#include "host/registry.h"
#include "masters/vin_faults.h"
#include "platform/system_object.h"
#include "reports/audit_list.h"
#include "reports/issued_billed.h"
#include "reports/js_rpt.h"
#include "reports/list_grid.h"
#include "reports/list_reports.h"
#include "reports/period_checklist.h"
#include "reports/receivables_age.h"
#include "reports/register.h"
#include "reports/service_due.h"
#include "reports/technician_pay.h"
#include "reports/vehicle_history.h"
#include "reports/ws_rpt.h"
#include "shop/exchange/xlsx_export.h"
#include "shop/script/unattended.h"

namespace ws::shop {

namespace fs = std::filesystem;

namespace {

struct FilterOption {
  const char* option;
  const std::optional<std::string> ReportFilters::*value;
  int wsIndex;  // field index in WS_RPT, -1 when it has none
  int jsIndex;  // field index in JS_RPT
};

const std::vector<FilterOption>& FilterOptions() {
  using reports::JS_RPT;
  using reports::WS_RPT;
  static const std::vector<FilterOption> options = {
      {"--from", &ReportFilters::from, WS_RPT::kDateFrom, JS_RPT::kDateFrom},
      {"--to", &ReportFilters::to, WS_RPT::kDateTo, JS_RPT::kDateTo},
      {"--customer", &ReportFilters::customer, WS_RPT::kCustomer, JS_RPT::kCustomer},
      {"--vehicle", &ReportFilters::vehicle, WS_RPT::kVehicle, -1},
      {"--number", &ReportFilters::number, WS_RPT::kNumber, -1},
      {"--category", &ReportFilters::category, WS_RPT::kCategory, -1},
      {"--collector", &ReportFilters::collector, -1, JS_RPT::kCollector},
  };
  return options;
}

int64_t ProgramOf(const std::string& className) {
  for (const auto& entry : db::DefaultControls()) {
    if (entry.className == className) return entry.programNumber;
  }
  return 0;
}

ReportRun Refused(std::string why) {
  ReportRun run;
  run.error = std::move(why);
  run.usage = true;
  return run;
}

// The grid as CSV, and as a spreadsheet when one is asked for.
ReportRun Output(const forms::Grid& grid, const ReportFilters& filters, const std::string& sheet) {
  ReportRun run;
  run.csv = forms::GridCsv(grid);
  run.rows = grid.DataRows();
  if (!filters.xlsxFile.empty())
    run.error = WriteGridXlsx(grid, filters.xlsxFile, sheet, &run.notice);
  return run;
}

}  // namespace

ReportRun RunReport(db::IDatabase& database, const std::string& className,
                    const ReportFilters& filters, const CsvSink& csv) {
  host::Registry registry;
  reports::RegisterReports(registry);
  std::unique_ptr<host::IControl> control =
      className == "WS_RPT" || className == "JS_RPT" ? registry.Create(className) : nullptr;
  if (!control) return Refused("unknown report '" + className + "' (WS_RPT or JS_RPT)");
  if (filters.period) return Refused(className + " has no --period filter");
  auto& report = dynamic_cast<reports::ReportControl&>(*control);
  const bool repairOrders = className == "WS_RPT";

  TemporaryFolder work("ws_report_");
  if (work.Path().empty())
    return ReportRun{"cannot create a temporary work folder", false, {}, 0, {}};
  UnattendedDialogs dialogs;
  host::LoginInfo login{"管理员", db::Today(), work.Path().string(), "ws"};
  platform::SystemObject system(database, dialogs, login);
  ErrorCollector sink;
  control->Events().AttachSink(&sink);
  report.Init(system, ProgramOf(className));
  if (!filters.layoutFile.empty()) report.DoGetFormStatus(filters.layoutFile);

  for (const FilterOption& option : FilterOptions()) {
    const std::optional<std::string>& value = filters.*option.value;
    if (!value) continue;
    const int index = repairOrders ? option.wsIndex : option.jsIndex;
    if (index < 0) return Refused(className + " has no " + option.option + " filter");
    forms::Field& field = report.FilterInput(index);
    if (field.Kind() == forms::FieldKind::Date && !value->empty() && !db::Date::Parse(*value)) {
      return Refused(std::string(option.option) + " '" + *value + "' is no date (yyyy-mm-dd)");
    }
    forms::Input::Type(field, *value);
    if (!field.Valid()) {
      return Refused(std::string(option.option) + " '" + *value + "': " + field.Hint());
    }
  }
  report.CheckedOnly().SetValue(filters.checked ? 1 : 0);

  ReportRun run;
  std::unique_ptr<SheetWriter> sheet;
  if (!filters.xlsxFile.empty()) {
    sheet = std::make_unique<SheetWriter>(filters.xlsxFile, className);
  }
  bool header = true;
  bool written = true;
  const bool read = report.RefreshInto([&](const forms::Grid& grid) {
    std::string text = forms::GridCsv(grid, header);
    header = false;
    run.rows += grid.DataRows();
    if (sheet) sheet->Add(grid);
    if (!csv) {
      run.csv += text;
      return true;
    }
    written = csv(text);
    return written;
  });
  if (!written) {
    run.error = "the report could not be written";
  } else if (!read || !sink.errors.empty()) {
    run.error = sink.errors.empty() ? "the report could not be run" : sink.errors;
  } else if (sheet) {
    run.error = sheet->Finish(&run.notice);
  }
  report.Clear();
  control->Events().AttachSink(nullptr);
  return run;
}

bool IsListName(const std::string& name) {
  return name == "history" || name == "due" || name == "aging" || name == "vin" ||
         name == "issued" || name == "checklist" || name == "audit" || name == "efficiency" ||
         name == "commission";
}

ReportRun RunList(db::IDatabase& database, const std::string& name, const ReportFilters& filters) {
  // Each list takes only the filters it reads; any other is refused rather than ignored.
  const std::vector<std::pair<const char*, bool>> given = {
      {"--from", filters.from.has_value()},           {"--to", filters.to.has_value()},
      {"--customer", filters.customer.has_value()},   {"--vehicle", filters.vehicle.has_value()},
      {"--number", filters.number.has_value()},       {"--category", filters.category.has_value()},
      {"--collector", filters.collector.has_value()}, {"--period", filters.period.has_value()},
      {"--user", filters.user.has_value()},           {"--type", filters.type.has_value()}};
  const std::map<std::string, std::vector<std::string>> filtersOf = {
      {"history", {"--vehicle"}},
      {"due", {"--from", "--to"}},
      {"aging", {"--to", "--customer"}},
      {"issued", {"--from", "--to", "--number"}},
      {"vin", {}},
      {"checklist", {"--period"}},
      {"audit", {"--from", "--to", "--user", "--type"}},
      {"efficiency", {"--from", "--to"}},
      {"commission", {"--from", "--to"}}};
  const auto known = filtersOf.find(name);
  if (known == filtersOf.end()) {
    return Refused("unknown list '" + name +
                   "' (history, due, aging, vin, issued, checklist, audit, efficiency or "
                   "commission)");
  }
  const std::vector<std::string>& takes = known->second;
  for (const auto& [option, set] : given) {
    if (set && std::find(takes.begin(), takes.end(), option) == takes.end()) {
      return Refused(name + " has no " + option + " filter");
    }
  }
  if ((filters.checked && name != "issued") || !filters.layoutFile.empty()) {
    return Refused(name + " takes neither --checked nor --layout");
  }
  forms::Grid grid("Vs");
  if (name == "history") {
    const auto history = reports::LoadVehicleHistory(database, filters.vehicle.value_or(""));
    if (!history.error.empty()) return Refused(history.error);
    reports::FillHistoryGrid(history, grid);
  } else if (name == "due") {
    const auto due =
        reports::LoadServiceDue(database, filters.from.value_or(""), filters.to.value_or(""));
    if (!due.error.empty()) return Refused(due.error);
    reports::FillServiceDueGrid(due, grid);
  } else if (name == "aging") {
    int64_t customer = 0;
    if (filters.customer) {
      std::string error;
      customer = reports::FindCustomer(database, *filters.customer, &error);
      if (!error.empty()) return ReportRun{error, false, {}, 0, {}};
      if (customer == 0) return Refused("no customer '" + *filters.customer + "'");
    }
    const std::string asOf = filters.to.value_or("");
    if (customer > 0) {
      const auto aged = reports::LoadReceivablesByAge(database, asOf, customer);
      if (!aged.error.empty()) return Refused(aged.error);
      reports::FillAgeGrid(aged, grid);
    } else if (std::string error = reports::FillAgeSummaryGrid(database, asOf, grid);
               !error.empty()) {
      return Refused(error);
    }
  } else if (name == "vin") {
    const auto faults = masters::LoadVinFaults(database);
    if (!faults.error.empty()) return ReportRun{faults.error, false, {}, 0, {}};
    reports::SetupListGrid(
        grid, {{"车辆编号", 10}, {"车牌号", 10}, {"车架号", 20}, {"车主", 16}, {"车架号提示", 40}});
    for (const auto& fault : faults.rows) {
      reports::AddListRow(grid, {fault.number, fault.plate, fault.vin, fault.owner, fault.reason});
    }
  } else if (name == "issued") {
    const auto issued = reports::LoadIssuedAgainstBilled(
        database, filters.from.value_or(""), filters.to.value_or(""), filters.number.value_or(""),
        filters.checked);
    if (!issued.error.empty()) return Refused(issued.error);
    reports::FillIssuedGrid(issued, grid);
  } else if ((name == "efficiency" || name == "commission") && (!filters.from || !filters.to)) {
    return Refused(name + " needs the period: --from DATE --to DATE");
  } else if (name == "efficiency") {
    const auto pay =
        reports::LoadEfficiency(database, filters.from.value_or(""), filters.to.value_or(""));
    if (!pay.error.empty()) return ReportRun{pay.error, false, {}, 0, {}};
    reports::FillEfficiencyGrid(pay, grid);
  } else if (name == "commission") {
    // Pay: on a server the rules are the managers' to read, and a login without that right
    // is refused there, whatever this program is asked.
    UnattendedDialogs dialogs;
    platform::SystemObject system(database, dialogs, {"管理员", db::Today(), {}});
    const auto pay =
        reports::LoadCommission(database, filters.from.value_or(""), filters.to.value_or(""),
                                framework::AmountDecimals(system));
    if (!pay.error.empty()) return ReportRun{pay.error, false, {}, 0, {}};
    reports::FillCommissionGrid(pay, grid);
  } else if (name == "audit") {
    db::AuditFilter filter;
    for (const auto* day : {&filters.from, &filters.to}) {
      if (*day && !db::Date::Parse(**day))
        return Refused("'" + **day + "' is no date (yyyy-mm-dd)");
    }
    filter.fromDate = filters.from.value_or("");
    filter.toDate = filters.to.value_or("");
    filter.user = filters.user.value_or("");
    const auto type = reports::AuditTypeOf(filters.type.value_or(""));
    if (!type) return Refused("no kind of document '" + *filters.type + "'");
    filter.documentType = *type;
    const auto trail = reports::LoadAuditTrail(database, filter);
    if (!trail.error.empty()) return ReportRun{trail.error, false, {}, 0, {}};
    reports::FillAuditGrid(trail, grid);
  } else {
    // The period and its closing day as the shop's own options hold them.
    UnattendedDialogs dialogs;
    platform::SystemObject system(database, dialogs, {"管理员", db::Today(), {}});
    int period = reports::JZ_JC::CurrentPeriod(system);
    if (filters.period) {
      // Six digits, a year and a month: "2012-06", "2012" or "201206abc" would read as some
      // other period (or none) and answer an empty checklist as if all were done.
      const std::string& text = *filters.period;
      const bool digits =
          text.size() == 6 && text.find_first_not_of("0123456789") == std::string::npos;
      const int month = digits ? std::stoi(text.substr(4)) : 0;
      if (!digits || month < 1 || month > 12 || std::stoi(text.substr(0, 4)) < 1) {
        return Refused(
            "--period takes a year and month as six digits (YYYYMM, e.g. 201206), not '" + text +
            "'");
      }
      period = std::stoi(text);
    }
    const auto checklist = reports::LoadPeriodChecklist(
        database, period, static_cast<int>(db::NumericValue(system.GetParameter(12, 3))));
    if (!checklist.error.empty()) return Refused(checklist.error);
    reports::FillChecklistGrid(checklist, grid);
  }
  UnattendedDialogs dialogs;
  platform::SystemObject system(database, dialogs, {"管理员", db::Today(), {}});
  reports::ApplyAmountDecimals(grid, framework::AmountDecimals(system));
  return Output(grid, filters, name);
}

}  // namespace ws::shop
