// The shop file is the boundary on SQLite: a desk's own backup and restore never make another
// desk's save vanish, and no output (a report, a spreadsheet, a backup) ever replaces the shop,
// its companions, or anything that is not a plain file, nor removes what was at the target
// before the new file is whole.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "db/runner.h"
#include "platform/open_files.h"
#include "platform/output_file.h"
#include "platform/sqlite_database.h"
#include "run_ws.h"
#include "shop/store/backup.h"

namespace ws::shop {
namespace {

namespace fs = std::filesystem;

// Whether this process holds a descriptor of a file that was deleted under it (the engine
// writing into an unlinked log nobody else will ever read).
bool HoldsDeletedFile(const std::string& name) {
  for (const auto& entry : fs::directory_iterator("/proc/self/fd")) {
    std::error_code ec;
    const std::string target = fs::read_symlink(entry.path(), ec).string();
    if (!ec && target.find(name) != std::string::npos &&
        target.find("(deleted)") != std::string::npos) {
      return true;
    }
  }
  return false;
}

class FileBoundaryTest : public WsProcessTest {
 protected:
  void SetUp() override {
    WsProcessTest::SetUp();
    Init("shop.db");
  }
  void AddCategory(platform::SqliteDatabase& db, int id) {
    const std::string code = "F" + std::to_string(id);
    ASSERT_EQ(
        db::Runner(db).Execute(db::Sql("insert into pdmwxfl (维修分类ID,编码,维修分类) values (")
                                   .Key(id)
                                   .Raw(", ")
                                   .Text(code)
                                   .Raw(", ")
                                   .Text("分类" + std::to_string(id))
                                   .Raw(")")),
        "");
  }
};

// The desk (this process) keeps its connection while it backs up and restores through the
// same code as its File menu; another process then commits and closes. Had either path opened
// the shop outside the engine, the desk's locks would be gone, the closing process would take
// itself for the last one and delete the log the desk still writes into.
TEST_F(FileBoundaryTest, ADesksBackupAndRestoreKeepAnotherProcesssSave) {
  auto desk = Connect("shop.db");
  ASSERT_NE(desk, nullptr);
  AddCategory(*desk, 1);
  ASSERT_EQ(BackupShop(Path("shop.db"), Path("copy.db"), true), "");
  ASSERT_EQ(RestoreShop(Path("shop.db"), Path("copy.db")), "");

  const Outcome other =
      Ws("script " + Db("shop.db"),
         "sql insert into pdmwxfl (维修分类ID,编码,维修分类) values (2,'F2','x')\n");
  ASSERT_EQ(other.status, 0) << other.err;
  EXPECT_TRUE(fs::exists(Path("shop.db-wal"))) << "the log of an open shop was deleted";
  EXPECT_FALSE(HoldsDeletedFile("shop.db-wal"));
  EXPECT_FALSE(HoldsDeletedFile("shop.db-shm"));

  AddCategory(*desk, 3);
  desk.reset();
  EXPECT_EQ(Scalar("shop.db",
                   "select group_concat(编码, ',') from (select 编码 from pdmwxfl "
                   "order by 编码)"),
            "F1,F2,F3");
  EXPECT_EQ(Scalar("shop.db", "PRAGMA integrity_check"), "ok");
}

// A shop another process has open is never replaced nor has its companions removed: a new
// shop made over it with --force is refused until that process is gone.
TEST_F(FileBoundaryTest, AShopOpenInAnotherProcessIsNotReplaced) {
  const std::string fifo = Path("go");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::string error;
    auto db = platform::SqliteDatabase::Open(Path("shop.db"));
    if (db)
      db::Runner(*db).Execute("insert into pdmwxfl (维修分类ID,编码,维修分类) values (9,'F9','x')");
    const int fd = ::open(fifo.c_str(), O_RDONLY);  // until the parent says
    char byte;
    if (fd >= 0 && ::read(fd, &byte, 1) >= 0) ::close(fd);
    ::_exit(db ? 0 : 1);
  }
  for (int i = 0; i < 500 && !fs::exists(Path("shop.db-shm")); ++i) ::usleep(10000);
  ::usleep(100000);
  EXPECT_TRUE(platform::open_files::InUse(Path("shop.db")));
  const Outcome replaced = Ws("init " + Db("shop.db") + "--force --date 2012-06-15");
  EXPECT_NE(replaced.status, 0) << replaced.err;
  EXPECT_NE(replaced.err.find("open in another program"), std::string::npos) << replaced.err;
  EXPECT_TRUE(fs::exists(Path("shop.db-wal")) && fs::exists(Path("shop.db-shm")));

