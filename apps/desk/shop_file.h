// Opening the shop database a user names: a clear answer for a file that is missing, locked by
// another program, or not a shop database of ours, and the demo shop for a first start.
// Nothing here shows a window; the start-up dialogs ask and tell.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "db/date.h"
#include "platform/engine_database.h"

namespace ws::desk {

enum class ShopFileStatus {
  Ok,
  Missing,   // no such file, or a server database without a shop
  Locked,    // another program holds the database
  Foreign,   // not a database, or not one of ours
  Outdated,  // ours, but of a newer schema version (or an upgrade failed)
  Failed     // anything else the engine refused
};

struct ShopFile {
  ShopFileStatus status = ShopFileStatus::Failed;
  // What the user is told: why it is refused, or when Ok what to set right (empty when nothing)
  std::string message;
  std::unique_ptr<platform::EngineDatabase> db;
};

// Opens and checks the file: it must exist, open as SQLite, carry our schema mark of the
// version this program knows, and accept a write transaction within lockWaitMs. A
// "postgresql://" URL opens the shop on that server instead: the server must answer and the
// database hold a shop of ours (one without is Missing, so a demo shop can be offered).
ShopFile OpenShopFile(const std::string& path, int lockWaitMs = 2000);

// Creates the demo shop (as `ws demo` does: the catalogue, the default configuration, the demo
// data, the indexes) in a new file that appears only when complete, or in one transaction on
// a server database named by URL. Answers the error text,
// empty on success. progress gets (done, total) orders now and then.
std::string CreateDemoShop(const std::string& path, int64_t orders, const db::Date& date,
                           const std::function<void(int64_t, int64_t)>& progress = {});

}  // namespace ws::desk
