#include "demo_command.h"

#include <unistd.h>

#include <csignal>

#include <chrono>
#include <cstdio>
#include <iostream>
#include <limits>
#include <optional>
#include <ostream>

#include "db/date.h"
#include "db/runner.h"
#include "owner_account.h"
#include "platform/postgres_database.h"
#include "shop/args.h"
#include "shop/demo/demo_data.h"
#include "shop/demo/demo_floor.h"
#include "shop/store/database_file.h"

namespace ws::cli {

namespace {

constexpr long long kMaxOrders = 100'000'000;

// Ctrl-C while a large demo is written stops it cleanly: the load is rolled back and the
// unfinished file removed, where the default action would leave the temporary file behind.
volatile std::sig_atomic_t interrupted = 0;

extern "C" void OnInterrupt(int) {
  interrupted = 1;
}

class InterruptGuard {
 public:
  InterruptGuard() {
    interrupted = 0;
    previousInt_ = std::signal(SIGINT, OnInterrupt);
    previousTerm_ = std::signal(SIGTERM, OnInterrupt);
  }
  ~InterruptGuard() {
    std::signal(SIGINT, previousInt_);
    std::signal(SIGTERM, previousTerm_);
  }
  InterruptGuard(const InterruptGuard&) = delete;
  InterruptGuard& operator=(const InterruptGuard&) = delete;

 private:
  void (*previousInt_)(int);
  void (*previousTerm_)(int);
};

// A one-line bar redrawn in place: "[#####     ]  50%  500000/1000000 orders".
class ProgressBar {
 public:
  explicit ProgressBar(std::ostream* out) : out_(out) {}
  void Show(int64_t done, int64_t total) {
    if (!out_ || total <= 0) return;
    const int percent = static_cast<int>(done * 100 / total);
    if (percent == lastPercent_) return;
    lastPercent_ = percent;
    constexpr int kWidth = 30;
    const int filled = percent * kWidth / 100;
    *out_ << "\r[" << std::string(static_cast<size_t>(filled), '#')
          << std::string(static_cast<size_t>(kWidth - filled), ' ') << "] " << percent << "%  "
          << done << "/" << total << " orders" << std::flush;
  }
  void Note(const std::string& text) {
    if (out_) *out_ << "\r" << text << std::string(40, ' ') << std::flush;
  }
  void Done() {
    if (out_ && lastPercent_ >= 0) *out_ << "\r" << std::string(70, ' ') << "\r" << std::flush;
  }

 private:
  std::ostream* out_;
  int lastPercent_ = -1;
};

}  // namespace

void DemoCommand::PrintHelp(std::ostream& out) const {
  out << "Usage: ws demo --db FILE|URL [--seed N] [--orders N] [--date yyyy-mm-dd]\n"
         "               [--years N] [--force] [--owner NAME [--password-file F]]\n"
         "\n"
         "Creates a new shop database (a SQLite FILE or a postgresql:// URL) as 'ws init' does\n"
         "and fills it with a demo repair\n"
         "shop: customers and their vehicles, repair items and categories, parts with their\n"
         "stock in the current period, departments, depots, employees, accounts, settlement\n"
         "methods, currencies, and repair orders over the years up to the reference date, entered\n"
         "and checked, with the material requisitions, settlements and receipts of the counter\n"
         "behind them. The same seed, number of orders, date and years give the same data.\n"
         "\n"
         "Options:\n"
         "  --db FILE|URL      the database file to create, or the PostgreSQL database to fill\n"
         "  --seed N           the seed of the data (default 1)\n"
         "  --orders N         the number of repair orders (default 2000; millions are fine)\n"
         "  --date yyyy-mm-dd  the reference date: the last day with orders; its month is the\n"
         "                     current accounting period (default: today)\n"
         "  --years N          how many years back the orders reach, 1 to 30 (default 1)\n"
         "  --force            replace FILE when it exists (it is kept until the new one is done)\n"
         "  --owner NAME       the owner's account (role 店主), its password from\n"
         "                     --password-file F (a file only its owner may read) or asked\n"
         "                     twice; the demo's clerk, checker and cashier are added with the\n"
         "                     passwords printed. Without it the shop takes any name at login\n"
         "  -h, --help         show this help\n"
         "\n"
         "A progress bar shows on a terminal; Ctrl-C stops the run and leaves nothing behind.\n"
         "\n"
         "Exit status: 0 created, 1 the database could not be written or is already there\n"
         "(without --force), 2 bad usage or input (nothing is changed).\n";
}

int DemoCommand::Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  shop::Arguments arguments;
  std::string file;
  if (auto exit = Begin(
          args, {"--db", "--seed", "--orders", "--date", "--years", "--owner", "--password-file"},
          {"--force"}, 0, out, err, arguments, file)) {
    return *exit;
  }

