#include "desk/form_layout.h"

#include <algorithm>
#include <tuple>

namespace ws::desk {

FormPlan PlanGroups(const std::vector<int>& fieldCounts, int units) {
  const int groups = static_cast<int>(fieldCounts.size());
  FormPlan best;
  if (groups == 0) return best;
  units = std::max(units, 1);
  // A handful of groups: every choice of cuts and stack widths is tried. Ties go to the plan
  // with fewer wide stacks (narrow columns read better), then to the one using more stacks.
  std::tuple<int, int, int> bestKey{0, 0, 0};
  bool found = false;
  for (int cuts = 0; cuts < (1 << (groups - 1)); ++cuts) {
    std::vector<int> stackOf(groups, 0);
    int stacks = 1;
    for (int g = 1; g < groups; ++g) {
      if (cuts & (1 << (g - 1))) ++stacks;
      stackOf[g] = stacks - 1;
    }
    if (stacks > units) continue;
    for (int wide = 0; wide < (1 << stacks); ++wide) {
      const int wideCount = __builtin_popcount(static_cast<unsigned>(wide));
      if (stacks + wideCount > units) continue;
      std::vector<int> widths(stacks), heights(stacks, 0);
      for (int s = 0; s < stacks; ++s) widths[s] = (wide & (1 << s)) ? 2 : 1;
      for (int g = 0; g < groups; ++g) {
        const int w = widths[stackOf[g]];
        heights[stackOf[g]] += (fieldCounts[g] + w - 1) / w;
      }
      const int height = *std::max_element(heights.begin(), heights.end());
      const std::tuple<int, int, int> key{height, wideCount, -stacks};
      if (!found || key < bestKey) {
        found = true;
        bestKey = key;
        best = FormPlan{stackOf, widths, height};
      }
    }
  }
  return best;
}

}  // namespace ws::desk
