#include "workshop/floor.h"

#include <cmath>
#include <cstdio>
#include <ctime>
#include <map>

#include "db/runner.h"
#include "db/sql.h"

namespace ws::workshop {

namespace {

constexpr const char* kStateNames[] = {"待派工", "在修", "暂停", "完工", "已检验"};

// The columns of a line as the board shows it: nothing that holds a price or an amount.
constexpr const char* kLineSelect =
    "SELECT x.单据明细ID, x.单据ID, h.工单号码, h.进厂日期, c.车牌号, c.车名, i.编码, "
    "i.维修项目, i.工时, x.说明, j.状态, j.原因 FROM WSDJXM x "
    "JOIN WSDJ h ON h.单据ID = x.单据ID "
    "LEFT JOIN clzl c ON c.车辆ID = h.车辆ID "
    "LEFT JOIN PDMWXXM i ON i.AutoID = x.项目ID "
    "LEFT JOIN ws_job j ON j.单据明细ID = x.单据明细ID ";

// The state and order of a line, read inside the write's transaction.
struct LineFacts {
  bool found = false;
  int64_t orderId = 0;
  bool orderChecked = false;
  JobState state = JobState::Waiting;
};

LineFacts ReadFacts(db::Runner& runner, int64_t lineId, std::string* error) {
  LineFacts facts;
  auto rs = runner.Open(db::Sql("SELECT x.单据ID, h.smark, j.状态 FROM WSDJXM x JOIN WSDJ h ON "
                                "h.单据ID = x.单据ID LEFT JOIN ws_job j ON j.单据明细ID = "
                                "x.单据明细ID WHERE x.单据明细ID = ")
                            .Key(lineId),
                        error);
  if (!error->empty() || rs->Eof()) return facts;
  facts.found = true;
  facts.orderId = rs->Long("单据ID");
  facts.orderChecked = rs->Text("smark") == "02";
  facts.state = StateByName(rs->Text("状态")).value_or(JobState::Waiting);
  return facts;
}

db::Sql SetState(int64_t lineId, int64_t orderId, JobState state, const std::string& reason,
                 const std::string& checker, const std::string& now) {
  return db::Sql("INSERT INTO ws_job (单据明细ID, 单据ID, 状态, 原因, 检验人, 更新时间) VALUES (")
      .Key(lineId)
      .Raw(", ")
      .Key(orderId)
      .Raw(", ")
      .Text(StateName(state))
      .Raw(", ")
      .Text(reason)
      .Raw(", ")
      .Text(checker)
      .Raw(", ")
      .Text(now)
      .Raw(
          ") ON CONFLICT (单据明细ID) DO UPDATE SET 状态 = excluded.状态, 原因 = excluded.原因, "
          "检验人 = excluded.检验人, 更新时间 = excluded.更新时间");
}

// Closes running clocks (all of the line's, or one technician's) at `now`, each with its hours.
bool StopClocks(db::Transaction& t, int64_t lineId, int64_t employeeId, const std::string& now,
                const std::string& reason, int64_t* stopped) {
  db::Sql running("SELECT 记录ID, 开始时间 FROM ws_clock WHERE 结束时间 = '' AND 单据明细ID = ");
  running.Key(lineId);
  if (employeeId != 0) running.Raw(" AND 雇员ID = ").Key(employeeId);
  std::string error;
  auto rs = t.Db().Open(running, &error);
  if (!error.empty()) {
    t.Fail(error);
    return false;
  }
  *stopped = 0;
  for (; !rs->Eof(); rs->MoveNext()) {
    db::Sql stop("UPDATE ws_clock SET 结束时间 = ");
    stop.Text(now)
        .Raw(", 工时 = ")
        .Num(HoursBetween(rs->Text("开始时间"), now))
        .Raw(", 原因 = ")
        .Text(reason)
        .Raw(" WHERE 记录ID = ")
        .Key(rs->Long("记录ID"))
        .Raw(" AND 结束时间 = ''");
    if (!t.RunOne(stop, "计时记录已被别处改动，请刷新后再试")) return false;
    ++*stopped;
  }
  return true;
}

bool Dispatched(db::Runner& runner, int64_t lineId, int64_t employeeId, std::string* error) {
  return runner
             .Scalar(db::Sql("SELECT COUNT(*) FROM ws_job_tech WHERE 单据明细ID = ")
                         .Key(lineId)
                         .Raw(" AND 雇员ID = ")
                         .Key(employeeId),
                     error)
             .ToLong() > 0;
}

// The line's facts as the transaction reads them; the refusal when they cannot be read or the
// line is gone, empty otherwise.
std::string ReadLine(db::Runner& runner, int64_t lineId, LineFacts& facts) {
  std::string error;
  facts = ReadFacts(runner, lineId, &error);
  if (!error.empty()) return error;
  return facts.found ? std::string() : "找不到这条维修项目";
}

// How many clocks are running where `where` says (a technician's, a line's).
int64_t RunningClocks(db::Runner& runner, const db::Sql& where, std::string* error) {
  return runner
      .Scalar(db::Sql("SELECT COUNT(*) FROM ws_clock WHERE 结束时间 = '' AND ").Append(where),
              error)
      .ToLong();
}

db::Sql OfEmployee(int64_t employeeId) {
  return db::Sql("雇员ID = ").Key(employeeId);
}

db::Sql OnLine(int64_t lineId) {
  return db::Sql("单据明细ID = ").Key(lineId);
}

}  // namespace

const char* StateName(JobState state) {
  return kStateNames[static_cast<int>(state)];
}

std::optional<JobState> StateByName(std::string_view name) {
  for (int i = 0; i < 5; ++i) {
    if (name == kStateNames[i]) return static_cast<JobState>(i);
  }
  return std::nullopt;
}

double HoursBetween(const std::string& start, const std::string& end) {
  auto seconds = [](const std::string& text) -> std::optional<int64_t> {
    std::tm tm{};
    int consumed = 0;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2d %2d:%2d:%2d%n", &tm.tm_year, &tm.tm_mon, &tm.tm_mday,
                    &tm.tm_hour, &tm.tm_min, &tm.tm_sec, &consumed) != 6 ||
        static_cast<size_t>(consumed) != text.size()) {
      return std::nullopt;
    }
    tm.tm_year -= 1900;
    tm.tm_mon -= 1;
    return static_cast<int64_t>(timegm(&tm));
  };
  auto a = seconds(start);
  auto b = seconds(end);
  if (!a || !b || *b < *a) return 0;
  return std::round(static_cast<double>(*b - *a) / 36.0) / 100.0;
}

