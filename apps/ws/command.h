// A subcommand of the `ws` command-line host: one small class per command over the platform's
// services. main.cpp keeps the table of commands and dispatches by name.
#pragma once

#include <iosfwd>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "shop/args.h"

namespace ws::platform {
class EngineDatabase;
}

namespace ws::cli {

// Exit statuses of every command.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;  // the work itself failed (database, file system)
inline constexpr int kExitUsage = 2;    // bad usage or input: nothing was changed

// A shop that would not open: the user named no shop (bad input), or the shop is out of reach
// (a server down, a failing disk: a failure).
inline int OpenFailureStatus(bool notNamed) {
  return notNamed ? kExitUsage : kExitFailure;
}
// A new shop refused at its target: one already there (a file, a server's shop) is a failure
// of the work; a name that cannot be one (a folder, a missing folder) the user's mistake.
int TargetStatus(const std::string& target);

class Command {
 public:
  virtual ~Command() = default;
  // The name typed after `ws`.
  virtual std::string_view Name() const = 0;
  // One line for the command list of `ws --help`.
  virtual std::string_view Summary() const = 0;
  // The full help text of `ws NAME --help`.
  virtual void PrintHelp(std::ostream& out) const = 0;
  // Runs with the arguments after the command name; results go to out, messages to err.
  // Answers the exit status.
  virtual int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) = 0;

 protected:
  // What every command does first: reads the arguments against its options, prints the help
  // for --help, refuses more than maxPositional positional arguments and requires --db FILE.
  // Answers nullopt to go on (with the arguments and the file filled in), otherwise the exit
  // status to end with.
  std::optional<int> Begin(const std::vector<std::string>& args,
                           const std::set<std::string>& valueOptions,
                           const std::set<std::string>& flags, size_t maxPositional,
                           std::ostream& out, std::ostream& err, shop::Arguments& arguments,
                           std::string& file) const;
  // Opens the shop of --db brought to this build's layout and tells its notice. When it will not
  // open, tells why ("ws NAME: ...", with missingHint after it when the shop file is not there
  // at all: only making a shop helps then) and answers nullptr with the exit status in *exit.
  std::unique_ptr<platform::EngineDatabase> OpenShop(const std::string& file, std::ostream& err,
                                                     int* exit,
                                                     std::string_view missingHint = {}) const;
  // Reports bad usage ("ws NAME: message" and where to find help); answers kExitUsage.
  int Usage(std::ostream& err, const std::string& message) const;
};

}  // namespace ws::cli
