// The store's lookups for the search engine: ranges of the value index
// (attribute, equality key, entry) joined to each entry's parent and path
// key, pages of a subtree in path order, the keys one entry holds, and the
// subordinates whose name can begin with a prefix (a range of the child
// index by typeless rdn key, and the few with multi-part RDNs).  Each is
// one index range (queries.h), its cost the size of its result.
#include <algorithm>

#include "store/queries.h"
#include "store/sql.h"
#include "store/store.h"

namespace nwc {

namespace {

int64_t clamp(size_t n) { return n > static_cast<size_t>(INT64_MAX) ? INT64_MAX : static_cast<int64_t>(n); }

}  // namespace

Expected<std::vector<Store::KeyRow>> Store::key_range(int64_t attr_id, const std::string& after_key,
                                                      EntryId after_entry, const std::string* hi,
                                                      bool hi_inclusive, size_t limit) {
  StoreStmt q(*this, hi == nullptr ? queries::kKeyRangeOpen
                     : hi_inclusive ? queries::kKeyRangeTo
                                    : queries::kKeyRangeBelow);
  q.bind(1, attr_id).bind_blob(2, after_key).bind(3, after_entry).bind(5, clamp(limit));
  if (hi != nullptr) q.bind_blob(4, *hi);
  std::vector<KeyRow> out;
  int rc;
  while ((rc = q.step()) == SQLITE_ROW) {
    KeyRow r;
    r.key = q.blob(0);
    r.entry = q.i64(1);
    r.parent = q.is_null(2) ? kNoEntry : q.i64(2);
    r.path = q.blob(3);
    r.flags = static_cast<uint32_t>(q.i64(4));
    r.cls = q.text(5);
    r.rdn = q.text(6);
    r.ctime = q.i64(7);
    r.mtime = q.i64(8);
    out.push_back(std::move(r));
  }
  if (rc != SQLITE_DONE) return fail(sql_status(rc));
  return out;
}

Expected<size_t> Store::count_key_range(int64_t attr_id, const std::string& lo, const std::string* hi,
                                        bool hi_inclusive, size_t cap) {
  StoreStmt q(*this, hi == nullptr ? queries::kCountKeysOpen
                     : hi_inclusive ? queries::kCountKeysTo
                                    : queries::kCountKeysBelow);
  q.bind(1, attr_id).bind_blob(2, lo).bind(4, clamp(cap));
  if (hi != nullptr) q.bind_blob(3, *hi);
  const int rc = q.step();
  if (rc != SQLITE_ROW) return fail(sql_status(rc));
  return static_cast<size_t>(q.i64(0));
}

Expected<std::vector<Store::PathRow>> Store::subtree_page(const std::string& root_path, const std::string& after,
                                                          size_t limit) {
  StoreStmt q(*this, queries::kSubtreePage);
  // Strictly after `after`: its successor among byte strings is after || 0.
  q.bind_blob(1, after.empty() ? root_path : after + '\0');
  q.bind_blob(2, root_path + '\xFF').bind(3, clamp(limit));
  std::vector<PathRow> out;
  int rc;
  while ((rc = q.step()) == SQLITE_ROW) {
    PathRow r;
    r.id = q.i64(0);
    r.parent = q.is_null(1) ? kNoEntry : q.i64(1);
    r.path = q.blob(2);
    r.flags = static_cast<uint32_t>(q.i64(3));
    r.cls = q.text(4);
    out.push_back(std::move(r));
  }
  if (rc != SQLITE_DONE) return fail(sql_status(rc));
  return out;
}

Expected<Store::PathRow> Store::path_row(EntryId id) {
  StoreStmt q(*this, queries::kPathRow);
  const int rc = q.bind(1, id).step();
  if (rc == SQLITE_DONE) return fail(ERR_NO_SUCH_ENTRY);
  if (rc != SQLITE_ROW) return fail(sql_status(rc));
  if (q.is_null(2)) return fail(ERR_INCONSISTENT_DATABASE);  // never the whole tree by mistake
  PathRow r;
  r.id = q.i64(0);
  r.parent = q.is_null(1) ? kNoEntry : q.i64(1);
  r.path = q.blob(2);
  r.flags = static_cast<uint32_t>(q.i64(3));
  r.cls = q.text(4);
  return r;
}

Expected<size_t> Store::count_subtree(const std::string& root_path, size_t cap) {
  StoreStmt q(*this, queries::kCountSubtree);
  q.bind_blob(1, root_path).bind_blob(2, root_path + '\xFF').bind(3, clamp(cap));
  const int rc = q.step();
  if (rc != SQLITE_ROW) return fail(sql_status(rc));
  return static_cast<size_t>(q.i64(0));
}

Expected<std::vector<std::string>> Store::keys_of(EntryId id, int64_t attr_id) {
  StoreStmt q(*this, queries::kKeysOf);
  q.bind(1, id).bind(2, attr_id);
  std::vector<std::string> out;
  int rc;
  while ((rc = q.step()) == SQLITE_ROW) out.push_back(q.blob(0));
  if (rc != SQLITE_DONE) return fail(sql_status(rc));
  return out;
}

Expected<std::vector<Store::EncodedValue>> Store::keyed_values(EntryId id, int64_t attr_id) {
  StoreStmt q(*this, queries::kKeyedValues);
  q.bind(1, id).bind(2, attr_id);
  std::vector<EncodedValue> out;
  int rc;
  while ((rc = q.step()) == SQLITE_ROW)
    out.push_back({attr_id, static_cast<uint32_t>(q.i64(0)), q.blob(1), q.blob(2), q.i64(3), q.i64(4)});
  if (rc != SQLITE_DONE) return fail(sql_status(rc));
  return out;
}

Expected<bool> Store::has_key(EntryId id, int64_t attr_id, const std::string& key) {
  StoreStmt q(*this, queries::kHasValue);
  const int rc = q.bind(1, id).bind(2, attr_id).bind_blob(3, key).step();
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  return fail(sql_status(rc));
}

Expected<bool> Store::has_attribute(EntryId id, int64_t attr_id) {
  StoreStmt q(*this, queries::kHasAttribute);
  const int rc = q.bind(1, id).bind(2, attr_id).step();
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  return fail(sql_status(rc));
}

Expected<std::vector<EntryId>> Store::children_by_value_prefix(EntryId parent, const std::string& prefix) {
  std::vector<EntryId> out;
  // Keys beginning with the prefix lie below its successor (none when every
  // byte is 0xFF).
  std::string hi = prefix;
  while (!hi.empty() && static_cast<unsigned char>(hi.back()) == 0xFF) hi.pop_back();
  if (!hi.empty()) hi.back() = static_cast<char>(static_cast<unsigned char>(hi.back()) + 1);
  {
    StoreStmt q(*this, hi.empty() ? queries::kChildrenByValuePrefixOpen : queries::kChildrenByValuePrefix);
    q.bind(1, parent).bind(2, prefix);
    if (!hi.empty()) q.bind(3, hi);
    int rc;
    while ((rc = q.step()) == SQLITE_ROW) out.push_back(q.i64(0));
    if (rc != SQLITE_DONE) return fail(sql_status(rc));
  }
  {
    const std::string later = "+" + prefix;
    StoreStmt q(*this, queries::kChildrenWithPluralRdn);
    q.bind(1, parent);
    int rc;
    while ((rc = q.step()) == SQLITE_ROW)
      if (q.text(1).find(later) != std::string::npos) out.push_back(q.i64(0));
    if (rc != SQLITE_DONE) return fail(sql_status(rc));
  }
  std::sort(out.begin(), out.end());
  out.erase(std::unique(out.begin(), out.end()), out.end());
  return out;
}

}  // namespace nwc
