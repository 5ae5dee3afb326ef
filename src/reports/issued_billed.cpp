#include "reports/issued_billed.h"

#include <algorithm>
#include <map>
#include <tuple>

#include "db/catalogue.h"
#include "db/date.h"
#include "db/default_config.h"
#include "db/runner.h"
#include "forms/text.h"
#include "reports/calendar.h"
#include "reports/list_grid.h"

namespace ws::reports {

namespace {

using db::kOrderProgram;
using db::kSettlementProgram;

std::string DateText(const db::Recordset& records, const char* column) {
  return db::FormatDateText(records.Text(column)).substr(0, 10);
}

// Every statement reads its rows through the orders of the window (or of the number).
class OrderScope {
 public:
  OrderScope(std::string from, std::string dayAfter, std::string number, bool checkedOnly)
      : from_(std::move(from)),
        dayAfter_(std::move(dayAfter)),
        number_(std::move(number)),
        checkedOnly_(checkedOnly) {}

  void Where(db::Sql& sql) const {
    if (!number_.empty()) {
      sql.Raw(" WHERE WSDJ.工单号码=").Text(number_);
      return;
    }
    sql.Raw(" WHERE ");
    OrdersArrivedIn(sql, from_, dayAfter_);
    if (checkedOnly_) sql.Raw(" AND WSDJ.smark='02'");
  }

 private:
  std::string from_;
  std::string dayAfter_;
  std::string number_;
  bool checkedOnly_;
};

class Reader {
 public:
  Reader(db::IDatabase& database, const OrderScope& scope) : runner_(database), scope_(scope) {}

  std::string Read(std::map<int64_t, IssuedOrder>& orders) {
    std::string error;
    {
      db::Sql sql(
          "SELECT WSDJ.单据ID, WSDJ.progid, WSDJ.工单号码, WSDJ.进厂日期, WSDJ.smark,"
          " clzl.车牌号, pdmwldw.公司名称 FROM (WSDJ LEFT JOIN clzl ON clzl.车辆ID = WSDJ.车辆ID)"
          " LEFT JOIN pdmwldw ON pdmwldw.往来ID = WSDJ.车主ID");
      scope_.Where(sql);
      auto records = runner_.Open(sql, &error);
      if (!error.empty()) return error;
      for (; !records->Eof(); records->MoveNext()) {
        IssuedOrder& order = orders[records->Long("单据ID")];
        order.orderId = records->Long("单据ID");
        order.program = records->Long("progid");
        order.number = records->Text("工单号码");
        order.dateIn = DateText(*records, "进厂日期");
        order.checked = records->Text("smark") == "02";
        order.plate = records->Text("车牌号");
        order.customer = records->Text("公司名称");
      }
    }
    if (orders.empty()) return {};
    if (auto e = ReadOrdered(); !e.empty()) return e;
    if (auto e = ReadIssued(); !e.empty()) return e;
    return ReadSettled(orders);
  }

 private:
  PartLine& Part(int64_t orderId, int64_t productId) {
    PartLine& part = lines_[orderId][productId];
    part.productId = productId;
    return part;
  }

  std::string ReadOrdered() {
    db::Sql sql(
        "SELECT WSDJPJ.单据ID, WSDJPJ.产品ID, PDMCPML.物品编码, PDMCPML.物品名称,"
        " SUM(WSDJPJ.数量) AS 数量, SUM(WSDJPJ.金额) AS 金额"
        " FROM (WSDJ JOIN WSDJPJ ON WSDJPJ.单据ID = WSDJ.单据ID)"
        " LEFT JOIN PDMCPML ON PDMCPML.产品ID = WSDJPJ.产品ID");
    scope_.Where(sql);
    sql.Raw(" GROUP BY WSDJPJ.单据ID, WSDJPJ.产品ID, PDMCPML.物品编码, PDMCPML.物品名称");
    std::string error;
    auto records = runner_.Open(sql, &error);
    if (!error.empty()) return error;
    for (; !records->Eof(); records->MoveNext()) {
      PartLine& part = Part(records->Long("单据ID"), records->Long("产品ID"));
      Name(part, *records);
      part.orderedQuantity += records->Money("数量");
      part.orderedAmount += records->Money("金额");
    }
    return {};
  }

