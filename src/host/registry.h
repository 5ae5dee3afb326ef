// Creates a control from its programmatic name "WS.<control>". Each subsystem registers its
// controls once at start-up; the host asks by name.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "host/ui.h"

namespace ws::host {

class Registry {
 public:
  using Factory = std::function<std::unique_ptr<IControl>()>;

  // Registers "WS.<className>".
  void Register(const std::string& className, Factory factory);
  // nullptr for an unknown name. Accepts "WS.WS_S" and, as a convenience, "WS_S".
  std::unique_ptr<IControl> Create(const std::string& progId) const;
  bool Has(const std::string& progId) const;
  std::vector<std::string> Names() const;  // "WS.<className>", sorted

 private:
  static std::string Key(const std::string& progId);
  std::map<std::string, Factory> factories_;
};

}  // namespace ws::host
