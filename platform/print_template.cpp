#include "platform/print_template.h"

#include <algorithm>
#include <fstream>
#include <locale>
#include <map>
#include <set>
#include <sstream>

#include "db/runner.h"
#include "forms/text.h"
#include "platform/amount_words.h"
#include "platform/html_text.h"

namespace ws::platform {

// Generated from templates/print/*.html: file name without ".html" → text.
const std::map<std::string, std::string>& BuiltInTemplateFiles();

namespace {

constexpr const char* kHidden = "***";
constexpr size_t kValueColumns = 2;  // name/value pairs per line of {{values}}

// A print shows no date where the row stores the stand-in for none.
std::string Shown(const std::string& value) {
  return forms::IsNoDateStandIn(value) ? std::string() : value;
}

// Longer texts wrap rather than squeeze every other column of a wide report.
constexpr size_t kWidestColumn = 12;

size_t LineOf(const std::string& text, size_t pos) {
  return 1 + static_cast<size_t>(std::count(text.begin(), text.begin() + pos, '\n'));
}

// Columns to show: all but those the form hides, which print data writes as "***" in every row.
std::vector<size_t> ShownColumns(const PrintTable& table) {
  std::vector<size_t> shown;
  for (size_t c = 0; c < table.columns.size(); ++c) {
    bool hidden = !table.rows.empty();
    for (const auto& row : table.rows) {
      if (c < row.size() && row[c] != kHidden) {
        hidden = false;
        break;
      }
    }
    if (!hidden) shown.push_back(c);
  }
  return shown;
}

// Columns as wide as a glyph of CJK text takes two of a digit.
size_t DisplayWidth(const std::string& text) {
  size_t width = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if ((byte & 0xC0) == 0x80) continue;  // continuation byte
    width += byte >= 0xE0 ? 2 : 1;        // three- and four-byte sequences: CJK and wider
  }
  return width;
}

// Each column's share of the page width, from its longest cell (a header may wrap onto two
// lines), so a code or a number keeps its line while a long name wraps.
std::vector<int> ColumnPercents(const PrintTable& table, const std::vector<size_t>& shown) {
  std::vector<size_t> weights;
  size_t total = 0;
  for (size_t c : shown) {
    size_t weight = std::max<size_t>((DisplayWidth(table.columns[c]) + 1) / 2, 4);
    for (const auto& row : table.rows) {
      // One more for the cell's padding, so a figure as wide as its column does not wrap.
      if (c < row.size()) weight = std::max(weight, DisplayWidth(row[c]) + 1);
    }
    weights.push_back(weight);
    total += std::min(weight, kWidestColumn);
  }
  std::vector<int> percents;
  for (size_t weight : weights) {
    const size_t share = std::min(weight, kWidestColumn) * 100 / std::max<size_t>(total, 1);
    percents.push_back(std::max(1, static_cast<int>(share)));
  }
  return percents;
}

bool IsNumber(std::string_view text) {
  size_t i = text.starts_with('-') ? 1 : 0;
  bool digits = false;
  bool point = false;
  for (; i < text.size(); ++i) {
    if (text[i] >= '0' && text[i] <= '9') {
      digits = true;
    } else if (text[i] == '.' && !point) {
      point = true;
    } else {
      return false;
    }
  }
  return digits;
}

// Quantities, prices and amounts line up on the right; numbers, codes and line numbers that
// merely look like figures ("工单号码", "物品编码", "行号") stay where a reader looks for them.
bool RightAligned(const PrintTable& table, size_t c) {
  const std::string& name = table.columns[c];
  if (name.find("号") != std::string::npos || name.find("编码") != std::string::npos) return false;
  bool any = false;
  for (const auto& row : table.rows) {
    if (c >= row.size() || row[c].empty()) continue;
    if (!IsNumber(row[c])) return false;
    any = true;
  }
  return any;
}

constexpr const char* kNoWrap = " style=\"white-space: nowrap\"";

// A figure, a code, a date, a plate or a VIN is read whole: "4520" never prints as "452" over
// "0". A text with a blank, or a name longer than a few characters, may wrap.
bool KeepsItsLine(const std::string& text) {
  if (text.find(' ') != std::string::npos) return false;
  const bool latin = std::all_of(text.begin(), text.end(),
                                 [](char ch) { return static_cast<unsigned char>(ch) < 0x80; });
  return DisplayWidth(text) <= (latin ? 24 : 10);
}

std::string TableHtml(const PrintTable& table, const std::vector<std::string>& chosen) {
  std::vector<size_t> shown;
  if (chosen.empty()) {
    shown = ShownColumns(table);
  } else {
    for (const auto& name : chosen) {
      auto found = std::find(table.columns.begin(), table.columns.end(), name);
      if (found != table.columns.end()) {
        shown.push_back(static_cast<size_t>(found - table.columns.begin()));
      }
    }
  }
  std::string html =
      "<table class=\"grid\" width=\"100%\" border=\"1\" cellspacing=\"0\" cellpadding=\"2\">"
      "<tr>";
  const std::vector<int> percents = ColumnPercents(table, shown);
  std::vector<bool> right;
  for (size_t c : shown) right.push_back(RightAligned(table, c));
  // A column title is read across, never a character a line.
  for (size_t i = 0; i < shown.size(); ++i) {
    html += "<th width=\"" + std::to_string(percents[i]) + "%\"" + kNoWrap + ">" +
            HtmlEscape(table.columns[shown[i]]) + "</th>";
  }
  html += "</tr>";
  for (const auto& row : table.rows) {
    html += "<tr>";
    for (size_t i = 0; i < shown.size(); ++i) {
      const size_t c = shown[i];
      const std::string text = c < row.size() ? Shown(row[c]) : std::string();
      html += std::string("<td") + (right[i] ? " align=\"right\"" : "") +
              (KeepsItsLine(text) ? kNoWrap : "") + ">" + HtmlEscape(text) + "</td>";
    }
    html += "</tr>";
  }
  return html + "</table>";
}

std::string ValuesHtml(const std::vector<const std::pair<std::string, std::string>*>& values) {
  if (values.empty()) return {};
  std::string html = "<table class=\"values\" width=\"100%\" cellpadding=\"2\">";
  for (size_t i = 0; i < values.size(); i += kValueColumns) {
    html += "<tr>";
    for (size_t j = i; j < i + kValueColumns; ++j) {
      if (j < values.size()) {
        html += "<td class=\"name\">" + HtmlEscape(values[j]->first) + "：</td><td>" +
                HtmlEscape(Shown(values[j]->second)) + "</td>";
      } else {
        html += "<td></td><td></td>";
      }
    }
    html += "</tr>";
  }
  return html + "</table>";
}

// A value in capital words when the whole text is a number; otherwise (a hidden "***", a
// label's caption) the text itself, so the page never shows words for something else.
std::string WordsOf(const std::string& value) {
  const std::string text = forms::Trim(value);
  if (text.empty()) return {};
  std::istringstream in(text);
  in.imbue(std::locale::classic());
  double amount = 0;
  if (!(in >> amount) || in.peek() != std::char_traits<char>::eof()) return value;
  return AmountInWords(db::Amount::Of(text));
}

}  // namespace

