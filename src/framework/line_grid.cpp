#include "framework/line_grid.h"

#include <cmath>
#include <exception>

#include "db/value.h"
#include "framework/line_price.h"
#include "framework/shop_decimals.h"

namespace ws::framework {

namespace {

LineSchema LineSchemaOf(LineKind kind, const LineGrid::Store& store) {
  const bool items = kind == LineKind::Items;
  LineSchema schema;
  schema.table = !store.table.empty() ? store.table : items ? "WSDJXM" : "WSDJPJ";
  schema.idTable = !store.idTable.empty() ? store.idTable : items ? "wsdjxm" : "wsdjpj";
  schema.codeCol = LineGrid::kCode;
  schema.nameCol = LineGrid::kName;
  schema.amountCol = LineGrid::kAmount;
  schema.lineIdCol = LineGrid::kLineId;
  schema.keyColumn = items ? "项目ID" : "产品ID";
  schema.codeColumn = items ? "编码" : "物品编码";
  schema.caption = items ? "维修项目" : "维修配件";
  schema.cells = {
      LineCell("行号", 4).Entry(CellEntry::Plain),
      LineCell(items ? "项目编码" : "配件编码", items ? 14 : 18),
      LineCell(items ? "维修项目" : "配件项目", 21)
          .Shows(items ? "维修项目" : "物品名称")
          .Entry(CellEntry::MasterText),
      LineCell(items ? "项目属性" : "配件规格", 21)
          .Shows(items ? "项目属性" : "规格")
          .Entry(CellEntry::MasterText),
      LineCell("数量", 17).Saves("数量", ValueKind::Number).Decimals(7),
      LineCell("单价", 15).Saves("单价", ValueKind::Number).Decimals(9),
      LineCell("金额", 18).Saves("金额", ValueKind::Number).Decimals(12),
      LineCell("说明", 19).Saves("说明"),
      LineCell("单据明细ID", 10).Entry(CellEntry::Plain).Hidden(),
  };
  if (items && store.floor) {
    schema.cells.push_back(LineCell("技师", 22).Entry(CellEntry::Shown));
    schema.cells.push_back(LineCell("派工状态", 16).Entry(CellEntry::Shown));
  }
  return schema;
}

}  // namespace

LineGrid::LineGrid(forms::Grid& grid, LineKind kind, const Store& store)
    : LineSet(grid, LineSchemaOf(kind, store)),
      kind_(kind),
      tagPrefix_(store.tagPrefix.empty() ? "XS_S" : store.tagPrefix) {}

void LineGrid::Setup(Context context, bool goodsMessageEdit) {
  BuildGrid(context.system(), goodsMessageEdit);

  ownerId_ = context.ownerId;
  const bool items = kind_ == LineKind::Items;
  CodeLookup lookup;
  lookup.picker = items ? "pdmxm" : "pdmcpml_j";
  if (!items) lookup.parameters = {{"Mode", "single"}};
  lookup.codeProperty = items ? "i项目编码" : "i物品编码";
  lookup.keyProperty = items ? "i项目ID" : "i产品ID";
  lookup.fills = {{kName, items ? "i维修项目" : "i物品名称"},
                  {kAttribute, items ? "i项目属性" : "i规格"}};
  // Typing a code and asking for help on it both go to the picker; the part grid's help key
  // has a tag of its own.
  lookup.typedTag = tagPrefix_ + "-->ywGridXM_TxtValidBmS::";
  lookup.helpTag = items ? lookup.typedTag : tagPrefix_ + "-->ywGridPJ_UserHelpEvent::";
  if (!context.badCodeTitle.empty()) {
    lookup.unknownCodeText = items ? "输入的维修项目有误，请重试?" : "输入的配件项目有误，请重试?";
    lookup.unknownCodeTitle = context.badCodeTitle;
  }

  LineSet::Context setContext;
  setContext.system = context.system;
  setContext.programNumber = context.programNumber;
  setContext.reportError = context.reportError;
  setContext.changed = context.changed;
  setContext.onCode = [this](int row) { Arithmetic(row, kCode); };
  setContext.onCell = [this](int row, int col) { Arithmetic(row, col); };
  Wire(std::move(setContext), std::move(lookup));
}

void LineGrid::Arithmetic(int row, int col) {
  forms::Grid& grid = Grid();
  // The quantity as typed: 1.00005 of a part at 10000 is 10000.5, not 10001. The amount is what
  // the till collects, so the product is rounded once to the shop's amount decimals; a price
  // from an amount keeps the ten-thousandths of a price column.
  db::Quantity quantity = db::Quantity::Of(grid.TextMatrix(row, kQuantity));
  db::Amount price = db::Amount::Of(grid.TextMatrix(row, kPrice));
  const db::Amount amount = db::Amount::Of(grid.TextMatrix(row, kAmount));
  const int decimals = AmountDecimals(Ctx().system());
  switch (col) {
    case kQuantity:
    case kPrice:
      grid.SetTextMatrix(row, kAmount, quantity.Times(price, decimals).Text());
      break;
    case kAmount:
      if (!quantity.IsZero()) grid.SetTextMatrix(row, kPrice, amount.DividedBy(quantity).Text());
      break;
    case kCode:
      if (forms::Trim(grid.TextMatrix(row, kCode)).empty()) {
        grid.SetCellKey(row, kCode, "0");
        grid.SetTextMatrix(row, kName, "");
        grid.SetTextMatrix(row, kAttribute, "");
        break;
      }
      if (quantity.IsZero()) {
        quantity = db::Quantity::Of("1");
        grid.SetTextMatrix(row, kQuantity, "1");
      }
      if (auto proposed = LinePricer(Ctx().system(), Ctx().programNumber)
                              .Propose(kind_, grid.CellKeyLong(row, kCode), ownerId_())) {
        price = *proposed;
        grid.SetTextMatrix(row, kPrice, price.Text());
      }
      grid.SetTextMatrix(row, kAmount, quantity.Times(price, decimals).Text());
      break;
    default:
      break;
  }
}

}  // namespace ws::framework
