// ws_harness: the multi-user, crash and fault harnesses as a program, for runs longer than CI's.
//   ws_harness concurrency --db NAME [--writers 8] [--orders 500] [--lines 4] [--ids 200]
//   ws_harness postings --db NAME [--posters 8] [--postings 100]
//   ws_harness crash --db NAME [--trials 1000] [--lines 30] [--seed 1]
//   ws_harness faults --db FILE [--lines 30]
//   ws_harness writer --db NAME --user U [--orders M] [--lines L] [--ids K]   (a child)
//   ws_harness poster --db NAME --user U [--postings K]                      (a child)
// NAME is a database file or a postgresql:// URL (its database is replaced by a fresh shop).
// Every run prints its figures and exits 1 when something that must not happen did.
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

#include "harness/harness_runs.h"

namespace {

std::string SelfPath(const char* argv0) {
  char path[PATH_MAX];
  ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return argv0;
  path[n] = '\0';
  return path;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s concurrency|postings|crash|faults --db NAME [options]\n",
                 argv[0]);
    return 2;
  }
  const std::string command = argv[1];
  std::map<std::string, std::string> options;
  for (int i = 2; i + 1 < argc; i += 2) options[argv[i]] = argv[i + 1];
  auto number = [&](const char* name, int fallback) {
    auto it = options.find(name);
    return it == options.end() ? fallback : std::atoi(it->second.c_str());
  };
  const std::string database = options["--db"];
  if (database.empty()) {
    std::fprintf(stderr, "%s: --db is required\n", argv[0]);
    return 2;
  }
  using namespace ws::harness;
  if (command == "writer") {
    return WriterMain(database, options["--user"], number("--orders", 1), number("--lines", 4),
                      number("--ids", 0));
  }
  if (command == "poster") return PosterMain(database, options["--user"], number("--postings", 1));
  if (std::string error = PrepareShop(database); !error.empty()) {
    std::fprintf(stderr, "cannot prepare the shop: %s\n", error.c_str());
    return 1;
  }
  Figures figures;
  const std::string self = SelfPath(argv[0]);
  if (command == "concurrency") {
    figures = RunConcurrency(self, database, number("--writers", 8), number("--orders", 500),
                             number("--lines", 4), number("--ids", 200));
  } else if (command == "postings") {
    figures = RunPostings(self, database, number("--posters", 8), number("--postings", 100));
  } else if (command == "crash") {
    figures = RunCrash(self, database, number("--trials", 1000), number("--lines", 30),
                       static_cast<uint64_t>(number("--seed", 1)));
  } else if (command == "faults") {
    figures = RunFaults(database, number("--lines", 30));
  } else {
    std::fprintf(stderr, "unknown command %s\n", command.c_str());
    return 2;
  }
  std::printf("%s %s\n", command.c_str(), figures.Text().c_str());
  return figures.Ok() ? 0 : 1;
}
