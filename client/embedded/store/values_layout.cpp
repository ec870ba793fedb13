// The layout of the attribute values: one table clustered by entry, so
// that an entry's values are one range of it, read by one range scan, and
// a value is found by its key (entry, attribute, equality key) without a
// second lookup.  The value index over (attribute, equality key, entry) is
// made by upgrade_layout() (ancestry.cpp).
//
// The table names no foreign keys: SQLite would look up the entry and the
// attribute definition for every value written, a sixth of an add's work.  The
// store itself writes values only for entries and attributes it has just
// found (and removes an attribute definition only when no value uses it),
// and a trigger removes an entry's values with the entry, as the cascade
// did.  A store whose table still names them has its definition rewritten
// once when opened (drop_value_references): the same columns and key, so
// the rows stay as they are.
//
// seq orders an entry's values by insertion: it is unique within the entry
// and a value added later gets a greater one (Store::next_value_seq), so
// the order values() gives does not change when values are added or
// removed around it.  A store made while values were rows of their own is
// rewritten into this layout once, inside init()'s transaction; each
// value's old row number becomes its seq, which keeps the order.
#include "store/sql.h"
#include "store/store.h"

#include <cstdlib>
#include <string>

namespace nwc {

namespace {

#define NWC_VALUES_TABLE \
  "attr_values(\n"                          \
  "  entry INTEGER NOT NULL,\n"              \
  "  attr INTEGER NOT NULL,\n"               \
  "  value_key BLOB NOT NULL,\n"             \
  "  seq INTEGER NOT NULL,\n"                \
  "  syntax INTEGER NOT NULL,\n"             \
  "  mtime INTEGER NOT NULL,\n"              \
  "  data BLOB NOT NULL,\n"                  \
  "  PRIMARY KEY(entry, attr, value_key)) WITHOUT ROWID"

#define NWC_VALUES_TRIGGER                                                               \
  "CREATE TRIGGER IF NOT EXISTS entry_takes_its_values AFTER DELETE ON entries BEGIN\n" \
  "  DELETE FROM attr_values WHERE entry = old.id;\n"                                  \
  "END;\n"

constexpr const char* kValuesTable = "CREATE TABLE IF NOT EXISTS " NWC_VALUES_TABLE ";\n" NWC_VALUES_TRIGGER;

// The table's definition as SQLite keeps it, for the rewrite.
constexpr const char* kValuesDefinition = "CREATE TABLE " NWC_VALUES_TABLE;

// The rows of the older layout, copied in key order (the order of the new
// table's B-tree, so the copy appends) and dropped with their indexes.
constexpr const char* kCopyRows = R"SQL(
INSERT INTO attr_values(entry, attr, value_key, seq, syntax, mtime, data)
  SELECT entry, attr, value_key, id, syntax, mtime, data FROM attr_values_by_row ORDER BY entry, attr, value_key;
DROP TABLE attr_values_by_row;
)SQL";

}  // namespace

// Called by upgrade_layout() before the value index is made.
Status Store::lay_out_values() {
  bool by_row = false;  // the older layout: each value a row with an id
  {
    StoreStmt q(*this, "SELECT 1 FROM pragma_table_info('attr_values') WHERE name = 'id'");
    const int rc = q.step();
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) return sql_status(rc);
    by_row = rc == SQLITE_ROW;
  }
  if (by_row)  // (the trigger would follow the table's new name)
    if (Status s = exec("DROP TRIGGER IF EXISTS entry_takes_its_values;"
                        "ALTER TABLE attr_values RENAME TO attr_values_by_row"))
      return s;
  if (Status s = exec(kValuesTable)) return s;
  if (by_row)
    if (Status s = exec(kCopyRows)) return s;
  return 0;
}

// Rewrites a definition that names foreign keys, through a connection of
// its own: this one has read the schema already and reads it again at its
// next transaction, when it finds the schema's version changed.  Dropping a
// foreign key changes nothing in the file's rows (SQLite's documented way
// of making such a change: the new text, then the version one up).  The
// trigger comes in the same commit, so that no other connection ever finds
// the cascade gone and the trigger not yet there.
Status Store::drop_value_references() {
  static const std::string kOld =
      "type = 'table' AND name = 'attr_values' AND instr(sql, 'REFERENCES') > 0 AND instr(sql, 'WITHOUT ROWID') > 0";
  {
    StoreStmt q(*this, "SELECT 1 FROM sqlite_schema WHERE " + kOld);
    const int rc = q.step();
    if (rc == SQLITE_DONE) return 0;
    if (rc != SQLITE_ROW) return sql_status(rc);
  }
  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(path_.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
  sqlite3_busy_timeout(db, kBusyTimeoutMs);
  auto run = [&](const std::string& sql, int (*row)(void*, int, char**, char**) = nullptr, void* arg = nullptr) {
    if (rc == SQLITE_OK) rc = sqlite3_exec(db, sql.c_str(), row, arg, nullptr);
  };
  int version = -1;
  run("BEGIN IMMEDIATE");
  run("PRAGMA schema_version", [](void* out, int, char** v, char**) {
    *static_cast<int*>(out) = std::atoi(v[0]);
    return 0;
  }, &version);
  // The definition holds no quote, so it can stand in the text as it is.
  run("PRAGMA writable_schema=ON; UPDATE sqlite_schema SET sql = '" + std::string(kValuesDefinition) + "' WHERE " + kOld);
  if (rc == SQLITE_OK && sqlite3_changes(db) > 0) run("PRAGMA schema_version=" + std::to_string(version + 1));
  run("PRAGMA writable_schema=OFF;" NWC_VALUES_TRIGGER "COMMIT");
  if (rc != SQLITE_OK) sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
  sqlite3_close(db);
  return rc == SQLITE_OK ? 0 : ERR_DATA_STORE_FAILURE;
}

Expected<int64_t> Store::next_value_seq(EntryId id) {
  StoreStmt q(*this, "SELECT coalesce(max(seq), 0) + 1 FROM attr_values WHERE entry = ?");
  const int rc = q.bind(1, id).step();
  if (rc != SQLITE_ROW) return fail(sql_status(rc));
  return q.i64(0);
}

}  // namespace nwc
