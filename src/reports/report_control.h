// What the two query reports share: a filter panel of indexed input fields ("ywTxt") with a
// check box "Chk", the title label "lbl" and the status label "lblMessage" above a read-only
// grid "Vs" that takes its columns from the query result, described by the report's column
// table (list_grid.h): the program number and document id among them hidden. The host drives a
// report through IReportUI; the grid pack serves Find, FindNext and Filter; the layout file the
// host names in DoGetFormStatus is applied again after every refresh, which is where sorts, merges,
// formats and subtotals come back.
//
// Events, in declared order: Message(psMsg), ErrMessage(psMsg, plLevel, psTitle),
// Detaile(plCzID, plID), VsMouseDown(Button, Shift, X, Y), RefreshGetGridStatus,
// Property(psName, psValue, pbAutoUpdate).
//
// A report answers its condition text and query in the statement builder; the filters' values
// reach the statement only through its typed appenders.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "db/date.h"
#include "db/runner.h"
#include "db/sql.h"
#include "forms/form.h"
#include "forms/grid_pack.h"
#include "host/system.h"
#include "host/ui.h"
#include "reports/list_grid.h"

namespace ws::reports {

// One filter field of the panel.
struct FilterField {
  int index;
  const char* caption;
  forms::FieldKind kind;
  const char* picker;  // "" for a field without a lookup
  bool customers;      // the partner picker is told to list customers ("SX" 2)
};

// How the report prints: straight to the print file, as a preview, or the page setup only.
enum class PrintMode { Direct, Preview, Setup };

// <work folder>/selfPrn/Rpt<program number>.prn; creates the folder. Throws for an empty work
// folder.
std::filesystem::path ReportPrintPath(const std::string& workFolder, int64_t programNumber);

class ReportControl : public host::IControl, public host::IReportUI, public host::IDesignUI {
 public:
  static constexpr const char* kField = "ywTxt";
  static constexpr const char* kChecked = "Chk";
  static constexpr const char* kTitle = "lbl";
  static constexpr const char* kStatus = "lblMessage";
  static constexpr const char* kGrid = "Vs";
  static constexpr const char* kGridTip = "提示：双击进入原始单据查询";
  static constexpr const char* kInvalidInput = "输入有误，请重新输入！";
  static constexpr const char* kLoading = "正在读取数据...";
  static constexpr const char* kCancelled = "已取消读取";
  // The status line after a read that failed: its reason went to the host with ErrMessage.
  static constexpr const char* kReadFailed = "读取失败";
  // Rows read from the cursor between two progress reports.
  static constexpr int kChunkRows = 2000;

  ReportControl(std::string className, std::string sourceName,
                const std::vector<FilterField>& filters);

  // --- IControl
  std::string ClassName() const override { return className_; }
  forms::Form& Form() override { return form_; }
  host::EventSource& Events() override { return events_; }
  host::IReportUI* AsReportUI() override { return this; }
  host::IDesignUI* AsDesignUI() override { return this; }

  // --- IReportUI
  // Keeps the system and program number, reads the title from the host menu, the wheel rate
  // and the "doubleunit" flag; loads nothing. Always true.
  bool Init(host::ISystem& system, int64_t programNumber) override;
  bool Clear() override;
  // Asks for a text (FindPrompt) and finds it in the grid's current column.
  bool Find() override;
  bool FindNext() override;
  // Filters by the current cell's value, or shows every row again when a filter is on.
  bool Filter() override;
  // Runs the query with the filters, reading its rows into the grid as the cursor gives them
  // and telling the host of every chunk (ISystem::Progress, total unknown). False when it
  // failed (reported with ErrMessage, the grid empty) or the user stopped the load (the host's
  // Progress answered false): the statement stops and the rows read by then stay, in the
  // query's order, with a status line that says the list was cut short; a clerk who stops a
  // long list mostly does so because what he looks for has already come. While it reads, the
  // status line says so (kLoading) rather than count the list that was emptied, and the host
  // hears Message with an empty text, which takes back a cut-short message and is its cue to
  // show the form's labels again; after a failure the line says kReadFailed.
  bool Refresh() override;
  // Runs the query as Refresh does, for an output that writes the rows out rather than keeps
  // them (the command line's CSV and spreadsheet): each chunk read is put in the grid, shaped
  // and formatted as the window shows it, handed to `drain` and taken out again, so that memory
  // holds one chunk whatever the report's length. A saved layout sorts and totals every row:
  // with one named (or for a list the module computes) every row is read first and `drain` has
  // the finished grid once. `drain` always has the grid at least once, its header row shaped
  // when the query ran. False as Refresh answers, or when `drain` answered false (it could not
  // write; the statement stops there).
  using RowDrain = std::function<bool(const forms::Grid& grid)>;
  bool RefreshInto(const RowDrain& drain);
  bool RecordTop() override { return false; }
  bool RecordPrevious() override { return false; }
  bool RecordNext() override { return false; }
  bool RecordBottom() override { return false; }
  bool PrintPreview() override { return Print(PrintMode::Preview); }
  // With a non-empty "printfilename" parameter the host prints itself: true, nothing written.
  bool DoPrint() override;
  bool PrintSetup() override { return Print(PrintMode::Setup); }
  bool Help() override { return false; }
  std::string ReturnPrintName() override { return {}; }
  void DoGetFormStatus(const std::string& fileName) override;
  void DoSaveFormStatus(const std::string& fileName) override;
  std::string Attributes() override { return {}; }
  forms::Form* oTable() override { return &form_; }
  host::ParametersPtr GetParameters() override { return parameters_; }
  void SetParameters(host::ParametersPtr parameters) override {
    parameters_ = std::move(parameters);
  }

