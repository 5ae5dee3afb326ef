#include "platform/postgres_database.h"

#include <libpq-fe.h>
#include <poll.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>
#include <string_view>
#include <utility>

#include "platform/bound_values.h"
#include "platform/sql_translator.h"
#include "platform/statement_cache.h"

namespace ws::platform {

namespace {

// Type oids of the built-in types whose values are numbers (pg_type.h is a server header).
constexpr Oid kBoolOid = 16;
constexpr Oid kInt8Oid = 20;
constexpr Oid kInt2Oid = 21;
constexpr Oid kInt4Oid = 23;
constexpr Oid kOidOid = 26;
constexpr Oid kFloat4Oid = 700;
constexpr Oid kFloat8Oid = 701;
constexpr Oid kNumericOid = 1700;

// How many statement texts a connection keeps prepared.
constexpr size_t kKeptStatements = 256;

// The savepoint that fences one statement inside a transaction.
constexpr const char* kStatementSavepoint = "ws_statement";

// A result that is cleared on every path out.
class Result {
 public:
  explicit Result(PGresult* result = nullptr) : result_(result) {}
  ~Result() { PQclear(result_); }
  Result(const Result&) = delete;
  Result& operator=(const Result&) = delete;
  PGresult* get() const { return result_; }
  bool Ok() const {
    ExecStatusType status = PQresultStatus(result_);
    return result_ && (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK);
  }

