// FileSave, FileDelete, Check, UnCheck and the print data of the repair settlement.
#include <cmath>
#include <stdexcept>

#include "db/runner.h"
#include "db/value.h"
#include "framework/columns.h"
#include "money/check_mark.h"
#include "money/js_ws.h"
#include "money/settlement_sql.h"
#include "money/settlement_voucher.h"

namespace ws::money {

namespace {

using forms::Trim;
using framework::GateUse;
namespace col = framework::col;

}  // namespace

bool JS_WS::ValidateSave() {
  return Guarded("IsCanSave:", [&] {
    if (!framework::Document::ValidateSave()) return false;
    // The fees go to a row of their own, outside the header the base check covers.
    for (int index : {kLabour, kParts, kDiagnosis, kInspection, kManagement}) {
      if (!Amount(index).InRange()) {
        Ask(Trim(Header(index).Caption()) + "超出允许范围，不能保存！", Title(),
            host::MsgButtons::Ok, host::MsgIcon::Information);
        form_.SetFocus(&Header(index));
        return false;
      }
    }
    forms::Field& order = Header(kOrderNumber);
    if (order.KeyLong() <= 0) {
      Ask(Trim(order.Caption()) + "不能为空，请选择后重试！", Title(), host::MsgButtons::Ok,
          host::MsgIcon::Information);
      return false;
    }
    auto date = db::Date::Parse(Trim(Header(kDate).Text()));
    if (!date) {
      TellInputError(Header(kDate));
      return false;
    }
    return gate_.Pass(System(), GateUse::Save, CurrentId(), *date);
  });
}

bool JS_WS::PrepareSave(framework::RowValues& values, bool isNew) {
  const db::Date date = *db::Date::Parse(Trim(Header(kDate).Text()));  // ValidateSave saw it
  return PrepareMoneyHeader(values, isNew, framework::PeriodGate::PeriodOf(System(), date));
}

bool JS_WS::CheckInTransaction(framework::SaveContext& ctx) {
  if (!NumberIsFree(ctx)) return false;
  // An order is settled once. Two clerks settling it at the same moment take turns on the
  // order's row, so the second sees the first one's settlement and is refused.
  const int64_t order = Header(kOrderNumber).KeyLong();
  if (!ctx.tx.LockRow("WSDJ", col::kId, order)) throw std::runtime_error(ctx.tx.Error());
  const double others =
      ctx.tx.Db().ScalarNumberOrThrow(db::Sql("SELECT count(*) FROM ARPReceive WHERE 前置单据ID=")
                                          .Key(order)
                                          .Raw(" AND 单据ID<>")
                                          .Key(ctx.isNew ? 0 : ctx.id));
  if (others == 0) return true;
  ctx.tx.Rollback();
  Ask(kSettledText, Title(), host::MsgButtons::Ok, host::MsgIcon::Information);
  return false;
}

bool JS_WS::BeforeHeader(framework::SaveContext& ctx) {
  // The copied lines are all new; the lines saved for the order shown before go.
  if (!ctx.isNew && linesReplaced_) {
    for (framework::LineKind kind : {framework::LineKind::Items, framework::LineKind::Parts}) {
      ctx.tx.Run(SavedLinesDelete(kind, ctx.id));
    }
    if (ctx.tx.Failed()) throw std::runtime_error(ctx.tx.Error());
  }
  return true;
}

void JS_WS::AfterCommit(const framework::SaveContext&) {
  linesReplaced_ = false;
}

bool JS_WS::AfterLines(framework::SaveContext& ctx) {
  // One fee row per settlement, rewritten by every save.
  FeeValues fees{Header(kLabour).Text(), Header(kParts).Text(), Header(kDiagnosis).Text(),
                 Header(kInspection).Text(), Header(kManagement).Text()};
  ctx.tx.Run(FeeDelete(ctx.id));
  ctx.tx.Run(FeeInsert(ctx.id, fees));
  if (ctx.tx.Failed()) throw std::runtime_error(ctx.tx.Error());
  return true;
}

bool JS_WS::DeleteDocument() {
  if (!ConfirmDelete()) return false;
  // Asked before the transaction: a write lock held while the host talks to the user would stop
  // every other user's save.
  if (!MayChange(DocumentDateOrThrow())) return false;
  std::vector<db::Sql> statements = SettlementDeleteStatements(CurrentId());
  // A checked settlement has posted its vouchers; deleting it would leave them behind.
  statements.front().Raw(" AND COALESCE(smark,'')<>'02'");
  return DeleteBySteps(statements, "当前单据已被他人删除或审核，不能删除！");
}

bool JS_WS::ChangeState(bool check) {
  if (CurrentId() <= 0) return false;
  // What is posted is the settlement as saved, not what the form may hold meanwhile.
  auto row = db::Runner(Database()).OpenOrThrow(PostingSelect(CurrentId()));
  if (row->Eof()) {
    Ask("当前单据已被他人删除！", Title(), host::MsgButtons::Ok, host::MsgIcon::Information);
    return false;
  }
  SettlementDocument doc;
  doc.id = CurrentId();
  doc.programNumber = ProgramNumber();
  doc.number = row->Text(col::kNumber);
  doc.date = db::FormatDateText(row->Text(col::kDate));
  doc.period = row->Long(col::kPeriod);
  doc.customerId = row->Long(col::kPartnerId);
  doc.methodId = row->Long(col::kMethodId);
  doc.accountId = row->Long(col::kAccountId);
  doc.collected = row->Money(col::kTotalAmount);
  doc.writeOff = row->Money(col::kWriteOff);
  doc.fees = {row->Money(col::kLabour), row->Money(col::kParts), row->Money(col::kDiagnosis),
              row->Money(col::kInspection), row->Money(col::kManagement)};
  doc.orderNumber = row->Text(col::kOrderNumber);
  doc.plate = row->Text(col::kPlate);
  doc.enteredBy = row->Text(col::kEnteredBy);
  doc.entryDate = db::FormatDateText(row->Text(col::kEntryDate));
  row.reset();

  auto date = db::Date::Parse(doc.date);
  if (!date) throw std::runtime_error("单据日期不是有效日期：" + doc.date);
  if (!gate_.Pass(System(), check ? GateUse::Check : GateUse::UnCheck, doc.id, *date)) {
    return false;
  }

  host::LoginInfo login = Login();
  std::vector<db::Sql> statements;
  SettlementPosting posting(System(), Navigator());
  if (check) {
    const std::string error =
        posting.CheckStatements(doc, Checker{login.userName, login.loginDate}, statements);
    if (!error.empty()) {
      Ask(error, Title(), host::MsgButtons::Ok, host::MsgIcon::None);
      return false;
    }
  } else {
    // What a receipt has collected on the order stands on the settlement's debt.
    const double writtenOff =
        db::Runner(Database()).ScalarNumberOrThrow(OrderWrittenOffSelect(doc.id));
    if (writtenOff != 0) {
      Ask(kCollectedText, Title(), host::MsgButtons::Ok, host::MsgIcon::Information);
      return false;
    }
    statements = posting.UnCheckStatements(doc);
  }
  std::vector<framework::Step> steps;
  for (size_t i = 0; i < statements.size(); ++i) steps.push_back({statements[i], i == 0});
  const db::Amount billed = doc.fees.labour + doc.fees.parts + doc.fees.diagnosis +
                            doc.fees.inspection + doc.fees.management;
  steps.push_back(
      {check ? OrderSettledUpdate(doc.id, billed - doc.writeOff, doc.collected, doc.writeOff)
             : OrderUnsettledUpdate(doc.id),
       true});
  framework::StepOutcome outcome =
      RunSteps(steps, check ? db::AuditAction::Check : db::AuditAction::UnCheck);
  if (outcome.refused) {
    Ask("当前单据已被他人删除！", Title(), host::MsgButtons::Ok, host::MsgIcon::Information);
    return false;
  }
  if (!outcome.Ok()) {
    // Both directions report under the one tag the check's log is searched by.
    ReportError("Check Error::" + outcome.error);
    return false;
  }
  SetCheckedStamp(check);
  Header(kCheckedBy).SetText(check ? login.userName : "");
  Header(kCheckDate).SetText(check ? login.loginDate.Text() : "");
  return true;
}

}  // namespace ws::money
