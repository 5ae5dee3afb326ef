// Check, UnCheck, FileDelete and the print data of the repair order.
#include <stdexcept>

#include "db/runner.h"
#include "db/value.h"
#include "forms/number_format.h"
#include "repair_order/ws_s.h"

namespace ws::repair_order {

void WS_S::StateChangeFailed(bool check, const std::string& text) {
  // An uncheck that fails is told in a box, as the clerk pressed it and waits for an answer.
  if (check) {
    framework::Document::StateChangeFailed(check, text);
  } else {
    Ask(text, Title(), host::MsgButtons::Ok, host::MsgIcon::None);
  }
}

bool WS_S::ChangeState(bool check) {
  if (CurrentId() <= 0) {
    // A new order has no row yet: nobody deleted it, it was never saved.
    Ask(check ? "当前单据尚未保存，请先保存后再审核！" : "当前单据尚未保存，不能弃审！", Title(),
        host::MsgButtons::Ok, host::MsgIcon::Information);
    return false;
  }
  host::LoginInfo login = Login();
  // The unchecking user and date take the checker's columns.
  framework::StepOutcome outcome =
      RunSteps({{StatusUpdate(check, ProgramNumber(), login.userName, login.loginDate, CurrentId(),
                              Driver()),
                 true}},
               check ? db::AuditAction::Check : db::AuditAction::UnCheck);
  if (outcome.Ok()) return true;
  Ask(outcome.refused
          ? (check ? "当前单据已被他人删除，不能审核！" : "当前单据已被他人删除，不能弃审！")
          : (check ? "Check Error::" : "UnCheck::") + outcome.error,
      Title(), host::MsgButtons::Ok, host::MsgIcon::None);
  return false;
}

bool WS_S::DeleteDocument() {
  const db::Date dateIn = DocumentDateOrThrow();
  // A refusal of the host, or any answer but Yes, ends the delete with nothing written. Both are
  // asked before the transaction begins: a write transaction held open while a user reads a
  // question would block every other user's save for as long as the box is open.
  if (!MayChange(dateIn) || !ConfirmDelete()) return false;
  return DeleteBySteps(DeleteOrderStatements(CurrentId()),
                       "当前单据已被他人删除、审核或已有后续单据，不能删除！");
}

void WS_S::AddPrintValues(host::IPrintData& data) {
  auto label = [&](const char* name) {
    const auto& widget = form_.Get<forms::Label>(name);
    return widget.Visible() ? widget.Caption() : std::string("***");
  };
  data.SetValue("金额大写", label(kAmountWords));
  data.SetValue("金额小写", label(kAmountFigures));

  db::Runner runner(Database());
  auto issued = runner.OpenOrThrow(IssuedPartsSelect(CurrentId()));
  std::vector<std::string> columns;
  for (int i = 0; i < issued->FieldCount(); ++i) columns.push_back(issued->FieldName(i));
  std::vector<std::vector<std::string>> rows;
  for (; !issued->Eof(); issued->MoveNext()) {
    std::vector<std::string> cells;
    for (int i = 0; i < issued->FieldCount(); ++i) cells.push_back(issued->Field(i).ToText());
    rows.push_back(std::move(cells));
  }
  data.AddTable("ywGridCK", columns, rows);

  const db::Amount cost = runner.ScalarAmountOrThrow(IssuedCostSelect(CurrentId()));
  // The workshop's management fee is a tenth of the parts actually issued, rounded once to the
  // cents it prints with: through ten-thousandths first, 12.34495 would print as 12.35.
  data.SetValue("实际配件费用", forms::FixedText(cost.RoundedTo(2).ToDouble(), 2));
  data.SetValue("实际管理费用",
                forms::FixedText(cost.Times(db::Amount::Of("0.1"), 2).ToDouble(), 2));
}

}  // namespace ws::repair_order
