#include "reports/report_control.h"

#include <algorithm>
#include <exception>
#include <stdexcept>

#include "db/date.h"
#include "db/runner.h"
#include "db/value.h"
#include "forms/text.h"
#include "framework/shop_decimals.h"
#include "grid/layout.h"
#include "grid/profile.h"
#include "host/app.h"
#include "reports/find_prompt.h"
#include "reports/list_grid.h"

namespace ws::reports {

namespace {

// Host grid alignment code of plain text.
constexpr int kAlignLeftCenter = 1;

bool IsDateColumn(const std::string& name) {
  return name.find("日期") != std::string::npos;
}

}  // namespace

std::filesystem::path ReportPrintPath(const std::string& workFolder, int64_t programNumber) {
  if (forms::Trim(workFolder).empty()) throw std::invalid_argument("the login has no work folder");
  // The folder may be written the Windows way: its separators become this system's.
  std::string folder = workFolder;
  for (char& c : folder) {
    if (c == '\\') c = '/';
  }
  std::filesystem::path path = grid::PathFromUtf8(folder) / "selfPrn";
  std::filesystem::create_directories(path);
  return path / ("Rpt" + std::to_string(programNumber) + ".prn");
}

ReportControl::ReportControl(std::string className, std::string sourceName,
                             const std::vector<FilterField>& filters)
    : className_(std::move(className)), sourceName_(std::move(sourceName)), form_(className_) {
  BuildForm(filters);
}

void ReportControl::BuildForm(const std::vector<FilterField>& filters) {
  title_ = &form_.Add<forms::Label>(kTitle);
  for (const FilterField& filter : filters) {
    auto& field = form_.Add<forms::Field>(kField, filter.index);
    field.SetCaption(filter.caption);
    field.SetKind(filter.kind);
    field.SetPicker(filter.picker);
    if (*filter.picker) WireLookup(field, filter);
    if (filter.kind == forms::FieldKind::Date) {
      dateFilters_.push_back(filter.index);
      field.OnLeave = [&field] {
        if (field.Text().empty() || db::Date::Parse(field.Text())) {
          field.MarkValid();
        } else {
          field.MarkInvalid(kInvalidInput);
        }
      };
    }
  }
  checked_ = &form_.Add<forms::CheckBox>(kChecked);
  checked_->SetCaption("只列已审核单据");
  status_ = &form_.Add<forms::Label>(kStatus);

  grid_ = &form_.Add<forms::Grid>(kGrid, -1, forms::kFlexGrid);
  grid_->SetCols(0);
  grid_->SetFixedRows(1);
  grid_->SetFixedCols(0);
  grid_->SetEditable(false);
  grid_->SetToolTip(kGridTip);
  grid_->OnDblClick = [this](int) {
    const int row = grid_->Row();
    if (grid_->IsDataRow(row) && !grid_->IsSubtotalRow(row)) OpenRow(row);
  };
  grid_->OnMouseDown = [this](int button, int shift, int x, int y) {
    events_.Raise("VsMouseDown", {button, shift, x, y});
  };
  grid_->OnRowChange = [this](int row) { OnRowChange(row); };
  pack_.Attach(grid_);
}

void ReportControl::WireLookup(forms::Field& field, const FilterField& filter) {
  field.OnPickerRequest = [this, &field, filter] { ChooseInPicker(field, filter); };
  // Typing drops the key of an earlier choice; leaving the field resolves the text again.
  field.OnChange = [&field] { field.SetKey(""); };
  field.OnLeave = [this, &field, filter] { ResolveTyped(field, filter); };
}

std::shared_ptr<host::IControl> ReportControl::OpenPicker(const FilterField& filter) {
  if (!system_) return nullptr;
  std::shared_ptr<host::IControl> control = system_->GetPicker(filter.picker);
  host::IPickerUI* picker = control ? control->AsPickerUI() : nullptr;
  if (!picker || !picker->Init(*system_, programNumber_, "")) return nullptr;
  if (filter.customers) {
    auto parameters = std::make_shared<host::Parameters>();
    parameters->Set("SX", "2");
    picker->SetParameters(parameters);
  }
  return control;
}

void ReportControl::ResolveTyped(forms::Field& field, const FilterField& filter) {
  const std::string typed = forms::Trim(field.Text());
  if (typed.empty()) {
    field.SetValue("", "");
    field.MarkValid();
    return;
  }
  std::string value;
  std::string text;
  try {
    if (auto control = OpenPicker(filter)) {
      control->AsPickerUI()->Validate("", "", "", typed, value, text);
      control->AsPickerUI()->Clear();
    }
  } catch (const std::exception& e) {
    Fail("-->ywTxt_Valid::", e.what());
  }
  if (text.empty() && db::NumericValue(value) <= 0) {
    field.SetKey("");
    field.MarkInvalid(kInvalidInput);
    return;
  }
  field.SetValue(value, text.empty() ? typed : text);
  field.MarkValid();
}

void ReportControl::ChooseInPicker(forms::Field& field, const FilterField& filter) {
  try {
    auto control = OpenPicker(filter);
    if (!control) return;
    host::PickResult result = system_->RunPicker(*control, field.Text());
    control->AsPickerUI()->Clear();
    if (result.chosen) {
      field.SetValue(result.value, result.text);
      field.MarkValid();
    }
  } catch (const std::exception& e) {
    Fail("-->ywTxt_UserHelpEvent::", e.what());
  }
}

host::ISystem& ReportControl::System() const {
  if (!system_) throw std::logic_error(className_ + " is not initialised");
  return *system_;
}

void ReportControl::Fail(const std::string& tag, const std::string& what) const {
  events_.ErrMessage(sourceName_ + tag + what, host::kLevelFailure, host::kAppTitle);
}

bool ReportControl::ShowMonthOf(const db::Date& day) {
  if (dateFilters_.size() < 2) return false;
  FilterInput(dateFilters_[0]).SetText(db::Date{day.year, day.month, 1}.Text());
  FilterInput(dateFilters_[1])
      .SetText(db::Date{day.year, day.month, db::DaysInMonth(day.year, day.month)}.Text());
  return true;
}

forms::Field& ReportControl::FilterInput(int index) const {
  return form_.Get<forms::Field>(kField, index);
}

std::string ReportControl::Label(const char* name) const {
  return form_.Get<forms::Label>(name).Caption();
}

bool ReportControl::Init(host::ISystem& system, int64_t programNumber) {
  system_ = &system;
  programNumber_ = programNumber;
  try {
    db::Runner runner(system.GetDatabase());
    std::string error;
    db::Sql caption("select menuname from xt_menu where progID=");
    caption.Key(programNumber);
    title_->SetCaption(runner.ScalarText(caption, &error));
    form_.SetCaption(title_->Caption());
    double rate = db::NumericValue(system.GetOption(12, std::string("mouseeventscrollrate")));
    scrollRate_ = rate > 0 ? rate : 5;
    pack_.doubleUnit = db::NumericValue(system.GetOption(12, std::string("doubleunit"))) == 1;
  } catch (const std::exception& e) {
    // Without its caption or settings the report still works: the defaults stand.
    Fail("-->IRptUI_Init::", e.what());
  }
  return true;
}

bool ReportControl::Clear() {
  // The rows go now rather than with the control, so that a host giving freed memory back to
  // the system when it closes the report finds them freed.
  grid_->ClearData();
  pack_.Attach(nullptr);
  parameters_.reset();
  system_ = nullptr;
  return true;
}

void ReportControl::AppendDate(db::Sql& sql, const char* piece, const std::string& text,
                               const std::string& driver) {
  // A field holding no date is marked for the user and narrows nothing: compared with a date
  // column it would be refused by one database and match nothing in another.
  auto date = db::Date::Parse(forms::Trim(text));
  if (!date) return;
  sql.Raw(piece).Date(date->Text(), driver);
}

db::Sql ReportControl::ConditionText(const std::string& driver) const {
  db::Sql sql(" where 1=1");
  AppendConditions(sql, driver);
  return sql;
}

bool ReportControl::Refresh() {
  grid_->ClearData();
  pack_.Reset();
  // The count or the cut-short notice of the last read would stand over a grid being emptied
  // and filled again, and over an empty one if this read fails. The line changes before the
  // message, as a host shows the form's labels again when it hears one.
  status_->SetCaption(kLoading);
  events_.Message("");
  try {
    db::IDatabase& database = System().GetDatabase();
    db::Runner runner(database);
    std::string error;
    if (FillList(database, *grid_, &error)) {
      if (!error.empty()) {
        grid_->ClearData();
        status_->SetCaption(error);
        events_.Message(error);
        return false;
      }
      ApplySavedLayout();
      ApplyAmountDecimals(*grid_, framework::AmountDecimals(System()));
      AddTotalRows(*grid_);
      grid_->SetRow(grid_->DataRows() > 0 ? grid_->FixedRows() : -1);
      wheelRange_ = static_cast<int>((grid_->Rows() - 1) / scrollRate_);
      int rows = 0;
      for (int r = grid_->FixedRows(); r < grid_->Rows(); ++r)
        rows += grid_->IsSubtotalRow(r) ? 0 : 1;
      status_->SetCaption("共" + std::to_string(rows) + "条记录");
      return true;
    }
    const bool loaded = LoadRows(runner, Query(runner.Driver()), &error);
    database.Close();
    if (!error.empty()) {
      FailRead();
      events_.ErrMessage(error, host::kLevelFailure, host::kAppTitle);
    }
    return loaded;
  } catch (const std::exception& e) {
    FailRead();
    Fail("-->IRptUI_Refresh::", e.what());
  }
  return false;
}

bool ReportControl::RefreshInto(const RowDrain& drain) {
  if (!layoutFile_.empty() || !QueryColumns()) return Refresh() && drain(*grid_);
  drain_ = &drain;
  drained_ = false;
  drainFailed_ = false;
  bool loaded = Refresh();
  drain_ = nullptr;
  if (loaded && !drained_) loaded = drain(*grid_);
  return loaded && !drainFailed_;
}

void ReportControl::FailRead() {
  grid_->ClearData();
  grid_->SetRedraw(true);
  status_->SetCaption(kReadFailed);
}

bool ReportControl::LoadRows(db::Runner& runner, const db::Sql& query, std::string* error) {
  grid_->SetRedraw(false);
  std::vector<char> dates;
  int64_t loaded = 0;
  bool told = false;
  bool stopped = false;
  *error = runner.Stream(
      query, kChunkRows,
      [&](db::Recordset& chunk, bool complete) {
        if (dates.empty() && chunk.FieldCount() > 0) {
          ShapeColumns(chunk);
          for (int f = 0; f < chunk.FieldCount(); ++f)
            dates.push_back(IsDateColumn(chunk.FieldName(f)) ? 1 : 0);
        }
        if (drain_ && !drained_) ApplyAmountDecimals(*grid_, framework::AmountDecimals(System()));
        AppendRows(chunk, dates);
        loaded += chunk.RecordCount();
        // A heartbeat of a long statement brings no rows (nor, before the first, columns).
        if (drain_ && chunk.RecordCount() > 0) {
          drained_ = true;
          if (!(*drain_)(*grid_)) {
            drainFailed_ = true;
            return false;
          }
          grid_->SetRows(grid_->FixedRows());
        }
        // A list that came in one chunk never bothers the host.
        if (complete) return true;
        told = true;
        return System().Progress(kLoading, loaded, host::ISystem::kUnknownTotal);
      },
      &stopped);
  if (told) System().Progress(kLoading, loaded, loaded);
  if (!error->empty()) {
    grid_->SetRedraw(true);
    return false;
  }
  FinishRows(loaded, !stopped);
  return !stopped;
}

void ReportControl::ShapeColumns(const db::Recordset& records) {
  if (grid_->Cols() != records.FieldCount()) {
    grid_->SetCols(records.FieldCount());
    for (int f = 0; f < records.FieldCount(); ++f) {
      grid_->SetTextMatrix(0, f, records.FieldName(f));
      grid_->Col(f).alignment = kAlignLeftCenter;
      grid_->Col(f).editable = false;
    }
  }
  // The layout numbers before the saved layout is applied.
  if (const ListColumns* columns = QueryColumns()) DescribeColumns(*grid_, *columns);
}

void ReportControl::AppendRows(const db::Recordset& chunk, const std::vector<char>& dates) {
  const int fields = std::min(chunk.FieldCount(), grid_->Cols());
  const auto rows = static_cast<size_t>(chunk.RecordCount());
  int row = grid_->Rows();
  grid_->SetRows(row + static_cast<int>(rows));
  for (size_t r = 0; r < rows; ++r, ++row) {
    for (int f = 0; f < fields; ++f) {
      const db::Value& value = chunk.At(r, f);
      if (dates[static_cast<size_t>(f)]) {
        grid_->SetTextMatrix(row, f, db::FormatDateText(value.ToText()));
      } else if (value.IsText()) {
        grid_->SetCellText(row, f, value.TextView());
      } else {
        grid_->SetTextMatrix(row, f, value.ToText());
      }
    }
  }
}

void ReportControl::FinishRows(int64_t rows, bool complete) {
  if (rows > 0) {
    events_.Raise("RefreshGetGridStatus");
    ApplySavedLayout();
  }
  // Keys stay hidden whatever a layout file says.
  if (const ListColumns* columns = QueryColumns()) DescribeColumns(*grid_, *columns);
  ApplyAmountDecimals(*grid_, framework::AmountDecimals(System()));
  grid_->SetRow(grid_->DataRows() > 0 ? grid_->FixedRows() : -1);
  wheelRange_ = static_cast<int>((grid_->Rows() - 1) / scrollRate_);
  if (complete) {
    status_->SetCaption("共" + std::to_string(rows) + "条记录");
  } else {
    status_->SetCaption(std::string(kCancelled) + "：只列出前" + std::to_string(rows) + "条记录");
    events_.Message(kCancelled);
  }
  grid_->SetRedraw(true);
}

void ReportControl::ApplySavedLayout() {
  if (layoutFile_.empty()) return;
  grid::Profile profile = grid::Profile::Load(grid::PathFromUtf8(ShapedLayoutFile(layoutFile_)));
  // A file that cannot be read leaves the grid as the query made it.
  if (!profile.LoadError().empty()) return;
  grid::ApplyGridSettings(profile, *grid_, false);
}

ReportControl::DocumentRef ReportControl::DocumentIn(int row, int programCol) const {
  if (programCol < 0 || programCol + 1 >= grid_->Cols()) return {};
  return {static_cast<int64_t>(db::NumericValue(grid_->TextMatrix(row, programCol))),
          static_cast<int64_t>(db::NumericValue(grid_->TextMatrix(row, programCol + 1)))};
}

ReportControl::DocumentRef ReportControl::DocumentAt(int row, int col) const {
  (void)col;
  for (int c = 0; c < grid_->Cols(); ++c) {
    if (forms::FoldCase(grid_->TextMatrix(0, c)) == "progid") return DocumentIn(row, c);
  }
  return {};
}

void ReportControl::OpenRow(int row) {
  const DocumentRef document = DocumentAt(row, grid_->Col());
  if (document.program > 0 && document.id > 0) {
    events_.Raise("Detaile", {document.program, document.id});
  }
}

bool ReportControl::Find() {
  const int col = grid_->Col();
  if (!system_ || col < 0 || col >= grid_->Cols()) return false;
  FindPrompt prompt(grid_->TextMatrix(0, col), pack_.FindText());
  if (!System().Dialogs().RunModal(prompt) || !prompt.Confirmed()) return false;
  if (pack_.Find(col, prompt.Text()) < 0) {
    events_.Message("没有找到：" + prompt.Text());
    return false;
  }
  return true;
}

bool ReportControl::FindNext() {
  if (pack_.FindText().empty()) return false;
  if (pack_.FindNext() < 0) {
    events_.Message("没有找到：" + pack_.FindText());
    return false;
  }
  return true;
}

bool ReportControl::Filter() {
  pack_.Filter(grid_->Col());
  return true;
}

std::string ReportControl::PrintTitle() const {
  return title_->Caption();
}

bool ReportControl::DoPrint() {
  if (parameters_) {
    if (auto file = parameters_->Get("printfilename"); file && !file->empty()) return true;
  }
  return Print(PrintMode::Direct);
}

bool ReportControl::Print(PrintMode mode) {
  try {
    const std::filesystem::path path =
        ReportPrintPath(System().GetLoginInfo().workFolder, programNumber_);
    // The page setup belongs to the printer the host shows; there is nothing to write.
    if (mode == PrintMode::Setup) return true;
    std::unique_ptr<host::IPrintData> data = System().CreatePrintData();
    data->SetValue("标题", PrintTitle());
    data->SetValue("条件", PrintCondition());
    const forms::ShownCells shown = forms::ShownGridCells(*grid_);
    data->AddTable(kGrid, shown.columns, shown.rows);
    const std::string file = path.string();
    if (std::string error = data->WriteFile(file); !error.empty()) {
      Fail("-->Print::", error);
      return false;
    }
    printFile_ = file;
    return true;
  } catch (const std::exception& e) {
    Fail("-->Print::", e.what());
  }
  return false;
}

void ReportControl::DoGetFormStatus(const std::string& fileName) {
  layoutFile_ = fileName;
  // A missing or unreadable file leaves the window as it is.
  grid::LoadFormStatusFile(grid::PathFromUtf8(ShapedLayoutFile(fileName)), form_, true);
}

void ReportControl::DoSaveFormStatus(const std::string& fileName) {
  grid::SaveFormStatusFile(grid::PathFromUtf8(ShapedLayoutFile(fileName)), form_, false);
}

}  // namespace ws::reports