Floor::Floor(db::IDatabase& db, host::INavigator& ids, Clock now)
    : db_(db), ids_(ids), now_(std::move(now)) {}

std::vector<Technician> Floor::Technicians(std::string* error) {
  std::string failure;
  auto rs = db::Runner(db_).Open(
      db::Sql("SELECT 雇员ID, 雇员编码, 姓名, 登录账号 FROM PDMGY WHERE 是否技师 = 1 ORDER BY "
              "雇员编码, 雇员ID"),
      &failure);
  std::vector<Technician> out;
  for (; failure.empty() && !rs->Eof(); rs->MoveNext()) {
    out.push_back(
        {rs->Long("雇员ID"), rs->Text("雇员编码"), rs->Text("姓名"), rs->Text("登录账号")});
  }
  if (error) *error = failure;
  return out;
}

std::optional<Technician> Floor::TechnicianOfAccount(const std::string& account,
                                                     std::string* error) {
  std::string failure;
  auto rs = db::Runner(db_).Open(db::Sql("SELECT 雇员ID, 雇员编码, 姓名, 登录账号 FROM PDMGY "
                                         "WHERE 是否技师 = 1 AND 登录账号 = ")
                                     .Text(account)
                                     .Raw(" ORDER BY 雇员ID"),
                                 &failure);
  if (error) *error = failure;
  if (!failure.empty() || account.empty() || rs->Eof()) return std::nullopt;
  return Technician{rs->Long("雇员ID"), rs->Text("雇员编码"), rs->Text("姓名"),
                    rs->Text("登录账号")};
}

