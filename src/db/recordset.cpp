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

int Recordset::FieldIndex(std::string_view name) const {
  // A joined SELECT may carry "WSDJ.单据ID" and "单据ID"; the first match wins, as with ADO.
  for (size_t i = 0; i < names_.size(); ++i) {
    if (SameName(names_[i], name)) return static_cast<int>(i);
  }
  return -1;
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
