// Command-line arguments of the `ws` subcommands: options with a value ("--db FILE" or
// "--db=FILE"), flags ("--force") and positional arguments, in the same shape for every command.
#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace ws::shop {

class Arguments {
 public:
  // Reads args against the options a command knows. "-h" and "--help" are always flags (as
  // "--help"). A lone "-" is a positional argument (standard input); "--" ends the options.
  // Answers the error text, empty when the arguments are usable.
  std::string Parse(const std::vector<std::string>& args, const std::set<std::string>& valueOptions,
                    const std::set<std::string>& flags);

  bool Flag(const std::string& name) const { return flags_.count(name) > 0; }
  std::optional<std::string> Value(const std::string& name) const;
  const std::vector<std::string>& Positional() const { return positional_; }

 private:
  std::set<std::string> flags_;
  std::map<std::string, std::string> values_;
  std::vector<std::string> positional_;
};

// A whole number of an option ("--orders 1000"); nullopt when the text is not one or lies
// outside [min, max].
std::optional<long long> ParseWholeNumber(const std::string& text, long long min, long long max);

}  // namespace ws::shop