 private:
  PGresult* result_;
};

// The server's own words, without the "ERROR:  " prefix and trailing newline of the full text.
// A full or failing disk under the server is told in the shop's words, as on the embedded engine.
std::string ErrorText(PGconn* conn, const PGresult* result) {
  if (result) {
    if (const char* state = PQresultErrorField(result, PG_DIAG_SQLSTATE)) {
      if (std::string_view(state) == "53100") return std::string(kDiskFullText);
      if (std::string_view(state) == "58030") return std::string(kDiskErrorText);
    }
    if (const char* primary = PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY)) return primary;
  }
  std::string text = PQerrorMessage(conn);
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  return text.empty() ? "the statement failed" : text;
}

bool IdentifierByte(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte >= 0x80 || std::isalnum(byte) || c == '_';
}

// The server folds unquoted names to lower case, so "往来ID" comes back as "往来id". A column
// name is given back as the statement spells it (its first whole-word occurrence, letter case
// aside), since grids show field names as their headers and the embedded engine keeps them.
std::string SpelledAsWritten(const std::string& name, std::string_view sql) {
  if (name.empty() ||
      std::none_of(name.begin(), name.end(), [](char c) { return c >= 'a' && c <= 'z'; })) {
    return name;
  }
  auto lower = [](char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  };
  for (size_t at = 0; at + name.size() <= sql.size(); ++at) {
    if (at > 0 && IdentifierByte(sql[at - 1])) continue;
    const size_t end = at + name.size();
    if (end < sql.size() && IdentifierByte(sql[end])) continue;
    bool same = true;
    for (size_t i = 0; same && i < name.size(); ++i) same = lower(sql[at + i]) == name[i];
    if (same) return std::string(sql.substr(at, name.size()));
  }
  return name;
}

// The server writes reals with a point whatever the client's locale; strtod would read "1.5"
// as 1 under a comma locale.
double RealOf(std::string_view text) {
  double value = 0;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return value;
}

// An integer's text as a whole number when it fits a long, else as a real.
db::Value WholeOrReal(const char* text) {
  errno = 0;
  char* end = nullptr;
  long long whole = std::strtoll(text, &end, 10);
  if (errno == 0 && end && *end == '\0') return db::Value(static_cast<int64_t>(whole));
  return db::Value(RealOf(text));
}

// Values arrive as text; numbers become numbers as the embedded engine hands them out, so a
// sum of whole amounts reads "12", not "12.0". Dates come as ISO text (DateStyle ISO).
db::Value CellValue(const PGresult* result, int row, int column) {
  if (PQgetisnull(result, row, column)) return db::Value();
  const char* text = PQgetvalue(result, row, column);
  switch (PQftype(result, column)) {
    case kBoolOid:
      return db::Value(static_cast<int64_t>(text[0] == 't' ? 1 : 0));
    case kInt2Oid:
    case kInt4Oid:
    case kInt8Oid:
    case kOidOid:
      return WholeOrReal(text);
    case kNumericOid: {
      // Kept as its digits: a NUMERIC amount read through a double would lose its cents beyond
      // 15 digits. The scale's trailing zeros ("12.3400") go, so it reads as it was written.
      std::string digits(text);
      if (digits.find_first_of("eEN") != std::string::npos) return db::Value(RealOf(text));
      if (digits.find('.') != std::string::npos) {
        while (digits.back() == '0') digits.pop_back();
        if (digits.back() == '.') digits.pop_back();
      }
      if (digits.find('.') == std::string::npos) return WholeOrReal(digits.c_str());
      return db::Value(db::DecimalNumber{std::move(digits)});
    }
    case kFloat4Oid:
    case kFloat8Oid:
      return db::Value(RealOf(text));
    default:
      return db::Value(std::string(text, static_cast<size_t>(PQgetlength(result, row, column))));
  }
}

// Appends a cell to a record set; a text seen before is found without copying it.
void AppendCell(db::Recordset& records, const PGresult* result, int row, int column) {
  switch (PQftype(result, column)) {
    case kBoolOid:
    case kInt2Oid:
    case kInt4Oid:
    case kInt8Oid:
    case kOidOid:
    case kNumericOid:
    case kFloat4Oid:
    case kFloat8Oid:
      records.Append(CellValue(result, row, column));
      return;
    default:
      if (PQgetisnull(result, row, column)) {
        records.AppendNull();
      } else {
        records.AppendText(std::string_view(PQgetvalue(result, row, column),
                                            static_cast<size_t>(PQgetlength(result, row, column))));
      }
  }
}

std::shared_ptr<db::Recordset> ClosedRecordset() {
  auto rs = std::make_shared<db::Recordset>();
  rs->Close();
  return rs;
}

// The value a connection URL gives a libpq keyword ("" when it gives none); nullopt and the
// reason in *error when the URL cannot be read.
std::optional<std::string> ConnectionOption(const std::string& url, std::string_view keyword,
                                            std::string* error) {
  char* parseError = nullptr;
  PQconninfoOption* options = PQconninfoParse(url.c_str(), &parseError);
  if (!options) {
    *error = parseError ? parseError : "cannot read the URL";
    while (!error->empty() && error->back() == '\n') error->pop_back();
    PQfreemem(parseError);
    return std::nullopt;
  }
  std::string value;
  for (PQconninfoOption* option = options; option->keyword; ++option) {
    if (keyword == option->keyword && option->val) value = option->val;
  }
  PQconninfoFree(options);
  return value;
}

// Server notices ("there is no transaction in progress") are no failures of ours: dropped.
void IgnoreNotice(void*, const char*) {}

}  // namespace

bool IsPostgresUrl(std::string_view name) {
  return name.rfind("postgresql://", 0) == 0 || name.rfind("postgres://", 0) == 0;
}

std::string DisplayUrl(std::string_view url) {
  size_t scheme = url.find("://");
  if (scheme == std::string_view::npos) return std::string(url);
  size_t authority = scheme + 3;
  size_t at = url.find('@', authority);
  size_t slash = url.find('/', authority);
  if (at == std::string_view::npos || (slash != std::string_view::npos && slash < at)) {
    return std::string(url);
  }
  size_t colon = url.find(':', authority);
  if (colon == std::string_view::npos || colon > at) return std::string(url);
  return std::string(url.substr(0, colon + 1)) + "***" + std::string(url.substr(at));
}

struct PostgresDatabase::Impl {
  PGconn* conn = nullptr;
  std::string lastError;
  std::map<std::string, std::string> settings{{"driver", "postgresql"}};
  bool logging = false;
  std::vector<std::string> log;
  // Nesting depth of BeginTrans: 1 is the server transaction, deeper levels are savepoints.
  int depth = 0;
  std::shared_ptr<int> alive = std::make_shared<int>(0);
  // Prepared statements of this connection; plans of a few hundred texts are a few megabytes
  // of server memory at most.
  StatementCache statements{kKeptStatements};
  // Names of statements pushed out of the cache, not yet freed on the server.
  std::vector<std::string> dropped;

