/*
 * rename.cpp - renaming and moving entries, and security equivalences
 * (rename.h).
 *
 * Renaming and moving are one operation on the store (Store::move_entry):
 * the entry keeps its id and values, a container keeps its whole subtree
 * below it, so every entry of the subtree is found under its new name at
 * once.  The new RDN's values are added to the entry; the old RDN's values
 * are removed when deleteOldRDN is set (NWDSMoveObject always removes them:
 * the destination RDN replaces the old one) and stay as ordinary values
 * otherwise.  A single-valued naming attribute cannot keep its old value
 * beside the new one, so it loses it either way.
 *
 * Names held as values (Member, Security Equals, ACL subjects, ...) follow
 * the entry and its subtree to the new name in the same transaction
 * (names_follow.h).
 *
 * The entry renamed or moved is the one the name gives, an alias itself
 * when the name ends at one; aliases among the containers of the name, and
 * a destination parent given through an alias, are dereferenced by the
 * context's flags (aliases.h).
 *
 * Rights (rights.h): renaming needs rename on the entry; moving needs rename
 * on the entry and add on the destination parent; adding or removing a
 * security equivalence needs write on the "Security Equals" of the object
 * made equal.  A missing right is ERR_NO_ACCESS and changes nothing.
 *
 * Status codes:
 *  - the entry, the destination parent or a security equivalence partner
 *    that does not exist: ERR_NO_SUCH_ENTRY;
 *  - renaming or moving [Root], or moving an entry below itself:
 *    ERR_INVALID_REQUEST;
 *  - a new RDN that is not one component (a name with several parts where
 *    an RDN is expected): ERR_INVALID_RDN;
 *  - an RDN attribute that does not name entries of the class:
 *    ERR_ILLEGAL_DS_NAME (a single inferred type takes the old RDN's type
 *    when that names the class, else the class's first naming attribute);
 *  - a destination parent that may not contain the entry's class:
 *    ERR_ILLEGAL_CONTAINMENT;
 *  - a sibling of that name already there: ERR_ENTRY_ALREADY_EXISTS;
 *  - adding an equivalence already in "Security Equals": ERR_DUPLICATE_VALUE;
 *    removing one that is not there: ERR_NO_SUCH_VALUE; a class that does
 *    not allow "Security Equals": ERR_ILLEGAL_ATTRIBUTE.
 */
#include "rename.h"

#include "aliases.h"
#include "entries.h"
#include "names_follow.h"
#include "rights.h"

