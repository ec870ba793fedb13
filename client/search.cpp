/*
 * search.cpp - the engine of NWDSSearch.
 *
 * The base object's name is resolved through the calling context
 * (ERR_NO_SUCH_ENTRY when it does not exist).  The scope picks the entries
 * examined: DS_SEARCH_ENTRY the base alone, DS_SEARCH_SUBORDINATES its
 * immediate subordinates, DS_SEARCH_SUBTREE the base and every entry below
 * it; any other scope is ERR_INVALID_REQUEST.  With searchAliases set, an
 * alias in scope (the base included) stands for the entry its Aliased
 * Object Name names, which is examined in its place (once, however many
 * aliases lead to it; the search does not descend below it); an alias whose
 * object does not exist is left out.  Without it, an alias is examined as
 * itself.
 *
 * The filter is a buffer initialised for DSV_SEARCH_FILTER (ERR_BAD_VERB
 * otherwise) holding attribute names, each followed by zero or more values.
 * A name with values asserts that the entry holds a value equal to one of
 * them under the attribute's matching rule (schema equality keys: case is
 * ignored where the syntax ignores it); a name alone asserts that the entry
 * has a value of the attribute.  An entry matches when every assertion
 * holds.  A null filter, or one without names, matches every entry in
 * scope.  A name unknown to the schema is ERR_NO_SUCH_ATTRIBUTE; a value of
 * another syntax than its attribute's, or an equality assertion on an
 * attribute whose syntax has no equality matching, ERR_INVALID_COMPARISON.
 * The first equality assertion is answered from the store's value index
 * (find_by_value) instead of reading every entry's values.
 *
 * countObjectsToSearch > 0 bounds the entries examined (in entry-id order);
 * 0 or less is no bound.  countObjectsSearched (when not null) is set, on
 * every successful call, to the number of entries the search examined.
 *
 * The first call examines the entries in scope, in the order of their entry
 * ids, in one read transaction and keeps the ids of those that match; the
 * result is then given from that list.  The result buffer need not be
 * initialised by the caller: the search initialises it for DSV_SEARCH and
 * fills it as
 *   OBJECT_COUNT (OBJECT ATTR_COUNT (ATTR RESULT_VALUE*)*)*
 * each OBJECT carrying the entry's full typed name, its attribute count,
 * object flags, subordinate count, modification time and base class, as a
 * listing gives them.  DS_ATTRIBUTE_NAMES gives each attribute with a value
 * count of 0 and its syntax id, DS_ATTRIBUTE_VALUES its values too; the
 * attributes are all the entry's (allAttrs) or those named in attrNames (a
 * buffer initialised for DSV_SEARCH or DSV_READ) that the entry has; hidden
 * attributes never.  DS_EFFECTIVE_PRIVILEGES gives each attribute with one
 * value of syntax SYN_INTEGER, the privileges the context's identity holds
 * on it.  The other information types are not built yet.
 *
 * Rights (rights.h): the base must be an entry the context's identity may
 * browse (ERR_NO_SUCH_ENTRY otherwise); only entries it may browse, and
 * compare every filter attribute on, match; attributes it may not read
 * (compare, for names; any right, for privileges) are left out.
 *
 * The attributes and values are read when their object is written, so an
 * entry removed after the first call is left out of later parts.  A part
 * ends between objects: an object is given whole in one part.  When the
 * rest does not fit, the search continues through an iteration of
 * DSV_SEARCH; the last part hands back NO_MORE_ITERATIONS.  Over all parts
 * every matching object is given exactly once.  An object that does not fit
 * an empty result buffer is ERR_INSUFFICIENT_BUFFER (the search, and a
 * handle passed in, are then given up).  NWDSCloseIteration with DSV_SEARCH
 * releases an unfinished search.  A handle that is not a live search of the
 * context, or whose search was made on another store, is
 * ERR_INVALID_ITERATION.  On failure the caller's handle and count are left
 * as they were.
 */
