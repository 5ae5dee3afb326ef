#include "harness/fault_vfs.h"

#include <sqlite3.h>

#include <atomic>
#include <cstring>

namespace ws::harness {

namespace {

std::atomic<int> gWrites{0};
std::atomic<int> gFailAt{0};  // 0: never
std::atomic<int> gFault{0};
std::atomic<bool> gFired{false};

sqlite3_vfs* gReal = nullptr;
sqlite3_vfs gVfs;

// Our file: the real file's handle follows this header in the same allocation.
struct FaultFile {
  sqlite3_file base;
  sqlite3_file* real() { return reinterpret_cast<sqlite3_file*>(this + 1); }
};

FaultFile* Of(sqlite3_file* file) {
  return reinterpret_cast<FaultFile*>(file);
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

int Close(sqlite3_file* f) {
  int rc = Of(f)->real()->pMethods ? Of(f)->real()->pMethods->xClose(Of(f)->real()) : SQLITE_OK;
  return rc;
}
int Read(sqlite3_file* f, void* buffer, int amount, sqlite3_int64 offset) {
  return Of(f)->real()->pMethods->xRead(Of(f)->real(), buffer, amount, offset);
}
int Write(sqlite3_file* f, const void* buffer, int amount, sqlite3_int64 offset) {
  if (FailThisWrite()) return FailureCode();
  return Of(f)->real()->pMethods->xWrite(Of(f)->real(), buffer, amount, offset);
}
int Truncate(sqlite3_file* f, sqlite3_int64 size) {
  if (FailThisWrite()) return FailureCode();
  return Of(f)->real()->pMethods->xTruncate(Of(f)->real(), size);
}
int Sync(sqlite3_file* f, int flags) {
  return Of(f)->real()->pMethods->xSync(Of(f)->real(), flags);
}
int FileSize(sqlite3_file* f, sqlite3_int64* size) {
  return Of(f)->real()->pMethods->xFileSize(Of(f)->real(), size);
}
int Lock(sqlite3_file* f, int level) {
  return Of(f)->real()->pMethods->xLock(Of(f)->real(), level);
}
int Unlock(sqlite3_file* f, int level) {
  return Of(f)->real()->pMethods->xUnlock(Of(f)->real(), level);
}
int CheckReservedLock(sqlite3_file* f, int* out) {
  return Of(f)->real()->pMethods->xCheckReservedLock(Of(f)->real(), out);
}
int FileControl(sqlite3_file* f, int op, void* arg) {
  return Of(f)->real()->pMethods->xFileControl(Of(f)->real(), op, arg);
}
int SectorSize(sqlite3_file* f) {
  return Of(f)->real()->pMethods->xSectorSize(Of(f)->real());
}
int DeviceCharacteristics(sqlite3_file* f) {
  return Of(f)->real()->pMethods->xDeviceCharacteristics(Of(f)->real());
}
int ShmMap(sqlite3_file* f, int page, int size, int extend, void volatile** out) {
  return Of(f)->real()->pMethods->xShmMap(Of(f)->real(), page, size, extend, out);
}
int ShmLock(sqlite3_file* f, int offset, int n, int flags) {
  return Of(f)->real()->pMethods->xShmLock(Of(f)->real(), offset, n, flags);
}
void ShmBarrier(sqlite3_file* f) {
  Of(f)->real()->pMethods->xShmBarrier(Of(f)->real());
}
int ShmUnmap(sqlite3_file* f, int deleteFlag) {
  return Of(f)->real()->pMethods->xShmUnmap(Of(f)->real(), deleteFlag);
}
// Memory-mapped I/O would write around xWrite; the layer offers none.
int Fetch(sqlite3_file*, sqlite3_int64, int, void** out) {
  *out = nullptr;
  return SQLITE_OK;
}
int Unfetch(sqlite3_file*, sqlite3_int64, void*) {
  return SQLITE_OK;
}

const sqlite3_io_methods kMethods = {3,
                                     Close,
                                     Read,
                                     Write,
                                     Truncate,
                                     Sync,
                                     FileSize,
                                     Lock,
                                     Unlock,
                                     CheckReservedLock,
                                     FileControl,
                                     SectorSize,
                                     DeviceCharacteristics,
                                     ShmMap,
                                     ShmLock,
                                     ShmBarrier,
                                     ShmUnmap,
                                     Fetch,
                                     Unfetch};

int Open(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* file, int flags, int* outFlags) {
  FaultFile* ours = Of(file);
  std::memset(ours->real(), 0, static_cast<size_t>(gReal->szOsFile));
  int rc = gReal->xOpen(gReal, name, ours->real(), flags, outFlags);
  // SQLite calls xClose whenever pMethods is set, even after a failed open.
  ours->base.pMethods = ours->real()->pMethods ? &kMethods : nullptr;
  return rc;
}

int Delete(sqlite3_vfs*, const char* name, int syncDir) {
  return gReal->xDelete(gReal, name, syncDir);
}
int Access(sqlite3_vfs*, const char* name, int flags, int* out) {
  return gReal->xAccess(gReal, name, flags, out);
}
int FullPathname(sqlite3_vfs*, const char* name, int size, char* out) {
  return gReal->xFullPathname(gReal, name, size, out);
}
void* DlOpen(sqlite3_vfs*, const char* name) {
  return gReal->xDlOpen(gReal, name);
}
void DlError(sqlite3_vfs*, int size, char* out) {
  gReal->xDlError(gReal, size, out);
}
void (*DlSym(sqlite3_vfs*, void* handle, const char* symbol))(void) {
  return gReal->xDlSym(gReal, handle, symbol);
}
void DlClose(sqlite3_vfs*, void* handle) {
  gReal->xDlClose(gReal, handle);
}
int Randomness(sqlite3_vfs*, int size, char* out) {
  return gReal->xRandomness(gReal, size, out);
}
int Sleep(sqlite3_vfs*, int micro) {
  return gReal->xSleep(gReal, micro);
}
int CurrentTime(sqlite3_vfs*, double* out) {
  return gReal->xCurrentTime(gReal, out);
}
int GetLastError(sqlite3_vfs*, int size, char* out) {
  return gReal->xGetLastError ? gReal->xGetLastError(gReal, size, out) : 0;
}
int CurrentTimeInt64(sqlite3_vfs*, sqlite3_int64* out) {
  return gReal->xCurrentTimeInt64(gReal, out);
}

}  // namespace

bool FaultVfs::Install() {
  if (gReal) return true;
  gReal = sqlite3_vfs_find(nullptr);
  if (!gReal) return false;
  std::memset(&gVfs, 0, sizeof gVfs);
  gVfs.iVersion = 2;
  gVfs.szOsFile = static_cast<int>(sizeof(FaultFile)) + gReal->szOsFile;
  gVfs.mxPathname = gReal->mxPathname;
  gVfs.zName = "ws_fault";
  gVfs.xOpen = Open;
  gVfs.xDelete = Delete;
  gVfs.xAccess = Access;
  gVfs.xFullPathname = FullPathname;
  gVfs.xDlOpen = DlOpen;
  gVfs.xDlError = DlError;
  gVfs.xDlSym = DlSym;
  gVfs.xDlClose = DlClose;
  gVfs.xRandomness = Randomness;
  gVfs.xSleep = Sleep;
  gVfs.xCurrentTime = CurrentTime;
  gVfs.xGetLastError = GetLastError;
  gVfs.xCurrentTimeInt64 = CurrentTimeInt64;
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
