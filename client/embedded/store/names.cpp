// The store's names: finding an entry by name from [Root] down, and an
// entry's name from the entry up, each through a cache of recently used
// names (store.h).
//
// The names cache is keyed by the rdn keys from [Root] down, each with its
// length, so that no two names share a key ([Root]'s is empty).  It keeps
// each name's entry row, so that finding an entry also tells its parent,
// class and flags without another statement.
#include <algorithm>

#include "store/queries.h"
#include "store/sql.h"
#include "store/store.h"

namespace nwc {
namespace {

bool has_inferred_type(const Rdn& rdn) {
  return std::any_of(rdn.avas.begin(), rdn.avas.end(), [](const Ava& a) { return a.inferred; });
}

// A row of kChildRowByKey (or of kEntryRowById: the same columns).
EntryRow read_row(StoreStmt& q) {
  EntryRow r;
  r.id = q.i64(0);
  r.parent = q.is_null(1) ? kNoEntry : q.i64(1);
  r.rdn = q.text(2);
  r.cls = q.text(3);
  r.flags = static_cast<uint32_t>(q.i64(4));
  r.path = q.blob(5);
  return r;
}

}  // namespace

Expected<EntryId> Store::child(EntryId parent, const Rdn& rdn) {
  {
    StoreStmt q(*this, queries::kChildByKey);
    const int rc = q.bind(1, parent).bind(2, rdn_key(rdn)).step();
    if (rc == SQLITE_ROW) return q.i64(0);
    if (rc != SQLITE_DONE) return fail(sql_status(rc));
  }
  if (!has_inferred_type(rdn)) return fail(ERR_NO_SUCH_ENTRY);
  // Default typing guessed the type; accept one sibling with these values.
  StoreStmt q(*this, queries::kChildByValues);
  q.bind(1, parent).bind(2, rdn_value_key(rdn));
  if (q.step() != SQLITE_ROW) return fail(ERR_NO_SUCH_ENTRY);
  const EntryId id = q.i64(0);
  if (q.step() == SQLITE_ROW) return fail(ERR_NO_SUCH_ENTRY);  // ambiguous
  return id;
}

void Store::check_names() {
  if (const uint64_t other = other_writes(); other != names_.other) {
    forget_names();
    names_.other = other;
  }
}

Expected<EntryId> Store::find(const Dn& dn) {
  auto row = locate(dn);
  if (!row) return fail(row.status());
  return row->id;
}

Expected<EntryRow> Store::locate(const Dn& dn) {
  check_names();
  std::string key;
  EntryRow row;
  if (const EntryRow* hit = names_.rows.get(key)) {
    row = *hit;
  } else {
    StoreStmt q(*this, queries::kEntryRowById);
    const int rc = q.bind(1, root_).step();
    if (rc != SQLITE_ROW) return fail(rc == SQLITE_DONE ? ERR_INCONSISTENT_DATABASE : sql_status(rc));
    row = read_row(q);
    names_.rows.put(key, row);
  }
  bool keep = true;  // every part so far matched by its exact key
  for (auto it = dn.rdns.rbegin(); it != dn.rdns.rend(); ++it) {
    const std::string k = rdn_key(*it);
    key += std::to_string(k.size());
    key += ':';
    key += k;
    if (keep)
      if (const EntryRow* hit = names_.rows.get(key)) {
        row = *hit;
        continue;
      }
    StoreStmt q(*this, queries::kChildRowByKey);
    const int rc = q.bind(1, row.id).bind(2, k).step();
    if (rc == SQLITE_ROW) {
      row = read_row(q);
      if (keep) names_.rows.put(key, row);
      continue;
    }
    if (rc != SQLITE_DONE) return fail(sql_status(rc));
    auto c = child(row.id, *it);  // the lookup by inferred types
    if (!c) return fail(c.status());
    StoreStmt e(*this, queries::kEntryRowById);
    const int erc = e.bind(1, *c).step();
    if (erc != SQLITE_ROW) return fail(erc == SQLITE_DONE ? ERR_NO_SUCH_ENTRY : sql_status(erc));
    row = read_row(e);
    keep = false;
  }
  return row;
}

// Goes up from the entry until a container whose name is kept; the
// containers passed on the way are kept with their names.
Expected<Dn> Store::dn_of(EntryId id) {
  check_names();
  Dn dn;
  std::vector<std::pair<EntryId, size_t>> met;  // container, its rdn's index in dn
  EntryId cur = id;
  bool first = true;
  for (; cur != root_; first = false) {
    if (const Dn* hit = names_.dns.get(cur)) {
      dn.rdns.insert(dn.rdns.end(), hit->rdns.begin(), hit->rdns.end());
      break;
    }
    auto e = entry(cur);
    if (!e) return fail(e.status());
    auto rdn = parse_rdn(e->rdn);
    if (!rdn) return fail(ERR_INCONSISTENT_DATABASE);
    if (!first || (e->flags & DS_CONTAINER_ENTRY)) met.emplace_back(cur, dn.rdns.size());
    dn.rdns.push_back(std::move(*rdn));
    if (e->parent == kNoEntry) return fail(ERR_INCONSISTENT_DATABASE);
    cur = e->parent;
  }
  for (const auto& [container, at] : met)
    names_.dns.put(container, Dn{std::vector<Rdn>(dn.rdns.begin() + static_cast<std::ptrdiff_t>(at), dn.rdns.end())});
  return dn;
}

Expected<std::string> Store::name_text_of(EntryId container) {
  check_names();
  if (const std::string* hit = names_.texts.get(container)) return *hit;
  auto dn = dn_of(container);
  if (!dn) return fail(dn.status());
  return *names_.texts.put(container, format_dn(*dn));
}

}  // namespace nwc
