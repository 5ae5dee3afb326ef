#include "framework/picker_control.h"

#include <algorithm>
#include <exception>

#include "db/runner.h"
#include "forms/grid_search.h"
#include "forms/text.h"
#include "framework/natural_order.h"
#include "grid/layout.h"
#include "grid/profile.h"

namespace ws::framework {

namespace {

constexpr double kDefaultScrollRate = 5;
constexpr int kMinRowHeight = 250;

// Whether the profile holds any search setting for a grid of `cols` columns: a file written by
// an older window may lack the section, and then the picker keeps its own defaults.
bool HasSearchSection(const grid::Profile& profile, int cols) {
  if (profile.Has(grid::kSearchSection, "Filter")) return true;
  for (int i = 1; i <= cols; ++i) {
    if (profile.Has(grid::kSearchSection, "Field" + std::to_string(i))) return true;
  }
  return false;
}

// Whether a typed text is a number as a statement writes one: an optional sign, digits and at
// most one decimal point, nothing else.
bool IsPlainNumber(std::string_view text) {
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) text.remove_prefix(1);
  bool digits = false;
  bool point = false;
  for (char c : text) {
    if (c >= '0' && c <= '9') {
      digits = true;
    } else if (c == '.' && !point) {
      point = true;
    } else {
      return false;
    }
  }
  return digits;
}

bool IsNameChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
         static_cast<unsigned char>(c) >= 0x80;
}

// Puts the typed text in place of every "@" of a template's literal.
void ReplaceTyped(std::string& text, std::string_view typed) {
  for (size_t at = text.find('@'); at != std::string::npos;
       at = text.find('@', at + typed.size())) {
    text.replace(at, 1, typed);
  }
}

}  // namespace

db::Sql WithTyped(std::string_view pattern, std::string_view typed) {
  db::Sql sql;
  size_t start = 0;  // first character of pattern not yet written
  for (size_t at = 0; at < pattern.size(); ++at) {
    if (pattern[at] == '\'') {
      // A literal of the template: written as it stands unless it holds "@", in which case the
      // whole literal becomes one bound value with the typed text in place of every "@".
      size_t close = at + 1;
      std::string inside;
      bool holdsTyped = false;
      for (; close < pattern.size(); ++close) {
        if (pattern[close] == '\'') {
          if (close + 1 < pattern.size() && pattern[close + 1] == '\'') {
            inside += '\'';
            ++close;
            continue;
          }
          break;
        }
        inside += pattern[close];
        holdsTyped = holdsTyped || pattern[close] == '@';
      }
      if (!holdsTyped || close >= pattern.size()) {
        at = close;
        continue;
      }
      std::string_view piece = pattern.substr(start, at - start);
      size_t last = piece.find_last_not_of(" \t\r\n");
      std::string_view before = piece.substr(0, last == std::string_view::npos ? 0 : last + 1);
      bool like = before.size() >= 4 &&
                  forms::EqualsIgnoringCase(before.substr(before.size() - 4), "like") &&
                  (before.size() == 4 || !IsNameChar(before[before.size() - 5]));
      if (like) {
        // The typed text matches itself; only the template's own "%" and "_" are wildcards.
        std::string_view column = before.substr(0, before.size() - 4);
        while (!column.empty() && (column.back() == ' ' || column.back() == '\t')) {
          column.remove_suffix(1);
        }
        sql.Raw(column);
        size_t atSign = inside.find('@');
        std::string prefix = inside.substr(0, atSign);
        std::string suffix = inside.substr(atSign + 1);
        ReplaceTyped(suffix, db::EscapeLike(typed));
        sql.Like(prefix, typed, suffix);
      } else {
        sql.Raw(pattern.substr(start, at - start));
        ReplaceTyped(inside, typed);
        sql.Text(inside);
      }
      start = close + 1;
      at = close;
      continue;
    }
    if (pattern[at] != '@') continue;
    sql.Raw(pattern.substr(start, at - start));
    if (IsPlainNumber(typed)) {
      sql.NumOf(typed);
    } else {
      // Outside quotes the template expects a number. Other words match nothing rather than
      // widen the condition; Null does that on both engines, where a text compared with a
      // number column is an error on PostgreSQL.
      sql.Raw("NULL");
    }
    start = at + 1;
  }
  sql.Raw(pattern.substr(start));
  return sql;
}

