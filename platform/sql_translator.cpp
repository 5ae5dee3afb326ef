#include "platform/sql_translator.h"

#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "db/date.h"

namespace ws::platform {

namespace {

enum class TokenKind { Space, Comment, String, QuotedName, Number, Word, Date, Punct };

struct Token {
  TokenKind kind;
  std::string_view text;
};

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}
bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}
// UTF-8 lead and continuation bytes count as letters: Chinese names are plain identifiers.
bool IsWordStart(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' ||
         static_cast<unsigned char>(c) >= 0x80;
}
bool IsWordChar(char c) {
  return IsWordStart(c) || IsDigit(c) || c == '$';
}
// What may stand between the "#" signs of a date literal: digits, separators and a time.
bool IsDateChar(char c) {
  return IsDigit(c) || c == '-' || c == '/' || c == ':' || c == '.' || c == ' ';
}

bool SameWord(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char ca = a[i] >= 'A' && a[i] <= 'Z' ? static_cast<char>(a[i] - 'A' + 'a') : a[i];
    char cb = b[i] >= 'A' && b[i] <= 'Z' ? static_cast<char>(b[i] - 'A' + 'a') : b[i];
    if (ca != cb) return false;
  }
  return true;
}

// Length of a literal that starts with `open` and ends with `close`, where a doubled closing
// character stands for itself when `doubling` is set. An unclosed literal runs to the end.
size_t QuotedLength(std::string_view s, size_t start, char close, bool doubling) {
  size_t i = start + 1;
  while (i < s.size()) {
    if (s[i] == close) {
      if (doubling && i + 1 < s.size() && s[i + 1] == close) {
        i += 2;
        continue;
      }
      return i + 1 - start;
    }
    ++i;
  }
  return s.size() - start;
}

size_t NumberLength(std::string_view s, size_t start) {
  size_t i = start;
  while (i < s.size() && IsDigit(s[i])) ++i;
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && IsDigit(s[i])) ++i;
  }
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    size_t j = i + 1;
    if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
    if (j < s.size() && IsDigit(s[j])) {
      while (j < s.size() && IsDigit(s[j])) ++j;
      i = j;
    }
  }
  return i - start;
}

// Length of a "#...#" date literal at start, or 0 when the "#" starts none.
size_t DateLength(std::string_view s, size_t start) {
  size_t i = start + 1;
  if (i >= s.size() || !IsDigit(s[i])) return 0;
  while (i < s.size() && IsDateChar(s[i])) ++i;
  return i < s.size() && s[i] == '#' ? i + 1 - start : 0;
}

std::vector<Token> Tokenize(std::string_view s) {
  std::vector<Token> tokens;
  size_t i = 0;
  while (i < s.size()) {
    char c = s[i];
    char next = i + 1 < s.size() ? s[i + 1] : '\0';
    TokenKind kind = TokenKind::Punct;
    size_t length = 1;
    if (IsSpace(c)) {
      kind = TokenKind::Space;
      while (i + length < s.size() && IsSpace(s[i + length])) ++length;
    } else if (c == '-' && next == '-') {
      kind = TokenKind::Comment;
      size_t end = s.find('\n', i);
      length = (end == std::string_view::npos ? s.size() : end) - i;
    } else if (c == '/' && next == '*') {
      kind = TokenKind::Comment;
      size_t end = s.find("*/", i + 2);
      length = (end == std::string_view::npos ? s.size() : end + 2) - i;
    } else if (c == '\'') {
      kind = TokenKind::String;
      length = QuotedLength(s, i, '\'', true);
    } else if (c == '"' || c == '`') {
      kind = TokenKind::QuotedName;
      length = QuotedLength(s, i, c, true);
    } else if (c == '[') {
      kind = TokenKind::QuotedName;
      length = QuotedLength(s, i, ']', false);
    } else if (IsDigit(c) || (c == '.' && IsDigit(next))) {
      kind = TokenKind::Number;
      length = NumberLength(s, i);
    } else if (IsWordStart(c)) {
      kind = TokenKind::Word;
      while (i + length < s.size() && IsWordChar(s[i + length])) ++length;
    } else if (c == '#') {
      if (size_t dateLength = DateLength(s, i)) {
        kind = TokenKind::Date;
        length = dateLength;
      }
    }
    tokens.push_back({kind, s.substr(i, length)});
    i += length;
  }
  return tokens;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsSpace(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsSpace(s.back())) s.remove_suffix(1);
  return s;
}

// Reads the digits at pos; -1 when there are none or more than maxDigits.
int ReadNumber(std::string_view s, size_t& pos, size_t maxDigits) {
  size_t start = pos;
  int value = 0;
  // Digits past maxDigits are skipped, not added: a long run would overflow the value.
  while (pos < s.size() && IsDigit(s[pos])) {
    if (pos - start < maxDigits) value = value * 10 + (s[pos] - '0');
    ++pos;
  }
  size_t digits = pos - start;
  return digits == 0 || digits > maxDigits ? -1 : value;
}

