#include "harness/fault_vfs.h"

#include <sqlite3.h>

#include <atomic>
#include <iterator>

namespace ws::harness {

namespace {

std::atomic<int> gWrites{0};
std::atomic<int> gFailAt{0};  // 0: never
std::atomic<int> gFault{0};
std::atomic<bool> gFired{false};

// The layer is the default one with its open replaced: a file is opened by the real layer
// into the same handle and then gets a copy of its real methods whose writes and truncations
// can fail. The real layer's own functions take the layer as an argument only for its
// settings, which the copy carries unchanged.
sqlite3_vfs* gReal = nullptr;
sqlite3_vfs gVfs;

// A copy of one real method table (database files and journals have different ones), the
// real table beside it.
struct Wrapped {
  sqlite3_io_methods methods;
  const sqlite3_io_methods* real;
};
Wrapped gWrapped[8];
int gWrappedCount = 0;

const sqlite3_io_methods* Real(sqlite3_file* f) {
  return reinterpret_cast<const Wrapped*>(f->pMethods)->real;
}

bool FailThisWrite() {
  const int n = ++gWrites;
  const int at = gFailAt.load();
  if (at <= 0 || n < at) return false;
  gFired = true;
  return true;
}

int FailureCode() {
  return static_cast<Fault>(gFault.load()) == Fault::DiskFull ? SQLITE_FULL : SQLITE_IOERR_WRITE;
}

int Write(sqlite3_file* f, const void* buffer, int amount, sqlite3_int64 offset) {
  return FailThisWrite() ? FailureCode() : Real(f)->xWrite(f, buffer, amount, offset);
}
int Truncate(sqlite3_file* f, sqlite3_int64 size) {
  return FailThisWrite() ? FailureCode() : Real(f)->xTruncate(f, size);
}
// Memory-mapped I/O would write around xWrite; the layer offers none.
int Fetch(sqlite3_file*, sqlite3_int64, int, void** out) {
  *out = nullptr;
  return SQLITE_OK;
}
int Unfetch(sqlite3_file*, sqlite3_int64, void*) {
  return SQLITE_OK;
}

int Open(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* file, int flags, int* outFlags) {
  int rc = gReal->xOpen(gReal, name, file, flags, outFlags);
  if (!file->pMethods) return rc;
  int i = 0;
  while (i < gWrappedCount && gWrapped[i].real != file->pMethods) ++i;
  if (i == gWrappedCount) {
    if (i == static_cast<int>(std::size(gWrapped))) return rc;  // not seen: left unfailing
    gWrapped[i] = {*file->pMethods, file->pMethods};
    gWrapped[i].methods.xWrite = Write;
    gWrapped[i].methods.xTruncate = Truncate;
    if (gWrapped[i].methods.iVersion >= 3) {
      gWrapped[i].methods.xFetch = Fetch;
      gWrapped[i].methods.xUnfetch = Unfetch;
    }
    ++gWrappedCount;
  }
  file->pMethods = &gWrapped[i].methods;
  return rc;
}

}  // namespace

bool FaultVfs::Install() {
  if (gReal) return true;
  gReal = sqlite3_vfs_find(nullptr);
  if (!gReal) return false;
  gVfs = *gReal;
  gVfs.pNext = nullptr;
  gVfs.zName = "ws_fault";
  gVfs.xOpen = Open;
  return sqlite3_vfs_register(&gVfs, 1) == SQLITE_OK;
}

void FaultVfs::Arm(int k, Fault fault) {
  gFault = static_cast<int>(fault);
  gFired = false;
  gWrites = 0;
  gFailAt = k;
}

void FaultVfs::Disarm() {
  gFailAt = 0;
  gWrites = 0;
}

int FaultVfs::Writes() {
  return gWrites.load();
}

bool FaultVfs::Fired() {
  return gFired.load();
}

}  // namespace ws::harness
