#include "forms/field.h"

#include <cmath>

#include "forms/number_format.h"

namespace ws::forms {

int64_t Field::KeyLong() const {
  const double v = ReadLeadingNumber(key_).value_or(0.0);
  // A key beyond a long is no key at all.
  return std::fabs(v) < 9.2e18 ? static_cast<int64_t>(std::llround(v)) : 0;
}

}  // namespace ws::forms
