#include "repair_order/line_grid.h"

#include <cmath>
#include <exception>

#include "db/value.h"
#include "forms/number_format.h"
#include "repair_order/line_price.h"

namespace ws::repair_order {

namespace {

const char* kItemFormat =
    "行号|项目编码      |维修项目             |项目属性             |数量             |单价     "
    "      |金额              |说明               |单据明细ID";
const char* kPartFormat =
    "行号|配件编码          |配件项目             |配件规格             |数量             |单价 "
    "          |金额              |说明               |单据明细ID";

int Decimals(host::ISystem& system, int option) {
  return static_cast<int>(db::NumericValue(system.GetOption(12, option)));
}

framework::LineSchema LineSchemaOf(LineKind kind, const LineGrid::Store& store) {
  const bool items = kind == LineKind::Items;
  framework::LineSchema schema;
  schema.table = !store.table.empty() ? store.table : items ? "WSDJXM" : "WSDJPJ";
  schema.idTable = !store.idTable.empty() ? store.idTable : items ? "wsdjxm" : "wsdjpj";
  schema.codeCol = LineGrid::kCode;
  schema.nameCol = LineGrid::kName;
  schema.amountCol = LineGrid::kAmount;
  schema.lineIdCol = LineGrid::kLineId;
  schema.keyColumn = items ? "项目ID" : "产品ID";
  schema.codeColumn = items ? "编码" : "物品编码";
  using framework::ValueKind;
  schema.columns = {{items ? "维修项目" : "物品名称", LineGrid::kName, ValueKind::Text, false},
                    {items ? "项目属性" : "规格", LineGrid::kAttribute, ValueKind::Text, false},
                    {"数量", LineGrid::kQuantity, ValueKind::Number, true},
                    {"单价", LineGrid::kPrice, ValueKind::Number, true},
                    {"金额", LineGrid::kAmount, ValueKind::Number, true},
                    {"说明", LineGrid::kRemark, ValueKind::Text, true}};
  return schema;
}

}  // namespace

LineGrid::LineGrid(forms::Grid& grid, LineKind kind, const Store& store)
    : framework::LineSet(grid, LineSchemaOf(kind, store)),
      kind_(kind),
      tagPrefix_(store.tagPrefix.empty() ? "XS_S" : store.tagPrefix) {}

void LineGrid::Setup(Context context, bool goodsMessageEdit) {
  host::ISystem& system = context.system();
  forms::Grid& grid = Grid();
  grid.SetFixedRows(1);
  grid.SetFormatString(kind_ == LineKind::Items ? kItemFormat : kPartFormat);
  grid.Col(kRowNumber).editable = false;
  grid.SetColHidden(kLineId, true);
  grid.Col(kLineId).editable = false;
  int64_t foreColor = static_cast<int64_t>(
      db::NumericValue(system.GetOption(12, std::string("readonlyforecolor"))));
  int64_t backColor = static_cast<int64_t>(
      db::NumericValue(system.GetOption(12, std::string("readonlybackcolor"))));
  for (int col : {kName, kAttribute}) {
    grid.Col(col).editable = goodsMessageEdit;
    grid.Col(col).readOnlyForeColor = foreColor;
    grid.Col(col).readOnlyBackColor = backColor;
  }
  grid.Col(kQuantity).format = forms::DecimalsFormat(Decimals(system, 7), false);
  grid.Col(kPrice).format = forms::DecimalsFormat(Decimals(system, 9), false);
  grid.Col(kAmount).format = forms::DecimalsFormat(Decimals(system, 12), false);

  ownerId_ = context.ownerId;
  const bool items = kind_ == LineKind::Items;
  framework::CodeLookup lookup;
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

  framework::LineSet::Context setContext;
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
  // Read exactly: amount = quantity × price rounded half away from zero at the ten-thousandth,
  // price = amount ÷ quantity the same way.
  db::Amount quantity = db::Amount::Of(grid.TextMatrix(row, kQuantity));
  db::Amount price = db::Amount::Of(grid.TextMatrix(row, kPrice));
  const db::Amount amount = db::Amount::Of(grid.TextMatrix(row, kAmount));
  switch (col) {
    case kQuantity:
    case kPrice:
      grid.SetTextMatrix(row, kAmount, (quantity * price).Text());
      break;
    case kAmount:
      if (!quantity.IsZero()) grid.SetTextMatrix(row, kPrice, amount.DividedBy(quantity).Text());
      break;
    case kCode:
      if (Trim(grid.TextMatrix(row, kCode)).empty()) {
        grid.SetCellKey(row, kCode, "0");
        grid.SetTextMatrix(row, kName, "");
        grid.SetTextMatrix(row, kAttribute, "");
        break;
      }
      if (quantity.IsZero()) {
        quantity = db::Amount::Of("1");
        grid.SetTextMatrix(row, kQuantity, "1");
      }
      if (auto proposed = repair_order::LinePricer(Ctx().system(), Ctx().programNumber)
                              .Propose(kind_, grid.CellKeyLong(row, kCode), ownerId_())) {
        price = *proposed;
        grid.SetTextMatrix(row, kPrice, price.Text());
      }
      grid.SetTextMatrix(row, kAmount, (quantity * price).Text());
      break;
    default:
      break;
  }
}

}  // namespace ws::repair_order
