// The audit trail: an append-only history of every save, check, uncheck and delete of a document
// or a card. One row per event (who, when, from which front end, which document, what was done)
// holding the changed fields of the event as one compact text. One row per event rather than one
// per field: a save writes a single extra statement whatever it changed, which keeps a thirty-line
// order's save as quick as it was, and both the history of a document and the report read
// events, never single fields.
//
// The row is written inside the transaction of the change it records, so a change that rolls
// back leaves no row and a row never speaks of a change that did not happen. Triggers refuse
// every UPDATE and DELETE of the table on both engines; on the server no group role holds those
// rights either (platform/server_logins.cpp).
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "db/catalogue.h"
#include "db/recordset.h"
#include "db/runner.h"
#include "db/sql.h"

namespace ws::db {

inline constexpr std::string_view kAuditTable = "ws_audit";

// The table's description (module subsystem, from `since` on) and its append-only triggers.
TableDef AuditTable(int since);
std::vector<std::string> AuditTriggers(Engine engine);

enum class AuditAction { Insert, Update, Check, UnCheck, Delete };
// The word an event is stored and shown with: 新增, 修改, 审核, 弃审, 删除.
std::string AuditActionText(AuditAction action);

struct FieldChange {
  std::string field;
  std::string before;
  std::string after;
  bool operator==(const FieldChange&) const = default;
};

// A document or card as one window saw it: the header's values by column, each line's values
// by caption, the lines keyed by (line set, line id). A line not yet saved has no image before.
// A line is named in the history as the clerk knows it (AuditLineName), by the name its image
// holds; the key only pairs a line's two images, and a line without a name is told by it.
struct AuditImage {
  using LineKey = std::pair<std::string, int64_t>;
  using Values = std::map<std::string, std::string>;
  Values header;
  std::map<LineKey, Values> lines;
  std::map<LineKey, std::string> lineNames = {};
};

// "<grid caption>第<position>行（<code> <name>）", what is empty left out: "维修配件第2行（PJ00005
// 机油滤清器）". The position is the line's among the saved lines, from 1; a code with a name
// tells a line that moved, the position one of two lines of the same part.
std::string AuditLineName(const std::string& caption, int position, const std::string& code,
                          const std::string& name);

// What changed from `before` to `after`. A header value is compared only where both images
// hold it: values a save computes (totals, program, period) are not what the clerk typed.
// A line only after is added (its name from "" to "新增行: <caption>=<value>; ..." with its
// non-empty values), a line only before is removed (from "原有行: ..." likewise to "已删除");
// a line in both lists its changed values as "<name>·<caption>". A line's name is the one after
// the change, a removed line's the one before. Events written before lines had names hold
// "<set>#<id>" and "<set>#<id>.<caption>" instead.
std::vector<FieldChange> CompareImages(const AuditImage& before, const AuditImage& after);
// Every non-empty value of a new document or card, as changed from nothing.
std::vector<FieldChange> NewImageChanges(const AuditImage& after);

// The changes as stored: one "field\tbefore\tafter" line each, with backslash, tab and newline
// escaped, so any text travels and reads back whole.
std::string EncodeChanges(const std::vector<FieldChange>& changes);
std::vector<FieldChange> DecodeChanges(const std::string& text);

// Who did it and from where: the logged-in account and the front end ("desk", "script", "ws").
struct AuditSession {
  std::string user;
  std::string frontEnd;
};

struct AuditEvent {
  std::string documentType;  // the control's class name: "WS_S", "CKLl_WS", "PDM_clAdd"
  int64_t program = 0;       // the program number of a document (0 for a card)
  int64_t documentId = 0;
  std::string number;  // the document's number or the card's code, as shown
  AuditAction action = AuditAction::Update;
  std::vector<FieldChange> changes;
};

// The INSERT of one event, numbered after the document's last event (the document's row is
// held by the transaction that changes it, so two events of one document never share a number).
Sql AuditInsert(const AuditEvent& event, const AuditSession& session, const std::string& when);
// Appends the event inside tx; false (and tx failed) when the database refused it. On a
// server the refusal may come with the next statement of tx or its commit instead.
bool AppendAudit(Transaction& tx, const AuditEvent& event, const AuditSession& session);

// What the history and the report filter events by; empty or 0 fields do not filter.
struct AuditFilter {
  std::string documentType = {};
  int64_t documentId = 0;
  std::string user = {};
  // Every event of the documents of the type that carried this number in any event: a
  // document renumbered by a later save keeps its whole history.
  std::string number = {};
  std::string fromDate = {};  // "yyyy-mm-dd", inclusive
  std::string toDate = {};    // "yyyy-mm-dd", inclusive
};
// The events of the filter in the order they happened: 时间, 用户, 前端, 操作, 单据类型, progid,
// 单据ID, 序号, 单据编号, 变更.
Sql AuditSelect(const AuditFilter& filter);

}  // namespace ws::db
