// Runs the built `ws` tool as a user runs it: in a temporary folder of the test's own, with
// standard input from a file, judged by exit status, messages and the files left behind.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "db/runner.h"
#include "host/registry.h"
#include "platform/sqlite_database.h"
#include "shop/script/script_host.h"
#include "shop/script/script_parser.h"

namespace ws::shop {

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

// Runs a script in this process with the given controls, as `ws script` runs it.
inline Outcome RunScript(db::IDatabase& db, const host::Registry& registry,
                         const std::string& text) {
  const Script script = ParseScript(text);
  EXPECT_TRUE(script.errors.empty()) << text;
  std::ostringstream out;
  std::ostringstream err;
  ScriptHost host(db, registry, out, err);
  const int status = host.Run(script);
  return {status, out.str(), err.str()};
}

class WsProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = std::filesystem::temp_directory_path() /
              ("ws_test_" + std::to_string(::getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(folder_);
    std::filesystem::create_directories(folder_);
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }

  // Runs `ws` with the arguments (quoted where needed), standard input from `input`, after the
  // shell commands of `before` (limits of the process).
  Outcome Ws(const std::string& args, const std::string& input = "",
             const std::string& before = "") {
    const std::filesystem::path in = folder_ / "stdin.txt";
    std::ofstream(in, std::ios::binary) << input;
    const std::filesystem::path out = folder_ / "stdout.txt";
    const std::filesystem::path err = folder_ / "stderr.txt";
    const std::string command = before + "'" + WS_CLI + "' " + args + " >'" + out.string() +
                                "' 2>'" + err.string() + "' <'" + in.string() + "'";
    const int raw = std::system(command.c_str());
    Outcome outcome;
    outcome.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    outcome.out = ReadFile(out);
    outcome.err = ReadFile(err);
    return outcome;
  }

  // A file of the test's folder (an absolute path stays as it is).
  std::string Path(const std::string& name) const { return (folder_ / name).string(); }
  std::string Quoted(const std::string& name) const { return "'" + Path(name) + "'"; }
  // "--db 'FILE' " for the start of a command's arguments.
  std::string Db(const std::string& name) const { return "--db " + Quoted(name) + " "; }
  // A new empty shop, as the first step of most stories.
  void Init(const std::string& name) {
    const Outcome made = Ws("init " + Db(name) + "--date 2012-06-15");
    ASSERT_EQ(made.status, 0) << made.err;
  }
  void Write(const std::string& name, const std::string& text) {
    std::ofstream(Path(name), std::ios::binary) << text;
  }
  static std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

  // A database file opened as a host opens it, as another user working in the shop.
  std::unique_ptr<platform::SqliteDatabase> Connect(const std::string& file) {
    std::string error;
    auto db = platform::SqliteDatabase::Open(Path(file));
    EXPECT_TRUE(db) << db.Error();
    return std::move(db).Take();
  }
  std::string Scalar(const std::string& file, const std::string& sql) {
    auto db = Connect(file);
    std::string error;
    std::string text = db ? db::Runner(*db).ScalarText(db::Sql(sql), &error) : "";
    EXPECT_EQ(error, "") << sql;
    return text;
  }

  std::filesystem::path folder_;
};

}  // namespace ws::shop