  std::string ReadIssued() {
    // Every checked requisition that names the order counts, whatever its program: the
    // settlement bills the same set.
    db::Sql sql(
        "SELECT JXCDJ.前置单据ID, JXCDJ.单据ID, JXCDJ.progID, JXCDJ.单据编号, JXCDJMX.产品ID,"
        " PDMCPML.物品编码, PDMCPML.物品名称, SUM(JXCDJMX.数量) AS 数量,"
        " SUM(JXCDJMX.实际金额) AS 金额"
        " FROM ((WSDJ JOIN JXCDJ ON JXCDJ.前置单据ID = WSDJ.单据ID)"
        " JOIN JXCDJMX ON JXCDJMX.单据ID = JXCDJ.单据ID)"
        " LEFT JOIN PDMCPML ON PDMCPML.产品ID = JXCDJMX.产品ID");
    scope_.Where(sql);
    sql.Raw(
        " AND JXCDJ.smark='02' GROUP BY JXCDJ.前置单据ID, JXCDJ.单据ID, JXCDJ.progID,"
        " JXCDJ.单据编号, JXCDJMX.产品ID, PDMCPML.物品编码, PDMCPML.物品名称");
    std::string error;
    auto records = runner_.Open(sql, &error);
    if (!error.empty()) return error;
    for (; !records->Eof(); records->MoveNext()) {
      PartLine& part = Part(records->Long("前置单据ID"), records->Long("产品ID"));
      Name(part, *records);
      part.issuedQuantity += records->Money("数量");
      part.issuedAmount += records->Money("金额");
      part.requisitions.push_back(
          {records->Long("单据ID"), records->Long("progID"), records->Text("单据编号")});
    }
    return {};
  }

  std::string ReadSettled(std::map<int64_t, IssuedOrder>& orders) {
    // A settlement without part lines still makes it the bill: nothing issued is billed.
    db::Sql sql(
        "SELECT ARPReceive.前置单据ID, ARPReceive.单据ID, ARPReceive.单据编号,"
        " ARPReceive_PJ.产品ID, PDMCPML.物品编码, PDMCPML.物品名称, ARPReceive_PJ.数量,"
        " ARPReceive_PJ.金额"
        " FROM ((WSDJ JOIN ARPReceive ON ARPReceive.前置单据ID = WSDJ.单据ID)"
        " LEFT JOIN ARPReceive_PJ ON ARPReceive_PJ.单据ID = ARPReceive.单据ID)"
        " LEFT JOIN PDMCPML ON PDMCPML.产品ID = ARPReceive_PJ.产品ID");
    scope_.Where(sql);
    sql.Raw(" AND ARPReceive.progID=").Key(kSettlementProgram);
    std::string error;
    auto records = runner_.Open(sql, &error);
    if (!error.empty()) return error;
    for (; !records->Eof(); records->MoveNext()) {
      auto order = orders.find(records->Long("前置单据ID"));
      if (order == orders.end()) continue;
      if (order->second.settlementId == 0 || records->Long("单据ID") < order->second.settlementId) {
        order->second.settlementId = records->Long("单据ID");
        order->second.settlementNumber = records->Text("单据编号");
      }
      if (records->Field("产品ID").IsNull()) continue;
      PartLine& part = Part(order->first, records->Long("产品ID"));
      Name(part, *records);
      part.settledQuantity += records->Money("数量");
      part.settledAmount += records->Money("金额");
    }
    return {};
  }

  static void Name(PartLine& part, const db::Recordset& records) {
    if (part.code.empty()) part.code = records.Text("物品编码");
    if (part.name.empty()) part.name = records.Text("物品名称");
  }

