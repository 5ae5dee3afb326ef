// The one renderer of the module's headless forms. It builds Qt widgets for a forms::Form once
// (after the control's Init built the form) with a simple automatic layout, and afterwards only
// re-reads the model: Refresh after every operation.
//
// Layout: the title, record, checked-stamp and filter labels in a header line; the fields the
// control placed in groups as captioned group boxes side by side (PlanGroups), in the visual
// order the control gave, which Tab and Enter follow too; the other text-taking widgets as
// caption + editor, three to a row (two on a card, packed at the top); a line of search boxes,
// check boxes and buttons; a line of the other labels; option buttons of the form itself as tabs
// over the grids and frames, which take the remaining height; the compact group (who entered
// and checked) as one line at the bottom. A widget whose Container() names a frame of the form
// is laid out inside that frame by the same rules; a frame left empty by the groups is dropped.
//
// Every user input goes through forms::Input; afterwards the view refreshes itself and emits
// InputDone, so the host can refresh its toolbar.
#pragma once

#include <QWidget>
#include <map>
#include <string>
#include <vector>

#include "forms/form.h"

class QAbstractButton;
class QBoxLayout;
class QGridLayout;
class QTabBar;
class QLabel;
class QLineEdit;

namespace ws::desk {

class FieldEditor;
class GridView;

class FormView : public QWidget {
  Q_OBJECT

 public:
  // The form must outlive the view.
  explicit FormView(forms::Form& form, QWidget* parent = nullptr);
  // Editors losing the focus while they are destroyed hand nothing to the control.
  ~FormView() override;

  forms::Form& Form() const { return form_; }
  // Re-reads every widget from the model; moves the input focus where the control put it.
  void Refresh();
  // Refreshes once the current event is handled (several inputs in one event refresh once).
  void ScheduleRefresh();
  // Re-reads the labels only: cheap enough while the control is still at work (a long read),
  // when the grids must be left alone.
  void SyncLabels();
  // Hands over what is typed but not yet entered in the field or cell editor that has the
  // focus, as leaving it would. False when a field kept its text for the clerk to mend (its
  // picker was left without a choice): a save must not go on without it.
  bool CommitPendingInput();
  // Whether the editor with the focus holds text not handed over yet (a field's typed text, an
  // open cell editor): a change to keep or drop, which a question about dropping must not
  // resolve first.
  bool HasPendingInput() const;
  // Forgets what the field editors hold typed but not handed over: the entry was dropped.
  void DropPendingInput();

  // The Qt widget rendering a model widget; nullptr when it has none.
  QWidget* QtWidgetOf(const forms::Widget& widget) const;
  FieldEditor* EditorOf(const forms::Widget& widget) const;
  const std::vector<FieldEditor*>& Editors() const { return editors_; }
  GridView* GridViewOf(const forms::Widget& grid) const;
  // Every grid view, in form order.
  const std::vector<GridView*>& GridViews() const { return gridViews_; }
  // The first visible grid view, nullptr when none.
  GridView* FirstVisibleGrid() const;
  // Puts a widget of the host's into the title line, right of the title.
  void AddHeaderWidget(QWidget* widget);
  // A report's fields are its query: Enter in any of them asks for the rows (QueryRequested)
  // instead of moving on.
  void SetEnterRunsQuery(bool on) { enterRunsQuery_ = on; }

 protected:
  void showEvent(QShowEvent* event) override;

 signals:
  // A user input reached the control; refusal says why it was refused, empty when accepted.
  void InputDone(const QString& refusal);
  // Enter in a search box.
  void SearchEntered();
  // Enter in a field of a form whose fields are a query.
  void QueryRequested();

 private:
  struct Binding {
    forms::Widget* model;
    QWidget* widget;
  };

  struct TabBinding {
    QTabBar* bar;
    std::vector<forms::Widget*> options;
  };

  // Fields the control placed in groups are laid out by group, wherever their container.
  static bool IsGrouped(const forms::Widget& w);
  bool HasUngroupedChildren(const std::string& frame) const;
  bool HoldsGrid(const std::string& frame) const;
  void BuildGroups(QBoxLayout* layout);
  QString GroupCaption(const std::string& group, const std::vector<forms::Widget*>& members) const;
  void AddCompactLine(QBoxLayout* layout);
  void AddTextRow(QGridLayout* grid, forms::Widget& w, int row, int col);
  void Build(QBoxLayout* layout, const std::string& container);
  QWidget* MakeTabBar(const std::vector<forms::Widget*>& options);
  void SyncTabs();
  void AddHeader(QBoxLayout* layout);
  QWidget* MakeButton(forms::Widget& widget);
  QWidget* MakeSearchBox(forms::SearchBox& box);
  QWidget* MakeLabel(forms::Label& label);
  void Bind(forms::Widget& model, QWidget* widget);
  void AfterInput(const QString& refusal);
  void SyncOne(const Binding& binding);
  // Moves the cursor where the control last asked for it, once per request.
  void ApplyFocus();
  void FocusNextEditor(FieldEditor* from);

  forms::Form& form_;
  std::vector<Binding> bindings_;
  std::map<const forms::Widget*, QWidget*> byModel_;
  std::vector<FieldEditor*> editors_;
  std::vector<GridView*> gridViews_;
  std::vector<TabBinding> tabBars_;
  QBoxLayout* header_ = nullptr;
  std::vector<forms::Widget*> compact_;
  bool syncingTabs_ = false;
  bool enterRunsQuery_ = false;
  bool searchFocused_ = false;
  uint64_t focusRequests_ = 0;
  bool refreshPending_ = false;
};

// Whether a label is one of the document header's own (title, record, stamp, filter).
bool IsHeaderLabel(const std::string& name);

}  // namespace ws::desk
