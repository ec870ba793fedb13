/*
 * ldap/write.cpp - NWDSAddObject, NWDSModifyObject, NWDSRemoveObject,
 * NWDSModifyRDN, NWDSModifyDN and NWDSMoveObject on the LDAP backend.
 *
 * An add or modify sent in several buffers (`more` set) is gathered in an
 * iteration of DSV_ADD_ENTRY / DSV_MODIFY_ENTRY and sent as one request
 * when the call without `more` comes.  An add gives the entry its RDN's
 * values besides those asked for, as the embedded store does.  A modify
 * reads the attributes it changes first, so that the change types keep
 * their meaning (ADD_ATTRIBUTE on a present attribute is
 * ERR_ATTRIBUTE_ALREADY_EXISTS, REMOVE_ATTRIBUTE and ADDITIONAL_VALUE on an
 * absent one ERR_NO_SUCH_ATTRIBUTE, OVERWRITE_VALUE replaces a
 * single-valued attribute and adds to a multi-valued one unless held,
 * CLEAR_ATTRIBUTE and CLEAR_VALUE remove only what is there), then sends
 * every change as one modify request: the server applies all of it or
 * nothing.  A value to remove that the server does not hold is
 * ERR_NO_SUCH_VALUE.
 *
 * Renames: a new RDN whose one type was only inferred takes the old RDN's
 * type; NWDSMoveObject and NWDSModifyDN into another parent send the new
 * superior; NWDSMoveObject always removes the old RDN's values.  [Root]
 * cannot be renamed, moved or removed (ERR_INVALID_REQUEST).  Entries whose
 * DN values name a renamed entry are left to the server (many servers do
 * not rewrite them).
 */
#include <ldap.h>

#include <deque>
#include <map>

#include "entries.h"
#include "iteration.h"
#include "ldap/backend.h"
#include "ldap/fetch.h"
#include "ldap/mapping.h"

