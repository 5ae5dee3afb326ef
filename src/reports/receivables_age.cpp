#include "reports/receivables_age.h"

#include <algorithm>
#include <deque>
#include <functional>
#include <iterator>
#include <map>
#include <memory>
#include <span>
#include <tuple>
#include <unordered_map>

#include "db/date.h"
#include "db/default_config.h"
#include "db/runner.h"
#include "forms/text.h"
#include "reports/calendar.h"
#include "reports/list_grid.h"

namespace ws::reports {

namespace {

using db::kReceiptProgram;
constexpr const char* kCaptions[kAgeBuckets] = {"0-30天", "31-60天", "61-90天", "90天以上"};

std::string DateText(const db::Recordset& records, const char* column) {
  return db::FormatDateText(records.Text(column)).substr(0, 10);
}

// The write-offs of checked receipts up to the day on the listed orders, a few hundred orders
// to a statement.
std::string ReadReceipts(db::Runner& runner, const std::string& asOf,
                         std::map<int64_t, AgedOrder*>& orders) {
  constexpr size_t kChunk = 500;
  std::vector<int64_t> ids;
  for (const auto& entry : orders) ids.push_back(entry.first);
  for (size_t first = 0; first < ids.size(); first += kChunk) {
    db::Sql sql(
        "SELECT ARPReceiveMx.源单ID, ARPReceive.单据编号, ARPReceive.单据日期,"
        " ARPReceiveMx.结算金额 + ARPReceiveMx.折扣金额 AS 核销 FROM ARPReceiveMx"
        " JOIN ARPReceive ON ARPReceive.单据ID = ARPReceiveMx.单据ID"
        " WHERE ARPReceive.smark='02' AND ARPReceive.progID=");
    sql.Key(kReceiptProgram)
        .Raw(" AND ARPReceive.单据日期 <= ")
        .Date(asOf, "")
        .Raw(" AND ARPReceiveMx.源单ID IN (")
        .Keys(std::span(ids).subspan(first, std::min(kChunk, ids.size() - first)))
        .Raw(") ORDER BY ARPReceive.单据日期, ARPReceive.单据编号");
    std::string error;
    auto records = runner.Open(sql, &error);
    if (!error.empty()) return error;
    for (; !records->Eof(); records->MoveNext()) {
      auto order = orders.find(records->Long("源单ID"));
      if (order == orders.end()) continue;
      order->second->receipts.push_back(
          {DateText(*records, "单据日期"), records->Text("单据编号"), records->Money("核销")});
    }
  }
  return {};
}

// The write-offs of checked receipts dated after the day, by order: what the balance held on
// the day beyond today's.
std::map<int64_t, db::Amount> ReadLaterWriteOffs(db::Runner& runner, const std::string& asOf,
                                                 std::string* error) {
  std::map<int64_t, db::Amount> later;
  // The receipts after the day first, by their date, then their lines. Left to choose, SQLite
  // walked every receipt line of the shop in the order of the grouping: 0.45 s at a million
  // orders even when no receipt is dated after the day. CROSS JOIN fixes the order there; the
  // server plans it as the inner join it is.
  db::Sql sql(
      "SELECT ARPReceiveMx.源单ID, SUM(ARPReceiveMx.结算金额 + ARPReceiveMx.折扣金额) AS 后收"
      " FROM ARPReceive CROSS JOIN ARPReceiveMx WHERE ARPReceiveMx.单据ID = ARPReceive.单据ID"
      " AND ARPReceive.smark='02' AND ARPReceive.progID=");
  sql.Key(kReceiptProgram)
      .Raw(" AND ARPReceive.单据日期 > ")
      .Date(asOf, "")
      .Raw(" GROUP BY ARPReceiveMx.源单ID");
  auto records = runner.Open(sql, error);
  if (!error->empty()) return later;
  for (; !records->Eof(); records->MoveNext()) {
    later[records->Long("源单ID")] = records->Money("后收");
  }
  return later;
}

// The earliest arrival of the first three buckets: an order that arrived on or after starts[b]
// and not on or after starts[b - 1] is in bucket b; one before starts[2] is over 90 days old.
std::array<std::string, kAgeBuckets - 1> BucketStarts(const std::string& asOf) {
  return {AddDays(asOf, -30), AddDays(asOf, -60), AddDays(asOf, -90)};
}

// The customers met so far, found again by id, handed out by name (then id) at the end.
class CustomerSums {
 public:
  AgedCustomer& Of(int64_t id, const std::string& name) {
    // Customers added unindexed are indexed when one is first looked up.
    for (size_t i = index_.size(); i < customers_.size(); ++i) {
      index_.emplace(customers_[i].customerId, i);
    }
    auto [at, added] = index_.try_emplace(id, customers_.size());
    if (added) Add(id, name);
    return customers_[at->second];
  }
  // A customer not met before, as the grouped sums give each one once.
  AgedCustomer& Add(int64_t id, std::string name) {
    AgedCustomer& customer = customers_.emplace_back();
    customer.customerId = id;
    customer.name = std::move(name);
    return customer;
  }
  std::deque<AgedCustomer>& All() { return customers_; }
  std::vector<AgedCustomer> ByName() {
    // The customers stay where they are while their order is found; each moves once.
    std::vector<AgedCustomer*> order;
    order.reserve(customers_.size());
    for (auto& customer : customers_) order.push_back(&customer);
    std::sort(order.begin(), order.end(), [](const AgedCustomer* a, const AgedCustomer* b) {
      return std::tie(a->name, a->customerId) < std::tie(b->name, b->customerId);
    });
    std::vector<AgedCustomer> out;
    out.reserve(order.size());
    for (AgedCustomer* customer : order) out.push_back(std::move(*customer));
    customers_.clear();
    index_.clear();
    return out;
  }

