// A fresh folder under the system's temporary folder, removed with everything in it at the end.
#pragma once

#include <filesystem>
#include <random>
#include <string>

namespace ws::grid::test {

struct TempFolder {
  TempFolder() { std::filesystem::create_directories(path_); }
  ~TempFolder() { std::filesystem::remove_all(path_, ignored_); }
  const std::filesystem::path& Path() const { return path_; }
  std::string Text() const { return path_.string(); }

  std::filesystem::path path_ = std::filesystem::temp_directory_path() /
                                ("ws_grid_test_" + std::to_string(std::random_device()()) +
                                 std::to_string(std::random_device()()));
  std::error_code ignored_;
};

}  // namespace ws::grid::test
