// The repair order's own statements (the header and line statements come from its
// descriptions, docs/header_schema.h and docs/line_set.h), built in one place from plain values.
// The texts are the ones the shop's other tools and reports expect to find in the statement log;
// each value goes through the statement builder, so a plate or number typed with a quote is stored
// as typed and never ends a literal.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "db/date.h"
#include "db/sql.h"
#include "framework/line_kind.h"

namespace ws::repair_order {

using framework::LineKind;

// The list SELECT of the navigator, its searches included: the list's counts are kept under its
// text, so a search in another spelling (the saved order shown) would count the list anew.
std::string OrderListSelect();

// The lines of an order, in the order they were added.
db::Sql LinesSelect(LineKind kind, int64_t orderId);
// Who works on the order's labour lines: per line on the floor its state and reason, then per
// technician dispatched (none: one row with empty technician columns) name, planned hours and
// the start of the clock running on the line; by line, in dispatch order. Found by the order's
// key through the floor's indexes: a shop's years of dispatches are never read.
db::Sql JobsSelect(int64_t orderId);
// The most recent order of a vehicle: maker, person, telephone and mileage.
db::Sql LastVisitSelect(int64_t vehicleId);

// --- Save.
db::Sql SaveRuleSelect(int64_t programNumber);
// The number with its revision suffix: "A" -> "A-1", "A-3" -> "A-4", "A-9" -> "A-10".
std::string NextRevision(const std::string& number);
db::Sql DuplicateOfExistingSelect(int64_t orderId, int64_t programNumber,
                                  const std::string& number);
db::Sql DuplicateOfNewSelect(const std::string& number, int64_t programNumber);

db::Sql VehicleIdSelect(const std::string& plate);
struct VehicleValues {
  std::string plate;
  std::string engine;
  std::string chassis;
  std::string model;
  int64_t ownerId = 0;
};
db::Sql VehicleUpdate(int64_t vehicleId, const VehicleValues& v);
db::Sql VehicleInsert(int64_t vehicleId, const VehicleValues& v);

// --- Check, uncheck, delete, print.
db::Sql StatusUpdate(bool check, int64_t programNumber, const std::string& user,
                     const db::Date& date, int64_t orderId, std::string_view driver);
std::vector<db::Sql> DeleteOrderStatements(int64_t orderId);
// The parts issued for the order by material requisitions, with their catalogue texts.
db::Sql IssuedPartsSelect(int64_t orderId);
// The sum of the actual amounts issued for the order.
db::Sql IssuedCostSelect(int64_t orderId);

}  // namespace ws::repair_order
