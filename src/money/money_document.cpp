#include "money/money_document.h"

#include <stdexcept>

#include "db/runner.h"
#include "db/value.h"
#include "forms/field.h"
#include "forms/text.h"
#include "framework/columns.h"
#include "money/settlement_sql.h"

namespace ws::money {

namespace col = framework::col;

MoneyDocument::MoneyDocument(std::string className, framework::HeaderSchema schema,
                             std::string fieldArray)
    : framework::Document(std::move(className), std::move(schema), std::move(fieldArray)) {}

bool MoneyDocument::FileEdit() {
  if (CurrentId() <= 0) {
    if (HasSystem()) {
      Ask("请选择具体的单据", "提示:", host::MsgButtons::Ok, host::MsgIcon::Information);
    }
    return false;
  }
  return framework::Document::FileEdit();
}

forms::Field& MoneyDocument::NumberInput() const {
  return HeaderField(Schema().FieldWith(framework::FieldRole::Number));
}

bool MoneyDocument::PrepareMoneyHeader(framework::RowValues& values, bool isNew, int64_t period) {
  const std::string number = forms::Trim(NumberInput().Text());
  if (number.empty()) {
    ReportError("收款单号不能为空，请输入后重试!  ");
    form_.SetFocus(&NumberInput());
    return false;
  }
  values[col::kNumber] = number;
  values[col::kPeriod] = std::to_string(period);
  if (isNew) {
    values[col::kProgram] = std::to_string(ProgramNumber());
    values[col::kMark] = "01";
    values[col::kStatus] = "填单";
  }
  return true;
}

db::Sql MoneyDocument::DuplicateNumberSelect(const framework::SaveContext& ctx) const {
  return money::DuplicateNumberSelect(ProgramNumber(), ctx.values.at(col::kNumber),
                                      ctx.isNew ? 0 : ctx.id);
}

void MoneyDocument::RefuseDuplicateNumber(bool /*isNew*/) {
  Ask(kDuplicateText, Title(), host::MsgButtons::Ok, host::MsgIcon::Information);
  form_.SetFocus(&NumberInput());
}

std::string MoneyDocument::SavedText() const {
  return "保存数据成功,单据编号：" + NumberInput().Text();
}

}  // namespace ws::money
