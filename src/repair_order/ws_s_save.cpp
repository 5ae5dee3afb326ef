// FileSave: validity, the work-order number, then the vehicle, the removed lines, the header
// and the lines in one transaction.
#include <cstdint>
#include <stdexcept>
#include <vector>

#include "db/runner.h"
#include "db/value.h"
#include "host/app.h"
#include "repair_order/ws_s.h"

namespace ws::repair_order {

namespace {

constexpr const char* kEmptyDate = "1900-01-01";

}  // namespace

bool WS_S::IsCanSave() {
  return Guarded("IsCanSave:", [&] {
    for (auto* widget : form_.Array(kFieldArray)) {
      auto* field = static_cast<forms::Field*>(widget);
      if (field->Visible() && field->Enabled() && !field->Valid()) return false;
    }
    return true;
  });
}

bool WS_S::SettleNumber(std::string& number) {
  if (CurrentId() > 0) {
    std::string error;
    std::string rule =
        db::Runner(Database()).ScalarText(db::Sql(SaveRuleSelect(ProgramNumber())), &error);
    if (!error.empty()) throw std::runtime_error(error);
    // Under the rule every re-save is a new revision of the order; an emptied number becomes
    // revision "-1" like any number without one.
    if (db::NumericValue(rule) == 1) number = NextRevision(number);
    return true;
  }
  return System().NewBillNo(ProgramNumber(), Login().loginDate, number, false);
}

OrderHeader WS_S::CollectHeader(const std::string& number, int64_t vehicleId) const {
  OrderHeader h;
  h.enteredBy = Header(kEnteredBy).Text();
  h.entryDate = Header(kEntryDate).Text();
  h.number = number;
  h.ownerId = Header(kOwner).KeyLong();
  h.department = Header(kDepartment).Text();
  h.maker = Header(kMaker).Text();
  h.dateIn = Header(kDateIn).Text();
  h.vehicleId = vehicleId;
  h.person = Header(kPerson).Text();
  h.telephone = Header(kTelephone).Text();
  h.category = Header(kCategory).Text();
  h.categoryId = Header(kCategory).KeyLong();
  h.dateOut = Trim(Header(kDateOut).Text()).empty() ? kEmptyDate : Header(kDateOut).Text();
  h.receptionist = Header(kReceptionist).Text();
  h.invoice = Header(kInvoice).Text();
  h.mileage = Header(kMileage).Text();
  h.labour = Header(kLabour).Text();
  h.parts = Header(kParts).Text();
  h.diagnosis = Header(kDiagnosis).Text();
  h.inspection = Header(kInspection).Text();
  h.total = Header(kTotal).Text();
  return h;
}

bool WS_S::FileSave() {
  if (!HasSystem() || !items_) return false;
  if (!IsCanSave()) {
    Database().Close();
    return false;
  }
  bool saved = false;
  try {
    saved = SaveOrder();
  } catch (const std::exception& e) {
    // Only a failing statement gets here; the transaction guard has rolled back.
    ReportError(e.what());
  }
  Database().Close();
  return saved;
}

bool WS_S::SaveOrder() {
  // The number is settled on a copy: a refused save leaves the typed number in the field.
  std::string number = Trim(Header(kNumber).Text());
  if (!SettleNumber(number)) return false;
  if (number.empty()) {
    Ask("工单号码为空，不能保存  ", Title(), host::MsgButtons::Ok, host::MsgIcon::Information);
    form_.SetFocus(&Header(kNumber));
    return false;
  }

  const bool existing = CurrentId() > 0;
  const int64_t program = ProgramNumber();
  std::string error;
  auto duplicate =
      db::Runner(Database())
          .Open(db::Sql(existing ? DuplicateOfExistingSelect(CurrentId(), program, number)
                                 : DuplicateOfNewSelect(number, program)),
                &error);
  if (!error.empty()) throw std::runtime_error(error);
  if (!duplicate->Eof()) {
    Ask("工单号码重复,请检查!", existing ? "提示：" : Title(), host::MsgButtons::Ok,
        host::MsgIcon::Information);
    form_.SetFocus(&Header(kNumber));
    return false;
  }

  db::Transaction tx(Database());
  if (tx.Failed()) throw std::runtime_error(tx.Error());
  auto newId = [&](const char* table, const char* key) {
    int64_t id = 0;
    if (std::string failure = Navigator().GetNewID(table, key, id); !failure.empty()) {
      tx.Fail(failure);
    }
    return id;
  };

  // The vehicle master follows the plate on the order; a plate it lacks becomes a new car.
  int64_t vehicleId = Header(kPlate).KeyLong();
  std::string plate = Trim(Header(kPlate).Text());
  if (!plate.empty()) {
    VehicleValues vehicle{plate, Trim(Header(kEngine).Text()), Trim(Header(kChassis).Text()),
                          Trim(Header(kModel).Text()), Header(kOwner).KeyLong()};
    std::string failure;
    vehicleId =
        static_cast<int64_t>(tx.Db().ScalarNumber(db::Sql(VehicleIdSelect(plate)), &failure));
    if (failure.empty()) {
      if (vehicleId > 0) {
        tx.Run(db::Sql(VehicleUpdate(vehicleId, vehicle)));
      } else {
        vehicleId = newId("clzl", "车辆ID");
        tx.Run(db::Sql(VehicleInsert(vehicleId, vehicle)));
      }
      failure = tx.Error();
    }
    if (!failure.empty()) {
      // Nothing of the order is written without its vehicle.
      tx.Rollback();
      Ask(failure, Title(), host::MsgButtons::Ok, host::MsgIcon::None);
      return false;
    }
  }

  for (LineKind kind : {LineKind::Items, LineKind::Parts}) {
    if (!Lines(kind).Removed().empty())
      tx.Run(db::Sql(DeleteLinesStatement(kind, Lines(kind).Removed())));
  }

  OrderHeader header = CollectHeader(number, vehicleId);
  int64_t orderId = CurrentId();
  if (existing) {
    tx.Run(db::Sql(HeaderUpdate(header, orderId, Driver())));
  } else {
    orderId = newId("wsdj", "单据ID");
    tx.Run(db::Sql(HeaderInsert(header, orderId, program, Driver())));
  }
  std::vector<int64_t> lineIds[2];
  for (LineKind kind : {LineKind::Items, LineKind::Parts}) {
    for (OrderLine line : Lines(kind).SavedLines()) {
      if (tx.Failed()) break;
      if (line.lineId <= 0) {
        line.lineId = newId(kind == LineKind::Items ? "wsdjxm" : "wsdjpj", "单据明细ID");
        tx.Run(db::Sql(LineInsert(kind, line, orderId)));
      } else {
        tx.Run(db::Sql(LineUpdate(kind, line)));
      }
      lineIds[kind == LineKind::Items ? 0 : 1].push_back(line.lineId);
    }
  }
  if (tx.Failed() || !tx.Commit()) {
    ReportError(tx.Error());
    return false;
  }

  // Written: the removed lines are gone for good, and the form knows the new lines and the
  // order as saved, even if reading them back below fails; a later save updates them instead
  // of inserting them twice.
  items_->ForgetRemoved();
  parts_->ForgetRemoved();
  items_->SetSavedLineIds(lineIds[0]);
  parts_->SetSavedLineIds(lineIds[1]);
  Header(kPlate).SetKey(vehicleId);
  SetCurrentId(orderId);
  if (RequestedId() >= 1 && RequestedId() != orderId) {
    SetRequestedId(orderId);
    BuildBaseCondition();
  }
  if (!SearchList("单据ID=" + std::to_string(orderId), false)) return false;
  SetEditState(false);
  SetDirty(false);
  events_.Message("保存单据成功！");
  return true;
}

}  // namespace ws::repair_order
