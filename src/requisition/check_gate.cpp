#include "requisition/check_gate.h"

#include <stdexcept>
#include <string>

#include "db/runner.h"
#include "db/sql.h"

namespace ws::requisition {

std::optional<std::string> StoredMark(db::Runner& runner, int64_t documentId) {
  std::string error;
  auto row = runner.Open(db::Sql(" SELECT smark FROM jxcdj WHERE 单据ID=").Key(documentId), &error);
  if (!error.empty()) throw std::runtime_error(error);
  if (row->Eof()) return std::nullopt;
  return row->Text("smark");
}

bool IsChecked(db::IDatabase& db, int64_t documentId) {
  db::Runner runner(db);
  return StoredMark(runner, documentId) == "02";
}

}  // namespace ws::requisition
