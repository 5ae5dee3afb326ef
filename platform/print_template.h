// Print templates: how a program's print file (print_data.h) becomes a page a shop can adjust.
//
// A template is a page of HTML (the rich-text subset a text layout engine renders: tables,
// paragraphs, headings, inline styles) with placeholders between double braces:
//
//   {{shop.name}} {{shop.address}} {{shop.phone}}   the shop, from the host's options
//   {{shop.taxno}}                                   (shop_info.h)
//   {{shop}}                                         the shop's heading: the name large, then
//                                                    address, telephone and tax number, each
//                                                    only when set
//   {{title}} {{user}} {{date}}                      the program's caption, who prints, when
//   {{value NAME}}                                   one named value of the print file
//   {{words NAME}}                                   the same amount in capital words, for
//                                                    documents whose print file has none
//   {{values}}                                       every named value no {{value}} names, as
//                                                    a block of "name：value" pairs
//   {{table NAME}}                                   one table with its header row
//   {{table NAME COLUMN COLUMN ...}}                 the same with only those columns, in
//                                                    that order (a column it lacks is skipped)
//   {{tables}}                                       every table no {{table}} names
//   {{part NAME}}                                    the built-in part templates/print/NAME.html
//                                                    (the style the documents share), itself
//                                                    a template without parts
//
// Every substituted text is escaped; a name or table the print file lacks gives nothing. A
// table leaves out the columns the form hides (written "***" in every row). A shop's own
// template (kept in the shop) wins over the one built in; the built-in ones come from
// templates/print in the source tree, compiled into the programs.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "db/database.h"
#include "host/system.h"
#include "platform/print_data.h"
#include "platform/shop_info.h"

namespace ws::platform {

// What the page shows besides the print file.
struct PrintHeader {
  std::string shopName;
  std::string shopAddress;
  std::string shopPhone;
  std::string shopTaxNumber;
  std::string title;
  std::string user;
  std::string date;  // yyyy-mm-dd
};

// The shop's heading as HTML (what {{shop}} gives): nothing at all for a shop with no
// particulars set.
std::string ShopHeadingHtml(const PrintHeader& header);

// The header for a program: the shop's options, the login's user and date, the caption given.
PrintHeader PrintHeaderFromSystem(host::ISystem& system, const std::string& title);

class PrintTemplate {
 public:
  // Parses a template; a stray "{{" or an unknown placeholder is an error (Error() says which
  // and on which line), and such a template renders nothing.
  static PrintTemplate Parse(const std::string& text);

  const std::string& Error() const { return error_; }
  // The page as HTML.
  std::string Render(const PrintFile& file, const PrintHeader& header) const;

  // What the page names of a print file: values ({{value}} and {{words}}), tables with the
  // columns chosen (empty for all shown), and whether it shows the rest of either.
  struct Names {
    std::set<std::string> values;
    std::map<std::string, std::vector<std::string>> tables;
    bool restOfValues = false;
    bool restOfTables = false;
  };
  Names Named() const;

 private:
  enum class Kind {
    Text,
    ShopName,
    ShopAddress,
    ShopPhone,
    ShopTaxNumber,
    ShopHeading,
    Title,
    User,
    Date,
    Value,
    Words,
    Values,
    Table,
    Tables
  };
  struct Piece {
    Kind kind;
    std::string text;                  // literal text, or the name of a value or table
    std::vector<std::string> columns;  // of a table: the columns chosen, empty for all shown
  };
  static PrintTemplate ParseWithParts(const std::string& text, bool partsAllowed);
  std::vector<Piece> pieces_;
  std::string error_;
};

// A document's page, or a report's grid under its title and condition.
enum class PrintKind { Document, Report };

// The built-in template of a program: its own when the tree has one, else the one of its kind.
const std::string& BuiltInTemplate(int64_t programNumber, PrintKind kind);

// The shop's own template of the program (kept in the shop, so every desk and `ws print` use
// it) when it has one, else the built-in one. A template that cannot be read or parsed is an
// error (the caller shows it; nothing falls back silently, or a shop would never learn why its
// change does not show).
inline constexpr const char kShopTemplateSource[] = "the shop's";
inline constexpr const char kBuiltInTemplateSource[] = "built-in";
struct LoadedTemplate {
  PrintTemplate page;
  std::string text;    // the template as written
  std::string source;  // kShopTemplateSource or kBuiltInTemplateSource
  std::string error;   // empty when page can be rendered
};
LoadedTemplate LoadPrintTemplate(db::IDatabase& shop, int64_t programNumber, PrintKind kind);
// Keeps text as the shop's template of the program; a template that does not parse is refused
// with the parser's reason and nothing changes. Answers the error, empty on success.
std::string SaveShopTemplate(db::IDatabase& shop, int64_t programNumber, std::string text);
// Goes back to the built-in template.
std::string ResetShopTemplate(db::IDatabase& shop, int64_t programNumber);

// Escapes a text for HTML.
std::string HtmlEscape(const std::string& text);

}  // namespace ws::platform
