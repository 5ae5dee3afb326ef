#include "platform/picker_registry.h"

#include <cctype>

namespace ws::platform {

std::string PickerRegistry::Fold(const std::string& name) {
  std::string out = name;
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

void PickerRegistry::Register(const std::string& name, Factory factory) {
  factories_[Fold(name)] = {name, std::move(factory)};
}

std::shared_ptr<host::IControl> PickerRegistry::Create(const std::string& name) const {
  auto it = factories_.find(Fold(name));
  if (it == factories_.end() || !it->second.second) return nullptr;
  std::shared_ptr<host::IControl> control = it->second.second();
  if (!control || !control->AsPickerUI()) return nullptr;
  return control;
}

bool PickerRegistry::Has(const std::string& name) const {
  return factories_.count(Fold(name)) > 0;
}

std::vector<std::string> PickerRegistry::Names() const {
  std::vector<std::string> names;
  for (const auto& [folded, entry] : factories_) names.push_back(entry.first);
  return names;
}

}  // namespace ws::platform
