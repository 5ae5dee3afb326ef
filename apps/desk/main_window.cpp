#include "desk/main_window.h"

#include <filesystem>

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDockWidget>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QScreen>
#include <QSplitter>
#include <QStandardItemModel>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QTreeView>

#include "desk/accounts_dialog.h"
#include "desk/desk_dialogs.h"
#include "desk/desk_host.h"
#include "desk/find_dialog.h"
#include "desk/floor_window.h"
#include "desk/form_view.h"
#include "desk/grid_pdf.h"
#include "desk/grid_view.h"
#include "desk/host_shortcuts.h"
#include "desk/new_shop_dialog.h"
#include "desk/page_setup.h"
#include "desk/plain_table.h"
#include "desk/print_page.h"
#include "desk/shop_info_dialog.h"
#include "desk/start_page.h"
#include "forms/text.h"
#include "framework/order_follower.h"
#include "host/app.h"
#include "masters/descriptions.h"
#include "masters/master_card.h"
#include "masters/master_list.h"
#include "platform/print_data.h"
#include "reports/list_reports.h"
#include "shop/exchange/xlsx_export.h"
#include "shop/store/backup.h"

namespace ws::desk {

namespace {

constexpr int kProgramRole = Qt::UserRole + 1;
constexpr int kNoticeMilliseconds = 6000;

OpenMode ModeOfEditType(int64_t plType) {
  switch (plType) {
    case 1:
      return OpenMode::New;
    case 2:
      return OpenMode::Edit;
    default:
      return OpenMode::Browse;
  }
}

bool IsNumber(const std::string& text) {
  return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

}  // namespace

MainWindow::MainWindow(DeskHost& host, QWidget* parent)
    : QMainWindow(parent), host_(host), log_(this) {
  setObjectName("MainWindow");
  const host::LoginInfo login = host_.Login();
  setWindowTitle(
      tr("%1 - %2 - %3").arg(Q(host::kAppTitle), Q(login.userName), Q(login.loginDate.Text())));

  auto* splitter = new QSplitter(this);
  tree_ = new QTreeView(splitter);
  tree_->setObjectName("Navigation");
  tree_->setHeaderHidden(true);
  tree_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  treeModel_ = new QStandardItemModel(this);
  tree_->setModel(treeModel_);
  tabs_ = new QTabWidget(splitter);
  tabs_->setObjectName("Programs");
  tabs_->setTabsClosable(true);
  tabs_->setMovable(true);
  tabs_->setDocumentMode(true);
  splitter->addWidget(tree_);
  splitter->addWidget(tabs_);
  splitter->setStretchFactor(1, 1);
  splitter->setSizes({200, 1100});
  setCentralWidget(splitter);

  notice_ = new QLabel(this);
  notice_->setObjectName("Notice");
  notice_->hide();
  noticeTimer_ = new QTimer(this);
  noticeTimer_->setSingleShot(true);
  connect(noticeTimer_, &QTimer::timeout, notice_, &QLabel::hide);
  statusBar()->addPermanentWidget(notice_);
  statusBar()->addPermanentWidget(
      new QLabel(tr("用户: %1  日期: %2").arg(Q(login.userName), Q(login.loginDate.Text())), this));

  start_ = new StartPage(host_.Db(), host_.System(), tabs_);
  connect(start_, &StartPage::OpenOrder, this, [this](qint64 id) { OpenClass("WS_S", id); });
  connect(start_, &StartPage::OpenChecklist, this, [this] {
    if (ProgramTab* tab = OpenClass("JZ_JC")) tab->Run(ToolCommand::Refresh);
  });
  tabs_->addTab(start_, tr("今日工作"));
  // The day's work stays: a clerk closes programs, not the page that leads to them.
  tabs_->tabBar()->setTabButton(0, QTabBar::RightSide, nullptr);
  tabs_->tabBar()->setTabButton(0, QTabBar::LeftSide, nullptr);

  BuildShopMenu();
  BuildFloorMenu();
  BuildTree();
  BuildToolbar();
  BuildLogPanel();

  connect(tree_, &QTreeView::activated, this, [this](const QModelIndex& index) {
    bool ok = false;
    const qlonglong program = index.data(kProgramRole).toLongLong(&ok);
    if (ok && program > 0) OpenProgram(program);
  });
  connect(tabs_, &QTabWidget::tabCloseRequested, this, [this](int index) { CloseTab(index); });
  connect(tabs_, &QTabWidget::currentChanged, this, &MainWindow::TabActivated);
  host_.SetOpenFormHandler([this](const std::string& name, const db::Value& a, const db::Value&,
                                  const db::Value&, bool) {
    const int64_t id = a.ToLong();
    QTimer::singleShot(0, this, [this, name, id] {
      if (IsNumber(name)) {
        OpenProgram(std::stoll(name), id);
      } else {
        OpenClass(name, id);
      }
    });
  });
  if (!host_.MenuError().empty()) {
    log_.Add({}, "ErrMessage", host::kLevelFailure,
             tr("读取菜单失败：%1").arg(Q(host_.MenuError())));
  }
  // Never larger than the screen: a counter's 1366×768 shows the whole window, the log and the
  // status line included. resize() sizes the inside of the frame, so a window as large as the
  // screen's free room would put the status line (every save's notice) under the task bar; a
  // screen smaller than the window wants is filled by maximizing, which the window manager fits
  // frame and all.
  const QSize room = screen()->availableGeometry().size();
  const QSize wanted(1400, 900);
  if (room.width() < wanted.width() || room.height() < wanted.height()) {
    resize(room * 9 / 10);
    setWindowState(windowState() | Qt::WindowMaximized);
  } else {
    resize(wanted);
  }
  UpdateToolbar();
}

MainWindow::~MainWindow() {
  // A field still holding the cursor commits its text while its control and this window's
  // actions are alive; left to the widgets' own teardown, its focus-out would reach a control
  // already shut down and a toolbar already destroyed.
  if (QWidget* focused = QApplication::focusWidget(); focused && isAncestorOf(focused)) {
    focused->clearFocus();
  }
  tabs_->disconnect(this);
  host_.SetOpenFormHandler(nullptr);
  // Controls write their layouts and let go of the system before the host goes.
  for (int i = tabs_->count() - 1; i >= 0; --i) {
    if (auto* tab = qobject_cast<ProgramTab*>(tabs_->widget(i))) {
      tab->disconnect(this);
      tab->Shutdown();
    }
  }
}

void MainWindow::BuildTree() {
  treeModel_->clear();
  for (const auto& group : host_.Menu().Groups()) {
    auto* groupItem = new QStandardItem(Q(group.caption));
    for (const auto& entry : group.entries) {
      auto* item = new QStandardItem(Q(entry.caption));
      item->setData(static_cast<qlonglong>(entry.programNumber), kProgramRole);
      item->setToolTip(tr("%1 (%2)").arg(Q(entry.className)).arg(entry.programNumber));
      groupItem->appendRow(item);
    }
    treeModel_->appendRow(groupItem);
  }
  tree_->expandAll();
}

void MainWindow::BuildToolbar() {
  QToolBar* bar = addToolBar(tr("工具栏"));
  bar->setObjectName("HostToolbar");
  bar->setToolButtonStyle(Qt::ToolButtonTextOnly);
  QMenu* menu = menuBar()->addMenu(tr("操作(&O)"));
  AddHostCommands(*bar, *menu);
  menu->addSeparator();
  // Commands with keys that win in a field as the host's own do.
  QList<QAction*> keyed = AddWindowCommands(*menu);
  keyed.append(AddGoToNumber(*bar, *menu));
  menu->addSeparator();
  keyed.append(AddFollowUps(*menu));
  for (const auto& [command, action] : actions_) keyed.append(action);
  new HostShortcuts(*this, keyed);
}

void MainWindow::AddHostCommands(QToolBar& bar, QMenu& menu) {
  for (const auto& info : ToolCommands()) {
    if (info.separatorBefore) {
      bar.addSeparator();
      menu.addSeparator();
    }
    auto* action = new QAction(tr(info.caption), this);
    action->setObjectName(info.name);
    action->setShortcut(QKeySequence(info.shortcut));
    // The key under the caption, so a clerk learns it by looking, not by hovering.
    action->setIconText(tr("%1\n%2").arg(
        tr(info.caption), QKeySequence(info.shortcut).toString(QKeySequence::NativeText)));
    action->setToolTip(tr("%1 (%2)").arg(
        tr(info.caption), QKeySequence(info.shortcut).toString(QKeySequence::NativeText)));
    const ToolCommand command = info.command;
    // 取消 throws the entry away: asked first, as Esc is, when something was typed.
    connect(action, &QAction::triggered, this, [this, command] {
      if (command == ToolCommand::Cancel) {
        CancelAfterAsking();
      } else {
        RunCommand(command);
      }
    });
    bar.addAction(action);
    menu.addAction(action);
    actions_[command] = action;
  }
}

QList<QAction*> MainWindow::AddWindowCommands(QMenu& menu) {
  QAction* findNext = menu.addAction(tr("查找下一个"));
  findNext->setShortcut(QKeySequence(Qt::Key_F3));
  connect(findNext, &QAction::triggered, this, [this] {
    if (ProgramTab* tab = CurrentTab()) tab->Run(ToolCommand::Find);  // FindNext
    UpdateToolbar();
  });
  QAction* pageSetup = menu.addAction(tr("页面设置..."));
  pageSetup->setObjectName("PageSetup");
  connect(pageSetup, &QAction::triggered, this, [this] { RunPageSetup(this); });
  QAction* pdf = menu.addAction(tr("导出 PDF..."));
  pdf->setObjectName("ExportPdf");
  connect(pdf, &QAction::triggered, this, &MainWindow::ExportPdfInteractive);
  QAction* xlsx = menu.addAction(tr("导出 Excel..."));
  xlsx->setObjectName("ExportXlsx");
  connect(xlsx, &QAction::triggered, this, &MainWindow::ExportXlsxInteractive);
  QAction* csv = menu.addAction(tr("导出 CSV..."));
  csv->setObjectName("ExportCsv");
  connect(csv, &QAction::triggered, this, &MainWindow::ExportCsvInteractive);
  QAction* history = menu.addAction(tr("车辆维修历史"));
  history->setObjectName("VehicleHistory");
  history->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_H));
  connect(history, &QAction::triggered, this, [this] {
    if (!OpenVehicleHistory()) ShowNotice(tr("当前窗口没有车牌号"), host::kLevelRefusal);
  });
  QAction* changes = menu.addAction(tr("修改记录"));
  changes->setObjectName("DocumentHistory");
  changes->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_H));
  connect(changes, &QAction::triggered, this, [this] {
    if (!OpenDocumentHistory()) ShowNotice(tr("当前窗口没有已保存的单据"), host::kLevelRefusal);
  });
  QAction* closeTab = menu.addAction(tr("关闭窗口"));
  closeTab->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_W));
  connect(closeTab, &QAction::triggered, this, [this] {
    if (tabs_->currentIndex() >= 0) CloseTab(tabs_->currentIndex());
  });
  // Esc is not one of the host keys: an open cell editor, a calendar or a drop-down takes it
  // first and closes itself; only when nothing else wants it does it leave the document.
  QAction* escape = new QAction(tr("放弃修改"), this);
  escape->setObjectName("Escape");
  escape->setShortcut(QKeySequence(Qt::Key_Escape));
  escape->setShortcutContext(Qt::WindowShortcut);
  connect(escape, &QAction::triggered, this, &MainWindow::CancelAfterAsking);
  addAction(escape);
  return {findNext, closeTab, history};
}

