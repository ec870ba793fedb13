/*
 * ldap/modify.cpp - NWDSModifyObject's change types as one LDAP modify
 * request, which the server applies whole or not at all.
 *
 * The change types keep their meaning: ADD_ATTRIBUTE on a present
 * attribute is ERR_ATTRIBUTE_ALREADY_EXISTS, REMOVE_ATTRIBUTE and
 * ADDITIONAL_VALUE on an absent one ERR_NO_SUCH_ATTRIBUTE, OVERWRITE_VALUE
 * replaces a single-valued attribute and adds to a multi-valued one unless
 * held, CLEAR_ATTRIBUTE and CLEAR_VALUE remove only what is there, a value
 * to remove that the server does not hold is ERR_NO_SUCH_VALUE; later
 * changes of a request see the earlier ones.
 *
 * Most requests go out without reading the entry first: what a change
 * needs of the entry as it stands (an attribute present or absent) rides
 * with the request as an assertion (the LDAP assertion control), and the
 * server refuses the whole request when it does not hold.  The entry is
 * read first only when a change depends on the values held (OVERWRITE_VALUE
 * on a multi-valued attribute, CLEAR_VALUE, a second change depending on
 * what an earlier one of the same attribute left) or touches a Group's
 * Member (groups.h), and after an assertion the server found false -- the
 * request is then planned again on what was read, so the status is the
 * precise one.
 */
#include <map>

#include "ldap/fetch.h"
#include "ldap/groups.h"
#include "ldap/mapping.h"
#include "ldap/requests.h"

