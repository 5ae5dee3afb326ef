#include "repair_order/line_grid.h"

#include <cmath>
#include <exception>

#include "db/value.h"
#include "forms/number_format.h"
#include "docs/line_price.h"

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

}  // namespace

void LineGrid::Setup(Context context, bool goodsMessageEdit) {
  context_ = std::move(context);
  host::ISystem& system = context_.system();
  grid_.SetFixedRows(1);
  grid_.SetFormatString(kind_ == LineKind::Items ? kItemFormat : kPartFormat);
  grid_.Col(kRowNumber).editable = false;
  grid_.SetColHidden(kLineId, true);
  grid_.Col(kLineId).editable = false;
  int64_t foreColor = static_cast<int64_t>(
      db::NumericValue(system.GetOption(12, std::string("readonlyforecolor"))));
  int64_t backColor = static_cast<int64_t>(
      db::NumericValue(system.GetOption(12, std::string("readonlybackcolor"))));
  for (int col : {kName, kAttribute}) {
    grid_.Col(col).editable = goodsMessageEdit;
    grid_.Col(col).readOnlyForeColor = foreColor;
    grid_.Col(col).readOnlyBackColor = backColor;
  }
  grid_.Col(kQuantity).format = forms::DecimalsFormat(Decimals(system, 7), false);
  grid_.Col(kPrice).format = forms::DecimalsFormat(Decimals(system, 9), false);
  grid_.Col(kAmount).format = forms::DecimalsFormat(Decimals(system, 12), false);

  // Typing a code and asking for help on it both go to the picker; the part grid's help key
  // has a tag of its own.
  const std::string typedTag = "XS_S-->ywGridXM_TxtValidBmS::";
  const std::string helpTag =
      kind_ == LineKind::Parts ? "XS_S-->ywGridPJ_UserHelpEvent::" : typedTag;
  grid_.OnAfterEdit = [this, typedTag](int row, int col) {
    if (col == kCode) {
      Guard(typedTag, row, [&] { CodeTyped(row); });
      return;
    }
    Arithmetic(row, col);
    context_.changed();
  };
  grid_.OnCellPickerRequest = [this, helpTag](int row, int col) {
    if (col == kCode) Guard(helpTag, row, [&] { CodePicked(row); });
  };
  grid_.OnBeforeDeleteRow = [this](int row) {
    auto lineId =
        static_cast<int64_t>(std::llround(db::NumericValue(grid_.TextMatrix(row, kLineId))));
    if (lineId > 0) removed_.push_back(lineId);
    return true;
  };
  grid_.OnAfterDeleteRow = [this](int row) {
    size_t index = static_cast<size_t>(row - grid_.FixedRows());
    if (index < committed_.size()) committed_.erase(committed_.begin() + static_cast<long>(index));
    grid_.RenumberRows();
    context_.changed();
  };
}

std::string& LineGrid::Committed(int row) {
  size_t index = static_cast<size_t>(row - grid_.FixedRows());
  if (committed_.size() < static_cast<size_t>(grid_.DataRows())) {
    committed_.resize(static_cast<size_t>(grid_.DataRows()));
  }
  return committed_.at(index);
}

void LineGrid::Load(db::Recordset& records) {
  grid_.SetRedraw(false);
  grid_.SetRows(grid_.FixedRows() + static_cast<int>(records.RecordCount()));
  committed_.assign(static_cast<size_t>(grid_.DataRows()), std::string());
  removed_.clear();
  const char* codeColumn = kind_ == LineKind::Items ? "编码" : "物品编码";
  const char* keyColumn = kind_ == LineKind::Items ? "项目ID" : "产品ID";
  const char* nameColumn = kind_ == LineKind::Items ? "维修项目" : "物品名称";
  const char* attributeColumn = kind_ == LineKind::Items ? "项目属性" : "规格";
  int row = grid_.FixedRows();
  for (records.MoveFirst(); !records.Eof() && row < grid_.Rows(); records.MoveNext(), ++row) {
    grid_.SetTextMatrix(row, kCode, records.Text(codeColumn));
    grid_.SetCellKey(row, kCode, records.Text(keyColumn));
    grid_.SetTextMatrix(row, kName, records.Text(nameColumn));
    grid_.SetTextMatrix(row, kAttribute, records.Text(attributeColumn));
    grid_.SetTextMatrix(row, kQuantity, records.Text("数量"));
    grid_.SetTextMatrix(row, kPrice, records.Text("单价"));
    grid_.SetTextMatrix(row, kAmount, records.Text("金额"));
    grid_.SetTextMatrix(row, kRemark, records.Text("说明"));
    grid_.SetTextMatrix(row, kLineId, records.Text("单据明细ID"));
    Committed(row) = records.Text(codeColumn);
  }
  grid_.RenumberRows();
  grid_.SetRedraw(true);
}

