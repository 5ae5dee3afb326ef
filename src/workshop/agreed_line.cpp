// An agreed suggestion becomes a labour line of its repair order. The line is what the order's
// own entry would have made of the item (one of it, at the price the order's line entry
// proposes), written beside the order's header totals and its history in one transaction.
#include "db/audit_trail.h"
#include "db/runner.h"
#include "db/sql.h"
#include "framework/line_price.h"
#include "framework/shop_decimals.h"
#include "workshop/examination.h"

namespace ws::workshop {

namespace {

constexpr const char* kSuggested = "建议";
// The order's labour grid as its history names it (WS_S's "ywGridXM", captioned 维修项目).
constexpr const char* kItemGrid = "ywGridXM";
constexpr const char* kItemCaption = "维修项目";
constexpr int64_t kNoOrder = 0;

struct OrderOfSuggestion {
  int64_t orderId = kNoOrder;
  std::string state;
  std::string note;
};

OrderOfSuggestion ReadSuggestion(db::Runner& runner, int64_t suggestionId, std::string* error) {
  OrderOfSuggestion out;
  auto rs = runner.Open(
      db::Sql("SELECT 单据ID, 状态, 说明 FROM ws_suggestion WHERE 建议ID = ").Key(suggestionId),
      error);
  if (!error->empty() || rs->Eof()) return out;
  out.orderId = rs->Long("单据ID");
  out.state = rs->Text("状态");
  out.note = rs->Text("说明");
  return out;
}

}  // namespace

std::optional<ProposedLine> Examination::Propose(host::ISystem& system, int64_t suggestionId,
                                                 int64_t itemId, std::string* error) {
  db::Runner runner(db_);
  std::string failure;
  const OrderOfSuggestion suggestion = ReadSuggestion(runner, suggestionId, &failure);
  auto order = runner.Open(
      db::Sql("SELECT progid, 车主ID FROM WSDJ WHERE 单据ID = ").Key(suggestion.orderId), &failure);
  auto item = runner.Open(
      db::Sql("SELECT 编码, 维修项目, 工时 FROM PDMWXXM WHERE AutoID = ").Key(itemId), &failure);
  if (error) *error = failure;
  if (!failure.empty()) return std::nullopt;
  if (order->Eof()) {
    if (error) *error = "找不到这项建议的维修单";
    return std::nullopt;
  }
  if (item->Eof()) {
    if (error) *error = "没有这个维修项目";
    return std::nullopt;
  }
  ProposedLine line{itemId, item->Text("编码"), item->Text("维修项目"), item->Number("工时"), {}};
  line.price = framework::LinePricer(system, order->Long("progid"))
                   .Propose(framework::LineKind::Items, itemId, order->Long("车主ID"))
                   .value_or(db::Amount());
  return line;
}

std::string Examination::AgreeAsLine(const Actor& actor, host::ISystem& system,
                                     int64_t suggestionId, const std::string& agreedBy,
                                     int64_t itemId, int64_t* lineId) {
  if (!actor.dispatch) return "没有“录入”权限，不能登记客户答复";
  if (agreedBy.empty()) return "请写明是谁同意的";
  if (agreedBy.size() > 100) return "同意人不能超过 100 字节";
  std::string error;
  const std::optional<ProposedLine> line = Propose(system, suggestionId, itemId, &error);
  if (!line) return error;
  const int decimals = framework::AmountDecimals(system);
  const db::Amount amount = db::Quantity::Of("1").Times(line->price, decimals);
  int64_t newLine = 0;
  if (std::string failure = ids_.GetNewID("wsdjxm", "单据明细ID", newLine); !failure.empty()) {
    return failure;
  }
  const std::string now = now_();

  db::Transaction t(db_);
  const OrderOfSuggestion suggestion = ReadSuggestion(t.Db(), suggestionId, &error);
  if (!error.empty()) return error;
  if (suggestion.orderId == kNoOrder || suggestion.state != kSuggested) {
    return "这项建议已答复过或不存在";
  }
  auto order = t.Db().Open(db::Sql("SELECT progid, smark, 工单号码, 维修费用, 配件费用, 诊断费, "
                                   "检测费, 应收合计 FROM WSDJ WHERE 单据ID = ")
                               .Key(suggestion.orderId),
                           &error);
  if (!error.empty()) return error;
  if (order->Eof()) return "找不到这项建议的维修单";
  if (order->Text("smark") != "01") return "维修单已审核，不能再加项目";
  const int64_t program = order->Long("progid");
  const std::string number = order->Text("工单号码");
  db::AuditImage before;
  before.header = {{"维修费用", order->Money("维修费用").Text()},
                   {"应收合计", order->Money("应收合计").Text()}};
  const db::Amount otherFees =
      order->Money("配件费用") + order->Money("诊断费") + order->Money("检测费");

  if (!t.Run(db::Sql("INSERT INTO WSDJXM (单据明细ID, 单据ID, 项目ID, 数量, 单价, 金额, 说明) "
                     "VALUES (")
                 .Key(newLine)
                 .Raw(", ")
                 .Key(suggestion.orderId)
                 .Raw(", ")
                 .Key(itemId)
                 .Raw(", 1, ")
                 .Money(line->price)
                 .Raw(", ")
                 .Money(amount)
                 .Raw(", ")
                 .Text(suggestion.note)
                 .Raw(")"))) {
    return t.Error();
  }
  // The totals as the order's window computes them: the lines' sum, then the receivable with
  // the fees, each rounded once to the shop's amount decimals.
  auto lines = t.Db().Open(db::Sql("SELECT COUNT(*) AS 行数, SUM(金额) AS 合计 FROM WSDJXM WHERE "
                                   "单据ID = ")
                               .Key(suggestion.orderId),
                           &error);
  if (!error.empty()) return error;
  const auto position = static_cast<int>(lines->Long("行数"));
  const db::Amount labour = lines->Money("合计").RoundedTo(decimals);
  const db::Amount receivable = (labour + otherFees).RoundedTo(decimals);
  // Writing the header is what moves its row version: even a line priced 0 must reach a window
  // that shows the order without it.
  if (!t.RunOne(db::Sql("UPDATE WSDJ SET 维修费用 = ")
                    .Money(labour)
                    .Raw(", 应收合计 = ")
                    .Money(receivable)
                    .Raw(" WHERE smark = '01' AND 单据ID = ")
                    .Key(suggestion.orderId),
                "维修单已审核，不能再加项目") ||
      !t.RunOne(db::Sql("UPDATE ws_suggestion SET 状态 = '同意', 同意人 = ")
                    .Text(agreedBy)
                    .Raw(", 同意时间 = ")
                    .Text(now)
                    .Raw(", 登记人 = ")
                    .Text(actor.user)
                    .Raw(", 单据明细ID = ")
                    .Key(newLine)
                    .Raw(" WHERE 状态 = ")
                    .Text(kSuggested)
                    .Raw(" AND 建议ID = ")
                    .Key(suggestionId),
                "这项建议已答复过或不存在")) {
    return t.Error();
  }

  db::AuditImage after;
  after.header = {{"维修费用", labour.Text()}, {"应收合计", receivable.Text()}};
  const db::AuditImage::LineKey key{kItemGrid, newLine};
  after.lines[key] = {{"编码", line->code},
                      {"数量", "1"},
                      {"单价", line->price.Text()},
                      {"金额", amount.Text()},
                      {"说明", suggestion.note}};
  after.lineNames[key] = db::AuditLineName(kItemCaption, position, line->code, line->name);
  db::AuditEvent event;
  event.documentType = "WS_S";
  event.program = program;
  event.documentId = suggestion.orderId;
  event.number = number;
  event.action = db::AuditAction::Update;
  event.changes = db::CompareImages(before, after);
  event.changes.push_back({"客户同意", "", agreedBy});
  if (!db::AppendAudit(t, event, {actor.user, actor.frontEnd})) return t.Error();
  if (!t.Commit()) return t.Error();
  if (lineId) *lineId = newLine;
  return {};
}

}  // namespace ws::workshop
