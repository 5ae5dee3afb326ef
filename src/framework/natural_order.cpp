#include "framework/natural_order.h"

#include <algorithm>
#include <numeric>
#include <string>
#include <vector>

namespace ws::framework {

namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// The digit run starting at `at`, and where it ends.
std::string_view DigitRun(std::string_view text, size_t at) {
  size_t end = at;
  while (end < text.size() && IsDigit(text[end])) ++end;
  return text.substr(at, end - at);
}

std::string_view WithoutLeadingZeros(std::string_view digits) {
  const size_t first = digits.find_first_not_of('0');
  return first == std::string_view::npos ? std::string_view() : digits.substr(first);
}

}  // namespace

bool NaturalLess(std::string_view a, std::string_view b) {
  size_t i = 0;
  size_t j = 0;
  int zerosTieBreak = 0;  // < 0 when a wrote a tied number with fewer digits
  while (i < a.size() && j < b.size()) {
    if (IsDigit(a[i]) && IsDigit(b[j])) {
      const std::string_view runA = DigitRun(a, i);
      const std::string_view runB = DigitRun(b, j);
      const std::string_view valueA = WithoutLeadingZeros(runA);
      const std::string_view valueB = WithoutLeadingZeros(runB);
      if (valueA.size() != valueB.size()) return valueA.size() < valueB.size();
      if (valueA != valueB) return valueA < valueB;
      if (zerosTieBreak == 0 && runA.size() != runB.size()) {
        zerosTieBreak = runA.size() < runB.size() ? -1 : 1;
      }
      i += runA.size();
      j += runB.size();
      continue;
    }
    if (a[i] != b[j]) {
      return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]);
    }
    ++i;
    ++j;
  }
  if (i < a.size() || j < b.size()) return j < b.size();  // the shorter text first
  return zerosTieBreak < 0;
}

void SortRowsNaturally(forms::Grid& grid, int col) {
  if (col < 0 || col >= grid.Cols() || grid.DataRows() < 2) return;
  const int first = grid.FixedRows();
  std::vector<int> order(static_cast<size_t>(grid.DataRows()));
  std::iota(order.begin(), order.end(), first);
  std::stable_sort(order.begin(), order.end(), [&](int x, int y) {
    return NaturalLess(grid.TextMatrix(x, col), grid.TextMatrix(y, col));
  });
  // The rows are read out whole first: the grid moves cells only through its setters.
  std::vector<std::vector<forms::Cell>> rows;
  rows.reserve(order.size());
  for (int r : order) {
    std::vector<forms::Cell> cells;
    cells.reserve(static_cast<size_t>(grid.Cols()));
    for (int c = 0; c < grid.Cols(); ++c)
      cells.push_back({grid.TextMatrix(r, c), grid.CellKey(r, c)});
    rows.push_back(std::move(cells));
  }
  for (size_t i = 0; i < rows.size(); ++i) {
    const int r = first + static_cast<int>(i);
    for (int c = 0; c < grid.Cols(); ++c) {
      forms::Cell& cell = rows[i][static_cast<size_t>(c)];
      grid.SetTextMatrix(r, c, std::move(cell.text));
      grid.SetCellKey(r, c, std::move(cell.key));
    }
  }
}

}  // namespace ws::framework
