// The statement builder: the one place where a value becomes part of a statement text.
// Fixed pieces (the statement's own words) go in with Raw; every value goes through a typed
// appender, so no typed text can end a literal early or inject a statement. Values are carried
// as literals (quotes doubled), which keeps the rendered text identical to what the statement
// would read for values without quotes and lets it run on every engine.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace ws::db {

// True when a "driver" setting names the desktop dialect. The comparison is exact: "Jet" is
// the server dialect.
inline bool IsJetDriver(std::string_view driver) {
  return driver == "jet";
}

// The text with every single quote doubled: safe between single quotes in a statement.
std::string EscapeText(std::string_view text);
// "'" + escaped text + "'".
std::string QuoteText(std::string_view text);
// A date literal of the dialect: "#d#" under "jet", "'d'" otherwise. Characters that could end
// the literal are dropped from the date text.
std::string DateLiteral(std::string_view dateText, std::string_view driver);

class Sql {
 public:
  Sql() = default;
  explicit Sql(std::string_view fixed) : text_(fixed) {}

  // A fixed piece of the statement, written by the programmer, never by a user.
  Sql& Raw(std::string_view fixed) {
    text_ += fixed;
    return *this;
  }
  // A text value as a complete literal: 'O''Brien'.
  Sql& Text(std::string_view value) {
    text_ += QuoteText(value);
    return *this;
  }
  // A text value inside quotes that a fixed piece opens and closes (" '%" + value + "%' "):
  // the quotes it contains are doubled.
  Sql& TextBody(std::string_view value) {
    text_ += EscapeText(value);
    return *this;
  }
  // A number in plain decimal text. A negative number right after a fixed "-" is set apart by
  // a blank ("x- -3"): "x--3" would make the rest of the statement a comment.
  Sql& Num(double value);
  // The numeric value of a typed text, in plain decimal text (non-numeric text gives 0).
  Sql& NumOf(std::string_view typed);
  // An id, as Num.
  Sql& Key(int64_t id);
  Sql& Date(std::string_view dateText, std::string_view driver) {
    text_ += DateLiteral(dateText, driver);
    return *this;
  }

  const std::string& str() const { return text_; }
  operator const std::string&() const { return text_; }
  bool empty() const { return text_.empty(); }

 private:
  std::string text_;
};

}  // namespace ws::db
