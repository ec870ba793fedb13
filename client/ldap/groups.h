/*
 * ldap/groups.h - Groups without members on an LDAP server.
 *
 * A directory Group may have no Member, but the server's groupOfNames must
 * hold at least one member value.  A Group is therefore given one stand-in
 * member, the empty DN, whenever it has no real member: added with a Group
 * that has none, removed in the same request that gives it a real member,
 * put back in the request that takes its last one away.  No entry is named
 * by the empty DN, so the stand-in never stands for anything.
 *
 * Invariants: the stand-in is never shown -- reads and searches leave it
 * out (a Member holding only it is no Member at all), a presence filter on
 * Member does not match it, a compare on Member of a Group holding only it
 * is ERR_NO_SUCH_ATTRIBUTE as for any attribute without values.
 */
#ifndef NWC_LDAP_GROUPS_H
#define NWC_LDAP_GROUPS_H

#include <strings.h>

#include <string>
#include <string_view>

#include "ldap/mapping.h"
#include "schema/schema.h"

namespace nwc::ldap {

inline constexpr const char *kMemberAttr = "member";

inline bool is_member_attr(std::string_view ldap_attr) {
  return ldap_attr.size() == 6 && strncasecmp(ldap_attr.data(), kMemberAttr, 6) == 0;
}
/* The stand-in member value. */
inline bool is_stand_in(std::string_view ldap_attr, std::string_view value) {
  return value.empty() && is_member_attr(ldap_attr);
}
/* True for groupOfNames and the classes below it. */
inline bool is_group_class(const Schema &schema, std::string_view ldap_class) {
  return schema.is_a(class_from_ldap(ldap_class), class_from_ldap("groupOfNames"));
}
/* The presence assertion for `ldap_attr`: a Member's skips the stand-in. */
inline std::string presence_filter(const std::string &ldap_attr) {
  if (is_member_attr(ldap_attr)) return "(&(" + ldap_attr + "=*)(!(" + ldap_attr + "=)))";
  return "(" + ldap_attr + "=*)";
}

} // namespace nwc::ldap

#endif /* NWC_LDAP_GROUPS_H */
