/*
 * schema_api.cpp - the engines of NWDSReadClassDef, NWDSReadAttrDef,
 * NWDSReadSyntaxes, NWDSReadSyntaxDef, NWDSModifyClassDef,
 * NWDSRemoveAttrDef, NWDSRemoveClassDef and NWDSSyncSchema.
 *
 * Reading definitions: all of them (the all flag set; the request buffer may
 * be null) or those named in a request buffer initialised for the
 * operation's verb (class and syntax names put with NWDSPutClassItem,
 * attribute names with NWDSPutAttrName; a name given twice is given once).
 * A named definition that does not exist fails the whole call:
 * ERR_NO_SUCH_CLASS, ERR_NO_SUCH_ATTRIBUTE, ERR_NO_SUCH_SYNTAX.  The result
 * buffer need not be initialised by the caller; it is laid out as items.h
 * describes for the verb:
 *   classes     CLASS_DEF_COUNT (CLASS_DEF [lists])*   (DS_CLASS_DEF_NAMES ..
 *               DS_FULL_CLASS_DEFS; DS_EXPANDED_CLASS_DEFS lists every
 *               super class up to Top, nearest first, and the naming,
 *               containment, mandatory and optional attributes the class
 *               has with what its super classes contribute; the other
 *               types list the class's own definition)
 *   attributes  ATTR_COUNT ATTR*                         (DS_ATTR_DEF_NAMES,
 *               DS_ATTR_DEFS)
 *   syntaxes    ATTR_COUNT ATTR*                         (info type 0 or 1:
 *               both give name, id and flags)
 * Any other info type is ERR_INVALID_REQUEST.
 *
 * A result that does not fit is cut between definitions and continued
 * through an iteration of the verb that holds the names still to give
 * (taken when the read began): over all parts every definition is given
 * once, in schema order for an all-read and request order otherwise.  A
 * definition removed meanwhile is skipped.  ERR_INSUFFICIENT_BUFFER when
 * not even one definition fits an empty result buffer (the read, and a
 * handle passed in, are then given up); ERR_INVALID_ITERATION for a handle
 * that is not a live read of this verb and context or was made on another
 * store.
 *
 * NWDSReadSyntaxDef fills the syntax's id, name and flags; ERR_NO_SUCH_SYNTAX
 * for an id outside 0..27.
 *
 * NWDSModifyClassDef adds the attributes named in a DSV_MODIFY_CLASS_DEF
 * buffer (NWDSPutAttrName or NWDSPutClassItem) to the class's optional
 * attributes, all or none: ERR_NO_SUCH_CLASS, then ERR_NO_SUCH_ATTRIBUTE for
 * any unknown name, ERR_DUPLICATE_OPTIONAL for one the class already lists.
 *
 * NWDSRemoveAttrDef / NWDSRemoveClassDef: ERR_NO_SUCH_ATTRIBUTE /
 * ERR_NO_SUCH_CLASS, ERR_SCHEMA_IS_NONREMOVABLE for base definitions,
 * ERR_SCHEMA_IS_IN_USE while anything uses them.
 *
 * NWDSSyncSchema succeeds when the server name (resolved through the
 * context) is an NCP Server entry of the store; ERR_NO_SUCH_ENTRY otherwise.
 */
#include "schema_api.h"

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "call.h"
#include "entries.h"
#include "rights.h"
#include "items.h"
#include "iteration.h"

