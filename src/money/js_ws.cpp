#include "money/js_ws.h"

#include <stdexcept>

#include "db/runner.h"
#include "db/value.h"
#include "forms/text.h"
#include "framework/list_window.h"
#include "framework/picker_call.h"
#include "money/settlement_sql.h"

namespace ws::money {

namespace {

using forms::Trim;
using framework::LineKind;

constexpr const char* kOrderGroup = "fraOrder";

// The workshop charges a tenth of the parts cost for handling them.
const db::Amount kManagementRate = db::Amount::Of("0.1");

std::string PickerOf(int index) {
  switch (index) {
    case JS_WS::kSalesman:
      return "pdmgy_j";
    case JS_WS::kMethod:
      return "sel_pdmsjzd";
    default:
      return {};
  }
}

framework::PickerParameters PickerParametersOf(int index) {
  if (index == JS_WS::kMethod) return {{"Lx", "结算方式"}};
  return {};
}

}  // namespace

const framework::HeaderSchema& JS_WS::SettlementSchema() {
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
          {"往来ID", kOwner, ValueKind::Id, SaveMode::Always, "往来单位"},
          {"业务员ID", kSalesman, ValueKind::Id, SaveMode::Always, "业务员"},
          {"结算方式ID", kMethod, ValueKind::Id, SaveMode::Always, "结算方式"},
          {"科目ID", kAccount, ValueKind::Id, SaveMode::Always, "科目名称"},
          {"单据日期", kDate, ValueKind::Date},
          // Computed from the date by the save.
          {"会计期间", -1, ValueKind::Number},
          {"总金额", kCollected, ValueKind::Number},
          {"扣零金额", kWriteOff, ValueKind::Number},
          {"摘要", kSummary, ValueKind::Text},
          {"备注", kRemarks, ValueKind::Text},
          // The order's work-order number is shown; its id is what the settlement keeps.
          {"前置单据ID", kOrderNumber, ValueKind::Id},
          {"制单人", kEnteredBy, ValueKind::Text},
          {"制单日期", kEntryDate, ValueKind::Date},
          {"审核人", kCheckedBy, ValueKind::Text, SaveMode::ReadOnly},
          {"审核日期", kCheckDate, ValueKind::Date, SaveMode::ReadOnly},
      });
  return schema;
}

JS_WS::JS_WS(RepairOrderChooser chooser)
    : MoneyDocument("JS_WS", SettlementSchema(), kFieldArray, kNumber),
      chooser_(std::move(chooser)) {}

JS_WS::~JS_WS() = default;

std::vector<host::FindColumn> JS_WS::FindColumns() const {
  using K = host::FindKind;
  return {
      {"ARPReceive.单据编号", "单据编号", K::Text}, {"ARPReceive.单据日期", "单据日期", K::Date},
      {"PDMWLDWJS.公司名称", "往来单位", K::Text},  {"PDMGY.姓名", "业务员", K::Text},
      {"ARPReceive.总金额", "总金额", K::Number},   {"ARPReceive.摘要", "摘要", K::Text}};
}

forms::Field& JS_WS::Header(int index) const {
  return form_.Get<forms::Field>(kFieldArray, index);
}

std::string JS_WS::BaseSelect() const {
  return SettlementListSelect();
}

std::string JS_WS::ListWindow() {
  return framework::ListWindow(System(), {"会计期间", framework::WindowColumn::PeriodsFromFirst},
                               Driver(), gate_.CurrentPeriod());
}

void JS_WS::AddField(int index, const char* caption, forms::FieldKind kind, const char* container) {
  auto& field = form_.Add<forms::Field>(kFieldArray, index);
  field.SetCaption(caption);
  field.SetKind(kind);
  field.SetPicker(PickerOf(index));
  field.SetContainer(container);
}

