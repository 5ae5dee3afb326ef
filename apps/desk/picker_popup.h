// The drop-down of a picker control: the picker's form (its grid, incremental search box and
// filter check box) drawn by the generic renderer in a popup below the field being edited.
// Typing narrows the list (the picker's count follows as "n / N"), Up and Down move through the
// rows that are left, Enter or a double click chooses (the
// picker raises DoSelect and the popup reads GetValue, GetText and Objects), Escape or a click
// elsewhere cancels. A host command's key cancels too, and the command runs after the popup.
// A paged picker (the vehicles) reads its next page when the user scrolls or moves down past
// the rows shown.
#pragma once

#include <QDialog>
#include <QPointer>
#include <string>

#include "host/events.h"
#include "host/system.h"
#include "host/ui.h"

class QAction;

namespace ws::desk {

class FormView;

class PickerPopup : public QDialog, private host::IEventSink {
  Q_OBJECT

 public:
  // The picker must be initialised (Init, parameters); the popup loads its list, puts the text
  // into its search box and listens to its events while it lives.
  PickerPopup(host::IControl& picker, const std::string& text, QWidget* parent = nullptr);
  ~PickerPopup() override;

  // Shows the popup below the anchor until the user chooses or cancels.
  static host::PickResult Run(host::IControl& picker, const std::string& text, QWidget* anchor);

  FormView& View() { return *view_; }
  const host::PickResult& Result() const { return result_; }
  // Places the popup below the anchor, inside its screen.
  void PlaceBelow(QWidget* anchor);
  // Cancels the popup for a host command; Run triggers the action once the popup is closed.
  void CloseForCommand(QAction* action);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void OnEvent(const host::Event& event) override;
  void ChooseCurrent();
  void MoveCurrent(int direction);
  // The next page of a paged picker into the view; false when there is none.
  bool LoadMore();

  host::IControl& picker_;
  host::IEventSink* previousSink_;
  FormView* view_;
  host::PickResult result_;
  QPointer<QAction> command_;
};

}  // namespace ws::desk
