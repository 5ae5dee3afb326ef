// Orders for the choosers' tests: customers 1 (顺达物流) and 2 (李四), vehicles 1 and 3 of
// customer 1 and 2 of customer 2, and six repair orders:
//   WS000 checked, customer 1, 2012-06-02, balance 500
//   WS001 checked, customer 1, 2012-05-01, balance 300 (60 + 30 received, 10 written off)
//   WS002 checked, customer 1, 2012-04-01, balance 600, settled by settlement 50
//   WS003 entered, customer 1, balance 100
//   WS004 checked, customer 2, 2012-06-01, balance 500
//   WS005 checked, customer 1, 2012-05-01, paid in full
// and receipt 60, which names no order.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "forms/grid.h"
#include "support/test_host.h"

namespace ws::money {

class OrdersTest : public test::HostTest {
 protected:
  using Texts = std::vector<std::string>;
  // A grid column's texts, top to bottom.
  static Texts Column(const forms::Grid& grid, int col) {
    Texts out;
    for (int row = grid.FixedRows(); row < grid.Rows(); ++row)
      out.push_back(grid.TextMatrix(row, col));
    return out;
  }
  void SetUp() override {
    host_.Exec("insert into pdmwldw (往来ID,公司名称) values (1,'顺达物流'),(2,'李四')");
    host_.Exec("insert into pdmwldwjs (往来ID,公司名称) values (1,'顺达物流(应收)')");
    host_.Exec(
        "insert into clzl (车辆ID,车牌号,发动机号,车型,车主ID) values "
        "(1,'京A12345','E1','桑塔纳',1),(2,'京B00002','E2','捷达',2),(3,'京C00003','E3','',1)");
    // 单据ID, number, mark, customer, vehicle, date in, balance.
    host_.Exec(
        "insert into WSDJ (单据ID,progid,smark,工单号码,车主ID,车辆ID,进厂日期,应收合计,现收金额,"
        "补收金额,扣零金额,余额) values "
        "(1,200001,'02','WS001',1,1,'2012-05-01',400,60,30,10,300),"
        "(2,200001,'02','WS002',1,1,'2012-04-01',600,0,0,0,600),"
        "(3,200001,'01','WS003',1,1,'2012-05-10',100,0,0,0,100),"
        "(4,200001,'02','WS004',2,2,'2012-06-01',500,0,0,0,500),"
        "(5,200001,'02','WS005',1,1,'2012-05-01',200,200,0,0,0),"
        "(6,200001,'02','WS000',1,3,'2012-06-02',500,0,0,0,500)");
    // Settlement 50 settles order 2; receipt 60 names no order.
    host_.Exec(
        "insert into ARPReceive (单据ID,progID,smark,单据编号,前置单据ID) values "
        "(50,200003,'01','JS050',2)");
    host_.Exec(
        "insert into ARPReceive (单据ID,progID,smark,单据编号,往来ID) values "
        "(60,200004,'01','SK060',1)");
  }
};

}  // namespace ws::money
