/*
 * ldap/mapping.h - how the directory's names, attribute and class names and
 * statuses map to an LDAP server's, written down once (mapping.cpp holds
 * the table).
 *
 * Names: a directory name "CN=Admin.O=Example" is the LDAP DN
 * "cn=Admin,o=Example": the RDNs in the same order (leaf first), each
 * attribute type mapped through the attribute table (CN<->cn, O<->o,
 * OU<->ou, C<->c, L<->l, S<->st, SA<->street; a type not in the table
 * passes through as written), values unescaped on one side and escaped by
 * that side's rules on the other (RFC 4514 for LDAP: `,+"\<>;=`, a leading
 * `#` or blank and a trailing blank; the directory's `.`, `=`, `+` and `\`).
 * [Root] is the server's root (the empty DN); the entries that scripts see
 * directly under [Root] are the base of the store URL.  A name given by a
 * caller is resolved through its context first, typeless parts typed by the
 * usual rules (names.h), so "Admin.Example" is cn=Admin,o=Example.
 *
 * Attribute and class names: the table gives the directory's base schema
 * names for their X.500 / LDAP counterparts; a name in neither column passes
 * through as the server spells it (both ways), matched without regard to
 * case.  Class names ride through the same table ("User" is inetOrgPerson).
 *
 * Result codes: ldap_status() maps an LDAP result code to the published
 * status (noSuchObject ERR_NO_SUCH_ENTRY, entryAlreadyExists
 * ERR_ENTRY_ALREADY_EXISTS, insufficientAccessRights ERR_NO_ACCESS,
 * invalidCredentials ERR_FAILED_AUTHENTICATION, objectClassViolation
 * ERR_OBJECT_CLASS_VIOLATION, invalidAttributeSyntax ERR_SYNTAX_VIOLATION,
 * notAllowedOnNonLeaf ERR_ENTRY_IS_NOT_LEAF, attributeOrValueExists
 * ERR_DUPLICATE_VALUE, busy ERR_DS_LOCKED, unavailable
 * ERR_UNREACHABLE_SERVER, a server down, unreachable or not answering in
 * time ERR_NO_CONNECTION, a failed TLS handshake ERR_INVALID_CERTIFICATE;
 * the full list is in mapping.cpp).  Nothing that
 * the server refused maps to 0.
 */
#ifndef NWC_LDAP_MAPPING_H
#define NWC_LDAP_MAPPING_H

#include <string>
#include <string_view>

#include "names/expected.h"
#include "names/names.h"
#include "nwclient.h"

namespace nwc::ldap {

/* Attribute names both ways ("Surname" <-> "sn"); unknown names unchanged. */
std::string attr_to_ldap(std::string_view nds);
std::string attr_from_ldap(std::string_view ldap);
/* Class names both ways ("User" <-> "inetOrgPerson"). */
std::string class_to_ldap(std::string_view nds);
std::string class_from_ldap(std::string_view ldap);
/* True for the LDAP classes whose entries hold others (organization, ...). */
bool is_container_class(std::string_view ldap_class);

/* A parsed directory name as an LDAP DN ("" for [Root]). */
std::string dn_to_ldap(const Dn &dn);
/* An LDAP DN as a directory name (typed, leaf first); ERR_INVALID_OBJECT_NAME
   when the server's text does not parse. */
Expected<Dn> dn_from_ldap(std::string_view ldap_dn);
/* The same, formatted in full typed form ("CN=Admin.O=Example"). */
Expected<std::string> full_name_from_ldap(std::string_view ldap_dn);
/* One value escaped for an LDAP DN, and for an LDAP filter. */
std::string escape_dn_value(std::string_view v);
std::string escape_filter_value(std::string_view v);

/* The published status for an LDAP result code (0 for LDAP_SUCCESS only). */
NWDSCCODE ldap_status(int rc);
/* True for the codes that mean the connection is gone or never answered. */
bool is_connection_failure(int rc);

} // namespace nwc::ldap

#endif /* NWC_LDAP_MAPPING_H */
