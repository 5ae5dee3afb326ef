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

#include <vector>

#include "host/dialogs.h"
#include "host/events.h"
#include "host/system.h"
#include "host/ui.h"

class QAction;

namespace ws::desk {

class FormView;

// A text typed into a lookup field or a code cell on its way to the control. The editor asks
// the control for the field's picker while the lookup is active, and the desk resolves the
// text itself instead of letting the picker's first row stand for it: a text that names
// exactly one row (the row's code, plate or name, or the only row it starts) takes it; one
// that starts several rows opens the list narrowed to them; a plate that names no vehicle
// asks whether it is a new one.
struct TypedLookup {
  // Passed: the picker offers earlier texts (free text), the editor hands the text over.
  // Chosen: a row was taken. Kept: nothing was taken, the text stays in the editor.
  // Unmatched: no row answers it; the editor hands it over for the control to judge.
  enum class Outcome { NotAsked, Passed, Chosen, Kept, Unmatched };
  std::string typed;
  // F2 or the drop button: the list is shown whatever the text matches.
  bool list = false;
  Outcome outcome = Outcome::NotAsked;

  // The lookup the picker handler answers while the scope lives, if any.
  static TypedLookup* Active();
  class Scope {
   public:
    explicit Scope(TypedLookup& lookup);
    ~Scope();
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;

   private:
    TypedLookup* previous_;
  };
};

class PickerPopup : public QDialog, private host::IEventSink {
  Q_OBJECT

 public:
  // The picker must be initialised (Init, parameters); the popup loads its list, puts the text
  // into its search box and listens to its events while it lives.
  PickerPopup(host::IControl& picker, const std::string& text, QWidget* parent = nullptr);
  ~PickerPopup() override;

  // Shows the popup below the anchor until the user chooses or cancels.
  static host::PickResult Run(host::IControl& picker, const std::string& text, QWidget* anchor);
  // Resolves a typed text as TypedLookup tells; dialogs ask the new-vehicle question.
  static host::PickResult Resolve(host::IControl& picker, TypedLookup& lookup, QWidget* anchor,
                                  host::IDialogs& dialogs);

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
  // The data rows the search left visible, and those of them with a searched cell equal to the
  // text (letters in any case).
  struct Matches {
    std::vector<int> shown;
    std::vector<int> exact;
  };
  Matches MatchesOf(const std::string& typed) const;
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
