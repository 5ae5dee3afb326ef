#include "repair_order/ws_s.h"

#include "db/runner.h"
#include "db/value.h"
#include "forms/number_format.h"
#include "framework/list_window.h"

namespace ws::repair_order {

const framework::HeaderSchema& WS_S::OrderSchema() {
  using framework::SaveMode;
  using framework::ValueKind;
  static const framework::HeaderSchema schema(
      "WSDJ", "单据ID",
      {
          {"单据ID", -1, ValueKind::Id, SaveMode::InsertOnly},
          {"progid", -1, ValueKind::Id, SaveMode::InsertOnly},
          {"smark", -1, ValueKind::Text, SaveMode::InsertOnly},
          {"系统", -1, ValueKind::Text, SaveMode::InsertOnly},
          {"制单人", kEnteredBy, ValueKind::Text},
          {"制单日期", kEntryDate, ValueKind::Date},
          {"工单号码", kNumber, ValueKind::Text},
          {"车主ID", kOwner, ValueKind::Id, SaveMode::Always, "公司名称"},
          {"主管部门", kDepartment, ValueKind::Text},
          {"车厂", kMaker, ValueKind::Text},
          {"进厂日期", kDateIn, ValueKind::Date},
          {"车辆ID", kPlate, ValueKind::Id, SaveMode::Always, "车牌号"},
          {"送修人", kPerson, ValueKind::Text},
          {"司机电话", kTelephone, ValueKind::Text},
          {"维修分类", kCategory, ValueKind::Text, SaveMode::Always, "", "", true},
          {"维修分类ID", kCategory, ValueKind::Id, SaveMode::Always, "维修分类"},
          // An order that has not left the workshop is stored with the "no date" of the shop.
          {"出厂日期", kDateOut, ValueKind::Date, SaveMode::Always, "", "1900-01-01"},
          {"接待人", kReceptionist, ValueKind::Text},
          {"发票号码", kInvoice, ValueKind::Text},
          {"公里数", kMileage, ValueKind::Number},
          {"维修费用", kLabour, ValueKind::Number},
          {"配件费用", kParts, ValueKind::Number},
          {"诊断费", kDiagnosis, ValueKind::Number},
          {"检测费", kInspection, ValueKind::Number},
          {"应收合计", kTotal, ValueKind::Number},
          {"备注", kRemarks, ValueKind::Text},
          {"审核日期", kCheckDate, ValueKind::Date, SaveMode::ReadOnly},
          {"审核人", kCheckedBy, ValueKind::Text, SaveMode::ReadOnly},
          {"发动机号", kEngine, ValueKind::Text, SaveMode::Shown},
          {"车架号", kChassis, ValueKind::Text, SaveMode::Shown},
          {"车型", kModel, ValueKind::Text, SaveMode::Shown},
      });
  return schema;
}

WS_S::WS_S() : framework::Document("WS_S", OrderSchema(), kFieldArray) {}

std::vector<host::FindColumn> WS_S::FindColumns() const {
  using K = host::FindKind;
  return {{"WSDJ.工单号码", "工单号码", K::Text},  {"CLZl.车牌号", "车牌号", K::Text},
          {"pdmwldw.公司名称", "车主", K::Text},   {"WSDJ.进厂日期", "进厂日期", K::Date},
          {"WSDJ.出厂日期", "出厂日期", K::Date},  {"WSDJ.维修分类", "维修分类", K::Text},
          {"WSDJ.接待人", "接待人", K::Text},      {"WSDJ.送修人", "送修人", K::Text},
          {"WSDJ.应收合计", "应收合计", K::Number}};
}

forms::Field& WS_S::Header(int index) const {
  return form_.Get<forms::Field>(kFieldArray, index);
}

void WS_S::AddField(int index, const char* caption, forms::FieldKind kind) {
  auto& field = form_.Add<forms::Field>(kFieldArray, index);
  field.SetCaption(caption);
  field.SetKind(kind);
  field.SetPicker(PickerNameOf(index));
}

void WS_S::SetupForm() {
  if (form_.Find(kItemGrid)) return;  // a second Init keeps the form it built
  using forms::FieldKind;
  AddField(kDateOut, "出厂日期", FieldKind::Date);
  AddField(kOwner, "车主", FieldKind::Lookup);
  AddField(kNumber, "工单号码", FieldKind::Text);
  AddField(kModel, "车型", FieldKind::Text);
  AddField(kMaker, "车厂", FieldKind::Lookup);
  AddField(kDateIn, "进厂日期", FieldKind::Date);
  AddField(kDepartment, "主管部门", FieldKind::Lookup);
  AddField(kMileage, "公里数", FieldKind::Number);
  AddField(kRemarks, "备注", FieldKind::Text);
  AddField(kEntryDate, "制单日期", FieldKind::Date);
  AddField(kEnteredBy, "制单人", FieldKind::Text);
  AddField(kCheckDate, "审核日期", FieldKind::Date);
  AddField(kCheckedBy, "审核人", FieldKind::Text);
  AddField(kEngine, "发动机号", FieldKind::Text);
  AddField(kChassis, "车架号", FieldKind::Text);
  AddField(kLabour, "维修费用", FieldKind::Number);
  AddField(kPerson, "送修人", FieldKind::Text);
  AddField(kCategory, "维修分类", FieldKind::Lookup);
  AddField(kTelephone, "司机电话", FieldKind::Text);
  AddField(kInvoice, "发票号码", FieldKind::Text);
  AddField(kReceptionist, "接待人", FieldKind::Lookup);
  AddField(kPlate, "车牌号", FieldKind::Lookup);
  AddField(kParts, "配件费用", FieldKind::Number);
  AddField(kDiagnosis, "诊断费", FieldKind::Number);
  AddField(kInspection, "检测费", FieldKind::Number);
  AddField(kTotal, "应收合计", FieldKind::Number);
  // Audit and computed fields are never typed into.
  for (int index : {kEntryDate, kEnteredBy, kCheckDate, kCheckedBy, kLabour, kParts, kTotal}) {
    Header(index).SetAlwaysReadOnly(true);
  }
  WireHeader();

  auto& itemTab = form_.Add<forms::OptionButton>(kItemTab);
  itemTab.SetCaption("维修项目");
  itemTab.OnClick = [this] { ShowGrid(LineKind::Items); };
  auto& partTab = form_.Add<forms::OptionButton>(kPartTab);
  partTab.SetCaption("维修配件");
  partTab.OnClick = [this] { ShowGrid(LineKind::Parts); };
  form_.Add<forms::Frame>(kGridFrame);

  LineGrid::Context context;
  context.system = [this]() -> host::ISystem& { return System(); };
  context.programNumber = ProgramNumber();
  context.ownerId = [this] { return Header(kOwner).KeyLong(); };
  context.reportError = [this](const std::string& text) { ReportError(text); };
  context.changed = [this] { Changed(); };
  for (LineKind kind : {LineKind::Items, LineKind::Parts}) {
    auto& grid = form_.Add<forms::Grid>(kind == LineKind::Items ? kItemGrid : kPartGrid);
    grid.SetContainer(kGridFrame);
    grid.OnOpenFormRequest = [this](const std::string& program, const std::string& a,
                                    const std::string& b,
                                    const std::string& c) { ForwardOpenForm(program, a, b, c); };
    auto lines = std::make_unique<LineGrid>(grid, kind);
    lines->Setup(context, GoodsMessageEdit());
    AddLineSet(*lines);
    (kind == LineKind::Items ? items_ : parts_) = std::move(lines);
  }

  form_.Add<forms::Label>(kAmountFigures);
  form_.Add<forms::Label>(kAmountWords);
  form_.Add<forms::CheckBox>(kKeepValues).SetCaption("保留上一单内容");
  ShowGrid(LineKind::Items);
  RecalcTotals();
}

void WS_S::ShowGrid(LineKind kind) {
  bool items = kind == LineKind::Items;
  form_.Get<forms::Grid>(kItemGrid).SetVisible(items);
  form_.Get<forms::Grid>(kPartGrid).SetVisible(!items);
  form_.Get<forms::OptionButton>(kItemTab).SetValue(items ? 1 : 0);
  form_.Get<forms::OptionButton>(kPartTab).SetValue(items ? 0 : 1);
}

std::string WS_S::ListWindow() {
  return framework::ListWindow(System(), {"进厂日期", framework::WindowColumn::Dates}, Driver());
}

void WS_S::ShowRecord(const db::Recordset& records, const std::string& position) {
  MarkShown(records.Long("单据ID"));
  Schema().Show(records, form_, kFieldArray);

  pendingLookups_.clear();

  SetRecordLabel("记录：" + (position.empty() ? std::string("0/0") : position));
  SetCheckedStamp(records.Text("smark") != "01");
  if (!LoadLines(*items_, CurrentId()) || !LoadLines(*parts_, CurrentId())) return;
  RecalcTotals();
}

bool WS_S::LoadLines(LineGrid& grid, int64_t orderId) {
  std::string error;
  auto records = db::Runner(Database()).Open(db::Sql(LinesSelect(grid.Kind(), orderId)), &error);
  if (!error.empty()) {
    ReportError(error);
    return false;
  }
  grid.Load(*records);
  return true;
}

void WS_S::ClearForm() {
  ForgetShown();
  auto* keep = form_.FindAs<forms::CheckBox>(kKeepValues);
  if (!keep || !keep->Checked()) {
    for (const auto& child : form_.Children()) {
      if (auto* field = dynamic_cast<forms::Field*>(child.get())) {
        field->SetValue("", "");
        field->MarkValid();
      } else if (auto* box = dynamic_cast<forms::TextBox*>(child.get())) {
        box->SetText("");  // text boxes, combo boxes and date editors
      }
    }
    if (items_) items_->Clear();
    if (parts_) parts_->Clear();
  }
  // A load forgets the lines removed from the order shown before.
  if (items_) items_->ForgetRemoved();
  if (parts_) parts_->ForgetRemoved();
  pendingLookups_.clear();
  if (auto* number = form_.FindAs<forms::Field>(kFieldArray, kNumber)) number->SetText("");
  for (const char* name : {kItemGrid, kPartGrid}) {
    if (auto* grid = form_.FindAs<forms::Grid>(name)) grid->RenumberRows();
  }
  SetRecordLabel("记录：0/0");
  SetCheckedStamp(false);
  if (items_) RecalcTotals();
}

void WS_S::OnFileNew() {
  host::LoginInfo login = Login();
  std::string number;
  if (System().NewBillNo(ProgramNumber(), login.loginDate, number, true)) {
    Header(kNumber).SetText(number);
  }
  Header(kDateIn).SetText(login.loginDate.Text());
  Header(kEntryDate).SetText(login.loginDate.Text());
  Header(kEnteredBy).SetText(login.userName);
  if (form_.Get<forms::CheckBox>(kKeepValues).Checked()) {
    // The kept order is a template: its lines become lines of the new order, and the new
    // order has not been checked by anyone.
    items_->ForgetLineIds();
    parts_->ForgetLineIds();
    Header(kCheckDate).SetText("");
    Header(kCheckedBy).SetText("");
  }
  form_.SetFocus(Header(kNumber).Text().empty() ? &Header(kNumber) : &Header(kPlate));
}

void WS_S::Changed() {
  RecalcTotals();
  SetDirty(true);
}

void WS_S::RecalcTotals() {
  Header(kLabour).SetText(items_->Total().Text());
  Header(kParts).SetText(parts_->Total().Text());
  RecalcReceivable();
}

void WS_S::RecalcReceivable() {
  db::Amount total;
  for (int index : {kLabour, kParts, kDiagnosis, kInspection}) {
    total += db::Amount::Of(Header(index).Text());
  }
  Header(kTotal).SetText(total.Text());
  int decimals = static_cast<int>(db::NumericValue(System().GetOption(12, 12)));
  form_.Get<forms::Label>(kAmountFigures)
      .SetCaption(forms::FormatNumber(total.ToDouble(), forms::DecimalsFormat(decimals, true)));
  form_.Get<forms::Label>(kAmountWords).SetCaption(System().AmountInWords(total));
}

}  // namespace ws::repair_order
