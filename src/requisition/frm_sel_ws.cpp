#include "requisition/frm_sel_ws.h"

#include <algorithm>
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
#include "grid/layout.h"

namespace ws::requisition {

namespace {

constexpr const char* kGridFormat =
    "  |选择 |进厂日期   |工单号码    |客户名称                 |车牌号码      |车型       "
    "|维修分类    |配件编码     |配件项目     |配件规格     |需求数量     "
    "|已领数量    |未领数量     |单价       |说明        "
    "|客户ID|产品ID|progid|单据ID|单据明细ID|单位";
constexpr const char* kGridHint = "提示：单击选择后按回车键确认！";
constexpr const char* kErrorTitle = "提示:";
constexpr int kFrozenCols = 3;
// Searched unless the stored search settings enable other columns.
const std::vector<int> kSearchColumns = {frmSelWS::kColNumber, frmSelWS::kColCustomer,
                                         frmSelWS::kColPlate, frmSelWS::kColPartCode,
                                         frmSelWS::kColPartName};

// A row limit as typed: a whole number of at least 0.
bool IsRowLimit(const std::string& text) {
  if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) return false;
  return text.size() < 10;
}

// The host's decimals setting of module 12 with that number (7 quantities, 9 prices) as a
// column format: "###" for none, else "###." and a "#" per decimal.
std::string DecimalsOption(host::ISystem& system, int number) {
  int decimals = static_cast<int>(db::NumericValue(system.GetOption(12, number)));
  return forms::DecimalsFormat(decimals, false);
}

}  // namespace

frmSelWS::frmSelWS(SelectionList& selection) : selection_(selection), form_(kFormName) {
  BuildForm();
}

void frmSelWS::BuildForm() {
  BuildConditions();

  auto& frame = form_.Add<forms::Frame>("Frame1");
  frame.SetCaption("前置单据");
  repairOrders_ = &form_.Add<forms::OptionButton>(kSourceOption, kRepairOrderOption);
  repairOrders_->SetCaption("车辆维修单");
  repairOrders_->SetContainer("Frame1");
  repairOrders_->SetValue(1);
  repairOrders_->OnClick = [this] { LoadList(); };

  showIssued_ = &form_.Add<forms::CheckBox>(kShowIssued);
  showIssued_->SetCaption("显示已领料");
  showIssued_->OnClick = [this] { LoadList(); };
  wholeOrder_ = &form_.Add<forms::CheckBox>(kWholeOrder);
  wholeOrder_->SetCaption("整单选中");

  BuildGrid();

  searchBox_ = &form_.Add<forms::SearchBox>(kSearchBox);
  searchBox_->searchColumns.assign(kColumnCount, false);
  for (int c : kSearchColumns) searchBox_->searchColumns[static_cast<size_t>(c)] = true;
  searchBox_->OnChange = [this] { Search(); };
  filterMode_ = &form_.Add<forms::CheckBox>(kFilterMode);
  filterMode_->SetCaption("过滤");
  filterMode_->OnClick = [this] {
    searchBox_->filterMode = filterMode_->Checked();
    Search();
  };

  const char* captions[] = {"确定", "取消", "查询", "清空条件", "全不选", "全选"};
  for (int i = 0; i < 6; ++i) {
    auto& button = form_.Add<forms::CommandButton>(kButtons, i);
    button.SetCaption(captions[i]);
    button.OnClick = [this, i] { btn_Click(i); };
  }
}

void frmSelWS::BuildConditions() {
  struct FilterField {
    int index;
    const char* caption;
    forms::FieldKind kind;
    const char* picker;
  };
  const FilterField filters[] = {
      {kPlate, "车牌号码", forms::FieldKind::Lookup, "pdmcl"},
      {kNumber, "工单号码", forms::FieldKind::Text, ""},
      {kDateFrom, "进厂日期", forms::FieldKind::Date, ""},
      {kDateTo, "至", forms::FieldKind::Date, ""},
      {kCustomer, "客户名称", forms::FieldKind::Lookup, "pdmkh_j"},
      {kRowLimit, "行数", forms::FieldKind::Number, ""},
  };
  for (const FilterField& filter : filters) {
    auto& field = form_.Add<forms::Field>(kFieldArray, filter.index);
    field.SetCaption(filter.caption);
    field.SetKind(filter.kind);
    field.SetPicker(filter.picker);
    const int index = filter.index;
    field.OnLeave = [this, index] { ConditionLeft(index); };
    if (*filter.picker) field.OnPickerRequest = [this, index] { ConditionPicker(index); };
  }
  Condition(kRowLimit).SetText(std::to_string(kDefaultRowLimit));
}

