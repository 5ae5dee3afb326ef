#include "desk/progress_dialog.h"

#include <QApplication>
#include <QProgressDialog>

namespace ws::desk {

namespace {

constexpr int kSteps = 1000;
constexpr int kShowAfterMilliseconds = 400;

}  // namespace

ProgressDisplay::ProgressDisplay() = default;
ProgressDisplay::~ProgressDisplay() = default;

bool ProgressDisplay::Report(const std::string& what, int64_t done, int64_t total) {
  if (total <= 0 || done >= total) {
    dialog_.reset();
    return true;
  }
  if (!dialog_) {
    dialog_ = std::make_unique<QProgressDialog>(QString::fromStdString(what), QObject::tr("取消"),
                                                0, kSteps, QApplication::activeWindow());
    dialog_->setWindowModality(Qt::ApplicationModal);
    dialog_->setMinimumDuration(kShowAfterMilliseconds);
    dialog_->setAutoClose(false);
    dialog_->setAutoReset(false);
  }
  dialog_->setLabelText(QString::fromStdString(what));
  dialog_->setValue(static_cast<int>(done * kSteps / total));
  QApplication::processEvents();
  if (dialog_->wasCanceled()) {
    dialog_.reset();
    return false;
  }
  return true;
}

}  // namespace ws::desk
