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
constexpr const char* kSavepointText = "SAVEPOINT ws_statement";
constexpr const char* kReleaseText = "RELEASE SAVEPOINT ws_statement";

// A statement that must not wait for another transaction's locks runs after this, in the same
// transaction: the server's shortest wait (0 would mean waiting for ever). Outside a transaction
// the pipeline's statements share the implicit transaction that its sync ends, and the setting
// goes with it; inside one the connection's own wait is set again after the statement.
constexpr const char* kNoWaitText = "SELECT set_config('lock_timeout', '1ms', true)";
constexpr const char* kWaitAgainText = "SET LOCAL lock_timeout TO DEFAULT";

// The server's code for a lock not granted in time (lock_timeout, NOWAIT).
bool LockNotAvailable(const PGresult* result) {
  const char* state = result ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
  return state && std::string_view(state) == "55P03";
}

// A statement for a pipeline: its text and parameters as the server reads them, and where its
// preparation and its run went among the pipeline's results.
struct Request {
  explicit Request(std::string text) : sql(std::move(text)) {}
  void Reset() { prepareAt = runAt = -1; }
  // The values as libpq takes them: the texts, a null pointer for a Null.
  std::vector<const char*> Values() const {
    std::vector<const char*> values(texts.size(), nullptr);
    for (size_t i = 0; i < values.size(); ++i) {
      if (!nulls[i]) values[i] = texts[i].c_str();
    }
    return values;
  }

  std::string sql;
  std::vector<std::string> texts;
  std::vector<char> nulls;
  std::vector<Oid> types;  // 0: the server infers the type from the value's place
  std::string key;
  std::string name;
  int prepareAt = -1;
  int runAt = -1;
};

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

// The right a table's writes need on a shop whose accounts are server logins
// (platform/server_logins.cpp): the text a clerk is told when the server refused one.
std::string RightOfTable(std::string table) {
  for (char& c : table) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  for (const char* name : {"wsdj", "wsdjxm", "wsdjpj", "clzl", "jxcdj", "jxcdjmx"}) {
    if (table == name) return "录入";
  }
  for (const char* name : {"jxcgoodslist", "jxcgoodszztz"}) {
    if (table == name) return "审核";
  }
  for (const char* name : {"arpreceive", "arpreceivemx", "arpreceive_fy", "arpreceive_xm",
                           "arpreceive_pj", "gl_accvouch"}) {
    if (table == name) return "收款";
  }
  return "管理";
}

// The server's refusal of a privilege in the shop's words. Its own text names a table, a column
// or a function in English; the guards' texts are the shop's already and pass as they are.
std::string PermissionText(const std::string& primary) {
  constexpr std::string_view kTable = "permission denied for table ";
  if (primary.rfind(kTable, 0) == 0) {
    const std::string table = primary.substr(kTable.size());
    if (table == "ws_audit") return "操作记录只能追加，任何账户都不能修改或删除它";
    if (table == "ws_account") {
      return "账户只由有“管理”权限的账户改动，密码摘要不对任何账户开放";
    }
    if (table == "ws_price_sum" || table == "ws_last_service" || table == "ws_vehicle_span" ||
        table == "ws_unsettled" || table == "ws_change_block") {
      return "汇总表 " + table + " 只由服务器自己维护，不能直接改写";
    }
    return "没有“" + RightOfTable(table) + "”权限，服务器拒绝了对 " + table + " 的改动";
  }
  constexpr std::string_view kFunction = "permission denied for function ";
  if (primary.rfind(kFunction, 0) == 0) {
    return "没有“管理”权限，不能调用服务器函数 " + primary.substr(kFunction.size());
  }
  if (primary.rfind("permission denied", 0) == 0 || primary.rfind("must be owner", 0) == 0) {
    return "服务器拒绝了这项操作：当前账户没有相应的权限";
  }
  return primary;
}

// The server's own words, without the "ERROR:  " prefix and trailing newline of the full text.
// A full or failing disk under the server is told in the shop's words, as on the embedded engine.
std::string ErrorText(PGconn* conn, const PGresult* result) {
  if (result) {
    if (const char* state = PQresultErrorField(result, PG_DIAG_SQLSTATE)) {
      if (std::string_view(state) == "53100") return std::string(kDiskFullText);
      if (std::string_view(state) == "58030") return std::string(kDiskErrorText);
    }
    if (LockNotAvailable(result)) return std::string(kDatabaseBusyText);
    if (const char* primary = PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY)) {
      const char* state = PQresultErrorField(result, PG_DIAG_SQLSTATE);
      if (state && std::string_view(state) == "42501") return PermissionText(primary);
      return primary;
    }
  }
  std::string text = PQerrorMessage(conn);
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  return text.empty() ? "the statement failed" : text;
}

