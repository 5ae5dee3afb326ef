// The host's pickers, reached by name through the system object as the documents reach them,
// answering what the documents read back.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "db/sql.h"
#include "forms/input.h"
#include "platform/host_pickers.h"
#include "support/test_host.h"

namespace ws::platform {
namespace {

class HostPickersTest : public test::HostTest {
 protected:
  // A picker by name, initialised, with parameters.
  host::IPickerUI& Open(const std::string& name,
                        std::vector<std::pair<std::string, std::string>> parameters = {}) {
    control_ = host_.System().GetPicker(name);
    EXPECT_NE(control_, nullptr) << name;
    host::IPickerUI* picker = control_->AsPickerUI();
    EXPECT_NE(picker, nullptr) << name;
    control_->Events().AttachSink(&host_.Sink());
    EXPECT_TRUE(picker->Init(host_.System(), 200001, ""));
    auto collection = std::make_shared<host::Parameters>();
    for (auto& [key, value] : parameters) collection->Set(key, value);
    picker->SetParameters(collection);
    return *picker;
  }

  forms::Grid& GridOf() { return control_->Form().Get<forms::Grid>("Vs"); }

  std::vector<std::string> Column(const std::string& caption) {
    forms::Grid& grid = GridOf();
    std::vector<std::string> out;
    int col = grid.FindCol(caption);
    EXPECT_GE(col, 0) << caption;
    for (int r = grid.FixedRows(); r < grid.Rows(); ++r) out.push_back(grid.TextMatrix(r, col));
    return out;
  }

  // "matched|value|text" of a typed text; the picker's own value and text must agree.
  std::string Validate(host::IPickerUI& picker, const std::string& typed) {
    std::string value, text;
    const bool matched = picker.Validate("", "", "", typed, value, text);
    EXPECT_EQ(value + "|" + text, picker.GetValue() + "|" + picker.GetText());
    return (matched ? "1|" : "0|") + value + "|" + text;
  }

  std::shared_ptr<host::IControl> control_;
};

TEST_F(HostPickersTest, CustomersByKindWithKeyAndName) {
  host_.Exec(
      "insert into pdmwldw (往来ID,往来编码,公司名称,属性) values (1,'S01','供应商甲',1),"
      "(2,'K01','客户乙',2),(3,'K02','两用丙',3),(4,'K03','O''Brien汽修',2)");
  auto& picker = Open("pdmkh_j", {{"SX", "2"}});
  ASSERT_TRUE(picker.Refresh());
  EXPECT_EQ(Column("公司名称"), (std::vector<std::string>{"客户乙", "两用丙", "O'Brien汽修"}));

  forms::Input::DoubleClick(GridOf(), 2);
  EXPECT_EQ(picker.GetValue(), "3");
  EXPECT_EQ(picker.GetText(), "两用丙");

  EXPECT_EQ(Validate(picker, "O'Br"), "1|4|O'Brien汽修");
  EXPECT_EQ(Validate(picker, "K0"), "1|2|客户乙");  // first in code order
  EXPECT_EQ(Validate(picker, "S01"), "0|0|");       // a supplier is no customer

  // Without a kind every partner is listed.
  picker.SetParameters(std::make_shared<host::Parameters>());
  ASSERT_TRUE(picker.Refresh());
  EXPECT_EQ(GridOf().DataRows(), 4);
}

TEST_F(HostPickersTest, BatchesOfAPartInADepotAndPeriod) {
  host_.Exec(
      "insert into JXCGoodsZzTz (会计期间,仓库ID,产品ID,货位,产品批次,库存数量,库存重量) values "
      "(201206,1,31,'A','B001',5,0),(201206,1,31,'B','B001',2,0),(201206,1,31,'A','B002',0,0),"
      "(201206,2,31,'A','B003',4,0),(201205,1,31,'A','B000',9,0),(201206,1,32,'A','X1',1,0),"
      "(201206,1,31,'A','',8,0)");
  auto& batches = Open("pdmpc", {{"产品ID", "31"}, {"会计期间", "201206"}, {"仓库ID", "1"}});
  ASSERT_TRUE(batches.Refresh());
  EXPECT_EQ(Column("产品批次"), (std::vector<std::string>{"B001", "B002"}));
  EXPECT_EQ(Column("库存数量"), (std::vector<std::string>{"7", "0"}));  // summed over locations

  // "ST" 1: only what is on hand; no depot: every depot.
  batches.GetParameters()->Set("ST", "1");
  batches.GetParameters()->Set("仓库ID", "0");
  ASSERT_TRUE(batches.Refresh());
  EXPECT_EQ(Column("产品批次"), (std::vector<std::string>{"B001", "B003"}));

  EXPECT_EQ(Validate(batches, "B00"), "1|B001|B001");
  EXPECT_EQ(Validate(batches, "Z"), "0||");
}

TEST_F(HostPickersTest, DocumentNaturesAreAFixedList) {
  auto& natures = Open("pdmdjxz", {{"ProgID", "200002"}});
  ASSERT_TRUE(natures.Refresh());
  EXPECT_EQ(Column("性质"), (std::vector<std::string>{"维修领料", "领料出库", "其他出库"}));
  EXPECT_EQ(Validate(natures, "领料"), "1|领料出库|领料出库");
  EXPECT_EQ(Validate(natures, "x'")[0], '0');
}

TEST_F(HostPickersTest, GenericIdPickerIsConfiguredByItsParameters) {
  host_.Exec(
      "insert into PDMBM (部门ID,部门编码,部门名称,组织类型,是否明细,是否使用) values "
      "(11,'01','总仓',2,1,1),(12,'02','O''Brien仓',2,1,1),(13,'03','停用仓',2,1,0),"
      "(14,'04','维修部',1,1,1)");
  auto& depots =
      Open("pdmty_id_j",
           {{"FieldName", "仓库名称"},
            {"SQL",
             " Select 部门ID,部门编码 As 仓库编码,部门名称 As 仓库名称 From PDMBM WHERE 组织类型=2 "
             "and 是否明细=1 and 是否使用=1"},
            {"Valid", " 部门编码='@' or 部门名称='@'"},
            {"Order", " 部门编码,部门名称"}});
  ASSERT_TRUE(depots.Refresh());
  EXPECT_EQ(Column("仓库名称"), (std::vector<std::string>{"总仓", "O'Brien仓"}));
  EXPECT_EQ(Validate(depots, "01"), "1|11|总仓");
  EXPECT_EQ(Validate(depots, "停用仓")[0], '0');  // narrowed, not replaced
  EXPECT_EQ(Validate(depots, "0")[0], '0');       // exact, not a prefix
}

}  // namespace
}  // namespace ws::platform
