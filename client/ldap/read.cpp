/*
 * ldap/read.cpp - NWDSRead, NWDSSearch and NWDSCompare on the LDAP backend.
 *
 * A read is a base search of the entry; a search one of the scope asked
 * (DS_SEARCH_ENTRY base, DS_SEARCH_SUBORDINATES one level, DS_SEARCH_SUBTREE
 * subtree; [Root] as the base stands for the server's root, whose one
 * subordinate is the URL's base entry).  The whole result is fetched on the
 * first call -- in pages when no size limit is asked, so the server's size
 * limit does not cut it -- and handed out part by part through the
 * iteration handle.  With searchAliases set the server dereferences the
 * aliases it meets while searching (and the base); without it, a base that
 * is an alias is dereferenced when the context has DCV_DEREF_ALIASES, as is
 * an alias that a read names.
 * DS_VALUE_INFO and DS_ABBREVIATED_VALUE give the values with their
 * information (results.h).
 *
 * Status codes as the embedded engines give them where both can tell:
 * ERR_NO_SUCH_ENTRY for an entry or base that is not there, ERR_NO_SUCH_ATTRIBUTE
 * when none of the attributes a read names is present, ERR_INVALID_REQUEST
 * for an unknown scope, an information type this backend does not carry
 * (DS_EFFECTIVE_PRIVILEGES: the server's rights are not for reading),
 * or a compare request that is not one name and one value,
 * ERR_INSUFFICIENT_BUFFER when not one item fits, ERR_INVALID_ITERATION for
 * a handle that is not a live read or search of this backend and context.
 */
#include <ldap.h>

#include "entries.h"
#include "items.h"
#include "ldap/backend.h"
#include "ldap/fetch.h"
#include "ldap/filter.h"
#include "ldap/groups.h"
#include "ldap/mapping.h"
#include "ldap/results.h"