bool IdentifierByte(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte >= 0x80 || std::isalnum(byte) || c == '_';
}

// Whether two requests run the same text with the same values.
bool SameRequest(const Request& a, const Request& b) {
  return a.sql == b.sql && a.texts == b.texts && a.nulls == b.nulls && a.types == b.types;
}

// Whether a statement text is a plain query, which may be read ahead without changing
// anything.
bool IsPlainQuery(std::string_view sql) {
  size_t at = sql.find_first_not_of(" \t\r\n(");
  if (at == std::string_view::npos || sql.size() - at < 7) return false;
  constexpr std::string_view kSelect = "select";
  for (size_t i = 0; i < kSelect.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(sql[at + i])) != kSelect[i]) return false;
  }
  return !IdentifierByte(sql[at + kSelect.size()]);
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

// Appends every row of a result, as AppendCell does a cell.
void AppendRows(db::Recordset& records, const PGresult* result) {
  const int columns = PQnfields(result);
  for (int row = 0; row < PQntuples(result); ++row) {
    for (int c = 0; c < columns; ++c) AppendCell(records, result, row, c);
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

bool ServerUnavailable(std::string_view connectError) {
  // libpq's and the server's own words for these; an authentication failure shares the
  // "connection to server ... failed:" lead, so only what follows it tells.
  static constexpr std::string_view kUnavailable[] = {
      "Connection refused",
      "No such file or directory",
      "could not translate host name",
      "Network is unreachable",
      "No route to host",
      "timeout expired",
      "too many clients already",
      "remaining connection slots are reserved",
      "the database system is starting up",
      "the database system is shutting down",
      "the database system is in recovery mode",
      "the database system is not yet accepting connections",
  };
  for (std::string_view text : kUnavailable) {
    if (connectError.find(text) != std::string_view::npos) return true;
  }
  return false;
}

bool ServerFull(std::string_view connectError) {
  return connectError.find("too many clients already") != std::string_view::npos ||
         connectError.find("remaining connection slots are reserved") != std::string_view::npos;
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

struct PostgresDatabase::Impl : EngineState {
  Impl() : EngineState("postgresql") {}

  PGconn* conn = nullptr;
  // Whether the last statement Run sent failed only on another transaction's lock.
  bool lastBusy = false;
  // Prepared statements of this connection; plans of a few hundred texts are a few megabytes
  // of server memory at most.
  StatementCache statements{kKeptStatements};
  // Names of statements pushed out of the cache, not yet freed on the server.
  std::vector<std::string> dropped;

  // The transaction's BEGIN is held back until the first statement of the transaction, and
  // all-or-nothing writes nobody reads the outcome of (kCommandTextHeldBack) until the next
  // statement that answers something, or the COMMIT: each then rides in that statement's
  // pipeline instead of costing a round trip of its own. The server runs them in order, so
  // what they wrote is seen by what follows them.
  bool beginHeld = false;
  std::vector<Request> held;
  // The failure of a held-back write: it aborted the transaction, so every later statement of
  // the transaction and its commit answer it, in the write's own words, until the rollback.
  std::string heldFailure;
  // Statements sent or held that may have written (everything but plain queries).
  uint64_t writes = 0;

  bool Holding() const { return beginHeld || !held.empty(); }
  void DropHeld() {
    beginHeld = false;
    held.clear();
    heldFailure.clear();
  }

  // Queries read ahead wait in `ahead` until a statement asks for one of them; then they all
  // go in one pipeline, in the order read ahead (after what is held back), and the answers of
  // the others wait in `kept` for their own runs. Anything else sent to the server drops both,
  // and a write held back drops what is kept: an answer is only ever as old as the connection's
  // last round trip, so no run is answered with rows older than something the connection
  // already read or wrote since. Inside a transaction each goes fenced by its savepoint, as it
  // would alone: one that fails must not abort the transaction it was only read ahead in.
  std::vector<Request> ahead;
  std::vector<std::pair<Request, std::unique_ptr<Result>>> kept;
  // More would be a caller that reads ahead what it never runs.
  static constexpr size_t kAheadLimit = 64;

  void DropAhead() {
    ahead.clear();
    kept.clear();
  }
  void ReadAhead(Request request, bool fence) {
    const bool inTransaction = ServerInTransaction();
    if (inTransaction != (depth > 0) || (inTransaction && !fence)) return;
    if (!IsPlainQuery(request.sql) || ahead.size() >= kAheadLimit) return;
    // Its answer is already here, and stands until the connection sends anything else.
    for (const auto& answered : kept) {
      if (SameRequest(answered.first, request)) return;
    }
    ahead.push_back(std::move(request));
  }
  // The answer of a statement read ahead: kept from the last round trip, or got now with the
  // rest of what waits. nullopt when it was not read ahead, or the pipeline failed (then the
  // statement runs alone and fails, if it does, in its own words).
  std::optional<std::unique_ptr<Result>> AnswerAhead(const Request& statement) {
    for (auto it = kept.begin(); it != kept.end(); ++it) {
      if (!SameRequest(it->first, statement)) continue;
      std::unique_ptr<Result> answer = std::move(it->second);
      kept.erase(it);
      lastError.clear();
      lastBusy = false;
      return answer;
    }
    auto asked = std::find_if(ahead.begin(), ahead.end(),
                              [&](const Request& r) { return SameRequest(r, statement); });
    if (asked == ahead.end()) return std::nullopt;
    const size_t at = static_cast<size_t>(asked - ahead.begin());
    const bool fenced = depth > 0;
    std::vector<Request> requests;
    std::vector<size_t> places;  // each query's place among the requests
    for (Request& request : ahead) {
      if (fenced) requests.push_back(Request(kSavepointText));
      places.push_back(requests.size());
      requests.push_back(std::move(request));
      if (fenced) requests.push_back(Request(kReleaseText));
    }
    DropAhead();
    std::vector<std::unique_ptr<Result>> answers;
    Outcome outcome = SendWithHeld(requests, static_cast<int>(places[at]), fenced, &answers);
    if (!outcome.ok) return std::nullopt;
    for (size_t place : places) {
      if (answers[place]) kept.emplace_back(std::move(requests[place]), std::move(answers[place]));
    }
    return std::move(outcome.result);
  }

  // The transaction's last read and its COMMIT in one pipeline, after what is held back; the
  // read's answer, or nullptr with lastError set (a failed read left nothing committed).
  std::unique_ptr<Result> CommitWith(Request read) {
    DropAhead();
    // COMMIT of a transaction the server has aborted answers success but rolls back.
    const bool aborted = PQtransactionStatus(conn) == PQTRANS_INERROR;
    std::vector<Request> requests;
    requests.push_back(std::move(read));
    requests.push_back(Request("COMMIT"));
    Outcome outcome = SendWithHeld(requests, 0, false);
    depth = ServerInTransaction() ? 1 : 0;
    if (!outcome.ok) return nullptr;
    if (aborted) {
      lastError = "the transaction was rolled back by the database server";
      return nullptr;
    }
    return std::move(outcome.result);
  }

  // Runs a statement of the service's own (transaction control); sets lastError. What is held
  // back goes first, in the same round trip when the text is a single statement.
  bool Exec(const std::string& sql) {
    DropAhead();
    if (Holding()) {
      std::vector<Request> requests;
      requests.push_back(Request(sql));
      return SendWithHeld(requests, 0, false).ok;
    }
    Result result(PQexec(conn, sql.c_str()));
    if (result.Ok()) {
      lastError.clear();
      return true;
    }
    lastError = ErrorText(conn, result.get());
    return false;
  }
  // Sends what is held back (nothing when nothing is); sets lastError.
  bool SendHeld() {
    DropAhead();
    if (!Holding()) return true;
    std::vector<Request> none;
    return SendWithHeld(none, -1, false).ok;
  }
  bool ServerInTransaction() const {
    if (beginHeld) return true;
    PGTransactionStatusType status = PQtransactionStatus(conn);
    return status == PQTRANS_INTRANS || status == PQTRANS_INERROR || status == PQTRANS_ACTIVE;
  }
  // A connection the server dropped (restart, idle timeout) is made again before the next
  // statement, unless a transaction was open on it: then its work is lost and must fail.
  // A new connection has none of the old one's prepared statements.
  void Reconnect() {
    if (PQstatus(conn) == CONNECTION_OK || depth > 0) return;
    DropAhead();
    PQreset(conn);
    statements.Clear();
    dropped.clear();
  }

  // Holds a write back (see beginHeld); false, leaving the request as it was, when it is not
  // held and must run at once.
  bool Hold(Request& request) {
    if (depth == 0 || !ServerInTransaction()) return false;
    ++writes;
    // What was read before the write would answer as if it had not been made; a query read
    // ahead still waits, and goes after it.
    kept.clear();
    held.push_back(std::move(request));
    lastError.clear();
    return true;
  }

  // Runs one statement with its parameters; answers the result when it succeeded (lastError
  // cleared), nullptr otherwise (lastError set). Inside a transaction the statement is fenced
  // by a savepoint, so its failure leaves the transaction as it was before the statement. A
  // kept statement the server can no longer run as prepared (a table it reads changed its
  // columns) is prepared again and run once more: its failure changed nothing.
  // A statement whose failure rolls back the whole level (`fence` false) goes unfenced: a
  // savepoint per statement costs the server a subtransaction, and a row locked in one
  // subtransaction and updated in another a multixact. A statement that must not `wait` gives
  // up on another transaction's lock at once.
  std::unique_ptr<Result> Run(Request statement, bool fence, bool wait) {
    Reconnect();
    FreeDropped();
    if (!IsPlainQuery(statement.sql)) ++writes;
    if (!heldFailure.empty()) {
      lastError = heldFailure;
      return nullptr;
    }
    if (wait) {
      if (auto answer = AnswerAhead(statement)) return std::move(*answer);
    }
    DropAhead();
    const PGTransactionStatusType status = beginHeld ? PQTRANS_INTRANS : PQtransactionStatus(conn);
    const bool fenced = fence && depth > 0 && status == PQTRANS_INTRANS;
    // Outside a transaction a failed statement changed nothing either.
    const bool retryable = fenced || status == PQTRANS_IDLE;
    std::vector<Request> requests;
    if (fenced) requests.push_back(Request(kSavepointText));
    if (!wait) requests.push_back(Request(kNoWaitText));
    const int at = static_cast<int>(requests.size());
    requests.push_back(std::move(statement));
    if (!wait && status != PQTRANS_IDLE) requests.push_back(Request(kWaitAgainText));
    if (fenced) requests.push_back(Request(kReleaseText));
    Outcome outcome = SendWithHeld(requests, at, fenced);
    if (!outcome.ok && outcome.stale && retryable) {
      for (Request& request : requests) request.Reset();
      outcome = SendWithHeld(requests, at, fenced);
    }
    return std::move(outcome.result);
  }

  struct Outcome {
    bool ok = false;
    bool stale = false;
    std::unique_ptr<Result> result;  // the answer of the request asked for
  };

  // The held-back BEGIN and writes, then the requests, go to the server in one pipeline: one
  // round trip. A failure aborts the rest of the pipeline. `at` is the request whose result is
  // answered (-1: none); when `fenced`, the first request is its savepoint and the last the
  // release, and rolling back to the savepoint undoes its failure alone.
  // `all`, when given, takes the answers of the other requests on success (by their place).
  Outcome SendWithHeld(std::vector<Request>& requests, int at, bool fenced,
                       std::vector<std::unique_ptr<Result>>* all = nullptr) {
    lastBusy = false;
    std::vector<Request> sent;
    if (beginHeld) sent.push_back(Request("BEGIN"));
    for (Request& request : held) sent.push_back(std::move(request));
    const size_t own = sent.size();
    for (Request& request : requests) sent.push_back(std::move(request));
    beginHeld = false;
    held.clear();

    int count = 0;
    bool ok = PQenterPipelineMode(conn) == 1;
    for (size_t i = 0; ok && i < sent.size(); ++i) ok = Queue(sent[i], count);
    ok = ok && PQpipelineSync(conn) == 1;
    std::vector<std::unique_ptr<Result>> results(static_cast<size_t>(count));
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
    auto done = [&](int index) { return index < 0 || (results[index] && results[index]->Ok()); };
    // Only a preparation the server took is kept; an aborted pipeline skipped the rest.
    for (Request& request : sent) {
      if (request.prepareAt >= 0 && done(request.prepareAt)) {
        for (auto& name : statements.Add(request.key, request.name)) dropped.push_back(name);
      }
    }
    for (size_t i = 0; i < requests.size(); ++i) requests[i] = std::move(sent[own + i]);
    Outcome outcome;
    if (!ok) {
      lastError = sendError;
      return outcome;
    }
    auto succeeded = [&](const Request& r) {
      return r.runAt < 0 || (done(r.prepareAt) && done(r.runAt));
    };
    size_t failed = 0;
    while (failed < sent.size() && succeeded(sent[failed])) ++failed;
    if (failed == sent.size()) {
      lastError.clear();
      outcome.ok = true;
      if (at >= 0) outcome.result = std::move(results[requests[at].runAt]);
      if (all) {
        all->resize(requests.size());
        for (size_t i = 0; i < requests.size(); ++i) {
          if (static_cast<int>(i) != at) (*all)[i] = std::move(results[requests[i].runAt]);
        }
      }
      return outcome;
    }
    const Request& culprit = failed < own ? sent[failed] : requests[failed - own];
    const int index = done(culprit.prepareAt) ? culprit.runAt : culprit.prepareAt;
    const Result* failure = results[index].get();
    std::string error = ErrorText(conn, failure ? failure->get() : nullptr);
    if (failed < own) {
      // A held-back write failed: the transaction can only be rolled back now.
      heldFailure = error;
    } else {
      const bool asked = at >= 0 && &culprit == &requests[at];
      if (asked && culprit.prepareAt < 0 && StalePlan(failure)) {
        if (std::string name = statements.Forget(culprit.key); !name.empty()) {
          dropped.push_back(name);
        }
        outcome.stale = true;
      }
      // Whatever failed after the savepoint is undone with it, settings made since included.
      if (fenced && failed > own) {
        Exec(std::string("ROLLBACK TO SAVEPOINT ") + kStatementSavepoint + "; " + kReleaseText);
      }
      lastBusy = asked && LockNotAvailable(failure ? failure->get() : nullptr);
    }
    lastError = std::move(error);
    return outcome;
  }

  // The cache holds a text per parameter types, as the server fixes them at preparation.
  static std::string CacheKey(const Request& request) {
    std::string key = request.sql;
    key += '\0';
    for (Oid type : request.types) key += std::to_string(type) + ",";
    return key;
  }

  // Queues the request's preparation when its text is not kept yet, and its run of the
  // prepared statement; `count` is the number of results queued so far.
  bool Queue(Request& request, int& count) {
    request.key = CacheKey(request);
    if (const std::string* kept = statements.Find(request.key)) {
      request.name = *kept;
    } else {
      request.name = statements.NewName();
      const int params = static_cast<int>(request.texts.size());
      const Oid* types = request.types.empty() ? nullptr : request.types.data();
      if (PQsendPrepare(conn, request.name.c_str(), request.sql.c_str(), params, types) != 1) {
        return false;
      }
      request.prepareAt = count++;
    }
    const std::vector<const char*> values = request.Values();
    if (PQsendQueryPrepared(conn, request.name.c_str(), static_cast<int>(values.size()),
                            values.data(), nullptr, nullptr, 0) != 1) {
      return false;
    }
    request.runAt = count++;
    return true;
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
  PostgresCommand(PostgresDatabase::Impl* impl, std::string sql, bool fence, bool holdBack,
                  bool wait)
      : impl_(impl),
        fence_(fence),
        holdBack_(holdBack),
        wait_(wait),
        alive_(impl->alive),
        sql_(std::move(sql)),
        translated_(TranslateSql(sql_, SqlTarget::Postgres)) {}

  void Bind(int position, const db::Value& value) override { values_.Bind(position, value); }

  std::string Error() const override { return error_; }

  bool Busy() const override { return busy_; }

  void ReadAhead() override {
    // A statement that must not wait sets the wait about itself; it always runs alone.
    if (!wait_) return;
    if (auto request = Build(false)) impl_->ReadAhead(std::move(*request), fence_);
  }

  void Execute() override {
    rowsAffected_ = 0;
    auto request = Build();
    if (!request) return;
    if (holdBack_ && impl_->Hold(*request)) {
      error_.clear();
      return;
    }
    auto result = Run(std::move(*request));
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
    return result ? Records(result->get()) : ClosedRecordset();
  }

  // The rows of this query read as the open transaction's last statement, committed in the
  // same round trip; nullptr when either failed.
  std::shared_ptr<db::Recordset> OpenCommitting() {
    auto request = Build();
    if (!request) return nullptr;
    auto result = impl_->CommitWith(std::move(*request));
    if (!result) {
      error_ = impl_->lastError;
      return nullptr;
    }
    error_.clear();
    return Records(result->get());
  }

  bool Stream(size_t chunkRows, const ChunkSink& take) override {
    // Inside a transaction every statement is fenced by a savepoint in one pipeline: the rows
    // come whole and go to the sink in chunks.
    const size_t chunk = std::max<size_t>(chunkRows, 1);
    if (impl_->depth > 0) return StreamWhole(chunk, take);
    auto request = Build();
    if (!request) return false;
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
    const std::string begin = std::string("BEGIN READ ONLY; SET LOCAL cursor_tuple_fraction = 1") +
                              (wait_ ? "" : "; SET LOCAL lock_timeout = '1ms'");
    if (!impl_->Exec(begin)) {
      Fail(impl_->lastError);
      return false;
    }
    const std::vector<const char*> values = request->Values();
    Result declared(PQexecParams(conn, declare.c_str(), static_cast<int>(values.size()),
                                 request->types.empty() ? nullptr : request->types.data(),
                                 values.data(), nullptr, nullptr, 0));
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
      AppendRows(rows, r);
      if (static_cast<size_t>(PQntuples(r)) < chunk) break;
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

  std::unique_ptr<Result> Start() {
    auto request = Build();
    return request ? Run(std::move(*request)) : nullptr;
  }

  // Logs the text as the module sent it and makes the request of its translation with the
  // bound values. Placeholders left without a value fail here; a count of values that differs
  // from the text's placeholders is refused by the server. A request only read ahead is
  // neither logged nor failed: its run is, if it comes.
  std::optional<Request> Build(bool run = true) {
    if (alive_.expired()) {
      if (run) Fail("the database service this command belongs to is closed", false);
      return std::nullopt;
    }
    if (run && impl_->logging) impl_->log.push_back(WithValuesWritten(sql_, values_.Values()));
    auto fail = [&](std::string error) -> std::nullopt_t {
      return run ? Fail(std::move(error)) : std::nullopt;
    };
    if (std::string bad = values_.PositionError(); !bad.empty()) return fail(bad);
    const auto& values = values_.Values();
    Request request(translated_);
    request.texts.resize(values.size());
    request.nulls.assign(values.size(), 0);
    request.types.assign(values.size(), 0);
    for (size_t i = 0; i < values.size(); ++i) {
      if (!values[i]) return fail("no value is bound to placeholder " + std::to_string(i + 1));
      const db::Value& value = *values[i];
      std::string& text = request.texts[i];
      if (value.IsNull()) {
        request.nulls[i] = 1;
      } else if (value.IsReal()) {
        // A real stays a real where the text alone would let the server take it for a whole
        // number (CASE, COALESCE with 0); every other value takes its type from its place.
        // to_chars writes the point whatever the locale and the shortest text that reads
        // back as the same double.
        char digits[32];
        auto written = std::to_chars(digits, digits + sizeof digits, value.ToDouble());
        text.assign(digits, written.ptr);
        request.types[i] = kFloat8Oid;
      } else if (value.IsDecimal()) {
        // An amount travels as its exact digits.
        text = value.ToText();
        request.types[i] = kNumericOid;
      } else {
        text = value.ToText();
      }
    }
    return request;
  }

  std::unique_ptr<Result> Run(Request request) {
    auto result = impl_->Run(std::move(request), fence_, wait_);
    if (!result) {
      error_ = impl_->lastError;
      busy_ = impl_->lastBusy;
      return nullptr;
    }
    error_.clear();
    busy_ = false;
    return result;
  }

  std::shared_ptr<db::Recordset> Records(const PGresult* result) const {
    auto records = std::make_shared<db::Recordset>(Names(result));
    AppendRows(*records, result);
    records->EndFilling();
    return records;
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
    busy_ = false;
    impl_->lastError.clear();
  }
  std::nullopt_t Fail(std::string error, bool tellService = true) {
    error_ = std::move(error);
    busy_ = false;
    if (tellService) impl_->lastError = error_;
    return std::nullopt;
  }

  PostgresDatabase::Impl* impl_;
  bool fence_;
  bool holdBack_;
  bool wait_;
  bool busy_ = false;
  std::weak_ptr<int> alive_;
  std::string sql_;
  std::string translated_;
  BoundValues values_;
  std::string error_;
  int64_t rowsAffected_ = 0;
};

PostgresDatabase::PostgresDatabase() : impl_(std::make_unique<Impl>()) {}

EngineState& PostgresDatabase::State() const {
  return *impl_;
}

PostgresDatabase::~PostgresDatabase() {
  // Closing the connection rolls back a transaction left open.
  PQfinish(impl_->conn);
}

db::Result<std::unique_ptr<PostgresDatabase>> PostgresDatabase::Open(const std::string& url) {
  return OpenAs(url, {}, {});
}

db::Result<std::unique_ptr<PostgresDatabase>> PostgresDatabase::OpenAs(
    const std::string& url, const std::string& user, const std::string& password) {
  auto fail = [&](const std::string& reason) -> db::Result<std::unique_ptr<PostgresDatabase>> {
    return db::Status::Failure("cannot connect to " + DisplayUrl(url) + ": " + reason);
  };
  if (!IsPostgresUrl(url)) return fail("not a postgresql:// URL");
  std::string reason;
  auto urlOptions = ConnectionOption(url, "options", &reason);
  if (!urlOptions) return fail(reason);
  // The session's settings travel with the connection parameters, so a connection made again
  // after the server dropped it has them too: names and texts are UTF-8 throughout, dates read
  // back as yyyy-mm-dd, and a lock held by another user's save is waited for as long as the
  // embedded engine waits (5 s), not forever. The planner's memoized lookups are off: their
  // cache is sized from the estimated rows and built before the first row is read, so a list's
  // first row behind a key bound the planner cannot see (a third of the orders, it guesses)
  // took 9 ms to start where reading it takes 3; the lookups of this schema are single rows
  // by key, which the cache never paid back in the reports either. Options in the URL come
  // last and win.
  const std::string options =
      "-c DateStyle=ISO,YMD -c lock_timeout=5s -c enable_memoize=off " + *urlOptions;
  // Keywords after the expanded URL override what it names.
  const bool asUser = !user.empty();
  const char* keywords[] = {
      "dbname", "client_encoding", "options", asUser ? "user" : nullptr, "password", nullptr};
  const char* values[] = {url.c_str(),  "UTF8",           options.c_str(),
                          user.c_str(), password.c_str(), nullptr};
  std::unique_ptr<PostgresDatabase> database(new PostgresDatabase());
  PGconn*& conn = database->impl_->conn;
  conn = PQconnectdbParams(keywords, values, 1);
  if (!conn) return fail("out of memory");
  if (PQstatus(conn) != CONNECTION_OK) return fail(ErrorText(conn, nullptr));
  PQsetNoticeProcessor(conn, IgnoreNotice, nullptr);
  return database;
}

db::Status PostgresDatabase::CreateDatabaseIfMissing(const std::string& url) {
  if (!IsPostgresUrl(url)) return db::Status::FromError("not a postgresql:// URL: " + url);
  std::string error;
  auto dbname = ConnectionOption(url, "dbname", &error);
  if (!dbname) return db::Status::FromError(error);
  const std::string& name = *dbname;
  if (name.empty() || name == "postgres") return {};

  // Parameters after the path override it: the same server, its maintenance database.
  std::string maintenance =
      url + (url.find('?') == std::string::npos ? "?" : "&") + "dbname=postgres";
  auto server = Open(maintenance);
  if (!server) return server.Outcome();
  PGconn* conn = server->Handle();
  const char* values[] = {name.c_str()};
  Result found(PQexecParams(conn, "SELECT 1 FROM pg_database WHERE datname = $1", 1, nullptr,
                            values, nullptr, nullptr, 0));
  if (!found.Ok()) return db::Status::FromError(ErrorText(conn, found.get()));
  if (PQntuples(found.get()) > 0) return {};
  char* quoted = PQescapeIdentifier(conn, name.c_str(), name.size());
  if (!quoted) return db::Status::FromError(ErrorText(conn, nullptr));
  std::string create =
      "CREATE DATABASE " + std::string(quoted) + " TEMPLATE template0 ENCODING 'UTF8'";
  PQfreemem(quoted);
  server->impl_->Exec(create);
  return db::Status::FromError(server->impl_->lastError);
}

std::unique_ptr<db::ICommand> PostgresDatabase::CreateCommand(const std::string& sql, int kind) {
  const bool held = kind == db::IDatabase::kCommandTextHeldBack;
  return std::make_unique<PostgresCommand>(impl_.get(), sql,
                                           kind != db::IDatabase::kCommandTextAllOrNothing && !held,
                                           held, kind != db::IDatabase::kCommandTextNoWait);
}

void PostgresDatabase::Close() {
  // An operation's reads ahead are for that operation only.
  impl_->DropAhead();
}

void PostgresDatabase::BeginTrans() {
  if (impl_->depth > 0 && !impl_->ServerInTransaction()) impl_->depth = 0;
  if (impl_->depth == 0) {
    impl_->Reconnect();
    impl_->DropHeld();
    impl_->DropAhead();
    if (PQstatus(impl_->conn) != CONNECTION_OK) {
      impl_->lastError = ErrorText(impl_->conn, nullptr);
      return;
    }
    // Sent with the transaction's first statement.
    impl_->beginHeld = true;
    impl_->lastError.clear();
  } else {
    if (!impl_->Exec("SAVEPOINT " + EngineState::LevelName(impl_->depth + 1))) return;
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
  if (!impl_->heldFailure.empty()) {
    // The server has aborted the transaction; the caller's rollback ends it.
    impl_->lastError = impl_->heldFailure;
    return;
  }
  if (impl_->depth == 1) {
    if (impl_->beginHeld && impl_->held.empty()) {
      // Nothing ran in it: nothing to send.
      impl_->DropHeld();
      impl_->DropAhead();
      impl_->depth = 0;
      impl_->lastError.clear();
      return;
    }
    // COMMIT of a transaction the server has aborted answers success but rolls back: that
    // must not pass for a commit.
    bool aborted = PQtransactionStatus(impl_->conn) == PQTRANS_INERROR;
    bool ok = impl_->Exec("COMMIT");
    impl_->depth = impl_->ServerInTransaction() ? 1 : 0;
    if (ok && aborted) impl_->lastError = "the transaction was rolled back by the database server";
    return;
  }
  if (impl_->Exec("RELEASE SAVEPOINT " + EngineState::LevelName(impl_->depth))) --impl_->depth;
}

std::shared_ptr<db::Recordset> PostgresDatabase::CommitReading(db::ICommand& query) {
  auto* command = dynamic_cast<PostgresCommand*>(&query);
  if (!command || impl_->depth != 1 || !impl_->ServerInTransaction() ||
      !impl_->heldFailure.empty()) {
    return db::IDatabase::CommitReading(query);
  }
  return command->OpenCommitting();
}

void PostgresDatabase::RollbackTrans() {
  if (impl_->depth == 0 || !impl_->ServerInTransaction()) {
    impl_->depth = 0;
    impl_->DropHeld();
    impl_->lastError.clear();
    return;
  }
  if (impl_->depth == 1) {
    // Held-back work is dropped unsent: the rollback would take it back anyway.
    const bool sent = !impl_->beginHeld;
    impl_->DropHeld();
    impl_->DropAhead();
    if (sent) impl_->Exec("ROLLBACK");
    impl_->depth = impl_->ServerInTransaction() ? 1 : 0;
    if (!sent) impl_->lastError.clear();
    return;
  }
  // What is held back was written inside this level (a savepoint sends what came before it),
  // so its failure, if any, is undone with the level.
  impl_->SendHeld();
  impl_->heldFailure.clear();
  std::string level = EngineState::LevelName(impl_->depth);
  if (impl_->Exec("ROLLBACK TO SAVEPOINT " + level) && impl_->Exec("RELEASE SAVEPOINT " + level)) {
    --impl_->depth;
  }
}

bool PostgresDatabase::InTransaction() const {
  return impl_->ServerInTransaction();
}

db::Status PostgresDatabase::ExecScript(const std::string& sql) {
  impl_->Reconnect();
  // A script may hold several statements, which no pipeline takes: what is held back goes
  // before it.
  ++impl_->writes;
  if (impl_->SendHeld()) impl_->Exec(sql);
  return db::Status::FromError(impl_->lastError);
}

uint64_t PostgresDatabase::WritesSent() const {
  return impl_->writes;
}

bool PostgresDatabase::Connected() const {
  return PQstatus(impl_->conn) == CONNECTION_OK;
}

int PostgresDatabase::OrdinaryConnectionSlots(std::string* error) {
  PGconn* conn = Handle();
  // reserved_connections came with server 16; asked for as missing-ok, it reads as NULL before.
  Result settings(PQexec(conn,
                         "SELECT current_setting('max_connections')::int - "
                         "current_setting('superuser_reserved_connections')::int - "
                         "coalesce(current_setting('reserved_connections', true)::int, 0)"));
  if (!settings.Ok() || PQntuples(settings.get()) != 1) {
    if (error) *error = ErrorText(conn, settings.get());
    return 0;
  }
  return std::atoi(PQgetvalue(settings.get(), 0, 0));
}

pg_conn* PostgresDatabase::Handle() const {
  // Whoever uses the connection directly finds the transaction begun and its writes made.
  impl_->SendHeld();
  return impl_->conn;
}

}  // namespace ws::platform
