// The workshop floor of the demo shop's last weeks: its checklist, the commission rules of its
// repair categories, and on the recent orders the dispatches, clock records, line states,
// examinations and suggested lines a busy floor leaves, so that the tablets' board and the
// technicians' reports show real work. Only the last kFloorDays days carry floor history: a
// shop of a million orders takes no longer to build than before.
//
// A pure function of its input and seed, drawn from a random stream of its own, so the orders
// of a seed stay as they were.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "db/database.h"

namespace ws::shop {

inline constexpr int64_t kFloorDays = 21;

struct FloorLine {
  int64_t lineId = 0;
  int64_t itemId = 0;
  int64_t quantity = 1;
};

struct FloorOrder {
  int64_t orderId = 0;
  int64_t arrivalDay = 0;  // day numbers (DemoDayNumber)
  int64_t checkDay = -1;   // -1 while the order is not checked
  bool bodyShop = false;   // 钣金喷漆: the body shop's technicians
  std::vector<FloorLine> lines;
};

struct FloorTechnician {
  int64_t id = 0;
  std::string name;
  bool bodyShop = false;
};

struct DemoFloor {
  uint64_t seed = 1;
  int64_t lastDay = 0;  // the reference date: its afternoon is "now"
  std::vector<FloorTechnician> technicians;
  std::map<int64_t, double> standardHours;  // per repair item
  std::vector<std::string> categoryCodes;   // of pdmwxfl, ids 1.. in this order
  std::vector<FloorOrder> orders;           // ascending by arrival
};

// The standard hours the demo gives a repair item of this price: about 100 yuan an hour, to a
// tenth, from 0.2 to 40 hours.
double DemoStandardHours(int yuan);

struct FloorCounts {
  int64_t dispatches = 0;
  int64_t clockRecords = 0;
  int64_t findings = 0;
};

// Writes the floor into db (rows in bulk, inside the caller's transaction); the first failure
// in `error`.
FloorCounts WriteDemoFloor(db::IDatabase& db, const DemoFloor& floor, std::string& error);

}  // namespace ws::shop
