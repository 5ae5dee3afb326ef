#include "desk/desk_host.h"

#include <QApplication>
#include <QTimer>

#include "db/catalogue.h"
#include "desk/desk_dialogs.h"
#include "desk/picker_popup.h"
#include "desk/progress_dialog.h"
#include "shop/module_controls.h"

namespace ws::desk {

void RunBetweenEvents(std::function<bool()> work) {
  auto* timer = new QTimer(qApp);
  QObject::connect(timer, &QTimer::timeout, timer, [timer, work = std::move(work)] {
    if (!work()) {
      timer->stop();
      timer->deleteLater();
    }
  });
  timer->start(0);
}

DeskHost::DeskHost(std::unique_ptr<platform::EngineDatabase> db, std::string shopName,
                   host::LoginInfo login, host::IDialogs* dialogs)
    : db_(std::move(db)), shopName_(std::move(shopName)) {
  if (!dialogs) {
    ownDialogs_ = std::make_unique<DeskDialogs>();
    dialogs = ownDialogs_.get();
  }
  dialogs_ = dialogs;
  system_ = std::make_unique<platform::SystemObject>(*db_, *dialogs_, std::move(login));
  progress_ = std::make_unique<ProgressDisplay>();
  system_->SetProgressHandler([this](const std::string& what, int64_t done, int64_t total) {
    return progress_->Report(what, done, total);
  });
  shop::RegisterModuleControls(registry_);
  // A list nobody counted yet is counted after its row is shown, a chunk of a few milliseconds
  // per turn of the event loop, so keys pressed meanwhile wait no longer than one chunk.
  system_->CountListsWhenIdle(platform::CountLater{&RunBetweenEvents});
  // A picker drops down below the editor that has the focus: the field that asked for it.
  // A text an editor is handing over is resolved by the desk (TypedLookup), once.
  system_->SetRunPickerHandler([this](host::IControl& picker, const std::string& text) {
    TypedLookup* lookup = TypedLookup::Active();
    if (lookup && lookup->outcome == TypedLookup::Outcome::NotAsked) {
      return PickerPopup::Resolve(picker, *lookup, QApplication::focusWidget(), *dialogs_);
    }
    return PickerPopup::Run(picker, text, QApplication::focusWidget());
  });
  system_->SetPickerHandler([this](const std::string& name, const std::string& text) {
    return ShowNamedPicker(name, text);
  });
  menuError_ = menu_.Load(*db_);
  // Options and the server's catalogue entries of the lists' tables are read now, not by the
  // first form opened; a failure here only leaves that to the first form.
  (void)system_->StartSession();
  const std::string shop = db::ShopId(*db_);
  const std::string folder = system_->GetLoginInfo().workFolder;
  if (!shop.empty() && !folder.empty()) {
    countsFile_ = std::filesystem::path(folder) / ("lists-" + shop + ".counts");
    system_->SharedListCounts()->RestoreFrom(countsFile_);
  }
}

DeskHost::~DeskHost() {
  // Figures that cannot be kept are only counted again next time.
  if (!countsFile_.empty()) system_->SharedListCounts()->SaveTo(countsFile_);
}

void DeskHost::SetOpenFormHandler(platform::SystemObject::OpenFormHandler handler) {
  system_->SetOpenFormHandler(std::move(handler));
}

host::PickResult DeskHost::ShowNamedPicker(const std::string& name, const std::string& text) {
  // A field's picker description names a host picker; it is shown like any other picker.
  std::shared_ptr<host::IControl> picker = system_->GetPicker(name);
  if (!picker || !picker->AsPickerUI()->Init(*system_, 0, text)) return {};
  host::PickResult result = system_->RunPicker(*picker, text);
  picker->AsPickerUI()->Clear();
  return result;
}

}  // namespace ws::desk