QAction* MainWindow::AddGoToNumber(QToolBar& bar, QMenu& menu) {
  // The number on the customer's slip, typed straight in: Ctrl+G, the number, Enter.
  bar.addSeparator();
  goTo_ = new QLineEdit(&bar);
  goTo_->setObjectName("GoToNumber");
  goTo_->setPlaceholderText(tr("单号 Ctrl+G"));
  goTo_->setClearButtonEnabled(true);
  goTo_->setMaximumWidth(170);
  bar.addWidget(goTo_);
  connect(goTo_, &QLineEdit::returnPressed, this, [this] {
    if (GoToNumber(goTo_->text())) goTo_->clear();
  });
  QAction* goTo = menu.addAction(tr("按单号查找"));
  goTo->setObjectName("GoTo");
  goTo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_G));
  connect(goTo, &QAction::triggered, this, [this] {
    goTo_->setFocus(Qt::ShortcutFocusReason);
    goTo_->selectAll();
  });
  return goTo;
}

QList<QAction*> MainWindow::AddFollowUps(QMenu& menu) {
  // The order's next documents.
  QList<QAction*> keyed;
  for (const FollowUpInfo& followUp : FollowUps()) {
    QAction* action = menu.addAction(tr("本单%1").arg(tr(followUp.caption)));
    action->setObjectName(QString("Follow_") + followUp.className);
    action->setShortcut(QKeySequence(followUp.shortcut));
    const std::string target = followUp.className;
    connect(action, &QAction::triggered, this, [this, target] {
      if (ProgramTab* tab = CurrentTab()) tab->RequestFollowUp(target);
    });
    followActions_.push_back(action);
    keyed.append(action);
  }
  return keyed;
}