 private:
  // A deque: growing it never moves the customers already there.
  std::deque<AgedCustomer> customers_;
  std::unordered_map<int64_t, size_t> index_;
};

// The list of a typed day, empty; a text that is no day is refused.
ReceivablesByAge OnDay(const std::string& asOf) {
  ReceivablesByAge aged;
  if (auto day = db::Date::Parse(forms::Trim(asOf))) {
    aged.asOf = day->Text();
  } else {
    aged.error = "请输入截止日期(yyyy-mm-dd)";
  }
  return aged;
}

void AddOwed(ReceivablesByAge& aged, AgedCustomer& customer, int bucket, const db::Amount& owed) {
  customer.buckets[static_cast<size_t>(bucket)] += owed;
  customer.total += owed;
  aged.buckets[static_cast<size_t>(bucket)] += owed;
  aged.total += owed;
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
                                      int64_t customerId, bool withReceipts) {
  ReceivablesByAge aged = OnDay(asOf);
  if (!aged.error.empty()) return aged;
  db::Runner runner(database);
  std::map<int64_t, db::Amount> later = ReadLaterWriteOffs(runner, aged.asOf, &aged.error);
  if (!aged.error.empty()) return aged;
  // The orders open today (found by the index of the orders owed on), then those paid off only
  // after the day, by id: no statement reads every order of the shop.
  auto orders = [&](const std::function<void(db::Sql&)>& narrow) {
    db::Sql sql(
        "SELECT WSDJ.单据ID, WSDJ.progid, WSDJ.工单号码, WSDJ.进厂日期, WSDJ.车主ID,"
        " pdmwldw.公司名称, clzl.车牌号, WSDJ.应收合计, WSDJ.余额"
        " FROM (WSDJ LEFT JOIN pdmwldw ON pdmwldw.往来ID = WSDJ.车主ID)"
        " LEFT JOIN clzl ON clzl.车辆ID = WSDJ.车辆ID"
        " WHERE WSDJ.smark='02' AND WSDJ.进厂日期 <= ");
    sql.Date(aged.asOf, "");
    if (customerId > 0) sql.Raw(" AND WSDJ.车主ID=").Key(customerId);
    narrow(sql);
    return runner.Open(sql, &aged.error);
  };
  std::vector<std::shared_ptr<db::Recordset>> reads;
  reads.push_back(orders([](db::Sql& sql) { sql.Raw(" AND WSDJ.余额 > 0"); }));
  if (!aged.error.empty()) return aged;
  constexpr size_t kChunk = 500;
  std::vector<int64_t> paidSince;
  for (const auto& entry : later) paidSince.push_back(entry.first);
  for (size_t first = 0; first < paidSince.size(); first += kChunk) {
    reads.push_back(orders([&](db::Sql& sql) {
      sql.Raw(" AND WSDJ.余额 <= 0 AND WSDJ.单据ID IN (")
          .Keys(std::span(paidSince).subspan(first, std::min(kChunk, paidSince.size() - first)))
          .Raw(")");
    }));
    if (!aged.error.empty()) return aged;
  }

  CustomerSums customers;
  for (const auto& records : reads) {
    for (; !records->Eof(); records->MoveNext()) {
      AgedOrder order;
      order.orderId = records->Long("单据ID");
      order.balance = records->Money("余额");
      if (auto paid = later.find(order.orderId); paid != later.end()) order.balance += paid->second;
      if (order.balance <= db::Amount()) continue;
      order.program = records->Long("progid");
      order.number = records->Text("工单号码");
      order.dateIn = DateText(*records, "进厂日期");
      order.plate = records->Text("车牌号");
      order.receivable = records->Money("应收合计");
      order.days = std::max(0, DaysBetween(order.dateIn, aged.asOf).value_or(0));
      AgedCustomer& customer = customers.Of(records->Long("车主ID"), records->Text("公司名称"));
      AddOwed(aged, customer, AgeBucket(order.days), order.balance);
      customer.orders.push_back(std::move(order));
    }
  }
  for (auto& customer : customers.All()) {
    customer.orderCount = customer.orders.size();
    std::sort(customer.orders.begin(), customer.orders.end(),
              [](const AgedOrder& a, const AgedOrder& b) {
                return std::tie(a.dateIn, a.number) < std::tie(b.dateIn, b.number);
              });
  }
  aged.customers = customers.ByName();
  if (withReceipts) {
    std::map<int64_t, AgedOrder*> orders;
    for (auto& customer : aged.customers) {
      for (auto& order : customer.orders) orders[order.orderId] = &order;
    }
    aged.error = ReadReceipts(runner, aged.asOf, orders);
    if (!aged.error.empty()) aged.customers.clear();
  }
  return aged;
}

namespace {

bool ByName(const AgedCustomer& a, const AgedCustomer& b) {
  return std::tie(a.name, a.customerId) < std::tie(b.name, b.customerId);
}

// Adds what receipts dated after the day wrote off to the customer's sums.
void AddLater(AgedCustomer& customer, const AgedCustomer& later) {
  for (size_t bucket = 0; bucket < kAgeBuckets; ++bucket) {
    customer.buckets[bucket] += later.buckets[bucket];
  }
  customer.total += later.total;
  customer.orderCount += later.orderCount;
}

// What receipts dated after the day add back, per customer: to an order still owed on it is
// more owed, and an order paid off since is owed again (and counted).
std::vector<AgedCustomer> OwedAgain(db::Runner& runner, ReceivablesByAge& aged) {
  std::map<int64_t, db::Amount> later = ReadLaterWriteOffs(runner, aged.asOf, &aged.error);
  if (!aged.error.empty()) return {};
  std::vector<int64_t> paidSince;
  for (const auto& entry : later) paidSince.push_back(entry.first);
  std::map<int64_t, AgedCustomer> customers;
  constexpr size_t kChunk = 500;
  for (size_t first = 0; first < paidSince.size(); first += kChunk) {
    db::Sql orders(
        "SELECT WSDJ.单据ID, WSDJ.车主ID, WSDJ.进厂日期, WSDJ.余额, pdmwldw.公司名称 FROM WSDJ"
        " LEFT JOIN pdmwldw ON pdmwldw.往来ID = WSDJ.车主ID WHERE WSDJ.smark='02'"
        " AND WSDJ.进厂日期 <= ");
    orders.Date(aged.asOf, "")
        .Raw(" AND WSDJ.单据ID IN (")
        .Keys(std::span(paidSince).subspan(first, std::min(kChunk, paidSince.size() - first)))
        .Raw(")");
    auto rows = runner.Open(orders, &aged.error);
    if (!aged.error.empty()) return {};
    for (; !rows->Eof(); rows->MoveNext()) {
      const db::Amount balance = rows->Money("余额");
      const db::Amount owed =
          later[rows->Long("单据ID")] + (balance > db::Amount() ? db::Amount() : balance);
      if (owed <= db::Amount()) continue;
      const int64_t id = rows->Long("车主ID");
      auto [at, added] = customers.try_emplace(id);
      if (added) {
        at->second.customerId = id;
        at->second.name = rows->Text("公司名称");
      }
      const int days = std::max(0, DaysBetween(DateText(*rows, "进厂日期"), aged.asOf).value_or(0));
      AddOwed(aged, at->second, AgeBucket(days), owed);
      if (balance <= db::Amount()) ++at->second.orderCount;
    }
  }
  std::vector<AgedCustomer> out;
  out.reserve(customers.size());
  for (auto& entry : customers) out.push_back(std::move(entry.second));
  std::sort(out.begin(), out.end(), ByName);
  return out;
}

// What a customer owes today: the sum and count of its open orders, and where an order of the
// last ninety days is among them, its sums in the first three ages (an index into `recent`).
struct OwedSum {
  int64_t customerId = 0;
  db::Amount total;
  uint32_t orders = 0;
  uint32_t recent = UINT32_MAX;
};

// The owing customers' sums by id, found through a table by id where the ids are dense (a
// shop's customers numbered from 1: at a million orders 137,244 of 166,666 owe, and halving
// the list for each of 300,000 look-ups took a tenth of the desk's CPU), else by halves.
struct OwedSums {
  std::vector<OwedSum> sums;   // by id
  std::vector<uint32_t> byId;  // the index in sums of the id first + i, or UINT32_MAX
  int64_t first = 0;

