#include "money/js_ws.h"

#include <stdexcept>

#include "db/runner.h"
#include "db/value.h"
#include "forms/text.h"
#include "framework/columns.h"
#include "framework/list_window.h"
#include "framework/picker_call.h"
#include "framework/shop_decimals.h"
#include "money/order_choosers.h"
#include "money/settlement_sql.h"

namespace ws::money {

namespace {

using forms::Trim;
using framework::LineKind;
namespace col = framework::col;

constexpr const char* kOrderGroup = "fraOrder";

// The workshop charges a tenth of the parts cost for handling them.
const db::Amount kManagementRate = db::Amount::Of("0.1");

// The fee row's columns by field, in the order the row is written.
const std::pair<int, const char*> kFeeColumns[] = {{JS_WS::kLabour, col::kLabour},
                                                   {JS_WS::kParts, col::kParts},
                                                   {JS_WS::kDiagnosis, col::kDiagnosis},
                                                   {JS_WS::kInspection, col::kInspection},
                                                   {JS_WS::kManagement, col::kManagement}};

}  // namespace

const framework::HeaderSchema& JS_WS::SettlementSchema() {
  using namespace framework;
  using forms::FieldKind;
  namespace c = framework::col;
  // The repair order's fields are copied from it (From) and never typed; the fees go to a row
  // of their own (AfterLines); the computed amounts are the form's only.
  auto copied = [](int field, const char* caption, FieldKind kind, const char* column) {
    return FormField(field, caption, kind).From(column).ReadOnly().In(kOrderGroup);
  };
  static const HeaderSchema schema(
      "ARPReceive", c::kId,
      DocumentHeader(
          c::kProgram, SaveMode::InsertOnly,
          {
              Stored(c::kStatus, ValueKind::Text, SaveMode::InsertOnly),
              // Computed from the date by the save.
              Stored(c::kPeriod, ValueKind::Number),
              copied(kPlate, "车牌号", FieldKind::Lookup, "").At("维修单", 10),
              // The order's work-order number is shown; its id is what the settlement keeps.
              LookupField(kOrderNumber, "工单号码", c::kSourceId, "", "")
                  .ReadOnly()
                  .In(kOrderGroup)
                  .At("维修单", 11),
              copied(kModel, "车型", FieldKind::Text, c::kModel).At("维修单", 12),
              copied(kMaker, "车厂", FieldKind::Text, c::kMaker).At("维修单", 13),
              copied(kEngine, "发动机号", FieldKind::Text, c::kEngine).At("维修单", 14),
              copied(kChassis, "车架号", FieldKind::Text, c::kChassis).At("维修单", 15),
              copied(kDateIn, "进厂日期", FieldKind::Date, c::kDateIn).At("维修单", 16),
              copied(kDateOut, "出厂日期", FieldKind::Date, c::kDateOut)
                  .EmptyDate("1900-01-01")
                  .At("维修单", 17),
              copied(kMileage, "公里数", FieldKind::Number, c::kMileage).At("维修单", 18),
              copied(kCategory, "维修分类", FieldKind::Lookup, "").At("维修单", 19),
              copied(kReceptionist, "接待人", FieldKind::Text, c::kReceptionist).At("维修单", 20),
              copied(kInvoice, "发票号码", FieldKind::Text, c::kInvoice).At("维修单", 21),
              LookupField(kOwner, "车主", c::kPartnerId, "往来单位", "")
                  .ReadOnly()
                  .In(kOrderGroup)
                  .At("客户", 30),
              copied(kPerson, "送修人", FieldKind::Text, c::kPerson).At("客户", 31),
              copied(kTelephone, "司机电话", FieldKind::Text, c::kTelephone).At("客户", 32),
              copied(kDepartment, "主管部门", FieldKind::Text, c::kDepartment).At("客户", 33),
              FormField(kLabour, "维修费用", FieldKind::Number).In(kFeeFrame).At("费用", 40),
              FormField(kParts, "配件费用", FieldKind::Number).In(kFeeFrame).At("费用", 41),
              FormField(kDiagnosis, "诊断费", FieldKind::Number).In(kFeeFrame).At("费用", 42),
              FormField(kInspection, "检测费", FieldKind::Number).In(kFeeFrame).At("费用", 43),
              FormField(kManagement, "管理费", FieldKind::Number).In(kFeeFrame).At("费用", 44),
              FormField(kReceivable, "应收合计", FieldKind::Number)
                  .ReadOnly()
                  .Prominent()
                  .In(kFeeFrame)
                  .At("费用", 49),
              TextField(kNumber, "单据编号", c::kNumber)
                  .Role(FieldRole::Number)
                  .In(kMoneyFrame)
                  .At("收款", 50),
              DateField(kDate, "单据日期", c::kDate)
                  .Role(FieldRole::DocumentDate)
                  .In(kMoneyFrame)
                  .At("收款", 51),
              LookupField(kSalesman, "业务员", c::kSalesmanId, "业务员", "pdmgy_j")
                  .Role(FieldRole::FirstInput)
                  .In(kMoneyFrame)
                  .At("收款", 52),
              LookupField(kMethod, "结算方式", c::kMethodId, "结算方式", "sel_pdmsjzd")
                  .Picker("sel_pdmsjzd", {{"Lx", "结算方式"}})
                  .In(kMoneyFrame)
                  .At("收款", 53),
              // A detail cash or bank account, typed by code or name (ResolveAccount).
              LookupField(kAccount, "科目", c::kAccountId, c::kAccountName, "")
                  .In(kMoneyFrame)
                  .At("收款", 54),
              TextField(kSummary, "摘要", c::kSummary).In(kMoneyFrame).At("收款", 55),
              NumberField(kCollected, "总金额", c::kTotalAmount).In(kMoneyFrame).At("收款", 56),
              NumberField(kWriteOff, "扣零金额", c::kWriteOff).In(kMoneyFrame).At("收款", 57),
              FormField(kReceived, "收款合计", FieldKind::Number)
                  .ReadOnly()
                  .In(kMoneyFrame)
                  .At("收款", 58),
              FormField(kOwed, "欠款金额", FieldKind::Number)
                  .ReadOnly()
                  .Prominent()
                  .In(kMoneyFrame)
                  .At("收款", 59),
              TextField(kRemarks, "备注", c::kRemarks).In(kMoneyFrame).At("收款", 60),
          },
          {kEnteredBy, kEntryDate, kCheckedBy, kCheckDate, 70}));
  return schema;
}

JS_WS::JS_WS(RepairOrderChooser chooser)
    : MoneyDocument("JS_WS", SettlementSchema(), kFieldArray), chooser_(std::move(chooser)) {}

JS_WS::~JS_WS() = default;

std::vector<host::FindColumn> JS_WS::FindColumns() const {
  using K = host::FindKind;
  return {
      {"ARPReceive.单据编号", "单据编号", K::Text}, {"ARPReceive.单据日期", "单据日期", K::Date},
      {"PDMWLDWJS.公司名称", "往来单位", K::Text},  {"PDMGY.姓名", "业务员", K::Text},
      {"ARPReceive.总金额", "总金额", K::Number},   {"ARPReceive.摘要", "摘要", K::Text}};
}

forms::Field& JS_WS::Header(int index) const {
  return HeaderField(index);
}

std::string JS_WS::BaseSelect() const {
  return SettlementListSelect();
}

std::string JS_WS::ListWindow() {
  return framework::ListWindow(System(), {"会计期间", framework::WindowColumn::PeriodsFromFirst},
                               Driver(), gate_.CurrentPeriod());
}

void JS_WS::SetupForm() {
  if (form_.Find(kItemGrid)) return;  // a second Init keeps the form it built
  // The period and the closed one as Init read them a moment ago: a round trip fewer each.
  gate_ =
      framework::PeriodGate(framework::kLedgerPeriod, CurrentPeriodParameter(), ClosingPeriod());

  form_.Add<forms::Frame>(kOrderGroup);
  form_.Add<forms::Frame>(kFeeFrame).SetCaption("结算情况");
  form_.Add<forms::Frame>(kMoneyFrame).SetCaption("本次收款情况");
  BuildHeader("-->");

  auto& select = form_.Add<forms::CommandButton>(kSelectButton);
  select.SetCaption("选择维修单");
  select.OnClick = [this] {
    Guarded("-->cmdSelect_Click::", [&] {
      ChooseRepairOrder();
      return true;
    });
  };

  framework::LineGrid::Context context;
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
    framework::LineGrid::Store store{items ? "ARPReceive_XM" : "ARPReceive_PJ",
                                     items ? "arpreceive_xm" : "arpreceive_pj", "JS_WS"};
    auto lines = std::make_unique<framework::LineGrid>(grid, kind, store);
    lines->Setup(context, GoodsMessageEdit());
    AddLineSet(*lines);
    (items ? items_ : parts_) = std::move(lines);
  }
  CalcTotals();
}