void MainWindow::BuildShopMenu() {
  QMenu* menu = menuBar()->addMenu(tr("文件(&F)"));
  QAction* newShop = menu->addAction(tr("新建维修厂(&N)..."));
  newShop->setObjectName("NewShop");
  connect(newShop, &QAction::triggered, this, [this] {
    const QString path = NewShopDialog::Run(host_.Login().loginDate, this);
    if (path.isEmpty()) return;
    if (switchShop_) {
      switchShop_(path, true);
    } else {
      statusBar()->showMessage(tr("已新建维修厂 %1").arg(path), kNoticeMilliseconds);
    }
  });
  QAction* openShop = menu->addAction(tr("打开维修厂(&O)..."));
  openShop->setObjectName("OpenShop");
  connect(openShop, &QAction::triggered, this, [this] {
    const QString path =
        QFileDialog::getOpenFileName(this, tr("打开维修厂"), QString(), tr("维修厂数据库 (*.db)"));
    if (!path.isEmpty() && switchShop_) switchShop_(path, false);
  });
  QAction* goingLive = menu->addAction(tr("开业检查(&G)..."));
  goingLive->setObjectName("GoingLive");
  connect(goingLive, &QAction::triggered, this, &MainWindow::ShowGoingLive);
  menu->addSeparator();
  QAction* shopInfo = menu->addAction(tr("本店信息(&I)..."));
  shopInfo->setObjectName("ShopInfo");
  connect(shopInfo, &QAction::triggered, this, [this] {
    if (!host_.System().PermitRight(platform::Right::Manage, "改本店信息")) return;
    if (ShopInfoDialog::Edit(host_.Db(), this)) {
      statusBar()->showMessage(tr("本店信息已保存，打印时使用"), kNoticeMilliseconds);
    }
  });
  QAction* accounts = menu->addAction(tr("账户管理(&U)..."));
  accounts->setObjectName("Accounts");
  connect(accounts, &QAction::triggered, this, [this] {
    // A shop without accounts is open to anyone, so anyone makes its first (owner's) account.
    if (!host_.System().PermitRight(platform::Right::Manage, "管理账户")) return;
    AccountsDialog dialog(host_.Db(), this);
    dialog.SetActor(host_.Login().userName);
    dialog.exec();
  });
  menu->addSeparator();
  QAction* backup = menu->addAction(tr("备份数据库..."));
  backup->setObjectName("BackupShop");
  connect(backup, &QAction::triggered, this, [this] {
    if (!host_.System().PermitRight(platform::Right::Manage, "备份数据库")) return;
    const QString path = QFileDialog::getSaveFileName(
        this, tr("备份数据库"), Q(host_.Login().loginDate.Text()) + ".backup.db",
        tr("数据库 (*.db)"));
    if (path.isEmpty()) return;
    const QString error = BackupShopTo(path);
    if (error.isEmpty()) {
      statusBar()->showMessage(tr("已备份到 %1").arg(path), kNoticeMilliseconds);
    } else {
      host_.Dialogs().MessageBox(error.toStdString(), host::kAppTitle, host::MsgButtons::Ok,
                                 host::MsgIcon::Exclamation);
    }
  });
  QAction* restore = menu->addAction(tr("恢复数据库..."));
  restore->setObjectName("RestoreShop");
  connect(restore, &QAction::triggered, this, [this] {
    if (!host_.System().PermitRight(platform::Right::Manage, "恢复数据库")) return;
    const QString path =
        QFileDialog::getOpenFileName(this, tr("恢复数据库"), QString(), tr("数据库 (*.db)"));
    if (path.isEmpty()) return;
    const auto answer = host_.Dialogs().MessageBox(
        tr("恢复将以备份替换当前数据库的全部内容，是否继续？").toStdString(), host::kAppTitle,
        host::MsgButtons::YesNo, host::MsgIcon::Question);
    if (answer != host::MsgAnswer::Yes) return;
    const QString error = RestoreShopFrom(path);
    if (error.isEmpty()) {
      statusBar()->showMessage(tr("已从 %1 恢复").arg(path), kNoticeMilliseconds);
    } else {
      host_.Dialogs().MessageBox(error.toStdString(), host::kAppTitle, host::MsgButtons::Ok,
                                 host::MsgIcon::Exclamation);
    }
  });
}

