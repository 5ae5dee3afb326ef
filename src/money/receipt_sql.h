// The statements of the receipt document JS_S: its list, its write-off lines with the orders
// they name, the number tests and the delete. Header insert and update come from the header
// schema; line insert and update from ReceiptLines.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "db/sql.h"

namespace ws::money {

// The receipt list with the names of its customer, salesman, settlement method and account.
std::string ReceiptListSelect();
// The write-off lines of a receipt with the orders they name, in line order.
db::Sql ReceiptLinesSelect(int64_t receiptId);
// Header first: it must hit the receipt, the lines go with it.
std::vector<db::Sql> DeleteReceiptStatements(int64_t receiptId);

}  // namespace ws::money