namespace nwc {

namespace {

bool in_list(const std::vector<std::string> &list, std::string_view name) {
  for (const auto &n : list)
    if (ci_equal(n, name)) return true;
  return false;
}

/* Types the new RDN for the entry's class. */
NWDSCCODE type_rdn(const Schema &s, const Entry &e, const Rdn &old_rdn, Rdn &rdn) {
  const std::vector<std::string> naming = s.naming(e.cls);
  for (Ava &ava : rdn.avas) {
    if (ava.inferred && rdn.avas.size() == 1 && !naming.empty()) {
      std::string t = naming.front();
      if (old_rdn.avas.size() == 1 && in_list(naming, old_rdn.avas.front().type))
        t = old_rdn.avas.front().type;
      ava.type = canonical_type(t);
      ava.inferred = false;
      continue;
    }
    if (!in_list(naming, ava.type)) return ERR_ILLEGAL_DS_NAME;
  }
  return 0;
}

/* True when `rdn` holds the value `v` under `attr`. */
bool rdn_has(const Rdn &rdn, const AttrDef &attr, const Value &v) {
  for (const Ava &ava : rdn.avas)
    if (ci_equal(ava.type, attr.name) &&
        equality_key(Value::text(attr.syntax, ava.value)) == equality_key(v))
      return true;
  return false;
}

/* Gives the entry `id` the parent `parent` and the RDN `rdn` (not typed yet). */
NWDSCCODE relocate(Op &op, EntryId id, EntryId parent, Rdn rdn, bool delete_old) {
  const Schema &s = *op.schema;
  Store &st = *op.store;
  if (id == st.root_id()) return ERR_INVALID_REQUEST;
  auto e = st.entry(id);
  if (!e) return e.status();
  if (NWDSCCODE r = check_entry(op, id, DS_ENTRY_RENAME)) return r;
  if (parent != e->parent) {
    if (NWDSCCODE r = check_browse(op, parent)) return r;
    if (NWDSCCODE r = check_entry(op, parent, DS_ENTRY_ADD)) return r;
  }
  auto old_rdn = parse_rdn(e->rdn);
  if (!old_rdn) return ERR_INCONSISTENT_DATABASE;
  if (NWDSCCODE r = type_rdn(s, *e, *old_rdn, rdn)) return r;
  if (parent != e->parent) {
    for (EntryId cur = parent; cur != kNoEntry;) {
      if (cur == id) return ERR_INVALID_REQUEST;
      auto c = st.entry(cur);
      if (!c) return c.status();
      cur = c->parent;
    }
    auto pe = st.entry(parent);
    if (!pe) return pe.status();
    if (!s.may_contain(pe->cls, e->cls)) return ERR_ILLEGAL_CONTAINMENT;
  }
  if (auto sibling = st.child(parent, rdn); sibling && *sibling != id) return ERR_ENTRY_ALREADY_EXISTS;

  Transaction tx(st);
  if (tx.status()) return tx.status();
  auto old_dn = st.dn_of(id);
  if (!old_dn) return old_dn.status();
  auto kids = st.child_count(id);
  if (!kids) return kids.status();
  for (const Ava &ava : old_rdn->avas) {
    const AttrDef *a = s.attribute(ava.type);
    if (a == nullptr) return ERR_INCONSISTENT_DATABASE;
    const Value old = Value::text(a->syntax, ava.value);
    if (rdn_has(rdn, *a, old)) continue;
    if (!delete_old && !(a->flags & DS_SINGLE_VALUED_ATTR)) continue;
    if (Status r = st.remove_value(id, a->name, old); r != 0 && r != ERR_NO_SUCH_VALUE) return r;
  }
  if (Status r = st.move_entry(id, parent, rdn)) return r;
  auto new_dn = st.dn_of(id);
  if (!new_dn) return new_dn.status();
  if (NWDSCCODE r = follow_names(op, *old_dn, *new_dn, *kids > 0)) return r;
  return tx.commit();
}

/* A name that must be a single RDN. */
NWDSCCODE one_rdn(const char *text, Rdn &out) {
  auto dn = parse_dn(text);
  if (!dn) return dn.status();
  if (dn->depth() != 1) return ERR_INVALID_RDN;
  out = dn->rdns.front();
  return 0;
}

/* The entry's full name as a Distinguished Name value. */
NWDSCCODE dn_value(Store &st, EntryId id, Value &v) {
  auto dn = st.dn_of(id);
  if (!dn) return dn.status();
  v = Value::text(SYN_DIST_NAME, format_dn(*dn));
  return normalise_value(v);
}

constexpr const char *kSecurityEquals = "Security Equals";
constexpr const char *kEquivalentToMe = "Equivalent To Me";

NWDSCCODE security_equiv(NWDSContextHandle context, const char *from, const char *to, bool add) {
  std::lock_guard<std::recursive_mutex> g(directory_lock());
  Op op;
  if (NWDSCCODE r = begin_op(context, op)) return r;
  EntryId from_id = kNoEntry, to_id = kNoEntry;
  if (NWDSCCODE r = find_entry(op, from, from_id)) return r;
  if (NWDSCCODE r = find_entry(op, to, to_id)) return r;
  Store &st = *op.store;
  Value from_v, to_v;
  if (NWDSCCODE r = dn_value(st, from_id, from_v)) return r;
  if (NWDSCCODE r = dn_value(st, to_id, to_v)) return r;
  if (NWDSCCODE r = check_attr(op, from_id, kSecurityEquals, DS_ATTR_WRITE)) return r;
  Transaction tx(st);
  if (tx.status()) return tx.status();
  auto has = st.has_value(from_id, kSecurityEquals, to_v);
  if (!has) return has.status();
  auto back = st.has_value(to_id, kEquivalentToMe, from_v);
  if (!back) return back.status();
  if (add) {
    if (*has) return ERR_DUPLICATE_VALUE;
    auto from_e = st.entry(from_id);
    if (!from_e) return from_e.status();
    auto to_e = st.entry(to_id);
    if (!to_e) return to_e.status();
    if (!op.schema->allows(from_e->cls, kSecurityEquals)) return ERR_ILLEGAL_ATTRIBUTE;
    if (!op.schema->allows(to_e->cls, kEquivalentToMe)) return ERR_ILLEGAL_ATTRIBUTE;
    if (Status r = st.add_value(from_id, kSecurityEquals, to_v)) return r;
    if (!*back)
      if (Status r = st.add_value(to_id, kEquivalentToMe, from_v)) return r;
  } else {
    if (!*has) return ERR_NO_SUCH_VALUE;
    if (Status r = st.remove_value(from_id, kSecurityEquals, to_v)) return r;
    if (*back)
      if (Status r = st.remove_value(to_id, kEquivalentToMe, from_v)) return r;
  }
  return tx.commit();
}

} // namespace

NWDSCCODE modify_rdn(NWDSContextHandle context, const nstr8 *objectName, const nstr8 *newDN,
                     nbool8 deleteOldRDN) {
  std::lock_guard<std::recursive_mutex> g(directory_lock());
  Op op;
  if (NWDSCCODE r = begin_op(context, op)) return r;
  EntryId id = kNoEntry;
  if (NWDSCCODE r = find_name(op, objectName, Leaf::itself, id)) return r;
  Rdn rdn;
  if (NWDSCCODE r = one_rdn(newDN, rdn)) return r;
  auto e = op.store->entry(id);
  if (!e) return e.status();
  return relocate(op, id, e->parent, std::move(rdn), deleteOldRDN != 0);
}

NWDSCCODE modify_dn(NWDSContextHandle context, const nstr8 *objectName, const nstr8 *newDN,
                    nbool8 deleteOldRDN) {
  std::lock_guard<std::recursive_mutex> g(directory_lock());
  Op op;
  if (NWDSCCODE r = begin_op(context, op)) return r;
  EntryId id = kNoEntry;
  if (NWDSCCODE r = find_name(op, objectName, Leaf::itself, id)) return r;
  auto dn = resolve(op, newDN);
  if (!dn) return dn.status();
  if (dn->is_root()) return ERR_INVALID_REQUEST;
  EntryId parent = kNoEntry;
  if (NWDSCCODE r = find_dn(op, dn->parent(), Leaf::follow, parent)) return r;
  return relocate(op, id, parent, dn->rdns.front(), deleteOldRDN != 0);
}

NWDSCCODE move_object(NWDSContextHandle context, const nstr8 *objectName,
                      const nstr8 *destParentDN, const nstr8 *destRDN) {
  std::lock_guard<std::recursive_mutex> g(directory_lock());
  Op op;
  if (NWDSCCODE r = begin_op(context, op)) return r;
  EntryId id = kNoEntry, parent = kNoEntry;
  if (NWDSCCODE r = find_name(op, objectName, Leaf::itself, id)) return r;
  if (NWDSCCODE r = find_entry(op, destParentDN, parent)) return r;
  Rdn rdn;
  if (NWDSCCODE r = one_rdn(destRDN, rdn)) return r;
  return relocate(op, id, parent, std::move(rdn), true);
}

NWDSCCODE add_security_equiv(NWDSContextHandle context, const nstr8 *equalFrom,
                             const nstr8 *equalTo) {
  return security_equiv(context, equalFrom, equalTo, true);
}

NWDSCCODE remove_security_equiv(NWDSContextHandle context, const nstr8 *equalFrom,
                                const nstr8 *equalTo) {
  return security_equiv(context, equalFrom, equalTo, false);
}

} // namespace nwc
