// The requisition's save hooks, edit, delete, check, uncheck and print data.
#include <stdexcept>

#include "db/runner.h"
#include "db/value.h"
#include "forms/text.h"
#include "framework/columns.h"
#include "framework/shop_decimals.h"
#include "host/app.h"
#include "requisition/check_step.h"
#include "requisition/ckll_ws.h"

namespace ws::requisition {

namespace {

using forms::Trim;
using L = RequisitionLines;
namespace col = framework::col;

}  // namespace

bool CKLl_WS::FileEdit() {
  if (!HasSystem()) return false;
  if (CurrentId() <= 0) {
    Ask("请具体的单据可以编辑数据！   ", Title(), host::MsgButtons::Ok, host::MsgIcon::Information);
    return false;
  }
  bool checked = false;
  if (!Guarded("-->FileEdit::", [&] {
        checked = IsChecked(Database(), CurrentId());
        return true;
      })) {
    return false;
  }
  if (checked) {
    Ask("该单据已经被审核，不能修改！请刷新单据", framework::kGateTitle, host::MsgButtons::Ok,
        host::MsgIcon::Information);
    return false;
  }
  return framework::Document::FileEdit();
}

bool CKLl_WS::ValidateSave() {
  return Guarded("IsCanSave:", [&] { return IsCanSave(); });
}

void CKLl_WS::FocusCell(int row, int col) {
  forms::Grid& grid = lines_->Grid();
  grid.SetRow(row);
  grid.SetCurrentCol(col);
  form_.SetFocus(&grid);
}

bool CKLl_WS::RowsValid(bool* anyLine) {
  forms::Grid& grid = lines_->Grid();
  const bool batchMayBeEmpty =
      db::NumericValue(System().GetOption(1, std::string("batchisempty"))) != 0;
  for (int row = grid.FixedRows(); row < grid.Rows(); ++row) {
    if (!lines_->IsLine(row)) continue;
    *anyLine = true;
    const std::string number = std::to_string(row);
    if (lines_->DepotShown() && grid.CellKeyLong(row, L::kDepot) == 0) {
      events_.ErrMessage("第" + number + "行仓库名称为空，不能保存！", host::kLevelRefusal,
                         host::kAppTitle);
      FocusCell(row, L::kDepot);
      return false;
    }
    if (lines_->BatchShown() && db::NumericValue(grid.TextMatrix(row, L::kBatchManaged)) >= 1 &&
        !batchMayBeEmpty && Trim(grid.TextMatrix(row, L::kBatch)).empty()) {
      events_.ErrMessage("第" + number + "行批次号为空，不能保存！", host::kLevelRefusal,
                         host::kAppTitle);
      FocusCell(row, L::kBatch);
      return false;
    }
  }
  return true;
}

bool CKLl_WS::IsCanSave() {
  // The stock period is the date's: without a date the gate would speak of period [0], so the
  // date field refuses like any field that holds no valid value.
  forms::Field& date = Header(kDate);
  if (!db::Date::Parse(Trim(date.Text()))) MarkInputError(date);
  if (!framework::Document::ValidateSave()) return false;
  if (CurrentId() > 0 && IsChecked(Database(), CurrentId())) {
    Ask("该单据已经被审核，不能保存！请刷新单据", framework::kGateTitle, host::MsgButtons::Ok,
        host::MsgIcon::Information);
    return false;
  }
  if (!lines_->DepotShown() && Header(kDepot).KeyLong() == 0) {
    events_.ErrMessage(Trim(Header(kDepot).Caption()) + "为空，不能保存！", host::kLevelRefusal,
                       host::kAppTitle);
    form_.SetFocus(&Header(kDepot));
    return false;
  }
  bool anyLine = false;
  if (!RowsValid(&anyLine)) return false;
  if (!anyLine) {
    events_.ErrMessage("表体内无记录，不能保存！", host::kLevelRefusal, host::kAppTitle);
    return false;
  }
  documentPeriod_ = PeriodOfField();
  return gate_.Admit(framework::GateUse::Save, documentPeriod_, System().Dialogs());
}

bool CKLl_WS::PrepareSave(framework::RowValues& values, bool isNew) {
  if (Header(kCurrency).KeyLong() == 0) {
    SetDefaultCurrency();
    values[col::kCurrencyId] = Header(kCurrency).Key();
  }
  const std::string number = Trim(Header(kNumber).Text());
  if (number.empty()) {
    Ask("单据编号为空，无法保存", Title(), host::MsgButtons::Ok, host::MsgIcon::Information);
    form_.SetFocus(&Header(kNumber));
    return false;
  }
  values[col::kNumber] = number;
  values[col::kProgram] = std::to_string(ProgramNumber());
  values[col::kSystem] = "填单";
  if (isNew) values[col::kMark] = "01";
  for (int index : {kEnteredBy, kRemark}) {
    std::string& text = values[Schema().FieldOf(index)->column];
    text = Trim(text);
  }
  // What the total label shows is what is stored and rolled into the order's parts cost.
  values[col::kTotalAmount] = lines_->Total().RoundedTo(framework::AmountDecimals(System())).Text();
  values[col::kPeriod] = std::to_string(documentPeriod_);
  lines_->SetCommonValue(col::kPeriod, documentPeriod_);
  return true;
}

db::Sql CKLl_WS::DuplicateNumberSelect(const framework::SaveContext& ctx) const {
  const std::string& number = ctx.values.at(col::kNumber);
  db::Sql sql;
  if (ctx.isNew) {
    sql.Raw(" select Top 1 单据ID from  jxcdj where  单据编号 =")
        .Text(number)
        .Raw("and progid =")
        .Key(ProgramNumber());
  } else {
    sql.Raw(" Select Top 1 单据ID From jxcdj Where 单据ID <> ")
        .Key(ctx.id)
        .Raw(" and progid =")
        .Key(ProgramNumber())
        .Raw(" and 单据编号=")
        .Text(number);
  }
  return sql;
}

bool CKLl_WS::DeleteDocument() {
  if (!ConfirmDelete() || !MayChange(DocumentDateOrThrow())) return false;
  const int64_t id = CurrentId();
  framework::StepOutcome outcome =
      RunSteps({{db::Sql("Delete from JXCDJ where 单据ID=")
                     .Key(id)
                     // A checked requisition has posted its stock; deleting it would leave
                     // the stock journal and the order's parts cost as if it were there.
                     .Raw(" AND COALESCE(smark,'')<>'02'"),
                 true},
                {db::Sql("Delete from JXCDJMX where 单据ID=").Key(id), false}},
               db::AuditAction::Delete);
  if (outcome.refused) {
    Ask("当前单据已被他人删除或审核，不能删除！", "提示:", host::MsgButtons::Ok,
        host::MsgIcon::Information);
    return false;
  }
  if (!outcome.Ok()) {
    events_.ErrMessage(outcome.error, host::kLevelFailure, host::kAppTitle);
    return false;
  }
  return LoadList(host::kNavLast);
}

bool CKLl_WS::ChangeState(bool check) {
  if (CurrentId() <= 0) return false;
  const CheckDirection direction = check ? CheckDirection::Check : CheckDirection::UnCheck;
  RequisitionKeys keys;
  keys.programNumber = ProgramNumber();
  keys.documentId = CurrentId();
  keys.sourceProgram = Header(kVehicle).KeyLong();
  keys.sourceId = Header(kOrder).KeyLong();
  const db::AuditEvent audit =
      AuditEventOf(check ? db::AuditAction::Check : db::AuditAction::UnCheck);
  if (!RunCheckStep(System(), gate_, keys, documentPeriod_, direction, kErrorTitle, &audit)) {
    return false;
  }
  // The host's status columns changed with the step; the form shows them as stored.
  ReadAheadDetails(keys.documentId);
  SearchList(db::Sql(col::kId).Raw("=").Key(keys.documentId).Literal(), true);
  return true;
}

void CKLl_WS::AddPrintValues(host::IPrintData& data) {
  auto shown = [&](int index) {
    const forms::Label& label = Label(index);
    return label.Visible() ? label.Caption() : std::string("***");
  };
  data.SetValue("金额大写", shown(kAmountWords));
  data.SetValue("金额小写", shown(kAmountFigures));
  data.SetValue("数量合计", Label(kQuantityTotal).Caption());
}

}  // namespace ws::requisition
