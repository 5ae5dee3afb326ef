// The harness runs: several writers at once, a writer killed mid-save, a disk failing under a
// save. Each answers its figures and what went wrong; the driver program (harness_main.cpp)
// prints them and the tests run them with small bounds.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "db/database.h"
#include "db/date.h"

namespace ws::harness {

// The login date of every clerk and the reference date of the shop they work in.
inline const db::Date kHarnessDate{2012, 6, 15};

// A database name for one run: a file path is used as it is; a postgresql:// URL gets its
// database name replaced by `database`.
std::string RunDatabaseName(const std::string& base, const std::string& database);

// Builds a small shop (customers, cars, repair items, parts, a few orders) at name, replacing
// what is there. Answers the error text, empty on success.
std::string PrepareShop(const std::string& name);

struct Figures {
  std::vector<std::pair<std::string, int64_t>> values;  // in the order printed
  std::vector<std::string> failures;                    // what must not have happened
  void Set(const std::string& name, int64_t value);
  int64_t Get(const std::string& name) const;
  bool Ok() const { return failures.empty(); }
  std::string Text() const;  // "name=value ..." and the failures, one a line
};

// N writer processes (the driver's "writer" command), each saving `orders` new orders of
// `lines` lines through WS_S and drawing `ids` ids and proposed numbers, all at once.
Figures RunConcurrency(const std::string& driver, const std::string& database, int writers,
                       int orders, int lines, int ids);

// `trials` times: a writer saving orders of `lines` lines is killed (SIGKILL) at a random point
// of a save; then every acknowledged save must be there in full and no partial order anywhere.
Figures RunCrash(const std::string& driver, const std::string& database, int trials, int lines,
                 uint64_t seed);

// In this process, on an SQLite file: a save of `lines` lines with its k-th write failing, for
// every k of the save, as an I/O error and as a full disk.
Figures RunFaults(const std::string& file, int lines);

// The child side: saves orders and prints one line per event ("ready", "saving i",
// "ack id number micros", "refused busy text", "id n", "no number", "done").
int WriterMain(const std::string& database, const std::string& user, int orders, int lines,
               int ids);

// The requisition checker: `postings` times a new requisition of three lines for a saved
// repair order, checked through the real check step (status, stock ledger, parts-cost roll-up
// in one transaction), every second one unchecked again right after. Prints "ack id",
// "ack id unchecked" or "refused busy text" per requisition.
int PosterMain(const std::string& database, const std::string& user, int postings);

// N poster processes at once on one order; every check and uncheck must commit, the ledger
// numbers stay unique, every checked requisition's movements are its lines and the order's
// parts cost is the sum of its checked requisitions.
Figures RunPostings(const std::string& driver, const std::string& database, int posters,
                    int postings);

// Counts and checks over the orders a run wrote (制单人 = user): every acknowledged id
// present with exactly `lines` lines, no order of the user with any other number of lines,
// the invariants, and on SQLite PRAGMA integrity_check.
void CheckWritten(db::IDatabase& db, const std::string& user, const std::vector<int64_t>& acked,
                  int lines, Figures& figures);

}  // namespace ws::harness
