#include "shop/exchange/xlsx_export.h"

#include <minizip/zip.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>
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

// Level 1 of 9, measured on the report's sheet (docs/speed.md): the default level 6 takes 2.7
// times as long for a file a fifth smaller, 9 twelve times as long for a quarter.
constexpr int kDeflateLevel = 1;
// The XML handed to the deflater at a time.
constexpr size_t kXmlPiece = size_t{1} << 18;
// An entry without Zip64 fields holds less than 4 GiB; no sheet a shop reports comes near, and
// one that did would be refused rather than written broken.
// A sheet holds at most 1,048,576 rows; a file with more does not open, so the rows past it
// are left out and counted.
constexpr uint32_t kSheetRows = 1048576;
constexpr uint64_t kEntryLimit = 0xFFFFFFFFull - kXmlPiece;

// The styles every sheet has, in the order styles.xml lists them; the number formats follow,
// each as a plain and a bold style.
enum Style : int { kPlain = 0, kBold = 1, kDate = 2, kBoldDate = 3, kFirstNumber = 4 };
constexpr int kDateFormatId = 164;  // custom formats are numbered from 164 on

// Which bytes a sheet's text cannot hold as they are.
constexpr std::array<bool, 256> kSpecial = [] {
  std::array<bool, 256> special{};
  for (int c = 0; c < 0x20; ++c) special[static_cast<size_t>(c)] = c != '\t' && c != '\n';
  for (unsigned char c : {'&', '<', '>', '"', '_', '\xEF'}) special[c] = true;
  return special;
}();

bool IsHex(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

// Text as XML character data. XML 1.0 has no way to write most control characters, so they go
// in as the sheet's own escape _xHHHH_ (the spreadsheet reads the character back); a carriage
// return does too, since XML reads it as a line feed, and so does an underscore that would
// otherwise read as such an escape. U+FFFE and U+FFFF, which XML forbids as well, become
// U+FFFD like broken bytes.
void AppendXml(std::string& out, std::string_view text) {
  size_t plain = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (!kSpecial[c]) continue;
    std::string_view with;
    char escape[8];
    switch (c) {
      case '&':
        with = "&amp;";
        break;
      case '<':
        with = "&lt;";
        break;
      case '>':
        with = "&gt;";
        break;
      case '"':
        with = "&quot;";
        break;
      case '_':
        if (i + 6 < text.size() && text[i + 1] == 'x' && text[i + 6] == '_' &&
            std::all_of(text.begin() + static_cast<long>(i) + 2,
                        text.begin() + static_cast<long>(i) + 6, IsHex)) {
          with = "_x005F_";
          break;
        }
        continue;
      case 0xEF:
        if (i + 2 < text.size() && text[i + 1] == '\xBF' &&
            (text[i + 2] == '\xBE' || text[i + 2] == '\xBF')) {
          out.append(text.substr(plain, i - plain));
          out.append("\xEF\xBF\xBD");
          plain = i + 3;
          i += 2;
        }
        continue;
      default:
        std::snprintf(escape, sizeof escape, "_x%04X_", c);
        with = std::string_view(escape, 7);
    }
    out.append(text.substr(plain, i - plain));
    out.append(with);
    plain = i + 1;
  }
  out.append(text.substr(plain));
}

// A number as the sheet stores it: the shortest text that reads back as the same double.
struct NumberText {
  explicit NumberText(double value)
      : size(static_cast<size_t>(std::to_chars(text, text + sizeof text, value).ptr - text)) {}
  operator std::string_view() const { return {text, size}; }  // NOLINT: used as text
  char text[32];
  size_t size;
};

void AppendStyle(std::string& out, int style) {
  if (style == kPlain) return;
  out += " s=\"";
  out += std::to_string(style);
  out += '"';
}

// "A", "B", ... "Z", "AA": the letters of a sheet column counted from 0.
std::string ColumnLetters(size_t index) {
  std::string letters;
  for (size_t n = index + 1; n > 0; n = (n - 1) / 26) {
    letters.insert(letters.begin(), static_cast<char>('A' + (n - 1) % 26));
  }
  return letters;
}

