// The write-off grid of a receipt: one row per repair order, the amount this receipt writes off
// on it and the line's discount. A row is a line when it names an order (its 工单号码); the
// lines are numbered by their grid row, "0001" upwards, every time they are saved.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "framework/line_set.h"
#include "money/choosers.h"
#include "money/receipt_check.h"

namespace ws::money {

class ReceiptLines : public framework::LineSet {
 public:
  enum Column {
    kColNumber = 1,  // 工单号码; its key is the order's 单据ID
    kColDateIn,
    kColPlate,
    kColEngine,
    kColCategory,
    kColTotal,     // the order's 应收合计
    kColReceived,  // 已收金额
    kColBalance,   // 余额
    kColWriteOff,  // 本次核销金额, saved as 结算金额
    kColDiscount,  // saved as 折扣金额
    kColProgId,
    kColOrderId,  // 源单ID
    kColLineId,   // 单据明细ID, empty until saved
    kColumns
  };
  static constexpr const char* kFormat =
      "行号|工单号码      |进厂日期      |车牌号码    |发动机号        |维修分类       |合计金额   "
      "|已收金额   |余额    |本次核销金额|源单类型|源单ID|单据明细ID";

  explicit ReceiptLines(forms::Grid& grid);

  // Lays the grid out: captions, hidden and read-only columns (in the host's colours), amount
  // formats.
  void Setup(int amountDecimals, int64_t readOnlyFore, int64_t readOnlyBack);
  // Replaces every row by the chosen orders; the saved lines they replace go at the next save.
  void Replace(const std::vector<ChosenOrder>& orders);
  // The line's 序号: its grid row, "0000".
  std::string Sequence(int row) const;
  // The lines as the check applies them: every row that names an order, as shown.
  std::vector<WriteOff> WriteOffs() const;

  db::Sql Insert(int row, int64_t lineId, int64_t ownerId) const override;
  db::Sql Update(int row, int64_t ownerId) const override;

 private:
  db::Amount Amount(int row, int col) const;
  int64_t OrderId(int row) const;
};

}  // namespace ws::money
