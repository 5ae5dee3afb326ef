// The master lists (vehicles, repair items, repair categories): a read-only grid of a whole
// master table with an incremental search box, a right-click menu and the host toolbar. A list
// never edits a row: new and edit are handed to the host with EditForm (which opens the card of
// the description's program number); only deletion happens here. One implementation, told
// apart by its description. A list of what only `ws import` brings (opening stock, settlement
// methods, ledger accounts) has no card and refuses new, edit and delete.
//
// Events, in declared order: Message(psMsg), ErrMessage(psMsg, plLevel, psTitle),
// FormRefreshed, VsMouseDown(Button, Shift, X, Y), EditForm(ProgID, innerID, pcParameter,
// plType). EditForm's pcParameter is always Null (the host's "Nothing"); plType is 1 for new,
// 2 for edit and 0 for a double click.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "forms/form.h"
#include "host/system.h"
#include "host/ui.h"

namespace ws::masters {

struct MasterListDescription {
  std::string className;   // "PDM_cl"
  std::string title;       // title of every ErrMessage
  std::string select;      // the load query, as the grid shows it from column 1 on
  std::string gridFormat;  // host format string; column 0 is the row number
  int idColumn = 0;        // hidden column holding the row's key
  std::vector<int> searchColumns;
  int questionColumn = 0;            // shown in the delete question
  int64_t cardProgram = 0;           // program number of the card EditForm asks for
  std::string usageQuery = {};       // + id: a positive first value means the row is in use
  std::string inUseText = {};        // refusal when it is
  std::string deleteStatement = {};  // + id
  std::string deletedText = {};      // + id: the success notice
  std::string menuNew = {}, menuEdit = {}, menuDelete = {};
  // A column holding a VIN: the grid's last column shows why it fails (framework/vin.h), and the
  // menu offers to list only the rows that fail. 0 for none.
  int vinColumn = 0;
  // + id: run in the same transaction after deleteStatement (the settlement side's copy of a
  // customer); empty for none.
  std::string mirrorDeleteStatement = {};
  // Grid columns of numbers (prices, stock, days), right-aligned as a clerk reads them.
  std::vector<int> numberColumns = {};
  // Grid columns of money, right-aligned and shown in the shop's amount decimals.
  std::vector<int> amountColumns = {};
  // Set for a list of rows only `ws import` brings: the list refuses every change with it as its
  // message, offers no menu and says it after the row count.
  std::string readOnlyHint = {};
  bool ReadOnly() const { return !readOnlyHint.empty(); }
};

class MasterList : public host::IControl, public host::IFormUI, public host::IDesignUI {
 public:
  // The description must outlive the list (the descriptions of the module are static).
  explicit MasterList(const MasterListDescription& description);

  // Widget names.
  static constexpr const char* kGrid = "Vs";
  static constexpr const char* kCountLabel = "LblCount";
  static constexpr const char* kSearchBox = "SearchBox1";
  static constexpr const char* kFilterMode = "ChkFind";
  static constexpr const char* kMenu = "m_cMenu";
  static constexpr const char* kSearchHint = "提示：按回车键选择完毕！";
  static constexpr const char* kVinFaultsOnly = "只看车架号有误的车辆";
  static constexpr const char* kVinFaultsAll = "显示全部车辆";

  // --- IControl
  std::string ClassName() const override { return description_.className; }
  forms::Form& Form() override { return form_; }
  host::EventSource& Events() override { return events_; }
  host::IFormUI* AsFormUI() override { return this; }
  host::IDesignUI* AsDesignUI() override { return this; }