void MainWindow::ShowGoingLive() {
  auto* checklist = findChild<GoingLiveDialog*>();
  if (!checklist) {
    checklist = new GoingLiveDialog(host_.Db(), this);
    // The list is where the work is: the checklist steps aside until 文件 → 开业检查 again.
    connect(checklist, &GoingLiveDialog::OpenList, this, [this, checklist](const QString& c) {
      if (OpenClass(c.toStdString())) checklist->hide();
    });
    // Back from a list, the counts are the shop's new ones.
    connect(tabs_, &QTabWidget::currentChanged, checklist, &GoingLiveDialog::Refresh);
  }
  checklist->Refresh();
  checklist->show();
  checklist->raise();
}

QString MainWindow::BackupShopTo(const QString& path) {
  if (host_.ShopName().empty()) return tr("当前数据库不是文件，无法备份");
  return Q(shop::BackupShop(host_.ShopName(), path.toStdString(), true));
}

QString MainWindow::RestoreShopFrom(const QString& path) {
  for (int i = 0; i < tabs_->count(); ++i) {
    if (qobject_cast<ProgramTab*>(tabs_->widget(i))) return tr("请先关闭所有窗口，再恢复数据库");
  }
  if (host_.ShopName().empty()) return tr("当前数据库不是文件，无法恢复");
  return Q(shop::RestoreShop(host_.ShopName(), path.toStdString()));
}

void MainWindow::BuildLogPanel() {
  auto* dock = new QDockWidget(tr("会话日志"), this);
  dock->setObjectName("SessionLog");
  auto* text = new QPlainTextEdit(dock);
  text->setReadOnly(true);
  text->setMaximumBlockCount(5000);
  dock->setWidget(text);
  addDockWidget(Qt::BottomDockWidgetArea, dock);
  // The log is for whoever looks after the shop's machines, not for the counter: it waits in
  // the View menu, and opens as a strip under the programs.
  dock->hide();
  QTimer::singleShot(0, this, [this, dock] { resizeDocks({dock}, {110}, Qt::Vertical); });
  connect(&log_, &SessionLog::Added, text,
          [text](const LogEntry& entry) { text->appendPlainText(SessionLog::Format(entry)); });
  menuBar()->addMenu(tr("视图(&V)"))->addAction(dock->toggleViewAction());
}

ProgramTab* MainWindow::CurrentTab() const {
  return qobject_cast<ProgramTab*>(tabs_->currentWidget());
}

ProgramTab* MainWindow::FindTab(const std::string& className, int64_t requestedId) const {
  for (int i = 0; i < tabs_->count(); ++i) {
    auto* tab = qobject_cast<ProgramTab*>(tabs_->widget(i));
    if (tab && tab->Entry().className == className && tab->RequestedId() == requestedId) {
      return tab;
    }
  }
  return nullptr;
}

ProgramTab* MainWindow::OpenClass(const std::string& className, int64_t requestedId,
                                  OpenMode mode) {
  if (const platform::MenuEntry* entry = host_.Menu().FindClass(className)) {
    return OpenEntry(*entry, requestedId, mode);
  }
  // A class the menu does not list can still be opened by its name.
  platform::MenuEntry entry{0, className.rfind("WS.", 0) == 0 ? className.substr(3) : className,
                            className};
  return OpenEntry(entry, requestedId, mode);
}

ProgramTab* MainWindow::OpenProgram(int64_t programNumber, int64_t requestedId, OpenMode mode) {
  const platform::MenuEntry* entry = host_.Menu().FindProgram(programNumber);
  if (!entry) {
    const QString text = tr("没有程序号为 %1 的程序").arg(programNumber);
    log_.Add({}, "ErrMessage", host::kLevelRefusal, text);
    ShowNotice(text, host::kLevelRefusal);
    return nullptr;
  }
  return OpenEntry(*entry, requestedId, mode);
}

