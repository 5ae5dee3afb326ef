#include "host/conditions.h"

#include <array>

#include "forms/text.h"

namespace ws::host {

using forms::EqualsIgnoringCase;
using forms::Trim;

namespace {

bool IsNameStart(char c) {
  // UTF-8 bytes count as letters: Chinese column names are plain names.
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' ||
         static_cast<unsigned char>(c) >= 0x80;
}

bool IsNameChar(char c) {
  return IsNameStart(c) || (c >= '0' && c <= '9');
}

// A name, or names joined by "." (table.column).
bool IsColumnName(std::string_view text) {
  if (text.empty()) return false;
  bool atStart = true;
  for (char c : text) {
    if (c == '.') {
      if (atStart) return false;
      atStart = true;
    } else if (atStart ? IsNameStart(c) : IsNameChar(c)) {
      atStart = false;
    } else {
      return false;
    }
  }
  return !atStart;
}

}  // namespace

std::optional<ColumnOperator> SplitColumnOperator(std::string_view columnOp) {
  std::string_view text = forms::TrimView(columnOp);
  ColumnOperator out;
  if (text.size() > 4 && EqualsIgnoringCase(text.substr(text.size() - 4), "like")) {
    out.column = Trim(text.substr(0, text.size() - 4));
    out.op = "like";
  } else {
    static constexpr std::array<std::string_view, 7> kOperators = {
        "<>", "!=", "<=", ">=", "=", "<", ">"};
    for (std::string_view op : kOperators) {
      if (text.size() > op.size() && text.substr(text.size() - op.size()) == op) {
        out.column = Trim(text.substr(0, text.size() - op.size()));
        out.op = std::string(op);
        break;
      }
    }
  }
  // "名称like" has no blank to end the name, so it reads as one name and is refused too.
  if (out.op == "like" && !out.column.empty() && IsNameChar(text[out.column.size()])) {
    return std::nullopt;
  }
  if (out.op.empty() || !IsColumnName(out.column)) return std::nullopt;
  return out;
}

void AppendCondition(db::Sql& sql, const Condition& condition, std::string_view driver,
                     LikeMatch match) {
  auto split = SplitColumnOperator(condition.columnOp);
  if (!split) {
    sql.Raw("1=0");
    return;
  }
  sql.Raw(split->column);
  if (split->op == "like") {
    sql.Like(match == LikeMatch::Anywhere ? "%" : "", condition.value,
             match == LikeMatch::Exact ? "" : "%");
  } else if (db::IsJetDriver(driver)) {
    sql.Raw(split->op).Date(condition.value, driver);
  } else {
    sql.Raw(split->op).Text(condition.value);
  }
}

std::string BuildConditionText(const std::vector<Condition>& conditions, std::string_view driver,
                               LikeMatch match) {
  db::Sql sql;
  for (const auto& c : conditions) {
    if (Trim(c.value).empty()) continue;
    sql.Raw(sql.empty() ? " " : " and ");
    AppendCondition(sql, c, driver, match);
  }
  return sql.Literal();
}

bool HasLike(const std::vector<Condition>& conditions) {
  for (const auto& c : conditions) {
    auto split = SplitColumnOperator(c.columnOp);
    if (split && split->op == "like" && !Trim(c.value).empty()) return true;
  }
  return false;
}

}  // namespace ws::host