void frmSelWS::BuildGrid() {
  grid_ = &form_.Add<forms::Grid>(kGrid, -1, forms::kLineGrid);
  grid_->SetFormatString(kGridFormat);
  grid_->SetFixedRows(1);
  grid_->SetFixedCols(1);
  grid_->SetFrozenCols(kFrozenCols);
  grid_->SetToolTip(kGridHint);
  // Only the tick column takes input; the rest is what the repair orders say.
  grid_->SetEditable(true);
  for (int c = 0; c < grid_->Cols(); ++c) grid_->Col(c).editable = c == kColTick;
  grid_->OnAfterEdit = [this](int row, int col) {
    if (col == kColTick) Mark(row, !forms::Trim(grid_->TextMatrix(row, col)).empty());
  };
  grid_->OnDblClick = [this](int row) {
    if (grid_->IsDataRow(row)) Mark(row, !Ticked(row));
  };
}

forms::Field& frmSelWS::Condition(int index) const {
  return form_.Get<forms::Field>(kFieldArray, index);
}

host::ISystem& frmSelWS::System() const {
  if (!system_) throw std::logic_error("frmSelWS is not open");
  return *system_;
}

bool frmSelWS::py_SubProgram(host::ISystem& system, int64_t customerId, int64_t programNumber,
                             const std::string& /*text*/) {
  system_ = &system;
  programNumber_ = programNumber;
  confirmed_ = false;
  closed_ = false;
  db::Runner runner(system.GetDatabase());
  form_.SetCaption(
      runner.ScalarText(
          db::Sql("select progname from xt_objects where progID=").Key(programNumber)) +
      "选单");
  grid_->Col(kColRequired).format = DecimalsOption(system, 7);
  grid_->Col(kColIssued).format = grid_->Col(kColRequired).format;
  grid_->Col(kColOutstanding).format = grid_->Col(kColRequired).format;
  grid_->Col(kColPrice).format = DecimalsOption(system, 9);

  // A layout file that is missing or unreadable leaves the window as built.
  try {
    grid::LoadFormStatusFile(grid::LayoutPath(system.GetLoginInfo().workFolder, kFormName), form_,
                             true);
  } catch (const std::exception&) {
  }
  // Repair orders are the only source, whatever an old layout file says.
  repairOrders_->SetValue(1);
  searchBox_->boundGrid = kGrid;
  searchBox_->SetToolTip(kGridHint);
  searchBox_->filterMode = filterMode_->Checked();

  if (customerId > 0) {
    Condition(kCustomer).SetValue(
        std::to_string(customerId),
        runner.ScalarText(db::Sql("SELECT 公司名称 From PdmWLDW Where 往来ID =").Key(customerId)));
    Condition(kCustomer).MarkValid();
  }
  LoadList();

  bool shown = system.Dialogs().RunModal(*this);
  if (!closed_) Close();
  return shown && confirmed_;
}

void frmSelWS::Dismiss() {
  Close();
}