namespace nwc::ldap {

namespace {

constexpr int kPageSize = 200;

struct PendingSearch : PendingObjects {
  nint32 searched = 0;
};

/* The names of a request buffer of `verb`, as the server spells them. */
NWDSCCODE wanted_names(pBuf_T buf, nuint32 verb, std::vector<std::string> &out) {
  std::vector<RequestAttr> req;
  if (NWDSCCODE st = request_attrs(buf, verb, req)) return st;
  for (const RequestAttr &r : req) out.push_back(attr_to_ldap(r.name));
  return 0;
}

template <class T> NWDSCCODE take(nuint32 verb, NWDSContextHandle context, nint32 handle,
                                  std::unique_ptr<IterationState> &state) {
  if (NWDSCCODE st = take_iteration(verb, context, handle, state)) return st;
  if (dynamic_cast<T *>(state.get()) == nullptr) return ERR_INVALID_ITERATION;
  return 0;
}

} // namespace

NWDSCCODE read_entry(NWDSContextHandle context, const nstr8 *object, nuint32 infoType, nbool8 allAttrs,
                     pBuf_T attrNames, nint32 *iterationHandle, pBuf_T objectInfo) {
  if (!context_is_live(context)) return ERR_BAD_CONTEXT;
  std::unique_ptr<IterationState> state;
  if (*iterationHandle != NO_MORE_ITERATIONS) {
    if (NWDSCCODE st = take<PendingAttrs>(DSV_READ, context, *iterationHandle, state)) return st;
  } else {
    if (!carried_info_type(infoType)) return ERR_INVALID_REQUEST;
    std::vector<std::string> wanted;
    if (!allAttrs) {
      if (attrNames == nullptr) return ERR_NULL_POINTER;
      if (NWDSCCODE st = wanted_names(attrNames, DSV_READ, wanted)) return st;
    }
    LOp op;
    if (NWDSCCODE st = begin(context, op)) return st;
    Dn dn;
    std::string ldn;
    if (NWDSCCODE st = resolve(op, object, dn, ldn)) return st;
    if (dn.is_root()) return ERR_NO_SUCH_ENTRY;
    Query q;
    q.base = ldn;
    q.scope = LDAP_SCOPE_BASE;
    if (op.ctx.flags & DCV_DEREF_ALIASES) q.deref = LDAP_DEREF_FINDING; /* an alias reads as its entry */
    /* A read gives attributes only: none of the object's bookkeeping but
       what the values' information is made of. */
    if (allAttrs) q.attrs = {"*"};
    else q.attrs = wanted.empty() ? std::vector<std::string>{"1.1"} : wanted;
    if (infoType == DS_VALUE_INFO || infoType == DS_ABBREVIATED_VALUE)
      for (const char *b : {"structuralObjectClass", "modifyTimestamp"}) q.attrs.push_back(b);
    const bool names_only = infoType == DS_ATTRIBUTE_NAMES;
    q.names_only = names_only && names_only_request(allAttrs != 0, wanted);
    std::vector<RawEntry> found;
    if (NWDSCCODE st = search(op, q, found)) return st;
    if (found.empty()) return ERR_NO_SUCH_ENTRY;
    ObjOut o;
    if (!describe(*op.schema, found[0], allAttrs != 0, wanted, true, infoType, o))
      return ERR_INVALID_SERVER_RESPONSE;
    if (!allAttrs && !wanted.empty() && o.attrs.empty()) return ERR_NO_SUCH_ATTRIBUTE;
    auto fresh = std::make_unique<PendingAttrs>();
    fresh->attrs = std::move(o.attrs);
    fresh->names_only = names_only;
    state = std::move(fresh);
  }
  auto &r = static_cast<PendingAttrs &>(*state);
  Buffer &out = *buffer_of(objectInfo);
  if (!fill_attrs(r, out)) {
    out.reset(DSV_READ);
    return ERR_INSUFFICIENT_BUFFER;
  }
  const bool more = r.next < r.attrs.size();
  return keep_or_finish(DSV_READ, context, std::move(state), more, iterationHandle, out);
}

NWDSCCODE search_entries(NWDSContextHandle context, const nstr8 *baseObjectName, nint32 scope,
                         nbool8 searchAliases, pBuf_T filter, nuint32 infoType, nbool8 allAttrs,
                         pBuf_T attrNames, nint32 *iterationHandle, nint32 countObjectsToSearch,
                         nint32 *countObjectsSearched, pBuf_T objectInfo) {
  if (!context_is_live(context)) return ERR_BAD_CONTEXT;
  std::unique_ptr<IterationState> state;
  if (*iterationHandle != NO_MORE_ITERATIONS) {
    if (NWDSCCODE st = take<PendingSearch>(DSV_SEARCH, context, *iterationHandle, state)) return st;
  } else {
    if (!carried_info_type(infoType)) return ERR_INVALID_REQUEST;
    if (scope != DS_SEARCH_ENTRY && scope != DS_SEARCH_SUBORDINATES && scope != DS_SEARCH_SUBTREE)
      return ERR_INVALID_REQUEST;
    const bool all = allAttrs != 0;
    const bool no_attrs = !all && attrNames == nullptr;
    std::vector<std::string> wanted;
    if (!all && attrNames != nullptr) {
      const nuint32 verb = buffer_of(attrNames)->verb == DSV_READ ? DSV_READ : DSV_SEARCH;
      if (NWDSCCODE st = wanted_names(attrNames, verb, wanted)) return st;
    }
    LOp op;
    if (NWDSCCODE st = begin(context, op)) return st;
    Query q;
    if (NWDSCCODE st = filter_to_ldap(op, filter, q.filter)) return st;
    Dn dn;
    if (baseObjectName == nullptr || *baseObjectName == '\0') {
      auto nc = parse_name_context(op.ctx.name_context);
      if (!nc) return nc.status();
      dn = *nc;
      q.base = dn_to_ldap(dn);
    } else if (NWDSCCODE st = resolve(op, baseObjectName, dn, q.base)) {
      return st;
    }
    q.scope = scope == DS_SEARCH_ENTRY ? LDAP_SCOPE_BASE
                                       : scope == DS_SEARCH_SUBORDINATES ? LDAP_SCOPE_ONELEVEL : LDAP_SCOPE_SUBTREE;
    bool nothing = false;
    if (dn.is_root()) {
      /* The server's root: its one subordinate is the base entry. */
      q.base = op.s.base;
      if (scope == DS_SEARCH_ENTRY || op.s.base.empty()) nothing = true;
      else if (scope == DS_SEARCH_SUBORDINATES) q.scope = LDAP_SCOPE_BASE;
    }
    q.attrs = query_attrs(all, wanted);
    const bool names_only = infoType == DS_ATTRIBUTE_NAMES;
    q.names_only = names_only && names_only_request(all, wanted);
    q.deref = searchAliases != 0 ? LDAP_DEREF_ALWAYS
                                 : (op.ctx.flags & DCV_DEREF_ALIASES) != 0 ? LDAP_DEREF_FINDING : LDAP_DEREF_NEVER;
    if (countObjectsToSearch > 0) q.size_limit = countObjectsToSearch;
    else q.page_size = kPageSize;
    std::vector<RawEntry> found;
    if (!nothing) {
      NWDSCCODE st = run(op, [&](LDAP *ld) {
        found.clear();
        int rc = fetch(ld, op.s, q, found);
        return rc == LDAP_SIZELIMIT_EXCEEDED && q.size_limit > 0 ? LDAP_SUCCESS : rc;
      }, true);
      if (st) return st;
    }
    auto fresh = std::make_unique<PendingSearch>();
    fresh->names_only = names_only;
    fresh->searched = static_cast<nint32>(found.size());
    for (const RawEntry &e : found) {
      ObjOut o;
      if (describe(*op.schema, e, all, wanted, !no_attrs, infoType, o)) fresh->objs.push_back(std::move(o));
    }
    state = std::move(fresh);
  }
  auto &p = static_cast<PendingSearch &>(*state);
  Buffer &out = *buffer_of(objectInfo);
  bool more = false;
  if (NWDSCCODE st = fill_objects(p, out, DSV_SEARCH, more)) {
    out.reset(DSV_SEARCH);
    return st;
  }
  const nint32 searched = p.searched;
  NWDSCCODE st = keep_or_finish(DSV_SEARCH, context, std::move(state), more, iterationHandle, out);
  if (st == 0 && countObjectsSearched != nullptr) *countObjectsSearched = searched;
  return st;
}

NWDSCCODE compare_value(NWDSContextHandle context, const nstr8 *object, pBuf_T buf, nbool8 *matched) {
  if (!context_is_live(context)) return ERR_BAD_CONTEXT;
  std::vector<RequestAttr> req;
  if (NWDSCCODE st = request_attrs(buf, DSV_COMPARE, req)) return st;
  if (req.size() != 1 || req[0].values.size() != 1) return ERR_INVALID_REQUEST;
  auto value = value_to_ldap(req[0].values[0]);
  if (!value) return ERR_INVALID_COMPARISON;
  LOp op;
  if (NWDSCCODE st = begin(context, op)) return st;
  Dn dn;
  std::string ldn;
  if (NWDSCCODE st = resolve(op, object, dn, ldn)) return st;
  const std::string attr = attr_to_ldap(req[0].name);
  int outcome = LDAP_OTHER;
  NWDSCCODE st = run(op, [&](LDAP *ld) {
    berval bv{value->size(), const_cast<char *>(value->data())};
    int msgid = -1;
    int rc = ldap_compare_ext(ld, ldn.c_str(), attr.c_str(), &bv, nullptr, nullptr, &msgid);
    if (rc != LDAP_SUCCESS) return rc;
    LDAPMessage *res = nullptr;
    if ((rc = await(ld, msgid, op.s.timeout, &res)) != LDAP_SUCCESS) return rc;
    outcome = result_code(ld, res, true);
    return outcome == LDAP_COMPARE_TRUE || outcome == LDAP_COMPARE_FALSE ? LDAP_SUCCESS : outcome;
  }, true);
  if (st) return st;
  if (outcome == LDAP_COMPARE_FALSE && is_member_attr(attr)) {
    /* A Group holding only the stand-in has no Member (groups.h). */
    Query q;
    q.base = ldn;
    q.scope = LDAP_SCOPE_BASE;
    q.attrs = {attr};
    std::vector<RawEntry> found;
    if (NWDSCCODE st2 = search(op, q, found)) return st2;
    const RawAttr *m = found.empty() ? nullptr : found[0].find(attr);
    bool real = false;
    if (m != nullptr)
      for (const std::string &v : m->values) real = real || !is_stand_in(attr, v);
    if (!real) return ERR_NO_SUCH_ATTRIBUTE;
  }
  *matched = outcome == LDAP_COMPARE_TRUE ? 1 : 0;
  return 0;
}

} // namespace nwc::ldap