  // Runs a statement of the service's own (transaction control); sets lastError.
  bool Exec(const std::string& sql) {
    Result result(PQexec(conn, sql.c_str()));
    if (result.Ok()) {
      lastError.clear();
      return true;
    }
    lastError = ErrorText(conn, result.get());
    return false;
  }
  bool ServerInTransaction() const {
    PGTransactionStatusType status = PQtransactionStatus(conn);
    return status == PQTRANS_INTRANS || status == PQTRANS_INERROR || status == PQTRANS_ACTIVE;
  }
  // A connection the server dropped (restart, idle timeout) is made again before the next
  // statement, unless a transaction was open on it: then its work is lost and must fail.
  // A new connection has none of the old one's prepared statements.
  void Reconnect() {
    if (PQstatus(conn) == CONNECTION_OK || depth > 0) return;
    PQreset(conn);
    statements.Clear();
    dropped.clear();
  }

  // Runs one statement with its parameters; answers the result when it succeeded (lastError
  // cleared), nullptr otherwise (lastError set). Inside a transaction the statement is fenced
  // by a savepoint, so its failure leaves the transaction as it was before the statement. A
  // kept statement the server can no longer run as prepared (a table it reads changed its
  // columns) is prepared again and run once more: its failure changed nothing.
  // A statement whose failure rolls back the whole level (`fence` false) goes unfenced: a
  // savepoint per statement costs the server a subtransaction, and a row locked in one
  // subtransaction and updated in another a multixact.
  std::unique_ptr<Result> Run(const std::string& sql, const std::vector<const char*>& params,
                              const std::vector<Oid>& types, bool fence) {
    Reconnect();
    FreeDropped();
    const int count = static_cast<int>(params.size());
    const Oid* typeList = types.empty() ? nullptr : types.data();
    const PGTransactionStatusType status = PQtransactionStatus(conn);
    const bool fenced = fence && depth > 0 && status == PQTRANS_INTRANS;
    // Outside a transaction a failed statement changed nothing either.
    const bool retryable = fenced || status == PQTRANS_IDLE;
    bool stale = false;
    auto result = RunPipelined(sql, count, typeList, params.data(), fenced, &stale);
    if (!result && stale && retryable) {
      result = RunPipelined(sql, count, typeList, params.data(), fenced, &stale);
    }
    return result;
  }

  // A statement queued in the pipeline: the preparation when the text was not kept yet, and
  // the run of the prepared statement; each at its place among the pipeline's results.
  struct Queued {
    std::string key;
    std::string name;
    int prepareAt = -1;
    int runAt = -1;
  };

  // The cache holds a text per parameter types, as the server fixes them at preparation.
  static std::string CacheKey(const std::string& sql, int count, const Oid* types) {
    std::string key = sql;
    key += '\0';
    for (int i = 0; types && i < count; ++i) key += std::to_string(types[i]) + ",";
    return key;
  }

  bool Queue(const std::string& sql, int count, const Oid* types, const char* const* params,
             Queued& queued, int& sent) {
    queued.key = CacheKey(sql, count, types);
    if (const std::string* kept = statements.Find(queued.key)) {
      queued.name = *kept;
    } else {
      queued.name = statements.NewName();
      if (PQsendPrepare(conn, queued.name.c_str(), sql.c_str(), count, types) != 1) return false;
      queued.prepareAt = sent++;
    }
    if (PQsendQueryPrepared(conn, queued.name.c_str(), count, params, nullptr, nullptr, 0) != 1) {
      return false;
    }
    queued.runAt = sent++;
    return true;
  }