  const int fd = ::open(fifo.c_str(), O_WRONLY);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::write(fd, "x", 1), 1);
  ::close(fd);
  int status = 0;
  ::waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(Scalar("shop.db", "select 编码 from pdmwxfl"), "F9") << "the other process's row";
  EXPECT_FALSE(platform::open_files::InUse(Path("shop.db")));
  EXPECT_EQ(Ws("init " + Db("shop.db") + "--force --date 2012-06-15").status, 0);
}

// Every target an output may not take, for each kind of output: refused before anything is
// written, with the shop (and whatever stood at the target) as it was.
TEST_F(FileBoundaryTest, NoOutputReplacesTheShopOrAnythingButAPlainFile) {
  fs::create_directory(Path("folder"));
  ASSERT_EQ(::mkfifo(Path("pipe").c_str(), 0600), 0);
  fs::create_symlink(Path("shop.db"), Path("link.db"));
  {
    auto user = Connect("shop.db");  // so the -wal and -shm exist
    ASSERT_NE(user, nullptr);
  }
  struct Target {
    std::string path;
    std::string why;  // a word of the refusal
  };
  const std::vector<Target> targets = {
      {Path("shop.db"), "数据库"},     {Path("shop.db-wal"), "数据库"},
      {Path("shop.db-shm"), "数据库"}, {Path("folder"), "文件夹"},
      {Path("pipe"), "普通文件"},      {"/dev/null", "普通文件"},
      {Path("link.db"), "数据库"},     {Path("no/such/x.csv"), "不存在"},
  };
  const std::vector<std::string> outputs = {"report WS_RPT --csv ", "report WS_RPT --xlsx ",
                                            "report vin --csv ", "backup --force "};
  for (const std::string& output : outputs) {
    for (const Target& target : targets) {
      const std::string args =
          output.substr(0, 7) + Db("shop.db") + output.substr(7) + "'" + target.path + "'";
      const Outcome run = Ws(args);
      EXPECT_EQ(run.status, 1) << args << "\n" << run.out << run.err;
      EXPECT_NE(run.err.find(target.why), std::string::npos) << args << "\n" << run.err;
    }
  }
  EXPECT_TRUE(fs::is_fifo(Path("pipe")));
  EXPECT_TRUE(fs::is_directory(Path("folder")));
  EXPECT_TRUE(fs::is_symlink(Path("link.db")));
  EXPECT_EQ(Scalar("shop.db", "PRAGMA integrity_check"), "ok");
  EXPECT_NE(Scalar("shop.db", "select count(*) from ws_meta"), "0");
}

// A good target is replaced in one step: the old file stays whole until the new one is, no
// temporary file is left, and a backup (it holds the accounts' password hashes) is its
// owner's alone.
TEST_F(FileBoundaryTest, AnOutputReplacesItsTargetOnlyWhenWhole) {
  Write("old.csv", "old");
  const Outcome csv = Ws("report " + Db("shop.db") + "WS_RPT --csv " + Quoted("old.csv"));
  ASSERT_EQ(csv.status, 0) << csv.err;
  EXPECT_NE(ReadFile(Path("old.csv")), "old");
  ASSERT_EQ(Ws("backup " + Db("shop.db") + Quoted("b.db")).status, 0);
  struct stat st {};
  ASSERT_EQ(::stat(Path("b.db").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  ASSERT_EQ(::stat(Path("shop.db").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0077, 0u) << "a new shop is readable by its owner only";

  // A writer that fails halfway leaves the old file as it was.
  Write("kept.txt", "kept");
  {
    platform::OutputFile out(Path("kept.txt"));
    ASSERT_TRUE(out.Ok()) << out.Error();
    ASSERT_TRUE(out.Write("half"));
  }  // dropped without Commit
  EXPECT_EQ(ReadFile(Path("kept.txt")), "kept");
  for (const auto& entry : fs::directory_iterator(folder_)) {
    EXPECT_EQ(entry.path().filename().string().rfind('.', 0), std::string::npos)
        << "left behind: " << entry.path();
  }
}

}  // namespace
}  // namespace ws::shop
