#include "money/money_document.h"

#include <stdexcept>

#include "db/runner.h"
#include "db/value.h"
#include "forms/field.h"
#include "forms/text.h"
#include "money/settlement_sql.h"

namespace ws::money {

MoneyDocument::MoneyDocument(std::string className, framework::HeaderSchema schema,
                             std::string fieldArray, int numberField)
    : framework::Document(std::move(className), std::move(schema), std::move(fieldArray)),
      numberField_(numberField) {}

bool MoneyDocument::FileEdit() {
  if (CurrentId() <= 0) {
    if (HasSystem()) {
      Ask("请选择具体的单据", "提示:", host::MsgButtons::Ok, host::MsgIcon::Information);
    }
    return false;
  }
  return framework::Document::FileEdit();
}

forms::Field& MoneyDocument::NumberField() const {
  return form_.Get<forms::Field>(FieldArray(), numberField_);
}

bool MoneyDocument::PrepareMoneyHeader(framework::RowValues& values, bool isNew,
                                       const db::Date& date, int64_t period) {
  // Settled on a copy: a refused save leaves the typed number in the field.
  std::string number = forms::Trim(NumberField().Text());
  if (isNew && !System().NewBillNo(ProgramNumber(), date, number, false)) return false;
  if (number.empty()) {
    ReportError("收款单号不能为空，请输入后重试!  ");
    form_.SetFocus(&NumberField());
    return false;
  }
  values["单据编号"] = number;
  values["会计期间"] = std::to_string(period);
  if (isNew) {
    values["progID"] = std::to_string(ProgramNumber());
    values["smark"] = "01";
    values["status"] = "填单";
  }
  return true;
}

bool MoneyDocument::NumberIsFree(framework::SaveContext& ctx, bool tellInBox) {
  // Under the write lock: no other counter stores the same number between this test and the
  // insert.
  std::string error;
  auto duplicate = ctx.tx.Db().Open(
      DuplicateNumberSelect(ProgramNumber(), ctx.values["单据编号"], ctx.isNew ? 0 : ctx.id),
      &error);
  if (!error.empty()) throw std::runtime_error(error);
  if (duplicate->Eof()) return true;
  ctx.tx.Rollback();
  const std::string text = "收款单号重复,请检查后重试!";
  if (tellInBox) {
    Ask(text, Title(), host::MsgButtons::Ok, host::MsgIcon::Information);
  } else {
    ReportError(text);
  }
  form_.SetFocus(&NumberField());
  return false;
}

bool MoneyDocument::ShowSaved(int64_t id) {
  if (!SearchList(db::Sql("单据ID=").Key(id).Literal(), false)) return false;
  SetEditState(false);
  SetDirty(false);
  events_.Message("保存数据成功,单据编号：" + NumberField().Text());
  return true;
}

}  // namespace ws::money