  // The fence's savepoint, the statement (with its preparation when it is new) and the
  // fence's release go to the server in one pipeline: one round trip. A failed statement
  // aborts the rest of the pipeline; rolling back to the savepoint then undoes it alone.
  std::unique_ptr<Result> RunPipelined(const std::string& sql, int count, const Oid* types,
                                       const char* const* params, bool fenced, bool* stale) {
    *stale = false;
    static const std::string savepoint = std::string("SAVEPOINT ") + kStatementSavepoint;
    static const std::string release = std::string("RELEASE SAVEPOINT ") + kStatementSavepoint;
    Queued fence[2];
    Queued statement;
    int sent = 0;
    bool ok = PQenterPipelineMode(conn) == 1 &&
              (!fenced || Queue(savepoint, 0, nullptr, nullptr, fence[0], sent)) &&
              Queue(sql, count, types, params, statement, sent) &&
              (!fenced || Queue(release, 0, nullptr, nullptr, fence[1], sent)) &&
              PQpipelineSync(conn) == 1;
    std::vector<std::unique_ptr<Result>> results(static_cast<size_t>(sent));
    if (ok) {
      for (auto& result : results) {
        // Each query's results end with a null; the first result is the one that counts.
        while (PGresult* next = PQgetResult(conn)) {
          if (!result) {
            result = std::make_unique<Result>(next);
          } else {
            PQclear(next);
          }
        }
      }
      // The sync's own result, then the pipeline is empty.
      while (PGresult* next = PQgetResult(conn)) {
        bool sync = PQresultStatus(next) == PGRES_PIPELINE_SYNC;
        PQclear(next);
        if (sync) break;
      }
    }
    std::string sendError = ok ? "" : ErrorText(conn, nullptr);
    PQexitPipelineMode(conn);
    auto done = [&](int at) { return at < 0 || (results[at] && results[at]->Ok()); };
    // Only a preparation the server took is kept; an aborted pipeline skipped the rest.
    for (Queued* queued : {&fence[0], &statement, &fence[1]}) {
      if (queued->prepareAt >= 0 && done(queued->prepareAt)) {
        for (auto& name : statements.Add(queued->key, queued->name)) dropped.push_back(name);
      }
    }
    if (!ok) {
      lastError = sendError;
      return nullptr;
    }
    auto succeeded = [&](const Queued& q) {
      return q.runAt < 0 || (done(q.prepareAt) && done(q.runAt));
    };
    if (succeeded(fence[0]) && succeeded(statement) && succeeded(fence[1])) {
      lastError.clear();
      return std::move(results[statement.runAt]);
    }
    // The first failure is the one to report: the savepoint's, else the statement's.
    auto failure = [&](const Queued& q) -> const Result* {
      int at = done(q.prepareAt) ? q.runAt : q.prepareAt;
      return results[at].get();
    };
    const Result* failed = !succeeded(fence[0])    ? failure(fence[0])
                           : !succeeded(statement) ? failure(statement)
                                                   : failure(fence[1]);
    std::string error = ErrorText(conn, failed ? failed->get() : nullptr);
    if (failed == results[statement.runAt].get() && statement.prepareAt < 0 && StalePlan(failed)) {
      if (std::string name = statements.Forget(statement.key); !name.empty()) {
        dropped.push_back(name);
      }
      *stale = true;
    }
    if (fenced && succeeded(fence[0])) {
      Exec("ROLLBACK TO SAVEPOINT " + std::string(kStatementSavepoint) + "; " + release);
    }
    lastError = std::move(error);
    return nullptr;
  }

  // The server refuses to run a prepared statement whose result columns changed since it was
  // prepared, or one it no longer has; preparing the text again mends both.
  static bool StalePlan(const Result* result) {
    if (!result || !result->get()) return false;
    const char* state = PQresultErrorField(result->get(), PG_DIAG_SQLSTATE);
    if (!state) return false;
    const std::string_view code(state);
    return code == "26000" ||
           (code == "0A000" &&
            std::string_view(PQresultErrorMessage(result->get()))
                    .find("cached plan must not change result type") != std::string_view::npos);
  }

  // Statements pushed out of the cache are freed on the server between transactions, where a
  // failing DEALLOCATE cannot abort anything.
  void FreeDropped() {
    if (dropped.empty() || PQtransactionStatus(conn) != PQTRANS_IDLE) return;
    for (const auto& name : dropped) PQclear(PQexec(conn, ("DEALLOCATE " + name).c_str()));
    dropped.clear();
  }
};

