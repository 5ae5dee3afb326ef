// Several desks at the same documents and cards: every update moves a row's version on and a
// save at an older version is refused with nothing written; what a check applies, what a
// second write-off or settlement of one order meets, and what a refused check or save says.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "db/catalogue.h"
#include "host/document_control.h"
#include "host/registry.h"
#include "masters/register.h"
#include "money/register.h"
#include "repair_order/register.h"
#include "requisition/register.h"
#include "support/test_host.h"

namespace ws::framework {
namespace {

class Desks : public test::HostTest {
 protected:
  void SetUp() override {
    masters::RegisterMasters(registry_);
    repair_order::RegisterRepairOrder(registry_);
    requisition::RegisterRequisition(registry_);
    money::RegisterMoney(registry_);
  }
  // A window on one stored document or card, as the host opens it.
  host::DocumentControl& Open(const std::string& progId, int64_t program, int64_t id) {
    windows_.push_back(registry_.Create(progId));
    auto* window = dynamic_cast<host::DocumentControl*>(windows_.back().get());
    EXPECT_TRUE(window && window->Init(host_.System(), program, id));
    if (id > 0) {
      EXPECT_TRUE(window->Refresh() && window->GetID() == id) << progId << " " << id;
    }
    return *window;
  }
  std::string LastBox() {
    return host_.Dialogs().Boxes().empty() ? "" : host_.Dialogs().Boxes().back().text;
  }

