// The statement builder: the one place where a value becomes part of a statement. Fixed
// pieces (the statement's own words) go in with Raw; every value goes through a typed appender,
// which writes a "?" placeholder into the statement and keeps the value to be bound to it, so
// no typed text is ever read as part of the statement. Where a condition has to cross an
// interface as text (the host's find conditions, a card's base condition), Literal gives the
// same statement with every value written as a literal of its own (quotes doubled).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "db/amount.h"
#include "db/value.h"

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
// The escape character of every pattern the builder writes (LIKE ... ESCAPE '\').
inline constexpr char kLikeEscape = '\\';
// The text with the pattern characters "%", "_" and the escape character escaped, so that as
// part of a LIKE pattern it matches exactly itself.
std::string EscapeLike(std::string_view text);

class Sql {
 public:
  Sql() = default;
  explicit Sql(std::string_view fixed) { Raw(fixed); }

  // A fixed piece of the statement, written by the programmer, never by a user.
  Sql& Raw(std::string_view fixed);
  // A text value.
  Sql& Text(std::string_view value);
  // " like ? escape '\'" matching prefix + value + suffix, where the value matches itself
  // and only the fixed prefix and suffix ("%") are wildcards.
  Sql& Like(std::string_view prefix, std::string_view value, std::string_view suffix);
  // A number. Whole numbers are bound as integers, so that a text column stores "3", not
  // "3.0", as it would store the literal.
  Sql& Num(double value);
  // The numeric value of a typed text (non-numeric text gives 0), exactly as Money binds it
  // when an amount holds it.
  Sql& NumOf(std::string_view typed);
  // An amount, bound as its exact number: a whole one as an integer (as Num binds it), any
  // other as its decimal digits (NUMERIC on the server).
  Sql& Money(const Amount& value);
  // An id.
  Sql& Key(int64_t id);
  // Ids separated by commas, each bound: the inside of an IN list.
  Sql& Keys(std::span<const int64_t> ids);
  // The row count of "TOP n": part of the statement's shape, which the dialect translators
  // move (to LIMIT) and so must read as a number, not a placeholder. A negative count is 0.
  Sql& RowCount(int64_t count);
  // A date, bound as "yyyy-mm-dd" text when it reads as a calendar date (as it is stored);
  // its literal follows the dialect of the driver.
  Sql& Date(std::string_view dateText, std::string_view driver);
  // Another built piece, its values included.
  Sql& Append(const Sql& piece);

  // The statement with "?" placeholders, in the order of Values.
  const std::string& Statement() const { return statement_; }
  const std::vector<Value>& Values() const { return values_; }
  // The statement with every value as a literal: for conditions handed on as text and for
  // comparing statements in tests.
  const std::string& Literal() const { return literal_; }
  bool empty() const { return statement_.empty(); }

 private:
  Sql& Bind(Value value, std::string_view literal);

  std::string statement_;
  std::string literal_;
  std::vector<Value> values_;
};

}  // namespace ws::db
