/*
 * ldap/mapping.cpp - the one table of directory <-> LDAP names, the DN
 * conversions and the result code map (rules in mapping.h).
 *
 * Invariants: every row maps both ways and no name appears twice in a
 * column (lookups are case-insensitive); a name in neither column is
 * returned unchanged.
 */
#include "ldap/mapping.h"

#include <ldap.h>

#include <cstring>

#include "ldap/session.h"

namespace nwc::ldap {

namespace {

struct Row {
  const char *nds;
  const char *ldap;
};

/* Attribute names: the directory's base schema against X.500 / LDAP. */
constexpr Row kAttrs[] = {
    {"CN", "cn"},
    {"Surname", "sn"},
    {"Given Name", "givenName"},
    {"Full Name", "displayName"},
    {"Initials", "initials"},
    {"Generational Qualifier", "generationQualifier"},
    {"Title", "title"},
    {"Description", "description"},
    {"Internet EMail Address", "mail"},
    {"Telephone Number", "telephoneNumber"},
    {"Facsimile Telephone Number", "facsimileTelephoneNumber"},
    {"Postal Address", "postalAddress"},
    {"Postal Code", "postalCode"},
    {"Postal Office Box", "postOfficeBox"},
    {"Physical Delivery Office Name", "physicalDeliveryOfficeName"},
    {"L", "l"},
    {"S", "st"},
    {"SA", "street"},
    {"O", "o"},
    {"OU", "ou"},
    {"C", "c"},
    {"Object Class", "objectClass"},
    {"Member", "member"},
    {"Owner", "owner"},
    {"See Also", "seeAlso"},
    {"Role Occupant", "roleOccupant"},
    {"Aliased Object Name", "aliasedObjectName"},
    {"Uniqueid", "uid"},
    {"Language", "preferredLanguage"},
    {"Employee ID", "employeeNumber"},
    {"Password", "userPassword"},
    {"Serial Number", "serialNumber"},
};

/* Class names. */
constexpr Row kClasses[] = {
    {"Top", "top"},
    {"Alias", "alias"},
    {"Country", "country"},
    {"Locality", "locality"},
    {"Organization", "organization"},
    {"Organizational Unit", "organizationalUnit"},
    {"Person", "person"},
    {"Organizational Person", "organizationalPerson"},
    {"User", "inetOrgPerson"},
    {"Group", "groupOfNames"},
    {"Organizational Role", "organizationalRole"},
    {"Device", "device"},
};

/* The LDAP classes whose entries are containers. */
constexpr const char *kContainers[] = {"organization", "organizationalUnit", "country",
                                       "locality",     "domain",             "dcObject"};

bool same(std::string_view a, std::string_view b) {
  return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

template <size_t N> std::string lookup(const Row (&rows)[N], std::string_view name, bool to_ldap) {
  for (const Row &r : rows)
    if (same(to_ldap ? r.nds : r.ldap, name)) return to_ldap ? r.ldap : r.nds;
  return std::string(name);
}

std::string hex2(unsigned char c) {
  static const char *digits = "0123456789abcdef";
  return std::string{'\\', digits[c >> 4], digits[c & 15]};
}

} // namespace

std::string attr_to_ldap(std::string_view nds) { return lookup(kAttrs, nds, true); }
std::string attr_from_ldap(std::string_view ldap) { return lookup(kAttrs, ldap, false); }
std::string class_to_ldap(std::string_view nds) { return lookup(kClasses, nds, true); }
std::string class_from_ldap(std::string_view ldap) { return lookup(kClasses, ldap, false); }

bool is_container_class(std::string_view ldap_class) {
  for (const char *c : kContainers)
    if (same(c, ldap_class)) return true;
  return false;
}

std::string escape_dn_value(std::string_view v) {
  std::string out;
  for (size_t i = 0; i < v.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(v[i]);
    const bool edge = (i == 0 && (c == ' ' || c == '#')) || (i + 1 == v.size() && c == ' ');
    if (c < 0x20 || c == 0x7f) {
      out += hex2(c);
    } else if (edge || std::strchr(",+\"\\<>;=", c) != nullptr) {
      out += '\\';
      out += static_cast<char>(c);
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

std::string escape_filter_value(std::string_view v) {
  std::string out;
  for (char ch : v) {
    const unsigned char c = static_cast<unsigned char>(ch);
    if (c == '*' || c == '(' || c == ')' || c == '\\' || c == 0) out += hex2(c);
    else out += ch;
  }
  return out;
}

std::string dn_to_ldap(const Dn &dn) {
  std::string out;
  for (const Rdn &rdn : dn.rdns) {
    if (!out.empty()) out += ',';
    bool first = true;
    for (const Ava &a : rdn.avas) {
      if (!first) out += '+';
      first = false;
      out += attr_to_ldap(a.type);
      out += '=';
      out += escape_dn_value(a.value);
    }
  }
  return out;
}

Expected<Dn> dn_from_ldap(std::string_view ldap_dn) {
  Dn dn;
  if (ldap_dn.empty()) return dn;
  std::string text(ldap_dn);
  LDAPDN parsed = nullptr;
  if (ldap_str2dn(text.c_str(), &parsed, LDAP_DN_FORMAT_LDAPV3) != LDAP_SUCCESS || parsed == nullptr)
    return fail(ERR_INVALID_OBJECT_NAME);
  for (int i = 0; parsed[i] != nullptr; ++i) {
    Rdn rdn;
    for (int j = 0; parsed[i][j] != nullptr; ++j) {
      const LDAPAVA *ava = parsed[i][j];
      Ava a;
      a.type = canonical_type(attr_from_ldap(std::string_view(ava->la_attr.bv_val, ava->la_attr.bv_len)));
      a.value.assign(ava->la_value.bv_val, ava->la_value.bv_len);
      rdn.avas.push_back(std::move(a));
    }
    dn.rdns.push_back(std::move(rdn));
  }
  ldap_dnfree(parsed);
  return dn;
}

Expected<std::string> full_name_from_ldap(std::string_view ldap_dn) {
  auto dn = dn_from_ldap(ldap_dn);
  if (!dn) return fail(dn.status());
  return format_dn(*dn, false);
}

bool is_connection_failure(int rc) {
  return rc == LDAP_SERVER_DOWN || rc == LDAP_CONNECT_ERROR || rc == LDAP_TIMEOUT;
}

NWDSCCODE ldap_status(int rc) {
  switch (rc) {
  case LDAP_SUCCESS: return 0;
  case LDAP_NO_SUCH_OBJECT: return ERR_NO_SUCH_ENTRY;
  case LDAP_ALREADY_EXISTS: return ERR_ENTRY_ALREADY_EXISTS;
  case LDAP_INSUFFICIENT_ACCESS: return ERR_NO_ACCESS;
  case LDAP_STRONG_AUTH_REQUIRED:
  case LDAP_CONFIDENTIALITY_REQUIRED: return ERR_NO_ACCESS;
  case LDAP_INVALID_CREDENTIALS:
  case LDAP_INAPPROPRIATE_AUTH:
  case LDAP_AUTH_UNKNOWN: return ERR_FAILED_AUTHENTICATION;
  case LDAP_OBJECT_CLASS_VIOLATION:
  case LDAP_NO_OBJECT_CLASS_MODS: return ERR_OBJECT_CLASS_VIOLATION;
  case LDAP_INVALID_SYNTAX:
  case LDAP_CONSTRAINT_VIOLATION: return ERR_SYNTAX_VIOLATION;
  case LDAP_NOT_ALLOWED_ON_NONLEAF: return ERR_ENTRY_IS_NOT_LEAF;
  case LDAP_NOT_ALLOWED_ON_RDN: return ERR_CANT_REMOVE_NAMING_VALUE;
  case LDAP_TYPE_OR_VALUE_EXISTS: return ERR_DUPLICATE_VALUE;
  case LDAP_NO_SUCH_ATTRIBUTE:
  case LDAP_UNDEFINED_TYPE: return ERR_NO_SUCH_ATTRIBUTE;
  case LDAP_INAPPROPRIATE_MATCHING: return ERR_INVALID_COMPARISON;
  case LDAP_NAMING_VIOLATION: return ERR_ILLEGAL_DS_NAME;
  case LDAP_INVALID_DN_SYNTAX: return ERR_INVALID_OBJECT_NAME;
  case LDAP_FILTER_ERROR: return ERR_INVALID_FILTER_SYNTAX;
  case LDAP_ALIAS_PROBLEM:
  case LDAP_ALIAS_DEREF_PROBLEM: return ERR_NO_SUCH_ENTRY;
  case LDAP_BUSY: return ERR_DS_LOCKED;
  case LDAP_UNAVAILABLE: return ERR_UNREACHABLE_SERVER;
  case LDAP_UNWILLING_TO_PERFORM: return ERR_INVALID_REQUEST;
  case LDAP_SIZELIMIT_EXCEEDED:
  case LDAP_ADMINLIMIT_EXCEEDED: return ERR_INSUFFICIENT_BUFFER;
  case LDAP_NO_MEMORY: return ERR_NOT_ENOUGH_MEMORY;
  case LDAP_SERVER_DOWN:
  case LDAP_CONNECT_ERROR:
  case LDAP_TIMEOUT:
  case LDAP_TIMELIMIT_EXCEEDED: return ERR_NO_CONNECTION;
  case kTlsHandshakeFailed: return ERR_INVALID_CERTIFICATE;
  default: return ERR_REMOTE_FAILURE;
  }
}

} // namespace nwc::ldap
