/*
 * aliases.cpp - finding entries by name through aliases (aliases.h).
 */
#include "aliases.h"

#include "rights.h"

namespace nwc {

bool is_alias(const Schema &schema, const Entry &e) {
  return (e.flags & DS_ALIAS_ENTRY) != 0 || schema.is_a(e.cls, "Alias");
}

Expected<EntryId> aliased_entry(Store &store, EntryId alias) {
  auto vals = store.values(alias, "Aliased Object Name");
  if (!vals) return fail(vals.status());
  for (const StoredValue &sv : *vals) {
    if (sv.value.texts.empty()) continue;
    auto dn = parse_dn(sv.value.texts[0]);
    if (!dn) continue;
    return store.find(*dn);
  }
  return fail(ERR_NO_SUCH_ENTRY);
}

namespace {

/* Follows `id` while it is an alias. */
NWDSCCODE follow(const Op &op, EntryId &id, int &hops) {
  for (;;) {
    auto e = op.store->entry(id);
    if (!e) return e.status();
    if (!is_alias(*op.schema, *e)) return 0;
    if (++hops > kMaxAliasHops) return ERR_ALIAS_OF_AN_ALIAS;
    auto target = aliased_entry(*op.store, id);
    if (!target) return target.status();
    id = *target;
  }
}

} // namespace

NWDSCCODE find_dn(const Op &op, const Dn &dn, Leaf leaf, EntryId &id) {
  Store &store = *op.store;
  const bool deref = (op.ctx.flags & DCV_DEREF_ALIASES) != 0;
  auto found = store.find(dn);
  int hops = 0;
  if (found) {
    id = *found;
    if (NWDSCCODE st = check_browse(op, id)) return st;
    if (!deref || leaf != Leaf::follow) return 0;
    if (NWDSCCODE st = follow(op, id, hops)) return st;
    return id == *found ? 0 : check_browse(op, id);
  }
  if (found.status() != ERR_NO_SUCH_ENTRY || !deref) return found.status();
  /* Walked from [Root] down, an alias among the containers is followed. */
  EntryId cur = store.root_id();
  for (size_t i = dn.depth(); i-- > 0;) {
    if (NWDSCCODE st = follow(op, cur, hops)) return st;
    auto next = store.child(cur, dn.rdns[i]);
    if (!next) return next.status();
    cur = *next;
  }
  if (leaf == Leaf::follow)
    if (NWDSCCODE st = follow(op, cur, hops)) return st;
  if (NWDSCCODE st = check_browse(op, cur)) return st;
  id = cur;
  return 0;
}

NWDSCCODE find_name(const Op &op, const char *name, Leaf leaf, EntryId &id) {
  auto dn = resolve(op, name);
  if (!dn) return dn.status();
  return find_dn(op, *dn, leaf, id);
}

} // namespace nwc