// IDesignUI has Parameters get/put of its own meaning (the back colour, nothing kept), with the
// same signatures as IPickerUI's; a separate facet keeps the two apart.
class PickerControl::DesignFacet : public host::IDesignUI {
 public:
  explicit DesignFacet(forms::Form& form) : form_(form) {}
  forms::Form& Controls() override { return form_; }
  void SetParameters(host::ParametersPtr parameters) override {
    if (!parameters) return;
    if (auto color = parameters->Get("backcolor")) {
      form_.SetBackColor(static_cast<int64_t>(db::NumericValue(*color)));
    }
  }
  host::ParametersPtr GetParameters() override { return nullptr; }

 private:
  forms::Form& form_;
};

PickerControl::PickerControl(std::string className, bool withScrollRate)
    : form_(className),
      className_(std::move(className)),
      withScrollRate_(withScrollRate),
      design_(std::make_unique<DesignFacet>(form_)) {
  grid_ = &form_.Add<forms::Grid>("Vs", -1, forms::kFlexGrid);
  searchBox_ = &form_.Add<forms::SearchBox>("SearchBox1");
  filterCheck_ = &form_.Add<forms::CheckBox>("Check");
  countLabel_ = &form_.Add<forms::Label>("LblCount");
  filterCheck_->SetCaption("过滤");
  searchBox_->boundGrid = grid_->Name();

  grid_->OnDblClick = [this](int row) { ChooseRow(row); };
  searchBox_->OnChange = [this] { RunSearch(); };
  filterCheck_->OnClick = [this] {
    searchBox_->filterMode = filterCheck_->Checked();
    RunSearch();
  };
  ResetSearchDefaults();
}

PickerControl::~PickerControl() = default;

host::IDesignUI* PickerControl::AsDesignUI() {
  return design_.get();
}

bool PickerControl::Init(host::ISystem& system, int64_t, const std::string&) {
  system_ = &system;
  try {
    layoutFile_ = grid::LayoutPath(system.GetLoginInfo().workFolder, className_);
  } catch (const std::exception&) {
    // Without a work folder the picker still works; it only forgets its search settings.
    layoutFile_.clear();
  }
  if (withScrollRate_) {
    db::Runner runner(system.GetDatabase());
    double rate = runner.ScalarNumber(
        db::Sql("select item_value from xt_accinformation where system_code='system' and "
                "item_code='mouseeventscrollrate'"));
    scrollRate_ = rate > 0 ? rate : kDefaultScrollRate;
  }
  try {
    grid_->SetFixedRows(1);
    grid_->SetFixedCols(0);
    grid_->SetRowHeight(kMinRowHeight);
    grid_->SetToolTip(kChooseHint);
    grid_->SetEditable(false);
    SetupGrid(*grid_);
  } catch (const std::exception& e) {
    ShowError(e.what());
    return false;
  }
  return true;
}

bool PickerControl::Clear() {
  DoSaveFormStatus();
  parameters_.reset();
  objects_.Reset();
  value_.clear();
  text_.clear();
  system_ = nullptr;
  return true;
}

bool PickerControl::Refresh() {
  if (!system_) return false;
  try {
    if (PageSize() > 0) {
      if (!LoadPage(nullptr)) return false;
      wholeListShown_ = !hasMore_;
      // A search typed before the list arrived still applies to it.
      if (!searchBox_->Text().empty()) RunSearch();
      AfterLoad();
      return true;
    }
    const db::Sql query = ListQuery();
    if (query.empty()) {
      // A picker given no list (a generic picker without "SQL") shows an empty one.
      db::Recordset none;
      LoadRows(none);
      return true;
    }
    db::Runner runner(system_->GetDatabase());
    std::string error;
    auto records = runner.Open(query, &error);
    if (!error.empty()) {
      ShowError(error);
      return false;
    }
    LoadRows(*records);
    records->Close();
    return true;
  } catch (const std::exception& e) {
    ShowError(e.what());
    return false;
  }
}

