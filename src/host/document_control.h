// The skeleton every document control shares (repair order, requisition, settlement, receipt,
// master cards): Init, navigation through the record navigator, Find/FindNext/Filter, the
// edit state, the dirty flag, DoSetStatus, Attributes and the design/tool interfaces. A document
// adds its form, its SELECT, how it shows and clears a record, and its save/check/delete.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "db/recordset.h"
#include "forms/form.h"
#include "host/conditions.h"
#include "host/events.h"
#include "host/navigator.h"
#include "host/system.h"
#include "host/ui.h"

namespace ws::host {

// Told when a save finds its row moved on since the window read it (another user's save,
// check or uncheck); one text for every document and card.
inline constexpr const char* kRowChangedText = "数据已被其他用户修改，请刷新后再保存！";

class DocumentControl : public IControl, public IFormUI, public IDesignUI, public IFormToolUI {
 public:
  explicit DocumentControl(std::string className);
  ~DocumentControl() override;

  // --- IControl
  std::string ClassName() const override { return className_; }
  forms::Form& Form() override { return form_; }
  EventSource& Events() override { return events_; }
  IFormUI* AsFormUI() override { return this; }
  IDesignUI* AsDesignUI() override { return this; }
  IFormToolUI* AsFormToolUI() override { return this; }

  // --- IFormUI: the shared behaviour; documents override what their own rules change.
  bool Init(ISystem& system, int64_t programNumber, int64_t requestedId) override;
  bool Clear() override;
  bool FileNew() override;
  bool FileNewNext() override { return false; }
  bool FileEdit() override;
  bool FileDelete() override { return false; }
  bool FileSave() override { return false; }
  bool FileCancel() override;
  bool Find(const Conditions& conditions) override;
  bool FindNext() override;
  bool Filter(const Conditions& conditions) override;
  bool Refresh() override { return LoadList(kNavLast); }
  bool RecordTop() override { return LoadList(kNavFirst); }
  bool RecordPrevious() override { return LoadList(kNavPrevious); }
  bool RecordNext() override { return LoadList(kNavNext); }
  bool RecordBottom() override { return LoadList(kNavLast); }
  bool Check() override { return false; }
  bool UnCheck() override { return false; }
  bool PrintPreview() override { return DoPrint(); }
  bool DoPrint() override { return false; }
  bool PrintSetup() override { return DoPrint(); }
  bool Help() override { return false; }
  bool DoSetStatus(const std::string& statusWord, bool stamp) override;
  int64_t GetID() override { return currentId_; }
  bool CheckStatus(const std::string& ignored) override;
  std::string ReturnPrintName() override { return printFile_; }
  bool IsDirty() override { return dirty_; }
  void DoGetFormStatus() override;
  void DoSaveFormStatus() override;
  std::string Attributes(int64_t attribute) override { return attribute == 98 ? "check" : ""; }

  // --- IDesignUI
  forms::Form& Controls() override { return form_; }
  void SetParameters(ParametersPtr parameters) override;
  ParametersPtr GetParameters() override { return nullptr; }

  // --- IFormToolUI
  bool Tools() override { return false; }
  bool Action(const std::string& name) override;

  // --- State a host or test may read.
  bool Editing() const override { return editing_; }
  int64_t ProgramNumber() const { return programNumber_; }
  int64_t RequestedId() const { return requestedId_; }
  int64_t LastLoadedId() const { return lastLoadedId_; }
  // The row version the shown record was read with (-1 when its select carries none): a save
  // refuses the row once another user's save, check or delete has moved it on.
  int64_t ShownRowVersion() const { return shownRowVersion_; }
  const std::string& BaseCondition() const { return baseCondition_; }
  const std::string& FilterCondition() const { return filterCondition_; }
  const std::string& FindCondition() const { return findCondition_; }
  int64_t ClosingPeriod() const { return closingPeriod_; }
  int64_t CurrentPeriodParameter() const { return parameter1_; }
  const std::string& ReceivablesAccount() const { return receivablesAccount_; }
  bool GoodsMessageEdit() const { return goodsMessageEdit_; }

  // Widgets every document has.
  static constexpr const char* kCaptionLabel = "lblTitle";
  static constexpr const char* kRecordLabel = "lblRecord";
  static constexpr const char* kCheckedStamp = "imgCheck";
  // The requisition names its stamp so.
  static constexpr const char* kSucceedStamp = "Lab_Succeed";
  // Whether a widget of that name is a document's checked stamp (front ends style it).
  static bool IsCheckedStamp(const std::string& name) {
    return name == kCheckedStamp || name == kSucceedStamp;
  }
  static constexpr const char* kFilterLabel = "LabFilter";

