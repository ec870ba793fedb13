/*
 * ldap/list.cpp - NWDSList, NWDSListContainers, NWDSListByClassAndName and
 * NWDSGetCountByClassAndName on the LDAP backend.
 *
 * A listing is a one-level search of the entry (for [Root], the URL's base
 * entry alone) fetched page by page with the simple paged results control,
 * so a container larger than the server's size limit lists whole; the
 * subordinates are then handed out through the iteration handle, in the
 * order the server gave them, each once.  The filters are those of the
 * embedded listing: a class name keeps the subordinates whose base class
 * (structural object class) it is; a subordinate name keeps those whose RDN
 * matches it without regard to case, `*` standing for any run of
 * characters, typed ("CN=B*") against the whole RDN, untyped against each
 * of its values; NWDSListContainers keeps the containers.
 */
#include <ldap.h>

#include "items.h"
#include "ldap/backend.h"
#include "ldap/fetch.h"
#include "ldap/mapping.h"
#include "ldap/results.h"

namespace nwc::ldap {

namespace {

constexpr int kPageSize = 500;

struct Filter {
  std::string cls;  /* the directory's class name, or "" */
  std::string name; /* a pattern, or "" */
  bool containers = false;
};

/* `*`-patterns on folded text. */
bool glob(std::string_view p, std::string_view s) {
  size_t pi = 0, si = 0, star = std::string_view::npos, mark = 0;
  while (si < s.size()) {
    if (pi < p.size() && p[pi] == '*') {
      star = pi++;
      mark = si;
    } else if (pi < p.size() && p[pi] == s[si]) {
      ++pi;
      ++si;
    } else if (star != std::string_view::npos) {
      pi = star + 1;
      si = ++mark;
    } else {
      return false;
    }
  }
  while (pi < p.size() && p[pi] == '*') ++pi;
  return pi == p.size();
}

bool name_matches(const std::string &pattern, const std::string &full) {
  if (pattern.empty()) return true;
  auto dn = parse_dn(full);
  if (!dn || dn->rdns.empty()) return false;
  const Rdn &rdn = dn->rdns[0];
  const std::string p = fold_case(pattern);
  if (pattern.find('=') != std::string::npos) return glob(p, fold_case(format_rdn(rdn, false)));
  if (rdn.avas.size() > 1 && glob(p, fold_case(format_rdn(rdn, true)))) return true;
  for (const Ava &a : rdn.avas)
    if (glob(p, fold_case(a.value))) return true;
  return false;
}

bool keeps(const Filter &f, const ObjOut &o) {
  if (f.containers && !(o.flags & DS_CONTAINER_ENTRY)) return false;
  if (!f.cls.empty() && fold_case(f.cls) != fold_case(o.base_class)) return false;
  return name_matches(f.name, o.full);
}

/* The subordinates of `object` that `f` keeps. */
NWDSCCODE subordinates(NWDSContextHandle context, const nstr8 *object, const Filter &f,
                       std::vector<ObjOut> &out) {
  LOp op;
  if (NWDSCCODE st = begin(context, op)) return st;
  Dn dn;
  Query q;
  if (NWDSCCODE st = resolve(op, object, dn, q.base)) return st;
  q.scope = LDAP_SCOPE_ONELEVEL;
  if (dn.is_root()) {
    if (op.s.base.empty()) return 0; /* a URL without a base: nothing under [Root] */
    q.base = op.s.base;
    q.scope = LDAP_SCOPE_BASE;
  }
  if (!f.cls.empty()) q.filter = "(objectClass=" + escape_filter_value(class_to_ldap(f.cls)) + ")";
  q.attrs = query_attrs(false, {});
  q.page_size = kPageSize;
  std::vector<RawEntry> found;
  if (NWDSCCODE st = search(op, q, found)) return st;
  for (const RawEntry &e : found) {
    ObjOut o;
    if (describe(*op.schema, e, false, {}, false, DS_ATTRIBUTE_NAMES, o) && keeps(f, o)) out.push_back(std::move(o));
  }
  return 0;
}

NWDSCCODE list(NWDSContextHandle context, const nstr8 *object, const Filter &f, nint32 *iterationHandle,
               pBuf_T buf) {
  if (!context_is_live(context)) return ERR_BAD_CONTEXT;
  std::unique_ptr<IterationState> state;
  if (*iterationHandle != NO_MORE_ITERATIONS) {
    if (NWDSCCODE st = take_iteration(DSV_LIST, context, *iterationHandle, state)) return st;
    if (dynamic_cast<PendingObjects *>(state.get()) == nullptr) return ERR_INVALID_ITERATION;
  } else {
    auto fresh = std::make_unique<PendingObjects>();
    if (NWDSCCODE st = subordinates(context, object, f, fresh->objs)) return st;
    state = std::move(fresh);
  }
  auto &p = static_cast<PendingObjects &>(*state);
  Buffer &out = *buffer_of(buf);
  bool more = false;
  if (NWDSCCODE st = fill_objects(p, out, DSV_LIST, more)) {
    out.reset(DSV_LIST);
    return st;
  }
  return keep_or_finish(DSV_LIST, context, std::move(state), more, iterationHandle, out);
}

Filter by_class_and_name(const nstr8 *className, const nstr8 *subordinateName) {
  Filter f;
  if (className != nullptr) f.cls = className;
  if (subordinateName != nullptr) f.name = subordinateName;
  return f;
}

} // namespace

NWDSCCODE list_entries(NWDSContextHandle context, const nstr8 *object, nint32 *iterationHandle,
                       pBuf_T subordinates) {
  return list(context, object, Filter{}, iterationHandle, subordinates);
}

NWDSCCODE list_by_class_and_name(NWDSContextHandle context, const nstr8 *objectName, const nstr8 *className,
                                 const nstr8 *subordinateName, nint32 *iterationHandle, pBuf_T subordinates) {
  return list(context, objectName, by_class_and_name(className, subordinateName), iterationHandle,
              subordinates);
}

NWDSCCODE list_containers(NWDSContextHandle context, const nstr8 *object, nint32 *iterationHandle,
                          pBuf_T subordinates) {
  Filter f;
  f.containers = true;
  return list(context, object, f, iterationHandle, subordinates);
}

NWDSCCODE count_by_class_and_name(NWDSContextHandle context, const nstr8 *objectName, const nstr8 *className,
                                  const nstr8 *subordinateName, nint32 *count) {
  if (!context_is_live(context)) return ERR_BAD_CONTEXT;
  std::vector<ObjOut> found;
  if (NWDSCCODE st = subordinates(context, objectName, by_class_and_name(className, subordinateName), found))
    return st;
  *count = static_cast<nint32>(found.size());
  return 0;
}

} // namespace nwc::ldap