  void Index() {
    if (sums.empty()) return;
    first = sums.front().customerId;
    const uint64_t span =
        static_cast<uint64_t>(sums.back().customerId) - static_cast<uint64_t>(first);
    if (span >= 4 * sums.size() + 4096) return;
    byId.assign(span + 1, UINT32_MAX);
    for (size_t i = 0; i < sums.size(); ++i) {
      byId[static_cast<uint64_t>(sums[i].customerId) - static_cast<uint64_t>(first)] =
          static_cast<uint32_t>(i);
    }
  }
  size_t IndexOf(int64_t id) const {
    if (!byId.empty()) {
      if (id < first) return sums.size();
      const uint64_t at = static_cast<uint64_t>(id) - static_cast<uint64_t>(first);
      return at < byId.size() && byId[at] != UINT32_MAX ? byId[at] : sums.size();
    }
    auto at = std::lower_bound(sums.begin(), sums.end(), id, [](const OwedSum& sum, int64_t key) {
      return sum.customerId < key;
    });
    return at == sums.end() || at->customerId != id ? sums.size()
                                                    : static_cast<size_t>(at - sums.begin());
  }
};

// The customer's sums in `owed`, null when it owes nothing today.
template <typename Sums>
auto FindOwed(Sums& owed, int64_t id) -> decltype(owed.sums.data()) {
  const size_t at = owed.IndexOf(id);
  return at == owed.sums.size() ? nullptr : owed.sums.data() + at;
}

// The owing customers, by id; the sums of the last ninety days of the few that have such orders.
// The statement that ages every open order in one pass cost 0.22 s of SQLite's CPU at a million
// orders (four comparisons of dates on each of 395,313 orders); a plain sum per customer over the
// partial index and a second sum over the ninety days' orders (found by ix_wsdj_owed_day) take
// 0.14 s. What is older than ninety days is the rest of the total.
OwedSums ReadOwedSums(db::Runner& runner, const std::string& asOf,
                      std::vector<std::array<db::Amount, kAgeBuckets - 1>>& recent,
                      std::string* error) {
  OwedSums owed;
  db::Sql sums(
      "SELECT 车主ID, SUM(余额) AS 欠, COUNT(*) AS 单数 FROM WSDJ WHERE smark='02' AND 余额 > 0"
      " AND 进厂日期 <= ");
  sums.Date(asOf, "").Raw(" GROUP BY 车主ID ORDER BY 车主ID");
  *error = runner.Stream(sums, 4096, [&](db::Recordset& chunk, bool) {
    for (; !chunk.Eof(); chunk.MoveNext()) {
      owed.sums.push_back({chunk.Field(0).ToLong(), db::Amount::OfValue(chunk.Field(1)),
                           static_cast<uint32_t>(chunk.Field(2).ToLong())});
    }
    return true;
  });
  if (!error->empty()) return {};
  // Orders with no customer (NULL, read as 0) come last from a server, which puts NULLs after.
  auto byId = [](const OwedSum& a, const OwedSum& b) { return a.customerId < b.customerId; };
  if (!std::is_sorted(owed.sums.begin(), owed.sums.end(), byId)) {
    std::stable_sort(owed.sums.begin(), owed.sums.end(), byId);
  }
  // Held while the list is filled, when the process is at its largest: not at double the size.
  owed.sums.shrink_to_fit();
  owed.Index();

  const auto starts = BucketStarts(asOf);
  db::Sql young("SELECT 车主ID, SUM(CASE WHEN 进厂日期 >= ");
  young.Date(starts[0], "")
      .Raw(" THEN 余额 ELSE 0 END) AS 龄0, SUM(CASE WHEN 进厂日期 < ")
      .Date(starts[0], "")
      .Raw(" AND 进厂日期 >= ")
      .Date(starts[1], "")
      .Raw(" THEN 余额 ELSE 0 END) AS 龄1, SUM(CASE WHEN 进厂日期 < ")
      .Date(starts[1], "")
      .Raw(" THEN 余额 ELSE 0 END) AS 龄2 FROM WSDJ WHERE smark='02' AND 余额 > 0 AND 进厂日期 >= ")
      .Date(starts[2], "")
      .Raw(" AND 进厂日期 <= ")
      .Date(asOf, "")
      .Raw(" GROUP BY 车主ID");
  *error = runner.Stream(young, 4096, [&](db::Recordset& chunk, bool) {
    for (; !chunk.Eof(); chunk.MoveNext()) {
      // Every order of these sums is one of the sums above.
      OwedSum* at = FindOwed(owed, chunk.Field(0).ToLong());
      if (!at) continue;
      at->recent = static_cast<uint32_t>(recent.size());
      auto& sums = recent.emplace_back();
      for (size_t bucket = 0; bucket + 1 < kAgeBuckets; ++bucket) {
        sums[bucket] = db::Amount::OfValue(chunk.Field(static_cast<int>(bucket) + 1));
      }
    }
    return true;
  });
  if (!error->empty()) return {};
  return owed;
}

// Which of the owing customers (by id) have a card with a name: the others are listed under the
// name "", before every named one.
std::vector<char> NamedOnes(db::Runner& runner, const OwedSums& owed, std::string* error) {
  std::vector<char> named(owed.sums.size(), 0);
  *error = runner.Stream(db::Sql("SELECT 往来ID FROM pdmwldw WHERE 公司名称 <> ''"), 4096,
                         [&](db::Recordset& chunk, bool) {
                           for (; !chunk.Eof(); chunk.MoveNext()) {
                             if (const OwedSum* at = FindOwed(owed, chunk.Field(0).ToLong())) {
                               named[static_cast<size_t>(at - owed.sums.data())] = 1;
                             }
                           }
                           return true;
                         });
  return named;
}

// The walk of every card by name, handing over the owing ones as they come.
std::string WalkNames(db::Runner& runner, const OwedSums& owed,
                      const std::function<void(const OwedSum&, std::string_view)>& take) {
  return runner.Stream(CardsByName(), 4096, [&](db::Recordset& chunk, bool) {
    for (; !chunk.Eof(); chunk.MoveNext()) {
      if (const OwedSum* at = FindOwed(owed, chunk.Field(0).ToLong())) {
        take(*at, chunk.Field(1).ToText());
      }
    }
    return true;
  });
}

// The named owing customers by name, then id, found by their ids as the sums' customers (one
// look-up each) and sorted here; `named` marks them.
std::vector<std::pair<std::string, const OwedSum*>> LookUpNames(db::Runner& runner,
                                                                const std::string& asOf,
                                                                const OwedSums& owed,
                                                                std::vector<char>& named,
                                                                std::string* error) {
  std::vector<std::pair<std::string, const OwedSum*>> found;
  named.assign(owed.sums.size(), 0);
  db::Sql sql(
      "SELECT pdmwldw.往来ID, pdmwldw.公司名称 FROM (SELECT DISTINCT 车主ID FROM WSDJ"
      " WHERE smark='02' AND 余额 > 0 AND 进厂日期 <= ");
  sql.Date(asOf, "").Raw(") 欠 JOIN pdmwldw ON pdmwldw.往来ID = 欠.车主ID");
  auto rows = runner.Open(sql, error);
  if (!error->empty()) return {};
  for (; !rows->Eof(); rows->MoveNext()) {
    const OwedSum* at = FindOwed(owed, rows->Long("往来ID"));
    if (!at || rows->Text("公司名称").empty()) continue;
    named[static_cast<size_t>(at - owed.sums.data())] = 1;
    found.emplace_back(rows->Text("公司名称"), at);
  }
  std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) {
    return std::tie(a.first, a.second->customerId) < std::tie(b.first, b.second->customerId);
  });
  return found;
}

// The customers owing on the day, handed to `take` one at a time by name, then id; the totals
// go into `aged`; `count` hears first how many will come. The database sums what each customer
// owes today over the partial index of the open orders, and what it owes of the last ninety
// days. From walkNamesFrom owing customers on, where the database orders texts by their bytes,
// the names come from a walk of every card by name (CardsByName, nothing kept here): at a
// million orders 137,244 of 166,666 customers owe, and looking each one up and sorting them
// took SQLite 0.23 s against 0.05 s for the walk. Fewer are looked up by id and sorted here.
// The few a receipt after the day wrote off are merged in as their names come.
void EachOwingCustomer(db::IDatabase& database, ReceivablesByAge& aged, size_t walkNamesFrom,
                       const std::function<void(size_t)>& count,
                       const std::function<void(AgedCustomer&)>& take) {
  db::Runner runner(database);
  std::vector<AgedCustomer> later = OwedAgain(runner, aged);
  if (!aged.error.empty()) return;
  const bool byBytes =
      runner.ScalarNumber(db::Sql("SELECT CASE WHEN 'B' < 'a' AND 'Z' < 'b' THEN 1 ELSE 0 END"),
                          &aged.error) == 1;
  if (!aged.error.empty()) return;
  std::vector<std::array<db::Amount, kAgeBuckets - 1>> recent;
  const OwedSums owed = ReadOwedSums(runner, aged.asOf, recent, &aged.error);
  if (!aged.error.empty()) return;
  const bool walk = byBytes && owed.sums.size() >= walkNamesFrom;
  std::vector<char> named;
  std::vector<std::pair<std::string, const OwedSum*>> looked;
  if (walk) {
    named = NamedOnes(runner, owed, &aged.error);
  } else {
    looked = LookUpNames(runner, aged.asOf, owed, named, &aged.error);
  }
  if (!aged.error.empty()) return;

  size_t added = 0;
  for (const AgedCustomer& again : later) added += FindOwed(owed, again.customerId) ? 0 : 1;
  count(owed.sums.size() + added);

  size_t next = 0;  // the first of `later` not handed over
  AgedCustomer customer;
  auto hand = [&](const OwedSum& sum, std::string_view name) {
    customer.customerId = sum.customerId;
    customer.name = name;
    customer.buckets = {};
    customer.total = db::Amount();
    db::Amount older = sum.total;
    if (sum.recent != UINT32_MAX) {
      for (size_t bucket = 0; bucket + 1 < kAgeBuckets; ++bucket) {
        AddOwed(aged, customer, static_cast<int>(bucket), recent[sum.recent][bucket]);
        older -= recent[sum.recent][bucket];
      }
    }
    AddOwed(aged, customer, kAgeBuckets - 1, older);
    customer.orderCount = sum.orders;
    for (; next < later.size() && ByName(later[next], customer); ++next) take(later[next]);
    if (next < later.size() && later[next].customerId == customer.customerId) {
      AddLater(customer, later[next++]);
    }
    take(customer);
  };
  // Those without a card or a name first, by id.
  for (size_t i = 0; i < owed.sums.size(); ++i) {
    if (!named[i]) hand(owed.sums[i], "");
  }
  if (walk) {
    aged.error = WalkNames(runner, owed, hand);
    if (!aged.error.empty()) return;
  } else {
    for (const auto& [name, at] : looked) hand(*at, name);
  }
  for (; next < later.size(); ++next) take(later[next]);
}

}  // namespace

