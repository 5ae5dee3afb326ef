// The two repair-order choosers of the money documents.
//
// frmSelWsJs: the settlement picks the checked repair order it settles. Ticking a row (one at
// most) or a click selects it; confirm returns the ticked row, else the current one, and
// closes; a double click confirms the row. The option buttons "Opt" in the frame
// "fraView" switch the grid between every column (0, "全部栏目") and the order alone (1,
// "简要栏目": date, number, customer, plate); a switch rebuilds the grid with its stored layout
// and queries again. Closing writes the chosen option's index to the user setting "WS_SelWs"
// (it is never read back: every opening starts with every column).
//
// frmSel_AR_Rec ("收款单选单"): the receipt picks a customer's checked orders that still owe and
// gets a proposal of how its amount is written off against them, top to bottom: the list holds
// the oldest orders first (entry date, then work-order number). A tick or a double click ticks
// or unticks a row; the write-off of a row may be typed over. Confirm hands the ticked rows to
// EvHasSelect in list order and closes.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "framework/order_chooser.h"
#include "framework/property_bags.h"

namespace ws::money {

class frmSelWsJs : public framework::OrderChooser {
 public:
  using Kind = framework::ListColumnKind;
  static constexpr framework::ListColumn kColumns[] = {
      {"选择", 4},
      {"进厂日期", 11, Kind::Date},
      {"工单号码", 12},
      {"客户名称", 25},
      framework::ListColumn{"车牌号码", 14}.From("车牌号"),
      {"车型", 11},
      {"维修分类", 12},
      {"维修费用", 14, Kind::Money},
      {"配件费用", 15, Kind::Money},
      {"诊断费", 11, Kind::Money},
      {"检测费", 11, Kind::Money},
      framework::ListColumn{"客户ID", 6}.Hidden(),
      framework::ListColumn{"progid", 6}.Hidden(),
      framework::ListColumn{"单据ID", 6}.Hidden(),
  };
  static constexpr int kColChosen = framework::ColumnAt(kColumns, kTickCaption);
  static constexpr int kColDateIn = framework::ColumnAt(kColumns, "进厂日期");
  static constexpr int kColNumber = framework::ColumnAt(kColumns, "工单号码");
  static constexpr int kColCustomer = framework::ColumnAt(kColumns, "客户名称");
  static constexpr int kColPlate = framework::ColumnAt(kColumns, "车牌号码");
  static constexpr int kColModel = framework::ColumnAt(kColumns, "车型");
  static constexpr int kColCategory = framework::ColumnAt(kColumns, "维修分类");
  static constexpr int kColLabour = framework::ColumnAt(kColumns, "维修费用");
  static constexpr int kColParts = framework::ColumnAt(kColumns, "配件费用");
  static constexpr int kColDiagnosis = framework::ColumnAt(kColumns, "诊断费");
  static constexpr int kColInspection = framework::ColumnAt(kColumns, "检测费");
  static constexpr int kColCustomerId = framework::ColumnAt(kColumns, "客户ID");
  static constexpr int kColProgId = framework::ColumnAt(kColumns, "progid");
  static constexpr int kColId = framework::ColumnAt(kColumns, "单据ID");
  enum View { kAllColumns = 0, kBriefColumns = 1 };
  static constexpr const char* kViewOption = "Opt";
  static constexpr const char* kSettingKey = "WS_SelWs";
  struct Selected {
    std::string key;  // "k" + 单据ID
    framework::clsSelWS row;
  };

  frmSelWsJs();

  // Shows the dialog for the settlement `settlementId` (0 for a new one) of the program, with
  // the customer filter set when customerId > 0; answers the chosen rows (none when the user
  // closed the dialog without choosing).
  std::vector<Selected> py_SubProgram(host::ISystem& system, int64_t programNumber,
                                      int64_t customerId, int64_t settlementId);

  const std::vector<Selected>& Result() const { return result_; }
  // The option button's work: the grid in that view, listed again.
  void SelectView(int view);

