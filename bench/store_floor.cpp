// store_floor.cpp - what each of the store's own lookups costs, alone, in
// store files of different sizes: the floor under a read or a search through
// the module, and how much of its growth with the tree is the memory the
// lookups touch rather than the code around them.
//
//   build/bench/store_floor STORE...        (e.g. the tree-<size>.db files that
//                                            bench/directory keeps in its cache
//                                            directory; opened read-only)
//   build/bench/store_floor --one-row DIR SIZE...
//
// The second form is the floor of another layout, for comparison: each entry
// one row holding a kilobyte (about what a user's values take in the store),
// found by its container and name's key through one index, so that a read is
// one index lookup and one row.  It builds DIR/one-row-<size>.db once (users
// in containers of 1,000) and times that lookup in the same way.
//
// For each store, in microseconds per lookup (the median of five rounds of
// 20,000 random users, after 20,000 lookups of each kind to warm up), with
// the ratio to the first store's figure beside it:
//   name    a user's id from its container and its name's key (a read's last step)
//   row     an entry's row by id (a read's and a search result's)
//   values  all values of an entry (a read of all attributes)
//   surname the entries holding one Surname (a one-hit search's index range)
//   page    eight dependent loads in one random page of the file, mapped whole
//           beforehand: what one page the processor's caches lost costs on this
//           machine (the lookups' figures also hold the first touch of pages in
//           the store's own mapping, as a process's first reads do)
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "store/queries.h"