ProgramTab* MainWindow::OpenEntry(const platform::MenuEntry& entry, int64_t requestedId,
                                  OpenMode mode) {
  // A new row always gets a tab of its own; an existing one is shown where it is open.
  if (mode != OpenMode::New) {
    if (ProgramTab* open = FindTab(entry.className, requestedId)) {
      tabs_->setCurrentWidget(open);
      if (mode == OpenMode::Edit && !open->State().editing) open->Run(ToolCommand::Edit);
      UpdateToolbar();
      return open;
    }
  }
  if (!host_.System().Permit(entry.programNumber, platform::Step::Open)) return nullptr;
  QString error;
  ProgramTab* tab = ProgramTab::Open(
      host_, entry, requestedId, mode,
      [this](ProgramTab& source, const host::Event& event) { HandleEvent(source, event); }, &error,
      tabs_);
  if (!tab) {
    log_.Add(Q(entry.caption), "ErrMessage", host::kLevelRefusal, error);
    ShowNotice(error, host::kLevelRefusal);
    return nullptr;
  }
  connect(tab, &ProgramTab::StateChanged, this, &MainWindow::UpdateToolbar);
  connect(
      tab, &ProgramTab::FollowOrder, this,
      [this](const std::string& className, int64_t orderId) { FollowOrder(className, orderId); });
  connect(tab, &ProgramTab::OwnerUnknown, this, [this, tab](const QString& name) {
    // Asked once the field's own input has finished.
    QPointer<ProgramTab> order(tab);
    QTimer::singleShot(0, this, [this, order, name] {
      if (order) OfferWalkIn(*order, name);
    });
  });
  seenSaves_[tab] = saves_;
  const int index = tabs_->addTab(tab, tab->Title());
  tabs_->setTabToolTip(index, tr("%1 (%2)").arg(Q(entry.className)).arg(entry.programNumber));
  tabs_->setCurrentIndex(index);
  UpdateToolbar();
  return tab;
}

bool MainWindow::CloseTab(int index) {
  auto* tab = qobject_cast<ProgramTab*>(tabs_->widget(index));
  if (!tab) return CloseFloor(index);
  if (!tab->MayClose(host_.Dialogs())) return false;
  tab->Shutdown();
  seenSaves_.erase(tab);
  statusOf_.erase(tab);
  walkIns_.erase(tab);
  tabs_->removeTab(index);
  tab->deleteLater();
  UpdateToolbar();
  return true;
}

void MainWindow::ShowStatusOf(ProgramTab* tab) {
  auto it = statusOf_.find(tab);
  if (it == statusOf_.end() || it->second.isEmpty()) {
    statusBar()->clearMessage();
  } else {
    statusBar()->showMessage(it->second);
  }
}

void MainWindow::TabActivated(int) {
  ProgramTab* tab = CurrentTab();
  ShowStatusOf(tab);
  if (tab && dynamic_cast<masters::MasterList*>(&tab->Control()) && seenSaves_[tab] != saves_) {
    seenSaves_[tab] = saves_;
    tab->Run(ToolCommand::Refresh);
  }
  UpdateToolbar();
}

void MainWindow::UpdateToolbar() {
  ProgramTab* tab = CurrentTab();
  const ProgramState state = tab ? tab->State() : ProgramState{};
  // The board is no program, but 刷新 reads it again as its F5 does.
  const bool board = qobject_cast<FloorWindow*>(tabs_->currentWidget()) != nullptr;
  for (const auto& [command, action] : actions_) {
    action->setEnabled(CommandEnabled(command, state) || (!tab && command == ToolCommand::New) ||
                       (board && command == ToolCommand::Refresh));
  }
  const bool follows = tab && tab->CanFollowUp();
  for (QAction* action : followActions_) action->setEnabled(follows);
  for (int i = 0; i < tabs_->count(); ++i) {
    if (auto* t = qobject_cast<ProgramTab*>(tabs_->widget(i))) {
      const QString title = t->Title();
      if (tabs_->tabText(i) != title) tabs_->setTabText(i, title);
    }
  }
}

void MainWindow::RunCommand(ToolCommand command) {
  ProgramTab* tab = CurrentTab();
  // On the start page a new document is a new repair order: that is where a day's work starts.
  if (!tab && command == ToolCommand::New) tab = OpenClass("WS_S");
  if (!tab && command == ToolCommand::Refresh) {
    if (auto* floor = qobject_cast<FloorWindow*>(tabs_->currentWidget())) floor->Reload();
    return;
  }
  if (!tab) return;
  // A command given from the keyboard or the toolbar leaves the focus where it is, so the text
  // typed into a field or cell has not been handed over yet: Save must save it, Refresh must
  // filter by it. Cancel drops it with the rest.
  if (command == ToolCommand::Refresh && tab->State().editing) {
    // Typed text is not handed over first: it comes back after reading the saved version.
    if (tab->ReloadKeepingTyped(host_.Dialogs())) {
      ShowNotice(tr("已重新读取，您修改的内容已填回"), host::kLevelSuccess);
    }
    tab->AfterCommand();
    UpdateToolbar();
    return;
  }
  // A text left unresolved (the clerk closed its list) stops the command where it is typed.
  if (command != ToolCommand::Cancel && !tab->View().CommitPendingInput()) return;
  if (!CommandEnabled(command, tab->State())) return;
  if (command == ToolCommand::Cancel) tab->View().DropPendingInput();
  switch (command) {
    case ToolCommand::Find:
    case ToolCommand::Filter:
      AskConditions(command);
      break;
    case ToolCommand::Print:
    case ToolCommand::Preview:
      ShowPrint(command);
      break;
    default: {
      noticeShown_ = false;
      const bool ok = tab->Run(command);
      if (ok && (command == ToolCommand::Save || command == ToolCommand::Delete)) {
        ++saves_;
        seenSaves_[tab] = saves_;
      }
      if (ok && command == ToolCommand::Save && walkIns_.count(tab)) {
        FinishWalkIn(*tab);
        break;
      }
      // Every change that reached the database is confirmed, whether or not the program
      // said so itself: a card's save and a check are otherwise silent.
      if (ok && !noticeShown_) {
        const QString done = ConfirmationOf(command);
        if (!done.isEmpty())
          ShowNotice(done.arg(tab->Entry().caption.c_str()), host::kLevelSuccess);
      }
      break;
    }
  }
  UpdateToolbar();
}

