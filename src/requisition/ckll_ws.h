// CKLl_WS, the material requisition: the parts a workshop takes out of a depot for a repair
// order. The header lives in JXCDJ, the lines in JXCDJMX, under the control's program number.
//
// The form: header fields "ywTxt"(HeaderIndex), the line grid "ywGrid" (requisition_lines.h),
// the import button "btn", the labels "lbl"(4) total amount, "lbl"(15) total quantity and
// "lbl"(3) the amount in words. The list reaches back over the stock periods of "befmonth".
//
// Saving validates in this order: fields, the stored state (a document checked elsewhere is
// refused), the header depot while the depot column is hidden, each line's depot and batch (the
// grid's cell moves to the offending row), an empty body, the stock period (future and closed
// periods refused; a past one asks once per control life, shared with Check). Number, header,
// removed lines and lines are written in one transaction; a failure keeps the form as typed.
// Check and UnCheck run the requisition's check step (check_step.h).
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "framework/document.h"
#include "framework/order_follower.h"
#include "framework/period_gate.h"
#include "requisition/check_gate.h"
#include "requisition/requisition_lines.h"
#include "requisition/selection_list.h"

namespace ws::requisition {

class CKLl_WS : public framework::Document, public framework::OrderFollower {
 public:
  // One line a group of the form, in its visual order (see RequisitionSchema).
  // clang-format off
  enum HeaderIndex : int {
    kNumber = 2, kDate = 5, kNature = 1,
    kDepot = 0, kDepartment = 3, kHandler = 8, kCurrency = 10,
    kOrder = 6, kVehicle = 7, kCustomer = 15, kProject = 4, kRemark = 9,
    kEnteredBy = 12, kEntryDate = 11, kCheckedBy = 14, kCheckDate = 13,
    kFieldCount = 16
  };
  // clang-format on

  static constexpr const char* kFieldArray = "ywTxt";
  static constexpr const char* kGrid = "ywGrid";
  static constexpr const char* kImportButton = "btn";
  static constexpr const char* kLabels = "lbl";
  static constexpr int kAmountWords = 3;
  static constexpr int kAmountFigures = 4;
  static constexpr int kQuantityTotal = 15;
  static constexpr const char* kErrorTitle = "CKLL_WS";
  static constexpr const char* kTool = "bomspread";
  // A checked order the chooser does not list: every part line is issued in full.
  static constexpr const char* kNothingToIssue = "该维修单的配件已全部领用，没有可领的配件！";

  CKLl_WS();

  static const framework::HeaderSchema& RequisitionSchema();
  std::vector<host::FindColumn> FindColumns() const override;

  bool FileEdit() override;
  bool Tools() override;
  bool Action(const std::string& name) override;

  // The import from repair orders (the "btn" button): the chooser, then its rows into the grid.
  void ImportFromOrders();
  // A new requisition of the order's part lines still to issue, with its order, vehicle and
  // customer, as choosing the whole order in that chooser gives it.
  bool NewForOrder(int64_t orderId) override;

  forms::Field& Header(int index) const;
  RequisitionLines& Lines() const { return *lines_; }
  // The period of the shown document's date; set at each display and save validation.
  int DocumentPeriod() const { return documentPeriod_; }
  const framework::PeriodGate& Gate() const { return gate_; }

 protected:
  void SetupForm() override;
  std::string BaseSelect() const override;
  std::string ListWindow() override;
  void ShowDetails(const db::Recordset& records) override;
  void ReadAheadDetails(int64_t id) override;
  void AfterClear() override;
  void NewDocumentDefaults() override { SetDefaultCurrency(); }
  bool ChangeState(bool check) override;
  bool DeleteDocument() override;
  void AddPrintValues(host::IPrintData& data) override;
  std::string SavedText() const override { return "保存单据成功!"; }
  db::Sql DuplicateNumberSelect(const framework::SaveContext& ctx) const override;
  std::string LoadTag() const override { return "-->LoadData::"; }
  std::string FindTag() const override { return "-->FindData::"; }
  const char* CheckedStampName() const override { return kSucceedStamp; }

 private:
  // --- Form and display (ckll_ws.cpp).
  void WireHeader();
  void FieldPicker(int index) override;
  void FieldLeft(int index) override;
  void RefuseOrder(const std::string& text) override;
  // The selection into the form: the first row's order in the header, every row a line.
  void ImportSelection();
  void ShowOrderLink(int64_t sourceProgram, int64_t sourceId);
  // What showing document `id` of that order reads, asked for with the next statement where
  // the database reads ahead.
  void ReadAheadShow(int64_t id, int64_t sourceProgram, int64_t sourceId);
  // The repair-order lines the grid's lines were issued for, each once, in grid order.
  std::vector<int64_t> SourceLines() const;
  void ShowSourceCells();
  void RecalcTotals();
  void Changed();
  void SetDefaultCurrency();
  forms::Label& Label(int index) const;
  int PeriodOfField() const;

  // --- Save and state changes (ckll_ws_save.cpp).
  bool ValidateSave() override;
  bool IsCanSave();
  bool RowsValid(bool* anyLine);
  void FocusCell(int row, int col);
  bool PrepareSave(framework::RowValues& values, bool isNew) override;

  std::unique_ptr<RequisitionLines> lines_;
  SelectionList selection_;
  framework::PeriodGate gate_;
  int documentPeriod_ = 0;
  std::map<int64_t, std::string> programNames_;  // captions of source programs, by number
};

}  // namespace ws::requisition
