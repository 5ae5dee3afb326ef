// Check, UnCheck, FileDelete and the print data of the repair order.
#include <stdexcept>

#include "db/runner.h"
#include "db/value.h"
#include "forms/number_format.h"
#include "repair_order/ws_s.h"

namespace ws::repair_order {

bool WS_S::Check() {
  if (!HasSystem()) return false;
  bool checked = Guarded("审核时出错：", [&] { return ChangeState(true, "Check Error::"); });
  Database().Close();
  return checked;
}

bool WS_S::UnCheck() {
  if (!HasSystem()) return false;
  bool unchecked = false;
  try {
    unchecked = ChangeState(false, "UnCheck::");
  } catch (const std::exception& e) {
    Ask(std::string("UnCheck::") + e.what(), Title(), host::MsgButtons::Ok, host::MsgIcon::None);
  }
  Database().Close();
  return unchecked;
}

bool WS_S::ChangeState(bool check, const std::string& errorTag) {
  if (CurrentId() <= 0) {
    // A new order has no row yet: nobody deleted it, it was never saved.
    Ask(check ? "当前单据尚未保存，请先保存后再审核！" : "当前单据尚未保存，不能弃审！", Title(),
        host::MsgButtons::Ok, host::MsgIcon::Information);
    return false;
  }
  host::LoginInfo login = Login();
  // The unchecking user and date take the checker's columns.
  framework::StepOutcome outcome = RunSteps({{StatusUpdate(check, ProgramNumber(), login.userName,
                                                           login.loginDate, CurrentId(), Driver()),
                                              true}});
  if (outcome.done) return true;
  Ask(outcome.missing
          ? (check ? "当前单据已被他人删除，不能审核！" : "当前单据已被他人删除，不能弃审！")
          : errorTag + outcome.error,
      Title(), host::MsgButtons::Ok, host::MsgIcon::None);
  return false;
}

bool WS_S::FileDelete() {
  if (!HasSystem()) return false;
  if (CurrentId() <= 0) {
    Ask("没有可删除的记录!", "提示:", host::MsgButtons::Ok, host::MsgIcon::Information);
    Database().Close();
    return false;
  }
  bool deleted = Guarded("XS_S-->DeleteData::", [&] {
    const int64_t id = CurrentId();
    std::string dateText = Header(kDateIn).Text();
    auto dateIn = db::Date::Parse(dateText);
    if (!dateIn) throw std::runtime_error("进厂日期不是有效日期：" + dateText);
    // A refusal of the host, or any answer but Yes, ends the delete with nothing written. Both
    // are asked before the transaction begins: a write transaction held open while a user
    // reads a question would block every other user's save for as long as the box is open.
    if (!System().CanEditBill(ProgramNumber(), *dateIn, Header(kNumber).Text())) return false;
    if (Ask("是否删除当前记录:", "提示:", host::MsgButtons::YesNo, host::MsgIcon::Question) !=
        host::MsgAnswer::Yes) {
      return false;
    }
    return DeleteBySteps(DeleteOrderStatements(id), "当前单据已被他人删除！");
  });
  Database().Close();
  return deleted;
}

bool WS_S::DoPrint() {
  if (!HasSystem() || !items_) return false;
  return Guarded("XS_S->sfSetToPrintFile:", [&] {
    const std::string file = StartPrintFile();

    std::unique_ptr<host::IPrintData> data = System().CreatePrintData();
    if (!data) throw std::runtime_error("no print data component");
    for (const auto& [caption, text] : Schema().PrintValues(form_, kFieldArray)) {
      data->SetValue(caption, text);
    }
    auto label = [&](const char* name) {
      const auto& widget = form_.Get<forms::Label>(name);
      return widget.Visible() ? widget.Caption() : std::string("***");
    };
    data->SetValue("金额大写", label(kAmountWords));
    data->SetValue("金额小写", label(kAmountFigures));
    AddPrintTable(*data, "ywGridXM", items_->PrintRows());
    AddPrintTable(*data, "ywGridPJ", parts_->PrintRows());

    db::Runner runner(Database());
    std::string error;
    auto issued = runner.Open(IssuedPartsSelect(CurrentId()), &error);
    if (!error.empty()) throw std::runtime_error(error);
    std::vector<std::string> columns;
    for (int i = 0; i < issued->FieldCount(); ++i) columns.push_back(issued->FieldName(i));
    std::vector<std::vector<std::string>> rows;
    for (; !issued->Eof(); issued->MoveNext()) {
      std::vector<std::string> cells;
      for (int i = 0; i < issued->FieldCount(); ++i) cells.push_back(issued->Field(i).ToText());
      rows.push_back(std::move(cells));
    }
    data->AddTable("ywGridCK", columns, rows);

    const db::Amount cost = runner.ScalarAmount(IssuedCostSelect(CurrentId()), &error);
    if (!error.empty()) throw std::runtime_error(error);
    // The workshop's management fee is a tenth of the parts actually issued.
    data->SetValue("实际配件费用", forms::FormatNumber(cost.ToDouble(), "0.00"));
    data->SetValue("实际管理费用",
                   forms::FormatNumber((cost * db::Amount::Of("0.1")).ToDouble(), "0.00"));

    if (std::string failure = data->WriteFile(file); !failure.empty()) {
      throw std::runtime_error(failure);
    }
    return true;
  });
}

}  // namespace ws::repair_order
