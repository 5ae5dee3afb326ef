// Runs one of the query reports (WS_RPT, JS_RPT) the way a user does in its window: the filter
// values are typed into the report's fields (lookups resolve through their pickers, by code or
// name), the check box is ticked, the saved layout is named, Refresh runs the query, and the
// grid — with its sorts and subtotals — is what comes out, as CSV.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "db/database.h"

namespace ws::shop {

struct ReportFilters {
  std::optional<std::string> from;  // yyyy-mm-dd
  std::optional<std::string> to;
  std::optional<std::string> customer;   // code or name, as typed into the field
  std::optional<std::string> vehicle;    // licence plate (WS_RPT)
  std::optional<std::string> number;     // work-order number (WS_RPT)
  std::optional<std::string> category;   // repair category (WS_RPT)
  std::optional<std::string> collector;  // employee code or name (JS_RPT)
  std::optional<std::string> period;     // yyyymm (checklist)
  std::optional<std::string> user;       // the account (audit)
  std::optional<std::string> type;       // the kind of document (audit)
  bool checked = false;
  std::string layoutFile;  // a layout file to apply after the query, empty for none
  std::string xlsxFile;    // also write the grid as a spreadsheet there, empty for none
};

struct ReportRun {
  std::string error;   // empty on success
  bool usage = false;  // the error lies in the request (unknown report, filter, value)
  std::string csv;     // the grid as CSV
  int rows = 0;        // rows below the header, subtotal rows included
  std::string notice;  // what the user should know of a written spreadsheet (cut cells)
};

// Takes the CSV text of a report as it is read; false when it could not be written, which
// stops the report.
using CsvSink = std::function<bool(std::string_view text)>;

// Runs the report of that class name on the database. The database is only read. With `csv`
// the rows go out as they are read, to it and to the spreadsheet (written in constant memory),
// and ReportRun::csv stays empty: memory stays flat whatever the report's length, unless a
// layout is named, whose sorts and subtotals need every row at once.
ReportRun RunReport(db::IDatabase& database, const std::string& className,
                    const ReportFilters& filters, const CsvSink& csv = {});

// The lists the module computes, by name: "history" (--vehicle, the plate), "due" (--from,
// --to: the window of due dates), "aging" (--to: the day; --customer narrows), "issued" (--from,
// --to: the arrival dates, or --number: one order), "checklist" (--period; the shop's current
// period when not given) and "audit" (--from, --to: the window of days; --user and --type
// narrow). The database is only read; a bad filter is a usage error and nothing is written.
bool IsListName(const std::string& name);
ReportRun RunList(db::IDatabase& database, const std::string& name, const ReportFilters& filters);

}  // namespace ws::shop
