// The editor of one text-taking widget of a headless form: a field (ywTxt_S: text, number,
// date or lookup), a text box, a combo box or a date editor. What the user typed reaches the
// control when they press Enter or leave the editor (forms::Input::Type: the control's change
// and leave handlers run, a lookup resolves its text). A lookup field has a drop-down button
// and F2 for its picker (forms::Input::Picker); a date has a calendar button. An invalid field
// shows a red frame with its hint as tooltip; a locked one is read-only and greyed.
#pragma once

#include <QLineEdit>
#include <QWidget>

#include "forms/field.h"
#include "forms/widget.h"

class QComboBox;
class QToolButton;

namespace ws::desk {

class FieldEditor : public QWidget {
  Q_OBJECT

 public:
  // widget must be a forms::Field or forms::TextBox (combo boxes and date editors included)
  // and outlive the editor.
  explicit FieldEditor(forms::Widget& widget, QWidget* parent = nullptr);

  forms::Widget& Widget() const { return widget_; }
  // The line the user types into (a combo box's own line edit).
  QLineEdit* Line() const { return line_; }
  QToolButton* DropButton() const { return button_; }
  // Re-reads text, lock, validity and visibility from the model. The text the user is in the
  // middle of typing is left alone.
  void Sync();
  // Hands the typed text to the control when it differs from the model's. A lookup's text goes
  // through its picker first (TypedLookup): false when nothing was taken and the text stays
  // in the editor for the clerk to mend.
  bool Commit();
  // Hands a figure over as it is typed, whenever the text so far is a complete number, and
  // keeps the line as the clerk types it (a chooser's amount spread over the rows at once).
  void CommitWhileTyping();
  // Whether typed text waits to be handed over.
  bool Pending() const;
  // Forgets typed text not handed over (the entry was dropped) and shows the model's again.
  void DropTyped();
  // What the clerk reads in the editor: the typed text while it waits, else the model's.
  std::string ShownText() const;
  // The lookup's picker, narrowed to the text being typed (not handed over first, so that
  // part of a code is not taken for the row it starts).
  void RequestPicker();
  // Shows the calendar of a date editor.
  void ShowCalendar();

 signals:
  void InputDone(const QString& refusal);
  // Enter was pressed (after the commit): the form moves on to the next editor.
  void EnterPressed();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  std::string ModelText() const;
  bool IsDate() const;
  bool IsNumber() const;
  bool IsLookup() const;
  // Asks the control for the picker while the typed text is the active lookup.
  int Lookup(const std::string& typed, bool list);
  void KeepTyped(const std::string& typed);

  forms::Widget& widget_;
  QLineEdit* line_ = nullptr;
  QComboBox* combo_ = nullptr;
  QToolButton* button_ = nullptr;
  QString style_;
  bool resolving_ = false;  // the picker or a question has the keyboard
};

}  // namespace ws::desk
