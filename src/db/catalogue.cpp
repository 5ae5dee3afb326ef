#include "db/catalogue.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <random>

#include "db/audit_trail.h"
#include "db/last_service.h"
#include "db/price_summary.h"
#include "db/runner.h"
#include "db/schema.h"
#include "db/sql.h"
#include "db/unsettled.h"
#include "db/vehicle_span.h"
#include "forms/text.h"

namespace ws::db {

namespace {

constexpr auto kId = ColumnKind::Id;
constexpr auto kNum = ColumnKind::Number;
constexpr auto kMoney = ColumnKind::Money;
constexpr auto kText = ColumnKind::Text;
constexpr auto kDate = ColumnKind::Date;
constexpr auto kMark = ColumnKind::Mark;

constexpr auto SameName = &forms::EqualsIgnoringCase;

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

std::string JoinNames(const std::vector<std::string>& names) {
  std::string out;
  for (const auto& n : names) {
    if (!out.empty()) out += ", ";
    out += n;
  }
  return out;
}

// The audit columns every document header carries.
void AddAudit(std::vector<ColumnDef>& columns) {
  columns.insert(columns.end(),
                 {{"制单人", kText}, {"制单日期", kDate}, {"审核人", kText}, {"审核日期", kDate}});
}

// The labour-item and part line tables of repair orders and settlements share one shape.
TableDef LineTable(std::string name, std::string_view keyColumn) {
  std::string lower = Lower(name);
  std::string key(keyColumn);
  return {name,
          TableRole::Module,
          {{"单据明细ID", kId},
           {"单据ID", kId},
           {key, kId},
           {"数量", kNum},
           {"单价", kMoney},
           {"金额", kMoney},
           {"说明", kText}},
          {"单据明细ID"},
          {{"ix_" + lower + "_doc", {"单据ID"}},
           {"ix_" + lower + "_" + (key == "项目ID" ? "item" : "part"), {key}}}};
}

// SQLite's index of a line table holds each line's row id after the indexed column, and the row
// id is the line's key: what reads a column's lines in their order needs no more. The server's
// index holds no such thing, so there the index names the line's key as well.
void KeyedOnTheServer(TableDef& table, std::string indexName, const std::string& suffix,
                      const std::string& key, int since) {
  auto index = std::find_if(table.indexes.begin(), table.indexes.end(),
                            [&](const IndexDef& i) { return i.name == indexName; });
  index->onlyOn = Engine::Sqlite;
  const std::string column = index->columns.front();
  table.indexes.emplace_back(indexName + suffix, std::vector<std::string>{column, key}, false, "",
                             since, Engine::Postgres);
  table.retiredIndexes.push_back({indexName, since, Engine::Postgres});
}

void KeyedByLineOnTheServer(TableDef& lines, std::string indexName, int since) {
  KeyedOnTheServer(lines, std::move(indexName), "_line", "单据明细ID", since);
}

// The latest price of an item or part walks its lines newest first: without the line's key the
// server walked every line of the shop backwards by the primary key instead, for half a second
// when a fleet owner with two thousand orders had not bought the part lately.
void LinesOfAKeyInOrderOnTheServer(TableDef& lines, int since) {
  KeyedByLineOnTheServer(lines, lines.indexes.back().name, since);
}

// Business partners as the sales side and the receivables side see them: the same shape.
TableDef PartnerTable(std::string name) {
  std::string lower = Lower(name);
  return {name,
          TableRole::HostRead,
          {{"往来ID", kId},
           {"往来编码", kText},
           {"公司名称", kText},
           {"简称", kText},
           {"属性", kNum},  // partner kind the host pickers filter by ("SX")
           {"联系人", kText},
           {"电话", kText},
           {"地址", kText}},
          {"往来ID"},
          {{"ix_" + lower + "_code", {"往来编码"}},
           {"ix_" + lower + "_name", {"公司名称"}},
           CaselessIndex("ix_" + lower + "_code_nocase", "往来编码", 2),
           CaselessIndex("ix_" + lower + "_name_nocase", "公司名称", 2)}};
}

// Documents and cards that two users may edit at once carry a row version from `since` on.
void Versioned(TableDef& table, int since) {
  table.columns.push_back({std::string(kRowVersionColumn), kId, since});
  table.versionedSince = since;
}

std::vector<TableDef> BuildTables() {
  std::vector<TableDef> t;

  // --- The module's own documents and masters.
  {
    std::vector<ColumnDef> c = {
        {"单据ID", kId},      {"progid", kId},      {"smark", kMark},     {"系统", kText},
        {"工单号码", kText},  {"车主ID", kId},      {"车辆ID", kId},      {"主管部门", kText},
        {"车厂", kText},      {"进厂日期", kDate},  {"出厂日期", kDate},  {"送修人", kText},
        {"司机电话", kText},  {"公里数", kNum},     {"维修分类", kText},  {"维修分类ID", kId},
        {"接待人", kText},    {"发票号码", kText},  {"维修费用", kMoney}, {"配件费用", kMoney},
        {"诊断费", kMoney},   {"检测费", kMoney},   {"应收合计", kMoney}, {"总金额", kMoney},
        {"现收金额", kMoney}, {"补收金额", kMoney}, {"扣零金额", kMoney}, {"扣减金额", kMoney},
        {"余额", kMoney},     {"备注", kText}};
    AddAudit(c);
    // The navigator walks a program's orders by 单据ID inside a date window: an index that
    // leads with (progid, 单据ID) serves that walk without sorting. Any index that leads with
    // the date tempts SQLite to range-scan the window and sort it, so the lists' day index
    // holds only rows of a condition the lists write and the walks never do.
    t.push_back(
        {"WSDJ",
         TableRole::Module,
         c,
         {"单据ID"},
         {{"ix_wsdj_keyset", {"progid", "单据ID", "进厂日期"}},
          {"ix_wsdj_number", {"工单号码"}},
          // A work-order number is its program's once: should two counters ever
          // save the same number at once, the second insert fails.
          {"ix_wsdj_unique_number", {"progid", "工单号码"}, true, "工单号码<>''"},
          // A vehicle's visits by day with their mileage, read from the index
          // alone: its history and its average distance a day.
          {"ix_wsdj_visits", {"车辆ID", "进厂日期", "公里数"}, false, "", 7},
          // The lists of a month among years of orders read their keys by the day:
          // through the key index they passed every order of the shop.
          {"ix_wsdj_day", {"进厂日期", "progid", "单据ID"}, false, kDayIndexTerm, 10},
          {"ix_wsdj_owner", {"车主ID"}},
          {"ix_wsdj_category", {"维修分类ID"}},
          // Receivables by age sum what each customer owes by arrival day: the
          // orders still owed on, a few of all, with every column the sums read.
          {"ix_wsdj_owed",
           {"车主ID", "进厂日期", "余额", "smark"},
           false,
           "smark='02' AND 余额>0",
           7},
          // The start page's lists in their order, each walked from its end to the
          // rows it shows: the orders not checked yet (newest first) and those still
          // owed on (oldest first), a few of all.
          {"ix_wsdj_open_day", {"进厂日期", "工单号码"}, false, "smark<>'02'", 17},
          {"ix_wsdj_owed_day", {"进厂日期", "工单号码"}, false, "smark='02' AND 余额>0", 17},
          // Find: a number typed from its start.
          TypedStartIndex("ix_wsdj_number_start", "工单号码", 17),
          // The repair-order report in its order: without it every row of the report (a
          // million over ten years) went through a sort spilled to temporary files, and the
          // orders were read in the order of the vehicles' index, a page of the table each.
          {"ix_wsdj_report_day", {"进厂日期", "工单号码"}, false, kReportDayIndexTerm, 19}}});
    t.back().trackedSince = 2;
    t.back().changesOnlySince = 9;
    t.back().retiredIndexes = {{"ix_wsdj_vehicle", 7}, {"ix_wsdj_balance", 7}};
    Versioned(t.back(), 3);
  }
  {
    TableDef pj = LineTable("WSDJPJ", "产品ID");
    pj.columns.push_back({"已领用数", kNum});
    t.push_back(LineTable("WSDJXM", "项目ID"));
    LinesOfAKeyInOrderOnTheServer(t.back(), 14);
    t.push_back(pj);
    LinesOfAKeyInOrderOnTheServer(t.back(), 14);
    t.push_back(PriceSummaryTable(5));
    t.back().retiredTriggers = {{"ws_price_wsdjxm", "wsdjxm", 13},
                                {"ws_price_wsdjpj", "wsdjpj", 13},
                                {"ws_price_wsdj", "wsdj", 15}};
    t.push_back(LastServiceTable(11));
    // The triggers that take an order out of the summary wait for the vehicle's turn from 16 on:
    // made anew under new names, the old ones dropped.
    t.back().retiredTriggers = {{"ws_last_wsdjxm", "wsdjxm", 13},
                                {"ws_last_wsdjxm_chg", "wsdjxm", 16},
                                {"ws_last_wsdj", "wsdj", 16},
                                {"ws_last_wsdj_upd", "wsdj", 16}};
    t.push_back(VehicleSpanTable(19));
    t.push_back(AuditTable(8));
  }
  t.push_back({"clzl",
               TableRole::Module,
               {{"车辆ID", kId},
                {"车辆编号", kText},
                {"车牌号", kText},
                {"行驶证号", kText},
                {"发动机号", kText},
                {"车架号", kText},
                {"车型", kText},
                {"车名", kText},
                {"颜色", kText},
                {"车主ID", kId}},
               {"车辆ID"},
               {{"ix_clzl_plate", {"车牌号"}, true},
                {"ix_clzl_number", {"车辆编号"}},
                {"ix_clzl_owner", {"车主ID"}},
                CaselessIndex("ix_clzl_plate_nocase", "车牌号", 2),
                CaselessIndex("ix_clzl_number_nocase", "车辆编号", 2)}});
  Versioned(t.back(), 3);
  // Lists of documents are filtered on the plate and the owner's name they look up: the
  // navigator keeps their per-block counts only while these tables stay as they were.
  t.back().trackedSince = 4;
  t.back().changesOnlySince = 9;
  t.push_back({"PDMWXXM",
               TableRole::Module,
               {{"AutoID", kId},
                {"编码", kText},
                {"维修项目", kText},
                {"项目属性", kText},
                {"参考价格", kMoney},
                // Service intervals of the reminders; 0 is none.
                {"保养月数", kNum, 6},
                {"保养公里", kNum, 6},
                // The standard hours a job of this item is billed at: the workshop's yardstick
                // for the hours its technicians clock.
                {"工时", kNum, 17}},
               {"AutoID"},
               {{"ix_pdmwxxm_code", {"编码"}, true}, {"ix_pdmwxxm_name", {"维修项目"}, true}}});
  Versioned(t.back(), 3);
  t.push_back({"pdmwxfl",
               TableRole::Module,
               {{"维修分类ID", kId}, {"编码", kText}, {"维修分类", kText}, {"说明", kText}},
               {"维修分类ID"},
               {{"ix_pdmwxfl_code", {"编码"}, true}, {"ix_pdmwxfl_name", {"维修分类"}, true}}});
  Versioned(t.back(), 3);
  {
    std::vector<ColumnDef> c = {
        {"单据ID", kId},      {"progID", kId},     {"smark", kMark},  {"status", kText},
        {"单据编号", kText},  {"往来ID", kId},     {"业务员ID", kId}, {"结算方式ID", kId},
        {"科目ID", kId},      {"单据日期", kDate}, {"会计期间", kId}, {"总金额", kMoney},
        {"扣零金额", kMoney}, {"摘要", kText},     {"备注", kText},   {"前置单据ID", kId}};
    AddAudit(c);
    t.push_back(
        {"ARPReceive",
         TableRole::Module,
         c,
         {"单据ID"},
         {{"ix_arpreceive_keyset", {"progID", "单据ID", "单据日期"}},
          // The settlement list's window is a range of periods: its walks and counts
          // are answered from this index alone.
          {"ix_arpreceive_period", {"progID", "单据ID", "会计期间"}, false, "", 2},
          {"ix_arpreceive_number", {"单据编号"}},
          {"ix_arpreceive_source", {"前置单据ID"}},
          {"ix_arpreceive_partner", {"往来ID"}},
          // Receivables by age add back what receipts after the chosen day wrote off.
          {"ix_arpreceive_date", {"progID", "单据日期"}, false, "", 6},
          // First and last of the list's window of periods before it is counted: a
          // walk along the key index passed every settlement before the window.
          {"ix_arpreceive_day", {"会计期间", "progID", "单据ID"}, false, kDayIndexTerm, 12}}});
    t.back().trackedSince = 2;
    t.back().changesOnlySince = 9;
    Versioned(t.back(), 3);
    // After both tables its rows come from.
    t.push_back(UnsettledTable(17));
  }
  t.push_back({"ARPReceiveMx",
               TableRole::Module,
               {{"单据明细ID", kId},
                {"单据ID", kId},
                {"序号", kText},
                {"源单ID", kId},
                {"结算金额", kMoney},
                {"本币结算金额", kMoney},
                {"折扣金额", kMoney},
                {"本币折扣金额", kMoney},
                {"会计期间", kId}},
               {"单据明细ID"},
               {{"ix_arpreceivemx_doc", {"单据ID"}}, {"ix_arpreceivemx_source", {"源单ID"}}}});
  t.push_back(LineTable("ARPReceive_XM", "项目ID"));
  t.push_back(LineTable("ARPReceive_PJ", "产品ID"));
  t.push_back({"ARPReceive_FY",
               TableRole::Module,
               {{"单据ID", kId},
                {"维修费用", kMoney},
                {"配件费用", kMoney},
                {"诊断费", kMoney},
                {"检测费", kMoney},
                {"管理费", kMoney}},
               {"单据ID"},
               {}});

  // --- The workshop floor: who works on which labour line, how long, and what they found.
  // Times are local "yyyy-mm-dd hh:mm:ss" text on both engines, so they sort as they read.
  // The state of an order's labour line (WSDJXM) on the floor; a line without a row is still
  // 待派工. 原因 is why it was paused.
  t.push_back({"ws_job",
               TableRole::Module,
               {{"单据明细ID", kId},
                {"单据ID", kId},
                {"状态", kText},
                {"原因", kText},
                {"检验人", kText},
                {"更新时间", kText}},
               {"单据明细ID"},
               {{"ix_ws_job_doc", {"单据ID"}},
                {"ix_ws_job_state", {"状态", "单据ID"}},
                // The technicians' efficiency reads the lines finished in a period.
                {"ix_ws_job_changed", {"状态", "更新时间"}, false, "", 18}},
               17});
  // The technicians a line is dispatched to, with the hours planned for each.
  t.push_back({"ws_job_tech",
               TableRole::Module,
               {{"派工ID", kId},
                {"单据明细ID", kId},
                {"单据ID", kId},
                {"雇员ID", kId},
                {"计划工时", kNum},
                {"派工人", kText},
                {"派工时间", kText}},
               {"派工ID"},
               {{"ix_ws_job_tech_line", {"单据明细ID", "雇员ID"}, true},
                {"ix_ws_job_tech_emp", {"雇员ID", "单据明细ID"}}},
               17});
  // Clock records: 结束时间 is '' while the job runs. The unique partial index is the rule that
  // a technician runs one job at a time: two tablets clocking him on at once cannot both win.
  t.push_back({"ws_clock",
               TableRole::Module,
               {{"记录ID", kId},
                {"雇员ID", kId},
                {"单据明细ID", kId},
                {"单据ID", kId},
                {"开始时间", kText},
                {"结束时间", kText},
                {"工时", kNum},
                {"原因", kText}},
               {"记录ID"},
               {{"ix_ws_clock_running", {"雇员ID"}, true, "结束时间=''"},
                {"ix_ws_clock_emp", {"雇员ID", "开始时间"}},
                {"ix_ws_clock_line", {"单据明细ID"}},
                // ... and the hours clocked in it.
                {"ix_ws_clock_end", {"结束时间"}, false, "", 18}},
               17});
  // What a technician earns on the labour of a repair category: 方式 比例 takes 比率 percent of
  // a line's labour amount, 工时 pays 比率 per standard hour. Kept by the managers; a category
  // without a row earns nothing.
  t.push_back({"ws_commission_rule",
               TableRole::Module,
               {{"维修分类ID", kId},
                {"方式", kText},
                {"比率", kMoney},
                {"修改人", kText},
                {"修改时间", kText}},
               {"维修分类ID"},
               {},
               18});
  // The shop's examination checklist.
  t.push_back({"ws_check_item",
               TableRole::Module,
               {{"项目ID", kId}, {"序号", kNum}, {"名称", kText}, {"分组", kText}, {"停用", kNum}},
               {"项目ID"},
               {{"ix_ws_check_item_name", {"名称"}, true}},
               17});
  // An order's examination: one finding per checklist item (OK, 注意 or 需维修 with a note).
  t.push_back({"ws_finding",
               TableRole::Module,
               {{"检验ID", kId},
                {"单据ID", kId},
                {"项目ID", kId},
                {"结果", kText},
                {"说明", kText},
                {"检验人", kText},
                {"检验时间", kText}},
               {"检验ID"},
               {{"ix_ws_finding_item", {"单据ID", "项目ID"}, true}},
               17});
  // Photos of a finding, stored under 文件名, a name the program made (never the uploader's).
  t.push_back({"ws_finding_photo",
               TableRole::Module,
               {{"照片ID", kId},
                {"检验ID", kId},
                {"文件名", kText},
                {"类型", kText},
                {"字节数", kNum},
                {"上传人", kText},
                {"上传时间", kText}},
               {"照片ID"},
               {{"ix_ws_finding_photo_finding", {"检验ID"}},
                {"ix_ws_finding_photo_file", {"文件名"}, true}},
               17});
  // Suggested lines (建议项目): a finding marked 需维修 proposes work the customer has not yet
  // agreed to; 同意人 and 同意时间 record who agreed and when, 登记人 the clerk who wrote it.
  // An agreed suggestion the clerk put on the order names the labour line it became (单据明细ID
  // of WSDJXM, 0 for one agreed before the desk took answers).
  t.push_back(
      {"ws_suggestion",
       TableRole::Module,
       {{"建议ID", kId},
        {"单据ID", kId},
        {"检验ID", kId},
        {"说明", kText},
        {"状态", kText},
        {"同意人", kText},
        {"同意时间", kText},
        {"登记人", kText},
        {"单据明细ID", kId, 18}},
       {"建议ID"},
       {{"ix_ws_suggestion_finding", {"检验ID"}, true}, {"ix_ws_suggestion_doc", {"单据ID"}}},
       17});

  // --- Host tables the module writes.
  t.push_back(
      {"JXCDJ",
       TableRole::HostWritten,
       {{"单据ID", kId},     {"progID", kId},     {"smark", kMark},      {"系统", kText},
        {"单据编号", kText}, {"性质", kText},     {"前置单据", kId},     {"前置单据ID", kId},
        {"往来ID", kId},     {"仓库ID", kId},     {"部门ID", kId},       {"业务员ID", kId},
        {"币种ID", kId},     {"项目ID", kId},     {"本方经手人", kText}, {"操作日期", kDate},
        {"仓库填单", kText}, {"填单日期", kDate}, {"仓库审核", kText},   {"审核日期", kDate},
        {"会计期间", kId},   {"总金额", kMoney},  {"备注", kText}},
       {"单据ID"},
       {{"ix_jxcdj_keyset", {"progID", "单据ID", "会计期间"}},
        {"ix_jxcdj_source", {"前置单据ID"}},
        {"ix_jxcdj_number", {"单据编号"}},
        // The period-close checklist reads a period's requisitions by their date.
        {"ix_jxcdj_date", {"progID", "操作日期"}, false, "", 5},
        // First and last of the list's window of periods before it is counted.
        {"ix_jxcdj_day", {"会计期间", "progID", "单据ID"}, false, kDayIndexTerm, 7}}});
  t.back().trackedSince = 2;
  t.back().changesOnlySince = 6;
  Versioned(t.back(), 3);
  t.push_back(
      {"JXCDJMX",
       TableRole::HostWritten,
       {{"单据明细ID", kId}, {"单据ID", kId},      {"前置单据", kId},    {"前置单据ID", kId},
        {"仓库ID", kId},     {"产品ID", kId},      {"货位", kText},      {"等级", kText},
        {"特征码", kText},   {"产品批次", kText},  {"数量", kNum},       {"重量", kNum},
        {"库存数量", kNum},  {"库存重量", kNum},   {"装箱数", kNum},     {"单价", kMoney},
        {"金额", kMoney},    {"含税单价", kMoney}, {"含税金额", kMoney}, {"实际金额", kMoney},
        {"名称", kText},     {"规格", kText},      {"会计期间", kId},    {"备注", kText}},
       {"单据明细ID"},
       {{"ix_jxcdjmx_doc", {"单据ID"}},
        {"ix_jxcdjmx_part", {"产品ID"}},
        {"ix_jxcdjmx_source", {"前置单据ID"}}}});
  // A requisition's check numbers each ledger row by counting the document's lines before its
  // own, and the form lists the lines in their order: the server read every line of the
  // document for each line's count, a third of the check's ledger insert.
  KeyedByLineOnTheServer(t.back(), "ix_jxcdjmx_doc", 16);
  t.push_back(
      {"JxcGoodsList",
       TableRole::HostWritten,
       {{"autoid", kId},       {"progid", kId},     {"单据ID", kId},     {"单据明细ID", kId},
        {"单据编号", kText},   {"仓库填单", kText}, {"仓库审核", kText}, {"操作日期", kDate},
        {"填单日期", kDate},   {"审核日期", kDate}, {"往来ID", kId},     {"部门ID", kId},
        {"仓库ID", kId},       {"产品ID", kId},     {"货位", kText},     {"等级", kText},
        {"特征码", kText},     {"产品批次", kText}, {"数量", kNum},      {"重量", kNum},
        {"单价", kMoney},      {"金额", kMoney},    {"装箱数", kNum},    {"会计期间", kId},
        {"sFunNumber", kText}, {"备注", kText},     {"摘要", kText}},
       {"autoid"},
       {{"ix_jxcgoodslist_doc", {"progid", "单据ID"}}, {"ix_jxcgoodslist_part", {"产品ID"}}}});
  t.push_back({"gl_accvouch",
               TableRole::HostWritten,
               {{"autoid", kId},          {"progid", kId},          {"smark", kMark},
                {"status", kText},        {"科目编码", kText},      {"对方科目", kText},
                {"会计期间", kId},        {"凭证日期", kDate},      {"出纳编号", kText},
                {"结算方式ID", kId},      {"币种ID", kId},          {"摘要", kText},
                {"借方金额", kMoney},     {"外币借方金额", kMoney}, {"贷方金额", kMoney},
                {"外币贷方金额", kMoney}, {"汇率", kNum},           {"部门ID", kId},
                {"雇员ID", kId},          {"往来ID", kId},          {"项目", kText},
                {"制单", kText},          {"制单日期", kDate},      {"前置单据", kId},
                {"前置单据ID", kId}},
               {"autoid"},
               {{"ix_gl_accvouch_source", {"前置单据", "前置单据ID"}}}});

  // --- Host tables the module only reads.
  t.push_back(PartnerTable("pdmwldw"));
  // What the customer card keeps beyond the partner's address: the invoice's tax number and
  // the days a customer may owe before the receivables call.
  t.back().columns.insert(t.back().columns.end(), {{"税号", kText, 17}, {"信用天数", kNum, 17}});
  t.back().trackedSince = 4;
  t.back().changesOnlySince = 6;
  // Receivables by age walks every customer's card by name, then id: the server sorted all of
  // them for it (a third of a second at a million orders, spilled to disk) where the names'
  // index with the id after the name is read in its order alone.
  KeyedOnTheServer(t.back(), "ix_pdmwldw_name", "_id", "往来ID", 18);
  t.push_back(PartnerTable("PDMWLDWJS"));
  t.back().columns.insert(t.back().columns.end(), {{"税号", kText, 17}, {"信用天数", kNum, 17}});
  t.push_back({"PDMCPML",
               TableRole::HostRead,
               {{"产品ID", kId},
                {"物品编码", kText},
                {"物品名称", kText},
                {"规格", kText},
                {"库存单位", kText},
                {"是否需批次管理", kNum},
                {"缺省货位", kText},
                {"颜色", kText},
                {"特性", kText},
                {"尺寸", kText},
                {"参考零售价", kMoney},
                {"参考进价", kMoney},
                {"参考批发价", kMoney}},
               {"产品ID"},
               {{"ix_pdmcpml_code", {"物品编码"}}, {"ix_pdmcpml_name", {"物品名称"}}}});
  t.push_back({"PDMBM",
               TableRole::HostRead,
               {{"部门ID", kId},
                {"部门编码", kText},
                {"部门名称", kText},
                {"组织类型", kNum},
                {"是否明细", kNum},
                {"是否使用", kNum},
                {"属性", kText},
                {"不参与物料运算", kNum}},
               {"部门ID"},
               {}});
  t.push_back({"pdmbmcpty",
               TableRole::HostRead,
               {{"仓库ID", kId}, {"产品ID", kId}, {"是否停用", kNum}},
               {"仓库ID", "产品ID"},
               {{"ix_pdmbmcpty_part", {"产品ID"}}}});
  t.push_back({"PDMGY",
               TableRole::HostRead,
               {{"雇员ID", kId},
                {"雇员编码", kText},
                {"姓名", kText},
                {"部门ID", kId},
                // The shop account the employee logs in as, and whether the workshop may
                // dispatch work to them.
                {"登录账号", kText, 17},
                {"是否技师", kNum, 17},
                {"电话", kText, 17}},
               {"雇员ID"},
               {}});
  t.push_back({"PDMKJKM",
               TableRole::HostRead,
               {{"科目ID", kId},
                {"科目编码", kText},
                {"科目名称", kText},
                {"是否现金科目", kNum},
                {"是否明细", kNum}},
               {"科目ID"},
               {{"ix_pdmkjkm_code", {"科目编码"}}}});
  // 类型 is the kind of dictionary entry ("结算方式") the host picker filters by ("Lx").
  t.push_back({"PDMSJZD",
               TableRole::HostRead,
               {{"ID", kId}, {"编码", kText}, {"名称", kText}, {"类型", kText}},
               {"ID"},
               {}});
  t.push_back({"PDMBZ",
               TableRole::HostRead,
               {{"币种ID", kId}, {"外币代号", kText}, {"外币名称", kText}, {"汇率", kNum}},
               {"币种ID"},
               {}});
  // One row per period, depot, part, location, grade, feature code and batch; the queries
  // always name the period and the part, the depot only sometimes.
  t.push_back({"JXCGoodsZzTz",
               TableRole::HostRead,
               {{"会计期间", kId},
                {"仓库ID", kId},
                {"产品ID", kId},
                {"货位", kText},
                {"等级", kText},
                {"特征码", kText},
                {"产品批次", kText},
                {"库存数量", kNum},
                {"库存重量", kNum},
                {"库存金额", kMoney}},
               {"会计期间", "产品ID", "仓库ID", "货位", "等级", "特征码", "产品批次"},
               {{"ix_jxcgoodszztz_part", {"产品ID"}}}});
  t.push_back({"Pubwlprice",
               TableRole::HostRead,
               {{"AutoID", kId},
                {"往来ID", kId},
                {"币种ID", kId},
                {"产品ID", kId},
                {"单价", kMoney},
                {"smark", kMark},
                {"systemcode", kText}},
               {"AutoID"},
               {{"ix_pubwlprice_part", {"产品ID", "往来ID"}}}});
  t.push_back({"xt_objects",
               TableRole::HostRead,
               {{"progid", kId}, {"progname", kText}, {"fetchPrice", kNum}, {"classname", kText}},
               {"progid"},
               {}});
  t.push_back(
      {"xt_menu", TableRole::HostRead, {{"progID", kId}, {"menuname", kText}}, {"progID"}, {}});
  t.push_back({"xt_BillAttribute",
               TableRole::HostRead,
               {{"progID", kId}, {"attribute", kText}, {"text", kText}},
               {"progID", "attribute"},
               {}});
  t.push_back({"xt_accinformation",
               TableRole::HostRead,
               {{"system_code", kText}, {"item_code", kText}, {"item_value", kText}},
               {"system_code", "item_code"},
               {}});

  // --- The host's own configuration.
  // An option NUMBER n is stored with name = decimal text of n.
  t.push_back({"ws_option",
               TableRole::HostConfig,
               {{"module", kId}, {"name", kText}, {"value", kText}},
               {"module", "name"},
               {}});
  t.push_back({"ws_parameter",
               TableRole::HostConfig,
               {{"module", kId}, {"number", kId}, {"value", kText}},
               {"module", "number"},
               {}});
  // Id counters of GetNewID; table_name is stored lower-case.
  t.push_back({"ws_id",
               TableRole::HostConfig,
               {{"table_name", kText}, {"key_column", kText}, {"last_id", kId}},
               {"table_name", "key_column"},
               {}});
  // Document-number counters of NewBillNo.
  t.push_back({"ws_billno",
               TableRole::HostConfig,
               {{"progid", kId}, {"prefix", kText}, {"last_no", kId}},
               {"progid", "prefix"},
               {}});
  t.push_back({"ws_user_setting",
               TableRole::HostConfig,
               {{"user_name", kText}, {"key", kText}, {"value", kText}},
               {"user_name", "key"},
               {}});
  t.push_back({"ws_meta", TableRole::HostConfig, {{"key", kText}, {"value", kText}}, {"key"}, {}});
  // How often each block of keys of a tracked table was written to (see trackedSince). A block
  // nobody wrote to since tracking began has no row.
  t.push_back({"ws_change_block",
               TableRole::HostConfig,
               {{"table_name", kText}, {"block", kId}, {"version", kId}},
               {"table_name", "block"},
               {},
               2});
  // The per-block figures of the lists the desks counted (platform/shop_list_counts.h), so a
  // desk, a machine or a clerk new to the shop opens a form without counting its list again:
  // the list's text under a hash of it, the figures as text, the sum of the block versions
  // they were taken under, which only grows, so an older count never replaces a newer one, and
  // when they were kept (seconds since 1970), so lists nobody opens any more are let go.
  t.push_back({"ws_list_count",
               TableRole::HostConfig,
               {{"list_key", kText},
                {"list_text", kText},
                {"version_sum", kId},
                {"figures", kText},
                {"kept_at", kId}},
               {"list_key"},
               {},
               4});
  // The shop's accounts: the name the documents record (审核人, 制单人), an Argon2id hash of the
  // password (empty for a server login, whose password the server keeps), the role and whether
  // the account may log in. A shop without a row here is open: any name logs in.
  t.push_back({"ws_account",
               TableRole::HostConfig,
               {{"user_name", kText}, {"pw_hash", kText}, {"role", kText}, {"active", kId}},
               {"user_name"},
               {},
               3});
  // The shop's own print pages, one per program: every desk of the shop prints with them.
  t.push_back({"ws_print_template",
               TableRole::HostConfig,
               {{"program", kId}, {"html", kText}},
               {"program"},
               {},
               5});
  // The rights of each role (录入, 审核, 收款, 管理), one row a right: the owner changes them as
  // data.
  t.push_back({"ws_role_right",
               TableRole::HostConfig,
               {{"role", kText}, {"right_name", kText}},
               {"role", "right_name"},
               {},
               3});
  return t;
}

}  // namespace

std::string DefaultClause(ColumnKind kind) {
  switch (kind) {
    case ColumnKind::Id:
    case ColumnKind::Number:
    case ColumnKind::Money:
      return " DEFAULT 0";
    case ColumnKind::Text:
    case ColumnKind::Mark:
      return " DEFAULT ''";
    case ColumnKind::Date:
      return "";
  }
  return "";
}

const ColumnDef* TableDef::FindColumn(std::string_view column) const {
  for (const auto& c : columns) {
    if (SameName(c.name, column)) return &c;
  }
  return nullptr;
}

const std::vector<TableDef>& Tables() {
  static const std::vector<TableDef> tables = BuildTables();
  return tables;
}

const TableDef* FindTable(std::string_view name) {
  for (const auto& t : Tables()) {
    if (SameName(t.name, name)) return &t;
  }
  return nullptr;
}

std::string ColumnType(ColumnKind kind, Engine engine) {
  bool pg = engine == Engine::Postgres;
  switch (kind) {
    case ColumnKind::Id:
      return pg ? "BIGINT" : "INTEGER";
    case ColumnKind::Number:
      return pg ? "DOUBLE PRECISION" : "REAL";
    case ColumnKind::Money:
      return pg ? "NUMERIC(19,4)" : "REAL";
    case ColumnKind::Date:
      return pg ? "DATE" : "TEXT";
    case ColumnKind::Text:
    case ColumnKind::Mark:
      return "TEXT";
  }
  return "TEXT";
}

std::string CreateTableStatement(const TableDef& table, Engine engine) {
  const bool singleKey = table.primaryKey.size() == 1;
  std::string sql = "CREATE TABLE " + table.name + " (";
  bool first = true;
  for (const auto& column : table.columns) {
    if (!first) sql += ", ";
    first = false;
    sql += column.name + " " + ColumnType(column.kind, engine);
    bool inKey = std::any_of(table.primaryKey.begin(), table.primaryKey.end(),
                             [&](const std::string& k) { return SameName(k, column.name); });
    if (inKey && singleKey) {
      // A single key is always given (ids come from GetNewID). On SQLite an INTEGER PRIMARY
      // KEY is the rowid itself: the keyset walk by id reads the table in key order.
      sql += " NOT NULL PRIMARY KEY";
    } else {
      // Columns of a composite key keep their default: a stock-ledger row written without a
      // batch is the row of the empty batch.
      if (inKey) sql += " NOT NULL";
      sql += DefaultClause(column.kind);
    }
  }
  if (!singleKey && !table.primaryKey.empty()) {
    sql += ", PRIMARY KEY (" + JoinNames(table.primaryKey) + ")";
  }
  sql += ")";
  return sql;
}

IndexDef CaselessIndex(std::string name, std::string column, int since) {
  IndexDef index(std::move(name), {std::move(column)}, false, {}, since);
  index.caseless = true;
  return index;
}

IndexDef TypedStartIndex(std::string name, std::string column, int since) {
  IndexDef index(std::move(name), {std::move(column)}, false, {}, since);
  index.typedStart = true;
  return index;
}

namespace {

// The server's ILIKE (what a typed prefix becomes there) is served by a trigram index, which
// needs the pg_trgm extension. The extension is made when the database allows it (it is a
// trusted one: the database's owner may); where it cannot be, the index is left out and the
// search reads the table, as it did before. The block never fails the catalogue.
std::string TrigramIndexStatement(const TableDef& table, const IndexDef& index) {
  return "DO $$ DECLARE s text; BEGIN "
         "BEGIN CREATE EXTENSION IF NOT EXISTS pg_trgm SCHEMA public; "
         "EXCEPTION WHEN OTHERS THEN NULL; END; "
         "SELECT extnamespace::regnamespace::text INTO s FROM pg_extension "
         "WHERE extname = 'pg_trgm'; "
         "IF s IS NOT NULL THEN EXECUTE 'CREATE INDEX IF NOT EXISTS " +
         index.name + " ON " + table.name + " USING gin (" + index.columns.front() +
         " ' || s || '.gin_trgm_ops)'; "
         "END IF; END $$";
}

}  // namespace

std::vector<std::string> CreateIndexStatements(const TableDef& table, Engine engine) {
  std::vector<std::string> out;
  for (const auto& index : table.indexes) {
    if (index.onlyOn && *index.onlyOn != engine) continue;
    if (index.caseless && engine == Engine::Postgres) {
      out.push_back(TrigramIndexStatement(table, index));
      continue;
    }
    std::string columns = JoinNames(index.columns);
    if (index.caseless || (index.typedStart && engine == Engine::Sqlite)) {
      columns += " COLLATE NOCASE";
    } else if (index.typedStart) {
      columns += " text_pattern_ops";
    }
    out.push_back(std::string(index.unique ? "CREATE UNIQUE INDEX " : "CREATE INDEX ") +
                  index.name + " ON " + table.name + " (" + columns + ")" +
                  (index.where.empty() ? "" : " WHERE " + index.where));
  }
  return out;
}

std::vector<std::string> ChangeTrackStatements(const TableDef& table, Engine engine) {
  if (table.trackedSince == 0 || table.primaryKey.size() != 1) return {};
  const std::string name = Lower(table.name);
  const std::string& key = table.primaryKey[0];
  auto bump = [&](const char* row) {
    return "INSERT INTO ws_change_block (table_name, block, version) VALUES ('" + name + "', " +
           row + "." + key + " / " + std::to_string(kChangeBlockKeys) +
           ", 1) ON CONFLICT (table_name, block) DO UPDATE SET version = "
           "ws_change_block.version + 1;";
  };
  // Any column may be named by some list's condition, so any change counts; the row version
  // moves on every update and tells nothing a list shows.
  const std::string column(kRowVersionColumn);
  std::string before;
  std::string after;
  for (const auto& c : table.columns) {
    if (SameName(c.name, column)) continue;
    before += (before.empty() ? "" : ", ") + std::string("OLD.") + c.name;
    after += (after.empty() ? "" : ", ") + std::string("NEW.") + c.name;
  }
  const std::string changed = "(" + before + ") IS " +
                              (engine == Engine::Postgres ? "DISTINCT FROM" : "NOT") + " (" +
                              after + ")";
  if (engine == Engine::Postgres) {
    const std::string function = "ws_change_" + name;
    return {"CREATE OR REPLACE FUNCTION " + function +
                "() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN IF TG_OP <> 'INSERT' THEN " +
                bump("OLD") + " END IF; IF TG_OP <> 'DELETE' THEN " + bump("NEW") +
                " END IF; RETURN NULL; END $$",
            "CREATE TRIGGER " + function + " AFTER INSERT OR DELETE ON " + table.name +
                " FOR EACH ROW EXECUTE FUNCTION " + function + "()",
            "CREATE TRIGGER " + function + "_upd AFTER UPDATE ON " + table.name +
                " FOR EACH ROW WHEN (" + changed + ") EXECUTE FUNCTION " + function + "()"};
  }
  // The row version's own update (RowVersionStatements) is part of the update that caused it.
  const std::string versionBump =
      table.versionedSince == 0 ? "" : "NEW." + column + " = OLD." + column + " AND ";
  const std::string prefix = "CREATE TRIGGER ws_change_" + name;
  return {prefix + "_ins AFTER INSERT ON " + table.name + " BEGIN " + bump("NEW") + " END",
          prefix + "_upd AFTER UPDATE ON " + table.name + " WHEN " + versionBump + changed +
              " BEGIN " + bump("OLD") + " " + bump("NEW") + " END",
          prefix + "_del AFTER DELETE ON " + table.name + " BEGIN " + bump("OLD") + " END"};
}

std::string DropChangeUpdateTrigger(const TableDef& table, Engine engine) {
  const std::string trigger = "ws_change_" + Lower(table.name) + "_upd";
  return engine == Engine::Postgres ? "DROP TRIGGER IF EXISTS " + trigger + " ON " + table.name
                                    : "DROP TRIGGER IF EXISTS " + trigger;
}

std::vector<std::string> AfterInsertStatementTrigger(const std::string& name,
                                                     const std::string& table,
                                                     const std::string& body) {
  const std::string rows(kInsertedRows);
  return {"CREATE OR REPLACE FUNCTION " + name +
              "() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN " + body + " RETURN NULL; END $$",
          "CREATE TRIGGER " + name + " AFTER INSERT ON " + table + " REFERENCING NEW TABLE AS " +
              rows + " FOR EACH STATEMENT EXECUTE FUNCTION " + name + "()"};
}

std::vector<std::string> RowVersionStatements(const TableDef& table, Engine engine) {
  if (table.versionedSince == 0 || table.primaryKey.size() != 1) return {};
  const std::string name = Lower(table.name);
  const std::string column(kRowVersionColumn);
  if (engine == Engine::Postgres) {
    const std::string function = "ws_rowver_" + name;
    return {"CREATE OR REPLACE FUNCTION " + function +
                "() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN NEW." + column + " := OLD." +
                column + " + 1; RETURN NEW; END $$",
            "CREATE TRIGGER " + function + " BEFORE UPDATE ON " + table.name +
                " FOR EACH ROW EXECUTE FUNCTION " + function + "()"};
  }
  // SQLite cannot change NEW: the row is bumped after the update, once (the WHEN keeps the
  // trigger's own update from firing it again).
  const std::string& key = table.primaryKey[0];
  return {"CREATE TRIGGER ws_rowver_" + name + " AFTER UPDATE ON " + table.name +
          " FOR EACH ROW WHEN NEW." + column + " = OLD." + column + " BEGIN UPDATE " + table.name +
          " SET " + column + " = OLD." + column + " + 1 WHERE " + key + " = NEW." + key + "; END"};
}

std::vector<Sql> CatalogueStatements(Engine engine) {
  std::vector<Sql> out;
  for (const auto& table : Tables()) {
    out.emplace_back(CreateTableStatement(table, engine));
    for (const auto& index : CreateIndexStatements(table, engine)) out.emplace_back(index);
  }
  for (const auto& table : Tables()) {
    for (const auto& trigger : ChangeTrackStatements(table, engine)) out.emplace_back(trigger);
    for (const auto& trigger : RowVersionStatements(table, engine)) out.emplace_back(trigger);
  }
  for (const auto& table : Tables()) {
    if (!table.maintainedBy) continue;
    for (const auto& trigger : table.maintainedBy(engine)) out.emplace_back(trigger);
  }
  out.push_back(Sql("INSERT INTO ws_meta (key, value) VALUES (")
                    .Text("schema")
                    .Raw(", ")
                    .Text(kSchemaName)
                    .Raw(")"));
  out.push_back(Sql("INSERT INTO ws_meta (key, value) VALUES (")
                    .Text("version")
                    .Raw(", ")
                    .Text(kSchemaVersion)
                    .Raw(")"));
  for (const auto& subsystem : Subsystems()) {
    out.push_back(Sql("INSERT INTO ws_meta (key, value) VALUES (")
                      .Text(SubsystemVersionKey(subsystem))
                      .Raw(", ")
                      .Key(CurrentVersion(subsystem))
                      .Raw(")"));
  }
  out.push_back(ShopIdStatement());
  return out;
}

Sql ShopIdStatement() {
  std::random_device device;
  std::string id;
  char digits[9];
  for (int i = 0; i < 4; ++i) {
    std::snprintf(digits, sizeof digits, "%08x", static_cast<unsigned>(device()));
    id += digits;
  }
  return Sql("INSERT INTO ws_meta (key, value) SELECT ")
      .Text("shop")
      .Raw(", ")
      .Text(id)
      .Raw(" WHERE NOT EXISTS (SELECT 1 FROM ws_meta WHERE key = ")
      .Text("shop")
      .Raw(")");
}

std::string ShopId(IDatabase& db) {
  std::string error;
  std::string id =
      Runner(db).ScalarText(Sql("SELECT value FROM ws_meta WHERE key = ").Text("shop"), &error);
  return error.empty() ? id : std::string();
}

std::optional<std::string> SchemaVersion(IDatabase& db) {
  Runner runner(db);
  std::string error;
  auto rs = runner.Open(Sql("SELECT key, value FROM ws_meta"), &error);
  if (!error.empty()) return std::nullopt;
  std::optional<std::string> schema;
  std::optional<std::string> version;
  for (; !rs->Eof(); rs->MoveNext()) {
    std::string key = rs->Text("key");
    if (key == "schema") schema = rs->Text("value");
    if (key == "version") version = rs->Text("value");
  }
  if (schema != kSchemaName || !version) return std::nullopt;
  return version;
}

}  // namespace ws::db
