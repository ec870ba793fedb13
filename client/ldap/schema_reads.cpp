/*
 * ldap/schema_reads.cpp - NWDSGetSyntaxID, NWDSReadAttrDef and
 * NWDSReadClassDef on the LDAP backend, from the server's subschema
 * (schema.h).
 *
 * Names are the directory's where the mapping table has them and the
 * server's otherwise; a name may be asked for either way ("Surname" or
 * "sn").  Results are laid out as the embedded reads lay them out and
 * continue through an iteration when they do not fit.  Status codes:
 * ERR_NO_SUCH_ATTRIBUTE / ERR_NO_SUCH_CLASS for a name the server does not
 * define, ERR_INVALID_REQUEST for an unknown information type,
 * ERR_INSUFFICIENT_BUFFER when not one definition fits.
 */
#include <set>

#include "buffer.h"
#include "items.h"
#include "iteration.h"
#include "ldap/backend.h"
#include "ldap/mapping.h"

namespace nwc::ldap {

namespace {

struct PendingDefs : IterationState {
  bool classes = false;
  nuint32 info_type = 0;
  std::shared_ptr<const Schema> schema;
  std::vector<std::string> names;
  size_t next = 0;
};

const AttrDef *find_attr(const Schema &s, std::string_view name) {
  const AttrDef *d = s.attribute(name);
  return d ? d : s.attribute(attr_from_ldap(name));
}
const ClassDef *find_class(const Schema &s, std::string_view name) {
  const ClassDef *c = s.class_def(name);
  return c ? c : s.class_def(class_from_ldap(name));
}

ClassDef expanded(const Schema &s, const ClassDef &def) {
  ClassDef e = def;
  e.super_classes.clear();
  for (const ClassDef *c : s.lineage(def.name))
    if (c != &def) e.super_classes.push_back(c->name);
  e.mandatory = s.mandatory(def.name);
  e.optional = s.optional(def.name);
  return e;
}

NWDSCCODE fill(PendingDefs &p, Buffer &buf, bool &more) {
  more = false;
  const nuint32 verb = p.classes ? DSV_READ_CLASS_DEF : DSV_READ_ATTR_DEF;
  ResultWriter w(buf, verb);
  const size_t count_at = w.next_index();
  if (!w.add_count(p.classes ? tag::CLASS_DEF_COUNT : tag::ATTR_COUNT, 0)) return ERR_INSUFFICIENT_BUFFER;
  nuint32 given = 0;
  for (; p.next < p.names.size(); ++p.next) {
    bool added = false;
    if (p.classes) {
      const ClassDef *c = p.schema->class_def(p.names[p.next]);
      if (c == nullptr) continue;
      added = p.info_type == DS_EXPANDED_CLASS_DEFS ? w.add_class_def(expanded(*p.schema, *c), p.info_type)
                                                    : w.add_class_def(*c, p.info_type);
    } else {
      const AttrDef *a = p.schema->attribute(p.names[p.next]);
      if (a == nullptr) continue;
      const bool full = p.info_type == DS_ATTR_DEFS;
      added = w.fits(ResultWriter::attr_def_cost(*a, full)) && w.add_attr_def(*a, full);
    }
    if (!added) {
      more = true;
      break;
    }
    ++given;
  }
  w.set_number(count_at, given);
  return more && given == 0 ? ERR_INSUFFICIENT_BUFFER : 0;
}

NWDSCCODE read_defs(bool classes, NWDSContextHandle context, nuint32 infoType, nbool8 all, pBuf_T request,
                    nint32 *iterationHandle, pBuf_T result) {
  if (!context_is_live(context)) return ERR_BAD_CONTEXT;
  const nuint32 verb = classes ? DSV_READ_CLASS_DEF : DSV_READ_ATTR_DEF;
  std::unique_ptr<IterationState> state;
  if (*iterationHandle != NO_MORE_ITERATIONS) {
    if (NWDSCCODE st = take_iteration(verb, context, *iterationHandle, state)) return st;
    if (dynamic_cast<PendingDefs *>(state.get()) == nullptr) return ERR_INVALID_ITERATION;
  } else {
    const bool known = classes ? infoType <= DS_FULL_CLASS_DEFS
                               : infoType == DS_ATTR_DEF_NAMES || infoType == DS_ATTR_DEFS;
    if (!known) return ERR_INVALID_REQUEST;
    LOp op;
    if (NWDSCCODE st = begin(context, op)) return st;
    auto fresh = std::make_unique<PendingDefs>();
    fresh->classes = classes;
    fresh->info_type = infoType;
    fresh->schema = op.schema;
    if (all) {
      if (classes)
        for (const ClassDef &c : op.schema->classes()) fresh->names.push_back(c.name);
      else
        for (const AttrDef &a : op.schema->attributes()) fresh->names.push_back(a.name);
    } else {
      if (request == nullptr) return ERR_NULL_POINTER;
      const Buffer *b = buffer_of(request);
      if (b->verb != verb || b->result) return ERR_BAD_VERB;
      std::set<std::string> seen;
      for (const Item &it : b->items) {
        if (it.tag != (classes ? tag::CLASS_ITEM : tag::ATTR_NAME)) continue;
        std::string name;
        if (classes) {
          const ClassDef *c = find_class(*op.schema, it.name);
          if (c == nullptr) return ERR_NO_SUCH_CLASS;
          name = c->name;
        } else {
          const AttrDef *a = find_attr(*op.schema, it.name);
          if (a == nullptr) return ERR_NO_SUCH_ATTRIBUTE;
          name = a->name;
        }
        if (seen.insert(fold_case(name)).second) fresh->names.push_back(name);
      }
    }
    state = std::move(fresh);
  }
  auto &p = static_cast<PendingDefs &>(*state);
  Buffer &out = *buffer_of(result);
  bool more = false;
  if (NWDSCCODE st = fill(p, out, more)) {
    out.reset(verb);
    return st;
  }
  return keep_or_finish(verb, context, std::move(state), more, iterationHandle, out);
}

} // namespace

NWDSCCODE get_syntax_id(NWDSContextHandle context, const nstr8 *attrName, nuint32 *syntaxID) {
  LOp op;
  if (NWDSCCODE st = begin(context, op)) return st;
  const AttrDef *a = find_attr(*op.schema, attrName);
  if (a == nullptr) return ERR_NO_SUCH_ATTRIBUTE;
  *syntaxID = a->syntax;
  return 0;
}

NWDSCCODE read_class_defs(NWDSContextHandle context, nuint32 infoType, nbool8 allClasses, pBuf_T classNames,
                          nint32 *iterationHandle, pBuf_T classDefs) {
  return read_defs(true, context, infoType, allClasses, classNames, iterationHandle, classDefs);
}

NWDSCCODE read_attr_defs(NWDSContextHandle context, nuint32 infoType, nbool8 allAttrs, pBuf_T attrNames,
                         nint32 *iterationHandle, pBuf_T attrDefs) {
  return read_defs(false, context, infoType, allAttrs, attrNames, iterationHandle, attrDefs);
}

} // namespace nwc::ldap
