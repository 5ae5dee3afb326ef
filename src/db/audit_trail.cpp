#include "db/audit_trail.h"

#include <chrono>

#include "db/date.h"

namespace ws::db {

namespace {

constexpr const char* kRefusal = "ws_audit is append-only";

void AddChange(std::vector<FieldChange>& out, std::string field, const std::string& before,
               const std::string& after) {
  if (before != after) out.push_back({std::move(field), before, after});
}

// The name after the change, the one before for a line that is gone; empty for a line that
// has none (a caller that names no lines).
std::string NameOf(const AuditImage& before, const AuditImage& after,
                   const AuditImage::LineKey& key) {
  for (const AuditImage* image : {&after, &before}) {
    auto name = image->lineNames.find(key);
    if (name != image->lineNames.end() && !name->second.empty()) return name->second;
  }
  return {};
}

std::string KeyText(const AuditImage::LineKey& key) {
  return key.first + "#" + std::to_string(key.second);
}

std::string LineName(const AuditImage& before, const AuditImage& after,
                     const AuditImage::LineKey& key) {
  std::string name = NameOf(before, after, key);
  return name.empty() ? KeyText(key) : name;
}

// What a changed value of the line is named after: "<name>·", or the key as events of lines
// without names have always had it, "<set>#<id>.".
std::string ValuePrefix(const AuditImage& before, const AuditImage& after,
                        const AuditImage::LineKey& key) {
  std::string name = NameOf(before, after, key);
  return name.empty() ? KeyText(key) + "." : name + "·";
}

// An added or removed line is one change holding its non-empty values: a new order of thirty
// lines is thirty rows of its history to read, not three hundred, and a lighter row to write.
std::string LineValues(const char* what, const AuditImage::Values& values) {
  std::string out = what;
  const char* separator = ": ";
  for (const auto& [caption, text] : values) {
    if (text.empty()) continue;
    out += separator;
    out += caption;
    out += '=';
    out += text;
    separator = "; ";
  }
  return out;
}

void Escape(std::string& out, const std::string& text) {
  for (char c : text) {
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\n':
        out += "\\n";
        break;
      default:
        out += c;
    }
  }
}

// The day after a "yyyy-mm-dd" date, or the text itself when it is no date.
std::string DayAfter(const std::string& text) {
  auto date = Date::Parse(text);
  if (!date) return text;
  using namespace std::chrono;
  const year_month_day next{sys_days{year{date->year} / date->month / date->day} + days{1}};
  return Date{static_cast<int>(next.year()), static_cast<int>(static_cast<unsigned>(next.month())),
              static_cast<int>(static_cast<unsigned>(next.day()))}
      .Text();
}

}  // namespace

TableDef AuditTable(int since) {
  constexpr auto kId = ColumnKind::Id;
  constexpr auto kText = ColumnKind::Text;
  TableDef table{std::string(kAuditTable),
                 TableRole::Module,
                 {{"单据类型", kText},
                  {"单据ID", kId},
                  {"序号", kId},
                  {"progid", kId},
                  {"单据编号", kText},
                  {"操作", kText},
                  {"用户", kText},
                  {"前端", kText},
                  {"时间", kText},
                  {"变更", kText}},
                 // The history of one document is a range of the key.
                 {"单据类型", "单据ID", "序号"},
                 // Every list of events reads a window of days; one account's events are
                 // that window's rows of the account, which an index of their own would
                 // make every save pay for.
                 {IndexDef("ix_ws_audit_time", {"时间"}, false, {}, since),
                  IndexDef("ix_ws_audit_number", {"单据类型", "单据编号"}, false, {}, since)},
                 since};
  table.maintainedBy = &AuditTriggers;
  return table;
}

std::vector<std::string> AuditTriggers(Engine engine) {
  if (engine == Engine::Postgres) {
    return {std::string("CREATE OR REPLACE FUNCTION ws_audit_refuse() RETURNS trigger LANGUAGE "
                        "plpgsql AS $$ BEGIN RAISE EXCEPTION '") +
                kRefusal + "'; END $$",
            "CREATE TRIGGER ws_audit_refuse BEFORE UPDATE OR DELETE ON ws_audit FOR EACH ROW "
            "EXECUTE FUNCTION ws_audit_refuse()"};
  }
  std::vector<std::string> out;
  for (const char* when : {"UPDATE", "DELETE"}) {
    out.push_back(std::string("CREATE TRIGGER ws_audit_no_") + (when[0] == 'U' ? "upd" : "del") +
                  " BEFORE " + when + " ON ws_audit BEGIN SELECT RAISE(ABORT, '" + kRefusal +
                  "'); END");
  }
  return out;
}

std::string AuditActionText(AuditAction action) {
  switch (action) {
    case AuditAction::Insert:
      return "新增";
    case AuditAction::Update:
      return "修改";
    case AuditAction::Check:
      return "审核";
    case AuditAction::UnCheck:
      return "弃审";
    case AuditAction::Delete:
      return "删除";
  }
  return {};
}

std::string AuditLineName(const std::string& caption, int position, const std::string& code,
                          const std::string& name) {
  std::string out = caption + "第" + std::to_string(position) + "行";
  const std::string what = code.empty() || name.empty() ? code + name : code + " " + name;
  if (!what.empty()) out += "（" + what + "）";
  return out;
}