// Days since 1899-12-30, the day the sheet's calendar counts from.
long SerialDay(const db::Date& date) {
  using namespace std::chrono;
  const sys_days day{year{date.year} / month{static_cast<unsigned>(date.month)} /
                     static_cast<unsigned>(date.day)};
  return (day - sys_days{year{1899} / December / 30}).count();
}

// A column's width as the sheet stores it: characters of the default font's digit (7 pixels)
// plus the cell's 5 pixels of padding, in 256ths, so the program shows the width asked for.
double StoredWidth(double characters) {
  constexpr double kDigit = 7;
  constexpr double kPadding = 5;
  const double pixels = characters < 1 ? std::floor(characters * (kDigit + kPadding) + 0.5)
                                       : std::floor(characters * kDigit + 0.5) + kPadding;
  return std::floor(pixels / kDigit * 256) / 256;
}

// A sheet's name holds at most 31 characters and none of []:*?/\ .
std::string SheetName(const std::string& wanted) {
  std::string name;
  size_t characters = 0;
  const std::string repaired = forms::RepairUtf8(wanted);
  for (size_t i = 0; i < repaired.size() && characters < 31; ++characters) {
    size_t length = 1;
    while (i + length < repaired.size() && (repaired[i + length] & 0xC0) == 0x80) ++length;
    const char c = repaired[i];
    name += std::string_view("[]:*?/\\").find(c) == std::string_view::npos
                ? repaired.substr(i, length)
                : std::string("_");
    i += length;
  }
  return name.empty() ? "Sheet1" : name;
}

// The time of the entries in the file: now, on the local clock as zip keeps it.
zip_fileinfo MadeNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  zip_fileinfo info{};
  info.tmz_date.tm_year = static_cast<unsigned>(local.tm_year + 1900);
  info.tmz_date.tm_mon = static_cast<unsigned>(local.tm_mon);
  info.tmz_date.tm_mday = static_cast<unsigned>(local.tm_mday);
  info.tmz_date.tm_hour = static_cast<unsigned>(local.tm_hour);
  info.tmz_date.tm_min = static_cast<unsigned>(local.tm_min);
  info.tmz_date.tm_sec = static_cast<unsigned>(local.tm_sec);
  return info;
}

constexpr std::string_view kXmlHead =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
constexpr std::string_view kMainNs = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
constexpr std::string_view kRelNs =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships";

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

// Deflates the sheet's XML on a thread of its own while the next rows are read and written out:
// deflating takes half the time reading the rows does. The rows come from the database in
// chunks, and a chunk's XML is written in a burst several times faster than it deflates; with
// room for one piece only, the reader waited out each burst's deflating and the deflater idled
// through each read, so the two took turns instead of running side by side. The queue holds
// two chunks' worth, so the memory stays a few megabytes whatever the length of the sheet.
class SheetWriter::Deflater {
 public:
  explicit Deflater(void* zip) : zip_(zip), thread_([this] { Run(); }) {}
  ~Deflater() { Stop(); }
  Deflater(const Deflater&) = delete;
  Deflater& operator=(const Deflater&) = delete;

  // Takes the text (leaving xml empty, with a spare piece's room) once the queue has room;
  // false once a write has failed.
  bool Put(std::string& xml) {
    std::unique_lock lock(mutex_);
    taken_.wait(lock, [&] { return queue_.size() < kQueuedPieces || !error_.empty(); });
    if (!error_.empty()) return false;
    queue_.push_back(std::move(xml));
    xml = std::string();
    if (!spare_.empty()) {
      std::swap(xml, spare_.back());
      spare_.pop_back();
    }
    ready_.notify_one();
    return true;
  }
  // Waits for every piece to be written; answers the error, empty on success.
  std::string Stop() {
    {
      std::lock_guard lock(mutex_);
      stop_ = true;
    }
    ready_.notify_one();
    if (thread_.joinable()) thread_.join();
    return error_;
  }

 private:
  // Two chunks of the report's rows in pieces of kXmlPiece.
  static constexpr size_t kQueuedPieces = 16;

