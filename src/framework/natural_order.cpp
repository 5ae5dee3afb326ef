#include "framework/natural_order.h"

namespace ws::framework {

void SortRowsNaturally(forms::Grid& grid, int col) {
  grid.Sort(col, 1);
}

}  // namespace ws::framework
