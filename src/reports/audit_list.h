// The audit trail as a list: every save, check, uncheck and delete of the documents and cards in
// a date window, narrowed to one user or one kind of document, or the history of one document.
// What the owner reads to learn who changed what without standing behind the counter.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "db/audit_trail.h"
#include "db/database.h"
#include "forms/grid.h"

namespace ws::reports {

struct AuditRow {
  std::string when;  // "yyyy-mm-dd hh:mm:ss"
  std::string user;
  std::string frontEnd;
  std::string action;  // 新增, 修改, 审核, 弃审, 删除
  std::string documentType;
  std::string caption;  // the kind of document as the menu names it ("维修工单")
  int64_t program = 0;  // the program the document opens in (a card's from the controls)
  int64_t documentId = 0;
  std::string number;
  std::vector<db::FieldChange> changes;
};

struct AuditTrail {
  std::vector<AuditRow> rows;  // in the order they happened
  std::string error;           // a failed statement, or a kind of document nobody knows
};

// The class name of a kind of document typed as the menu names it ("维修工单") or as its class
// ("WS_S"); empty text stays empty (every kind); nullopt for a kind nobody knows.
std::optional<std::string> AuditTypeOf(const std::string& typed);

AuditTrail LoadAuditTrail(db::IDatabase& database, const db::AuditFilter& filter);
// The number the last event of that document recorded; empty when none did (or on a failure,
// which the list's own read then reports).
std::string LatestAuditNumber(db::IDatabase& database, const std::string& className, int64_t id);

// "field: before → after" of each change, joined by "；"; a line of an event written before
// lines had names is shown by its grid's caption and its id.
std::string ChangesText(const std::vector<db::FieldChange>& changes);

// The events as a read-only list; the last two columns, hidden, hold the document's program
// and id, as every report grid of the module does for its double-click.
void FillAuditGrid(const AuditTrail& trail, forms::Grid& grid);

}  // namespace ws::reports
