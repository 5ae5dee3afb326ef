// How the groups of a form's fields share the form's width: the groups keep their order and
// are cut into side-by-side stacks (a column of group boxes each); a stack may be two field
// columns wide, its groups then laying their fields out in two columns. The plan is the one
// whose tallest stack is lowest, so a form fits a counter's screen above its grid.
#pragma once

#include <vector>

namespace ws::desk {

struct FormPlan {
  std::vector<int> stackOf;      // per group, in the groups' order: its stack from the left
  std::vector<int> stackWidths;  // per stack: field columns side by side (1 or 2)
  int height = 0;                // rows of the tallest stack
};

// fieldCounts: the fields of each group, in order. units: the form's width in field columns.
FormPlan PlanGroups(const std::vector<int>& fieldCounts, int units);

}  // namespace ws::desk
