#include "framework/order_chooser.h"

#include <exception>

#include "db/date.h"
#include "db/runner.h"
#include "db/value.h"
#include "forms/grid_search.h"
#include "forms/number_format.h"
#include "forms/text.h"
#include "framework/shop_decimals.h"
#include "grid/layout.h"
#include "grid/profile.h"
#include "host/parameters.h"
#include "host/ui.h"

namespace ws::framework {

namespace {

constexpr const char* kFieldArray = "ywTxt";
constexpr const char* kChooseHint = "提示：单击选择后按回车键确认！";

// The filter strip: index, caption, kind and picker of each field.
struct ConditionField {
  int index;
  const char* caption;
  forms::FieldKind kind;
  const char* picker;
};
const ConditionField kFilters[] = {
    {OrderChooser::kPlate, "车牌号码", forms::FieldKind::Lookup, "pdmcl"},
    {OrderChooser::kNumber, "工单号码", forms::FieldKind::Text, ""},
    {OrderChooser::kDateFrom, "进厂日期", forms::FieldKind::Date, ""},
    {OrderChooser::kDateTo, "至", forms::FieldKind::Date, ""},
    {OrderChooser::kCustomer, "客户名称", forms::FieldKind::Lookup, "pdmkh_j"},
    {5, "", forms::FieldKind::Text, ""},
    {OrderChooser::kRows, "行数", forms::FieldKind::Number, ""},
};

}  // namespace

OrderChooser::OrderChooser(ChooserLook look)
    : form_(look.name), look_(std::move(look)), tickColumn_(ColumnOf(look_.columns, kTickCaption)) {
  for (const ConditionField& condition : kFilters) {
    if (condition.index == 5 && !look_.spareSlot) continue;
    auto& field = form_.Add<forms::Field>(kFieldArray, condition.index);
    field.SetCaption(condition.caption);
    field.SetKind(condition.kind);
    field.SetPicker(condition.picker);
    const int index = condition.index;
    if (index == 5) field.SetVisible(false);  // the strip's unused slot
    field.OnLeave = [this, index] { FilterLeft(index); };
    if (*condition.picker) {
      field.OnPickerRequest = [this, index] { FilterPicker(index); };
      field.OnChange = [this, index] { FilterTyped(index); };
    }
  }
  Filter(kRows).SetText(look_.defaultRows);
  if (look_.addBeforeGrid) look_.addBeforeGrid(form_);

  grid_ =
      &form_.Add<forms::Grid>("ywGrid1", -1, look_.gridType ? look_.gridType : forms::kFlexGrid);
  grid_->SetFormatString(HeaderFormat(look_.columns));
  HideKeyColumns();
  grid_->SetFixedRows(1);
  grid_->SetFixedCols(look_.rowHeaderCol ? 1 : 0);
  grid_->SetToolTip(kChooseHint);
  // Only the tick takes input; a chooser that lets more be typed opens that column itself.
  grid_->SetEditable(true);
  for (int col = 0; col < grid_->Cols(); ++col) grid_->Col(col).editable = col == tickColumn_;
  grid_->OnAfterEdit = [this](int row, int col) {
    if (col == tickColumn_) Tick(row, !forms::TrimView(grid_->TextMatrix(row, col)).empty());
  };

  searchBox_ = &form_.Add<forms::SearchBox>("SearchBox1");
  searchBox_->boundGrid = grid_->Name();
  searchBox_->OnChange = [this] { RunSearch(); };
  findCheck_ = &form_.Add<forms::CheckBox>("ChkFind");
  findCheck_->SetCaption("过滤");
  findCheck_->OnClick = [this] {
    searchBox_->filterMode = findCheck_->Checked();
    RunSearch();
  };
  searchBox_->filterMode = findCheck_->Checked();

  // One wording in every chooser.
  std::vector<const char*> captions = {"确定", "取消", "查询", "清空条件"};
  if (look_.manyTicks) captions.insert(captions.end(), {"全不选", "全选"});
  for (size_t i = 0; i < captions.size(); ++i) {
    auto& button = form_.Add<forms::CommandButton>("btn", static_cast<int>(i));
    button.SetCaption(captions[i]);
    button.SetAnswers(i < 2);
    button.OnClick = [this, i] { btn_Click(static_cast<int>(i)); };
  }
}

OrderChooser::~OrderChooser() = default;

forms::Field& OrderChooser::Filter(int index) const {
  return form_.Get<forms::Field>(kFieldArray, index);
}

void OrderChooser::btn_Click(int index) {
  switch (index) {
    case kConfirm:
      OnConfirm();
      break;
    case kClose:
      Close();
      break;
    case kQuery:
      Query();
      break;
    case kClear:
      ClearFilters();
      Query();
      break;
    case kUntickAll:
    case kTickAll:
      if (look_.manyTicks) {
        TickAll(index == kTickAll);
        break;
      }
      [[fallthrough]];
    default:
      if (system_) {
        system_->Dialogs().MessageBox("未处理的功能", look_.title, host::MsgButtons::Ok,
                                      host::MsgIcon::Information);
      }
      break;
  }
}

bool OrderChooser::Ticked(int row) const {
  return grid_->IsDataRow(row) && !grid_->TextMatrix(row, tickColumn_).empty();
}

void OrderChooser::Tick(int row, bool ticked) {
  if (!grid_->IsDataRow(row)) return;
  if (ticked && !look_.manyTicks) {
    TickAll(false);
    grid_->SetRow(row);
  }
  grid_->SetTextMatrix(row, tickColumn_, ticked ? kTick : "");
}

void OrderChooser::TickAll(bool ticked) {
  ticked = ticked && look_.manyTicks;
  for (int row = grid_->FixedRows(); row < grid_->Rows(); ++row) {
    grid_->SetTextMatrix(row, tickColumn_, ticked ? kTick : "");
  }
}

int OrderChooser::FirstTicked() const {
  for (int row = grid_->FixedRows(); row < grid_->Rows(); ++row) {
    if (Ticked(row)) return row;
  }
  return -1;
}

void OrderChooser::ClearFilters() {
  for (int f = kPlate; f <= kCustomer; ++f) Filter(f).SetValue("", "");
}

void OrderChooser::FilterLeft(int index) {
  forms::Field& field = Filter(index);
  if (field.Kind() != forms::FieldKind::Date) return;
  if (field.Text().empty() || db::Date::Parse(field.Text())) {
    field.MarkValid();
  } else {
    field.MarkInvalid("输入有误，请重新输入！");
  }
}

void OrderChooser::FilterTyped(int index) {
  Filter(index).SetKey("");
}

void OrderChooser::FilterPicker(int index) {
  if (!system_) return;
  forms::Field& field = Filter(index);
  std::shared_ptr<host::IControl> control = system_->GetPicker(field.Picker());
  host::IPickerUI* picker = control ? control->AsPickerUI() : nullptr;
  if (!picker || !picker->Init(*system_, 0, "")) return;
  if (index == kCustomer) {
    auto parameters = std::make_shared<host::Parameters>();
    parameters->Set("SX", "2");  // customers
    picker->SetParameters(parameters);
  }
  host::PickResult result = system_->RunPicker(*control, field.Text());
  picker->Clear();
  if (result.chosen) field.SetValue(result.value, result.text);
}

void OrderChooser::Open(host::ISystem& system) {
  system_ = &system;
  ApplyLayout();
}

void OrderChooser::RebuildGrid() {
  for (int col = 0; col < grid_->Cols(); ++col) grid_->SetColHidden(col, false);
  grid_->SetFormatString(HeaderFormat(look_.columns));
  HideKeyColumns();
  if (system_) ApplyLayout();
}

void OrderChooser::ApplyLayout() {
  const std::string format =
      forms::DecimalsFormat(ShopDecimals(System(), kAmountDecimalsOption), true);
  for (int col : ColumnsOfKind(look_.columns, ListColumnKind::Money)) {
    grid_->Col(col).format = format;
  }
  // Without a work folder, or with a layout file that cannot be read, the dialog works with its
  // own layout.
  try {
    const auto path = grid::LayoutPath(System().GetLoginInfo().workFolder, look_.name);
    if (look_.layout == ChooserLook::FormStatus) {
      grid::LoadFormStatusFile(path, form_, true);
    } else {
      grid::Profile profile = grid::Profile::Load(path);
      grid::ApplyGridSettings(profile, *grid_, false);
      grid::LoadSearchSettings(profile, *searchBox_);
      findCheck_->SetValue(searchBox_->filterMode ? 1 : 0);
    }
  } catch (const std::exception&) {
  }
  HideKeyColumns();
}

void OrderChooser::HideKeyColumns() {
  // Ids and program numbers travel with a row for the document, never for the clerk's eyes;
  // an old layout file that shows them is overruled.
  HideAndNumberColumns(*grid_, look_.columns);
}

void OrderChooser::SaveLayout() {
  // A layout that cannot be kept is no reason to keep the user in the dialog.
  try {
    const auto path = grid::LayoutPath(system_->GetLoginInfo().workFolder, look_.name);
    if (look_.layout == ChooserLook::FormStatus) {
      grid::SaveFormStatusFile(path, form_, false);
      return;
    }
    grid::Profile profile = grid::Profile::Load(path);
    grid::WriteGridSettings(profile, *grid_, false);
    grid::SaveSearchSettings(profile, *searchBox_);
    profile.Save();
  } catch (const std::exception&) {
  }
}

bool OrderChooser::ShowModal() {
  closed_ = false;
  const bool shown = System().Dialogs().RunModal(*this);
  if (!shown) closed_ = true;
  return shown;
}

void OrderChooser::Close() {
  if (closed_) return;
  closed_ = true;
  if (!system_) return;
  BeforeClose();
  SaveLayout();
  AfterClose();
}

std::string OrderChooser::DateFilter(int index) const {
  auto date = db::Date::Parse(Filter(index).Text());
  return date ? date->Text() : std::string();
}

int OrderChooser::RowLimit() const {
  return static_cast<int>(db::NumericValue(Filter(kRows).Text()));
}

void OrderChooser::QueryFailed(const std::string& error) {
  events_.ErrMessage("HasRefresh:" + error, host::kLevelFailure, look_.title);
}

bool OrderChooser::Query() {
  grid_->SetRedraw(false);
  grid_->ClearData();
  grid_->SetRow(-1);
  bool listed = system_ != nullptr;
  if (listed && Lists()) {
    db::IDatabase& database = System().GetDatabase();
    try {
      db::Runner runner(database);
      std::string error;
      auto records = runner.Open(ListQuery(runner.Driver()), &error);
      if (!error.empty()) throw std::runtime_error(error);
      for (; !records->Eof(); records->MoveNext()) FillRow(grid_->AddRow(), *records);
    } catch (const std::exception& e) {
      grid_->ClearData();
      listed = false;
      QueryFailed(e.what());
    }
    database.Close();
  }
  grid_->SetRow(grid_->DataRows() > 0 ? grid_->FixedRows() : -1);
  grid_->SetRedraw(true);
  AfterQuery();
  return listed;
}

void OrderChooser::FillRow(int row, const db::Recordset& records) {
  for (size_t c = 0; c < look_.columns.size(); ++c) {
    const ListColumn& column = look_.columns[c];
    const int index = records.FieldIndex(column.Source());
    if (index < 0) continue;
    std::string text = records.Field(index).ToText();
    if (column.kind == ListColumnKind::Date) text = db::FormatDateText(text);
    grid_->SetTextMatrix(row, static_cast<int>(c), std::move(text));
  }
}

std::vector<int> OrderChooser::SearchColumns() const {
  std::vector<int> columns;
  for (int col = grid_->FixedCols(); col < grid_->Cols() && columns.size() < 2; ++col) {
    if (!grid_->ColHidden(col) && col != tickColumn_) columns.push_back(col);
  }
  return columns;
}

void OrderChooser::RunSearch() {
  forms::IncrementalSearch(*grid_, forms::EnabledSearchColumns(*searchBox_, SearchColumns()),
                           searchBox_->Text(), searchBox_->filterMode);
}

}  // namespace ws::framework