void JS_WS::SetupForm() {
  if (form_.Find(kItemGrid)) return;  // a second Init keeps the form it built
  gate_ = framework::PeriodGate::FromSystem(framework::kLedgerPeriod, System());

  form_.Add<forms::Frame>(kOrderGroup);
  form_.Add<forms::Frame>(kFeeFrame).SetCaption("结算情况");
  form_.Add<forms::Frame>(kMoneyFrame).SetCaption("本次收款情况");
  using forms::FieldKind;
  struct FieldLayout {
    int index;
    const char* caption;
    FieldKind kind;
    const char* container;
  };
  const FieldLayout layouts[] = {
      {kOrderNumber, "工单号码", FieldKind::Lookup, kOrderGroup},
      {kOwner, "车主", FieldKind::Lookup, kOrderGroup},
      {kPlate, "车牌号", FieldKind::Lookup, kOrderGroup},
      {kModel, "车型", FieldKind::Text, kOrderGroup},
      {kMaker, "车厂", FieldKind::Text, kOrderGroup},
      {kDateIn, "进厂日期", FieldKind::Date, kOrderGroup},
      {kDateOut, "出厂日期", FieldKind::Date, kOrderGroup},
      {kDepartment, "主管部门", FieldKind::Text, kOrderGroup},
      {kMileage, "公里数", FieldKind::Number, kOrderGroup},
      {kEngine, "发动机号", FieldKind::Text, kOrderGroup},
      {kChassis, "车架号", FieldKind::Text, kOrderGroup},
      {kPerson, "送修人", FieldKind::Text, kOrderGroup},
      {kCategory, "维修分类", FieldKind::Lookup, kOrderGroup},
      {kTelephone, "司机电话", FieldKind::Text, kOrderGroup},
      {kInvoice, "发票号码", FieldKind::Text, kOrderGroup},
      {kReceptionist, "接待人", FieldKind::Text, kOrderGroup},
      {kNumber, "单据编号", FieldKind::Text, kMoneyFrame},
      {kDate, "单据日期", FieldKind::Date, kMoneyFrame},
      {kSalesman, "业务员", FieldKind::Lookup, kMoneyFrame},
      {kMethod, "结算方式", FieldKind::Lookup, kMoneyFrame},
      {kAccount, "科目", FieldKind::Lookup, kMoneyFrame},
      {kSummary, "摘要", FieldKind::Text, kMoneyFrame},
      {kCollected, "总金额", FieldKind::Number, kMoneyFrame},
      {kWriteOff, "扣零金额", FieldKind::Number, kMoneyFrame},
      {kRemarks, "备注", FieldKind::Text, kMoneyFrame},
      {kLabour, "维修费用", FieldKind::Number, kFeeFrame},
      {kParts, "配件费用", FieldKind::Number, kFeeFrame},
      {kDiagnosis, "诊断费", FieldKind::Number, kFeeFrame},
      {kInspection, "检测费", FieldKind::Number, kFeeFrame},
      {kManagement, "管理费", FieldKind::Number, kFeeFrame},
      {kReceivable, "应收合计", FieldKind::Number, kFeeFrame},
      {kReceived, "收款合计", FieldKind::Number, kMoneyFrame},
      {kOwed, "欠款金额", FieldKind::Number, kMoneyFrame},
      {kEnteredBy, "制单人", FieldKind::Text, ""},
      {kEntryDate, "制单日期", FieldKind::Date, ""},
      {kCheckedBy, "审核人", FieldKind::Text, ""},
      {kCheckDate, "审核日期", FieldKind::Date, ""},
  };
  for (const FieldLayout& layout : layouts) {
    AddField(layout.index, layout.caption, layout.kind, layout.container);
  }
  // The repair order is copied, never typed; the computed and audit fields follow the rest.
  for (int index = kOrderNumber; index <= kReceptionist; ++index) {
    Header(index).SetAlwaysReadOnly(true);
  }
  for (int index :
       {kReceivable, kReceived, kOwed, kEnteredBy, kEntryDate, kCheckedBy, kCheckDate}) {
    Header(index).SetAlwaysReadOnly(true);
  }
  WireFields();

  auto& select = form_.Add<forms::CommandButton>(kSelectButton);
  select.SetCaption("选择维修单");
  select.OnClick = [this] {
    Guarded("-->cmdSelect_Click::", [&] {
      ChooseRepairOrder();
      return true;
    });
  };

  repair_order::LineGrid::Context context;
  context.system = [this]() -> host::ISystem& { return System(); };
  context.programNumber = ProgramNumber();
  context.ownerId = [this] { return Header(kOwner).KeyLong(); };
  context.reportError = [this](const std::string& text) { ReportError(text); };
  context.changed = [this] {
    CalcTotals();
    SetDirty(true);
  };
  context.badCodeTitle = Title();
  for (LineKind kind : {LineKind::Items, LineKind::Parts}) {
    const bool items = kind == LineKind::Items;
    auto& grid = form_.Add<forms::Grid>(items ? kItemGrid : kPartGrid);
    repair_order::LineGrid::Store store{items ? "ARPReceive_XM" : "ARPReceive_PJ",
                                        items ? "arpreceive_xm" : "arpreceive_pj", "JS_WS"};
    auto lines = std::make_unique<repair_order::LineGrid>(grid, kind, store);
    lines->Setup(context, GoodsMessageEdit());
    AddLineSet(*lines);
    (items ? items_ : parts_) = std::move(lines);
  }
  CalcTotals();
}

