#include "forms/field.h"

#include <cmath>
#include <cstdlib>

namespace ws::forms {

int64_t Field::KeyLong() const {
  char* end = nullptr;
  double v = std::strtod(key_.c_str(), &end);
  return end == key_.c_str() || !std::isfinite(v) ? 0 : static_cast<int64_t>(std::llround(v));
}

}  // namespace ws::forms