// A statement text bound to its service; every run sends the translated text afresh, so a
// command can be run again after the data changed.
class PostgresCommand : public db::ICommand {
 public:
  PostgresCommand(PostgresDatabase::Impl* impl, std::string sql, bool fence)
      : impl_(impl),
        fence_(fence),
        alive_(impl->alive),
        sql_(std::move(sql)),
        translated_(TranslateSql(sql_, SqlTarget::Postgres)) {}

  void Bind(int position, const db::Value& value) override { values_.Bind(position, value); }

  std::string Error() const override { return error_; }

  void Execute() override {
    rowsAffected_ = 0;
    auto result = Start();
    if (!result) return;
    const char* tuples = PQcmdTuples(result->get());
    rowsAffected_ = tuples && *tuples ? std::strtoll(tuples, nullptr, 10) : 0;
  }

  db::Value GetValue() override {
    auto result = Start();
    if (!result) return {};
    PGresult* r = result->get();
    if (PQntuples(r) == 0 || PQnfields(r) == 0) return {};
    return CellValue(r, 0, 0);
  }

  std::shared_ptr<db::Recordset> OpenRecordset() override {
    auto result = Start();
    if (!result) return ClosedRecordset();
    PGresult* r = result->get();
    auto records = std::make_shared<db::Recordset>(Names(r));
    const int columns = PQnfields(r);
    const int count = PQntuples(r);
    for (int row = 0; row < count; ++row) {
      for (int c = 0; c < columns; ++c) AppendCell(*records, r, row, c);
    }
    records->EndFilling();
    return records;
  }

  bool Stream(size_t chunkRows, const ChunkSink& take) override {
    // Inside a transaction every statement is fenced by a savepoint in one pipeline: the rows
    // come whole and go to the sink in chunks.
    const size_t chunk = std::max<size_t>(chunkRows, 1);
    if (impl_->depth > 0) return StreamWhole(chunk, take);
    Parameters parameters;
    if (!Bind(parameters)) return false;
    impl_->Reconnect();
    // A cursor of the server's, fetched a chunk at a time: the rows come in results as compact
    // as a whole query's (libpq's single-row mode made a result per row, and cost four times
    // the client's time), and stopping is closing it. A cursor lives in a transaction: one of
    // its own, read-only, ended whatever happens.
    PGconn* conn = impl_->conn;
    const std::string declare = "DECLARE ws_stream NO SCROLL CURSOR FOR " + translated_;
    std::string failure;
    bool stopped = false;
    // The planner takes a cursor for one whose first tenth is read and may choose a plan that
    // is quick to start and slow to finish; the report reads it to the end.
    if (!impl_->Exec("BEGIN READ ONLY; SET LOCAL cursor_tuple_fraction = 1")) {
      Fail(impl_->lastError);
      return false;
    }
    Result declared(PQexecParams(conn, declare.c_str(), static_cast<int>(parameters.values.size()),
                                 parameters.types.empty() ? nullptr : parameters.types.data(),
                                 parameters.values.data(), nullptr, nullptr, 0));
    if (!declared.Ok()) failure = ErrorText(conn, declared.get());
    const std::string fetch = "FETCH " + std::to_string(chunk) + " FROM ws_stream";
    db::Recordset rows;
    bool named = false;
    while (failure.empty() && !stopped) {
      std::unique_ptr<Result> fetched = FetchWhileBeating(fetch, rows, take, &stopped);
      if (stopped) break;
      if (!fetched || !fetched->Ok()) {
        failure = ErrorText(conn, fetched ? fetched->get() : nullptr);
        break;
      }
      PGresult* r = fetched->get();
      if (!named) {
        rows = db::Recordset(Names(r), false);
        named = true;
      }
      const int columns = PQnfields(r);
      const int count = PQntuples(r);
      for (int row = 0; row < count; ++row) {
        for (int c = 0; c < columns; ++c) AppendCell(rows, r, row, c);
      }
      if (static_cast<size_t>(count) < chunk) break;
      if (!take(rows, false)) {
        stopped = true;
        break;
      }
      rows.ClearRows();
    }
    impl_->Exec("ROLLBACK");
    if (stopped) {
      Succeed();
      return false;
    }
    if (!failure.empty()) {
      Fail(failure);
      return false;
    }
    Succeed();
    take(rows, true);
    return true;
  }

