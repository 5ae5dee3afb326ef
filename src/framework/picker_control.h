// What every drop-down picker shares, the module's (sel_cl, sel_xm, sel_wxfl, sel_TY_INNER) and
// the host's own (platform/host_pickers.h): a read-only grid "Vs" listing the rows, a search box
// "SearchBox1" bound to it with its filter-mode check box "Check" (on unless the user's search
// settings say otherwise: typing narrows the list to the matching rows), a count label ("共:N条",
// and "n / N" while typed text narrows the list), the keyboard
// (Down/Up over visible rows, Enter chooses), choosing a row (double click or Enter raises
// DoSelect), the search settings kept in workFolder/selfbb/<name>.txt (section "Search") and the
// mouse-wheel scroll rate.
//
// A picker is driven by its host: Init, optionally SetParameters, Refresh, then the user types
// (SetText runs the incremental search), moves, and chooses; the host reads GetValue, GetText
// and Objects after DoSelect. Validate resolves a typed text without showing the list.
//
// Failures while setting up, loading or choosing show a critical message box titled "错误："
// with the failure's description; the grid keeps what it had. No failure escapes to the host.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "db/recordset.h"
#include "db/sql.h"
#include "forms/form.h"
#include "host/events.h"
#include "host/system.h"
#include "host/ui.h"

namespace ws::framework {

// Key codes the host forwards to a picker.
inline constexpr int kKeyEnter = 13;
inline constexpr int kKeyUp = 38;
inline constexpr int kKeyDown = 40;

// Title of the message box that reports a picker's failures.
inline constexpr const char* kErrorTitle = "错误：";
inline constexpr const char* kChooseHint = "提示：双击或按回车键选择完毕！";

// A statement template in which every "@" stands for the typed text: the fixed pieces are taken
// as written. A literal of the template that holds "@" becomes one bound text with the typed
// text in its place; after "like" ("Like '@%'") it is a pattern in which the typed text matches
// itself, "%" and "_" included, and only the template's own wildcards are wildcards. An "@"
// outside quotes ("公里数>=@") is a plain number when the typed text is one and a text
// otherwise, so typed words can never become conditions of their own.
db::Sql WithTyped(std::string_view pattern, std::string_view typed);

class PickerControl : public host::IControl, public host::IPickerUI {
 public:
  ~PickerControl() override;
  PickerControl(const PickerControl&) = delete;
  PickerControl& operator=(const PickerControl&) = delete;

  // --- IControl
  std::string ClassName() const override { return className_; }
  forms::Form& Form() override { return form_; }
  host::EventSource& Events() override { return events_; }
  host::IPickerUI* AsPickerUI() override { return this; }
  host::IDesignUI* AsDesignUI() override;

  // --- IPickerUI
  // Keeps the system object (not the number and text), reads the scroll rate when the picker
  // has one, sets up the grid and binds the search box. False (after the error box) when the
  // grid cannot be set up.
  bool Init(host::ISystem& system, int64_t number, const std::string& text) override;
  // Writes the search settings, then releases the parameters, the chosen row and the system.
  bool Clear() override;
  // Cuts the grid back to its header and loads it. False (after the error box, the grid keeping
  // its rows) when the list cannot be read or the picker is not initialised.
  bool Refresh() override;
  bool GetIsDirty() override { return false; }
  void SetIsDirty(bool) override {}
  // Search settings of section "Search"; without that section (or file) the picker searches
  // the fallback columns in find mode.
  void DoGetFormStatus() override;
  void DoSaveFormStatus() override;
  std::string Attributes(const std::string&) override { return {}; }
  host::ParametersPtr GetParameters() override { return parameters_; }
  void SetParameters(host::ParametersPtr parameters) override { parameters_ = parameters; }
  std::string GetValue() override { return value_; }
  void SetValue(const std::string& value) override { value_ = value; }
  std::string GetText() override { return text_; }
  // Keeps the text and puts it into the search box (emptied first), which searches the list.
  void SetText(const std::string& text) override;
  const host::PropertyBag& Objects() override { return objects_; }

  // --- Input the host forwards to the control.
  // Down / Up move to the next / previous visible data row; Enter chooses the current row.
  void KeyDown(int keyCode);
  // Copies the row into Value, Text and Objects and raises DoSelect. A row that is not a data
  // row (an empty grid) gives the empty choice.
  void ChooseRow(int row);
  // The host's wheel hook reports position p: at or above the scroll rate the top row becomes
  // p × rate (never past the last row), below it p.
  void MouseWheel(int position);
  // A paged picker (PageSize() > 0) reads one page of its list at a time, so that opening it
  // and each keystroke cost the rows shown, not the table: the host asks for the next page when
  // the user scrolls to the end of the rows shown. Answers false when every row is shown.
  bool LoadMore();
  // Whether rows after those shown remain to be read (a paged list cut at its page).
  bool HasMore() const { return hasMore_; }

