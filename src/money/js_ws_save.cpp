// FileSave, FileDelete, Check, UnCheck and the print data of the repair settlement.
#include <cmath>
#include <stdexcept>

#include "db/runner.h"
#include "db/value.h"
#include "money/check_mark.h"
#include "money/js_ws.h"
#include "money/settlement_sql.h"
#include "money/settlement_voucher.h"

namespace ws::money {

namespace {

using forms::Trim;
using framework::GateUse;

}  // namespace

bool JS_WS::FileSave() {
  if (!HasSystem() || !items_) return false;
  return SaveDocument();
}

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
      Ask(Trim(Header(kDate).Caption()) + "输入有误，请重新输入！", Title(), host::MsgButtons::Ok,
          host::MsgIcon::Information);
      form_.SetFocus(&Header(kDate));
      return false;
    }
    return gate_.Pass(System(), GateUse::Save, CurrentId(), *date);
  });
}

bool JS_WS::PrepareSave(framework::RowValues& values, bool isNew) {
  const db::Date date = *db::Date::Parse(Trim(Header(kDate).Text()));  // ValidateSave saw it
  return PrepareMoneyHeader(values, isNew, date, framework::PeriodGate::PeriodOf(System(), date));
}

bool JS_WS::CheckInTransaction(framework::SaveContext& ctx) {
  if (!NumberIsFree(ctx, true)) return false;
  // An order is settled once. Two clerks settling it at the same moment take turns on the
  // order's row, so the second sees the first one's settlement and is refused.
  const int64_t order = Header(kOrderNumber).KeyLong();
  if (!ctx.tx.LockRow("WSDJ", "单据ID", order)) throw std::runtime_error(ctx.tx.Error());
  std::string error;
  const double others =
      ctx.tx.Db().ScalarNumber(db::Sql("SELECT count(*) FROM ARPReceive WHERE 前置单据ID=")
                                   .Key(order)
                                   .Raw(" AND 单据ID<>")
                                   .Key(ctx.isNew ? 0 : ctx.id),
                               &error);
  if (!error.empty()) throw std::runtime_error(error);
  if (others == 0) return true;
  ctx.tx.Rollback();
  Ask("该维修单已经结算，不能重复结算！", Title(), host::MsgButtons::Ok,
      host::MsgIcon::Information);
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

bool JS_WS::FileDelete() {
  if (!HasSystem()) return false;
  if (CurrentId() <= 0) {
    Ask("没有可删除的记录!", "提示:", host::MsgButtons::Ok, host::MsgIcon::Information);
    Database().Close();
    return false;
  }
  bool deleted = Guarded("-->DeleteData::", [&] {
    if (Ask("是否删除当前记录:", "提示:", host::MsgButtons::YesNo, host::MsgIcon::Question) !=
        host::MsgAnswer::Yes) {
      return false;
    }
    std::string dateText = Trim(Header(kDate).Text());
    auto date = db::Date::Parse(dateText);
    if (!date) throw std::runtime_error("单据日期不是有效日期：" + dateText);
    // Asked before the transaction: a write lock held while the host talks to the user would
    // stop every other user's save.
    if (!System().CanEditBill(ProgramNumber(), *date, Header(kNumber).Text())) return false;
    return DeleteBySteps(SettlementDeleteStatements(CurrentId()), "当前单据已被他人删除！");
  });
  Database().Close();
  return deleted;
}

bool JS_WS::Check() {
  if (!HasSystem() || CurrentId() <= 0) return false;
  bool checked = Guarded("IFormUI_Check::", [&] { return ChangeState(true); });
  Database().Close();
  return checked;
}

bool JS_WS::UnCheck() {
  if (!HasSystem() || CurrentId() <= 0) return false;
  bool unchecked = Guarded("IFormUI_UnCheck::", [&] { return ChangeState(false); });
  Database().Close();
  return unchecked;
}

bool JS_WS::ChangeState(bool check) {
  // What is posted is the settlement as saved, not what the form may hold meanwhile.
  std::string error;
  auto row = db::Runner(Database()).Open(PostingSelect(CurrentId()), &error);
  if (!error.empty()) throw std::runtime_error(error);
  if (row->Eof()) {
    Ask("当前单据已被他人删除！", Title(), host::MsgButtons::Ok, host::MsgIcon::Information);
    return false;
  }
  SettlementDocument doc;
  doc.id = CurrentId();
  doc.programNumber = ProgramNumber();
  doc.number = row->Text("单据编号");
  doc.date = db::FormatDateText(row->Text("单据日期"));
  doc.period = row->Long("会计期间");
  doc.customerId = row->Long("往来ID");
  doc.methodId = row->Long("结算方式ID");
  doc.accountId = row->Long("科目ID");
  doc.collected = row->Money("总金额");
  doc.writeOff = row->Money("扣零金额");
  doc.fees = {row->Money("维修费用"), row->Money("配件费用"), row->Money("诊断费"),
              row->Money("检测费"), row->Money("管理费")};
  doc.orderNumber = row->Text("工单号码");
  doc.plate = row->Text("车牌号");
  doc.enteredBy = row->Text("制单人");
  doc.entryDate = db::FormatDateText(row->Text("制单日期"));
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
    error = posting.CheckStatements(doc, Checker{login.userName, login.loginDate}, statements);
    if (!error.empty()) {
      Ask(error, Title(), host::MsgButtons::Ok, host::MsgIcon::None);
      return false;
    }
  } else {
    statements = posting.UnCheckStatements(doc);
  }
  framework::StepOutcome outcome = RunSteps(statements);
  if (outcome.missing) {
    Ask("当前单据已被他人删除！", Title(), host::MsgButtons::Ok, host::MsgIcon::Information);
    return false;
  }
  if (!outcome.done) {
    // Both directions report under the one tag the check's log is searched by.
    ReportError("Check Error::" + outcome.error);
    return false;
  }
  SetCheckedStamp(check);
  Header(kCheckedBy).SetText(check ? login.userName : "");
  Header(kCheckDate).SetText(check ? login.loginDate.Text() : "");
  return true;
}

bool JS_WS::DoPrint() {
  if (!HasSystem() || !items_) return false;
  return Guarded("->sfSetToPrintFile:", [&] {
    const std::string file = StartPrintFile();

    std::unique_ptr<host::IPrintData> data = System().CreatePrintData();
    if (!data) throw std::runtime_error("no print data component");
    data->SetValue("标题", kTitle);
    // Every header field, the copied repair order and the computed amounts included.
    for (auto* widget : form_.Array(kFieldArray)) {
      auto* field = static_cast<forms::Field*>(widget);
      std::string caption = Trim(field->Caption());
      if (!caption.empty()) data->SetValue(caption, field->Text());
    }
    AddPrintTable(*data, kItemGrid, items_->PrintRows());
    AddPrintTable(*data, kPartGrid, parts_->PrintRows());
    if (std::string failure = data->WriteFile(file); !failure.empty()) {
      throw std::runtime_error(failure);
    }
    return true;
  });
}

}  // namespace ws::money
