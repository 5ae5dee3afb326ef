#include "reports/period_checklist.h"

#include <algorithm>
#include <functional>
#include <tuple>

#include "db/default_config.h"
#include "db/runner.h"
#include "forms/number_format.h"
#include "reports/calendar.h"
#include "reports/issued_billed.h"
#include "reports/list_grid.h"

namespace ws::reports {

namespace {

using db::kReceiptProgram;
using db::kRequisitionProgram;
using db::kSettlementProgram;

constexpr const char* kCaptions[kOpenKinds] = {"工单未审核",     "领料单未审核", "结算单未审核",
                                               "收款单未审核",   "已审核未结算", "结算后仍欠款",
                                               "领用与开单不符", "收款未核销完"};

std::string DateText(const db::Recordset& records, const char* column) {
  return db::FormatDateText(records.Text(column)).substr(0, 10);
}

std::string Amount2(const db::Amount& amount) {
  return forms::FixedText(amount.ToDouble(), 2);
}

class ChecklistReader {
 public:
  ChecklistReader(db::IDatabase& database, PeriodChecklist& list)
      : runner_(database), list_(list), dayAfter_(AddDays(list.to, 1)) {}

  // A date column inside the period.
  void Window(db::Sql& sql, const char* column) const {
    sql.Raw(column).Raw(" >= ").Date(list_.from, "");
    // No day after the last one: the window is open at its end.
    if (!dayAfter_.empty()) sql.Raw(" AND ").Raw(column).Raw(" < ").Date(dayAfter_, "");
  }

  bool Read(const db::Sql& sql, const std::function<void(const db::Recordset&)>& take) {
    auto records = runner_.Open(sql, &list_.error);
    if (!list_.error.empty()) return false;
    for (; !records->Eof(); records->MoveNext()) take(*records);
    return true;
  }

  // Orders not checked, or checked without any settlement naming them.
  bool Orders(OpenKind kind) {
    db::Sql sql(
        "SELECT WSDJ.单据ID, WSDJ.progid, WSDJ.工单号码, WSDJ.进厂日期, WSDJ.应收合计,"
        " clzl.车牌号, WSDJ.smark FROM WSDJ LEFT JOIN clzl ON clzl.车辆ID = WSDJ.车辆ID WHERE ");
    OrdersArrivedIn(sql, list_.from, dayAfter_);
    if (kind == OpenKind::OrderUnchecked) {
      sql.Raw(" AND WSDJ.smark<>'02'");
    } else {
      sql.Raw(
             " AND WSDJ.smark='02' AND NOT EXISTS (SELECT 1 FROM ARPReceive WHERE"
             " ARPReceive.前置单据ID = WSDJ.单据ID AND ARPReceive.progID=")
          .Key(kSettlementProgram)
          .Raw(")");
    }
    return Read(sql, [&](const db::Recordset& r) {
      list_.items.push_back({kind, r.Long("progid"), r.Long("单据ID"), r.Text("工单号码"),
                             DateText(r, "进厂日期"), r.Text("车牌号"), r.Money("应收合计"),
                             kind == OpenKind::OrderUnchecked ? "未审核" : "没有结算单"});
    });
  }

  bool Requisitions() {
    db::Sql sql(
        "SELECT JXCDJ.单据ID, JXCDJ.progID, JXCDJ.单据编号, JXCDJ.操作日期, JXCDJ.总金额,"
        " WSDJ.工单号码 FROM JXCDJ LEFT JOIN WSDJ ON WSDJ.单据ID = JXCDJ.前置单据ID"
        " WHERE JXCDJ.progID=");
    sql.Key(kRequisitionProgram).Raw(" AND ");
    Window(sql, "JXCDJ.操作日期");
    sql.Raw(" AND JXCDJ.smark<>'02'");
    return Read(sql, [&](const db::Recordset& r) {
      const std::string order = r.Text("工单号码");
      list_.items.push_back({OpenKind::RequisitionUnchecked, r.Long("progID"), r.Long("单据ID"),
                             r.Text("单据编号"), DateText(r, "操作日期"), "", r.Money("总金额"),
                             order.empty() ? "未审核" : "未审核，工单 " + order});
    });
  }

