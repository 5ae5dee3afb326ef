#include "money/js_s.h"

#include "db/date.h"
#include "db/runner.h"
#include "db/value.h"
#include "forms/number_format.h"
#include "forms/text.h"
#include "framework/columns.h"
#include "framework/list_window.h"
#include "framework/shop_decimals.h"
#include "money/choosers.h"
#include "money/order_choosers.h"
#include "money/receipt_sql.h"

namespace ws::money {

const framework::HeaderSchema& JS_S::ReceiptSchema() {
  using namespace framework;
  using forms::FieldKind;
  namespace c = framework::col;
  static const HeaderSchema schema(
      "ARPReceive", c::kId,
      DocumentHeader(
          c::kProgram, SaveMode::InsertOnly,
          {
              Stored(c::kStatus, ValueKind::Text, SaveMode::InsertOnly),
              Stored(c::kPeriod, ValueKind::Number),
              TextField(kNumber, "单据编号", c::kNumber).Role(FieldRole::Number).At("单据", 10),
              DateField(kDate, "单据日期", c::kDate).Role(FieldRole::DocumentDate).At("单据", 11),
              LookupField(kCustomer, "往来单位", c::kPartnerId, "往来单位", "pdm_jzdw")
                  .At("客户", 20),
              LookupField(kSalesman, "业务员", c::kSalesmanId, "业务员", "pdm_ywy")
                  .Role(FieldRole::FirstInput)
                  .At("客户", 21),
              NumberField(kAmount, "总金额", c::kTotalAmount).Prominent().At("金额", 30),
              NumberField(kRounding, "扣零金额", c::kWriteOff).At("金额", 31),
              // A receipt shows the settlement method and account it was given elsewhere.
              LookupField(kMethod, "结算方式", c::kMethodId, "结算方式", "")
                  .Kind(FieldKind::Text)
                  .Saves(SaveMode::ReadOnly)
                  .ReadOnly()
                  .At("金额", 32),
              LookupField(kAccount, "科目", c::kAccountId, c::kAccountName, "")
                  .Kind(FieldKind::Text)
                  .Saves(SaveMode::ReadOnly)
                  .ReadOnly()
                  .At("金额", 33),
              TextField(kSummary, "摘要", c::kSummary).At("金额", 34),
              TextField(kRemarks, "备注", c::kRemarks).At("金额", 35),
          },
          {kEnteredBy, kEntryDate, kCheckedBy, kCheckDate, 40}));
  return schema;
}

JS_S::JS_S() : money::MoneyDocument("JS_S", ReceiptSchema(), kFieldArray) {}

std::vector<host::FindColumn> JS_S::FindColumns() const {
  using K = host::FindKind;
  return {{"ARPReceive.单据编号", "单据编号", K::Text},
          {"PDMWLDWJS.公司名称", "往来单位", K::Text},
          {"ARPReceive.单据日期", "单据日期", K::Date},
          {"ARPReceive.总金额", "总金额", K::Number},
          {"ARPReceive.摘要", "摘要", K::Text}};
}

forms::Field& JS_S::Header(int index) const {
  return HeaderField(index);
}

void JS_S::FieldChanged(int index) {
  if (index == kAmount) RefreshTotal();
}

void JS_S::FieldLeft(int index) {
  forms::Field& field = Header(index);
  if (field.Kind() == forms::FieldKind::Lookup) {
    ResolveLookupField(index);
  } else if (field.Kind() == forms::FieldKind::Number) {
    LeaveNumberField(field);
    // Money typed with more decimals than the till takes is collected as the till takes it.
    std::string text = field.Text();
    if ((index == kAmount || index == kRounding) && field.Valid() &&
        framework::RoundTypedAmount(System(), text)) {
      field.SetText(text);
      FieldChanged(index);
    }
  }
}

void JS_S::SetupForm() {
  if (form_.Find(kGrid)) return;  // a second Init keeps the form it built
  BuildHeader("", "-->ResolveLookup::", "-->PickLookup::");

  auto& grid = form_.Add<forms::Grid>(kGrid);
  lines_ = std::make_unique<ReceiptLines>(grid);
  host::ISystem& system = System();
  lines_->Setup(system);
  framework::LineSet::Context context;
  context.system = [this]() -> host::ISystem& { return System(); };
  context.programNumber = ProgramNumber();
  context.reportError = [this](const std::string& text) { ReportError(text); };
  context.changed = [this] { Changed(); };
  // A write-off is money collected: typed with more decimals, it is taken to the fen.
  context.onCell = [this](int row, int col) {
    if (col != ReceiptLines::kColWriteOff) return;
    std::string text = lines_->Grid().TextMatrix(row, col);
    if (framework::RoundTypedAmount(System(), text)) lines_->Grid().SetTextMatrix(row, col, text);
  };
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

void JS_S::PickLookup(int index) {
  forms::Field& field = Header(index);
  auto picker = OpenFieldPicker(index);
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
  const db::Amount asked = db::Amount::Of(Header(kAmount).Text());
  chooser.EvHasSelect = [this, &chooser, asked](const std::vector<ChosenOrder>& orders) {
    // An amount typed again in the chooser is the receipt's.
    if (!(chooser.Amount() == asked)) Header(kAmount).SetText(chooser.Amount().Text());
    lines_->Replace(orders);
    Changed();
  };
  chooser.py_Init(System(), customerId, asked);
}

bool JS_S::NewForOrder(int64_t orderId) {
  if (!HasSystem()) return false;
  int64_t customerId = 0;
  std::string customerName;
  ChosenOrder order;
  auto listed = [&] {
    db::Runner runner(Database());
    customerId = static_cast<int64_t>(
        runner.ScalarNumberOrThrow(db::Sql("SELECT 车主ID FROM WSDJ WHERE 单据ID=").Key(orderId)));
    // The chooser lists the orders of the receipt's customer, and there is none without one.
    if (customerId <= 0) return false;
    ReceivableChooserFilter filter;
    filter.rows = 1;
    filter.customerId = customerId;
    filter.orderId = orderId;
    auto r = runner.OpenOrThrow(ReceivableChooserSelect(filter, Driver()));
    if (r->Eof()) return false;
    customerName = runner.ScalarTextOrThrow(ReceivableCustomerNameSelect(customerId));
    // The values pass through the chooser's grid texts as a confirmed row's do.
    auto amount = [&](const char* field) { return db::Amount::Of(r->Text(field)); };
    order.orderNumber = r->Text("工单号码");
    order.dateIn = db::FormatDateText(r->Text("进厂日期"));
    order.plate = r->Text("车牌号");
    order.engine = r->Text("发动机号");
    order.category = r->Text("维修分类");
    order.total = amount("应收合计");
    order.received = amount("已收金额");
    order.balance = amount("余额");
    order.writeOff = order.balance;
    order.orderId = static_cast<int64_t>(db::NumericValue(r->Text("单据ID")));
    order.programId = static_cast<int64_t>(db::NumericValue(r->Text("progid")));
    return true;
  };
  auto fill = [&] {
    Header(kCustomer).SetValue(std::to_string(customerId), customerName);
    Header(kAmount).SetText(order.balance.Text());
    lines_->Replace({order});
    Changed();
    return true;
  };
  return NewFromOrder(orderId, "-->NewForOrder::", Gate(), kNoBalanceText, listed, fill);
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

void JS_S::ShowDetails(const db::Recordset&) {
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
  if (!date) TellInputError(field);
  return date;
}

}  // namespace ws::money
