#include "shop/demo/demo_chain.h"

#include <algorithm>
#include <optional>

#include "db/amount.h"
#include "db/date.h"
#include "db/default_config.h"
#include "money/settlement_voucher.h"

namespace ws::shop {

namespace {

using db::kOrderProgram;
using db::kReceiptProgram;
using db::kRequisitionProgram;
using db::kSettlementProgram;
// The chain draws from its own stream: the orders keep the rows the seed gave them before.
constexpr uint64_t kChainStream = 0x9e3779b97f4a7c15ULL;
// Days before the reference date counted as this week's: their documents are more often
// still waiting for the check.
constexpr int64_t kRecentDays = 7;

std::string Padded(int64_t n, size_t width) {
  std::string digits = std::to_string(n);
  if (digits.size() < width) digits.insert(0, width - digits.size(), '0');
  return digits;
}

db::Amount Money(int64_t fen) {
  return db::Amount::FromUnits(fen * 100);
}

}  // namespace

int64_t DemoDayNumber(const db::Date& d) {
  const int y = d.year - (d.month <= 2 ? 1 : 0);
  const int era = (y >= 0 ? y : y - 399) / 400;
  const int yoe = y - era * 400;
  const int mp = (d.month + 9) % 12;
  const int doy = (153 * mp + 2) / 5 + d.day - 1;
  const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return static_cast<int64_t>(era) * 146097 + doe - 719468;
}

db::Date DemoDateOfDay(int64_t z) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  const int day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  const int month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  const int year = static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0));
  return db::Date{year, month, day};
}

std::string DemoCompactDate(const db::Date& date) {
  return Padded(date.year, 4) + Padded(date.month, 2) + Padded(date.day, 2);
}

struct DemoChain::Requisition {
  int64_t orderId;
  bool checked;
  std::string user;
  std::vector<ChainOrder::Part> lines;
};

struct DemoChain::Settlement {
  int64_t orderId;
  int64_t ownerId;
  bool checked;
  std::string user;
  std::string orderNumber;
  std::string plate;
  std::string remark;
  std::vector<ChainOrder::Item> items;
  std::vector<ChainOrder::Part> issued;  // empty when nothing was issued for the order
  int64_t diagnosisFen;
  int64_t inspectionFen;
};

struct DemoChain::Receipt {
  int64_t orderId;
  int64_t ownerId;
  int64_t amountFen;
  bool checked;
  std::string user;
};

struct DemoChain::Day {
  std::vector<Requisition> requisitions;
  std::vector<Settlement> settlements;
  std::vector<Receipt> receipts;
};

