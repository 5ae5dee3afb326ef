#include "framework/line_price.h"

#include <stdexcept>

#include "db/price_summary.h"
#include "db/runner.h"
#include "db/sql.h"
#include "db/value.h"

namespace ws::framework {

namespace {

// A failed query is an error to end the lookup; no row or Null is 0.
db::Amount Scalar(db::IDatabase& database, const std::string& sql) {
  std::string error;
  db::Amount value = db::Runner(database).ScalarAmount(db::Sql(sql), &error);
  if (!error.empty()) throw std::runtime_error(error);
  return value;
}

const char* FromLines(LineKind kind) {
  return kind == LineKind::Items ? " from wsdj A left join wsdjxm B on A.单据ID=B.单据ID"
                                 : " from wsdj A left join wsdjpj B on A.单据ID=B.单据ID";
}

}  // namespace

std::string HistoryPriceSelect(LineKind kind, int64_t key, int64_t programNumber,
                               std::optional<int64_t> ownerId) {
  db::Sql sql(" SELECT TOP 1 单价");
  sql.Raw(FromLines(kind));
  if (ownerId) {
    sql.Raw(" where A.车主ID=").Key(*ownerId);
    sql.Raw(kind == LineKind::Items ? "  and B.项目ID=" : "  and B.产品ID=");
  } else {
    sql.Raw(kind == LineKind::Items ? " where  B.项目ID=" : " where B.产品ID=");
  }
  return sql.Key(key)
      .Raw(" and smark='02' and A.progID=")
      .Key(programNumber)
      .Raw(" order by B.单据明细ID desc")
      .Literal();
}

std::string RulePriceSelect(int rule, LineKind kind, int64_t key, int64_t programNumber,
                            int64_t period) {
  switch (rule) {
    case 1:
    case 2:
    case 3:
      // The lowest, highest and average of every checked line of the item, answered from the
      // price summary the database keeps beside the lines.
      return db::PriceSummarySelect(
                 rule, kind == LineKind::Items ? db::kPriceSummaryItems : db::kPriceSummaryParts,
                 key, programNumber)
          .Literal();
    case 4:
      return HistoryPriceSelect(kind, key, programNumber, std::nullopt);
    case 5:
    case 6:
      // The reference prices live in the product catalogue; an item id is looked up there too.
      return db::Sql("SELECT 参考零售价 FROM PDMCPML WHERE 产品ID=").Key(key).Literal();
    case 7:
      if (kind == LineKind::Items) return {};
      return db::Sql(
                 " SELECT SUM(库存数量) As sum库存数量, SUM(库存金额) As sum库存金额   FROM "
                 "JXCGoodsZztz  WHERE 会计期间=")
          .Key(period)
          .Raw("    AND 产品ID=")
          .Key(key)
          .Raw(" AND 仓库ID in ( select 部门ID from pdmbm where 不参与物料运算=0 )")
          .Literal();
    case 8:
      return db::Sql("SELECT 参考进价 FROM PDMCPML WHERE 产品ID=").Key(key).Literal();
    default:
      return {};
  }
}

std::optional<db::Amount> LinePricer::Propose(LineKind kind, int64_t key, int64_t ownerId) {
  try {
    double mode = db::NumericValue(system_.GetOption(12, std::string("fetchmode")));
    if (mode == 0) mode = db::NumericValue(system_.GetOption(3, std::string("fetchmode")));
    if (mode == 0) {
      db::IDatabase& database = system_.GetDatabase();
      db::Amount price = Scalar(database, HistoryPriceSelect(kind, key, programNumber_, ownerId));
      if (price.IsZero()) {
        price = Scalar(database, HistoryPriceSelect(kind, key, programNumber_, std::nullopt));
      }
      if (!price.IsZero()) return price;
      return ByRule(kind, key);
    }
    if (mode == 1 || mode == 2) return ByRule(kind, key);
    return std::nullopt;
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

std::optional<db::Amount> LinePricer::ByRule(LineKind kind, int64_t key) {
  db::IDatabase& database = system_.GetDatabase();
  auto rule = static_cast<int>(Scalar(database, db::Sql(" SELECT fetchPrice FROM xt_objects "
                                                        "WHERE progid=")
                                                    .Key(programNumber_)
                                                    .Literal())
                                   .ToDouble());
  if (rule == 0) return db::Amount();
  int64_t period = 0;
  if (rule == 7) {
    period = static_cast<int64_t>(db::NumericValue(system_.GetParameter(12, 1)));
  }
  std::string sql = RulePriceSelect(rule, kind, key, programNumber_, period);
  if (sql.empty()) return std::nullopt;
  if (rule != 7) return Scalar(database, sql);

  std::string error;
  auto records = db::Runner(database).Open(db::Sql(sql), &error);
  if (!error.empty()) throw std::runtime_error(error);
  if (records->Eof()) return std::nullopt;
  const db::Amount quantity = records->Money("sum库存数量");
  if (quantity.IsZero()) return std::nullopt;
  return records->Money("sum库存金额").DividedBy(quantity);
}

}  // namespace ws::framework