namespace nwc::ldap {

namespace {

/* What the entry holds of one attribute as far as the planning knows. */
struct Held {
  enum Kind { Unknown, Changed, Known } kind = Unknown; /* Changed: unknown, and changed by the request */
  std::vector<std::string> keys;                        /* Known: the values' equality keys */
  bool present() const { return kind == Known && !keys.empty(); }
};
using HeldMap = std::map<std::string, Held>; /* folded directory name -> */

/* What a read of the entry told about it besides its values. */
struct Found {
  bool group = false;    /* a groupOfNames */
  bool stand_in = false; /* holding the stand-in member */
};

struct Plan {
  Mods mods;
  std::vector<std::string> asserts; /* what the entry must match as it stands */
  bool removes_values = false;
  bool needs_read = false;
};

/* The request planned on `held`; `found` set when the entry was read (every
   attribute then starts Known). */
NWDSCCODE plan(const LOp &op, const std::vector<RequestAttr> &attrs, HeldMap held, const Found *found, Plan &p) {
  bool member_touched = false, member_cleared = false;
  for (const RequestAttr &a : attrs) {
    const std::string lname = attr_to_ldap(a.name);
    const std::string key = fold_case(attr_from_ldap(lname));
    const AttrDef *def = op.schema->attribute(attr_from_ldap(lname));
    const uint32_t syn = def ? def->syntax : SYN_CI_STRING;
    std::vector<std::string> texts;
    if (NWDSCCODE st = texts_of(a, texts)) return st;
    const bool member = is_member_attr(lname);
    if (member) {
      for (const std::string &t : texts)
        if (t.empty()) return ERR_SYNTAX_VIOLATION; /* [Root] is no member */
      if (found == nullptr) {
        p.needs_read = true; /* the stand-in comes and goes with what is held */
        return 0;
      }
      member_touched = true;
    }
    auto [it, fresh] = held.try_emplace(key);
    Held &h = it->second;
    if (fresh && found != nullptr) h.kind = Held::Known;
    auto key_of = [&](const std::string &t) { return equality_key(value_from_ldap(syn, t)); };
    auto holds = [&](const std::string &t) {
      const std::string k = key_of(t);
      for (const std::string &x : h.keys)
        if (x == k) return true;
      return false;
    };
    auto remember = [&](const std::vector<std::string> &ts) {
      for (const std::string &t : ts) h.keys.push_back(key_of(t));
    };
    auto forget = [&](const std::vector<std::string> &ts) {
      for (const std::string &t : ts) {
        const std::string k = key_of(t);
        for (auto x = h.keys.begin(); x != h.keys.end();)
          x = *x == k ? h.keys.erase(x) : x + 1;
      }
    };
    auto becomes = [&](Held::Kind k, const std::vector<std::string> &ts) {
      h.kind = k;
      h.keys.clear();
      remember(ts);
    };
    std::vector<std::string> chosen;
    switch (a.change) {
    case DS_ADD_ATTRIBUTE:
      if (h.kind == Held::Changed) return p.needs_read = true, 0;
      if (h.present()) return ERR_ATTRIBUTE_ALREADY_EXISTS;
      if (h.kind == Held::Unknown) p.asserts.push_back("(!" + presence_filter(lname) + ")");
      if (!texts.empty()) p.mods.add(LDAP_MOD_ADD, lname, texts);
      becomes(Held::Known, texts);
      break;
    case DS_REMOVE_ATTRIBUTE:
      /* An absent attribute: the server's noSuchAttribute says so. */
      if (h.kind == Held::Known && !h.present()) return ERR_NO_SUCH_ATTRIBUTE;
      p.mods.add(LDAP_MOD_DELETE, lname, {});
      member_cleared = member_cleared || member;
      becomes(Held::Known, {});
      break;
    case DS_ADDITIONAL_VALUE:
      if (h.kind == Held::Changed) return p.needs_read = true, 0;
      if (h.kind == Held::Known && !h.present()) return ERR_NO_SUCH_ATTRIBUTE;
      if (h.kind == Held::Unknown) p.asserts.push_back(presence_filter(lname));
      [[fallthrough]];
    case DS_ADD_VALUE:
      if (!texts.empty()) p.mods.add(LDAP_MOD_ADD, lname, texts);
      if (h.kind == Held::Known) remember(texts);
      else h.kind = Held::Changed;
      break;
    case DS_REMOVE_VALUE:
      p.removes_values = true;
      if (!texts.empty()) p.mods.add(LDAP_MOD_DELETE, lname, texts);
      if (h.kind == Held::Known) forget(texts);
      else h.kind = Held::Changed;
      break;
    case DS_OVERWRITE_VALUE:
      if (def != nullptr && (def->flags & DS_SINGLE_VALUED_ATTR)) {
        p.mods.add(LDAP_MOD_REPLACE, lname, texts);
        becomes(Held::Known, texts);
        break;
      }
      if (h.kind != Held::Known) return p.needs_read = true, 0;
      for (const std::string &t : texts)
        if (!holds(t)) chosen.push_back(t);
      if (!chosen.empty()) p.mods.add(LDAP_MOD_ADD, lname, chosen);
      remember(chosen);
      break;
    case DS_CLEAR_ATTRIBUTE:
      /* Not known to be there: a replace by nothing removes it if it is. */
      if (h.kind != Held::Known) p.mods.add(LDAP_MOD_REPLACE, lname, {});
      else if (h.present()) p.mods.add(LDAP_MOD_DELETE, lname, {});
      member_cleared = member_cleared || (member && h.present());
      becomes(Held::Known, {});
      break;
    case DS_CLEAR_VALUE:
      if (h.kind != Held::Known) return p.needs_read = true, 0;
      for (const std::string &t : texts)
        if (holds(t)) chosen.push_back(t);
      if (!chosen.empty()) p.mods.add(LDAP_MOD_DELETE, lname, chosen);
      forget(chosen);
      break;
    default: return ERR_INVALID_REQUEST;
    }
  }
  /* A Group's stand-in member: gone once it has a real one, back when the
     last one leaves. */
  if (found != nullptr && found->group && member_touched) {
    const bool none = !held[fold_case(attr_from_ldap(kMemberAttr))].present();
    if (found->stand_in && !none) p.mods.add_first(LDAP_MOD_DELETE, kMemberAttr, {""});
    if (none && (!found->stand_in || member_cleared)) p.mods.add(LDAP_MOD_ADD, kMemberAttr, {""});
  }
  /* An assertion with nothing to send would go unchecked. */
  if (p.mods.empty() && !p.asserts.empty()) p.needs_read = true;
  return 0;
}

/* Reads the attributes the request changes, as held now. */
NWDSCCODE read_held(LOp &op, const std::string &ldn, const std::vector<RequestAttr> &attrs, HeldMap &held,
                    Found &found) {
  Query q;
  q.base = ldn;
  q.scope = LDAP_SCOPE_BASE;
  for (const RequestAttr &a : attrs) q.attrs.push_back(attr_to_ldap(a.name));
  q.attrs.push_back("objectClass");
  std::vector<RawEntry> entries;
  if (NWDSCCODE st = search(op, q, entries)) return st;
  if (entries.empty()) return ERR_NO_SUCH_ENTRY;
  for (const RawAttr &a : entries[0].attrs) {
    if (strcasecmp(a.name.c_str(), "objectClass") == 0)
      for (const std::string &c : a.values) found.group = found.group || is_group_class(*op.schema, c);
    const uint32_t syn = syntax_of_ldap(*op.schema, a.name);
    Held &h = held[fold_case(attr_from_ldap(a.name))];
    h.kind = Held::Known;
    for (const std::string &v : a.values) {
      if (is_stand_in(a.name, v)) {
        found.stand_in = true;
        continue;
      }
      h.keys.push_back(equality_key(value_from_ldap(syn, v)));
    }
  }
  return 0;
}

/* Sends the plan; the LDAP result code. */
int send(LOp &op, const std::string &ldn, Plan &p) {
  LDAPMod **list = p.mods.finish();
  std::string assertion;
  if (p.asserts.size() == 1) assertion = p.asserts[0];
  else if (!p.asserts.empty()) {
    assertion = "(&";
    for (const std::string &a : p.asserts) assertion += a;
    assertion += ")";
  }
  return op.session->run(op.s, [&](LDAP *ld) {
    LDAPControl *ctrl = nullptr;
    if (!assertion.empty())
      if (int rc = ldap_create_assertion_control(ld, assertion.data(), 1, &ctrl)) return rc;
    LDAPControl *ctrls[] = {ctrl, nullptr};
    int rc = exchange(ld, op.s.timeout, [&](int *id) {
      return ldap_modify_ext(ld, ldn.c_str(), list, ctrl ? ctrls : nullptr, nullptr, id);
    });
    if (ctrl != nullptr) ldap_control_free(ctrl);
    return rc;
  }, false);
}

NWDSCCODE status_of(int rc, const Plan &p) {
  NWDSCCODE st = ldap_status(rc);
  if (st == ERR_NO_SUCH_ATTRIBUTE && p.removes_values) return ERR_NO_SUCH_VALUE;
  return st;
}

} // namespace

NWDSCCODE apply_modify(LOp &op, const char *name, const std::vector<RequestAttr> &attrs) {
  Dn dn;
  std::string ldn;
  if (NWDSCCODE st = resolve_entry(op, name, dn, ldn)) return st;
  {
    Plan blind;
    if (NWDSCCODE st = plan(op, attrs, {}, nullptr, blind)) return st;
    if (!blind.needs_read) {
      if (blind.mods.empty()) return 0;
      const int rc = send(op, ldn, blind);
      /* An assertion found false, or a server without the control: the
         entry is read and the request planned on what it holds. */
      if (rc != LDAP_ASSERTION_FAILED && rc != LDAP_UNAVAILABLE_CRITICAL_EXTENSION) return status_of(rc, blind);
    }
  }
  HeldMap held;
  Found found;
  if (NWDSCCODE st = read_held(op, ldn, attrs, held, found)) return st;
  Plan p;
  if (NWDSCCODE st = plan(op, attrs, std::move(held), &found, p)) return st;
  if (p.mods.empty()) return 0;
  return status_of(send(op, ldn, p), p);
}

} // namespace nwc::ldap