DemoChain::DemoChain(db::IDatabase& db, std::string& error, uint64_t seed, int64_t lastDay,
                     ChainStaff staff, std::map<int64_t, ChainStock> stock)
    : db_(db),
      error_(error),
      random_(seed ^ kChainStream),
      lastDay_(lastDay),
      staff_(std::move(staff)),
      stock_(std::move(stock)) {
  auto table = [&](const char* name, std::initializer_list<const char*> columns) {
    return std::make_unique<BulkInserter>(db_, name, columns, error_);
  };
  requisitions_ =
      table("JXCDJ", {"单据ID",   "progID",     "smark",      "系统",     "单据编号", "性质",
                      "前置单据", "前置单据ID", "往来ID",     "仓库ID",   "部门ID",   "业务员ID",
                      "币种ID",   "项目ID",     "本方经手人", "操作日期", "仓库填单", "填单日期",
                      "仓库审核", "审核日期",   "会计期间",   "总金额",   "备注",     "ws_rowver"});
  requisitionLines_ =
      table("JXCDJMX", {"单据明细ID", "单据ID",   "前置单据", "前置单据ID", "仓库ID",   "产品ID",
                        "货位",       "等级",     "特征码",   "产品批次",   "数量",     "重量",
                        "库存数量",   "库存重量", "装箱数",   "单价",       "金额",     "含税单价",
                        "含税金额",   "实际金额", "名称",     "规格",       "会计期间", "备注"});
  movements_ =
      table("JxcGoodsList",
            {"autoid",   "progid",   "单据ID",   "单据明细ID", "单据编号", "仓库填单", "仓库审核",
             "操作日期", "填单日期", "审核日期", "往来ID",     "部门ID",   "仓库ID",   "产品ID",
             "货位",     "等级",     "特征码",   "产品批次",   "数量",     "重量",     "单价",
             "金额",     "装箱数",   "会计期间", "sFunNumber", "备注",     "摘要"});
  receivables_ = table(
      "ARPReceive",
      {"单据ID",     "progID",     "smark",    "status",   "单据编号", "往来ID",   "业务员ID",
       "结算方式ID", "科目ID",     "单据日期", "会计期间", "总金额",   "扣零金额", "摘要",
       "备注",       "前置单据ID", "制单人",   "制单日期", "审核人",   "审核日期", "ws_rowver"});
  fees_ = table("ARPReceive_FY", {"单据ID", "维修费用", "配件费用", "诊断费", "检测费", "管理费"});
  settledItems_ =
      table("ARPReceive_XM", {"单据明细ID", "单据ID", "项目ID", "数量", "单价", "金额", "说明"});
  settledParts_ =
      table("ARPReceive_PJ", {"单据明细ID", "单据ID", "产品ID", "数量", "单价", "金额", "说明"});
  receiptLines_ = table("ARPReceiveMx", {"单据明细ID", "单据ID", "序号", "源单ID", "结算金额",
                                         "本币结算金额", "折扣金额", "本币折扣金额", "会计期间"});
  vouchers_ =
      table("gl_accvouch", {"autoid",       "progid",   "smark",    "status",       "科目编码",
                            "对方科目",     "会计期间", "凭证日期", "出纳编号",     "结算方式ID",
                            "币种ID",       "摘要",     "借方金额", "外币借方金额", "贷方金额",
                            "外币贷方金额", "汇率",     "部门ID",   "雇员ID",       "往来ID",
                            "项目",         "制单",     "制单日期", "前置单据",     "前置单据ID"});
  billNumbers_ = table("ws_billno", {"progid", "prefix", "last_no"});
}

DemoChain::~DemoChain() = default;

bool DemoChain::Recent(int64_t day) const {
  return day > lastDay_ - kRecentDays;
}

