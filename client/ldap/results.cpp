/*
 * ldap/results.cpp - result objects and attributes from LDAP entries, and
 * the buffer fillers (see results.h).
 */
#include "ldap/results.h"

#include <strings.h>

#include <algorithm>

#include "items.h"
#include "ldap/groups.h"
#include "ldap/mapping.h"
#include "ldap/schema.h"
#include "value_info.h"

namespace nwc::ldap {

namespace {

constexpr const char *kBookkeeping[] = {"structuralObjectClass", "hasSubordinates", "modifyTimestamp"};

bool same(std::string_view a, std::string_view b) {
  return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

bool listed(const std::vector<std::string> &names, std::string_view n) {
  for (const std::string &x : names)
    if (same(x, n)) return true;
  return false;
}

bool is_bookkeeping(std::string_view n) {
  for (const char *b : kBookkeeping)
    if (same(b, n)) return true;
  return false;
}

} // namespace

std::vector<std::string> query_attrs(bool all, const std::vector<std::string> &ldap_names) {
  std::vector<std::string> out;
  if (all) out.push_back("*");
  else out = ldap_names;
  if (out.empty()) out.push_back("1.1"); /* no attributes, only the object */
  for (const char *b : kBookkeeping) out.push_back(b);
  out.push_back("objectClass");
  return out;
}

bool names_only_request(bool all, const std::vector<std::string> &ldap_names) {
  if (all) return false;
  for (const std::string &n : ldap_names)
    if (is_member_attr(n)) return false;
  return true;
}

size_t AttrOut::value_cost(size_t k) const {
  return info.empty() ? nwc::value_cost(values[k]) : ResultWriter::value_info_cost(values[k]);
}

bool describe(const Schema &schema, const RawEntry &e, bool all, const std::vector<std::string> &wanted,
              bool with_attrs, nuint32 info_type, ObjOut &o) {
  const bool with_values = info_type != DS_ATTRIBUTE_NAMES;
  const bool with_info = info_type == DS_VALUE_INFO || info_type == DS_ABBREVIATED_VALUE;
  auto full = full_name_from_ldap(e.dn);
  if (!full) return false;
  o.full = *full;
  std::string structural;
  if (const RawAttr *a = e.find("structuralObjectClass"); a && !a->values.empty()) structural = a->values[0];
  const RawAttr *classes = e.find("objectClass");
  if (structural.empty() && classes && !classes->values.empty()) structural = classes->values.back();
  o.base_class = class_from_ldap(structural);
  if (is_container_class(structural)) o.flags |= DS_CONTAINER_ENTRY;
  if (classes)
    for (const std::string &c : classes->values)
      if (same(c, "alias")) o.flags |= DS_ALIAS_ENTRY;
  if (const RawAttr *a = e.find("hasSubordinates"); a && !a->values.empty())
    o.subordinates = same(a->values[0], "TRUE") ? 1 : 0;
  if (const RawAttr *a = e.find("modifyTimestamp"); a && !a->values.empty()) {
    Value t = value_from_ldap(SYN_TIME, a->values[0]);
    o.mtime = t.nums.empty() ? 0 : t.nums[0];
  }
  o.cost = name_cost(o.full) + 4 * kNumberCost + name_cost(o.base_class) + kNumberCost;
  if (!with_attrs) return true;
  Rdn rdn;
  if (with_info) {
    if (auto dn = dn_from_ldap(e.dn); dn && !dn->rdns.empty()) rdn = dn->rdns.front();
  }
  for (const RawAttr &a : e.attrs) {
    if (same(a.name, "userPassword")) continue; /* passwords never leave the server */
    const bool asked = listed(wanted, a.name);
    if (all ? is_bookkeeping(a.name) : !asked) continue;
    if (all && same(a.name, "objectClass") == false && !asked) {
      const AttrDef *d = schema.attribute(attr_from_ldap(a.name));
      if (d != nullptr && (d->flags & DS_HIDDEN_ATTR)) continue;
    }
    /* A Group's stand-in member is no member (groups.h). */
    const bool member = is_member_attr(a.name);
    if (member && std::all_of(a.values.begin(), a.values.end(), [](const std::string &v) { return v.empty(); }))
      continue;
    AttrOut out;
    out.name = attr_from_ldap(a.name);
    out.syntax = syntax_of_ldap(schema, a.name);
    o.cost += ResultWriter::attr_cost(out.name);
    if (with_values)
      for (const std::string &v : a.values) {
        if (member && v.empty()) continue;
        const Value value = value_from_ldap(out.syntax, v);
        out.values.push_back(encode_value(value));
        if (with_info) {
          ValueFlags f;
          f.flags = kValuePresent;
          const std::string key = equality_key(value);
          for (const Ava &ava : rdn.avas)
            if (ci_equal(ava.type, out.name) && equality_key(Value::text(out.syntax, ava.value)) == key)
              f.flags |= kValueNaming;
          if (same(a.name, "objectClass") && same(v, structural)) f.flags |= kValueBaseClass;
          if (info_type == DS_VALUE_INFO) f.seconds = o.mtime;
          out.info.push_back(f);
        }
        o.cost += out.value_cost(out.values.size() - 1);
      }
    o.attrs.push_back(std::move(out));
  }
  return true;
}

NWDSCCODE fill_objects(PendingObjects &p, Buffer &buf, nuint32 verb, bool &more) {
  more = false;
  ResultWriter w(buf, verb);
  const size_t count_at = w.next_index();
  if (!w.add_count(tag::OBJECT_COUNT, 0)) return ERR_INSUFFICIENT_BUFFER;
  nuint32 given = 0;
  while (p.next < p.objs.size()) {
    const ObjOut &o = p.objs[p.next];
    if (!w.fits(o.cost)) {
      more = true;
      break;
    }
    const nuint32 nattrs = static_cast<nuint32>(o.attrs.size());
    bool ok = w.add_object(o.full, nattrs, o.flags, o.subordinates, o.mtime, o.base_class) &&
              w.add_count(tag::ATTR_COUNT, nattrs);
    for (const AttrOut &a : o.attrs) {
      if (!ok) break;
      ok = w.add_attr(a.name, p.names_only ? 0 : static_cast<nuint32>(a.values.size()), a.syntax);
      for (size_t k = 0; k < a.values.size(); ++k)
        ok = ok && (a.info.empty() ? w.add_value(a.values[k], a.syntax)
                                   : w.add_value_info(a.values[k], a.syntax, a.info[k].flags, a.info[k].seconds, 0));
    }
    if (!ok) return ERR_SYSTEM_ERROR; /* the cost above is what these charge */
    ++given;
    ++p.next;
  }
  w.set_number(count_at, given);
  if (more && given == 0) return ERR_INSUFFICIENT_BUFFER;
  return 0;
}

bool fill_attrs(PendingAttrs &r, Buffer &buf) {
  ResultWriter w(buf, DSV_READ);
  const size_t count_at = w.next_index();
  if (!w.add_count(tag::ATTR_COUNT, 0)) return false;
  nuint32 given = 0;
  while (r.next < r.attrs.size()) {
    AttrOut &a = r.attrs[r.next];
    if (r.names_only || a.values.empty()) {
      if (!w.add_attr(a.name, 0, a.syntax)) break;
      ++given;
      ++r.next;
      continue;
    }
    /* An attribute header goes in only with its first value. */
    if (!w.fits(ResultWriter::attr_cost(a.name) + a.value_cost(a.next))) break;
    const size_t attr_at = w.next_index();
    w.add_attr(a.name, 0, a.syntax);
    ++given;
    nuint32 n = 0;
    auto add = [&](size_t k) {
      return a.info.empty() ? w.add_value(a.values[k], a.syntax)
                            : w.add_value_info(a.values[k], a.syntax, a.info[k].flags, a.info[k].seconds, 0);
    };
    while (a.next < a.values.size() && add(a.next)) {
      ++a.next;
      ++n;
    }
    w.set_number(attr_at, n);
    if (a.next < a.values.size()) break;
    ++r.next;
  }
  w.set_number(count_at, given);
  return given > 0 || r.next >= r.attrs.size();
}

} // namespace nwc::ldap
