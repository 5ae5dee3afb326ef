// The requisition's save hooks, edit, delete, check, uncheck and print data.
#include <stdexcept>

#include "db/runner.h"
#include "db/value.h"
#include "forms/text.h"
#include "host/app.h"
#include "requisition/check_step.h"
#include "requisition/ckll_ws.h"

namespace ws::requisition {

namespace {

using forms::Trim;
using L = RequisitionLines;

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

bool CKLl_WS::FileSave() {
  if (!HasSystem() || !lines_) return false;
  return SaveDocument();
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
  if (!db::Date::Parse(Trim(date.Text()))) {
    date.MarkInvalid(Trim(date.Caption()) + "输入有误，请重新输入！");
  }
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
    values["币种ID"] = Header(kCurrency).Key();
  }
  // Settled on a copy: a refused save leaves the typed number in the field.
  std::string number = Trim(Header(kNumber).Text());
  if (isNew && !System().NewBillNo(ProgramNumber(), Login().loginDate, number, false)) {
    return false;
  }
  if (number.empty()) {
    Ask("单据编号为空，无法保存", Title(), host::MsgButtons::Ok, host::MsgIcon::Information);
    form_.SetFocus(&Header(kNumber));
    return false;
  }
  values["单据编号"] = number;
  values["progID"] = std::to_string(ProgramNumber());
  values["系统"] = "填单";
  if (isNew) values["smark"] = "01";
  values["仓库填单"] = Trim(values["仓库填单"]);
  values["备注"] = Trim(values["备注"]);
  values["总金额"] = lines_->Total().Text();
  values["会计期间"] = std::to_string(documentPeriod_);
  lines_->SetCommonValue("会计期间", documentPeriod_);
  return true;
}

bool CKLl_WS::CheckInTransaction(framework::SaveContext& ctx) {
  // Inside the write transaction, so no other user stores the same number in between.
  const std::string& number = ctx.values["单据编号"];
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
  std::string error;
  auto duplicate = ctx.tx.Db().Open(sql, &error);
  if (!error.empty()) throw std::runtime_error(error);
  if (duplicate->Eof()) return true;
  ctx.tx.Rollback();
  Ask("单据编号重复,请检查后重试!", "提示：", host::MsgButtons::Ok, host::MsgIcon::Information);
  return false;
}

bool CKLl_WS::ShowSaved(int64_t id) {
  if (!SearchList(db::Sql("单据ID=").Key(id).Literal(), false)) return false;
  SetEditState(false);
  SetDirty(false);
  events_.Message("保存单据成功!");
  return true;
}

bool CKLl_WS::FileDelete() {
  if (!HasSystem()) return false;
  if (CurrentId() <= 0) {
    Ask("没有可删除的记录!", "提示:", host::MsgButtons::Ok, host::MsgIcon::Information);
    return false;
  }
  bool deleted = Guarded("-->DeleteData::", [&] {
    if (Ask("是否删除当前记录:", "提示:", host::MsgButtons::YesNo, host::MsgIcon::Question) !=
        host::MsgAnswer::Yes) {
      return false;
    }
    auto date = db::Date::Parse(Trim(Header(kDate).Text()));
    if (!date) throw std::runtime_error("操作日期不是有效日期：" + Header(kDate).Text());
    if (!System().CanEditBill(ProgramNumber(), *date, Header(kNumber).Text())) return false;
    const int64_t id = CurrentId();
    framework::StepOutcome outcome =
        RunSteps({{db::Sql("Delete from JXCDJ where 单据ID=").Key(id), false},
                  {db::Sql("Delete from JXCDJMX where 单据ID=").Key(id), false}});
    if (!outcome.done) {
      events_.ErrMessage(outcome.error, host::kLevelFailure, host::kAppTitle);
      return false;
    }
    return LoadList(host::kNavLast);
  });
  Database().Close();
  return deleted;
}

bool CKLl_WS::ChangeState(CheckDirection direction) {
  RequisitionKeys keys;
  keys.programNumber = ProgramNumber();
  keys.documentId = CurrentId();
  keys.sourceProgram = Header(kVehicle).KeyLong();
  keys.sourceId = Header(kOrder).KeyLong();
  if (!RunCheckStep(System(), gate_, keys, documentPeriod_, direction, kErrorTitle)) return false;
  // The host's status columns changed with the step; the form shows them as stored.
  SearchList(db::Sql("单据ID=").Key(keys.documentId).Literal(), true);
  return true;
}

bool CKLl_WS::Check() {
  if (!HasSystem() || CurrentId() <= 0) return false;
  bool checked = Guarded("Check::", [&] { return ChangeState(CheckDirection::Check); });
  Database().Close();
  return checked;
}

bool CKLl_WS::UnCheck() {
  if (!HasSystem() || CurrentId() <= 0) return false;
  bool unchecked = Guarded("UnCheck::", [&] { return ChangeState(CheckDirection::UnCheck); });
  Database().Close();
  return unchecked;
}

bool CKLl_WS::DoPrint() {
  if (!HasSystem() || !lines_) return false;
  return Guarded("->sfSetToPrintFile:", [&] {
    const std::string file = StartPrintFile();

    std::unique_ptr<host::IPrintData> data = System().CreatePrintData();
    if (!data) throw std::runtime_error("no print data component");
    auto shown = [&](int index) {
      const forms::Label& label = Label(index);
      return label.Visible() ? label.Caption() : std::string("***");
    };
    data->SetValue("金额大写", shown(kAmountWords));
    data->SetValue("金额小写", shown(kAmountFigures));
    data->SetValue("数量合计", Label(kQuantityTotal).Caption());
    // Every header field, the repair order's customer included, which no column of JXCDJ holds.
    for (int index = 0; index < kFieldCount; ++index) {
      const forms::Field& field = Header(index);
      if (std::string caption = Trim(field.Caption()); !caption.empty()) {
        data->SetValue(caption, field.Text());
      }
    }
    AddPrintTable(*data, kGrid, lines_->PrintRows());
    if (std::string failure = data->WriteFile(file); !failure.empty()) {
      throw std::runtime_error(failure);
    }
    return true;
  });
}

}  // namespace ws::requisition
