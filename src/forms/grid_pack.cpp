#include "forms/grid_pack.h"

#include <algorithm>
#include <fstream>

#include "forms/text.h"

namespace ws::forms {

namespace {

std::string CsvCell(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

}  // namespace

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

std::string GridCsv(const Grid& grid) {
  std::string out;
  auto line = [&out](const std::vector<std::string>& cells) {
    for (size_t i = 0; i < cells.size(); ++i) {
      if (i > 0) out += ',';
      out += CsvCell(cells[i]);
    }
    out += "\r\n";
  };
  if (grid.Rows() == 0) return out;
  const ShownCells shown = ShownGridCells(grid);
  line(shown.columns);
  for (const auto& row : shown.rows) line(row);
  return out;
}

std::string WriteGridCsv(const Grid& grid, const std::filesystem::path& file) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  if (!out) return "cannot write " + file.string();
  out << GridCsv(grid);
  out.close();
  if (!out) return "cannot write " + file.string();
  return {};
}

}  // namespace ws::forms
