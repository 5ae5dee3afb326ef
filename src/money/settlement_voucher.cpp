#include "money/settlement_voucher.h"

#include <algorithm>

#include "db/runner.h"
#include "db/value.h"

namespace ws::money {

namespace {

struct FeeAccount {
  db::Amount amount;
  const char* account;
};

std::vector<FeeAccount> FeesInOrder(const SettlementFees& fees) {
  return {{fees.labour, kLabourAccount},
          {fees.parts, kPartsAccount},
          {fees.diagnosis, kDiagnosisAccount},
          {fees.inspection, kInspectionAccount},
          {fees.management, kManagementAccount}};
}

std::string Summary(const char* kind, const SettlementDocument& s) {
  return std::string(kind) + "[" + s.orderNumber + " " + s.plate + "]";
}

}  // namespace

std::vector<VoucherLine> SettlementVoucherLines(const SettlementDocument& s,
                                                const std::string& cashAccount) {
  const std::string orderSummary = Summary("汽修单", s);
  std::vector<VoucherLine> lines;
  for (const FeeAccount& fee : FeesInOrder(s.fees)) {
    if (!fee.amount.IsZero()) {
      lines.push_back({fee.account, true, fee.amount, 0, s.customerId, orderSummary});
    }
  }
  if (!s.collected.IsZero() && s.accountId > 0) {
    lines.push_back({cashAccount, true, s.collected, s.methodId, 0, orderSummary});
  }
  if (!s.writeOff.IsZero()) {
    lines.push_back({kWriteOffAccount, true, s.writeOff, s.methodId, 0, orderSummary});
  }
  const std::string receiptSummary = Summary("收款单", s);
  // Exact sums leave no residue: the credits stop where collected + written off is used up.
  db::Amount remaining = s.collected + s.writeOff;
  for (const FeeAccount& fee : FeesInOrder(s.fees)) {
    if (remaining <= db::Amount()) break;
    if (fee.amount.IsZero()) continue;
    db::Amount credit = std::min(fee.amount, remaining);
    remaining -= credit;
    lines.push_back({fee.account, false, credit, s.methodId, s.customerId, receiptSummary});
  }
  return lines;
}

db::Sql CashAccountSelect(int64_t accountId) {
  db::Sql sql(" SELECT 科目编码 FROM pdmkjkm WHERE 科目ID=");
  sql.Key(accountId);
  return sql;
}

db::Sql VoucherDelete(int64_t programNumber, int64_t settlementId) {
  db::Sql sql(" DELETE FROM gl_accvouch WHERE 前置单据=");
  sql.Key(programNumber).Raw(" AND 前置单据ID=").Key(settlementId);
  return sql;
}

db::Sql VoucherInsert(const VoucherLine& line, int64_t autoId, int64_t currencyId,
                      const SettlementDocument& s, std::string_view driver) {
  db::Sql sql(
      " INSERT INTO gl_accvouch(  autoid,progid,smark,status,科目编码,对方科目,会计期间,凭证日期,"
      "出纳编号,结算方式ID,币种ID,摘要,");
  sql.Raw(line.debit ? "   借方金额,汇率,外币借方金额," : "   贷方金额,汇率,外币贷方金额,")
      .Raw("部门ID,雇员ID,往来ID,项目,制单,制单日期,前置单据,前置单据ID ) VALUES (")
      .Key(autoId)
      .Raw(",")
      .Key(s.programNumber)
      .Raw(",'01','填单',")
      .Text(line.account)
      .Raw(",'',")
      .Key(s.period)
      .Raw(",")
      .Date(s.date, driver)
      .Raw(",")
      .Text(s.number)
      .Raw(",")
      .Key(line.methodId)
      .Raw(",")
      .Key(currencyId)
      .Raw(",")
      .Text(line.summary)
      .Raw(",")
      .Money(line.amount)
      .Raw(",1,")
      .Money(line.amount)
      .Raw(",0,0,")
      .Key(line.partnerId)
      .Raw(",'',")
      .Text(s.enteredBy)
      .Raw(",")
      .Date(s.entryDate, driver)
      .Raw(",")
      .Key(s.programNumber)
      .Raw(",")
      .Key(s.id)
      .Raw(")");
  return sql;
}

std::string SettlementPosting::CheckStatements(const SettlementDocument& s, const Checker& checker,
                                               std::vector<db::Sql>& statements) {
  db::IDatabase& database = system_.GetDatabase();
  db::Runner runner(database);
  std::string error;
  std::string cashAccount;
  if (s.accountId > 0 && !s.collected.IsZero()) {
    cashAccount = runner.ScalarText(CashAccountSelect(s.accountId), &error);
    if (!error.empty()) return error;
  }
  const int64_t currencyId = static_cast<int64_t>(db::NumericValue(system_.GetOption(12, 4)));
  const std::string driver = runner.Driver();

  std::vector<db::Sql> out;
  out.push_back(CheckMarkUpdate(s.programNumber, s.id, checker, driver));
  out.push_back(VoucherDelete(s.programNumber, s.id));
  for (const VoucherLine& line : SettlementVoucherLines(s, cashAccount)) {
    int64_t autoId = 0;
    error = navigator_.GetNewID("gl_accvouch", "AutoID", autoId);
    if (!error.empty()) return error;
    out.push_back(VoucherInsert(line, autoId, currencyId, s, driver));
  }
  statements = std::move(out);
  return {};
}

std::vector<db::Sql> SettlementPosting::UnCheckStatements(const SettlementDocument& s) const {
  std::vector<db::Sql> out;
  out.push_back(UnCheckMarkUpdate(s.programNumber, s.id, system_.GetDatabase().Settings("driver")));
  return out;
}

}  // namespace ws::money
