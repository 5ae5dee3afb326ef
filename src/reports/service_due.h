// Who is due for a service: repair items may carry an interval in months and/or kilometres,
// and every vehicle whose last visit with such an item falls due inside a window is listed
// with its customer's phone, soonest first, for the counter to call.
//
// A vehicle is due at the earliest of its items' dates: the visit's date plus the months, or
// the day its odometer reaches the visit's reading plus the kilometres, at the vehicle's own
// average daily distance over all its read visits. A vehicle with a single reading has no
// average and is due by months only.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "db/database.h"
#include "forms/grid.h"

namespace ws::reports {

struct ServiceDueRow {
  std::string dueDate;
  bool byKilometres = false;  // the kilometres fall due before the months
  std::string plate;
  std::string model;
  std::string customer;
  std::string phone;      // the customer's, else the driver's at the last visit
  std::string lastVisit;  // date of the last visit with an interval item
  double lastMileage = 0;
  std::optional<double> kmPerDay;
  std::string items;  // the interval items of that visit
  int64_t orderId = 0;
  int64_t program = 0;
};

struct ServiceDue {
  std::vector<ServiceDueRow> rows;  // by due date, then plate
  std::string error;                // a bad window or a failed statement
};

// Both dates are needed (yyyy-mm-dd), `from` not after `to`.
ServiceDue LoadServiceDue(db::IDatabase& database, const std::string& from, const std::string& to);

void FillServiceDueGrid(const ServiceDue& due, forms::Grid& grid);

}  // namespace ws::reports