 public:
  // Moves the parts read into their orders, by code.
  void Distribute(std::map<int64_t, IssuedOrder>& orders) {
    for (auto& [orderId, parts] : lines_) {
      auto order = orders.find(orderId);
      if (order == orders.end()) continue;
      for (auto& [productId, part] : parts) {
        std::sort(part.requisitions.begin(), part.requisitions.end(),
                  [](const IssueDocument& a, const IssueDocument& b) {
                    return std::tie(a.number, a.id) < std::tie(b.number, b.id);
                  });
        order->second.parts.push_back(std::move(part));
      }
      std::sort(order->second.parts.begin(), order->second.parts.end(),
                [](const PartLine& a, const PartLine& b) {
                  return std::tie(a.code, a.productId) < std::tie(b.code, b.productId);
                });
    }
  }

 private:
  db::Runner runner_;
  const OrderScope& scope_;
  std::map<int64_t, std::map<int64_t, PartLine>> lines_;
};

}  // namespace

void OrdersArrivedIn(db::Sql& sql, const std::string& from, const std::string& dayAfter) {
  sql.Raw("WSDJ.单据ID IN (SELECT 单据ID FROM WSDJ WHERE progid=")
      .Key(kOrderProgram)
      .Raw(" AND 进厂日期 >= ")
      .Date(from, "")
      .Raw(" AND ");
  // No day after the last one: the window is open at its end.
  if (!dayAfter.empty()) sql.Raw("进厂日期 < ").Date(dayAfter, "").Raw(" AND ");
  sql.Raw(db::kDayIndexTerm).Raw(")");
}

const char* PartDifferenceCaption(PartDifference difference) {
  switch (difference) {
    case PartDifference::IssuedNotBilled:
      return "领用未开单";
    case PartDifference::BilledNotIssued:
      return "开单未领用";
    case PartDifference::MoreIssued:
      return "领用多于开单";
    case PartDifference::MoreBilled:
      return "开单多于领用";
    case PartDifference::None:
      break;
  }
  return "";
}

PartDifference DifferenceOf(const db::Amount& issued, const db::Amount& billed) {
  if (issued == billed) return PartDifference::None;
  if (billed.IsZero()) return PartDifference::IssuedNotBilled;
  if (issued.IsZero()) return PartDifference::BilledNotIssued;
  return issued > billed ? PartDifference::MoreIssued : PartDifference::MoreBilled;
}

PartDifference IssuedOrder::DifferenceOf(const PartLine& part) const {
  return reports::DifferenceOf(part.issuedQuantity, part.BilledQuantity(Settled()));
}

bool IssuedOrder::HasDifference() const {
  return std::any_of(parts.begin(), parts.end(), [this](const PartLine& part) {
    return DifferenceOf(part) != PartDifference::None;
  });
}

IssuedAgainstBilled LoadIssuedAgainstBilled(db::IDatabase& database, const std::string& from,
                                            const std::string& to, const std::string& orderNumber,
                                            bool checkedOnly) {
  IssuedAgainstBilled list;
  const std::string number = forms::Trim(orderNumber);
  std::string dayAfter;
  if (number.empty()) {
    auto first = db::Date::Parse(forms::Trim(from));
    auto last = db::Date::Parse(forms::Trim(to));
    if (!first || !last) {
      list.error = "请输入进厂日期的起止(yyyy-mm-dd)";
      return list;
    }
    if (*last < *first) {
      list.error = "结束日期早于开始日期";
      return list;
    }
    list.from = first->Text();
    list.to = last->Text();
    dayAfter = AddDays(list.to, 1);
  }
  const OrderScope scope(list.from, dayAfter, number, checkedOnly);
  Reader reader(database, scope);
  std::map<int64_t, IssuedOrder> orders;
  list.error = reader.Read(orders);
  if (!list.error.empty()) return list;
  reader.Distribute(orders);
  for (auto& entry : orders) {
    IssuedOrder& order = entry.second;
    if (!number.empty()) {
      list.orders.push_back(std::move(order));
      continue;
    }
    if (!order.HasDifference()) continue;
    // The window lists only what differs; the order's own view shows every part.
    std::erase_if(order.parts, [&order](const PartLine& part) {
      return order.DifferenceOf(part) == PartDifference::None;
    });
    list.orders.push_back(std::move(order));
  }
  std::sort(list.orders.begin(), list.orders.end(), [](const IssuedOrder& a, const IssuedOrder& b) {
    return std::tie(a.dateIn, a.number, a.orderId) < std::tie(b.dateIn, b.number, b.orderId);
  });
  if (!number.empty() && list.orders.empty()) list.error = "没有这个工单：" + number;
  return list;
}

// A line per part of an order: quantities and amounts totalled; the first requisition's and
// the order's program and id hidden.
const ListColumns& IssuedColumns() {
  using K = ListColumnKind;
  static const ListColumns columns = {{"工单号码", 12},
                                      {"进厂日期", 10, K::Date},
                                      {"车牌号", 9},
                                      {"物品编码", 10},
                                      {"物品名称", 14},
                                      ListColumn{"领用数量", 8, K::Money}.Total(),
                                      ListColumn{"领用金额", 10, K::Money}.Total(),
                                      ListColumn{"开单数量", 8, K::Money}.Total(),
                                      ListColumn{"开单金额", 10, K::Money}.Total(),
                                      ListColumn{"差异数量", 8, K::Money}.Total(),
                                      {"差异", 12},
                                      {"开单依据", 12},
                                      {"领料单", 16},
                                      ListColumn{"领料progid", 0}.Hidden(),
                                      ListColumn{"领料单据ID", 0}.Hidden(),
                                      ListColumn{"progid", 0}.Hidden(),
                                      ListColumn{"单据ID", 0}.Hidden()};
  return columns;
}

void FillIssuedGrid(const IssuedAgainstBilled& list, forms::Grid& grid, bool totals) {
  SetupListGrid(grid, IssuedColumns());
  for (const IssuedOrder& order : list.orders) {
    const bool settled = order.Settled();
    const std::string basis = settled ? "结算单 " + order.settlementNumber : "工单";
    for (const PartLine& part : order.parts) {
      std::string numbers;
      for (const IssueDocument& requisition : part.requisitions) {
        if (!numbers.empty()) numbers += "、";
        numbers += requisition.number;
      }
      const db::Amount& billed = part.BilledQuantity(settled);
      const IssueDocument first =
          part.requisitions.empty() ? IssueDocument{} : part.requisitions[0];
      AddListRow(
          grid, {order.number, order.dateIn, order.plate, part.code, part.name,
                 MoneyCell(part.issuedQuantity.ToDouble()), MoneyCell(part.issuedAmount.ToDouble()),
                 MoneyCell(billed.ToDouble()), MoneyCell(part.BilledAmount(settled).ToDouble()),
                 MoneyCell((part.issuedQuantity - billed).ToDouble()),
                 PartDifferenceCaption(order.DifferenceOf(part)), basis, numbers,
                 first.program > 0 ? std::to_string(first.program) : "",
                 first.id > 0 ? std::to_string(first.id) : "", std::to_string(order.program),
                 std::to_string(order.orderId)});
    }
  }
  if (totals) AddIssuedTotals(grid);
}

void AddIssuedTotals(forms::Grid& grid) {
  if (grid.DataRows() == 0) return;
  const ListColumns& columns = IssuedColumns();
  grid.AddSubtotals(ColumnOf(columns, "工单号码"), TotalColumns(columns), "小计",
                    ColumnOf(columns, "车牌号"));
  AddListTotals(grid, columns, "车牌号");
}

}  // namespace ws::reports
