// The store's file layer (wal_writer.h): the unix layer, with a commit's
// write-ahead log frames gathered and written in one call.
//
// A write to the log is held back when it appends: it begins where the
// held writes end, or (nothing held) at or beyond the furthest point this
// connection has written the log to, or it is the log's 32-byte header at
// offset 0 (the log starting over).  Anything else (SQLite rewriting a
// frame or a checksum of the open transaction in place) first writes what
// is held and then goes straight through.  A frame header whose "database
// size" field is set marks a commit frame; the write of its page, which
// follows, writes everything held before it returns.
//
// Each MiB the log grows by is handed to the kernel's writeback at once
// (sync_file_range, without waiting), so that the log's pages reach the
// disk while the next changes are made rather than all at the copy back's
// sync: a log of 32 MiB written since the last sync made that sync wait
// for all of it (0.4 s in every 10,000 adds).  Starting it after every
// commit instead cost more than the wait.  Nothing is promised by it; the
// syncs SQLite asks for are made as before.
#include "store/wal_writer.h"

#include <fcntl.h>
#include <unistd.h>

#include <sqlite3.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <new>
#include <string>

namespace nwc {
namespace {

constexpr size_t kMaxGathered = size_t{4} << 20;  // a spilling transaction writes in pieces of this
constexpr int kWalHeaderBytes = 32;
constexpr int kFrameHeaderBytes = 24;

sqlite3_vfs* g_unix = nullptr;

struct WalFile {
  sqlite3_file base;             // pMethods: kWalMethods
  sqlite3_file* real = nullptr;  // the unix layer's file, after this struct
  std::string held;              // writes held back, contiguous from held_at
  sqlite3_int64 held_at = 0;
  sqlite3_int64 reach = 0;       // the furthest offset written through this connection since the log began
  bool commit_next = false;      // the next write is a commit frame's page
  int fd = -1;                   // the log opened for reading, to start its writeback; -1: none
  sqlite3_int64 unsent = 0;      // where the log's writeback has not been started yet
};

constexpr sqlite3_int64 kWritebackBytes = sqlite3_int64{1} << 20;

constexpr size_t kRealOffset = (sizeof(WalFile) + 15) / 16 * 16;

WalFile* wal(sqlite3_file* f) { return reinterpret_cast<WalFile*>(f); }

// The unix layer writes at most 128 KiB less a byte in one call (a longer
// write would be cut short and taken for a full disk): what is held goes in
// pieces of 124 KiB.
constexpr size_t kPiece = 0x1F000;

int flush(WalFile* w) {
  int rc = SQLITE_OK;
  for (size_t at = 0; rc == SQLITE_OK && at < w->held.size(); at += kPiece) {
    const size_t n = std::min(kPiece, w->held.size() - at);
    rc = w->real->pMethods->xWrite(w->real, w->held.data() + at, static_cast<int>(n),
                                   w->held_at + static_cast<sqlite3_int64>(at));
  }
  if (rc == SQLITE_OK && w->fd >= 0 && !w->held.empty()) {
    const sqlite3_int64 end = w->held_at + static_cast<sqlite3_int64>(w->held.size());
    if (w->held_at < w->unsent) w->unsent = w->held_at;  // the log started over
    if (end - w->unsent >= kWritebackBytes) {
      sync_file_range(w->fd, w->unsent, end - w->unsent, SYNC_FILE_RANGE_WRITE);
      w->unsent = end;
    }
  }
  w->held.clear();
  w->commit_next = false;
  return rc;
}

int wal_close(sqlite3_file* f) {
  WalFile* w = wal(f);
  const int rc = flush(w);
  const int closed = w->real->pMethods ? w->real->pMethods->xClose(w->real) : SQLITE_OK;
  if (w->fd >= 0) ::close(w->fd);
  w->~WalFile();
  return rc != SQLITE_OK ? rc : closed;
}

int wal_read(sqlite3_file* f, void* out, int amount, sqlite3_int64 offset) {
  WalFile* w = wal(f);
  if (int rc = flush(w)) return rc;
  return w->real->pMethods->xRead(w->real, out, amount, offset);
}

int wal_write(sqlite3_file* f, const void* data, int amount, sqlite3_int64 offset) {
  WalFile* w = wal(f);
  const auto* bytes = static_cast<const char*>(data);
  bool continues = !w->held.empty() && offset == w->held_at + static_cast<sqlite3_int64>(w->held.size());
  if (!w->held.empty() && (!continues || w->held.size() + static_cast<size_t>(amount) > kMaxGathered)) {
    if (int rc = flush(w)) return rc;
    continues = false;
  }
  if (offset == 0 && amount == kWalHeaderBytes) w->reach = 0;  // the log starts over
  const bool appends = continues || offset >= w->reach;
  if (offset + amount > w->reach) w->reach = offset + amount;
  if (!appends) return w->real->pMethods->xWrite(w->real, data, amount, offset);
  const bool commit_page = w->commit_next;
  if (w->held.empty()) w->held_at = offset;
  w->held.append(bytes, static_cast<size_t>(amount));
  if (commit_page) return flush(w);
  // A frame header: bytes 4-7 hold the database size after a commit, zero
  // in any other frame.
  if (amount == kFrameHeaderBytes && offset >= kWalHeaderBytes)
    w->commit_next = bytes[4] != 0 || bytes[5] != 0 || bytes[6] != 0 || bytes[7] != 0;
  return SQLITE_OK;
}

int wal_truncate(sqlite3_file* f, sqlite3_int64 size) {
  WalFile* w = wal(f);
  if (int rc = flush(w)) return rc;
  if (size < w->reach) w->reach = size;
  return w->real->pMethods->xTruncate(w->real, size);
}

int wal_sync(sqlite3_file* f, int flags) {
  WalFile* w = wal(f);
  if (int rc = flush(w)) return rc;
  return w->real->pMethods->xSync(w->real, flags);
}

int wal_file_size(sqlite3_file* f, sqlite3_int64* size) {
  WalFile* w = wal(f);
  if (int rc = flush(w)) return rc;
  return w->real->pMethods->xFileSize(w->real, size);
}

int wal_lock(sqlite3_file* f, int level) { return wal(f)->real->pMethods->xLock(wal(f)->real, level); }
int wal_unlock(sqlite3_file* f, int level) { return wal(f)->real->pMethods->xUnlock(wal(f)->real, level); }
int wal_reserved(sqlite3_file* f, int* out) {
  return wal(f)->real->pMethods->xCheckReservedLock(wal(f)->real, out);
}

int wal_file_control(sqlite3_file* f, int op, void* arg) {
  WalFile* w = wal(f);
  if (int rc = flush(w)) return rc;
  return w->real->pMethods->xFileControl(w->real, op, arg);
}

int wal_sector_size(sqlite3_file* f) { return wal(f)->real->pMethods->xSectorSize(wal(f)->real); }
int wal_device(sqlite3_file* f) { return wal(f)->real->pMethods->xDeviceCharacteristics(wal(f)->real); }

// Version 1: SQLite maps and shares memory through the database file, never
// through its log.
const sqlite3_io_methods kWalMethods = {
    1,           wal_close,         wal_read,        wal_write,       wal_truncate, wal_sync,
    wal_file_size, wal_lock,        wal_unlock,      wal_reserved,    wal_file_control,
    wal_sector_size, wal_device,    nullptr,         nullptr,         nullptr,
    nullptr,     nullptr,           nullptr,
};

int vfs_open(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* file, int flags, int* out_flags) {
  if (!(flags & SQLITE_OPEN_WAL)) return g_unix->xOpen(g_unix, name, file, flags, out_flags);
  auto* w = new (file) WalFile();
  w->base.pMethods = nullptr;
  w->real = reinterpret_cast<sqlite3_file*>(reinterpret_cast<char*>(file) + kRealOffset);
  std::memset(w->real, 0, static_cast<size_t>(g_unix->szOsFile));
  const int rc = g_unix->xOpen(g_unix, name, w->real, flags, out_flags);
  if (rc != SQLITE_OK) {
    if (w->real->pMethods) w->real->pMethods->xClose(w->real);
    w->~WalFile();
    file->pMethods = nullptr;
    return rc;
  }
  w->fd = ::open(name, O_RDONLY | O_CLOEXEC);
  w->base.pMethods = &kWalMethods;
  return SQLITE_OK;
}

int vfs_delete(sqlite3_vfs*, const char* name, int sync_dir) { return g_unix->xDelete(g_unix, name, sync_dir); }
int vfs_access(sqlite3_vfs*, const char* name, int flags, int* out) {
  return g_unix->xAccess(g_unix, name, flags, out);
}
int vfs_full_pathname(sqlite3_vfs*, const char* name, int n, char* out) {
  return g_unix->xFullPathname(g_unix, name, n, out);
}
void* vfs_dl_open(sqlite3_vfs*, const char* name) { return g_unix->xDlOpen(g_unix, name); }
void vfs_dl_error(sqlite3_vfs*, int n, char* out) { g_unix->xDlError(g_unix, n, out); }
void (*vfs_dl_sym(sqlite3_vfs*, void* h, const char* sym))(void) { return g_unix->xDlSym(g_unix, h, sym); }
void vfs_dl_close(sqlite3_vfs*, void* h) { g_unix->xDlClose(g_unix, h); }
int vfs_randomness(sqlite3_vfs*, int n, char* out) { return g_unix->xRandomness(g_unix, n, out); }
int vfs_sleep(sqlite3_vfs*, int us) { return g_unix->xSleep(g_unix, us); }
int vfs_current_time(sqlite3_vfs*, double* out) { return g_unix->xCurrentTime(g_unix, out); }
int vfs_last_error(sqlite3_vfs*, int n, char* out) { return g_unix->xGetLastError(g_unix, n, out); }
int vfs_current_time64(sqlite3_vfs*, sqlite3_int64* out) { return g_unix->xCurrentTimeInt64(g_unix, out); }

sqlite3_vfs g_gather = {};

}  // namespace

const char* gathering_vfs() {
  static std::once_flag once;
  static const char* name = nullptr;
  std::call_once(once, [] {
    g_unix = sqlite3_vfs_find("unix");
    if (g_unix == nullptr || g_unix->iVersion < 2) return;
    g_gather.iVersion = 2;
    g_gather.szOsFile = static_cast<int>(kRealOffset) + g_unix->szOsFile;
    g_gather.mxPathname = g_unix->mxPathname;
    g_gather.zName = "nwc-gather";
    g_gather.xOpen = vfs_open;
    g_gather.xDelete = vfs_delete;
    g_gather.xAccess = vfs_access;
    g_gather.xFullPathname = vfs_full_pathname;
    g_gather.xDlOpen = vfs_dl_open;
    g_gather.xDlError = vfs_dl_error;
    g_gather.xDlSym = vfs_dl_sym;
    g_gather.xDlClose = vfs_dl_close;
    g_gather.xRandomness = vfs_randomness;
    g_gather.xSleep = vfs_sleep;
    g_gather.xCurrentTime = vfs_current_time;
    g_gather.xGetLastError = vfs_last_error;
    g_gather.xCurrentTimeInt64 = vfs_current_time64;
    if (sqlite3_vfs_register(&g_gather, 0) == SQLITE_OK) name = g_gather.zName;
  });
  return name;
}

}  // namespace nwc
