#include "db/default_config.h"

#include "db/sql.h"

namespace ws::db {

const std::vector<ControlEntry>& DefaultControls() {
  using enum ProgramKind;
  static const std::vector<ControlEntry> controls = {
      {"WS_S", kOrderProgram, "维修工单", Document},
      {"CKLl_WS", kRequisitionProgram, "维修领料单", Document},
      {"JS_WS", kSettlementProgram, "维修结算单", MoneyDocument},
      {"JS_S", kReceiptProgram, "维修收款单", MoneyDocument},
      {"WS_RPT", 200005, "维修工单查询", Report},
      {"JS_RPT", 200006, "维修结算查询", Report},
      {"CL_LS", 200007, "车辆维修历史", Report},
      {"BY_TX", 200008, "保养提醒", Report},
      {"ZL_FX", 200009, "应收账龄", Report},
      {"LY_DB", 200010, "领用与开单对照", Report},
      {"PDM_cl", 200011, "车辆资料", MasterList},
      {"PDM_clAdd", 200012, "车辆资料卡片", MasterCard},
      {"PDM_XMAdd", 200013, "维修项目卡片", MasterCard},
      {"PDM_XM", 200014, "维修项目", MasterList},
      {"JZ_JC", 200015, "结帐检查", Report},
      {"PDM_WXFL", 200028, "维修分类", MasterList},
      {"PDM_WXFLAdd", 200029, "维修分类卡片", MasterCard},
      {"XG_JL", 200031, "修改记录", KeptReport},
      {"GS_XL", 200061, "技师效率", Report},
      // What each technician earned: pay, which only managers read.
      {"TC_MX", 200062, "技师提成", KeptReport},
      {"PDM_KH", 200041, "客户资料", MasterList},
      {"PDM_KHAdd", 200042, "客户资料卡片", CounterCard},
      {"PDM_PJ", 200043, "配件资料", MasterList},
      {"PDM_PJAdd", 200044, "配件资料卡片", MasterCard},
      {"PDM_GY", 200045, "员工资料", MasterList},
      {"PDM_GYAdd", 200046, "员工资料卡片", MasterCard},
      // Read-only: these rows come in through `ws import`.
      {"PDM_QCKC", 200047, "期初库存", MasterList},
      {"PDM_JSFS", 200048, "结算方式", MasterList},
      {"PDM_KJKM", 200049, "会计科目", MasterList},
  };
  return controls;
}

const std::vector<OptionEntry>& DefaultOptions() {
  // Colours are Windows colour longs (0x00BBGGRR): dark grey text on light grey for the cells
  // a user cannot type in.
  static const std::vector<OptionEntry> options = {
      {12, "Jzperiod", "0"},  // no period closed yet
      {12, "befmonth", "12"},
      {12, "fetchmode", "0"},
      {12, "readonlyforecolor", std::to_string(0x404040)},
      {12, "readonlybackcolor", std::to_string(0xF0F0F0)},
      {12, "mouseeventscrollrate", "5"},
      {12, "4", std::to_string(kLocalCurrencyId)},
      {12, "7", "2"},   // quantity decimals
      {12, "9", "2"},   // unit price decimals
      {12, "12", "2"},  // amount decimals
      {3, "fetchmode", "0"},
      {1, "goodsmsggageedit", "0"},
  };
  return options;
}

std::vector<Sql> DefaultConfigStatements(const Date& initDate) {
  std::vector<Sql> out = MissingControlStatements();
  out.push_back(Sql("INSERT INTO xt_accinformation (system_code, item_code, item_value) VALUES (")
                    .Text("system")
                    .Raw(", ")
                    .Text("mouseeventscrollrate")
                    .Raw(", ")
                    .Text("5")
                    .Raw(")"));
  for (const auto& o : DefaultOptions()) {
    out.push_back(Sql("INSERT INTO ws_option (module, name, value) VALUES (")
                      .Key(o.module)
                      .Raw(", ")
                      .Text(o.name)
                      .Raw(", ")
                      .Text(o.value)
                      .Raw(")"));
  }
  auto parameter = [&](int number, const std::string& value) {
    out.push_back(Sql("INSERT INTO ws_parameter (module, number, value) VALUES (12, ")
                      .Key(number)
                      .Raw(", ")
                      .Text(value)
                      .Raw(")"));
  };
  parameter(1, std::to_string(PeriodOfDate(initDate, kDefaultClosingDay)));
  parameter(3, std::to_string(kDefaultClosingDay));
  out.push_back(Sql("INSERT INTO PDMBZ (币种ID, 外币代号, 外币名称, 汇率) VALUES (")
                    .Key(kLocalCurrencyId)
                    .Raw(", ")
                    .Text("RMB")
                    .Raw(", ")
                    .Text("人民币")
                    .Raw(", 1)"));
  return out;
}

std::vector<Sql> MissingControlStatements() {
  std::vector<Sql> out;
  for (const auto& c : DefaultControls()) {
    out.push_back(Sql("INSERT INTO xt_menu (progID, menuname) SELECT ")
                      .Key(c.programNumber)
                      .Raw(", ")
                      .Text(c.caption)
                      .Raw(" WHERE NOT EXISTS (SELECT 1 FROM xt_menu WHERE progID = ")
                      .Key(c.programNumber)
                      .Raw(")"));
    // progname is what users read ("维修工单选单"); classname is what the host creates.
    out.push_back(Sql("INSERT INTO xt_objects (progid, progname, fetchPrice, classname) SELECT ")
                      .Key(c.programNumber)
                      .Raw(", ")
                      .Text(c.caption)
                      .Raw(", 0, ")
                      .Text(c.className)
                      .Raw(" WHERE NOT EXISTS (SELECT 1 FROM xt_objects WHERE progid = ")
                      .Key(c.programNumber)
                      .Raw(")"));
  }
  return out;
}

}  // namespace ws::db
