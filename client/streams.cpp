/*
 * streams.cpp - NWDSOpenStream: the content of a stream attribute as a POSIX
 * file descriptor (streams.h).
 *
 * The content of one stream attribute of one entry is a file beside the
 * store: `<store path>.streams/<entry id>-<attribute id>` for a store file;
 * for a ":memory:" store, a private directory the process makes under
 * $TMPDIR (else /tmp) when it first needs one and removes at exit.
 * Directories are made mode 0700 and content files mode 0600.
 *
 * The attribute itself has one value of the Stream syntax (no fields) in
 * the store while it has content: opening for writing gives it that value,
 * so reads of the entry show the attribute.  A content file whose
 * attribute has no value in the store is stale (say, left by an entry that
 * was removed) and is emptied before it is opened.
 *
 * Flags:
 *   DS_READ_STREAM                    read only; a missing content reads
 *                                     as empty
 *   DS_WRITE_STREAM                   write only
 *   DS_READ_STREAM | DS_WRITE_STREAM  read and write
 * The descriptor is positioned at the start.  Opening for writing does not
 * truncate: a writer that replaces the content truncates it at its end
 * (ftruncate at the current position) before it closes the descriptor.
 * The descriptor is the caller's (close-on-exec; the caller closes it).
 *
 * Opening for reading needs read on the attribute, for writing write
 * (rights.h); a missing right is ERR_NO_ACCESS.
 *
 * Status codes: ERR_NO_SUCH_ENTRY (the entry), ERR_NO_SUCH_ATTRIBUTE (an
 * unknown attribute), ERR_SYNTAX_VIOLATION (an attribute not of the Stream
 * syntax), ERR_ILLEGAL_ATTRIBUTE (not allowed for the entry's class),
 * ERR_INVALID_REQUEST (flags with neither stream flag, or other bits),
 * ERR_SYSTEM_ERROR (the content file or its directory cannot be made or
 * opened).
 */
#include "streams.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "entries.h"
#include "rights.h"

namespace nwc {

namespace {

/* The private directory of a ":memory:" store, made once per process. */
struct MemoryDir {
  std::string path;
  pid_t owner = 0;
};

MemoryDir &memory_dir() {
  static MemoryDir *d = new MemoryDir; /* usable until exit */
  return *d;
}

void remove_memory_dir() {
  MemoryDir &d = memory_dir();
  if (d.path.empty() || d.owner != getpid()) return; /* a forked child leaves it */
  if (DIR *dir = opendir(d.path.c_str())) {
    while (dirent *de = readdir(dir)) {
      if (std::strcmp(de->d_name, ".") == 0 || std::strcmp(de->d_name, "..") == 0) continue;
      unlink((d.path + "/" + de->d_name).c_str());
    }
    closedir(dir);
  }
  rmdir(d.path.c_str());
  d.path.clear();
}

bool is_memory_store(const std::string &path) {
  return path.empty() || path == ":memory:" || path.rfind("file::memory:", 0) == 0;
}

NWDSCCODE stream_dir(const Store &store, std::string &out) {
  if (!is_memory_store(store.path())) {
    out = store.path() + ".streams";
    if (mkdir(out.c_str(), 0700) != 0 && errno != EEXIST) return ERR_SYSTEM_ERROR;
    return 0;
  }
  MemoryDir &d = memory_dir();
  if (d.path.empty() || d.owner != getpid()) {
    const char *tmp = std::getenv("TMPDIR");
    std::string templ = std::string(tmp != nullptr && *tmp ? tmp : "/tmp") + "/nwclient-streams-XXXXXX";
    if (mkdtemp(templ.data()) == nullptr) return ERR_SYSTEM_ERROR;
    static bool registered = false;
    if (!registered) {
      std::atexit(remove_memory_dir);
      registered = true;
    }
    d.path = templ;
    d.owner = getpid();
  }
  out = d.path;
  return 0;
}

} // namespace

NWDSCCODE open_stream(NWDSContextHandle context, const nstr8 *objectName, const nstr8 *attrName,
                      nflag32 flags, NWFILE_HANDLE *fileHandle) {
  std::lock_guard<std::recursive_mutex> g(directory_lock());
  Op op;
  if (NWDSCCODE st = begin_op(context, op)) return st;
  const nflag32 mode = flags & (DS_READ_STREAM | DS_WRITE_STREAM);
  if (mode == 0 || mode != flags) return ERR_INVALID_REQUEST;
  EntryId found = kNoEntry;
  if (NWDSCCODE st = find_entry(op, objectName, found)) return st;
  const EntryId *id = &found;
  auto e = op.store->entry(*id);
  if (!e) return e.status();
  const AttrDef *a = op.schema->attribute(attrName);
  if (a == nullptr) return ERR_NO_SUCH_ATTRIBUTE;
  if (a->syntax != SYN_STREAM) return ERR_SYNTAX_VIOLATION;
  if (!op.schema->allows(e->cls, a->name)) return ERR_ILLEGAL_ATTRIBUTE;
  if (NWDSCCODE st = check_attr(op, *id, a->name,
                                (mode & DS_READ_STREAM ? DS_ATTR_READ : 0) |
                                    (mode & DS_WRITE_STREAM ? DS_ATTR_WRITE : 0)))
    return st;

  std::string dir;
  if (NWDSCCODE st = stream_dir(*op.store, dir)) return st;
  const std::string file = dir + "/" + std::to_string(*id) + "-" + std::to_string(a->id);

  Store &store = *op.store;
  Transaction tx(store);
  if (tx.status()) return tx.status();
  auto present = store.values(*id, a->name);
  if (!present) return present.status();
  if (present->empty() && unlink(file.c_str()) != 0 && errno != ENOENT) return ERR_SYSTEM_ERROR;

  int oflags = O_CREAT | O_CLOEXEC;
  oflags |= mode == DS_READ_STREAM ? O_RDONLY : mode == DS_WRITE_STREAM ? O_WRONLY : O_RDWR;
  const int fd = open(file.c_str(), oflags, 0600);
  if (fd < 0) return ERR_SYSTEM_ERROR;
  if ((mode & DS_WRITE_STREAM) && present->empty()) {
    Value v;
    v.syntax = SYN_STREAM;
    Status st = store.add_value(*id, a->name, v);
    if (st == 0) st = tx.commit();
    if (st != 0) {
      close(fd);
      return st;
    }
  }
  *fileHandle = fd;
  return 0;
}

} // namespace nwc