void JS_WS::FieldChanged(int index) {
  switch (index) {
    case kParts:
      SetManagementFee();
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
  if (field.Kind() != forms::FieldKind::Lookup) {
    framework::Document::FieldLeft(index);
    RoundTyped(index);
    return;
  }
  if (index == kAccount) {
    ResolveAccount();
    return;
  }
  if (index != kSalesman && index != kMethod) return;
  // A name chosen in the picker is resolved already.
  if (!Trim(field.Text()).empty() && field.KeyLong() > 0) return;
  ResolveLookupField(index);
}

void JS_WS::RoundTyped(int index) {
  switch (index) {
    case kLabour:
    case kParts:
    case kDiagnosis:
    case kInspection:
    case kManagement:
    case kCollected:
    case kWriteOff:
      break;
    default:
      return;
  }
  // A fee or a payment typed with more decimals than the till takes is posted and collected as
  // the till takes it; the clerk sees that once the field is left.
  std::string text = Header(index).Text();
  if (!Header(index).Valid() || !framework::RoundTypedAmount(System(), text)) return;
  Header(index).SetText(text);
  FieldChanged(index);
}

void JS_WS::FieldPicker(int index) {
  forms::Field& field = Header(index);
  auto picker = OpenFieldPicker(index);
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
  auto records = db::Runner(Database()).OpenOrThrow(CashAccountLookup(typed));
  if (records->Eof()) {
    // Only a detail cash or bank account can receive the money.
    MarkInputError(field);
    return;
  }
  field.SetValue(records->Text(col::kAccountId), records->Text(col::kAccountName));
  field.MarkValid();
}

void JS_WS::ChooseRepairOrder() {
  if (!HasSystem() || !chooser_ || !Editing()) return;
  ChosenRepairOrder chosen = chooser_(System(), ProgramNumber(), 0, CurrentId());
  if (chosen.id <= 0) return;
  TakeRepairOrder(chosen);
}

bool JS_WS::NewForOrder(int64_t orderId) {
  ChosenRepairOrder chosen;
  auto listed = [&] {
    // As the chooser lists orders for a new settlement (id 0).
    SettlementChooserFilter filter;
    filter.rows = 1;
    filter.orderId = orderId;
    auto records = db::Runner(Database()).OpenOrThrow(SettlementChooserSelect(filter, Driver()));
    if (records->Eof()) return false;
    chosen = {records->Long(col::kId), records->Text(col::kOrderNumber)};
    return true;
  };
  return NewFromOrder(orderId, "-->NewForOrder::", gate_, kSettledText, listed,
                      [&] { return TakeRepairOrder(chosen); });
}

bool JS_WS::TakeRepairOrder(const ChosenRepairOrder& chosen) {
  if (CurrentId() > 0) linesReplaced_ = true;
  Header(kOrderNumber).SetValue(std::to_string(chosen.id), chosen.number);
  Header(kOrderNumber).MarkValid();
  const bool loaded = LoadRepairOrder(chosen.id);
  SetDirty(true);
  return loaded;
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
    Header(kOrderNumber).SetValue(order->Text(col::kId), order->Text(col::kOrderNumber));
    Header(kOwner).SetValue(order->Text(col::kOwnerId), order->Text(col::kCompany));
    Header(kPlate).SetValue(order->Text(col::kVehicleId), order->Text(col::kPlate));
    Header(kCategory).SetValue(order->Text(col::kCategoryId), order->Text(col::kCategory));
    for (const auto& d : Schema().Columns()) {
      if (d.source.empty()) continue;
      std::string text = order->Text(d.source);
      if (d.fieldKind == forms::FieldKind::Date) text = db::FormatDateText(text);
      // The order's stand-in for "not out yet" is shown as no date, as on the order.
      if (!d.emptyDate.empty() && text == d.emptyDate) text.clear();
      Header(d.field).SetText(text);
    }
    // The order proposes the fees, the receivable and the remarks; a fee the order holds with
    // more decimals than the till takes is settled as the till takes it.
    for (const auto& [index, column] : kFeeColumns) {
      if (index != kManagement) SetNumber(index, order->Money(column).RoundedTo(Decimals()));
    }
    Header(kReceivable).SetText(order->Text(col::kReceivable));
    Header(kRemarks).SetText(order->Text(col::kRemarks));
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
  using Col = framework::LineGrid::Column;
  for (; !parts->Eof(); parts->MoveNext()) {
    int row = grid.AddRow();
    // The quantity as issued, never rounded: 3 for a quantity of 0.00004 is a price of 75000.
    const db::Quantity quantity = db::Quantity::OfValue(parts->Field("sum数量"));
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
  for (const auto& [index, column] : kFeeColumns) Header(index).SetText(fees->Text(column));
  return true;
}

void JS_WS::ShowDetails(const db::Recordset& records) {
  linesReplaced_ = false;
  const int64_t id = CurrentId();
  const int64_t customerId = records.Long(col::kPartnerId);
  // The order first, so the saved fees and lines overlay what it proposes.
  if (!LoadRepairOrder(records.Long(col::kSourceId))) return;
  if (!LoadLines(LineKind::Items, id) || !LoadLines(LineKind::Parts, id) || !LoadFees(id)) return;
  // The saved fees stand as saved (a 配件费用 typed over the grid's sum included): they are what
  // a check posts, so they are what the clerk sees. Only the sums made of them are recomputed.
  RecalcFromFees();
  Header(kOwner).SetKey(std::to_string(customerId));
}

void JS_WS::AfterClear() {
  linesReplaced_ = false;
  if (items_) CalcTotals();
}

void JS_WS::NewDocumentDefaults() {
  events_.Message("新建记录...");
}

db::Amount JS_WS::Amount(int index) const {
  return db::Amount::Of(Header(index).Text());
}

void JS_WS::SetNumber(int index, db::Amount value) {
  Header(index).SetText(value.Text());
}

int JS_WS::Decimals() const {
  return HasSystem() ? framework::AmountDecimals(System()) : db::Amount::kDecimals;
}

void JS_WS::CalcTotals() {
  SetNumber(kLabour, items_->Total().RoundedTo(Decimals()));
  SetNumber(kParts, parts_->Total().RoundedTo(Decimals()));
  SetManagementFee();
  RecalcFromFees();
}

void JS_WS::SetManagementFee() {
  // No till takes half a fen: a tenth of 148.75 is 14.88, rounded once from the exact 14.875.
  SetNumber(kManagement, Amount(kParts).Times(kManagementRate, Decimals()));
}

void JS_WS::RecalcFromFees() {
  db::Amount receivable;
  for (int index : {kLabour, kParts, kDiagnosis, kInspection, kManagement}) {
    receivable += Amount(index);
  }
  SetNumber(kReceivable, receivable.RoundedTo(Decimals()));
  RecalcReceived();
}

void JS_WS::RecalcReceived() {
  const db::Amount received = (Amount(kCollected) + Amount(kWriteOff)).RoundedTo(Decimals());
  SetNumber(kReceived, received);
  SetNumber(kOwed, Amount(kReceivable) - received);
}

}  // namespace ws::money
