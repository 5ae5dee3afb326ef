#include "pickers/master_picker.h"

#include <cctype>
#include <cmath>
#include <cstdint>
#include <stdexcept>

#include "db/runner.h"

namespace ws::pickers {

namespace {

constexpr int kAlignLeft = 1;
constexpr const char* kMenuGroup = "PDM";
constexpr const char* kDeleteErrorPrefix = "删除数据时出错：";

int64_t CellId(const forms::Grid& grid, int row, int col) {
  return static_cast<int64_t>(std::llround(db::NumericValue(grid.TextMatrix(row, col))));
}

std::vector<std::string> PropertyNames(const MasterPickerDescription& description) {
  std::vector<std::string> names;
  for (const auto& p : description.properties) names.push_back(p.property);
  return names;
}

}  // namespace

std::string TextsPast(std::string text) {
  if (text.empty()) return text;
  size_t last = text.size() - 1;
  while (last > 0 && (static_cast<unsigned char>(text[last]) & 0xC0) == 0x80) --last;
  if (text.size() - last == 1 && text[last] == 0x7F) {
    // Past U+007F comes U+0080, two bytes that sort above every ASCII byte.
    return text.replace(last, 1, "\xC2\x80");
  }
  // The last character's successor; a CJK ideograph's last byte past 0xBF carries into the
  // one before it (at most U+9FFF + 1 = U+A000, still three bytes).
  size_t byte = text.size() - 1;
  while (static_cast<unsigned char>(text[byte]) == 0xBF && byte > last) {
    text[byte] = static_cast<char>(0x80);
    --byte;
  }
  text[byte] = static_cast<char>(static_cast<unsigned char>(text[byte]) + 1);
  return text;
}

TypedRange TypedRangeOf(std::string_view typed) {
  TypedRange range;
  std::string head;      // the characters before the first that has a case
  bool caseless = true;  // every character so far has no other case
  size_t at = 0;
  while (at < typed.size()) {
    const auto lead = static_cast<unsigned char>(typed[at]);
    const size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    if (at + length > typed.size()) break;
    uint32_t code = length == 1   ? lead
                    : length == 2 ? lead & 0x1F
                    : length == 3 ? lead & 0x0F
                                  : lead & 0x07;
    for (size_t i = 1; i < length; ++i) {
      code = (code << 6) | (static_cast<unsigned char>(typed[at + i]) & 0x3F);
    }
    // CJK ideographs have no case; anything else past ASCII may have.
    if (code >= 0x80 && !(code >= 0x3400 && code <= 0x9FFF)) break;
    const bool letter = (code >= 'a' && code <= 'z') || (code >= 'A' && code <= 'Z');
    caseless = caseless && !letter;
    if (letter) {
      range.from += static_cast<char>(std::toupper(static_cast<int>(code)));
    } else {
      range.from += typed.substr(at, length);
    }
    if (caseless) head = range.from;
    at += length;
  }
  range.whole = at == typed.size();
  range.below = TextsPast(head);
  return range;
}

const MasterPickerDescription& VehiclePicker() {
  static const MasterPickerDescription d{
      .className = "sel_cl",
      .title = "车辆选择",
      // The clerk knows a vehicle by its plate: it leads, and the list is in plate order.
      .gridFormat =
          "车牌号            |车辆编号      |发动机号        |车架号        |车型         "
          "|车主         |车主ID|车辆ID",
      .hiddenColumns = {6, 7},
      .frozenColumns = 1,
      .loadQuery = std::string(" SELECT 车牌号,车辆编号,发动机号,车架号,车型,公司名称 As 车主,"
                               "车主ID,车辆ID") +
                   "    FROM clzl left join pdmwldw on clzl.车主ID=pdmwldw.往来ID" +
                   "   ORDER BY 车牌号 ",
      .validateQuery =
          std::string(
              " SELECT 车辆编号,车牌号,发动机号,车架号,车型,车主ID,公司名称 As 车主,车辆ID") +
          "   FROM clzl left join pdmwldw on clzl.车主ID=pdmwldw.往来ID" +
          "  WHERE ( 车辆编号 Like '@%' OR 车牌号 Like '@%')" +
          // The first row is the one taken: the first as the list shows them.
          " ORDER BY 车牌号",

      .properties = {{"i车辆ID", "车辆ID", 7, true},
                     {"i车辆编号", "车辆编号", 1},
                     {"i车牌号", "车牌号", 0},
                     {"i发动机号", "发动机号", 2},
                     {"i车架号", "车架号", 3},
                     {"i车型", "车型", 4},
                     {"i车主", "车主", 5},
                     {"i车主ID", "车主ID", 6, true}},
      .valueField = "车辆ID",
      .textField = "车牌号",
      .valueParameter = {},
      .textParameter = {},
      .rereadQuery = {},
      .addCaption = "新建车辆信息",
      .editCaption = "修改车辆信息",
      .deleteCaption = "删除车辆信息",
      .cardProgram = 200012,
      .idColumn = 7,
      .usageQuery = "select top 1 车辆ID from wsdj Where 车辆ID= ",
      .refusalText = "不能删除已启用的车辆信息!",
      .deleteStatement = "delete from clzl where 车辆ID=",
      .successText = "成功删除数据,往来ID号=",
      .nameColumn = 0,
      // Two hundred rows fill a popup several times over; a ten-year shop has hundreds of
      // thousands of vehicles, which no clerk scrolls through and no keystroke should read.
      .paging = {.size = 200,
                 .columns = " 车牌号,车辆编号,发动机号,车架号,车型,公司名称 As 车主,车主ID,车辆ID",
                 .from = " FROM clzl left join pdmwldw on clzl.车主ID=pdmwldw.往来ID WHERE 1=1",
                 .key = "车牌号",
                 .keyColumn = 0,
                 .search = "( 车辆编号 Like '@%' OR 车牌号 Like '@%')",
                 .keyProbe = "SELECT TOP 201 车辆ID FROM clzl WHERE 车牌号 Like '@%'",
                 .otherProbe = "SELECT TOP 1 车辆ID FROM clzl WHERE 车辆编号 Like '@%'",
                 .otherKey = "车辆编号",
                 .keyFrom = " FROM clzl WHERE 1=1",
                 .denseSearch = "(车牌号||'') Like '@%'"},
  };
  return d;
}

const MasterPickerDescription& ItemPicker() {
  static const MasterPickerDescription d{
      .className = "sel_xm",
      .title = "维修项目选择",
      .gridFormat = "项目编码      |维修项目                   |项目属性           |项目ID",
      .hiddenColumns = {3},
      .frozenColumns = 1,
      .loadQuery = std::string(" SELECT 编码 As 项目编码,维修项目,项目属性,AutoID As 项目ID") +
                   "    FROM PDMWXXM" + " ORDER BY 编码 ",
      .validateQuery =
          std::string(
              " SELECT 编码 As 项目编码,维修项目,项目属性,AutoID As 项目ID  FROM PDMWXXM ") +
          "  WHERE ( 编码 Like '@%' OR 维修项目 Like '@%')" + " ORDER BY 编码",

      .properties = {{"i项目ID", "项目ID", 3, true},
                     {"i项目编码", "项目编码", 0},
                     {"i维修项目", "维修项目", 1},
                     {"i项目属性", "项目属性", 2}},
      .valueField = "项目ID",
      .textField = "项目编码",
      .valueParameter = "field_code",
      .textParameter = "field_name",
      .rereadQuery =
          " SELECT 编码 As 项目编码,维修项目,项目属性,AutoID As 项目ID  FROM PDMWXXM  WHERE "
          "AutoID= ",
      .addCaption = "新建维修项目",
      .editCaption = "修改维修项目",
      .deleteCaption = "删除维修项目",
      .cardProgram = 200013,
      .idColumn = 3,
      .usageQuery = "select top 1 项目ID from wsdjxm Where 项目ID= ",
      .refusalText = "不能删除已启用的维修项目!",
      .deleteStatement = "delete from PDMWXXM where Autoid=",
      .successText = "成功删除数据,往来ID号=",
      .paging = {},
  };
  return d;
}

const MasterPickerDescription& CategoryPicker() {
  static const MasterPickerDescription d{
      .className = "sel_wxfl",
      .title = "维修分类选择",
      .gridFormat = "编码      |维修分类                   |说明             |维修分类ID",
      .hiddenColumns = {3},
      .frozenColumns = 1,
      .loadQuery = std::string(" SELECT 编码,维修分类,说明,维修分类ID") + "    FROM PDMWXFL" +
                   " ORDER BY 编码 ",
      .validateQuery = std::string(" SELECT 编码,维修分类,说明,维修分类ID  FROM PDMWXFL ") +
                       "  WHERE ( 编码 Like '@%' OR 维修分类 Like '@%')" + " ORDER BY 编码",

      .properties = {{"i维修分类ID", "维修分类ID", 3, true},
                     {"i编码", "编码", 0},
                     {"i维修分类", "维修分类", 1},
                     {"i说明", "说明", 2}},
      .valueField = "维修分类ID",
      .textField = "维修分类",
      .valueParameter = {},
      .textParameter = {},
      .rereadQuery = " SELECT 编码 ,维修分类,说明,维修分类ID  FROM PDMWXFL  WHERE 维修分类ID= ",
      .addCaption = "新建维修分类",
      .editCaption = "修改维修分类",
      .deleteCaption = "删除维修分类",
      .cardProgram = 200029,
      .idColumn = 3,
      .usageQuery = "select top 1 维修分类ID from wsdj Where 维修分类ID= ",
      .refusalText = "不能删除已启用的维修分类!",
      .deleteStatement = "delete from PDMWXFL where 维修分类ID=",
      .successText = "成功删除数据,维修分类ID号=",
      .paging = {},
  };
  return d;
}

MasterPicker::MasterPicker(const MasterPickerDescription& description)
    : PickerControl(description.className, /*withScrollRate=*/true), description_(description) {
  objects_ = host::PropertyBag(PropertyNames(description_));
  ResetObjects();
  menu_ = &form_.Add<forms::PopupMenu>("m_cMenu");
  menu_->OnPopup = [this] { BuildMenu(); };
  menu_->OnItemClick = [this](const std::string& key) { OnMenu(key); };
}

void MasterPicker::SetupGrid(forms::Grid& grid) {
  grid.SetFormatString(description_.gridFormat);
  grid.SetFrozenCols(description_.frozenColumns);
  for (int c = 0; c < grid.Cols(); ++c) grid.Col(c).alignment = kAlignLeft;
  for (int c : description_.hiddenColumns) grid.SetColHidden(c, true);
}

db::Sql MasterPicker::PageQuery(const std::string* typed, const std::string* after, int limit) {
  db::Sql sql(" SELECT TOP ");
  sql.RowCount(limit).Raw(description_.paging.columns).Raw(description_.paging.from);
  const std::string& key = description_.paging.key;
  if (typed) {
    const bool dense = ManyMatch(*typed);
    const TypedRange range = TypedRangeOf(*typed);
    if (dense && range.whole && RangeFills(range.from, after, limit)) {
      // Every key starting with the typed text in upper case matches it, and every other match
      // sorts past them all: while they fill the page, the page is theirs, read as a range of
      // the key's index that no estimate of the pattern can turn into a sort of the table.
      sql.Raw(" AND " + key + ">=").Text(range.from);
      sql.Raw(" AND " + key + "<").Text(TextsPast(range.from));
    } else {
      sql.Raw(" AND ").Append(
          WithTyped(dense ? description_.paging.denseSearch : description_.paging.search, *typed));
      // The walk starts where the first match can be, not at the first key.
      if (dense) sql.Raw(" AND " + key + ">=").Text(range.from);
    }
  }
  if (after) sql.Raw(" AND " + key + ">").Text(*after);
  sql.Raw(" ORDER BY " + key);
  return sql;
}

bool MasterPicker::RangeFills(const std::string& from, const std::string* after, int limit) {
  const MasterPaging& paging = description_.paging;
  db::Sql sql("SELECT COUNT(*) FROM (SELECT TOP ");
  sql.RowCount(limit)
      .Raw(" " + paging.key + paging.keyFrom + " AND " + paging.key + ">=")
      .Text(from);
  sql.Raw(" AND " + paging.key + "<").Text(TextsPast(from));
  if (after) sql.Raw(" AND " + paging.key + ">").Text(*after);
  std::string error;
  const double count = db::Runner(System()->GetDatabase()).ScalarNumber(sql.Raw(") p"), &error);
  if (!error.empty()) throw std::runtime_error(error);
  return count >= limit;
}

bool MasterPicker::ManyMatch(const std::string& typed) {
  const MasterPaging& paging = description_.paging;
  if (paging.keyProbe.empty() || !System()) return false;
  db::Runner runner(System()->GetDatabase());
  std::string error;
  if (byteOrder_ < 0) {
    // The walk's start holds only where upper case sorts before lower case as bytes do
    // (SQLite; a server database in the C collation); elsewhere every page is sorted.
    byteOrder_ =
        runner.ScalarNumber(db::Sql("SELECT CASE WHEN 'B' < 'a' AND 'Z' < 'b' THEN 1 ELSE 0 END"),
                            &error) == 1
            ? 1
            : 0;
    if (!error.empty()) throw std::runtime_error(error);
  }
  if (typed != probed_) {
    many_ = false;
    auto counted = [&](const std::string& probe, const std::string& rangeKey) {
      db::Sql sql("SELECT COUNT(*) FROM (");
      sql.Append(WithTyped(probe, typed));
      if (!rangeKey.empty()) {
        const TypedRange range = TypedRangeOf(typed);
        sql.Raw(" AND " + rangeKey + ">=").Text(range.from);
        if (!range.below.empty()) sql.Raw(" AND " + rangeKey + "<").Text(range.below);
      }
      return runner.ScalarNumber(sql.Raw(") p"), &error);
    };
    if (byteOrder_ == 1 && counted(paging.keyProbe, {}) > PageSize() && error.empty()) {
      many_ = counted(paging.otherProbe, paging.otherKey) == 0;
    }
    if (!error.empty()) throw std::runtime_error(error);
    // Only the plan depends on it: rows written meanwhile change nothing that is shown.
    probed_ = typed;
  }
  return many_;
}

void MasterPicker::ResetObjects() {
  for (const auto& p : description_.properties) {
    objects_.Set(p.property, p.isId ? db::Value(int64_t{0}) : db::Value(std::string()));
  }
}

std::string MasterPicker::ValueField() const {
  std::string named =
      description_.valueParameter.empty() ? std::string() : Parameter(description_.valueParameter);
  return named.empty() ? description_.valueField : named;
}

std::string MasterPicker::TextField() const {
  std::string named =
      description_.textParameter.empty() ? std::string() : Parameter(description_.textParameter);
  return named.empty() ? description_.textField : named;
}

const MasterProperty* MasterPicker::PropertyOfField(const std::string& field) const {
  for (const auto& p : description_.properties) {
    if (p.field == field) return &p;
  }
  return nullptr;
}

std::string MasterPicker::FieldText(const db::Recordset& record, const std::string& field) const {
  const MasterProperty* p = PropertyOfField(field);
  return p && p->isId ? std::to_string(record.Long(field)) : record.Text(field);
}

void MasterPicker::Choose(int row) {
  ResetObjects();
  value_ = "0";
  text_.clear();
  if (row < 0) return;
  const forms::Grid& grid = Grid();
  for (const auto& p : description_.properties) {
    if (p.isId) {
      objects_.Set(p.property, CellId(grid, row, p.column));
    } else {
      objects_.Set(p.property, grid.TextMatrix(row, p.column));
    }
  }
  const int64_t id = CellId(grid, row, description_.idColumn);
  if (!description_.rereadQuery.empty() && id > 0 && System()) {
    // Value and Text may name any column of the master row (sel_xm's parameters), so the row
    // is read again rather than taken from the grid.
    std::string error;
    auto record =
        db::Runner(System()->GetDatabase()).Open(db::Sql(description_.rereadQuery).Key(id), &error);
    if (!error.empty()) throw std::runtime_error(error);
    if (!record->Eof()) {
      value_ = FieldText(*record, ValueField());
      text_ = FieldText(*record, TextField());
      return;
    }
  }
  auto fromObjects = [this](const std::string& field) {
    const MasterProperty* p = PropertyOfField(field);
    return p ? objects_.Text(p->property) : std::string();
  };
  value_ = fromObjects(ValueField());
  text_ = fromObjects(TextField());
}

bool MasterPicker::Validate(const std::string&, const std::string&, const std::string&,
                            const std::string& typed, std::string& outValue, std::string& outText) {
  ResetObjects();
  value_ = "0";
  text_.clear();
  if (System()) {
    std::string error;
    auto record = db::Runner(System()->GetDatabase())
                      .Open(WithTyped(description_.validateQuery, typed), &error);
    if (!error.empty()) {
      ShowError(error);
    } else if (!record->Eof()) {
      for (const auto& p : description_.properties) {
        if (p.isId) {
          objects_.Set(p.property, record->Long(p.field));
        } else {
          objects_.Set(p.property, record->Text(p.field));
        }
      }
      value_ = FieldText(*record, ValueField());
      text_ = FieldText(*record, TextField());
    }
  }
  outValue = value_;
  outText = text_;
  return false;
}

void MasterPicker::BuildMenu() {
  menu_->Clear();
  menu_->AddItem(description_.addCaption, "Add", kMenuGroup);
  menu_->AddItem(description_.editCaption, "Edit", kMenuGroup);
  menu_->AddItem("-", "-", kMenuGroup);
  menu_->AddItem(description_.deleteCaption, "Delete", kMenuGroup);
}

int64_t MasterPicker::CurrentId() const {
  const forms::Grid& grid = Grid();
  return grid.IsDataRow(grid.Row()) ? CellId(grid, grid.Row(), description_.idColumn) : 0;
}

void MasterPicker::RaiseEditForm(int64_t id, int type) {
  // The card gets no parameters from a picker: Null stands for the empty collection.
  events_.Raise("EditForm", {description_.cardProgram, id, db::Value{}, type});
}

void MasterPicker::OnMenu(const std::string& key) {
  if (key == "Add") {
    RaiseEditForm(0, 1);
  } else if (key == "Edit") {
    if (int64_t id = CurrentId(); id > 0) RaiseEditForm(id, 2);
  } else if (key == "Delete") {
    DeleteCurrent();
  }
}

bool MasterPicker::DeleteCurrent() {
  if (!System()) return false;
  forms::Grid& grid = Grid();
  const int row = grid.Row();
  if (!grid.IsDataRow(row)) return false;
  const int64_t id = CellId(grid, row, description_.idColumn);
  db::IDatabase& database = System()->GetDatabase();
  db::Runner runner(database);

  if (id > 0) {
    std::string error;
    double used = runner.ScalarNumber(db::Sql(description_.usageQuery).Key(id), &error);
    if (!error.empty()) {
      events_.ErrMessage(kDeleteErrorPrefix + error, host::kLevelFailure, description_.title);
      return false;
    }
    if (used > 0) {
      events_.ErrMessage(description_.refusalText, host::kLevelRefusal, description_.title);
      return false;
    }
  }

  if (System()->Dialogs().MessageBox(
          "是否删除当前记录:" + grid.TextMatrix(row, description_.nameColumn),
          "提示:", host::MsgButtons::YesNo, host::MsgIcon::Question) != host::MsgAnswer::Yes) {
    return false;
  }

  bool deleted = false;
  {
    db::Transaction transaction(database);
    if (transaction.Run(db::Sql(description_.deleteStatement).Key(id)) && transaction.Commit()) {
      deleted = true;
    } else {
      events_.ErrMessage(kDeleteErrorPrefix + transaction.Error(), host::kLevelFailure,
                         description_.title);
    }
  }
  database.Close();
  if (!deleted) return false;
  // Reported after the commit, so the message never claims a deletion that was rolled back.
  grid.RemoveRow(row);
  CountLabel().SetCaption("共:" + std::to_string(grid.DataRows()) + "条");
  events_.ErrMessage(description_.successText + std::to_string(id), host::kLevelSuccess,
                     description_.title);
  return true;
}

}  // namespace ws::pickers
