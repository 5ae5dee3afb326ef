#include "platform/open_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <mutex>

namespace ws::platform::open_files {

namespace {

struct Entry {
  dev_t device;
  ino_t inode;
  std::string path;  // as the engine was given it, made absolute
};

struct Registry {
  std::mutex mutex;
  std::map<int, Entry> entries;
  int next = 1;
};

Registry& TheRegistry() {
  static Registry registry;
  return registry;
}

std::string Absolute(const std::string& path) {
  std::error_code ec;
  std::filesystem::path made = std::filesystem::weakly_canonical(path, ec);
  return ec ? path : made.string();
}

// Caller holds the registry's mutex.
bool HeldLocked(Registry& registry, const std::string& path) {
  struct stat st {};
  const bool exists = ::stat(path.c_str(), &st) == 0;
  const std::string absolute = Absolute(path);
  for (const auto& [token, entry] : registry.entries) {
    if (exists && st.st_dev == entry.device && st.st_ino == entry.inode) return true;
    for (const char* suffix : {"-wal", "-shm", "-journal"}) {
      if (absolute == entry.path + suffix) return true;
    }
  }
  return false;
}

// Whether a connection of another process has the -shm at path mapped: each one holds a read
// lock on its dead-man byte for as long as it is connected. The descriptor opened here drops
// locks of this process on the -shm, so it is opened only when this process has no
// connection to the database (the caller holds the registry's mutex and has checked).
bool ShmInUseElsewhere(const std::string& shm) {
  constexpr off_t kDeadManByte = 128;
  const int fd = ::open(shm.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return false;
  struct flock probe {};
  probe.l_type = F_WRLCK;
  probe.l_whence = SEEK_SET;
  probe.l_start = kDeadManByte;
  probe.l_len = 1;
  const bool inUse = ::fcntl(fd, F_GETLK, &probe) != 0 || probe.l_type != F_UNLCK;
  ::close(fd);
  return inUse;
}

}  // namespace

bool InUse(const std::string& path) {
  Registry& registry = TheRegistry();
  std::lock_guard lock(registry.mutex);
  return HeldLocked(registry, path) || ShmInUseElsewhere(path + "-shm");
}

std::optional<int> Register(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return std::nullopt;
  Registry& registry = TheRegistry();
  std::lock_guard lock(registry.mutex);
  const int token = registry.next++;
  registry.entries[token] = Entry{st.st_dev, st.st_ino, Absolute(path)};
  return token;
}

void Unregister(int token) {
  Registry& registry = TheRegistry();
  std::lock_guard lock(registry.mutex);
  registry.entries.erase(token);
}

bool HeldHere(const std::string& path) {
  Registry& registry = TheRegistry();
  std::lock_guard lock(registry.mutex);
  return HeldLocked(registry, path);
}

std::optional<std::string> ReadHead(const std::string& path, size_t size, bool* heldHere) {
  Registry& registry = TheRegistry();
  std::lock_guard lock(registry.mutex);
  const bool held = HeldLocked(registry, path);
  if (heldHere) *heldHere = held;
  if (held) return std::nullopt;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return std::nullopt;
  std::string bytes(size, '\0');
  size_t got = 0;
  while (got < size) {
    const ssize_t n = ::read(fd, bytes.data() + got, size - got);
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  ::close(fd);
  bytes.resize(got);
  return bytes;
}

}  // namespace ws::platform::open_files