void LineGrid::Clear() {
  grid_.ClearData();
  committed_.clear();
  removed_.clear();
}

void LineGrid::ForgetLineIds() {
  for (int row = grid_.FixedRows(); row < grid_.Rows(); ++row) {
    grid_.SetTextMatrix(row, kLineId, "");
  }
  removed_.clear();
}

std::vector<OrderLine> LineGrid::SavedLines() const {
  std::vector<OrderLine> lines;
  for (int row = grid_.FixedRows(); row < grid_.Rows(); ++row) {
    if (Trim(grid_.TextMatrix(row, kName)).empty()) continue;
    OrderLine line;
    line.lineId =
        static_cast<int64_t>(std::llround(db::NumericValue(grid_.TextMatrix(row, kLineId))));
    line.key = grid_.CellKeyLong(row, kCode);
    line.quantity = grid_.TextMatrix(row, kQuantity);
    line.price = grid_.TextMatrix(row, kPrice);
    line.amount = grid_.TextMatrix(row, kAmount);
    line.remark = grid_.TextMatrix(row, kRemark);
    lines.push_back(std::move(line));
  }
  return lines;
}

void LineGrid::SetSavedLineIds(const std::vector<int64_t>& lineIds) {
  size_t next = 0;
  for (int row = grid_.FixedRows(); row < grid_.Rows() && next < lineIds.size(); ++row) {
    if (Trim(grid_.TextMatrix(row, kName)).empty()) continue;
    grid_.SetTextMatrix(row, kLineId, std::to_string(lineIds[next++]));
  }
}

std::vector<std::vector<std::string>> LineGrid::PrintRows() const {
  int last = grid_.Rows();
  for (int row = grid_.FixedRows(); row < grid_.Rows(); ++row) {
    if (Trim(grid_.TextMatrix(row, kName)).empty()) {
      last = row;
      break;
    }
  }
  std::vector<std::vector<std::string>> rows;
  for (int row = 0; row < last; ++row) {
    std::vector<std::string> cells;
    for (int col = 0; col < grid_.Cols(); ++col) {
      cells.push_back(col > 0 && grid_.ColHidden(col) ? "***" : grid_.TextMatrix(row, col));
    }
    rows.push_back(std::move(cells));
  }
  return rows;
}

void LineGrid::Guard(const std::string& tag, int row, const std::function<void()>& body) {
  // A failed lookup puts the row back as it was before the code was typed.
  std::vector<forms::Cell> before;
  for (int col = 0; col < grid_.Cols(); ++col) {
    before.push_back({grid_.TextMatrix(row, col), grid_.CellKey(row, col)});
  }
  before[kCode].text = Committed(row);
  try {
    body();
  } catch (const std::exception& e) {
    if (row < grid_.Rows()) {
      for (int col = 0; col < grid_.Cols(); ++col) {
        grid_.SetTextMatrix(row, col, before[static_cast<size_t>(col)].text);
        grid_.SetCellKey(row, col, before[static_cast<size_t>(col)].key);
      }
    }
    context_.reportError(tag + e.what());
  }
}