void PickerControl::LoadRows(db::Recordset& records) {
  grid_->SetRedraw(false);
  grid_->ClearData();
  ShowRows(*grid_, records);
  if (const int col = NaturalOrderColumn(); col >= 0) SortRowsNaturally(*grid_, col);
  grid_->SetRow(grid_->DataRows() > 0 ? grid_->FixedRows() : -1);
  topRow_ = grid_->FixedRows();
  ShowCount();
  if (scrollRate_ > 0) wheelRange_ = static_cast<int>((grid_->Rows() - 1) / scrollRate_);
  grid_->SetRedraw(true);
  // A search typed before the list arrived still applies to it.
  if (!searchBox_->Text().empty()) RunSearch();
  AfterLoad();
}

bool PickerControl::LoadPage(const std::string* typed) {
  try {
    const auto size = static_cast<size_t>(PageSize());
    db::Runner runner(system_->GetDatabase());
    std::string error;
    // One row past the page tells whether more follow without counting them.
    auto records = runner.Open(PageQuery(typed, nullptr, PageSize() + 1), &error);
    if (!error.empty()) {
      ShowError(error);
      return false;
    }
    const auto count = static_cast<size_t>(records->RecordCount());
    hasMore_ = count > size;
    narrowedTo_ = typed ? *typed : std::string();
    grid_->SetRedraw(false);
    grid_->ClearData();
    AppendRows(*records, std::min(count, size));
    records->Close();
    // Natural order only for a list that is all there: pages follow the index's order, and a
    // page sorted otherwise would not join the next one.
    if (const int col = NaturalOrderColumn(); col >= 0 && !hasMore_) SortRowsNaturally(*grid_, col);
    grid_->SetRow(grid_->DataRows() > 0 ? grid_->FixedRows() : -1);
    topRow_ = grid_->FixedRows();
    ShowCount();
    if (scrollRate_ > 0) wheelRange_ = static_cast<int>((grid_->Rows() - 1) / scrollRate_);
    grid_->SetRedraw(true);
    return true;
  } catch (const std::exception& e) {
    grid_->SetRedraw(true);
    ShowError(e.what());
    return false;
  }
}

void PickerControl::AppendRows(db::Recordset& records, size_t count) {
  const int cols = std::min(records.FieldCount(), grid_->Cols());
  int r = grid_->Rows();
  grid_->SetRows(r + static_cast<int>(count));
  for (size_t row = 0; row < count; ++row, ++r) {
    for (int c = 0; c < cols; ++c) grid_->SetTextMatrix(r, c, records.At(row, c).ToText());
  }
}

bool PickerControl::LoadMore() {
  if (PageSize() <= 0 || !hasMore_ || !system_ || grid_->DataRows() == 0) return false;
  try {
    const auto size = static_cast<size_t>(PageSize());
    const std::string after = grid_->TextMatrix(grid_->Rows() - 1, PageKeyColumn());
    const std::string* typed = narrowedTo_.empty() ? nullptr : &narrowedTo_;
    std::string error;
    auto records =
        db::Runner(system_->GetDatabase()).Open(PageQuery(typed, &after, PageSize() + 1), &error);
    if (!error.empty()) {
      ShowError(error);
      return false;
    }
    const auto count = static_cast<size_t>(records->RecordCount());
    hasMore_ = count > size;
    AppendRows(*records, std::min(count, size));
    ShowCount();
    if (scrollRate_ > 0) wheelRange_ = static_cast<int>((grid_->Rows() - 1) / scrollRate_);
    return count > 0;
  } catch (const std::exception& e) {
    ShowError(e.what());
    return false;
  }
}

void PickerControl::ShowRows(forms::Grid& grid, db::Recordset& records) {
  const auto rows = static_cast<size_t>(records.RecordCount());
  const int cols = std::min(records.FieldCount(), grid.Cols());
  grid.SetRows(grid.FixedRows() + static_cast<int>(rows));
  int r = grid.FixedRows();
  for (size_t row = 0; row < rows; ++row, ++r) {
    for (int c = 0; c < cols; ++c) grid.SetTextMatrix(r, c, records.At(row, c).ToText());
  }
}

void PickerControl::ResetSearchDefaults() {
  searchBox_->searchColumns.clear();
  // Typing narrows the list to what matches: a clerk reads a few rows, not a moving highlight.
  searchBox_->filterMode = true;
  filterCheck_->SetValue(1);
}

