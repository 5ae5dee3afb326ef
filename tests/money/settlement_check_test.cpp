// The settlement's voucher lines as a pure function of the settlement.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "money/settlement_voucher.h"
#include "settlement_fixture.h"

namespace ws::money {
namespace {

// "D 113101 300, C 113102 100": side, account, amount.
std::string Brief(const std::vector<VoucherLine>& lines) {
  std::string out;
  for (const auto& line : lines) {
    out += std::string(out.empty() ? "" : ", ") + (line.debit ? "D " : "C ") + line.account + " " +
           line.amount.Text();
  }
  return out;
}

TEST(SettlementVoucherLines, ClearTheFeesInOrderUntilTheMoneyRunsOut) {
  SettlementDocument s;
  struct Case {
    const char *collected, *writeOff;
    int64_t accountId;
    const char *labour, *parts, *management;
    std::string ledger;
  };
  // clang-format off
  const Case cases[] = {
      {"400", "0", 9, "300", "200", "20",
       "D 113101 300, D 113102 200, D 113105 20, D 1001 400, C 113101 300, C 113102 100"},
      // Nothing collected: only the write-off clears, and no cash line.
      {"0", "20", 9, "300", "200", "20",
       "D 113101 300, D 113102 200, D 113105 20, D 550101 20, C 113101 20"},
      // 0.1 + 0.2 is exactly 0.3: the first fee is cleared whole and nothing is left over.
      {"0.1", "0.2", 9, "0.3", "0.1", "0.01",
       "D 113101 0.3, D 113102 0.1, D 113105 0.01, D 1001 0.1, D 550101 0.2, C 113101 0.3"},
      // Amounts near the limit keep their cents in every sum.
      {"99999999999.98", "0.01", 0, "99999999999.9", "0.08", "0.01",
       "D 113101 99999999999.9, D 113102 0.08, D 113105 0.01, D 550101 0.01, "
       "C 113101 99999999999.9, C 113102 0.08, C 113105 0.01"},
  };
  // clang-format on
  for (const Case& c : cases) {
    s.collected = db::Amount::Of(c.collected);
    s.writeOff = db::Amount::Of(c.writeOff);
    s.accountId = c.accountId;
    s.fees = {
        db::Amount::Of(c.labour), db::Amount::Of(c.parts), {}, {}, db::Amount::Of(c.management)};
    EXPECT_EQ(Brief(SettlementVoucherLines(s, c.accountId > 0 ? "1001" : "")), c.ledger);
  }
}

}  // namespace
}  // namespace ws::money
