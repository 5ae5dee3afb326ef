// The settlement document's shop: the ledger period is 2012-06 with periods up to 2012-03
// closed and the month closing on the 25th; customer 1 (顺达物流) with car 京A12345; repair
// order 10 (WS010, checked) with two labour lines and parts issued by two requisitions (part 1
// twice: 2 × 30 and 1 × 33; part 2 issued with quantity 0 and amount 5); its own part line
// (which a settlement never bills); a cash account 1001, a bank account that is not a detail
// account, salesman 4 and settlement method 2. The chooser answers the order in chosen_.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "forms/input.h"
#include "money/js_ws.h"
#include "support/test_host.h"

namespace ws::money {

inline constexpr int64_t kSettlementProgram = 200003;

class SettlementTest : public test::HostTest {
 protected:
  void SetUp() override {
    ASSERT_EQ(host_.System().SetParameter(12, 1, "201206"), "");
    ASSERT_EQ(host_.System().SetOption(12, std::string("Jzperiod"), "201203"), "");
    ASSERT_EQ(host_.System().SetParameter(12, 3, "25"), "");
    for (const char* sql :
         {"insert into pdmwldw (往来ID,公司名称) values (1,'顺达物流')",
          "insert into pdmwldwjs (往来ID,公司名称) values (1,'顺达物流')",
          "insert into clzl (车辆ID,车牌号,发动机号,车架号,车型,车主ID) "
          "values (1,'京A12345','E100','J100','桑塔纳',1)",
          "insert into PDMWXXM (AutoID,编码,维修项目,项目属性) values (1,'X01','换机油','保养'),"
          "(2,'X02','喷漆','钣金')",
          "insert into PDMCPML (产品ID,物品编码,物品名称,规格) values "
          "(1,'P01','机油滤芯','小号'),(2,'P02','刹车片','前轮')",
          "insert into pdmwxfl (维修分类ID,编码,维修分类) values (3,'F01','小修')",
          "insert into PDMKJKM (科目ID,科目编码,科目名称,是否现金科目,是否明细) values "
          "(1,'1001','库存现金',1,1),(2,'1002','银行存款',1,0)",
          "insert into PDMGY (雇员ID,姓名) values (4,'赵六')",
          "insert into PDMSJZD (ID,名称) values (2,'转账支票')",
          "insert into WSDJ (单据ID,progid,smark,系统,工单号码,车主ID,车辆ID,进厂日期,出厂日期,"
          "车厂,维修分类ID,维修分类,送修人,公里数,诊断费,检测费,应收合计,备注) values "
          "(10,200001,'02','审核','WS010',1,1,'2012-06-01','2012-06-03','一汽',3,'小修','王五',"
          "12000,15,5,400,'左前门有划痕')",
          "insert into WSDJXM (单据明细ID,单据ID,项目ID,数量,单价,金额,说明) values "
          "(1,10,1,2,50,100,'全合成'),(2,10,2,1,200,200,'')",
          "insert into WSDJPJ (单据明细ID,单据ID,产品ID,数量,单价,金额) values "
          "(1,10,2,4,100,400)",
          "insert into JXCDJ (单据ID,progID,smark,单据编号,前置单据ID) values "
          "(20,200002,'02','LL1',10),(21,200002,'02','LL2',10)",
          "insert into JXCDJMX (单据明细ID,单据ID,产品ID,数量,实际金额) values "
          "(1,20,1,2,60),(2,21,1,1,33),(3,21,2,0,5)"}) {
      host_.Exec(sql);
    }
    doc_.Events().AttachSink(&host_.Sink());
  }

  bool Start(int64_t requested = 0) {
    return doc_.Init(host_.System(), kSettlementProgram, requested);
  }
  forms::Field& F(int index) { return doc_.Header(index); }
  forms::Grid& Grid(framework::LineKind kind) { return doc_.Lines(kind).Grid(); }
  void Type(int index, const std::string& text) {
    auto typed = forms::Input::Type(F(index), text);
    ASSERT_TRUE(typed) << "field " << index << ": " << typed.reason;
  }
  void Choose() {
    ASSERT_TRUE(forms::Input::Click(doc_.Form().Get<forms::Widget>(JS_WS::kSelectButton)));
  }
  // A new settlement of order 10 dated `date`, with 300 collected into the cash account.
  void TypeNew(const std::string& date = "2012-06-15") {
    ASSERT_TRUE(doc_.FileNew());
    Choose();
    Type(JS_WS::kDate, date);
    Type(JS_WS::kAccount, "1001");
    Type(JS_WS::kCollected, "300");
  }
  // TypeNew with everything a user can give it, saved; answers the new id.
  int64_t SaveFull() {
    TypeNew();
    F(JS_WS::kSalesman).SetValue("4", "赵六");
    F(JS_WS::kMethod).SetValue("2", "转账支票");
    Type(JS_WS::kNumber, "JS-0001");
    Type(JS_WS::kSummary, "六月结算");
    Type(JS_WS::kWriteOff, "7.5");
    Type(JS_WS::kRemarks, "现金付讫");
    EXPECT_TRUE(doc_.FileSave());
    return doc_.GetID();
  }

  std::string Text(const std::string& sql) { return host_.Scalar(sql).ToText(); }
  int64_t Count(const std::string& sql) { return host_.Scalar(sql).ToLong(); }
  std::string LastBox() {
    const auto& boxes = host_.Dialogs().Boxes();
    return boxes.empty() ? "" : boxes.back().text + "|" + boxes.back().title;
  }

  ChosenRepairOrder chosen_{10, "WS010"};
  std::vector<int64_t> chooserSettlementIds_;
  JS_WS doc_{[this](host::ISystem&, int64_t, int64_t, int64_t settlementId) {
    chooserSettlementIds_.push_back(settlementId);
    return chosen_;
  }};
};

}  // namespace ws::money
