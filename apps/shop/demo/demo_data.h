// Demo data of a believable Chinese repair shop: customers and their vehicles, repair items and
// categories, parts with stock in the current period, departments, depots, employees, accounts,
// settlement methods, currencies, and a year of repair orders with their item and part lines,
// both entered and checked, and the counter's work on them: material requisitions, settlements
// and receipts as the module saves and checks them (see demo_chain.h).
//
// The data is a pure function of the seed, the number of orders and the reference date: the
// same three give the same rows, whatever the machine (std::mt19937_64 and no library
// distributions). Orders fall on the 365 days ending at the reference date; order ids and
// work-order numbers ("yyyymmdd" + sequence of the day, the host's numbering scheme) ascend with
// the date in; every foreign key resolves; an order's 维修费用 and 配件费用 are the sums of its
// item and part amounts and 应收合计 adds the diagnosis and inspection fees. The id counters
// (ws_id) and the document-number counters (ws_billno) end above everything written.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "db/database.h"
#include "db/date.h"

namespace ws::shop {

struct DemoOptions {
  uint64_t seed = 1;
  int64_t orders = 2000;
  db::Date date;  // the reference date: the last day with orders, its period the current one
  int years = 1;  // how many years back from the date the orders reach (1 to 30)
  // Asked now and then while orders are written; true stops the run, which then leaves
  // nothing behind and answers kDemoCancelled.
  std::function<bool()> cancelled;
};

// The error text of a run stopped by DemoOptions::cancelled.
inline constexpr const char* kDemoCancelled = "cancelled";

// Rows the counter chain behind the orders writes (demo_chain.h).
struct ChainCounts {
  int64_t requisitions = 0;
  int64_t requisitionLines = 0;
  int64_t stockMovements = 0;
  int64_t settlements = 0;
  int64_t voucherLines = 0;
  int64_t receipts = 0;
  int64_t openOrders = 0;  // settled orders with a balance still owed
};

// Rows written per table, the chain's included.
struct DemoCounts : ChainCounts {
  int64_t customers = 0;  // pdmwldw (and the same number in PDMWLDWJS)
  int64_t vehicles = 0;
  int64_t items = 0;
  int64_t categories = 0;
  int64_t parts = 0;
  int64_t departments = 0;  // PDMBM rows of both kinds
  int64_t employees = 0;
  int64_t accounts = 0;
  int64_t settlementMethods = 0;
  int64_t currencies = 0;  // added to the local currency
  int64_t stockRows = 0;
  int64_t orders = 0;
  int64_t itemLines = 0;
  int64_t partLines = 0;
  int64_t dispatches = 0;  // the floor of the last weeks (demo_floor.h)
  int64_t clockRecords = 0;
  int64_t findings = 0;
};

// Called now and then while orders are written: orders done so far, orders in all.
using DemoProgress = std::function<void(int64_t done, int64_t total)>;

// How many customers a demo of `orders` orders has (vehicles follow from them).
int64_t DemoCustomerCount(int64_t orders);

// Writes the demo into db, which holds the catalogue and the default configuration and no shop
// data, inside one transaction of its own (a savepoint when the caller has one open). db is a
// SQLite or PostgreSQL service; rows are written in bulk (BulkInserter), the one place where
// the host writes without the module's statement texts: a million orders are too many for one
// statement text each. Answers the error text, empty on success; on failure nothing of the
// demo stays.
std::string GenerateDemoData(db::IDatabase& db, const DemoOptions& options,
                             DemoCounts* counts = nullptr, const DemoProgress& progress = {});

// Creates a new shop database (a file, or a postgresql:// URL) holding the catalogue, the
// default configuration and the demo shop, the way `ws demo` does: built as NewShopDatabase
// builds one, with the indexes made after the load. The target must pass
// CheckNewDatabaseTarget (a shop already there is replaced).
// onIndexes (optional) is called when the rows are in and the indexes are being built.
// Answers the error text, empty on success.
std::string CreateDemoDatabase(const std::string& name, const DemoOptions& options,
                               DemoCounts* counts, const DemoProgress& progress,
                               const std::function<void()>& onIndexes = {});

}  // namespace ws::shop
