#include "platform/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "platform/open_files.h"

namespace ws::platform {

namespace fs = std::filesystem;

namespace {

std::string Absolute(const std::string& path) {
  std::error_code ec;
  fs::path made = fs::weakly_canonical(path, ec);
  return ec ? path : made.string();
}

bool SameFile(const std::string& a, const std::string& b) {
  struct stat sa {
  }, sb{};
  return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}

mode_t DefaultMode() {
  // The umask can only be read by setting it; set straight back.
  const mode_t mask = ::umask(022);
  ::umask(mask);
  return static_cast<mode_t>(0666 & ~mask);
}

}  // namespace

std::string OutputTargetRefusal(const std::string& path, const std::string& shop) {
  if (path.empty()) return "没有给出输出文件名";
  if (open_files::HeldHere(path)) return path + " 是正在使用的数据库文件，不能用作输出文件";
  if (!shop.empty()) {
    const std::string target = Absolute(path);
    const std::string shopPath = Absolute(shop);
    if (target == shopPath || SameFile(path, shop)) {
      return path + " 是当前维修厂的数据库文件，不能用作输出文件";
    }
    for (const char* suffix : {"-wal", "-shm", "-journal"}) {
      if (target == shopPath + suffix) return path + " 属于当前维修厂的数据库，不能用作输出文件";
    }
  }
  struct stat st {};
  if (::lstat(path.c_str(), &st) == 0) {
    struct stat followed {};
    const bool link = S_ISLNK(st.st_mode);
    if (link && ::stat(path.c_str(), &followed) == 0) st = followed;
    if (S_ISDIR(st.st_mode)) return path + " 是一个文件夹，不能用作输出文件";
    if (link) return path + " 是一个符号链接，不能用作输出文件";
    if (!S_ISREG(st.st_mode)) return path + " 不是普通文件，不能用作输出文件";
  }
  const fs::path parent = fs::path(path).parent_path();
  std::error_code ec;
  if (!parent.empty() && !fs::is_directory(parent, ec)) {
    return "文件夹 " + parent.string() + " 不存在";
  }
  return {};
}

OutputFile::OutputFile(std::string path, const std::string& shop, std::optional<mode_t> mode)
    : path_(std::move(path)), shop_(shop), mode_(mode ? *mode : DefaultMode()) {
  error_ = OutputTargetRefusal(path_, shop_);
  if (!error_.empty()) return;
  const fs::path target(path_);
  const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
  std::string pattern = (folder / ("." + target.filename().string() + ".XXXXXX")).string();
  fd_ = ::mkostemp(pattern.data(), O_CLOEXEC);
  if (fd_ < 0) {
    error_ = "无法在 " + folder.string() + " 中写入文件：" + std::strerror(errno);
    return;
  }
  temp_ = pattern;
}

OutputFile::~OutputFile() {
  if (fd_ >= 0) ::close(fd_);
  if (!committed_ && !temp_.empty()) ::unlink(temp_.c_str());
}

bool OutputFile::Write(std::string_view bytes) {
  if (fd_ < 0) return false;
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      error_ = "无法写入 " + path_ + "：" + std::strerror(errno);
      return false;
    }
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

std::string OutputFile::Commit() {
  if (!error_.empty()) return error_;
  // What the writer wrote by name went to the temporary file; our descriptor still names it.
  if (::fchmod(fd_, mode_) != 0 || ::fsync(fd_) != 0) {
    error_ = "无法写入 " + path_ + "：" + std::strerror(errno);
    return error_;
  }
  ::close(fd_);
  fd_ = -1;
  // The target may have changed while the file was written (another program made a folder
  // or a pipe of that name, or the shop was opened from it).
  if (std::string refusal = OutputTargetRefusal(path_, shop_); !refusal.empty()) {
    error_ = refusal;
    return error_;
  }
  if (::rename(temp_.c_str(), path_.c_str()) != 0) {
    error_ = "无法写入 " + path_ + "：" + std::strerror(errno);
    return error_;
  }
  committed_ = true;
  return {};
}

std::string WriteOutputFile(const std::string& path, std::string_view bytes,
                            const std::string& shop) {
  OutputFile out(path, shop);
  if (!out.Ok()) return out.Error();
  if (!out.Write(bytes)) return out.Error();
  return out.Commit();
}

}  // namespace ws::platform
