#include "masters/descriptions.h"

namespace ws::masters {

namespace {
using forms::FieldKind;

// + id: a positive count means the row is in use. A customer owns vehicles and repair orders;
// a part is on order lines, requisition lines or the stock ledger; an employee handled
// requisitions or settlements.
constexpr const char* kCustomerUsage =
    "select count(*) from pdmwldw w where (exists (select 1 from wsdj where 车主ID=w.往来ID)"
    " or exists (select 1 from clzl where 车主ID=w.往来ID)) and w.往来ID=";
constexpr const char* kPartUsage =
    "select count(*) from PDMCPML p where (exists (select 1 from wsdjpj where 产品ID=p.产品ID)"
    " or exists (select 1 from JXCDJMX where 产品ID=p.产品ID)"
    " or exists (select 1 from JXCGoodsZzTz where 产品ID=p.产品ID)) and p.产品ID=";
constexpr const char* kEmployeeUsage =
    "select count(*) from PDMGY g where (exists (select 1 from JXCDJ where 业务员ID=g.雇员ID)"
    " or exists (select 1 from ARPReceive where 业务员ID=g.雇员ID)) and g.雇员ID=";
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

namespace ws::masters {

namespace {

// A part's stock on hand: its balance in the latest period of the stock ledger, over every
// depot, less what the stock journal has issued since (a checked requisition writes its lines
// there and moves no balance).
constexpr const char* kStockOnHand =
    "(COALESCE((SELECT SUM(z.库存数量) FROM JXCGoodsZzTz z WHERE z.产品ID=PDMCPML.产品ID"
    " AND z.会计期间=(SELECT MAX(y.会计期间) FROM JXCGoodsZzTz y"
    " WHERE y.产品ID=PDMCPML.产品ID)),0)"
    "-COALESCE((SELECT SUM(g.数量) FROM JxcGoodsList g WHERE g.产品ID=PDMCPML.产品ID"
    " AND g.会计期间>=COALESCE((SELECT MAX(y.会计期间) FROM JXCGoodsZzTz y"
    " WHERE y.产品ID=PDMCPML.产品ID),0)),0))";

// Departments are the PDMBM rows that are no depot (组织类型 2).
const LookupDescription& DepartmentLookup() {
  static const LookupDescription lookup{
      .picker = "pdmbm_j",
      .table = "(SELECT 部门ID,部门编码,部门名称 FROM PDMBM WHERE COALESCE(组织类型,0)<>2) bm",
      .keyColumn = "部门ID",
      .nameColumn = "部门名称",
      .codeColumn = "部门编码",
      .invalidText = "部门输入有误，请重新输入！"};
  return lookup;
}

// The account an employee logs in as: an existing account of the shop, stored by its name.
const LookupDescription& AccountLookup() {
  static const LookupDescription lookup{.picker = "ws_account_j",
                                        .table = "ws_account",
                                        .keyColumn = "",
                                        .nameColumn = "user_name",
                                        .codeColumn = "user_name",
                                        .invalidText = "没有这个账户，请从列表中选择！"};
  return lookup;
}

}  // namespace

const MasterListDescription& CustomerList() {
  static const MasterListDescription list{
      .className = "PDM_KH",
      .title = "客户资料",
      .select =
          " SELECT 往来编码,公司名称,联系人,电话,地址,税号,NULLIF(信用天数,0) AS 信用天数,往来ID"
          " FROM pdmwldw"
          "   order by 往来编码,公司名称",
      .gridFormat =
          "行号|客户编码      |客户名称                  |联系人      |电话            "
          "|地址                          |税号                  |信用天数  |往来ID",
      .idColumn = 8,
      .searchColumns = {1, 2, 4},
      .questionColumn = 2,
      .cardProgram = kCustomerCardProgram,
      .usageQuery = kCustomerUsage,
      .inUseText = "不能删除已有车辆或维修单的客户!",
      .deleteStatement = "delete from pdmwldw where 往来ID=",
      .deletedText = "成功删除数据,往来ID号=",
      .menuNew = "新建客户",
      .menuEdit = "修改客户",
      .menuDelete = "删除客户",
      .mirrorDeleteStatement = "delete from PDMWLDWJS where 往来ID=",
      .numberColumns = {7}};
  return list;
}

const MasterListDescription& PartList() {
  static const MasterListDescription list{
      .className = "PDM_PJ",
      .title = "配件资料",
      .select = std::string(" SELECT 物品编码,物品名称,规格,库存单位,参考批发价,参考零售价,") +
                kStockOnHand + " AS 库存数量,产品ID FROM PDMCPML   order by 物品编码,物品名称",
      .gridFormat =
          "行号|配件编码      |配件名称                  |规格              |单位  "
          "|参考批发价  |参考零售价  |库存数量  |产品ID",
      .idColumn = 8,
      .searchColumns = {1, 2, 3},
      .questionColumn = 2,
      .cardProgram = kPartCardProgram,
      .usageQuery = kPartUsage,
      .inUseText = "不能删除已用于维修单、领料单或库存的配件!",
      .deleteStatement = "delete from PDMCPML where 产品ID=",
      .deletedText = "成功删除数据,产品ID号=",
      .menuNew = "新建配件",
      .menuEdit = "修改配件",
      .menuDelete = "删除配件",
      .numberColumns = {5, 6, 7}};
  return list;
}

const MasterListDescription& EmployeeList() {
  static const MasterListDescription list{
      .className = "PDM_GY",
      .title = "员工资料",
      .select =
          " SELECT 雇员编码,姓名,部门名称 AS 部门,电话,登录账号,"
          "CASE WHEN 是否技师=1 THEN '是' ELSE '' END AS 技师,雇员ID"
          "   FROM PDMGY left join PDMBM on PDMGY.部门ID=PDMBM.部门ID"
          "   order by 雇员编码,姓名",
      .gridFormat =
          "行号|员工编码      |姓名          |部门            |电话            "
          "|登录账号      |技师  |雇员ID",
      .idColumn = 7,
      .searchColumns = {1, 2, 3},
      .questionColumn = 2,
      .cardProgram = kEmployeeCardProgram,
      .usageQuery = kEmployeeUsage,
      .inUseText = "不能删除已经手单据的员工!",
      .deleteStatement = "delete from PDMGY where 雇员ID=",
      .deletedText = "成功删除数据,雇员ID号=",
      .menuNew = "新建员工",
      .menuEdit = "修改员工",
      .menuDelete = "删除员工"};
  return list;
}

namespace {
// What the three imported lists say on their count line and answer to new, edit and delete.
constexpr const char* kImportedHint = "只读，用 ws import 导入";
}  // namespace

const MasterListDescription& OpeningStockList() {
  static const MasterListDescription list{
      .className = "PDM_QCKC",
      .title = "期初库存",
      .select =
          " SELECT z.会计期间,b.部门名称 AS 仓库,p.物品编码,p.物品名称,p.规格,z.库存数量,"
          "z.库存金额,z.产品ID"
          "   FROM JXCGoodsZzTz z left join PDMBM b on z.仓库ID=b.部门ID"
          "   left join PDMCPML p on z.产品ID=p.产品ID"
          "   order by z.会计期间,b.部门编码,p.物品编码,z.货位,z.产品批次",
      .gridFormat =
          "行号|会计期间  |仓库            |配件编码      |配件名称                  "
          "|规格              |库存数量  |库存金额    |产品ID",
      .idColumn = 8,
      .searchColumns = {2, 3, 4},
      .questionColumn = 4,
      .numberColumns = {6},
      .amountColumns = {7},
      .readOnlyHint = kImportedHint};
  return list;
}

const MasterListDescription& SettlementMethodList() {
  static const MasterListDescription list{
      .className = "PDM_JSFS",
      .title = "结算方式",
      .select =
          " SELECT 编码,名称,ID FROM PDMSJZD WHERE 类型='结算方式'"
          "   order by 编码,名称",
      .gridFormat = "行号|编码          |名称                  |ID",
      .idColumn = 3,
      .searchColumns = {1, 2},
      .questionColumn = 2,
      .readOnlyHint = kImportedHint};
  return list;
}

const MasterListDescription& LedgerAccountList() {
  static const MasterListDescription list{
      .className = "PDM_KJKM",
      .title = "会计科目",
      .select =
          " SELECT 科目编码,科目名称,"
          "CASE WHEN 是否现金科目=1 THEN '是' ELSE '否' END AS 是否现金科目,科目ID"
          "   FROM PDMKJKM   order by 科目编码,科目名称",
      .gridFormat = "行号|科目编码      |科目名称                  |是否现金科目|科目ID",
      .idColumn = 4,
      .searchColumns = {1, 2},
      .questionColumn = 2,
      .readOnlyHint = kImportedHint};
  return list;
}

const MasterCardDescription& CustomerCard() {
  static const MasterCardDescription card{
      .className = "PDM_KHAdd",
      .title = "khAdd_S",
      .table = "pdmwldw",
      .keyColumn = "往来ID",
      .select =
          "SELECT 往来编码,公司名称,联系人,电话,地址,税号,NULLIF(信用天数,0) AS 信用天数,往来ID"
          " FROM pdmwldw",
      .fields = {{"往来编码", "客户编码"},
                 {"公司名称", "客户名称"},
                 {"联系人", "联系人"},
                 {"电话", "电话"},
                 {"地址", "地址"},
                 {"税号", "税号"},
                 {"信用天数", "信用天数", FieldKind::Number}},
      .saveColumns = {{"往来编码", 0},
                      {"公司名称", 1},
                      {"联系人", 2},
                      {"电话", 3},
                      {"地址", 4},
                      {"税号", 5},
                      {"信用天数", 6, SaveValue::Number}},
      .codeWord = "客户编码",
      .nameWord = "客户名称",
      .usageQuery = kCustomerUsage,
      .inUseText = "不能删除已有车辆或维修单的客户!",
      .deletedText = "成功删除数据,往来ID号=",
      .findColumns = {{"往来编码", "客户编码", host::FindKind::Text},
                      {"公司名称", "客户名称", host::FindKind::Text},
                      {"电话", "电话", host::FindKind::Text}},
      .newRowNumbers = {{"属性", 2}},
      .mirrorTable = "PDMWLDWJS"};
  return card;
}

const MasterCardDescription& PartCard() {
  static const MasterCardDescription card{
      .className = "PDM_PJAdd",
      .title = "pjAdd_S",
      .table = "PDMCPML",
      .keyColumn = "产品ID",
      .select = std::string("SELECT 物品编码,物品名称,规格,库存单位,参考批发价,参考零售价,") +
                kStockOnHand + " AS 库存数量,产品ID FROM PDMCPML",
      .fields = {{"物品编码", "配件编码"},
                 {"物品名称", "配件名称"},
                 {"规格", "规格"},
                 {"库存单位", "单位"},
                 {"参考批发价", "参考批发价", FieldKind::Number},
                 {"参考零售价", "参考零售价", FieldKind::Number},
                 {"库存数量", "库存数量", FieldKind::Number, "", nullptr, true}},
      .saveColumns = {{"物品编码", 0},
                      {"物品名称", 1},
                      {"规格", 2},
                      {"库存单位", 3},
                      {"参考批发价", 4, SaveValue::Number},
                      {"参考零售价", 5, SaveValue::Number}},
      .codeWord = "配件编码",
      .nameWord = "配件名称",
      .usageQuery = kPartUsage,
      .inUseText = "不能删除已用于维修单、领料单或库存的配件!",
      .deletedText = "成功删除数据,产品ID号=",
      .findColumns = {{"物品编码", "配件编码", host::FindKind::Text},
                      {"物品名称", "配件名称", host::FindKind::Text},
                      {"规格", "规格", host::FindKind::Text}},
      .nameQualifierField = 2};
  return card;
}

const MasterCardDescription& EmployeeCard() {
  static const MasterCardDescription card{
      .className = "PDM_GYAdd",
      .title = "gyAdd_S",
      .table = "PDMGY",
      .keyColumn = "雇员ID",
      .select =
          "SELECT 雇员编码,姓名,电话,部门名称 AS 部门,PDMGY.部门ID,登录账号,"
          "CASE WHEN 是否技师=1 THEN '是' ELSE '否' END AS 技师,雇员ID"
          " FROM PDMGY left join PDMBM on PDMGY.部门ID=PDMBM.部门ID",
      .fields = {{"雇员编码", "员工编码"},
                 {"姓名", "姓名"},
                 {"电话", "电话"},
                 {"部门", "部门", FieldKind::Lookup, "部门ID", &DepartmentLookup()},
                 {"登录账号", "登录账号", FieldKind::Lookup, "", &AccountLookup()},
                 {"技师", "是否技师"}},
      .saveColumns = {{"雇员编码", 0},
                      {"姓名", 1},
                      {"电话", 2},
                      {"部门ID", 3, SaveValue::Key},
                      {"登录账号", 4},
                      {"是否技师", 5, SaveValue::Flag}},
      .codeWord = "员工编码",
      .nameWord = "姓名",
      .usageQuery = kEmployeeUsage,
      .inUseText = "不能删除已经手单据的员工!",
      .deletedText = "成功删除数据,雇员ID号=",
      .findColumns = {{"雇员编码", "员工编码", host::FindKind::Text},
                      {"姓名", "姓名", host::FindKind::Text}}};
  return card;
}

const std::vector<const MasterListDescription*>& AllLists() {
  static const std::vector<const MasterListDescription*> lists = {
      &VehicleList(),      &ItemList(),     &CategoryList(),     &CustomerList(),
      &PartList(),         &EmployeeList(), &OpeningStockList(), &SettlementMethodList(),
      &LedgerAccountList()};
  return lists;
}

const std::vector<const MasterCardDescription*>& AllCards() {
  static const std::vector<const MasterCardDescription*> cards = {
      &VehicleCard(), &ItemCard(), &CategoryCard(), &CustomerCard(), &PartCard(), &EmployeeCard()};
  return cards;
}

}  // namespace ws::masters
