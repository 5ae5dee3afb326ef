#include "shop/exchange/xlsx_export.h"

#include <xlsxwriter.h>

#include <algorithm>
#include <charconv>
#include <optional>
#include <vector>

#include "db/date.h"
#include "forms/text.h"
#include "grid/layout.h"
#include "platform/output_file.h"

namespace ws::shop {

namespace {

constexpr int kDateDataType = 7;
// A sheet cell holds at most 32,767 characters; the writer counts bytes, so the cut is made
// there, before a character that would not fit whole, and marked.
constexpr size_t kCellBytes = 32767;
constexpr std::string_view kCutMark = "…（已截断）";

std::optional<double> PlainNumber(std::string_view text) {
  text = forms::TrimView(text);
  if (text.empty()) return std::nullopt;
  // A leading zero before a digit ("007") is a code, not a number.
  const size_t digits = text[0] == '-' ? 1 : 0;
  if (text.size() > digits + 1 && text[digits] == '0' && text[digits + 1] != '.') {
    return std::nullopt;
  }
  double value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

bool IsDate(std::string_view text) {
  text = forms::TrimView(text);
  return text.size() == 10 && db::Date::Parse(text).has_value();
}

bool NamesACode(const std::string& caption) {
  for (const char* word : {"号", "码", "电话", "ID", "id"}) {
    if (caption.find(word) != std::string::npos) return true;
  }
  return false;
}

// "###.00" and the like: the places after the point, nullopt for a format without one.
std::optional<int> Decimals(const std::string& format) {
  if (format.empty()) return std::nullopt;
  const size_t dot = format.find('.');
  return dot == std::string::npos ? 0 : static_cast<int>(format.size() - dot - 1);
}

// A sheet column is as wide as the grid's in characters of the narrow font.
double SheetWidth(int twips) {
  return std::max(4.0, static_cast<double>(twips) / forms::Grid::WidthOfColumns(1));
}

}  // namespace

SheetKind SheetKindOf(const forms::Grid& grid, int col) {
  const forms::Column& column = grid.Col(col);
  if (grid::IsNumericDataType(column.dataType)) return SheetKind::Number;
  if (column.dataType == kDateDataType) return SheetKind::Date;
  bool numbers = true;
  bool dates = true;
  bool filled = false;
  for (int row = grid.FixedRows(); row < grid.Rows(); ++row) {
    if (grid.IsSubtotalRow(row)) continue;
    const std::string& text = grid.TextMatrix(row, col);
    if (forms::TrimView(text).empty() || forms::IsNoDateStandIn(text)) continue;
    filled = true;
    numbers = numbers && PlainNumber(text).has_value();
    dates = dates && IsDate(text);
    if (!numbers && !dates) break;
  }
  if (!filled) return column.format.empty() ? SheetKind::Text : SheetKind::Number;
  if (dates) return SheetKind::Date;
  if (numbers && (!column.format.empty() || !NamesACode(grid.ColCaption(col)))) {
    return SheetKind::Number;
  }
  return SheetKind::Text;
}

struct SheetWriter::Column {
  int col;
  SheetKind kind;
  lxw_format* number = nullptr;
  lxw_format* boldNumber = nullptr;
};

SheetWriter::SheetWriter(const std::filesystem::path& file, const std::string& sheetName,
                         bool constantMemory)
    : fileName_(file.string()), out_(std::make_unique<platform::OutputFile>(file.string())) {
  if (!out_->Ok()) {
    error_ = out_->Error();
    return;
  }
  lxw_workbook_options options{};
  options.constant_memory = constantMemory ? LXW_TRUE : LXW_FALSE;
  // The rows waiting to go into the file sit beside it, not in a system folder that may be
  // small.
  tempFolder_ = file.parent_path().empty() ? "." : file.parent_path().string();
  options.tmpdir = tempFolder_.data();
  book_ = workbook_new_opt(out_->TempPath().c_str(), &options);
  if (!book_) {
    error_ = "无法写入 " + fileName_;
    return;
  }
  sheet_ = workbook_add_worksheet(book_, sheetName.empty() ? nullptr : sheetName.c_str());
  bold_ = workbook_add_format(book_);
  format_set_bold(bold_);
  dateFormat_ = workbook_add_format(book_);
  format_set_num_format(dateFormat_, "yyyy-mm-dd");
  boldDate_ = workbook_add_format(book_);
  format_set_num_format(boldDate_, "yyyy-mm-dd");
  format_set_bold(boldDate_);
}

SheetWriter::~SheetWriter() {
  // A workbook never finished is closed into the temporary file, which OutputFile removes.
  if (book_) workbook_close(book_);
}

// One format object for each pattern: the library looks up a format it has not numbered yet
// by a hash of its whole self at every cell it writes, and numbers only the first of several
// alike, so five money columns with formats of their own cost a hash each per cell.
lxw_format* SheetWriter::NumberFormat(const std::string& pattern, bool bold) {
  // Without a pattern a format is the default or the bold one, which are numbered already.
  if (pattern.empty()) return bold ? bold_ : nullptr;
  lxw_format*& format = numberFormats_[{pattern, bold}];
  if (!format) {
    format = workbook_add_format(book_);
    if (bold) format_set_bold(format);
    format_set_num_format(format, pattern.c_str());
  }
  return format;
}

void SheetWriter::Start(const forms::Grid& grid, const SheetLayout* layout) {
  started_ = true;
  for (int c = 0; c < grid.Cols(); ++c) {
    if (grid.ColHidden(c)) continue;
    Column out{c, SheetKindOf(grid, c)};
    if (out.kind == SheetKind::Number) {
      std::string pattern;
      if (auto places = Decimals(grid.Col(c).format)) {
        pattern = *places > 0 ? "0." + std::string(static_cast<size_t>(*places), '0') : "0";
      }
      out.number = NumberFormat(pattern, false);
      out.boldNumber = NumberFormat(pattern, true);
    }
    const auto at = static_cast<lxw_col_t>(columns_.size());
    const auto shown = static_cast<size_t>(c);
    const double width = layout && shown < layout->widths.size() && layout->widths[shown] > 0
                             ? layout->widths[shown]
                             : SheetWidth(grid.ColWidth(c));
    worksheet_set_column(sheet_, at, at, width, nullptr);
    worksheet_write_string(sheet_, 0, at, grid.Rows() > 0 ? grid.ColCaption(c).c_str() : "", bold_);
    columns_.push_back(out);
  }
  worksheet_freeze_panes(sheet_, 1, 0);
}

void SheetWriter::Add(const forms::Grid& grid, const SheetLayout* layout) {
  if (!error_.empty()) return;
  if (!started_) Start(grid, layout);
  for (int row = std::max(grid.FixedRows(), 1); row < grid.Rows(); ++row) {
    if (grid.RowHidden(row)) continue;
    const bool total = grid.IsSubtotalRow(row);
    for (size_t i = 0; i < columns_.size(); ++i) {
      const Column& out = columns_[i];
      const auto at = static_cast<lxw_col_t>(i);
      const std::string& text = grid.TextMatrix(row, out.col);
      // The stand-in a date column stores for no date shows empty, as in every export.
      if (forms::TrimView(text).empty() || forms::IsNoDateStandIn(text)) {
        if (total) worksheet_write_blank(sheet_, sheetRow_, at, bold_);
        continue;
      }
      if (out.kind == SheetKind::Number) {
        if (auto value = PlainNumber(text)) {
          worksheet_write_number(sheet_, sheetRow_, at, *value,
                                 total ? out.boldNumber : out.number);
          continue;
        }
      }
      if (out.kind == SheetKind::Date) {
        if (auto date = db::Date::Parse(forms::TrimView(text)); date && IsDate(text)) {
          lxw_datetime when{date->year, date->month, date->day, 0, 0, 0};
          worksheet_write_datetime(sheet_, sheetRow_, at, &when, total ? boldDate_ : dateFormat_);
          continue;
        }
      }
      std::string shown = forms::RepairUtf8(text);
      if (shown.size() > kCellBytes) {
        shown = std::string(forms::CutUtf8(shown, kCellBytes - kCutMark.size())) +
                std::string(kCutMark);
        cut_.push_back("第" + std::to_string(sheetRow_ + 1) + "行“" + grid.ColCaption(out.col) +
                       "”");
      }
      worksheet_write_string(sheet_, sheetRow_, at, shown.c_str(), total ? bold_ : nullptr);
    }
    ++sheetRow_;
  }
}

std::string SheetWriter::Finish(std::string* notice, const SheetLayout* layout) {
  if (!error_.empty()) return error_;
  if (!started_) Start(forms::Grid("Vs"), layout);
  if (layout && !layout->totals.empty()) {
    for (size_t i = 0; i < columns_.size(); ++i) {
      const auto col = static_cast<size_t>(columns_[i].col);
      const std::string text = col < layout->totals.size() ? layout->totals[col] : std::string();
      const auto at = static_cast<lxw_col_t>(i);
      if (auto value = PlainNumber(text); value && columns_[i].kind == SheetKind::Number) {
        worksheet_write_number(sheet_, sheetRow_, at, *value, columns_[i].boldNumber);
      } else if (!text.empty()) {
        worksheet_write_string(sheet_, sheetRow_, at, text.c_str(), bold_);
      } else {
        worksheet_write_blank(sheet_, sheetRow_, at, bold_);
      }
    }
  }
  const lxw_error error = workbook_close(book_);
  book_ = nullptr;
  if (error != LXW_NO_ERROR) return "无法写入 " + fileName_ + "：" + lxw_strerror(error);
  if (std::string failure = out_->Commit(); !failure.empty()) return failure;
  if (notice && !cut_.empty()) {
    *notice = "以下单元格超过 Excel 每格 32767 字符的上限，已截断并以“" + std::string(kCutMark) +
              "”结尾：";
    for (size_t i = 0; i < cut_.size(); ++i) *notice += (i ? "、" : "") + cut_[i];
  }
  return {};
}

std::string WriteGridXlsx(const forms::Grid& grid, const std::filesystem::path& file,
                          const std::string& sheetName, std::string* notice,
                          const SheetLayout* layout) {
  SheetWriter writer(file, sheetName, false);
  writer.Add(grid, layout);
  return writer.Finish(notice, layout);
}

}  // namespace ws::shop