void LineGrid::CodeTyped(int row) {
  std::string typed = Trim(grid_.TextMatrix(row, kCode));
  std::string& committed = Committed(row);
  if (typed.empty()) {
    committed.clear();
    Arithmetic(row, kCode);
    context_.changed();
    return;
  }
  if (typed == committed && grid_.CellKeyLong(row, kCode) > 0) {
    // The same code again: the line already holds that item, so the picker is not asked, but
    // the code is entered all the same (quantity, proposed price, amount).
    grid_.SetTextMatrix(row, kCode, committed);
    Arithmetic(row, kCode);
    context_.changed();
    return;
  }
  host::ISystem& system = context_.system();
  auto picker = OpenPicker(
      system, PickerName(), context_.programNumber,
      kind_ == LineKind::Parts ? PickerParameters{{"Mode", "single"}} : PickerParameters{});
  PickedRow picked;
  if (picker) {
    picked = ResolveTyped(*picker, typed);
    // A code that names nothing opens the list on it, as the drop-down of the cell would.
    if (!picked.found) picked = ChooseInPicker(system, *picker, typed);
  }
  if (!picked.found) {
    grid_.SetTextMatrix(row, kCode, committed);
    return;
  }
  Fill(row, picked);
  Arithmetic(row, kCode);
  context_.changed();
}

void LineGrid::CodePicked(int row) {
  host::ISystem& system = context_.system();
  auto picker = OpenPicker(
      system, PickerName(), context_.programNumber,
      kind_ == LineKind::Parts ? PickerParameters{{"Mode", "single"}} : PickerParameters{});
  if (!picker) return;
  PickedRow picked = ChooseInPicker(system, *picker, Trim(grid_.TextMatrix(row, kCode)));
  if (!picked.found) return;
  Fill(row, picked);
  Arithmetic(row, kCode);
  context_.changed();
}

void LineGrid::Fill(int row, const PickedRow& picked) {
  const host::PropertyBag& bag = picked.objects;
  auto pick = [&](const char* property, const std::string& fallback) {
    return bag.Has(property) ? bag.Text(property) : fallback;
  };
  std::string code;
  std::string key;
  if (kind_ == LineKind::Items) {
    code = pick("i项目编码", picked.text);
    key = pick("i项目ID", picked.value);
    grid_.SetTextMatrix(row, kName, pick("i维修项目", ""));
    grid_.SetTextMatrix(row, kAttribute, pick("i项目属性", ""));
  } else {
    code = pick("i物品编码", picked.text);
    key = pick("i产品ID", picked.value);
    grid_.SetTextMatrix(row, kName, pick("i物品名称", ""));
    grid_.SetTextMatrix(row, kAttribute, pick("i规格", ""));
  }
  if (db::NumericValue(key) <= 0) key = picked.value;
  grid_.SetTextMatrix(row, kCode, code);
  grid_.SetCellKey(row, kCode, key);
  Committed(row) = code;
}

void LineGrid::Arithmetic(int row, int col) {
  double quantity = db::NumericValue(grid_.TextMatrix(row, kQuantity));
  double price = db::NumericValue(grid_.TextMatrix(row, kPrice));
  double amount = db::NumericValue(grid_.TextMatrix(row, kAmount));
  switch (col) {
    case kQuantity:
    case kPrice:
      grid_.SetTextMatrix(row, kAmount, db::DecimalText(quantity * price));
      break;
    case kAmount:
      if (quantity != 0) grid_.SetTextMatrix(row, kPrice, db::DecimalText(amount / quantity));
      break;
    case kCode:
      if (Trim(grid_.TextMatrix(row, kCode)).empty()) {
        grid_.SetCellKey(row, kCode, "0");
        grid_.SetTextMatrix(row, kName, "");
        grid_.SetTextMatrix(row, kAttribute, "");
        break;
      }
      if (quantity == 0) {
        quantity = 1;
        grid_.SetTextMatrix(row, kQuantity, "1");
      }
      if (auto proposed = docs::LinePricer(context_.system(), context_.programNumber)
                              .Propose(kind_, grid_.CellKeyLong(row, kCode), context_.ownerId())) {
        price = *proposed;
        grid_.SetTextMatrix(row, kPrice, db::DecimalText(price));
      }
      grid_.SetTextMatrix(row, kAmount, db::DecimalText(quantity * price));
      break;
    default:
      break;
  }
}

}  // namespace ws::repair_order