db::Sql CardsByName() {
  return db::Sql(
      "SELECT 往来ID, 公司名称 FROM pdmwldw WHERE 公司名称 <> '' ORDER BY 公司名称, 往来ID");
}

ReceivablesByAge LoadAgeSummary(db::IDatabase& database, const std::string& asOf,
                                size_t walkNamesFrom) {
  ReceivablesByAge aged = OnDay(asOf);
  if (!aged.error.empty()) return aged;
  EachOwingCustomer(
      database, aged, walkNamesFrom, [&](size_t count) { aged.customers.reserve(count); },
      [&](AgedCustomer& customer) { aged.customers.push_back(customer); });
  if (!aged.error.empty()) aged.customers.clear();
  return aged;
}

// One row per customer: its orders and money by age totalled, its id hidden. No program column:
// a row opens no document (ZL_FX drills into the customer), and at 137,244 customers an empty
// cell a row is 2 MB.
const ListColumns& AgeColumns() {
  using K = ListColumnKind;
  static const ListColumns columns = {{"客户", 20},
                                      ListColumn{"单据数", 6, K::Number}.Total(),
                                      ListColumn{kCaptions[0], 11, K::Money}.Total(),
                                      ListColumn{kCaptions[1], 11, K::Money}.Total(),
                                      ListColumn{kCaptions[2], 11, K::Money}.Total(),
                                      ListColumn{kCaptions[3], 11, K::Money}.Total(),
                                      ListColumn{"合计", 12, K::Money}.Total(),
                                      ListColumn{"往来ID", 0}.Hidden()};
  return columns;
}

