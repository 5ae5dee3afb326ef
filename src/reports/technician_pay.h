// What the technicians did and earned in a period, from the workshop floor (src/workshop).
//
// Efficiency (技师效率): the hours a technician clocked (clock records closed in the period)
// against the standard hours he billed: the standard hours (the repair item's 工时 times the
// line's 数量) of the labour lines that reached 完工 or 已检验 in the period, by the line's last
// change of state, so a line counts once, in the period it stands finished in.
//
// Commission (技师提成): on the labour lines of repair orders checked (审核) in the period, by
// the order's 审核日期, each line earns by the rule of its order's repair category: a percentage
// of the line's labour amount (金额), or an amount per standard hour. A line's commission is
// rounded to the shop's amount decimals; a technician's total is the sum of his rounded shares.
//
// The split: the technicians a line was dispatched to share its standard hours, its labour
// amount and its commission in proportion to their planned hours (equally when none was
// planned). Shares are whole hundredths of an hour and whole units of the shop's last amount
// decimal, and always add up to the line: the remainder goes one unit each to the largest
// fractions, ties to the one dispatched first. Nobody's share is lost or made up by rounding.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "db/amount.h"
#include "db/database.h"
#include "forms/grid.h"
#include "reports/list_grid.h"

namespace ws::reports {

// `whole` shared in proportion to the weights; all weights 0 (or none positive) share equally.
// The shares add up to `whole`. Empty weights give no shares.
std::vector<int64_t> SplitByWeight(int64_t whole, const std::vector<int64_t>& weights);

enum class CommissionKind { Percent, PerHour };
// 比例, 工时
const char* CommissionKindName(CommissionKind kind);
std::optional<CommissionKind> CommissionKindByName(const std::string& name);

struct CommissionRule {
  int64_t categoryId = 0;
  std::string categoryCode;
  std::string category;
  bool set = false;  // the category has a rule
  CommissionKind kind = CommissionKind::Percent;
  db::Amount rate;  // percent (比例) or per standard hour (工时)
};

// Every repair category with its rule (set false where it has none), by code.
std::vector<CommissionRule> LoadCommissionRules(db::IDatabase& database, std::string* error);
// Why a rule cannot be kept, empty when it can: a percentage from 0 to 100 with at most two
// decimals, an amount per hour from 0 to 100000.
std::string CommissionRuleProblem(const CommissionRule& rule);
// Writes the rules given (a rule with set false removes the category's), all or nothing, as
// `user` at `now`. Answers the refusal or the database's error, empty when done.
std::string SaveCommissionRules(db::IDatabase& database, const std::vector<CommissionRule>& rules,
                                const std::string& user, const std::string& now);
// The category a typed code or name names, 0 when none.
int64_t FindCategory(db::IDatabase& database, const std::string& typed, std::string* error);

struct TechnicianFigures {
  int64_t employeeId = 0;
  std::string code;
  std::string name;
  int64_t lines = 0;              // labour lines shared
  int64_t billedHundredths = 0;   // standard hours, in hundredths
  int64_t clockedHundredths = 0;  // efficiency only
  db::Amount labour;              // commission only: his share of the labour amounts
  db::Amount commission;
  // Billed against clocked, in percent; nullopt when nothing was clocked.
  std::optional<double> EfficiencyPercent() const;
};

struct TechnicianPay {
  std::string from;
  std::string to;
  std::vector<TechnicianFigures> rows;  // by code, then name
  std::string error;
};

// Both dates are needed (yyyy-mm-dd), `from` not after `to`. Every technician is listed, and
// anyone else who clocked or shared a line in the period.
TechnicianPay LoadEfficiency(db::IDatabase& database, const std::string& from,
                             const std::string& to);
// Technicians who shared a line of a checked order in the period. amountDecimals: the shop's
// (0 to 4).
TechnicianPay LoadCommission(db::IDatabase& database, const std::string& from,
                             const std::string& to, int amountDecimals);

const ListColumns& EfficiencyColumns();
const ListColumns& CommissionColumns();
// One row per technician; with totals, the 合计 row at the foot (efficiency of the totals).
void FillEfficiencyGrid(const TechnicianPay& pay, forms::Grid& grid, bool totals = true);
void AddEfficiencyTotals(forms::Grid& grid);
void FillCommissionGrid(const TechnicianPay& pay, forms::Grid& grid, bool totals = true);
void AddCommissionTotals(forms::Grid& grid);

}  // namespace ws::reports