std::vector<JobLine> Floor::ReadLines(const db::Sql& where, std::string* error) {
  std::string failure;
  db::Sql sql(kLineSelect);
  sql.Append(where);
  auto rs = db::Runner(db_).Open(sql, &failure);
  std::vector<JobLine> lines;
  for (; failure.empty() && !rs->Eof(); rs->MoveNext()) {
    JobLine line;
    line.lineId = rs->Long("单据明细ID");
    line.orderId = rs->Long("单据ID");
    line.orderNo = rs->Text("工单号码");
    line.arrival = rs->Text("进厂日期").substr(0, 10);
    line.plate = rs->Text("车牌号");
    line.vehicle = rs->Text("车名");
    line.itemCode = rs->Text("编码");
    line.itemName = rs->Text("维修项目");
    line.standardHours = rs->Number("工时");
    line.note = rs->Text("说明");
    line.state = StateByName(rs->Text("状态")).value_or(JobState::Waiting);
    line.reason = rs->Text("原因");
    lines.push_back(std::move(line));
  }
  if (failure.empty()) failure = Complete(lines);
  if (error) *error = failure;
  if (!failure.empty()) lines.clear();
  return lines;
}

std::string Floor::Complete(std::vector<JobLine>& lines) {
  if (lines.empty()) return {};
  std::vector<int64_t> keys;
  std::map<int64_t, JobLine*> byId;
  for (auto& line : lines) {
    keys.push_back(line.lineId);
    byId[line.lineId] = &line;
  }
  db::Runner runner(db_);
  std::string error;
  auto techs = runner.Open(db::Sql("SELECT t.单据明细ID, t.雇员ID, g.姓名, t.计划工时, "
                                   "r.开始时间 FROM ws_job_tech t LEFT JOIN PDMGY g ON g.雇员ID "
                                   "= t.雇员ID LEFT JOIN ws_clock r ON r.雇员ID = t.雇员ID AND "
                                   "r.单据明细ID = t.单据明细ID AND r.结束时间 = '' WHERE "
                                   "t.单据明细ID IN (")
                               .Keys(keys)
                               .Raw(") ORDER BY t.单据明细ID, t.派工ID"),
                           &error);
  for (; error.empty() && !techs->Eof(); techs->MoveNext()) {
    byId[techs->Long("单据明细ID")]->technicians.push_back(
        {techs->Long("雇员ID"), techs->Text("姓名"), techs->Number("计划工时"),
         techs->Text("开始时间")});
  }
  if (!error.empty()) return error;
  auto hours = runner.Open(db::Sql("SELECT 单据明细ID, SUM(工时) AS 合计 FROM ws_clock WHERE "
                                   "单据明细ID IN (")
                               .Keys(keys)
                               .Raw(") GROUP BY 单据明细ID"),
                           &error);
  for (; error.empty() && !hours->Eof(); hours->MoveNext()) {
    byId[hours->Long("单据明细ID")]->clockedHours = hours->Number("合计");
  }
  return error;
}

std::vector<JobLine> Floor::OpenLines(const std::string& since, int limit, std::string* error,
                                      bool withFinished) {
  // The lines not yet done, said as "no row saying done": the server, asked for the rows that
  // have no state or an open one, guesses from years of finished lines that one row passes in
  // the whole window and sorts all of it; asked this way it walks the window's newest orders
  // and stops at the page. The lines shown are picked on their keys alone, and only they are
  // joined to their vehicles and items.
  db::Sql pick(
      "SELECT y.单据明细ID FROM WSDJXM y JOIN WSDJ o ON o.单据ID = y.单据ID WHERE o.进厂日期 >= ");
  pick.Date(since, db::Runner(db_).Driver())
      .Raw(
          " AND o.progid > 0 AND o.smark <> '02' AND NOT EXISTS (SELECT 1 FROM ws_job s WHERE "
          "s.单据明细ID = y.单据明细ID AND s.状态 IN (")
      .Raw(withFinished ? "'已检验'" : "'完工', '已检验'")
      .Raw(")) ORDER BY o.进厂日期 DESC, o.单据ID DESC, y.单据明细ID LIMIT ")
      .RowCount(limit);
  return ReadLines(db::Sql("WHERE x.单据明细ID IN (")
                       .Append(pick)
                       .Raw(") ORDER BY h.进厂日期 DESC, h.单据ID DESC, x.单据明细ID"),
                   error);
}

