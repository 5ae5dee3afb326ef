#include "forms/grid.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <stdexcept>

#include "forms/number_format.h"
#include "forms/text.h"

namespace ws::forms {

namespace {

constexpr char kGroupTotal = 1;
constexpr char kGrandTotal = 2;
const std::string kEmpty;

// Numeric value of a cell text; non-numeric text counts as 0.
double CellNumber(const std::string& text, bool* numeric = nullptr) {
  const std::optional<double> value = ReadLeadingNumber(text);
  if (numeric) *numeric = value.has_value();
  return value.value_or(0.0);
}

// Display columns of a UTF-8 text: a CJK character is as wide as two Latin ones.
int DisplayColumns(std::string_view text) {
  int columns = 0;
  for (size_t i = 0; i < text.size();) {
    auto c = static_cast<unsigned char>(text[i]);
    size_t len = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    columns += len >= 3 ? 2 : 1;
    i += len;
  }
  return columns;
}

}  // namespace

Grid::Grid(std::string name, int index, std::string typeName)
    : Widget(std::move(typeName), std::move(name), index) {
  SetRows(1);
}

void Grid::CheckCell(int row, int col) const {
  if (row < 0 || row >= Rows() || col < 0 || col >= Cols()) {
    throw std::out_of_range("grid " + Name() + ": cell (" + std::to_string(row) + ", " +
                            std::to_string(col) + ") is outside " + std::to_string(Rows()) + " x " +
                            std::to_string(Cols()));
  }
}

Grid::StoredCell::StoredCell() : text(&kEmpty) {}

Grid::StoredCell::StoredCell(const StoredCell& other)
    : text(other.text), key(other.key ? std::make_unique<std::string>(*other.key) : nullptr) {}

Grid::StoredCell& Grid::StoredCell::operator=(const StoredCell& other) {
  if (this != &other) *this = StoredCell(other);
  return *this;
}

void Grid::ForgetUnusedTexts(size_t slack) {
  // Counted in cells rather than traced: a grid cut back to a page of a big list keeps far
  // more texts than cells, a grid whose rows were only edited keeps about as many.
  const size_t cells = cells_.size() * columns_.size();
  if (texts_.Size() <= cells + slack) return;
  TextPool kept;
  for (auto& row : cells_) {
    for (StoredCell& cell : row) cell.text = kept.Intern(*cell.text);
  }
  texts_ = std::move(kept);
}

void Grid::ReserveRows(int rows) {
  const auto count = static_cast<size_t>(std::max(rows, 0));
  cells_.reserve(count);
  rowHidden_.reserve(count);
  rowSubtotal_.reserve(count);
}

void Grid::SetRows(int rows) {
  rows = std::max(rows, 0);
  const bool shrinking = static_cast<size_t>(rows) < cells_.size();
  cells_.resize(static_cast<size_t>(rows), std::vector<StoredCell>(columns_.size()));
  rowHidden_.resize(static_cast<size_t>(rows), 0);
  rowSubtotal_.resize(static_cast<size_t>(rows), 0);
  if (row_ >= rows) row_ = rows - 1;
  if (shrinking) {
    // A big list replaced by a small one gives its memory back, not only its rows.
    if (cells_.capacity() > 2 * cells_.size() + 64) {
      cells_.shrink_to_fit();
      rowHidden_.shrink_to_fit();
      rowSubtotal_.shrink_to_fit();
    }
    ForgetUnusedTexts();
  }
}

void Grid::ClearData() {
  SetRows(fixedRows_);
  columnTexts_.clear();
  ForgetUnusedTexts(0);
}

void Grid::SetCols(int cols) {
  cols = std::max(cols, 0);
  columns_.resize(static_cast<size_t>(cols));
  for (auto& row : cells_) row.resize(static_cast<size_t>(cols));
  if (col_ >= cols) col_ = std::max(cols - 1, 0);
}

void Grid::SetFixedRows(int rows) {
  fixedRows_ = std::max(rows, 0);
  if (Rows() < fixedRows_) SetRows(fixedRows_);
}

int Grid::AddRow() {
  SetRows(Rows() + 1);
  return Rows() - 1;
}

void Grid::RemoveRow(int row) {
  if (row < 0 || row >= Rows()) return;
  cells_.erase(cells_.begin() + row);
  rowHidden_.erase(rowHidden_.begin() + row);
  rowSubtotal_.erase(rowSubtotal_.begin() + row);
  if (row_ >= Rows()) row_ = Rows() - 1;
}

int Grid::WidthOfText(std::string_view text) {
  return WidthOfColumns(DisplayColumns(text));
}

int Grid::WidthOfColumns(int characters) {
  return std::max(characters, 1) * 120;
}

void Grid::SetFormatString(std::string_view format) {
  std::vector<std::string_view> pieces;
  size_t start = 0;
  while (true) {
    size_t bar = format.find('|', start);
    pieces.push_back(format.substr(start, bar == std::string_view::npos ? bar : bar - start));
    if (bar == std::string_view::npos) break;
    start = bar + 1;
  }
  SetCols(static_cast<int>(pieces.size()));
  if (fixedRows_ == 0) SetFixedRows(1);
  for (size_t c = 0; c < pieces.size(); ++c) {
    columns_[c].width = WidthOfText(pieces[c]);
    cells_[0][c].text = texts_.Intern(Trim(pieces[c]));
  }
}

const std::string& Grid::TextMatrix(int row, int col) const {
  if (row < 0 || row >= Rows() || col < 0 || col >= Cols()) return kEmpty;
  return *cells_[static_cast<size_t>(row)][static_cast<size_t>(col)].text;
}

const std::string*& Grid::WrittenCell(int row, int col) {
  CheckCell(row, col);
  const std::string*& stored = cells_[static_cast<size_t>(row)][static_cast<size_t>(col)].text;
  // A grid whose cells are written over and over (a line grid's amounts as the clerk types)
  // would otherwise keep every text it ever showed.
  if (!stored->empty() && ++overwritten_ > 2 * cells_.size() * columns_.size() + 256) {
    overwritten_ = 0;
    stored = &kEmpty;
    ForgetUnusedTexts();
  }
  return stored;
}

void Grid::SetTextMatrix(int row, int col, std::string text) {
  // The cell first: making room may rebuild the texts, and the new one is in no cell yet.
  const std::string*& cell = WrittenCell(row, col);
  cell = Store(col, std::move(text));
}

void Grid::SetCellText(int row, int col, std::string_view text) {
  const std::string*& cell = WrittenCell(row, col);
  cell = Store(col, text);
}

template <typename Text>
const std::string* Grid::Store(int col, Text&& text) {
  if (columnTexts_.size() != columns_.size()) columnTexts_.assign(columns_.size(), {});
  ColumnTexts& column = columnTexts_[static_cast<size_t>(col)];
  if (column.distinct) return texts_.Keep(std::forward<Text>(text));
  // Judged on the first texts of a column: a report's columns keep their nature over its rows.
  if (column.looked < kJudgedAfter) {
    const uint32_t hash = TextIndex::Hash(text);
    if (std::find(column.seen.begin(), column.seen.end(), hash) == column.seen.end()) {
      column.seen.push_back(hash);
    }
    if (++column.looked == kJudgedAfter) {
      column.distinct = 4 * column.seen.size() > 3 * column.looked;
      column.seen = {};
    }
  }
  return texts_.Intern(std::forward<Text>(text));
}

const std::string& Grid::CellKey(int row, int col) const {
  if (row < 0 || row >= Rows() || col < 0 || col >= Cols()) return kEmpty;
  const auto& key = cells_[static_cast<size_t>(row)][static_cast<size_t>(col)].key;
  return key ? *key : kEmpty;
}

int64_t Grid::CellKeyLong(int row, int col) const {
  return static_cast<int64_t>(std::llround(CellNumber(CellKey(row, col))));
}

void Grid::SetCellKey(int row, int col, std::string key) {
  CheckCell(row, col);
  auto& stored = cells_[static_cast<size_t>(row)][static_cast<size_t>(col)].key;
  if (key.empty()) {
    stored.reset();
  } else {
    stored = std::make_unique<std::string>(std::move(key));
  }
}

std::string Grid::DisplayText(int row, int col) const {
  const std::string& text = TextMatrix(row, col);
  if (row < fixedRows_ || col >= Cols() || Col(col).format.empty() || text.empty()) return text;
  if (auto shown = FormatNumberText(text, Col(col).format)) return *std::move(shown);
  bool numeric = false;
  double v = CellNumber(text, &numeric);
  return numeric ? FormatNumber(v, Col(col).format) : text;
}

double Grid::Sum(int col, int firstRow, int lastRow) const {
  double sum = 0;
  for (int r = std::max(firstRow, fixedRows_); r <= lastRow && r < Rows(); ++r) {
    if (!rowSubtotal_[static_cast<size_t>(r)]) sum += CellNumber(TextMatrix(r, col));
  }
  return sum;
}

void Grid::RenumberRows() {
  if (Cols() == 0) return;
  int n = 1;
  for (int r = fixedRows_; r < Rows(); ++r) SetTextMatrix(r, 0, std::to_string(n++));
}

Column& Grid::Col(int col) {
  if (col < 0 || col >= Cols())
    throw std::out_of_range("grid " + Name() + ": no column " + std::to_string(col));
  return columns_[static_cast<size_t>(col)];
}

const Column& Grid::Col(int col) const {
  if (col < 0 || col >= Cols())
    throw std::out_of_range("grid " + Name() + ": no column " + std::to_string(col));
  return columns_[static_cast<size_t>(col)];
}

int Grid::FindCol(std::string_view caption) const {
  for (int c = 0; c < Cols(); ++c) {
    if (ColCaption(c) == caption) return c;
  }
  return -1;
}

void Grid::SetColWidth(int col, int width) {
  if (width <= 0) {
    Col(col).hidden = true;
  } else {
    Col(col).width = width;
    Col(col).hidden = false;
  }
}

bool Grid::CellEditable(int row, int col) const {
  return editable_ && IsDataRow(row) && col >= fixedCols_ && col < Cols() && Col(col).editable &&
         !rowSubtotal_[static_cast<size_t>(row)] && (!OnBeforeEdit || OnBeforeEdit(row, col));
}

bool Grid::RowHidden(int row) const {
  return row >= 0 && row < Rows() && rowHidden_[static_cast<size_t>(row)];
}

void Grid::SetRowHidden(int row, bool hidden) {
  if (row >= 0 && row < Rows()) rowHidden_[static_cast<size_t>(row)] = hidden ? 1 : 0;
}

bool Grid::IsSubtotalRow(int row) const {
  return row >= 0 && row < Rows() && rowSubtotal_[static_cast<size_t>(row)];
}

int Grid::GrandTotalRow() const {
  const int last = Rows() - 1;
  return last >= fixedRows_ && rowSubtotal_[static_cast<size_t>(last)] == kGrandTotal ? last : -1;
}

bool NaturalLess(std::string_view x, std::string_view y) {
  const auto digit = [](char ch) { return ch >= '0' && ch <= '9'; };
  size_t i = 0;
  size_t j = 0;
  int zerosTieBreak = 0;  // < 0 when x wrote a tied number with fewer digits
  while (i < x.size() && j < y.size()) {
    if (digit(x[i]) && digit(y[j])) {
      // Runs of digits compare by value: without their leading zeros the longer is larger.
      size_t ie = i;
      size_t je = j;
      while (ie < x.size() && digit(x[ie])) ++ie;
      while (je < y.size() && digit(y[je])) ++je;
      std::string_view a = x.substr(i, ie - i);
      std::string_view b = y.substr(j, je - j);
      const size_t runA = a.size();
      const size_t runB = b.size();
      a.remove_prefix(std::min(a.find_first_not_of('0'), a.size()));
      b.remove_prefix(std::min(b.find_first_not_of('0'), b.size()));
      if (a.size() != b.size()) return a.size() < b.size();
      if (a != b) return a < b;
      if (zerosTieBreak == 0 && runA != runB) zerosTieBreak = runA < runB ? -1 : 1;
      i = ie;
      j = je;
    } else {
      if (x[i] != y[j]) return static_cast<unsigned char>(x[i]) < static_cast<unsigned char>(y[j]);
      ++i;
      ++j;
    }
  }
  if (i < x.size() || j < y.size()) return j < y.size();  // the shorter text first
  return zerosTieBreak < 0;
}

void Grid::Sort(int col, int order) {
  if (col < 0 || col >= Cols() || (order != 1 && order != 2) || DataRows() < 2) return;
  const auto c = static_cast<size_t>(col);
  // Each key is read once: a comparison must not parse numbers again.
  const size_t first = static_cast<size_t>(fixedRows_);
  std::vector<double> numbers(cells_.size() - first);
  bool allNumeric = true;
  for (size_t r = first; r < cells_.size() && allNumeric; ++r) {
    bool numeric = false;
    const auto& text = *cells_[r][c].text;
    numbers[r - first] = CellNumber(text, &numeric);
    allNumeric = numeric || text.empty();
  }
  // Sort row numbers, then move cells and row flags together so hidden and subtotal marks
  // stay with their rows.
  std::vector<size_t> rowOrder(static_cast<size_t>(DataRows()));
  for (size_t i = 0; i < rowOrder.size(); ++i) rowOrder[i] = first + i;
  std::stable_sort(rowOrder.begin(), rowOrder.end(), [&](size_t a, size_t b) {
    if (allNumeric) {
      const double x = numbers[a - first];
      const double y = numbers[b - first];
      return order == 1 ? x < y : y < x;
    }
    const auto& x = *cells_[a][c].text;
    const auto& y = *cells_[b][c].text;
    return order == 1 ? NaturalLess(x, y) : NaturalLess(y, x);
  });
  // The current row follows its data.
  if (row_ >= fixedRows_) {
    for (size_t i = 0; i < rowOrder.size(); ++i) {
      if (rowOrder[i] == static_cast<size_t>(row_)) {
        row_ = fixedRows_ + static_cast<int>(i);
        break;
      }
    }
  }
  std::vector<std::vector<StoredCell>> cells(cells_.begin(), cells_.begin() + fixedRows_);
  std::vector<char> hidden(rowHidden_.begin(), rowHidden_.begin() + fixedRows_);
  std::vector<char> subtotal(rowSubtotal_.begin(), rowSubtotal_.begin() + fixedRows_);
  for (size_t from : rowOrder) {
    cells.push_back(std::move(cells_[from]));
    hidden.push_back(rowHidden_[from]);
    subtotal.push_back(rowSubtotal_[from]);
  }
  cells_ = std::move(cells);
  rowHidden_ = std::move(hidden);
  rowSubtotal_ = std::move(subtotal);
}

void Grid::ClearSubtotals() {
  for (int r = Rows() - 1; r >= fixedRows_; --r) {
    if (rowSubtotal_[static_cast<size_t>(r)]) RemoveRow(r);
  }
}

void Grid::AddSubtotals(int groupCol, const std::vector<int>& sumCols, const std::string& caption,
                        int captionCol) {
  auto makeRow = [&](int from, int to) {
    std::vector<StoredCell> row(columns_.size());
    if (captionCol >= 0 && captionCol < Cols())
      row[static_cast<size_t>(captionCol)].text = texts_.Intern(caption);
    if (groupCol >= 0 && groupCol != captionCol) {
      row[static_cast<size_t>(groupCol)].text =
          cells_[static_cast<size_t>(from)][static_cast<size_t>(groupCol)].text;
    }
    for (int c : sumCols) {
      if (c < 0 || c >= Cols()) continue;
      std::vector<std::string_view> texts;
      texts.reserve(static_cast<size_t>(to - from + 1));
      for (int r = from; r <= to; ++r) {
        if (!rowSubtotal_[static_cast<size_t>(r)]) texts.push_back(TextMatrix(r, c));
      }
      // Amounts add up exactly; only texts no decimal sum reads fall back to the doubles.
      std::optional<std::string> exact = DecimalSum(texts);
      if (!exact) {
        double sum = 0;
        for (std::string_view text : texts) sum += CellNumber(std::string(text));
        exact = FormatNumber(sum, "");
      }
      row[static_cast<size_t>(c)].text = texts_.Intern(std::move(*exact));
    }
    return row;
  };
  auto insertAt = [&](int at, std::vector<StoredCell> row, char kind) {
    cells_.insert(cells_.begin() + at, std::move(row));
    rowHidden_.insert(rowHidden_.begin() + at, 0);
    rowSubtotal_.insert(rowSubtotal_.begin() + at, kind);
  };
  if (DataRows() <= 0) return;
  if (groupCol < 0) {
    int last = Rows() - 1;
    insertAt(Rows(), makeRow(fixedRows_, last), kGrandTotal);
    return;
  }
  int start = fixedRows_;
  for (int r = fixedRows_; r <= Rows(); ++r) {
    bool end = r == Rows() || rowSubtotal_[static_cast<size_t>(r)] ||
               TextMatrix(r, groupCol) != TextMatrix(start, groupCol);
    if (!end) continue;
    if (r > start && !rowSubtotal_[static_cast<size_t>(start)]) {
      insertAt(r, makeRow(start, r - 1), kGroupTotal);
      ++r;
    }
    start = r;
    while (start < Rows() && rowSubtotal_[static_cast<size_t>(start)]) ++start;
    r = start - 1;
    if (start >= Rows()) break;
  }
}

}  // namespace ws::forms
