// The store: opening, tables, transactions, statements, meta values and
// the process-wide handle (the schema tables are in schema_tables.cpp).
#include "store/store.h"
#include "store/wal_writer.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>
#include <cstdlib>
#include <ctime>
#include <mutex>

#include "store/sql.h"

namespace nwc {
namespace {

constexpr const char* kTables = R"SQL(
CREATE TABLE IF NOT EXISTS meta(
  key TEXT PRIMARY KEY,
  value TEXT NOT NULL);
CREATE TABLE IF NOT EXISTS attr_defs(
  id INTEGER PRIMARY KEY,
  name TEXT NOT NULL,
  name_key TEXT NOT NULL UNIQUE,
  syntax INTEGER NOT NULL,
  flags INTEGER NOT NULL,
  lower_bound INTEGER NOT NULL,
  upper_bound INTEGER NOT NULL,
  asn1 BLOB NOT NULL);
CREATE TABLE IF NOT EXISTS class_defs(
  id INTEGER PRIMARY KEY,
  name TEXT NOT NULL,
  name_key TEXT NOT NULL UNIQUE,
  flags INTEGER NOT NULL,
  asn1 BLOB NOT NULL);
-- kind: 0 super class, 1 containment, 2 naming, 3 mandatory, 4 optional
CREATE TABLE IF NOT EXISTS class_items(
  class_id INTEGER NOT NULL REFERENCES class_defs(id) ON DELETE CASCADE,
  kind INTEGER NOT NULL,
  pos INTEGER NOT NULL,
  item TEXT NOT NULL,
  item_key TEXT NOT NULL,
  PRIMARY KEY(class_id, kind, pos));
CREATE INDEX IF NOT EXISTS class_items_by_item ON class_items(item_key, kind);
CREATE TABLE IF NOT EXISTS entries(
  id INTEGER PRIMARY KEY,
  parent INTEGER REFERENCES entries(id),
  rdn TEXT NOT NULL,
  rdn_key TEXT NOT NULL,
  rdn_value_key TEXT NOT NULL,
  class TEXT NOT NULL,
  class_key TEXT NOT NULL,
  flags INTEGER NOT NULL DEFAULT 0,
  ctime INTEGER NOT NULL,
  mtime INTEGER NOT NULL,
  path BLOB,
  UNIQUE(parent, rdn_key));
CREATE INDEX IF NOT EXISTS entries_by_parent ON entries(parent, id);
CREATE INDEX IF NOT EXISTS entries_by_value_key ON entries(parent, rdn_value_key);
-- By class, and within a class by parent: a listing of one container by
-- class is one range of it.
CREATE INDEX IF NOT EXISTS entries_by_class_parent ON entries(class_key, parent);
-- The subordinates whose RDN has more than one part (or an escaped plus):
-- few, and the ones a listing by a name's first letters must look at besides
-- the range of entries_by_value_key.
CREATE INDEX IF NOT EXISTS entries_with_plural_rdn ON entries(parent) WHERE instr(rdn_value_key, '+') > 0;
CREATE TABLE IF NOT EXISTS secrets(
  entry INTEGER PRIMARY KEY REFERENCES entries(id) ON DELETE CASCADE,
  hash TEXT NOT NULL,
  changed INTEGER NOT NULL);
CREATE TABLE IF NOT EXISTS partitions(
  root INTEGER PRIMARY KEY REFERENCES entries(id),
  state INTEGER NOT NULL DEFAULT 0,
  ctime INTEGER NOT NULL);
CREATE TABLE IF NOT EXISTS replicas(
  partition INTEGER NOT NULL REFERENCES partitions(root) ON DELETE CASCADE,
  server INTEGER NOT NULL REFERENCES entries(id),
  type INTEGER NOT NULL,
  number INTEGER NOT NULL,
  state INTEGER NOT NULL DEFAULT 0,
  PRIMARY KEY(partition, server));
CREATE INDEX IF NOT EXISTS replicas_by_server ON replicas(server);
CREATE UNIQUE INDEX IF NOT EXISTS one_master_per_ring ON replicas(partition) WHERE type = 0;
)SQL";

std::string env_or(const char* name, const char* fallback) {
  const char* v = std::getenv(name);
  return v && *v ? std::string(v) : std::string(fallback);
}

int mkdirs(const std::string& dir) {
  if (dir.empty()) return 0;
  struct stat st{};
  if (stat(dir.c_str(), &st) == 0) return S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
  const auto slash = dir.find_last_of('/');
  if (slash != std::string::npos && slash > 0)
    if (int e = mkdirs(dir.substr(0, slash))) return e;
  if (mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) return errno;
  return 0;
}

// Creates the file mode 0600 (when missing) before SQLite opens it; SQLite
// gives its -wal and -shm files the same permissions.
Status create_private_file(const std::string& path) {
  const auto slash = path.find_last_of('/');
  if (slash != std::string::npos && slash > 0 && mkdirs(path.substr(0, slash)) != 0)
    return ERR_DATA_STORE_FAILURE;
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return ERR_DATA_STORE_FAILURE;
  ::close(fd);
  return 0;
}

bool is_memory(const std::string& path) { return path == ":memory:"; }

// Once, before this process's first use of SQLite: no count of the memory
// SQLite holds, which it would keep under a process-wide mutex on every
// allocation (4% of a search).  Nothing here reads that count.  Where SQLite
// is already in use in the process (another module loaded it first), the
// setting is refused and things stay as they are.
void configure_sqlite() {
  static std::once_flag once;
  std::call_once(once, [] { sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0); });
}

}  // namespace

