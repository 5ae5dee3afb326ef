// The statements of the repair settlement JS_WS: its list, the repair order it copies, its saved
// fees and lines, the number test, the cash-account lookup and its delete. Every value reaches
// the text through db::Sql.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "db/amount.h"
#include "db/sql.h"
#include "framework/line_kind.h"

namespace ws::money {

// The settlements list the navigator moves over (the condition follows).
std::string SettlementListSelect();

// The repair order's header with its owner's name and its vehicle.
db::Sql OrderHeaderSelect(int64_t orderId);
// The order's labour-item lines with the item master's code, name and attribute.
db::Sql OrderItemsSelect(int64_t orderId);
// The parts issued to the order by all its requisitions, one row per product: sum数量, sum金额,
// 物品编码, 物品名称, 产品规格, 库存单位, 产品ID.
db::Sql IssuedPartsSelect(int64_t orderId);

// The saved fee row and lines of a settlement.
db::Sql FeeSelect(int64_t settlementId);
db::Sql FeeDelete(int64_t settlementId);
struct FeeValues {
  std::string labour, parts, diagnosis, inspection, management;  // as typed
};
db::Sql FeeInsert(int64_t settlementId, const FeeValues& fees);
db::Sql SavedLinesSelect(framework::LineKind kind, int64_t settlementId);
// Every saved line of one grid of the settlement.
db::Sql SavedLinesDelete(framework::LineKind kind, int64_t settlementId);

// Another settlement of the program with this number (saved: other than `settlementId`).
db::Sql DuplicateNumberSelect(int64_t programNumber, const std::string& number,
                              int64_t settlementId);

// Detail cash or bank accounts whose code or name is the typed text.
db::Sql CashAccountLookup(const std::string& typed);

// What a check posts: the settlement with its fee row, order number and plate.
db::Sql PostingSelect(int64_t settlementId);

// What a checked settlement leaves its repair order owing, so that receipts, the receivables
// by age and the start page find the debt: 总金额 the amount due (the settlement's fees less its
// write-off), 现收金额 what was collected at the counter, 扣零金额 the write-off, and 余额 what
// is still owed after any receipts. Unchecking puts the order back as unsettled, but only while
// no receipt has written anything off against it (the guard is in the statement).
db::Sql OrderSettledUpdate(int64_t settlementId, db::Amount due, db::Amount collected,
                           db::Amount writeOff);
db::Sql OrderUnsettledUpdate(int64_t settlementId);
// The receipts' write-offs on the settled order (补收金额 + 扣减金额).
db::Sql OrderWrittenOffSelect(int64_t settlementId);

// The header, its write-off lines, fee row, part and item lines, in this order.
std::vector<db::Sql> SettlementDeleteStatements(int64_t settlementId);

}  // namespace ws::money
