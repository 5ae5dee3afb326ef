// The host's own pickers over host tables: one generic SQL picker (the picker chassis the
// module's pickers use too, framework/picker_control.h: grid, search box, keyboard, choosing,
// search settings) configured per name. Each answers Value (the row's key as text), Text (its
// display text) and Objects (one property "i" + column name per column of the chosen row,
// values as the database gave them).
//
// | name          | rows                                  | Value / Text        | parameters      |
// |---------------|---------------------------------------|---------------------|-----------------|
// | "pdmkh_j"     | customers, pdmwldw                    | 往来ID / 公司名称   | "SX"            |
// | "pdm_jzdw"    | settlement partners, PDMWLDWJS        | 往来ID / 公司名称   | "SX"            |
// | "pdmcpml_j"   | parts, PDMCPML, with stock on hand    | 产品ID / 物品编码   | (mode "single") |
// | "pdmgy_j"     | employees, PDMGY                      | 雇员ID / 姓名       |                 |
// | "pdm_ywy"     | employees as salesmen, PDMGY          | 雇员ID / 姓名       |                 |
// | "pdmbm_j"     | departments, PDMBM (no depots)        | 部门ID / 部门名称   |                 |
// | "ws_account_j"| active accounts, ws_account           | 账户 / 账户         |                 |
// | "sel_pdmsjzd" | dictionary entries, PDMSJZD           | ID / 名称           | "Lx"            |
// | "pdmdjxz"     | document natures (fixed list)         | 性质 / 性质         | "ProgID"        |
// | "pdmpc"       | batches on the stock ledger           | 产品批次 / 产品批次 | see below       |
// | "pdmty_id_j"  | any id/name list given by parameters  | first col / named   | see below       |
//
// - "SX" (partners): the partner kind of pdmwldw.属性, 1 supplier, 2 customer, 3 both. A kind n
//   lists the partners of kind n and of kind 3; an empty or 0 "SX" lists every partner.
// - "Lx" (dictionary): the entry kind PDMSJZD.类型 ("结算方式"); empty lists every entry.
// - Document natures are a fixed list, the same for every program ("ProgID" is accepted for
//   hosts that tell programs apart): "维修领料", "领料出库", "其他出库", in that order. A host
//   table would only pay once natures became user data.
// - "pdmpc": "产品ID" (the part), "会计期间" (the stock period), "仓库ID" (the depot; 0 or empty
//   means every depot), "ST" ("1": only batches with stock on hand, anything else: every batch of
//   the period). Rows: 产品批次 with the summed 库存数量 and 库存重量; batches with an empty name
//   are not batches and are left out.
// - "pdmty_id_j": "SQL" (must end in a where clause; its first column is the id), "FieldName"
//   (the column giving Text; the second column when empty or unknown), "Valid" (the typed-text
//   condition, "@" standing for the text), "Order" (the ORDER BY columns), "MxCzID" (an id the
//   list preselects when present).
// - Every picker chooses exactly one row; "pdmcpml_j" accepts a mode parameter "single" from the
//   documents and needs nothing more.
//
// Validate(t) resolves the typed text with the picker's condition (prefix of code or name, the
// natures and batches by prefix, "Valid" for pdmty_id_j); the first row in list order wins.
// Unlike the module's pickers it answers true when a row matched. No match gives Value "0" ("" for
// natures and batches) and an empty Text. Typed text reaches SQL only through the escaping helper.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "db/sql.h"
#include "framework/picker_control.h"
#include "host/parameters.h"
#include "host/registry.h"
#include "platform/picker_registry.h"

namespace ws::platform {

struct HostPickerConfig {
  std::string name;
  // The statement up to its where clause ("... WHERE 1=1").
  std::string select;
  // Conditions from the parameters, each starting with " AND ".
  std::function<db::Sql(const host::Parameters&)> conditions;
  // The typed-text condition; every "@" stands for the typed text.
  std::string valid;
  // What follows the conditions (GROUP BY ... HAVING ...), from the parameters.
  std::function<db::Sql(const host::Parameters&)> tail;
  std::string order;  // ORDER BY columns, "" for none
  std::string valueField;
  std::string textField;
  std::vector<std::string> hiddenFields;
  std::string emptyValue = "0";
  // pdmty_id_j: select, valid, order and text field come from "SQL", "Valid", "Order" and
  // "FieldName"; the value is the first column.
  bool fromParameters = false;
};

// The configuration of every host picker, in the order of the table above.
const std::vector<HostPickerConfig>& HostPickerConfigs();

class SqlPicker : public framework::PickerControl {
 public:
  explicit SqlPicker(HostPickerConfig config);

  bool Validate(const std::string& text1, const std::string& text2, const std::string& text3,
                const std::string& typed, std::string& outValue, std::string& outText) override;

 protected:
  void SetupGrid(forms::Grid& grid) override;
  db::Sql ListQuery() override;
  void ShowRows(forms::Grid& grid, db::Recordset& records) override;
  void AfterLoad() override;
  void Choose(int row) override;

 private:
  // The statement with the typed-text condition when typed is given.
  db::Sql Statement(const std::string* typed) const;
  std::string ValueField() const;
  std::string TextField() const;
  // Value, Text and Objects from one row of the last list or validation.
  void Take(const std::vector<std::string>& fields, const std::vector<db::Value>& row);
  void TakeNothing();

  HostPickerConfig config_;
  std::vector<std::string> fields_;           // of the listed rows
  std::vector<std::vector<db::Value>> rows_;  // grid data row i is rows_[i]
};

// Registers every host picker under its name.
void RegisterHostPickers(PickerRegistry& pickers);
// Registers the module's pickers under the names the documents use: "pdmcl" → WS.sel_cl,
// "pdmxm" → WS.sel_xm, "pdmwxfl" → WS.sel_wxfl, "pdmty_inner_j" → WS.sel_TY_INNER, created
// through the given control registry (kept alive by the factories).
void RegisterModulePickers(PickerRegistry& pickers, std::shared_ptr<const host::Registry> controls);
// Both, with the module's pickers from their own subsystem: what a system object offers.
void RegisterStandardPickers(PickerRegistry& pickers);

}  // namespace ws::platform
