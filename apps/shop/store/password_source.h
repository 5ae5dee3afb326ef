// Where a program that is not the desktop gets an account's password: a file only its owner
// may read, or an environment variable. Never the command line, which every user of the
// machine can read in the process list.
#pragma once

#include <optional>
#include <string>

namespace ws::shop {

// The environment variable a script's or a command's password may come from.
inline constexpr const char* kPasswordVariable = "WS_PASSWORD";

// The password in the file's first line (its line end dropped). Refused with the reason in
// *error when the file is missing, is not a regular file, may be read or written by its group
// or others, or is longer than 4 KiB.
std::optional<std::string> ReadPasswordFile(const std::string& path, std::string* error);
// WS_PASSWORD when set, else nullopt.
std::optional<std::string> PasswordFromEnvironment();
// Asks on the terminal without echo (twice when confirm, refusing two different answers);
// nullopt with *error when standard input is no terminal or the answers differ.
std::optional<std::string> AskPassword(const std::string& prompt, bool confirm, std::string* error);

}  // namespace ws::shop
