// The ledger voucher of a checked repair settlement, first as plain lines, then as statements.
//
// Debits: each non-zero fee against its receivable account (113101 labour ... 113105
// management), the money collected against the cash or bank account, the write-off against
// 550101. Credits: the fees in the same order, cleared with collected + written off until that
// runs out. No revenue line is written.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "db/amount.h"
#include "db/sql.h"
#include "host/navigator.h"
#include "host/system.h"
#include "money/check_mark.h"

namespace ws::money {

struct SettlementFees {
  db::Amount labour;      // 维修费用
  db::Amount parts;       // 配件费用
  db::Amount diagnosis;   // 诊断费
  db::Amount inspection;  // 检测费
  db::Amount management;  // 管理费
};

// What the check needs of the settlement shown.
struct SettlementDocument {
  int64_t id = 0;             // 单据ID
  int64_t programNumber = 0;  // progID
  std::string number;         // 单据编号, the voucher's 出纳编号
  std::string date;           // 单据日期 "yyyy-mm-dd", the voucher date
  int64_t period = 0;         // 会计期间
  int64_t customerId = 0;     // 往来ID, the repair order's owner
  int64_t methodId = 0;       // 结算方式ID
  int64_t accountId = 0;      // 科目ID of the cash or bank account; 0 for none
  db::Amount collected;       // 总金额
  db::Amount writeOff;        // 扣零金额
  SettlementFees fees;
  std::string orderNumber;  // 工单号码 of the settled order
  std::string plate;        // 车牌号
  std::string enteredBy;    // 制单人
  std::string entryDate;    // 制单日期 "yyyy-mm-dd"
};

// The receivable accounts of the fees, in voucher order, and the write-off account.
inline constexpr const char* kLabourAccount = "113101";
inline constexpr const char* kPartsAccount = "113102";
inline constexpr const char* kDiagnosisAccount = "113103";
inline constexpr const char* kInspectionAccount = "113104";
inline constexpr const char* kManagementAccount = "113105";
inline constexpr const char* kWriteOffAccount = "550101";

struct VoucherLine {
  std::string account;  // 科目编码
  bool debit = true;
  db::Amount amount;
  int64_t methodId = 0;   // 结算方式ID
  int64_t partnerId = 0;  // 往来ID
  std::string summary;    // 摘要

  bool operator==(const VoucherLine&) const = default;
};

// The voucher lines of a settlement in the order they are written. `cashAccount` is the code of
// the settlement's cash or bank account; the cash line is written when money was collected and
// the settlement names an account (accountId > 0).
std::vector<VoucherLine> SettlementVoucherLines(const SettlementDocument& settlement,
                                                const std::string& cashAccount);

// --- Statements.
db::Sql CashAccountSelect(int64_t accountId);
// Removes every voucher line tied to the settlement.
db::Sql VoucherDelete(int64_t programNumber, int64_t settlementId);
db::Sql VoucherInsert(const VoucherLine& line, int64_t autoId, int64_t currencyId,
                      const SettlementDocument& settlement, std::string_view driver);

// Builds the statements of a settlement check, reading what the check needs from the host: the
// cash account's code, the local currency (option 4 of module 12) and one new id per voucher
// line. The caller runs the statements, in order, in one db::Transaction, after the period
// gate has passed.
class SettlementPosting {
 public:
  SettlementPosting(host::ISystem& system, host::INavigator& navigator)
      : system_(system), navigator_(navigator) {}

  // Mark checked, delete the earlier voucher lines, insert the new ones. Answers the error
  // text of a failed read or id request (and no statements), empty on success.
  std::string CheckStatements(const SettlementDocument& settlement, const Checker& checker,
                              std::vector<db::Sql>& statements);
  // Back to entered. The voucher lines stay until the next check replaces them.
  std::vector<db::Sql> UnCheckStatements(const SettlementDocument& settlement) const;

 private:
  host::ISystem& system_;
  host::INavigator& navigator_;
};

}  // namespace ws::money
