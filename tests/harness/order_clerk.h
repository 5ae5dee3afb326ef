// A counter clerk entering repair orders through the real WS_S control, as a harness's user:
// New, a plate, lines typed code by code (a picker dropping down on each code takes its first
// row), Save. Everything the control shows the clerk is kept so a harness can tell a refused
// save from a lost one.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "db/database.h"
#include "db/date.h"
#include "platform/system_object.h"
#include "repair_order/ws_s.h"
#include "support/recording_sink.h"
#include "support/scripted_dialogs.h"

namespace ws::harness {

inline constexpr int64_t kOrderProgram = 200001;

struct SaveOutcome {
  bool saved = false;
  int64_t id = 0;
  std::string number;
  // Texts of message boxes and ErrMessage events raised by this save.
  std::vector<std::string> shown;
};

class OrderClerk {
 public:
  // The database must hold a shop with repair items and parts (e.g. a demo shop).
  OrderClerk(db::IDatabase& db, const std::string& user, const db::Date& loginDate);
  // A clerk whose order tab shares the list counts of a desk already open on the database.
  OrderClerk(db::IDatabase& db, const std::string& user, const db::Date& loginDate,
             std::shared_ptr<platform::ListCounts> counts);

  // Why the clerk cannot work (no items or parts, the control would not start); empty if fine.
  const std::string& Problem() const { return problem_; }

  // A new order of `lines` lines (items and parts alternating, quantity 1..3) with the number
  // the host proposes, or `number` when not empty.
  SaveOutcome SaveNewOrder(int lines, const std::string& number = {});

  // Called just before Save is pressed (the form is typed in full).
  void OnSave(std::function<void()> beforeSave) { beforeSave_ = std::move(beforeSave); }

 private:
  bool TypeLine(repair_order::LineKind kind, int row, const std::string& code, int quantity,
                double price);
  SaveOutcome Finish(SaveOutcome outcome);

  db::IDatabase& db_;
  test::ScriptedDialogs dialogs_;
  test::RecordingSink sink_;
  std::unique_ptr<platform::SystemObject> system_;
  std::unique_ptr<repair_order::WS_S> order_;
  std::vector<std::string> itemCodes_;
  std::vector<std::string> partCodes_;
  std::function<void()> beforeSave_;
  std::string plate_;
  std::string problem_;
  int64_t typed_ = 0;
};

// Every text in `shown` that tells the user the database was busy ("database is locked" in the
// engine's or the shop's words).
int CountBusyTexts(const std::vector<std::string>& shown);

}  // namespace ws::harness
