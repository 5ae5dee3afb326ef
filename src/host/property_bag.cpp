#include "host/property_bag.h"

namespace ws::host {

namespace {
const db::Value kNull{};
}

PropertyBag::PropertyBag(std::vector<std::string> names) {
  for (auto& n : names) items_.emplace_back(std::move(n), db::Value{});
}

void PropertyBag::Set(std::string_view name, db::Value value) {
  for (auto& [n, v] : items_) {
    if (n == name) {
      v = std::move(value);
      return;
    }
  }
  items_.emplace_back(std::string(name), std::move(value));
}

const db::Value& PropertyBag::Get(std::string_view name) const {
  for (const auto& [n, v] : items_) {
    if (n == name) return v;
  }
  return kNull;
}

bool PropertyBag::Has(std::string_view name) const {
  for (const auto& item : items_) {
    if (item.first == name) return true;
  }
  return false;
}

void PropertyBag::Reset() {
  for (auto& item : items_) item.second = db::Value{};
}

}  // namespace ws::host
