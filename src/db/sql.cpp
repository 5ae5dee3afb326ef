#include "db/sql.h"

#include <cmath>

#include "db/date.h"

namespace ws::db {

namespace {
// Whole numbers up to 2^53 are exact in a double and bound as integers.
constexpr double kLargestExactWhole = 9007199254740992.0;

std::string WithoutNul(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c != '\0') out += c;  // an embedded NUL would cut the text short in the engine
  }
  return out;
}
}  // namespace

std::string EscapeText(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 2);
  for (char c : text) {
    if (c == '\0') continue;
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

std::string EscapeLike(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 4);
  for (char c : text) {
    if (c == '%' || c == '_' || c == kLikeEscape) out += kLikeEscape;
    out += c;
  }
  return out;
}

Sql& Sql::Raw(std::string_view fixed) {
  statement_ += fixed;
  literal_ += fixed;
  return *this;
}

Sql& Sql::Bind(Value value, std::string_view literal) {
  statement_ += '?';
  // A negative number right after a fixed "-" is set apart by a blank ("x- -3"): "x--3" would
  // make the rest of the literal statement a comment.
  if (!literal.empty() && literal.front() == '-' && !literal_.empty() && literal_.back() == '-') {
    literal_ += ' ';
  }
  literal_ += literal;
  values_.push_back(std::move(value));
  return *this;
}

Sql& Sql::Text(std::string_view value) {
  return Bind(Value(WithoutNul(value)), QuoteText(value));
}

Sql& Sql::Like(std::string_view prefix, std::string_view value, std::string_view suffix) {
  std::string pattern = std::string(prefix) + EscapeLike(WithoutNul(value)) + std::string(suffix);
  Raw(" like ");
  Bind(Value(pattern), QuoteText(pattern));
  return Raw(" escape '\\'");
}

Sql& Sql::Num(double value) {
  if (!std::isfinite(value)) value = 0;
  if (value == std::trunc(value) && std::fabs(value) <= kLargestExactWhole) {
    auto whole = static_cast<int64_t>(value);
    return Bind(Value(whole), std::to_string(whole));
  }
  return Bind(Value(value), DecimalText(value));
}

Sql& Sql::NumOf(std::string_view typed) {
  // A typed amount travels as its digits (a typed 0.1 is stored as 0.1 on the server, not as
  // the double nearest to it); a number of more decimals than an amount holds, as a double.
  const double value = NumericValue(typed);
  if (const Amount exact = Amount::Of(typed); exact.InRange() && exact.ToDouble() == value) {
    return Money(exact);
  }
  return Num(value);
}

Sql& Sql::Money(const Amount& value) {
  return Bind(value.ToValue(), value.Text());
}

Sql& Sql::Key(int64_t id) {
  return Bind(Value(id), std::to_string(id));
}

Sql& Sql::Keys(std::span<const int64_t> ids) {
  for (size_t i = 0; i < ids.size(); ++i) {
    if (i > 0) Raw(",");
    Key(ids[i]);
  }
  return *this;
}

Sql& Sql::RowCount(int64_t count) {
  return Raw(std::to_string(count < 0 ? 0 : count));
}

Sql& Sql::Date(std::string_view dateText, std::string_view driver) {
  std::string literal = DateLiteral(dateText, driver);
  std::string inside = literal.substr(1, literal.size() - 2);
  size_t blank = inside.find(' ');
  std::string bound = inside;
  if (auto date = db::Date::Parse(inside.substr(0, blank))) {
    bound = date->Text() + (blank == std::string::npos ? "" : inside.substr(blank));
  }
  return Bind(Value(bound), literal);
}

Sql& Sql::Append(const Sql& piece) {
  statement_ += piece.statement_;
  literal_ += piece.literal_;
  values_.insert(values_.end(), piece.values_.begin(), piece.values_.end());
  return *this;
}

}  // namespace ws::db
