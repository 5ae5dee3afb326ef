// Parts issued against parts billed: what left the shelves for a repair order by its checked
// requisitions, set beside what the customer is billed for. The bill is the order's settlement
// once there is one (its part lines are what the customer pays), the order's own part lines
// before that. A part whose quantities differ is a leak to look at: issued and never billed,
// billed and never issued, or more of one than of the other.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "db/amount.h"
#include "db/database.h"
#include "db/sql.h"
#include "forms/grid.h"
#include "reports/list_grid.h"

namespace ws::reports {

// Narrows a statement on WSDJ to the repair orders that arrived from `from` up to the day
// before `dayAfter`, found by their day: a month among years of orders reads that month's keys
// from the index alone.
void OrdersArrivedIn(db::Sql& sql, const std::string& from, const std::string& dayAfter);

enum class PartDifference {
  None,
  IssuedNotBilled,  // issued, nothing of it billed
  BilledNotIssued,  // billed, nothing of it issued
  MoreIssued,
  MoreBilled,
};
const char* PartDifferenceCaption(PartDifference difference);
PartDifference DifferenceOf(const db::Amount& issued, const db::Amount& billed);

// A requisition that issued a part to the order.
struct IssueDocument {
  int64_t id = 0;
  int64_t program = 0;
  std::string number;
};

struct PartLine {
  int64_t productId = 0;
  std::string code;
  std::string name;
  db::Amount orderedQuantity;  // on the order's part lines
  db::Amount orderedAmount;
  db::Amount issuedQuantity;   // by checked requisitions
  db::Amount issuedAmount;     // at the actual issue amounts
  db::Amount settledQuantity;  // on the settlement, when there is one
  db::Amount settledAmount;
  std::vector<IssueDocument> requisitions;  // by number

  const db::Amount& BilledQuantity(bool settled) const {
    return settled ? settledQuantity : orderedQuantity;
  }
  const db::Amount& BilledAmount(bool settled) const {
    return settled ? settledAmount : orderedAmount;
  }
};

struct IssuedOrder {
  int64_t orderId = 0;
  int64_t program = 0;
  std::string number;
  std::string dateIn;
  std::string plate;
  std::string customer;
  bool checked = false;
  int64_t settlementId = 0;  // 0: not settled; the bill is the order's own lines
  std::string settlementNumber;
  std::vector<PartLine> parts;  // by part code

  bool Settled() const { return settlementId > 0; }
  PartDifference DifferenceOf(const PartLine& part) const;
  bool HasDifference() const;
};

struct IssuedAgainstBilled {
  std::string from;
  std::string to;
  std::vector<IssuedOrder> orders;  // by arrival date and number
  std::string error;
};

// The orders that arrived from `from` to `to` (yyyy-mm-dd, both included) that have a
// difference, each with the parts that differ; checkedOnly leaves out the orders still in the
// workshop, whose parts are not all issued yet. With a work-order number the window is not
// read: that order alone, with every part, differing or not.
IssuedAgainstBilled LoadIssuedAgainstBilled(db::IDatabase& database, const std::string& from,
                                            const std::string& to,
                                            const std::string& orderNumber = {},
                                            bool checkedOnly = false);

// One row per part of each order: quantities and amounts side by side, the difference and the
// requisitions; a subtotal per order and the grand total. Four columns are hidden:
// the first requisition's program and id (a double click on the requisitions' cell opens it)
// and the order's program and id (anywhere else opens the order).
void FillIssuedGrid(const IssuedAgainstBilled& list, forms::Grid& grid, bool totals = true);
void AddIssuedTotals(forms::Grid& grid);
// The grid's columns; the control finds the requisitions' cell ("领料单") and the first
// requisition's program ("领料progid", its id after it) by caption.
const ListColumns& IssuedColumns();

}  // namespace ws::reports
