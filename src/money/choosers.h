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
#include "masters/property_bags.h"

namespace ws::money {

class frmSelWsJs : public framework::OrderChooser {
 public:
  enum Column {
    kColChosen = 0,
    kColDateIn,
    kColNumber,
    kColCustomer,
    kColPlate,
    kColModel,
    kColCategory,
    kColLabour,
    kColParts,
    kColDiagnosis,
    kColInspection,
    kColCustomerId,
    kColProgId,
    kColId
  };
  enum View { kAllColumns = 0, kBriefColumns = 1 };
  static constexpr const char* kViewOption = "Opt";
  static constexpr const char* kSettingKey = "WS_SelWs";
  struct Selected {
    std::string key;  // "k" + 单据ID
    masters::clsSelWS row;
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
  void FillRow(int row, const db::Recordset& records) override;
  void OnConfirm() override;
  void BeforeClose() override;
  std::vector<int> AmountColumns() const override {
    return {kColLabour, kColParts, kColDiagnosis, kColInspection};
  }

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
  enum Column {
    kColChosen = 0,
    kColDateIn,
    kColNumber,
    kColCustomer,
    kColPlate,
    kColEngine,
    kColCategory,
    kColTotal,
    kColReceived,
    kColBalance,
    kColWriteOff,
    kColId,
    kColProgId
  };
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
  void FillRow(int row, const db::Recordset& records) override;
  void AfterQuery() override { Allocate(amount_); }
  void OnConfirm() override;
  std::vector<int> AmountColumns() const override {
    return {kColTotal, kColReceived, kColBalance, kColWriteOff};
  }

 private:
  db::Amount amount_;
};

}  // namespace ws::money
