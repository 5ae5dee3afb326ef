// One line grid of the repair order (labour items or parts): a line set over WSDJXM or WSDJPJ
// with the order's own arithmetic and price proposal; the settlement shows the same lines over
// its own tables.
//
// A typed code is resolved by the picker ("pdmxm" / "pdmcpml_j"); a code it cannot resolve drops
// the list down on the text, and when nothing is chosen the row keeps the code it had. A
// resolved code fills name and attribute, makes a quantity of 0 one and proposes the price
// (line_price.h). Quantity or price give the amount; an amount gives the price when there is a
// quantity.
//
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "db/recordset.h"
#include "forms/grid.h"
#include "framework/line_kind.h"
#include "framework/line_set.h"
#include "framework/picker_call.h"
#include "host/system.h"

namespace ws::framework {

class LineGrid : public LineSet {
 public:
  // clang-format off
  enum Column : int {
    kRowNumber, kCode, kName, kAttribute, kQuantity, kPrice, kAmount, kRemark, kLineId,
    kTechnicians, kJobState
  };
  // clang-format on

  // What the grid needs from its document.
  struct Context {
    std::function<host::ISystem&()> system;
    int64_t programNumber = 0;
    std::function<int64_t()> ownerId;                     // the order's customer
    std::function<void(const std::string&)> reportError;  // ErrMessage, level 8
    std::function<void()> changed;                        // totals and dirty flag
    // The title of the box telling "输入的维修项目有误，请重试?" or "输入的配件项目有误，请重试?"
    // when a typed code names nothing and nothing is chosen (the settlement's grids); empty,
    // the row keeps its code silently, as the repair order's do.
    std::string badCodeTitle;
  };

  // Where the lines are stored and how the grid's failures are tagged; empty members take the
  // repair order's (WSDJXM / WSDJPJ, "XS_S"). The settlement keeps the same lines in its own
  // tables.
  struct Store {
    std::string table;
    std::string idTable;
    std::string tagPrefix;
    // The labour lines' technicians and floor state (kTechnicians, kJobState), shown after
    // every other column: a layout saved by column number before they came keeps its columns.
    bool floor = false;
  };

  LineGrid(forms::Grid& grid, LineKind kind, const Store& store);
  LineGrid(forms::Grid& grid, LineKind kind) : LineGrid(grid, kind, Store()) {}

  // The grid from the line set's cells (name and attribute typed into when goodsMessageEdit),
  // and the handlers.
  void Setup(Context context, bool goodsMessageEdit);

  LineKind Kind() const { return kind_; }

 private:
  void Arithmetic(int row, int col);

  LineKind kind_;
  std::string tagPrefix_;
  std::function<int64_t()> ownerId_;
};

}  // namespace ws::framework
