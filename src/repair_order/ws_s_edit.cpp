// The header fields of the repair order while it is typed: format checks, lookups through the
// host pickers, the vehicle and its last visit, and the fees.
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <stdexcept>

#include "db/runner.h"
#include "db/value.h"
#include "forms/text.h"
#include "framework/shop_decimals.h"
#include "repair_order/ws_s.h"

namespace ws::repair_order {

namespace {

constexpr auto SameText = &forms::EqualsIgnoringCase;

}  // namespace

void WS_S::WireHeader() {
  BuildHeader("XS_S-->");
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
  framework::Document::FieldLeft(index);
  if (index == kDiagnosis || index == kInspection) {
    // A fee is collected: typed with more decimals than the till takes, it is taken to them.
    std::string text = Header(index).Text();
    if (Header(index).Valid() && framework::RoundTypedAmount(System(), text)) {
      Header(index).SetText(text);
      RecalcReceivable();
    }
  }
  if (index == kChassis) {
    // Typed in capitals as on the car; a chassis number filled from the vehicle stays as stored.
    Header(kChassis).SetText(framework::NormalizeVin(Header(kChassis).Text()));
    WarnVin();
  }
  if (!pendingLookups_.erase(index)) return;
  if (index == kPlate) {
    ResolvePlate();
  } else {
    ResolveLookupField(index);
  }
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
  auto picker = OpenFieldPicker(kPlate);
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
  vinWarning_.Known(Header(kChassis).Text());
  Header(kModel).SetText(bag.Text("i车型"));
  Header(kOwner).SetValue(bag.Text("i车主ID"), bag.Text("i车主"));
  Header(kOwner).MarkValid();
  pendingLookups_.erase(kOwner);
  ApplyLastVisit(Header(kPlate).KeyLong());
  SetDirty(true);
}

void WS_S::ApplyLastVisit(int64_t vehicleId) {
  auto records = db::Runner(Database()).OpenOrThrow(LastVisitSelect(vehicleId));
  if (records->Eof()) return;
  for (int index : {kMaker, kPerson, kTelephone, kMileage}) {
    Header(index).SetText(records->Text(Schema().FieldOf(index)->column));
  }
}

void WS_S::WarnVin() {
  std::string warning = vinWarning_.Due(Header(kChassis).Text());
  if (!warning.empty()) Ask(warning, "提示：", host::MsgButtons::Ok, host::MsgIcon::Exclamation);
}

void WS_S::FieldPicker(int index) {
  forms::Field& field = Header(index);
  auto picker = OpenFieldPicker(index);
  if (!picker) return;
  PickedRow picked = ChooseInPicker(System(), *picker, Trim(field.Text()));
  if (!picked.found) return;
  if (index == kPlate) {
    ApplyVehicle(picked);
    return;
  }
  if (field.Kind() == forms::FieldKind::Lookup &&
      Schema().FieldOf(index)->kind != framework::ValueKind::Id) {
    // A field offering earlier values keeps the text only.
    field.SetText(picked.text);
  } else {
    field.SetValue(picked.value, picked.text);
    pendingLookups_.erase(index);
  }
  field.MarkValid();
  SetDirty(true);
}

}  // namespace ws::repair_order