 protected:
  // --- What each document supplies.
  // Builds the document's own widgets (Init step 8).
  virtual void SetupForm() = 0;
  // The SELECT the navigator runs for loads, and for searches.
  virtual std::string BaseSelect() const = 0;
  virtual std::string SearchSelect() const { return BaseSelect(); }
  // The document's list window, appended to "progid=N" when no document was requested
  // (framework::ListWindow). Empty for no window.
  virtual std::string ListWindow() { return {}; }
  virtual std::string KeyColumn() const { return "单据ID"; }
  // The name of the checked stamp label.
  virtual const char* CheckedStampName() const { return kCheckedStamp; }
  // Reads the positioned row into the form.
  virtual void ShowRecord(const db::Recordset& records, const std::string& position) = 0;
  // Empties the form.
  virtual void ClearForm() = 0;
  // New-document defaults after the form was cleared (number, dates, user, focus).
  virtual void OnFileNew() {}
  // The "Js" tool action.
  virtual void OnJsAction() {}
  // Tags of reported failures and the title of events and message boxes.
  virtual std::string LoadTag() const { return "-->LoadData::"; }
  virtual std::string FindTag() const { return "-->FindData::"; }
  virtual std::string Title() const;

  // --- Shared procedures.
  // Rebuilds the base condition, moves through the navigator and shows the row.
  bool LoadList(int mode);
  // Searches with a condition; a silent search that finds nothing leaves the form as it is.
  // `found` (when given) tells whether a document met the condition.
  bool SearchList(const std::string& condition, bool silent, bool* found = nullptr);
  // Rebuilds "progid=N" + window or requested id + filter; shows or hides the filter label.
  // Tables without a program column (the master cards) build their own.
  virtual std::string BuildBaseCondition();
  // The condition text of Find and Filter; documents quote dates by the dialect.
  virtual std::string ConditionText(const std::vector<Condition>& conditions) const;
  // Locks or unlocks the widgets by type, then forces the always-read-only fields.
  void SetEditState(bool editable);
  void SetDirty(bool dirty) { dirty_ = dirty; }
  void SetRecordLabel(const std::string& text);
  void SetCheckedStamp(bool visible);
  // Current id / last loaded id bookkeeping for ShowRecord and ClearForm.
  void SetCurrentId(int64_t id) { currentId_ = id; }
  // A record was read into the form: it is the current one and the one Cancel goes back to.
  void MarkShown(int64_t id) { currentId_ = lastLoadedId_ = id; }
  // The window changed its own row (a check) and still shows it as it is.
  void NoteRowVersion(int64_t version) { shownRowVersion_ = version; }
  // The form no longer shows a record. Cancel keeps going back to the last record shown, however
  // often the form is cleared in between (New pressed twice).
  void ForgetShown() {
    if (currentId_ > 0) lastLoadedId_ = currentId_;
    currentId_ = 0;
  }
  void SetPrintFile(std::string path) { printFile_ = std::move(path); }
  // A save that created the document the host asked for replaces the requested id, so the
  // list (one requested document) holds the new one.
  void SetRequestedId(int64_t id) { requestedId_ = id; }
  int64_t CurrentId() const { return currentId_; }

  // Runs `body` inside the error guard: an exception is reported as ErrMessage with
  // tag + description, level 8, and the guard answers `onFailure`.
  bool Guarded(const std::string& tag, const std::function<bool()>& body, bool onFailure = false);
  void ReportError(const std::string& text) const;

  ISystem& System() const;
  bool HasSystem() const { return system_ != nullptr; }
  INavigator& Navigator() const;
  db::IDatabase& Database() const { return System().GetDatabase(); }
  std::string Driver() const { return Database().Settings("driver"); }
  LoginInfo Login() const { return System().GetLoginInfo(); }
  MsgAnswer Ask(const std::string& text, const std::string& title, MsgButtons buttons,
                MsgIcon icon) const;

  forms::Form form_;
  EventSource events_;

 private:
  // Notes the row's version, then ShowRecord.
  void ShowRow(const db::Recordset& records, const std::string& position);

  std::string className_;
  ISystem* system_ = nullptr;
  std::unique_ptr<INavigator> navigator_;
  ParametersPtr parameters_;
  int64_t programNumber_ = 0;
  int64_t requestedId_ = 0;
  int64_t currentId_ = 0;
  int64_t lastLoadedId_ = 0;
  int64_t shownRowVersion_ = -1;
  std::string baseCondition_;
  std::string filterCondition_;
  std::string findCondition_;
  std::string printFile_;
  int64_t closingPeriod_ = 0;
  int64_t parameter1_ = 0;
  std::string receivablesAccount_;
  bool goodsMessageEdit_ = false;
  bool dirty_ = false;
  bool editing_ = false;
};

}  // namespace ws::host
