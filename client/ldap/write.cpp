/*
 * ldap/write.cpp - NWDSAddObject, NWDSModifyObject, NWDSRemoveObject,
 * NWDSModifyRDN, NWDSModifyDN and NWDSMoveObject on the LDAP backend.
 *
 * An add or modify sent in several buffers (`more` set) is gathered in an
 * iteration of DSV_ADD_ENTRY / DSV_MODIFY_ENTRY and sent as one request
 * when the call without `more` comes (the modify itself: modify.cpp).  An
 * add gives the entry its RDN's values besides those asked for, as the
 * embedded store does, and checks what its classes ask before sending
 * (check_classes below).
 *
 * Renames: a new RDN whose one type was only inferred takes the old RDN's
 * type; NWDSMoveObject and NWDSModifyDN into another parent send the new
 * superior; NWDSMoveObject always removes the old RDN's values.  [Root]
 * cannot be renamed, moved or removed (ERR_INVALID_REQUEST).  Entries whose
 * DN values name a renamed entry are left to the server (many servers do
 * not rewrite them).
 */
#include <ldap.h>

#include <map>

#include "entries.h"
#include "iteration.h"
#include "ldap/backend.h"
#include "ldap/groups.h"
#include "ldap/mapping.h"
#include "ldap/requests.h"

