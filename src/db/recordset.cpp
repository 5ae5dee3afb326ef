#include "db/recordset.h"

#include <cctype>
#include "forms/text.h"

namespace ws::db {

namespace {
const Value kNull{};

constexpr auto SameName = &forms::EqualsIgnoringCase;
}  // namespace

Recordset::Recordset(std::vector<std::string> names, bool textsOnce)
    : names_(std::move(names)), textsOnce_(textsOnce) {}

Recordset::Recordset(std::vector<std::string> names, const std::vector<std::vector<Value>>& rows)
    : names_(std::move(names)) {
  for (const auto& row : rows) {
    for (size_t f = 0; f < names_.size(); ++f) Append(f < row.size() ? row[f] : Value());
  }
  EndFilling();
}

uint32_t Recordset::Store(Value value) {
  values_.push_back(std::move(value));
  return static_cast<uint32_t>(values_.size() - 1);
}

void Recordset::Append(Value value) {
  if (value.IsNull()) {
    AppendNull();
  } else if (value.IsText()) {
    AppendText(value.TextView());
  } else {
    cells_.push_back(Store(std::move(value)));
  }
}

void Recordset::AppendText(std::string_view text) {
  if (!textsOnce_) {
    cells_.push_back(Store(Value(text)));
    return;
  }
  const uint32_t hash = forms::TextIndex::Hash(text);
  uint32_t code = texts_.Find(text, hash, [this](uint32_t c) { return values_[c].TextView(); });
  if (code == forms::TextIndex::kNone) {
    code = Store(Value(text));
    texts_.Add(hash, code);
  }
  cells_.push_back(code);
}

void Recordset::ClearRows() {
  cells_.clear();
  texts_.Clear();
  values_.resize(1);
  pos_ = 0;
}

void Recordset::EndFilling() {
  texts_.Clear();
}

void Recordset::MoveNext() {
  if (pos_ < RowCount()) ++pos_;
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
  return At(pos_, index);
}

const Value& Recordset::At(size_t row, int index) const {
  if (closed_ || index < 0 || static_cast<size_t>(index) >= names_.size() || row >= RowCount())
    return kNull;
  return values_[cells_[row * names_.size() + static_cast<size_t>(index)]];
}

std::vector<Value> Recordset::Row(size_t row) const {
  std::vector<Value> values;
  if (closed_ || row >= RowCount()) return values;
  values.reserve(names_.size());
  for (size_t f = 0; f < names_.size(); ++f) values.push_back(At(row, static_cast<int>(f)));
  return values;
}

}  // namespace ws::db
