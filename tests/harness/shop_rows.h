// Rows a demo shop lacks for some measurements and plan checks: a checked repair order of many
// part lines and an entered material requisition issuing every one of them from the first
// depot with stock, in the current stock period. (The demo's own history of requisitions,
// settlements and receipts comes with `ws demo`.)
#pragma once

#include <cstdint>
#include <string>

#include "db/database.h"
#include "db/runner.h"
#include "db/sql.h"

namespace ws::harness {

// Writes the order and the requisition (ids above every id there; the host's counters jump
// past them) in one transaction. Answers the requisition's id, or 0 with the error text in
// *error.
inline int64_t AddRequisitionOfOrder(db::IDatabase& db, int lines, const std::string& user,
                                     std::string* error) {
  const auto N = [](int64_t value) { return std::to_string(value); };
  db::Runner runner(db);
  auto scalar = [&](const char* sql) { return runner.Scalar(db::Sql(sql), error).ToLong(); };
  const int64_t order = scalar("SELECT COALESCE(MAX(单据ID), 0) + 1 FROM WSDJ");
  const int64_t orderLine = scalar("SELECT COALESCE(MAX(单据明细ID), 0) + 1 FROM WSDJPJ");
  const int64_t requisition = scalar("SELECT COALESCE(MAX(单据ID), 0) + 1 FROM JXCDJ");
  const int64_t requisitionLine = scalar("SELECT COALESCE(MAX(单据明细ID), 0) + 1 FROM JXCDJMX");
  const int64_t depot = scalar("SELECT MIN(仓库ID) FROM JXCGoodsZzTz");
  const int64_t period = scalar("SELECT MAX(会计期间) FROM JXCGoodsZzTz");
  const int64_t parts = scalar("SELECT COUNT(*) FROM JXCGoodsZzTz");
  if (!error->empty()) return 0;
  if (parts == 0) {
    *error = "the shop has no stock to issue";
    return 0;
  }
  db::Transaction tx(db);
  tx.Run(db::Sql("INSERT INTO WSDJ (单据ID, progid, smark, 系统, 工单号码, 车主ID, 车辆ID, "
                 "进厂日期) SELECT " +
                 N(order) + ", 200001, '02', '审核', 'LL" + N(order) + "', ")
             .Raw("车主ID, 车辆ID, '2012-06-15' FROM clzl WHERE 车主ID > 0 ORDER BY 车辆ID "
                  "LIMIT 1"));
  tx.Run(db::Sql("INSERT INTO JXCDJ (单据ID, progID, smark, 系统, 单据编号, 前置单据, 前置单据ID, "
                 "往来ID, 仓库ID, 币种ID, 操作日期, 填单日期, 仓库填单, 会计期间, 总金额) SELECT " +
                 N(requisition) + ", 200002, '01', '填单', 'LL" + N(requisition) +
                 "', 200001, 单据ID, 车主ID, " + N(depot) + ", 1, '2012-06-15', '2012-06-15', ")
             .Text(user)
             .Raw(", " + N(period) + ", 0 FROM WSDJ WHERE 单据ID=" + N(order)));
  for (int i = 0; i < lines; ++i) {
    tx.Run(db::Sql("INSERT INTO WSDJPJ (单据明细ID, 单据ID, 产品ID, 数量, 单价, 金额) SELECT " +
                   N(orderLine + i) + ", " + N(order) +
                   ", 产品ID, 1, 10, 10 FROM JXCGoodsZzTz WHERE 会计期间=" + N(period) +
                   " ORDER BY 产品ID LIMIT 1 OFFSET " + N(i % parts)));
    tx.Run(
        db::Sql("INSERT INTO JXCDJMX (单据明细ID, 单据ID, 前置单据, 前置单据ID, 仓库ID, 产品ID, "
                "货位, 等级, 特征码, 产品批次, 数量, 单价, 金额, 含税单价, 含税金额, 实际金额, "
                "会计期间) SELECT " +
                N(requisitionLine + i) + ", " + N(requisition) + ", 200001, 单据明细ID, " +
                N(depot) + ", 产品ID, '', '', '', '', 1, 10, 10, 10, 10, 10, " + N(period) +
                " FROM WSDJPJ WHERE 单据明细ID=" + N(orderLine + i)));
  }
  if (!tx.Commit()) {
    *error = tx.Error();
    return 0;
  }
  return requisition;
}

}  // namespace ws::harness
