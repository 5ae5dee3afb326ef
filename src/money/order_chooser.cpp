#include "money/order_chooser.h"

#include <exception>

#include "db/date.h"
#include "db/runner.h"
#include "db/value.h"
#include "forms/grid_search.h"
#include "grid/layout.h"
#include "grid/profile.h"
#include "host/parameters.h"
#include "host/ui.h"

namespace ws::money {

namespace {

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

OrderChooser::OrderChooser(std::string name, std::string title, const std::string& format,
                           bool rowHeaderCol)
    : form_(name), name_(std::move(name)), title_(std::move(title)), format_(format) {
  for (const ConditionField& condition : kFilters) {
    auto& field = form_.Add<forms::Field>("ywTxt", condition.index);
    field.SetCaption(condition.caption);
    field.SetKind(condition.kind);
    field.SetPicker(condition.picker);
    if (condition.index == 5) field.SetVisible(false);  // the strip's unused slot
    if (*condition.picker) {
      const bool customer = condition.index == kCustomer;
      std::string picker = condition.picker;
      field.OnPickerRequest = [this, &field, picker, customer] {
        ChooseInPicker(field, picker, customer);
      };
      // Typing over a looked-up value drops its key: the filter is the text the user sees.
      field.OnChange = [&field] { field.SetKey(""); };
    }
    if (condition.kind == forms::FieldKind::Date) {
      field.OnLeave = [&field] {
        if (field.Text().empty() || db::Date::Parse(field.Text())) {
          field.MarkValid();
        } else {
          field.MarkInvalid("输入有误，请重新输入！");
        }
      };
    }
    filters_.push_back(&field);
  }
  filters_.at(kRows)->SetText(kDefaultRows);

  grid_ = &form_.Add<forms::Grid>("ywGrid1", -1, forms::kFlexGrid);
  grid_->SetFormatString(format);
  grid_->SetFixedRows(1);
  grid_->SetFixedCols(rowHeaderCol ? 1 : 0);
  grid_->SetToolTip(kChooseHint);
  grid_->SetEditable(false);

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

  const char* captions[] = {"确定", "关闭", "查询", "清除"};
  for (int i = kConfirm; i <= kClear; ++i) {
    auto& button = form_.Add<forms::CommandButton>("btn", i);
    button.SetCaption(captions[i]);
    button.OnClick = [this, i] { btn_Click(i); };
  }
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
      for (int f = kPlate; f <= kCustomer; ++f) Filter(f).SetValue("", "");
      Query();
      break;
    default:
      if (system_) {
        system_->Dialogs().MessageBox("未处理的功能", title_, host::MsgButtons::Ok,
                                      host::MsgIcon::Information);
      }
      break;
  }
}

OrderChooser::~OrderChooser() = default;

void OrderChooser::Open(host::ISystem& system) {
  system_ = &system;
  ApplyLayout();
}

void OrderChooser::RebuildGrid() {
  for (int col = 0; col < grid_->Cols(); ++col) grid_->SetColHidden(col, false);
  grid_->SetFormatString(format_);
  if (system_) ApplyLayout();
}

void OrderChooser::ApplyLayout() {
  const int decimals = static_cast<int>(db::NumericValue(System().GetOption(12, 12)));
  for (int col : AmountColumns()) grid_->Col(col).format = grid::WithDecimals("###.", decimals);
  try {
    grid::Profile profile =
        grid::Profile::Load(grid::LayoutPath(System().GetLoginInfo().workFolder, name_));
    grid::ApplyGridSettings(profile, *grid_, false);
    grid::LoadSearchSettings(profile, *searchBox_);
    findCheck_->SetValue(searchBox_->filterMode ? 1 : 0);
  } catch (const std::exception&) {
    // Without a work folder the dialog still works with its own layout.
  }
}

void OrderChooser::ShowModal() {
  closed_ = false;
  if (!System().Dialogs().RunModal(*this)) closed_ = true;
}

void OrderChooser::Close() {
  if (closed_) return;
  closed_ = true;
  if (!system_) return;
  BeforeClose();
  try {
    auto path = grid::LayoutPath(system_->GetLoginInfo().workFolder, name_);
    grid::Profile profile = grid::Profile::Load(path);
    grid::WriteGridSettings(profile, *grid_, false);
    grid::SaveSearchSettings(profile, *searchBox_);
    profile.Save();
  } catch (const std::exception&) {
    // A layout that cannot be kept is no reason to keep the user in the dialog.
  }
}

std::string OrderChooser::DateFilter(int index) {
  forms::Field& field = Filter(index);
  auto date = db::Date::Parse(field.Text());
  return date ? date->Text() : std::string();
}

int OrderChooser::RowLimit() const {
  return static_cast<int>(db::NumericValue(filters_.at(kRows)->Text()));
}

bool OrderChooser::Query() {
  grid_->ClearData();
  if (!system_) return false;
  db::Runner runner(System().GetDatabase());
  std::string error;
  auto records = runner.Open(ListQuery(runner.Driver()), &error);
  if (error.empty()) {
    for (; !records->Eof(); records->MoveNext()) FillRow(grid_->AddRow(), *records);
  } else {
    events_.ErrMessage("HasRefresh:" + error, host::kLevelFailure, title_);
  }
  System().GetDatabase().Close();
  grid_->SetRow(grid_->DataRows() > 0 ? grid_->FixedRows() : -1);
  AfterQuery();
  return error.empty();
}

void OrderChooser::ChooseInPicker(forms::Field& field, const std::string& name, bool customerKind) {
  if (!system_) return;
  std::shared_ptr<host::IControl> control = system_->GetPicker(name);
  host::IPickerUI* picker = control ? control->AsPickerUI() : nullptr;
  if (!picker || !picker->Init(*system_, 0, "")) return;
  if (customerKind) {
    auto parameters = std::make_shared<host::Parameters>();
    parameters->Set("SX", "2");  // customers
    picker->SetParameters(parameters);
  }
  host::PickResult result = system_->RunPicker(*control, field.Text());
  picker->Clear();
  if (result.chosen) field.SetValue(result.value, result.text);
}

void OrderChooser::RunSearch() {
  std::vector<int> fallback;
  for (int col = grid_->FixedCols(); col < grid_->Cols() && fallback.size() < 2; ++col) {
    if (!grid_->ColHidden(col)) fallback.push_back(col);
  }
  int row = forms::IncrementalSearch(*grid_, forms::EnabledSearchColumns(*searchBox_, fallback),
                                     searchBox_->Text(), searchBox_->filterMode);
  if (row >= 0) grid_->SetRow(row);
}

}  // namespace ws::money
