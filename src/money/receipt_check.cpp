#include "money/receipt_check.h"

namespace ws::money {

std::vector<db::Sql> ApplyWriteOff(const WriteOff& line, int sign) {
  const char* op = sign < 0 ? "  - " : "  + ";
  // Each result is rounded to the ten-thousandths of a money column: where the engine keeps
  // amounts as binary reals, 0.8 - 0.7 - 0.1 leaves 1.1e-16, an order that is paid but still
  // owes. On the server's exact columns the round changes nothing.
  std::vector<db::Sql> out(3);
  out[0]
      .Raw(" update wsdj   set 补收金额=round(补收金额")
      .Raw(op)
      .Money(line.amount)
      .Raw(", 4)   where 单据ID=");
  out[1]
      .Raw(" update wsdj   set 扣减金额=round(扣减金额")
      .Raw(op)
      .Money(line.discount)
      .Raw(", 4)   where 单据ID=");
  out[2].Raw(" update wsdj   set 余额=round(总金额-现收金额-补收金额-扣减金额, 4)  where 单据ID=");
  for (db::Sql& sql : out) sql.Key(line.orderId);
  return out;
}

std::vector<db::Sql> WriteOffStatements(const ReceiptDocument& receipt, int sign) {
  std::vector<db::Sql> out;
  for (const WriteOff& line : receipt.lines) {
    if (line.orderId <= 0) continue;
    for (db::Sql& sql : ApplyWriteOff(line, sign)) out.push_back(std::move(sql));
  }
  return out;
}

db::Sql StoredWriteOffsSelect(int64_t receiptId) {
  return db::Sql(" SELECT 源单ID, 结算金额, 折扣金额 FROM ARPReceiveMx WHERE 单据ID=")
      .Key(receiptId)
      .Raw(" ORDER BY 源单ID, 序号");
}

}  // namespace ws::money
