// FileSave: the repair order's hooks of the document save: the number rules, the duplicate
// check under the write lock, and the vehicle master kept in step with the plate.
#include <cstdint>
#include <stdexcept>

#include "db/runner.h"
#include "db/value.h"
#include "framework/columns.h"
#include "host/app.h"
#include "repair_order/ws_s.h"

namespace ws::repair_order {

namespace col = framework::col;

bool WS_S::ValidateSave() {
  if (!Guarded("IsCanSave:", [&] { return framework::Document::ValidateSave(); })) return false;
  // Told before anything is written; the clerk's answer does not stop the save.
  WarnVin();
  return true;
}

void WS_S::SettleNumber(std::string& number) {
  // A new order's number stands as typed; the save registers it with its counter.
  if (CurrentId() <= 0) return;
  std::string rule = db::Runner(Database()).ScalarTextOrThrow(SaveRuleSelect(ProgramNumber()));
  // Under the rule every re-save is a new revision of the order; an emptied number becomes
  // revision "-1" like any number without one.
  if (db::NumericValue(rule) == 1) number = NextRevision(number);
}

bool WS_S::PrepareSave(framework::RowValues& values, bool isNew) {
  // The number is settled on a copy: a refused save leaves the typed number in the field.
  std::string number = Trim(Header(kNumber).Text());
  SettleNumber(number);
  if (number.empty()) {
    Ask("工单号码为空，不能保存  ", Title(), host::MsgButtons::Ok, host::MsgIcon::Information);
    form_.SetFocus(&Header(kNumber));
    return false;
  }
  values[col::kOrderNumber] = number;
  if (isNew) {
    values[col::kOrderProgram] = db::DecimalText(static_cast<double>(ProgramNumber()));
    values[col::kMark] = "01";
    values[col::kSystem] = "填单";
  }
  return true;
}

db::Sql WS_S::DuplicateNumberSelect(const framework::SaveContext& ctx) const {
  const std::string& number = ctx.values.at(col::kOrderNumber);
  return ctx.isNew ? DuplicateOfNewSelect(number, ProgramNumber())
                   : DuplicateOfExistingSelect(ctx.id, ProgramNumber(), number);
}

void WS_S::RefuseDuplicateNumber(bool isNew) {
  Ask("工单号码重复,请检查!", isNew ? Title() : "提示：", host::MsgButtons::Ok,
      host::MsgIcon::Information);
  form_.SetFocus(&Header(kNumber));
}

void WS_S::ReadAheadChecks(framework::SaveContext& ctx) {
  framework::Document::ReadAheadChecks(ctx);
  if (std::string plate = Trim(Header(kPlate).Text()); !plate.empty()) {
    ctx.tx.Db().ReadAhead(VehicleIdSelect(plate));
  }
}

bool WS_S::BeforeHeader(framework::SaveContext& ctx) {
  // The vehicle master follows the plate on the order; a plate it lacks becomes a new car.
  std::string plate = Trim(Header(kPlate).Text());
  if (plate.empty()) return true;
  db::Transaction& tx = ctx.tx;
  VehicleValues vehicle{plate, Trim(Header(kEngine).Text()), Trim(Header(kChassis).Text()),
                        Trim(Header(kModel).Text()), Header(kOwner).KeyLong()};
  std::string failure;
  auto vehicleId = static_cast<int64_t>(tx.Db().ScalarNumber(VehicleIdSelect(plate), &failure));
  if (failure.empty()) {
    if (vehicleId > 0) {
      // Nobody reads what the update did: on a server it goes with the order's next statement.
      tx.Send(VehicleUpdate(vehicleId, vehicle));
    } else {
      vehicleId = NewId(tx, "clzl", "车辆ID");
      tx.Run(VehicleInsert(vehicleId, vehicle));
    }
    failure = tx.Error();
  }
  if (!failure.empty()) {
    // Nothing of the order is written without its vehicle.
    tx.Rollback();
    Ask(failure, Title(), host::MsgButtons::Ok, host::MsgIcon::None);
    return false;
  }
  ctx.values[col::kVehicleId] = db::DecimalText(static_cast<double>(vehicleId));
  return true;
}

void WS_S::AfterCommit(const framework::SaveContext& ctx) {
  if (auto it = ctx.values.find(col::kVehicleId); it != ctx.values.end())
    Header(kPlate).SetKey(it->second);
}

}  // namespace ws::repair_order