ChainEffect DemoChain::Plan(int64_t day, const ChainOrder& order) {
  WriteDaysBefore(day);
  ChainEffect effect;
  // Only a checked order is offered by the requisition's and the settlement's choosers.
  if (order.checkDay < 0) return effect;
  const int64_t lastActive = lastDay_ - kQuietDays;
  auto checkedOn = [&](int64_t on, double recent, double older) {
    return random_.Chance(Recent(on) ? recent : older);
  };

  // The parts go out of stock once the order is checked; a few orders wait for theirs.
  int64_t issuedDay = order.checkDay;
  bool issued = false;
  if (!order.parts.empty() && random_.Chance(0.92)) {
    issuedDay += random_.Chance(0.7) ? 0 : 1;
    if (issuedDay <= lastActive) {
      issued = true;
      const bool checked = checkedOn(issuedDay, 0.5, 0.96);
      if (checked) ++effect.rowVersion;  // the parts cost written back
      days_[issuedDay].requisitions.push_back(
          {order.id, checked, random_.Pick(staff_.storekeepers), order.parts});
    }
  }

  if ((!order.parts.empty() && !issued) || !random_.Chance(0.9)) return effect;
  const int64_t settledDay = issuedDay + random_.Between(0, 2);
  if (settledDay > lastActive) return effect;
  const bool settled = checkedOn(settledDay, 0.6, 0.96);
  const std::string& cashier = random_.Pick(staff_.cashiers);
  days_[settledDay].settlements.push_back({order.id, order.ownerId, settled, cashier, order.number,
                                           order.plate, order.remark, order.items,
                                           issued ? order.parts : std::vector<ChainOrder::Part>{},
                                           order.diagnosisFen, order.inspectionFen});
  if (!settled) return effect;

  // Paid in full, in two parts, in part with the rest still owed, or not yet at all.
  const int64_t owed = order.receivableFen;
  std::vector<std::pair<int64_t, int64_t>> payments;  // day, amount in fen
  int64_t paidDay = settledDay + (random_.Chance(0.5) ? 0 : random_.Between(1, 10));
  const double how = random_.Unit();
  // A part payment is a round sum of tens of yuan, short of what is owed.
  auto part = [&](int64_t low, int64_t high) {
    return owed * random_.Between(low, high) / 100 / 1000 * 1000;
  };
  if (how < 0.6) {
    payments.push_back({paidDay, owed});
  } else if (how < 0.75) {
    const int64_t first = part(30, 70);
    if (first > 0 && first < owed) {
      payments.push_back({paidDay, first});
      payments.push_back({paidDay + random_.Between(7, 30), owed - first});
    } else {
      payments.push_back({paidDay, owed});
    }
  } else if (how < 0.88) {
    const int64_t first = part(20, 80);
    if (first > 0 && first < owed) payments.push_back({paidDay, first});
  }
  int64_t collected = 0;
  for (const auto& [on, amount] : payments) {
    if (on > lastActive || amount <= 0) break;
    const bool checked = checkedOn(on, 0.7, 0.97);
    if (checked) {
      effect.collected += static_cast<double>(amount) / 100.0;
      effect.rowVersion += 3;  // collected amount, discount and balance, one update each
    }
    collected += amount;
    days_[on].receipts.push_back(
        {order.id, order.ownerId, amount, checked, random_.Pick(staff_.cashiers)});
  }
  if (collected < owed) ++counts_.openOrders;
  return effect;
}

void DemoChain::Finish() {
  WriteDaysBefore(lastDay_ + 1);
  for (auto* insert : {requisitions_.get(), requisitionLines_.get(), movements_.get(),
                       receivables_.get(), fees_.get(), settledItems_.get(), settledParts_.get(),
                       receiptLines_.get(), vouchers_.get(), billNumbers_.get()}) {
    insert->Flush();
  }
}

void DemoChain::WriteDaysBefore(int64_t day) {
  while (!days_.empty() && days_.begin()->first < day && error_.empty()) {
    auto first = days_.begin();
    WriteDay(first->first, first->second);
    days_.erase(first);
  }
}

void DemoChain::WriteDay(int64_t day, Day& documents) {
  // The host's numbering: the day's date and a sequence of the day, per program.
  const std::string prefix = DemoCompactDate(DemoDateOfDay(day));
  auto numbered = [&](int64_t program, auto& list, auto write) {
    int64_t sequence = 0;
    for (const auto& document : list) write(day, prefix + Padded(++sequence, 3), document);
    if (sequence > 0) billNumbers_->Id(program).Text(prefix).Id(sequence).Row();
  };
  // A day's documents in the order the counter makes them: what the store issued, then what was
  // billed, then what came in; each list in the order of its repair orders.
  numbered(
      kRequisitionProgram, documents.requisitions,
      [this](int64_t d, const std::string& n, const Requisition& r) { WriteRequisition(d, n, r); });
  numbered(
      kSettlementProgram, documents.settlements,
      [this](int64_t d, const std::string& n, const Settlement& s) { WriteSettlement(d, n, s); });
  numbered(kReceiptProgram, documents.receipts,
           [this](int64_t d, const std::string& n, const Receipt& r) { WriteReceipt(d, n, r); });
}

