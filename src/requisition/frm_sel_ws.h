// frmSelWS, the repair-order chooser: a modal dialog in which the user ticks, among the part
// lines of checked repair orders, those a material requisition is to issue. The requisition
// empties a SelectionList, calls py_SubProgram and, once it returns, reads the ticked rows
// from the list.
//
// The dialog is the shared chooser (framework::OrderChooser) with the requisition's rows: the
// host renders Form() and feeds input through forms::Input while IDialogs::RunModal runs it.
// - Conditions: ywTxt(0) plate (picker "pdmcl"), ywTxt(1) work-order number, ywTxt(2)/(3)
//   entry date from/to, ywTxt(4) customer (picker "pdmkh_j", key 往来ID), ywTxt(6) maximum
//   number of rows; typed input that is no date, no whole number or no known plate or customer
//   is marked invalid with "输入有误，请重新输入！". Option Opt(2) "车辆维修单" in the frame
//   "前置单据" (the only source); ChkLl "显示已领料" (clicking reloads); chkZD "整单选中".
// - The list ywGrid1 (22 columns, see the k* constants), newest order first. Ticking a row is
//   an edit of its 选择 cell (any text ticks, an empty text unticks) or a double click
//   (toggles); with chkZD every row of the same work-order number takes the same mark.
// - btn(0) confirm: the ticked rows, in grid order, go to the selection list; the dialog
//   closes. btn(1) closes without selecting. btn(2) queries again, btn(3) clears the
//   conditions 0 to 4 and queries again, btn(4) unticks and btn(5) ticks every row.
// - SearchBox1 searches the work-order number, customer, plate, part code and part name
//   columns unless its settings say otherwise; ChkFind "过滤" switches it to filter mode.
// - Closing (any way) writes the selected option's index to the user setting "WS_SelWs" and
//   the window's layout to workFolder/selfbb/frmSelWS.txt (read back, widths only for the
//   grid, when the dialog opens).
// A failing query shows "frmSelWS-->LoadData::" + the database's text (critical, "提示:") and
// leaves the list empty.
#pragma once

#include <cstdint>
#include <iterator>
#include <string>
#include <vector>

#include "framework/order_chooser.h"
#include "host/system.h"
#include "requisition/chooser_query.h"
#include "requisition/selection_list.h"

namespace ws::requisition {

class frmSelWS : public framework::OrderChooser {
 public:
  // Widget names.
  static constexpr const char* kFormName = "frmSelWS";
  static constexpr const char* kFieldArray = "ywTxt";
  static constexpr const char* kGrid = "ywGrid1";
  static constexpr const char* kSearchBox = "SearchBox1";
  static constexpr const char* kFilterMode = "ChkFind";
  static constexpr const char* kShowIssued = "ChkLl";
  static constexpr const char* kWholeOrder = "chkZD";
  static constexpr const char* kSourceOption = "Opt";
  static constexpr const char* kButtons = "btn";
  static constexpr const char* kSettingKey = "WS_SelWs";
  static constexpr const char* kInvalidInput = "输入有误，请重新输入！";

  // Condition fields (ywTxt index): the shared strip's, kRows the row limit.
  static constexpr int kRowLimit = kRows;
  // The only source option: repair orders.
  static constexpr int kRepairOrderOption = 2;
  // Rows listed until the user sets another limit.
  static constexpr int kDefaultRowLimit = 1000;

