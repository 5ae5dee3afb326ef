#include "money/js_s.h"

#include "db/runner.h"
#include "db/value.h"
#include "forms/number_format.h"
#include "forms/text.h"
#include "framework/list_window.h"
#include "money/choosers.h"
#include "money/receipt_sql.h"

namespace ws::money {

namespace {

int OptionNumber(host::ISystem& system, int module, const std::string& name) {
  return static_cast<int>(db::NumericValue(system.GetOption(module, name)));
}

}  // namespace

const framework::HeaderSchema& JS_S::ReceiptSchema() {
  using framework::SaveMode;
  using framework::ValueKind;
  static const framework::HeaderSchema schema(
      "ARPReceive", "单据ID",
      {
          {"单据ID", -1, ValueKind::Id, SaveMode::InsertOnly},
          {"progID", -1, ValueKind::Id, SaveMode::InsertOnly},
          {"smark", -1, ValueKind::Text, SaveMode::InsertOnly},
          {"status", -1, ValueKind::Text, SaveMode::InsertOnly},
          {"单据编号", kNumber, ValueKind::Text},
          {"往来ID", kCustomer, ValueKind::Id, SaveMode::Always, "往来单位"},
          {"业务员ID", kSalesman, ValueKind::Id, SaveMode::Always, "业务员"},
          {"单据日期", kDate, ValueKind::Date},
          {"会计期间", -1, ValueKind::Number},
          {"总金额", kAmount, ValueKind::Number},
          {"扣零金额", kRounding, ValueKind::Number},
          {"摘要", kSummary, ValueKind::Text},
          {"备注", kRemarks, ValueKind::Text},
          {"制单人", kEnteredBy, ValueKind::Text},
          {"制单日期", kEntryDate, ValueKind::Date},
          // A receipt shows the settlement method and account it was given elsewhere.
          {"结算方式ID", kMethod, ValueKind::Id, SaveMode::ReadOnly, "结算方式"},
          {"科目ID", kAccount, ValueKind::Id, SaveMode::ReadOnly, "科目名称"},
          {"审核人", kCheckedBy, ValueKind::Text, SaveMode::ReadOnly},
          {"审核日期", kCheckDate, ValueKind::Date, SaveMode::ReadOnly},
      });
  return schema;
}

JS_S::JS_S() : money::MoneyDocument("JS_S", ReceiptSchema(), kFieldArray, kNumber) {}

std::vector<host::FindColumn> JS_S::FindColumns() const {
  using K = host::FindKind;
  return {{"ARPReceive.单据编号", "单据编号", K::Text},
          {"PDMWLDWJS.公司名称", "往来单位", K::Text},
          {"ARPReceive.单据日期", "单据日期", K::Date},
          {"ARPReceive.总金额", "总金额", K::Number},
          {"ARPReceive.摘要", "摘要", K::Text}};
}

forms::Field& JS_S::Header(int index) const {
  return form_.Get<forms::Field>(kFieldArray, index);
}

void JS_S::AddField(int index, const char* caption, forms::FieldKind kind, const char* picker) {
  auto& field = form_.Add<forms::Field>(kFieldArray, index);
  field.SetCaption(caption);
  field.SetKind(kind);
  field.SetPicker(picker);
  field.OnChange = [this] { SetDirty(true); };
  if (kind == forms::FieldKind::Lookup) {
    field.OnLeave = [this, index] {
      Guarded("-->ResolveLookup::", [&] {
        ResolveLookup(index);
        return true;
      });
    };
    field.OnPickerRequest = [this, index] {
      Guarded("-->PickLookup::", [&] {
        PickLookup(index);
        return true;
      });
    };
  }
  if (kind == forms::FieldKind::Number) {
    field.OnLeave = [this, index] { LeaveNumberField(Header(index)); };
  }
  if (index == kAmount) field.OnChange = [this] { Changed(); };
}

void JS_S::SetupForm() {
  if (form_.Find(kGrid)) return;  // a second Init keeps the form it built
  using forms::FieldKind;
  AddField(kNumber, "单据编号", FieldKind::Text);
  AddField(kDate, "单据日期", FieldKind::Date);
  AddField(kSalesman, "业务员", FieldKind::Lookup, "pdm_ywy");
  AddField(kCustomer, "往来单位", FieldKind::Lookup, "pdm_jzdw");
  AddField(kAmount, "总金额", FieldKind::Number);
  AddField(kRounding, "扣零金额", FieldKind::Number);
  AddField(kSummary, "摘要", FieldKind::Text);
  AddField(kRemarks, "备注", FieldKind::Text);
  AddField(kMethod, "结算方式", FieldKind::Text);
  AddField(kAccount, "科目", FieldKind::Text);
  AddField(kEnteredBy, "制单人", FieldKind::Text);
  AddField(kEntryDate, "制单日期", FieldKind::Date);
  AddField(kCheckedBy, "审核人", FieldKind::Text);
  AddField(kCheckDate, "审核日期", FieldKind::Date);
  for (int index : {kMethod, kAccount, kEnteredBy, kEntryDate, kCheckedBy, kCheckDate}) {
    Header(index).SetAlwaysReadOnly(true);
  }

  auto& grid = form_.Add<forms::Grid>(kGrid);
  lines_ = std::make_unique<ReceiptLines>(grid);
  host::ISystem& system = System();
  lines_->Setup(static_cast<int>(db::NumericValue(system.GetOption(12, 12))),
                OptionNumber(system, 12, "readonlyforecolor"),
                OptionNumber(system, 12, "readonlybackcolor"));
  framework::LineSet::Context context;
  context.system = [this]() -> host::ISystem& { return System(); };
  context.programNumber = ProgramNumber();
  context.reportError = [this](const std::string& text) { ReportError(text); };
  context.changed = [this] { Changed(); };
  lines_->Wire(context, {});
  AddLineSet(*lines_);
  // The set forgets a saved line once the clerk has agreed to lose it.
  auto forget = std::move(grid.OnBeforeDeleteRow);
  grid.OnBeforeDeleteRow = [this, forget](int row) {
    if (Ask("是否删除当前所选记录？", Title(), host::MsgButtons::YesNo, host::MsgIcon::Question) !=
        host::MsgAnswer::Yes) {
      return false;
    }
    return forget(row);
  };
  grid.OnRowChange = [this](int) { RefreshTotal(); };

  auto& choose = form_.Add<forms::CommandButton>(kSelectButton);
  choose.SetCaption("选择维修单");
  choose.OnClick = [this] { ChooseOrders(); };
  form_.Add<forms::Label>(kTotalLabel);
  RefreshTotal();
}

std::string JS_S::BaseSelect() const {
  return ReceiptListSelect();
}

std::string JS_S::ListWindow() {
  return framework::ListWindow(System(), {"会计期间", framework::WindowColumn::PeriodsFromFirst},
                               Driver(), CurrentPeriodParameter());
}

void JS_S::ResolveLookup(int index) {
  forms::Field& field = Header(index);
  std::string typed = forms::Trim(field.Text());
  if (typed.empty()) {
    field.SetValue("0", "");
    field.MarkValid();
    return;
  }
  auto picker = framework::OpenPicker(System(), field.Picker(), ProgramNumber());
  if (!picker) return;
  framework::PickedRow picked = framework::ResolveTyped(*picker, typed);
  if (!picked.found) {
    field.SetKey("0");
    field.MarkInvalid(forms::Trim(field.Caption()) + "输入有误，请重新输入！");
    return;
  }
  field.SetValue(picked.value, picked.text.empty() ? typed : picked.text);
  field.MarkValid();
}

void JS_S::PickLookup(int index) {
  forms::Field& field = Header(index);
  auto picker = framework::OpenPicker(System(), field.Picker(), ProgramNumber());
  if (!picker) return;
  framework::PickedRow picked =
      framework::ChooseInPicker(System(), *picker, forms::Trim(field.Text()));
  if (!picked.found) return;
  field.SetValue(picked.value, picked.text);
  field.MarkValid();
  SetDirty(true);
}

void JS_S::ChooseOrders() {
  if (!HasSystem()) return;
  const int64_t customerId = Header(kCustomer).KeyLong();
  if (customerId <= 0) {
    Ask("请先选择客户名称!", "操作提示", host::MsgButtons::Ok, host::MsgIcon::Information);
    return;
  }
  frmSel_AR_Rec chooser;
  chooser.Events().AttachSink(events_.Sink());
  chooser.EvHasSelect = [this](const std::vector<ChosenOrder>& orders) {
    lines_->Replace(orders);
    Changed();
  };
  chooser.py_Init(System(), customerId, db::Amount::Of(Header(kAmount).Text()));
}

void JS_S::Changed() {
  RefreshTotal();
  SetDirty(true);
}

void JS_S::RefreshTotal() {
  if (!lines_) return;
  int decimals = static_cast<int>(db::NumericValue(System().GetOption(12, 12)));
  form_.Get<forms::Label>(kTotalLabel)
      .SetCaption("核销金额合计：" + forms::FormatNumber(lines_->Total().ToDouble(),
                                                         forms::DecimalsFormat(decimals, true)));
}

void JS_S::ShowRecord(const db::Recordset& records, const std::string& position) {
  MarkShown(records.Long("单据ID"));
  Schema().Show(records, form_, kFieldArray);
  SetRecordLabel("记录：" + (position.empty() ? std::string("0/0") : position));
  SetCheckedStamp(records.Text("smark") != "01");
  if (LoadLines(CurrentId())) RefreshTotal();
}

bool JS_S::LoadLines(int64_t receiptId) {
  std::string error;
  auto records = db::Runner(Database()).Open(ReceiptLinesSelect(receiptId), &error);
  if (!error.empty()) {
    ReportError(error);
    return false;
  }
  lines_->Load(*records);
  return true;
}

void JS_S::ClearForm() {
  ForgetShown();
  for (const auto& child : form_.Children()) {
    if (auto* field = dynamic_cast<forms::Field*>(child.get())) {
      field->SetValue("", "");
      field->MarkValid();
    }
  }
  if (lines_) lines_->Clear();
  SetRecordLabel("记录：0/0");
  SetCheckedStamp(false);
  RefreshTotal();
}

void JS_S::OnFileNew() {
  host::LoginInfo login = Login();
  std::string number;
  if (System().NewBillNo(ProgramNumber(), login.loginDate, number, true)) {
    Header(kNumber).SetText(number);
  }
  Header(kDate).SetText(login.loginDate.Text());
  Header(kEntryDate).SetText(login.loginDate.Text());
  Header(kEnteredBy).SetText(login.userName);
  SetRecordLabel("新建记录...");
  form_.SetFocus(Header(kNumber).Text().empty() ? &Header(kNumber) : &Header(kSalesman));
}

framework::PeriodGate& JS_S::Gate() {
  // Read once per control life, as the periods and the earlier-period answer are.
  if (!gate_) {
    gate_ = std::make_unique<framework::PeriodGate>(
        framework::PeriodGate::FromSystem(framework::kLedgerPeriod, System()));
  }
  return *gate_;
}

std::optional<db::Date> JS_S::DocumentDate() {
  forms::Field& field = Header(kDate);
  auto date = db::Date::Parse(forms::Trim(field.Text()));
  if (!date) {
    Ask(forms::Trim(field.Caption()) + "输入有误，请重新输入！", Title(), host::MsgButtons::Ok,
        host::MsgIcon::Information);
    form_.SetFocus(&field);
  }
  return date;
}

}  // namespace ws::money
