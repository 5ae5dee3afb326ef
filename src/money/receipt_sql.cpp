#include "money/receipt_sql.h"

#include "db/date.h"

namespace ws::money {

std::string ReceiptListSelect() {
  return " SELECT ARPReceive.*, PDMWLDWJS.公司名称 AS 往来单位, PDMGY.姓名 AS 业务员,"
         " PDMSJZD.名称 AS 结算方式, PDMKJKM.科目编码, PDMKJKM.科目名称"
         "   FROM (((ARPReceive LEFT JOIN PDMWLDWJS ON ARPReceive.往来ID = PDMWLDWJS.往来ID)"
         "      LEFT JOIN PDMGY ON ARPReceive.业务员ID = PDMGY.雇员ID)"
         "      LEFT JOIN PDMKJKM ON ARPReceive.科目ID = PDMKJKM.科目ID)"
         "      LEFT JOIN PDMSJZD ON ARPReceive.结算方式ID = PDMSJZD.ID";
}

db::Sql ReceiptLinesSelect(int64_t receiptId) {
  db::Sql sql(
      "  SELECT ARPReceiveMx.*, WSDJ.工单号码, WSDJ.进厂日期, CLZl.车牌号, CLZl.发动机号,"
      " WSDJ.维修分类, WSDJ.应收合计, WSDJ.现收金额+ WSDJ.补收金额+WSDJ.扣零金额 As 已收金额,"
      " WSDJ.余额"
      "   FROM (ARPReceiveMx LEFT JOIN WSDJ ON ARPReceiveMx.源单ID = WSDJ.单据ID)"
      "      LEFT JOIN CLZl ON WSDJ.车辆ID = CLZl.车辆ID"
      "  WHERE ARPReceiveMx.单据ID=");
  return sql.Key(receiptId).Raw(" order by 序号");
}

std::vector<db::Sql> DeleteReceiptStatements(int64_t receiptId) {
  std::vector<db::Sql> out;
  out.push_back(db::Sql(" Delete from ARPreceive where 单据ID=").Key(receiptId));
  out.push_back(db::Sql(" Delete from ARPreceivemx where 单据ID=").Key(receiptId));
  return out;
}

}  // namespace ws::money
