#include "requisition/frm_sel_ws.h"

#include <cmath>
#include <exception>
#include <stdexcept>

#include "db/date.h"
#include "db/runner.h"
#include "db/value.h"
#include "forms/grid_search.h"
#include "forms/number_format.h"
#include "forms/text.h"
#include "framework/picker_call.h"

namespace ws::requisition {

namespace {

constexpr const char* kGridHint = "提示：单击选择后按回车键确认！";
constexpr const char* kErrorTitle = "提示:";
constexpr int kFrozenCols = 3;
// Searched unless the stored search settings enable other columns.
const std::vector<int> kSearchColumns = {frmSelWS::kColNumber, frmSelWS::kColCustomer,
                                         frmSelWS::kColPlate, frmSelWS::kColPartCode,
                                         frmSelWS::kColPartName};

framework::ChooserLook Look() {
  framework::ChooserLook look;
  look.name = frmSelWS::kFormName;
  look.title = kErrorTitle;
  look.columns = frmSelWS::kColumns;
  look.rowHeaderCol = true;
  look.gridType = forms::kLineGrid;
  look.defaultRows = std::to_string(frmSelWS::kDefaultRowLimit);
  look.spareSlot = false;
  look.layout = framework::ChooserLook::FormStatus;
  look.addBeforeGrid = [](forms::Form& form) {
    form.Add<forms::Frame>("Frame1").SetCaption("前置单据");
    auto& repairOrders =
        form.Add<forms::OptionButton>(frmSelWS::kSourceOption, frmSelWS::kRepairOrderOption);
    repairOrders.SetCaption("车辆维修单");
    repairOrders.SetContainer("Frame1");
    repairOrders.SetValue(1);
    form.Add<forms::CheckBox>(frmSelWS::kShowIssued).SetCaption("显示已领料");
    form.Add<forms::CheckBox>(frmSelWS::kWholeOrder).SetCaption("整单选中");
  };
  return look;
}

// A row limit as typed: a whole number of at least 0.
bool IsRowLimit(const std::string& text) {
  if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) return false;
  return text.size() < 10;
}

// The host's decimals setting of module 12 with that number (7 quantities, 9 prices) as a
// column format: "###" for none, else "###." and a "0" per decimal, shown always.
std::string DecimalsOption(host::ISystem& system, int number) {
  int decimals = static_cast<int>(db::NumericValue(system.GetOption(12, number)));
  return forms::DecimalsFormat(decimals, true);
}

}  // namespace

frmSelWS::frmSelWS(SelectionList& selection) : OrderChooser(Look()), selection_(selection) {
  repairOrders_ = &form_.Get<forms::OptionButton>(kSourceOption, kRepairOrderOption);
  repairOrders_->OnClick = [this] { Query(); };
  showIssued_ = &form_.Get<forms::CheckBox>(kShowIssued);
  showIssued_->OnClick = [this] { Query(); };
  wholeOrder_ = &form_.Get<forms::CheckBox>(kWholeOrder);

  forms::Grid& grid = Grid();
  grid.SetFrozenCols(kFrozenCols);
  grid.OnDblClick = [this](int row) { ToggleTick(row); };
  // The search box is bound to the list while the dialog is open.
  SearchBox().boundGrid.clear();
  SearchBox().searchColumns.assign(kColumnCount, false);
  for (int c : kSearchColumns) SearchBox().searchColumns[static_cast<size_t>(c)] = true;
}

host::ISystem& frmSelWS::OpenSystem() const {
  if (!HasSystem()) throw std::logic_error("frmSelWS is not open");
  return System();
}

