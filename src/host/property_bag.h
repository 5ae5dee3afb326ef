// A plain property bag: one named value per column of a chosen row (picker results, chooser
// rows). The typed bags of the module (clscl, clsxm ...) fix their property names.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "db/value.h"

namespace ws::host {

class PropertyBag {
 public:
  PropertyBag() = default;
  explicit PropertyBag(std::vector<std::string> names);

  void Set(std::string_view name, db::Value value);
  const db::Value& Get(std::string_view name) const;
  std::string Text(std::string_view name) const { return Get(name).ToText(); }
  int64_t Long(std::string_view name) const { return Get(name).ToLong(); }
  double Number(std::string_view name) const { return Get(name).ToDouble(); }
  bool Has(std::string_view name) const;
  const std::vector<std::pair<std::string, db::Value>>& Items() const { return items_; }
  void Reset();  // every property back to empty (ids 0 read as empty text)

 private:
  std::vector<std::pair<std::string, db::Value>> items_;
};

}  // namespace ws::host