namespace {

void SetAgeRow(forms::Grid& grid, int row, const AgedCustomer& customer) {
  const ListColumns& columns = AgeColumns();
  static const int name = ColumnOf(columns, "客户");
  static const int count = ColumnOf(columns, "单据数");
  static const int firstBucket = ColumnOf(columns, kCaptions[0]);
  static const int total = ColumnOf(columns, "合计");
  static const int id = ColumnOf(columns, "往来ID");
  grid.SetTextMatrix(row, name, customer.name);
  grid.SetTextMatrix(row, count, std::to_string(customer.orderCount));
  for (int bucket = 0; bucket < kAgeBuckets; ++bucket) {
    grid.SetTextMatrix(row, firstBucket + bucket,
                       MoneyCell(customer.buckets[static_cast<size_t>(bucket)].ToDouble()));
  }
  grid.SetTextMatrix(row, total, MoneyCell(customer.total.ToDouble()));
  grid.SetTextMatrix(row, id, std::to_string(customer.customerId));
}

}  // namespace

void FillAgeGrid(const ReceivablesByAge& aged, forms::Grid& grid, bool totals) {
  SetupListGrid(grid, AgeColumns());
  // One row per customer, the rows made at once: a list of a hundred thousand customers is
  // not grown row by row.
  grid.SetRows(grid.FixedRows() + static_cast<int>(aged.customers.size()));
  int row = grid.FixedRows();
  for (const AgedCustomer& customer : aged.customers) SetAgeRow(grid, row++, customer);
  if (totals) AddAgeTotals(grid);
}

