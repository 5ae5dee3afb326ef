// The technicians' lists as report windows (technician_pay.h computes them): a period from (0)
// and to (1), the login month when opened.
//   GS_XL  efficiency: one row per technician, standard hours billed against hours clocked.
//   TC_MX  commission: one row per technician; pay, so a program only managers open (and on
//          a server only the managers' group reads the rules). Its window keeps the rules
//          too: a grid "VsRule" of every repair category (方式 比例 or 工时, 比率; an empty
//          方式 is no rule) and the button "cmdSaveRule" that saves them all, or none, and
//          reads the list again.
#pragma once

#include "reports/list_reports.h"
#include "reports/technician_pay.h"

namespace ws::reports {

class PayReport : public ListReport {
 public:
  static constexpr int kFrom = 0;
  static constexpr int kTo = 1;
  explicit PayReport(std::string className);
  // The login day's month, first to last day.
  bool Init(host::ISystem& system, int64_t programNumber) override;
  std::string PrintCondition() const override;

 protected:
  host::ISystem* system_ = nullptr;

  // A row names a technician, not a document.
  void OpenRow(int) override {}
};

class GS_XL : public PayReport {
 public:
  static constexpr int64_t kProgram = 200061;
  GS_XL() : PayReport("GS_XL") {}

 protected:
  bool FillList(db::IDatabase& database, forms::Grid& grid, std::string* error) override;
  void AddTotalRows(forms::Grid& grid) override { AddEfficiencyTotals(grid); }
};

class TC_MX : public PayReport {
 public:
  static constexpr int64_t kProgram = 200062;
  static constexpr const char* kRuleGrid = "VsRule";
  static constexpr const char* kSaveRules = "cmdSaveRule";
  TC_MX();
  bool Init(host::ISystem& system, int64_t programNumber) override;
  forms::Grid& RuleGrid() const { return *rules_; }
  // Reads the rules into their grid again; false (said with ErrMessage) when they cannot be.
  bool LoadRules();
  // Saves the grid's rules as the login user; false, nothing saved, when one is refused.
  bool SaveRules();

 protected:
  bool FillList(db::IDatabase& database, forms::Grid& grid, std::string* error) override;
  void AddTotalRows(forms::Grid& grid) override { AddCommissionTotals(grid); }

 private:
  forms::Grid* rules_ = nullptr;
};

}  // namespace ws::reports
