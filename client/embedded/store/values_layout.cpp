// The layout of the attribute values: one table clustered by entry, so
// that an entry's values are one range of it, read by one range scan, and
// a value is found by its key (entry, attribute, equality key) without a
// second lookup.  The value index over (attribute, equality key, entry) is
// made by upgrade_layout() (ancestry.cpp).
//
// seq orders an entry's values by insertion: it is unique within the entry
// and a value added later gets a greater one (Store::next_value_seq), so
// the order values() gives does not change when values are added or
// removed around it.  A store made while values were rows of their own is
// rewritten into this layout once, inside init()'s transaction; each
// value's old row number becomes its seq, which keeps the order.
#include "store/sql.h"
#include "store/store.h"

namespace nwc {

namespace {

constexpr const char* kValuesTable = R"SQL(
CREATE TABLE IF NOT EXISTS attr_values(
  entry INTEGER NOT NULL REFERENCES entries(id) ON DELETE CASCADE,
  attr INTEGER NOT NULL REFERENCES attr_defs(id),
  value_key BLOB NOT NULL,
  seq INTEGER NOT NULL,
  syntax INTEGER NOT NULL,
  mtime INTEGER NOT NULL,
  data BLOB NOT NULL,
  PRIMARY KEY(entry, attr, value_key)) WITHOUT ROWID;
)SQL";

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
  if (by_row)
    if (Status s = exec("ALTER TABLE attr_values RENAME TO attr_values_by_row")) return s;
  if (Status s = exec(kValuesTable)) return s;
  if (by_row)
    if (Status s = exec(kCopyRows)) return s;
  return 0;
}

Expected<int64_t> Store::next_value_seq(EntryId id) {
  StoreStmt q(*this, "SELECT coalesce(max(seq), 0) + 1 FROM attr_values WHERE entry = ?");
  const int rc = q.bind(1, id).step();
  if (rc != SQLITE_ROW) return fail(sql_status(rc));
  return q.i64(0);
}

}  // namespace nwc
