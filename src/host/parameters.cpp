#include "host/parameters.h"

#include <cctype>

namespace ws::host {

std::string Parameters::Fold(std::string_view name) {
  std::string out(name);
  for (auto& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

void Parameters::Set(std::string_view name, std::string value) {
  items_[Fold(name)] = {std::string(name), std::move(value)};
}

bool Parameters::Contains(std::string_view name) const { return items_.count(Fold(name)) > 0; }

std::optional<std::string> Parameters::Get(std::string_view name) const {
  auto it = items_.find(Fold(name));
  if (it == items_.end()) return std::nullopt;
  return it->second.second;
}

std::string Parameters::GetOr(std::string_view name, std::string fallback) const {
  auto v = Get(name);
  return v ? *v : fallback;
}

std::vector<std::pair<std::string, std::string>> Parameters::Items() const {
  std::vector<std::pair<std::string, std::string>> out;
  for (const auto& [key, item] : items_) out.push_back(item);
  return out;
}

}  // namespace ws::host
