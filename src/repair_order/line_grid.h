// One line grid of the repair order (labour items or parts): its columns, the lookup of a typed
// or picked code, the arithmetic of a line, the lines removed since the last load, and the
// rows a save writes and a print shows.
//
// A typed code is resolved by the picker ("pdmxm" / "pdmcpml_j"); a code it cannot resolve drops
// the list down on the text, and when nothing is chosen the row keeps the code it had. A
// resolved code fills name and attribute, makes a quantity of 0 one and proposes the price
// (line_price.h). Quantity or price give the amount; an amount gives the price when there is a
// quantity.
//
// Columns: 0 row number, 1 code (key 项目ID / 产品ID), 2 name, 3 attribute or specification,
// 4 quantity, 5 unit price, 6 amount, 7 remark, 8 line id (hidden).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "db/recordset.h"
#include "forms/grid.h"
#include "host/system.h"
#include "repair_order/order_sql.h"
#include "docs/picker_call.h"

namespace ws::repair_order {

using docs::ChooseInPicker;
using docs::OpenPicker;
using docs::PickedRow;
using docs::PickerParameters;
using docs::ResolveTyped;
using forms::Trim;

class LineGrid {
 public:
  enum Column : int {
    kRowNumber = 0,
    kCode = 1,
    kName = 2,
    kAttribute = 3,
    kQuantity = 4,
    kPrice = 5,
    kAmount = 6,
    kRemark = 7,
    kLineId = 8
  };

  // What the grid needs from its document.
  struct Context {
    std::function<host::ISystem&()> system;
    int64_t programNumber = 0;
    std::function<int64_t()> ownerId;                     // the order's customer
    std::function<void(const std::string&)> reportError;  // ErrMessage, level 8
    std::function<void()> changed;                        // totals and dirty flag
  };

  LineGrid(forms::Grid& grid, LineKind kind) : grid_(grid), kind_(kind) {}

  // Columns, formats (options 7, 9, 12 of module 12 give the decimals of quantity, price and
  // amount), editable name columns when goodsMessageEdit, read-only colours, and the handlers.
  void Setup(Context context, bool goodsMessageEdit);

  forms::Grid& Grid() const { return grid_; }
  LineKind Kind() const { return kind_; }

  // Fills the grid with the lines of a LinesSelect query; forgets removed lines.
  void Load(db::Recordset& records);
  // Empties the grid and forgets removed lines.
  void Clear();
  // Forgets the lines removed since the last load (after they were deleted by a save).
  void ForgetRemoved() { removed_.clear(); }
  // Blanks every row's line id, so the rows are written as new lines of another order.
  void ForgetLineIds();
  // Line ids of saved rows the user removed since the last load, in removal order.
  const std::vector<int64_t>& Removed() const { return removed_; }

  // The rows a save writes: every data row whose name is not empty.
  std::vector<OrderLine> SavedLines() const;
  // Puts the line ids of a committed save back into the rows of SavedLines (same order), so
  // the rows are known as saved even when the order cannot be read back.
  void SetSavedLineIds(const std::vector<int64_t>& lineIds);
  // Sum of the amount column over the data rows.
  double Total() const { return grid_.SumData(kAmount); }
  // The rows a print shows: the header row and the data rows up to the first row without a
  // name; every cell of a hidden column but the first reads "***".
  std::vector<std::vector<std::string>> PrintRows() const;

 private:
  void CodeTyped(int row);
  void CodePicked(int row);
  void Fill(int row, const PickedRow& picked);
  void Arithmetic(int row, int col);
  void Guard(const std::string& tag, int row, const std::function<void()>& body);
  std::string PickerName() const { return kind_ == LineKind::Items ? "pdmxm" : "pdmcpml_j"; }
  std::string& Committed(int row);

  forms::Grid& grid_;
  LineKind kind_;
  Context context_;
  std::vector<int64_t> removed_;
  // The code each row last resolved to, by data row: what a failed lookup puts back.
  std::vector<std::string> committed_;
};

}  // namespace ws::repair_order