#include <algorithm>
#include <set>
#include <string>
#include <unordered_set>
#include <vector>

#include "call.h"
#include "entries.h"
#include "items.h"
#include "iteration.h"
#include "rights.h"

namespace nwc {

namespace {

constexpr size_t kPage = 256;

struct Assertion {
  const AttrDef *attr = nullptr;
  std::vector<Value> values; /* empty: presence */
};

struct PendingSearch : IterationState {
  nuint32 info_type = DS_ATTRIBUTE_VALUES;
  bool all_attrs = true;
  std::vector<std::string> wanted; /* folded attribute names (not all_attrs) */
  std::vector<EntryId> matches;    /* in entry-id order */
  size_t next = 0;                 /* the first match not given yet */
  nint32 examined = 0;
};

NWDSCCODE make_assertions(const Op &op, pBuf_T filter, std::vector<Assertion> &out) {
  if (filter == nullptr) return 0;
  std::vector<RequestAttr> req;
  if (NWDSCCODE st = request_attrs(filter, DSV_SEARCH_FILTER, req)) return st;
  for (RequestAttr &r : req) {
    const AttrDef *a = op.schema->attribute(r.name);
    if (a == nullptr) return ERR_NO_SUCH_ATTRIBUTE;
    if (!r.values.empty()) {
      const SyntaxDef *sd = syntax(a->syntax);
      if (sd == nullptr || sd->equality == Match::None) return ERR_INVALID_COMPARISON;
      for (const Value &v : r.values)
        if (v.syntax != a->syntax) return ERR_INVALID_COMPARISON;
    }
    out.push_back({a, std::move(r.values)});
  }
  return 0;
}

/* The entry an alias names; kNoEntry when it names none that exists. */
Expected<EntryId> alias_target(Store &store, EntryId alias) {
  auto vals = store.values(alias, "Aliased Object Name");
  if (!vals) return vals.status();
  for (const StoredValue &sv : *vals) {
    if (sv.value.texts.empty()) continue;
    auto dn = parse_dn(sv.value.texts[0]);
    if (!dn) continue;
    auto id = store.find(*dn);
    if (id) return *id;
    if (id.status() != ERR_NO_SUCH_ENTRY) return id.status();
  }
  return kNoEntry;
}

/* The ids of the entries in scope, in id order. */
NWDSCCODE entries_in_scope(Store &store, EntryId base, nint32 scope, std::vector<EntryId> &out) {
  if (scope == DS_SEARCH_ENTRY) {
    out.push_back(base);
    return 0;
  }
  std::vector<EntryId> parents{base};
  if (scope == DS_SEARCH_SUBTREE) out.push_back(base);
  for (size_t i = 0; i < parents.size(); ++i) {
    EntryId after = kNoEntry;
    for (;;) {
      auto page = store.children(parents[i], after, kPage);
      if (!page) return page.status();
      for (const Entry &e : *page) {
        out.push_back(e.id);
        if (scope == DS_SEARCH_SUBTREE) parents.push_back(e.id);
        after = e.id;
      }
      if (page->size() < kPage) break;
    }
  }
  std::sort(out.begin(), out.end());
  return 0;
}

Expected<bool> holds(Store &store, EntryId id, const Assertion &as) {
  if (as.values.empty()) {
    auto vals = store.values(id, as.attr->name);
    if (!vals) return vals.status();
    return !vals->empty();
  }
  for (const Value &v : as.values) {
    auto has = store.has_value(id, as.attr->name, v);
    if (!has) return has.status();
    if (*has) return true;
  }
  return false;
}

/* Examines the entries in scope and keeps the matches in `s`. */
NWDSCCODE examine(const Op &op, const nstr8 *base_name, nint32 scope, bool aliases,
                  const std::vector<Assertion> &filter, nint32 limit, PendingSearch &s) {
  Store &store = *op.store;
  Transaction tx(store, Transaction::kRead);
  if (tx.status()) return tx.status();
  auto dn = resolve(op, base_name);
  if (!dn) return dn.status();
  auto base = store.find(*dn);
  if (!base) return base.status();
  EntryId base_id = *base;
  if (aliases) {
    auto e = store.entry(base_id);
    if (!e) return e.status();
    if ((e->flags & DS_ALIAS_ENTRY) || op.schema->is_a(e->cls, "Alias")) {
      auto target = alias_target(store, base_id);
      if (!target) return target.status();
      if (*target == kNoEntry) return ERR_NO_SUCH_ENTRY;
      base_id = *target;
    }
  }
  std::vector<EntryId> scope_ids;
  if (NWDSCCODE st = entries_in_scope(store, base_id, scope, scope_ids)) return st;

  /* The first equality assertion narrows the candidates through the index. */
  const Assertion *indexed = nullptr;
  std::unordered_set<EntryId> holders;
  for (const Assertion &as : filter)
    if (!as.values.empty()) {
      indexed = &as;
      break;
    }
  if (indexed != nullptr)
    for (const Value &v : indexed->values) {
      auto ids = store.find_by_value(indexed->attr->name, v);
      if (!ids) return ids.status();
      holders.insert(ids->begin(), ids->end());
    }

  std::set<EntryId> chosen;
  for (EntryId id : scope_ids) {
    if (limit > 0 && s.examined >= limit) break;
    EntryId subject = id;
    if (aliases) {
      auto e = store.entry(id);
      if (!e) {
        if (e.status() == ERR_NO_SUCH_ENTRY) continue;
        return e.status();
      }
      if ((e->flags & DS_ALIAS_ENTRY) || op.schema->is_a(e->cls, "Alias")) {
        auto target = alias_target(store, id);
        if (!target) return target.status();
        if (*target == kNoEntry) continue;
        subject = *target;
      }
    }
    if (chosen.count(subject)) continue;
    ++s.examined;
    bool ok = indexed == nullptr || holders.count(subject) != 0;
    for (const Assertion &as : filter) {
      if (!ok) break;
      if (&as == indexed) continue; /* answered through the index */
      auto h = holds(store, subject, as);
      if (!h) return h.status();
      ok = *h;
    }
    if (ok) chosen.insert(subject);
  }
  s.matches.assign(chosen.begin(), chosen.end());
  return 0;
}

/* Keeps the matches the identity may browse and compare the filter's
   attributes on. */
NWDSCCODE keep_permitted(const Op &op, const std::vector<std::string> &compared,
                         std::vector<EntryId> &matches) {
  std::vector<EntryId> kept;
  for (EntryId id : matches) {
    Privileges p;
    if (NWDSCCODE st = effective_rights(*op.store, identity_of(op), id, p)) return st;
    bool ok = (p.entry & DS_ENTRY_BROWSE) != 0;
    for (const std::string &a : compared) ok = ok && (p.attr(a) & DS_ATTR_COMPARE) != 0;
    if (ok) kept.push_back(id);
  }
  matches = std::move(kept);
  return 0;
}

struct ObjectOut {
  std::string full;
  Entry entry;
  nuint32 flags = 0;
  nuint32 subordinates = 0;
  struct Attr {
    std::string name;
    nuint32 syntax = 0;
    std::vector<std::string> values;
  };
  std::vector<Attr> attrs;
  size_t cost = 0;
};

/* What one object of the result is; false (status 0) when it no longer exists. */
NWDSCCODE describe(const Op &op, const PendingSearch &s, EntryId id, ObjectOut &o, bool &exists) {
  Store &store = *op.store;
  exists = false;
  auto e = store.entry(id);
  if (!e) return e.status() == ERR_NO_SUCH_ENTRY ? 0 : e.status();
  auto dn = store.dn_of(id);
  if (!dn) return dn.status() == ERR_NO_SUCH_ENTRY ? 0 : dn.status();
  auto subs = store.child_count(id);
  if (!subs) return subs.status();
  o.entry = *e;
  o.full = format_dn(*dn);
  o.flags = e->flags & (DS_ALIAS_ENTRY | DS_PARTITION_ROOT | DS_CONTAINER_ENTRY);
  if (op.schema->is_a(e->cls, "Alias")) o.flags |= DS_ALIAS_ENTRY;
  o.subordinates = *subs;
  o.cost = name_cost(o.full) + 4 * kNumberCost + name_cost(e->cls) + kNumberCost;
  auto values = store.values(id);
  if (!values) return values.status();
  Privileges rights;
  if (NWDSCCODE st = effective_rights(store, identity_of(op), id, rights)) return st;
  const bool names_only = s.info_type == DS_ATTRIBUTE_NAMES;
  const bool privileges = s.info_type == DS_EFFECTIVE_PRIVILEGES;
  const nuint32 needed = names_only ? DS_ATTR_COMPARE : DS_ATTR_READ;
  for (const StoredValue &sv : *values) {
    const AttrDef *a = op.schema->attribute_by_id(sv.attr_id);
    if (a == nullptr || (a->flags & DS_HIDDEN_ATTR)) continue;
    if (!s.all_attrs &&
        std::find(s.wanted.begin(), s.wanted.end(), fold_case(a->name)) == s.wanted.end())
      continue;
    /* Attributes the identity may not read (compare, for names; any right,
       for privileges) are left out. */
    const nuint32 held = rights.attr(a->name);
    if (privileges ? held == 0 : (held & needed) != needed) continue;
    const bool first = o.attrs.empty() || o.attrs.back().name != a->name;
    if (privileges) {
      if (first) {
        o.attrs.push_back({a->name, SYN_INTEGER,
                           {encode_value(Value::integer(SYN_INTEGER, static_cast<int32_t>(held)))}});
        o.cost += ResultWriter::attr_cost(a->name) + value_cost(o.attrs.back().values.back());
      }
      continue;
    }
    if (first) {
      o.attrs.push_back({a->name, a->syntax, {}});
      o.cost += ResultWriter::attr_cost(a->name);
    }
    if (!names_only) {
      o.attrs.back().values.push_back(encode_value(sv.value));
      o.cost += value_cost(o.attrs.back().values.back());
    }
  }
  exists = true;
  return 0;
}

/* Writes the next part of `s` into `buf`; `more` tells whether objects
   remain after it. */
NWDSCCODE fill(const Op &op, PendingSearch &s, Buffer &buf, bool &more) {
  more = false;
  ResultWriter w(buf, DSV_SEARCH);
  const size_t count_at = w.next_index();
  if (!w.add_count(tag::OBJECT_COUNT, 0)) return ERR_INSUFFICIENT_BUFFER;
  Transaction tx(*op.store, Transaction::kRead);
  if (tx.status()) return tx.status();
  nuint32 given = 0;
  const bool names_only = s.info_type == DS_ATTRIBUTE_NAMES;
  while (s.next < s.matches.size()) {
    ObjectOut o;
    bool exists = false;
    if (NWDSCCODE st = describe(op, s, s.matches[s.next], o, exists)) return st;
    if (!exists) {
      ++s.next;
      continue;
    }
    if (!w.fits(o.cost)) {
      more = true;
      break;
    }
    const nuint32 nattrs = static_cast<nuint32>(o.attrs.size());
    bool ok = w.add_object(o.full, nattrs, o.flags, o.subordinates,
                           static_cast<nuint32>(o.entry.mtime), o.entry.cls) &&
              w.add_count(tag::ATTR_COUNT, nattrs);
    for (const ObjectOut::Attr &a : o.attrs) {
      if (!ok) break;
      ok = w.add_attr(a.name, names_only ? 0 : static_cast<nuint32>(a.values.size()), a.syntax);
      for (const std::string &v : a.values) ok = ok && w.add_value(v, a.syntax);
    }
    if (!ok) return ERR_SYSTEM_ERROR; /* the cost above is what these charge */
    ++given;
    ++s.next;
  }
  w.set_number(count_at, given);
  if (more && given == 0) return ERR_INSUFFICIENT_BUFFER;
  return 0;
}

} // namespace

NWDSCCODE search_entries(NWDSContextHandle context, const nstr8 *baseObjectName, nint32 scope,
                         nbool8 searchAliases, pBuf_T filter, nuint32 infoType, nbool8 allAttrs,
                         pBuf_T attrNames, nint32 *iterationHandle, nint32 countObjectsToSearch,
                         nint32 *countObjectsSearched, pBuf_T objectInfo) {
  std::lock_guard<std::recursive_mutex> g(directory_lock());
  if (!context_is_live(context)) return ERR_BAD_CONTEXT;
  Op op;
  if (NWDSCCODE st = begin_op(context, op)) return st;
  std::unique_ptr<IterationState> state;
  if (*iterationHandle != NO_MORE_ITERATIONS) {
    if (NWDSCCODE st = resume_iteration(DSV_SEARCH, context, *iterationHandle, op.store->path(), state))
      return st;
  } else {
    if (infoType > DS_ABBREVIATED_VALUE) return ERR_INVALID_REQUEST;
    if (infoType != DS_ATTRIBUTE_NAMES && infoType != DS_ATTRIBUTE_VALUES &&
        infoType != DS_EFFECTIVE_PRIVILEGES)
      return NOT_BUILT;
    if (scope != DS_SEARCH_ENTRY && scope != DS_SEARCH_SUBORDINATES && scope != DS_SEARCH_SUBTREE)
      return ERR_INVALID_REQUEST;
    auto fresh = std::make_unique<PendingSearch>();
    fresh->info_type = infoType;
    fresh->all_attrs = allAttrs != 0;
    if (!fresh->all_attrs) {
      if (attrNames == nullptr) return ERR_NULL_POINTER;
      std::vector<RequestAttr> req;
      const nuint32 verb = buffer_of(attrNames)->verb == DSV_READ ? DSV_READ : DSV_SEARCH;
      if (NWDSCCODE st = request_attrs(attrNames, verb, req)) return st;
      for (const RequestAttr &r : req) fresh->wanted.push_back(fold_case(r.name));
    }
    std::vector<Assertion> assertions;
    if (NWDSCCODE st = make_assertions(op, filter, assertions)) return st;
    EntryId base = kNoEntry;
    if (NWDSCCODE st = find_entry(op, baseObjectName, base)) return st; /* browse on the base */
    if (NWDSCCODE st = examine(op, baseObjectName, scope, searchAliases != 0, assertions,
                               countObjectsToSearch, *fresh))
      return st;
    std::vector<std::string> compared;
    for (const Assertion &as : assertions) compared.push_back(as.attr->name);
    if (NWDSCCODE st = keep_permitted(op, compared, fresh->matches)) return st;
    fresh->store_path = op.store->path();
    state = std::move(fresh);
  }
  auto &s = static_cast<PendingSearch &>(*state);
  Buffer &out = *buffer_of(objectInfo);
  bool more = false;
  if (NWDSCCODE st = fill(op, s, out, more)) {
    out.reset(DSV_SEARCH);
    return st;
  }
  const nint32 examined = s.examined;
  nint32 handle = NO_MORE_ITERATIONS;
  if (more) {
    if (NWDSCCODE st = open_iteration(DSV_SEARCH, context, std::move(state), handle)) {
      out.reset(DSV_SEARCH);
      return st;
    }
  }
  *iterationHandle = handle;
  if (countObjectsSearched != nullptr) *countObjectsSearched = examined;
  return 0;
}

} // namespace nwc
