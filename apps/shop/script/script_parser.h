// The host script language of `ws script`: one command per line, its arguments split on blanks;
// an argument with blanks stands in double quotes, and a doubled quote inside quotes is one
// quote ("say ""hi"""). A line whose first non-blank character is '#' is a comment; blank lines
// are skipped. `dialog NAME` ... `end` encloses the commands run against the next modal dialog
// of that name (blocks may nest).
//
// The whole text is parsed before anything runs, so a misspelt command or a wrong number of
// arguments anywhere stops the script before it changes anything.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace ws::shop {

struct ScriptStep {
  int line = 0;
  std::string name;
  std::vector<std::string> args;
  std::vector<ScriptStep> block;  // the commands of a `dialog` block
};

struct ScriptError {
  int line = 0;
  std::string message;
};

struct Script {
  std::vector<ScriptStep> commands;
  std::vector<ScriptError> errors;  // not empty: the script must not run
};

// The words of one line; a quote that is not closed, or text glued to a closing quote, is an
// error (false, the reason in *error). A comment or blank line gives no words.
bool SplitScriptLine(std::string_view line, std::vector<std::string>& words, std::string* error);

Script ParseScript(std::string_view text);

// The commands with their arguments, one per line, for the help text.
const std::vector<std::string>& ScriptCommandUsage();

}  // namespace ws::shop
