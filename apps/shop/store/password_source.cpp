#include "shop/store/password_source.h"

#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>

namespace ws::shop {

namespace {

constexpr off_t kMaxFileBytes = 4096;

std::string WithoutLineEnd(std::string line) {
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

// One line from the terminal with its echo off; restores the terminal whatever happens.
std::optional<std::string> ReadHidden(const std::string& prompt) {
  termios saved{};
  if (tcgetattr(STDIN_FILENO, &saved) != 0) return std::nullopt;
  termios quiet = saved;
  quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
  std::cerr << prompt << std::flush;
  tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
  std::string line;
  const bool read = static_cast<bool>(std::getline(std::cin, line));
  tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
  std::cerr << "\n";
  if (!read) return std::nullopt;
  return WithoutLineEnd(std::move(line));
}

}  // namespace

std::optional<std::string> ReadPasswordFile(const std::string& path, std::string* error) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) {
    *error = "密码文件 " + path + " 不存在或不能读";
    return std::nullopt;
  }
  if (!S_ISREG(info.st_mode)) {
    *error = "密码文件 " + path + " 不是普通文件";
    return std::nullopt;
  }
  if ((info.st_mode & (S_IRWXG | S_IRWXO)) != 0) {
    *error = "密码文件 " + path + " 别人也能读写（请 chmod 600）";
    return std::nullopt;
  }
  if (info.st_size > kMaxFileBytes) {
    *error = "密码文件 " + path + " 太大";
    return std::nullopt;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *error = "密码文件 " + path + " 不能读";
    return std::nullopt;
  }
  std::string line;
  std::getline(in, line);
  return WithoutLineEnd(std::move(line));
}

std::optional<std::string> PasswordFromEnvironment() {
  const char* value = std::getenv(kPasswordVariable);
  if (!value) return std::nullopt;
  return std::string(value);
}

std::optional<std::string> AskPassword(const std::string& prompt, bool confirm,
                                       std::string* error) {
  if (!isatty(STDIN_FILENO)) {
    *error = "没有终端可以输入密码：请用 --password-file FILE 或环境变量 WS_PASSWORD";
    return std::nullopt;
  }
  auto first = ReadHidden(prompt);
  if (!first) {
    *error = "没有读到密码";
    return std::nullopt;
  }
  if (!confirm) return first;
  auto second = ReadHidden("再输入一次: ");
  if (!second || *second != *first) {
    *error = "两次输入的密码不一样";
    return std::nullopt;
  }
  return first;
}

}  // namespace ws::shop
