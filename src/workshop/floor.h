// The workshop floor: labour lines of open repair orders dispatched to technicians, and the
// clock each technician runs on a line. A line's state moves
//
//   待派工 --dispatch--> 在修 --pause(reason)--> 暂停 --clock on--> 在修
//   在修/暂停 --finish--> 完工 --check--> 已检验        完工 --reopen--> 在修
//
// A technician runs one job at a time: the database's unique index on the running clock
// records is the rule, the read before the write only gives the friendly refusal. Times are
// the host's local "yyyy-mm-dd hh:mm:ss"; hours are kept to the hundredth.
//
// Who may do what is the caller's Actor, made by the host from the account's rights: the
// module refuses a step the actor lacks, the server (on PostgreSQL) refuses the write as well.
// Nothing here reads a price or an amount: a technician's board must be readable by a login
// that may not see money.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "db/database.h"
#include "db/sql.h"
#include "host/navigator.h"

namespace ws::workshop {

enum class JobState { Waiting, InRepair, Paused, Done, Checked };
// 待派工, 在修, 暂停, 完工, 已检验
const char* StateName(JobState state);
std::optional<JobState> StateByName(std::string_view name);

// The account acting, with what its rights allow on the floor.
struct Actor {
  std::string user;           // the account's name, recorded as who did it
  int64_t employeeId = 0;     // the technician the account is (0: none)
  bool dispatch = false;      // assign lines, agree suggested lines (录入)
  bool clock = false;         // clock on, pause and finish own lines (车间)
  bool examine = false;       // fill examinations (车间 or 录入)
  bool check = false;         // pass finished lines (审核)
  std::string frontEnd = {};  // where it was done, for a document's history ("desk", "serve")
};

struct Technician {
  int64_t id = 0;
  std::string code;
  std::string name;
  std::string account;
};

struct Assignment {
  int64_t employeeId = 0;
  std::string name;
  double plannedHours = 0;
  std::string runningSince;  // when the technician's clock on the line started, "" when idle
};

struct JobLine {
  int64_t lineId = 0;
  int64_t orderId = 0;
  std::string orderNo;
  std::string arrival;  // yyyy-mm-dd
  std::string plate;
  std::string vehicle;
  std::string itemCode;
  std::string itemName;
  std::string note;
  double standardHours = 0;
  JobState state = JobState::Waiting;
  std::string reason;  // why it is paused
  std::vector<Assignment> technicians;
  double clockedHours = 0;  // closed records only
};

struct ClockRecord {
  int64_t id = 0;
  int64_t employeeId = 0;
  std::string name;
  std::string start;
  std::string end;  // "" while running
  double hours = 0;
  std::string reason;  // why it was paused
};

// "yyyy-mm-dd hh:mm:ss" of now, as the host's clock gives it.
using Clock = std::function<std::string()>;

class Floor {
 public:
  // The database and the id source must outlive the floor.
  Floor(db::IDatabase& db, host::INavigator& ids, Clock now);

  std::vector<Technician> Technicians(std::string* error = nullptr);
  // The technician whose employee card names this login account; nullopt when none.
  std::optional<Technician> TechnicianOfAccount(const std::string& account,
                                                std::string* error = nullptr);

  // The lines of the orders that came in from `since` (yyyy-mm-dd) on and are not checked,
  // still 待派工, 在修 or 暂停 (and 完工, waiting to be passed, when asked), newest order
  // first, at most `limit`.
  std::vector<JobLine> OpenLines(const std::string& since, int limit, std::string* error = nullptr,
                                 bool withFinished = false);
  // The lines dispatched to the technician on unchecked orders: those 在修 or 暂停, then those
  // 完工 (waiting for their check) of the orders that came in from `since` on; each part by
  // arrival day, at most 200 in all.
  std::vector<JobLine> JobsOf(int64_t employeeId, const std::string& since,
                              std::string* error = nullptr);
  std::optional<JobLine> Job(int64_t lineId, std::string* error = nullptr);
  std::vector<ClockRecord> ClockRecords(int64_t lineId, std::string* error = nullptr);

  // Each answers why it was refused (the user's text) or the database's error, empty when
  // done; on any failure nothing changed.
  // Puts the line in the hands of these technicians with their planned hours (replacing an
  // earlier dispatch of a line nobody has clocked on yet, adding to one that has).
  std::string Dispatch(const Actor& actor, int64_t lineId,
                       const std::vector<std::pair<int64_t, double>>& technicians);
  std::string ClockOn(const Actor& actor, int64_t lineId);
  // Stops the actor's clock on the line; the line is 暂停 with the reason once nobody works
  // on it. A reason is required.
  std::string Pause(const Actor& actor, int64_t lineId, const std::string& reason);
  // Stops the actor's clock on the line and marks it 完工; refused while a colleague's clock
  // still runs on it.
  std::string Finish(const Actor& actor, int64_t lineId);
  // Passes a finished line (已检验), or sends it back to work (在修).
  std::string Check(const Actor& actor, int64_t lineId);
  std::string Reopen(const Actor& actor, int64_t lineId);

 private:
  // Fills technicians and clocked hours of the lines read.
  std::string Complete(std::vector<JobLine>& lines);
  std::vector<JobLine> ReadLines(const db::Sql& where, std::string* error);

  db::IDatabase& db_;
  host::INavigator& ids_;
  Clock now_;
};

// Hours between two "yyyy-mm-dd hh:mm:ss" times, to the hundredth; 0 when either does not read.
double HoursBetween(const std::string& start, const std::string& end);

}  // namespace ws::workshop
