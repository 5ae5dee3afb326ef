#include "host/document_control.h"

#include <exception>
#include <stdexcept>

#include "db/catalogue.h"
#include "db/runner.h"
#include "db/sql.h"
#include "db/value.h"
#include "grid/layout.h"
#include "host/app.h"

namespace ws::host {

DocumentControl::DocumentControl(std::string className)
    : form_(className), className_(std::move(className)) {}

DocumentControl::~DocumentControl() = default;

std::string DocumentControl::Title() const {
  return kAppTitle;
}

ISystem& DocumentControl::System() const {
  if (!system_) throw std::logic_error(className_ + " is not initialised");
  return *system_;
}

INavigator& DocumentControl::Navigator() const {
  if (!navigator_) throw std::logic_error(className_ + " has no record navigator");
  return *navigator_;
}

void DocumentControl::ReportError(const std::string& text) const {
  events_.ErrMessage(text, kLevelFailure, Title());
}

bool DocumentControl::Guarded(const std::string& tag, const std::function<bool()>& body,
                              bool onFailure) {
  try {
    return body();
  } catch (const std::exception& e) {
    ReportError(tag + e.what());
  } catch (...) {
    ReportError(tag + "unknown failure");
  }
  return onFailure;
}

MsgAnswer DocumentControl::Ask(const std::string& text, const std::string& title,
                               MsgButtons buttons, MsgIcon icon) const {
  return System().Dialogs().MessageBox(text, title, buttons, icon);
}

bool DocumentControl::Init(ISystem& system, int64_t programNumber, int64_t requestedId) {
  system_ = &system;
  programNumber_ = programNumber;
  requestedId_ = requestedId;
  Guarded("-->Init::", [&] {
    navigator_ = system.CreateNavigator();
    // A big list nobody counted yet shows "…" in the position until its figures are in.
    navigator_->SetPositionListener([this](const std::string& position) {
      SetRecordLabel("记录：" + position);
      events_.Raise("PositionCounted");
    });
    if (form_.Children().empty()) {
      form_.Add<forms::Label>(kCaptionLabel);
      form_.Add<forms::Label>(kRecordLabel).SetCaption("记录：0/0");
      form_.Add<forms::Label>(CheckedStampName()).SetVisible(false);
      form_.Add<forms::Label>(kFilterLabel).SetVisible(false);
    }
    db::Runner runner(system.GetDatabase());
    std::string caption =
        runner.ScalarText(db::Sql("select menuname from xt_menu where progID=").Key(programNumber));
    form_.Get<forms::Label>(kCaptionLabel).SetCaption(caption);
    form_.SetCaption(caption);
    closingPeriod_ =
        static_cast<int64_t>(db::NumericValue(system.GetOption(12, std::string("Jzperiod"))));
    parameter1_ = static_cast<int64_t>(db::NumericValue(system.GetParameter(12, 1)));
    receivablesAccount_ = "1131";
    goodsMessageEdit_ = db::NumericValue(system.GetOption(1, std::string("goodsmsggageedit"))) == 1;
    SetupForm();
    SetEditState(false);
    system.GetDatabase().Close();
    return true;
  });
  return true;
}

bool DocumentControl::Clear() {
  navigator_.reset();
  parameters_.reset();
  system_ = nullptr;
  return false;
}

bool DocumentControl::FileNew() {
  return Guarded("-->FileNew::", [&] {
    SetEditState(true);
    ClearForm();
    OnFileNew();
    SetRecordLabel("新建记录...");
    dirty_ = false;
    events_.Message("正在新建单据中...");
    return true;
  });
}

bool DocumentControl::FileEdit() {
  if (currentId_ > 0) {
    SetEditState(true);
    dirty_ = false;
    events_.Message("正在修改单据中...");
    return true;
  }
  if (system_) Ask("没有选择单据", "请注意！", MsgButtons::Ok, MsgIcon::Information);
  return false;
}

bool DocumentControl::FileCancel() {
  bool ok = SearchList(db::Sql(" ").Raw(KeyColumn()).Raw("=").Key(lastLoadedId_).Literal(), false);
  if (ok) {
    SetEditState(false);
    dirty_ = false;
    events_.Message("");
  }
  return ok;
}

bool DocumentControl::Find(const Conditions& conditions) {
  if (!conditions || !system_) return false;
  // A clerk types a number (a plate, a name) from its start: the start is looked for first,
  // which the column's index finds at once; only when no document starts so is the text looked
  // for anywhere in the column, which reads the list's documents one by one. Find next goes on
  // with the way that found.
  if (HasLike(*conditions)) {
    findCondition_ = BuildConditionText(*conditions, Driver(), LikeMatch::Start);
    bool found = false;
    SearchList(findCondition_, true, &found);
    if (found) return false;
  }
  findCondition_ = ConditionText(*conditions);
  SearchList(findCondition_, false);
  return false;
}

bool DocumentControl::FindNext() {
  if (findCondition_.empty() || !system_) return false;
  // The find condition is built by the condition builder from the user's values.
  SearchList(
      db::Sql(findCondition_).Raw(" AND ").Raw(KeyColumn()).Raw(" > ").Key(currentId_).Literal(),
      true);
  return false;
}

bool DocumentControl::Filter(const Conditions& conditions) {
  if (!conditions || !system_) return false;
  filterCondition_ = ConditionText(*conditions);
  LoadList(kNavLast);
  return false;
}

bool DocumentControl::DoSetStatus(const std::string& statusWord, bool stamp) {
  if (statusWord == "change") {
    return SearchList(db::Sql(" ").Raw(KeyColumn()).Raw("=").Key(currentId_).Literal(), false);
  }
  events_.Message("数据正在切换状态");
  SetEditState(false);
  SetCheckedStamp(stamp);
  bool ok = LoadList(kNavLast);
  events_.Message("");
  return ok;
}

bool DocumentControl::CheckStatus(const std::string&) {
  auto* stamp = form_.FindAs<forms::Label>(CheckedStampName());
  return stamp && stamp->Visible();
}

// Layout files only remember how the user left the window: a window that cannot read or write
// its file still works, so a failure is not put in front of the user (the contract answers
// nothing here).
void DocumentControl::DoGetFormStatus() {
  if (!system_) return;
  try {
    (void)grid::LoadLineGridWidths(System().GetLoginInfo().workFolder, ClassName(), form_);
  } catch (...) {
  }
}

void DocumentControl::DoSaveFormStatus() {
  if (!system_) return;
  try {
    (void)grid::SaveLineGridWidths(System().GetLoginInfo().workFolder, ClassName(), form_);
  } catch (...) {
  }
}

void DocumentControl::SetParameters(ParametersPtr parameters) {
  if (parameters && !parameters->Empty()) {
    if (auto color = parameters->Get("backcolor")) {
      form_.SetBackColor(static_cast<int64_t>(db::NumericValue(*color)));
    }
  }
  parameters_ = std::move(parameters);
}

bool DocumentControl::Action(const std::string& name) {
  if (name == "Js") OnJsAction();
  return false;
}

std::string DocumentControl::ConditionText(const std::vector<Condition>& conditions) const {
  return BuildConditionText(conditions, Driver());
}

std::string DocumentControl::BuildBaseCondition() {
  db::Sql base("progid=");
  base.Key(programNumber_);
  if (requestedId_ >= 1) base.Raw(" and ").Raw(KeyColumn()).Raw("=").Key(requestedId_);
  std::string condition = base.Literal();
  if (requestedId_ < 1) condition += ListWindow();
  bool filtered = !filterCondition_.empty();
  if (filtered) condition += " AND " + filterCondition_;
  if (auto* label = form_.FindAs<forms::Label>(kFilterLabel)) label->SetVisible(filtered);
  baseCondition_ = condition;
  return condition;
}

void DocumentControl::ShowRow(const db::Recordset& records, const std::string& position) {
  const std::string_view version = db::kRowVersionColumn;
  shownRowVersion_ = records.HasField(version) ? records.Long(version) : -1;
  ShowRecord(records, position);
}

bool DocumentControl::LoadList(int mode) {
  if (!system_) return false;
  bool ok = Guarded(LoadTag(), [&] {
    std::string condition = BuildBaseCondition();
    NavResult result =
        Navigator().Navigate(BaseSelect(), condition, mode, currentId_, KeyColumn(), 1);
    if (!result.message) {
      ClearForm();
    } else if (!result.message->empty()) {
      ReportError(*result.message);
    } else {
      ClearForm();
      if (result.records && !(result.records->Bof() && result.records->Eof())) {
        ShowRow(*result.records, result.position);
      }
    }
    dirty_ = false;
    events_.Raise("FormRefreshed");
    return true;
  });
  if (system_) Database().Close();
  return ok;
}

bool DocumentControl::SearchList(const std::string& condition, bool silent, bool* found) {
  if (found) *found = false;
  if (!system_) return false;
  bool ok = Guarded(FindTag(), [&] {
    std::string base = BuildBaseCondition();
    NavResult result = Navigator().Search(SearchSelect(), base, condition, KeyColumn());
    if (!result.message) {
      if (!silent) ClearForm();
    } else if (!result.message->empty()) {
      ReportError(*result.message);
    } else {
      ClearForm();
      if (result.records && !(result.records->Bof() && result.records->Eof())) {
        ShowRow(*result.records, result.position);
        if (found) *found = true;
      }
    }
    dirty_ = false;
    return true;
  });
  if (system_) Database().Close();
  return ok;
}

void DocumentControl::SetEditState(bool editable) {
  editing_ = editable;
  for (const auto& child : form_.Children()) {
    const std::string& type = child->TypeName();
    if (type == forms::kTextBox || type == forms::kField || type == forms::kDatePicker) {
      child->SetLocked(!editable);
    } else if (type == forms::kComboBox) {
      child->SetEnabled(editable);
    } else if (type == forms::kLineGrid) {
      if (auto* grid = dynamic_cast<forms::Grid*>(child.get())) grid->SetEditable(editable);
    } else if (type == forms::kCommandButton || type == "Button") {
      child->SetEnabled(editable);
    }
  }
  for (const auto& child : form_.Children()) {
    if (auto* field = dynamic_cast<forms::Field*>(child.get()); field && field->AlwaysReadOnly()) {
      field->SetLocked(true);
    }
  }
}

void DocumentControl::SetRecordLabel(const std::string& text) {
  if (auto* label = form_.FindAs<forms::Label>(kRecordLabel)) label->SetCaption(text);
}

void DocumentControl::SetCheckedStamp(bool visible) {
  if (auto* stamp = form_.FindAs<forms::Label>(CheckedStampName())) stamp->SetVisible(visible);
}

}  // namespace ws::host
