#include "desk/progress_dialog.h"

#include <QApplication>
#include <QProgressDialog>

#include "desk/desk_dialogs.h"
#include "host/system.h"

namespace ws::desk {

namespace {

constexpr int kSteps = 1000;
constexpr std::chrono::milliseconds kShowAfter{400};

}  // namespace

ProgressDisplay::ProgressDisplay() = default;
ProgressDisplay::~ProgressDisplay() = default;

bool ProgressDisplay::Report(const std::string& what, int64_t done, int64_t total) {
  const bool counting = total == host::ISystem::kUnknownTotal;
  if (!counting && (total <= 0 || done >= total)) {
    Close();
    return true;
  }
  if (!dialog_) {
    back_.emplace();
    dialog_ = std::make_unique<QProgressDialog>(QString::fromStdString(what), QObject::tr("取消"),
                                                0, kSteps, QApplication::activeWindow());
    dialog_->setWindowModality(Qt::ApplicationModal);
    dialog_->setMinimumDuration(static_cast<int>(kShowAfter.count()));
    dialog_->setAutoClose(false);
    dialog_->setAutoReset(false);
    started_ = std::chrono::steady_clock::now();
  }
  if (counting) {
    // Rows from a cursor: nobody knows how many will come, so the bar only moves and the
    // label counts. The dialog is shown here: its own timer restarts at every report of a
    // bar without range and would never show it.
    dialog_->setRange(0, 0);
    // Before the first row (a sort) there is nothing to count yet.
    const QString label = QString::fromStdString(what);
    dialog_->setLabelText(done > 0 ? QObject::tr("%1 已读取 %L2 条").arg(label).arg(done) : label);
    if (!dialog_->isVisible() && std::chrono::steady_clock::now() - started_ >= kShowAfter) {
      dialog_->show();
    }
  } else {
    dialog_->setRange(0, kSteps);
    dialog_->setLabelText(QString::fromStdString(what));
    dialog_->setValue(static_cast<int>(done * kSteps / total));
  }
  QApplication::processEvents();
  if (dialog_->wasCanceled()) {
    Close();
    return false;
  }
  return true;
}

void ProgressDisplay::Close() {
  if (!dialog_) return;
  dialog_.reset();
  back_.reset();
}

}  // namespace ws::desk
