// The condition list of Find and Filter: Empty/Null (nullopt) or a list of (value, column with
// its comparison operator) pairs, as the host's find and filter dialogs hand them over.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "db/sql.h"

namespace ws::host {

struct Condition {
  std::string value;     // element (0, i, 0)
  std::string columnOp;  // element (0, i, 1), for example "工单号码 like" or "进厂日期>="
};

using Conditions = std::optional<std::vector<Condition>>;

// The column and comparison operator of a columnOp text, or nullopt when the column is no
// plain (optionally table-qualified) name or the operator is not one of =, <>, !=, <, >, <=,
// >= and like. The text comes from outside the module, so nothing else may reach a statement.
struct ColumnOperator {
  std::string column;
  std::string op;  // "like" in lower case whatever the case it was written in
};
std::optional<ColumnOperator> SplitColumnOperator(std::string_view columnOp);

// What a like condition asks of the column: the whole value, its start, or the value anywhere.
enum class LikeMatch { Exact, Start, Anywhere };

// Appends one condition: a like condition matches the value as `match` says, with "%", "_" and
// "\" typed into it matching themselves; under "jet" any other value is a date, else a text. A
// columnOp that SplitColumnOperator refuses appends "1=0", so that a malformed condition finds
// nothing rather than everything.
void AppendCondition(db::Sql& sql, const Condition& condition, std::string_view driver,
                     LikeMatch match = LikeMatch::Anywhere);

// The condition text: the conditions of every value that is not blank, joined by " and ", in
// the builder's literal rendering (the condition is handed to the host as text).
std::string BuildConditionText(const std::vector<Condition>& conditions, std::string_view driver,
                               LikeMatch match = LikeMatch::Anywhere);
// Whether a like condition among them has a value that is not blank.
bool HasLike(const std::vector<Condition>& conditions);

}  // namespace ws::host