bool frmSelWS::py_SubProgram(host::ISystem& system, int64_t customerId, int64_t programNumber,
                             const std::string& /*text*/) {
  programNumber_ = programNumber;
  confirmed_ = false;
  db::Runner runner(system.GetDatabase());
  form_.SetCaption(
      runner.ScalarText(
          db::Sql("select progname from xt_objects where progID=").Key(programNumber)) +
      "选单");
  forms::Grid& grid = Grid();
  grid.Col(kColRequired).format = DecimalsOption(system, 7);
  grid.Col(kColIssued).format = grid.Col(kColRequired).format;
  grid.Col(kColOutstanding).format = grid.Col(kColRequired).format;
  grid.Col(kColPrice).format = DecimalsOption(system, 9);
  Open(system);
  // Repair orders are the only source, whatever an old layout file says.
  repairOrders_->SetValue(1);
  SearchBox().boundGrid = kGrid;
  SearchBox().SetToolTip(kGridHint);
  SearchBox().filterMode = FilterModeBox().Checked();

  if (customerId > 0) {
    Condition(kCustomer).SetValue(
        std::to_string(customerId),
        runner.ScalarText(db::Sql("SELECT 公司名称 From PdmWLDW Where 往来ID =").Key(customerId)));
    Condition(kCustomer).MarkValid();
  }
  Query();

  const bool shown = ShowModal();
  if (!IsClosed()) Close();
  return shown && confirmed_;
}

ChooserFilter frmSelWS::CurrentFilter() const {
  ChooserFilter filter;
  filter.plate = forms::Trim(Condition(kPlate).Text());
  filter.number = forms::Trim(Condition(kNumber).Text());
  // A date field holding no date is marked for the user and narrows nothing: compared with a
  // date column it would be refused by one database and match nothing in another.
  auto dateOf = [this](int index) {
    auto date = db::Date::Parse(forms::Trim(Condition(index).Text()));
    return date ? date->Text() : std::string();
  };
  filter.dateFrom = dateOf(kDateFrom);
  filter.dateTo = dateOf(kDateTo);
  filter.customerId = Condition(kCustomer).KeyLong();
  filter.showIssued = showIssued_->Checked();
  // A limit that is no whole number (marked invalid on typing) lists what its numeric value
  // allows; below 0 nothing.
  double limit = db::NumericValue(Condition(kRowLimit).Text());
  filter.rowLimit = limit > 0 ? static_cast<int64_t>(std::floor(limit)) : 0;
  return filter;
}

void frmSelWS::FilterLeft(int index) {
  forms::Field& field = Condition(index);
  std::string typed = forms::Trim(field.Text());
  field.MarkValid();
  switch (index) {
    case kDateFrom:
    case kDateTo:
      if (typed.empty()) return;
      if (auto date = db::Date::Parse(typed)) {
        field.SetText(date->Text());
      } else {
        field.MarkInvalid(kInvalidInput);
      }
      return;
    case kRowLimit:
      if (!IsRowLimit(typed)) field.MarkInvalid(kInvalidInput);
      return;
    case kPlate:
    case kCustomer:
      ResolveLookup(index);
      return;
    default:
      return;
  }
}

void frmSelWS::ResolveLookup(int index) {
  forms::Field& field = Condition(index);
  std::string typed = forms::Trim(field.Text());
  if (typed.empty()) {
    field.SetValue("0", "");
    return;
  }
  try {
    auto picker =
        framework::OpenPicker(OpenSystem(), field.Picker(), programNumber_, {{"SX", "2"}});
    if (!picker) return;
    framework::PickedRow picked = framework::ResolveTyped(*picker, typed);
    if (!picked.found) {
      field.SetKey("0");
      field.MarkInvalid(kInvalidInput);
      return;
    }
    // The plate condition compares the plate itself, whatever the picker shows as its text.
    std::string shown = index == kPlate && picked.objects.Has("i车牌号")
                            ? picked.objects.Text("i车牌号")
                            : picked.text;
    field.SetValue(picked.value, shown.empty() ? typed : shown);
  } catch (const std::exception&) {
    field.MarkInvalid(kInvalidInput);
  }
}

void frmSelWS::FilterPicker(int index) {
  forms::Field& field = Condition(index);
  try {
    auto picker =
        framework::OpenPicker(OpenSystem(), field.Picker(), programNumber_, {{"SX", "2"}});
    if (!picker) return;
    framework::PickedRow picked =
        framework::ChooseInPicker(System(), *picker, forms::Trim(field.Text()));
    if (!picked.found) return;
    std::string shown = index == kPlate && picked.objects.Has("i车牌号")
                            ? picked.objects.Text("i车牌号")
                            : picked.text;
    field.SetValue(picked.value, shown);
    field.MarkValid();
  } catch (const std::exception& e) {
    OpenSystem().Dialogs().MessageBox(std::string("frmSelWS-->ywTxt_UserHelpEvent::") + e.what(),
                                      kErrorTitle, host::MsgButtons::Ok, host::MsgIcon::Critical);
  }
}