std::string HtmlEscape(const std::string& text) {
  // A printed value keeps its line breaks; carriage returns go.
  std::string plain;
  for (char c : text) {
    if (c != '\r') plain += c;
  }
  std::string out;
  size_t start = 0;
  for (size_t end; (end = plain.find('\n', start)) != std::string::npos; start = end + 1) {
    out += HtmlEscaped(std::string_view(plain).substr(start, end - start)) + "<br>";
  }
  return out + HtmlEscaped(std::string_view(plain).substr(start));
}

std::string ShopHeadingHtml(const PrintHeader& header) {
  std::string lines;
  auto line = [&](const char* caption, const std::string& text) {
    if (text.empty()) return;
    if (!lines.empty()) lines += "　　";
    lines += caption + HtmlEscape(text);
  };
  line("地址：", header.shopAddress);
  line("电话：", header.shopPhone);
  line("税号：", header.shopTaxNumber);
  std::string html;
  if (!header.shopName.empty()) {
    html += "<p class=\"shop-name\" align=\"center\">" + HtmlEscape(header.shopName) + "</p>\n";
  }
  if (!lines.empty()) html += "<p class=\"shop-line\" align=\"center\">" + lines + "</p>\n";
  return html;
}

PrintHeader PrintHeaderFromSystem(host::ISystem& system, const std::string& title) {
  PrintHeader header;
  header.shopName = system.GetOption(12, kShopNameOption);
  header.shopAddress = system.GetOption(12, kShopAddressOption);
  header.shopPhone = system.GetOption(12, kShopPhoneOption);
  header.shopTaxNumber = system.GetOption(12, kShopTaxNumberOption);
  header.title = title;
  const host::LoginInfo login = system.GetLoginInfo();
  header.user = login.userName;
  header.date = login.loginDate.Text();
  return header;
}

