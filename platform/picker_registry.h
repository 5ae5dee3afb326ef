// The host's pickers by name ("pdmcl", "pdmty_inner_j" ...). Front ends and the pickers'
// subsystems register a factory per name at start-up; the system object asks by name.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "host/ui.h"

namespace ws::platform {

class PickerRegistry {
 public:
  using Factory = std::function<std::shared_ptr<host::IControl>()>;

  // Registers (or replaces) the factory of a name. Names match without regard to ASCII case,
  // as the module writes them in different cases.
  void Register(const std::string& name, Factory factory);
  // A new picker control for the name; nullptr for an unknown name, a factory that made none
  // or a control that is no picker (AsPickerUI() null).
  std::shared_ptr<host::IControl> Create(const std::string& name) const;
  bool Has(const std::string& name) const;
  std::vector<std::string> Names() const;  // as registered, sorted by folded name

 private:
  static std::string Fold(const std::string& name);
  std::map<std::string, std::pair<std::string, Factory>> factories_;  // folded -> (name, f)
};

}  // namespace ws::platform
