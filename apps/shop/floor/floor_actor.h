// What an account may do on the workshop floor, decided once for every front end that offers
// it (the tablets' pages and the desk), and where a shop keeps the floor's photos.
#pragma once

#include <cstdint>
#include <set>
#include <string>

#include "platform/accounts.h"
#include "workshop/floor.h"

namespace ws::shop {

// The floor's actor of an account holding these rights: 录入 dispatches and records the
// customer's answers, 车间 clocks and examines, 审核 passes finished lines. employeeId is the
// technician the account is (0: none), frontEnd names the front end in the documents' history.
// The desk passes the one right its step was granted (SystemObject::PermitRight reads the
// account afresh, as every other step of the desk does).
workshop::Actor FloorActor(const std::string& user, const std::set<platform::Right>& rights,
                           int64_t employeeId, const std::string& frontEnd);

// The folder of the floor's photos: the one given, else "<shop file>.photos" beside a shop file.
// A server shop has no file to stand beside: empty unless given.
std::string PhotoFolder(const std::string& shop, const std::string& given);

}  // namespace ws::shop