namespace nwc::ldap {

namespace {

struct PendingRequest : IterationState {
  std::vector<RequestAttr> attrs;
};

} // namespace

LDAPMod **Mods::finish() {
  mods_.clear();
  list_.clear();
  for (Entry &e : entries_) {
    e.bv.clear();
    e.ptrs.clear();
    for (std::string &v : e.values) e.bv.push_back(berval{v.size(), v.data()});
    for (berval &b : e.bv) e.ptrs.push_back(&b);
    e.ptrs.push_back(nullptr);
    LDAPMod m{};
    m.mod_op = e.op | LDAP_MOD_BVALUES;
    m.mod_type = e.type.data();
    m.mod_bvalues = e.values.empty() && e.op != LDAP_MOD_ADD ? nullptr : e.ptrs.data();
    mods_.push_back(m);
  }
  for (LDAPMod &m : mods_) list_.push_back(&m);
  list_.push_back(nullptr);
  return list_.data();
}

NWDSCCODE multi_part(NWDSContextHandle context, nint32 *iterationHandle, bool more, pBuf_T buf, nuint32 verb,
                     const std::function<NWDSCCODE(const std::vector<RequestAttr> &)> &apply) {
  if (!context_is_live(context)) return ERR_BAD_CONTEXT;
  std::vector<RequestAttr> attrs;
  if (NWDSCCODE st = request_attrs(buf, verb, attrs)) return st;
  if (iterationHandle != nullptr && *iterationHandle != NO_MORE_ITERATIONS) {
    std::unique_ptr<IterationState> state;
    if (NWDSCCODE st = take_iteration(verb, context, *iterationHandle, state)) return st;
    auto *earlier = dynamic_cast<PendingRequest *>(state.get());
    if (earlier == nullptr) return ERR_INVALID_ITERATION;
    earlier->attrs.insert(earlier->attrs.end(), std::make_move_iterator(attrs.begin()),
                          std::make_move_iterator(attrs.end()));
    attrs = std::move(earlier->attrs);
  }
  if (more) {
    if (iterationHandle == nullptr) return ERR_NULL_POINTER;
    auto pending = std::make_unique<PendingRequest>();
    pending->attrs = std::move(attrs);
    return open_iteration(verb, context, std::move(pending), *iterationHandle);
  }
  NWDSCCODE st = apply(attrs);
  if (iterationHandle != nullptr) *iterationHandle = NO_MORE_ITERATIONS;
  return st;
}

NWDSCCODE texts_of(const RequestAttr &a, std::vector<std::string> &out) {
  for (const Value &v : a.values) {
    auto t = value_to_ldap(v);
    if (!t) return t.status();
    out.push_back(std::move(*t));
  }
  return 0;
}

int exchange(LDAP *ld, int timeout, const std::function<int(int *)> &send) {
  int msgid = -1;
  if (int rc = send(&msgid)) return rc;
  LDAPMessage *res = nullptr;
  if (int rc = await(ld, msgid, timeout, &res)) return rc;
  return result_code(ld, res, true);
}

namespace {

using AddAttrs = std::map<std::string, std::pair<std::string, std::vector<std::string>>>; /* folded -> name, values */

/* What the entry's classes ask of it, checked before anything is sent (the
   server's objectClassViolation does not tell which rule was broken): every
   mandatory attribute of the classes and their super classes has a value
   (ERR_MISSING_MANDATORY); an RDN attribute that no class allows is
   allowed through the auxiliary extensibleObject (an Alias named by CN); a
   Group without a Member gets the stand-in member (groups.h). */
NWDSCCODE check_classes(const Schema &schema, const Rdn &rdn, AddAttrs &by_attr, std::vector<std::string> &order) {
  std::vector<std::string> &classes = by_attr["objectclass"].second;
  std::vector<std::string> known;
  bool group = false;
  for (const std::string &c : classes) {
    if (schema.class_def(class_from_ldap(c)) != nullptr) known.push_back(class_from_ldap(c));
    group = group || is_group_class(schema, c);
  }
  auto values_of = [&](const std::string &dir_name) -> std::vector<std::string> * {
    auto it = by_attr.find(fold_case(attr_to_ldap(dir_name)));
    return it == by_attr.end() ? nullptr : &it->second.second;
  };
  if (auto *members = values_of(attr_from_ldap(kMemberAttr))) {
    for (const std::string &m : *members)
      if (m.empty()) return ERR_SYNTAX_VIOLATION; /* [Root] is no member */
  }
  if (group) {
    auto [it, fresh] = by_attr.try_emplace(kMemberAttr, kMemberAttr, std::vector<std::string>{});
    if (fresh) order.push_back(it->first);
    if (it->second.second.empty()) it->second.second.push_back("");
  }
  for (const std::string &cls : known)
    for (const std::string &m : schema.mandatory(cls)) {
      const std::vector<std::string> *v = values_of(m);
      if (v == nullptr || v->empty()) return ERR_MISSING_MANDATORY;
    }
  if (known.empty() || schema.class_def("extensibleObject") == nullptr) return 0;
  for (const Ava &ava : rdn.avas) {
    bool allowed = false;
    for (const std::string &cls : known) allowed = allowed || schema.allows(cls, attr_from_ldap(attr_to_ldap(ava.type)));
    if (!allowed) {
      classes.push_back("extensibleObject");
      break;
    }
  }
  return 0;
}

NWDSCCODE apply_add(LOp &op, const char *name, const std::vector<RequestAttr> &attrs) {
  Dn dn;
  std::string ldn;
  if (NWDSCCODE st = resolve_entry(op, name, dn, ldn)) return st;
  AddAttrs by_attr;
  std::vector<std::string> order;
  for (const RequestAttr &a : attrs) {
    const std::string lname = attr_to_ldap(a.name);
    auto [it, fresh] = by_attr.try_emplace(fold_case(lname), lname, std::vector<std::string>{});
    if (fresh) order.push_back(it->first);
    if (NWDSCCODE st = texts_of(a, it->second.second)) return st;
  }
  if (by_attr.find("objectclass") == by_attr.end()) return ERR_MISSING_MANDATORY;
  for (const Ava &ava : dn.rdns.front().avas) {
    const std::string lname = attr_to_ldap(ava.type);
    auto [it, fresh] = by_attr.try_emplace(fold_case(lname), lname, std::vector<std::string>{});
    if (fresh) order.push_back(it->first);
    bool held = false;
    for (const std::string &v : it->second.second) held = held || ci_equal(v, ava.value);
    if (!held) it->second.second.push_back(ava.value);
  }
  if (NWDSCCODE st = check_classes(*op.schema, dn.rdns.front(), by_attr, order)) return st;
  Mods mods;
  for (const std::string &k : order) mods.add(LDAP_MOD_ADD, by_attr[k].first, by_attr[k].second);
  LDAPMod **list = mods.finish();
  return run(op, [&](LDAP *ld) {
    return exchange(ld, op.s.timeout, [&](int *id) { return ldap_add_ext(ld, ldn.c_str(), list, nullptr, nullptr, id); });
  }, false);
}

/* A name that must be one RDN; an inferred single type becomes `old`'s. */
NWDSCCODE new_rdn(const char *text, const Rdn &old, Rdn &out) {
  auto dn = parse_dn(text);
  if (!dn) return dn.status();
  if (dn->depth() != 1) return ERR_INVALID_RDN;
  out = dn->rdns.front();
  if (out.avas.size() == 1 && out.avas[0].inferred && !old.avas.empty()) out.avas[0].type = old.avas[0].type;
  return 0;
}

NWDSCCODE rename(LOp &op, const std::string &ldn, const Rdn &rdn, const std::string *superior, bool delete_old) {
  Dn one;
  one.rdns.push_back(rdn);
  const std::string lrdn = dn_to_ldap(one);
  return run(op, [&](LDAP *ld) {
    return exchange(ld, op.s.timeout, [&](int *id) {
      return ldap_rename(ld, ldn.c_str(), lrdn.c_str(), superior ? superior->c_str() : nullptr, delete_old ? 1 : 0,
                         nullptr, nullptr, id);
    });
  }, false);
}

} // namespace

NWDSCCODE add_object(NWDSContextHandle context, const nstr8 *objectName, nint32 *iterationHandle, nbool8 more,
                     pBuf_T objectInfo) {
  return multi_part(context, iterationHandle, more != 0, objectInfo, DSV_ADD_ENTRY,
                    [&](const std::vector<RequestAttr> &attrs) -> NWDSCCODE {
                      LOp op;
                      if (NWDSCCODE st = begin(context, op)) return st;
                      return apply_add(op, objectName, attrs);
                    });
}

NWDSCCODE modify_object(NWDSContextHandle context, const nstr8 *objectName, nint32 *iterationHandle,
                        nbool8 more, pBuf_T changes) {
  return multi_part(context, iterationHandle, more != 0, changes, DSV_MODIFY_ENTRY,
                    [&](const std::vector<RequestAttr> &attrs) -> NWDSCCODE {
                      LOp op;
                      if (NWDSCCODE st = begin(context, op)) return st;
                      return apply_modify(op, objectName, attrs);
                    });
}

NWDSCCODE remove_object(NWDSContextHandle context, const nstr8 *object) {
  LOp op;
  if (NWDSCCODE st = begin(context, op)) return st;
  Dn dn;
  std::string ldn;
  if (NWDSCCODE st = resolve_entry(op, object, dn, ldn)) return st;
  return run(op, [&](LDAP *ld) {
    return exchange(ld, op.s.timeout, [&](int *id) { return ldap_delete_ext(ld, ldn.c_str(), nullptr, nullptr, id); });
  }, false);
}

NWDSCCODE modify_rdn(NWDSContextHandle context, const nstr8 *objectName, const nstr8 *newDN, nbool8 deleteOldRDN) {
  LOp op;
  if (NWDSCCODE st = begin(context, op)) return st;
  Dn dn;
  std::string ldn;
  if (NWDSCCODE st = resolve_entry(op, objectName, dn, ldn)) return st;
  Rdn rdn;
  if (NWDSCCODE st = new_rdn(newDN, dn.rdns.front(), rdn)) return st;
  return rename(op, ldn, rdn, nullptr, deleteOldRDN != 0);
}

NWDSCCODE modify_dn(NWDSContextHandle context, const nstr8 *objectName, const nstr8 *newDN, nbool8 deleteOldRDN) {
  LOp op;
  if (NWDSCCODE st = begin(context, op)) return st;
  Dn dn, to;
  std::string ldn, lto;
  if (NWDSCCODE st = resolve(op, objectName, dn, ldn)) return st;
  if (NWDSCCODE st = resolve(op, newDN, to, lto)) return st;
  if (dn.is_root() || to.is_root()) return ERR_INVALID_REQUEST;
  const std::string parent = dn_to_ldap(to.parent());
  const bool moves = !same_dn(dn.parent(), to.parent());
  return rename(op, ldn, to.rdns.front(), moves ? &parent : nullptr, deleteOldRDN != 0);
}

NWDSCCODE move_object(NWDSContextHandle context, const nstr8 *objectName, const nstr8 *destParentDN,
                      const nstr8 *destRDN) {
  LOp op;
  if (NWDSCCODE st = begin(context, op)) return st;
  Dn dn, parent;
  std::string ldn, lparent;
  if (NWDSCCODE st = resolve(op, objectName, dn, ldn)) return st;
  if (NWDSCCODE st = resolve(op, destParentDN, parent, lparent)) return st;
  if (dn.is_root()) return ERR_INVALID_REQUEST;
  if (is_below(parent, dn) || same_dn(parent, dn)) return ERR_INVALID_REQUEST;
  Rdn rdn;
  if (NWDSCCODE st = new_rdn(destRDN, dn.rdns.front(), rdn)) return st;
  return rename(op, ldn, rdn, &lparent, true);
}

} // namespace nwc::ldap
