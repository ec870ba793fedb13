/*
 * ldap/requests.h - what the LDAP backend's changing requests share: the
 * modification list handed to libldap, a request gathered across calls
 * (`more`), request values as the server's text, and one exchange awaited.
 *
 * Invariants: a Mods keeps every string and pointer libldap reads alive
 * until it is destroyed; finish() may be called again after more add()s.
 */
#ifndef NWC_LDAP_REQUESTS_H
#define NWC_LDAP_REQUESTS_H

#include <ldap.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "entries.h"
#include "ldap/backend.h"

namespace nwc::ldap {

/* The modifications of one request, kept alive for libldap. */
class Mods {
public:
  void add(int op, const std::string &type, const std::vector<std::string> &values) {
    Entry &e = entries_.emplace_back();
    e.type = type;
    e.values = values;
    e.op = op;
  }
  void add_first(int op, const std::string &type, const std::vector<std::string> &values) {
    Entry &e = entries_.emplace_front();
    e.type = type;
    e.values = values;
    e.op = op;
  }
  bool empty() const { return entries_.empty(); }
  LDAPMod **finish();

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

/* The request's values as the server's text forms (the first refusal). */
NWDSCCODE texts_of(const RequestAttr &a, std::vector<std::string> &out);

/* Sends one request made by `send` (which gives its message id) and gives
   its LDAP result code. */
int exchange(LDAP *ld, int timeout, const std::function<int(int *)> &send);

/* Gathers a request of `verb` across calls with `more` set (in an iteration
   of the context); `apply` runs on the whole of it with the last call. */
NWDSCCODE multi_part(NWDSContextHandle context, nint32 *iterationHandle, bool more, pBuf_T buf, nuint32 verb,
                     const std::function<NWDSCCODE(const std::vector<RequestAttr> &)> &apply);

/* NWDSModifyObject's changes applied to the entry `name` (modify.cpp). */
NWDSCCODE apply_modify(LOp &op, const char *name, const std::vector<RequestAttr> &attrs);

} // namespace nwc::ldap

#endif /* NWC_LDAP_REQUESTS_H */