void frmSelWS::btn_Click(int index) {
  switch (index) {
    case 0:
      Confirm();
      Close();
      break;
    case 1:
      Close();
      break;
    case 2:
      LoadList();
      break;
    case 3:
      ClearConditions();
      LoadList();
      break;
    case 4:
      MarkAll(false);
      break;
    case 5:
      MarkAll(true);
      break;
    default:
      if (system_) {
        system_->Dialogs().MessageBox("未处理的功能", kErrorTitle, host::MsgButtons::Ok,
                                      host::MsgIcon::Information);
      }
      break;
  }
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

bool frmSelWS::Ticked(int row) const {
  return grid_->IsDataRow(row) && grid_->TextMatrix(row, kColTick) == kTick;
}

void frmSelWS::ConditionLeft(int index) {
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
    auto picker = framework::OpenPicker(System(), field.Picker(), programNumber_, {{"SX", "2"}});
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

void frmSelWS::ConditionPicker(int index) {
  forms::Field& field = Condition(index);
  try {
    auto picker = framework::OpenPicker(System(), field.Picker(), programNumber_, {{"SX", "2"}});
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
    System().Dialogs().MessageBox(std::string("frmSelWS-->ywTxt_UserHelpEvent::") + e.what(),
                                  kErrorTitle, host::MsgButtons::Ok, host::MsgIcon::Critical);
  }
}

void frmSelWS::LoadList() {
  grid_->SetRedraw(false);
  grid_->ClearData();
  grid_->SetRow(-1);
  // The chooser lists repair orders only; without that source there is nothing to ask.
  if (system_ && repairOrders_->Checked()) {
    try {
      db::IDatabase& database = System().GetDatabase();
      db::Runner runner(database);
      std::string error;
      auto records = runner.Open(ChooserSelect(CurrentFilter(), runner.Driver()), &error);
      if (!error.empty()) throw std::runtime_error(error);
      grid_->SetRows(static_cast<int>(records->RecordCount()) + 1);
      for (int row = 1; !records->Eof(); records->MoveNext(), ++row) FillRow(row, *records);
      records->Close();
      database.Close();
      if (grid_->DataRows() > 0) grid_->SetRow(grid_->FixedRows());
    } catch (const std::exception& e) {
      grid_->ClearData();
      System().Dialogs().MessageBox(std::string("frmSelWS-->LoadData::") + e.what(), kErrorTitle,
                                    host::MsgButtons::Ok, host::MsgIcon::Critical);
    }
  }
  grid_->RenumberRows();
  grid_->SetRedraw(true);
  // A search typed before the query keeps narrowing the fresh rows.
  if (!searchBox_->Text().empty()) Search();
}

void frmSelWS::FillRow(int row, const db::Recordset& records) {
  auto set = [&](int col, const char* field) {
    grid_->SetTextMatrix(row, col, records.Text(field));
  };
  grid_->SetTextMatrix(row, kColTick, "");
  grid_->SetTextMatrix(row, kColDate, db::FormatDateText(records.Text("进厂日期")));
  set(kColNumber, "工单号码");
  set(kColCustomer, "客户名称");
  set(kColPlate, "车牌号");
  set(kColModel, "车型");
  set(kColCategory, "维修分类");
  set(kColPartCode, "配件编码");
  set(kColPartName, "配件项目");
  set(kColPartSpec, "配件规格");
  set(kColRequired, "需求数量");
  set(kColIssued, "已领用数");
  // More may have been issued than required: the difference is then negative.
  grid_->SetTextMatrix(row, kColOutstanding,
                       db::DecimalText(records.Number("需求数量") - records.Number("已领用数")));
  set(kColPrice, "单价");
  set(kColNote, "说明");
  set(kColCustomerId, "客户ID");
  set(kColProductId, "产品ID");
  set(kColProgram, "progid");
  set(kColDocumentId, "单据ID");
  set(kColLineId, "单据明细ID");
  set(kColUnit, "单位");
}

void frmSelWS::Mark(int row, bool ticked) {
  if (!grid_->IsDataRow(row)) return;
  const char* mark = ticked ? kTick : "";
  if (!wholeOrder_->Checked()) {
    grid_->SetTextMatrix(row, kColTick, mark);
    return;
  }
  const std::string number = grid_->TextMatrix(row, kColNumber);
  for (int r = grid_->FixedRows(); r < grid_->Rows(); ++r) {
    if (grid_->TextMatrix(r, kColNumber) == number) grid_->SetTextMatrix(r, kColTick, mark);
  }
}

void frmSelWS::MarkAll(bool ticked) {
  for (int r = grid_->FixedRows(); r < grid_->Rows(); ++r) {
    grid_->SetTextMatrix(r, kColTick, ticked ? kTick : "");
  }
}

void frmSelWS::Confirm() {
  for (int r = grid_->FixedRows(); r < grid_->Rows(); ++r) {
    if (!Ticked(r)) continue;
    auto text = [&](int col) { return grid_->TextMatrix(r, col); };
    auto number = [&](int col) { return db::NumericValue(text(col)); };
    auto id = [&](int col) { return static_cast<int64_t>(number(col)); };
    masters::clsSelWS row;
    row.i进厂日期(text(kColDate));
    row.i工单号码(text(kColNumber));
    row.i客户名称(text(kColCustomer));
    row.i车牌号码(text(kColPlate));
    row.i车型(text(kColModel));
    row.i维修分类(text(kColCategory));
    row.i配件编码(text(kColPartCode));
    row.i配件项目(text(kColPartName));
    row.i配件规格(text(kColPartSpec));
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
}

void frmSelWS::ClearConditions() {
  for (int index : {kPlate, kNumber, kDateFrom, kDateTo, kCustomer}) {
    forms::Field& field = Condition(index);
    field.SetValue("", "");
    field.MarkValid();
  }
}

void frmSelWS::Search() {
  forms::IncrementalSearch(*grid_, forms::EnabledSearchColumns(*searchBox_, kSearchColumns),
                           searchBox_->Text(), searchBox_->filterMode);
}

void frmSelWS::Close() {
  if (closed_) return;
  closed_ = true;
  if (!system_) return;
  try {
    System().UserSettings().Set(kSettingKey,
                                std::to_string(repairOrders_->Checked() ? kRepairOrderOption : 0));
  } catch (const std::exception&) {
    // A settings store that cannot write loses only the remembered option.
  }
  try {
    grid::SaveFormStatusFile(grid::LayoutPath(System().GetLoginInfo().workFolder, kFormName), form_,
                             false);
  } catch (const std::exception&) {
  }
  searchBox_->boundGrid.clear();
}

}  // namespace ws::requisition