namespace nwc::ldap {

namespace {

struct PendingRequest : IterationState {
  std::vector<RequestAttr> attrs;
};

/* The modifications of one request, kept alive for libldap. */
class Mods {
public:
  void add(int op, const std::string &type, const std::vector<std::string> &values) {
    Entry &e = entries_.emplace_back();
    e.type = type;
    e.values = values;
    e.op = op;
  }
  bool empty() const { return entries_.empty(); }
  LDAPMod **finish() {
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

private:
  struct Entry {
    std::string type;
    std::vector<std::string> values;
    int op = 0;
    std::vector<berval> bv;
    std::vector<berval *> ptrs;
  };
  std::deque<Entry> entries_;
  std::deque<LDAPMod> mods_;
  std::vector<LDAPMod *> list_;
};

/* Gathers a request across calls; `apply` runs on the last one. */
template <class Apply>
NWDSCCODE multi_part(NWDSContextHandle context, nint32 *iterationHandle, bool more, pBuf_T buf, nuint32 verb,
                     Apply apply) {
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

/* Sends one request made by `send` (which gives its message id). */
int exchange(LDAP *ld, int timeout, const std::function<int(int *)> &send) {
  int msgid = -1;
  if (int rc = send(&msgid)) return rc;
  LDAPMessage *res = nullptr;
  if (int rc = await(ld, msgid, timeout, &res)) return rc;
  return result_code(ld, res, true);
}

NWDSCCODE apply_add(LOp &op, const char *name, const std::vector<RequestAttr> &attrs) {
  Dn dn;
  std::string ldn;
  if (NWDSCCODE st = resolve(op, name, dn, ldn)) return st;
  if (dn.is_root()) return ERR_INVALID_REQUEST;
  std::map<std::string, std::pair<std::string, std::vector<std::string>>> by_attr; /* folded -> name, values */
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
  Mods mods;
  for (const std::string &k : order) mods.add(LDAP_MOD_ADD, by_attr[k].first, by_attr[k].second);
  LDAPMod **list = mods.finish();
  return run(op, [&](LDAP *ld) {
    return exchange(ld, op.s.timeout, [&](int *id) { return ldap_add_ext(ld, ldn.c_str(), list, nullptr, nullptr, id); });
  }, false);
}

NWDSCCODE apply_modify(LOp &op, const char *name, const std::vector<RequestAttr> &attrs) {
  Dn dn;
  std::string ldn;
  if (NWDSCCODE st = resolve(op, name, dn, ldn)) return st;
  if (dn.is_root()) return ERR_INVALID_REQUEST;
  /* What the entry holds of the attributes changed. */
  Query q;
  q.base = ldn;
  q.scope = LDAP_SCOPE_BASE;
  for (const RequestAttr &a : attrs) q.attrs.push_back(attr_to_ldap(a.name));
  std::vector<RawEntry> found;
  if (NWDSCCODE st = run(op, [&](LDAP *ld) {
        found.clear();
        return fetch(ld, op.s, q, found);
      }, true))
    return st;
  if (found.empty()) return ERR_NO_SUCH_ENTRY;
  std::map<std::string, std::vector<std::string>> held; /* folded name -> equality keys */
  for (const RawAttr &a : found[0].attrs) {
    const uint32_t syn = syntax_of_ldap(*op.schema, a.name);
    auto &keys = held[fold_case(attr_from_ldap(a.name))];
    for (const std::string &v : a.values) keys.push_back(equality_key(value_from_ldap(syn, v)));
  }
  Mods mods;
  bool removes_values = false;
  for (const RequestAttr &a : attrs) {
    const std::string lname = attr_to_ldap(a.name);
    const std::string key = fold_case(attr_from_ldap(lname));
    const AttrDef *def = op.schema->attribute(attr_from_ldap(lname));
    const uint32_t syn = def ? def->syntax : SYN_CI_STRING;
    std::vector<std::string> texts;
    if (NWDSCCODE st = texts_of(a, texts)) return st;
    auto it = held.find(key);
    const bool present = it != held.end() && !it->second.empty();
    auto holds = [&](const std::string &text) {
      if (it == held.end()) return false;
      const std::string k = equality_key(value_from_ldap(syn, text));
      for (const std::string &h : it->second)
        if (h == k) return true;
      return false;
    };
    std::vector<std::string> chosen;
    switch (a.change) {
    case DS_ADD_ATTRIBUTE:
      if (present) return ERR_ATTRIBUTE_ALREADY_EXISTS;
      if (!texts.empty()) mods.add(LDAP_MOD_ADD, lname, texts);
      break;
    case DS_REMOVE_ATTRIBUTE:
      if (!present) return ERR_NO_SUCH_ATTRIBUTE;
      mods.add(LDAP_MOD_DELETE, lname, {});
      break;
    case DS_ADDITIONAL_VALUE:
      if (!present) return ERR_NO_SUCH_ATTRIBUTE;
      [[fallthrough]];
    case DS_ADD_VALUE:
      if (!texts.empty()) mods.add(LDAP_MOD_ADD, lname, texts);
      break;
    case DS_REMOVE_VALUE:
      removes_values = true;
      if (!texts.empty()) mods.add(LDAP_MOD_DELETE, lname, texts);
      break;
    case DS_OVERWRITE_VALUE:
      if (def != nullptr && (def->flags & DS_SINGLE_VALUED_ATTR)) {
        mods.add(LDAP_MOD_REPLACE, lname, texts);
        break;
      }
      for (const std::string &t : texts)
        if (!holds(t)) chosen.push_back(t);
      if (!chosen.empty()) mods.add(LDAP_MOD_ADD, lname, chosen);
      break;
    case DS_CLEAR_ATTRIBUTE:
      if (present) mods.add(LDAP_MOD_DELETE, lname, {});
      break;
    case DS_CLEAR_VALUE:
      for (const std::string &t : texts)
        if (holds(t)) chosen.push_back(t);
      if (!chosen.empty()) mods.add(LDAP_MOD_DELETE, lname, chosen);
      break;
    default: return ERR_INVALID_REQUEST;
    }
    /* Later changes of the request see this one. */
    if (a.change == DS_REMOVE_ATTRIBUTE || a.change == DS_CLEAR_ATTRIBUTE) held.erase(key);
    else if (a.change == DS_ADD_ATTRIBUTE || a.change == DS_ADD_VALUE || a.change == DS_ADDITIONAL_VALUE ||
             a.change == DS_OVERWRITE_VALUE)
      for (const std::string &t : texts) held[key].push_back(equality_key(value_from_ldap(syn, t)));
  }
  if (mods.empty()) return 0;
  LDAPMod **list = mods.finish();
  NWDSCCODE st = run(op, [&](LDAP *ld) {
    return exchange(ld, op.s.timeout,
                    [&](int *id) { return ldap_modify_ext(ld, ldn.c_str(), list, nullptr, nullptr, id); });
  }, false);
  if (st == ERR_NO_SUCH_ATTRIBUTE && removes_values) return ERR_NO_SUCH_VALUE;
  return st;
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
  if (NWDSCCODE st = resolve(op, object, dn, ldn)) return st;
  if (dn.is_root()) return ERR_INVALID_REQUEST;
  return run(op, [&](LDAP *ld) {
    return exchange(ld, op.s.timeout, [&](int *id) { return ldap_delete_ext(ld, ldn.c_str(), nullptr, nullptr, id); });
  }, false);
}

NWDSCCODE modify_rdn(NWDSContextHandle context, const nstr8 *objectName, const nstr8 *newDN, nbool8 deleteOldRDN) {
  LOp op;
  if (NWDSCCODE st = begin(context, op)) return st;
  Dn dn;
  std::string ldn;
  if (NWDSCCODE st = resolve(op, objectName, dn, ldn)) return st;
  if (dn.is_root()) return ERR_INVALID_REQUEST;
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