// ---- statements ------------------------------------------------------------------
Status sql_status(int rc) {
  switch (rc & 0xFF) {
    case SQLITE_OK:
    case SQLITE_ROW:
    case SQLITE_DONE: return 0;
    case SQLITE_BUSY:
    case SQLITE_LOCKED: return ERR_DS_LOCKED;
    case SQLITE_NOMEM: return ERR_NOT_ENOUGH_MEMORY;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB: return ERR_INCONSISTENT_DATABASE;
    default: return ERR_DATA_STORE_FAILURE;
  }
}

int64_t now_seconds() { return static_cast<int64_t>(std::time(nullptr)); }

Store::Cached* Store::acquire(std::string_view sql) {
  auto it = stmts_.find(sql);
  if (it != stmts_.end())
    for (auto& c : it->second)
      if (!c->busy) {
        c->busy = true;
        return c.get();
      }
  sqlite3_stmt* st = nullptr;
  if (sqlite3_prepare_v3(db_, sql.data(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT, &st, nullptr) !=
      SQLITE_OK) {
    sqlite3_finalize(st);
    return nullptr;
  }
  if (it == stmts_.end()) it = stmts_.emplace(std::string(sql), std::vector<std::unique_ptr<Cached>>{}).first;
  it->second.push_back(std::make_unique<Cached>(Cached{st, true}));
  return it->second.back().get();
}

void Store::release(Cached* c) {
  sqlite3_reset(c->st);
  sqlite3_clear_bindings(c->st);
  c->busy = false;
}

StoreStmt::StoreStmt(Store& store, std::string_view sql)
    : store_(store), c_(store.acquire(sql)), st_(c_ ? c_->st : nullptr) {}
StoreStmt::~StoreStmt() {
  if (c_) store_.release(c_);
}
StoreStmt& StoreStmt::bind(int i, int64_t v) {
  if (st_) sqlite3_bind_int64(st_, i, v);
  return *this;
}
StoreStmt& StoreStmt::bind(int i, std::string_view text) {
  if (st_) sqlite3_bind_text(st_, i, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
  return *this;
}
StoreStmt& StoreStmt::bind_blob(int i, std::string_view bytes) {
  // A zero-length blob must still be a blob, not NULL.
  if (st_) sqlite3_bind_blob(st_, i, bytes.empty() ? "" : bytes.data(), static_cast<int>(bytes.size()), SQLITE_TRANSIENT);
  return *this;
}
StoreStmt& StoreStmt::bind_null(int i) {
  if (st_) sqlite3_bind_null(st_, i);
  return *this;
}
int StoreStmt::step() { return st_ ? sqlite3_step(st_) : SQLITE_ERROR; }
Status StoreStmt::run() {
  const int rc = step();
  return rc == SQLITE_DONE || rc == SQLITE_ROW ? 0 : sql_status(rc);
}
int64_t StoreStmt::i64(int col) { return sqlite3_column_int64(st_, col); }
std::string StoreStmt::text(int col) {
  const auto* p = sqlite3_column_text(st_, col);
  return p ? std::string(reinterpret_cast<const char*>(p), static_cast<size_t>(sqlite3_column_bytes(st_, col))) : std::string();
}
std::string StoreStmt::blob(int col) {
  const void* p = sqlite3_column_blob(st_, col);
  return p ? std::string(static_cast<const char*>(p), static_cast<size_t>(sqlite3_column_bytes(st_, col))) : std::string();
}
bool StoreStmt::is_null(int col) { return sqlite3_column_type(st_, col) == SQLITE_NULL; }

// ---- generation ------------------------------------------------------------------
// data_version moves when another connection commits; total_changes counts
// every row this connection wrote (rolled-back rows too, which only makes a
// cache drop early).
// Inside a transaction the first reading holds: other connections' commits
// stay invisible until it ends.
uint64_t Store::other_writes() {
  if (tx_depth_ > 0 && other_sampled_) return other_;
  StoreStmt q(*this, "PRAGMA data_version");
  if (q.step() == SQLITE_ROW) other_ = static_cast<uint64_t>(q.i64(0));
  other_sampled_ = tx_depth_ > 0;
  return other_;
}

uint64_t Store::generation() {
  const uint64_t other = other_writes();
  const auto own = static_cast<uint64_t>(sqlite3_total_changes64(db_));
  return (other << 40) ^ own;
}

uint64_t Store::access_generation() {
  const uint64_t other = other_writes();
  return (other << 40) ^ access_writes_;
}

// A definition's name is spelt as the base schema spells it, and no other
// definition has it in another case.
void Store::note_value_write(const AttrDef& a) {
  if (a.name == "ACL" || a.name == "Security Equals" || a.name == "Group Membership") access_written();
}

void Store::end_transaction() { other_sampled_ = false; }

void Store::rolled_back() {
  forget_names();
  schema_checked_ = false;
  access_written();
}

// ---- transactions ----------------------------------------------------------------
namespace {

// Runs one of the transaction statements through the statement cache.
Status run_cached(Store& store, std::string_view sql) {
  StoreStmt q(store, sql);
  return q.prepared() ? q.run() : ERR_DATA_STORE_FAILURE;
}

}  // namespace

// A reader inside an open transaction already sees one state of the store
// and has nothing to undo: it takes no savepoint.
// ---- the write-ahead log -----------------------------------------------------------
// Every page a statement looks up is first looked for in the log's index,
// where a page changed by many commits stands once for each, so that a
// lookup costs more the more commits the log holds since it was last
// copied back.  Writers copy the log back (a passive checkpoint: it waits
// for no one) every kCopyBackFrames frames; a reader that finds more than
// kReaderCopyBackFrames frames written through this connection copies it
// back first, so that the reads after a run of writes look up their pages
// in the database alone.  The price: where reads and writes alternate, the
// log is copied back (two syncs) twice as often.
int Store::wal_written(void* self, sqlite3*, const char*, int frames) {
  auto* store = static_cast<Store*>(self);
  store->wal_frames_ = frames;
  if (frames >= kCopyBackFrames) store->copy_back();
  return SQLITE_OK;
}

// Tried once per run of writes: what it cannot copy (a reader in another
// process still needs those frames) waits for the next run, rather than
// being tried again by every read.
void Store::copy_back() {
  int log = 0, copied = 0;
  sqlite3_wal_checkpoint_v2(db_, "main", SQLITE_CHECKPOINT_PASSIVE, &log, &copied);
  wal_frames_ = 0;
}

Transaction::Transaction(Store& store, Kind kind) : store_(store) {
  level_ = store_.tx_depth_;
  changes_ = sqlite3_total_changes64(store_.db_);
  savepoint_ = level_ > 0 && kind == kWrite;
  if (level_ == 0 && kind == kRead && store_.wal_frames_ > Store::kReaderCopyBackFrames) store_.copy_back();
  if (level_ == 0)
    status_ = run_cached(store_, kind == kRead ? "BEGIN" : "BEGIN IMMEDIATE");
  else if (savepoint_)
    status_ = run_cached(store_, "SAVEPOINT sp" + std::to_string(level_));
  if (status_ == 0)
    ++store_.tx_depth_;
  else
    done_ = true;
}

Transaction::~Transaction() {
  if (done_) return;
  --store_.tx_depth_;
  if (level_ > 0 && !savepoint_) return;
  if (sqlite3_total_changes64(store_.db_) != changes_) store_.rolled_back();
  if (level_ == 0) {
    run_cached(store_, "ROLLBACK");
    store_.end_transaction();
  } else {
    const std::string sp = "sp" + std::to_string(level_);
    run_cached(store_, "ROLLBACK TO " + sp);
    run_cached(store_, "RELEASE " + sp);
  }
}

Status Transaction::commit() {
  if (done_) return status_ ? status_ : ERR_INVALID_REQUEST;
  Status s = level_ == 0   ? run_cached(store_, "COMMIT")
             : savepoint_ ? run_cached(store_, "RELEASE sp" + std::to_string(level_))
                          : 0;
  if (s != 0) return s;  // still open: the destructor rolls back
  done_ = true;
  --store_.tx_depth_;
  if (level_ == 0) store_.end_transaction();
  return 0;
}

// ---- opening ------------------------------------------------------------------------
namespace {

// A configured name that could not name an entry falls back to the default.
std::string usable_name(const char* var, const char* fallback, std::string_view type, size_t max_bytes) {
  std::string v = env_or(var, fallback);
  Rdn r{{Ava{std::string(type), v, false}}};
  if (v.size() > max_bytes || !parse_rdn(format_rdn(r)).ok()) return fallback;
  return v;
}

}  // namespace

SeedConfig SeedConfig::from_environment() {
  SeedConfig c;
  c.tree = env_or("NWCLIENT_TREE", "VORLA_TREE");
  if (c.tree.size() > MAX_TREE_NAME_BYTES - 1 || count_chars(c.tree) > MAX_TREE_NAME_CHARS) c.tree = "VORLA_TREE";
  c.organization = usable_name("NWCLIENT_ORGANIZATION", "Example", "O", MAX_RDN_BYTES - 1);
  c.server = usable_name("NWCLIENT_SERVER", "VORLA_SRV1", "CN", MAX_SAP_NAME_BYTES - 1);
  if (const char* pw = std::getenv("NWCLIENT_ADMIN_PASSWORD")) {
    c.has_admin_password = true;
    c.admin_password = pw;
  }
  return c;
}

Expected<std::unique_ptr<Store>> Store::open(const std::string& path, const SeedConfig& seed) {
  std::unique_ptr<Store> s(new Store());
  s->path_ = path;
  if (!is_memory(path))
    if (Status st = create_private_file(path)) return fail(st);
  const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX;
  // Opening races with other processes that open, create or seed the same
  // file: switching a new file to WAL, or its recovery, can answer busy
  // without waiting.  Such an open is tried again until the busy timeout.
  const auto give_up = std::chrono::steady_clock::now() + std::chrono::milliseconds(kBusyTimeoutMs);
  configure_sqlite();
  for (;;) {
    if (sqlite3_open_v2(path.c_str(), &s->db_, flags, gathering_vfs()) != SQLITE_OK) return fail(ERR_DATA_STORE_FAILURE);
    const Status st = s->init(seed);
    if (st == 0) return s;
    for (auto& [sql, list] : s->stmts_)
      for (auto& c : list) sqlite3_finalize(c->st);
    s->stmts_.clear();
    sqlite3_close(s->db_);
    s->db_ = nullptr;
    if (st != ERR_DS_LOCKED || std::chrono::steady_clock::now() >= give_up) return fail(st);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

Store::~Store() {
  for (auto& [sql, list] : stmts_)
    for (auto& c : list) sqlite3_finalize(c->st);
  if (db_) sqlite3_close(db_);
}

Status Store::exec(const char* sql) {
  return sql_status(sqlite3_exec(db_, sql, nullptr, nullptr, nullptr));
}

Status Store::init(const SeedConfig& cfg) {
  sqlite3_busy_timeout(db_, kBusyTimeoutMs);
  sqlite3_extended_result_codes(db_, 1);
  if (!is_memory(path_))
    if (Status s = exec("PRAGMA journal_mode=WAL")) return s;
  // Statement journals (savepoints inside a change) and sorts stay in memory
  // rather than in files under /var/tmp.  The write-ahead log is copied back
  // into the database by the store's own hook (wal_written): every 8192
  // pages (32 MiB) rather than SQLite's 1000, so that a page that many
  // changes touch is copied once and the copies' two syncs come eight times
  // less often, and sooner when a read follows writes.
  if (Status s = exec("PRAGMA synchronous=NORMAL; PRAGMA foreign_keys=ON; PRAGMA temp_store=MEMORY"))
    return s;
  sqlite3_wal_hook(db_, &Store::wal_written, this);
  // A page cache of 64 MiB and the file mapped into memory keep a lookup's
  // B-tree pages at hand as the tree grows, so finding an entry stays a few
  // page visits rather than a few reads from the file.  The mapping asked
  // for is larger than any store; SQLite maps as much as its build allows
  // (2 GiB in the usual one: a 1,000,000-entry tree is beyond 1 GiB).
  if (!is_memory(path_))
    if (Status s = exec("PRAGMA cache_size=-65536; PRAGMA mmap_size=1099511627776")) return s;
  if (!is_memory(path_))
    if (Status s = drop_value_references()) return s;
  {
    Transaction tx(*this);
    if (tx.status()) return tx.status();
    if (Status s = exec(kTables)) return s;
    if (Status s = upgrade_layout()) return s;
    auto tree = meta("tree_name");
    if (!tree) {
      if (Status s = seed(cfg)) return s;
    }
    if (Status s = tx.commit()) return s;
  }
  StoreStmt q(*this, "SELECT id FROM entries WHERE parent IS NULL");
  if (q.step() != SQLITE_ROW) return ERR_INCONSISTENT_DATABASE;
  root_ = q.i64(0);
  return 0;
}

// ---- meta ------------------------------------------------------------------------------
Expected<std::string> Store::meta(std::string_view key) {
  StoreStmt q(*this, "SELECT value FROM meta WHERE key = ?");
  q.bind(1, key);
  const int rc = q.step();
  if (rc == SQLITE_ROW) return q.text(0);
  if (rc == SQLITE_DONE) return fail(ERR_NO_SUCH_VALUE);
  return fail(sql_status(rc));
}

Status Store::set_meta(std::string_view key, std::string_view value) {
  StoreStmt q(*this, "INSERT INTO meta(key, value) VALUES(?, ?) ON CONFLICT(key) DO UPDATE SET value = excluded.value");
  return q.bind(1, key).bind(2, value).run();
}

Expected<std::string> Store::tree_name() { return meta("tree_name"); }

// ---- the process-wide handle ---------------------------------------------------------
std::string store_path_from_environment() {
  if (const char* p = std::getenv("NWCLIENT_STORE"); p && *p) return p;
  std::string base;
  if (const char* x = std::getenv("XDG_DATA_HOME"); x && *x && x[0] == '/') {
    base = x;
  } else {
    const char* home = std::getenv("HOME");
    base = std::string(home && *home ? home : ".") + "/.local/share";
  }
  return base + "/nwclient/tree.db";
}

namespace {

struct Handles {
  std::mutex lock;
  std::unique_ptr<Store> memory;  // lives as long as the process
  std::unique_ptr<Store> file;
  pid_t file_pid = 0;
};

// The process id, kept up to date across fork() without a system call on
// every use.
pid_t current_pid() {
  static pid_t pid = [] {
    pthread_atfork(nullptr, nullptr, [] { pid = getpid(); });
    return getpid();
  }();
  return pid;
}

Handles& handles() {
  static Handles* h = new Handles();  // never destroyed: callers may run at exit
  return *h;
}

}  // namespace

Expected<Store*> current_store() {
  Handles& h = handles();
  std::lock_guard<std::mutex> guard(h.lock);
  const std::string path = store_path_from_environment();
  // A server URL names an LDAP directory, never a file: the functions that
  // only the embedded store carries are refused there and change nothing.
  for (const char* scheme : {"ldap://", "ldaps://", "ldapi://"})
    if (path.rfind(scheme, 0) == 0) return fail(ERR_INVALID_REQUEST);
  if (is_memory(path)) {
    if (!h.memory) {
      auto s = Store::open(path, SeedConfig::from_environment());
      if (!s) return fail(s.status());
      h.memory = std::move(*s);
    }
    return h.memory.get();
  }
  if (h.file && h.file_pid != current_pid()) {
    // Inherited across fork(): the parent still owns the connection and its
    // locks, so it is left alone rather than closed here.
    (void)h.file.release();
  }
  if (h.file && h.file->path() == path) return h.file.get();
  h.file.reset();
  auto s = Store::open(path, SeedConfig::from_environment());
  if (!s) return fail(s.status());
  h.file = std::move(*s);
  h.file_pid = current_pid();
  return h.file.get();
}

Status set_password(EntryId entry, std::string_view password) {
  auto s = current_store();
  return s ? (*s)->set_password(entry, password) : s.status();
}

Status check_password(EntryId entry, std::string_view password) {
  auto s = current_store();
  return s ? (*s)->check_password(entry, password) : s.status();
}

}  // namespace nwc
