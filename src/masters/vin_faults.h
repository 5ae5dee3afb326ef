// The vehicles whose stored VIN fails its check (framework/vin.h): the list an owner runs to find
// the cards to correct, since the cards only warn as they are saved.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "db/database.h"

namespace ws::masters {

struct VinFault {
  int64_t vehicleId = 0;
  std::string number;  // 车辆编号
  std::string plate;
  std::string vin;  // as stored
  std::string owner;
  std::string reason;
};

struct VinFaults {
  std::vector<VinFault> rows;  // by vehicle number, then plate
  std::string error;           // the failed statement's text; empty otherwise
};

// Reads every vehicle with a chassis number and keeps those that fail. Only reads.
VinFaults LoadVinFaults(db::IDatabase& database);

}  // namespace ws::masters
