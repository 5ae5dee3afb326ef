// Every visit of one vehicle, newest first: what the counter answers when a customer asks what
// was done to the car last time. Each visit carries its labour items and parts as one line of
// names, its money as the order holds it, and the distance driven per day since the visit
// before it, which is what a service reminder by kilometres is estimated from.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "db/amount.h"
#include "db/database.h"
#include "forms/grid.h"

namespace ws::reports {

struct VisitRow {
  int64_t orderId = 0;
  int64_t program = 0;
  std::string dateIn;   // 进厂日期, yyyy-mm-dd
  std::string dateOut;  // 出厂日期, empty when the car has not left
  double mileage = 0;   // 公里数 as read at the visit, 0 when not read
  std::string number;   // 工单号码
  std::string category;
  std::string items;  // labour items, "、"-separated, in line order
  std::string parts;  // part names with their quantity
  db::Amount labour;
  db::Amount partsCost;
  db::Amount receivable;  // 应收合计
  db::Amount collected;   // 现收 + 补收 + 扣零: what the chooser of receipts shows as 已收
  db::Amount balance;     // 余额
  bool checked = false;
  bool settled = false;  // a settlement names the order as its source
  // Kilometres per day since the previous visit; empty for the first visit and where the
  // odometer was not read or the two visits fall on one day.
  std::optional<double> kmPerDay;
};

struct VehicleHistory {
  int64_t vehicleId = 0;
  std::string plate;
  std::string model;
  std::string owner;
  std::vector<VisitRow> visits;  // newest first
  std::string error;             // an unknown plate or a failed statement; empty otherwise
};

// The plate is compared as stored, after trimming; an unknown or empty plate answers an error
// and no visits.
VehicleHistory LoadVehicleHistory(db::IDatabase& database, const std::string& plate);

// The visits as a read-only list with a totals row; the last two columns, hidden, hold the
// order's program and id, as every report grid of the module does for its double-click.
void FillHistoryGrid(const VehicleHistory& history, forms::Grid& grid, bool totals = true);
void AddHistoryTotals(forms::Grid& grid);

// Kilometres per day between two readings, when both are read, the odometer did not go back
// and the later date is after the earlier one.
std::optional<double> KmPerDay(const std::string& earlierDate, double earlierKm,
                               const std::string& laterDate, double laterKm);

}  // namespace ws::reports
