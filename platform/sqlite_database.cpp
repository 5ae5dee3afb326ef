#include "platform/sqlite_database.h"

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <list>
#include <map>
#include <optional>
#include <unordered_map>
#include <utility>

#include "db/sql.h"
#include "platform/bound_values.h"
#include "platform/open_files.h"
#include "platform/sql_translator.h"
#include "platform/wal_checkpointer.h"

namespace ws::platform {

namespace {

// How long a statement waits for another connection's write lock before it fails as busy.
constexpr int kBusyTimeoutMs = SqliteDatabase::kDefaultBusyTimeoutMs;

std::string EngineErrorText(sqlite3* db, int rc, const char* message) {
  return SqliteDatabase::FailureText(rc, message ? message : sqlite3_errmsg(db));
}

// A database file's companions that the engine makes beside it under WAL.
std::vector<std::string> MissingCompanions(const std::string& path) {
  std::vector<std::string> missing;
  for (const char* suffix : {"-wal", "-shm"}) {
    std::error_code ec;
    if (!std::filesystem::exists(path + suffix, ec) && !ec) missing.push_back(path + suffix);
  }
  return missing;
}

// Whether the file's header marks it as written through a write-ahead log. A file this
// process has open is never read outside the engine (that would drop the engine's locks); it
// is then known to be in use, so not a lone WAL file either.
bool IsWalFile(const std::string& path) {
  auto header = open_files::ReadHead(path, 20, nullptr);
  return header && header->size() == 20 && (*header)[18] == 2;
}

// A file name as the path of a "file:" URI.
std::string UriPath(const std::string& path) {
  std::string out;
  for (char c : path) {
    if (c == '?' || c == '#' || c == '%') {
      static const char* digits = "0123456789ABCDEF";
      const auto byte = static_cast<unsigned char>(c);
      out += '%';
      out += digits[byte >> 4];
      out += digits[byte & 15];
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace

std::string SqliteDatabase::FailureText(int rc, const std::string& engineText) {
  switch (rc & 0xFF) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      return std::string(kDatabaseBusyText);
    case SQLITE_FULL:
      return std::string(kDiskFullText);
    case SQLITE_IOERR:
      return std::string(kDiskErrorText);
    default:
      return engineText;
  }
}

namespace {

// Statements kept prepared by their text, most recently used last. Preparing is a quarter of
// what a save costs the engine: a write to a table with triggers compiles every trigger it
// fires. A statement in use is out of the cache, so a text run again inside its own run (a
// recordset read while another is open) prepares a second one.
class KeptStatements {
 public:
  ~KeptStatements() { FinalizeAll(); }

  sqlite3_stmt* Take(const std::string& sql) {
    auto found = byText_.find(sql);
    if (found == byText_.end()) return nullptr;
    const auto entry = found->second;
    sqlite3_stmt* stmt = entry->second;
    byText_.erase(found);
    idle_.erase(entry);
    return stmt;
  }
  void GiveBack(const std::string& sql, sqlite3_stmt* stmt) {
    sqlite3_reset(stmt);
    sqlite3_clear_bindings(stmt);
    if (byText_.contains(sql)) {
      sqlite3_finalize(stmt);
      return;
    }
    idle_.emplace_back(sql, stmt);
    byText_.emplace(idle_.back().first, std::prev(idle_.end()));
    if (idle_.size() > kKept) {
      byText_.erase(idle_.front().first);
      sqlite3_finalize(idle_.front().second);
      idle_.pop_front();
    }
  }
  void FinalizeAll() {
    byText_.clear();
    for (auto& entry : idle_) sqlite3_finalize(entry.second);
    idle_.clear();
  }

 private:
  static constexpr size_t kKept = 128;
  using Entries = std::list<std::pair<std::string, sqlite3_stmt*>>;
  Entries idle_;
  std::unordered_map<std::string_view, Entries::iterator> byText_;
};

}  // namespace

struct SqliteDatabase::Impl : EngineState {
  Impl() : EngineState("sqlite") {}

  sqlite3* db = nullptr;
  bool inMemory = false;
  std::unique_ptr<WalCheckpointer> checkpointer;
  KeptStatements kept;
  // This connection's entry among the files the process holds open, given back at close.
  std::optional<int> openFile;

  // Runs a statement of the service's own (transaction control); sets lastError.
  bool Exec(const char* sql) {
    char* message = nullptr;
    const int rc = sqlite3_exec(db, sql, nullptr, nullptr, &message);
    if (rc == SQLITE_OK) {
      lastError.clear();
      return true;
    }
    lastError = EngineErrorText(db, rc, message);
    sqlite3_free(message);
    return false;
  }
  bool EngineInTransaction() const { return sqlite3_get_autocommit(db) == 0; }
};

namespace {

// The one prepared statement of a command run, taken from the service's kept statements or
// prepared; given back (reset, its values unbound) on every path out.
class Statement {
 public:
  explicit Statement(KeptStatements* kept) : kept_(kept) {}
  ~Statement() {
    if (stmt_ && sql_) {
      kept_->GiveBack(*sql_, stmt_);
    } else {
      sqlite3_finalize(stmt_);
    }
    if (unwaited_) sqlite3_busy_timeout(unwaited_, kBusyTimeoutMs);
  }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  // Prepares exactly one statement and binds its values. Anything after it but blanks,
  // comments and ";" is refused: a cut-off second statement would otherwise vanish without a
  // word. Only plain "?" placeholders are taken, each with a bound value: a ":x", "?1" or a
  // stray "#x" (which SQLite reads as a parameter), or a "?" nobody bound, would silently run
  // as Null; a value bound past the last "?" means the text is not the one the caller built.
  bool Prepare(sqlite3* db, const std::string& sql,
               const std::vector<std::optional<db::Value>>& values, std::string& error) {
    stmt_ = kept_->Take(sql);
    if (!stmt_ && !PrepareOne(db, sql, error)) return false;
    // Kept only once it proved to be one statement: a text refused above is never kept.
    sql_ = &sql;
    int count = sqlite3_bind_parameter_count(stmt_);
    for (int position = 1; position <= count; ++position) {
      if (const char* name = sqlite3_bind_parameter_name(stmt_, position)) {
        error = "the statement has a named parameter (" + std::string(name) +
                "); values are bound to \"?\" placeholders only";
        return false;
      }
      size_t index = static_cast<size_t>(position - 1);
      if (index >= values.size() || !values[index]) {
        error = "no value is bound to placeholder " + std::to_string(position);
        return false;
      }
      if (!BindValue(position, *values[index])) {
        error = sqlite3_errmsg(db);
        return false;
      }
    }
    if (values.size() > static_cast<size_t>(count)) {
      error = "a value is bound to placeholder " + std::to_string(values.size()) +
              " but the statement has " + std::to_string(count);
      return false;
    }
    return true;
  }

  sqlite3_stmt* get() const { return stmt_; }

  // This run fails at once with SQLITE_BUSY where another connection holds the lock it needs;
  // the connection waits again once the statement is given back.
  void DoNotWait(sqlite3* db) {
    unwaited_ = db;
    sqlite3_busy_timeout(db, 0);
  }

 private:
  bool PrepareOne(sqlite3* db, const std::string& sql, std::string& error) {
    const char* tail = nullptr;
    const int rc = sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &stmt_, &tail);
    if (rc != SQLITE_OK) {
      error = EngineErrorText(db, rc, nullptr);
      return false;
    }
    if (!stmt_) {
      error = "the statement text is empty";
      return false;
    }
    const char* end = sql.c_str() + sql.size();
    if (tail && tail < end) {
      sqlite3_stmt* next = nullptr;
      int rc = sqlite3_prepare_v2(db, tail, static_cast<int>(end - tail), &next, nullptr);
      bool more = rc != SQLITE_OK || next != nullptr;
      sqlite3_finalize(next);
      if (more) {
        while (tail < end && (*tail == ' ' || *tail == '\n' || *tail == '\t')) ++tail;
        error = "only one statement may be run at a time; text after the first: " +
                std::string(tail, end);
        return false;
      }
    }
    return true;
  }

  bool BindValue(int position, const db::Value& value) {
    int rc;
    if (value.IsNull()) {
      rc = sqlite3_bind_null(stmt_, position);
    } else if (value.IsInteger()) {
      rc = sqlite3_bind_int64(stmt_, position, value.ToLong());
    } else if (value.IsReal() || value.IsDecimal()) {
      // The engine keeps numbers as doubles; an amount is read back through db::Amount, which
      // rounds the double to the ten-thousandth the amount was.
      rc = sqlite3_bind_double(stmt_, position, value.ToDouble());
    } else {
      std::string text = value.ToText();
      rc = sqlite3_bind_text64(stmt_, position, text.data(), text.size(), SQLITE_TRANSIENT,
                               SQLITE_UTF8);
    }
    return rc == SQLITE_OK;
  }

  KeptStatements* kept_;
  const std::string* sql_ = nullptr;  // the text it is kept under, once it may be kept
  sqlite3_stmt* stmt_ = nullptr;
  sqlite3* unwaited_ = nullptr;
};

db::Value ColumnValue(sqlite3_stmt* stmt, int column) {
  switch (sqlite3_column_type(stmt, column)) {
    case SQLITE_INTEGER:
      return db::Value(static_cast<int64_t>(sqlite3_column_int64(stmt, column)));
    case SQLITE_FLOAT:
      return db::Value(sqlite3_column_double(stmt, column));
    case SQLITE_NULL:
      return db::Value();
    default: {
      // Text, and blobs as their bytes: the module has no other use for them.
      const auto* bytes = static_cast<const char*>(sqlite3_column_blob(stmt, column));
      int size = sqlite3_column_bytes(stmt, column);
      return db::Value(bytes ? std::string(bytes, static_cast<size_t>(size)) : std::string());
    }
  }
}

// Appends a cell to a record set; a text seen before is found without copying it.
void AppendColumn(db::Recordset& records, sqlite3_stmt* stmt, int column) {
  switch (sqlite3_column_type(stmt, column)) {
    case SQLITE_NULL:
      records.AppendNull();
      return;
    case SQLITE_INTEGER:
    case SQLITE_FLOAT:
      records.Append(ColumnValue(stmt, column));
      return;
    default: {
      const auto* bytes = static_cast<const char*>(sqlite3_column_blob(stmt, column));
      const int size = sqlite3_column_bytes(stmt, column);
      records.AppendText(bytes ? std::string_view(bytes, static_cast<size_t>(size)) : "");
    }
  }
}

std::vector<std::string> ColumnNames(sqlite3_stmt* stmt) {
  const int columns = sqlite3_column_count(stmt);
  std::vector<std::string> names;
  names.reserve(static_cast<size_t>(columns));
  for (int c = 0; c < columns; ++c) {
    const char* name = sqlite3_column_name(stmt, c);
    names.emplace_back(name ? name : "");
  }
  return names;
}

// While a statement streams, the engine calls back every few thousand steps of its program;
// a tenth of a second after the last chunk the sink hears of the statement (an empty chunk)
// and may stop it. The sink runs inside sqlite3_step: the host's progress display is modal,
// so nothing else reaches this connection meanwhile.
class Heartbeat {
 public:
  static constexpr int kSteps = 10000;
  static constexpr std::chrono::milliseconds kEvery{100};

  Heartbeat(sqlite3* db, db::Recordset& chunk, const db::ICommand::ChunkSink& take)
      : db_(db), chunk_(chunk), take_(take) {
    sqlite3_progress_handler(db_, kSteps, &Heartbeat::Beat, this);
  }
  ~Heartbeat() { sqlite3_progress_handler(db_, 0, nullptr, nullptr); }
  Heartbeat(const Heartbeat&) = delete;
  Heartbeat& operator=(const Heartbeat&) = delete;

  // A chunk went to the sink: the next beat is a tenth of a second from now.
  void Delivered() { last_ = std::chrono::steady_clock::now(); }
  bool Stopped() const { return stopped_; }

 private:
  static int Beat(void* self) {
    auto& beat = *static_cast<Heartbeat*>(self);
    if (std::chrono::steady_clock::now() - beat.last_ < kEvery) return 0;
    // The rows read so far go with it: they are copies, not the statement's.
    beat.Delivered();
    const bool more = beat.take_(beat.chunk_, false);
    beat.chunk_.ClearRows();
    if (more) return 0;
    beat.stopped_ = true;
    return 1;
  }

  sqlite3* db_;
  db::Recordset& chunk_;
  const db::ICommand::ChunkSink& take_;
  std::chrono::steady_clock::time_point last_ = std::chrono::steady_clock::now();
  bool stopped_ = false;
};

std::shared_ptr<db::Recordset> ClosedRecordset() {
  auto rs = std::make_shared<db::Recordset>();
  rs->Close();
  return rs;
}

}  // namespace

// A statement text bound to its service; every run prepares the translated text afresh, so a
// command can be run again after the data changed.
class SqliteCommand : public db::ICommand {
 public:
  SqliteCommand(SqliteDatabase::Impl* impl, std::string sql, bool wait)
      : impl_(impl),
        wait_(wait),
        alive_(impl->alive),
        sql_(std::move(sql)),
        translated_(TranslateSql(sql_, SqlTarget::Sqlite)) {}

  void Execute() override {
    rowsAffected_ = 0;
    Statement stmt(&impl_->kept);
    if (!Start(stmt)) return;
    sqlite3_int64 totalBefore = sqlite3_total_changes64(impl_->db);
    int rc;
    while ((rc = sqlite3_step(stmt.get())) == SQLITE_ROW) {
    }
    if (!Finish(rc)) return;
    // changes64 keeps the count of the last INSERT/UPDATE/DELETE, so a statement that changed
    // nothing (DDL, a SELECT) must not report an earlier statement's rows.
    if (sqlite3_total_changes64(impl_->db) != totalBefore) {
      rowsAffected_ = sqlite3_changes64(impl_->db);
    }
  }

  db::Value GetValue() override {
    Statement stmt(&impl_->kept);
    if (!Start(stmt)) return {};
    int rc = sqlite3_step(stmt.get());
    if (rc == SQLITE_ROW) {
      Succeed();
      return sqlite3_column_count(stmt.get()) > 0 ? ColumnValue(stmt.get(), 0) : db::Value();
    }
    Finish(rc);
    return {};
  }

  std::shared_ptr<db::Recordset> OpenRecordset() override {
    Statement stmt(&impl_->kept);
    if (!Start(stmt)) return ClosedRecordset();
    // The columns are read after the first step: a kept statement is prepared again there when
    // the schema changed since, and "*" may then stand for more columns than before.
    int rc = sqlite3_step(stmt.get());
    auto records = std::make_shared<db::Recordset>(ColumnNames(stmt.get()));
    const int columns = records->FieldCount();
    for (; rc == SQLITE_ROW; rc = sqlite3_step(stmt.get())) {
      for (int c = 0; c < columns; ++c) AppendColumn(*records, stmt.get(), c);
    }
    if (!Finish(rc)) return ClosedRecordset();
    records->EndFilling();
    return records;
  }

  bool Stream(size_t chunkRows, const ChunkSink& take) override {
    Statement stmt(&impl_->kept);
    if (!Start(stmt)) return false;
    // A beat during the first step (a sort) hands over a chunk without names: the columns are
    // known only after it, as OpenRecordset reads them.
    db::Recordset chunk({}, false);
    const auto full = static_cast<int64_t>(std::max<size_t>(chunkRows, 1));
    Heartbeat heartbeat(impl_->db, chunk, take);
    int rc = sqlite3_step(stmt.get());
    if (heartbeat.Stopped()) return Stop();
    chunk = db::Recordset(ColumnNames(stmt.get()), false);
    const int columns = chunk.FieldCount();
    for (; rc == SQLITE_ROW; rc = sqlite3_step(stmt.get())) {
      for (int c = 0; c < columns; ++c) AppendColumn(chunk, stmt.get(), c);
      if (chunk.RecordCount() < full) continue;
      heartbeat.Delivered();
      if (!take(chunk, false)) return Stop();
      chunk.ClearRows();
    }
    if (heartbeat.Stopped()) return Stop();
    if (!Finish(rc)) return false;
    take(chunk, true);
    return true;
  }

  int64_t RowsAffected() const override { return rowsAffected_; }

  void Bind(int position, const db::Value& value) override { values_.Bind(position, value); }

  std::string Error() const override { return error_; }

  // The engine's busy and locked codes are the only failures told in these words.
  bool Busy() const override { return error_ == kDatabaseBusyText; }

 private:
  // Logs the text as the module sent it and prepares its translation.
  bool Start(Statement& stmt) {
    if (alive_.expired()) {
      error_ = "the database service this command belongs to is closed";
      return false;
    }
    if (!wait_) stmt.DoNotWait(impl_->db);
    if (impl_->logging) impl_->log.push_back(WithValuesWritten(sql_, values_.Values()));
    if (std::string bad = values_.PositionError(); !bad.empty()) return Fail(bad);
    std::string error;
    if (!stmt.Prepare(impl_->db, translated_, values_.Values(), error)) return Fail(error);
    return true;
  }
  bool Finish(int rc) {
    if (rc == SQLITE_DONE) {
      Succeed();
      return true;
    }
    return Fail(EngineErrorText(impl_->db, rc, nullptr));
  }
  void Succeed() {
    error_.clear();
    impl_->lastError.clear();
  }
  // The caller stopped a streaming statement: no failure of the statement's.
  bool Stop() {
    Succeed();
    return false;
  }
  bool Fail(std::string error) {
    error_ = std::move(error);
    impl_->lastError = error_;
    return false;
  }

  SqliteDatabase::Impl* impl_;
  bool wait_;
  std::weak_ptr<int> alive_;
  std::string sql_;
  std::string translated_;
  BoundValues values_;
  std::string error_;
  int64_t rowsAffected_ = 0;
};

SqliteDatabase::SqliteDatabase() : impl_(std::make_unique<Impl>()) {}

EngineState& SqliteDatabase::State() const {
  return *impl_;
}

SqliteDatabase::~SqliteDatabase() {
  // The planner's statistics follow the shop as it grows: SQLite's own advice for a
  // connection that closes is to let it analyze the tables its queries used whose statistics
  // are missing or stale (after an upgrade added an index, or the shop grew many times over).
  // The whole table is read: a bounded sample of the orders, all of one program, told the
  // planner a program holds a thousand of them, and the price proposal then sorted the whole
  // program for every line typed. Never waited for: when another user holds the file, the
  // statistics wait for the next close.
  if (impl_->db && !impl_->inMemory && sqlite3_get_autocommit(impl_->db)) {
    sqlite3_busy_timeout(impl_->db, 0);
    sqlite3_exec(impl_->db, "PRAGMA optimize;", nullptr, nullptr, nullptr);
  }
  impl_->kept.FinalizeAll();
  if (impl_->checkpointer) {
    WalCheckpointer::Detach(impl_->db);
    impl_->checkpointer.reset();
  }
  // Closing rolls back a transaction left open; close_v2 copes with statements still held by
  // others through Handle().
  sqlite3_close_v2(impl_->db);
  if (impl_->openFile) open_files::Unregister(*impl_->openFile);
}

db::Result<std::unique_ptr<SqliteDatabase>> SqliteDatabase::Open(const std::string& path) {
  return OpenFile(path, false);
}

db::Result<std::unique_ptr<SqliteDatabase>> SqliteDatabase::OpenReadOnly(const std::string& path) {
  return OpenFile(path, true);
}

db::Result<std::unique_ptr<SqliteDatabase>> SqliteDatabase::OpenFile(const std::string& path,
                                                                     bool readOnly) {
  // A failed open (a full or failing disk while switching to WAL) would leave the engine's
  // half-made -shm or -wal behind; the ones this open made go with it.
  const std::vector<std::string> made =
      path == ":memory:" ? std::vector<std::string>{} : MissingCompanions(path);
  std::unique_ptr<SqliteDatabase> database(new SqliteDatabase());
  auto fail = [&](const std::string& reason) -> db::Result<std::unique_ptr<SqliteDatabase>> {
    const std::string error = "cannot open \"" + path + "\" as a database: " + reason;
    sqlite3_close_v2(database->impl_->db);
    database->impl_->db = nullptr;
    if (database->impl_->openFile) open_files::Unregister(*database->impl_->openFile);
    database->impl_->openFile.reset();
    // Only what nobody uses goes: another connection of this process, or another process
    // that opened the shop since the companions were found missing, would lose its live log.
    if (!open_files::InUse(path)) {
      for (const auto& companion : made) {
        std::error_code ignored;
        std::filesystem::remove(companion, ignored);
      }
    }
    return db::Status::Failure(error);
  };
  if (path.empty()) return fail("no file name given");
  sqlite3*& db = database->impl_->db;
  int flags = readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
  std::string name = path;
  if (readOnly && made.size() == 2 && IsWalFile(path)) {
    // A WAL file with nothing beside it holds all its pages itself; read as it stands, the
    // engine makes no -shm or -wal beside it either.
    name = "file:" + UriPath(path) + "?immutable=1";
    flags |= SQLITE_OPEN_URI;
  }
  int rc = sqlite3_open_v2(name.c_str(), &db, flags, nullptr);
  // Counted before the first statement takes a lock, so no look at the file's bytes outside
  // the engine can come between.
  if (rc == SQLITE_OK && path != ":memory:") database->impl_->openFile = open_files::Register(path);
  if (rc != SQLITE_OK) {
    return fail(db ? EngineErrorText(db, rc, nullptr) : FailureText(rc, sqlite3_errstr(rc)));
  }
  sqlite3_busy_timeout(db, kBusyTimeoutMs);
  // SQLite reads a file's header lazily; reading the schema now makes a file that is no
  // database fail here with "file is not a database" rather than at the first statement.
  if (!database->impl_->Exec("SELECT count(*) FROM sqlite_master")) {
    return fail(database->impl_->lastError);
  }
  bool inMemory = path == ":memory:" || sqlite3_db_filename(db, "main") == nullptr ||
                  *sqlite3_db_filename(db, "main") == '\0';
  database->impl_->inMemory = inMemory;
  // A file opened only to be read keeps its journal mode: switching it would write its header.
  if (readOnly) return database;
  // WAL lets readers (navigation, pickers) go on while another user saves; NORMAL sync is
  // safe under WAL and keeps a save at well under a millisecond.
  if (!inMemory && !database->impl_->Exec("PRAGMA journal_mode=WAL")) {
    return fail(database->impl_->lastError);
  }
  if (!database->impl_->Exec("PRAGMA synchronous=NORMAL")) {
    return fail(database->impl_->lastError);
  }
  if (!inMemory) {
    database->impl_->checkpointer =
        std::make_unique<WalCheckpointer>(sqlite3_db_filename(db, "main"));
    database->impl_->checkpointer->Attach(db);
  }
  return database;
}

std::unique_ptr<db::ICommand> SqliteDatabase::CreateCommand(const std::string& sql, int kind) {
  // Every kind is plain text, and a failed statement is undone alone anyway; inside a
  // transaction the write lock is held already, so only a statement outside one can wait.
  return std::make_unique<SqliteCommand>(impl_.get(), sql,
                                         kind != db::IDatabase::kCommandTextNoWait);
}

void SqliteDatabase::Close() {
  // Commands finalize their statements as they finish; this ends what others prepared through
  // Handle() and left half-read, so no read snapshot outlives the operation. The connection
  // and an open transaction stay as they are.
  for (sqlite3_stmt* stmt = sqlite3_next_stmt(impl_->db, nullptr); stmt;
       stmt = sqlite3_next_stmt(impl_->db, stmt)) {
    sqlite3_reset(stmt);
  }
}

// Nesting: BeginTrans inside an open transaction opens a savepoint, CommitTrans releases and
// RollbackTrans undoes the innermost level only, as the desktop engine nests transactions.
// The outermost level takes the write lock at once (BEGIN IMMEDIATE): a save reads before it
// writes, and a deferred transaction would fail without waiting if another user wrote in
// between.
void SqliteDatabase::BeginTrans() {
  if (impl_->depth > 0 && !impl_->EngineInTransaction()) impl_->depth = 0;
  if (impl_->depth == 0) {
    if (!impl_->Exec("BEGIN IMMEDIATE")) return;
  } else {
    std::string savepoint = "SAVEPOINT " + EngineState::LevelName(impl_->depth + 1);
    if (!impl_->Exec(savepoint.c_str())) return;
  }
  ++impl_->depth;
}

void SqliteDatabase::CommitTrans() {
  if (impl_->depth == 0 || !impl_->EngineInTransaction()) {
    // Either nothing was begun, or the engine already rolled back (a failed statement can
    // abort the whole transaction): committing would claim a success that did not happen.
    bool lost = impl_->depth > 0;
    impl_->depth = 0;
    impl_->lastError = lost ? "the transaction was rolled back by the database engine"
                            : "cannot commit: no transaction is active";
    return;
  }
  bool ok = impl_->depth == 1
                ? impl_->Exec("COMMIT")
                : impl_->Exec(("RELEASE " + EngineState::LevelName(impl_->depth)).c_str());
  if (ok) --impl_->depth;
}

void SqliteDatabase::RollbackTrans() {
  if (impl_->depth == 0 || !impl_->EngineInTransaction()) {
    // Nothing to undo: harmless, as the transaction guard may roll back after a failed commit.
    impl_->depth = 0;
    impl_->lastError.clear();
    return;
  }
  if (impl_->depth == 1) {
    impl_->Exec("ROLLBACK");
    impl_->depth = impl_->EngineInTransaction() ? 1 : 0;
    return;
  }
  std::string level = EngineState::LevelName(impl_->depth);
  if (impl_->Exec(("ROLLBACK TO " + level).c_str()) && impl_->Exec(("RELEASE " + level).c_str())) {
    --impl_->depth;
  }
}

bool SqliteDatabase::InTransaction() const {
  return impl_->EngineInTransaction();
}

db::Status SqliteDatabase::ExecScript(const std::string& sql) {
  // A script changes the schema; statements kept from before would only be prepared again.
  impl_->kept.FinalizeAll();
  impl_->Exec(sql.c_str());
  return db::Status::FromError(impl_->lastError);
}

sqlite3* SqliteDatabase::Handle() const {
  return impl_->db;
}

void SqliteDatabase::SetBusyTimeout(int milliseconds) {
  sqlite3_busy_timeout(impl_->db, milliseconds);
}

namespace {

std::string CopyPages(sqlite3* from, sqlite3* to) {
  sqlite3_backup* backup = sqlite3_backup_init(to, "main", from, "main");
  if (!backup) return SqliteDatabase::FailureText(sqlite3_errcode(to), sqlite3_errmsg(to));
  int rc = sqlite3_backup_step(backup, -1);
  sqlite3_backup_finish(backup);
  if (rc == SQLITE_DONE) return {};
  return SqliteDatabase::FailureText(rc, sqlite3_errstr(rc));
}

}  // namespace

db::Status SqliteDatabase::CopyPagesTo(SqliteDatabase& target) {
  return db::Status::FromError(CopyPages(impl_->db, target.impl_->db));
}

db::Status SqliteDatabase::CopyPagesToFile(const std::string& path) {
  // A bare connection of its own: the copy is no shop yet (no WAL, no checkpointer), and its
  // file is new, so no other connection of this process holds a lock on it.
  sqlite3* raw = nullptr;
  const int rc =
      sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  std::unique_ptr<sqlite3, int (*)(sqlite3*)> target(raw, sqlite3_close_v2);
  if (rc != SQLITE_OK) {
    return db::Status::FromError("cannot open " + path + ": " +
                                 (raw ? sqlite3_errmsg(raw) : sqlite3_errstr(rc)));
  }
  sqlite3_busy_timeout(raw, kBusyTimeoutMs);
  std::string error = CopyPages(impl_->db, raw);
  if (error.empty()) sqlite3_exec(raw, "PRAGMA journal_mode=DELETE", nullptr, nullptr, nullptr);
  return db::Status::FromError(error);
}

}  // namespace ws::platform