namespace nwc {

namespace {

enum class Kind { classes, attrs, syntaxes };

nuint32 verb_of(Kind k) {
  switch (k) {
  case Kind::classes: return DSV_READ_CLASS_DEF;
  case Kind::attrs: return DSV_READ_ATTR_DEF;
  case Kind::syntaxes: return DSV_READ_SYNTAXES;
  }
  return NO_VERB;
}

bool info_type_known(Kind k, nuint32 infoType) {
  switch (k) {
  case Kind::classes: return infoType <= DS_FULL_CLASS_DEFS;
  case Kind::attrs: return infoType == DS_ATTR_DEF_NAMES || infoType == DS_ATTR_DEFS;
  case Kind::syntaxes: return infoType <= 1;
  }
  return false;
}

struct PendingDefs : IterationState {
  nuint32 info_type = 0;
  std::vector<std::string> names; /* definition spellings, in order */
  size_t next = 0;
};

/* The class as an expanded read shows it: what the super classes contribute
   included. */
ClassDef expanded(const Schema &s, const ClassDef &def) {
  ClassDef e = def;
  e.super_classes.clear();
  for (const ClassDef *c : s.lineage(def.name))
    if (c != &def && fold_case(c->name) != fold_case(def.name)) e.super_classes.push_back(c->name);
  e.containment = s.containment(def.name);
  e.naming = s.naming(def.name);
  e.mandatory = s.mandatory(def.name);
  e.optional = s.optional(def.name);
  return e;
}

/* Every definition of the kind, in schema order. */
std::vector<std::string> all_names(Kind k, const Schema &s) {
  std::vector<std::string> out;
  switch (k) {
  case Kind::classes:
    for (const ClassDef &c : s.classes()) out.push_back(c.name);
    break;
  case Kind::attrs:
    for (const AttrDef &a : s.attributes()) out.push_back(a.name);
    break;
  case Kind::syntaxes:
    for (uint32_t id = 0; id < kSyntaxCount; ++id)
      if (const SyntaxDef *d = syntax(id)) out.emplace_back(d->name);
    break;
  }
  return out;
}

/* The names of a request buffer, in their definition spelling. */
NWDSCCODE requested_names(Kind k, const Schema &s, pBuf_T request, std::vector<std::string> &out) {
  const Buffer *b = buffer_of(request);
  if (b->verb != verb_of(k) || b->result) return ERR_BAD_VERB;
  const nuint32 want = k == Kind::attrs ? tag::ATTR_NAME : tag::CLASS_ITEM;
  std::set<std::string> seen;
  for (const Item &it : b->items) {
    if (it.tag != want) continue;
    std::string name;
    switch (k) {
    case Kind::classes:
      if (const ClassDef *c = s.class_def(it.name)) name = c->name;
      else return ERR_NO_SUCH_CLASS;
      break;
    case Kind::attrs:
      if (const AttrDef *a = s.attribute(it.name)) name = a->name;
      else return ERR_NO_SUCH_ATTRIBUTE;
      break;
    case Kind::syntaxes:
      if (const SyntaxDef *d = syntax_by_name(it.name)) name = d->name;
      else return ERR_NO_SUCH_SYNTAX;
      break;
    }
    if (seen.insert(fold_case(name)).second) out.push_back(name);
  }
  return 0;
}

/* Adds the definition `name` to `w`: 1 added, 0 it does not fit, -1 it no
   longer exists. */
int add_def(Kind k, const Schema &s, ResultWriter &w, const std::string &name, nuint32 infoType) {
  switch (k) {
  case Kind::classes: {
    const ClassDef *c = s.class_def(name);
    if (c == nullptr) return -1;
    if (infoType == DS_EXPANDED_CLASS_DEFS) return w.add_class_def(expanded(s, *c), infoType) ? 1 : 0;
    return w.add_class_def(*c, infoType) ? 1 : 0;
  }
  case Kind::attrs: {
    const AttrDef *a = s.attribute(name);
    if (a == nullptr) return -1;
    const bool full = infoType == DS_ATTR_DEFS;
    if (!w.fits(ResultWriter::attr_def_cost(*a, full))) return 0;
    return w.add_attr_def(*a, full) ? 1 : 0;
  }
  case Kind::syntaxes: {
    const SyntaxDef *d = syntax_by_name(name);
    if (d == nullptr) return -1;
    const std::string n(d->name);
    if (!w.fits(ResultWriter::attr_cost(n) + kNumberCost)) return 0;
    return w.add_syntax(n, d->id, d->flags) ? 1 : 0;
  }
  }
  return -1;
}

/* Writes the next part of `p` into `buf`; `more` tells whether definitions
   remain after it. */
NWDSCCODE fill(Kind k, const Schema &s, PendingDefs &p, Buffer &buf, bool &more) {
  more = false;
  ResultWriter w(buf, verb_of(k));
  const size_t count_at = w.next_index();
  if (!w.add_count(k == Kind::classes ? tag::CLASS_DEF_COUNT : tag::ATTR_COUNT, 0))
    return ERR_INSUFFICIENT_BUFFER;
  nuint32 given = 0;
  while (p.next < p.names.size()) {
    const int r = add_def(k, s, w, p.names[p.next], p.info_type);
    if (r == 0) {
      more = true;
      break;
    }
    if (r > 0) ++given;
    ++p.next;
  }
  w.set_number(count_at, given);
  if (more && given == 0) return ERR_INSUFFICIENT_BUFFER;
  return 0;
}

NWDSCCODE read_defs(Kind k, NWDSContextHandle context, nuint32 infoType, nbool8 all,
                    pBuf_T request, nint32 *iterationHandle, pBuf_T result) {
  std::lock_guard<std::recursive_mutex> g(directory_lock());
  if (!context_is_live(context)) return ERR_BAD_CONTEXT;
  Op op;
  if (NWDSCCODE st = begin_op(context, op)) return st;
  const nuint32 verb = verb_of(k);
  std::unique_ptr<IterationState> state;
  if (*iterationHandle != NO_MORE_ITERATIONS) {
    if (NWDSCCODE st = resume_iteration(verb, context, *iterationHandle, op.store->path(), state))
      return st;
  } else {
    if (!info_type_known(k, infoType)) return ERR_INVALID_REQUEST;
    auto fresh = std::make_unique<PendingDefs>();
    fresh->store_path = op.store->path();
    fresh->info_type = infoType;
    if (all) {
      fresh->names = all_names(k, *op.schema);
    } else {
      if (request == nullptr) return ERR_NULL_POINTER;
      if (NWDSCCODE st = requested_names(k, *op.schema, request, fresh->names)) return st;
    }
    state = std::move(fresh);
  }
  auto &p = static_cast<PendingDefs &>(*state);
  Buffer &out = *buffer_of(result);
  bool more = false;
  if (NWDSCCODE st = fill(k, *op.schema, p, out, more)) {
    out.reset(verb);
    return st;
  }
  return keep_or_finish(verb, context, std::move(state), more, iterationHandle, out);
}

} // namespace

NWDSCCODE read_class_defs(NWDSContextHandle context, nuint32 infoType, nbool8 allClasses,
                          pBuf_T classNames, nint32 *iterationHandle, pBuf_T classDefs) {
  return read_defs(Kind::classes, context, infoType, allClasses, classNames, iterationHandle,
                   classDefs);
}

NWDSCCODE read_attr_defs(NWDSContextHandle context, nuint32 infoType, nbool8 allAttrs,
                         pBuf_T attrNames, nint32 *iterationHandle, pBuf_T attrDefs) {
  return read_defs(Kind::attrs, context, infoType, allAttrs, attrNames, iterationHandle,
                   attrDefs);
}

NWDSCCODE read_syntaxes(NWDSContextHandle context, nuint32 infoType, nbool8 allSyntaxes,
                        pBuf_T syntaxNames, nint32 *iterationHandle, pBuf_T syntaxDefs) {
  return read_defs(Kind::syntaxes, context, infoType, allSyntaxes, syntaxNames,
                   iterationHandle, syntaxDefs);
}

NWDSCCODE read_syntax_def(NWDSContextHandle context, nuint32 syntaxID,
                          Syntax_Info_T *syntaxDef) {
  if (!context_is_live(context)) return ERR_BAD_CONTEXT;
  const SyntaxDef *d = syntax(syntaxID);
  if (d == nullptr) return ERR_NO_SUCH_SYNTAX;
  std::memset(syntaxDef, 0, sizeof *syntaxDef);
  syntaxDef->ID = d->id;
  const size_t n = std::min<size_t>(d->name.size(), sizeof syntaxDef->defStr - 1);
  std::memcpy(syntaxDef->defStr, d->name.data(), n);
  syntaxDef->flags = d->flags;
  return 0;
}

NWDSCCODE modify_class_def(NWDSContextHandle context, const nstr8 *className,
                           pBuf_T optionalAttrs) {
  std::lock_guard<std::recursive_mutex> g(directory_lock());
  if (!context_is_live(context)) return ERR_BAD_CONTEXT;
  Op op;
  if (NWDSCCODE st = begin_op(context, op)) return st;
  if (NWDSCCODE st = check_root_supervisor(op)) return st;
  const Buffer *b = buffer_of(optionalAttrs);
  if (b->verb != DSV_MODIFY_CLASS_DEF || b->result) return ERR_BAD_VERB;
  const ClassDef *c = op.schema->class_def(className);
  if (c == nullptr) return ERR_NO_SUCH_CLASS;
  std::vector<std::string> attrs;
  for (const Item &it : b->items) {
    if (it.tag != tag::ATTR_NAME && it.tag != tag::CLASS_ITEM) continue;
    const AttrDef *a = op.schema->attribute(it.name);
    if (a == nullptr) return ERR_NO_SUCH_ATTRIBUTE;
    attrs.push_back(a->name);
  }
  const std::string cls = c->name;
  Transaction tx(*op.store, Transaction::kWrite);
  if (tx.status()) return tx.status();
  for (const std::string &a : attrs)
    if (Status st = op.store->add_optional_attribute(cls, a)) return st;
  return tx.commit();
}

NWDSCCODE remove_attr_def(NWDSContextHandle context, const nstr8 *attrName) {
  std::lock_guard<std::recursive_mutex> g(directory_lock());
  if (!context_is_live(context)) return ERR_BAD_CONTEXT;
  Op op;
  if (NWDSCCODE st = begin_op(context, op)) return st;
  if (NWDSCCODE st = check_root_supervisor(op)) return st;
  return op.store->remove_attribute_def(attrName);
}

NWDSCCODE remove_class_def(NWDSContextHandle context, const nstr8 *className) {
  std::lock_guard<std::recursive_mutex> g(directory_lock());
  if (!context_is_live(context)) return ERR_BAD_CONTEXT;
  Op op;
  if (NWDSCCODE st = begin_op(context, op)) return st;
  if (NWDSCCODE st = check_root_supervisor(op)) return st;
  return op.store->remove_class_def(className);
}

NWDSCCODE sync_schema(NWDSContextHandle context, const nstr8 *server, nuint32 /*seconds*/) {
  std::lock_guard<std::recursive_mutex> g(directory_lock());
  if (!context_is_live(context)) return ERR_BAD_CONTEXT;
  Op op;
  if (NWDSCCODE st = begin_op(context, op)) return st;
  auto dn = resolve(op, server);
  if (!dn) return ERR_NO_SUCH_ENTRY;
  auto id = op.store->find(*dn);
  if (!id) return id.status() == ERR_NO_SUCH_ENTRY ? ERR_NO_SUCH_ENTRY : id.status();
  auto e = op.store->entry(*id);
  if (!e) return e.status();
  if (!op.schema->is_a(e->cls, "NCP Server")) return ERR_NO_SUCH_ENTRY;
  return 0;
}

} // namespace nwc
