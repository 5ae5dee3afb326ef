#include "masters/vin_faults.h"

#include "db/runner.h"
#include "framework/vin.h"

namespace ws::masters {

VinFaults LoadVinFaults(db::IDatabase& database) {
  VinFaults faults;
  // The check digit is arithmetic no statement of both engines can do, so every VIN is read
  // and judged here; a shop holds thousands of vehicles, not millions.
  auto records = db::Runner(database).Open(
      db::Sql("SELECT clzl.车辆ID, clzl.车辆编号, clzl.车牌号, clzl.车架号, pdmwldw.公司名称"
              " FROM clzl LEFT JOIN pdmwldw ON clzl.车主ID = pdmwldw.往来ID"
              " WHERE clzl.车架号 <> '' ORDER BY clzl.车辆编号, clzl.车牌号"),
      &faults.error);
  if (!faults.error.empty()) return faults;
  for (; !records->Eof(); records->MoveNext()) {
    const std::string vin = records->Text("车架号");
    std::string reason = framework::CheckVin(vin).Reason();
    if (reason.empty()) continue;
    faults.rows.push_back({records->Long("车辆ID"), records->Text("车辆编号"),
                           records->Text("车牌号"), vin, records->Text("公司名称"),
                           std::move(reason)});
  }
  return faults;
}

}  // namespace ws::masters
