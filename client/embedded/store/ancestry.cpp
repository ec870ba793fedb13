// The store's ancestry: each entry's path key (its parent's path key then
// the entry's own id), set when an entry is added, rewritten for a whole
// subtree when its root moves, and filled in for stores made before the
// entries carried one.
//
// A step is one byte n (1..8) and then the id in n bytes, most significant
// first, with no leading zero byte.  Steps are thus prefix-free, so a path
// key begins with another exactly when its entry lies in the other's
// subtree; the byte after a subtree root's key is always a length (never
// 0xFF), so the subtree is the path-index range [key, key || 0xFF).  Ids of
// one length compare as numbers and shorter ones first, so path order is the
// tree in pre-order with siblings by id.
#include <map>
#include <vector>

#include "store/queries.h"
#include "store/sql.h"
#include "store/store.h"

namespace nwc {

namespace {

// Indexes over columns an older store gets only from upgrade_layout().
constexpr const char* kIndexes = R"SQL(
CREATE UNIQUE INDEX IF NOT EXISTS entries_by_path ON entries(path);
CREATE INDEX IF NOT EXISTS values_by_attr_key_entry ON attr_values(attr, value_key, entry);
DROP INDEX IF EXISTS values_by_attr_key;
DROP INDEX IF EXISTS entries_by_class;
)SQL";

}  // namespace

std::string Store::path_step(EntryId id) {
  std::string bytes;
  for (auto n = static_cast<uint64_t>(id); n != 0; n >>= 8) bytes.insert(bytes.begin(), static_cast<char>(n & 0xFF));
  if (bytes.empty()) bytes.push_back('\0');
  return static_cast<char>(bytes.size()) + bytes;
}

Expected<std::string> Store::path_of(EntryId id) {
  StoreStmt q(*this, queries::kPathOf);
  const int rc = q.bind(1, id).step();
  if (rc == SQLITE_ROW) {
    if (q.is_null(0)) return fail(ERR_INCONSISTENT_DATABASE);
    return q.blob(0);
  }
  return fail(rc == SQLITE_DONE ? ERR_NO_SUCH_ENTRY : sql_status(rc));
}

// Called inside init()'s transaction, after the tables exist.
Status Store::upgrade_layout() {
  bool has_column = false;
  {
    StoreStmt q(*this, "SELECT 1 FROM pragma_table_info('entries') WHERE name = 'path'");
    has_column = q.step() == SQLITE_ROW;
  }
  if (!has_column)
    if (Status s = exec("ALTER TABLE entries ADD COLUMN path BLOB")) return s;
  if (Status s = lay_out_values()) return s;
  if (Status s = exec(kIndexes)) return s;
  // Entries without a path key: all of them in a store made before entries
  // carried one (and any an older library added since).  Found through the
  // path index, so an up-to-date store pays one probe.
  {
    StoreStmt q(*this, "SELECT 1 FROM entries WHERE path IS NULL LIMIT 1");
    const int rc = q.step();
    if (rc == SQLITE_DONE) return 0;
    if (rc != SQLITE_ROW) return sql_status(rc);
  }
  std::map<EntryId, EntryId> parent_of;
  std::map<EntryId, std::string> known;
  {
    StoreStmt q(*this, "SELECT id, parent, path FROM entries");
    int rc;
    while ((rc = q.step()) == SQLITE_ROW) {
      parent_of[q.i64(0)] = q.is_null(1) ? kNoEntry : q.i64(1);
      if (!q.is_null(2)) known[q.i64(0)] = q.blob(2);
    }
    if (rc != SQLITE_DONE) return sql_status(rc);
  }
  if (known.size() != parent_of.size()) {
    for (const auto& [id, parent] : parent_of) {
      if (known.count(id)) continue;
      std::vector<EntryId> chain{id};  // id and its ancestors without a key
      for (EntryId p = parent; p != kNoEntry && !known.count(p); p = parent_of.count(p) ? parent_of[p] : kNoEntry) {
        if (chain.size() > parent_of.size()) return ERR_INCONSISTENT_DATABASE;  // a cycle
        chain.push_back(p);
      }
      const EntryId top = parent_of.count(chain.back()) ? parent_of[chain.back()] : kNoEntry;
      std::string path = top == kNoEntry ? std::string() : known[top];
      for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        path += path_step(*it);
        known[*it] = path;
        StoreStmt u(*this, "UPDATE entries SET path = ? WHERE id = ?");
        if (Status s = u.bind_blob(1, path).bind(2, *it).run()) return s;
      }
    }
  }
  return 0;
}

// Rewrites the path keys of `id`'s subtree for its new parent.
Status Store::move_paths(EntryId id, EntryId new_parent) {
  auto old_path = path_of(id);
  if (!old_path) return old_path.status();
  auto parent_path = path_of(new_parent);
  if (!parent_path) return parent_path.status();
  const std::string new_path = *parent_path + path_step(id);
  if (new_path == *old_path) return 0;
  // || gives text: the result is cast back to a blob, the type every path
  // key has (a blob never compares equal to a text).
  StoreStmt q(*this,
              "UPDATE entries SET path = CAST(?1 || substr(path, ?2) AS BLOB) WHERE path >= ?3 AND path < ?4");
  return q.bind_blob(1, new_path).bind(2, static_cast<int64_t>(old_path->size() + 1)).bind_blob(3, *old_path)
      .bind_blob(4, *old_path + '\xFF').run();
}

}  // namespace nwc