  bool MoneyUnchecked(OpenKind kind, int64_t program) {
    db::Sql sql(
        "SELECT ARPReceive.单据ID, ARPReceive.progID, ARPReceive.单据编号, ARPReceive.单据日期,"
        " ARPReceive.总金额, pdmwldw.公司名称 FROM ARPReceive"
        " LEFT JOIN pdmwldw ON pdmwldw.往来ID = ARPReceive.往来ID WHERE ARPReceive.progID=");
    sql.Key(program).Raw(" AND ");
    Window(sql, "ARPReceive.单据日期");
    sql.Raw(" AND ARPReceive.smark<>'02'");
    return Read(sql, [&](const db::Recordset& r) {
      list_.items.push_back({kind, r.Long("progID"), r.Long("单据ID"), r.Text("单据编号"),
                             DateText(r, "单据日期"), r.Text("公司名称"), r.Money("总金额"),
                             "未审核"});
    });
  }

  bool SettledWithBalance() {
    db::Sql sql(
        "SELECT ARPReceive.单据ID, ARPReceive.progID, ARPReceive.单据编号, ARPReceive.单据日期,"
        " WSDJ.工单号码, WSDJ.余额, pdmwldw.公司名称"
        " FROM (ARPReceive JOIN WSDJ ON WSDJ.单据ID = ARPReceive.前置单据ID)"
        " LEFT JOIN pdmwldw ON pdmwldw.往来ID = WSDJ.车主ID WHERE ARPReceive.progID=");
    sql.Key(kSettlementProgram).Raw(" AND ");
    Window(sql, "ARPReceive.单据日期");
    sql.Raw(" AND ARPReceive.smark='02' AND WSDJ.余额 > 0");
    return Read(sql, [&](const db::Recordset& r) {
      const db::Amount balance = r.Money("余额");
      list_.items.push_back({OpenKind::SettledWithBalance, r.Long("progID"), r.Long("单据ID"),
                             r.Text("单据编号"), DateText(r, "单据日期"), r.Text("公司名称"),
                             balance, "工单 " + r.Text("工单号码") + " 余额 " + Amount2(balance)});
    });
  }

  bool ReceiptsNotWrittenOff() {
    db::Sql sql(
        "SELECT ARPReceive.单据ID, ARPReceive.progID, ARPReceive.单据编号, ARPReceive.单据日期,"
        " ARPReceive.总金额, pdmwldw.公司名称, (SELECT SUM(ARPReceiveMx.结算金额) FROM"
        " ARPReceiveMx WHERE ARPReceiveMx.单据ID = ARPReceive.单据ID) AS 核销"
        " FROM ARPReceive LEFT JOIN pdmwldw ON pdmwldw.往来ID = ARPReceive.往来ID"
        " WHERE ARPReceive.progID=");
    sql.Key(kReceiptProgram).Raw(" AND ");
    Window(sql, "ARPReceive.单据日期");
    return Read(sql, [&](const db::Recordset& r) {
      const db::Amount total = r.Money("总金额");
      const db::Amount written = r.Money("核销");
      if (total == written) return;
      list_.items.push_back({OpenKind::ReceiptNotWrittenOff, r.Long("progID"), r.Long("单据ID"),
                             r.Text("单据编号"), DateText(r, "单据日期"), r.Text("公司名称"),
                             total - written,
                             "收款 " + Amount2(total) + " 已核销 " + Amount2(written)});
    });
  }