  // --- IFormUI
  // Keeps the system and the requested id, reads the wheel scroll rate and binds the search
  // box to the grid. Loads nothing.
  bool Init(host::ISystem& system, int64_t programNumber, int64_t requestedId) override;
  bool Clear() override;
  // EditForm(card, 0, Null, 1); a read-only list answers false with its hint.
  bool FileNew() override;
  bool FileNewNext() override { return false; }
  // EditForm(card, id, Null, 2) when the current row has an id above 0; else false, nothing.
  bool FileEdit() override;
  // Deletes the current row's record (usage test, Yes/No question); true only on success.
  bool FileDelete() override;
  bool FileSave() override { return false; }
  bool FileCancel() override { return true; }
  bool Find(const host::Conditions&) override { return true; }
  bool FindNext() override { return true; }
  bool Filter(const host::Conditions&) override { return false; }
  // Loads the whole list, then FormRefreshed; a failure is reported, the answer stays true.
  bool Refresh() override;
  // Move the grid's current row; always true.
  bool RecordTop() override;
  bool RecordPrevious() override;
  bool RecordNext() override;
  bool RecordBottom() override;
  bool Check() override { return false; }
  bool UnCheck() override { return false; }
  // A list has no print: Message "暂无打印功能!" and false.
  bool PrintPreview() override { return NoPrint(); }
  bool DoPrint() override { return NoPrint(); }
  bool PrintSetup() override { return NoPrint(); }
  bool Help() override { return false; }
  bool DoSetStatus(const std::string&, bool) override { return false; }
  int64_t GetID() override { return requestedId_; }
  bool CheckStatus(const std::string&) override { return false; }
  std::string ReturnPrintName() override { return {}; }
  bool IsDirty() override { return false; }
  // The layout file "selfbb/<class name>.txt" under the work folder: loading restores column
  // widths, hidden columns, field values and the search settings; saving writes everything.
  // A file that cannot be read or written is reported with ErrMessage.
  void DoGetFormStatus() override;
  void DoSaveFormStatus() override;
  std::string Attributes(int64_t) override { return {}; }

  // --- IDesignUI
  forms::Form& Controls() override { return form_; }
  void SetParameters(host::ParametersPtr parameters) override;
  host::ParametersPtr GetParameters() override { return nullptr; }

  // --- For the host and tests.
  forms::Grid& Grid() const { return *grid_; }
  // The key in the id column of the current row; 0 when there is no current data row.
  int64_t CurrentRowId() const;
  // The wheel: rows per notch (option "mouseeventscrollrate" of module 12, 5 when unset), the
  // range of the wheel hook after a load, and the top row for a hook position.
  double ScrollRate() const { return scrollRate_; }
  int WheelRange() const { return wheelRange_; }
  int WheelTopRow(int position) const;
  const MasterListDescription& Description() const { return description_; }
  // Whether the list holds only the rows whose VIN fails; a change reloads the list.
  bool VinFaultsOnly() const { return vinFaultsOnly_; }
  void SetVinFaultsOnly(bool on);

 private:
  void BuildForm();
  void Load();
  bool Delete();
  void Search();
  void BuildMenu();
  void OnMenuItem(const std::string& key);
  void RaiseEditForm(int64_t id, int plType);
  bool NoPrint();
  // A read-only list's answer to new, edit and delete: its hint as the message, and true.
  bool RefuseChange();
  bool MoveTo(int row);
  host::ISystem& System() const;
  // Runs a layout load or save on this list's layout file; a failure of the file is reported.
  void RunLayout(const std::string& tag,
                 const std::function<std::string(const std::filesystem::path&)>& body);

  const MasterListDescription& description_;
  forms::Form form_;
  host::EventSource events_;
  forms::Grid* grid_ = nullptr;
  forms::Label* countLabel_ = nullptr;
  forms::SearchBox* searchBox_ = nullptr;
  forms::CheckBox* filterMode_ = nullptr;
  forms::PopupMenu* menu_ = nullptr;
  host::ISystem* system_ = nullptr;
  host::ParametersPtr parameters_;
  int64_t requestedId_ = 0;
  double scrollRate_ = 5;
  int wheelRange_ = 0;
  bool vinFaultsOnly_ = false;
};

}  // namespace ws::masters