  host::Registry registry_;
  std::vector<std::unique_ptr<host::IControl>> windows_;
};

struct Versioned {
  const char* progId;
  int64_t program;
  const char* table;
  const char* key;
  std::vector<const char*> seed;  // inserts row 7 with what its control's save needs
  const char* column;             // a text column "another desk" changes
};

// A requisition and a settlement save only for an order of the shop: order 70 of customer 1,
// checked, with a part line; the requisition issues that part from depot 11 in the open period.
const char* const kOrder70[] = {
    "insert into pdmwldw (往来ID,往来编码,公司名称,属性) values (1,'C1','顺达物流',2)",
    "insert into pdmwldwjs (往来ID,公司名称) values (1,'顺达物流')",
    "insert into clzl (车辆ID,车牌号,车主ID) values (1,'京A12345',1)",
    "insert into WSDJ (单据ID,progid,smark,系统,工单号码,车主ID,车辆ID,进厂日期,应收合计,余额) "
    "values (70,200001,'02','审核','W70',1,1,'2012-06-02',100,100)",
    "insert into PDMBM (部门ID,部门编码,部门名称,组织类型,是否明细,是否使用,属性,不参与物料运算) "
    "values (11,'11','配件总库',2,1,1,'0',0)",
    "insert into PDMCPML (产品ID,物品编码,物品名称,库存单位,是否需批次管理) values "
    "(101,'P101','机油滤芯','个',0)",
    "insert into WSDJPJ (单据明细ID,单据ID,产品ID,数量,已领用数,单价) values (71,70,101,2,1,25)",
};

// clang-format off
const Versioned kVersioned[] = {
    {"WS.WS_S", 200001, "WSDJ", "单据ID",
     {"insert into WSDJ (单据ID,progid,smark,系统,工单号码,进厂日期) "
      "values (7,200001,'01','填单','W7','2012-06-10')"}, "备注"},
    {"WS.CKLl_WS", 200002, "JXCDJ", "单据ID",
     {"insert into JXCDJ (单据ID,progID,smark,单据编号,操作日期,会计期间,仓库ID,前置单据,"
      "前置单据ID,往来ID,总金额) values (7,200002,'01','L7','2012-06-10',201206,11,200001,70,1,25)",
      "insert into JXCDJMX (单据明细ID,单据ID,仓库ID,产品ID,数量,单价,金额,会计期间,前置单据ID) "
      "values (77,7,11,101,1,25,25,201206,71)"}, "备注"},
    {"WS.JS_WS", 200003, "ARPReceive", "单据ID",
     {"insert into ARPReceive (单据ID,progID,smark,单据编号,单据日期,会计期间,往来ID,前置单据ID) "
      "values (7,200003,'01','J7','2012-06-10',201206,1,70)"}, "备注"},
    {"WS.PDM_clAdd", 200012, "clzl", "车辆ID",
     {"insert into clzl (车辆ID,车辆编号,车牌号) values (7,'C7','京A7')"}, "颜色"},
};
// clang-format on

void PrintTo(const Versioned& versioned, std::ostream* out) {
  *out << versioned.progId;
}

class RowVersionTest : public Desks, public ::testing::WithParamInterface<Versioned> {
 protected:
  void SetUp() override {
    Desks::SetUp();
    if (GetParam().program == 200002 || GetParam().program == 200003) {
      for (const char* sql : kOrder70) host_.Exec(sql);
    }
    for (const char* sql : GetParam().seed) host_.Exec(sql);
  }
  db::Sql Row(const std::string& what) {
    return db::Sql(what).Raw(GetParam().table).Raw(" where ").Raw(GetParam().key).Raw("=7");
  }
  std::string Select(const std::string& column) {
    return host_.Scalar(Row("select " + column + " from ")).ToText();
  }
  int64_t Version() { return db::Value(Select(std::string(db::kRowVersionColumn))).ToLong(); }
  // Another desk's write: a save, check or roll-up of the row.
  void OtherDeskWrites(const std::string& text) {
    db::Sql sql = db::Sql("update ").Raw(GetParam().table).Raw(" set ").Raw(GetParam().column);
    host_.Exec(sql.Raw("=").Text(text).Raw(" where ").Raw(GetParam().key).Raw("=7"));
  }
};

TEST_P(RowVersionTest, ASaveAtAnOlderVersionIsRefusedAndAtTheCurrentOneWritten) {
  OtherDeskWrites("第一次");
  ASSERT_EQ(Version(), 1) << "every update moves the version on";
  host::DocumentControl& window = Open(GetParam().progId, GetParam().program, 7);
  EXPECT_EQ(window.ShownRowVersion(), 1) << "the window's select reads the version";

  ASSERT_TRUE(window.FileEdit());
  OtherDeskWrites("第二次");
  EXPECT_FALSE(window.FileSave());
  EXPECT_EQ(LastBox(), host::kRowChangedText);
  EXPECT_EQ(Select(GetParam().column), "第二次") << "the refused save wrote nothing";
  EXPECT_FALSE(host_.Db().InTransaction());

  // Read again, the window saves, and what it saved is the newest version.
  ASSERT_TRUE(window.Refresh());
  ASSERT_TRUE(window.FileEdit());
  EXPECT_TRUE(window.FileSave()) << LastBox();
  EXPECT_EQ(Version(), 3);
  EXPECT_EQ(host_.RowText("select count(*), min(用户) from ws_audit where 单据ID=7 and 单据类型='" +
                          window.ClassName() + "'"),
            std::string("1/") + test::kTestUser)
      << "one event: the refused save left none";
}

// A window that checks and unchecks its order after another desk's save has the order read
// again by its own steps or is refused at its save: either way the other desk's edit stays.
TEST_F(Desks, AStaleWindowsCheckAndUncheckDoNotLetItSaveOverAnotherDesksEdit) {
  host_.Exec(kVersioned[0].seed.front());
  host::DocumentControl& window = Open("WS.WS_S", 200001, 7);
  host_.Exec("update WSDJ set 备注='另一台的修改' where 单据ID=7");
  ASSERT_TRUE(window.Check()) << LastBox();
  ASSERT_TRUE(window.UnCheck()) << LastBox();
  if (window.FileEdit()) window.FileSave();
  EXPECT_EQ(host_.Scalar("select 备注 from WSDJ where 单据ID=7").ToText(), "另一台的修改");
}

INSTANTIATE_TEST_SUITE_P(DocumentsAndCards, RowVersionTest, ::testing::ValuesIn(kVersioned),
                         [](const auto& info) { return std::string(info.param.progId + 3); });

class SeveralUsersTest : public Desks {
 protected:
  void SetUp() override {
    Desks::SetUp();
    host_.Exec(
        "insert into WSDJ (单据ID,progid,smark,系统,工单号码,进厂日期,总金额,余额) values "
        "(1,200001,'02','审核','W1','2012-06-10',100,100),"
        "(2,200001,'01','填单','W2','2012-06-10',0,0)");
  }
  std::string Order() { return host_.RowText("select 补收金额, 余额 from WSDJ where 单据ID=1"); }
};

TEST_F(SeveralUsersTest, AReceiptCheckAppliesItsStoredLinesAndNeverOverdrawsAnOrder) {
  host_.Exec(
      "insert into ARPReceive (单据ID,progID,smark,status,单据编号,单据日期,会计期间,总金额) "
      "values (21,200004,'01','填单','S21','2012-06-15',201206,30),"
      "(22,200004,'01','填单','S22','2012-06-15',201206,50)");
  host_.Exec(
      "insert into ARPReceiveMx (单据明细ID,单据ID,序号,源单ID,结算金额,本币结算金额) values "
      "(1,21,'0001',1,30,30),(2,22,'0001',1,50,50)");
  host::DocumentControl& first = Open("WS.JS_S", 200004, 21);
  // Another desk saves the first receipt's line as 80 while this window still shows 30.
  host_.Exec("update ARPReceiveMx set 结算金额=80, 本币结算金额=80 where 单据明细ID=1");
  ASSERT_TRUE(first.Check()) << LastBox();
  EXPECT_EQ(Order(), "80/20");

  // 50 more would take the balance of 20 below zero: refused, nothing applied.
  host::DocumentControl& second = Open("WS.JS_S", 200004, 22);
  EXPECT_FALSE(second.Check());
  EXPECT_EQ(LastBox(), "维修单W1的余额不足，核销后余额将小于零，不能审核！");
  EXPECT_EQ(Order(), "80/20");
  EXPECT_EQ(host_.Scalar("select smark from ARPReceive where 单据ID=22").ToText(), "01");

  ASSERT_TRUE(first.UnCheck());
  EXPECT_EQ(Order(), "0/100") << "the uncheck takes back what the check applied";
  ASSERT_TRUE(second.Check()) << LastBox();
  EXPECT_EQ(Order(), "50/50");
}

TEST_F(SeveralUsersTest, AnOrderIsSettledOnce) {
  host_.Exec(
      "insert into ARPReceive (单据ID,progID,smark,status,单据编号,单据日期,会计期间,前置单据ID) "
      "values (31,200003,'01','填单','J31','2012-06-15',201206,1),"
      "(32,200003,'01','填单','J32','2012-06-15',201206,1)");
  host::DocumentControl& later = Open("WS.JS_WS", 200003, 32);
  ASSERT_TRUE(later.FileEdit());
  EXPECT_FALSE(later.FileSave());
  EXPECT_EQ(LastBox(), "该维修单已经结算，不能重复结算！");
  host_.Exec("delete from ARPReceive where 单据ID=31");
  EXPECT_TRUE(later.FileSave()) << LastBox();
}

TEST_F(SeveralUsersTest, RefusalsNameWhatReallyHappened) {
  host::DocumentControl& fresh = Open("WS.WS_S", 200001, 0);
  ASSERT_TRUE(fresh.FileNew());
  EXPECT_FALSE(fresh.Check());
  EXPECT_EQ(LastBox(), "当前单据尚未保存，请先保存后再审核！");

  // Checked from the very window that is editing it: the save says so, and the window's own
  // check and uncheck leave it current.
  host::DocumentControl& mine = Open("WS.WS_S", 200001, 2);
  ASSERT_TRUE(mine.FileEdit());
  ASSERT_TRUE(mine.Check());
  EXPECT_FALSE(mine.FileSave());
  EXPECT_EQ(LastBox(), "当前单据已审核，不能保存！");
  ASSERT_TRUE(mine.UnCheck());
  ASSERT_TRUE(mine.FileEdit());
  EXPECT_TRUE(mine.FileSave()) << LastBox();
}

}  // namespace
}  // namespace ws::framework