namespace {

// A part is the built-in file of its name; a part naming another part is refused, so parts
// never loop.
constexpr const char* kPartWord = "part ";

}  // namespace

PrintTemplate PrintTemplate::Parse(const std::string& text) {
  return ParseWithParts(text, true);
}

PrintTemplate PrintTemplate::ParseWithParts(const std::string& text, bool partsAllowed) {
  static const std::map<std::string, Kind> kWords = {{"shop.name", Kind::ShopName},
                                                     {"shop.address", Kind::ShopAddress},
                                                     {"shop.phone", Kind::ShopPhone},
                                                     {"shop.taxno", Kind::ShopTaxNumber},
                                                     {"shop", Kind::ShopHeading},
                                                     {"title", Kind::Title},
                                                     {"user", Kind::User},
                                                     {"date", Kind::Date},
                                                     {"values", Kind::Values},
                                                     {"tables", Kind::Tables}};
  PrintTemplate page;
  size_t pos = 0;
  while (pos < text.size()) {
    const size_t open = text.find("{{", pos);
    if (open == std::string::npos) {
      page.pieces_.push_back({Kind::Text, text.substr(pos), {}});
      break;
    }
    if (open > pos) page.pieces_.push_back({Kind::Text, text.substr(pos, open - pos), {}});
    const size_t close = text.find("}}", open + 2);
    const size_t nextOpen = text.find("{{", open + 2);
    if (close == std::string::npos || (nextOpen != std::string::npos && nextOpen < close)) {
      page.error_ = "line " + std::to_string(LineOf(text, open)) + ": \"{{\" without \"}}\"";
      page.pieces_.clear();
      return page;
    }
    const std::string inner = forms::Trim(text.substr(open + 2, close - open - 2));
    if (auto word = kWords.find(inner); word != kWords.end()) {
      page.pieces_.push_back({word->second, {}, {}});
    } else if (inner.rfind(kPartWord, 0) == 0 && partsAllowed) {
      const std::string name = forms::Trim(inner.substr(5));
      const auto& files = BuiltInTemplateFiles();
      const auto file = files.find(name);
      PrintTemplate part;
      if (file == files.end()) {
        part.error_ = "no built-in part \"" + name + "\"";
      } else {
        part = ParseWithParts(file->second, false);
      }
      if (!part.error_.empty()) {
        page.error_ =
            "line " + std::to_string(LineOf(text, open)) + ": part " + name + ": " + part.error_;
        page.pieces_.clear();
        return page;
      }
      page.pieces_.insert(page.pieces_.end(), part.pieces_.begin(), part.pieces_.end());
    } else if (inner.rfind("value ", 0) == 0 && !forms::Trim(inner.substr(6)).empty()) {
      page.pieces_.push_back({Kind::Value, forms::Trim(inner.substr(6)), {}});
    } else if (inner.rfind("words ", 0) == 0 && !forms::Trim(inner.substr(6)).empty()) {
      page.pieces_.push_back({Kind::Words, forms::Trim(inner.substr(6)), {}});
    } else if (inner.rfind("table ", 0) == 0 && !forms::Trim(inner.substr(6)).empty()) {
      std::istringstream words(inner.substr(6));
      Piece piece{Kind::Table, {}, {}};
      words >> piece.text;
      for (std::string column; words >> column;) piece.columns.push_back(column);
      page.pieces_.push_back(std::move(piece));
    } else {
      page.error_ =
          "line " + std::to_string(LineOf(text, open)) + ": unknown placeholder {{" + inner + "}}";
      page.pieces_.clear();
      return page;
    }
    pos = close + 2;
  }
  return page;
}

