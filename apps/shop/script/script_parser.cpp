#include "shop/script/script_parser.h"

#include <algorithm>
#include <climits>
#include <map>

namespace ws::shop {

namespace {

struct Arity {
  int min;
  int max;  // INT_MAX: no limit
  const char* usage;
};

constexpr int kMany = INT_MAX;

const std::map<std::string, Arity, std::less<>>& Commands() {
  static const std::map<std::string, Arity, std::less<>> commands = {
      {"login", {2, 3, "login USER DATE [PASSWORD-FILE]"}},
      {"workdir", {1, 1, "workdir PATH"}},
      {"driver", {1, 1, "driver TEXT"}},
      {"option", {3, 3, "option MODULE KEY VALUE"}},
      {"param", {3, 3, "param MODULE NUMBER VALUE"}},
      {"sql", {1, kMany, "sql STATEMENT"}},
      {"open", {2, 3, "open CONTROL PROGID [ID]"}},
      {"call", {1, kMany, "call OPERATION [ARG...]"}},
      {"find", {2, kMany, "find COLUMN-OP VALUE [COLUMN-OP VALUE ...]"}},
      {"filter", {1, kMany, "filter - | filter COLUMN-OP VALUE [COLUMN-OP VALUE ...]"}},
      {"answer", {1, kMany, "answer yes|no|ok|cancel ..."}},
      {"type", {2, 2, "type FIELD TEXT"}},
      {"cell", {4, 4, "cell GRID ROW COL TEXT"}},
      {"delrow", {2, 2, "delrow GRID ROW"}},
      {"click", {1, 2, "click BUTTON [INDEX]"}},
      {"dblclick", {2, 2, "dblclick GRID ROW"}},
      {"select", {2, 2, "select GRID ROW"}},
      {"tick", {2, 3, "tick GRID ROW [COL]"}},
      {"menu", {2, 2, "menu MENU KEY"}},
      {"pick", {2, 4, "pick FIELD|- ROW  or  pick GRID ROW COL ROW"}},
      {"dialog", {1, 1, "dialog NAME ... end"}},
      {"end", {0, 0, "end"}},
      {"show", {0, 1, "show [WIDGET]"}},
      {"echo", {0, kMany, "echo TEXT"}},
      {"expect", {2, kMany, "expect WHAT ..."}},
  };
  return commands;
}

const std::map<std::string, Arity, std::less<>>& Checks() {
  static const std::map<std::string, Arity, std::less<>> checks = {
      {"result", {1, 1, "expect result VALUE"}},
      {"field", {2, 2, "expect field FIELD TEXT"}},
      {"key", {2, 2, "expect key FIELD N"}},
      {"cell", {4, 4, "expect cell GRID ROW COL TEXT"}},
      {"rows", {2, 2, "expect rows GRID N"}},
      {"label", {2, 2, "expect label NAME[INDEX] TEXT"}},
      {"visible", {2, 2, "expect visible NAME[INDEX] true|false"}},
      {"sql", {2, 2, "expect sql \"STATEMENT\" VALUE"}},
      {"event", {1, 1, "expect event TEXT"}},
      {"msgbox", {1, 1, "expect msgbox TEXT"}},
  };
  return checks;
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r';
}

std::string ArityError(const std::string& name, const Arity& arity) {
  return "'" + name + "' takes " +
         (arity.min == arity.max ? std::to_string(arity.min)
          : arity.max == kMany   ? "at least " + std::to_string(arity.min)
                                 : std::to_string(arity.min) + " to " + std::to_string(arity.max)) +
         (arity.max == 1 && arity.min == 1 ? " argument" : " arguments") + ": " + arity.usage;
}

// Checks a command's arguments beyond their number; answers the error text or "".
std::string CheckArguments(const ScriptStep& command) {
  if (command.name == "expect") {
    auto it = Checks().find(command.args[0]);
    if (it == Checks().end()) return "unknown check 'expect " + command.args[0] + "'";
    const int count = static_cast<int>(command.args.size()) - 1;
    if (count < it->second.min || count > it->second.max) {
      return ArityError("expect " + it->first, it->second);
    }
  } else if (command.name == "answer") {
    for (const auto& word : command.args) {
      static const char* words[] = {"yes", "no", "ok", "cancel"};
      if (std::none_of(std::begin(words), std::end(words),
                       [&](const char* w) { return word == w; })) {
        return "'" + word + "' is no answer (yes, no, ok, cancel)";
      }
    }
  } else if (command.name == "find" && command.args.size() % 2 != 0) {
    return "'find' takes pairs: COLUMN-OP VALUE";
  } else if (command.name == "filter" && !(command.args.size() == 1 && command.args[0] == "-") &&
             command.args.size() % 2 != 0) {
    return "'filter' takes '-' or pairs: COLUMN-OP VALUE";
  } else if (command.name == "pick" && command.args.size() == 3) {
    return ArityError("pick", Commands().at("pick"));
  }
  return "";
}

}  // namespace

bool SplitScriptLine(std::string_view line, std::vector<std::string>& words, std::string* error) {
  words.clear();
  size_t i = 0;
  const size_t n = line.size();
  while (i < n && IsBlank(line[i])) ++i;
  if (i < n && line[i] == '#') return true;
  while (i < n) {
    std::string word;
    if (line[i] == '"') {
      const size_t opened = i;
      ++i;
      bool closed = false;
      while (i < n) {
        if (line[i] == '"') {
          if (i + 1 < n && line[i + 1] == '"') {
            word += '"';
            i += 2;
            continue;
          }
          ++i;
          closed = true;
          break;
        }
        word += line[i++];
      }
      if (!closed) {
        if (error) *error = "the quote at column " + std::to_string(opened + 1) + " is not closed";
        words.clear();
        return false;
      }
      if (i < n && !IsBlank(line[i])) {
        if (error) *error = "text after a closing quote at column " + std::to_string(i + 1);
        words.clear();
        return false;
      }
    } else {
      while (i < n && !IsBlank(line[i])) word += line[i++];
    }
    words.push_back(std::move(word));
    while (i < n && IsBlank(line[i])) ++i;
  }
  return true;
}

Script ParseScript(std::string_view text) {
  Script script;
  // The open blocks: where their commands go, and the dialog command that opened each.
  std::vector<std::vector<ScriptStep>*> targets{&script.commands};
  std::vector<int> openedOn;
  int lineNumber = 0;
  size_t start = 0;
  if (text.substr(0, 3) == "\xEF\xBB\xBF") start = 3;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = text.substr(start, end - start);
    start = end + 1;
    ++lineNumber;

    std::vector<std::string> words;
    std::string error;
    if (!SplitScriptLine(line, words, &error)) {
      script.errors.push_back({lineNumber, error});
      continue;
    }
    if (words.empty()) continue;
    ScriptStep command;
    command.line = lineNumber;
    command.name = words[0];
    command.args.assign(words.begin() + 1, words.end());
    auto it = Commands().find(command.name);
    if (it == Commands().end()) {
      script.errors.push_back({lineNumber, "unknown command '" + command.name + "'"});
      continue;
    }
    const int count = static_cast<int>(command.args.size());
    if (count < it->second.min || count > it->second.max) {
      script.errors.push_back({lineNumber, ArityError(command.name, it->second)});
      continue;
    }
    if (std::string problem = CheckArguments(command); !problem.empty()) {
      script.errors.push_back({lineNumber, problem});
      continue;
    }
    if (command.name == "end") {
      if (openedOn.empty()) {
        script.errors.push_back({lineNumber, "'end' without a 'dialog' before it"});
      } else {
        targets.pop_back();
        openedOn.pop_back();
      }
      continue;
    }
    targets.back()->push_back(std::move(command));
    if (targets.back()->back().name == "dialog") {
      targets.push_back(&targets.back()->back().block);
      openedOn.push_back(lineNumber);
    }
  }
  for (int line : openedOn) script.errors.push_back({line, "'dialog' without its 'end'"});
  std::stable_sort(script.errors.begin(), script.errors.end(),
                   [](const ScriptError& a, const ScriptError& b) { return a.line < b.line; });
  return script;
}

const std::vector<std::string>& ScriptCommandUsage() {
  static const std::vector<std::string> usage = [] {
    std::vector<std::string> out;
    for (const auto& [name, arity] : Commands()) {
      if (name != "end" && name != "expect") out.push_back(arity.usage);
    }
    for (const auto& [name, arity] : Checks()) out.push_back(arity.usage);
    return out;
  }();
  return usage;
}

}  // namespace ws::shop