std::vector<FieldChange> CompareImages(const AuditImage& before, const AuditImage& after) {
  std::vector<FieldChange> out;
  for (const auto& [column, was] : before.header) {
    auto now = after.header.find(column);
    if (now != after.header.end()) AddChange(out, column, was, now->second);
  }
  for (const auto& [key, was] : before.lines) {
    auto now = after.lines.find(key);
    if (now == after.lines.end()) {
      out.push_back({LineName(before, {}, key), LineValues("原有行", was), "已删除"});
      continue;
    }
    const std::string line = ValuePrefix(before, after, key);
    for (const auto& [caption, text] : was) {
      auto value = now->second.find(caption);
      AddChange(out, line + caption, text,
                value == now->second.end() ? std::string() : value->second);
    }
    for (const auto& [caption, text] : now->second) {
      if (!was.contains(caption)) AddChange(out, line + caption, "", text);
    }
  }
  for (const auto& [key, values] : after.lines) {
    if (before.lines.contains(key)) continue;
    out.push_back({LineName({}, after, key), "", LineValues("新增行", values)});
  }
  return out;
}

std::vector<FieldChange> NewImageChanges(const AuditImage& after) {
  std::vector<FieldChange> out;
  for (const auto& [column, value] : after.header) {
    if (!value.empty()) out.push_back({column, "", value});
  }
  for (auto& line : CompareImages({}, {{}, after.lines, after.lineNames})) {
    out.push_back(std::move(line));
  }
  return out;
}

std::string EncodeChanges(const std::vector<FieldChange>& changes) {
  std::string out;
  for (const auto& change : changes) {
    Escape(out, change.field);
    out += '\t';
    Escape(out, change.before);
    out += '\t';
    Escape(out, change.after);
    out += '\n';
  }
  return out;
}

std::vector<FieldChange> DecodeChanges(const std::string& text) {
  std::vector<FieldChange> out;
  FieldChange change;
  std::string* parts[] = {&change.field, &change.before, &change.after};
  size_t part = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\\' && i + 1 < text.size()) {
      const char next = text[++i];
      *parts[part] += next == 't' ? '\t' : next == 'n' ? '\n' : next;
    } else if (c == '\t') {
      if (part < 2) ++part;
    } else if (c == '\n') {
      out.push_back(std::move(change));
      change = {};
      part = 0;
    } else {
      *parts[part] += c;
    }
  }
  if (part > 0 || !change.field.empty()) out.push_back(std::move(change));
  return out;
}

Sql AuditInsert(const AuditEvent& event, const AuditSession& session, const std::string& when) {
  // The casts give the server the types of values it would otherwise read as text in a
  // SELECT list.
  return Sql("INSERT INTO ws_audit (单据类型, 单据ID, 序号, progid, 单据编号, 操作, 用户, 前端, "
             "时间, 变更) SELECT ")
      .Text(event.documentType)
      .Raw(", CAST(")
      .Key(event.documentId)
      .Raw(" AS BIGINT), COALESCE(MAX(序号), 0) + 1, CAST(")
      .Key(event.program)
      .Raw(" AS BIGINT), ")
      .Text(event.number)
      .Raw(", ")
      .Text(AuditActionText(event.action))
      .Raw(", ")
      .Text(session.user)
      .Raw(", ")
      .Text(session.frontEnd)
      .Raw(", ")
      .Text(when)
      .Raw(", ")
      .Text(EncodeChanges(event.changes))
      .Raw(" FROM ws_audit WHERE 单据类型=")
      .Text(event.documentType)
      .Raw(" AND 单据ID=")
      .Key(event.documentId);
}

bool AppendAudit(Transaction& tx, const AuditEvent& event, const AuditSession& session) {
  // Nothing reads the event back: it travels with the save's next statement or its commit.
  return tx.Send(AuditInsert(event, session, NowStamp()));
}

Sql AuditSelect(const AuditFilter& filter) {
  Sql sql(
      "SELECT 时间, 用户, 前端, 操作, 单据类型, progid, 单据ID, 序号, 单据编号, 变更 FROM ws_audit "
      "WHERE 1=1");
  if (!filter.documentType.empty()) sql.Raw(" AND 单据类型=").Text(filter.documentType);
  if (filter.documentId > 0) sql.Raw(" AND 单据ID=").Key(filter.documentId);
  if (!filter.user.empty()) sql.Raw(" AND 用户=").Text(filter.user);
  if (!filter.number.empty()) {
    sql.Raw(" AND 单据ID IN (SELECT 单据ID FROM ws_audit WHERE 单据编号=")
        .Text(filter.number)
        .Raw(filter.documentType.empty() ? ")" : " AND 单据类型=");
    if (!filter.documentType.empty()) sql.Text(filter.documentType).Raw(")");
  }
  if (!filter.fromDate.empty()) sql.Raw(" AND 时间>=").Text(filter.fromDate);
  if (!filter.toDate.empty()) sql.Raw(" AND 时间<").Text(DayAfter(filter.toDate));
  return sql.Raw(" ORDER BY 时间, 单据类型, 单据ID, 序号");
}

}  // namespace ws::db
