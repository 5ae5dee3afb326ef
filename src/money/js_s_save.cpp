// The receipt's save hooks, its check and uncheck, delete and print data.
#include <cmath>
#include <stdexcept>

#include "db/runner.h"
#include "db/value.h"
#include "forms/text.h"
#include "framework/columns.h"
#include "money/js_s.h"
#include "money/receipt_check.h"
#include "money/receipt_sql.h"
#include "money/settlement_sql.h"

namespace ws::money {

namespace col = framework::col;

bool JS_S::ValidateSave() {
  return Guarded("IsCanSave:", [&] {
    if (!framework::Document::ValidateSave()) return false;
    forms::Field& customer = Header(kCustomer);
    if (customer.KeyLong() <= 0) {
      Ask(forms::Trim(customer.Caption()) + "不能为空，请修改后重试！", Title(),
          host::MsgButtons::Ok, host::MsgIcon::Information);
      form_.SetFocus(&customer);
      return false;
    }
    const db::Amount difference = db::Amount::Of(Header(kAmount).Text()) - WriteOffTotal();
    if (!difference.InRange() || difference > kTolerance || -difference > kTolerance) {
      Ask("总金额与核销金额总合不相等，请检查!", "操作提示", host::MsgButtons::Ok,
          host::MsgIcon::Information);
      return false;
    }
    auto date = DocumentDate();
    return date && Gate().Pass(System(), framework::GateUse::Save, CurrentId(), *date);
  });
}

bool JS_S::PrepareSave(framework::RowValues& values, bool isNew) {
  auto date = db::Date::Parse(forms::Trim(Header(kDate).Text()));
  if (!date) return false;  // ValidateSave has said why
  return PrepareMoneyHeader(values, isNew, framework::PeriodGate::PeriodOf(System(), *date));
}

void JS_S::RefuseDuplicateNumber(bool /*isNew*/) {
  ReportError(kDuplicateText);
  form_.SetFocus(&NumberInput());
}

bool JS_S::ChangeState(bool check) {
  if (CurrentId() <= 0 || Editing()) {
    // A receipt being edited is saved first: the clerk would expect what the window shows.
    Ask(CurrentId() <= 0 ? "没有选择单据" : "请先保存当前单据！", Title(), host::MsgButtons::Ok,
        host::MsgIcon::Information);
    return false;
  }
  auto date = DocumentDate();
  if (!date) return false;
  using framework::GateUse;
  if (!Gate().Pass(System(), check ? GateUse::Check : GateUse::UnCheck, CurrentId(), *date)) {
    return false;
  }
  host::LoginInfo login = Login();
  db::Transaction tx(Database());
  if (tx.Failed()) throw std::runtime_error(tx.Error());
  // The receipt's own row first: the mark must still be the one the gate read (of two clerks
  // pressing Check at once, the second applies nothing), and a save of the receipt by another
  // desk is then either committed or waits.
  db::Sql mark = check ? money::CheckMarkUpdate(ProgramNumber(), CurrentId(),
                                                {login.userName, login.loginDate}, Driver())
                       : money::UnCheckMarkUpdate(ProgramNumber(), CurrentId(), Driver());
  mark.Raw(check ? " AND smark='01'" : " AND smark='02'");
  int64_t marked = 0;
  if (tx.Run(mark, &marked) && marked != 1) {
    tx.Rollback();
    Ask(check ? "该单据已经被审核，不能再次审核！请刷新单据"
              : "该单据已经被取消审核，不能再次取消！请刷新单据",
        framework::kGateTitle, host::MsgButtons::Ok, host::MsgIcon::Information);
    return false;
  }
  // What is applied is the receipt as stored, as the settlement's check posts its stored
  // fees: a window showing lines from before another desk's save would apply amounts that a
  // later uncheck (of the stored lines) never takes back.
  ReceiptDocument receipt{CurrentId(), ProgramNumber(), {}};
  std::string error;
  auto stored = tx.Db().Open(StoredWriteOffsSelect(CurrentId()), &error);
  if (!error.empty()) tx.Fail(error);
  for (; error.empty() && !stored->Eof(); stored->MoveNext()) {
    receipt.lines.push_back(
        {stored->Long("源单ID"), stored->Money("结算金额"), stored->Money("折扣金额")});
  }
  for (const db::Sql& sql : WriteOffStatements(receipt, check ? +1 : -1)) tx.Run(sql);
  if (check && !tx.Failed() && !BalancesHold(tx, receipt)) return false;
  if (!tx.Failed()) {
    db::AppendAudit(tx, AuditEventOf(check ? db::AuditAction::Check : db::AuditAction::UnCheck),
                    AuditSessionOf());
  }
  if (tx.Failed() || !tx.Commit()) {
    Ask("Check Error::" + tx.Error(), Title(), host::MsgButtons::Ok, host::MsgIcon::None);
    return false;
  }
  // Show the mark, the checker and the orders' balances as they now are.
  return SearchList(db::Sql(col::kId).Raw("=").Key(CurrentId()).Literal(), true);
}

bool JS_S::BalancesHold(db::Transaction& tx, const ReceiptDocument& receipt) {
  // Two receipts checked at once against one order: the second one's updates wait for the
  // first's, so the balance read here holds both.
  for (const WriteOff& line : receipt.lines) {
    if (line.orderId <= 0 || line.amount + line.discount <= db::Amount()) continue;
    auto order = tx.Db().OpenOrThrow(
        db::Sql(" SELECT 工单号码, 余额 FROM wsdj WHERE 单据ID=").Key(line.orderId));
    // Exact amounts: a balance the write-offs use up to the last cent is 0, not a residue.
    if (order->Eof() || order->Money(col::kBalance) >= db::Amount()) continue;
    tx.Rollback();
    Ask("维修单" + order->Text(col::kOrderNumber) + "的余额不足，核销后余额将小于零，不能审核！",
        Title(), host::MsgButtons::Ok, host::MsgIcon::Information);
    return false;
  }
  return true;
}

bool JS_S::DeleteDocument() {
  auto date = DocumentDate();
  if (!date) return false;
  // Both questions come before the transaction: a write lock held while a box is open would
  // stop every other counter's save.
  if (!ConfirmDelete() || !MayChange(*date)) return false;
  std::vector<db::Sql> statements = DeleteReceiptStatements(CurrentId());
  // A checked receipt has changed its orders; deleting it would leave them changed for good.
  statements.front().Raw(" AND smark='01'");
  return DeleteBySteps(statements, "当前单据已被他人删除或审核，不能删除！");
}

void JS_S::AddPrintValues(host::IPrintData& data) {
  data.SetValue("核销金额合计", form_.Get<forms::Label>(kTotalLabel).Caption());
}

}  // namespace ws::money