void MainWindow::OfferWalkIn(ProgramTab& order, const QString& name) {
  const auto answer = host_.Dialogs().MessageBox(
      tr("车主“%1”不在客户资料中，是否新建这个客户？").arg(name).toStdString(),
      order.Entry().caption, host::MsgButtons::YesNo, host::MsgIcon::Question);
  // 否: the owner stays as typed and the order's own save refuses it.
  if (answer != host::MsgAnswer::Yes) return;
  ProgramTab* card = OpenProgram(masters::kCustomerCardProgram, 0, OpenMode::New);
  auto* customer = card ? dynamic_cast<masters::MasterCard*>(&card->Control()) : nullptr;
  if (!customer || !card->State().editing) return;
  customer->FieldAt(1).SetText(name.toStdString());
  walkIns_[card] = &order;
  card->AfterCommand();
}

void MainWindow::FinishWalkIn(ProgramTab& card) {
  QPointer<ProgramTab> order = walkIns_[&card];
  walkIns_.erase(&card);
  auto* customer = dynamic_cast<masters::MasterCard*>(&card.Control());
  if (!order || !customer) return;
  const int64_t id = customer->GetID();
  const std::string name = customer->FieldAt(1).Text();
  CloseTab(tabs_->indexOf(&card));
  tabs_->setCurrentWidget(order);
  order->SetOwner(id, name);
  ShowNotice(tr("已新建客户“%1”，继续录入维修单").arg(Q(name)), host::kLevelSuccess);
}

ProgramTab* MainWindow::FollowOrder(const std::string& className, int64_t orderId) {
  ProgramTab* tab = OpenClass(className);
  if (!tab) return nullptr;
  if (tab->State().editing) {
    // Never over what the clerk is entering there.
    ShowNotice(tr("「%1」正在录入，请先保存或取消").arg(Q(tab->Entry().caption)),
               host::kLevelRefusal);
    return tab;
  }
  if (auto* follower = dynamic_cast<framework::OrderFollower*>(&tab->Control())) {
    follower->NewForOrder(orderId);
  }
  tab->AfterCommand();
  return tab;
}

bool MainWindow::GoToNumber(const QString& typed) {
  const QString number = typed.trimmed();
  ProgramTab* tab = CurrentTab();
  host::IFormUI* form = tab ? tab->FormUI() : nullptr;
  const std::vector<FindColumn> columns = form ? form->FindColumns() : std::vector<FindColumn>{};
  if (number.isEmpty()) return false;
  if (tab && tab->State().editing) {
    ShowNotice(tr("「%1」正在录入，请先保存或取消").arg(Q(tab->Entry().caption)),
               host::kLevelRefusal);
    return false;
  }
  // Every document lists its number first among the columns it can be found by. Anywhere else
  // (the start page, a list, a report) the number on the slip is a repair order's.
  if (columns.empty() || columns.front().kind != host::FindKind::Text) {
    tab = OpenClass("WS_S");
    form = tab ? tab->FormUI() : nullptr;
    if (!form || tab->State().editing) return false;
    return GoToNumber(number);
  }
  tab->Find(std::vector<host::Condition>{{number.toStdString(), columns.front().column + "="}});
  UpdateToolbar();
  if (tab->View().isVisible()) tab->View().setFocus();
  return true;
}

bool MainWindow::CancelAfterAsking() {
  ProgramTab* tab = CurrentTab();
  if (!tab || !tab->State().editing) return false;
  // What is typed counts as a change, unresolved: dropping it asks no picker first.
  if (tab->State().dirty || tab->View().HasPendingInput()) {
    // Enter and Esc keep the work: only a deliberate 是 throws it away.
    const std::string text =
        tr("放弃对「%1」所做的修改？").arg(tab->Entry().caption.c_str()).toStdString();
    const auto answer = host_.Dialogs().Ask(text, tab->Entry().caption, host::MsgButtons::YesNo,
                                            host::MsgIcon::Question, host::MsgAnswer::No);
    if (answer != host::MsgAnswer::Yes) return false;
  }
  // Dropped, but not lost: what was typed waits on the clipboard.
  const int copied = tab->CopyTyped();
  RunCommand(ToolCommand::Cancel);
  if (copied > 0)
    ShowNotice(tr("已放弃修改；您输入的 %1 项已复制到剪贴板").arg(copied), host::kLevelSuccess);
  return true;
}

void MainWindow::AskConditions(ToolCommand command) {
  ProgramTab* tab = CurrentTab();
  host::IFormUI* form = tab->FormUI();
  const std::vector<FindColumn> columns = form ? form->FindColumns() : std::vector<FindColumn>{};
  if (columns.empty()) {
    // Lists search as the user types in their own search box.
    for (const auto& child : tab->Control().Form().Children()) {
      if (dynamic_cast<forms::SearchBox*>(child.get())) {
        if (QWidget* box = tab->View().QtWidgetOf(*child)) box->setFocus();
        return;
      }
    }
    // Reports find and filter through their grid pack.
    if (command == ToolCommand::Find || tab->ReportUI()) tab->Run(command);
    return;
  }
  const QString title = (command == ToolCommand::Find ? tr("查找 - %1") : tr("过滤 - %1"))
                            .arg(Q(tab->Entry().caption));
  FindDialog dialog(columns, title, this);
  if (dialog.exec() != QDialog::Accepted) return;
  host::Conditions conditions = dialog.Conditions();
  if (command == ToolCommand::Find) {
    tab->Find(conditions);
  } else {
    tab->Filter(conditions);
  }
}