std::vector<JobLine> Floor::JobsOf(int64_t employeeId, const std::string& since,
                                   std::string* error) {
  // Two reads, each walking an index to the few rows it wants: the lines at work through the
  // states' index (named in a subquery: SQLite keeps the join to the states an outer join and
  // would walk every unchecked order instead), the finished ones through the window's orders.
  // Read together, the technician's dispatches (a row for every line he ever had) would be
  // read whole.
  auto his = [&] {
    return db::Sql(
               " AND EXISTS (SELECT 1 FROM ws_job_tech t WHERE t.单据明细ID = x.单据明细ID AND "
               "t.雇员ID = ")
        .Key(employeeId)
        .Raw(")");
  };
  constexpr int kLimit = 200;
  std::string failure;
  auto lines = ReadLines(
      db::Sql("WHERE x.单据明细ID IN (SELECT 单据明细ID FROM ws_job WHERE 状态 IN ('在修', "
              "'暂停')) AND h.smark <> '02'")
          .Append(his())
          .Raw(" ORDER BY h.进厂日期, x.单据明细ID LIMIT ")
          .RowCount(kLimit),
      &failure);
  if (failure.empty() && lines.size() < static_cast<size_t>(kLimit)) {
    db::Sql finished("WHERE h.进厂日期 >= ");
    finished.Date(since, db::Runner(db_).Driver())
        .Raw(" AND h.smark <> '02' AND j.状态 = '完工'")
        .Append(his())
        .Raw(" ORDER BY h.进厂日期, x.单据明细ID LIMIT ")
        .RowCount(kLimit - static_cast<int64_t>(lines.size()));
    auto done = ReadLines(finished, &failure);
    lines.insert(lines.end(), done.begin(), done.end());
  }
  if (!failure.empty()) lines.clear();
  if (error) *error = failure;
  return lines;
}

std::optional<JobLine> Floor::Job(int64_t lineId, std::string* error) {
  auto lines = ReadLines(db::Sql("WHERE x.单据明细ID = ").Key(lineId), error);
  if (lines.empty()) return std::nullopt;
  return lines.front();
}

std::vector<ClockRecord> Floor::ClockRecords(int64_t lineId, std::string* error) {
  std::string failure;
  auto rs = db::Runner(db_).Open(
      db::Sql("SELECT r.记录ID, r.雇员ID, g.姓名, r.开始时间, r.结束时间, r.工时, r.原因 FROM "
              "ws_clock r LEFT JOIN PDMGY g ON g.雇员ID = r.雇员ID WHERE r.单据明细ID = ")
          .Key(lineId)
          .Raw(" ORDER BY r.开始时间, r.记录ID"),
      &failure);
  std::vector<ClockRecord> out;
  for (; failure.empty() && !rs->Eof(); rs->MoveNext()) {
    out.push_back({rs->Long("记录ID"), rs->Long("雇员ID"), rs->Text("姓名"), rs->Text("开始时间"),
                   rs->Text("结束时间"), rs->Number("工时"), rs->Text("原因")});
  }
  if (error) *error = failure;
  return out;
}