std::string FillAgeSummaryGrid(db::IDatabase& database, const std::string& asOf, forms::Grid& grid,
                               bool totals, size_t walkNamesFrom) {
  SetupListGrid(grid, AgeColumns());
  ReceivablesByAge aged = OnDay(asOf);
  if (!aged.error.empty()) return aged.error;
  int row = grid.FixedRows();
  // The rows made at once, as many as there are customers and room for the totals: a list of a
  // hundred thousand is not grown row by row, nor by doubling.
  EachOwingCustomer(
      database, aged, walkNamesFrom,
      [&](size_t count) {
        grid.ReserveRows(row + static_cast<int>(count) + 1);
        grid.SetRows(row + static_cast<int>(count));
      },
      [&](const AgedCustomer& customer) { SetAgeRow(grid, row++, customer); });
  if (!aged.error.empty()) {
    grid.ClearData();
    return aged.error;
  }
  if (totals) AddAgeTotals(grid);
  return {};
}

void AddAgeTotals(forms::Grid& grid) {
  AddListTotals(grid, AgeColumns(), "客户");
}

namespace {

// One row per order owing: its money by age totalled, its program and id hidden.
const ListColumns& AgedOrdersColumns() {
  using K = ListColumnKind;
  static const ListColumns columns = {{"客户", 16},
                                      {"工单号码", 12},
                                      {"进厂日期", 10, K::Date},
                                      {"车牌号", 10},
                                      {"天数", 5, K::Number},
                                      ListColumn{kCaptions[0], 10, K::Money}.Total(),
                                      ListColumn{kCaptions[1], 10, K::Money}.Total(),
                                      ListColumn{kCaptions[2], 10, K::Money}.Total(),
                                      ListColumn{kCaptions[3], 10, K::Money}.Total(),
                                      ListColumn{"欠款", 10, K::Money}.Total(),
                                      ListColumn{"应收合计", 10, K::Money}.Total(),
                                      {"收款记录", 30},
                                      ListColumn{"progid", 0}.Hidden(),
                                      ListColumn{"单据ID", 0}.Hidden()};
  return columns;
}

}  // namespace