  bool PartsDiffer() {
    // An order not checked is listed as such already.
    const IssuedAgainstBilled issued =
        LoadIssuedAgainstBilled(runner_.Database(), list_.from, list_.to, {}, true);
    if (!issued.error.empty()) {
      list_.error = issued.error;
      return false;
    }
    for (const IssuedOrder& order : issued.orders) {
      std::string note;
      db::Amount unbilled;
      for (const PartLine& part : order.parts) {
        const PartDifference difference = order.DifferenceOf(part);
        if (difference == PartDifference::None) continue;
        if (!note.empty()) note += "；";
        note += part.name.empty() ? part.code : part.name;
        note += std::string(" ") + PartDifferenceCaption(difference);
        unbilled += part.issuedAmount - part.BilledAmount(order.Settled());
      }
      list_.items.push_back({OpenKind::PartsDiffer, order.program, order.orderId, order.number,
                             order.dateIn, order.plate, unbilled, note});
    }
    return true;
  }

 private:
  db::Runner runner_;
  PeriodChecklist& list_;
  std::string dayAfter_;
};

}  // namespace

const char* OpenKindCaption(OpenKind kind) {
  return kCaptions[std::clamp(static_cast<int>(kind), 0, kOpenKinds - 1)];
}

PeriodChecklist LoadPeriodChecklist(db::IDatabase& database, int period, int closingDay) {
  PeriodChecklist list;
  list.period = period;
  const auto window = WindowOfPeriod(period, closingDay);
  if (!window) {
    list.error = "请输入会计期间(yyyymm)";
    return list;
  }
  list.from = window->first.Text();
  list.to = window->last.Text();
  ChecklistReader reader(database, list);
  const bool read = reader.Orders(OpenKind::OrderUnchecked) && reader.Requisitions() &&
                    reader.MoneyUnchecked(OpenKind::SettlementUnchecked, kSettlementProgram) &&
                    reader.MoneyUnchecked(OpenKind::ReceiptUnchecked, kReceiptProgram) &&
                    reader.Orders(OpenKind::OrderUnsettled) && reader.SettledWithBalance() &&
                    reader.PartsDiffer() && reader.ReceiptsNotWrittenOff();
  if (!read) {
    list.items.clear();
    return list;
  }
  std::stable_sort(list.items.begin(), list.items.end(), [](const OpenItem& a, const OpenItem& b) {
    return std::tie(a.kind, a.date, a.number) < std::tie(b.kind, b.date, b.number);
  });
  return list;
}

bool NearClosing(const db::Date& day, int period, int closingDay, int days) {
  const auto window = WindowOfPeriod(period, closingDay);
  if (!window || days < 1) return false;
  const auto left = DaysBetween(day.Text(), window->last.Text());
  return left && *left >= 0 && *left < days;
}

namespace {

// The checklist's columns: the kinds' amounts mean different things (a total, a balance,
// a difference), so the totals count the matters only.
const ListColumns& ChecklistColumns() {
  using K = ListColumnKind;
  static const ListColumns columns = {{"待处理", 14},
                                      {"单号", 14},
                                      {"日期", 10, K::Date},
                                      {"车牌号/客户", 16},
                                      {"金额", 11, K::Money},
                                      ListColumn{"件数", 5, K::Number}.Total(),
                                      {"说明", 64},
                                      ListColumn{"progid", 0}.Hidden(),
                                      ListColumn{"单据ID", 0}.Hidden()};
  return columns;
}

}  // namespace

void FillChecklistGrid(const PeriodChecklist& list, forms::Grid& grid, bool totals) {
  SetupListGrid(grid, ChecklistColumns());
  for (const OpenItem& item : list.items) {
    AddListRow(grid, {OpenKindCaption(item.kind), item.number, item.date, item.party,
                      MoneyCell(item.amount.ToDouble()), "1", item.note,
                      std::to_string(item.program), std::to_string(item.id)});
  }
  if (totals) AddChecklistTotals(grid);
}

void AddChecklistTotals(forms::Grid& grid) {
  if (grid.DataRows() == 0) return;
  const ListColumns& columns = ChecklistColumns();
  // Each kind's subtotal sums its amounts as well, which mean the same within a kind.
  grid.AddSubtotals(ColumnOf(columns, "待处理"),
                    {ColumnOf(columns, "金额"), ColumnOf(columns, "件数")}, "小计",
                    ColumnOf(columns, "单号"));
  AddListTotals(grid, columns, "单号");
}

}  // namespace ws::reports
