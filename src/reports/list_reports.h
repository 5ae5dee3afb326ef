// The lists the module computes, as report windows: the same filter panel, grid, find, filter,
// print and layout as the query reports, and a double-click on a row opens its repair order.
//   CL_LS  vehicle history: the plate (ywTxt 0).
//   BY_TX  services due: due dates from (0) and to (1), the coming month when opened.
//   ZL_FX  receivables by age: the day (0, the login day when opened) and the customer (1,
//          "pdmkh_j"). Without a customer, one row per customer; opening a customer's row
//          chooses that customer, and then every order shows with its receipts.
//   LY_DB  parts issued against parts billed: arrival dates from (0) and to (1), the login
//          month when opened, or one work-order number (2); a double click on the
//          requisitions' cell opens the first of them, anywhere else the order.
//   JZ_JC  the period-close checklist: the period (0, yyyymm; the current period when
//          opened); each row opens its document.
//   XG_JL  the audit trail: dates from (0) and to (1), today when opened, the user (2), the
//          kind of document (3, as the menu names it or its class) and its number (4: the
//          whole history of the document that carries it); a double-click opens the document.
#pragma once

#include "db/audit_trail.h"
#include "reports/report_control.h"

namespace ws::reports {

class ListReport : public ReportControl {
 public:
  using ReportControl::ReportControl;
  // The lists have no statement of their own to show; their reads are the loaders'.
  db::Sql Query(const std::string& driver) const override;
  // The lists choose their window when they start (the coming month, the login day); a host's
  // month would undo that.
  bool ShowMonthOf(const db::Date&) override { return false; }

 protected:
  void AppendConditions(db::Sql& sql, const std::string& driver) const override;
};

class CL_LS : public ListReport {
 public:
  static constexpr int64_t kProgram = 200007;
  static constexpr int kPlate = 0;
  CL_LS();
  std::string PrintCondition() const override;

 protected:
  bool FillList(db::IDatabase& database, forms::Grid& grid, std::string* error) override;
  void AddTotalRows(forms::Grid& grid) override;
};

class BY_TX : public ListReport {
 public:
  static constexpr int64_t kProgram = 200008;
  static constexpr int kDueFrom = 0;
  static constexpr int kDueTo = 1;
  BY_TX();
  bool Init(host::ISystem& system, int64_t programNumber) override;
  std::string PrintCondition() const override;

 protected:
  bool FillList(db::IDatabase& database, forms::Grid& grid, std::string* error) override;
};

class ZL_FX : public ListReport {
 public:
  static constexpr int64_t kProgram = 200009;
  static constexpr int kAsOf = 0;
  static constexpr int kCustomer = 1;
  ZL_FX();
  bool Init(host::ISystem& system, int64_t programNumber) override;
  std::string PrintCondition() const override;

 protected:
  bool FillList(db::IDatabase& database, forms::Grid& grid, std::string* error) override;
  void AddTotalRows(forms::Grid& grid) override;
  void OpenRow(int row) override;
  std::string ShapedLayoutFile(const std::string& file) const override;

 private:
  bool showsOrders_ = false;
};

class LY_DB : public ListReport {
 public:
  static constexpr int64_t kProgram = 200010;
  static constexpr int kArrivedFrom = 0;
  static constexpr int kArrivedTo = 1;
  static constexpr int kNumber = 2;
  LY_DB();
  bool Init(host::ISystem& system, int64_t programNumber) override;
  std::string PrintCondition() const override;

 protected:
  bool FillList(db::IDatabase& database, forms::Grid& grid, std::string* error) override;
  void AddTotalRows(forms::Grid& grid) override;
  DocumentRef DocumentAt(int row, int col) const override;
};

class JZ_JC : public ListReport {
 public:
  static constexpr int64_t kProgram = 200015;
  static constexpr int kPeriod = 0;
  JZ_JC();
  // The period a close is prepared for: the module's current period, or the login day's when
  // none is set.
  static int CurrentPeriod(host::ISystem& system);
  bool Init(host::ISystem& system, int64_t programNumber) override;
  std::string PrintCondition() const override;

 protected:
  bool FillList(db::IDatabase& database, forms::Grid& grid, std::string* error) override;
  void AddTotalRows(forms::Grid& grid) override;

 private:
  int closingDay_ = 0;
};

class XG_JL : public ListReport {
 public:
  static constexpr int64_t kProgram = 200031;
  static constexpr int kFrom = 0;
  static constexpr int kTo = 1;
  static constexpr int kUser = 2;
  static constexpr int kType = 3;
  static constexpr int kNumber = 4;
  XG_JL();
  bool Init(host::ISystem& system, int64_t programNumber) override;
  // Narrows the list to the history of one document or card (its class and id): its kind and
  // its last recorded number in the fields, every date and user, for the next Refresh. The list
  // stays on that document until the kind or the number is changed. False before Init.
  bool ShowDocument(const std::string& className, int64_t id);
  std::string PrintCondition() const override;

 protected:
  bool FillList(db::IDatabase& database, forms::Grid& grid, std::string* error) override;

 private:
  // The document ShowDocument put in the fields, as long as they still name it.
  db::AuditFilter shown_;
  host::ISystem* system_ = nullptr;
};

}  // namespace ws::reports