void JS_WS::WireFields() {
  WireHeaderFields("-->");
}

void JS_WS::FieldChanged(int index) {
  switch (index) {
    case kParts:
      SetNumber(kManagement, Amount(kParts) * kManagementRate);
      RecalcFromFees();
      break;
    case kLabour:
    case kDiagnosis:
    case kInspection:
    case kManagement:
      RecalcFromFees();
      break;
    case kCollected:
    case kWriteOff:
      RecalcReceived();
      break;
    case kSalesman:
    case kMethod:
    case kAccount:
      // The key belonged to the text the user is replacing.
      Header(index).SetKey("0");
      break;
    default:
      break;
  }
}

void JS_WS::FieldLeft(int index) {
  forms::Field& field = Header(index);
  std::string text = Trim(field.Text());
  if (field.Kind() == forms::FieldKind::Date) {
    LeaveDateField(field);
    return;
  }
  if (field.Kind() == forms::FieldKind::Number) {
    LeaveNumberField(field);
    return;
  }
  if (index == kAccount) {
    ResolveAccount();
    return;
  }
  if (index != kSalesman && index != kMethod) return;
  if (text.empty()) {
    field.SetValue("0", "");
    field.MarkValid();
    return;
  }
  if (field.KeyLong() > 0) return;
  auto picker =
      framework::OpenPicker(System(), PickerOf(index), ProgramNumber(), PickerParametersOf(index));
  if (!picker) return;
  framework::PickedRow picked = framework::ResolveTyped(*picker, text);
  if (!picked.found) {
    field.MarkInvalid(Trim(field.Caption()) + "输入有误，请重新输入！");
    return;
  }
  field.SetValue(picked.value, picked.text.empty() ? text : picked.text);
  field.MarkValid();
}

void JS_WS::FieldPicker(int index) {
  forms::Field& field = Header(index);
  auto picker =
      framework::OpenPicker(System(), PickerOf(index), ProgramNumber(), PickerParametersOf(index));
  if (!picker) return;
  framework::PickedRow picked = framework::ChooseInPicker(System(), *picker, Trim(field.Text()));
  if (!picked.found) return;
  field.SetValue(picked.value, picked.text);
  field.MarkValid();
  SetDirty(true);
}

void JS_WS::ResolveAccount() {
  forms::Field& field = Header(kAccount);
  std::string typed = Trim(field.Text());
  if (typed.empty()) {
    field.SetValue("0", "");
    field.MarkValid();
    return;
  }
  if (field.KeyLong() > 0) return;
  std::string error;
  auto records = db::Runner(Database()).Open(CashAccountLookup(typed), &error);
  if (!error.empty()) throw std::runtime_error(error);
  if (records->Eof()) {
    // Only a detail cash or bank account can receive the money.
    field.MarkInvalid(Trim(field.Caption()) + "输入有误，请重新输入！");
    return;
  }
  field.SetValue(records->Text("科目ID"), records->Text("科目名称"));
  field.MarkValid();
}

