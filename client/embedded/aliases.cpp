/*
 * aliases.cpp - finding entries by name through aliases (aliases.h).
 */
#include "aliases.h"

#include "rights.h"

namespace nwc {

bool is_alias(const Schema &schema, const Entry &e) {
  return (e.flags & DS_ALIAS_ENTRY) != 0 || schema.is_a(e.cls, "Alias");
}

bool is_alias(const Schema &schema, const EntryRow &e) {
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

EntryRow row_of(const Entry &e) { return EntryRow{e.id, e.parent, e.rdn, e.cls, e.flags, {}}; }

/* Follows `row` while it is an alias. */
NWDSCCODE follow(const Op &op, EntryRow &row, int &hops) {
  while (is_alias(*op.schema, row)) {
    if (++hops > kMaxAliasHops) return ERR_ALIAS_OF_AN_ALIAS;
    auto target = aliased_entry(*op.store, row.id);
    if (!target) return target.status();
    auto e = op.store->entry(*target);
    if (!e) return e.status();
    row = row_of(*e);
  }
  return 0;
}

} // namespace

NWDSCCODE locate_dn(const Op &op, const Dn &dn, Leaf leaf, EntryRow &row) {
  Store &store = *op.store;
  const bool deref = (op.ctx.flags & DCV_DEREF_ALIASES) != 0;
  auto found = store.locate(dn);
  int hops = 0;
  if (found) {
    row = std::move(*found);
    if (!deref || leaf != Leaf::follow || !is_alias(*op.schema, row)) return 0;
    /* The alias itself must be one the identity may browse. */
    if (NWDSCCODE st = check_browse(op, row.id, row.parent)) return st;
    return follow(op, row, hops);
  }
  if (found.status() != ERR_NO_SUCH_ENTRY || !deref) return found.status();
  /* Walked from [Root] down, an alias among the containers is followed. */
  auto root = store.entry(store.root_id());
  if (!root) return root.status();
  row = row_of(*root);
  for (size_t i = dn.depth(); i-- > 0;) {
    if (NWDSCCODE st = follow(op, row, hops)) return st;
    auto next = store.child(row.id, dn.rdns[i]);
    if (!next) return next.status();
    auto e = store.entry(*next);
    if (!e) return e.status();
    row = row_of(*e);
  }
  if (leaf == Leaf::follow)
    if (NWDSCCODE st = follow(op, row, hops)) return st;
  return 0;
}

NWDSCCODE find_dn(const Op &op, const Dn &dn, Leaf leaf, EntryRow &row) {
  if (NWDSCCODE st = locate_dn(op, dn, leaf, row)) return st;
  return check_browse(op, row.id, row.parent);
}

NWDSCCODE find_dn(const Op &op, const Dn &dn, Leaf leaf, EntryId &id) {
  EntryRow row;
  if (NWDSCCODE st = find_dn(op, dn, leaf, row)) return st;
  id = row.id;
  return 0;
}

NWDSCCODE find_name(const Op &op, const char *name, Leaf leaf, EntryId &id) {
  auto dn = resolve(op, name);
  if (!dn) return dn.status();
  return find_dn(op, *dn, leaf, id);
}

} // namespace nwc