  int64_t RowsAffected() const override { return rowsAffected_; }

 private:
  static constexpr std::chrono::milliseconds kBeat{100};

  // The bound values as the server takes them: texts, with a type where the text alone would
  // mislead.
  struct Parameters {
    std::vector<std::string> texts;
    std::vector<const char*> values;
    std::vector<Oid> types;
  };

  // Logs the text as the module sent it and writes its bound values; false (the failure set)
  // when the service is gone or a placeholder has no value. A count of values that differs
  // from the text's placeholders is refused by the server.
  bool Bind(Parameters& parameters) {
    if (alive_.expired()) {
      error_ = "the database service this command belongs to is closed";
      return false;
    }
    if (impl_->logging) impl_->log.push_back(WithValuesWritten(sql_, values_.Values()));
    if (std::string bad = values_.PositionError(); !bad.empty()) {
      Fail(bad);
      return false;
    }
    const auto& values = values_.Values();
    std::vector<std::string>& texts = parameters.texts;
    texts.resize(values.size());
    parameters.values.assign(values.size(), nullptr);
    parameters.types.assign(values.size(), 0);
    for (size_t i = 0; i < values.size(); ++i) {
      if (!values[i]) {
        Fail("no value is bound to placeholder " + std::to_string(i + 1));
        return false;
      }
      const db::Value& value = *values[i];
      if (value.IsNull()) continue;
      if (value.IsReal()) {
        // A real stays a real where the text alone would let the server take it for a whole
        // number (CASE, COALESCE with 0); every other value takes its type from its place.
        // to_chars writes the point whatever the locale and the shortest text that reads
        // back as the same double.
        char text[32];
        auto written = std::to_chars(text, text + sizeof text, value.ToDouble());
        texts[i].assign(text, written.ptr);
        parameters.types[i] = kFloat8Oid;
      } else if (value.IsDecimal()) {
        // An amount travels as its exact digits.
        texts[i] = value.ToText();
        parameters.types[i] = kNumericOid;
      } else {
        texts[i] = value.ToText();
      }
    }
    for (size_t i = 0; i < values.size(); ++i) {
      if (values[i] && !values[i]->IsNull()) parameters.values[i] = texts[i].c_str();
    }
    return true;
  }

  // Runs the statement with its bound values and answers its whole result.
  std::unique_ptr<Result> Start() {
    Parameters parameters;
    if (!Bind(parameters)) return nullptr;
    auto result = impl_->Run(translated_, parameters.values, parameters.types, fence_);
    if (!result) {
      error_ = impl_->lastError;
      return nullptr;
    }
    error_.clear();
    return result;
  }

  std::vector<std::string> Names(const PGresult* result) const {
    std::vector<std::string> names;
    for (int c = 0; c < PQnfields(result); ++c) {
      names.push_back(SpelledAsWritten(PQfname(result, c), sql_));
    }
    return names;
  }

  // Sends a fetch and waits for its result, handing the sink what was read so far (nothing
  // new: the rows of a fetch come whole) every tenth of a second; a sink that says stop
  // cancels the fetch on the server. Null when the fetch could not be sent or was stopped.
  std::unique_ptr<Result> FetchWhileBeating(const std::string& fetch, db::Recordset& rows,
                                            const ChunkSink& take, bool* stopped) {
    PGconn* conn = impl_->conn;
    if (PQsendQuery(conn, fetch.c_str()) != 1) return nullptr;
    auto last = std::chrono::steady_clock::now();
    while (!*stopped && PQisBusy(conn)) {
      pollfd socket{PQsocket(conn), POLLIN, 0};
      const int ready = poll(&socket, 1, static_cast<int>(kBeat.count()));
      if ((ready < 0 && errno != EINTR) || PQconsumeInput(conn) == 0) break;
      if (!PQisBusy(conn) || std::chrono::steady_clock::now() - last < kBeat) continue;
      last = std::chrono::steady_clock::now();
      if (take(rows, false)) continue;
      *stopped = true;
      if (PGcancel* cancel = PQgetCancel(conn)) {
        char error[256];
        PQcancel(cancel, error, sizeof error);
        PQfreeCancel(cancel);
      }
    }
    // Every result of the fetch is read, so that the connection is free again.
    std::unique_ptr<Result> first;
    while (PGresult* next = PQgetResult(conn)) {
      if (!first) {
        first = std::make_unique<Result>(next);
      } else {
        PQclear(next);
      }
    }
    return *stopped ? nullptr : std::move(first);
  }

