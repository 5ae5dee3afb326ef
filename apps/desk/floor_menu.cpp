// The main window's 车间 menu, kept beside the floor's windows rather than in main_window.cpp.
#include <QMenuBar>
#include <QTabWidget>

#include "desk/checklist_dialog.h"
#include "desk/desk_host.h"
#include "desk/floor_window.h"
#include "desk/main_window.h"
#include "platform/accounts.h"

namespace ws::desk {

void MainWindow::BuildFloorMenu() {
  QMenu* menu = menuBar()->addMenu(tr("车间(&W)"));
  QAction* board = menu->addAction(tr("派工看板(&D)"));
  board->setObjectName("FloorBoard");
  connect(board, &QAction::triggered, this, [this] { OpenFloor(); });
  QAction* items = menu->addAction(tr("车检项目(&C)..."));
  items->setObjectName("CheckItems");
  connect(items, &QAction::triggered, this, [this] {
    if (!host_.System().PermitRight(platform::Right::Manage, "改车检项目")) return;
    auto ids = host_.System().CreateNavigator();
    workshop::Examination examination(host_.Db(), *ids, FloorNow);
    ChecklistDialog dialog(examination, host_.Dialogs(), this);
    dialog.exec();
  });
}

FloorWindow* MainWindow::OpenFloor() {
  for (int i = 0; i < tabs_->count(); ++i) {
    if (auto* floor = qobject_cast<FloorWindow*>(tabs_->widget(i))) {
      tabs_->setCurrentIndex(i);
      floor->setFocus();
      return floor;
    }
  }
  auto* floor = new FloorWindow(host_, tabs_);
  connect(floor, &FloorWindow::OpenOrder, this, [this](qint64 id) { OpenClass("WS_S", id); });
  tabs_->setCurrentIndex(tabs_->addTab(floor, tr("派工看板")));
  floor->setFocus();
  return floor;
}

bool MainWindow::CloseFloor(int index) {
  auto* floor = qobject_cast<FloorWindow*>(tabs_->widget(index));
  if (!floor) return false;
  tabs_->removeTab(index);
  floor->deleteLater();
  UpdateToolbar();
  return true;
}

}  // namespace ws::desk