void FillAgedOrdersGrid(const ReceivablesByAge& aged, forms::Grid& grid, bool totals) {
  SetupListGrid(grid, AgedOrdersColumns());
  for (const AgedCustomer& customer : aged.customers) {
    for (const AgedOrder& order : customer.orders) {
      std::vector<std::string> cells{customer.name, order.number, order.dateIn, order.plate,
                                     std::to_string(order.days)};
      for (int bucket = 0; bucket < kAgeBuckets; ++bucket) {
        cells.push_back(bucket == AgeBucket(order.days) ? MoneyCell(order.balance.ToDouble()) : "");
      }
      cells.push_back(MoneyCell(order.balance.ToDouble()));
      cells.push_back(MoneyCell(order.receivable.ToDouble()));
      std::string receipts;
      for (const ReceiptLine& line : order.receipts) {
        if (!receipts.empty()) receipts += "；";
        receipts += line.number + " " + line.date + " " + MoneyCell(line.amount.ToDouble());
      }
      cells.push_back(receipts);
      cells.push_back(std::to_string(order.program));
      cells.push_back(std::to_string(order.orderId));
      AddListRow(grid, cells);
    }
  }
  if (totals) AddAgedOrdersTotals(grid);
}

void AddAgedOrdersTotals(forms::Grid& grid) {
  if (grid.DataRows() == 0) return;
  const ListColumns& columns = AgedOrdersColumns();
  grid.AddSubtotals(ColumnOf(columns, "客户"), TotalColumns(columns), "小计",
                    ColumnOf(columns, "工单号码"));
  AddListTotals(grid, columns, "工单号码");
}

}  // namespace ws::reports
