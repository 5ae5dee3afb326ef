// What the commands read before they work: the text of a named input file (a script, a CSV)
// and an existing shop database. A name that is a folder, an unreadable file or a file that
// is no database of ours is refused with the reason, and nothing is written to it.
#pragma once

#include <string>

namespace ws::shop {

// Reads the whole file into text; "-" reads standard input. Answers the reason it cannot
// ("is a folder", "cannot read"), empty on success.
std::string ReadInputText(const std::string& path, std::string& text);

// Why the file cannot be an existing shop database without opening it: missing, a folder, or
// not an SQLite file (an empty file too, which the engine would take as a new database and
// rewrite while it is refused). Empty when it may be opened.
std::string CheckExistingDatabaseFile(const std::string& path);

}  // namespace ws::shop
