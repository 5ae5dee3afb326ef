#include "desk/program_tab.h"

#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>
#include <algorithm>
#include <optional>

#if __has_include(<malloc.h>)
#include <malloc.h>
#endif

#include "desk/desk_host.h"
#include "desk/field_editor.h"
#include "desk/form_view.h"
#include "forms/input.h"
#include "forms/text.h"
#include "grid/layout.h"
#include "host/document_control.h"
#include "masters/master_card.h"
#include "masters/master_list.h"
#include "platform/access_guard.h"
#include "repair_order/ws_s.h"
#include "reports/report_control.h"

namespace ws::desk {

namespace {

// The step of the rights a toolbar command takes; nothing for commands that only look.
std::optional<platform::Step> StepOf(ToolCommand command) {
  switch (command) {
    case ToolCommand::New:
    case ToolCommand::Edit:
    case ToolCommand::Save:
      return platform::Step::Change;
    case ToolCommand::Delete:
      return platform::Step::Delete;
    case ToolCommand::Check:
    case ToolCommand::UnCheck:
      return platform::Step::Check;
    default:
      return std::nullopt;
  }
}

// A report's rows are many small strings that glibc keeps for the process once freed, so a
// desktop that loaded a big report would hold its peak for the rest of the day.
void ReturnFreedMemory() {
#if defined(__GLIBC__)
  malloc_trim(0);
#endif
}

}  // namespace

ProgramTab* ProgramTab::Open(DeskHost& host, const platform::MenuEntry& entry, int64_t requestedId,
                             OpenMode mode, EventHandler onEvent, QString* error, QWidget* parent) {
  std::unique_ptr<host::IControl> control = host.Registry().Create(entry.className);
  if (!control) {
    if (error)
      *error =
          QObject::tr("程序 %1 (%2) 尚未提供")
              .arg(QString::fromStdString(entry.caption), QString::fromStdString(entry.className));
    return nullptr;
  }
  if (!control->AsFormUI() && !control->AsReportUI()) {
    if (error)
      *error = QObject::tr("%1 不是可以打开的窗口").arg(QString::fromStdString(entry.className));
    return nullptr;
  }
  auto* tab =
      new ProgramTab(host, entry, requestedId, std::move(control), std::move(onEvent), parent);
  if (host::IFormUI* form = tab->FormUI()) {
    form->DoGetFormStatus();
    tab->view_->Refresh();
    if (mode == OpenMode::New) {
      form->FileNew();
    } else {
      form->Refresh();
      if (mode == OpenMode::Edit) form->FileEdit();
    }
  } else if (host::IReportUI* report = tab->ReportUI()) {
    report->DoGetFormStatus(tab->ReportLayoutFile());
    // The month of the login date, not the whole history: at a million orders the unfiltered
    // list took seconds and gigabytes before the clerk could narrow it.
    if (auto* dated = dynamic_cast<reports::ReportControl*>(tab->control_.get())) {
      dated->ShowMonthOf(host.Login().loginDate);
    }
    report->Refresh();
    ReturnFreedMemory();
  }
  tab->AfterCommand();
  return tab;
}

ProgramTab::ProgramTab(DeskHost& host, platform::MenuEntry entry, int64_t requestedId,
                       std::unique_ptr<host::IControl> control, EventHandler onEvent,
                       QWidget* parent)
    : QWidget(parent),
      host_(host),
      entry_(std::move(entry)),
      requestedId_(requestedId),
      control_(std::move(control)),
      onEvent_(std::move(onEvent)) {
  setObjectName(QString::fromStdString(entry_.className));
  control_->Events().AttachSink(this);
  if (host::IFormUI* form = FormUI()) {
    form->Init(host_.System(), entry_.programNumber, requestedId_);
  } else if (host::IReportUI* report = ReportUI()) {
    report->Init(host_.System(), entry_.programNumber);
  }
  // The form exists once Init has built it: only now can it be rendered.
  // A form taller than the room a small screen leaves under the window manager's frame scrolls
  // (following the cursor) instead of pushing the window, its status bar and its notices off
  // the screen.
  auto* scroll = new QScrollArea(this);
  scroll->setWidgetResizable(true);
  scroll->setFrameShape(QFrame::NoFrame);
  view_ = new FormView(control_->Form(), scroll);
  scroll->setWidget(view_);
  connect(qApp, &QApplication::focusChanged, scroll, [scroll](QWidget*, QWidget* now) {
    if (now && scroll->widget() && scroll->widget()->isAncestorOf(now)) {
      scroll->ensureWidgetVisible(now, 0, 8);
    }
  });
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(scroll);
  if (entry_.className == "WS_S") AddFollowUpButtons();
  connect(view_, &FormView::InputDone, this, &ProgramTab::StateChanged);
  if (entry_.className == "WS_S")
    connect(view_, &FormView::InputDone, this, &ProgramTab::CheckOwner);
  connect(this, &ProgramTab::StateChanged, this, &ProgramTab::SyncFollowUpButtons);
  if (ReportUI()) {
    view_->SetEnterRunsQuery(true);
    connect(view_, &FormView::QueryRequested, this, [this] { Run(ToolCommand::Refresh); });
  }
}

void ProgramTab::AddFollowUpButtons() {
  // The order's next steps at the counter, each opening its document with this order chosen.
  auto* bar = new QWidget(this);
  auto* line = new QHBoxLayout(bar);
  line->setContentsMargins(0, 0, 12, 0);
  line->addWidget(new QLabel(tr("本单："), bar));
  for (const FollowUpInfo& followUp : FollowUps()) {
    auto* button = new QPushButton(tr("%1 %2").arg(tr(followUp.caption), followUp.shortcut), bar);
    button->setObjectName(QString("follow_") + followUp.className);
    button->setFocusPolicy(Qt::TabFocus);
    const std::string target = followUp.className;
    connect(button, &QPushButton::clicked, this, [this, target] { RequestFollowUp(target); });
    followButtons_.push_back(button);
    line->addWidget(button);
  }
  view_->AddHeaderWidget(bar);
}

bool ProgramTab::CanFollowUp() {
  host::IFormUI* form = shutDown_ || followButtons_.empty() ? nullptr : FormUI();
  return form && form->GetID() > 0 && !form->Editing();
}

bool ProgramTab::RequestFollowUp(const std::string& className) {
  if (!CanFollowUp()) return false;
  emit FollowOrder(className, FormUI()->GetID());
  return true;
}

void ProgramTab::SyncFollowUpButtons() {
  const bool shown = CanFollowUp();
  for (QPushButton* button : followButtons_) button->setEnabled(shown);
}

void ProgramTab::CheckOwner() {
  host::IFormUI* form = shutDown_ ? nullptr : FormUI();
  auto* owner = dynamic_cast<forms::Field*>(
      control_->Form().Find(repair_order::WS_S::kFieldArray, repair_order::WS_S::kOwner));
  if (!form || !owner || !form->Editing()) return;
  const std::string name = forms::Trim(owner->Text());
  // Only a name the owner's lookup refused; each name once, so leaving the field again, or a
  // 否, does not ask again.
  if (name.empty() || owner->Valid() || name == ownerOffered_) return;
  ownerOffered_ = name;
  emit OwnerUnknown(QString::fromStdString(name));
}

void ProgramTab::SetOwner(int64_t customerId, const std::string& name) {
  auto* owner = dynamic_cast<forms::Field*>(
      control_->Form().Find(repair_order::WS_S::kFieldArray, repair_order::WS_S::kOwner));
  if (shutDown_ || !owner) return;
  owner->SetValue(std::to_string(customerId), name);
  owner->MarkValid();
  // The clerk goes on with the order where the owner left off.
  if (auto* next =
          control_->Form().Find(repair_order::WS_S::kFieldArray, repair_order::WS_S::kPerson)) {
    control_->Form().SetFocus(next);
  }
  AfterCommand();
}

ProgramTab::~ProgramTab() {
  onEvent_ = nullptr;  // the window may be going too
  Shutdown();
  // The rendered widgets refer to the control's form: they go first.
  delete view_;
  view_ = nullptr;
}

std::string ProgramTab::ReportLayoutFile() const {
  return grid::LayoutPath(host_.System().GetLoginInfo().workFolder, entry_.className).string();
}

void ProgramTab::Shutdown() {
  if (shutDown_) return;
  shutDown_ = true;
  if (host::IFormUI* form = FormUI()) {
    form->DoSaveFormStatus();
    form->Clear();
  } else if (host::IReportUI* report = ReportUI()) {
    report->DoSaveFormStatus(ReportLayoutFile());
    report->Clear();
    ReturnFreedMemory();
  }
  control_->Events().AttachSink(nullptr);
}

void ProgramTab::OnEvent(const host::Event& event) {
  if ((event.name == "FormRefreshed" || event.name == "PositionCounted") && view_) {
    view_->ScheduleRefresh();
  }
  // The status bar and the form's own status line tell one story: a message the control sends
  // while it works (a report's new read taking back its old count) shows in both at once, and
  // an error box stands over the line that says the read failed, not over the old count.
  if ((event.name == "Message" || event.name == "ErrMessage") && view_) view_->SyncLabels();
  if (onEvent_) onEvent_(*this, event);
}

ProgramState ProgramTab::State() {
  ProgramState state;
  if (shutDown_) return state;
  if (host::IFormUI* form = FormUI()) {
    state.formUI = true;
    state.dirty = form->IsDirty();
    state.checked = form->CheckStatus("");
    // A card answers like every document but has nothing to check.
    state.checkable =
        form->Attributes(98) == "check" && !dynamic_cast<masters::MasterCard*>(control_.get());
    state.editing = form->Editing();
    platform::SystemObject& system = host_.System();
    // A list of imported rows changes nothing, whoever looks at it.
    const auto* list = dynamic_cast<masters::MasterList*>(control_.get());
    const bool imported = list && list->Description().ReadOnly();
    state.mayChange = system.Allows(entry_.programNumber, platform::Step::Change) && !imported;
    state.mayDelete = system.Allows(entry_.programNumber, platform::Step::Delete) && !imported;
    state.mayCheck = system.Allows(entry_.programNumber, platform::Step::Check);
  } else if (ReportUI()) {
    state.reportUI = true;
  }
  return state;
}

QString ProgramTab::Title() {
  QString title = QString::fromStdString(entry_.caption);
  if (!shutDown_ && FormUI() && FormUI()->IsDirty()) title += " *";
  return title;
}

void ProgramTab::AfterCommand() {
  view_->Refresh();
  if (!State().editing) {
    editBase_.clear();
  } else if (editBase_.empty()) {
    for (FieldEditor* editor : view_->Editors()) {
      editBase_.emplace_back(&editor->Widget(), editor->ShownText());
    }
  }
  SyncFollowUpButtons();
  emit StateChanged();
}

std::vector<ProgramTab::TypedChange> ProgramTab::TypedChanges() const {
  std::vector<TypedChange> changes;
  for (FieldEditor* editor : view_->Editors()) {
    const forms::Widget* widget = &editor->Widget();
    const std::string text = editor->ShownText();
    auto base = std::find_if(editBase_.begin(), editBase_.end(),
                             [widget](const auto& entry) { return entry.first == widget; });
    if (base == editBase_.end() || base->second == text) continue;
    changes.push_back({widget, forms::Trim(widget->Caption()), text});
  }
  return changes;
}

int ProgramTab::CopyTyped() const {
  const std::vector<TypedChange> changes = TypedChanges();
  if (changes.empty()) return 0;
  QString lines;
  for (const auto& change : changes) {
    lines += QString::fromStdString(change.caption + "：" + change.text + "\n");
  }
  QGuiApplication::clipboard()->setText(lines);
  return static_cast<int>(changes.size());
}

bool ProgramTab::ReloadKeepingTyped(host::IDialogs& dialogs) {
  host::IFormUI* form = FormUI();
  if (!form || !State().editing) return false;
  const std::vector<TypedChange> changes = TypedChanges();
  CopyTyped();
  std::string captions;
  for (const auto& change : changes) captions += (captions.empty() ? "" : "、") + change.caption;
  const std::string text = changes.empty() ? "重新读取已保存的单据？"
                                           : "重新读取已保存的单据，再填回您修改的 " +
                                                 std::to_string(changes.size()) + " 项（" +
                                                 captions + "）？\n您输入的内容已复制到剪贴板。";
  if (dialogs.Ask(text, entry_.caption, host::MsgButtons::YesNo, host::MsgIcon::Question,
                  host::MsgAnswer::No) != host::MsgAnswer::Yes) {
    return false;
  }
  const int64_t id = form->GetID();
  if (!form->FileCancel()) return false;
  form->Refresh();
  // The record shown after reading again is the one being edited, unless it is gone.
  if (form->GetID() != id || !form->FileEdit()) {
    AfterCommand();
    return false;
  }
  editBase_.clear();
  AfterCommand();
  for (const auto& change : changes) {
    forms::Input::Type(*const_cast<forms::Widget*>(change.widget), change.text);
  }
  AfterCommand();
  return true;
}

bool ProgramTab::Run(ToolCommand command) {
  if (shutDown_) return false;
  // The toolbar offers only what the account may do, but its rights are read afresh here: an
  // account stopped or demoted since the toolbar was drawn is refused at this step.
  if (auto step = StepOf(command);
      step && FormUI() && !host_.System().Permit(entry_.programNumber, *step)) {
    return false;
  }
  bool ok = false;
  if (host::IFormUI* f = FormUI()) {
    switch (command) {
      case ToolCommand::New:
        ok = f->FileNew();
        break;
      case ToolCommand::Edit:
        ok = f->FileEdit();
        break;
      case ToolCommand::Save:
        ok = f->FileSave();
        break;
      case ToolCommand::Cancel:
        ok = f->FileCancel();
        break;
      case ToolCommand::Delete:
        ok = f->FileDelete();
        break;
      case ToolCommand::Check:
      case ToolCommand::UnCheck:
        ok = command == ToolCommand::Check ? f->Check() : f->UnCheck();
        // Check and UnCheck only write the mark; the host shows the document again with it.
        if (ok) f->DoSetStatus("change", command == ToolCommand::Check);
        break;
      case ToolCommand::Find:
        ok = f->FindNext();
        break;
      case ToolCommand::Filter:
        ok = f->Filter(std::nullopt);
        break;
      case ToolCommand::Refresh:
        ok = f->Refresh();
        break;
      case ToolCommand::First:
        ok = f->RecordTop();
        break;
      case ToolCommand::Previous:
        ok = f->RecordPrevious();
        break;
      case ToolCommand::Next:
        ok = f->RecordNext();
        break;
      case ToolCommand::Last:
        ok = f->RecordBottom();
        break;
      case ToolCommand::Print:
        ok = f->DoPrint();
        break;
      case ToolCommand::Preview:
        ok = f->PrintPreview();
        break;
    }
  } else if (host::IReportUI* r = ReportUI()) {
    switch (command) {
      case ToolCommand::Find:
        ok = r->Find();
        break;
      case ToolCommand::Filter:
        ok = r->Filter();
        break;
      case ToolCommand::Refresh:
        ok = r->Refresh();
        ReturnFreedMemory();
        break;
      case ToolCommand::First:
        ok = r->RecordTop();
        break;
      case ToolCommand::Previous:
        ok = r->RecordPrevious();
        break;
      case ToolCommand::Next:
        ok = r->RecordNext();
        break;
      case ToolCommand::Last:
        ok = r->RecordBottom();
        break;
      case ToolCommand::Print:
        ok = r->DoPrint();
        break;
      case ToolCommand::Preview:
        ok = r->PrintPreview();
        break;
      default:
        break;  // a report neither enters nor checks documents
    }
  }
  AfterCommand();
  return ok;
}

bool ProgramTab::Find(const host::Conditions& conditions) {
  if (shutDown_ || !FormUI()) return false;
  bool ok = FormUI()->Find(conditions);
  AfterCommand();
  return ok;
}

bool ProgramTab::Filter(const host::Conditions& conditions) {
  if (shutDown_ || !FormUI()) return false;
  bool ok = FormUI()->Filter(conditions);
  AfterCommand();
  return ok;
}

std::string ProgramTab::PrintFileName() {
  if (shutDown_) return {};
  if (host::IFormUI* f = FormUI()) return f->ReturnPrintName();
  // A report names no print file to the host; the host reads the one the report wrote.
  if (auto* report = dynamic_cast<reports::ReportControl*>(control_.get())) {
    return report->PrintFileName();
  }
  if (host::IReportUI* r = ReportUI()) return r->ReturnPrintName();
  return {};
}

bool ProgramTab::MayClose(host::IDialogs& dialogs) {
  if (shutDown_) return true;
  // What is typed counts as a change to keep or drop; a text left unresolved keeps the tab.
  if (!view_->CommitPendingInput()) return false;
  ProgramState state = State();
  if (!state.dirty) return true;
  host::MsgAnswer answer =
      dialogs.MessageBox("「" + entry_.caption + "」有未保存的修改，是否保存？", entry_.caption,
                         host::MsgButtons::YesNoCancel, host::MsgIcon::Question);
  if (answer == host::MsgAnswer::Cancel) return false;
  if (answer == host::MsgAnswer::Yes) return Run(ToolCommand::Save);
  return true;
}

}  // namespace ws::desk
