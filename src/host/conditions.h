// The condition list of Find and Filter: Empty/Null (nullopt) or a list of (value, column with
// its comparison operator) pairs, as the host's find and filter dialogs hand them over.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ws::host {

struct Condition {
  std::string value;     // element (0, i, 0)
  std::string columnOp;  // element (0, i, 1), for example "工单号码 like" or "进厂日期>="
};

using Conditions = std::optional<std::vector<Condition>>;

// The condition text: " and " + column-and-operator + quoted value for every non-empty value,
// with the leading " and" cut (the blank before the first condition stays). A like condition
// quotes " '%value%' ", a value under "jet" "#value#" (as a date literal: "#" and quotes are
// dropped from it), anything else "'value'" (quotes doubled); the value goes through the
// statement builder either way.
std::string BuildConditionText(const std::vector<Condition>& conditions, std::string_view driver);

}  // namespace ws::host