void DemoChain::WriteRequisition(int64_t day, const std::string& number, const Requisition& r) {
  const db::Date date = DemoDateOfDay(day);
  const std::string dateText = date.Text();
  const int period = db::PeriodOfDate(date, db::kDefaultClosingDay);
  const int64_t id = ++requisitionId_;
  int64_t totalFen = 0;
  for (const auto& line : r.lines) totalFen += line.amountFen;

  // Saved with no customer, depot or department of its own: the lines name the depots.
  BulkInserter& header = *requisitions_;
  header.Id(id)
      .Id(kRequisitionProgram)
      .Text(r.checked ? "02" : "01")
      .Text("填单")
      .Text(number)
      .Text("")
      .Id(kOrderProgram)
      .Id(r.orderId)
      .Id(0)
      .Id(0)
      .Id(0)
      .Id(0)
      .Id(db::kLocalCurrencyId)
      .Id(0)
      .Text("")
      .Text(dateText)
      .Text(r.user)
      .Text(dateText)
      .Text(r.checked ? r.user : "");
  if (r.checked) {
    header.Text(dateText);
  } else {
    header.Null();
  }
  header.Id(period).Fen(totalFen).Text("").Id(r.checked ? 1 : 0).Row();

  for (const auto& line : r.lines) {
    const ChainStock& stock = stock_.at(line.partId);
    const int64_t lineId = ++requisitionLineId_;
    requisitionLines_->Id(lineId)
        .Id(id)
        .Id(kOrderProgram)
        .Id(line.lineId)
        .Id(stock.depot)
        .Id(line.partId)
        .Text("")
        .Text("")
        .Text("")
        .Text("")
        .Num(static_cast<double>(line.quantity))
        .Num(0)
        .Num(stock.quantity)
        .Num(0)
        .Num(0)
        .Fen(line.priceFen)
        .Fen(line.amountFen)
        .Fen(line.priceFen)
        .Fen(line.amountFen)
        .Fen(line.amountFen)
        .Text(stock.name)
        .Text(stock.variant)
        .Id(period)
        .Text("")
        .Row();
    ++counts_.requisitionLines;
    if (!r.checked) continue;
    // The check copies the lines as saved, before it marks the header: no checker yet.
    movements_->Id(++movementId_)
        .Id(kRequisitionProgram)
        .Id(id)
        .Id(lineId)
        .Text(number)
        .Text(r.user)
        .Text("")
        .Text(dateText)
        .Text(dateText)
        .Null()
        .Id(0)
        .Id(0)
        .Id(stock.depot)
        .Id(line.partId)
        .Text("")
        .Text("")
        .Text("")
        .Text("")
        .Num(static_cast<double>(line.quantity))
        .Num(0)
        .Fen(line.priceFen)
        .Fen(line.amountFen)
        .Num(0)
        .Id(period)
        .Text("21")
        .Text("")
        .Text("领用出库")
        .Row();
    ++counts_.stockMovements;
  }
  ++counts_.requisitions;
}

void DemoChain::WriteReceivableHeader(const ReceivableHeader& h) {
  // A settlement and a receipt share their header table; a settlement carries no amount of
  // its own (written as the plain number the module's save writes) and names its order.
  BulkInserter& header = *receivables_;
  header.Id(h.id)
      .Id(h.program)
      .Text(h.checked ? "02" : "01")
      .Text(h.checked ? "审核" : "填单")
      .Text(h.number)
      .Id(h.ownerId)
      .Id(0)
      .Id(0)
      .Id(0)
      .Text(h.date)
      .Id(h.period);
  if (h.amountFen) {
    header.Fen(*h.amountFen);
  } else {
    header.Num(0);
  }
  header.Num(0).Text("").Text(h.remark).Id(h.orderId).Text(h.user).Text(h.date).Text(
      h.checked ? h.user : "");
  if (h.checked) {
    header.Text(h.date);
  } else {
    header.Null();
  }
  header.Id(h.checked ? 1 : 0).Row();
}

