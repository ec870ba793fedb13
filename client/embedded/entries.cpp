/*
 * entries.cpp - adding, modifying, removing and comparing entries, and the
 * pieces the entry operations share (see entries.h).
 *
 * An add or modify sent in several buffers (`more` set) keeps the request
 * attributes of each buffer in an iteration and applies them all when the
 * call without `more` comes; the handle handed back between the calls is a
 * live iteration of DSV_ADD_ENTRY / DSV_MODIFY_ENTRY.
 *
 * Change types (DS_ constants), as the published client documents them:
 *   ADD_ATTRIBUTE       the attribute must have no value yet
 *                       (ERR_ATTRIBUTE_ALREADY_EXISTS); its values are added
 *   REMOVE_ATTRIBUTE    the attribute must be present (ERR_NO_SUCH_ATTRIBUTE)
 *   ADD_VALUE           adds values (an existing one: ERR_DUPLICATE_VALUE)
 *   REMOVE_VALUE        removes values (an absent one: ERR_NO_SUCH_VALUE)
 *   ADDITIONAL_VALUE    as ADD_VALUE, but the attribute must already have a
 *                       value (ERR_NO_SUCH_ATTRIBUTE)
 *   OVERWRITE_VALUE     a single-valued attribute gets the value in place of
 *                       its old one; a multi-valued one gets it unless it
 *                       holds it already (no error either way)
 *   CLEAR_ATTRIBUTE     removes the attribute if present
 *   CLEAR_VALUE         removes values if present
 * No change may take away a value of the entry's RDN
 * (ERR_CANT_REMOVE_NAMING_VALUE); after all changes every mandatory
 * attribute of the class must still have a value (ERR_MISSING_MANDATORY).
 */
#include "entries.h"

#include <algorithm>
#include <map>

#include "aliases.h"
#include "names_follow.h"

#include "items.h"
#include "iteration.h"
#include "rights.h"

