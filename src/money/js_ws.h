// JS_WS, the repair settlement: one checked repair order settled once, with its labour lines,
// the parts actually issued to it, the fees, the money collected and the write-off. A saved
// settlement is one ARPReceive row (told from receipts by its program) with one ARPReceive_FY
// fee row and its ARPReceive_XM / ARPReceive_PJ lines; checking it posts its ledger voucher.
//
// The form: the header fields "ywTxt"(index) of HeaderIndex, the line grids "ywGridXM" and
// "ywGridPJ" (the repair order's grids over the settlement's tables), the button "cmdSelect"
// ("选择维修单") that opens the repair-order chooser, and the frames "fraFees" ("结算情况") and
// "fraMoney" ("本次收款情况").
//
// Showing a saved settlement reads the repair order afresh, then overlays the saved fees and
// lines, then recomputes: the order's fields show its current values, the money what was saved.
//
// Events: Message, ErrMessage (level 8, title "收款单"), FormRefreshed.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "db/recordset.h"
#include "framework/document.h"
#include "framework/line_grid.h"
#include "framework/order_follower.h"
#include "framework/period_gate.h"
#include "money/money_document.h"

namespace ws::money {

// The repair order the user chose to settle; id 0 when nothing was chosen.
struct ChosenRepairOrder {
  int64_t id = 0;
  std::string number;  // 工单号码
};
// Shows the chooser of checked, unsettled repair orders for the settlement `settlementId` (0 for
// a new one) of the program; customerId 0 lists every customer's orders.
using RepairOrderChooser = std::function<ChosenRepairOrder(
    host::ISystem& system, int64_t programNumber, int64_t customerId, int64_t settlementId)>;

class JS_WS : public MoneyDocument, public framework::OrderFollower {
 public:
  enum HeaderIndex : int {
    // The repair order, copied and shown only.
    kOrderNumber = 0,  // key: the order's 单据ID, saved as 前置单据ID
    kOwner = 1,        // key: 车主ID, saved as 往来ID
    kPlate = 2,
    kModel = 3,
    kMaker = 4,
    kDateIn = 5,
    kDateOut = 6,
    kDepartment = 7,
    kMileage = 8,
    kEngine = 9,
    kChassis = 10,
    kPerson = 11,
    kCategory = 12,
    kTelephone = 13,
    kInvoice = 14,
    kReceptionist = 15,
    // The settlement.
    kNumber = 16,
    kDate = 17,
    kSalesman = 18,  // picker "pdmgy_j"
    kMethod = 19,    // picker "sel_pdmsjzd"
    kAccount = 20,   // detail cash or bank account, typed code or name
    kSummary = 21,
    kCollected = 22,  // 总金额
    kWriteOff = 23,   // 扣零金额
    kRemarks = 24,
    // The fees.
    kLabour = 25,
    kParts = 26,
    kDiagnosis = 27,
    kInspection = 28,
    kManagement = 29,
    // Computed.
    kReceivable = 30,  // 应收合计
    kReceived = 31,    // 总金额 + 扣零金额
    kOwed = 32,        // 应收合计 - received
    // Audit.
    kEnteredBy = 33,
    kEntryDate = 34,
    kCheckedBy = 35,
    kCheckDate = 36,
  };

  static constexpr const char* kFieldArray = "ywTxt";
  static constexpr const char* kItemGrid = "ywGridXM";
  static constexpr const char* kPartGrid = "ywGridPJ";
  static constexpr const char* kSelectButton = "cmdSelect";
  static constexpr const char* kFeeFrame = "fraFees";
  static constexpr const char* kMoneyFrame = "fraMoney";
  static constexpr const char* kTitle = "收款单";
  static constexpr const char* kSettledText = "该维修单已经结算，不能重复结算！";
  // Unchecking a settlement would drop the debt receipts have already been written off against.
  static constexpr const char* kCollectedText =
      "该维修单已有收款单核销，请先反审核或删除收款单，再反审核结算单！";

  explicit JS_WS(RepairOrderChooser chooser);
  ~JS_WS() override;

  static const framework::HeaderSchema& SettlementSchema();
  std::vector<host::FindColumn> FindColumns() const override;

  // FileSave validates (fields, repair order, period), settles the number, writes the header,
  // the fee row and the lines in one transaction and shows the saved settlement again.
  // FileDelete asks "是否删除当前记录:" and deletes the settlement with its four detail tables.
  // Check and UnCheck go through the period gate: mark checked and replace the voucher lines,
  // or mark entered; each in one transaction.
  // DoPrint writes the print data, titled "收款单", to <work folder>/selfPrint/<program>.txt.

  // The button "选择维修单": the chosen order becomes the settled one.
  void ChooseRepairOrder();
  // A new settlement of the order, as choosing it in that chooser gives it.
  bool NewForOrder(int64_t orderId) override;
  // Copies the repair order into the form: header, labour lines as new lines, issued parts.
  bool LoadRepairOrder(int64_t orderId);
  // Fees from the grids, the 10 % management fee, the receivable, received and owed amounts.
  void CalcTotals();

  forms::Field& Header(int index) const;
  framework::LineGrid& Lines(framework::LineKind kind) const {
    return kind == framework::LineKind::Items ? *items_ : *parts_;
  }

 protected:
  void SetupForm() override;
  std::string BaseSelect() const override;
  std::string ListWindow() override;
  void ShowDetails(const db::Recordset& records) override;
  void AfterClear() override;
  void NewDocumentDefaults() override;
  std::string Title() const override { return kTitle; }
  bool ChangeState(bool check) override;
  std::string StateTag(bool check) const override {
    return check ? "IFormUI_Check::" : "IFormUI_UnCheck::";
  }
  bool DeleteDocument() override;
  std::string PrintTitle() const override { return kTitle; }

 private:
  // --- Form and display (js_ws.cpp).
  // The chosen order becomes the settled one.
  bool TakeRepairOrder(const ChosenRepairOrder& chosen);
  void FieldChanged(int index) override;
  void FieldLeft(int index) override;
  // A typed money field in the shop's amount decimals.
  void RoundTyped(int index);
  void FieldPicker(int index) override;
  void ResolveAccount();
  bool LoadLines(framework::LineKind kind, int64_t settlementId);
  bool LoadFees(int64_t settlementId);
  void RecalcFromFees();
  void SetManagementFee();
  // The shop's amount decimals: what every fee, total and owed amount is rounded to.
  int Decimals() const;
  void RecalcReceived();
  void SetNumber(int index, db::Amount value);
  db::Amount Amount(int index) const;

  // --- Save, delete, check (js_ws_save.cpp).
  bool ValidateSave() override;
  bool PrepareSave(framework::RowValues& values, bool isNew) override;
  bool CheckInTransaction(framework::SaveContext& ctx) override;
  bool BeforeHeader(framework::SaveContext& ctx) override;
  bool AfterLines(framework::SaveContext& ctx) override;
  void AfterCommit(const framework::SaveContext& ctx) override;

  RepairOrderChooser chooser_;
  framework::PeriodGate gate_;
  std::unique_ptr<framework::LineGrid> items_;
  std::unique_ptr<framework::LineGrid> parts_;
  // A saved settlement whose order was chosen again: its saved lines give way to the copied
  // ones at the next save.
  bool linesReplaced_ = false;
};

}  // namespace ws::money
