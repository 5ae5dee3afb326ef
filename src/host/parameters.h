// The host parameter collection: named values handed to controls and pickers ("backcolor",
// "SX", "FieldName", "SQL" ...). Names match without regard to ASCII case.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ws::host {

class Parameters {
 public:
  void Set(std::string_view name, std::string value);
  bool Contains(std::string_view name) const;
  std::optional<std::string> Get(std::string_view name) const;
  std::string GetOr(std::string_view name, std::string fallback = {}) const;
  bool Empty() const { return items_.empty(); }
  size_t Count() const { return items_.size(); }
  std::vector<std::pair<std::string, std::string>> Items() const;

 private:
  static std::string Fold(std::string_view name);
  std::map<std::string, std::pair<std::string, std::string>> items_;  // folded -> (name, value)
};

using ParametersPtr = std::shared_ptr<Parameters>;

}  // namespace ws::host
