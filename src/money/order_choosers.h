// The queries of the two repair-order choosers of the money documents, and how a receipt's
// amount is proposed over the orders a customer still owes on.
//
// frmSelWsJs lists checked orders that no other settlement points at, for a new or edited
// settlement. frmSel_AR_Rec lists one customer's checked orders with a balance, for a receipt.
// frmSelWsJs lists by work-order number; frmSel_AR_Rec by entry date, then work-order number,
// so the oldest debt comes first and a receipt's amount, allocated top to bottom, pays it first
// however many orders the row limit leaves out.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "db/sql.h"

namespace ws::money {

// The filter strip of frmSelWsJs. Empty texts and ids below 1 filter nothing.
struct SettlementChooserFilter {
  int rows = 100;  // the row-count field
  std::string plate;
  std::string orderNumber;
  std::string dateFrom;  // 进厂日期 range, "yyyy-mm-dd"
  std::string dateTo;
  int64_t customerId = 0;
  int64_t settlementId = 0;  // the settlement being edited (0 for a new one) keeps its order
  int64_t orderId = 0;       // one order alone (a settlement started from it)
};
db::Sql SettlementChooserSelect(const SettlementChooserFilter& filter, std::string_view driver);

// The filter strip of frmSel_AR_Rec.
struct ReceivableChooserFilter {
  int rows = 100;
  std::string dateFrom;
  std::string dateTo;
  int64_t customerId = 0;
  int64_t vehicleId = 0;
  std::string orderNumber;
  int64_t orderId = 0;  // one order alone (a receipt started from it)
};
db::Sql ReceivableChooserSelect(const ReceivableChooserFilter& filter, std::string_view driver);

// Caption source of frmSelWsJs: the program's name (the caption adds "选单").
db::Sql ProgramNameSelect(int64_t programNumber);
// The customer's name in the settlement chooser (sales side) and the receipt chooser
// (receivables side).
db::Sql CustomerNameSelect(int64_t customerId);
db::Sql ReceivableCustomerNameSelect(int64_t customerId);

// The proposal for one listed order.
struct Allocation {
  bool chosen = false;  // the row's 选择 tick
  db::Amount amount;    // 本次核销额
};
// Spreads a receipt amount over the listed balances top to bottom: each order takes what it
// owes until the amount runs out; the last one takes the rest. An amount of 0 ticks nothing.
std::vector<Allocation> AllocateReceipt(db::Amount amount, const std::vector<db::Amount>& balances);

}  // namespace ws::money
