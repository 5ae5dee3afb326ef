// One shop on either engine for the hostile-input tests: SQLite in memory, or a schema of its
// own on the PostgreSQL server of WS_PG_URL (skipped when unset). Holds the catalogue, the
// default configuration, a customer, a car, an item, a part and a category, a system object
// logged in as the test user, and a clerk who takes the first row a dropped-down picker lists.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "db/sql.h"

#include "db/database.h"
#include "db/runner.h"
#include "support/postgres_scratch.h"
#include "platform/system_object.h"
#include "support/recording_sink.h"
#include "support/scripted_dialogs.h"

namespace ws::hostile {

enum class Engine { Sqlite, Postgres };

inline std::string EngineName(Engine engine) {
  return engine == Engine::Sqlite ? "Sqlite" : "Postgres";
}

class HostileHostTest : public ::testing::TestWithParam<Engine> {
 protected:
  void SetUp() override;
  void TearDown() override;

  db::IDatabase& Db() { return *db_; }
  platform::SystemObject& System() { return *system_; }
  test::RecordingSink& Sink() { return sink_; }
  // Runs a statement; a failure fails the test.
  void Exec(const std::string& sql);
  std::string Scalar(const std::string& sql);
  std::string Scalar(const db::Sql& sql);
  // Every text a save or load reported as a failure (ErrMessage and message boxes).
  std::string Failures();

  std::unique_ptr<platform::testing::PostgresScratch> scratch_;
  std::unique_ptr<db::IDatabase> db_;
  test::ScriptedDialogs dialogs_;
  test::RecordingSink sink_;
  std::unique_ptr<platform::SystemObject> system_;
  std::filesystem::path workFolder_;
};

}  // namespace ws::hostile
