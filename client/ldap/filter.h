/*
 * ldap/filter.h - search filters (a filter buffer, or a filter written as
 * text) as LDAP filter strings; rules in filter.cpp.
 */
#ifndef NWC_LDAP_FILTER_H
#define NWC_LDAP_FILTER_H

#include <string>
#include <string_view>

#include "ldap/backend.h"

namespace nwc::ldap {

/* The LDAP filter of a DSV_SEARCH_FILTER buffer ("(objectClass=*)" for a
   null or empty one); ERR_BAD_VERB for a buffer of another verb. */
NWDSCCODE filter_to_ldap(const LOp &op, pBuf_T filter, std::string &out);
/* The LDAP filter of a filter written as text. */
NWDSCCODE filter_text_to_ldap(const LOp &op, std::string_view text, std::string &out);

} // namespace nwc::ldap

#endif /* NWC_LDAP_FILTER_H */