 protected:
  db::Sql ListQuery(std::string_view driver) override;
  void OnConfirm() override;
  void BeforeClose() override;

 private:
  int64_t settlementId_ = 0;
  std::vector<Selected> result_;
  int view_ = kAllColumns;
  // Columns the brief view hid (not those the user hid): shown again before the layout is
  // kept, so the stored layout is always that of every column.
  std::vector<int> hiddenByView_;
};

// One ticked row as EvHasSelect hands it over (the array's columns 1 to 11).
struct ChosenOrder {
  std::string orderNumber;  // 工单号码
  std::string dateIn;       // 进厂日期
  std::string plate;        // 车牌号码
  std::string engine;       // 发动机号
  std::string category;     // 维修分类
  db::Amount total;         // 合计金额
  db::Amount received;      // 已收金额
  db::Amount balance;       // 余额
  db::Amount writeOff;      // 本次核销额
  int64_t orderId = 0;      // 单据ID
  int64_t programId = 0;    // progid
};

class frmSel_AR_Rec : public framework::OrderChooser {
 public:
  using Kind = framework::ListColumnKind;
  static constexpr framework::ListColumn kColumns[] = {
      {"选择", 4},
      {"进厂日期", 12, Kind::Date},
      {"工单号码", 12},
      framework::ListColumn{"客户名称", 29}.From("公司名称"),
      framework::ListColumn{"车牌号码", 23}.From("车牌号"),
      {"发动机号", 19},
      {"维修分类", 20},
      framework::ListColumn{"合计金额", 10, Kind::Money}.From("应收合计"),
      {"已收金额", 10, Kind::Money},
      {"余额", 8, Kind::Money},
      {"本次核销额", 12, Kind::Money},
      framework::ListColumn{"单据ID", 6}.Hidden(),
      framework::ListColumn{"progid", 6}.Hidden(),
  };
  static constexpr int kColChosen = framework::ColumnAt(kColumns, kTickCaption);
  static constexpr int kColDateIn = framework::ColumnAt(kColumns, "进厂日期");
  static constexpr int kColNumber = framework::ColumnAt(kColumns, "工单号码");
  static constexpr int kColCustomer = framework::ColumnAt(kColumns, "客户名称");
  static constexpr int kColPlate = framework::ColumnAt(kColumns, "车牌号码");
  static constexpr int kColEngine = framework::ColumnAt(kColumns, "发动机号");
  static constexpr int kColCategory = framework::ColumnAt(kColumns, "维修分类");
  static constexpr int kColTotal = framework::ColumnAt(kColumns, "合计金额");
  static constexpr int kColReceived = framework::ColumnAt(kColumns, "已收金额");
  static constexpr int kColBalance = framework::ColumnAt(kColumns, "余额");
  static constexpr int kColWriteOff = framework::ColumnAt(kColumns, "本次核销额");
  static constexpr int kColId = framework::ColumnAt(kColumns, "单据ID");
  static constexpr int kColProgId = framework::ColumnAt(kColumns, "progid");

  frmSel_AR_Rec();

  // Sets the customer filter, lists the orders, proposes the amount over them and shows the
  // dialog until it closes.
  void py_Init(host::ISystem& system, int64_t customerId, db::Amount amount);

  // Raised by confirm with the ticked rows, oldest first.
  std::function<void(const std::vector<ChosenOrder>&)> EvHasSelect;

  // Clears every tick and write-off, then spreads the amount over the listed balances, from
  // the oldest order (the bottom row) up.
  void Allocate(db::Amount amount);
  // The amount typed in the chooser (its 总金额), spread over the ticked rows as it changes;
  // over the whole list when none is ticked.
  void SpreadOverTicked(db::Amount amount);
  db::Amount Amount() const { return amount_; }
  static constexpr int kAmountSlot = 5;

 protected:
  db::Sql ListQuery(std::string_view driver) override;
  void AfterQuery() override { Allocate(amount_); }
  void OnConfirm() override;

 private:
  db::Amount amount_;
};

}  // namespace ws::money
