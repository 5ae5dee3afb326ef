// The counter chain behind the demo's repair orders: the material requisition issuing a checked
// order's parts, the settlement billing it and the receipts paying it, each written as the
// module's own save and check leave it (the header and its lines, the stock movements, the
// voucher lines, the order's parts cost, collected amount, balance and row version, the status
// columns, the numbers of the day and the ids in the order the documents were made).
//
// Documents are decided when their order is written, from a random stream of their own so that
// the orders stay what the seed made before; they are dated on or after their order's day and
// written, day by day, once the orders have moved past that day. Nothing is dated on the last
// kQuietDays of the demo: the counter's newest orders are still open.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "db/database.h"
#include "shop/demo/bulk_rows.h"
#include "shop/demo/demo_data.h"
#include "shop/demo/demo_random.h"

namespace ws::shop {

// What the chain needs of a repair order. Amounts in fen.
struct ChainOrder {
  struct Item {
    int64_t itemId;
    int64_t quantity;
    int64_t priceFen;
    int64_t amountFen;
  };
  struct Part {
    int64_t lineId;  // WSDJPJ.单据明细ID, the line the requisition issues
    int64_t partId;
    int64_t quantity;
    int64_t priceFen;
    int64_t amountFen;
  };
  int64_t id = 0;
  int64_t ownerId = 0;
  int64_t checkDay = -1;  // day number of the order's check; -1 while only entered
  std::string number;     // 工单号码
  std::string plate;
  std::string remark;
  int64_t labourFen = 0;
  int64_t partsFen = 0;
  int64_t diagnosisFen = 0;
  int64_t inspectionFen = 0;
  int64_t receivableFen = 0;
  std::vector<Item> items;
  std::vector<Part> parts;
};

// What the chain's checks did to the order's own row.
struct ChainEffect {
  // 补收金额, the checked receipts' write-offs summed as the engine sums them, one receipt at a
  // time (REAL columns on SQLite); the balance is computed from it as the last check does.
  double collected = 0;
  int64_t rowVersion = 0;  // ws_rowver: one per update the checks made of the row
};

// A part's stock row: where the requisition takes it from and the quantity its line shows.
struct ChainStock {
  int64_t depot = 0;
  double quantity = 0;
  std::string name;
  std::string variant;  // 规格
};

struct ChainStaff {
  std::vector<std::string> storekeepers;
  std::vector<std::string> cashiers;
};

class DemoChain {
 public:
  static constexpr int kQuietDays = 2;

  // lastDay: day number of the demo's reference date. stock: by part id.
  DemoChain(db::IDatabase& db, std::string& error, uint64_t seed, int64_t lastDay, ChainStaff staff,
            std::map<int64_t, ChainStock> stock);
  ~DemoChain();

  // Decides the order's documents (the order is dated `day`, days ascending from call to call)
  // and writes those dated before it. Answers what their checks did to the order.
  ChainEffect Plan(int64_t day, const ChainOrder& order);
  // Writes the documents still held back and the number counters of their days.
  void Finish();
  const ChainCounts& Counts() const { return counts_; }

 private:
  struct Requisition;
  struct Settlement;
  struct Receipt;
  struct Day;

  void WriteDaysBefore(int64_t day);
  void WriteDay(int64_t day, Day& documents);
  void WriteRequisition(int64_t day, const std::string& number, const Requisition& r);
  struct ReceivableHeader {
    int64_t id;
    int64_t program;
    bool checked;
    const std::string& number;
    int64_t ownerId;
    const std::string& date;
    int period;
    std::optional<int64_t> amountFen;  // none: a settlement's
    const std::string& remark;
    int64_t orderId;  // 0: a receipt names its orders on its lines
    const std::string& user;
  };
  void WriteReceivableHeader(const ReceivableHeader& h);
  void WriteSettlement(int64_t day, const std::string& number, const Settlement& s);
  void WriteReceipt(int64_t day, const std::string& number, const Receipt& r);
  bool Recent(int64_t day) const;

  db::IDatabase& db_;
  std::string& error_;
  DemoRandom random_;
  int64_t lastDay_;
  ChainStaff staff_;
  std::map<int64_t, ChainStock> stock_;
  std::map<int64_t, Day> days_;
  ChainCounts counts_;

  int64_t requisitionId_ = 0;
  int64_t requisitionLineId_ = 0;
  int64_t movementId_ = 100;  // the check numbers the first movements from 100 up
  int64_t receivableId_ = 0;  // settlements and receipts share ARPReceive
  int64_t itemLineId_ = 0;
  int64_t partLineId_ = 0;
  int64_t receiptLineId_ = 0;
  int64_t voucherId_ = 0;

  std::unique_ptr<BulkInserter> requisitions_;
  std::unique_ptr<BulkInserter> requisitionLines_;
  std::unique_ptr<BulkInserter> movements_;
  std::unique_ptr<BulkInserter> receivables_;
  std::unique_ptr<BulkInserter> fees_;
  std::unique_ptr<BulkInserter> settledItems_;
  std::unique_ptr<BulkInserter> settledParts_;
  std::unique_ptr<BulkInserter> receiptLines_;
  std::unique_ptr<BulkInserter> vouchers_;
  std::unique_ptr<BulkInserter> billNumbers_;
};

// Days since 1970-01-01 and back (proleptic Gregorian).
int64_t DemoDayNumber(const db::Date& date);
db::Date DemoDateOfDay(int64_t day);
// "yyyymmdd".
std::string DemoCompactDate(const db::Date& date);

}  // namespace ws::shop
