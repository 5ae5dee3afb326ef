#include "platform/host_pickers.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <utility>

#include "db/runner.h"
#include "forms/text.h"
#include "host/module_pickers.h"

namespace ws::platform {

namespace {

constexpr auto SameName = &forms::EqualsIgnoringCase;

// Index of a field by name (PostgreSQL hands out unquoted names in lower case), or -1.
int IndexOf(const std::vector<std::string>& fields, const std::string& name) {
  for (size_t i = 0; i < fields.size(); ++i) {
    if (SameName(fields[i], name)) return static_cast<int>(i);
  }
  return -1;
}

// Partners of kind n (pdmwldw.属性) and those of both kinds (3); no kind lists them all.
db::Sql PartnerKind(const host::Parameters& parameters) {
  db::Sql sql;
  std::string kind = parameters.GetOr("SX");
  if (db::NumericValue(kind) != 0) {
    sql.Raw(" AND (属性=").NumOf(kind).Raw(" OR 属性=3)");
  }
  return sql;
}

HostPickerConfig Partners(std::string name, const std::string& table) {
  return HostPickerConfig{
      .name = std::move(name),
      .select =
          " SELECT 往来ID,往来编码,公司名称,简称,联系人,电话,地址 FROM " + table + " WHERE 1=1",
      .conditions = PartnerKind,
      .valid = "(往来编码 Like '@%' OR 公司名称 Like '@%')",
      .tail = nullptr,
      .order = "往来编码",
      .valueField = "往来ID",
      .textField = "公司名称",
      .hiddenFields = {"往来ID"},
  };
}

HostPickerConfig Employees(std::string name) {
  return HostPickerConfig{
      .name = std::move(name),
      .select = " SELECT 雇员ID,雇员编码,姓名,部门ID FROM PDMGY WHERE 1=1",
      .conditions = nullptr,
      .valid = "(雇员编码 Like '@%' OR 姓名 Like '@%')",
      .tail = nullptr,
      .order = "雇员编码",
      .valueField = "雇员ID",
      .textField = "姓名",
      .hiddenFields = {"雇员ID", "部门ID"},
  };
}

std::vector<HostPickerConfig> BuildConfigs() {
  std::vector<HostPickerConfig> configs;
  configs.push_back(Partners("pdmkh_j", "pdmwldw"));
  configs.push_back(Partners("pdm_jzdw", "PDMWLDWJS"));
  configs.push_back(HostPickerConfig{
      .name = "pdmcpml_j",
      // What a clerk weighs when picking a part comes first: its stock on hand (the part's
      // ledger in its latest period, over every depot) and its prices.
      .select = " SELECT 产品ID,物品编码,物品名称,规格,库存单位,"
                "(SELECT SUM(z.库存数量) FROM JXCGoodsZzTz z WHERE z.产品ID=PDMCPML.产品ID"
                " AND z.会计期间=(SELECT MAX(y.会计期间) FROM JXCGoodsZzTz y"
                " WHERE y.产品ID=PDMCPML.产品ID)) AS 库存数量,"
                "参考零售价,参考进价,颜色,特性,尺寸,是否需批次管理,缺省货位,参考批发价"
                " FROM PDMCPML WHERE 1=1",
      .conditions = nullptr,
      .valid = "(物品编码 Like '@%' OR 物品名称 Like '@%')",
      .tail = nullptr,
      .order = "物品编码",
      .valueField = "产品ID",
      .textField = "物品编码",
      .hiddenFields = {"产品ID"},
  });
  configs.push_back(Employees("pdmgy_j"));
  configs.push_back(Employees("pdm_ywy"));
  // Departments, not depots (组织类型 2), for the employee card.
  configs.push_back(HostPickerConfig{
      .name = "pdmbm_j",
      .select = " SELECT 部门ID,部门编码,部门名称 FROM PDMBM WHERE COALESCE(组织类型,0)<>2",
      .conditions = nullptr,
      .valid = "(部门编码 Like '@%' OR 部门名称 Like '@%')",
      .tail = nullptr,
      .order = "部门编码",
      .valueField = "部门ID",
      .textField = "部门名称",
      .hiddenFields = {"部门ID"},
  });
  // The shop's active accounts, the logins an employee may be given; never the password hash.
  configs.push_back(HostPickerConfig{
      .name = "ws_account_j",
      .select = " SELECT user_name AS 账户,role AS 角色 FROM ws_account WHERE active=1",
      .conditions = nullptr,
      .valid = "user_name Like '@%'",
      .tail = nullptr,
      .order = "user_name",
      .valueField = "账户",
      .textField = "账户",
      .hiddenFields = {},
      .emptyValue = "",
  });
  configs.push_back(HostPickerConfig{
      .name = "sel_pdmsjzd",
      .select = " SELECT ID,编码,名称,类型 FROM PDMSJZD WHERE 1=1",
      .conditions =
          [](const host::Parameters& parameters) {
            db::Sql sql;
            std::string kind = parameters.GetOr("Lx");
            if (!kind.empty()) sql.Raw(" AND 类型=").Text(kind);
            return sql;
          },
      .valid = "(编码 Like '@%' OR 名称 Like '@%')",
      .tail = nullptr,
      .order = "编码",
      .valueField = "ID",
      .textField = "名称",
      .hiddenFields = {"ID", "类型"},
  });
  configs.push_back(HostPickerConfig{
      .name = "pdmdjxz",
      .select = " SELECT 性质 FROM (SELECT 1 AS 序号, '维修领料' AS 性质"
                " UNION ALL SELECT 2, '领料出库' UNION ALL SELECT 3, '其他出库') natures"
                " WHERE 1=1",
      .conditions = nullptr,
      .valid = "性质 Like '@%'",
      .tail = nullptr,
      .order = "序号",
      .valueField = "性质",
      .textField = "性质",
      .hiddenFields = {},
      .emptyValue = "",
  });
  configs.push_back(HostPickerConfig{
      .name = "pdmpc",
      .select = " SELECT 产品批次,SUM(库存数量) AS 库存数量,SUM(库存重量) AS 库存重量"
                " FROM JXCGoodsZzTz WHERE 产品批次<>''",
      .conditions =
          [](const host::Parameters& parameters) {
            db::Sql sql;
            sql.Raw(" AND 产品ID=").NumOf(parameters.GetOr("产品ID"));
            sql.Raw(" AND 会计期间=").NumOf(parameters.GetOr("会计期间"));
            std::string depot = parameters.GetOr("仓库ID");
            if (db::NumericValue(depot) > 0) sql.Raw(" AND 仓库ID=").NumOf(depot);
            return sql;
          },
      .valid = "产品批次 Like '@%'",
      .tail =
          [](const host::Parameters& parameters) {
            db::Sql sql(" GROUP BY 产品批次");
            if (parameters.GetOr("ST") == "1") sql.Raw(" HAVING SUM(库存数量)>0");
            return sql;
          },
      .order = "产品批次",
      .valueField = "产品批次",
      .textField = "产品批次",
      .hiddenFields = {},
      .emptyValue = "",
  });
  configs.push_back(HostPickerConfig{
      .name = "pdmty_id_j",
      .select = {},
      .conditions = nullptr,
      .valid = {},
      .tail = nullptr,
      .order = {},
      .valueField = {},
      .textField = {},
      .hiddenFields = {},
      .emptyValue = "0",
      .fromParameters = true,
  });
  return configs;
}

}  // namespace

const std::vector<HostPickerConfig>& HostPickerConfigs() {
  static const std::vector<HostPickerConfig> configs = BuildConfigs();
  return configs;
}

SqlPicker::SqlPicker(HostPickerConfig config)
    : PickerControl(config.name, /*withScrollRate=*/true), config_(std::move(config)) {}

void SqlPicker::SetupGrid(forms::Grid& grid) {
  grid.SetFrozenCols(0);
}

db::Sql SqlPicker::Statement(const std::string* typed) const {
  const std::string select = config_.fromParameters ? Parameter("SQL") : config_.select;
  const std::string valid = config_.fromParameters ? Parameter("Valid") : config_.valid;
  const std::string order = config_.fromParameters ? Parameter("Order") : config_.order;
  if (select.empty()) return {};
  // Without a condition for the typed text nothing can match it.
  if (typed && valid.empty()) return {};

  const host::Parameters& parameters = ParametersOrEmpty();
  db::Sql sql(select);
  if (config_.conditions) sql.Append(config_.conditions(parameters));
  if (typed) sql.Raw(" AND (").Append(framework::WithTyped(valid, *typed)).Raw(")");
  if (config_.tail) sql.Append(config_.tail(parameters));
  if (!order.empty()) sql.Raw(" ORDER BY ").Raw(order);
  return sql;
}

db::Sql SqlPicker::ListQuery() {
  return Statement(nullptr);
}

void SqlPicker::ShowRows(forms::Grid& grid, db::Recordset& records) {
  rows_.clear();
  for (size_t row = 0; row < static_cast<size_t>(records.RecordCount()); ++row) {
    rows_.push_back(records.Row(row));
  }
  if (records.FieldCount() > 0) {
    fields_.clear();
    for (int i = 0; i < records.FieldCount(); ++i) fields_.push_back(records.FieldName(i));
    grid.SetCols(static_cast<int>(fields_.size()));
    for (int c = 0; c < grid.Cols(); ++c) {
      const std::string& field = fields_[static_cast<size_t>(c)];
      grid.SetTextMatrix(0, c, field);
      grid.Col(c).width = std::max(forms::Grid::WidthOfText(field + "    "), 1200);
      bool hidden = config_.fromParameters ? c == 0 : false;
      for (const auto& h : config_.hiddenFields) hidden = hidden || SameName(h, field);
      grid.SetColHidden(c, hidden);
    }
  }
  framework::PickerControl::ShowRows(grid, records);
}

void SqlPicker::AfterLoad() {
  if (!config_.fromParameters) return;
  const double wanted = db::NumericValue(Parameter("MxCzID"));
  if (wanted == 0) return;
  forms::Grid& grid = Grid();
  for (int r = grid.FixedRows(); r < grid.Rows(); ++r) {
    if (db::NumericValue(grid.TextMatrix(r, 0)) == wanted) {
      grid.SetRow(r);
      return;
    }
  }
}

std::string SqlPicker::ValueField() const {
  return config_.valueField;
}

std::string SqlPicker::TextField() const {
  return config_.fromParameters ? Parameter("FieldName") : config_.textField;
}

void SqlPicker::TakeNothing() {
  objects_ = host::PropertyBag();
  for (const auto& field : fields_) objects_.Set("i" + field, db::Value{});
  value_ = config_.emptyValue;
  text_.clear();
}

void SqlPicker::Take(const std::vector<std::string>& fields, const std::vector<db::Value>& row) {
  objects_ = host::PropertyBag();
  for (size_t i = 0; i < fields.size() && i < row.size(); ++i) {
    objects_.Set("i" + fields[i], row[i]);
  }
  auto at = [&row](int index) {
    return index >= 0 && static_cast<size_t>(index) < row.size() ? row[static_cast<size_t>(index)]
                                                                 : db::Value{};
  };
  if (config_.fromParameters) {
    int textIndex = IndexOf(fields, TextField());
    if (textIndex < 0) textIndex = fields.size() > 1 ? 1 : 0;
    value_ = at(0).ToText();
    text_ = at(textIndex).ToText();
  } else {
    value_ = at(IndexOf(fields, ValueField())).ToText();
    text_ = at(IndexOf(fields, TextField())).ToText();
  }
}

void SqlPicker::Choose(int row) {
  const int index = row - Grid().FixedRows();
  if (row < 0 || index < 0 || static_cast<size_t>(index) >= rows_.size()) {
    TakeNothing();
    return;
  }
  Take(fields_, rows_[static_cast<size_t>(index)]);
}

bool SqlPicker::Validate(const std::string&, const std::string&, const std::string&,
                         const std::string& typed, std::string& outValue, std::string& outText) {
  TakeNothing();
  bool matched = false;
  const db::Sql statement = Statement(&typed);
  if (System() && !statement.empty()) {
    std::string error;
    auto records = db::Runner(System()->GetDatabase()).Open(statement, &error);
    if (!error.empty()) {
      ShowError(error);
    } else if (records->RecordCount() > 0) {
      std::vector<std::string> fields;
      for (int i = 0; i < records->FieldCount(); ++i) fields.push_back(records->FieldName(i));
      Take(fields, records->Row(0));
      matched = true;
    }
  }
  outValue = value_;
  outText = text_;
  return matched;
}

void RegisterHostPickers(PickerRegistry& pickers) {
  for (const auto& config : HostPickerConfigs()) {
    pickers.Register(config.name, [config] { return std::make_shared<SqlPicker>(config); });
  }
}

void RegisterModulePickers(PickerRegistry& pickers,
                           std::shared_ptr<const host::Registry> controls) {
  static const std::pair<const char*, const char*> kNames[] = {
      {"pdmcl", "sel_cl"},
      {"pdmxm", "sel_xm"},
      {"pdmwxfl", "sel_wxfl"},
      {"pdmty_inner_j", "sel_TY_INNER"},
  };
  for (const auto& [name, className] : kNames) {
    std::string control = className;
    pickers.Register(name, [controls, control]() -> std::shared_ptr<host::IControl> {
      return controls ? std::shared_ptr<host::IControl>(controls->Create(control)) : nullptr;
    });
  }
}

void RegisterStandardPickers(PickerRegistry& pickers) {
  RegisterHostPickers(pickers);
  auto controls = std::make_shared<host::Registry>();
  host::RegisterModulePickers(*controls);
  RegisterModulePickers(pickers, controls);
}

}  // namespace ws::platform
