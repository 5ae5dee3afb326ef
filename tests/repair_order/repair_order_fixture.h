// Shared set-up of the repair-order tests: a catalogue with two customers, a known car, two
// repair items, two parts and a repair category; a WS_S driven through forms::Input; and a
// clerk who, when a picker drops down, chooses the first row it lists for the typed text.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "db/sql.h"
#include "db/value.h"
#include "forms/grid_search.h"
#include "forms/input.h"
#include "framework/picker_control.h"
#include "repair_order/ws_s.h"
#include "support/test_host.h"

namespace ws::repair_order {

inline constexpr int64_t kProgram = 200001;

class RepairOrderTest : public test::HostTest {
 protected:
  void SetUp() override {
    host_.Exec(
        "insert into pdmwldw (往来ID,往来编码,公司名称,属性) values (1,'C001','顺达物流',2),"
        "(2,'C002','李四',2)");
    host_.Exec(
        "insert into clzl (车辆ID,车辆编号,车牌号,发动机号,车架号,车型,车主ID) "
        "values (1,'V001','京A12345','E100','J100','桑塔纳',1)");
    host_.Exec(
        "insert into PDMWXXM (AutoID,编码,维修项目,项目属性) values (1,'X01','换机油','保养'),"
        "(2,'X02','喷漆','钣金')");
    host_.Exec(
        "insert into PDMCPML (产品ID,物品编码,物品名称,规格,参考批发价,参考零售价,参考进价) "
        "values (1,'P01','机油滤芯','小号',25,30,20),(2,'P02','刹车片','前轮',100,120,80)");
    host_.Exec("insert into pdmwxfl (维修分类ID,编码,维修分类,说明) values (1,'F01','小修','')");
    // The clerk drops a picker down on the typed text and takes its first row.
    host_.System().SetRunPickerHandler([this](host::IControl& control, const std::string& text) {
      pickedIn_.push_back(control.ClassName() + ":" + text);
      host::PickResult result;
      auto* picker = dynamic_cast<framework::PickerControl*>(&control);
      if (!picker || !picker->Refresh()) return result;
      picker->SetText(text);
      // The row the clerk takes: the first the search finds for the text.
      int row = forms::IncrementalSearch(picker->Grid(), picker->SearchColumns(), text, true);
      if (text.empty() && picker->Grid().DataRows() > 0) row = picker->Grid().FixedRows();
      if (row < 0) return result;
      picker->ChooseRow(row);
      result.chosen = true;
      result.value = picker->GetValue();
      result.text = picker->GetText();
      result.objects = picker->Objects();
      return result;
    });
    order_.Events().AttachSink(&host_.Sink());
  }

  bool Start(int64_t requested = 0) { return order_.Init(host_.System(), kProgram, requested); }

  forms::Field& F(int index) { return order_.Header(index); }
  forms::Grid& Grid(LineKind kind) { return order_.Lines(kind).Grid(); }
  forms::Label& Label(const char* name) { return order_.Form().Get<forms::Label>(name); }

  // Types into a header field and leaves it.
  void Type(int index, const std::string& text) {
    auto typed = forms::Input::Type(F(index), text);
    ASSERT_TRUE(typed) << "field " << index << ": " << typed.reason;
  }
  // Types into a cell, switching to the grid's tab first.
  void Cell(LineKind kind, int row, int col, const std::string& text) {
    ShowTab(kind);
    auto typed = forms::Input::EditCell(Grid(kind), row, col, text);
    ASSERT_TRUE(typed) << "cell " << row << "," << col << ": " << typed.reason;
  }
  void ShowTab(LineKind kind) {
    forms::Input::Click(order_.Form().Get<forms::Widget>(kind == LineKind::Items ? WS_S::kItemTab
                                                                                 : WS_S::kPartTab));
  }
  // A line typed as the clerk does: code, then quantity and price.
  void Line(LineKind kind, int row, const std::string& code, const std::string& quantity,
            const std::string& price) {
    Cell(kind, row, LineGrid::kCode, code);
    Cell(kind, row, LineGrid::kQuantity, quantity);
    Cell(kind, row, LineGrid::kPrice, price);
  }

  // A new order for the known car, a diagnosis fee of 10, one labour line (2 × 50) and one part
  // (1 × 30).
  void TypeNewOrder() {
    ASSERT_TRUE(order_.FileNew());
    Type(WS_S::kPlate, "京A12345");
    Type(WS_S::kDiagnosis, "10");
    Line(LineKind::Items, 1, "X01", "2", "50");
    Line(LineKind::Parts, 1, "P01", "1", "30");
  }

  // A checked or entered order, and a line of it, written straight into the tables.
  void AddOrder(int64_t id, const std::string& number, const std::string& dateIn,
                int64_t ownerId = 1, const std::string& smark = "01") {
    host_.Exec(
        "insert into WSDJ (单据ID,progid,smark,系统,工单号码,车主ID,车辆ID,进厂日期) values (" +
        std::to_string(id) + ",200001,'" + smark + "','填单','" + number + "'," +
        std::to_string(ownerId) + ",1,'" + dateIn + "')");
  }
  void AddLine(LineKind kind, int64_t lineId, int64_t orderId, int64_t key, double price) {
    host_.Exec(
        std::string(kind == LineKind::Items ? "insert into WSDJXM (单据明细ID,单据ID,项目ID"
                                            : "insert into WSDJPJ (单据明细ID,单据ID,产品ID") +
        ",数量,单价,金额) values (" + std::to_string(lineId) + "," + std::to_string(orderId) + "," +
        std::to_string(key) + ",1," + db::DecimalText(price) + "," + db::DecimalText(price) + ")");
  }

  std::string Text(const std::string& sql) { return host_.Scalar(sql).ToText(); }
  int64_t Count(const std::string& sql) { return host_.Scalar(sql).ToLong(); }
  int64_t Rows(const std::string& table) { return Count("select count(*) from " + table); }
  void DeleteRow(LineKind kind, int row) {
    ShowTab(kind);
    ASSERT_TRUE(forms::Input::DeleteRow(Grid(kind), row));
  }
  std::vector<std::string> Boxes() {
    std::vector<std::string> texts;
    for (const auto& box : host_.Dialogs().Boxes()) texts.push_back(box.text);
    return texts;
  }

  WS_S order_;
  std::vector<std::string> pickedIn_;
};

}  // namespace ws::repair_order
