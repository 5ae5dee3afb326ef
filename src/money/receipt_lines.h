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
  };

  explicit ReceiptLines(forms::Grid& grid);

  // Lays the grid out from the line set's cells.
  void Setup(host::ISystem& system);
  // Replaces every row by the chosen orders; the saved lines they replace go at the next save.
  void Replace(const std::vector<ChosenOrder>& orders);
  // The line's 序号: its grid row, "0000".
  std::string Sequence(int row) const;
  // The lines as the check applies them: every row that names an order, as shown.
  std::vector<WriteOff> WriteOffs() const;

  db::Sql Update(int row, int64_t ownerId) const override;

 protected:
  db::Sql InsertHead() const override;
  void AppendInsertValues(db::Sql& sql, int row, int64_t lineId, int64_t ownerId) const override;

 private:
  db::Amount Amount(int row, int col) const;
  int64_t OrderId(int row) const;
};

}  // namespace ws::money
