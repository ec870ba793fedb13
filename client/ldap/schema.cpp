/*
 * ldap/schema.cpp - reading the server's subschema into a Schema, and the
 * syntax and value conversions (rules in schema.h).
 *
 * Invariant: a server's Schema, once read, is the one every later call of
 * the process sees for it (definitions do not change under a script).
 */
#include "ldap/schema.h"

#include <ldap.h>
#include <ldap_schema.h>

#include <cstring>
#include <ctime>
#include <map>
#include <mutex>

#include "ldap/fetch.h"
#include "ldap/mapping.h"
#include "names/names.h"

namespace nwc::ldap {

namespace {

constexpr const char *kSyntaxPrefix = "1.3.6.1.4.1.1466.115.121.1.";

uint32_t syntax_of_oid(const char *oid, const char *equality) {
  if (oid == nullptr) return SYN_CI_STRING;
  const size_t n = std::strlen(kSyntaxPrefix);
  if (std::strncmp(oid, kSyntaxPrefix, n) != 0) return SYN_CI_STRING;
  const int id = std::atoi(oid + n);
  const bool exact = equality != nullptr && strncasecmp(equality, "caseExact", 9) == 0;
  switch (id) {
  case 15: case 26: return exact ? SYN_CE_STRING : SYN_CI_STRING;
  case 44: return SYN_PR_STRING;
  case 36: return SYN_NU_STRING;
  case 12: return SYN_DIST_NAME;
  case 27: return SYN_INTEGER;
  case 7: return SYN_BOOLEAN;
  case 50: return SYN_TEL_NUMBER;
  case 22: return SYN_FAX_NUMBER;
  case 41: return SYN_PO_ADDRESS;
  case 24: return SYN_TIME;
  case 40: case 4: case 5: case 8: case 9: case 10: case 23: case 28: return SYN_OCTET_STRING; /* audio, fax, ... */
  default: return SYN_CI_STRING;
  }
}

bool is_string(uint32_t syn) {
  return syn == SYN_CI_STRING || syn == SYN_CE_STRING || syn == SYN_PR_STRING || syn == SYN_NU_STRING ||
         syn == SYN_TEL_NUMBER || syn == SYN_CLASS_NAME || syn == SYN_DIST_NAME;
}

std::shared_ptr<const Schema> build(const RawEntry &sub) {
  std::vector<LDAPAttributeType *> types;
  std::map<std::string, LDAPAttributeType *> by_name; /* folded names and OIDs */
  if (const RawAttr *a = sub.find("attributeTypes")) {
    for (const std::string &text : a->values) {
      int code = 0;
      const char *err = nullptr;
      LDAPAttributeType *at = ldap_str2attributetype(text.c_str(), &code, &err, LDAP_SCHEMA_ALLOW_ALL);
      if (at == nullptr) continue;
      types.push_back(at);
      by_name.emplace(fold_case(at->at_oid), at);
      for (char **n = at->at_names; n != nullptr && *n != nullptr; ++n) by_name.emplace(fold_case(*n), at);
    }
  }
  std::vector<AttrDef> attrs;
  for (LDAPAttributeType *at : types) {
    if (at->at_names == nullptr || at->at_names[0] == nullptr) continue;
    /* The syntax and equality rule may come from the super types. */
    const char *syntax = at->at_syntax_oid;
    const char *equality = at->at_equality_oid;
    const char *ordering = at->at_ordering_oid;
    LDAPAttributeType *up = at;
    for (int depth = 0; (syntax == nullptr || equality == nullptr || ordering == nullptr) &&
                        up->at_sup_oid != nullptr && depth < 16;
         ++depth) {
      auto it = by_name.find(fold_case(up->at_sup_oid));
      if (it == by_name.end()) break;
      up = it->second;
      if (syntax == nullptr) syntax = up->at_syntax_oid;
      if (equality == nullptr) equality = up->at_equality_oid;
      if (ordering == nullptr) ordering = up->at_ordering_oid;
    }
    AttrDef d;
    d.name = attr_from_ldap(at->at_names[0]);
    d.syntax = strcasecmp(at->at_names[0], "objectClass") == 0 ? SYN_CLASS_NAME : syntax_of_oid(syntax, equality);
    d.ordered = ordering != nullptr;
    if (at->at_single_value) d.flags |= DS_SINGLE_VALUED_ATTR;
    if (at->at_no_user_mod) d.flags |= DS_READ_ONLY_ATTR;
    if (at->at_usage != 0) d.flags |= DS_HIDDEN_ATTR;
    if (is_string(d.syntax)) d.flags |= DS_STRING_ATTR;
    attrs.push_back(std::move(d));
  }
  auto attr_name = [&](const char *oid_or_name) {
    auto it = by_name.find(fold_case(oid_or_name));
    if (it != by_name.end() && it->second->at_names && it->second->at_names[0])
      return attr_from_ldap(it->second->at_names[0]);
    return attr_from_ldap(oid_or_name);
  };
  std::vector<ClassDef> classes;
  if (const RawAttr *a = sub.find("objectClasses")) {
    for (const std::string &text : a->values) {
      int code = 0;
      const char *err = nullptr;
      LDAPObjectClass *oc = ldap_str2objectclass(text.c_str(), &code, &err, LDAP_SCHEMA_ALLOW_ALL);
      if (oc == nullptr) continue;
      if (oc->oc_names != nullptr && oc->oc_names[0] != nullptr) {
        ClassDef c;
        c.name = class_from_ldap(oc->oc_names[0]);
        if (oc->oc_kind == 1) c.flags |= DS_EFFECTIVE_CLASS;
        if (is_container_class(oc->oc_names[0])) c.flags |= DS_CONTAINER_CLASS;
        for (char **s = oc->oc_sup_oids; s != nullptr && *s != nullptr; ++s)
          c.super_classes.push_back(class_from_ldap(*s));
        for (char **m = oc->oc_at_oids_must; m != nullptr && *m != nullptr; ++m) c.mandatory.push_back(attr_name(*m));
        for (char **m = oc->oc_at_oids_may; m != nullptr && *m != nullptr; ++m) c.optional.push_back(attr_name(*m));
        classes.push_back(std::move(c));
      }
      ldap_objectclass_free(oc);
    }
  }
  for (LDAPAttributeType *at : types) ldap_attributetype_free(at);
  return std::make_shared<const Schema>(std::move(attrs), std::move(classes));
}

struct Cache {
  std::mutex lock;
  std::map<std::string, std::shared_ptr<const Schema>> by_server;
};
Cache &cache() {
  static Cache *c = new Cache(); /* never destroyed: callers may run at exit */
  return *c;
}

std::string digits(long v, int width) {
  std::string s = std::to_string(v);
  while (static_cast<int>(s.size()) < width) s.insert(s.begin(), '0');
  return s;
}

} // namespace

NWDSCCODE server_schema(NWDSContextHandle context, const Settings &s, std::shared_ptr<const Schema> &out) {
  {
    std::lock_guard<std::mutex> g(cache().lock);
    auto it = cache().by_server.find(s.server);
    if (it != cache().by_server.end()) {
      out = it->second;
      return 0;
    }
  }
  std::shared_ptr<Session> session;
  if (NWDSCCODE st = session_of(context, s, session)) return st;
  std::vector<RawEntry> found;
  int rc = session->run(s, [&](LDAP *ld) {
    found.clear();
    std::vector<RawEntry> root;
    Query q;
    q.scope = LDAP_SCOPE_BASE;
    q.attrs = {"subschemaSubentry"};
    int r = fetch(ld, s, q, root);
    if (r != LDAP_SUCCESS) return r;
    std::string dn = "cn=Subschema";
    if (!root.empty())
      if (const RawAttr *a = root[0].find("subschemaSubentry"); a && !a->values.empty()) dn = a->values[0];
    Query sq;
    sq.base = dn;
    sq.scope = LDAP_SCOPE_BASE;
    sq.filter = "(objectClass=subschema)";
    sq.attrs = {"attributeTypes", "objectClasses"};
    return fetch(ld, s, sq, found);
  }, true);
  if (rc != LDAP_SUCCESS) return ldap_status(rc);
  if (found.empty()) return ERR_NO_SUCH_ENTRY;
  auto schema = build(found[0]);
  std::lock_guard<std::mutex> g(cache().lock);
  out = cache().by_server.emplace(s.server, std::move(schema)).first->second;
  return 0;
}

uint32_t syntax_of_ldap(const Schema &schema, std::string_view ldap_attr) {
  if (const AttrDef *d = schema.attribute(attr_from_ldap(ldap_attr))) return d->syntax;
  return SYN_CI_STRING;
}

Value value_from_ldap(uint32_t syntax, std::string_view text) {
  const std::string t(text);
  switch (syntax) {
  case SYN_DIST_NAME: {
    auto full = full_name_from_ldap(t);
    return Value::text(SYN_DIST_NAME, full ? *full : t);
  }
  case SYN_CLASS_NAME: return Value::text(SYN_CLASS_NAME, class_from_ldap(t));
  case SYN_BOOLEAN: return Value::integer(SYN_BOOLEAN, strcasecmp(t.c_str(), "TRUE") == 0 ? 1 : 0);
  case SYN_INTEGER: case SYN_COUNTER: case SYN_INTERVAL:
    return Value::integer(syntax, static_cast<int32_t>(std::strtoll(t.c_str(), nullptr, 10)));
  case SYN_TIME: {
    std::tm tm{};
    if (t.size() >= 14 && std::sscanf(t.c_str(), "%4d%2d%2d%2d%2d%2d", &tm.tm_year, &tm.tm_mon, &tm.tm_mday,
                                      &tm.tm_hour, &tm.tm_min, &tm.tm_sec) == 6) {
      tm.tm_year -= 1900;
      tm.tm_mon -= 1;
      return Value::integer(SYN_TIME, static_cast<int32_t>(static_cast<uint32_t>(timegm(&tm))));
    }
    return Value::integer(SYN_TIME, 0);
  }
  case SYN_PO_ADDRESS: {
    Value v;
    v.syntax = SYN_PO_ADDRESS;
    std::string line;
    for (size_t i = 0; i <= t.size(); ++i) {
      if (i == t.size() || t[i] == '$') {
        if (v.texts.size() < 6) v.texts.push_back(line);
        line.clear();
      } else if (t[i] == '\\' && i + 2 < t.size()) {
        line += static_cast<char>(std::strtol(t.substr(i + 1, 2).c_str(), nullptr, 16));
        i += 2;
      } else {
        line += t[i];
      }
    }
    while (v.texts.size() < 6) v.texts.emplace_back();
    return v;
  }
  case SYN_FAX_NUMBER: {
    Value v;
    v.syntax = SYN_FAX_NUMBER;
    v.texts.push_back(t.substr(0, t.find('$')));
    v.nums.push_back(0);
    v.blobs.emplace_back();
    return v;
  }
  case SYN_OCTET_STRING: return Value::bytes(SYN_OCTET_STRING, t);
  case SYN_CE_STRING: case SYN_CI_STRING: case SYN_PR_STRING: case SYN_NU_STRING: case SYN_TEL_NUMBER:
    return Value::text(syntax, t);
  default: return Value::text(SYN_CI_STRING, t);
  }
}

Expected<std::string> value_to_ldap(const Value &v) {
  switch (v.syntax) {
  case SYN_DIST_NAME: {
    if (v.texts.empty()) return fail(ERR_SYNTAX_VIOLATION);
    auto dn = parse_dn(v.texts[0]);
    if (!dn) return fail(ERR_SYNTAX_VIOLATION);
    return dn_to_ldap(*dn);
  }
  case SYN_CLASS_NAME:
    if (v.texts.empty()) return fail(ERR_SYNTAX_VIOLATION);
    return class_to_ldap(v.texts[0]);
  case SYN_BOOLEAN:
    if (v.nums.empty()) return fail(ERR_SYNTAX_VIOLATION);
    return std::string(v.nums[0] ? "TRUE" : "FALSE");
  case SYN_INTEGER: case SYN_INTERVAL:
    if (v.nums.empty()) return fail(ERR_SYNTAX_VIOLATION);
    return std::to_string(static_cast<int32_t>(v.nums[0]));
  case SYN_COUNTER:
    if (v.nums.empty()) return fail(ERR_SYNTAX_VIOLATION);
    return std::to_string(v.nums[0]);
  case SYN_TIME: {
    if (v.nums.empty()) return fail(ERR_SYNTAX_VIOLATION);
    const time_t secs = static_cast<time_t>(v.nums[0]);
    std::tm tm{};
    gmtime_r(&secs, &tm);
    return digits(tm.tm_year + 1900, 4) + digits(tm.tm_mon + 1, 2) + digits(tm.tm_mday, 2) +
           digits(tm.tm_hour, 2) + digits(tm.tm_min, 2) + digits(tm.tm_sec, 2) + "Z";
  }
  case SYN_PO_ADDRESS: {
    size_t last = v.texts.size();
    while (last > 1 && v.texts[last - 1].empty()) --last;
    std::string out;
    for (size_t i = 0; i < last; ++i) {
      if (i) out += '$';
      for (char c : v.texts[i]) {
        if (c == '$') out += "\\24";
        else if (c == '\\') out += "\\5C";
        else out += c;
      }
    }
    return out;
  }
  case SYN_FAX_NUMBER:
    if (v.texts.empty()) return fail(ERR_SYNTAX_VIOLATION);
    return v.texts[0];
  case SYN_OCTET_STRING:
    if (v.blobs.empty()) return fail(ERR_SYNTAX_VIOLATION);
    return v.blobs[0];
  case SYN_CE_STRING: case SYN_CI_STRING: case SYN_PR_STRING: case SYN_NU_STRING: case SYN_TEL_NUMBER:
  case SYN_EMAIL_ADDRESS:
    if (v.texts.empty()) return fail(ERR_SYNTAX_VIOLATION);
    return v.texts[0];
  default: return fail(ERR_ILLEGAL_ATTRIBUTE); /* no LDAP form: ACLs, net addresses, streams... */
  }
}

} // namespace nwc::ldap