std::string Floor::Dispatch(const Actor& actor, int64_t lineId,
                            const std::vector<std::pair<int64_t, double>>& technicians) {
  if (!actor.dispatch) return "没有“录入”权限，不能派工";
  if (technicians.empty()) return "请至少选择一名技师";
  for (const auto& [id, hours] : technicians) {
    if (!(hours >= 0) || hours > 1000) return "计划工时须在 0 到 1000 之间";
  }
  std::vector<int64_t> keys;
  if (std::string failure =
          ids_.GetNewIDs("ws_job_tech", "派工ID", static_cast<int64_t>(technicians.size()), keys);
      !failure.empty()) {
    return failure;
  }
  const std::string now = now_();
  db::Transaction t(db_);
  std::string error;
  LineFacts facts;
  if (error = ReadLine(t.Db(), lineId, facts); !error.empty()) return error;
  if (facts.orderChecked) return "维修单已审核，不能再派工";
  if (facts.state == JobState::Done || facts.state == JobState::Checked) {
    return std::string("这条项目已") + StateName(facts.state) + "，不能再派工";
  }
  for (size_t i = 0; i < technicians.size(); ++i) {
    const int64_t employee = technicians[i].first;
    const bool isTechnician =
        t.Db()
            .Scalar(db::Sql("SELECT COUNT(*) FROM PDMGY WHERE 是否技师 = 1 AND 雇员ID = ")
                        .Key(employee),
                    &error)
            .ToLong() > 0;
    if (!error.empty()) return error;
    if (!isTechnician) return "所选员工不是技师";
    db::Sql assign(
        "INSERT INTO ws_job_tech (派工ID, 单据明细ID, 单据ID, 雇员ID, 计划工时, 派工人, "
        "派工时间) VALUES (");
    assign.Key(keys[i])
        .Raw(", ")
        .Key(lineId)
        .Raw(", ")
        .Key(facts.orderId)
        .Raw(", ")
        .Key(employee)
        .Raw(", ")
        .Num(technicians[i].second)
        .Raw(", ")
        .Text(actor.user)
        .Raw(", ")
        .Text(now)
        .Raw(
            ") ON CONFLICT (单据明细ID, 雇员ID) DO UPDATE SET 计划工时 = excluded.计划工时, "
            "派工人 = excluded.派工人, 派工时间 = excluded.派工时间");
    if (!t.Run(assign)) return t.Error();
  }
  // Before anyone has clocked on the line the dispatch is the clerk's to redo: whoever is left
  // out is taken off it. Once work has been clocked, a technician's hours stay on his line.
  const int64_t clocked =
      t.Db()
          .Scalar(db::Sql("SELECT COUNT(*) FROM ws_clock WHERE ").Append(OnLine(lineId)), &error)
          .ToLong();
  if (!error.empty()) return error;
  if (clocked == 0) {
    std::vector<int64_t> chosen;
    for (const auto& [id, hours] : technicians) chosen.push_back(id);
    if (!t.Run(db::Sql("DELETE FROM ws_job_tech WHERE ")
                   .Append(OnLine(lineId))
                   .Raw(" AND 雇员ID NOT IN (")
                   .Keys(chosen)
                   .Raw(")"))) {
      return t.Error();
    }
  }
  if (facts.state == JobState::Waiting &&
      !t.Run(SetState(lineId, facts.orderId, JobState::InRepair, "", "", now))) {
    return t.Error();
  }
  return t.Commit() ? std::string() : t.Error();
}

std::string Floor::ClockOn(const Actor& actor, int64_t lineId) {
  if (!actor.clock || actor.employeeId == 0) return "只有技师本人可以开工";
  int64_t recordId = 0;
  if (std::string failure = ids_.GetNewID("ws_clock", "记录ID", recordId); !failure.empty()) {
    return failure;
  }
  const std::string now = now_();
  db::Transaction t(db_);
  std::string error;
  LineFacts facts;
  if (error = ReadLine(t.Db(), lineId, facts); !error.empty()) return error;
  if (facts.orderChecked) return "维修单已审核，不能再开工";
  if (facts.state == JobState::Waiting) return "这条项目还没有派工";
  if (facts.state == JobState::Done || facts.state == JobState::Checked) {
    return std::string("这条项目已") + StateName(facts.state) + "，不能开工";
  }
  const bool mine = Dispatched(t.Db(), lineId, actor.employeeId, &error);
  if (!error.empty()) return error;
  if (!mine) return "这条项目没有派给你";
  const char* busy = "你有一项工作正在计时，请先暂停或完工";
  if (RunningClocks(t.Db(), OfEmployee(actor.employeeId), &error) > 0) return busy;
  if (!error.empty()) return error;
  db::Sql start(
      "INSERT INTO ws_clock (记录ID, 雇员ID, 单据明细ID, 单据ID, 开始时间, 结束时间) "
      "VALUES (");
  start.Key(recordId)
      .Raw(", ")
      .Key(actor.employeeId)
      .Raw(", ")
      .Key(lineId)
      .Raw(", ")
      .Key(facts.orderId)
      .Raw(", ")
      .Text(now)
      .Raw(", '')");
  // Another tablet may have clocked the technician on since the read: the unique index
  // refuses this insert (or the commit), and the refusal is said in the user's words.
  auto refusal = [&] {
    std::string again;
    db::Runner runner(db_);
    const int64_t other = RunningClocks(runner, OfEmployee(actor.employeeId), &again);
    return again.empty() && other > 0 ? std::string(busy) : t.Error();
  };
  if (!t.Run(start)) return refusal();
  if (!t.Run(SetState(lineId, facts.orderId, JobState::InRepair, "", "", now))) return t.Error();
  return t.Commit() ? std::string() : refusal();
}