void MainWindow::ShowPrint(ToolCommand command) {
  ProgramTab* tab = CurrentTab();
  if (!tab->Run(command)) return;
  const std::string path = tab->PrintFileName();
  if (path.empty()) return;
  platform::PrintFile file = platform::ReadPrintFile(path);
  if (!file.error.empty()) {
    host_.Dialogs().MessageBox("打印文件读取失败：" + file.error, host::kAppTitle,
                               host::MsgButtons::Ok, host::MsgIcon::Critical);
    return;
  }
  AddShownTotals(*tab, file);
  const PrintPage page = ProgramPrintPage(host_.System(), tab->Entry(), file);
  if (!page.error.empty()) {
    host_.Dialogs().MessageBox("打印模板有误：" + page.error, host::kAppTitle, host::MsgButtons::Ok,
                               host::MsgIcon::Critical);
    return;
  }
  if (command == ToolCommand::Preview) {
    ShowPagePreview(page, this);
  } else {
    PrintPageWithDialog(page, this);
  }
}

QString MainWindow::ExportCurrentPdf(const QString& path) {
  ProgramTab* tab = CurrentTab();
  if (!tab) return tr("没有打开的窗口");
  if (!tab->Run(ToolCommand::Print) || tab->PrintFileName().empty()) {
    return tr("%1 没有打印内容").arg(Q(tab->Entry().caption));
  }
  platform::PrintFile file = platform::ReadPrintFile(tab->PrintFileName());
  if (!file.error.empty()) return Q(file.error);
  AddShownTotals(*tab, file);
  const PrintPage page = ProgramPrintPage(host_.System(), tab->Entry(), file);
  if (!page.error.empty()) return Q(page.error);
  return ExportPagePdf(page, path);
}

void MainWindow::ExportInteractive(const QString& title, const QString& suffix,
                                   const QString& filter,
                                   QString (MainWindow::*write)(const QString&)) {
  ProgramTab* tab = CurrentTab();
  if (!tab) return;
  const QString path =
      QFileDialog::getSaveFileName(this, title, Q(tab->Entry().caption) + "." + suffix, filter);
  if (path.isEmpty()) return;
  const QString error = (this->*write)(path);
  if (error.isEmpty()) {
    statusBar()->showMessage(tr("已导出 %1").arg(path), kNoticeMilliseconds);
  } else {
    host_.Dialogs().MessageBox(error.toStdString(), host::kAppTitle, host::MsgButtons::Ok,
                               host::MsgIcon::Exclamation);
  }
}

void MainWindow::ExportPdfInteractive() {
  ExportInteractive(tr("导出 PDF"), "pdf", tr("PDF (*.pdf)"), &MainWindow::ExportCurrentPdf);
}

namespace {

// The list or report grid of a window: the report's "Vs", else its first grid.
const forms::Grid* ListGridOf(host::IControl& control) {
  forms::Form& form = control.Form();
  if (auto* grid = form.FindAs<forms::Grid>(reports::ReportControl::kGrid)) return grid;
  for (const auto& child : form.Children()) {
    if (auto* grid = dynamic_cast<const forms::Grid*>(child.get())) return grid;
  }
  return nullptr;
}

// The plate a window shows: its plate field, else the plate of its grid's current row.
std::string PlateShownIn(host::IControl& control) {
  forms::Form& form = control.Form();
  for (const char* caption : {"车牌号", "车牌号码"}) {
    if (const forms::Field* field = form.FindFieldByCaption(caption)) {
      const std::string plate = forms::Trim(field->Text());
      if (!plate.empty()) return plate;
    }
  }
  if (const forms::Grid* grid = ListGridOf(control)) {
    int col = grid->FindCol("车牌号");
    if (col < 0) col = grid->FindCol("车牌号码");
    if (col >= 0 && grid->IsDataRow(grid->Row()) && !grid->IsSubtotalRow(grid->Row())) {
      return forms::Trim(grid->TextMatrix(grid->Row(), col));
    }
  }
  return {};
}

}  // namespace

void MainWindow::AddShownTotals(ProgramTab& tab, platform::PrintFile& file) {
  // A report prints the 合计 its grid shows; a document's template prints its own sums.
  if (!tab.ReportUI()) return;
  if (const forms::Grid* grid = ListGridOf(tab.Control())) {
    AddTotalsRow(file, *grid, tab.View().GridViewOf(*grid));
  }
}

QString MainWindow::ExportCurrentXlsx(const QString& path) {
  ProgramTab* tab = CurrentTab();
  if (!tab) return tr("没有打开的窗口");
  const forms::Grid* grid = ListGridOf(tab->Control());
  if (!grid || grid->Rows() == 0) return tr("%1 没有可导出的列表").arg(Q(tab->Entry().caption));
  std::string notice;
  const shop::SheetLayout layout =
      SheetLayoutOf(*grid, qobject_cast<GridView*>(tab->View().QtWidgetOf(*grid)));
  const std::string error = shop::WriteGridXlsx(*grid, std::filesystem::path(path.toStdU16String()),
                                                tab->Entry().caption, &notice, &layout);
  if (error.empty() && !notice.empty()) {
    host_.Dialogs().MessageBox(notice, host::kAppTitle, host::MsgButtons::Ok,
                               host::MsgIcon::Information);
  }
  return Q(error);
}

