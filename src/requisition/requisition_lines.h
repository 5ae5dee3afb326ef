// The line grid of the material requisition: a line set over JXCDJMX with the requisition's own
// column layout, cell pickers (part, depot, batch), stock cells and amount rules.
//
// A part code typed or picked fills the part's columns, a default depot (the header depot when
// the depot column is hidden, else the first depot holding the part), the stock of that depot
// and the looked-up price. Quantity or price give the amount (quantity 0 always gives "0"); an
// amount gives the price when there is a quantity. The batch cell can be typed into only for a
// part kept in batches. Deleting a row asks first; a saved row's id goes to the removed lines.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "forms/grid.h"
#include "framework/cls_fun.h"
#include "framework/line_set.h"
#include "framework/property_bags.h"
#include "host/system.h"

namespace ws::requisition {

class RequisitionLines : public framework::LineSet {
 public:
  // clang-format off
  enum Column : int {
    kRowNumber, kDepot, kLocation, kCode, kName, kSpec, kUnit, kColour, kFeature, kSize,
    kBatch, kStock, kStockWeight, kQuantity, kWeight, kPerBox, kPrice, kAmount, kRemark,
    kLineId, kTaxPrice, kTaxAmount, kRealAmount, kSourceType, kSourceNumber, kBatchManaged
  };
  // clang-format on

  static constexpr const char* kBadDepot = "输入的仓库编码或仓库名称有误，请重试?";
  static constexpr const char* kBadPart = "输入的物品编码或物品名称有误，请重试?";

  struct Context {
    std::function<host::ISystem&()> system;
    int64_t programNumber = 0;
    std::function<void(const std::string&)> reportError;  // ErrMessage, level 8
    std::function<void()> changed;                        // totals and dirty flag
    std::function<int()> stockPeriod;                     // the current stock period
    // The header depot (key, name): the depot of every line while the depot column is hidden.
    std::function<std::pair<int64_t, std::string>()> headerDepot;
  };

  explicit RequisitionLines(forms::Grid& grid);

  // The grid from the line set's cells (name and model typed into when goodsMessageEdit), the
  // layout options of module 1 (an option that is not set shows its columns), and the handlers.
  void Setup(Context context, bool goodsMessageEdit);

  // The generic picker's parameters for depots ("pdmty_id_j").
  static framework::PickerParameters DepotPickerParameters();

  bool DepotShown() const;
  bool BatchShown() const;
  // The row's batch as stock knows it: a trailing blank typed by the clerk never names another
  // batch.
  std::string Batch(int row) const;
  // A row that holds a part (key of the code cell not 0), whatever its name says: a name typed
  // without a part is no line, a part whose name is empty is one.
  bool IsLine(int row) const override;
  // The header row and every line.
  std::vector<std::vector<std::string>> PrintRows() const override;

  // One chosen repair-order line into the grid: the row already holding that order line, or a
  // new one. Answers the row; -1 for an order without part lines, which adds nothing.
  int Import(const framework::clsSelWS& chosen);

  // Stock cells of a row from the balance of the current period (import and picker choices);
  // a failing query leaves them as they were.
  void RefreshStock(int row);
  // Stock cells of a row at display: its balance row (depot, period, location, part, batch)
  // or "0" and "0".
  void ShowCurrentStock(int row);
  // The amount rule after a cell of `col` changed.
  void Arithmetic(int row, int col);

 private:
  void PartEntered(int row);
  void DefaultDepot(int row);
  void LookUpPrice(int row);
  void DepotTyped(int row);
  void DepotPicked(int row);
  void BatchPicked(int row);
  bool AskDeleteRow(int row);
  void SetDepot(int row, int64_t id, const std::string& name);
  host::ISystem& System() const { return context_.system(); }

  Context context_;
  framework::clsFun fun_;
  std::function<void(int, int)> genericPicker_;
  std::function<bool(int)> genericDelete_;
};

}  // namespace ws::requisition
