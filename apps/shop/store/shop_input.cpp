#include "shop/store/shop_input.h"

#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string_view>
#include <system_error>

#include "db/catalogue.h"
#include "platform/open_files.h"

namespace ws::shop {

namespace fs = std::filesystem;

namespace {

// Every SQLite database file starts with these 16 bytes, and its header is 100 bytes long.
constexpr std::string_view kSqliteMagic{"SQLite format 3\0", 16};
constexpr std::uintmax_t kSqliteHeaderSize = 100;

}  // namespace

std::string ReadInputText(const std::string& path, std::string& text) {
  if (path == "-") {
    text.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
    return std::cin.bad() ? "cannot read standard input" : "";
  }
  std::error_code ec;
  // Opening a folder as a stream succeeds and reads as empty: it would run as an empty input.
  if (fs::is_directory(path, ec)) return path + " is a folder, not a file";
  std::ifstream in(path, std::ios::binary);
  if (!in) return "cannot read " + path;
  std::ostringstream buffer;
  buffer << in.rdbuf();
  if (in.bad()) return "cannot read " + path;
  text = buffer.str();
  return "";
}

std::string CheckExistingDatabaseFile(const std::string& path) {
  std::error_code ec;
  const fs::file_status status = fs::status(path, ec);
  if (!fs::exists(status)) return path + " does not exist";
  if (fs::is_directory(status)) return path + " is a folder, not a database file";
  const std::uintmax_t size = fs::file_size(path, ec);
  if (ec || size < kSqliteHeaderSize) return path + " is not a database file";
  // A file a connection of this process holds is a database and is not opened again here:
  // closing that descriptor would drop the connection's locks.
  bool heldHere = false;
  auto magic = platform::open_files::ReadHead(path, kSqliteMagic.size(), &heldHere);
  if (heldHere) return "";
  if (!magic || *magic != kSqliteMagic) return path + " is not a database file";
  return "";
}

}  // namespace ws::shop
