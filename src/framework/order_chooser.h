// The dialog pattern the repair-order choosers share (the requisition's frmSelWS, the money
// documents' frmSelWsJs and frmSel_AR_Rec): a filter strip of fields "ywTxt" (0 plate, 1
// work-order number, 2 and 3 entry-date range, 4 customer, 6 row count), a result grid
// "ywGrid1", the search box "SearchBox1" whose mode the check box "ChkFind" sets, buttons "btn"
// (0 "确定" confirm, 1 "取消" close, 2 "查询" query, 3 "清空条件" clear the filters and query;
// where several rows may be ticked, 4 "全不选" and 5 "全选"; an index the dialog does not know
// answers "未处理的功能"), and a layout file workFolder/selfbb/<dialog name>.txt.
//
// Each chooser's query sets its order: the requisition's lists the newest orders first, so the
// row limit cuts off old orders, never today's; the settlement's lists by work-order number and
// the receipt's by entry date and number, so that a receipt pays the oldest debt first. Id
// columns stay hidden, whatever a layout file says. Its first column "选择" holds a tick ("√"
// or empty) that an edit of the cell sets (any text ticks, an empty one unticks), as a front
// end's check box does; a chooser of one order keeps one tick at most.
//
// A chooser is opened by its document, set up with the host's system object and shown through
// the host's dialogs (RunModal) until a button closes it or the user dismisses it.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "db/recordset.h"
#include "db/sql.h"
#include "forms/form.h"
#include "framework/list_columns.h"
#include "host/dialogs.h"
#include "host/events.h"
#include "host/system.h"

namespace ws::framework {

// What tells one chooser from another beside its statement and its rows.
struct ChooserLook {
  std::string name;   // form name and layout file
  std::string title;  // title of its boxes and events
  // The grid's columns; the one captioned "选择" holds the tick.
  std::span<const ListColumn> columns;
  bool rowHeaderCol = false;
  const char* gridType = nullptr;  // forms::kFlexGrid when null
  std::string defaultRows = "100";
  // Whether several rows may be ticked (with the buttons 全不选, 全选).
  bool manyTicks = true;
  // The money choosers keep an unused, hidden ywTxt(5) in their strip.
  bool spareSlot = true;
  // What the layout file keeps: the grid's columns and the search settings, or the whole
  // form's status (positions, widths, check boxes and options).
  enum Layout { GridProfile, FormStatus } layout = GridProfile;
  // Adds the dialog's own widgets between the strip and the list, where the desktop shows them.
  void (*addBeforeGrid)(forms::Form& form) = nullptr;
};

class OrderChooser : public host::IModalForm {
 public:
  enum FilterField {
    kPlate = 0,
    kNumber = 1,
    kDateFrom = 2,
    kDateTo = 3,
    kCustomer = 4,
    kRows = 6
  };
  enum Button { kConfirm = 0, kClose = 1, kQuery = 2, kClear = 3, kUntickAll = 4, kTickAll = 5 };
  static constexpr const char* kTick = "√";
  static constexpr const char* kTickCaption = "选择";

  ~OrderChooser() override;

  // --- IModalForm
  std::string Name() const override { return look_.name; }
  forms::Form& Form() override { return form_; }
  bool IsClosed() const override { return closed_; }
  // The user closed the window: nothing is chosen.
  void Dismiss() override { Close(); }

  host::EventSource& Events() { return events_; }
  forms::Field& Filter(int index) const;
  forms::Grid& Grid() const { return *grid_; }
  forms::SearchBox& SearchBox() const { return *searchBox_; }

  // Lists the orders the filters select; a failure goes to QueryFailed and leaves the grid
  // empty; answers false then.
  bool Query();
  // What a press of button `index` does.
  virtual void btn_Click(int index);
  bool Ticked(int row) const;
  // Ticks or unticks a data row (other rows too where the chooser says so); a chooser of one
  // order unticks the others and makes the row current.
  virtual void Tick(int row, bool ticked);
  void ToggleTick(int row) { Tick(row, !Ticked(row)); }
  // Every data row ticked or none (a chooser of one order only unticks).
  void TickAll(bool ticked);
  // The first ticked data row, -1 when none.
  int FirstTicked() const;

 protected:
  explicit OrderChooser(ChooserLook look);

  // Keeps the system object, applies the stored layout and the amount formats.
  void Open(host::ISystem& system);
  // Shows the dialog through the host until it closes; false when it could not be shown.
  bool ShowModal();
  // Keeps the layout and closes.
  void Close();
  // The grid as the format string makes it, with the stored layout and the amount formats on
  // top: what a dialog that switches its view starts from.
  void RebuildGrid();

  // --- What each chooser supplies.
  virtual db::Sql ListQuery(std::string_view driver) = 0;
  // Default: each column from the record column of its source (see ListColumn::Source), dates
  // as the lists show them; a column the records lack stays as it is.
  virtual void FillRow(int row, const db::Recordset& records);
  virtual void OnConfirm() = 0;
  // Whether the current filters ask the database at all.
  virtual bool Lists() const { return true; }
  // After the rows are in (also after a failure).
  virtual void AfterQuery() {}
  // Default: ErrMessage "HasRefresh:" + the database's text (level 8, the dialog's title).
  virtual void QueryFailed(const std::string& error);
  // Runs when the dialog closes, before its layout is written; and after it.
  virtual void BeforeClose() {}
  virtual void AfterClose() {}
  // Filter field hooks: leaving it (default: a date field holding no date is marked), asking
  // its picker (default: the host's picker, customers for the customer field), typing into a
  // looked-up one (default: its key is dropped, the filter is the text the user sees), and
  // clearing the strip (button 3).
  virtual void FilterLeft(int index);
  virtual void FilterPicker(int index);
  virtual void FilterTyped(int index);
  virtual void ClearFilters();
  // Searched when the search box enables no column: default the first two visible ones.
  virtual std::vector<int> SearchColumns() const;
  void RunSearch();

  host::ISystem& System() const { return *system_; }
  bool HasSystem() const { return system_ != nullptr; }
  // The numeric value of the row-count field.
  int RowLimit() const;
  // A date filter as "yyyy-mm-dd"; empty when the field is empty or holds no date (the field
  // shows the user why).
  std::string DateFilter(int index) const;
  // The customer field as the lookup set it, or 0.
  int64_t CustomerId() const { return Filter(kCustomer).KeyLong(); }
  const std::string& Title() const { return look_.title; }
  forms::CheckBox& FilterModeBox() const { return *findCheck_; }

  forms::Form form_;
  host::EventSource events_;

 private:
  void ApplyLayout();
  void SaveLayout();
  void HideKeyColumns();

  ChooserLook look_;
  int tickColumn_ = 0;
  host::ISystem* system_ = nullptr;
  forms::Grid* grid_ = nullptr;
  forms::SearchBox* searchBox_ = nullptr;
  forms::CheckBox* findCheck_ = nullptr;
  bool closed_ = false;
};

}  // namespace ws::framework
