#include "reports/technician_pay.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <numeric>
#include <tuple>

#include "db/date.h"
#include "db/default_config.h"
#include "db/runner.h"
#include "db/sql.h"
#include "db/value.h"
#include "forms/number_format.h"
#include "forms/text.h"
#include "reports/calendar.h"

namespace ws::reports {

namespace {

__extension__ typedef __int128 Wide;

constexpr const char* kPercentName = "比例";
constexpr const char* kPerHourName = "工时";

int64_t Hundredths(double hours) {
  return std::llround(hours * 100);
}

int64_t PowerOfTen(int digits) {
  int64_t value = 1;
  for (int i = 0; i < digits; ++i) value *= 10;
  return value;
}

// The window's two dates, checked; the refusal in *error.
bool ReadWindow(const std::string& from, const std::string& to, TechnicianPay& pay) {
  auto first = db::Date::Parse(forms::Trim(from));
  auto last = db::Date::Parse(forms::Trim(to));
  if (!first || !last) {
    pay.error = "请输入日期的起止(yyyy-mm-dd)";
    return false;
  }
  if (*last < *first) {
    pay.error = "起始日期晚于截止日期";
    return false;
  }
  pay.from = first->Text();
  pay.to = last->Text();
  return true;
}

// A line and who shares it, in dispatch order.
struct SharedLine {
  int64_t hundredths = 0;  // standard hours
  db::Amount labour;
  int64_t categoryId = 0;
  std::vector<std::pair<int64_t, int64_t>> technicians;  // employee, planned hundredths
};

// The rows of `sql` (单据明细ID, 雇员ID, 计划工时, 数量, 工时 and the extra columns `more`
// reads) gathered per line, in the order read.
std::vector<SharedLine> ReadSharedLines(
    db::Runner& runner, const db::Sql& sql, std::string* error,
    const std::function<void(const db::Recordset&, SharedLine&)>& more) {
  std::vector<SharedLine> lines;
  int64_t current = 0;
  auto rs = runner.Open(sql, error);
  for (; error->empty() && !rs->Eof(); rs->MoveNext()) {
    const int64_t lineId = rs->Long("单据明细ID");
    if (lines.empty() || lineId != current) {
      current = lineId;
      SharedLine line;
      line.hundredths = Hundredths(rs->Number("工时") * rs->Number("数量"));
      if (more) more(*rs, line);
      lines.push_back(std::move(line));
    }
    lines.back().technicians.emplace_back(rs->Long("雇员ID"), Hundredths(rs->Number("计划工时")));
  }
  return lines;
}

std::vector<int64_t> Weights(const SharedLine& line) {
  std::vector<int64_t> weights;
  for (const auto& technician : line.technicians) weights.push_back(technician.second);
  return weights;
}

// The employees' codes and names; technicians marked as such listed even when idle.
std::string ReadPeople(db::Runner& runner, std::map<int64_t, TechnicianFigures>& people,
                       bool everyTechnician) {
  std::string error;
  auto rs = runner.Open(db::Sql("SELECT 雇员ID, 雇员编码, 姓名, 是否技师 FROM PDMGY"), &error);
  for (; error.empty() && !rs->Eof(); rs->MoveNext()) {
    const int64_t id = rs->Long("雇员ID");
    auto found = people.find(id);
    if (found == people.end()) {
      if (!everyTechnician || rs->Long("是否技师") != 1) continue;
      found = people.emplace(id, TechnicianFigures{}).first;
    }
    found->second.code = rs->Text("雇员编码");
    found->second.name = rs->Text("姓名");
  }
  return error;
}

void Finish(std::map<int64_t, TechnicianFigures>& people, TechnicianPay& pay) {
  for (auto& [id, figures] : people) {
    figures.employeeId = id;
    pay.rows.push_back(std::move(figures));
  }
  std::sort(pay.rows.begin(), pay.rows.end(), [](const auto& a, const auto& b) {
    return std::tie(a.code, a.name, a.employeeId) < std::tie(b.code, b.name, b.employeeId);
  });
}

std::string HoursCell(int64_t hundredths) {
  return forms::FixedText(static_cast<double>(hundredths) / 100.0, 2);
}

std::string PercentCell(std::optional<double> percent) {
  return percent ? forms::FixedText(*percent, 1) : std::string();
}

}  // namespace

std::vector<int64_t> SplitByWeight(int64_t whole, const std::vector<int64_t>& weights) {
  std::vector<int64_t> shares(weights.size(), 0);
  if (weights.empty()) return shares;
  std::vector<int64_t> used = weights;
  for (auto& weight : used) weight = std::max<int64_t>(weight, 0);
  int64_t total = std::accumulate(used.begin(), used.end(), int64_t{0});
  if (total == 0) {
    std::fill(used.begin(), used.end(), 1);
    total = static_cast<int64_t>(used.size());
  }
  // Floors of the exact shares, then one unit each to the largest remainders: the shares of a
  // negative whole are those of its opposite, negated.
  const int64_t magnitude = whole < 0 ? -whole : whole;
  std::vector<std::pair<int64_t, size_t>> remainders;
  int64_t given = 0;
  for (size_t i = 0; i < used.size(); ++i) {
    const Wide exact = static_cast<Wide>(magnitude) * used[i];
    shares[i] = static_cast<int64_t>(exact / total);
    remainders.emplace_back(static_cast<int64_t>(exact % total), i);
    given += shares[i];
  }
  std::stable_sort(remainders.begin(), remainders.end(),
                   [](const auto& a, const auto& b) { return a.first > b.first; });
  for (size_t i = 0; given < magnitude; ++i, ++given) ++shares[remainders[i].second];
  if (whole < 0) {
    for (auto& share : shares) share = -share;
  }
  return shares;
}

const char* CommissionKindName(CommissionKind kind) {
  return kind == CommissionKind::Percent ? kPercentName : kPerHourName;
}

std::optional<CommissionKind> CommissionKindByName(const std::string& name) {
  const std::string typed = forms::Trim(name);
  if (typed == kPercentName) return CommissionKind::Percent;
  if (typed == kPerHourName) return CommissionKind::PerHour;
  return std::nullopt;
}

std::optional<double> TechnicianFigures::EfficiencyPercent() const {
  if (clockedHundredths <= 0) return std::nullopt;
  return 100.0 * static_cast<double>(billedHundredths) / static_cast<double>(clockedHundredths);
}

std::vector<CommissionRule> LoadCommissionRules(db::IDatabase& database, std::string* error) {
  std::string failure;
  auto rs = db::Runner(database).Open(
      db::Sql("SELECT f.维修分类ID, f.编码, f.维修分类, r.方式, r.比率 FROM pdmwxfl f LEFT JOIN "
              "ws_commission_rule r ON r.维修分类ID = f.维修分类ID ORDER BY f.编码, f.维修分类ID"),
      &failure);
  std::vector<CommissionRule> rules;
  for (; failure.empty() && !rs->Eof(); rs->MoveNext()) {
    CommissionRule rule;
    rule.categoryId = rs->Long("维修分类ID");
    rule.categoryCode = rs->Text("编码");
    rule.category = rs->Text("维修分类");
    const auto kind = CommissionKindByName(rs->Text("方式"));
    rule.set = kind.has_value();
    rule.kind = kind.value_or(CommissionKind::Percent);
    rule.rate = rs->Money("比率");
    rules.push_back(std::move(rule));
  }
  if (error) *error = failure;
  if (!failure.empty()) rules.clear();
  return rules;
}

std::string CommissionRuleProblem(const CommissionRule& rule) {
  if (!rule.set) return {};
  const db::Amount& rate = rule.rate;
  if (!rate.InRange() || rate < db::Amount()) return rule.category + "：提成比率不能小于 0";
  if (rule.kind == CommissionKind::Percent) {
    // Two decimals of a percent are the four an amount factor holds: the commission is then
    // the labour amount times the factor, rounded once.
    if (rate > db::Amount::Of("100") || rate.Units() % 100 != 0) {
      return rule.category + "：提成比例须在 0 到 100 之间，最多两位小数";
    }
  } else if (rate > db::Amount::Of("100000")) {
    return rule.category + "：每工时提成须在 0 到 100000 之间";
  }
  return {};
}

std::string SaveCommissionRules(db::IDatabase& database, const std::vector<CommissionRule>& rules,
                                const std::string& user, const std::string& now) {
  for (const CommissionRule& rule : rules) {
    if (std::string problem = CommissionRuleProblem(rule); !problem.empty()) return problem;
  }
  db::Transaction t(database);
  for (const CommissionRule& rule : rules) {
    std::string error;
    const bool known =
        t.Db()
            .Scalar(
                db::Sql("SELECT COUNT(*) FROM pdmwxfl WHERE 维修分类ID = ").Key(rule.categoryId),
                &error)
            .ToLong() > 0;
    if (!error.empty()) return error;
    if (!known) return "没有这个维修分类：" + rule.category;
    db::Sql sql("DELETE FROM ws_commission_rule WHERE 维修分类ID = ");
    sql.Key(rule.categoryId);
    if (rule.set) {
      sql = db::Sql(
          "INSERT INTO ws_commission_rule (维修分类ID, 方式, 比率, 修改人, 修改时间) VALUES (");
      sql.Key(rule.categoryId)
          .Raw(", ")
          .Text(CommissionKindName(rule.kind))
          .Raw(", ")
          .Money(rule.rate)
          .Raw(", ")
          .Text(user)
          .Raw(", ")
          .Text(now)
          .Raw(
              ") ON CONFLICT (维修分类ID) DO UPDATE SET 方式 = excluded.方式, 比率 = "
              "excluded.比率, 修改人 = excluded.修改人, 修改时间 = excluded.修改时间");
    }
    if (!t.Run(sql)) return t.Error();
  }
  return t.Commit() ? std::string() : t.Error();
}

int64_t FindCategory(db::IDatabase& database, const std::string& typed, std::string* error) {
  const std::string text = forms::Trim(typed);
  if (text.empty()) return 0;
  db::Runner runner(database);
  for (const char* column : {"编码", "维修分类"}) {
    const int64_t id =
        runner
            .Scalar(
                db::Sql("SELECT 维修分类ID FROM pdmwxfl WHERE ").Raw(column).Raw(" = ").Text(text),
                error)
            .ToLong();
    if (id > 0 || (error && !error->empty())) return id;
  }
  return 0;
}

TechnicianPay LoadEfficiency(db::IDatabase& database, const std::string& from,
                             const std::string& to) {
  TechnicianPay pay;
  if (!ReadWindow(from, to, pay)) return pay;
  const std::string dayAfter = AddDays(pay.to, 1);
  db::Runner runner(database);
  std::map<int64_t, TechnicianFigures> people;

  // Times are "yyyy-mm-dd hh:mm:ss" text: the window is [from, the day after to).
  db::Sql billed(
      "SELECT t.单据明细ID, t.雇员ID, t.计划工时, x.数量, i.工时 FROM ws_job j "
      "JOIN ws_job_tech t ON t.单据明细ID = j.单据明细ID "
      "JOIN WSDJXM x ON x.单据明细ID = j.单据明细ID "
      "LEFT JOIN PDMWXXM i ON i.AutoID = x.项目ID "
      "WHERE j.状态 IN ('完工', '已检验') AND j.更新时间 >= ");
  billed.Text(pay.from)
      .Raw(" AND j.更新时间 < ")
      .Text(dayAfter)
      .Raw(" ORDER BY t.单据明细ID, t.派工ID");
  for (const SharedLine& line : ReadSharedLines(runner, billed, &pay.error, nullptr)) {
    const auto shares = SplitByWeight(line.hundredths, Weights(line));
    for (size_t i = 0; i < shares.size(); ++i) {
      TechnicianFigures& figures = people[line.technicians[i].first];
      figures.billedHundredths += shares[i];
      ++figures.lines;
    }
  }
  if (!pay.error.empty()) return pay;

  db::Sql clocked("SELECT 雇员ID, 工时 FROM ws_clock WHERE 结束时间 <> '' AND 结束时间 >= ");
  clocked.Text(pay.from).Raw(" AND 结束时间 < ").Text(dayAfter);
  auto rs = runner.Open(clocked, &pay.error);
  for (; pay.error.empty() && !rs->Eof(); rs->MoveNext()) {
    people[rs->Long("雇员ID")].clockedHundredths += Hundredths(rs->Number("工时"));
  }
  if (pay.error.empty()) pay.error = ReadPeople(runner, people, true);
  if (pay.error.empty()) Finish(people, pay);
  return pay;
}

TechnicianPay LoadCommission(db::IDatabase& database, const std::string& from,
                             const std::string& to, int amountDecimals) {
  TechnicianPay pay;
  if (!ReadWindow(from, to, pay)) return pay;
  const int decimals = std::clamp(amountDecimals, 0, db::Amount::kDecimals);
  const int64_t unit = PowerOfTen(db::Amount::kDecimals - decimals);
  db::Runner runner(database);

  std::map<int64_t, CommissionRule> rules;
  for (CommissionRule& rule : LoadCommissionRules(database, &pay.error)) {
    if (rule.set) rules[rule.categoryId] = std::move(rule);
  }
  if (!pay.error.empty()) return pay;

  // From the dispatched lines (a few of a shop's years) to their orders: checked ones only.
  db::Sql sql(
      "SELECT t.单据明细ID, t.雇员ID, t.计划工时, x.数量, x.金额, i.工时, h.维修分类ID "
      "FROM ws_job_tech t JOIN WSDJXM x ON x.单据明细ID = t.单据明细ID "
      "JOIN WSDJ h ON h.单据ID = x.单据ID LEFT JOIN PDMWXXM i ON i.AutoID = x.项目ID "
      "WHERE h.smark = '02' AND h.progid = ");
  sql.Key(db::kOrderProgram)
      .Raw(" AND h.审核日期 >= ")
      .Date(pay.from, "")
      .Raw(" AND h.审核日期 <= ")
      .Date(pay.to, "")
      .Raw(" ORDER BY t.单据明细ID, t.派工ID");
  const auto lines =
      ReadSharedLines(runner, sql, &pay.error, [&](const db::Recordset& rs, SharedLine& line) {
        line.labour = rs.Money("金额").RoundedTo(decimals);
        line.categoryId = rs.Long("维修分类ID");
      });
  if (!pay.error.empty()) return pay;

  std::map<int64_t, TechnicianFigures> people;
  for (const SharedLine& line : lines) {
    db::Amount commission;
    if (auto rule = rules.find(line.categoryId); rule != rules.end()) {
      const db::Amount& rate = rule->second.rate;
      commission = rule->second.kind == CommissionKind::Percent
                       ? line.labour.Times(rate.DividedBy(db::Amount::Of("100")), decimals)
                       : db::Amount::FromUnits(line.hundredths * 100).Times(rate, decimals);
    }
    const std::vector<int64_t> weights = Weights(line);
    const auto hours = SplitByWeight(line.hundredths, weights);
    const auto labour = SplitByWeight(line.labour.Units() / unit, weights);
    const auto earned = SplitByWeight(commission.Units() / unit, weights);
    for (size_t i = 0; i < weights.size(); ++i) {
      TechnicianFigures& figures = people[line.technicians[i].first];
      ++figures.lines;
      figures.billedHundredths += hours[i];
      figures.labour += db::Amount::FromUnits(labour[i] * unit);
      figures.commission += db::Amount::FromUnits(earned[i] * unit);
    }
  }
  pay.error = ReadPeople(runner, people, false);
  if (pay.error.empty()) Finish(people, pay);
  return pay;
}

const ListColumns& EfficiencyColumns() {
  using K = ListColumnKind;
  static const ListColumns columns = {{"技师编码", 8},
                                      {"技师", 10},
                                      ListColumn{"项目数", 7, K::Number}.Total(),
                                      ListColumn{"标准工时", 9, K::Number}.Total(),
                                      ListColumn{"实际工时", 9, K::Number}.Total(),
                                      {"效率%", 8, K::Number},
                                      ListColumn{"雇员ID", 0}.Hidden()};
  return columns;
}

const ListColumns& CommissionColumns() {
  using K = ListColumnKind;
  static const ListColumns columns = {{"技师编码", 8},
                                      {"技师", 10},
                                      ListColumn{"项目数", 7, K::Number}.Total(),
                                      ListColumn{"标准工时", 9, K::Number}.Total(),
                                      ListColumn{"工时费", 12, K::Money}.Total(),
                                      ListColumn{"提成", 12, K::Money}.Total(),
                                      ListColumn{"雇员ID", 0}.Hidden()};
  return columns;
}

namespace {

// Hours and percents show their decimals; the list's whole-number format would drop them.
void ShowDecimals(forms::Grid& grid) {
  for (const auto& [caption, format] :
       {std::pair{"标准工时", "0.00"}, std::pair{"实际工时", "0.00"}, std::pair{"效率%", "0.0"}}) {
    if (const int col = grid.FindCol(caption); col >= 0) grid.Col(col).format = format;
  }
}

}  // namespace

void FillEfficiencyGrid(const TechnicianPay& pay, forms::Grid& grid, bool totals) {
  SetupListGrid(grid, EfficiencyColumns());
  ShowDecimals(grid);
  for (const TechnicianFigures& row : pay.rows) {
    AddListRow(grid, {row.code, row.name, std::to_string(row.lines),
                      HoursCell(row.billedHundredths), HoursCell(row.clockedHundredths),
                      PercentCell(row.EfficiencyPercent()), std::to_string(row.employeeId)});
  }
  if (totals) AddEfficiencyTotals(grid);
}

void AddEfficiencyTotals(forms::Grid& grid) {
  AddListTotals(grid, EfficiencyColumns(), "技师");
  const int row = grid.GrandTotalRow();
  if (row < 0) return;
  // The shop's efficiency is its billed hours against its clocked hours, not a sum of percents.
  TechnicianFigures total;
  total.billedHundredths =
      Hundredths(db::NumericValue(grid.TextMatrix(row, ColumnOf(EfficiencyColumns(), "标准工时"))));
  total.clockedHundredths =
      Hundredths(db::NumericValue(grid.TextMatrix(row, ColumnOf(EfficiencyColumns(), "实际工时"))));
  grid.SetTextMatrix(row, ColumnOf(EfficiencyColumns(), "效率%"),
                     PercentCell(total.EfficiencyPercent()));
}

void FillCommissionGrid(const TechnicianPay& pay, forms::Grid& grid, bool totals) {
  SetupListGrid(grid, CommissionColumns());
  ShowDecimals(grid);
  for (const TechnicianFigures& row : pay.rows) {
    AddListRow(grid,
               {row.code, row.name, std::to_string(row.lines), HoursCell(row.billedHundredths),
                row.labour.Text(), row.commission.Text(), std::to_string(row.employeeId)});
  }
  if (totals) AddCommissionTotals(grid);
}

void AddCommissionTotals(forms::Grid& grid) {
  AddListTotals(grid, CommissionColumns(), "技师");
}

}  // namespace ws::reports
