/*
 * ldap/schema.h - the server's subschema seen as the directory's schema,
 * and attribute values both ways.
 *
 * The subschema entry the root DSE names (subschemaSubentry) is read once
 * per server and process; its attribute types and object classes become an
 * nwc::Schema under the directory's names (mapping.h), so that the schema
 * reads, NWDSGetSyntaxID and the results' syntax ids come from the server.
 *
 * Syntaxes (an attribute type's SYNTAX, or its super type's):
 *   Directory String, IA5 String      SYN_CI_STRING (SYN_CE_STRING under a
 *                                     case-exact equality rule)
 *   Printable String                  SYN_PR_STRING
 *   Numeric String                    SYN_NU_STRING
 *   DN                                SYN_DIST_NAME
 *   Integer                           SYN_INTEGER
 *   Boolean                           SYN_BOOLEAN
 *   Telephone Number                  SYN_TEL_NUMBER
 *   Facsimile Telephone Number        SYN_FAX_NUMBER
 *   Postal Address                    SYN_PO_ADDRESS
 *   Generalized Time                  SYN_TIME
 *   Octet String, Binary, JPEG, certificates   SYN_OCTET_STRING
 *   OID                               SYN_CLASS_NAME for objectClass,
 *                                     SYN_CI_STRING otherwise
 *   anything else                     SYN_CI_STRING
 * SINGLE-VALUE gives DS_SINGLE_VALUED_ATTR, NO-USER-MODIFICATION
 * DS_READ_ONLY_ATTR, an operational usage DS_HIDDEN_ATTR (never part of an
 * all-attributes read).  A structural class is effective; the container
 * classes of mapping.h are containers; LDAP has no containment or naming
 * lists, so those lists are empty.
 *
 * Values: the server's text forms to Value records and back, by syntax:
 * names as full typed directory names (a DN that does not parse stays the
 * text it was), Booleans TRUE/FALSE, integers in decimal, times as
 * Generalized Time in UTC, postal addresses as `$`-separated lines (`\24`
 * and `\5C` escaped), fax numbers as their number, class names through
 * the class table, octet strings as they are.
 */
#ifndef NWC_LDAP_SCHEMA_H
#define NWC_LDAP_SCHEMA_H

#include <memory>
#include <string>
#include <string_view>

#include "ldap/session.h"
#include "schema/schema.h"

namespace nwc::ldap {

/* The server's schema (read on first use through the context's session). */
NWDSCCODE server_schema(NWDSContextHandle context, const Settings &s,
                        std::shared_ptr<const Schema> &out);

/* The syntax of an attribute named as the server names it (SYN_CI_STRING
   for one the schema does not know). */
uint32_t syntax_of_ldap(const Schema &schema, std::string_view ldap_attr);

/* A value of the server's as a Value of `syntax`. */
Value value_from_ldap(uint32_t syntax, std::string_view text);
/* A Value as the server's text form: ERR_SYNTAX_VIOLATION for a name that
   does not parse, ERR_ILLEGAL_ATTRIBUTE for a syntax an LDAP server has no
   form of (Object ACL, Net Address, Path, Stream, ...): such values are
   refused, never dropped, so an add or modify holding one changes nothing. */
Expected<std::string> value_to_ldap(const Value &v);

} // namespace nwc::ldap

#endif /* NWC_LDAP_SCHEMA_H */
