#include "reports/receivables_age.h"

#include <algorithm>
#include <map>

#include "db/date.h"
#include "db/runner.h"
#include "forms/text.h"
#include "reports/calendar.h"
#include "reports/list_grid.h"

namespace ws::reports {

namespace {

constexpr int64_t kReceiptProgram = 200004;
constexpr const char* kCaptions[kAgeBuckets] = {"0-30天", "31-60天", "61-90天", "90天以上"};

std::string DateText(const db::Recordset& records, const char* column) {
  return db::FormatDateText(records.Text(column)).substr(0, 10);
}

}  // namespace

int AgeBucket(int days) {
  if (days <= 30) return 0;
  if (days <= 60) return 1;
  if (days <= 90) return 2;
  return 3;
}

const char* AgeBucketCaption(int bucket) {
  return kCaptions[std::clamp(bucket, 0, kAgeBuckets - 1)];
}

int64_t FindCustomer(db::IDatabase& database, const std::string& typed, std::string* error) {
  const std::string text = forms::Trim(typed);
  if (text.empty()) return 0;
  db::Runner runner(database);
  for (const char* column : {"往来编码", "公司名称"}) {
    auto records = runner.Open(db::Sql("SELECT 往来ID FROM pdmwldw WHERE ")
                                   .Raw(column)
                                   .Raw("=")
                                   .Text(text)
                                   .Raw(" ORDER BY 往来ID"),
                               error);
    if (error && !error->empty()) return 0;
    if (!records->Eof()) return records->Long("往来ID");
  }
  return 0;
}

ReceivablesByAge LoadReceivablesByAge(db::IDatabase& database, const std::string& asOf,
                                      int64_t customerId) {
  ReceivablesByAge aged;
  auto day = db::Date::Parse(forms::Trim(asOf));
  if (!day) {
    aged.error = "请输入截止日期(yyyy-mm-dd)";
    return aged;
  }
  aged.asOf = day->Text();
  // The write-offs after the day, by order: what the balance held on the day beyond today's.
  db::Sql later(
      "SELECT ARPReceiveMx.源单ID, SUM(ARPReceiveMx.结算金额 + ARPReceiveMx.折扣金额) AS 后收"
      " FROM ARPReceiveMx JOIN ARPReceive ON ARPReceive.单据ID = ARPReceiveMx.单据ID"
      " WHERE ARPReceive.smark='02' AND ARPReceive.progID=");
  later.Key(kReceiptProgram)
      .Raw(" AND ARPReceive.单据日期 > ")
      .Date(aged.asOf, "")
      .Raw(" GROUP BY ARPReceiveMx.源单ID");
  db::Sql sql(
      "SELECT WSDJ.单据ID, WSDJ.progid, WSDJ.工单号码, WSDJ.进厂日期, WSDJ.车主ID,"
      " pdmwldw.公司名称, clzl.车牌号, WSDJ.应收合计, WSDJ.余额 + COALESCE(后.后收, 0) AS 欠款"
      " FROM ((WSDJ LEFT JOIN (");
  sql.Append(later)
      .Raw(
          ") 后 ON 后.源单ID = WSDJ.单据ID)"
          " LEFT JOIN pdmwldw ON pdmwldw.往来ID = WSDJ.车主ID)"
          " LEFT JOIN clzl ON clzl.车辆ID = WSDJ.车辆ID"
          " WHERE WSDJ.smark='02' AND WSDJ.进厂日期 <= ")
      .Date(aged.asOf, "")
      .Raw(" AND (WSDJ.余额 > 0 OR 后.后收 > 0)");
  if (customerId > 0) sql.Raw(" AND WSDJ.车主ID=").Key(customerId);
  sql.Raw(" ORDER BY WSDJ.进厂日期, WSDJ.工单号码");

  db::Runner runner(database);
  auto records = runner.Open(sql, &aged.error);
  if (!aged.error.empty()) return aged;
  std::map<int64_t, AgedCustomer> customers;
  for (; !records->Eof(); records->MoveNext()) {
    AgedOrder order;
    order.balance = records->Money("欠款");
    if (order.balance <= db::Amount()) continue;
    order.orderId = records->Long("单据ID");
    order.program = records->Long("progid");
    order.number = records->Text("工单号码");
    order.dateIn = DateText(*records, "进厂日期");
    order.plate = records->Text("车牌号");
    order.receivable = records->Money("应收合计");
    order.days = std::max(0, DaysBetween(order.dateIn, aged.asOf).value_or(0));
    const int bucket = AgeBucket(order.days);
    AgedCustomer& customer = customers[records->Long("车主ID")];
    customer.customerId = records->Long("车主ID");
    customer.name = records->Text("公司名称");
    customer.buckets[static_cast<size_t>(bucket)] += order.balance;
    customer.total += order.balance;
    aged.buckets[static_cast<size_t>(bucket)] += order.balance;
    aged.total += order.balance;
    customer.orders.push_back(std::move(order));
  }
  for (auto& [id, customer] : customers) aged.customers.push_back(std::move(customer));
  std::stable_sort(aged.customers.begin(), aged.customers.end(),
                   [](const AgedCustomer& a, const AgedCustomer& b) { return a.name < b.name; });
  return aged;
}

void FillAgeGrid(const ReceivablesByAge& aged, forms::Grid& grid) {
  using K = ListColumnKind;
  SetupListGrid(grid, {{"客户", 20},
                       {kCaptions[0], 11, K::Money},
                       {kCaptions[1], 11, K::Money},
                       {kCaptions[2], 11, K::Money},
                       {kCaptions[3], 11, K::Money},
                       {"合计", 12, K::Money},
                       {"单据数", 6, K::Number},
                       {"往来ID", 0}});
  for (const AgedCustomer& customer : aged.customers) {
    std::vector<std::string> cells{customer.name};
    for (const db::Amount& amount : customer.buckets) cells.push_back(MoneyCell(amount.ToDouble()));
    cells.push_back(MoneyCell(customer.total.ToDouble()));
    cells.push_back(std::to_string(customer.orders.size()));
    cells.push_back(std::to_string(customer.customerId));
    AddListRow(grid, cells);
  }
  AddListTotals(grid, {1, 2, 3, 4, 5, 6}, 0);
  grid.SetColHidden(7, true);
}

void FillAgedOrdersGrid(const AgedCustomer& customer, forms::Grid& grid) {
  using K = ListColumnKind;
  SetupListGrid(grid, {{"工单号码", 12},
                       {"进厂日期", 10, K::Date},
                       {"车牌号", 10},
                       {"天数", 6, K::Number},
                       {"账龄", 8},
                       {"应收合计", 11, K::Money},
                       {"欠款", 11, K::Money},
                       {"progid", 0},
                       {"单据ID", 0}});
  for (const AgedOrder& order : customer.orders) {
    AddListRow(grid, {order.number, order.dateIn, order.plate, std::to_string(order.days),
                      AgeBucketCaption(AgeBucket(order.days)),
                      MoneyCell(order.receivable.ToDouble()), MoneyCell(order.balance.ToDouble()),
                      std::to_string(order.program), std::to_string(order.orderId)});
  }
  AddListTotals(grid, {5, 6}, 0);
  grid.SetColHidden(7, true);
  grid.SetColHidden(8, true);
}

std::vector<ReceiptLine> LoadOrderReceipts(db::IDatabase& database, int64_t orderId,
                                           std::string* error) {
  std::vector<ReceiptLine> lines;
  auto records = db::Runner(database).Open(
      db::Sql("SELECT ARPReceive.单据日期, ARPReceive.单据编号, ARPReceiveMx.结算金额,"
              " ARPReceiveMx.折扣金额 FROM ARPReceiveMx JOIN ARPReceive ON ARPReceive.单据ID ="
              " ARPReceiveMx.单据ID WHERE ARPReceive.smark='02' AND ARPReceive.progID=")
          .Key(kReceiptProgram)
          .Raw(" AND ARPReceiveMx.源单ID=")
          .Key(orderId)
          .Raw(" ORDER BY ARPReceive.单据日期, ARPReceive.单据编号"),
      error);
  if (error && !error->empty()) return lines;
  for (; !records->Eof(); records->MoveNext()) {
    lines.push_back({DateText(*records, "单据日期"), records->Text("单据编号"),
                     records->Money("结算金额"), records->Money("折扣金额")});
  }
  return lines;
}

}  // namespace ws::reports
