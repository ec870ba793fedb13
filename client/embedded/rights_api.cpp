/*
 * rights_api.cpp - the engines of NWDSGetEffectiveRights and
 * NWDSListAttrsEffectiveRights (rights.h).
 *
 * The object is resolved through the calling context and must be one the
 * caller may browse (ERR_NO_SUCH_ENTRY otherwise).  The subject is any
 * object's name, or "[Public]" for the rights everyone holds; a subject that
 * does not exist holds no rights (0, success), as the published function
 * documents.  For NWDSListAttrsEffectiveRights a null subject stands for the
 * context's own identity.
 *
 * The attribute of NWDSGetEffectiveRights is "[Entry Rights]" (entry
 * rights), "[All Attributes Rights]" (also spelt "[All Attribute Rights]":
 * the attribute rights on an attribute without a named assignment) or an
 * attribute name (ERR_NO_SUCH_ATTRIBUTE when the schema has none).
 *
 * NWDSListAttrsEffectiveRights gives every attribute the object's class
 * allows (allAttrs) or the names of attrNames (a buffer initialised for
 * DSV_GET_EFFECTIVE_RIGHTS or DSV_READ; names unknown to the schema are
 * ERR_NO_SUCH_ATTRIBUTE), in that order.  The result buffer is initialised
 * for DSV_GET_EFFECTIVE_RIGHTS and laid out
 *   ATTR_COUNT (ATTR RESULT_VALUE)*
 * each ATTR the attribute's name with one value of syntax SYN_INTEGER, the
 * privileges: read with NWDSGetAttrCount, NWDSGetAttrName and
 * NWDSGetAttrVal.  What does not fit is continued through an iteration of
 * DSV_GET_EFFECTIVE_RIGHTS, the rights taken when the first call was made.
 */
#include "items.h"
#include "iteration.h"
#include "rights.h"

namespace nwc {

namespace {

struct PendingRights : IterationState {
  std::vector<std::pair<std::string, nuint32>> attrs;
  size_t next = 0;
};

/* The identity named `subject`; `exists` false when there is no such object. */
NWDSCCODE subject_identity(const Op &op, const char *subject, Identity &who, bool &exists) {
  exists = true;
  if (subject == nullptr) {
    who = identity_of(op);
    return 0;
  }
  if (ci_equal(subject, "[Public]")) {
    who = Identity{};
    return 0;
  }
  auto dn = resolve(op, subject);
  if (!dn) return dn.status();
  auto id = op.store->find(*dn);
  if (!id) {
    if (id.status() != ERR_NO_SUCH_ENTRY) return id.status();
    exists = false;
    return 0;
  }
  who = Identity{*id};
  return 0;
}

NWDSCCODE object_and_rights(const Op &op, const char *object, const char *subject, EntryId &id,
                            Privileges &p) {
  if (NWDSCCODE st = find_entry(op, object, id)) return st;
  Identity who;
  bool exists = true;
  if (NWDSCCODE st = subject_identity(op, subject, who, exists)) return st;
  p = Privileges{};
  if (!exists) return 0;
  return effective_rights(*op.store, who, id, p);
}

} // namespace

NWDSCCODE get_effective_rights(NWDSContextHandle context, const nstr8 *subjectName,
                               const nstr8 *objectName, const nstr8 *attrName,
                               nuint32 *privileges) {
  std::lock_guard<std::recursive_mutex> g(directory_lock());
  Op op;
  if (NWDSCCODE st = begin_op(context, op)) return st;
  EntryId id = kNoEntry;
  Privileges p;
  if (NWDSCCODE st = object_and_rights(op, objectName, subjectName, id, p)) return st;
  nuint32 r = 0;
  if (ci_equal(attrName, kEntryRightsName)) {
    r = p.entry;
  } else if (ci_equal(attrName, kAllAttrsRightsName) || ci_equal(attrName, "[All Attribute Rights]")) {
    r = p.all_attrs;
  } else {
    const AttrDef *a = op.schema->attribute(attrName);
    if (a == nullptr) return ERR_NO_SUCH_ATTRIBUTE;
    r = p.attr(a->name);
  }
  *privileges = r;
  return 0;
}

NWDSCCODE list_attrs_effective_rights(NWDSContextHandle context, const nstr8 *objectName,
                                      const nstr8 *subjectName, nbool8 allAttrs,
                                      pBuf_T attrNames, nint32 *iterationHandle,
                                      pBuf_T privilegeInfo) {
  std::lock_guard<std::recursive_mutex> g(directory_lock());
  Op op;
  if (NWDSCCODE st = begin_op(context, op)) return st;
  std::unique_ptr<IterationState> state;
  if (*iterationHandle != NO_MORE_ITERATIONS) {
    if (NWDSCCODE st = resume_iteration(DSV_GET_EFFECTIVE_RIGHTS, context, *iterationHandle,
                                        op.store->path(), state))
      return st;
  } else {
    std::vector<std::string> names;
    if (!allAttrs) {
      if (attrNames == nullptr) return ERR_NULL_POINTER;
      const nuint32 verb = buffer_of(attrNames)->verb == DSV_READ ? DSV_READ : DSV_GET_EFFECTIVE_RIGHTS;
      std::vector<RequestAttr> req;
      if (NWDSCCODE st = request_attrs(attrNames, verb, req)) return st;
      for (const RequestAttr &r : req) {
        const AttrDef *a = op.schema->attribute(r.name);
        if (a == nullptr) return ERR_NO_SUCH_ATTRIBUTE;
        names.push_back(a->name);
      }
    }
    EntryId id = kNoEntry;
    Privileges p;
    if (NWDSCCODE st = object_and_rights(op, objectName, subjectName, id, p)) return st;
    if (allAttrs) {
      auto e = op.store->entry(id);
      if (!e) return e.status();
      names = op.schema->mandatory(e->cls);
      for (std::string &n : op.schema->optional(e->cls)) names.push_back(std::move(n));
    }
    auto fresh = std::make_unique<PendingRights>();
    for (std::string &n : names) {
      const nuint32 r = p.attr(n);
      fresh->attrs.emplace_back(std::move(n), r);
    }
    fresh->store_path = op.store->path();
    state = std::move(fresh);
  }
  auto &r = static_cast<PendingRights &>(*state);
  Buffer &out = *buffer_of(privilegeInfo);
  ResultWriter w(out, DSV_GET_EFFECTIVE_RIGHTS);
  const size_t count_at = w.next_index();
  w.add_count(tag::ATTR_COUNT, 0);
  nuint32 given = 0;
  while (r.next < r.attrs.size()) {
    const auto &[name, mask] = r.attrs[r.next];
    const std::string v = encode_value(Value::integer(SYN_INTEGER, static_cast<int32_t>(mask)));
    if (!w.fits(ResultWriter::attr_cost(name) + value_cost(v))) break;
    w.add_attr(name, 1, SYN_INTEGER);
    w.add_value(v, SYN_INTEGER);
    ++given;
    ++r.next;
  }
  w.set_number(count_at, given);
  if (r.next >= r.attrs.size()) {
    *iterationHandle = NO_MORE_ITERATIONS;
    return 0;
  }
  if (given == 0) {
    out.reset(DSV_GET_EFFECTIVE_RIGHTS);
    return ERR_INSUFFICIENT_BUFFER;
  }
  return open_iteration(DSV_GET_EFFECTIVE_RIGHTS, context, std::move(state), *iterationHandle);
}

} // namespace nwc