  void Run() {
    std::string work;
    for (;;) {
      {
        std::unique_lock lock(mutex_);
        if (work.capacity() > 0 && spare_.size() < kQueuedPieces) spare_.push_back(std::move(work));
        ready_.wait(lock, [&] { return !queue_.empty() || stop_; });
        if (queue_.empty() || !error_.empty()) return;
        work = std::move(queue_.front());
        queue_.pop_front();
      }
      taken_.notify_one();
      if (zipWriteInFileInZip(zip_, work.data(), static_cast<unsigned>(work.size())) != ZIP_OK) {
        const std::string why = std::strerror(errno);
        {
          std::lock_guard lock(mutex_);
          if (error_.empty()) error_ = why.empty() ? "?" : why;
          stop_ = true;
        }
        taken_.notify_one();
        return;
      }
      work.clear();
    }
  }

  void* zip_;
  std::mutex mutex_;
  std::condition_variable ready_;  // a piece waits, or the end
  std::condition_variable taken_;  // the queue has room, or a write failed
  std::deque<std::string> queue_;
  std::vector<std::string> spare_;  // written pieces, their room kept for the next
  bool stop_ = false;
  std::string error_;
  std::thread thread_;  // last: it starts on the members above
};

struct SheetWriter::Column {
  int col;
  SheetKind kind;
  std::string ref;  // the sheet column's letters
  int number = kPlain;
  int boldNumber = kBold;
};

SheetWriter::SheetWriter(const std::filesystem::path& file, const std::string& sheetName)
    : fileName_(file.string()),
      sheetName_(SheetName(sheetName)),
      out_(std::make_unique<platform::OutputFile>(file.string())) {
  if (!out_->Ok()) {
    error_ = out_->Error();
    return;
  }
  // minizip writes the temporary file by its name; OutputFile's descriptor still names it.
  zip_ = zipOpen64(out_->TempPath().c_str(), APPEND_STATUS_CREATE);
  const zip_fileinfo made = MadeNow();
  if (!zip_ || zipOpenNewFileInZip64(zip_, "xl/worksheets/sheet1.xml", &made, nullptr, 0, nullptr,
                                     0, nullptr, Z_DEFLATED, kDeflateLevel, 0) != ZIP_OK) {
    Fail("");
    return;
  }
  deflater_ = std::make_unique<Deflater>(zip_);
  xml_.reserve(kXmlPiece * 2);
}

SheetWriter::~SheetWriter() {
  // A workbook never finished is closed into the temporary file, which OutputFile removes.
  deflater_.reset();
  if (zip_) zipClose(zip_, nullptr);
}

void SheetWriter::Fail(const std::string& why) {
  if (error_.empty()) error_ = "无法写入 " + fileName_ + (why.empty() ? "" : "：" + why);
}

void SheetWriter::Flush(bool always) {
  if (xml_.empty() || (!always && xml_.size() < kXmlPiece) || !error_.empty()) return;
  sheetBytes_ += xml_.size();
  if (sheetBytes_ > kEntryLimit) {
    Fail("表格超过 4 GB");
  } else if (!deflater_->Put(xml_)) {
    Fail(deflater_->Stop());
  }
  xml_.clear();
  xml_.reserve(kXmlPiece * 2);
}

// One style a pattern, so a sheet of many money columns lists its format once.
int SheetWriter::NumberStyle(const std::string& pattern) {
  if (pattern.empty()) return kPlain;
  auto at = std::find(patterns_.begin(), patterns_.end(), pattern);
  if (at == patterns_.end()) at = patterns_.insert(at, pattern);
  return kFirstNumber + 2 * static_cast<int>(at - patterns_.begin());
}

void SheetWriter::Text(std::string_view ref, std::string_view text, bool bold) {
  xml_ += "<c r=\"";
  xml_ += ref;
  xml_ += row_;
  xml_ += '"';
  AppendStyle(xml_, bold ? kBold : kPlain);
  // Spaces at either end are kept only when the text says so.
  auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
  const bool spaced = !text.empty() && (blank(text.front()) || blank(text.back()));
  xml_ += spaced ? " t=\"inlineStr\"><is><t xml:space=\"preserve\">" : " t=\"inlineStr\"><is><t>";
  AppendXml(xml_, text);
  xml_ += "</t></is></c>";
}

