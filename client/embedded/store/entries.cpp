// The store's entries and attribute values.
#include <algorithm>
#include <cstdint>

#include "store/queries.h"
#include "store/sql.h"
#include "store/store.h"

namespace nwc {
namespace {

constexpr const char* kInsertValue =
    "INSERT INTO attr_values(entry, attr, syntax, data, value_key, mtime, seq) VALUES(?,?,?,?,?,?,?)";

Entry read_entry(StoreStmt& q) {
  Entry e;
  e.id = q.i64(0);
  e.parent = q.is_null(1) ? kNoEntry : q.i64(1);
  e.rdn = q.text(2);
  e.cls = q.text(3);
  e.flags = static_cast<uint32_t>(q.i64(4));
  e.ctime = q.i64(5);
  e.mtime = q.i64(6);
  return e;
}

}  // namespace

Status Store::ensure_entry(EntryId id) {
  StoreStmt q(*this, "SELECT 1 FROM entries WHERE id = ?");
  const int rc = q.bind(1, id).step();
  if (rc == SQLITE_ROW) return 0;
  return rc == SQLITE_DONE ? ERR_NO_SUCH_ENTRY : sql_status(rc);
}

Expected<Entry> Store::entry(EntryId id) {
  StoreStmt q(*this, queries::kEntryById);
  const int rc = q.bind(1, id).step();
  if (rc == SQLITE_ROW) return read_entry(q);
  return fail(rc == SQLITE_DONE ? ERR_NO_SUCH_ENTRY : sql_status(rc));
}

Expected<std::vector<Entry>> Store::children(EntryId parent, EntryId after, size_t limit) {
  StoreStmt q(*this, queries::kChildrenPage);
  const int64_t lim = limit > static_cast<size_t>(INT64_MAX) ? INT64_MAX : static_cast<int64_t>(limit);
  q.bind(1, parent).bind(2, after).bind(3, lim);
  std::vector<Entry> out;
  int rc;
  while ((rc = q.step()) == SQLITE_ROW) out.push_back(read_entry(q));
  if (rc != SQLITE_DONE) return fail(sql_status(rc));
  return out;
}

Expected<std::vector<Entry>> Store::children_of_class(EntryId parent, const std::string& class_key, EntryId after,
                                                      size_t limit) {
  StoreStmt q(*this, queries::kChildrenOfClassPage);
  const int64_t lim = limit > static_cast<size_t>(INT64_MAX) ? INT64_MAX : static_cast<int64_t>(limit);
  q.bind(1, class_key).bind(2, parent).bind(3, after).bind(4, lim);
  std::vector<Entry> out;
  int rc;
  while ((rc = q.step()) == SQLITE_ROW) out.push_back(read_entry(q));
  if (rc != SQLITE_DONE) return fail(sql_status(rc));
  return out;
}

Expected<uint32_t> Store::child_count(EntryId parent) {
  StoreStmt q(*this, "SELECT count(*) FROM entries WHERE parent = ?");
  const int rc = q.bind(1, parent).step();
  if (rc != SQLITE_ROW) return fail(sql_status(rc));
  return static_cast<uint32_t>(q.i64(0));
}

Expected<const AttrDef*> Store::attr_def(const Schema& s, std::string_view name) {
  const AttrDef* a = s.attribute(name);
  if (!a) return fail(ERR_NO_SUCH_ATTRIBUTE);
  return a;
}

Status Store::insert_value(const Schema& s, EntryId id, const AttrDef& a, Value v, bool ignore_duplicate) {
  if (Status st = normalise_value(v)) return st;
  if (Status st = s.check_value(a, v)) return st;
  const std::string key = equality_key(v);
  if (a.flags & DS_SINGLE_VALUED_ATTR) {
    StoreStmt q(*this, "SELECT value_key FROM attr_values WHERE entry = ? AND attr = ? LIMIT 1");
    const int rc = q.bind(1, id).bind(2, a.id).step();
    if (rc == SQLITE_ROW) {
      if (q.blob(0) == key) return ignore_duplicate ? 0 : ERR_DUPLICATE_VALUE;
      return ERR_CANT_HAVE_MULTIPLE_VALUES;
    }
    if (rc != SQLITE_DONE) return sql_status(rc);
  }
  auto seq = next_value_seq(id);
  if (!seq) return seq.status();
  note_value_write(a);
  StoreStmt ins(*this, kInsertValue);
  ins.bind(1, id).bind(2, a.id).bind(3, int64_t{v.syntax}).bind_blob(4, encode_value(v)).bind_blob(5, key).bind(6, now_seconds())
      .bind(7, *seq);
  const int rc = ins.step();
  if ((rc & 0xFF) == SQLITE_CONSTRAINT) return ignore_duplicate ? 0 : ERR_DUPLICATE_VALUE;
  return rc == SQLITE_DONE ? 0 : sql_status(rc);
}

Expected<EntryId> Store::add_entry(EntryId parent, const Rdn& rdn, std::string_view cls,
                                   const std::vector<NewValue>& values, uint32_t flags) {
  Transaction tx(*this, Transaction::kPart);
  if (tx.status()) return fail(tx.status());
  auto sc = schema();
  if (!sc) return fail(sc.status());
  const Schema& s = **sc;
  // The parent's path key (it must exist) and the id the entry will get, so
  // that its own path key goes in with it.
  std::string path;
  EntryId new_id = kNoEntry;
  {
    StoreStmt q(*this, "SELECT path, (SELECT max(id) FROM entries) FROM entries WHERE id = ?");
    const int rc = q.bind(1, parent).step();
    if (rc == SQLITE_DONE) return fail(ERR_NO_SUCH_ENTRY);
    if (rc != SQLITE_ROW) return fail(sql_status(rc));
    if (q.is_null(0)) return fail(ERR_INCONSISTENT_DATABASE);
    path = q.blob(0);
    new_id = q.i64(1) + 1;
  }
  path += path_step(new_id);
  const ClassDef* c = s.class_def(cls);
  if (!c) return fail(ERR_NO_SUCH_CLASS);
  if (rdn.avas.empty()) return fail(ERR_INVALID_OBJECT_NAME);
  for (const Ava& a : rdn.avas)
    if (a.type.empty()) return fail(ERR_INVALID_OBJECT_NAME);
  if (c->flags & DS_CONTAINER_CLASS) flags |= DS_CONTAINER_ENTRY;
  const int64_t now = now_seconds();
  {
    StoreStmt q(*this,
                "INSERT INTO entries(parent, rdn, rdn_key, rdn_value_key, class, class_key, flags, ctime, mtime, "
                "id, path) VALUES(?,?,?,?,?,?,?,?,?,?,?)");
    q.bind(1, parent).bind(2, format_rdn(rdn)).bind(3, rdn_key(rdn)).bind(4, rdn_value_key(rdn))
        .bind(5, c->name).bind(6, fold_case(c->name)).bind(7, int64_t{flags}).bind(8, now).bind(9, now)
        .bind(10, new_id).bind_blob(11, path);
    const int rc = q.step();
    if ((rc & 0xFF) == SQLITE_CONSTRAINT) return fail(ERR_ENTRY_ALREADY_EXISTS);
    if (rc != SQLITE_DONE) return fail(sql_status(rc));
  }
  const EntryId id = sqlite3_last_insert_rowid(db_);
  // The entry is new: duplicates and a second value of a single-valued
  // attribute are found among the values themselves, not in the store.
  // Naming values and the class lineage are added when the caller left
  // them out.
  struct Row {
    const AttrDef* a;
    Value v;
    bool implied;  // naming or lineage: an equal given value stands for it
  };
  std::vector<Row> rows;
  rows.reserve(values.size() + rdn.avas.size() + 4);
  for (const NewValue& nv : values) {
    auto a = attr_def(s, nv.attr);
    if (!a) return fail(a.status());
    rows.push_back({*a, nv.value, false});
  }
  for (const Ava& ava : rdn.avas) {
    const AttrDef* a = s.attribute(ava.type);
    if (!a) return fail(ERR_NO_SUCH_ATTRIBUTE);
    rows.push_back({a, Value::text(a->syntax, ava.value), true});
  }
  const AttrDef* oc = s.attribute("Object Class");
  if (!oc) return fail(ERR_INCONSISTENT_DATABASE);
  for (const ClassDef* l : s.lineage(c->name)) rows.push_back({oc, Value::text(SYN_CLASS_NAME, l->name), true});
  std::vector<std::pair<int64_t, std::string>> seen;  // attribute id, equality key
  StoreStmt ins(*this, kInsertValue);
  int64_t seq = 0;  // the entry is new: its values are numbered from 1
  for (Row& r : rows) {
    if (Status st = normalise_value(r.v)) return fail(st);
    if (Status st = s.check_value(*r.a, r.v)) return fail(st);
    std::string key = equality_key(r.v);
    bool duplicate = false, other = false;
    for (const auto& [attr, k] : seen) {
      if (attr != r.a->id) continue;
      (k == key ? duplicate : other) = true;
    }
    if (duplicate) {
      if (r.implied) continue;
      return fail(ERR_DUPLICATE_VALUE);
    }
    if (other && (r.a->flags & DS_SINGLE_VALUED_ATTR)) return fail(ERR_CANT_HAVE_MULTIPLE_VALUES);
    ins.bind(1, id).bind(2, r.a->id).bind(3, int64_t{r.v.syntax}).bind_blob(4, encode_value(r.v)).bind_blob(5, key)
        .bind(6, now).bind(7, ++seq);
    const int rc = ins.step();
    ins.reset();
    if ((rc & 0xFF) == SQLITE_CONSTRAINT) return fail(ERR_DUPLICATE_VALUE);
    if (rc != SQLITE_DONE) return fail(sql_status(rc));
    seen.emplace_back(r.a->id, std::move(key));
  }
  if (Status st = tx.commit()) return fail(st);
  return id;
}

Status Store::remove_entry(EntryId id) {
  Transaction tx(*this);
  if (tx.status()) return tx.status();
  if (Status st = ensure_entry(id)) return st;
  if (id == root_) return ERR_INVALID_REQUEST;
  {
    StoreStmt q(*this, "SELECT 1 FROM entries WHERE parent = ? LIMIT 1");
    if (q.bind(1, id).step() == SQLITE_ROW) return ERR_ENTRY_IS_NOT_LEAF;
  }
  {
    StoreStmt q(*this, "SELECT 1 FROM partitions WHERE root = ?");
    if (q.bind(1, id).step() == SQLITE_ROW) return ERR_PARTITION_ROOT;
  }
  {
    StoreStmt q(*this, "SELECT 1 FROM replicas WHERE server = ? LIMIT 1");
    if (q.bind(1, id).step() == SQLITE_ROW) return ERR_CRUCIAL_REPLICA;
  }
  StoreStmt q(*this, "DELETE FROM entries WHERE id = ?");
  if (Status st = q.bind(1, id).run()) return st;
  forget_names();
  access_written();
  return tx.commit();
}

Status Store::move_entry(EntryId id, EntryId new_parent, const Rdn& new_rdn) {
  Transaction tx(*this);
  if (tx.status()) return tx.status();
  auto sc = schema();
  if (!sc) return sc.status();
  if (Status st = ensure_entry(id)) return st;
  if (Status st = ensure_entry(new_parent)) return st;
  if (id == root_) return ERR_INVALID_REQUEST;
  for (EntryId cur = new_parent; cur != kNoEntry;) {  // not into its own subtree
    if (cur == id) return ERR_INVALID_REQUEST;
    auto e = entry(cur);
    if (!e) return e.status();
    cur = e->parent;
  }
  access_written();
  if (Status st = move_paths(id, new_parent)) return st;
  {
    StoreStmt q(*this, "UPDATE entries SET parent = ?, rdn = ?, rdn_key = ?, rdn_value_key = ?, mtime = ? WHERE id = ?");
    q.bind(1, new_parent).bind(2, format_rdn(new_rdn)).bind(3, rdn_key(new_rdn)).bind(4, rdn_value_key(new_rdn))
        .bind(5, now_seconds()).bind(6, id);
    const int rc = q.step();
    if ((rc & 0xFF) == SQLITE_CONSTRAINT) return ERR_ENTRY_ALREADY_EXISTS;
    if (rc != SQLITE_DONE) return sql_status(rc);
  }
  forget_names();
  for (const Ava& ava : new_rdn.avas) {
    const AttrDef* a = (*sc)->attribute(ava.type);
    if (!a) return ERR_NO_SUCH_ATTRIBUTE;
    if (Status st = insert_value(**sc, id, *a, Value::text(a->syntax, ava.value), true)) return st;
  }
  return tx.commit();
}

Status Store::set_entry_flags(EntryId id, uint32_t flags) {
  StoreStmt q(*this, "UPDATE entries SET flags = ? WHERE id = ?");
  if (Status st = q.bind(1, int64_t{flags}).bind(2, id).run()) return st;
  forget_names();  // the cache keeps each entry's flags
  return sqlite3_changes(db_) ? 0 : ERR_NO_SUCH_ENTRY;
}

Status Store::touch(EntryId id) {
  StoreStmt q(*this, "UPDATE entries SET mtime = ? WHERE id = ?");
  if (Status st = q.bind(1, now_seconds()).bind(2, id).run()) return st;
  return sqlite3_changes(db_) ? 0 : ERR_NO_SUCH_ENTRY;
}

// ---- values ------------------------------------------------------------------------------
namespace {

Status collect(Store& st, StoreStmt& q, const Schema& s, std::vector<StoredValue>& out) {
  (void)st;
  int rc;
  while ((rc = q.step()) == SQLITE_ROW) {
    StoredValue v;
    v.id = q.i64(0);
    v.attr_id = q.i64(1);
    const AttrDef* a = s.attribute_by_id(v.attr_id);
    v.attr = a ? a->name : std::string();
    auto decoded = decode_value(static_cast<uint32_t>(q.i64(2)), q.blob(3));
    if (!decoded) return decoded.status();
    v.value = std::move(*decoded);
    v.mtime = q.i64(4);
    out.push_back(std::move(v));
  }
  return rc == SQLITE_DONE ? 0 : sql_status(rc);
}

}  // namespace

namespace {

// Rows of one entry (read in key order: by attribute, then value key)
// brought into the order values() promises: attributes by their first
// value's seq, values by seq.
template <class Row>
void order_by_first_value(std::vector<Row>& rows) {
  if (rows.size() < 2) return;
  std::vector<std::pair<int64_t, int64_t>> first;  // (attribute, its lowest seq), by attribute
  first.reserve(rows.size());
  for (const Row& r : rows) first.emplace_back(r.attr_id, r.id);
  std::sort(first.begin(), first.end());
  first.erase(std::unique(first.begin(), first.end(), [](const auto& a, const auto& b) { return a.first == b.first; }),
              first.end());
  auto first_of = [&](int64_t attr) {
    return std::lower_bound(first.begin(), first.end(), std::make_pair(attr, INT64_MIN))->second;
  };
  auto before = [&](const Row& a, const Row& b) {
    const int64_t fa = first_of(a.attr_id), fb = first_of(b.attr_id);
    return fa != fb ? fa < fb : a.id < b.id;
  };
  if (!std::is_sorted(rows.begin(), rows.end(), before)) std::sort(rows.begin(), rows.end(), before);
}

}  // namespace

Expected<std::vector<StoredValue>> Store::values(EntryId id) {
  auto sc = schema();
  if (!sc) return fail(sc.status());
  StoreStmt q(*this, queries::kValuesOfEntry);
  q.bind(1, id);
  std::vector<StoredValue> out;
  if (Status st = collect(*this, q, **sc, out)) return fail(st);
  if (out.empty())
    if (Status st = ensure_entry(id)) return fail(st);
  order_by_first_value(out);
  return out;
}

Expected<std::vector<Store::EncodedValue>> Store::encoded_values(EntryId id) {
  StoreStmt q(*this, queries::kValuesOfEntry);
  q.bind(1, id);
  return read_encoded(id, q);
}

// One statement text per number of attributes: the same few are prepared
// once and kept.  A compound of one index lookup per attribute, since a
// list of values (IN) would build a temporary index on every run.
Expected<std::vector<Store::EncodedValue>> Store::encoded_values(EntryId id, const std::vector<int64_t>& attrs) {
  if (attrs.empty()) {
    if (Status st = ensure_entry(id)) return fail(st);
    return std::vector<EncodedValue>{};
  }
  thread_local std::vector<std::string> texts;  // by number of attributes, written once
  if (texts.size() < attrs.size()) texts.resize(attrs.size());
  std::string& sql = texts[attrs.size() - 1];
  if (sql.empty())
    for (size_t i = 0; i < attrs.size(); ++i) {
      if (i) sql += " UNION ALL ";
      sql += queries::kValuesOfEntryAttr;
      sql += std::to_string(i + 2);
    }
  StoreStmt q(*this, sql);
  q.bind(1, id);
  for (size_t i = 0; i < attrs.size(); ++i) q.bind(static_cast<int>(i + 2), attrs[i]);
  return read_encoded(id, q);
}

Expected<std::vector<Store::EncodedValue>> Store::read_encoded(EntryId id, StoreStmt& q) {
  std::vector<EncodedValue> out;
  int rc;
  while ((rc = q.step()) == SQLITE_ROW) {
    out.push_back({q.i64(1), static_cast<uint32_t>(q.i64(2)), q.blob(3), q.blob(5), q.i64(0), q.i64(4)});
  }
  if (rc != SQLITE_DONE) return fail(sql_status(rc));
  if (out.empty())
    if (Status st = ensure_entry(id)) return fail(st);
  order_by_first_value(out);
  return out;
}

Expected<std::vector<StoredValue>> Store::values(EntryId id, std::string_view attr) {
  auto sc = schema();
  if (!sc) return fail(sc.status());
  auto a = attr_def(**sc, attr);
  if (!a) return fail(a.status());
  StoreStmt q(*this, queries::kValuesOfAttribute);
  q.bind(1, id).bind(2, (*a)->id);
  std::vector<StoredValue> out;
  if (Status st = collect(*this, q, **sc, out)) return fail(st);
  if (out.empty())
    if (Status st = ensure_entry(id)) return fail(st);
  return out;
}

Expected<bool> Store::has_attribute(EntryId id, std::string_view attr) {
  auto sc = schema();
  if (!sc) return fail(sc.status());
  auto a = attr_def(**sc, attr);
  if (!a) return fail(a.status());
  StoreStmt q(*this, queries::kHasAttribute);
  const int rc = q.bind(1, id).bind(2, (*a)->id).step();
  if (rc == SQLITE_ROW) return true;
  if (rc != SQLITE_DONE) return fail(sql_status(rc));
  if (Status st = ensure_entry(id)) return fail(st);
  return false;
}

Status Store::add_value(EntryId id, std::string_view attr, const Value& v) {
  Transaction tx(*this);
  if (tx.status()) return tx.status();
  auto sc = schema();
  if (!sc) return sc.status();
  auto a = attr_def(**sc, attr);
  if (!a) return a.status();
  // The touch tells whether the entry exists; a failed insert undoes it.
  if (Status st = touch(id)) return st;
  if (Status st = insert_value(**sc, id, **a, v, false)) return st;
  return tx.commit();
}

Status Store::remove_value(EntryId id, std::string_view attr, const Value& v) {
  Transaction tx(*this);
  if (tx.status()) return tx.status();
  auto sc = schema();
  if (!sc) return sc.status();
  auto a = attr_def(**sc, attr);
  if (!a) return a.status();
  Value n = v;
  if (normalise_value(n) != 0 || n.syntax != (*a)->syntax) {
    if (Status st = ensure_entry(id)) return st;
    return ERR_NO_SUCH_VALUE;
  }
  note_value_write(**a);
  StoreStmt q(*this, "DELETE FROM attr_values WHERE entry = ? AND attr = ? AND value_key = ?");
  if (Status st = q.bind(1, id).bind(2, (*a)->id).bind_blob(3, equality_key(n)).run()) return st;
  if (sqlite3_changes(db_) == 0) {  // no such value, or no such entry
    if (Status st = ensure_entry(id)) return st;
    return ERR_NO_SUCH_VALUE;
  }
  if (Status st = touch(id)) return st;
  return tx.commit();
}

// Deletes every value of one attribute of an entry; absent values are an
// error only when must_exist says so.
Status Store::delete_attribute(EntryId id, std::string_view attr, bool must_exist) {
  Transaction tx(*this);
  if (tx.status()) return tx.status();
  auto sc = schema();
  if (!sc) return sc.status();
  auto a = attr_def(**sc, attr);
  if (!a) return a.status();
  note_value_write(**a);
  StoreStmt q(*this, "DELETE FROM attr_values WHERE entry = ? AND attr = ?");
  if (Status st = q.bind(1, id).bind(2, (*a)->id).run()) return st;
  if (sqlite3_changes(db_) == 0) {  // no values, or no such entry
    if (Status st = ensure_entry(id)) return st;
    if (must_exist) return ERR_NO_SUCH_ATTRIBUTE;
  } else if (Status st = touch(id)) {
    return st;
  }
  return tx.commit();
}

Status Store::clear_attribute(EntryId id, std::string_view attr) { return delete_attribute(id, attr, false); }

Status Store::remove_attribute(EntryId id, std::string_view attr) { return delete_attribute(id, attr, true); }

Expected<bool> Store::has_value(EntryId id, std::string_view attr, const Value& v) {
  auto sc = schema();
  if (!sc) return fail(sc.status());
  auto a = attr_def(**sc, attr);
  if (!a) return fail(a.status());
  Value n = v;
  if (normalise_value(n) != 0 || n.syntax != (*a)->syntax) return false;
  StoreStmt q(*this, queries::kHasValue);
  const int rc = q.bind(1, id).bind(2, (*a)->id).bind_blob(3, equality_key(n)).step();
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  return fail(sql_status(rc));
}

Expected<std::vector<EntryId>> Store::find_by_value(std::string_view attr, const Value& v) {
  auto sc = schema();
  if (!sc) return fail(sc.status());
  auto a = attr_def(**sc, attr);
  if (!a) return fail(a.status());
  std::vector<EntryId> out;
  Value n = v;
  if (normalise_value(n) != 0 || n.syntax != (*a)->syntax) return out;
  StoreStmt q(*this, queries::kEntriesByValue);
  q.bind(1, (*a)->id).bind_blob(2, equality_key(n));
  int rc;
  while ((rc = q.step()) == SQLITE_ROW) out.push_back(q.i64(0));
  if (rc != SQLITE_DONE) return fail(sql_status(rc));
  return out;
}

Expected<std::vector<EntryId>> Store::find_with_attribute(std::string_view attr) {
  auto sc = schema();
  if (!sc) return fail(sc.status());
  auto a = attr_def(**sc, attr);
  if (!a) return fail(a.status());
  StoreStmt q(*this, queries::kEntriesWithAttribute);
  q.bind(1, (*a)->id);
  std::vector<EntryId> out;
  int rc;
  while ((rc = q.step()) == SQLITE_ROW) out.push_back(q.i64(0));
  if (rc != SQLITE_DONE) return fail(sql_status(rc));
  return out;
}

}  // namespace nwc
