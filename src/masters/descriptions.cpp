#include "masters/descriptions.h"

namespace ws::masters {

namespace {
using forms::FieldKind;
}  // namespace

const LookupDescription& PartnerLookup() {
  static const LookupDescription lookup{.picker = "pdmkh_j",
                                        .table = "pdmwldw",
                                        .keyColumn = "往来ID",
                                        .nameColumn = "公司名称",
                                        .codeColumn = "往来编码",
                                        .invalidText = "输入有误，请重新输入！"};
  return lookup;
}

const MasterListDescription& VehicleList() {
  static const MasterListDescription list{
      .className = "PDM_cl",
      .title = "车辆信息",
      .select =
          " SELECT 车辆编号,车牌号,行驶证号,发动机号,车架号,车型,车名,颜色,公司名称 As 车主,车辆ID"
          "   FROM clzl left join pdmwldw on clzl.车主ID=pdmwldw.往来ID"
          "   order by 车辆编号,车牌号",
      .gridFormat =
          "行号|编号            |车牌号              |行驶证号        |发动机号       "
          "|车架号      |车型       |车名       |颜色     |车主      |AutoID"
          "|车架号提示                              ",
      .idColumn = 10,
      .searchColumns = {1, 2, 4},
      .questionColumn = 2,
      .cardProgram = kVehicleCardProgram,
      .usageQuery = "select top 1 车辆ID from wsdj Where 车辆ID= ",
      .inUseText = "不能删除已启用的车辆信息!",
      .deleteStatement = "delete from clzl where 车辆ID=",
      .deletedText = "成功删除数据,往来ID号=",
      .menuNew = "新建车辆信息",
      .menuEdit = "修改车辆信息",
      .menuDelete = "删除车辆信息",
      .vinColumn = 5};
  return list;
}

const MasterListDescription& ItemList() {
  static const MasterListDescription list{
      .className = "PDM_XM",
      .title = "维修项目",
      .select =
          " SELECT 编码,维修项目,项目属性,参考价格,AutoID FROM PDMWXXM"
          "   order by 编码,维修项目",
      .gridFormat =
          "行号|编码          |维修项目                  |项目属性           "
          "|参考价格         |AutoID",
      .idColumn = 5,
      .searchColumns = {1, 2, 3},
      .questionColumn = 2,
      .cardProgram = kItemCardProgram,
      .usageQuery = "select top 1 项目ID from wsdjxm Where 项目ID= ",
      .inUseText = "不能删除已启用的维修项目!",
      .deleteStatement = "delete from pdmwxxm where autoid=",
      .deletedText = "成功删除数据,往来ID号=",
      .menuNew = "新建维修项目",
      .menuEdit = "修改维修项目",
      .menuDelete = "删除维修项目"};
  return list;
}

const MasterListDescription& CategoryList() {
  static const MasterListDescription list{
      .className = "PDM_WXFL",
      .title = "维修分类",
      .select =
          " SELECT 编码,维修分类,说明,维修分类ID FROM pdmwxfl"
          "   order by 编码,维修分类",
      .gridFormat =
          "行号|编码          |维修分类                  |说明                   "
          "|维修分类ID",
      .idColumn = 4,
      .searchColumns = {1, 2},
      .questionColumn = 2,
      .cardProgram = kCategoryCardProgram,
      .usageQuery = "select top 1 维修分类ID from wsdj Where 维修分类ID= ",
      .inUseText = "不能删除已启用的维修分类!",
      .deleteStatement = "delete from pdmwxfl where 维修分类id=",
      .deletedText = "成功删除数据,维修分类ID号=",
      .menuNew = "新建维修分类",
      .menuEdit = "修改维修分类",
      .menuDelete = "删除维修分类"};
  return list;
}

const MasterCardDescription& VehicleCard() {
  static const MasterCardDescription card{
      .className = "PDM_clAdd",
      .title = "clAdd_S",
      .table = "clzl",
      .keyColumn = "车辆ID",
      .select =
          " SELECT 车辆ID,车辆编号,车牌号,行驶证号,发动机号,车架号,车型,车名,颜色,车主ID,"
          "公司名称 As 车主,clzl.ws_rowver"
          "   FROM clzl left join pdmwldw on clzl.车主ID=pdmwldw.往来ID",
      .fields = {{"车辆编号", "车辆编号"},
                 {"车牌号", "车牌号"},
                 {"发动机号", "发动机号"},
                 {"行驶证号", "行驶证号"},
                 {"车架号", "车架号"},
                 {"车型", "车型"},
                 {"颜色", "颜色"},
                 {"车主", "车主", FieldKind::Lookup, "车主ID", &PartnerLookup()},
                 {"车名", "车名"}},
      .saveColumns = {{"车辆编号", 0},
                      {"车牌号", 1},
                      {"行驶证号", 3},
                      {"发动机号", 2},
                      {"车架号", 4},
                      {"车型", 5},
                      {"车名", 8},
                      {"颜色", 6},
                      {"车主ID", 7, SaveValue::Key}},
      .codeWord = "编号",
      .nameWord = "车牌号",
      .usageQuery = "select top 1 车辆ID from wsdj where 车辆ID= ",
      .inUseText = "不能删除已启用的车辆!",
      .deletedText = "成功删除数据,往来ID号=",
      .findColumns = {{"车辆编号", "车辆编号", host::FindKind::Text},
                      {"车牌号", "车牌号", host::FindKind::Text},
                      {"发动机号", "发动机号", host::FindKind::Text},
                      {"车架号", "车架号", host::FindKind::Text},
                      {"公司名称", "车主", host::FindKind::Text}},
      .vinField = 4};
  return card;
}

const MasterCardDescription& ItemCard() {
  static const MasterCardDescription card{
      .className = "PDM_XMAdd",
      .title = "wxAdd_S",
      .table = "PDMWXXM",
      .keyColumn = "AutoID",
      // An interval of 0 is none, and shows empty as it was typed.
      .select =
          "SELECT 编码,维修项目,项目属性,参考价格,NULLIF(保养月数,0) AS 保养月数,"
          "NULLIF(保养公里,0) AS 保养公里,AutoID,ws_rowver FROM PDMWXXM",
      .fields = {{"编码", "编码"},
                 {"维修项目", "维修项目"},
                 {"项目属性", "项目属性"},
                 {"参考价格", "参考价格", FieldKind::Number},
                 {"保养月数", "保养月数", FieldKind::Number},
                 {"保养公里", "保养公里", FieldKind::Number}},
      .saveColumns = {{"编码", 0},
                      {"维修项目", 1},
                      {"项目属性", 2},
                      {"参考价格", 3, SaveValue::Number},
                      {"保养月数", 4, SaveValue::Interval},
                      {"保养公里", 5, SaveValue::Interval}},
      .codeWord = "编码",
      .nameWord = "维修项目",
      .usageQuery = "select top 1 项目ID from wsdjxm where 项目ID= ",
      .inUseText = "不能删除已启用的维修项目!",
      .deletedText = "成功删除数据,往来ID号=",
      .findColumns = {{"编码", "编码", host::FindKind::Text},
                      {"维修项目", "维修项目", host::FindKind::Text},
                      {"项目属性", "项目属性", host::FindKind::Text},
                      {"参考价格", "参考价格", host::FindKind::Number}}};
  return card;
}

const MasterCardDescription& CategoryCard() {
  static const MasterCardDescription card{
      .className = "PDM_WXFLAdd",
      .title = "wxflAdd_S",
      .table = "PDMWXFL",
      .keyColumn = "维修分类ID",
      .select = "SELECT 编码,维修分类,说明,维修分类ID,ws_rowver FROM PDMWXFL",
      .fields = {{"编码", "编码"}, {"维修分类", "维修分类"}, {"说明", "说明"}},
      .saveColumns = {{"编码", 0}, {"维修分类", 1}, {"说明", 2}},
      .codeWord = "编码",
      .nameWord = "维修分类",
      .usageQuery = "select top 1 维修分类ID from wsdj where 维修分类ID= ",
      .inUseText = "不能删除已启用的维修分类!",
      .deletedText = "成功删除数据,往来ID号=",
      .findColumns = {{"编码", "编码", host::FindKind::Text},
                      {"维修分类", "维修分类", host::FindKind::Text}}};
  return card;
}

}  // namespace ws::masters
