#include "reports/audit_list.h"

#include <string_view>
#include <utility>

#include "db/default_config.h"
#include "db/runner.h"
#include "forms/text.h"
#include "reports/list_grid.h"

namespace ws::reports {

namespace {

const db::ControlEntry* ControlOf(const std::string& className) {
  for (const auto& entry : db::DefaultControls()) {
    if (forms::EqualsIgnoringCase(entry.className, className)) return &entry;
  }
  return nullptr;
}

// The lines of events written before lines had names: "<grid>#<id>" or "<grid>#<id>.<column>".
// Those events came from these grids only; the captions are the ones their forms showed.
std::string OldLineField(const std::string& field) {
  static constexpr std::pair<std::string_view, std::string_view> kGrids[] = {
      {"ywGridXM", "维修项目"}, {"ywGridPJ", "维修配件"}, {"ywGrid", "明细"}};
  const size_t hash = field.find('#');
  if (hash == std::string::npos) return field;
  size_t end = hash + 1;
  while (end < field.size() && field[end] >= '0' && field[end] <= '9') ++end;
  if (end == hash + 1 || (end < field.size() && field[end] != '.')) return field;
  const std::string_view grid(field.data(), hash);
  for (const auto& [name, caption] : kGrids) {
    if (grid != name) continue;
    // The id is all such an event knows of the line: kept, so two lines stay apart.
    std::string out =
        std::string(caption) + "（行ID " + field.substr(hash + 1, end - hash - 1) + "）";
    if (end < field.size()) out += "·" + field.substr(end + 1);
    return out;
  }
  return field;
}

}  // namespace

std::optional<std::string> AuditTypeOf(const std::string& typed) {
  const std::string text = forms::Trim(typed);
  if (text.empty()) return text;
  for (const auto& entry : db::DefaultControls()) {
    if (entry.caption == text || forms::EqualsIgnoringCase(entry.className, text)) {
      return entry.className;
    }
  }
  return std::nullopt;
}

AuditTrail LoadAuditTrail(db::IDatabase& database, const db::AuditFilter& filter) {
  AuditTrail trail;
  auto rows = db::Runner(database).Open(db::AuditSelect(filter), &trail.error);
  for (; trail.error.empty() && !rows->Eof(); rows->MoveNext()) {
    AuditRow row;
    row.when = rows->Text("时间");
    row.user = rows->Text("用户");
    row.frontEnd = rows->Text("前端");
    row.action = rows->Text("操作");
    row.documentType = rows->Text("单据类型");
    row.program = rows->Long("progid");
    row.documentId = rows->Long("单据ID");
    row.number = rows->Text("单据编号");
    row.changes = db::DecodeChanges(rows->Text("变更"));
    if (const db::ControlEntry* control = ControlOf(row.documentType)) {
      row.caption = control->caption;
      if (row.program == 0) row.program = control->programNumber;
    } else {
      row.caption = row.documentType;
    }
    trail.rows.push_back(std::move(row));
  }
  return trail;
}

std::string LatestAuditNumber(db::IDatabase& database, const std::string& className, int64_t id) {
  std::string error;
  return db::Runner(database).ScalarText(
      db::Sql("SELECT TOP 1 单据编号 FROM ws_audit WHERE 单据类型=")
          .Text(className)
          .Raw(" AND 单据ID=")
          .Key(id)
          .Raw(" ORDER BY 序号 DESC"),
      &error);
}

std::string ChangesText(const std::vector<db::FieldChange>& changes) {
  std::string text;
  for (const auto& change : changes) {
    if (!text.empty()) text += "；";
    text += OldLineField(change.field) + ": " + change.before + " → " + change.after;
  }
  return text;
}

namespace {

// The audit list's columns; the document's program and id hidden.
const ListColumns& AuditColumns() {
  static const ListColumns columns = {{"时间", 19},
                                      {"用户", 8},
                                      {"前端", 6},
                                      {"操作", 4},
                                      {"单据类型", 12},
                                      {"单据编号", 14},
                                      {"修改内容", 60},
                                      ListColumn{"progid", 0}.Hidden(),
                                      ListColumn{"单据ID", 0}.Hidden()};
  return columns;
}

}  // namespace

void FillAuditGrid(const AuditTrail& trail, forms::Grid& grid) {
  SetupListGrid(grid, AuditColumns());
  for (const AuditRow& row : trail.rows) {
    AddListRow(grid, {row.when, row.user, row.frontEnd, row.action, row.caption, row.number,
                      ChangesText(row.changes), std::to_string(row.program),
                      std::to_string(row.documentId)});
  }
}

}  // namespace ws::reports
