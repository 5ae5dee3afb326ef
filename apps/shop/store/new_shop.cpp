#include "shop/store/new_shop.h"

#include <filesystem>

#include "db/catalogue.h"
#include "db/runner.h"
#include "platform/accounts.h"
#include "shop/store/database_file.h"

namespace ws::shop {

namespace {

// Module 12's parameters: the current period and the closing day.
constexpr int kParameterModule = 12;
constexpr int kPeriodParameter = 1;
constexpr int kClosingDayParameter = 3;

bool ValidPeriod(int period) {
  const int year = period / 100;
  const int month = period % 100;
  return year >= 1900 && year <= 9999 && month >= 1 && month <= 12;
}

db::Sql ParameterUpdate(int number, int value) {
  return db::Sql("UPDATE ws_parameter SET value = ")
      .Text(std::to_string(value))
      .Raw(" WHERE module = ")
      .Key(kParameterModule)
      .Raw(" AND number = ")
      .Key(number);
}

}  // namespace

std::string CreateShopDatabase(const std::string& name, bool force, const db::Date& startDate) {
  NewShopDatabase target(name, force);
  if (std::string error = target.Open(); !error.empty()) return error;
  db::Transaction transaction(target.Db());
  for (const auto& statement : db::CatalogueStatements(target.Engine())) {
    if (!transaction.Run(statement)) break;
  }
  for (const auto& statement : db::DefaultConfigStatements(startDate)) {
    if (!transaction.Run(statement)) break;
  }
  if (transaction.Failed() || !transaction.Commit()) {
    return "cannot create the tables: " + transaction.Error();
  }
  return target.Finish();
}

std::string NewShopProblem(const NewShopSettings& settings) {
  if (settings.info.name.find_first_not_of(" \t") == std::string::npos) return "请填写店名";
  if (settings.closingDay < 1 || settings.closingDay > 31) return "结账日须为 1 到 31 日";
  if (settings.period && !ValidPeriod(*settings.period)) {
    return "当前会计期间须为 yyyymm（如 201206）";
  }
  if (!settings.ownerName.empty()) {
    if (std::string problem = platform::AccountNameProblem(settings.ownerName); !problem.empty()) {
      return problem;
    }
    if (std::string problem = platform::PasswordProblem(settings.ownerPassword); !problem.empty()) {
      return problem;
    }
  }
  return {};
}

std::string CreateShop(const std::string& name, const NewShopSettings& settings) {
  if (std::string problem = NewShopProblem(settings); !problem.empty()) return problem;
  if (std::string problem = CheckNewDatabaseTarget(name, false); !problem.empty()) return problem;
  if (std::string error = CreateShopDatabase(name, false, settings.startDate); !error.empty()) {
    return error;
  }
  std::string error;
  {
    std::string notice;
    auto shop = OpenWorkingShop(name, &error, &notice);
    if (shop) {
      error = platform::SaveShopInfo(*shop, settings.info);
      if (error.empty()) {
        const int period =
            settings.period.value_or(db::PeriodOfDate(settings.startDate, settings.closingDay));
        db::Transaction transaction(*shop);
        if (transaction.Run(ParameterUpdate(kPeriodParameter, period)) &&
            transaction.Run(ParameterUpdate(kClosingDayParameter, settings.closingDay))) {
          transaction.Commit();
        }
        error = transaction.Error();
      }
      if (error.empty() && !settings.ownerName.empty()) {
        platform::AccountStore accounts(*shop);
        error = accounts.Add(settings.ownerName, settings.ownerPassword,
                             std::string(platform::kOwnerRole));
      }
    }
  }
  if (!error.empty() && EngineOf(name) == db::Engine::Sqlite) {
    std::error_code ignored;
    std::filesystem::remove(name, ignored);
  }
  return error;
}

std::vector<GoingLiveLine> GoingLiveChecklist(db::IDatabase& db, std::string* error) {
  struct Counted {
    const char* caption;
    const char* listClass;
    const char* count;
    bool imported;  // the list only shows; `ws import` fills it
  };
  static const Counted kLines[] = {
      {"维修分类", "PDM_WXFL", "SELECT COUNT(*) FROM pdmwxfl", false},
      {"维修项目", "PDM_XM", "SELECT COUNT(*) FROM PDMWXXM", false},
      {"客户", "PDM_KH", "SELECT COUNT(*) FROM pdmwldw", false},
      {"员工", "PDM_GY", "SELECT COUNT(*) FROM PDMGY", false},
      {"配件", "PDM_PJ", "SELECT COUNT(*) FROM PDMCPML", false},
      {"期初库存", "PDM_QCKC", "SELECT COUNT(*) FROM JXCGoodsZzTz", true},
      {"结算方式", "PDM_JSFS", "SELECT COUNT(*) FROM PDMSJZD WHERE 类型='结算方式'", true},
      {"会计科目", "PDM_KJKM", "SELECT COUNT(*) FROM PDMKJKM", true},
  };
  std::vector<GoingLiveLine> lines;
  db::Runner runner(db);
  for (const Counted& line : kLines) {
    std::string failed;
    const auto rows = static_cast<int64_t>(runner.ScalarNumber(db::Sql(line.count), &failed));
    if (!failed.empty() && error && error->empty()) *error = failed;
    lines.push_back({line.caption, line.listClass, rows, line.imported});
  }
  return lines;
}

}  // namespace ws::shop
