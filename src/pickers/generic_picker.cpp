#include "pickers/generic_picker.h"

#include "db/runner.h"

namespace ws::pickers {

GenericPicker::GenericPicker() : PickerControl("sel_TY_INNER", /*withScrollRate=*/false) {}

void GenericPicker::SetupGrid(forms::Grid& grid) {
  grid.SetFormatString("名称                                             ");
  grid.SetFrozenCols(0);
}

void GenericPicker::ApplyCaption() {
  std::string caption = Parameter("FieldName");
  if (!caption.empty()) Grid().SetTextMatrix(0, 0, caption);
}

db::Sql GenericPicker::ListQuery() {
  ApplyCaption();
  // The statement is the caller's own, handed over as a parameter of the picker.
  db::Sql query(Parameter("SQL"));
  if (query.empty()) return query;
  std::string order = Parameter("Order");
  if (!order.empty()) query.Raw(" ORDER BY ").Raw(order);
  return query;
}

void GenericPicker::Choose(int row) {
  if (row < 0) {
    value_ = "0";
    text_.clear();
    return;
  }
  value_ = text_ = Grid().TextMatrix(row, 0);
}

bool GenericPicker::Validate(const std::string&, const std::string&, const std::string&,
                             const std::string& typed, std::string& outValue,
                             std::string& outText) {
  value_ = "0";
  text_.clear();
  ApplyCaption();
  const std::string sql = Parameter("SQL");
  const std::string valid = Parameter("Valid");
  // Without a condition every row would "match" the first one listed: nothing matches instead.
  if (System() && !sql.empty() && !valid.empty()) {
    db::Sql query(sql);
    query.Raw(" AND (").Append(WithTyped(valid, typed)).Raw(")");
    std::string error;
    auto record = db::Runner(System()->GetDatabase()).Open(query, &error);
    if (!error.empty()) {
      ShowError(error);
    } else if (!record->Eof() && record->FieldCount() > 0) {
      text_ = record->Field(0).ToText();
      value_ = db::DecimalText(db::NumericValue(text_));
    }
  }
  outValue = text_;
  outText = text_;
  return false;
}

}  // namespace ws::pickers