  // Grid columns (column 0 is the row header).
  using Kind = framework::ListColumnKind;
  static constexpr framework::ListColumn kColumns[] = {
      {"", 2},
      {"选择", 5},
      {"进厂日期", 11, Kind::Date},
      {"工单号码", 12},
      {"客户名称", 25},
      framework::ListColumn{"车牌号码", 14}.From("车牌号"),
      {"车型", 11},
      {"维修分类", 12},
      {"配件编码", 13},
      {"配件项目", 13},
      {"配件规格", 13},
      {"需求数量", 13, Kind::Number},
      framework::ListColumn{"已领数量", 12, Kind::Number}.From("已领用数"),
      {"未领数量", 13, Kind::Number},
      {"单价", 11, Kind::Number},
      {"说明", 12},
      framework::ListColumn{"客户ID", 6}.Hidden(),
      framework::ListColumn{"产品ID", 6}.Hidden(),
      framework::ListColumn{"progid", 6}.Hidden(),
      framework::ListColumn{"单据ID", 6}.Hidden(),
      framework::ListColumn{"单据明细ID", 10}.Hidden(),
      {"单位", 4},
  };
  static constexpr int kColTick = framework::ColumnAt(kColumns, kTickCaption);
  static constexpr int kColDate = framework::ColumnAt(kColumns, "进厂日期");
  static constexpr int kColNumber = framework::ColumnAt(kColumns, "工单号码");
  static constexpr int kColCustomer = framework::ColumnAt(kColumns, "客户名称");
  static constexpr int kColPlate = framework::ColumnAt(kColumns, "车牌号码");
  static constexpr int kColModel = framework::ColumnAt(kColumns, "车型");
  static constexpr int kColCategory = framework::ColumnAt(kColumns, "维修分类");
  static constexpr int kColPartCode = framework::ColumnAt(kColumns, "配件编码");
  static constexpr int kColPartName = framework::ColumnAt(kColumns, "配件项目");
  static constexpr int kColPartSize = framework::ColumnAt(kColumns, "配件规格");
  static constexpr int kColRequired = framework::ColumnAt(kColumns, "需求数量");
  static constexpr int kColIssued = framework::ColumnAt(kColumns, "已领数量");
  static constexpr int kColOutstanding = framework::ColumnAt(kColumns, "未领数量");
  static constexpr int kColPrice = framework::ColumnAt(kColumns, "单价");
  static constexpr int kColNote = framework::ColumnAt(kColumns, "说明");
  static constexpr int kColCustomerId = framework::ColumnAt(kColumns, "客户ID");
  static constexpr int kColProductId = framework::ColumnAt(kColumns, "产品ID");
  static constexpr int kColProgram = framework::ColumnAt(kColumns, "progid");
  static constexpr int kColDocumentId = framework::ColumnAt(kColumns, "单据ID");
  static constexpr int kColLineId = framework::ColumnAt(kColumns, "单据明细ID");
  static constexpr int kColUnit = framework::ColumnAt(kColumns, "单位");
  static constexpr int kColumnCount = static_cast<int>(std::size(kColumns));

  // The list receives the rows confirmed; it must outlive the dialog.
  explicit frmSelWS(SelectionList& selection);
  frmSelWS(const frmSelWS&) = delete;
  frmSelWS& operator=(const frmSelWS&) = delete;

  // Opens the chooser for the calling program: caption from xt_objects + "选单", the stored
  // layout, the customer condition when customerId > 0, the list; then runs it modally through
  // the host's dialogs. True when the user confirmed (the list then holds the ticked rows,
  // possibly none); false when the dialog was closed without choosing or could not be shown.
  // text is part of the call the requisition makes ("0"); the chooser does not read it.
  bool py_SubProgram(host::ISystem& system, int64_t customerId, int64_t programNumber,
                     const std::string& text);

  // --- What the host and front ends reach.
  forms::Field& Condition(int index) const { return Filter(index); }
  // The conditions as the next query reads them.
  ChooserFilter CurrentFilter() const;
  // With chkZD the tick goes to every line of the row's work order.
  void Tick(int row, bool ticked) override;

 protected:
  db::Sql ListQuery(std::string_view driver) override;
  void FillRow(int row, const db::Recordset& records) override;
  // Ticked rows to the selection list, then closed.
  void OnConfirm() override;
  bool Lists() const override;
  void AfterQuery() override;
  void QueryFailed(const std::string& error) override;
  void BeforeClose() override;
  void AfterClose() override;
  void FilterLeft(int index) override;
  void FilterPicker(int index) override;
  void FilterTyped(int) override {}
  void ClearFilters() override;
  std::vector<int> SearchColumns() const override;

 private:
  void ResolveLookup(int index);
  host::ISystem& OpenSystem() const;

  SelectionList& selection_;
  forms::CheckBox* showIssued_ = nullptr;
  forms::CheckBox* wholeOrder_ = nullptr;
  forms::OptionButton* repairOrders_ = nullptr;
  int64_t programNumber_ = 0;
  bool confirmed_ = false;
};

}  // namespace ws::requisition
