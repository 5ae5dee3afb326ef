// The header fields of the repair order while it is typed: format checks, lookups through the
// host pickers, the vehicle and its last visit, and the fees.
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <stdexcept>

#include "db/runner.h"
#include "db/value.h"
#include "forms/text.h"
#include "repair_order/ws_s.h"

namespace ws::repair_order {

namespace {

constexpr auto SameText = &forms::EqualsIgnoringCase;

// The column of WSDJ whose earlier values a distinct-value field offers.
const char* DistinctColumn(int index) {
  switch (index) {
    case WS_S::kDepartment:
      return "主管部门";
    case WS_S::kMaker:
      return "车厂";
    case WS_S::kReceptionist:
      return "接待人";
    default:
      return nullptr;
  }
}

}  // namespace

std::string WS_S::PickerNameOf(int index) const {
  switch (index) {
    case kOwner:
      return "pdmkh_j";
    case kCategory:
      return "pdmwxfl";
    case kPlate:
      return "pdmcl";
    case kDepartment:
    case kMaker:
    case kReceptionist:
      return "pdmty_inner_j";
    default:
      return {};
  }
}

std::string WS_S::Hint(const forms::Field& field) const {
  return Trim(field.Caption()) + "输入有误，请重新输入！";
}

PickerParameters WS_S::DistinctValueParameters(int index) const {
  std::string column = DistinctColumn(index);
  return {{"FieldName", column},
          {"SQL", " select distinct " + column + " from wsdj where " + column + "<>''"},
          {"Valid", " " + column + " Like '@%'"},
          {"Order", " " + column}};
}

void WS_S::WireHeader() {
  WireHeaderFields("XS_S-->");
  for (auto* widget : form_.Array(kFieldArray)) {
    static_cast<forms::Field*>(widget)->OnOpenFormRequest =
        [this](const std::string& program, const std::string& a, const std::string& b,
               const std::string& c) { ForwardOpenForm(program, a, b, c); };
  }
}

void WS_S::FieldChanged(int index) {
  if (index == kOwner || index == kCategory || index == kPlate) pendingLookups_.insert(index);
  if (index == kDiagnosis || index == kInspection) RecalcReceivable();
}

void WS_S::ForwardOpenForm(const std::string& program, const std::string& a, const std::string& b,
                           const std::string& c) {
  if (!HasSystem()) return;
  System().OpenForm(program, a, b, c, true);
  SetDirty(true);
}

void WS_S::FieldLeft(int index) {
  forms::Field& field = Header(index);
  if (field.Kind() == forms::FieldKind::Date || field.Kind() == forms::FieldKind::Number) {
    CheckFormat(field);
  }
  if (!pendingLookups_.erase(index)) return;
  if (index == kPlate) {
    ResolvePlate();
  } else {
    ResolveKeyField(index);
  }
}

void WS_S::CheckFormat(forms::Field& field) {
  if (field.Kind() == forms::FieldKind::Date) {
    LeaveDateField(field);
  } else {
    LeaveNumberField(field);
  }
}

void WS_S::ResolveKeyField(int index) {
  forms::Field& field = Header(index);
  std::string typed = Trim(field.Text());
  if (typed.empty()) {
    field.SetValue("0", "");
    field.MarkValid();
    return;
  }
  PickerParameters parameters;
  if (index == kOwner) parameters = {{"SX", "2"}};
  auto picker = OpenPicker(System(), PickerNameOf(index), ProgramNumber(), parameters);
  if (!picker) return;
  PickedRow picked = ResolveTyped(*picker, typed);
  if (!picked.found) {
    field.SetKey("0");
    field.MarkInvalid(Hint(field));
    return;
  }
  field.SetValue(picked.value, picked.text.empty() ? typed : picked.text);
  field.MarkValid();
}

void WS_S::ResolvePlate() {
  forms::Field& field = Header(kPlate);
  std::string typed = Trim(field.Text());
  int64_t previous = field.KeyLong();
  auto forgetVehicle = [&] {
    // The engine, chassis and model shown were those of the vehicle the plate named before.
    field.SetKey("0");
    if (previous > 0) {
      for (int index : {kEngine, kChassis, kModel}) Header(index).SetText("");
    }
  };
  field.MarkValid();
  if (typed.empty()) {
    field.SetText("");
    forgetVehicle();
    return;
  }
  auto picker = OpenPicker(System(), PickerNameOf(kPlate), ProgramNumber());
  if (!picker) return;
  PickedRow picked = ResolveTyped(*picker, typed);
  if (picked.found) {
    std::string plate =
        picked.objects.Has("i车牌号") ? picked.objects.Text("i车牌号") : picked.text;
    if (SameText(Trim(plate), typed) || SameText(Trim(picked.objects.Text("i车辆编号")), typed)) {
      ApplyVehicle(picked);
      return;
    }
  }
  // A first-time car: the save creates it in the vehicle master.
  field.SetText(typed);
  forgetVehicle();
}

void WS_S::ApplyVehicle(const PickedRow& picked) {
  const host::PropertyBag& bag = picked.objects;
  std::string key = bag.Has("i车辆ID") ? bag.Text("i车辆ID") : picked.value;
  if (db::NumericValue(key) <= 0) key = picked.value;
  Header(kPlate).SetValue(key, bag.Has("i车牌号") ? bag.Text("i车牌号") : picked.text);
  Header(kPlate).MarkValid();
  Header(kEngine).SetText(bag.Text("i发动机号"));
  Header(kChassis).SetText(bag.Text("i车架号"));
  Header(kModel).SetText(bag.Text("i车型"));
  Header(kOwner).SetValue(bag.Text("i车主ID"), bag.Text("i车主"));
  Header(kOwner).MarkValid();
  pendingLookups_.erase(kOwner);
  ApplyLastVisit(Header(kPlate).KeyLong());
  SetDirty(true);
}

void WS_S::ApplyLastVisit(int64_t vehicleId) {
  std::string error;
  auto records = db::Runner(Database()).Open(LastVisitSelect(vehicleId), &error);
  if (!error.empty()) throw std::runtime_error(error);
  if (records->Eof()) return;
  Header(kMaker).SetText(records->Text("车厂"));
  Header(kPerson).SetText(records->Text("送修人"));
  Header(kTelephone).SetText(records->Text("司机电话"));
  Header(kMileage).SetText(records->Text("公里数"));
}

void WS_S::FieldPicker(int index) {
  forms::Field& field = Header(index);
  PickerParameters parameters;
  if (index == kOwner) parameters = {{"SX", "2"}};
  if (DistinctColumn(index)) parameters = DistinctValueParameters(index);
  auto picker = OpenPicker(System(), PickerNameOf(index), ProgramNumber(), parameters);
  if (!picker) return;
  PickedRow picked = ChooseInPicker(System(), *picker, Trim(field.Text()));
  if (!picked.found) return;
  if (index == kPlate) {
    ApplyVehicle(picked);
    return;
  }
  if (DistinctColumn(index)) {
    field.SetText(picked.text);
  } else {
    field.SetValue(picked.value, picked.text);
    pendingLookups_.erase(index);
  }
  field.MarkValid();
  SetDirty(true);
}

}  // namespace ws::repair_order
