#include "money/settlement_sql.h"

#include <utility>

#include "db/date.h"
#include "framework/columns.h"

namespace ws::money {

std::string SettlementListSelect() {
  return " SELECT ARPReceive.*, PDMWLDWJS.公司名称 AS 往来单位, PDMGY.姓名 AS 业务员, "
         "PDMSJZD.名称 AS 结算方式, PDMKJKM.科目编码, PDMKJKM.科目名称   FROM (((ARPReceive "
         "LEFT JOIN PDMWLDWJS ON ARPReceive.往来ID = PDMWLDWJS.往来ID)      LEFT JOIN PDMGY ON "
         "ARPReceive.业务员ID = PDMGY.雇员ID)      LEFT JOIN PDMKJKM ON ARPReceive.科目ID = "
         "PDMKJKM.科目ID)      LEFT JOIN PDMSJZD ON ARPReceive.结算方式ID = PDMSJZD.ID";
}

db::Sql OrderHeaderSelect(int64_t orderId) {
  db::Sql sql(
      " SELECT WSDJ.*, pdmwldw.公司名称, CLZl.车牌号, CLZl.发动机号, CLZl.车架号, CLZl.车型"
      "  FROM (WSDJ LEFT JOIN CLZl ON WSDJ.车辆ID = CLZl.车辆ID)"
      "      LEFT JOIN pdmwldw ON WSDJ.车主ID = pdmwldw.往来ID"
      " where wsdj.单据ID=");
  return sql.Key(orderId);
}

db::Sql OrderItemsSelect(int64_t orderId) {
  db::Sql sql(
      " SELECT WSDJXM.*,PDMWXXM.编码,PDMWXXM.维修项目,PDMWXXM.项目属性"
      "   FROM WSDJXM LEFT JOIN PDMWXXM ON WSDJXM.项目ID = PDMWXXM.AutoID"
      "  WHERE 单据ID=");
  return sql.Key(orderId).Raw(" order by 单据明细ID");
}

db::Sql IssuedPartsSelect(int64_t orderId) {
  db::Sql sql(
      " SELECT sum(jxcdjmx.数量) As sum数量,sum(jxcdjmx.实际金额) As sum金额, pdmcpml.物品编码, "
      "pdmcpml.物品名称, pdmcpml.规格 AS 产品规格, pdmcpml.库存单位,jxcdjmx.产品ID "
      " FROM (((wsdj INNER JOIN jxcdj ON wsdj.单据ID=jxcdj.前置单据ID) INNER JOIN jxcdjmx ON "
      "jxcdj.单据ID = jxcdjmx.单据ID)  INNER JOIN pdmcpml ON jxcdjmx.产品ID = pdmcpml.产品ID) "
      "where wsdj.单据ID= ");
  return sql.Key(orderId).Raw(
      "  GROUP BY pdmcpml.物品编码, pdmcpml.物品名称, pdmcpml.规格, "
      "pdmcpml.库存单位,jxcdjmx.产品ID");
}

db::Sql FeeSelect(int64_t settlementId) {
  return db::Sql(" SELECT * from ARPReceive_FY where 单据ID=").Key(settlementId);
}

db::Sql FeeDelete(int64_t settlementId) {
  return db::Sql(" DELETE FROM ARPReceive_FY WHERE 单据ID=").Key(settlementId);
}

db::Sql FeeInsert(int64_t settlementId, const FeeValues& fees) {
  db::Sql sql(
      " INSERT INTO ARPReceive_FY (单据ID,维修费用,配件费用,诊断费,检测费,管理费) VALUES (");
  sql.Key(settlementId);
  for (const std::string* fee :
       {&fees.labour, &fees.parts, &fees.diagnosis, &fees.inspection, &fees.management}) {
    sql.Raw(",").NumOf(*fee);
  }
  return sql.Raw(")");
}

db::Sql SavedLinesSelect(framework::LineKind kind, int64_t settlementId) {
  db::Sql sql(kind == framework::LineKind::Items
                  ? " SELECT ARPReceive_XM.*,PDMWXXM.编码,PDMWXXM.维修项目,PDMWXXM.项目属性"
                    "   FROM ARPReceive_XM LEFT JOIN PDMWXXM ON ARPReceive_XM.项目ID = "
                    "PDMWXXM.AutoID"
                    "  WHERE 单据ID="
                  : " SELECT ARPReceive_PJ.*,PDMCPML.物品编码,PDMCPML.物品名称,PDMCPML.规格"
                    "   FROM ARPReceive_PJ LEFT JOIN PDMCPML ON ARPReceive_PJ.产品ID = "
                    "PDMCPML.产品ID"
                    "  WHERE 单据ID=");
  return sql.Key(settlementId).Raw(" order by 单据明细ID");
}

db::Sql SavedLinesDelete(framework::LineKind kind, int64_t settlementId) {
  db::Sql sql(kind == framework::LineKind::Items ? " DELETE FROM ARPReceive_XM WHERE 单据ID="
                                                 : " DELETE FROM ARPReceive_PJ WHERE 单据ID=");
  return sql.Key(settlementId);
}

db::Sql DuplicateNumberSelect(int64_t programNumber, const std::string& number,
                              int64_t settlementId) {
  if (settlementId > 0) {
    db::Sql sql(" Select Top 1 单据ID From ARPreceive Where 单据ID <> ");
    return sql.Key(settlementId)
        .Raw(" and progid =")
        .Key(programNumber)
        .Raw(" and 单据编号=")
        .Text(number);
  }
  db::Sql sql(" select Top 1 单据ID from ARPreceive where 单据编号=");
  return sql.Text(number).Raw(" and progid =").Key(programNumber);
}

db::Sql CashAccountLookup(const std::string& typed) {
  db::Sql sql(
      "select 科目编码,科目名称,科目ID from pdmkjkm where 是否现金科目=1 and 是否明细=1 and "
      "(科目编码=");
  return sql.Text(typed).Raw(" or 科目名称=").Text(typed).Raw(") ORDER BY 科目编码");
}

db::Sql PostingSelect(int64_t settlementId) {
  // The columns the check reads back by the same names (JS_WS::ChangeState).
  namespace c = framework::col;
  const std::pair<const char*, const char*> columns[] = {{"ARPReceive", c::kNumber},
                                                         {"ARPReceive", c::kDate},
                                                         {"ARPReceive", c::kPeriod},
                                                         {"ARPReceive", c::kPartnerId},
                                                         {"ARPReceive", c::kMethodId},
                                                         {"ARPReceive", c::kAccountId},
                                                         {"ARPReceive", c::kTotalAmount},
                                                         {"ARPReceive", c::kWriteOff},
                                                         {"ARPReceive", c::kEnteredBy},
                                                         {"ARPReceive", c::kEntryDate},
                                                         {"ARPReceive_FY", c::kLabour},
                                                         {"ARPReceive_FY", c::kParts},
                                                         {"ARPReceive_FY", c::kDiagnosis},
                                                         {"ARPReceive_FY", c::kInspection},
                                                         {"ARPReceive_FY", c::kManagement},
                                                         {"WSDJ", c::kOrderNumber},
                                                         {"CLZl", c::kPlate}};
  db::Sql sql(" SELECT");
  const char* separator = " ";
  for (const auto& [table, column] : columns) {
    sql.Raw(separator).Raw(table).Raw(".").Raw(column);
    separator = ", ";
  }
  return sql
      .Raw(
          " FROM ((ARPReceive LEFT JOIN ARPReceive_FY ON ARPReceive.单据ID = ARPReceive_FY.单据ID)"
          " LEFT JOIN WSDJ ON ARPReceive.前置单据ID = WSDJ.单据ID)"
          " LEFT JOIN CLZl ON WSDJ.车辆ID = CLZl.车辆ID"
          " WHERE ARPReceive.单据ID=")
      .Key(settlementId);
}

namespace {

db::Sql& OfSettledOrder(db::Sql& sql, int64_t settlementId) {
  return sql.Raw(" WHERE 单据ID=(SELECT 前置单据ID FROM ARPReceive WHERE 单据ID=")
      .Key(settlementId)
      .Raw(")");
}

}  // namespace

db::Sql OrderSettledUpdate(int64_t settlementId, db::Amount due, db::Amount collected,
                           db::Amount writeOff) {
  db::Sql sql(" UPDATE WSDJ SET 总金额=");
  sql.Money(due)
      .Raw(", 现收金额=")
      .Money(collected)
      .Raw(", 扣零金额=")
      .Money(writeOff)
      .Raw(", 余额=")
      .Money(due - collected)
      .Raw("-补收金额-扣减金额");
  return OfSettledOrder(sql, settlementId);
}

db::Sql OrderUnsettledUpdate(int64_t settlementId) {
  db::Sql sql(" UPDATE WSDJ SET 总金额=0, 现收金额=0, 扣零金额=0, 余额=0");
  return OfSettledOrder(sql, settlementId).Raw(" AND 补收金额=0 AND 扣减金额=0");
}

db::Sql OrderWrittenOffSelect(int64_t settlementId) {
  db::Sql sql(" SELECT 补收金额+扣减金额 FROM WSDJ");
  return OfSettledOrder(sql, settlementId);
}

std::vector<db::Sql> SettlementDeleteStatements(int64_t settlementId) {
  std::vector<db::Sql> out;
  for (const char* fixed :
       {" Delete from ARPreceive where 单据ID=", " Delete from ARPreceivemx where 单据ID=",
        " Delete from ARPReceive_FY where 单据ID=", " Delete from ARPReceive_PJ where 单据ID=",
        " Delete from ARPReceive_XM where 单据ID="}) {
    out.push_back(db::Sql(fixed).Key(settlementId));
  }
  return out;
}

}  // namespace ws::money