void JS_WS::ChooseRepairOrder() {
  if (!HasSystem() || !chooser_ || !Editing()) return;
  ChosenRepairOrder chosen = chooser_(System(), ProgramNumber(), 0, CurrentId());
  if (chosen.id <= 0) return;
  if (CurrentId() > 0) linesReplaced_ = true;
  Header(kOrderNumber).SetValue(std::to_string(chosen.id), chosen.number);
  Header(kOrderNumber).MarkValid();
  LoadRepairOrder(chosen.id);
  SetDirty(true);
}

bool JS_WS::LoadRepairOrder(int64_t orderId) {
  db::Runner runner(Database());
  std::string error;
  auto order = runner.Open(OrderHeaderSelect(orderId), &error);
  if (!error.empty()) {
    ReportError(error);
    return false;
  }
  if (!order->Eof()) {
    Header(kOrderNumber).SetValue(order->Text("单据ID"), order->Text("工单号码"));
    Header(kOwner).SetValue(order->Text("车主ID"), order->Text("公司名称"));
    Header(kPlate).SetValue(order->Text("车辆ID"), order->Text("车牌号"));
    Header(kCategory).SetValue(order->Text("维修分类ID"), order->Text("维修分类"));
    Header(kDateIn).SetText(db::FormatDateText(order->Text("进厂日期")));
    Header(kDateOut).SetText(db::FormatDateText(order->Text("出厂日期")));
    const std::pair<int, const char*> texts[] = {
        {kMaker, "车厂"},          {kEngine, "发动机号"},     {kChassis, "车架号"},
        {kModel, "车型"},          {kTelephone, "司机电话"},  {kPerson, "送修人"},
        {kMileage, "公里数"},      {kReceptionist, "接待人"}, {kInvoice, "发票号码"},
        {kDepartment, "主管部门"}, {kLabour, "维修费用"},     {kParts, "配件费用"},
        {kDiagnosis, "诊断费"},    {kInspection, "检测费"},   {kReceivable, "应收合计"},
        {kRemarks, "备注"}};
    for (const auto& [index, column] : texts) Header(index).SetText(order->Text(column));
    for (int index = kOrderNumber; index <= kReceptionist; ++index) Header(index).MarkValid();
  }

  // Every labour line is a new line of the settlement.
  auto itemRecords = runner.Open(OrderItemsSelect(orderId), &error);
  if (!error.empty()) {
    ReportError(error);
    return false;
  }
  items_->Load(*itemRecords);
  items_->ForgetLineIds();

  // Parts are billed as issued by the requisitions, not as planned on the order.
  auto parts = runner.Open(IssuedPartsSelect(orderId), &error);
  if (!error.empty()) {
    ReportError(error);
    return false;
  }
  forms::Grid& grid = parts_->Grid();
  parts_->Clear();
  using Col = repair_order::LineGrid::Column;
  for (; !parts->Eof(); parts->MoveNext()) {
    int row = grid.AddRow();
    const db::Amount quantity = parts->Money("sum数量");
    const db::Amount amount = parts->Money("sum金额");
    grid.SetTextMatrix(row, Col::kCode, parts->Text("物品编码"));
    grid.SetCellKey(row, Col::kCode, parts->Text("产品ID"));
    grid.SetTextMatrix(row, Col::kName, parts->Text("物品名称"));
    grid.SetTextMatrix(row, Col::kAttribute, parts->Text("产品规格"));
    grid.SetTextMatrix(row, Col::kQuantity, parts->Field("sum数量").ToText());
    grid.SetTextMatrix(row, Col::kPrice,
                       quantity.IsZero() ? "" : amount.DividedBy(quantity).Text());
    grid.SetTextMatrix(row, Col::kAmount, amount.Text());
  }
  grid.RenumberRows();
  parts_->CommitCodes();
  CalcTotals();
  return true;
}

