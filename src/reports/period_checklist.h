// What stands in the way of a clean close of a period: the documents of its days that are not
// checked, checked orders nobody settled, settled orders still owed on, orders whose issued
// parts differ from their billed ones, and receipts whose money is not all written off
// against orders. The stock and the ledger period are one period here (the current period and
// its closing day are the module's); a document belongs to the period of its date.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "db/amount.h"
#include "db/database.h"
#include "db/date.h"
#include "forms/grid.h"

namespace ws::reports {

enum class OpenKind {
  OrderUnchecked,
  RequisitionUnchecked,
  SettlementUnchecked,
  ReceiptUnchecked,
  OrderUnsettled,
  SettledWithBalance,
  PartsDiffer,
  ReceiptNotWrittenOff,
};
inline constexpr int kOpenKinds = 8;
const char* OpenKindCaption(OpenKind kind);

// One thing to settle before the close, and the document that settles it.
struct OpenItem {
  OpenKind kind = OpenKind::OrderUnchecked;
  int64_t program = 0;
  int64_t id = 0;
  std::string number;
  std::string date;
  std::string party;  // the plate of an order, the customer of a money document
  db::Amount amount;  // the document's total, or what is open on it
  std::string note;
};

struct PeriodChecklist {
  int period = 0;
  std::string from;
  std::string to;
  std::vector<OpenItem> items;  // by kind, then date and number
  std::string error;
};

// A period that is no year and month is refused.
PeriodChecklist LoadPeriodChecklist(db::IDatabase& database, int period, int closingDay);

// Whether a clerk working on `day` is to be reminded of the checklist of `period`: the day
// falls in the period's last `days` days (its closing day counted).
bool NearClosing(const db::Date& day, int period, int closingDay, int days);

// One row per item under its kind, a count and a sum per kind, the count at the foot; the last
// two columns, hidden, hold the document's program and id.
void FillChecklistGrid(const PeriodChecklist& list, forms::Grid& grid, bool totals = true);
void AddChecklistTotals(forms::Grid& grid);

}  // namespace ws::reports