// "m/d/yyyy", the desktop dialect's own order for slashed dates with the year last.
std::string MonthFirstDate(std::string_view s) {
  size_t pos = 0;
  int month = ReadNumber(s, pos, 2);
  if (month < 0 || pos >= s.size() || s[pos++] != '/') return {};
  int day = ReadNumber(s, pos, 2);
  if (day < 0 || pos >= s.size() || s[pos++] != '/') return {};
  size_t yearStart = pos;
  int year = ReadNumber(s, pos, 4);
  if (year < 0 || pos - yearStart != 4 || pos != s.size()) return {};
  if (month < 1 || month > 12 || day < 1 || day > db::DaysInMonth(year, month)) return {};
  return db::Date{year, month, day}.Text();
}

// One statement's tokens and the rewrites planned on them.
class Translator {
 public:
  Translator(std::string_view sql, SqlTarget target)
      : tokens_(Tokenize(sql)),
        target_(target),
        skip_(tokens_.size(), false),
        before_(tokens_.size()),
        after_(tokens_.size()) {}

  std::string Run() {
    PlanTops();
    std::string out;
    Render(0, tokens_.size(), out);
    return out;
  }

 private:
  bool IsTrivia(size_t i) const {
    return tokens_[i].kind == TokenKind::Space || tokens_[i].kind == TokenKind::Comment;
  }
  bool IsPunct(size_t i, char c) const {
    return tokens_[i].kind == TokenKind::Punct && tokens_[i].text[0] == c;
  }
  bool IsWord(size_t i, std::string_view word) const {
    return i < tokens_.size() && tokens_[i].kind == TokenKind::Word &&
           SameWord(tokens_[i].text, word);
  }
  // The first token at or after i that is not whitespace or a comment (or the end).
  size_t NextSignificant(size_t i) const {
    while (i < tokens_.size() && IsTrivia(i)) ++i;
    return i;
  }
  // The ")" matching the "(" at open, or npos when it is never closed.
  size_t MatchingParen(size_t open) const {
    int depth = 0;
    for (size_t i = open; i < tokens_.size(); ++i) {
      if (IsPunct(i, '(')) ++depth;
      if (IsPunct(i, ')') && --depth == 0) return i;
    }
    return std::string_view::npos;
  }

  // Finds every "SELECT [DISTINCT|ALL] TOP n", marks "TOP n" for removal and places
  // " LIMIT n" after the last meaningful token of that SELECT.
  void PlanTops() {
    for (size_t i = 0; i < tokens_.size(); ++i) {
      if (!IsWord(i, "select")) continue;
      size_t top = NextSignificant(i + 1);
      if (IsWord(top, "distinct") || IsWord(top, "all")) top = NextSignificant(top + 1);
      if (!IsWord(top, "top")) continue;
      size_t count = NextSignificant(top + 1);
      if (count >= tokens_.size() || tokens_[count].kind != TokenKind::Number) continue;
      bool wholeNumber = true;
      for (char c : tokens_[count].text) wholeNumber = wholeNumber && IsDigit(c);
      if (!wholeNumber) continue;
      size_t rest = NextSignificant(count + 1);
      if (IsWord(rest, "percent")) continue;

      for (size_t k = top; k < rest; ++k) skip_[k] = true;
      size_t end = rest;
      size_t last = count;
      int depth = 0;
      for (; end < tokens_.size(); ++end) {
        if (depth == 0 && (IsPunct(end, ')') || IsPunct(end, ';') || IsWord(end, "union") ||
                           IsWord(end, "intersect") || IsWord(end, "except"))) {
          break;
        }
        if (IsPunct(end, '(')) ++depth;
        if (IsPunct(end, ')')) --depth;
        if (!IsTrivia(end)) last = end;
      }
      std::string limit = " LIMIT " + std::string(tokens_[count].text);
      bool compound = end < tokens_.size() && tokens_[end].kind == TokenKind::Word;
      if (compound) {
        before_[i] += "SELECT * FROM (";
        limit += ")";
      }
      after_[last] += limit;
    }
  }

