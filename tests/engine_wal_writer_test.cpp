// The store's file layer, which gathers a commit's log frames into one
// write: what it held back must be in the log when a commit returns, in
// the order SQLite wrote it, for another process, for the unix layer, and
// for the recovery of a log whose writer died.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "store/wal_writer.h"

namespace {

struct Db {
  sqlite3* db = nullptr;
  Db(const std::string& path, const char* vfs) {
    sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, vfs);
  }
  ~Db() { sqlite3_close(db); }
  int exec(const std::string& sql) { return sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr); }
  long long one(const std::string& sql) {
    sqlite3_stmt* st = nullptr;
    long long v = -1;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW)
      v = sqlite3_column_int64(st, 0);
    sqlite3_finalize(st);
    return v;
  }
  std::string check() {
    sqlite3_stmt* st = nullptr;
    std::string out;
    if (sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW)
      out = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
    sqlite3_finalize(st);
    return out;
  }
};

std::string temp_dir() {
  char tmpl[] = "/tmp/nwc-wal-XXXXXX";
  return mkdtemp(tmpl);
}

// A transaction larger than the page cache spills frames before its commit,
// and changing those pages again rewrites their frames and checksums in
// place; a one-row commit comes before it or after it, and the writer then
// dies without closing.  Recovery replays the log only as far as its
// checksums hold, so anything held back and lost, or written out of order,
// loses a commit.
TEST(EngineWalWriter, ALogWhoseWriterDiedRecoversEveryCommit) {
  const char* vfs = nwc::gathering_vfs();
  ASSERT_NE(vfs, nullptr);
  const std::string dir = temp_dir();
  for (const bool small_last : {false, true}) {
    const std::string path = dir + (small_last ? "/small-last.db" : "/large-last.db");
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      Db d(path, vfs);
      const char* large = "BEGIN; WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 3000) "
                          "INSERT INTO t SELECT i, randomblob(600) FROM n; "
                          "UPDATE t SET v = zeroblob(600) WHERE id <= 200; COMMIT";
      const char* small = "INSERT INTO t VALUES(3001, x'01')";
      bool ok = d.exec("PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; PRAGMA cache_size=8; "
                       "PRAGMA wal_autocheckpoint=0; CREATE TABLE t(id INTEGER PRIMARY KEY, v BLOB)") == SQLITE_OK;
      ok = ok && d.exec(small_last ? large : small) == SQLITE_OK;
      ok = ok && d.exec(small_last ? small : large) == SQLITE_OK;
      _exit(ok ? 0 : 1);  // no close: the log stays as the commits left it
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    Db d(path, nullptr);
    EXPECT_EQ(d.one("SELECT count(*) FROM t"), 3001) << (small_last ? "small commit last" : "large commit last");
    EXPECT_EQ(d.one("SELECT count(*) FROM t WHERE v = zeroblob(600)"), 200);
    EXPECT_EQ(d.check(), "ok");
  }
  std::filesystem::remove_all(dir);
}

// Two connections, one through the layer and one through the unix layer,
// take turns at a log that is checkpointed and starts over every few
// commits: each sees every commit of the other, and the file stays whole.
TEST(EngineWalWriter, ConnectionsOfEitherLayerShareALogThatStartsOver) {
  const std::string dir = temp_dir();
  const std::string path = dir + "/turns.db";
  {
    Db a(path, nwc::gathering_vfs());
    Db b(path, nullptr);
    ASSERT_EQ(a.exec("PRAGMA journal_mode=WAL; CREATE TABLE t(id INTEGER PRIMARY KEY, v BLOB)"), SQLITE_OK);
    a.exec("PRAGMA wal_autocheckpoint=4");
    b.exec("PRAGMA wal_autocheckpoint=4");
    for (int i = 1; i <= 400; ++i) {
      Db& w = i % 3 == 0 ? b : a;
      ASSERT_EQ(w.exec("INSERT INTO t VALUES(" + std::to_string(i) + ", randomblob(" + std::to_string(100 + i * 7) + "))"),
                SQLITE_OK);
      Db& r = &w == &a ? b : a;
      ASSERT_EQ(r.one("SELECT max(id) FROM t"), i);
    }
    EXPECT_EQ(a.check(), "ok");
  }
  Db d(path, nullptr);
  EXPECT_EQ(d.one("SELECT count(*) FROM t"), 400);
  std::filesystem::remove_all(dir);
}

}  // namespace