  // --- IDesignUI
  forms::Form& Controls() override { return form_; }

  // Fills the report's date filters (its first two) with the month of `day`, first to last
  // day: the window a host opens a report on, so that opening never reads the whole history
  // unasked. False, nothing changed, for a report without date filters or one that chose its
  // own window when it started.
  virtual bool ShowMonthOf(const db::Date& day);

  // --- The statement, the print texts and the pieces the host and tests look at.
  // The condition text, from " where 1=1" on, for a driver setting ("jet" or another).
  db::Sql ConditionText(const std::string& driver) const;
  // The whole query: the report's select, the condition text and the order.
  virtual db::Sql Query(const std::string& driver) const = 0;
  // A query report's columns as its query selects them: which the grid hides and the numbers
  // their layout is saved under. Null for a list the module computes (its grid is described
  // when it is filled).
  virtual const ListColumns* QueryColumns() const { return nullptr; }
  // The condition line of the print.
  virtual std::string PrintCondition() const = 0;
  std::string PrintTitle() const;
  // The print file of the last Print, empty before.
  const std::string& PrintFileName() const { return printFile_; }

  // The filter field of that index; a missing index is a programming error.
  forms::Field& FilterInput(int index) const;
  forms::CheckBox& CheckedOnly() const { return *checked_; }
  forms::Label& Status() const { return *status_; }
  forms::Grid& Grid() const { return *grid_; }
  forms::GridPack& Pack() { return pack_; }
  int64_t ProgramNumber() const { return programNumber_; }
  double ScrollRate() const { return scrollRate_; }
  int WheelRange() const { return wheelRange_; }

 protected:
  // Appends the report's conditions to a statement that already holds " where 1=1".
  virtual void AppendConditions(db::Sql& sql, const std::string& driver) const = 0;
  // Raised on a row change; the repair-order report raises Property, the other nothing.
  virtual void OnRowChange(int row) { (void)row; }
  // The lists the module computes rather than reads with one query fill the grid here and
  // answer true; a bad filter or a failed read is answered in *error (shown as a message, the
  // grid left empty). The query reports answer false.
  virtual bool FillList(db::IDatabase& database, forms::Grid& grid, std::string* error) {
    (void)database, (void)grid, (void)error;
    return false;
  }
  // A list's totals rows, added after the saved layout (which clears subtotal rows) was applied.
  virtual void AddTotalRows(forms::Grid& grid) { (void)grid; }
  // A double-click or Enter on a data row: opens the document its "progid" column and the one
  // after it name.
  virtual void OpenRow(int row);
  // The layout file of what the grid shows now: a list that shows rows of two shapes keeps a
  // layout per shape, so that one's widths and hidden columns never land on the other's.
  virtual std::string ShapedLayoutFile(const std::string& file) const { return file; }
  // The document a double click on that cell of a data row opens, as program number and id:
  // the row's own, in the column captioned "progid" (any case) and the one after it, unless a
  // list keeps another document in a cell.
  struct DocumentRef {
    int64_t program = 0;
    int64_t id = 0;
  };
  virtual DocumentRef DocumentAt(int row, int col) const;
  // The program and id held in two columns of a row; zeros where the cells hold none.
  DocumentRef DocumentIn(int row, int programCol) const;
  std::string Label(const char* name) const;
  // A date condition piece with the dialect's literal; nothing when the text is no date.
  static void AppendDate(db::Sql& sql, const char* piece, const std::string& text,
                         const std::string& driver);

 private:
  void BuildForm(const std::vector<FilterField>& filters);
  void WireLookup(forms::Field& field, const FilterField& filter);
  void ResolveTyped(forms::Field& field, const FilterField& filter);
  void ChooseInPicker(forms::Field& field, const FilterField& filter);
  std::shared_ptr<host::IControl> OpenPicker(const FilterField& filter);
  // Streams the query's rows into the grid; false when it failed (the text in *error) or the
  // user stopped it (*error empty).
  bool LoadRows(db::Runner& runner, const db::Sql& query, std::string* error);
  void ShapeColumns(const db::Recordset& records);
  void AppendRows(const db::Recordset& chunk, const std::vector<char>& dates);
  void FinishRows(int64_t rows, bool complete);
  void ApplySavedLayout();
  // Empties the grid after a failed read and says so in the status line before the host is
  // told why.
  void FailRead();
  bool Print(PrintMode mode);
  host::ISystem& System() const;
  void Fail(const std::string& tag, const std::string& what) const;

  std::string className_;
  std::string sourceName_;
  forms::Form form_;
  host::EventSource events_;
  forms::GridPack pack_;
  forms::Grid* grid_ = nullptr;
  forms::CheckBox* checked_ = nullptr;
  forms::Label* title_ = nullptr;
  forms::Label* status_ = nullptr;
  host::ISystem* system_ = nullptr;
  host::ParametersPtr parameters_;
  int64_t programNumber_ = 0;
  std::vector<int> dateFilters_;  // indexes of the date filters, in order
  std::string layoutFile_;
  std::string printFile_;
  double scrollRate_ = 5;
  int wheelRange_ = 0;
  const RowDrain* drain_ = nullptr;  // set while RefreshInto streams
  bool drained_ = false;             // drain_ had the grid
  bool drainFailed_ = false;         // drain_ answered false
};

}  // namespace ws::reports
