// Receivables by age: who owes the shop, and since when. Every checked repair order with a
// balance on the chosen day is aged by the days from its arrival date to that day, into the
// buckets 0-30, 31-60, 61-90 and over 90 days; customers carry the sums of their orders.
//
// The balance on a day is the order's balance (余额, as the receipts' check keeps it) with
// the write-offs of checked receipts dated after that day added back, so the list for the end
// of last month reads the same whatever was collected since. Orders that arrived after the day
// are not yet owed.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "db/amount.h"
#include "db/database.h"
#include "forms/grid.h"
#include "reports/list_grid.h"

namespace ws::reports {

inline constexpr int kAgeBuckets = 4;
// The bucket of an age in days: 0-30, 31-60, 61-90, over 90 (a future date counts as 0).
int AgeBucket(int days);
const char* AgeBucketCaption(int bucket);

// A checked receipt's write-off on an order, up to the chosen day.
struct ReceiptLine {
  std::string date;
  std::string number;
  db::Amount amount;  // written off, the discount included
};

struct AgedOrder {
  int64_t orderId = 0;
  int64_t program = 0;
  std::string number;
  std::string dateIn;
  std::string plate;
  int days = 0;
  db::Amount receivable;              // 应收合计
  db::Amount balance;                 // on the chosen day
  std::vector<ReceiptLine> receipts;  // oldest first
};

struct AgedCustomer {
  int64_t customerId = 0;
  std::string name;
  std::array<db::Amount, kAgeBuckets> buckets{};
  db::Amount total;
  size_t orderCount = 0;          // orders owed on
  std::vector<AgedOrder> orders;  // oldest first; empty in the summary
};

struct ReceivablesByAge {
  std::string asOf;
  std::vector<AgedCustomer> customers;  // by name
  std::array<db::Amount, kAgeBuckets> buckets{};
  db::Amount total;
  std::string error;
};

// The customer a typed code or name names (the code first), 0 when none does.
int64_t FindCustomer(db::IDatabase& database, const std::string& typed, std::string* error);

// customerId 0 lists every customer. A day that is no date is refused. With receipts, each
// order carries the write-offs on it up to the day (for the drill-down).
ReceivablesByAge LoadReceivablesByAge(db::IDatabase& database, const std::string& asOf,
                                      int64_t customerId = 0, bool withReceipts = false);

// From this many customers owing on, the summary reads the names by a walk of every card by
// name instead of looking each one up (where the database orders texts by their bytes).
inline constexpr size_t kWalkNamesFrom = 10'000;

// The walk of every card with a name in the order of the list (name, then id) that the summary
// reads from walkNamesFrom owing customers on: an index's order read alone on either engine.
db::Sql CardsByName();

// The same sums per customer without reading the orders one by one: the database adds up what
// is owed today, and only the orders a receipt after the day wrote off are read. The customers
// carry their order count but no orders.
ReceivablesByAge LoadAgeSummary(db::IDatabase& database, const std::string& asOf,
                                size_t walkNamesFrom = kWalkNamesFrom);

// One row per customer with the count, the buckets and the total, a totals row at the foot;
// a hidden column holds the customer's id ("往来ID") for the drill-down.
const ListColumns& AgeColumns();
void FillAgeGrid(const ReceivablesByAge& aged, forms::Grid& grid, bool totals = true);
// LoadAgeSummary's rows put straight into the grid in their order as they are summed: the list
// of a shop's customers is held once, in the grid. Answers the error (the grid
// then empty).
std::string FillAgeSummaryGrid(db::IDatabase& database, const std::string& asOf, forms::Grid& grid,
                               bool totals = true, size_t walkNamesFrom = kWalkNamesFrom);
void AddAgeTotals(forms::Grid& grid);
// The drill-down: every order under its customer, its balance in its age's column and the
// receipts written off on it, a subtotal per customer and the grand total at the foot; two
// hidden columns hold the order's program and id.
void FillAgedOrdersGrid(const ReceivablesByAge& aged, forms::Grid& grid, bool totals = true);
void AddAgedOrdersTotals(forms::Grid& grid);

}  // namespace ws::reports