  bool StreamWhole(size_t chunkRows, const ChunkSink& take) {
    auto result = Start();
    if (!result) return false;
    PGresult* r = result->get();
    db::Recordset chunk(Names(r), false);
    const int columns = PQnfields(r);
    for (int row = 0; row < PQntuples(r); ++row) {
      for (int c = 0; c < columns; ++c) AppendCell(chunk, r, row, c);
      if (static_cast<size_t>(chunk.RecordCount()) < chunkRows) continue;
      if (!take(chunk, false)) return false;
      chunk.ClearRows();
    }
    take(chunk, true);
    return true;
  }

  void Succeed() {
    error_.clear();
    impl_->lastError.clear();
  }
  std::unique_ptr<Result> Fail(std::string error) {
    error_ = std::move(error);
    impl_->lastError = error_;
    return nullptr;
  }

  PostgresDatabase::Impl* impl_;
  bool fence_;
  std::weak_ptr<int> alive_;
  std::string sql_;
  std::string translated_;
  BoundValues values_;
  std::string error_;
  int64_t rowsAffected_ = 0;
};

PostgresDatabase::PostgresDatabase() : impl_(std::make_unique<Impl>()) {}

PostgresDatabase::~PostgresDatabase() {
  // Closing the connection rolls back a transaction left open.
  PQfinish(impl_->conn);
}

std::unique_ptr<PostgresDatabase> PostgresDatabase::Open(const std::string& url,
                                                         std::string* error) {
  auto fail = [&](const std::string& reason) -> std::unique_ptr<PostgresDatabase> {
    if (error) *error = "cannot connect to " + DisplayUrl(url) + ": " + reason;
    return nullptr;
  };
  if (!IsPostgresUrl(url)) return fail("not a postgresql:// URL");
  std::string reason;
  auto urlOptions = ConnectionOption(url, "options", &reason);
  if (!urlOptions) return fail(reason);
  // The session's settings travel with the connection parameters, so a connection made again
  // after the server dropped it has them too: names and texts are UTF-8 throughout, dates read
  // back as yyyy-mm-dd, and a lock held by another user's save is waited for as long as the
  // embedded engine waits (5 s), not forever. Options in the URL come last and win.
  const std::string options = "-c DateStyle=ISO,YMD -c lock_timeout=5s " + *urlOptions;
  const char* keywords[] = {"dbname", "client_encoding", "options", nullptr};
  const char* values[] = {url.c_str(), "UTF8", options.c_str(), nullptr};
  std::unique_ptr<PostgresDatabase> database(new PostgresDatabase());
  PGconn*& conn = database->impl_->conn;
  conn = PQconnectdbParams(keywords, values, 1);
  if (!conn) return fail("out of memory");
  if (PQstatus(conn) != CONNECTION_OK) return fail(ErrorText(conn, nullptr));
  PQsetNoticeProcessor(conn, IgnoreNotice, nullptr);
  return database;
}

