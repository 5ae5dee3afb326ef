#include "framework/line_set.h"

#include <cmath>
#include <exception>

#include "db/value.h"
#include "forms/number_format.h"
#include "framework/shop_decimals.h"
#include "host/dialogs.h"

namespace ws::framework {

namespace {

int64_t OptionNumber(host::ISystem& system, const char* option) {
  return static_cast<int64_t>(db::NumericValue(system.GetOption(12, std::string(option))));
}

}  // namespace

LineSet::LineSet(forms::Grid& grid, LineSchema schema) : grid_(grid), schema_(std::move(schema)) {
  schema_.columns.clear();
  for (size_t col = 0; col < schema_.cells.size(); ++col) {
    for (LineColumn column : schema_.cells[col].columns) {
      column.col = static_cast<int>(col);
      schema_.columns.push_back(std::move(column));
    }
  }
}

void LineSet::BuildGrid(host::ISystem& system, bool goodsMessageEdit) {
  const int64_t foreColor = OptionNumber(system, "readonlyforecolor");
  const int64_t backColor = OptionNumber(system, "readonlybackcolor");
  grid_.SetFixedRows(1);
  grid_.SetCols(static_cast<int>(schema_.cells.size()));
  for (int col = 0; col < grid_.Cols(); ++col) {
    const LineCell& cell = schema_.cells[static_cast<size_t>(col)];
    grid_.SetTextMatrix(0, col, cell.caption);
    forms::Column& column = grid_.Col(col);
    if (cell.width > 0) column.width = forms::Grid::WidthOfColumns(cell.width);
    // Fixed decimals: a line of 150 reads 150.00 beside one of 222.10, on screen and in print.
    if (cell.decimalsOption > 0) {
      column.format = forms::DecimalsFormat(ShopDecimals(system, cell.decimalsOption), true);
    }
    if (cell.right) column.alignment = kAlignRight;
    column.hidden = cell.hidden;
    column.editable =
        cell.entry == CellEntry::Typed || (cell.entry == CellEntry::MasterText && goodsMessageEdit);
    column.keyStop = cell.entry != CellEntry::Shown;
    if (!column.editable && cell.entry != CellEntry::Plain) {
      column.readOnlyForeColor = foreColor;
      column.readOnlyBackColor = backColor;
    }
  }
}

void LineSet::Wire(Context context, CodeLookup lookup) {
  context_ = std::move(context);
  lookup_ = std::move(lookup);
  grid_.OnAfterEdit = [this](int row, int col) {
    if (col == schema_.codeCol) {
      Guard(lookup_.typedTag, row, [&] { CodeTyped(row); });
      return;
    }
    if (context_.onCell) context_.onCell(row, col);
    if (context_.changed) context_.changed();
  };
  grid_.OnCellPickerRequest = [this](int row, int col) {
    if (col == schema_.codeCol) Guard(lookup_.helpTag, row, [&] { CodePicked(row); });
  };
  grid_.OnBeforeDeleteRow = [this](int row) {
    if (int64_t lineId = LineId(row); lineId > 0) removed_.push_back(lineId);
    return true;
  };
  grid_.OnAfterDeleteRow = [this](int row) {
    size_t index = static_cast<size_t>(row - grid_.FixedRows());
    if (index < committed_.size()) committed_.erase(committed_.begin() + static_cast<long>(index));
    grid_.RenumberRows();
    if (context_.changed) context_.changed();
  };
}

bool LineSet::IsShown(int col) const {
  const auto index = static_cast<size_t>(col);
  return index < schema_.cells.size() && schema_.cells[index].entry == CellEntry::Shown;
}

std::string& LineSet::Committed(int row) {
  size_t index = static_cast<size_t>(row - grid_.FixedRows());
  if (committed_.size() < static_cast<size_t>(grid_.DataRows())) {
    committed_.resize(static_cast<size_t>(grid_.DataRows()));
  }
  return committed_.at(index);
}

void LineSet::Load(db::Recordset& records) {
  grid_.SetRedraw(false);
  grid_.SetRows(grid_.FixedRows() + static_cast<int>(records.RecordCount()));
  committed_.assign(static_cast<size_t>(grid_.DataRows()), std::string());
  removed_.clear();
  int row = grid_.FixedRows();
  for (records.MoveFirst(); !records.Eof() && row < grid_.Rows(); records.MoveNext(), ++row) {
    grid_.SetTextMatrix(row, schema_.codeCol, records.Text(schema_.codeColumn));
    grid_.SetCellKey(row, schema_.codeCol, records.Text(schema_.keyColumn));
    for (const auto& c : schema_.columns) {
      if (c.key) {
        grid_.SetCellKey(row, c.col, records.Text(c.column));
      } else {
        grid_.SetTextMatrix(row, c.col, records.Text(c.column));
      }
    }
    if (schema_.lineIdCol >= 0) {
      grid_.SetTextMatrix(row, schema_.lineIdCol, records.Text(schema_.lineKey));
    }
    Committed(row) = records.Text(schema_.codeColumn);
  }
  grid_.RenumberRows();
  grid_.SetRedraw(true);
}

void LineSet::Clear() {
  grid_.ClearData();
  committed_.clear();
  removed_.clear();
}

void LineSet::CommitCodes() {
  for (int row = grid_.FixedRows(); row < grid_.Rows(); ++row) {
    Committed(row) = grid_.TextMatrix(row, schema_.codeCol);
  }
}

void LineSet::RemoveAll() {
  for (int row = grid_.FixedRows(); row < grid_.Rows(); ++row) {
    if (int64_t lineId = LineId(row); lineId > 0) removed_.push_back(lineId);
  }
  grid_.ClearData();
  committed_.clear();
}

void LineSet::ForgetLineIds() {
  for (int row = grid_.FixedRows(); row < grid_.Rows(); ++row) {
    grid_.SetTextMatrix(row, schema_.lineIdCol, "");
    for (int col = 0; col < grid_.Cols(); ++col) {
      if (IsShown(col)) grid_.SetTextMatrix(row, col, "");
    }
  }
  removed_.clear();
}

bool LineSet::IsLine(int row) const {
  return !Trim(grid_.TextMatrix(row, schema_.nameCol)).empty();
}

std::vector<int> LineSet::SavedRows() const {
  std::vector<int> rows;
  for (int row = grid_.FixedRows(); row < grid_.Rows(); ++row) {
    if (IsLine(row)) rows.push_back(row);
  }
  return rows;
}

int64_t LineSet::LineId(int row) const {
  if (schema_.lineIdCol < 0) return 0;
  return static_cast<int64_t>(
      std::llround(db::NumericValue(grid_.TextMatrix(row, schema_.lineIdCol))));
}

db::Amount LineSet::Total() const {
  db::Amount total;
  if (schema_.amountCol < 0) return total;
  for (int row : SavedRows()) total += db::Amount::Of(grid_.TextMatrix(row, schema_.amountCol));
  return total;
}

void LineSet::SetSavedLineIds(const std::vector<int64_t>& lineIds) {
  size_t next = 0;
  for (int row : SavedRows()) {
    if (next >= lineIds.size()) break;
    grid_.SetTextMatrix(row, schema_.lineIdCol,
                        db::DecimalText(static_cast<double>(lineIds[next++])));
  }
}

void LineSet::SetCommonValue(const std::string& column, double value) {
  for (auto& [name, number] : common_) {
    if (name == column) {
      number = value;
      return;
    }
  }
  common_.emplace_back(column, value);
}

void LineSet::AppendValue(db::Sql& sql, const LineColumn& c, int row) const {
  const std::string& text = c.key ? grid_.CellKey(row, c.col) : grid_.TextMatrix(row, c.col);
  switch (c.kind) {
    case ValueKind::Number:
      sql.NumOf(text);
      break;
    case ValueKind::Id:
      sql.Key(static_cast<int64_t>(db::NumericValue(text)));
      break;
    case ValueKind::Date:
      sql.Date(text, "");
      break;
    case ValueKind::Text:
      sql.Text(c.trimmed ? Trim(text) : text);
      break;
  }
}

db::Sql LineSet::Insert(int row, int64_t lineId, int64_t ownerId) const {
  return Insert(std::vector<int>{row}, std::vector<int64_t>{lineId}, ownerId);
}

db::Sql LineSet::Insert(const std::vector<int>& rows, const std::vector<int64_t>& lineIds,
                        int64_t ownerId) const {
  db::Sql sql = InsertHead();
  for (size_t i = 0; i < rows.size() && i < lineIds.size(); ++i) {
    if (i > 0) sql.Raw(",");
    AppendInsertValues(sql, rows[i], lineIds[i], ownerId);
  }
  return sql;
}

db::Sql LineSet::InsertHead() const {
  db::Sql sql("INSERT INTO ");
  sql.Raw(schema_.table).Raw(" (").Raw(schema_.lineKey).Raw(",").Raw(schema_.ownerKey);
  sql.Raw(",").Raw(schema_.keyColumn);
  for (const auto& c : schema_.columns) {
    if (c.saved) sql.Raw(",").Raw(c.column);
  }
  for (const auto& [column, value] : common_) sql.Raw(",").Raw(column);
  return sql.Raw(") VALUES ");
}

void LineSet::AppendInsertValues(db::Sql& sql, int row, int64_t lineId, int64_t ownerId) const {
  sql.Raw("(").Key(lineId).Raw(",").Key(ownerId).Raw(",");
  sql.Key(grid_.CellKeyLong(row, schema_.codeCol));
  for (const auto& c : schema_.columns) {
    if (!c.saved) continue;
    sql.Raw(",");
    AppendValue(sql, c, row);
  }
  for (const auto& [column, value] : common_) sql.Raw(",").Num(value);
  sql.Raw(")");
}

db::Sql LineSet::Update(int row, int64_t ownerId) const {
  db::Sql sql("UPDATE ");
  sql.Raw(schema_.table).Raw(" SET ").Raw(schema_.keyColumn).Raw("=");
  sql.Key(grid_.CellKeyLong(row, schema_.codeCol));
  for (const auto& c : schema_.columns) {
    if (!c.saved) continue;
    sql.Raw(", ").Raw(c.column).Raw("=");
    AppendValue(sql, c, row);
  }
  for (const auto& [column, value] : common_) sql.Raw(", ").Raw(column).Raw("=").Num(value);
  sql.Raw(" WHERE ").Raw(schema_.lineKey).Raw("=").Key(LineId(row));
  return sql.Raw(" AND ").Raw(schema_.ownerKey).Raw("=").Key(ownerId);
}

db::Sql LineSet::DeleteRemoved(int64_t ownerId) const {
  db::Sql sql("DELETE FROM ");
  sql.Raw(schema_.table).Raw(" WHERE ").Raw(schema_.lineKey).Raw(" IN (");
  for (size_t i = 0; i < removed_.size(); ++i) {
    if (i > 0) sql.Raw(",");
    sql.Key(removed_[i]);
  }
  return sql.Raw(") AND ").Raw(schema_.ownerKey).Raw("=").Key(ownerId);
}

std::vector<std::vector<std::string>> LineSet::PrintRows() const {
  int last = grid_.Rows();
  for (int row = grid_.FixedRows(); row < grid_.Rows(); ++row) {
    if (!IsLine(row)) {
      last = row;
      break;
    }
  }
  std::vector<std::vector<std::string>> rows;
  for (int row = 0; row < last; ++row) rows.push_back(PrintCells(row));
  return rows;
}

std::vector<std::string> LineSet::PrintCells(int row) const {
  std::vector<std::string> cells;
  for (int col = 0; col < grid_.Cols(); ++col) {
    // The print templates lay out the line's own columns; who works on it is the desk's to show.
    if (IsShown(col)) continue;
    // A print shows the numbers as the screen does, through the column's format.
    cells.push_back(col > 0 && grid_.ColHidden(col) ? "***" : grid_.DisplayText(row, col));
  }
  return cells;
}

void LineSet::Guard(const std::string& tag, int row, const std::function<void()>& body) {
  // A failed lookup puts the row back as it was before the code was typed.
  std::vector<forms::Cell> before;
  for (int col = 0; col < grid_.Cols(); ++col) {
    before.push_back({grid_.TextMatrix(row, col), grid_.CellKey(row, col)});
  }
  before[static_cast<size_t>(schema_.codeCol)].text = Committed(row);
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

void LineSet::Entered(int row) {
  if (context_.onCode) context_.onCode(row);
  if (context_.changed) context_.changed();
}

void LineSet::CodeTyped(int row) {
  std::string typed = Trim(grid_.TextMatrix(row, schema_.codeCol));
  std::string& committed = Committed(row);
  if (typed.empty()) {
    committed.clear();
    grid_.SetCellKey(row, schema_.codeCol, "0");
    for (const auto& [col, property] : lookup_.fills) grid_.SetTextMatrix(row, col, "");
    Entered(row);
    return;
  }
  if (typed == committed && grid_.CellKeyLong(row, schema_.codeCol) > 0) {
    // The same code again: the line already holds that item, so the picker is not asked, but
    // the code is entered all the same.
    grid_.SetTextMatrix(row, schema_.codeCol, committed);
    Entered(row);
    return;
  }
  host::ISystem& system = context_.system();
  auto picker = OpenPicker(system, lookup_.picker, context_.programNumber, lookup_.parameters);
  PickedRow picked;
  if (picker) {
    picked = ResolveTyped(*picker, typed);
    // A code that names nothing opens the list on it, as the drop-down of the cell would,
    // unless the document answers it with its own refusal.
    if (!picked.found && lookup_.listOnUnknownCode) {
      picked = ChooseInPicker(system, *picker, typed);
    }
  }
  if (!picked.found) {
    grid_.SetTextMatrix(row, schema_.codeCol, committed);
    if (!lookup_.unknownCodeText.empty()) {
      system.Dialogs().MessageBox(lookup_.unknownCodeText, lookup_.unknownCodeTitle,
                                  host::MsgButtons::Ok, host::MsgIcon::Information);
    }
    return;
  }
  Fill(row, picked);
  Entered(row);
}

void LineSet::CodePicked(int row) {
  host::ISystem& system = context_.system();
  auto picker = OpenPicker(system, lookup_.picker, context_.programNumber, lookup_.parameters);
  if (!picker) return;
  PickedRow picked = ChooseInPicker(system, *picker, Trim(grid_.TextMatrix(row, schema_.codeCol)));
  if (!picked.found) return;
  Fill(row, picked);
  Entered(row);
}

void LineSet::Fill(int row, const PickedRow& picked) {
  const host::PropertyBag& bag = picked.objects;
  auto pick = [&](const std::string& property, const std::string& fallback) {
    return bag.Has(property) ? bag.Text(property) : fallback;
  };
  std::string code = pick(lookup_.codeProperty, picked.text);
  std::string key = pick(lookup_.keyProperty, picked.value);
  for (const auto& [col, property] : lookup_.fills)
    grid_.SetTextMatrix(row, col, pick(property, ""));
  if (db::NumericValue(key) <= 0) key = picked.value;
  grid_.SetTextMatrix(row, schema_.codeCol, code);
  grid_.SetCellKey(row, schema_.codeCol, key);
  Committed(row) = code;
}

}  // namespace ws::framework
