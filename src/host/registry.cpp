#include "host/registry.h"

namespace ws::host {

std::string Registry::Key(const std::string& progId) {
  static const std::string kPrefix = "WS.";
  return progId.rfind(kPrefix, 0) == 0 ? progId : kPrefix + progId;
}

void Registry::Register(const std::string& className, Factory factory) {
  factories_[Key(className)] = std::move(factory);
}

std::unique_ptr<IControl> Registry::Create(const std::string& progId) const {
  auto it = factories_.find(Key(progId));
  return it == factories_.end() ? nullptr : it->second();
}

bool Registry::Has(const std::string& progId) const { return factories_.count(Key(progId)) > 0; }

std::vector<std::string> Registry::Names() const {
  std::vector<std::string> names;
  for (const auto& entry : factories_) names.push_back(entry.first);
  return names;
}

}  // namespace ws::host
