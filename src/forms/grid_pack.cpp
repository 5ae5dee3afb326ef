#include "forms/grid_pack.h"

#include <algorithm>
#include <string_view>

#include "forms/text.h"

namespace ws::forms {

namespace {

// A signed number as a grid shows one ("-1,234.50", "+3", "12%").
bool ReadsAsNumber(std::string_view text) {
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) text.remove_prefix(1);
  if (!text.empty() && text.back() == '%') text.remove_suffix(1);
  bool digit = false;
  bool point = false;
  for (char c : text) {
    if (c >= '0' && c <= '9') {
      digit = true;
    } else if (c == '.' && !point) {
      point = true;
    } else if (c != ',') {
      return false;
    }
  }
  return digit;
}

// A spreadsheet runs a cell that starts with one of these as a formula: a plate or a remark
// typed as "=HYPERLINK(...)" would act when the export is opened. Such a text (not a number)
// is written behind an apostrophe, which spreadsheets show as the text itself.
bool StartsAFormula(std::string_view text) {
  if (text.empty() || std::string_view("=+-@\t\r").find(text.front()) == std::string_view::npos) {
    return false;
  }
  return !ReadsAsNumber(text);
}

}  // namespace

void AppendCsvCell(std::string& out, std::string_view cell) {
  // One pass over the cell (find_first_of looks each byte up in the set with a call).
  const bool quoted = std::any_of(cell.begin(), cell.end(), [](char c) {
    return c == ',' || c == '"' || c == '\r' || c == '\n';
  });
  if (quoted) out += '"';
  if (StartsAFormula(cell)) out += '\'';
  if (!quoted) {
    out += cell;
    return;
  }
  for (char c : cell) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
}

std::string CsvCell(const std::string& cell) {
  std::string out;
  AppendCsvCell(out, cell);
  return out;
}

void GridPack::Attach(Grid* grid) {
  grid_ = grid;
  findText_.clear();
  findCol_ = -1;
  filterCol_ = -1;
}

int GridPack::Search(int fromRow, int toRow) const {
  const std::string needle = FoldCase(findText_);
  for (int r = fromRow; r < toRow; ++r) {
    if (grid_->RowHidden(r)) continue;
    if (FoldCase(grid_->TextMatrix(r, findCol_)).find(needle) != std::string::npos) return r;
  }
  return -1;
}

int GridPack::Find(int col, const std::string& text) {
  findText_ = text;
  findCol_ = col;
  if (!grid_ || col < 0 || col >= grid_->Cols() || text.empty()) return -1;
  int row = Search(grid_->FixedRows(), grid_->Rows());
  if (row >= 0) grid_->SetRow(row);
  return row;
}

int GridPack::FindNext() {
  if (!grid_ || findCol_ < 0 || findCol_ >= grid_->Cols() || findText_.empty()) return -1;
  const int start = grid_->IsDataRow(grid_->Row()) ? grid_->Row() + 1 : grid_->FixedRows();
  int row = Search(start, grid_->Rows());
  if (row < 0) row = Search(grid_->FixedRows(), start);
  if (row >= 0) grid_->SetRow(row);
  return row;
}

int GridPack::Filter(int col) {
  if (!grid_) return 0;
  if (Filtering()) {
    ClearFilter();
  } else if (col >= 0 && col < grid_->Cols() && grid_->IsDataRow(grid_->Row())) {
    const std::string value = grid_->TextMatrix(grid_->Row(), col);
    for (int r = grid_->FixedRows(); r < grid_->Rows(); ++r) {
      grid_->SetRowHidden(r, grid_->IsSubtotalRow(r) || grid_->TextMatrix(r, col) != value);
    }
    filterCol_ = col;
  }
  int visible = 0;
  for (int r = grid_->FixedRows(); r < grid_->Rows(); ++r) visible += grid_->RowHidden(r) ? 0 : 1;
  return visible;
}

void GridPack::ClearFilter() {
  filterCol_ = -1;
  if (!grid_) return;
  for (int r = grid_->FixedRows(); r < grid_->Rows(); ++r) grid_->SetRowHidden(r, false);
}

void GridPack::Sort(int col, int order) {
  if (grid_) grid_->Sort(col, order);
}

ShownCells ShownGridCells(const Grid& grid) {
  ShownCells shown;
  std::vector<int> cols;
  for (int c = 0; c < grid.Cols(); ++c) {
    if (grid.ColHidden(c)) continue;
    cols.push_back(c);
    shown.columns.push_back(grid.Rows() > 0 ? grid.TextMatrix(0, c) : std::string());
  }
  for (int r = std::max(grid.FixedRows(), 1); r < grid.Rows(); ++r) {
    if (grid.RowHidden(r)) continue;
    std::vector<std::string> cells;
    for (int c : cols) {
      // A spreadsheet or a print shows no date where the row stores the stand-in for none.
      std::string text = grid.DisplayText(r, c);
      cells.push_back(IsNoDateStandIn(text) ? std::string() : std::move(text));
    }
    shown.rows.push_back(std::move(cells));
  }
  return shown;
}

std::string GridCsv(const Grid& grid, bool header) {
  // Written straight from the cells (a report streams hundreds of thousands of rows through
  // here): the texts as ShownGridCells gives them, with no copy of the rows between.
  std::string out;
  if (grid.Rows() == 0) return out;
  std::vector<int> cols;
  for (int c = 0; c < grid.Cols(); ++c) {
    if (!grid.ColHidden(c)) cols.push_back(c);
  }
  if (header) {
    for (size_t i = 0; i < cols.size(); ++i) {
      if (i > 0) out += ',';
      AppendCsvCell(out, grid.TextMatrix(0, cols[i]));
    }
    out += "\r\n";
  }
  std::string formatted;
  for (int r = std::max(grid.FixedRows(), 1); r < grid.Rows(); ++r) {
    if (grid.RowHidden(r)) continue;
    for (size_t i = 0; i < cols.size(); ++i) {
      if (i > 0) out += ',';
      const std::string& text = grid.TextMatrix(r, cols[i]);
      // DisplayText formats only a filled cell of a column with a format.
      std::string_view shown = text;
      if (!text.empty() && !grid.Col(cols[i]).format.empty()) {
        formatted = grid.DisplayText(r, cols[i]);
        shown = formatted;
      }
      if (!IsNoDateStandIn(shown)) AppendCsvCell(out, shown);
    }
    out += "\r\n";
  }
  return out;
}

}  // namespace ws::forms
