#include "desk/shop_file.h"

#include <filesystem>

#include "db/catalogue.h"
#include "db/runner.h"
#include "db/schema.h"
#include "platform/postgres_database.h"
#include "platform/sqlite_database.h"
#include "shop/demo/demo_data.h"
#include "shop/store/database_file.h"
#include "shop/store/shop_input.h"

namespace ws::desk {

namespace {

bool Contains(const std::string& text, const char* part) {
  return text.find(part) != std::string::npos;
}

bool IsLockError(const std::string& error) {
  return error.find(platform::kDatabaseBusyText) != std::string::npos;
}

ShopFile Refuse(ShopFileStatus status, std::string message) {
  ShopFile file;
  file.status = status;
  file.message = std::move(message);
  return file;
}

// A file of an older build is brought to this program's layout; a newer one is refused.
ShopFile Upgraded(std::unique_ptr<platform::EngineDatabase> db, const std::string& version) {
  std::string notice;
  if (std::string upgrade = db::UpgradeSchema(*db, &notice); !upgrade.empty()) {
    return Refuse(ShopFileStatus::Outdated, "数据库版本 " + version + " 不能用于本程序的版本 " +
                                                std::string(db::kSchemaVersion) + "：" + upgrade);
  }
  ShopFile file;
  file.status = ShopFileStatus::Ok;
  // Rows that keep a unique index from being made: the shop opens, and the user is told.
  file.message = std::move(notice);
  file.db = std::move(db);
  return file;
}

ShopFile OpenServerShop(const std::string& url) {
  const std::string shown = platform::DisplayUrl(url);
  auto db = platform::PostgresDatabase::Open(url);
  if (!db) {
    const std::string& error = db.Error();
    // A database the server does not have yet is made by the demo shop's build.
    if (Contains(error, "does not exist")) {
      return Refuse(ShopFileStatus::Missing, "服务器上没有这个数据库：" + shown);
    }
    return Refuse(ShopFileStatus::Failed, "无法连接数据库服务器：" + error);
  }
  std::optional<std::string> version = db::SchemaVersion(*db);
  if (!version) return Refuse(ShopFileStatus::Missing, "服务器数据库中还没有维修厂数据：" + shown);
  return Upgraded(std::move(db).Take(), *version);
}

}  // namespace

ShopFile OpenShopFile(const std::string& path, int lockWaitMs) {
  if (shop::EngineOf(path) == db::Engine::Postgres) return OpenServerShop(path);
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) {
    return Refuse(ShopFileStatus::Missing, "数据库文件不存在：" + path);
  }
  if (std::filesystem::is_directory(path, ec)) {
    return Refuse(ShopFileStatus::Foreign, path + " 是一个文件夹，不是数据库文件");
  }
  // An empty file (or any without the engine's header) would be taken for a new database and
  // rewritten before it is refused.
  if (!shop::CheckExistingDatabaseFile(path).empty()) {
    return Refuse(ShopFileStatus::Foreign, path + " 不是本系统的数据库文件");
  }
  auto db = platform::SqliteDatabase::Open(path);
  if (!db) {
    const std::string& error = db.Error();
    if (IsLockError(error)) {
      return Refuse(ShopFileStatus::Locked, "数据库正被其他程序锁定，请稍后再试：" + path);
    }
    if (Contains(error, "not a database")) {
      return Refuse(ShopFileStatus::Foreign, path + " 不是本系统的数据库文件");
    }
    return Refuse(ShopFileStatus::Failed, "无法打开数据库：" + error);
  }
  std::optional<std::string> version = db::SchemaVersion(*db);
  if (!version) {
    return Refuse(ShopFileStatus::Foreign, path + " 不是本系统的数据库（缺少 ws_meta 标记）");
  }
  // A program in the middle of writing (or holding the file exclusively) makes every save
  // wait; tell the user now rather than at the first save.
  db->SetBusyTimeout(lockWaitMs);
  std::string lockError;
  {
    db::Transaction probe(*db);  // rolled back when it goes out of scope
    lockError = probe.Error();
  }
  db->SetBusyTimeout(platform::SqliteDatabase::kDefaultBusyTimeoutMs);
  if (!lockError.empty()) {
    if (IsLockError(lockError)) {
      return Refuse(ShopFileStatus::Locked, "数据库正被其他程序锁定，请稍后再试：" + path);
    }
    return Refuse(ShopFileStatus::Failed, "数据库不能写入：" + lockError);
  }
  return Upgraded(std::move(db).Take(), *version);
}

std::string CreateDemoShop(const std::string& path, int64_t orders, const db::Date& date,
                           const std::function<void(int64_t, int64_t)>& progress) {
  if (std::string error = shop::CheckNewDatabaseTarget(path, false); !error.empty()) return error;
  shop::DemoOptions options;
  options.orders = orders;
  options.date = date;
  return shop::CreateDemoDatabase(path, options, nullptr, progress);
}

}  // namespace ws::desk