namespace {

constexpr int kRounds = 5;
constexpr int kPerRound = 20000;
constexpr int kWarm = 20000;

struct User {
  int64_t id, parent;
  std::string rdn_key, surname_key;
};

[[noreturn]] void die(sqlite3* db, const char* what) {
  std::fprintf(stderr, "store_floor: %s: %s\n", what, db ? sqlite3_errmsg(db) : "");
  std::exit(1);
}

sqlite3_stmt* prepare(sqlite3* db, const char* sql) {
  sqlite3_stmt* s = nullptr;
  if (sqlite3_prepare_v3(db, sql, -1, SQLITE_PREPARE_PERSISTENT, &s, nullptr) != SQLITE_OK) die(db, sql);
  return s;
}

// Runs `s` to its end, touching every column of every row as a reader would.
void drain(sqlite3_stmt* s, uint64_t& sink) {
  while (sqlite3_step(s) == SQLITE_ROW)
    for (int c = 0; c < sqlite3_column_count(s); ++c) sink += static_cast<uint64_t>(sqlite3_column_bytes(s, c));
  sqlite3_reset(s);
}

double median_us(const std::function<void(const User&)>& f, const std::vector<User>& users, std::mt19937_64& rng) {
  std::uniform_int_distribution<size_t> pick(0, users.size() - 1);
  for (int i = 0; i < kWarm; ++i) f(users[pick(rng)]);
  std::vector<double> rounds;
  for (int r = 0; r < kRounds; ++r) {
    std::vector<const User*> order(kPerRound);
    for (auto& u : order) u = &users[pick(rng)];
    const auto t0 = std::chrono::steady_clock::now();
    for (const User* u : order) f(*u);
    const std::chrono::duration<double, std::micro> dt = std::chrono::steady_clock::now() - t0;
    rounds.push_back(dt.count() / kPerRound);
  }
  std::sort(rounds.begin(), rounds.end());
  return rounds[kRounds / 2];
}

// A file opened read-only with the store's settings, inside one read
// transaction, as a call holds one.
sqlite3* open_store(const char* path) {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(path, &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) die(db, path);
  sqlite3_exec(db, "PRAGMA cache_size=-65536; PRAGMA mmap_size=1099511627776; BEGIN", nullptr, nullptr, nullptr);
  return db;
}

std::vector<double> measure(const char* path, uint64_t& sink) {
  sqlite3* db = open_store(path);
  int64_t surname_attr = 0;
  std::vector<User> users;
  {
    sqlite3_stmt* s = prepare(db, "SELECT id FROM attr_defs WHERE name_key = 'surname'");
    if (sqlite3_step(s) == SQLITE_ROW) surname_attr = sqlite3_column_int64(s, 0);
    sqlite3_finalize(s);
    s = prepare(db,
                "SELECT e.id, e.parent, e.rdn_key, v.value_key FROM entries e "
                "JOIN attr_values v ON v.entry = e.id AND v.attr = ?");
    sqlite3_bind_int64(s, 1, surname_attr);
    while (sqlite3_step(s) == SQLITE_ROW)
      users.push_back({sqlite3_column_int64(s, 0), sqlite3_column_int64(s, 1),
                       reinterpret_cast<const char*>(sqlite3_column_text(s, 2)),
                       std::string(static_cast<const char*>(sqlite3_column_blob(s, 3)),
                                   static_cast<size_t>(sqlite3_column_bytes(s, 3)))});
    sqlite3_finalize(s);
  }
  if (users.empty()) die(nullptr, "no entry with a Surname");
  sqlite3_stmt* name = prepare(db, nwc::queries::kChildByKey);
  sqlite3_stmt* row = prepare(db, nwc::queries::kEntryRowById);
  sqlite3_stmt* values = prepare(db, nwc::queries::kValuesOfEntry);
  sqlite3_stmt* by_value = prepare(db, nwc::queries::kEntriesByValue);

  std::mt19937_64 rng(7);
  std::vector<double> us;
  us.push_back(median_us([&](const User& u) {
    sqlite3_bind_int64(name, 1, u.parent);
    sqlite3_bind_text(name, 2, u.rdn_key.data(), static_cast<int>(u.rdn_key.size()), SQLITE_STATIC);
    drain(name, sink);
  }, users, rng));
  us.push_back(median_us([&](const User& u) {
    sqlite3_bind_int64(row, 1, u.id);
    drain(row, sink);
  }, users, rng));
  us.push_back(median_us([&](const User& u) {
    sqlite3_bind_int64(values, 1, u.id);
    drain(values, sink);
  }, users, rng));
  us.push_back(median_us([&](const User& u) {
    sqlite3_bind_int64(by_value, 1, surname_attr);
    sqlite3_bind_blob(by_value, 2, u.surname_key.data(), static_cast<int>(u.surname_key.size()), SQLITE_STATIC);
    drain(by_value, sink);
  }, users, rng));
  sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
  for (sqlite3_stmt* s : {name, row, values, by_value}) sqlite3_finalize(s);
  sqlite3_close(db);

  const int fd = open(path, O_RDONLY);
  struct stat st {};
  if (fd < 0 || fstat(fd, &st) != 0 || st.st_size < 4096) die(nullptr, "cannot map the file");
  const size_t pages = static_cast<size_t>(st.st_size) / 4096;
  auto* map = static_cast<const unsigned char*>(mmap(nullptr, static_cast<size_t>(st.st_size), PROT_READ, MAP_SHARED | MAP_POPULATE, fd, 0));
  if (map == MAP_FAILED) die(nullptr, "cannot map the file");
  std::uniform_int_distribution<size_t> page(0, pages - 1);
  std::vector<User> none(1);
  us.push_back(median_us([&](const User&) {
    const unsigned char* p = map + page(rng) * 4096;
    size_t off = 64;
    for (int k = 0; k < 8; ++k) {  // each load's place depends on the last, as a binary search's do
      off = (off * 33 + p[off] + 64) % 4032;
      sink += p[off];
    }
  }, none, rng));
  munmap(const_cast<unsigned char*>(map), static_cast<size_t>(st.st_size));
  close(fd);
  return us;
}

}  // namespace

// The one-row layout's name key of user `i` (its container is i / 1000).
std::string one_row_key(int64_t i) { return "u" + std::to_string(i); }