bool JS_WS::LoadLines(LineKind kind, int64_t settlementId) {
  std::string error;
  auto records = db::Runner(Database()).Open(SavedLinesSelect(kind, settlementId), &error);
  if (!error.empty()) {
    ReportError(error);
    return false;
  }
  Lines(kind).Load(*records);
  return true;
}

bool JS_WS::LoadFees(int64_t settlementId) {
  std::string error;
  auto fees = db::Runner(Database()).Open(FeeSelect(settlementId), &error);
  if (!error.empty()) {
    ReportError(error);
    return false;
  }
  if (fees->Eof()) return true;
  const std::pair<int, const char*> columns[] = {{kLabour, "维修费用"},
                                                 {kParts, "配件费用"},
                                                 {kDiagnosis, "诊断费"},
                                                 {kInspection, "检测费"},
                                                 {kManagement, "管理费"}};
  for (const auto& [index, column] : columns) Header(index).SetText(fees->Text(column));
  return true;
}

void JS_WS::ShowRecord(const db::Recordset& records, const std::string& position) {
  const int64_t id = records.Long("单据ID");
  MarkShown(id);
  linesReplaced_ = false;
  Schema().Show(records, form_, kFieldArray);
  SetRecordLabel("记录：" + (position.empty() ? std::string("0/0") : position));
  SetCheckedStamp(records.Text("smark") != "01");
  const int64_t customerId = records.Long("往来ID");
  // The order first, so the saved fees and lines overlay what it proposes.
  if (!LoadRepairOrder(records.Long("前置单据ID"))) return;
  if (!LoadFees(id) || !LoadLines(LineKind::Items, id) || !LoadLines(LineKind::Parts, id)) return;
  CalcTotals();
  Header(kOwner).SetKey(std::to_string(customerId));
}

void JS_WS::ClearForm() {
  ForgetShown();
  linesReplaced_ = false;
  for (auto* widget : form_.Array(kFieldArray)) {
    auto* field = static_cast<forms::Field*>(widget);
    field->SetValue("", "");
    field->MarkValid();
  }
  if (items_) items_->Clear();
  if (parts_) parts_->Clear();
  SetRecordLabel("记录：0/0");
  SetCheckedStamp(false);
  if (items_) CalcTotals();
}

void JS_WS::OnFileNew() {
  host::LoginInfo login = Login();
  std::string number;
  if (System().NewBillNo(ProgramNumber(), login.loginDate, number, true)) {
    Header(kNumber).SetText(number);
  }
  Header(kDate).SetText(login.loginDate.Text());
  Header(kEntryDate).SetText(login.loginDate.Text());
  Header(kEnteredBy).SetText(login.userName);
  events_.Message("新建记录...");
  form_.SetFocus(Header(kNumber).Text().empty() ? &Header(kNumber) : &Header(kSalesman));
}

db::Amount JS_WS::Amount(int index) const {
  return db::Amount::Of(Header(index).Text());
}

void JS_WS::SetNumber(int index, db::Amount value) {
  Header(index).SetText(value.Text());
}

void JS_WS::CalcTotals() {
  SetNumber(kLabour, items_->Total());
  SetNumber(kParts, parts_->Total());
  SetNumber(kManagement, Amount(kParts) * kManagementRate);
  RecalcFromFees();
}

void JS_WS::RecalcFromFees() {
  db::Amount receivable;
  for (int index : {kLabour, kParts, kDiagnosis, kInspection, kManagement}) {
    receivable += Amount(index);
  }
  SetNumber(kReceivable, receivable);
  RecalcReceived();
}

void JS_WS::RecalcReceived() {
  const db::Amount received = Amount(kCollected) + Amount(kWriteOff);
  SetNumber(kReceived, received);
  SetNumber(kOwed, Amount(kReceivable) - received);
}

}  // namespace ws::money