std::string Floor::Pause(const Actor& actor, int64_t lineId, const std::string& reason) {
  if (!actor.clock || actor.employeeId == 0) return "只有技师本人可以暂停";
  if (reason.empty() || reason.size() > 200) return "请填写暂停原因（200 字节以内）";
  const std::string now = now_();
  db::Transaction t(db_);
  std::string error;
  LineFacts facts;
  if (error = ReadLine(t.Db(), lineId, facts); !error.empty()) return error;
  int64_t stopped = 0;
  if (!StopClocks(t, lineId, actor.employeeId, now, reason, &stopped)) return t.Error();
  if (stopped == 0) return "你在这条项目上没有正在进行的计时";
  const int64_t others = RunningClocks(t.Db(), OnLine(lineId), &error);
  if (!error.empty()) return error;
  if (others == 0 && !t.Run(SetState(lineId, facts.orderId, JobState::Paused, reason, "", now))) {
    return t.Error();
  }
  return t.Commit() ? std::string() : t.Error();
}

std::string Floor::Finish(const Actor& actor, int64_t lineId) {
  if (!actor.clock || actor.employeeId == 0) return "只有技师本人可以报完工";
  const std::string now = now_();
  db::Transaction t(db_);
  std::string error;
  LineFacts facts;
  if (error = ReadLine(t.Db(), lineId, facts); !error.empty()) return error;
  if (facts.state != JobState::InRepair && facts.state != JobState::Paused) {
    return std::string("这条项目") + StateName(facts.state) + "，不能报完工";
  }
  const bool mine = Dispatched(t.Db(), lineId, actor.employeeId, &error);
  if (!error.empty()) return error;
  if (!mine) return "这条项目没有派给你";
  // A colleague still on the clock finishes his own part first: nobody stops another's clock
  // (on the server the clock records' guard refuses it as well).
  const int64_t others =
      RunningClocks(t.Db(), OnLine(lineId).Raw(" AND 雇员ID <> ").Key(actor.employeeId), &error);
  if (!error.empty()) return error;
  if (others > 0) return "还有其他技师在这条项目上计时，请他们先暂停";
  int64_t stopped = 0;
  if (!StopClocks(t, lineId, actor.employeeId, now, "", &stopped)) return t.Error();
  if (!t.Run(SetState(lineId, facts.orderId, JobState::Done, "", "", now))) return t.Error();
  return t.Commit() ? std::string() : t.Error();
}

std::string Floor::Check(const Actor& actor, int64_t lineId) {
  if (!actor.check) return "没有“审核”权限，不能检验";
  const std::string now = now_();
  db::Transaction t(db_);
  std::string error;
  LineFacts facts;
  if (error = ReadLine(t.Db(), lineId, facts); !error.empty()) return error;
  if (facts.state != JobState::Done) {
    return std::string("这条项目") + StateName(facts.state) + "，完工后才能检验";
  }
  if (!t.Run(SetState(lineId, facts.orderId, JobState::Checked, "", actor.user, now))) {
    return t.Error();
  }
  return t.Commit() ? std::string() : t.Error();
}

std::string Floor::Reopen(const Actor& actor, int64_t lineId) {
  if (!actor.check) return "没有“审核”权限，不能返工";
  const std::string now = now_();
  db::Transaction t(db_);
  std::string error;
  LineFacts facts;
  if (error = ReadLine(t.Db(), lineId, facts); !error.empty()) return error;
  if (facts.orderChecked) return "维修单已审核，不能返工";
  if (facts.state != JobState::Done) return "只有完工的项目可以返工";
  if (!t.Run(SetState(lineId, facts.orderId, JobState::InRepair, "返工", "", now))) {
    return t.Error();
  }
  return t.Commit() ? std::string() : t.Error();
}

}  // namespace ws::workshop