// The one-row layout of `n` entries at `path`, made when missing.
void build_one_row(const std::string& path, int64_t n) {
  if (access(path.c_str(), F_OK) == 0) return;
  const std::string part = path + ".part";
  unlink(part.c_str());
  sqlite3* db = nullptr;
  if (sqlite3_open(part.c_str(), &db) != SQLITE_OK) die(db, part.c_str());
  if (sqlite3_exec(db,
                   "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF;"
                   "CREATE TABLE e(id INTEGER PRIMARY KEY, parent INTEGER NOT NULL, rdn_key TEXT NOT NULL,"
                   " body BLOB NOT NULL, UNIQUE(parent, rdn_key)); BEGIN",
                   nullptr, nullptr, nullptr) != SQLITE_OK)
    die(db, "create");
  sqlite3_stmt* ins = prepare(db, "INSERT INTO e VALUES(?, ?, ?, ?)");
  std::mt19937_64 rng(5);
  std::string body(1000, '\0');
  for (int64_t i = 0; i < n; ++i) {
    for (char& c : body) c = static_cast<char>(rng());
    const std::string key = one_row_key(i);
    sqlite3_bind_int64(ins, 1, i + 1);
    sqlite3_bind_int64(ins, 2, i / 1000);
    sqlite3_bind_text(ins, 3, key.data(), static_cast<int>(key.size()), SQLITE_STATIC);
    sqlite3_bind_blob(ins, 4, body.data(), static_cast<int>(body.size()), SQLITE_STATIC);
    if (sqlite3_step(ins) != SQLITE_DONE) die(db, "insert");
    sqlite3_reset(ins);
  }
  sqlite3_finalize(ins);
  if (sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) die(db, "commit");
  sqlite3_close(db);
  if (rename(part.c_str(), path.c_str()) != 0) die(nullptr, "rename");
}

double one_row_us(const std::string& path, int64_t n, uint64_t& sink) {
  sqlite3* db = open_store(path.c_str());
  std::vector<User> users(static_cast<size_t>(std::min<int64_t>(n, 1000000)));
  std::mt19937_64 pick(3);
  for (User& u : users) {
    const int64_t i = static_cast<int64_t>(pick() % static_cast<uint64_t>(n));
    u = {i + 1, i / 1000, one_row_key(i), {}};
  }
  sqlite3_stmt* q = prepare(db, "SELECT id, body FROM e WHERE parent = ? AND rdn_key = ?");
  std::mt19937_64 rng(7);
  const double us = median_us([&](const User& u) {
    sqlite3_bind_int64(q, 1, u.parent);
    sqlite3_bind_text(q, 2, u.rdn_key.data(), static_cast<int>(u.rdn_key.size()), SQLITE_STATIC);
    drain(q, sink);
  }, users, rng);
  sqlite3_finalize(q);
  sqlite3_close(db);
  return us;
}

int main(int argc, char** argv) {
  if (argc >= 4 && std::string(argv[1]) == "--one-row") {
    uint64_t sink = 0;
    double first = 0;
    std::printf("%-12s %20s\n", "entries", "us per read (ratio)");
    for (int i = 3; i < argc; ++i) {
      const int64_t n = std::atoll(argv[i]);
      if (n < 1000) die(nullptr, "sizes of 1,000 or more");
      const std::string path = std::string(argv[2]) + "/one-row-" + std::to_string(n) + ".db";
      build_one_row(path, n);
      const double us = one_row_us(path, n, sink);
      if (first == 0) first = us;
      std::printf("%-12lld %12.2f (%5.2f)\n", static_cast<long long>(n), us, us / first);
    }
    return sink == 42 ? 3 : 0;
  }
  if (argc < 2 || argv[1][0] == '-') {
    std::fprintf(stderr, "usage: store_floor STORE...\n       store_floor --one-row DIR SIZE...\n");
    return 2;
  }
  const char* kinds[] = {"name", "row", "values", "surname", "page"};
  uint64_t sink = 0;
  std::vector<double> first;
  std::printf("%-40s", "store (us per lookup, ratio to the first)");
  for (const char* k : kinds) std::printf(" %15s", k);
  std::printf("\n");
  for (int i = 1; i < argc; ++i) {
    const std::vector<double> us = measure(argv[i], sink);
    if (first.empty()) first = us;
    std::printf("%-40s", argv[i]);
    for (size_t k = 0; k < us.size(); ++k) std::printf(" %7.2f (%5.2f)", us[k], us[k] / first[k]);
    std::printf("\n");
  }
  return sink == 42 ? 3 : 0;  // (the sink keeps the loads from being optimised away)
}
