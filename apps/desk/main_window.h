// The main window: the program tree (from the host's menu), one tab per open program, the
// host toolbar, the status bar (Message), error boxes and notices (ErrMessage), and the
// session log panel. It routes the programs' host events: EditForm opens a card, Detaile the
// source document, OpenForm any program, each in its own tab.
#pragma once

#include <QList>
#include <QMainWindow>
#include <QPointer>
#include <functional>
#include <map>
#include <vector>

#include "desk/program_tab.h"
#include "desk/session_log.h"
#include "desk/tool_commands.h"
#include "platform/print_data.h"

class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QStandardItemModel;
class QTabWidget;
class QTimer;
class QToolBar;
class QTreeView;

namespace ws::desk {

class DeskHost;
class FloorWindow;
class StartPage;

class MainWindow : public QMainWindow {
  Q_OBJECT

 public:
  // The host must outlive the window.
  explicit MainWindow(DeskHost& host, QWidget* parent = nullptr);
  ~MainWindow() override;

  // Opens a program in a tab, or shows the tab that already holds it (same class and
  // requested document). nullptr, after telling the user, when it cannot be opened.
  ProgramTab* OpenClass(const std::string& className, int64_t requestedId = 0,
                        OpenMode mode = OpenMode::Browse);
  ProgramTab* OpenProgram(int64_t programNumber, int64_t requestedId = 0,
                          OpenMode mode = OpenMode::Browse);
  ProgramTab* CurrentTab() const;
  QTabWidget& Tabs() const { return *tabs_; }
  // Closes a tab, asking first when it holds unsaved changes; false when it stays.
  bool CloseTab(int index);

  // Runs a toolbar command on the current tab (Find and Filter ask for their conditions,
  // Print and Preview show the print file).
  void RunCommand(ToolCommand command);
  QAction* Action(ToolCommand command) const { return actions_.at(command); }
  // Writes the current program's print file as PDF; answers the error text, empty on success.
  QString ExportCurrentPdf(const QString& path);
  // The current window's list or report grid as a spreadsheet; answers the error text.
  QString ExportCurrentXlsx(const QString& path);
  // The same grid as CSV, with the totals row the window draws.
  QString ExportCurrentCsv(const QString& path);
  // Opens the vehicle history of the plate the current window shows (an order's or a card's
  // plate field, or the plate of a list's current row); false when it shows none.
  bool OpenVehicleHistory();
  // The audit trail of the document or card of the current tab in a 修改记录 tab; false when
  // the tab shows no saved one.
  bool OpenDocumentHistory();
  // Writes a copy of the open shop to path (as `ws backup`), while others may keep working in
  // it; answers the error text, empty on success.
  QString BackupShopTo(const QString& path);
  // Replaces the open shop by the backup at path (as `ws restore`). Refused while a program
  // is open, as its window would show what the restore replaced. Answers the error text.
  QString RestoreShopFrom(const QString& path);

  // What 新建维修厂 and 打开维修厂 do with the shop chosen (the application starts on it; the
  // flag asks for the going-live checklist). Without one the entries only tell the path.
  using ShopSwitcher = std::function<void(const QString& path, bool newShop)>;
  void SetShopSwitcher(ShopSwitcher switcher) { switchShop_ = std::move(switcher); }
  // The going-live checklist of the open shop, its lines opening their lists here.
  void ShowGoingLive();

  SessionLog& Log() { return log_; }
  QTreeView& Navigation() const { return *tree_; }
  // The notice line of levels 1 and 2.
  QLabel& Notice() const { return *notice_; }

  // Re-reads the enabled state of the toolbar and the tab titles.
  void UpdateToolbar();
  // Esc: leaves the document being entered, after asking when something was changed; false
  // when nothing was left.
  bool CancelAfterAsking();
  // Shows the document of the current program whose number is typed; false when there is no
  // document program to search or nothing typed.
  bool GoToNumber(const QString& number);
  // Opens the requisition, settlement or receipt (by class) as a new document of the repair
  // order, as its chooser would fill it; the tab, or nullptr when it cannot be opened.
  ProgramTab* FollowOrder(const std::string& className, int64_t orderId);
  // 车间 → 派工看板: the floor's tab, opened or brought to front (floor_menu.cpp).
  FloorWindow* OpenFloor();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildTree();
  // The toolbar and the 操作 menu: the host's commands, the window's own, the number box and
  // the order's next documents; their keys win in a field (HostShortcuts).
  void BuildToolbar();
  void AddHostCommands(QToolBar& bar, QMenu& menu);
  // Find next, page setup, exports, histories, close and Escape; answers those with host keys.
  QList<QAction*> AddWindowCommands(QMenu& menu);
  // The number box on the toolbar and its Ctrl+G; answers the menu's action.
  QAction* AddGoToNumber(QToolBar& bar, QMenu& menu);
  // One action per next document of a repair order; answers them.
  QList<QAction*> AddFollowUps(QMenu& menu);
  void BuildLogPanel();
  void BuildShopMenu();
  // The 车间 menu: the dispatch board and the checklist (floor_menu.cpp).
  void BuildFloorMenu();
  // Closes the floor's tab at index; false when the tab is no floor's.
  bool CloseFloor(int index);
  ProgramTab* OpenEntry(const platform::MenuEntry& entry, int64_t requestedId, OpenMode mode);
  ProgramTab* FindTab(const std::string& className, int64_t requestedId) const;
  void HandleEvent(ProgramTab& tab, const host::Event& event);
  void ShowNotice(const QString& text, int level);
  void AddShownTotals(ProgramTab& tab, platform::PrintFile& file);
  static QString ConfirmationOf(ToolCommand command);
  void ShowStatusOf(ProgramTab* tab);
  void AskConditions(ToolCommand command);
  void ShowPrint(ToolCommand command);
  // Asks where to write (the file dialog of that title, suffix and filter), writes the current
  // window's grid or print there and tells the outcome.
  void ExportInteractive(const QString& title, const QString& suffix, const QString& filter,
                         QString (MainWindow::*write)(const QString&));
  void ExportPdfInteractive();
  void ExportXlsxInteractive();
  void ExportCsvInteractive();
  void TabActivated(int index);
  // A walk-in at the counter: the order's owner is no customer yet. Asked 是/否; 是 opens a new
  // customer card with the name, whose save chooses the customer in the order.
  void OfferWalkIn(ProgramTab& order, const QString& name);
  // After a card's save: the order waiting for the customer gets it and comes back to front.
  void FinishWalkIn(ProgramTab& card);

  DeskHost& host_;
  SessionLog log_;
  QTreeView* tree_;
  QStandardItemModel* treeModel_;
  QTabWidget* tabs_;
  StartPage* start_;
  QLineEdit* goTo_;
  QLabel* notice_;
  QTimer* noticeTimer_;
  std::map<ToolCommand, QAction*> actions_;
  // Saves so far, and how many of them each list tab has seen: a list shown again after a
  // card saved re-reads its rows.
  int saves_ = 0;
  std::map<ProgramTab*, int> seenSaves_;
  std::map<ProgramTab*, QString> statusOf_;
  std::vector<QAction*> followActions_;
  // Customer cards opened for a walk-in, and the order each one is for.
  std::map<ProgramTab*, QPointer<ProgramTab>> walkIns_;
  bool noticeShown_ = false;
  ShopSwitcher switchShop_;
};

}  // namespace ws::desk
