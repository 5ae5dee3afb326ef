// One open program in a tab of the main window: the control created by its class name through
// the registry and initialised with the system object, its program number and the requested
// document; the rendered form; the toolbar commands turned into the control's interface calls
// (IFormUI for documents, cards and lists, IReportUI for reports). The control's events go to
// the host's handler; FormRefreshed and every command refresh the rendered form.
//
// Opening reads the window's layout (DoGetFormStatus) and loads the first view (Refresh, or
// FileNew for a card asked to make a new row); closing writes the layout (DoSaveFormStatus)
// and releases the control (Clear).
#pragma once

#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "desk/tool_commands.h"
#include "forms/widget.h"
#include "host/dialogs.h"
#include "host/events.h"
#include "host/ui.h"
#include "platform/menu_model.h"

class QPushButton;
class QVBoxLayout;

namespace ws::desk {

class DeskHost;
class FormView;

// How a program is opened: the EditForm types of the master lists (0 double click, 1 new,
// 2 edit) and plain browsing from the menu.
enum class OpenMode { Browse, New, Edit };

class ProgramTab : public QWidget, private host::IEventSink {
  Q_OBJECT

 public:
  using EventHandler = std::function<void(ProgramTab& tab, const host::Event& event)>;

  // Creates and opens the program; nullptr with the reason in *error when its class is not
  // registered or is no form or report.
  static ProgramTab* Open(DeskHost& host, const platform::MenuEntry& entry, int64_t requestedId,
                          OpenMode mode, EventHandler onEvent, QString* error,
                          QWidget* parent = nullptr);
  ~ProgramTab() override;

  const platform::MenuEntry& Entry() const { return entry_; }
  int64_t RequestedId() const { return requestedId_; }
  host::IControl& Control() { return *control_; }
  host::IFormUI* FormUI() { return control_->AsFormUI(); }
  host::IReportUI* ReportUI() { return control_->AsReportUI(); }
  FormView& View() { return *view_; }

  ProgramState State();
  // The caption, with " *" while there are unsaved changes.
  QString Title();
  // Runs a toolbar command (Find and Filter without conditions); answers the control's answer.
  bool Run(ToolCommand command);
  bool Find(const host::Conditions& conditions);
  bool Filter(const host::Conditions& conditions);
  // The print file of the last DoPrint / PrintPreview.
  std::string PrintFileName();
  // Whether the tab may close: with unsaved changes the user is asked to save them (Yes
  // saves, and a failed save keeps the tab), to drop them (No) or to stay (Cancel).
  bool MayClose(host::IDialogs& dialogs);
  // Writes the layout and releases the control; later calls do nothing.
  void Shutdown();
  // Shows the control's state again after anything called it: form, buttons, toolbar.
  void AfterCommand();
  // Whether the tab shows a saved repair order a next document can follow; asking for one
  // emits FollowOrder (false when it cannot).
  // What the clerk changed in the fields since New or Edit: caption and text as shown.
  struct TypedChange {
    const forms::Widget* widget;
    std::string caption;
    std::string text;
  };
  std::vector<TypedChange> TypedChanges() const;
  // Puts the changes on the clipboard, one "caption：text" a line; answers how many.
  int CopyTyped() const;
  // 刷新 while editing (after another desk saved the record first): the changes go to the
  // clipboard, and on 是 the saved version is read again, editing starts anew and the changed
  // fields get the clerk's text back. Lines are not re-applied.
  bool ReloadKeepingTyped(host::IDialogs& dialogs);
  bool CanFollowUp();
  bool RequestFollowUp(const std::string& className);
  // A repair order's owner set to a customer chosen elsewhere (a walk-in's new card): key and
  // name, as the owner's picker would set them.
  void SetOwner(int64_t customerId, const std::string& name);

 signals:
  // After a command or an input: the toolbar and the title may change.
  void StateChanged();
  // A repair order's owner was left with a name no customer has: a walk-in, whom the host may
  // offer to make a customer of. Told once for each name typed.
  void OwnerUnknown(const QString& name);
  // The clerk asks for the next document of the repair order shown (its class and the order).
  void FollowOrder(const std::string& className, int64_t orderId);

 private:
  ProgramTab(DeskHost& host, platform::MenuEntry entry, int64_t requestedId,
             std::unique_ptr<host::IControl> control, EventHandler onEvent, QWidget* parent);
  void OnEvent(const host::Event& event) override;
  void AddFollowUpButtons();
  void SyncFollowUpButtons();
  std::string ReportLayoutFile() const;
  // After an input in a repair order: whether its owner names no customer.
  void CheckOwner();

  DeskHost& host_;
  platform::MenuEntry entry_;
  int64_t requestedId_;
  std::unique_ptr<host::IControl> control_;
  EventHandler onEvent_;
  FormView* view_ = nullptr;
  bool shutDown_ = false;
  std::vector<QPushButton*> followButtons_;
  std::string ownerOffered_;  // the unknown owner name last told
  // The fields' texts when editing began; empty while not editing.
  std::vector<std::pair<const forms::Widget*, std::string>> editBase_;
};

}  // namespace ws::desk
