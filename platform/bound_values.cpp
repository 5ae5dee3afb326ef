#include "platform/bound_values.h"

#include "db/sql.h"

namespace ws::platform {

void BoundValues::Bind(int position, const db::Value& value) {
  if (position < 1) {
    badPosition_ = position;
    hasBadPosition_ = true;
    return;
  }
  size_t index = static_cast<size_t>(position - 1);
  if (values_.size() <= index) values_.resize(index + 1);
  values_[index] = value;
}

std::string BoundValues::PositionError() const {
  return hasBadPosition_ ? "no placeholder has the position " + std::to_string(badPosition_)
                         : std::string();
}

std::string WithValuesWritten(const std::string& sql,
                              const std::vector<std::optional<db::Value>>& values) {
  std::string out;
  size_t next = 0;
  for (size_t i = 0; i < sql.size(); ++i) {
    char c = sql[i];
    if (c == '\'' || c == '"' || c == '[' || c == '`') {
      char close = c == '[' ? ']' : c;
      size_t end = sql.find(close, i + 1);
      end = end == std::string::npos ? sql.size() : end + 1;
      out.append(sql, i, end - i);
      i = end - 1;
    } else if (c == '-' && i + 1 < sql.size() && sql[i + 1] == '-') {
      size_t end = sql.find('\n', i);
      end = end == std::string::npos ? sql.size() : end;
      out.append(sql, i, end - i);
      i = end - 1;
    } else if (c == '?' && next < values.size() && values[next]) {
      const db::Value& value = *values[next++];
      std::string literal = value.IsNull()   ? "NULL"
                            : value.IsText() ? db::QuoteText(value.ToText())
                                             : value.ToText();
      if (literal.front() == '-' && !out.empty() && out.back() == '-') out += ' ';
      out += literal;
    } else {
      if (c == '?') ++next;
      out += c;
    }
  }
  return out;
}

}  // namespace ws::platform
