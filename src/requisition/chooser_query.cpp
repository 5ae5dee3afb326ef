#include "requisition/chooser_query.h"

#include "framework/order_filter.h"

namespace ws::requisition {

db::Sql ChooserSelect(const ChooserFilter& filter, std::string_view driver) {
  const bool jet = db::IsJetDriver(driver);
  db::Sql sql("SELECT TOP ");
  sql.RowCount(filter.rowLimit)
      .Raw(
          "         WSDJ.进厂日期, WSDJ.工单号码, PDMWLDW.公司名称 AS 客户名称, CLZl.车牌号, "
          "CLZl.车型, WSDJ.维修分类,"
          "        PDMCPML.物品编码 AS 配件编码, PDMCPML.物品名称 AS 配件项目, PDMCPML.规格 AS "
          "配件规格, WSDJPJ.数量 AS 需求数量,"
          "        wsdjpj.已领用数 , 0 AS 未领数量, WSDJPJ.单价, WSDJPJ.说明, WSDJ.车主ID AS "
          "客户ID, WSDJPJ.产品ID,"
          "        WSDJ.progid, WSDJ.单据ID, WSDJPJ.单据明细ID,PDMCPML.库存单位 As 单位"
          "   FROM (((WSDJ LEFT JOIN WSDJPJ ON WSDJ.单据ID = WSDJPJ.单据ID)"
          "      LEFT JOIN PDMCPML ON WSDJPJ.产品ID = PDMCPML.产品ID)"
          "      LEFT JOIN PDMWLDW ON WSDJ.车主ID = PDMWLDW.往来ID)"
          "      LEFT JOIN CLZl ON WSDJ.车辆ID = CLZl.车辆ID"
          "  WHERE wsdj.smark='02'");
  framework::AppendRepairOrderFilter(sql,
                                     {filter.plate, filter.number, filter.dateFrom, filter.dateTo,
                                      filter.customerId, filter.orderId},
                                     driver);
  if (!filter.showIssued) {
    sql.Raw(
        jet ? " and ( iif(isnull(wsdjpj.产品ID),0,wsdjpj.产品ID)=0 or "
              "iif(isnull(wsdjpj.数量),0,wsdjpj.数量)>iif(isnull(wsdjpj.已领用数),0,wsdjpj."
              "已领用数))"
            : " and ( isnull(wsdjpj.产品ID,0)=0 or isnull(wsdjpj.数量,0)>isnull(wsdjpj.已领用数,"
              "0) )");
  }
  sql.Raw(" ORDER by wsdj.工单号码 DESC,pdmcpml.物品编码");
  return sql;
}

}  // namespace ws::requisition
