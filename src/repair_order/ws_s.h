// WS_S, the repair order: one vehicle visit with its labour items and parts.
//
// The form: the header fields "ywTxt"(index) of HeaderIndex, the line grids "ywGridXM" (labour
// items) and "ywGridPJ" (parts), shown one at a time by the tab buttons "tabItems" and
// "tabParts", the labels of the total in figures and in words, and the keep-values check box:
// when it is ticked, clearing the form keeps the header and the lines (the work-order number is
// always emptied), so a new order starts as a copy of the one shown, with lines of its own.
//
// Lookups of the header: owner (1, picker "pdmkh_j"), repair category (19, "pdmwxfl") and plate
// (23, "pdmcl") resolve typed text through their pickers; department (6), maker (4) and
// receptionist (22) offer the names used on earlier orders ("pdmty_inner_j") and take any text.
// An owner or category the picker cannot resolve leaves the field invalid with the hint
// "<caption>输入有误，请重新输入！" and the save refuses. A plate the vehicle master does not
// know is a first-time car: the field stays valid with key 0 and the save creates the vehicle.
// A plate resolves only to the vehicle whose plate or vehicle number is exactly the typed text,
// so a new plate that starts like a known one is never taken for it; the picker (help key)
// lists the partial matches.
//
// The labour grid ends in two columns for reading only, 技师 (the technicians dispatched, with
// their planned hours) and 派工状态 (the line's state on the floor, a pause with its reason, who
// is on the clock): filled from the floor whenever the order is shown, never saved, compared,
// printed or typed into. A saved line nobody was given is 待派工; a line not saved yet shows
// nothing.
//
// Events: Message, ErrMessage (level 8, title kAppTitle), FormRefreshed.
#pragma once

#include <cstdint>
#include <memory>
#include <set>
#include <string>

#include "db/recordset.h"
#include "framework/document.h"
#include "framework/line_grid.h"
#include "framework/picker_call.h"
#include "framework/vin.h"
#include "repair_order/order_sql.h"

namespace ws::repair_order {

using forms::Trim;
using framework::ChooseInPicker;
using framework::LineGrid;
using framework::OpenPicker;
using framework::PickedRow;
using framework::PickerParameters;
using framework::ResolveTyped;

class WS_S : public framework::Document {
 public:
  // Header fields: indexes of the "ywTxt" array, one line a group of the form in its visual
  // order (see OrderSchema).
  // clang-format off
  enum HeaderIndex : int {
    kPlate = 23, kModel = 3, kEngine = 15, kChassis = 16, kMaker = 4,
    kOwner = 1, kPerson = 18, kTelephone = 20, kDepartment = 6,
    kNumber = 2, kDateIn = 5, kDateOut = 0, kMileage = 7, kCategory = 19, kReceptionist = 22,
        kInvoice = 21, kRemarks = 9,
    kLabour = 17, kParts = 24, kDiagnosis = 25, kInspection = 26, kTotal = 27,
    kEnteredBy = 12, kEntryDate = 11, kCheckedBy = 14, kCheckDate = 13
  };
  // clang-format on

  static constexpr const char* kFieldArray = "ywTxt";
  static constexpr const char* kItemGrid = "ywGridXM";
  static constexpr const char* kPartGrid = "ywGridPJ";
  static constexpr const char* kItemTab = "tabItems";
  static constexpr const char* kPartTab = "tabParts";
  static constexpr const char* kGridFrame = "fraGrid";
  static constexpr const char* kKeepValues = "chkKeep";
  static constexpr const char* kAmountFigures = "lblAmount";
  static constexpr const char* kAmountWords = "lblAmountWords";

  WS_S();

  // The header of an order: every WSDJ column the order reads or writes, by field.
  static const framework::HeaderSchema& OrderSchema();
  // Find and Filter search the order list by these columns.
  std::vector<host::FindColumn> FindColumns() const override;

  // FileSave validates, settles the number, writes the vehicle, the header and the lines in one
  // transaction and shows the saved order again ("保存单据成功！"). Any refusal or failure
  // leaves the form in its editing state with the input as typed.
  // FileDelete asks "是否删除当前记录:" and deletes the order with its lines; moves to the next.
  // Check and UnCheck mark the order checked ("02", "审核") or entered ("01", "填单") with the
  // login user and date as checker; neither reloads the form.
  // DoPrint writes the print data to <work folder>/selfPrint/<program number>.txt.

  forms::Field& Header(int index) const;
  // The line grids; set up by Init.
  LineGrid& Lines(LineKind kind) const { return kind == LineKind::Items ? *items_ : *parts_; }

 protected:
  void SetupForm() override;
  std::string BaseSelect() const override { return OrderListSelect(); }
  std::string ListWindow() override;
  void ShowDetails(const db::Recordset& records) override;
  void ReadAheadDetails(int64_t id) override;
  bool KeepsValues() const override;
  void AfterClear() override;
  void NewDocumentDefaults() override;
  bool ChangeState(bool check) override;
  std::string StateTag(bool check) const override { return check ? "审核时出错：" : "UnCheck::"; }
  void StateChangeFailed(bool check, const std::string& text) override;
  bool DeleteDocument() override;
  std::string DeleteTag() const override { return "XS_S-->DeleteData::"; }
  std::string PrintTag() const override { return "XS_S->sfSetToPrintFile:"; }
  void AddPrintValues(host::IPrintData& data) override;
  std::string LoadTag() const override { return "XS_S-->LoadData::"; }
  std::string FindTag() const override { return "XS_S-->FindData::"; }

 private:
  // --- Form (ws_s.cpp).
  void ShowGrid(LineKind kind);
  bool LoadLines(LineGrid& grid, int64_t orderId);
  // Who works on each saved labour line and its state on the floor, for reading only.
  bool LoadFloor(int64_t orderId);
  void RecalcTotals();
  void RecalcReceivable();
  void Changed();

  // --- Header editing (ws_s_edit.cpp).
  void WireHeader();
  void FieldChanged(int index) override;
  void FieldLeft(int index) override;
  // A field's or grid's request to open another program's form goes to the host; the order
  // counts as changed.
  void ForwardOpenForm(const std::string& program, const std::string& a, const std::string& b,
                       const std::string& c);
  void FieldPicker(int index) override;
  void ResolvePlate();
  void ApplyVehicle(const PickedRow& picked);
  void ApplyLastVisit(int64_t vehicleId);
  // The chassis number (a VIN) is warned about, never refused: as it is left and as the order
  // saves, once for each text.
  void WarnVin();

  // --- Save (ws_s_save.cpp): the hooks of the document save.
  bool ValidateSave() override;
  bool PrepareSave(framework::RowValues& values, bool isNew) override;
  db::Sql DuplicateNumberSelect(const framework::SaveContext& ctx) const override;
  void ReadAheadChecks(framework::SaveContext& ctx) override;
  bool BeforeHeader(framework::SaveContext& ctx) override;
  void AfterCommit(const framework::SaveContext& ctx) override;
  // The work-order number refused as already taken, with the box and focus the clerk knows.
  void RefuseDuplicateNumber(bool isNew) override;
  // A re-save under the revision rule takes the number's next revision.
  void SettleNumber(std::string& number);

  std::unique_ptr<LineGrid> items_;
  std::unique_ptr<LineGrid> parts_;
  // Lookup fields typed into since they were last resolved.
  std::set<int> pendingLookups_;
  framework::VinWarning vinWarning_;
};

}  // namespace ws::repair_order
