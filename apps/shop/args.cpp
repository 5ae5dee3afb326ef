#include "shop/args.h"

#include <charconv>

namespace ws::shop {

std::string Arguments::Parse(const std::vector<std::string>& args,
                             const std::set<std::string>& valueOptions,
                             const std::set<std::string>& flags) {
  bool optionsEnded = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
      positional_.push_back(arg);
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    if (arg == "-h" || arg == "--help") {
      flags_.insert("--help");
      continue;
    }
    const size_t equals = arg.find('=');
    const std::string name = arg.substr(0, equals);
    if (valueOptions.count(name)) {
      std::string value;
      if (equals != std::string::npos) {
        value = arg.substr(equals + 1);
      } else if (i + 1 < args.size() && args[i + 1].rfind("--", 0) != 0) {
        value = args[++i];
      } else {
        return "option " + name + " needs a value";
      }
      if (value.empty()) return "option " + name + " needs a value";
      values_[name] = value;
    } else if (flags.count(arg)) {
      flags_.insert(arg);
    } else {
      return "unknown option '" + arg + "'";
    }
  }
  return "";
}

std::optional<std::string> Arguments::Value(const std::string& name) const {
  auto it = values_.find(name);
  if (it == values_.end()) return std::nullopt;
  return it->second;
}

std::optional<long long> ParseWholeNumber(const std::string& text, long long min, long long max) {
  long long value = 0;
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (ec != std::errc() || ptr != end || value < min || value > max) return std::nullopt;
  return value;
}

}  // namespace ws::shop