QString MainWindow::ExportCurrentCsv(const QString& path) {
  ProgramTab* tab = CurrentTab();
  if (!tab) return tr("没有打开的窗口");
  const forms::Grid* grid = ListGridOf(tab->Control());
  if (!grid || grid->Rows() == 0) return tr("%1 没有可导出的列表").arg(Q(tab->Entry().caption));
  return ExportGridCsv(*grid, path, qobject_cast<GridView*>(tab->View().QtWidgetOf(*grid)));
}

void MainWindow::ExportCsvInteractive() {
  ExportInteractive(tr("导出 CSV"), "csv", tr("CSV (*.csv)"), &MainWindow::ExportCurrentCsv);
}

void MainWindow::ExportXlsxInteractive() {
  ExportInteractive(tr("导出 Excel"), "xlsx", tr("Excel (*.xlsx)"), &MainWindow::ExportCurrentXlsx);
}

bool MainWindow::OpenVehicleHistory() {
  ProgramTab* current = CurrentTab();
  if (!current) return false;
  const std::string plate = PlateShownIn(current->Control());
  if (plate.empty()) return false;
  ProgramTab* tab = OpenClass("CL_LS");
  if (!tab) return true;
  if (auto* history = dynamic_cast<reports::CL_LS*>(&tab->Control())) {
    history->FilterInput(reports::CL_LS::kPlate).SetText(plate);
    tab->Run(ToolCommand::Refresh);
  }
  return true;
}

bool MainWindow::OpenDocumentHistory() {
  ProgramTab* current = CurrentTab();
  host::IFormUI* form = current ? current->Control().AsFormUI() : nullptr;
  if (!form || form->GetID() <= 0) return false;
  const std::string className = current->Control().ClassName();
  const int64_t id = form->GetID();
  ProgramTab* tab = OpenClass("XG_JL");
  if (!tab) return true;  // refused (the account lacks 管理) and told by OpenClass
  if (auto* history = dynamic_cast<reports::XG_JL*>(&tab->Control())) {
    if (history->ShowDocument(className, id)) tab->Run(ToolCommand::Refresh);
  }
  return true;
}

QString MainWindow::ConfirmationOf(ToolCommand command) {
  switch (command) {
    case ToolCommand::Save:
      return tr("%1已保存");
    case ToolCommand::Delete:
      return tr("%1已删除");
    case ToolCommand::Check:
      return tr("%1已审核");
    case ToolCommand::UnCheck:
      return tr("%1已弃审");
    default:
      return {};
  }
}

void MainWindow::ShowNotice(const QString& text, int level) {
  noticeShown_ = true;
  notice_->setText(text);
  notice_->setStyleSheet(level == host::kLevelSuccess
                             ? "QLabel { color: #006000; font-weight: bold; }"
                             : "QLabel { color: #a05000; font-weight: bold; }");
  notice_->show();
  noticeTimer_->start(kNoticeMilliseconds);
}

void MainWindow::HandleEvent(ProgramTab& tab, const host::Event& event) {
  const QString program = Q(tab.Entry().caption);
  auto arg = [&](size_t i) { return i < event.args.size() ? event.args[i] : db::Value{}; };
  if (event.name == "Message") {
    // Each tab keeps its own line: a message of a tab in the background must not stand under
    // another program, nor go stale when the clerk comes back.
    const QString text = Q(arg(0).ToText());
    statusOf_[&tab] = text;
    if (&tab == CurrentTab()) ShowStatusOf(&tab);
    if (!text.isEmpty()) log_.Add(program, event.name.c_str(), 0, text);
  } else if (event.name == "ErrMessage") {
    const std::string text = arg(0).ToText();
    const int level = static_cast<int>(arg(1).ToLong());
    std::string title = arg(2).ToText();
    if (title.empty()) title = host::kAppTitle;
    log_.Add(program, "ErrMessage", level, Q(text));
    if (level == host::kLevelSuccess || level == host::kLevelRefusal) {
      ShowNotice(Q(text), level);
    } else {
      host_.Dialogs().MessageBox(text, title, host::MsgButtons::Ok, host::MsgIcon::Critical);
    }
  } else if (event.name == "EditForm") {
    const int64_t card = arg(0).ToLong();
    const int64_t id = arg(1).ToLong();
    const OpenMode mode = ModeOfEditType(arg(3).ToLong());
    // Opened once the list's own input has finished.
    QTimer::singleShot(0, this, [this, card, id, mode] { OpenProgram(card, id, mode); });
  } else if (event.name == "Detaile") {
    const int64_t source = arg(0).ToLong();
    const int64_t id = arg(1).ToLong();
    QTimer::singleShot(0, this, [this, source, id] { OpenProgram(source, id); });
  } else if (event.name == "FormRefreshed") {
    QTimer::singleShot(0, this, &MainWindow::UpdateToolbar);
  } else if (event.name == "Property") {
    log_.Add(program, "Property", 0, Q(arg(0).ToText() + "=" + arg(1).ToText()));
  }
}

void MainWindow::closeEvent(QCloseEvent* event) {
  for (int i = 0; i < tabs_->count(); ++i) {
    auto* tab = qobject_cast<ProgramTab*>(tabs_->widget(i));
    if (!tab) continue;
    tabs_->setCurrentIndex(i);
    if (!tab->MayClose(host_.Dialogs())) {
      event->ignore();
      return;
    }
  }
  for (int i = 0; i < tabs_->count(); ++i) {
    if (auto* tab = qobject_cast<ProgramTab*>(tabs_->widget(i))) tab->Shutdown();
  }
  event->accept();
}

}  // namespace ws::desk