void SheetWriter::Value(std::string_view ref, std::string_view digits, int style) {
  xml_ += "<c r=\"";
  xml_ += ref;
  xml_ += row_;
  xml_ += '"';
  AppendStyle(xml_, style);
  xml_ += "><v>";
  xml_ += digits;
  xml_ += "</v></c>";
}

void SheetWriter::Start(const forms::Grid& grid, const SheetLayout* layout) {
  started_ = true;
  xml_ += kXmlHead;
  xml_ += "<worksheet xmlns=\"";
  xml_ += kMainNs;
  xml_ += "\" xmlns:r=\"";
  xml_ += kRelNs;
  // The first row stays in view as the rest scrolls.
  xml_ +=
      "\"><sheetViews><sheetView tabSelected=\"1\" workbookViewId=\"0\"><pane ySplit=\"1\" "
      "topLeftCell=\"A2\" activePane=\"bottomLeft\" state=\"frozen\"/><selection "
      "pane=\"bottomLeft\" activeCell=\"A2\" sqref=\"A2\"/></sheetView></sheetViews>"
      "<sheetFormatPr defaultRowHeight=\"15\"/>";
  std::string header = "<row r=\"1\">";
  std::string cols;
  for (int c = 0; c < grid.Cols(); ++c) {
    if (grid.ColHidden(c)) continue;
    Column out{c, SheetKindOf(grid, c), ColumnLetters(columns_.size())};
    if (out.kind == SheetKind::Number) {
      std::string pattern;
      if (auto places = Decimals(grid.Col(c).format)) {
        pattern = *places > 0 ? "0." + std::string(static_cast<size_t>(*places), '0') : "0";
      }
      out.number = NumberStyle(pattern);
      out.boldNumber = out.number + 1;
    }
    const auto shown = static_cast<size_t>(c);
    const double width = layout && shown < layout->widths.size() && layout->widths[shown] > 0
                             ? layout->widths[shown]
                             : SheetWidth(grid.ColWidth(c));
    const std::string at = std::to_string(columns_.size() + 1);
    cols += "<col min=\"" + at + "\" max=\"" + at + "\" width=\"";
    cols += NumberText(StoredWidth(width));
    cols += "\" customWidth=\"1\"/>";
    columns_.push_back(out);
    // The captions make row 1, which follows the widths in the file: gathered aside.
    std::swap(header, xml_);
    Text(out.ref, grid.Rows() > 0 ? forms::RepairUtf8(grid.ColCaption(c)) : std::string(), true);
    std::swap(header, xml_);
  }
  if (!cols.empty()) xml_ += "<cols>" + cols + "</cols>";
  xml_ += "<sheetData>";
  // The header row is numbered 1 whatever row the writer stands on.
  xml_ += header;
  xml_ += "</row>";
}

void SheetWriter::Add(const forms::Grid& grid, const SheetLayout* layout) {
  if (!error_.empty()) return;
  if (!started_) {
    // The captions are written as row 1.
    row_ = "1";
    Start(grid, layout);
  }
  for (int r = std::max(grid.FixedRows(), 1); r < grid.Rows(); ++r) {
    if (grid.RowHidden(r)) continue;
    if (sheetRow_ >= kSheetRows) {
      ++dropped_;
      continue;
    }
    const bool total = grid.IsSubtotalRow(r);
    row_ = std::to_string(sheetRow_ + 1);
    xml_ += "<row r=\"";
    xml_ += row_;
    xml_ += "\">";
    for (const Column& out : columns_) {
      const std::string& text = grid.TextMatrix(r, out.col);
      // The stand-in a date column stores for no date shows empty, as in every export.
      if (forms::TrimView(text).empty() || forms::IsNoDateStandIn(text)) {
        if (total) xml_ += "<c r=\"" + out.ref + row_ + "\" s=\"1\"/>";
        continue;
      }
      if (out.kind == SheetKind::Number) {
        if (auto value = PlainNumber(text); value && std::isfinite(*value)) {
          Value(out.ref, NumberText(*value), total ? out.boldNumber : out.number);
          continue;
        }
      }
      if (out.kind == SheetKind::Date) {
        const std::string_view trimmed = forms::TrimView(text);
        if (auto date = trimmed.size() == 10 ? db::Date::Parse(trimmed) : std::nullopt) {
          Value(out.ref, std::to_string(SerialDay(*date)), total ? kBoldDate : kDate);
          continue;
        }
      }
      if (forms::IsValidUtf8(text) && text.size() <= kCellBytes) {
        Text(out.ref, text, total);
        continue;
      }
      std::string shown = forms::RepairUtf8(text);
      if (shown.size() > kCellBytes) {
        shown = std::string(forms::CutUtf8(shown, kCellBytes - kCutMark.size())) +
                std::string(kCutMark);
        cut_.push_back("第" + row_ + "行“" + grid.ColCaption(out.col) + "”");
      }
      Text(out.ref, shown, total);
    }
    xml_ += "</row>";
    ++sheetRow_;
    Flush(false);
  }
}

