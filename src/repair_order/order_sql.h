// Every statement the repair order issues, built in one place from plain values. The texts are
// the ones the shop's other tools and reports expect to find in the statement log; each value
// goes through the statement builder, so a plate or number typed with a quote is stored as
// typed and never ends a literal.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "db/date.h"
#include "docs/line_kind.h"

namespace ws::repair_order {

using docs::LineKind;

// The list SELECT of the navigator, and the one it searches with.
std::string OrderListSelect();
std::string OrderSearchSelect();

// The list window of a login date: from the first day of the month `months` months before the
// login month (inclusive) to the first day of the month after it (exclusive), whole years
// carried. `months` is the "befmonth" option; 0 means 12.
std::pair<db::Date, db::Date> DateWindow(const db::Date& login, int months);
// " and 进厂日期>=<from> and 进厂日期<<to>" in the dialect of the driver.
std::string DateWindowCondition(const db::Date& login, int months, std::string_view driver);

// The lines of an order, in the order they were added.
std::string LinesSelect(LineKind kind, int64_t orderId);
// The most recent order of a vehicle: maker, person, telephone and mileage.
std::string LastVisitSelect(int64_t vehicleId);

// --- Save.
std::string SaveRuleSelect(int64_t programNumber);
// The number with its revision suffix: "A" -> "A-1", "A-3" -> "A-4", "A-9" -> "A-10".
std::string NextRevision(const std::string& number);
std::string DuplicateOfExistingSelect(int64_t orderId, int64_t programNumber,
                                      const std::string& number);
std::string DuplicateOfNewSelect(const std::string& number, int64_t programNumber);

std::string VehicleIdSelect(const std::string& plate);
struct VehicleValues {
  std::string plate;
  std::string engine;
  std::string chassis;
  std::string model;
  int64_t ownerId = 0;
};
std::string VehicleUpdate(int64_t vehicleId, const VehicleValues& v);
std::string VehicleInsert(int64_t vehicleId, const VehicleValues& v);

// "Delete from wsdjxm Where 单据明细ID in(1,2)"; ids must not be empty.
std::string DeleteLinesStatement(LineKind kind, const std::vector<int64_t>& lineIds);

// The header of an order as the form holds it: texts as typed, numbers as typed texts (their
// numeric value is written), dates as "yyyy-mm-dd" texts.
struct OrderHeader {
  std::string enteredBy;
  std::string entryDate;
  std::string number;
  int64_t ownerId = 0;
  std::string department;
  std::string maker;
  std::string dateIn;
  int64_t vehicleId = 0;
  std::string person;
  std::string telephone;
  std::string category;
  int64_t categoryId = 0;
  std::string dateOut;
  std::string receptionist;
  std::string invoice;
  std::string mileage;
  std::string labour;
  std::string parts;
  std::string diagnosis;
  std::string inspection;
  std::string total;
};
std::string HeaderUpdate(const OrderHeader& h, int64_t orderId, std::string_view driver);
std::string HeaderInsert(const OrderHeader& h, int64_t orderId, int64_t programNumber,
                         std::string_view driver);

struct OrderLine {
  int64_t lineId = 0;
  int64_t key = 0;  // 项目ID or 产品ID
  std::string quantity;
  std::string price;
  std::string amount;
  std::string remark;
};
std::string LineInsert(LineKind kind, const OrderLine& line, int64_t orderId);
std::string LineUpdate(LineKind kind, const OrderLine& line);

// --- Check, uncheck, delete, print.
std::string StatusUpdate(bool check, int64_t programNumber, const std::string& user,
                         const db::Date& date, int64_t orderId, std::string_view driver);
std::vector<std::string> DeleteOrderStatements(int64_t orderId);
// The parts issued for the order by material requisitions, with their catalogue texts.
std::string IssuedPartsSelect(int64_t orderId);
// The sum of the actual amounts issued for the order.
std::string IssuedCostSelect(int64_t orderId);

}  // namespace ws::repair_order
