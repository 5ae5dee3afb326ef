// The receipt's save hooks, its check and uncheck, delete and print data.
#include <cmath>
#include <stdexcept>

#include "db/runner.h"
#include "db/value.h"
#include "forms/text.h"
#include "receipt/js_s.h"
#include "receipt/receipt_check.h"
#include "receipt/receipt_sql.h"
#include "settlement/settlement_sql.h"

namespace ws::receipt {

bool JS_S::FileSave() {
  if (!HasSystem() || !lines_) return false;
  return SaveDocument();
}

bool JS_S::ValidateSave() {
  return Guarded("IsCanSave:", [&] {
    if (!docs::Document::ValidateSave()) return false;
    forms::Field& customer = Header(kCustomer);
    if (customer.KeyLong() <= 0) {
      Ask(forms::Trim(customer.Caption()) + "不能为空，请修改后重试！", Title(),
          host::MsgButtons::Ok, host::MsgIcon::Information);
      form_.SetFocus(&customer);
      return false;
    }
    const double amount = db::NumericValue(Header(kAmount).Text());
    // The sums are of typed decimals: a few ulps over the tolerance are still a match.
    if (std::fabs(amount - WriteOffTotal()) > kTolerance + 1e-9) {
      Ask("总金额与核销金额总合不相等，请检查!", "操作提示", host::MsgButtons::Ok,
          host::MsgIcon::Information);
      return false;
    }
    auto date = DocumentDate();
    return date && Gate().Pass(settlement::GateOperation::Save, CurrentId(), *date);
  });
}

bool JS_S::PrepareSave(docs::RowValues& values, bool isNew) {
  auto date = db::Date::Parse(forms::Trim(Header(kDate).Text()));
  if (!date) return false;  // ValidateSave has said why
  return PrepareMoneyHeader(values, isNew, *date, Gate().PeriodOf(*date));
}

bool JS_S::CheckInTransaction(docs::SaveContext& ctx) {
  return NumberIsFree(ctx, false);
}

bool JS_S::Check() {
  if (!HasSystem()) return false;
  bool checked = Guarded("审核时出错：", [&] { return ChangeState(true); });
  Database().Close();
  return checked;
}

bool JS_S::UnCheck() {
  if (!HasSystem()) return false;
  bool unchecked = Guarded("UnCheck::", [&] { return ChangeState(false); });
  Database().Close();
  return unchecked;
}

bool JS_S::ChangeState(bool check) {
  if (CurrentId() <= 0 || Editing()) {
    // The lines applied are those shown; a receipt being edited shows what is not saved.
    Ask(CurrentId() <= 0 ? "没有选择单据" : "请先保存当前单据！", Title(), host::MsgButtons::Ok,
        host::MsgIcon::Information);
    return false;
  }
  auto date = DocumentDate();
  if (!date) return false;
  using settlement::GateOperation;
  if (!Gate().Pass(check ? GateOperation::Check : GateOperation::UnCheck, CurrentId(), *date)) {
    return false;
  }
  ReceiptDocument receipt{CurrentId(), ProgramNumber(), lines_->WriteOffs()};
  host::LoginInfo login = Login();
  std::vector<db::Sql> statements =
      check ? ReceiptCheckStatements(receipt, {login.userName, login.loginDate}, Driver())
            : ReceiptUnCheckStatements(receipt, Driver());
  // The mark must still be the one the gate read: of two clerks pressing Check at once, the
  // second applies nothing.
  statements.front().Raw(check ? " AND smark='01'" : " AND smark='02'");
  docs::StepOutcome outcome = RunSteps(statements);
  if (outcome.missing) {
    Ask(check ? "该单据已经被审核，不能再次审核！请刷新单据"
              : "该单据已经被取消审核，不能再次取消！请刷新单据",
        settlement::PeriodGate::kTitle, host::MsgButtons::Ok, host::MsgIcon::Information);
    return false;
  }
  if (!outcome.done) {
    Ask("Check Error::" + outcome.error, Title(), host::MsgButtons::Ok, host::MsgIcon::None);
    return false;
  }
  // Show the mark, the checker and the orders' balances as they now are.
  return SearchList(db::Sql("单据ID=").Key(CurrentId()).Literal(), true);
}

bool JS_S::FileDelete() {
  if (!HasSystem()) return false;
  if (CurrentId() <= 0) {
    Ask("没有可删除的记录!", "提示:", host::MsgButtons::Ok, host::MsgIcon::Information);
    Database().Close();
    return false;
  }
  bool deleted = Guarded("-->DeleteData::", [&] {
    auto date = DocumentDate();
    if (!date) return false;
    // Both questions come before the transaction: a write lock held while a box is open would
    // stop every other counter's save.
    if (Ask("是否删除当前记录:", "提示:", host::MsgButtons::YesNo, host::MsgIcon::Question) !=
        host::MsgAnswer::Yes) {
      return false;
    }
    if (!System().CanEditBill(ProgramNumber(), *date, Header(kNumber).Text())) return false;
    std::vector<db::Sql> statements = DeleteReceiptStatements(CurrentId());
    // A checked receipt has changed its orders; deleting it would leave them changed for good.
    statements.front().Raw(" AND smark='01'");
    return DeleteBySteps(statements, "当前单据已被他人删除或审核，不能删除！");
  });
  Database().Close();
  return deleted;
}

bool JS_S::DoPrint() {
  if (!HasSystem() || !lines_) return false;
  return Guarded("->sfSetToPrintFile:", [&] {
    const std::string file = StartPrintFile();
    std::unique_ptr<host::IPrintData> data = System().CreatePrintData();
    if (!data) throw std::runtime_error("no print data component");
    data->SetValue("标题", kTitleText);
    for (const auto& [caption, text] : Schema().PrintValues(form_, kFieldArray)) {
      data->SetValue(caption, text);
    }
    data->SetValue("核销金额合计", form_.Get<forms::Label>(kTotalLabel).Caption());
    AddPrintTable(*data, kGrid, lines_->PrintRows());
    if (std::string failure = data->WriteFile(file); !failure.empty()) {
      throw std::runtime_error(failure);
    }
    return true;
  });
}

}  // namespace ws::receipt
