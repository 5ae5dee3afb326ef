#include "masters/master_list.h"

#include <algorithm>
#include <exception>
#include <stdexcept>

#include "db/runner.h"
#include "db/sql.h"
#include "db/value.h"
#include "forms/grid_search.h"
#include "forms/number_format.h"
#include "framework/shop_decimals.h"
#include "framework/natural_order.h"
#include "framework/vin.h"
#include "grid/layout.h"

namespace ws::masters {

namespace {
// Host grid alignment codes.
constexpr int kAlignLeftCenter = 1;
constexpr int kAlignCenterCenter = 4;
constexpr int kAlignRightCenter = 7;
}  // namespace

MasterList::MasterList(const MasterListDescription& description)
    : description_(description), form_(description.className) {
  BuildForm();
}

void MasterList::BuildForm() {
  grid_ = &form_.Add<forms::Grid>(kGrid, -1, forms::kFlexGrid);
  grid_->SetFormatString(description_.gridFormat);
  grid_->SetFixedRows(1);
  grid_->SetFixedCols(1);
  grid_->SetEditable(false);
  for (int c = 0; c < grid_->Cols(); ++c) {
    grid_->Col(c).alignment = c == 0 ? kAlignCenterCenter : kAlignLeftCenter;
    grid_->Col(c).editable = false;
  }
  for (int c : description_.numberColumns) grid_->Col(c).alignment = kAlignRightCenter;
  for (int c : description_.amountColumns) grid_->Col(c).alignment = kAlignRightCenter;
  grid_->SetColHidden(description_.idColumn, true);
  grid_->OnDblClick = [this](int) {
    if (!description_.ReadOnly() && grid_->DataRows() > 0 && CurrentRowId() > 0) {
      RaiseEditForm(CurrentRowId(), 0);
    }
  };
  // The reason column lies past the right edge of most screens: the row taken tells it below.
  grid_->OnRowChange = [this](int row) {
    if (description_.vinColumn <= 0 || !grid_->IsDataRow(row)) return;
    const std::string& reason = grid_->TextMatrix(row, grid_->Cols() - 1);
    if (!reason.empty()) events_.Message("车架号" + reason);
  };
  grid_->OnMouseDown = [this](int button, int shift, int x, int y) {
    events_.Raise("VsMouseDown", {button, shift, x, y});
  };

  countLabel_ = &form_.Add<forms::Label>(kCountLabel);
  searchBox_ = &form_.Add<forms::SearchBox>(kSearchBox);
  searchBox_->OnChange = [this] { Search(); };
  filterMode_ = &form_.Add<forms::CheckBox>(kFilterMode);
  filterMode_->SetCaption("过滤");
  filterMode_->OnClick = [this] {
    searchBox_->filterMode = filterMode_->Checked();
    Search();
  };

  menu_ = &form_.Add<forms::PopupMenu>(kMenu);
  menu_->OnPopup = [this] { BuildMenu(); };
  menu_->OnItemClick = [this](const std::string& key) { OnMenuItem(key); };
}

host::ISystem& MasterList::System() const {
  if (!system_) throw std::logic_error(description_.className + " is not initialised");
  return *system_;
}

bool MasterList::Init(host::ISystem& system, int64_t, int64_t requestedId) {
  system_ = &system;
  requestedId_ = requestedId;
  // A broken option store must not keep the list from opening: the rate falls back to 5.
  double rate = 0;
  try {
    rate = db::NumericValue(system.GetOption(12, std::string("mouseeventscrollrate")));
  } catch (const std::exception&) {
    rate = 0;
  }
  scrollRate_ = rate > 0 ? rate : 5;
  if (!description_.amountColumns.empty()) {
    int decimals = 2;
    try {
      decimals = framework::AmountDecimals(system);
    } catch (const std::exception&) {
      decimals = 2;
    }
    for (int c : description_.amountColumns) {
      grid_->Col(c).format = forms::DecimalsFormat(decimals, true);
    }
  }

  searchBox_->boundGrid = kGrid;
  searchBox_->searchColumns.assign(static_cast<size_t>(grid_->Cols()), false);
  for (int c : description_.searchColumns) searchBox_->searchColumns[static_cast<size_t>(c)] = true;
  searchBox_->SetToolTip(kSearchHint);
  searchBox_->filterMode = filterMode_->Checked();
  return true;
}

bool MasterList::Clear() {
  system_ = nullptr;
  parameters_.reset();
  return false;
}

bool MasterList::Refresh() {
  try {
    Load();
    events_.Raise("FormRefreshed");
  } catch (const std::exception& e) {
    events_.ErrMessage(std::string("刷新数据时出错：") + e.what(), host::kLevelFailure,
                       description_.title);
  }
  return true;
}

void MasterList::Load() {
  try {
    db::IDatabase& database = System().GetDatabase();
    std::string error;
    auto records = db::Runner(database).Open(db::Sql(description_.select), &error);
    if (!error.empty()) throw std::runtime_error(error);

    int keepRow = grid_->Row();
    grid_->SetRedraw(false);
    grid_->ClearData();
    const int vinColumn = description_.vinColumn;
    for (; !records->Eof(); records->MoveNext()) {
      std::string vinReason;
      if (vinColumn > 0) {
        vinReason = framework::CheckVin(records->Field(vinColumn - 1).ToText()).Reason();
        if (vinFaultsOnly_ && vinReason.empty()) continue;
      }
      int row = grid_->AddRow();
      for (int f = 0; f < records->FieldCount() && f + 1 < grid_->Cols(); ++f) {
        grid_->SetTextMatrix(row, f + 1, records->Field(f).ToText());
      }
      if (vinColumn > 0) grid_->SetTextMatrix(row, grid_->Cols() - 1, vinReason);
    }
    // Every list is ordered by its code first; the database orders codes as text (1, 10, 100,
    // 2), a clerk reads them as numbers.
    framework::SortRowsNaturally(*grid_, 1);
    grid_->RenumberRows();
    // The row the user was on stays current when it still exists (a refresh after the card
    // saved); otherwise the first row.
    if (grid_->DataRows() == 0) {
      grid_->SetRow(-1);
    } else {
      grid_->SetRow(grid_->IsDataRow(keepRow) ? keepRow : grid_->FixedRows());
    }

    std::string count = vinFaultsOnly_
                            ? "车架号有误" + std::to_string(grid_->DataRows()) + "条，共" +
                                  std::to_string(records->RecordCount()) + "条记录"
                            : "共" + std::to_string(records->RecordCount()) + "条记录";
    if (description_.ReadOnly()) count += "（" + description_.readOnlyHint + "）";
    countLabel_->SetCaption(count);
    events_.Message(count);
    records->Close();
    database.Close();

    grid_->SetRedraw(true);
    wheelRange_ = static_cast<int>((grid_->Rows() - 1) / scrollRate_);
    // A search typed before the refresh keeps narrowing the fresh rows.
    if (!searchBox_->Text().empty()) Search();
  } catch (const std::exception& e) {
    grid_->SetRedraw(true);
    events_.ErrMessage(std::string("更新屏幕时出错，原因：") + e.what(), host::kLevelFailure,
                       description_.title);
  }
}

int64_t MasterList::CurrentRowId() const {
  int row = grid_->Row();
  if (!grid_->IsDataRow(row)) return 0;
  return static_cast<int64_t>(db::NumericValue(grid_->TextMatrix(row, description_.idColumn)));
}

void MasterList::RaiseEditForm(int64_t id, int plType) {
  events_.Raise("EditForm", {description_.cardProgram, id, db::Value{}, plType});
}

bool MasterList::RefuseChange() {
  if (!description_.ReadOnly()) return false;
  events_.Message(description_.readOnlyHint);
  return true;
}

bool MasterList::FileNew() {
  if (RefuseChange()) return false;
  RaiseEditForm(0, 1);
  return true;
}

bool MasterList::FileEdit() {
  if (RefuseChange()) return false;
  int64_t id = CurrentRowId();
  if (id <= 0) return false;
  RaiseEditForm(id, 2);
  return true;
}

bool MasterList::FileDelete() {
  if (RefuseChange()) return false;
  try {
    return Delete();
  } catch (const std::exception& e) {
    events_.ErrMessage(std::string("删除数据时出错：") + e.what(), host::kLevelFailure,
                       description_.title);
  }
  return false;
}

bool MasterList::Delete() {
  int row = grid_->Row();
  // Without a current row there is nothing the question could name.
  if (!grid_->IsDataRow(row)) return false;
  int64_t id = CurrentRowId();
  db::IDatabase& database = System().GetDatabase();
  db::Runner runner(database);
  if (id > 0) {
    std::string error;
    double used = runner.ScalarNumber(db::Sql(description_.usageQuery).Key(id), &error);
    if (!error.empty()) throw std::runtime_error(error);
    if (used > 0) {
      events_.ErrMessage(description_.inUseText, host::kLevelRefusal, description_.title);
      return false;
    }
  }
  host::MsgAnswer answer = System().Dialogs().MessageBox(
      "是否删除当前记录:" + grid_->TextMatrix(row, description_.questionColumn),
      "提示:", host::MsgButtons::YesNo, host::MsgIcon::Question);
  if (answer != host::MsgAnswer::Yes) return false;

  db::Transaction transaction(database);
  bool ok = transaction.Run(db::Sql(description_.deleteStatement).Key(id)) &&
            (description_.mirrorDeleteStatement.empty() ||
             transaction.Run(db::Sql(description_.mirrorDeleteStatement).Key(id))) &&
            transaction.Commit();
  database.Close();
  if (!ok) {
    events_.ErrMessage("删除数据时出错：" + transaction.Error(), host::kLevelFailure,
                       description_.title);
    return false;
  }
  grid_->RemoveRow(row);
  grid_->RenumberRows();
  if (grid_->DataRows() == 0) grid_->SetRow(-1);
  events_.ErrMessage(description_.deletedText + std::to_string(id), host::kLevelSuccess,
                     description_.title);
  return true;
}

bool MasterList::MoveTo(int row) {
  if (grid_->DataRows() > 0) grid_->SetRow(row);
  return true;
}

bool MasterList::RecordTop() {
  return MoveTo(grid_->FixedRows());
}

bool MasterList::RecordPrevious() {
  return MoveTo(std::max(grid_->Row() - 1, grid_->FixedRows()));
}

bool MasterList::RecordNext() {
  int row = grid_->IsDataRow(grid_->Row()) ? grid_->Row() + 1 : grid_->FixedRows();
  return MoveTo(std::min(row, grid_->Rows() - 1));
}

bool MasterList::RecordBottom() {
  return MoveTo(grid_->Rows() - 1);
}

bool MasterList::NoPrint() {
  events_.Message("暂无打印功能!");
  return false;
}

void MasterList::Search() {
  forms::IncrementalSearch(*grid_,
                           forms::EnabledSearchColumns(*searchBox_, description_.searchColumns),
                           searchBox_->Text(), searchBox_->filterMode);
}

void MasterList::BuildMenu() {
  menu_->Clear();
  if (description_.ReadOnly()) return;
  menu_->AddItem(description_.menuNew, "Add", "PDM");
  menu_->AddItem(description_.menuEdit, "Edit", "PDM");
  menu_->AddItem("-", "", "PDM");
  menu_->AddItem(description_.menuDelete, "Delete", "PDM");
  if (description_.vinColumn > 0) {
    menu_->AddItem("-", "", "PDM");
    menu_->AddItem(vinFaultsOnly_ ? kVinFaultsAll : kVinFaultsOnly, "VinFaults", "PDM");
  }
}

void MasterList::SetVinFaultsOnly(bool on) {
  if (description_.vinColumn <= 0 || on == vinFaultsOnly_) return;
  vinFaultsOnly_ = on;
  Refresh();
}

void MasterList::OnMenuItem(const std::string& key) {
  if (key == "Add") {
    FileNew();
  } else if (key == "Edit") {
    FileEdit();
  } else if (key == "Delete") {
    FileDelete();
  } else if (key == "VinFaults") {
    SetVinFaultsOnly(!vinFaultsOnly_);
  }
}

int MasterList::WheelTopRow(int position) const {
  if (position < scrollRate_) return position;
  int row = static_cast<int>(position * scrollRate_);
  return std::min(row, grid_->Rows() - 1);
}

void MasterList::SetParameters(host::ParametersPtr parameters) {
  if (parameters && !parameters->Empty()) {
    if (auto color = parameters->Get("backcolor")) {
      form_.SetBackColor(static_cast<int64_t>(db::NumericValue(*color)));
    }
  }
  parameters_ = std::move(parameters);
}

void MasterList::DoGetFormStatus() {
  // Only widths and hidden columns come back when the window opens; sorts and formats of a
  // list are its own.
  RunLayout("-->DoGetFormStatus::", [this](const std::filesystem::path& file) {
    std::string error = grid::LoadFormStatusFile(file, form_, true);
    searchBox_->filterMode = filterMode_->Checked();
    return error;
  });
}

void MasterList::DoSaveFormStatus() {
  RunLayout("-->DoSaveFormStatus::", [this](const std::filesystem::path& file) {
    return grid::SaveFormStatusFile(file, form_, false);
  });
}

void MasterList::RunLayout(const std::string& tag,
                           const std::function<std::string(const std::filesystem::path&)>& body) {
  std::string error;
  try {
    error = body(grid::LayoutPath(System().GetLoginInfo().workFolder, description_.className));
  } catch (const std::exception& e) {
    error = e.what();
  }
  if (!error.empty()) events_.ErrMessage(tag + error, host::kLevelFailure, description_.title);
}

}  // namespace ws::masters
