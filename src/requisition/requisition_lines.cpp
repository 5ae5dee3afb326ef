#include "requisition/requisition_lines.h"

#include <cmath>
#include <stdexcept>

#include "db/runner.h"
#include "db/value.h"
#include "forms/number_format.h"
#include "forms/text.h"
#include "framework/picker_call.h"
#include "framework/shop_decimals.h"
#include "host/dialogs.h"

namespace ws::requisition {

namespace {

using forms::Trim;
using R = RequisitionLines;

framework::LineSchema RequisitionLineSchema() {
  framework::LineSchema schema;
  schema.table = "JXCDJMX";
  schema.idTable = "jxcdjmx";
  schema.codeCol = R::kCode;
  schema.nameCol = R::kName;
  schema.amountCol = R::kAmount;
  schema.lineIdCol = R::kLineId;
  schema.keyColumn = "产品ID";
  schema.codeColumn = "物品编码";
  schema.caption = "领料明细";
  using framework::CellEntry;
  using framework::LineCell;
  using framework::ValueKind;
  // The price and the amount are each stored three times; a load shows the plain ones, named
  // last.
  schema.cells = {
      LineCell("行号", 4).ReadOnly(),
      LineCell("仓库名称", 10).Shows("仓库名称").Saves("仓库ID", ValueKind::Id).Key(),
      LineCell("货位", 6).Shows("缺省货位").ReadOnly(),
      LineCell("物品编码", 14),
      LineCell("物品名称", 16).Saves("名称").Entry(CellEntry::MasterText),
      LineCell("规格", 11).Saves("规格").Entry(CellEntry::MasterText),
      LineCell("单位", 6).Shows("库存单位").ReadOnly(),
      LineCell("颜色", 6).Shows("颜色").ReadOnly(),
      LineCell("特性", 6).Shows("特性").ReadOnly(),
      LineCell("尺寸", 6).Shows("尺寸").ReadOnly(),
      LineCell("批次号", 8).Saves("产品批次").Trimmed(),
      LineCell("库存数", 10).Saves("库存数量", ValueKind::Number).Decimals(7).ReadOnly(),
      LineCell("库存辅助数量", 12).Saves("库存重量", ValueKind::Number).Decimals(7).ReadOnly(),
      LineCell("出库数量", 14).Saves("数量", ValueKind::Number).Decimals(7),
      LineCell("出库辅助数量", 12).Saves("重量", ValueKind::Number).Decimals(7),
      LineCell("装箱数", 10).Saves("装箱数", ValueKind::Number).Decimals(7),
      LineCell("出库单价", 13)
          .Saves("含税单价", ValueKind::Number)
          .Saves("单价", ValueKind::Number)
          .Decimals(9),
      LineCell("金额", 13)
          .Saves("含税金额", ValueKind::Number)
          .Saves("实际金额", ValueKind::Number)
          .Saves("金额", ValueKind::Number)
          .Decimals(12),
      LineCell("说明", 13).Saves("备注").Trimmed(),
      LineCell("单据明细ID", 11).ReadOnly().Hidden(),
      LineCell("含税单价", 8).ReadOnly().Hidden(),
      LineCell("含税金额", 10).ReadOnly().Hidden(),
      LineCell("实际金额", 9).ReadOnly().Hidden(),
      LineCell("源单类型", 13).Saves("前置单据", ValueKind::Id).Key().ReadOnly(),
      LineCell("源单单号", 12).Saves("前置单据ID", ValueKind::Id).Key().ReadOnly(),
      LineCell("是否需批次管理", 14).Shows("是否需批次管理").ReadOnly().Hidden(),
  };
  return schema;
}

std::string Plain(double value) {
  return db::DecimalText(value);
}

// An option of module 1 that shows columns: shown unless the shop set it to 0.
bool Shows(host::ISystem& system, const char* option) {
  std::string value = Trim(system.GetOption(1, std::string(option)));
  return value.empty() || db::NumericValue(value) != 0;
}

}  // namespace

RequisitionLines::RequisitionLines(forms::Grid& grid)
    : framework::LineSet(grid, RequisitionLineSchema()) {}

framework::PickerParameters RequisitionLines::DepotPickerParameters() {
  return {{"FieldName", "仓库名称"},
          {"SQL",
           " Select 部门ID,部门编码 As 仓库编码,部门名称 As 仓库名称 From PDMBM WHERE 组织类型=2 "
           "and 是否明细=1 and 是否使用=1"},
          {"Valid", " 部门编码='@' or 部门名称='@'"},
          {"Order", " 部门编码,部门名称"},
          {"MxCzID", "0"}};
}

void RequisitionLines::Setup(Context context, bool goodsMessageEdit) {
  context_ = std::move(context);
  host::ISystem& system = System();
  fun_.Init(system);
  forms::Grid& grid = Grid();
  BuildGrid(system, goodsMessageEdit);

  const bool doubleUnit = Shows(system, "doubleunit");
  const bool stock = Shows(system, "stockdisplay");
  const std::pair<const char*, std::vector<int>> options[] = {
      {"warehouse", {kDepot, kLocation}}, {"iscolordisp", {kColour}}, {"isspecdisp", {kFeature}},
      {"ismeasuredisp", {kSize}},         {"batchgroup", {kBatch}},   {"isdispzxs", {kPerBox}},
  };
  for (const auto& [option, cols] : options) {
    bool shown = Shows(system, option);
    for (int col : cols) grid.SetColHidden(col, !shown);
  }
  grid.SetColHidden(kStock, !stock);
  grid.SetColHidden(kStockWeight, !stock || !doubleUnit);
  grid.SetColHidden(kWeight, !doubleUnit);

  framework::CodeLookup lookup;
  lookup.picker = "pdmcpml_j";
  lookup.parameters = {{"Mode", "single"}};
  lookup.codeProperty = "i物品编码";
  lookup.keyProperty = "i产品ID";
  lookup.fills = {{kName, "i物品名称"},     {kSpec, "i规格"},
                  {kUnit, "i库存单位"},     {kColour, "i颜色"},
                  {kFeature, "i特性"},      {kSize, "i尺寸"},
                  {kLocation, "i缺省货位"}, {kBatchManaged, "i是否需批次管理"}};
  lookup.typedTag = "CKLL_WS-->ywGrid_TxtValidBmS::";
  lookup.helpTag = "CKLL_WS-->ywGrid_UserHelpEvent::";
  lookup.unknownCodeText = kBadPart;
  lookup.listOnUnknownCode = false;

  framework::LineSet::Context setContext;
  setContext.system = context_.system;
  setContext.programNumber = context_.programNumber;
  setContext.reportError = context_.reportError;
  setContext.changed = context_.changed;
  setContext.onCode = [this](int row) { PartEntered(row); };
  setContext.onCell = [this](int row, int col) {
    if (col == kDepot) {
      DepotTyped(row);
    } else if (col == kBatch) {
      LookUpPrice(row);
      RefreshStock(row);
    } else {
      Arithmetic(row, col);
    }
  };
  Wire(std::move(setContext), std::move(lookup));

  // The set handles the code cell; the depot and batch cells have pickers of their own.
  genericPicker_ = grid.OnCellPickerRequest;
  grid.OnCellPickerRequest = [this](int row, int col) {
    auto guard = [&](const std::function<void()>& body) {
      try {
        body();
      } catch (const std::exception& e) {
        context_.reportError(std::string("CKLL_WS-->ywGrid_UserHelpEvent::") + e.what());
      }
    };
    if (col == kDepot) {
      guard([&] { DepotPicked(row); });
    } else if (col == kBatch) {
      guard([&] { BatchPicked(row); });
    } else if (genericPicker_) {
      genericPicker_(row, col);
    }
  };
  genericDelete_ = grid.OnBeforeDeleteRow;
  grid.OnBeforeDeleteRow = [this](int row) { return AskDeleteRow(row); };
  grid.OnBeforeEdit = [this](int row, int col) {
    return col != kBatch || db::NumericValue(Grid().TextMatrix(row, kBatchManaged)) == 1;
  };
}

bool RequisitionLines::DepotShown() const {
  return !Grid().ColHidden(kDepot);
}

bool RequisitionLines::BatchShown() const {
  return !Grid().ColHidden(kBatch);
}

bool RequisitionLines::IsLine(int row) const {
  return Grid().CellKeyLong(row, kCode) != 0;
}

std::string RequisitionLines::Batch(int row) const {
  return Trim(Grid().TextMatrix(row, kBatch));
}

std::vector<std::vector<std::string>> RequisitionLines::PrintRows() const {
  // Every line, wherever it stands: a row without a part between two lines ends nothing.
  std::vector<std::vector<std::string>> rows{PrintCells(0)};
  for (int row = Grid().FixedRows(); row < Grid().Rows(); ++row) {
    if (IsLine(row)) rows.push_back(PrintCells(row));
  }
  return rows;
}

bool RequisitionLines::AskDeleteRow(int row) {
  if (System().Dialogs().MessageBox("是否删除当前行记录:", "提示:", host::MsgButtons::YesNo,
                                    host::MsgIcon::Question) != host::MsgAnswer::Yes) {
    return false;
  }
  return genericDelete_ ? genericDelete_(row) : true;
}

void RequisitionLines::SetDepot(int row, int64_t id, const std::string& name) {
  Grid().SetTextMatrix(row, kDepot, name);
  Grid().SetCellKey(row, kDepot, std::to_string(id));
}

void RequisitionLines::DefaultDepot(int row) {
  forms::Grid& grid = Grid();
  if (!DepotShown()) {
    auto [id, name] = context_.headerDepot();
    SetDepot(row, id, name);
    return;
  }
  int64_t depot = 0;
  std::string name;
  std::string location;
  bool batch = BatchShown();
  if (fun_.GetGoodsDepot(depot, name, location, grid.CellKeyLong(row, kCode),
                         context_.stockPeriod(), true, 0, false, "", false, "", batch,
                         Batch(row))) {
    SetDepot(row, depot, name);
  }
}

void RequisitionLines::RefreshStock(int row) {
  forms::Grid& grid = Grid();
  bool batch = BatchShown() && db::NumericValue(grid.TextMatrix(row, kBatchManaged)) >= 1;
  double quantity = 0;
  double weight = 0;
  if (fun_.GetKcSlZl(quantity, weight, context_.stockPeriod(), grid.CellKeyLong(row, kCode), true,
                     grid.CellKeyLong(row, kDepot), false, "", false, "", false, "", batch,
                     Batch(row))) {
    grid.SetTextMatrix(row, kStock, Plain(quantity));
    grid.SetTextMatrix(row, kStockWeight, Plain(weight));
  }
}

void RequisitionLines::ShowCurrentStock(int row) {
  forms::Grid& grid = Grid();
  db::Sql sql(" SELECT 库存数量,库存重量 FROM JXCGoodsZzTz  WHERE 仓库ID=");
  sql.Key(grid.CellKeyLong(row, kDepot))
      .Raw("    AND 会计期间=")
      .Key(context_.stockPeriod())
      .Raw("    AND 货位=")
      .Text(grid.TextMatrix(row, kLocation))
      .Raw("    AND 产品ID=")
      .Key(grid.CellKeyLong(row, kCode))
      .Raw("    AND 等级=''    AND 特征码=''    AND 产品批次=")
      .Text(Batch(row));
  std::string error;
  auto records = db::Runner(System().GetDatabase()).Open(sql, &error);
  if (!error.empty()) throw std::runtime_error(error);
  bool found = !records->Eof();
  grid.SetTextMatrix(row, kStock, found ? Plain(db::NumericValue(records->Text("库存数量"))) : "0");
  grid.SetTextMatrix(row, kStockWeight,
                     found ? Plain(db::NumericValue(records->Text("库存重量"))) : "0");
}

void RequisitionLines::LookUpPrice(int row) {
  forms::Grid& grid = Grid();
  int64_t partId = grid.CellKeyLong(row, kCode);
  if (partId == 0) return;
  std::string error;
  double mode = db::Runner(System().GetDatabase())
                    .ScalarNumber(db::Sql("select fetchprice from xt_objects where progid=")
                                      .Key(context_.programNumber),
                                  &error);
  if (!error.empty()) throw std::runtime_error(error);
  db::Amount price = db::Amount::Of(grid.TextMatrix(row, kPrice));
  bool batch = BatchShown() && db::NumericValue(grid.TextMatrix(row, kBatchManaged)) >= 1;
  if (!fun_.GetCpPrice(price, static_cast<int64_t>(mode), context_.stockPeriod(), partId, false,
                       context_.programNumber, 0, grid.CellKeyLong(row, kDepot), false, "", false,
                       "", false, "", batch, Batch(row))) {
    return;
  }
  grid.SetTextMatrix(row, kPrice, price.Text());
  Arithmetic(row, kPrice);
}

void RequisitionLines::Arithmetic(int row, int col) {
  forms::Grid& grid = Grid();
  // The quantity as typed; the price in the ten-thousandths of its column (2.123456 is
  // 2.1235). The amount is what the order's parts cost is made of, so the product is rounded
  // once to the shop's amount decimals; a price from an amount keeps its ten-thousandths.
  const std::string quantityText = grid.TextMatrix(row, kQuantity);
  const db::Quantity quantity = db::Quantity::Of(quantityText);
  const db::Amount price = db::Amount::Of(grid.TextMatrix(row, kPrice));
  const db::Amount amount = db::Amount::Of(grid.TextMatrix(row, kAmount));
  const int decimals = framework::AmountDecimals(System());
  switch (col) {
    case kQuantity:
    case kPrice:
      grid.SetTextMatrix(row, col,
                         col == kQuantity ? Plain(db::NumericValue(quantityText)) : price.Text());
      grid.SetTextMatrix(row, kAmount,
                         quantity.IsZero() ? "0" : quantity.Times(price, decimals).Text());
      break;
    case kAmount:
      grid.SetTextMatrix(row, kAmount, amount.Text());
      if (!quantity.IsZero()) grid.SetTextMatrix(row, kPrice, amount.DividedBy(quantity).Text());
      break;
    default:
      break;
  }
}

void RequisitionLines::PartEntered(int row) {
  forms::Grid& grid = Grid();
  if (grid.CellKeyLong(row, kCode) == 0) {
    // The code was emptied: nothing of the part stays on the row.
    for (int col : {kName, kSpec, kUnit, kColour, kFeature, kSize, kLocation, kBatch, kStock,
                    kStockWeight, kBatchManaged}) {
      grid.SetTextMatrix(row, col, "");
    }
    return;
  }
  DefaultDepot(row);
  RefreshStock(row);
  LookUpPrice(row);
}

void RequisitionLines::DepotTyped(int row) {
  forms::Grid& grid = Grid();
  std::string typed = Trim(grid.TextMatrix(row, kDepot));
  if (typed.empty()) {
    SetDepot(row, 0, "");
  } else {
    auto picker = framework::OpenPicker(System(), "pdmty_id_j", context_.programNumber,
                                        DepotPickerParameters());
    framework::PickedRow picked;
    if (picker) picked = framework::ResolveTyped(*picker, typed);
    if (!picked.found || db::NumericValue(picked.value) <= 0) {
      SetDepot(row, 0, "");
      System().Dialogs().MessageBox(kBadDepot, "提示:", host::MsgButtons::Ok,
                                    host::MsgIcon::Information);
      return;
    }
    SetDepot(row, static_cast<int64_t>(db::NumericValue(picked.value)), picked.text);
  }
  LookUpPrice(row);
  RefreshStock(row);
}

void RequisitionLines::DepotPicked(int row) {
  auto picker = framework::OpenPicker(System(), "pdmty_id_j", context_.programNumber,
                                      DepotPickerParameters());
  if (!picker) return;
  framework::PickedRow picked = framework::ChooseInPicker(System(), *picker, "");
  if (!picked.found) return;
  SetDepot(row, static_cast<int64_t>(db::NumericValue(picked.value)), picked.text);
  RefreshStock(row);
  if (context_.changed) context_.changed();
}

void RequisitionLines::BatchPicked(int row) {
  forms::Grid& grid = Grid();
  // "ST" 1: the batches that still hold stock, the only ones a requisition can issue.
  framework::PickerParameters parameters = {
      {"产品ID", std::to_string(grid.CellKeyLong(row, kCode))},
      {"会计期间", std::to_string(context_.stockPeriod())},
      {"ST", "1"},
      {"仓库ID", std::to_string(grid.CellKeyLong(row, kDepot))}};
  auto picker = framework::OpenPicker(System(), "pdmpc", context_.programNumber, parameters);
  if (!picker) return;
  framework::PickedRow picked = framework::ChooseInPicker(System(), *picker, "");
  if (!picked.found) return;
  grid.SetTextMatrix(row, kBatch, picked.text.empty() ? picked.value : picked.text);
  if (context_.changed) context_.changed();
}

int RequisitionLines::Import(const framework::clsSelWS& chosen) {
  forms::Grid& grid = Grid();
  const int64_t partId = chosen.i产品ID();
  const int64_t program = chosen.iprogid();
  const int64_t lineId = chosen.i单据明细ID();
  // An order without part lines names the order only; it has nothing to issue.
  if (partId == 0) return -1;
  int row = -1;
  for (int r = grid.FixedRows(); r < grid.Rows(); ++r) {
    if (grid.CellKeyLong(r, kCode) == partId && grid.CellKeyLong(r, kSourceType) == program &&
        grid.CellKeyLong(r, kSourceNumber) == lineId) {
      row = r;
      break;
    }
  }
  if (row < 0) {
    // A trailing empty row is the one the user would type into next.
    int last = grid.Rows() - 1;
    row = grid.IsDataRow(last) && Trim(grid.TextMatrix(last, kName)).empty() &&
                  grid.CellKeyLong(last, kCode) == 0
              ? last
              : grid.AddRow();
  }
  grid.SetTextMatrix(row, kUnit, chosen.i单位());
  grid.SetTextMatrix(row, kCode, chosen.i配件编码());
  grid.SetCellKey(row, kCode, std::to_string(partId));
  grid.SetTextMatrix(row, kName, chosen.i配件项目());
  grid.SetTextMatrix(row, kSpec, chosen.i配件规格());
  grid.SetTextMatrix(row, kQuantity, Plain(chosen.i未领数量()));
  std::string error;
  std::string sourceName =
      db::Runner(System().GetDatabase())
          .ScalarText(db::Sql("select menuname from xt_menu where progID=").Key(program), &error);
  if (!error.empty()) throw std::runtime_error(error);
  grid.SetTextMatrix(row, kSourceType, sourceName);
  grid.SetCellKey(row, kSourceType, std::to_string(program));
  grid.SetTextMatrix(row, kSourceNumber, chosen.i工单号码());
  grid.SetCellKey(row, kSourceNumber, std::to_string(lineId));
  grid.SetTextMatrix(row, kRemark, chosen.i说明());
  {
    // The part's attributes the chooser does not carry.
    auto part = db::Runner(System().GetDatabase())
                    .Open(db::Sql("select 颜色,特性,尺寸,缺省货位,是否需批次管理 from pdmcpml "
                                  "where 产品ID=")
                              .Key(partId),
                          &error);
    if (!error.empty()) throw std::runtime_error(error);
    if (!part->Eof()) {
      grid.SetTextMatrix(row, kColour, part->Text("颜色"));
      grid.SetTextMatrix(row, kFeature, part->Text("特性"));
      grid.SetTextMatrix(row, kSize, part->Text("尺寸"));
      grid.SetTextMatrix(row, kLocation, part->Text("缺省货位"));
      grid.SetTextMatrix(row, kBatchManaged, Plain(db::NumericValue(part->Text("是否需批次管理"))));
    }
    DefaultDepot(row);
    RefreshStock(row);
    if (chosen.i单价() > 0) {
      grid.SetTextMatrix(row, kPrice, Plain(chosen.i单价()));
      Arithmetic(row, kPrice);
    } else {
      LookUpPrice(row);
      Arithmetic(row, kQuantity);
    }
  }
  grid.RenumberRows();
  return row;
}

}  // namespace ws::requisition
