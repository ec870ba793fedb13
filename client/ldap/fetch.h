/*
 * ldap/fetch.h - one LDAP search, all of its result gathered: the entries
 * with their attributes as the server sent them.
 *
 * A search may ask for pages (the simple paged results control): the pages
 * are then fetched one after another on the same connection until the
 * server has none left, so a one-level search of a large container is not
 * cut by the server's size limit.  Every exchange waits at most the
 * settings' timeout.  Referrals and search references are left out.
 */
#ifndef NWC_LDAP_FETCH_H
#define NWC_LDAP_FETCH_H

#include <string>
#include <utility>
#include <vector>

#include "ldap/session.h"

namespace nwc::ldap {

struct RawAttr {
  std::string name; /* as the server spells it */
  std::vector<std::string> values;
};
struct RawEntry {
  std::string dn;
  std::vector<RawAttr> attrs;
  const RawAttr *find(std::string_view name) const;
};

struct Query {
  std::string base;
  int scope = 0;           /* LDAP_SCOPE_BASE, _ONELEVEL, _SUBTREE */
  std::string filter = "(objectClass=*)";
  std::vector<std::string> attrs; /* empty: all user attributes */
  bool names_only = false; /* attribute names without values */
  int size_limit = 0;      /* 0: none asked for */
  int page_size = 0;       /* 0: not paged */
  int deref = 0;           /* LDAP_DEREF_NEVER, _FINDING (the base), _ALWAYS */
};

/* Runs `q` on `ld`; appends what it finds to `out`.  The LDAP result code:
   LDAP_SIZELIMIT_EXCEEDED keeps what came before the limit. */
int fetch(LDAP *ld, const Settings &s, const Query &q, std::vector<RawEntry> &out);

} // namespace nwc::ldap

#endif /* NWC_LDAP_FETCH_H */