namespace nwc {

namespace {

struct PendingRequest : IterationState {
  std::vector<RequestAttr> attrs;
};

bool same_name(std::string_view a, std::string_view b) { return fold_case(a) == fold_case(b); }

bool contains_name(const std::vector<std::string> &list, std::string_view name) {
  for (const auto &n : list)
    if (same_name(n, name)) return true;
  return false;
}

/* Collects a request buffer across calls; applies it on the last one. */
template <class Apply>
NWDSCCODE multi_part(NWDSContextHandle context, nint32 *iterationHandle, bool more, pBuf_T buf,
                     nuint32 verb, Apply apply) {
  if (!context_is_live(context)) return ERR_BAD_CONTEXT;
  std::vector<RequestAttr> attrs;
  if (NWDSCCODE st = request_attrs(buf, verb, attrs)) return st;
  std::unique_ptr<IterationState> state;
  if (iterationHandle != nullptr && *iterationHandle != NO_MORE_ITERATIONS) {
    if (NWDSCCODE st = take_iteration(verb, context, *iterationHandle, state)) return st;
    auto &earlier = static_cast<PendingRequest &>(*state).attrs;
    earlier.insert(earlier.end(), std::make_move_iterator(attrs.begin()),
                   std::make_move_iterator(attrs.end()));
    attrs = std::move(earlier);
  }
  if (more) {
    if (iterationHandle == nullptr) return ERR_NULL_POINTER;
    auto pending = std::make_unique<PendingRequest>();
    pending->attrs = std::move(attrs);
    return open_iteration(verb, context, std::move(pending), *iterationHandle);
  }
  NWDSCCODE st = apply(attrs);
  if (iterationHandle != nullptr) *iterationHandle = NO_MORE_ITERATIONS;
  return st;
}

/* True when `v` is the value of one of the RDN's parts under `attr`. */
bool is_naming_value(const Rdn &rdn, const AttrDef &attr, const Value &v) {
  for (const Ava &ava : rdn.avas)
    if (same_name(ava.type, attr.name) &&
        equality_key(Value::text(attr.syntax, ava.value)) == equality_key(v))
      return true;
  return false;
}

bool is_naming_attr(const Rdn &rdn, const AttrDef &attr) {
  for (const Ava &ava : rdn.avas)
    if (same_name(ava.type, attr.name)) return true;
  return false;
}

/* The most specific of the requested classes. */
NWDSCCODE base_class_of(const Schema &s, const std::vector<Value> &classes, std::string &out) {
  if (classes.empty()) return ERR_MISSING_MANDATORY;
  const ClassDef *best = nullptr;
  for (const Value &v : classes) {
    const ClassDef *c = v.texts.empty() ? nullptr : s.class_def(v.texts[0]);
    if (c == nullptr) return ERR_NO_SUCH_CLASS;
    if (best == nullptr || s.is_a(c->name, best->name)) best = c;
  }
  for (const Value &v : classes)
    if (!s.is_a(best->name, v.texts[0])) return ERR_OBJECT_CLASS_VIOLATION;
  if (!(best->flags & DS_EFFECTIVE_CLASS)) return ERR_NOT_EFFECTIVE_CLASS;
  out = best->name;
  return 0;
}

NWDSCCODE apply_add(Op &op, const char *objectName, const std::vector<RequestAttr> &attrs) {
  const Schema &s = *op.schema;
  auto dn = resolve(op, objectName);
  if (!dn) return dn.status();
  if (dn->is_root()) return ERR_CANT_ADD_ROOT;
  EntryRow parent_entry;
  if (NWDSCCODE st = find_dn(op, dn->parent(), Leaf::follow, parent_entry)) return st;
  const EntryId *parent = &parent_entry.id;
  if (NWDSCCODE st = check_entry(op, *parent, DS_ENTRY_ADD)) return st;

  /* The request's values by attribute, in request order. */
  std::vector<std::pair<const AttrDef *, std::vector<Value>>> by_attr;
  for (const RequestAttr &ra : attrs) {
    const AttrDef *a = s.attribute(ra.name);
    if (a == nullptr) return ERR_NO_SUCH_ATTRIBUTE;
    auto it = by_attr.begin();
    while (it != by_attr.end() && it->first != a) ++it;
    if (it == by_attr.end()) it = by_attr.insert(by_attr.end(), {a, {}});
    it->second.insert(it->second.end(), ra.values.begin(), ra.values.end());
  }
  const AttrDef *object_class = s.attribute("Object Class");
  std::vector<Value> classes;
  for (const auto &[a, values] : by_attr)
    if (a == object_class) classes = values;
  std::string cls;
  if (NWDSCCODE st = base_class_of(s, classes, cls)) return st;
  if (!s.may_contain(parent_entry.cls, cls)) return ERR_ILLEGAL_CONTAINMENT;
  const ClassDef *cdef = s.class_def(cls);
  if (cdef == nullptr) return ERR_NO_SUCH_CLASS;

  Rdn rdn = dn->rdns.front();
  const std::vector<std::string> naming = s.naming(cls);
  for (Ava &ava : rdn.avas) {
    if (contains_name(naming, ava.type)) continue;
    if (ava.inferred && rdn.avas.size() == 1 && !naming.empty()) {
      ava.type = canonical_type(naming.front());
      continue;
    }
    return ERR_ILLEGAL_DS_NAME;
  }
  if (auto existing = op.store->child(*parent, rdn)) return ERR_ENTRY_ALREADY_EXISTS;

  std::vector<NewValue> values;
  for (const auto &[a, vals] : by_attr) {
    if (a->flags & DS_READ_ONLY_ATTR) return ERR_NO_ACCESS;
    if (!s.allows(*cdef, *a)) return ERR_ILLEGAL_ATTRIBUTE;
    std::vector<std::string> keys;
    for (const Value &v : vals) {
      if (v.syntax != a->syntax) return ERR_SYNTAX_VIOLATION;
      if (Status st = s.check_value(*a, v)) return st;
      std::string k = equality_key(v);
      for (const auto &seen : keys)
        if (seen == k) return ERR_DUPLICATE_VALUE;
      keys.push_back(std::move(k));
      values.push_back({a->name, v});
    }
    if ((a->flags & DS_SINGLE_VALUED_ATTR) && vals.size() > 1) return ERR_CANT_HAVE_MULTIPLE_VALUES;
  }
  const std::vector<std::string> mandatory_names = s.mandatory(cls);
  const std::vector<const AttrDef *> &mandatory = s.mandatory_defs(*cdef);
  for (size_t i = 0; i < mandatory.size(); ++i) {
    const AttrDef *m = mandatory[i];
    if (m != nullptr && m == object_class) continue;
    bool present = false;
    for (const Ava &ava : rdn.avas) present = present || same_name(ava.type, mandatory_names[i]);
    for (const auto &[a, vals] : by_attr) present = present || (a == m && !vals.empty());
    if (!present) return ERR_MISSING_MANDATORY;
  }
  Dn full = *dn;
  full.rdns.front() = rdn;
  /* The default rights of the class, but for those asked for already (an
     entry restored or imported holds them among its own values). */
  const AttrDef *acl = s.attribute("ACL");
  std::vector<std::string> asked_acl; /* the keys of the ACL values asked for */
  for (const auto &[a, vals] : by_attr)
    if (a == acl)
      for (const Value &v : vals) {
        Value n = v;
        if (Status st = normalise_value(n)) return st;
        asked_acl.push_back(equality_key(n));
      }
  for (Value &v : default_acl(s, cls, format_dn(full))) {
    bool given = false;
    if (!asked_acl.empty()) {
      if (Status st = normalise_value(v)) return st;
      const std::string k = equality_key(v);
      for (const std::string &ak : asked_acl) given = given || ak == k;
    }
    if (!given) values.push_back({"ACL", std::move(v)});
  }
  auto id = op.store->add_entry(*parent, rdn, cls, values);
  return id ? 0 : id.status();
}

NWDSCCODE apply_change(Op &op, EntryId id, const EntryRow &e, const ClassDef *cls, const Rdn &rdn,
                       const RequestAttr &ch) {
  const Schema &s = *op.schema;
  Store &st = *op.store;
  const AttrDef *a = s.attribute(ch.name);
  if (a == nullptr) return ERR_NO_SUCH_ATTRIBUTE;
  if (a->flags & DS_READ_ONLY_ATTR) return ERR_NO_ACCESS;
  if (NWDSCCODE r = check_change(op, id, a->name, ch.change, ch.values)) return r;
  if (a == s.attribute("Object Class")) return ERR_OBJECT_CLASS_VIOLATION;
  for (const Value &v : ch.values)
    if (v.syntax != a->syntax) return ERR_SYNTAX_VIOLATION;
  const bool adds = ch.change == DS_ADD_ATTRIBUTE || ch.change == DS_ADD_VALUE ||
                    ch.change == DS_ADDITIONAL_VALUE || ch.change == DS_OVERWRITE_VALUE;
  if (adds && !(cls != nullptr ? s.allows(*cls, *a) : s.allows(e.cls, a->name)))
    return ERR_ILLEGAL_ATTRIBUTE;
  /* Whether the attribute has values: asked only by the changes that
     depend on it. */
  bool has_values = false;
  if (ch.change == DS_ADD_ATTRIBUTE || ch.change == DS_ADDITIONAL_VALUE || ch.change == DS_REMOVE_ATTRIBUTE ||
      ch.change == DS_CLEAR_ATTRIBUTE) {
    auto present = st.has_attribute(id, a->name);
    if (!present) return present.status();
    has_values = *present;
  }
  auto add_all = [&]() -> NWDSCCODE {
    for (const Value &v : ch.values)
      if (Status r = st.add_value(id, a->name, v)) return r;
    return 0;
  };
  switch (ch.change) {
  case DS_ADD_ATTRIBUTE:
    if (has_values) return ERR_ATTRIBUTE_ALREADY_EXISTS;
    return add_all();
  case DS_ADD_VALUE:
    return add_all();
  case DS_ADDITIONAL_VALUE:
    if (!has_values) return ERR_NO_SUCH_ATTRIBUTE;
    return add_all();
  case DS_OVERWRITE_VALUE:
    for (const Value &v : ch.values) {
      if (Status r = s.check_value(*a, v)) return r;
      auto has = st.has_value(id, a->name, v);
      if (!has) return has.status();
      if (*has) continue;
      if (a->flags & DS_SINGLE_VALUED_ATTR) {
        if (is_naming_attr(rdn, *a)) return ERR_CANT_REMOVE_NAMING_VALUE;
        if (Status r = st.clear_attribute(id, a->name)) return r;
      }
      if (Status r = st.add_value(id, a->name, v)) return r;
    }
    return 0;
  case DS_REMOVE_ATTRIBUTE:
  case DS_CLEAR_ATTRIBUTE:
    if (is_naming_attr(rdn, *a) && has_values) return ERR_CANT_REMOVE_NAMING_VALUE;
    if (ch.change == DS_REMOVE_ATTRIBUTE) return st.remove_attribute(id, a->name);
    return st.clear_attribute(id, a->name);
  case DS_REMOVE_VALUE:
  case DS_CLEAR_VALUE:
    for (const Value &v : ch.values) {
      if (is_naming_value(rdn, *a, v)) return ERR_CANT_REMOVE_NAMING_VALUE;
      Status r = st.remove_value(id, a->name, v);
      if (r == ERR_NO_SUCH_VALUE && ch.change == DS_CLEAR_VALUE) continue;
      if (r != 0) return r;
    }
    return 0;
  default:
    return ERR_INVALID_REQUEST;
  }
}

NWDSCCODE apply_modify(Op &op, const char *objectName, const std::vector<RequestAttr> &changes) {
  auto dn = resolve(op, objectName);
  if (!dn) return dn.status();
  EntryRow found;
  if (NWDSCCODE st = find_dn(op, *dn, Leaf::follow, found)) return st;
  const EntryId *id = &found.id;
  const EntryRow *e = &found;
  Rdn rdn;
  if (*id != op.store->root_id()) {
    auto r = parse_rdn(e->rdn);
    if (!r) return ERR_INCONSISTENT_DATABASE;
    rdn = std::move(*r);
  }
  /* Inside the operation's transaction: a failed change undoes them all. */
  const ClassDef *cls = op.schema->class_def(e->cls);
  bool removes = false; /* only a change that can take values away can lose a mandatory one */
  for (const RequestAttr &ch : changes) {
    if (NWDSCCODE st = apply_change(op, *id, *e, cls, rdn, ch)) return st;
    const AttrDef *a = op.schema->attribute(ch.name);
    const bool adds_only = ch.change == DS_ADD_ATTRIBUTE || ch.change == DS_ADD_VALUE ||
                           ch.change == DS_ADDITIONAL_VALUE ||
                           (ch.change == DS_OVERWRITE_VALUE && a != nullptr && !(a->flags & DS_SINGLE_VALUED_ATTR));
    removes = removes || !adds_only;
  }
  if (!removes) return 0;
  for (const std::string &m : op.schema->mandatory(e->cls)) {
    auto has = op.store->has_attribute(*id, m);
    if (!has) return has.status();
    if (!*has) return ERR_MISSING_MANDATORY;
  }
  return 0;
}

} // namespace

std::recursive_mutex &directory_lock() {
  static std::recursive_mutex *m = new std::recursive_mutex; /* usable until exit */
  return *m;
}

NWDSCCODE begin_op(NWDSContextHandle context, Op &op) {
  if (NWDSCCODE st = context_snapshot(context, op.ctx)) return st;
  auto store = current_store();
  if (!store) return store.status();
  op.store = *store;
  auto schema = op.store->schema();
  if (!schema) return schema.status();
  op.schema = *schema;
  return 0;
}

NWDSCCODE begin_op(NWDSContextHandle context, Op &op, Transaction::Kind kind) {
  if (NWDSCCODE st = context_snapshot(context, op.ctx)) return st;
  auto store = current_store();
  if (!store) return store.status();
  op.store = *store;
  op.tx = std::make_unique<Transaction>(*op.store, kind);
  if (NWDSCCODE st = op.tx->status()) return st;
  auto schema = op.store->schema();
  if (!schema) return schema.status();
  op.schema = *schema;
  return 0;
}

Expected<Dn> resolve(const Op &op, const char *name) {
  return parse_name(name, op.ctx.name_context, op.ctx.flags);
}

NWDSCCODE find_entry(const Op &op, const char *name, EntryId &id) {
  return find_name(op, name, Leaf::follow, id);
}

Expected<uint32_t> subordinate_count(const Op &op, EntryId id, uint32_t flags, const std::string &cls) {
  if (!(flags & DS_CONTAINER_ENTRY) && !op.schema->is_container(cls)) return 0u;
  return op.store->child_count(id);
}

std::vector<int64_t> attrs_to_read(const Schema &schema, const std::vector<std::string> &names) {
  std::vector<int64_t> out;
  auto add = [&](const AttrDef *a) {
    if (a != nullptr && std::find(out.begin(), out.end(), a->id) == out.end()) out.push_back(a->id);
  };
  for (const std::string &n : names) add(schema.attribute(n));
  add(schema.attribute("ACL"));
  return out;
}

NWDSCCODE request_attrs(pBuf_T buf, nuint32 verb, std::vector<RequestAttr> &out) {
  Buffer *b = buffer_of(buf);
  if (b->verb != verb || b->result) return ERR_BAD_VERB;
  for (const Item &it : b->items) {
    if (it.tag == tag::ATTR_NAME || it.tag == tag::CHANGE) {
      out.push_back({it.name, it.tag == tag::CHANGE ? it.number : 0, {}});
    } else if (it.tag == tag::VALUE && !out.empty()) {
      auto v = decode_value(it.number, std::string_view(reinterpret_cast<const char *>(it.value.data()),
                                                        it.value.size()));
      if (!v) return v.status();
      out.back().values.push_back(std::move(*v));
    }
  }
  return 0;
}

NWDSCCODE add_object(NWDSContextHandle context, const nstr8 *objectName,
                     nint32 *iterationHandle, nbool8 more, pBuf_T objectInfo) {
  std::lock_guard<std::recursive_mutex> g(directory_lock());
  return multi_part(context, iterationHandle, more != 0, objectInfo, DSV_ADD_ENTRY,
                    [&](const std::vector<RequestAttr> &attrs) -> NWDSCCODE {
                      Op op;
                      if (NWDSCCODE st = begin_op(context, op, Transaction::kWrite)) return st;
                      if (NWDSCCODE st = apply_add(op, objectName, attrs)) return st;
                      return op.tx->commit();
                    });
}

NWDSCCODE modify_object(NWDSContextHandle context, const nstr8 *objectName,
                        nint32 *iterationHandle, nbool8 more, pBuf_T changes) {
  std::lock_guard<std::recursive_mutex> g(directory_lock());
  return multi_part(context, iterationHandle, more != 0, changes, DSV_MODIFY_ENTRY,
                    [&](const std::vector<RequestAttr> &attrs) -> NWDSCCODE {
                      Op op;
                      if (NWDSCCODE st = begin_op(context, op, Transaction::kWrite)) return st;
                      if (NWDSCCODE st = apply_modify(op, objectName, attrs)) return st;
                      return op.tx->commit();
                    });
}

NWDSCCODE remove_object(NWDSContextHandle context, const nstr8 *object) {
  std::lock_guard<std::recursive_mutex> g(directory_lock());
  Op op;
  if (NWDSCCODE st = begin_op(context, op)) return st;
  auto dn = resolve(op, object);
  if (!dn) return dn.status();
  if (dn->is_root()) return ERR_INVALID_REQUEST;
  EntryId id = kNoEntry;
  if (NWDSCCODE st = find_dn(op, *dn, Leaf::itself, id)) return st;
  if (NWDSCCODE st = check_entry(op, id, DS_ENTRY_DELETE)) return st;
  Transaction tx(*op.store);
  if (tx.status()) return tx.status();
  auto full = op.store->dn_of(id);
  if (!full) return full.status();
  if (NWDSCCODE st = op.store->remove_entry(id)) return st;
  if (NWDSCCODE st = drop_names_of(op, *full)) return st;
  return tx.commit();
}

NWDSCCODE compare_value(NWDSContextHandle context, const nstr8 *object, pBuf_T buf,
                        nbool8 *matched) {
  std::lock_guard<std::recursive_mutex> g(directory_lock());
  if (!context_is_live(context)) return ERR_BAD_CONTEXT;
  std::vector<RequestAttr> req;
  if (NWDSCCODE st = request_attrs(buf, DSV_COMPARE, req)) return st;
  if (req.size() != 1 || req[0].values.size() != 1) return ERR_INVALID_REQUEST;
  Op op;
  if (NWDSCCODE st = begin_op(context, op)) return st;
  EntryId found = kNoEntry;
  if (NWDSCCODE st = find_entry(op, object, found)) return st;
  const EntryId *id = &found;
  const AttrDef *a = op.schema->attribute(req[0].name);
  if (a == nullptr) return ERR_NO_SUCH_ATTRIBUTE;
  if (NWDSCCODE st = check_attr(op, *id, a->name, DS_ATTR_COMPARE)) return st;
  const Value &v = req[0].values[0];
  const SyntaxDef *sd = syntax(a->syntax);
  if (v.syntax != a->syntax || sd == nullptr || sd->equality == Match::None)
    return ERR_INVALID_COMPARISON;
  auto present = op.store->values(*id, a->name);
  if (!present) return present.status();
  if (present->empty()) return ERR_NO_SUCH_ATTRIBUTE;
  auto has = op.store->has_value(*id, a->name, v);
  if (!has) return has.status();
  *matched = *has ? 1 : 0;
  return 0;
}

NWDSCCODE get_syntax_id(NWDSContextHandle context, const nstr8 *attrName, nuint32 *syntaxID) {
  std::lock_guard<std::recursive_mutex> g(directory_lock());
  Op op;
  if (NWDSCCODE st = begin_op(context, op)) return st;
  auto id = op.schema->syntax_of(attrName);
  if (!id) return id.status();
  *syntaxID = *id;
  return 0;
}

} // namespace nwc