  // --- State a front end renders.
  forms::Grid& Grid() { return *grid_; }
  const forms::Grid& Grid() const { return *grid_; }
  forms::SearchBox& SearchBox() { return *searchBox_; }
  forms::CheckBox& FilterCheck() { return *filterCheck_; }
  forms::Label& CountLabel() { return *countLabel_; }
  int TopRow() const { return topRow_; }
  // Range of the wheel hook: the integer part of (rows − 1) / scroll rate after each load; 0
  // without a rate.
  int WheelRange() const { return wheelRange_; }
  // Rows per wheel step: the shop's setting as a number (fractions count), 5 when 0 or empty.
  double ScrollRate() const { return scrollRate_; }
  // workFolder/selfbb/<class name>.txt; empty before Init.
  const std::filesystem::path& LayoutFile() const { return layoutFile_; }
  // The columns the incremental search runs over now.
  std::vector<int> SearchColumns() const;

 protected:
  // withScrollRate: whether Init reads the wheel scroll rate (the generic picker has none).
  PickerControl(std::string className, bool withScrollRate);

  // --- What each picker adds.
  // Columns, captions, hidden columns and look of the grid (called once by Init).
  virtual void SetupGrid(forms::Grid& grid) = 0;
  // The statement that lists the rows (may adjust the grid's captions from parameters).
  virtual db::Sql ListQuery() = 0;
  // Puts the rows of the list into the cut-back grid; by default field i fills column i.
  virtual void ShowRows(forms::Grid& grid, db::Recordset& records);
  // After the rows are in (focus, preselection).
  virtual void AfterLoad() {}
  // Sets Value, Text and Objects from the row, or the empty choice for a non-data row.
  virtual void Choose(int row) = 0;
  // The columns searched when the settings enable none: the first two visible columns.
  virtual std::vector<int> FallbackSearchColumns() const;
  // The column whose natural order (numbers as numbers) the loaded rows take; -1 keeps the
  // statement's order.
  virtual int NaturalOrderColumn() const { return -1; }
  // Rows one page of a paged list holds; 0 reads the whole list (ListQuery) at once.
  virtual int PageSize() const { return 0; }
  // A paged list's statement: its rows after the row whose list key is `after` (from the
  // first row when null), narrowed to those whose code or name starts with `typed` when given,
  // at most `limit` rows in list order. Rows fill the grid's columns field by field.
  virtual db::Sql PageQuery(const std::string* /*typed*/, const std::string* /*after*/,
                            int /*limit*/) {
    return {};
  }
  // The grid column holding the list key of a paged list (unique, the list's order).
  virtual int PageKeyColumn() const { return 0; }

  host::ISystem* System() const { return system_; }
  // A parameter's value, "" when the collection or the parameter is absent.
  std::string Parameter(std::string_view name) const;
  // The kept collection, or an empty one when the host handed in none.
  const host::Parameters& ParametersOrEmpty() const;
  // The critical box "错误：" with the description.
  void ShowError(const std::string& description);

  forms::Form form_;
  host::EventSource events_;
  std::string value_;
  std::string text_;
  host::PropertyBag objects_;

 private:
  class DesignFacet;

  void RunSearch();
  void ShowCount();
  void LoadRows(db::Recordset& records);
  // Reads a page of a paged list (narrowed to typed when given) in place of the rows shown;
  // false after the error box.
  bool LoadPage(const std::string* typed);
  // Appends rows [from, from + count) of the records to the grid.
  void AppendRows(db::Recordset& records, size_t count);
  void ResetSearchDefaults();

  std::string className_;
  bool withScrollRate_;
  host::ISystem* system_ = nullptr;
  host::ParametersPtr parameters_;
  std::unique_ptr<DesignFacet> design_;
  forms::Grid* grid_;
  forms::SearchBox* searchBox_;
  forms::CheckBox* filterCheck_;
  forms::Label* countLabel_;
  std::filesystem::path layoutFile_;
  double scrollRate_ = 0;
  int wheelRange_ = 0;
  int topRow_ = 0;
  // Paged lists: rows remain unread after those shown; the text the rows shown are narrowed
  // to (empty: the unnarrowed list); whether the unnarrowed list fits in one page, in which
  // case typing filters the rows in memory as for an unpaged list.
  bool hasMore_ = false;
  std::string narrowedTo_;
  bool wholeListShown_ = true;
};

}  // namespace ws::framework