std::string PrintTemplate::Render(const PrintFile& file, const PrintHeader& header) const {
  std::set<std::string> namedValues;
  std::set<std::string> namedTables;
  for (const auto& piece : pieces_) {
    if (piece.kind == Kind::Value) namedValues.insert(piece.text);
    if (piece.kind == Kind::Table) namedTables.insert(piece.text);
  }
  std::string html;
  for (const auto& piece : pieces_) {
    switch (piece.kind) {
      case Kind::Text:
        html += piece.text;
        break;
      case Kind::ShopName:
        html += HtmlEscape(header.shopName);
        break;
      case Kind::ShopAddress:
        html += HtmlEscape(header.shopAddress);
        break;
      case Kind::ShopPhone:
        html += HtmlEscape(header.shopPhone);
        break;
      case Kind::ShopTaxNumber:
        html += HtmlEscape(header.shopTaxNumber);
        break;
      case Kind::ShopHeading:
        html += ShopHeadingHtml(header);
        break;
      case Kind::Title:
        html += HtmlEscape(header.title);
        break;
      case Kind::User:
        html += HtmlEscape(header.user);
        break;
      case Kind::Date:
        html += HtmlEscape(header.date);
        break;
      case Kind::Value:
        if (const std::string* value = file.Value(piece.text)) html += HtmlEscape(Shown(*value));
        break;
      case Kind::Words:
        if (const std::string* value = file.Value(piece.text)) html += HtmlEscape(WordsOf(*value));
        break;
      case Kind::Values: {
        std::vector<const std::pair<std::string, std::string>*> rest;
        for (const auto& value : file.values) {
          if (!namedValues.count(value.first)) rest.push_back(&value);
        }
        html += ValuesHtml(rest);
        break;
      }
      case Kind::Table:
        if (const PrintTable* table = file.Table(piece.text))
          html += TableHtml(*table, piece.columns);
        break;
      case Kind::Tables:
        for (const auto& table : file.tables) {
          if (!namedTables.count(table.name)) html += "<p></p>" + TableHtml(table, {});
        }
        break;
    }
  }
  return html;
}

PrintTemplate::Names PrintTemplate::Named() const {
  Names names;
  for (const auto& piece : pieces_) {
    if (piece.kind == Kind::Value || piece.kind == Kind::Words) names.values.insert(piece.text);
    if (piece.kind == Kind::Table) names.tables[piece.text] = piece.columns;
    if (piece.kind == Kind::Values) names.restOfValues = true;
    if (piece.kind == Kind::Tables) names.restOfTables = true;
  }
  return names;
}

const std::string& BuiltInTemplate(int64_t programNumber, PrintKind kind) {
  const auto& files = BuiltInTemplateFiles();
  if (auto own = files.find(std::to_string(programNumber)); own != files.end()) return own->second;
  return files.at(kind == PrintKind::Report ? "report" : "document");
}

namespace {

db::Sql ShopTemplateQuery(int64_t programNumber) {
  return db::Sql("SELECT html FROM ws_print_template WHERE program=").Key(programNumber);
}

}  // namespace

LoadedTemplate LoadPrintTemplate(db::IDatabase& shop, int64_t programNumber, PrintKind kind) {
  LoadedTemplate loaded;
  std::string error;
  auto rs = db::Runner(shop).Open(ShopTemplateQuery(programNumber), &error);
  if (!error.empty()) {
    loaded.error = "cannot read the shop's print template: " + error;
    return loaded;
  }
  std::string text;
  if (!rs->Eof()) {
    loaded.source = kShopTemplateSource;
    text = rs->Field(0).ToText();
  } else {
    loaded.source = kBuiltInTemplateSource;
    text = BuiltInTemplate(programNumber, kind);
  }
  loaded.page = PrintTemplate::Parse(text);
  if (!loaded.page.Error().empty()) {
    loaded.error = "print template " + loaded.source + ": " + loaded.page.Error();
  }
  loaded.text = std::move(text);
  return loaded;
}

std::string SaveShopTemplate(db::IDatabase& shop, int64_t programNumber, std::string text) {
  if (text.starts_with("\xEF\xBB\xBF")) text.erase(0, 3);  // an editor's BOM
  const PrintTemplate page = PrintTemplate::Parse(text);
  if (!page.Error().empty()) return page.Error();
  db::Transaction transaction(shop);
  transaction.Run(db::Sql("DELETE FROM ws_print_template WHERE program=").Key(programNumber));
  transaction.Run(db::Sql("INSERT INTO ws_print_template (program, html) VALUES (")
                      .Key(programNumber)
                      .Raw(", ")
                      .Text(text)
                      .Raw(")"));
  if (transaction.Failed() || !transaction.Commit()) return transaction.Error();
  return "";
}

std::string ResetShopTemplate(db::IDatabase& shop, int64_t programNumber) {
  return db::Runner(shop).Execute(
      db::Sql("DELETE FROM ws_print_template WHERE program=").Key(programNumber));
}

}  // namespace ws::platform
