// Checking a receipt applies its write-off lines to their repair orders: the amount written off
// is added to the order's 补收金额, the discount to its 扣减金额, and the balance is recomputed
// (余额 = 总金额 - 现收金额 - 补收金额 - 扣减金额). Unchecking subtracts the same amounts. The
// statements are run by the caller, in order, in one db::Transaction, after the period gate
// (framework::PeriodGate) has passed; so an order is never left half updated.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "db/amount.h"
#include "db/sql.h"
#include "money/check_mark.h"

namespace ws::money {

// One line of the receipt's grid as shown.
struct WriteOff {
  int64_t orderId = 0;  // 源单ID, the repair order; lines without one are skipped
  db::Amount amount;    // 本次核销金额
  db::Amount discount;  // the line's discount
};

struct ReceiptDocument {
  int64_t id = 0;
  int64_t programNumber = 0;
  std::vector<WriteOff> lines;
};

// The three statements that apply (sign +1) or take back (sign -1) one line on its order.
std::vector<db::Sql> ApplyWriteOff(const WriteOff& line, int sign);

// Every line with an order applied (sign +1) or taken back (-1), in line order.
std::vector<db::Sql> WriteOffStatements(const ReceiptDocument& receipt, int sign);
// The receipt's lines as stored, by order and line number: what a check applies, whatever a
// window shows.
db::Sql StoredWriteOffsSelect(int64_t receiptId);

}  // namespace ws::money
