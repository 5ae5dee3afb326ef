// JS_S, the receipt: money taken from one customer and written off against that customer's
// checked repair orders that still owe. The header is a row of ARPReceive (told apart from the
// settlements by its program number), each write-off line a row of ARPReceiveMx naming an order.
//
// The form: the header fields "ywTxt"(index) of HeaderIndex, the write-off grid "ywGrid", the
// button "cmdSelect" that opens the receivable chooser frmSel_AR_Rec for the customer and the
// amount, and the label "lblTotal" with the write-off total. Choosing again replaces every line.
//
// Saving never touches the orders; Check adds the lines to them and UnCheck takes them back,
// each after the money documents' period gate and in one transaction.
//
// Events: Message, ErrMessage (level 8, title "收款单"), FormRefreshed.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "db/runner.h"
#include "framework/document.h"
#include "framework/order_follower.h"
#include "framework/period_gate.h"
#include "money/money_document.h"
#include "money/receipt_check.h"
#include "money/receipt_lines.h"

namespace ws::money {

class JS_S : public money::MoneyDocument, public framework::OrderFollower {
 public:
  // One line a group of the form, in its visual order (see ReceiptSchema).
  // clang-format off
  enum HeaderIndex : int {
    kNumber = 0, kDate = 1,
    kCustomer = 3, kSalesman = 2,
    kAmount = 4, kRounding = 5, kMethod = 8, kAccount = 9, kSummary = 6, kRemarks = 7,
    kEnteredBy = 10, kEntryDate = 11, kCheckedBy = 12, kCheckDate = 13
  };
  // clang-format on

  static constexpr const char* kFieldArray = "ywTxt";
  static constexpr const char* kGrid = "ywGrid";
  static constexpr const char* kSelectButton = "cmdSelect";
  static constexpr const char* kTotalLabel = "lblTotal";
  static constexpr const char* kTitleText = "收款单";
  static constexpr const char* kNoBalanceText = "该维修单没有未收余额，不能收款！";
  // Amount and write-off total may differ by rounding, never by more.
  static inline const db::Amount kTolerance = db::Amount::FromUnits(1);  // 0.0001

  JS_S();

  static const framework::HeaderSchema& ReceiptSchema();
  std::vector<host::FindColumn> FindColumns() const override;

  // The choose button: the chooser for the customer and amount; the chosen orders replace the
  // lines.
  void ChooseOrders();
  // A new receipt from the order's customer of the order's open balance, written off in full
  // on that order: the line the chooser proposes for it once the amount covers its balance.
  bool NewForOrder(int64_t orderId) override;

  forms::Field& Header(int index) const;
  ReceiptLines& Lines() const { return *lines_; }
  // The sum of the amounts written off, as the label shows it.
  db::Amount WriteOffTotal() const { return lines_->Total(); }

 protected:
  void SetupForm() override;
  std::string BaseSelect() const override;
  std::string ListWindow() override;
  void ShowDetails(const db::Recordset& records) override;
  void AfterClear() override { RefreshTotal(); }
  std::string Title() const override { return kTitleText; }
  bool ChangeState(bool check) override;
  std::string StateTag(bool check) const override { return check ? "审核时出错：" : "UnCheck::"; }
  bool DeleteDocument() override;
  std::string PrintTitle() const override { return kTitleText; }
  void AddPrintValues(host::IPrintData& data) override;

 private:
  void FieldChanged(int index) override;
  void FieldLeft(int index) override;
  void FieldPicker(int index) override { PickLookup(index); }
  void PickLookup(int index);
  void Changed();
  void RefreshTotal();
  bool LoadLines(int64_t receiptId);
  framework::PeriodGate& Gate();
  // The receipt's date; reports the field when it holds none.
  std::optional<db::Date> DocumentDate();

  // --- Save hooks (js_s_save.cpp).
  bool ValidateSave() override;
  bool PrepareSave(framework::RowValues& values, bool isNew) override;
  // The clash is an error message here, not a box.
  void RefuseDuplicateNumber(bool isNew) override;
  // After a check's write-offs: every order a line wrote off keeps a balance of at least
  // kLowestBalance; otherwise rolled back and refused with the order's number.
  bool BalancesHold(db::Transaction& tx, const ReceiptDocument& receipt);

  std::unique_ptr<ReceiptLines> lines_;
  std::unique_ptr<framework::PeriodGate> gate_;
};

}  // namespace ws::money
