// The dialog pattern both money choosers share (frmSelWsJs, frmSel_AR_Rec): a filter strip of
// fields (0 plate, 1 work-order number, 2 and 3 entry-date range, 4 customer, 6 row count), a
// result grid "ywGrid1", the search box "SearchBox1" whose mode the check box "ChkFind" sets,
// buttons "btn" (0 confirm, 1 close, 2 query, 3 clear the filters and query; any other index
// answers "未处理的功能"), and the grid's layout and search settings in
// workFolder/selfbb/<dialog name>.txt.
//
// A chooser is opened by its document, set up with the host's system object and shown through
// the host's dialogs (RunModal) until a button closes it or the user dismisses it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "db/recordset.h"
#include "db/sql.h"
#include "forms/form.h"
#include "host/dialogs.h"
#include "host/events.h"
#include "host/system.h"

namespace ws::money {

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
  enum Button { kConfirm = 0, kClose = 1, kQuery = 2, kClear = 3 };
  // Rows listed when the user has not changed the row count.
  static constexpr const char* kDefaultRows = "100";

  ~OrderChooser() override;

  // --- IModalForm
  std::string Name() const override { return name_; }
  forms::Form& Form() override { return form_; }
  bool IsClosed() const override { return closed_; }
  // The user closed the window: nothing is chosen.
  void Dismiss() override { Close(); }

  host::EventSource& Events() { return events_; }
  forms::Field& Filter(int index) { return *filters_.at(static_cast<size_t>(index)); }
  forms::Grid& Grid() { return *grid_; }
  forms::SearchBox& SearchBox() { return *searchBox_; }

  // Lists the orders the filters select. A query error is raised as ErrMessage (tag
  // "HasRefresh:", level 8, the dialog's title) and leaves the grid empty; answers false then.
  bool Query();
  // What a press of button `index` does.
  void btn_Click(int index);

 protected:
  // format: the grid's header format string; rowHeaderCol: whether column 0 is a row header.
  OrderChooser(std::string name, std::string title, const std::string& format, bool rowHeaderCol);

  // Keeps the system object, applies the stored layout and the amount formats.
  void Open(host::ISystem& system);
  // Shows the dialog through the host until it closes.
  void ShowModal();
  // Saves the layout and closes.
  void Close();
  // The grid as the format string makes it, with the stored layout and the amount formats on
  // top: what a dialog that switches its view starts from.
  void RebuildGrid();
  // Runs when the dialog closes, before its layout is written.
  virtual void BeforeClose() {}

  // The statement of the list, from the filters.
  virtual db::Sql ListQuery(std::string_view driver) = 0;
  // Fills one grid row from the current record.
  virtual void FillRow(int row, const db::Recordset& records) = 0;
  // After the rows are in.
  virtual void AfterQuery() {}
  virtual void OnConfirm() = 0;
  // Columns whose values are amounts (formatted with the host's amount decimals).
  virtual std::vector<int> AmountColumns() const = 0;

  host::ISystem& System() const { return *system_; }
  bool HasSystem() const { return system_ != nullptr; }
  // The numeric value of the row-count field.
  int RowLimit() const;
  // A date filter as "yyyy-mm-dd"; empty when the field is empty or holds no date (the field
  // shows the user why).
  std::string DateFilter(int index);
  // The customer field as the lookup set it, or 0.
  int64_t CustomerId() { return Filter(kCustomer).KeyLong(); }
  const std::string& Title() const { return title_; }

  forms::Form form_;
  host::EventSource events_;

 private:
  void ChooseInPicker(forms::Field& field, const std::string& picker, bool customerKind);
  void RunSearch();
  void ApplyLayout();

  std::string name_;
  std::string title_;
  std::string format_;
  host::ISystem* system_ = nullptr;
  std::vector<forms::Field*> filters_;
  forms::Grid* grid_ = nullptr;
  forms::SearchBox* searchBox_ = nullptr;
  forms::CheckBox* findCheck_ = nullptr;
  bool closed_ = false;
};

}  // namespace ws::money