void PickerControl::ShowCount() {
  // A paged list cut at its page is not counted (that would read the table): "+" says more
  // rows follow.
  const std::string total = std::to_string(grid_->DataRows()) + (hasMore_ ? "+" : "");
  if (searchBox_->Text().empty() || !searchBox_->filterMode) {
    countLabel_->SetCaption("共:" + total + "条");
    return;
  }
  int shown = 0;
  for (int r = grid_->FixedRows(); r < grid_->Rows(); ++r) shown += grid_->RowHidden(r) ? 0 : 1;
  countLabel_->SetCaption(std::to_string(shown) + " / " + total);
}

void PickerControl::DoGetFormStatus() {
  if (layoutFile_.empty()) return;
  try {
    grid::Profile profile = grid::Profile::Load(layoutFile_);
    if (!HasSearchSection(profile, grid_->Cols())) {
      ResetSearchDefaults();
      return;
    }
    grid::LoadSearchSettings(profile, *searchBox_);
    filterCheck_->SetValue(searchBox_->filterMode ? 1 : 0);
  } catch (const std::exception&) {
    // A layout file that cannot be read leaves the picker as it is.
  }
}

void PickerControl::DoSaveFormStatus() {
  if (layoutFile_.empty()) return;
  try {
    std::filesystem::create_directories(layoutFile_.parent_path());
    grid::Profile profile = grid::Profile::Load(layoutFile_);
    grid::SaveSearchSettings(profile, *searchBox_);
    profile.Save();  // a settings file that cannot be written costs only the settings
  } catch (const std::exception&) {
  }
}

void PickerControl::SetText(const std::string& text) {
  text_ = text;
  searchBox_->SetText({});
  searchBox_->SetText(text);
  RunSearch();
}

std::vector<int> PickerControl::FallbackSearchColumns() const {
  std::vector<int> columns;
  for (int c = 0; c < grid_->Cols() && columns.size() < 2; ++c) {
    if (!grid_->ColHidden(c)) columns.push_back(c);
  }
  return columns;
}

std::vector<int> PickerControl::SearchColumns() const {
  std::vector<int> columns;
  for (int c : forms::EnabledSearchColumns(*searchBox_, FallbackSearchColumns())) {
    if (c < grid_->Cols()) columns.push_back(c);
  }
  return columns;
}

void PickerControl::RunSearch() {
  // A list too long for one page is narrowed by the database, through the index of the code
  // and the name, to the rows whose code or name starts with the text; what is in memory is
  // then searched as for any list (it moves the current row to the first match).
  if (PageSize() > 0 && !wholeListShown_ && system_ && searchBox_->Text() != narrowedTo_) {
    const std::string typed = searchBox_->Text();
    if (!LoadPage(typed.empty() ? nullptr : &typed)) return;
  }
  forms::IncrementalSearch(*grid_, SearchColumns(), searchBox_->Text(), searchBox_->filterMode);
  ShowCount();
}

void PickerControl::KeyDown(int keyCode) {
  switch (keyCode) {
    case kKeyDown:
      forms::MoveToVisibleRow(*grid_, +1);
      break;
    case kKeyUp:
      forms::MoveToVisibleRow(*grid_, -1);
      break;
    case kKeyEnter:
      ChooseRow(grid_->Row());
      break;
    default:
      break;
  }
}

void PickerControl::ChooseRow(int row) {
  try {
    // A row the filter hid is not what the user sees: choosing it gives the empty choice.
    Choose(grid_->IsDataRow(row) && !grid_->RowHidden(row) ? row : -1);
  } catch (const std::exception& e) {
    ShowError(e.what());
    return;
  }
  events_.Raise("DoSelect");
}

void PickerControl::MouseWheel(int position) {
  if (scrollRate_ > 0 && position >= scrollRate_) {
    topRow_ = std::min(static_cast<int>(position * scrollRate_), std::max(grid_->Rows() - 1, 0));
  } else {
    topRow_ = position;
  }
}

std::string PickerControl::Parameter(std::string_view name) const {
  return parameters_ ? parameters_->GetOr(name) : std::string();
}

const host::Parameters& PickerControl::ParametersOrEmpty() const {
  static const host::Parameters kNone;
  return parameters_ ? *parameters_ : kNone;
}

void PickerControl::ShowError(const std::string& description) {
  if (!system_) return;
  system_->Dialogs().MessageBox(description, kErrorTitle, host::MsgButtons::Ok,
                                host::MsgIcon::Critical);
}

}  // namespace ws::framework
