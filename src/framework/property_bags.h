// The module's typed property bags: one read/write property per column of a chosen row, named
// "i" + the column. Pickers hand them out as their Objects, the choosers as their rows. They
// hold no logic: every property starts empty (Null), reads as its type's converter gives it
// (text "" and number 0 for Null) and keeps what was last set.
//
// A property is read with its name and set with its name and a value, as the host's property
// get/let pair. The bags list their properties in column order (PropertyBag::Items).
#pragma once

#include <cstdint>
#include <string>

#include "host/property_bag.h"

namespace ws::framework {

// A vehicle (row of clzl with its owner's name).
class clscl : public host::PropertyBag {
 public:
  clscl()
      : PropertyBag({"i车辆ID", "i车辆编号", "i车牌号", "i发动机号", "i车架号", "i车型", "i车主",
                     "i车主ID"}) {}
  int64_t i车辆ID() const { return Long("i车辆ID"); }
  void i车辆ID(int64_t v) { Set("i车辆ID", v); }
  std::string i车辆编号() const { return Text("i车辆编号"); }
  void i车辆编号(std::string v) { Set("i车辆编号", std::move(v)); }
  std::string i车牌号() const { return Text("i车牌号"); }
  void i车牌号(std::string v) { Set("i车牌号", std::move(v)); }
  std::string i发动机号() const { return Text("i发动机号"); }
  void i发动机号(std::string v) { Set("i发动机号", std::move(v)); }
  std::string i车架号() const { return Text("i车架号"); }
  void i车架号(std::string v) { Set("i车架号", std::move(v)); }
  std::string i车型() const { return Text("i车型"); }
  void i车型(std::string v) { Set("i车型", std::move(v)); }
  std::string i车主() const { return Text("i车主"); }
  void i车主(std::string v) { Set("i车主", std::move(v)); }
  int64_t i车主ID() const { return Long("i车主ID"); }
  void i车主ID(int64_t v) { Set("i车主ID", v); }
};

// A repair item (row of PDMWXXM; the id is its AutoID, the code its 编码).
class clsxm : public host::PropertyBag {
 public:
  clsxm() : PropertyBag({"i项目ID", "i项目编码", "i维修项目", "i项目属性"}) {}
  int64_t i项目ID() const { return Long("i项目ID"); }
  void i项目ID(int64_t v) { Set("i项目ID", v); }
  std::string i项目编码() const { return Text("i项目编码"); }
  void i项目编码(std::string v) { Set("i项目编码", std::move(v)); }
  std::string i维修项目() const { return Text("i维修项目"); }
  void i维修项目(std::string v) { Set("i维修项目", std::move(v)); }
  std::string i项目属性() const { return Text("i项目属性"); }
  void i项目属性(std::string v) { Set("i项目属性", std::move(v)); }
};

// A repair category (row of PDMWXFL).
class clsWxFl : public host::PropertyBag {
 public:
  clsWxFl() : PropertyBag({"i维修分类ID", "i编码", "i维修分类", "i说明"}) {}
  int64_t i维修分类ID() const { return Long("i维修分类ID"); }
  void i维修分类ID(int64_t v) { Set("i维修分类ID", v); }
  std::string i编码() const { return Text("i编码"); }
  void i编码(std::string v) { Set("i编码", std::move(v)); }
  std::string i维修分类() const { return Text("i维修分类"); }
  void i维修分类(std::string v) { Set("i维修分类", std::move(v)); }
  std::string i说明() const { return Text("i说明"); }
  void i说明(std::string v) { Set("i说明", std::move(v)); }
};

// A partner (row of pdmwldw: customer or vehicle owner).
class clshy : public host::PropertyBag {
 public:
  clshy()
      : PropertyBag({"i往来ID", "i往来编码", "i公司名称", "i简称", "i联系人", "i电话", "i地址"}) {}
  int64_t i往来ID() const { return Long("i往来ID"); }
  void i往来ID(int64_t v) { Set("i往来ID", v); }
  std::string i往来编码() const { return Text("i往来编码"); }
  void i往来编码(std::string v) { Set("i往来编码", std::move(v)); }
  std::string i公司名称() const { return Text("i公司名称"); }
  void i公司名称(std::string v) { Set("i公司名称", std::move(v)); }
  std::string i简称() const { return Text("i简称"); }
  void i简称(std::string v) { Set("i简称", std::move(v)); }
  std::string i联系人() const { return Text("i联系人"); }
  void i联系人(std::string v) { Set("i联系人", std::move(v)); }
  std::string i电话() const { return Text("i电话"); }
  void i电话(std::string v) { Set("i电话", std::move(v)); }
  std::string i地址() const { return Text("i地址"); }
  void i地址(std::string v) { Set("i地址", std::move(v)); }
};

// A part (row of PDMCPML) with the unit price a lookup proposes for it.
class clspj : public host::PropertyBag {
 public:
  clspj()
      : PropertyBag(
            {"i产品ID", "i物品编码", "i物品名称", "i规格", "i库存单位", "i缺省货位", "i单价"}) {}
  int64_t i产品ID() const { return Long("i产品ID"); }
  void i产品ID(int64_t v) { Set("i产品ID", v); }
  std::string i物品编码() const { return Text("i物品编码"); }
  void i物品编码(std::string v) { Set("i物品编码", std::move(v)); }
  std::string i物品名称() const { return Text("i物品名称"); }
  void i物品名称(std::string v) { Set("i物品名称", std::move(v)); }
  std::string i规格() const { return Text("i规格"); }
  void i规格(std::string v) { Set("i规格", std::move(v)); }
  std::string i库存单位() const { return Text("i库存单位"); }
  void i库存单位(std::string v) { Set("i库存单位", std::move(v)); }
  std::string i缺省货位() const { return Text("i缺省货位"); }
  void i缺省货位(std::string v) { Set("i缺省货位", std::move(v)); }
  double i单价() const { return Number("i单价"); }
  void i单价(double v) { Set("i单价", v); }
};

// One row of the repair-order chooser: a part line of a checked repair order (line id 0 for
// an order without part lines), or an order chosen for settlement.
class clsSelWS : public host::PropertyBag {
 public:
  clsSelWS()
      : PropertyBag({"i进厂日期", "i工单号码", "i客户名称", "i车牌号码",   "i车型",
                     "i维修分类", "i配件编码", "i配件项目", "i配件规格",   "i需求数量",
                     "i已领数量", "i未领数量", "i单价",     "i说明",       "i客户ID",
                     "i产品ID",   "iprogid",   "i单据ID",   "i单据明细ID", "i单位"}) {}
  // The date as the chooser's grid shows it ("yyyy-mm-dd").
  std::string i进厂日期() const { return Text("i进厂日期"); }
  void i进厂日期(std::string v) { Set("i进厂日期", std::move(v)); }
  std::string i工单号码() const { return Text("i工单号码"); }
  void i工单号码(std::string v) { Set("i工单号码", std::move(v)); }
  std::string i客户名称() const { return Text("i客户名称"); }
  void i客户名称(std::string v) { Set("i客户名称", std::move(v)); }
  std::string i车牌号码() const { return Text("i车牌号码"); }
  void i车牌号码(std::string v) { Set("i车牌号码", std::move(v)); }
  std::string i车型() const { return Text("i车型"); }
  void i车型(std::string v) { Set("i车型", std::move(v)); }
  std::string i维修分类() const { return Text("i维修分类"); }
  void i维修分类(std::string v) { Set("i维修分类", std::move(v)); }
  std::string i配件编码() const { return Text("i配件编码"); }
  void i配件编码(std::string v) { Set("i配件编码", std::move(v)); }
  std::string i配件项目() const { return Text("i配件项目"); }
  void i配件项目(std::string v) { Set("i配件项目", std::move(v)); }
  std::string i配件规格() const { return Text("i配件规格"); }
  void i配件规格(std::string v) { Set("i配件规格", std::move(v)); }
  double i需求数量() const { return Number("i需求数量"); }
  void i需求数量(double v) { Set("i需求数量", v); }
  double i已领数量() const { return Number("i已领数量"); }
  void i已领数量(double v) { Set("i已领数量", v); }
  double i未领数量() const { return Number("i未领数量"); }
  void i未领数量(double v) { Set("i未领数量", v); }
  double i单价() const { return Number("i单价"); }
  void i单价(double v) { Set("i单价", v); }
  std::string i说明() const { return Text("i说明"); }
  void i说明(std::string v) { Set("i说明", std::move(v)); }
  int64_t i客户ID() const { return Long("i客户ID"); }
  void i客户ID(int64_t v) { Set("i客户ID", v); }
  int64_t i产品ID() const { return Long("i产品ID"); }
  void i产品ID(int64_t v) { Set("i产品ID", v); }
  int64_t iprogid() const { return Long("iprogid"); }
  void iprogid(int64_t v) { Set("iprogid", v); }
  int64_t i单据ID() const { return Long("i单据ID"); }
  void i单据ID(int64_t v) { Set("i单据ID", v); }
  int64_t i单据明细ID() const { return Long("i单据明细ID"); }
  void i单据明细ID(int64_t v) { Set("i单据明细ID", v); }
  std::string i单位() const { return Text("i单位"); }
  void i单位(std::string v) { Set("i单位", std::move(v)); }
};

}  // namespace ws::framework
