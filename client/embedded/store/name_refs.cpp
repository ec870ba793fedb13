// Finding the stored values that name an entry: Distinguished Name values,
// the subjects of Object ACL values, and the names inside Replica Pointer,
// Back Link, Typed Name, Hold and Path values (store.h values_naming).
//
// The equality key of every such value except Path starts with the key of
// its name (schema equality_key: the name first, then a zero byte before
// any further field), so the values naming one entry are one key range per
// attribute of the value index.  Path values start with their name space
// and are read per attribute.  Names below an entry cannot be told from
// the key (keys start at the leaf), so a subtree reads every value of
// those syntaxes.
#include "store/queries.h"
#include "store/sql.h"

namespace nwc {

bool names_an_entry(uint32_t syntax) {
  switch (syntax) {
    case SYN_DIST_NAME:
    case SYN_PATH:
    case SYN_REPLICA_POINTER:
    case SYN_OBJECT_ACL:
    case SYN_BACK_LINK:
    case SYN_TYPED_NAME:
    case SYN_HOLD: return true;
    default: return false;
  }
}

size_t name_field(uint32_t syntax) { return syntax == SYN_OBJECT_ACL ? 1 : 0; }

namespace {

// Keeps the row when its name is dn (or below it, with subtree).
Status take(StoreStmt& q, const Dn& dn, bool subtree, std::vector<NameRef>& out) {
  int rc;
  while ((rc = q.step()) == SQLITE_ROW) {
    NameRef r;
    r.seq = q.i64(0);
    r.entry = q.i64(1);
    r.attr_id = q.i64(2);
    auto v = decode_value(static_cast<uint32_t>(q.i64(3)), q.blob(4));
    if (!v) return v.status();
    const size_t f = name_field(v->syntax);
    if (f >= v->texts.size()) continue;
    auto named = parse_dn(v->texts[f]);
    if (!named) continue;
    if (!same_dn(*named, dn) && !(subtree && is_below(*named, dn))) continue;
    r.value = std::move(*v);
    out.push_back(std::move(r));
  }
  return rc == SQLITE_DONE ? 0 : sql_status(rc);
}

}  // namespace

Expected<std::vector<NameRef>> Store::values_naming(const Dn& dn, bool subtree) {
  auto sc = schema();
  if (!sc) return fail(sc.status());
  std::vector<NameRef> out;
  if (subtree) {
    StoreStmt q(*this,
                "SELECT seq, entry, attr, syntax, data FROM attr_values WHERE syntax IN (1, 15, 16, 17, 23, 25, 26) "
                "ORDER BY entry, seq");
    if (Status st = take(q, dn, true, out)) return fail(st);
    return out;
  }
  const std::string lo = dn_key(dn);
  const std::string hi = lo + '\x01';
  for (const AttrDef& a : (*sc)->attributes()) {
    if (!names_an_entry(a.syntax)) continue;
    if (a.syntax == SYN_PATH) {
      StoreStmt q(*this, "SELECT seq, entry, attr, syntax, data FROM attr_values WHERE attr = ? ORDER BY entry, seq");
      q.bind(1, a.id);
      if (Status st = take(q, dn, false, out)) return fail(st);
      continue;
    }
    StoreStmt q(*this,
                "SELECT seq, entry, attr, syntax, data FROM attr_values WHERE attr = ? AND value_key >= ? "
                "AND value_key < ? ORDER BY entry, seq");
    q.bind(1, a.id).bind_blob(2, lo).bind_blob(3, hi);
    if (Status st = take(q, dn, false, out)) return fail(st);
  }
  return out;
}

}  // namespace nwc