  // Appends the translation of tokens [begin, end).
  void Render(size_t begin, size_t end, std::string& out) {
    // Where the column name written last ends in out (npos when the last meaningful token was
    // no column name): the left side of a LIKE on PostgreSQL.
    size_t columnEnd = std::string::npos;
    for (size_t i = begin; i < end; ++i) {
      out += before_[i];
      if (skip_[i]) {
        out += after_[i];
        continue;
      }
      const Token& token = tokens_[i];
      if (token.kind == TokenKind::Word && (IsWord(i, "iif") || IsWord(i, "isnull"))) {
        size_t close = RenderCall(i, end, out);
        if (close != std::string_view::npos) {
          out += after_[close];
          i = close;
          columnEnd = std::string::npos;
          continue;
        }
      }
      if (token.kind == TokenKind::Date) {
        std::string_view inside = token.text.substr(1, token.text.size() - 2);
        std::string date = NormaliseDateLiteral(inside);
        out += "'" + (date.empty() ? std::string(Trim(inside)) : date) + "'";
      } else if (target_ == SqlTarget::Postgres && IsWord(i, "like")) {
        // The desktop dialect matches a pattern against a number or a date as its text; the
        // server knows LIKE for texts only, so a column on the left is read as text.
        if (columnEnd != std::string::npos) out.insert(columnEnd, "::text");
        out += "ILIKE";
        // The desktop dialect has no escape character in patterns; the server takes "\\" as
        // one unless told otherwise, so a typed backslash would match nothing.
        size_t pattern = NextSignificant(i + 1);
        if (pattern < end &&
            (tokens_[pattern].kind == TokenKind::String || IsPunct(pattern, '?'))) {
          size_t next = NextSignificant(pattern + 1);
          if (next >= tokens_.size() || !IsWord(next, "escape")) {
            after_[pattern].insert(0, " ESCAPE ''");
          }
        }
      } else if (target_ == SqlTarget::Postgres && IsPunct(i, '?')) {
        // Every rewrite keeps the tokens in their order, so counting as they are written
        // numbers the placeholders as their values were bound.
        out += "$" + std::to_string(++placeholders_);
        // "?and" reads as two tokens to the desktop engine; "$1and" is one bad token here.
        if (i + 1 < tokens_.size() && !tokens_[i + 1].text.empty() &&
            IsWordChar(tokens_[i + 1].text.front())) {
          out += ' ';
        }
      } else {
        out += token.text;
      }
      if (token.kind == TokenKind::Word || token.kind == TokenKind::QuotedName) {
        if (!IsWord(i, "not")) {
          bool keyword = IsWord(i, "like") || IsWord(i, "end") || IsWord(i, "null");
          columnEnd = keyword ? std::string::npos : out.size();
        }
      } else if (!IsTrivia(i) && !IsPunct(i, '.')) {
        columnEnd = std::string::npos;
      }
      out += after_[i];
    }
  }

  // Rewrites iif(...) or isnull(...) at name when its argument count fits; answers the index of
  // the closing ")", or npos (nothing written) when the call is left as written.
  size_t RenderCall(size_t name, size_t end, std::string& out) {
    size_t open = NextSignificant(name + 1);
    if (open >= end || !IsPunct(open, '(')) return std::string_view::npos;
    // A qualified name (t.isnull) is a column, not the function.
    size_t previous = name;
    while (previous > 0 && IsTrivia(previous - 1)) --previous;
    if (previous > 0 && IsPunct(previous - 1, '.')) return std::string_view::npos;
    size_t close = MatchingParen(open);
    if (close == std::string_view::npos || close >= end) return std::string_view::npos;

    // Argument ranges first, so a call left as written costs nothing.
    std::vector<std::pair<size_t, size_t>> ranges;
    size_t argBegin = open + 1;
    int depth = 0;
    for (size_t k = open + 1; k <= close; ++k) {
      if (IsPunct(k, '(')) ++depth;
      if (IsPunct(k, ')') && k != close) --depth;
      if ((depth == 0 && IsPunct(k, ',')) || k == close) {
        ranges.emplace_back(argBegin, k);
        argBegin = k + 1;
      }
    }
    if (ranges.size() == 1 && NextSignificant(ranges[0].first) >= ranges[0].second) {
      ranges.clear();
    }
    bool isIif = IsWord(name, "iif");
    bool fits = isIif ? ranges.size() == 3 : ranges.size() == 1 || ranges.size() == 2;
    if (!fits) return std::string_view::npos;

    std::vector<std::string> args;
    for (auto [first, last] : ranges) {
      std::string arg;
      Render(first, last, arg);
      args.emplace_back(Trim(arg));
    }
    if (isIif) {
      out += "CASE WHEN " + args[0] + " THEN " + args[1] + " ELSE " + args[2] + " END";
    } else if (args.size() == 1) {
      out += "(" + args[0] + " IS NULL)";
    } else {
      out += "COALESCE(" + args[0] + ", " + args[1] + ")";
    }
    return close;
  }

  std::vector<Token> tokens_;
  SqlTarget target_;
  int placeholders_ = 0;
  std::vector<bool> skip_;
  // Text to write before / after a token; planned TOP rewrites park their pieces here.
  std::vector<std::string> before_;
  std::vector<std::string> after_;
};

}  // namespace

std::string NormaliseDateLiteral(std::string_view inside) {
  inside = Trim(inside);
  size_t split = inside.find(' ');
  std::string_view datePart = inside.substr(0, split);
  std::string_view timePart =
      split == std::string_view::npos ? std::string_view{} : Trim(inside.substr(split));
  std::string date;
  // A year-first date needs all four year digits: "6/1/12" is the desktop dialect's month-first
  // order with a short year, not the year 6.
  size_t leadingDigits = 0;
  while (leadingDigits < datePart.size() && IsDigit(datePart[leadingDigits])) ++leadingDigits;
  std::optional<db::Date> parsed;
  if (leadingDigits == 4) parsed = db::Date::Parse(datePart);
  if (parsed) {
    date = parsed->Text();
  } else {
    date = MonthFirstDate(datePart);
  }
  if (date.empty()) return {};
  return timePart.empty() ? date : date + " " + std::string(timePart);
}

std::string TranslateSql(std::string_view sql, SqlTarget target) {
  return Translator(sql, target).Run();
}

}  // namespace ws::platform
