#include "harness/invariants.h"

#include <cmath>
#include <map>

#include "db/runner.h"
#include "db/sql.h"

namespace ws::harness {

namespace {

// A rule is a query listing the rows that break it, first column a short description.
struct Rule {
  const char* rule;
  const char* offenders;
};

const std::vector<Rule>& Rules() {
  static const std::vector<Rule> rules = {
      {"every repair-order item line has its order",
       "SELECT 单据明细ID FROM WSDJXM x WHERE NOT EXISTS "
       "(SELECT 1 FROM WSDJ h WHERE h.单据ID=x.单据ID)"},
      {"every repair-order part line has its order",
       "SELECT 单据明细ID FROM WSDJPJ x WHERE NOT EXISTS "
       "(SELECT 1 FROM WSDJ h WHERE h.单据ID=x.单据ID)"},
      {"every requisition line has its requisition",
       "SELECT 单据明细ID FROM JXCDJMX x WHERE NOT EXISTS "
       "(SELECT 1 FROM JXCDJ h WHERE h.单据ID=x.单据ID)"},
      {"every settlement fee row has its settlement",
       "SELECT 单据ID FROM ARPReceive_FY x WHERE NOT EXISTS "
       "(SELECT 1 FROM ARPReceive h WHERE h.单据ID=x.单据ID)"},
      {"a work-order number belongs to one order of its program",
       "SELECT 工单号码 FROM WSDJ WHERE 工单号码<>'' GROUP BY progid, 工单号码 "
       "HAVING COUNT(*) > 1"},
      // The labour cost is the total of the item lines the save wrote with it: a save cut
      // short would leave the header's figure without some of its lines.
      {"an order's labour cost is the sum of its saved item lines",
       "SELECT h.单据ID FROM WSDJ h WHERE ABS(COALESCE(h.维修费用,0) - COALESCE((SELECT "
       "SUM(x.金额) FROM WSDJXM x WHERE x.单据ID=h.单据ID),0)) > 0.005"},
      // Checks and unchecks of one order's requisitions each write the sum they read: one
      // that read before another committed would leave a sum that never was.
      {"an order's parts cost is the sum of its checked requisitions",
       "SELECT h.单据ID FROM WSDJ h WHERE EXISTS (SELECT 1 FROM JXCDJ d WHERE d.smark='02' AND "
       "d.前置单据=h.progid AND d.前置单据ID=h.单据ID) AND ABS(COALESCE(h.配件费用,0) - "
       "COALESCE((SELECT SUM(d.总金额) FROM JXCDJ d WHERE d.smark='02' AND d.前置单据=h.progid "
       "AND d.前置单据ID=h.单据ID),0)) > 0.005"},
      {"a stock movement belongs to a line of its requisition",
       "SELECT g.autoid FROM JxcGoodsList g WHERE NOT EXISTS (SELECT 1 FROM JXCDJMX m "
       "WHERE m.单据明细ID=g.单据明细ID AND m.单据ID=g.单据ID)"},
      {"a checked requisition's stock movements are its lines",
       "SELECT d.单据ID FROM JXCDJ d WHERE d.smark='02' AND EXISTS (SELECT 1 FROM "
       "JxcGoodsList g0 WHERE g0.progid=d.progID AND g0.单据ID=d.单据ID) AND ("
       "(SELECT COUNT(*) FROM JXCDJMX m WHERE m.单据ID=d.单据ID) <> (SELECT COUNT(*) FROM "
       "JxcGoodsList g WHERE g.progid=d.progID AND g.单据ID=d.单据ID) OR ABS(COALESCE((SELECT "
       "SUM(m.数量) FROM JXCDJMX m WHERE m.单据ID=d.单据ID),0) - COALESCE((SELECT SUM(g.数量) "
       "FROM JxcGoodsList g WHERE g.progid=d.progID AND g.单据ID=d.单据ID),0)) > 0.005)"},
      {"a voucher line belongs to a settlement",
       "SELECT v.autoid FROM gl_accvouch v WHERE NOT EXISTS (SELECT 1 FROM ARPReceive a "
       "WHERE a.progID=v.前置单据 AND a.单据ID=v.前置单据ID)"},
      {"a voucher line's foreign-currency amount equals its amount",
       "SELECT autoid FROM gl_accvouch WHERE ABS(COALESCE(借方金额,0) - "
       "COALESCE(外币借方金额,0)) > 0.005 OR ABS(COALESCE(贷方金额,0) - "
       "COALESCE(外币贷方金额,0)) > 0.005"},
  };
  return rules;
}

// A settlement's voucher set: the fees and the money collected and written off on the debit
// side; on the credit side the fees, fee by fee, as far as the money collected and written off
// reaches.
void CheckVoucherSets(db::IDatabase& db, InvariantReport& report) {
  std::string error;
  auto rs = db::Runner(db).Open(
      db::Sql("SELECT a.单据ID, a.总金额, a.扣零金额, a.科目ID, f.维修费用, f.配件费用, f.诊断费, "
              "f.检测费, f.管理费, (SELECT SUM(v.借方金额) FROM gl_accvouch v WHERE "
              "v.前置单据=a.progID AND v.前置单据ID=a.单据ID) AS debit, (SELECT SUM(v.贷方金额) "
              "FROM gl_accvouch v WHERE v.前置单据=a.progID AND v.前置单据ID=a.单据ID) AS credit "
              "FROM ARPReceive a LEFT JOIN ARPReceive_FY f ON f.单据ID=a.单据ID WHERE EXISTS "
              "(SELECT 1 FROM gl_accvouch v WHERE v.前置单据=a.progID AND v.前置单据ID=a.单据ID)"),
      &error);
  if (!error.empty()) {
    report.error = error;
    return;
  }
  Violation broken{"a settlement's voucher lines add up to its fees and money", {}, 0};
  for (; !rs->Eof(); rs->MoveNext()) {
    db::Amount fees;
    for (const char* fee : {"维修费用", "配件费用", "诊断费", "检测费", "管理费"})
      fees += rs->Money(fee);
    const db::Amount collected = rs->Money("总金额");
    const db::Amount writeOff = rs->Money("扣零金额");
    const bool cashLine = !collected.IsZero() && rs->Field("科目ID").ToLong() > 0;
    const db::Amount debit = fees + (cashLine ? collected : db::Amount()) + writeOff;
    const db::Amount reach = collected + writeOff;
    const db::Amount credit = reach > db::Amount() ? std::min(fees, reach) : db::Amount();
    // Exact amounts: the vouchers match to the ten-thousandth, with no tolerance.
    if (debit != rs->Money("debit") || credit != rs->Money("credit")) {
      if (broken.count++ == 0) broken.example = rs->Field("单据ID").ToText();
    }
  }
  if (broken.count > 0) report.violations.push_back(broken);
}

}  // namespace

std::string InvariantReport::Describe() const {
  if (!error.empty()) return "invariants could not be checked: " + error;
  if (violations.empty()) return "ok";
  std::string text;
  for (const auto& v : violations) {
    text += v.rule + ": " + std::to_string(v.count) + " row(s) break it, e.g. " + v.example + "\n";
  }
  return text;
}

InvariantReport CheckInvariants(db::IDatabase& db) {
  InvariantReport report;
  for (const Rule& rule : Rules()) {
    std::string error;
    auto rs = db::Runner(db).Open(db::Sql(rule.offenders), &error);
    if (!error.empty()) {
      report.error = std::string(rule.rule) + ": " + error;
      return report;
    }
    if (rs->Eof()) continue;
    Violation v{rule.rule, rs->Field(0).ToText(), 0};
    for (; !rs->Eof(); rs->MoveNext()) ++v.count;
    report.violations.push_back(std::move(v));
  }
  CheckVoucherSets(db, report);
  return report;
}

}  // namespace ws::harness