std::string PostgresDatabase::CreateDatabaseIfMissing(const std::string& url) {
  if (!IsPostgresUrl(url)) return "not a postgresql:// URL: " + url;
  std::string error;
  auto dbname = ConnectionOption(url, "dbname", &error);
  if (!dbname) return error;
  const std::string& name = *dbname;
  if (name.empty() || name == "postgres") return "";

  // Parameters after the path override it: the same server, its maintenance database.
  std::string maintenance =
      url + (url.find('?') == std::string::npos ? "?" : "&") + "dbname=postgres";
  auto server = Open(maintenance, &error);
  if (!server) return error;
  PGconn* conn = server->Handle();
  const char* values[] = {name.c_str()};
  Result found(PQexecParams(conn, "SELECT 1 FROM pg_database WHERE datname = $1", 1, nullptr,
                            values, nullptr, nullptr, 0));
  if (!found.Ok()) return ErrorText(conn, found.get());
  if (PQntuples(found.get()) > 0) return "";
  char* quoted = PQescapeIdentifier(conn, name.c_str(), name.size());
  if (!quoted) return ErrorText(conn, nullptr);
  std::string create =
      "CREATE DATABASE " + std::string(quoted) + " TEMPLATE template0 ENCODING 'UTF8'";
  PQfreemem(quoted);
  server->impl_->Exec(create);
  return server->impl_->lastError;
}

std::unique_ptr<db::ICommand> PostgresDatabase::CreateCommand(const std::string& sql, int kind) {
  return std::make_unique<PostgresCommand>(impl_.get(), sql,
                                           kind != db::IDatabase::kCommandTextAllOrNothing);
}

void PostgresDatabase::Close() {}

void PostgresDatabase::BeginTrans() {
  if (impl_->depth > 0 && !impl_->ServerInTransaction()) impl_->depth = 0;
  if (impl_->depth == 0) {
    impl_->Reconnect();
    if (!impl_->Exec("BEGIN")) return;
  } else {
    if (!impl_->Exec("SAVEPOINT ws_level_" + std::to_string(impl_->depth + 1))) return;
  }
  ++impl_->depth;
}

void PostgresDatabase::CommitTrans() {
  if (impl_->depth == 0 || !impl_->ServerInTransaction()) {
    bool lost = impl_->depth > 0;
    impl_->depth = 0;
    impl_->lastError = lost ? "the transaction was lost with the connection to the server"
                            : "cannot commit: no transaction is active";
    return;
  }
  if (impl_->depth == 1) {
    // COMMIT of a transaction the server has aborted answers success but rolls back: that
    // must not pass for a commit.
    bool aborted = PQtransactionStatus(impl_->conn) == PQTRANS_INERROR;
    bool ok = impl_->Exec("COMMIT");
    impl_->depth = impl_->ServerInTransaction() ? 1 : 0;
    if (ok && aborted) impl_->lastError = "the transaction was rolled back by the database server";
    return;
  }
  if (impl_->Exec("RELEASE SAVEPOINT ws_level_" + std::to_string(impl_->depth))) --impl_->depth;
}

void PostgresDatabase::RollbackTrans() {
  if (impl_->depth == 0 || !impl_->ServerInTransaction()) {
    impl_->depth = 0;
    impl_->lastError.clear();
    return;
  }
  if (impl_->depth == 1) {
    impl_->Exec("ROLLBACK");
    impl_->depth = impl_->ServerInTransaction() ? 1 : 0;
    return;
  }
  std::string level = "ws_level_" + std::to_string(impl_->depth);
  if (impl_->Exec("ROLLBACK TO SAVEPOINT " + level) && impl_->Exec("RELEASE SAVEPOINT " + level)) {
    --impl_->depth;
  }
}

bool PostgresDatabase::InTransaction() const {
  return impl_->ServerInTransaction();
}

std::string PostgresDatabase::LastError() const {
  return impl_->lastError;
}

std::string PostgresDatabase::Settings(const std::string& key) const {
  auto it = impl_->settings.find(key);
  return it == impl_->settings.end() ? std::string() : it->second;
}

void PostgresDatabase::SetSetting(const std::string& key, const std::string& value) {
  impl_->settings[key] = value;
}

std::string PostgresDatabase::ExecScript(const std::string& sql) {
  impl_->Reconnect();
  impl_->Exec(sql);
  return impl_->lastError;
}

void PostgresDatabase::EnableLog(bool on) {
  impl_->logging = on;
}

const std::vector<std::string>& PostgresDatabase::Log() const {
  return impl_->log;
}

void PostgresDatabase::ClearLog() {
  impl_->log.clear();
}

pg_conn* PostgresDatabase::Handle() const {
  return impl_->conn;
}

}  // namespace ws::platform
