#include "desk/grid_columns.h"

#include <initializer_list>
#include <string_view>

#include "forms/number_format.h"
#include "forms/text.h"
#include "grid/layout.h"

namespace ws::desk {

namespace {

// The host's right-aligned codes: right top, right centre, right bottom.
constexpr int kFirstRightAlignment = 6;
constexpr int kLastRightAlignment = 8;

bool HasAny(std::string_view caption, std::initializer_list<std::string_view> words) {
  for (std::string_view word : words) {
    if (caption.find(word) != std::string_view::npos) return true;
  }
  return false;
}

// A cell written as a plain number: what a money column may show with two decimals. A text
// such as "12kg" stays as it is.
bool IsPlainNumber(std::string_view text) {
  text = forms::TrimView(text);
  if (text.empty()) return false;
  return text.find_first_not_of("0123456789.-+") == std::string_view::npos &&
         forms::ReadLeadingNumber(text).has_value();
}

}  // namespace

ColumnTraits TraitsOf(const forms::Grid& grid, int col) {
  const forms::Column& column = grid.Col(col);
  const std::string caption = forms::Trim(grid.ColCaption(col));
  ColumnTraits t;
  t.date = HasAny(caption, {"日期", "时间"});
  t.code = HasAny(caption, {"号码", "编号", "单号", "编码", "车牌", "批次"});
  // Stock levels, prices and rates are read one line at a time: a total of them means nothing.
  const bool neverSummed = HasAny(caption, {"价", "率", "折扣", "库存", "ID", "id", "行号"});
  // The receivables' age buckets ("0-30天", "90天以上") and what is owed are money too.
  const bool owed = HasAny(caption, {"欠款"}) || forms::EndsWith(caption, "天") ||
                    forms::EndsWith(caption, "天以上");
  t.sum =
      !neverSummed && !t.code && !t.date &&
      (owed || HasAny(caption, {"金额", "数量", "费", "合计", "余额", "成本", "核销", "工时"}) ||
       forms::EndsWith(caption, "领用数") || forms::EndsWith(caption, "装箱数"));
  t.money = !t.code && !t.date &&
            (owed || HasAny(caption, {"金额", "费", "合计", "余额", "价", "核销额"}));
  // Quantities that are never summed (stock on hand, mileage) are still numbers.
  t.number = t.sum || t.money || !column.format.empty() ||
             HasAny(caption, {"数量", "库存数", "公里数"}) ||
             grid::IsNumericDataType(column.dataType) ||
             (column.alignment >= kFirstRightAlignment && column.alignment <= kLastRightAlignment &&
              !t.code && !t.date);
  t.tick = caption == "选择";
  t.optional = HasAny(caption, {"辅助", "装箱"}) ||
               HasAny(caption, {"货位", "颜色", "特性", "尺寸", "批次", "规格", "说明", "源单"});
  return t;
}

bool HasTickColumn(const forms::Grid& grid) {
  for (int c = 0; c < grid.Cols(); ++c) {
    if (TraitsOf(grid, c).tick) return true;
  }
  return false;
}

std::string ShownText(const forms::Grid& grid, int row, int col, const ColumnTraits& traits) {
  const std::string& text = grid.TextMatrix(row, col);
  if (forms::IsNoDateStandIn(text)) return {};
  if (traits.money && grid.Col(col).format.empty() && IsPlainNumber(text)) {
    return forms::FormatNumber(*forms::ReadLeadingNumber(forms::TrimView(text)), "0.00");
  }
  return grid.DisplayText(row, col);
}

bool ColumnUnused(const forms::Grid& grid, int col, const ColumnTraits& traits) {
  bool anyRow = false;
  for (int r = grid.FixedRows(); r < grid.Rows(); ++r) {
    if (grid.RowHidden(r) || grid.IsSubtotalRow(r)) continue;
    anyRow = true;
    const std::string_view text = forms::TrimView(grid.TextMatrix(r, col));
    if (text.empty()) continue;
    if (traits.number && IsPlainNumber(text) && *forms::ReadLeadingNumber(text) == 0) continue;
    return false;
  }
  return anyRow;
}

std::string ColumnTotal(const forms::Grid& grid, int col, const ColumnTraits& traits) {
  double total = 0;
  bool any = false;
  for (int r = grid.FixedRows(); r < grid.Rows(); ++r) {
    if (grid.RowHidden(r) || grid.IsSubtotalRow(r)) continue;
    if (auto value = forms::ReadLeadingNumber(grid.TextMatrix(r, col))) {
      total += *value;
      any = true;
    }
  }
  if (!any) return {};
  const std::string& format = grid.Col(col).format;
  if (!format.empty()) return forms::FormatNumber(total, format);
  // Doubles added up carry binary noise past the cent; the shown decimals round it away.
  return forms::FormatNumber(total, traits.money ? "0.00" : "0.##########");
}

}  // namespace ws::desk