  shop::DemoOptions options;
  options.date = db::Today();
  if (auto seed = arguments.Value("--seed")) {
    auto value = shop::ParseWholeNumber(*seed, 0, std::numeric_limits<long long>::max());
    if (!value) return Usage(err, "'" + *seed + "' is not a seed (a whole number from 0)");
    options.seed = static_cast<uint64_t>(*value);
  }
  if (auto orders = arguments.Value("--orders")) {
    auto value = shop::ParseWholeNumber(*orders, 0, kMaxOrders);
    if (!value) {
      return Usage(err, "'" + *orders + "' is not a number of orders (0 to " +
                            std::to_string(kMaxOrders) + ")");
    }
    options.orders = *value;
  }
  if (auto years = arguments.Value("--years")) {
    auto value = shop::ParseWholeNumber(*years, 1, 30);
    if (!value) return Usage(err, "'" + *years + "' is not a number of years (1 to 30)");
    options.years = static_cast<int>(*value);
  }
  if (auto date = arguments.Value("--date")) {
    auto parsed = db::Date::Parse(*date);
    if (!parsed) return Usage(err, "'" + *date + "' is not a date (yyyy-mm-dd)");
    options.date = *parsed;
  }
  if (std::string error = shop::CheckNewDatabaseTarget(file, arguments.Flag("--force"));
      !error.empty()) {
    err << "ws demo: " << error << "\n";
    return TargetStatus(file);
  }
  std::string ownerError;
  auto owner = ReadOwner(arguments, &ownerError);
  if (!ownerError.empty()) {
    err << "ws demo: " << ownerError << "\n";
    return kExitUsage;
  }

  InterruptGuard guard;
  options.cancelled = [] { return interrupted != 0; };
  const auto started = std::chrono::steady_clock::now();
  ProgressBar bar(&err == &std::cerr && ::isatty(STDERR_FILENO) ? &err : nullptr);
  shop::DemoCounts counts;
  if (std::string error = shop::CreateDemoDatabase(
          file, options, &counts, [&](int64_t done, int64_t total) { bar.Show(done, total); },
          [&] { bar.Note("building the indexes ..."); });
      !error.empty()) {
    bar.Done();
    if (interrupted) {
      err << "ws demo: cancelled; " << platform::DisplayUrl(file) << " was not changed\n";
      return kExitFailure;
    }
    err << "ws demo: " << error << "\n";
    return kExitFailure;
  }
  bar.Done();

  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  char elapsed[32];
  std::snprintf(elapsed, sizeof elapsed, "%.1f", seconds);
  out << "Created " << platform::DisplayUrl(file) << " (seed " << options.seed
      << ", reference date " << options.date.Text() << ") in " << elapsed << " s:\n"
      << "  " << counts.orders << " repair orders with " << counts.itemLines << " item lines and "
      << counts.partLines << " part lines\n"
      << "  " << counts.customers << " customers, " << counts.vehicles << " vehicles\n"
      << "  " << counts.items << " repair items in " << counts.categories << " categories, "
      << counts.parts << " parts, " << counts.stockRows << " stock balances\n"
      << "  " << counts.departments << " departments and depots, " << counts.employees
      << " employees, " << counts.accounts << " accounts, " << counts.settlementMethods
      << " settlement methods, " << counts.currencies + 1 << " currencies\n"
      << "  " << counts.requisitions << " material requisitions with " << counts.requisitionLines
      << " lines and " << counts.stockMovements << " stock movements\n"
      << "  " << counts.settlements << " settlements with " << counts.voucherLines
      << " voucher lines, " << counts.receipts << " receipts; " << counts.openOrders
      << " settled orders still owe\n"
      << "  the floor of the last " << shop::kFloorDays << " days: " << counts.dispatches
      << " dispatches, " << counts.clockRecords << " clock records, " << counts.findings
      << " examination findings\n";
  if (owner) {
    if (std::string error = AddAccounts(file, *owner, true, out); !error.empty()) {
      err << "ws demo: " << error << "\n";
      return kExitFailure;
    }
  }
  return kExitOk;
}

}  // namespace ws::cli
