#include "harness/order_clerk.h"

#include <algorithm>

#include "db/runner.h"
#include "db/sql.h"
#include "forms/input.h"
#include "platform/sqlite_database.h"
#include "support/first_row_picker.h"

namespace ws::harness {

using framework::LineGrid;
using repair_order::LineKind;
using repair_order::WS_S;

namespace {

std::vector<std::string> Codes(db::IDatabase& db, const char* sql, std::string* error) {
  std::vector<std::string> codes;
  auto rs = db::Runner(db).Open(db::Sql(sql), error);
  for (; error->empty() && !rs->Eof(); rs->MoveNext()) codes.push_back(rs->Field(0).ToText());
  return codes;
}

}  // namespace

OrderClerk::OrderClerk(db::IDatabase& db, const std::string& user, const db::Date& loginDate)
    : OrderClerk(db, user, loginDate, nullptr) {}

OrderClerk::OrderClerk(db::IDatabase& db, const std::string& user, const db::Date& loginDate,
                       std::shared_ptr<platform::ListCounts> counts)
    : db_(db) {
  host::LoginInfo login{user, loginDate, std::string()};
  system_ = std::make_unique<platform::SystemObject>(db_, dialogs_, login);
  if (counts) system_->ShareListCounts(std::move(counts));
  system_->SetRunPickerHandler(test::TakeFirstRow);
  std::string error;
  itemCodes_ = Codes(db_, "SELECT 编码 FROM PDMWXXM WHERE 编码<>'' ORDER BY AutoID", &error);
  if (error.empty()) {
    partCodes_ =
        Codes(db_, "SELECT 物品编码 FROM PDMCPML WHERE 物品编码<>'' ORDER BY 产品ID", &error);
  }
  if (error.empty()) {
    plate_ = db::Runner(db_).ScalarText(db::Sql("SELECT 车牌号 FROM clzl ORDER BY 车辆ID"), &error);
  }
  if (!error.empty()) {
    problem_ = error;
  } else if (itemCodes_.empty() || partCodes_.empty()) {
    problem_ = "the shop has no repair items or no parts";
  }
  order_ = std::make_unique<WS_S>();
  order_->Events().AttachSink(&sink_);
  if (problem_.empty() && !order_->Init(*system_, kOrderProgram, 0)) {
    problem_ = "the repair order control would not start";
  }
}

bool OrderClerk::TypeLine(LineKind kind, int row, const std::string& code, int quantity,
                          double price) {
  auto& grid = order_->Lines(kind).Grid();
  forms::Input::Click(
      order_->Form().Get<forms::Widget>(kind == LineKind::Items ? WS_S::kItemTab : WS_S::kPartTab));
  return forms::Input::EditCell(grid, row, LineGrid::kCode, code) &&
         forms::Input::EditCell(grid, row, LineGrid::kQuantity, std::to_string(quantity)) &&
         forms::Input::EditCell(grid, row, LineGrid::kPrice, db::DecimalText(price));
}

SaveOutcome OrderClerk::SaveNewOrder(int lines, const std::string& number) {
  dialogs_.Clear();
  sink_.Clear();
  SaveOutcome outcome;
  if (!problem_.empty() || !order_->FileNew()) {
    outcome.shown.push_back(problem_.empty() ? "FileNew refused" : problem_);
    return Finish(outcome);
  }
  if (!number.empty()) forms::Input::Type(order_->Header(WS_S::kNumber), number);
  if (!plate_.empty()) forms::Input::Type(order_->Header(WS_S::kPlate), plate_);
  int itemRow = 0;
  int partRow = 0;
  for (int line = 0; line < lines; ++line) {
    ++typed_;
    const bool item = line % 2 == 0;
    const auto& codes = item ? itemCodes_ : partCodes_;
    const std::string& code = codes[static_cast<size_t>(typed_) % codes.size()];
    const int quantity = 1 + static_cast<int>(typed_ % 3);
    const double price = 10 + static_cast<double>(typed_ % 17);
    const int row = item ? ++itemRow : ++partRow;
    if (!TypeLine(item ? LineKind::Items : LineKind::Parts, row, code, quantity, price)) {
      outcome.shown.push_back("line " + std::to_string(line + 1) + " was not taken: " + code);
      order_->FileCancel();
      return Finish(outcome);
    }
  }
  outcome.number = order_->Header(WS_S::kNumber).Text();
  if (beforeSave_) beforeSave_();
  outcome.saved = order_->FileSave();
  if (!outcome.saved) order_->FileCancel();
  return Finish(outcome);
}

SaveOutcome OrderClerk::Finish(SaveOutcome outcome) {
  for (const auto& box : dialogs_.Boxes()) outcome.shown.push_back(box.text);
  for (const auto& text : sink_.ErrMessages()) outcome.shown.push_back(text);
  if (outcome.saved) outcome.id = order_->GetID();
  return outcome;
}

int CountBusyTexts(const std::vector<std::string>& shown) {
  return static_cast<int>(std::count_if(shown.begin(), shown.end(), [](const std::string& text) {
    return text.find("locked") != std::string::npos || text.find("busy") != std::string::npos ||
           text.find(platform::kDatabaseBusyText) != std::string::npos;
  }));
}

}  // namespace ws::harness