bool SheetWriter::Part(const char* name, std::string_view xml) {
  const zip_fileinfo made = MadeNow();
  if (zipOpenNewFileInZip64(zip_, name, &made, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                            kDeflateLevel, 0) != ZIP_OK ||
      zipWriteInFileInZip(zip_, xml.data(), static_cast<unsigned>(xml.size())) != ZIP_OK ||
      zipCloseFileInZip(zip_) != ZIP_OK) {
    Fail(std::strerror(errno));
    return false;
  }
  return true;
}

std::string SheetWriter::Finish(std::string* notice, const SheetLayout* layout) {
  if (!error_.empty()) return error_;
  if (!started_) Add(forms::Grid("Vs"), layout);
  if (layout && !layout->totals.empty() && sheetRow_ >= kSheetRows) {
    ++dropped_;
  } else if (layout && !layout->totals.empty()) {
    row_ = std::to_string(sheetRow_ + 1);
    xml_ += "<row r=\"" + row_ + "\">";
    for (const Column& out : columns_) {
      const auto col = static_cast<size_t>(out.col);
      const std::string text = col < layout->totals.size() ? layout->totals[col] : std::string();
      if (auto value = PlainNumber(text);
          value && std::isfinite(*value) && out.kind == SheetKind::Number) {
        Value(out.ref, NumberText(*value), out.boldNumber);
      } else if (!text.empty()) {
        Text(out.ref, forms::RepairUtf8(text), true);
      } else {
        xml_ += "<c r=\"" + out.ref + row_ + "\" s=\"1\"/>";
      }
    }
    xml_ += "</row>";
  }
  xml_ += "</sheetData></worksheet>";
  Flush(true);
  if (!error_.empty()) return error_;
  if (std::string failure = deflater_->Stop(); !failure.empty()) {
    Fail(failure);
    return error_;
  }
  if (zipCloseFileInZip(zip_) != ZIP_OK) {
    Fail(std::strerror(errno));
    return error_;
  }

  std::string styles = std::string(kXmlHead) + "<styleSheet xmlns=\"" + std::string(kMainNs) +
                       "\"><numFmts count=\"" + std::to_string(patterns_.size() + 1) +
                       "\"><numFmt numFmtId=\"" + std::to_string(kDateFormatId) +
                       "\" formatCode=\"yyyy-mm-dd\"/>";
  for (size_t i = 0; i < patterns_.size(); ++i) {
    styles += "<numFmt numFmtId=\"" + std::to_string(kDateFormatId + 1 + i) + "\" formatCode=\"";
    AppendXml(styles, patterns_[i]);
    styles += "\"/>";
  }
  styles +=
      "</numFmts><fonts count=\"2\"><font><sz val=\"11\"/><name val=\"Calibri\"/><family "
      "val=\"2\"/></font><font><b/><sz val=\"11\"/><name val=\"Calibri\"/><family "
      "val=\"2\"/></font></fonts><fills count=\"2\"><fill><patternFill "
      "patternType=\"none\"/></fill><fill><patternFill patternType=\"gray125\"/></fill></fills>"
      "<borders count=\"1\"><border><left/><right/><top/><bottom/><diagonal/></border></borders>"
      "<cellStyleXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" "
      "borderId=\"0\"/></cellStyleXfs><cellXfs count=\"" +
      std::to_string(kFirstNumber + 2 * patterns_.size()) + "\">";
  auto xf = [&](size_t format, bool bold) {
    styles += "<xf numFmtId=\"" + std::to_string(format) + "\" fontId=\"" + (bold ? "1" : "0") +
              "\" fillId=\"0\" borderId=\"0\" xfId=\"0\"" +
              (format ? " applyNumberFormat=\"1\"" : "") + (bold ? " applyFont=\"1\"" : "") + "/>";
  };
  xf(0, false);
  xf(0, true);
  xf(kDateFormatId, false);
  xf(kDateFormatId, true);
  for (size_t i = 0; i < patterns_.size(); ++i) {
    xf(kDateFormatId + 1 + i, false);
    xf(kDateFormatId + 1 + i, true);
  }
  styles +=
      "</cellXfs><cellStyles count=\"1\"><cellStyle name=\"Normal\" xfId=\"0\" "
      "builtinId=\"0\"/></cellStyles></styleSheet>";

  std::string workbook = std::string(kXmlHead) + "<workbook xmlns=\"" + std::string(kMainNs) +
                         "\" xmlns:r=\"" + std::string(kRelNs) +
                         "\"><bookViews><workbookView/></bookViews><sheets><sheet name=\"";
  AppendXml(workbook, sheetName_);
  workbook += "\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>";

  const std::string relations =
      std::string(kXmlHead) +
      "<Relationships "
      "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">";
  const std::string relation = "<Relationship Id=\"rId1\" Type=\"" + std::string(kRelNs);
  const std::string types =
      std::string(kXmlHead) +
      "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
      "<Default Extension=\"rels\" "
      "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
      "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
      "<Override PartName=\"/xl/workbook.xml\" "
      "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/>"
      "<Override PartName=\"/xl/worksheets/sheet1.xml\" "
      "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml\"/>"
      "<Override PartName=\"/xl/styles.xml\" "
      "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml\"/>"
      "</Types>";
  const bool parts =
      Part("xl/styles.xml", styles) && Part("xl/workbook.xml", workbook) &&
      Part("xl/_rels/workbook.xml.rels",
           relations + relation + "/worksheet\" Target=\"worksheets/sheet1.xml\"/>" +
               "<Relationship Id=\"rId2\" Type=\"" + std::string(kRelNs) +
               "/styles\" Target=\"styles.xml\"/></Relationships>") &&
      Part("_rels/.rels", relations + relation + "/officeDocument\" Target=\"xl/workbook.xml\"/>" +
                              "</Relationships>") &&
      Part("[Content_Types].xml", types);
  const int closed = zipClose(zip_, nullptr);
  zip_ = nullptr;
  if (!parts) return error_;
  if (closed != ZIP_OK) {
    Fail(std::strerror(errno));
    return error_;
  }
  if (std::string failure = out_->Commit(); !failure.empty()) return failure;
  if (notice && !cut_.empty()) {
    *notice = "以下单元格超过 Excel 每格 32767 字符的上限，已截断并以“" + std::string(kCutMark) +
              "”结尾：";
    for (size_t i = 0; i < cut_.size(); ++i) *notice += (i ? "、" : "") + cut_[i];
  }
  if (notice && dropped_ > 0) {
    *notice += (notice->empty() ? "" : "\n") + std::string("表格超过 Excel 每表 ") +
               std::to_string(kSheetRows) + " 行的上限，其后 " + std::to_string(dropped_) +
               " 行未写入。";
  }
  return {};
}

std::string WriteGridXlsx(const forms::Grid& grid, const std::filesystem::path& file,
                          const std::string& sheetName, std::string* notice,
                          const SheetLayout* layout) {
  SheetWriter writer(file, sheetName);
  writer.Add(grid, layout);
  return writer.Finish(notice, layout);
}

}  // namespace ws::shop