void DemoChain::WriteSettlement(int64_t day, const std::string& number, const Settlement& s) {
  const db::Date date = DemoDateOfDay(day);
  const std::string dateText = date.Text();
  const int period = db::PeriodOfDate(date, db::kDefaultClosingDay);
  const int64_t id = ++receivableId_;

  // Billed on account: the money comes in by receipts against the order.
  WriteReceivableHeader({id, kSettlementProgram, s.checked, number, s.ownerId, dateText, period,
                         std::nullopt, s.remark, s.orderId, s.user});

  // Labour and parts lines have one shape in two tables; answers the lines' amount.
  auto writeLines = [id](BulkInserter& table, int64_t& lineId, const auto& lines, auto codeOf) {
    int64_t sumFen = 0;
    for (const auto& line : lines) {
      sumFen += line.amountFen;
      table.Id(++lineId)
          .Id(id)
          .Id(codeOf(line))
          .Num(static_cast<double>(line.quantity))
          .Fen(line.priceFen)
          .Fen(line.amountFen)
          .Text("")
          .Row();
    }
    return sumFen;
  };
  const int64_t labourFen = writeLines(*settledItems_, itemLineId_, s.items,
                                       [](const auto& item) { return item.itemId; });
  // The parts as issued, one line per part (an order names a part once).
  const int64_t partsFen = writeLines(*settledParts_, partLineId_, s.issued,
                                      [](const auto& part) { return part.partId; });

  money::SettlementDocument doc;
  doc.id = id;
  doc.programNumber = kSettlementProgram;
  doc.number = number;
  doc.date = dateText;
  doc.period = period;
  doc.customerId = s.ownerId;
  doc.fees = {Money(labourFen), Money(partsFen), Money(s.diagnosisFen), Money(s.inspectionFen),
              Money(partsFen) * db::Amount::Of("0.1")};
  doc.orderNumber = s.orderNumber;
  doc.plate = s.plate;
  doc.enteredBy = s.user;
  doc.entryDate = doc.date;
  fees_->Id(id)
      .Num(doc.fees.labour.ToDouble())
      .Num(doc.fees.parts.ToDouble())
      .Num(doc.fees.diagnosis.ToDouble())
      .Num(doc.fees.inspection.ToDouble())
      .Num(doc.fees.management.ToDouble())
      .Row();
  ++counts_.settlements;
  if (!s.checked) return;

  for (const money::VoucherLine& line : money::SettlementVoucherLines(doc, "")) {
    const double amount = line.amount.ToDouble();
    vouchers_->Id(++voucherId_)
        .Id(kSettlementProgram)
        .Text("01")
        .Text("填单")
        .Text(line.account)
        .Text("")
        .Id(period)
        .Text(dateText)
        .Text(number)
        .Id(line.methodId)
        .Id(db::kLocalCurrencyId)
        .Text(line.summary)
        .Num(line.debit ? amount : 0)
        .Num(line.debit ? amount : 0)
        .Num(line.debit ? 0 : amount)
        .Num(line.debit ? 0 : amount)
        .Num(1)
        .Id(0)
        .Id(0)
        .Id(line.partnerId)
        .Text("")
        .Text(s.user)
        .Text(dateText)
        .Id(kSettlementProgram)
        .Id(id)
        .Row();
    ++counts_.voucherLines;
  }
}

void DemoChain::WriteReceipt(int64_t day, const std::string& number, const Receipt& r) {
  const db::Date date = DemoDateOfDay(day);
  const std::string dateText = date.Text();
  const int64_t id = ++receivableId_;
  WriteReceivableHeader({id, kReceiptProgram, r.checked, number, r.ownerId, dateText,
                         db::PeriodOfDate(date, db::kDefaultClosingDay), r.amountFen, "", 0,
                         r.user});
  // The receipt's lines carry no period of their own.
  receiptLines_->Id(++receiptLineId_)
      .Id(id)
      .Text("0001")
      .Id(r.orderId)
      .Fen(r.amountFen)
      .Fen(r.amountFen)
      .Num(0)
      .Num(0)
      .Id(0)
      .Row();
  ++counts_.receipts;
}

}  // namespace ws::shop
