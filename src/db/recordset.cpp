#include "db/recordset.h"

#include <cctype>
#include "forms/text.h"

namespace ws::db {

namespace {
const Value kNull{};

constexpr auto SameName = &forms::EqualsIgnoringCase;
}  // namespace

Recordset::Recordset(std::vector<std::string> names, std::vector<std::vector<Value>> rows)
    : names_(std::move(names)), rows_(std::move(rows)) {}

void Recordset::MoveNext() {
  if (pos_ < rows_.size()) ++pos_;
}

size_t Recordset::FoldedHash::operator()(std::string_view name) const {
  size_t hash = 14695981039346656037ULL;
  for (unsigned char c : name)
    hash = (hash ^ static_cast<size_t>(std::tolower(c))) * 1099511628211ULL;
  return hash;
}

bool Recordset::FoldedEqual::operator()(std::string_view a, std::string_view b) const {
  return SameName(a, b);
}

int Recordset::FieldIndex(std::string_view name) const {
  if (indexByName_.empty() && !names_.empty()) {
    // A joined SELECT may carry "WSDJ.单据ID" and "单据ID"; the first match wins, as with ADO.
    for (size_t i = 0; i < names_.size(); ++i)
      indexByName_.try_emplace(names_[i], static_cast<int>(i));
  }
  auto found = indexByName_.find(name);
  return found == indexByName_.end() ? -1 : found->second;
}

const Value& Recordset::Field(std::string_view name) const {
  return Field(FieldIndex(name));
}

const Value& Recordset::Field(int index) const {
  if (closed_ || index < 0 || pos_ >= rows_.size()) return kNull;
  const auto& row = rows_[pos_];
  return static_cast<size_t>(index) < row.size() ? row[static_cast<size_t>(index)] : kNull;
}

}  // namespace ws::db