// The chooser lists repair orders only; without that source there is nothing to ask.
bool frmSelWS::Lists() const {
  return repairOrders_->Checked();
}

db::Sql frmSelWS::ListQuery(std::string_view driver) {
  return ChooserSelect(CurrentFilter(), driver);
}

void frmSelWS::QueryFailed(const std::string& error) {
  OpenSystem().Dialogs().MessageBox("frmSelWS-->LoadData::" + error, kErrorTitle,
                                    host::MsgButtons::Ok, host::MsgIcon::Critical);
}

void frmSelWS::AfterQuery() {
  Grid().RenumberRows();
  // A search typed before the query keeps narrowing the fresh rows.
  if (!SearchBox().Text().empty()) RunSearch();
}

void frmSelWS::FillRow(int row, const db::Recordset& records) {
  OrderChooser::FillRow(row, records);
  // More may have been issued than required: the difference is then negative.
  Grid().SetTextMatrix(row, kColOutstanding,
                       db::DecimalText(records.Number("需求数量") - records.Number("已领用数")));
}

void frmSelWS::Tick(int row, bool ticked) {
  forms::Grid& grid = Grid();
  if (!grid.IsDataRow(row)) return;
  if (!wholeOrder_->Checked()) {
    OrderChooser::Tick(row, ticked);
    return;
  }
  const std::string number = grid.TextMatrix(row, kColNumber);
  for (int r = grid.FixedRows(); r < grid.Rows(); ++r) {
    if (grid.TextMatrix(r, kColNumber) == number) OrderChooser::Tick(r, ticked);
  }
}

void frmSelWS::OnConfirm() {
  const forms::Grid& grid = Grid();
  for (int r = grid.FixedRows(); r < grid.Rows(); ++r) {
    if (!Ticked(r)) continue;
    auto text = [&](int col) { return grid.TextMatrix(r, col); };
    auto number = [&](int col) { return db::NumericValue(text(col)); };
    auto id = [&](int col) { return static_cast<int64_t>(number(col)); };
    framework::clsSelWS row;
    row.i进厂日期(text(kColDate));
    row.i工单号码(text(kColNumber));
    row.i客户名称(text(kColCustomer));
    row.i车牌号码(text(kColPlate));
    row.i车型(text(kColModel));
    row.i维修分类(text(kColCategory));
    row.i配件编码(text(kColPartCode));
    row.i配件项目(text(kColPartName));
    row.i配件规格(text(kColPartSize));
    row.i需求数量(number(kColRequired));
    row.i已领数量(number(kColIssued));
    row.i未领数量(number(kColOutstanding));
    row.i单价(number(kColPrice));
    row.i说明(text(kColNote));
    row.i客户ID(id(kColCustomerId));
    row.i产品ID(id(kColProductId));
    row.iprogid(id(kColProgram));
    row.i单据ID(id(kColDocumentId));
    row.i单据明细ID(id(kColLineId));
    row.i单位(text(kColUnit));
    selection_.Add(row);
  }
  confirmed_ = true;
  Close();
}

void frmSelWS::ClearFilters() {
  OrderChooser::ClearFilters();
  for (int index : {kPlate, kNumber, kDateFrom, kDateTo, kCustomer}) Condition(index).MarkValid();
}

std::vector<int> frmSelWS::SearchColumns() const {
  return kSearchColumns;
}

void frmSelWS::BeforeClose() {
  try {
    System().UserSettings().Set(kSettingKey,
                                std::to_string(repairOrders_->Checked() ? kRepairOrderOption : 0));
  } catch (const std::exception&) {
    // A settings store that cannot write loses only the remembered option.
  }
}

void frmSelWS::AfterClose() {
  SearchBox().boundGrid.clear();
}

}  // namespace ws::requisition
