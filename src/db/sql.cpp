#include "db/sql.h"

#include "db/value.h"

namespace ws::db {

namespace {
void AppendNumber(std::string& text, const std::string& number) {
  if (!number.empty() && number.front() == '-' && !text.empty() && text.back() == '-') {
    text += ' ';
  }
  text += number;
}
}  // namespace

std::string EscapeText(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 2);
  for (char c : text) {
    if (c == '\0') continue;  // an embedded NUL would cut the statement short
    out += c;
    if (c == '\'') out += '\'';
  }
  return out;
}

std::string QuoteText(std::string_view text) {
  return "'" + EscapeText(text) + "'";
}

std::string DateLiteral(std::string_view dateText, std::string_view driver) {
  std::string clean;
  for (char c : dateText) {
    if (c != '#' && c != '\'' && c != '\0') clean += c;
  }
  return IsJetDriver(driver) ? "#" + clean + "#" : "'" + clean + "'";
}

Sql& Sql::Num(double value) {
  AppendNumber(text_, DecimalText(value));
  return *this;
}

Sql& Sql::Key(int64_t id) {
  AppendNumber(text_, std::to_string(id));
  return *this;
}

Sql& Sql::NumOf(std::string_view typed) {
  return Num(NumericValue(typed));
}

}  // namespace ws::db
