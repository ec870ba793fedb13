/*
 * search.cpp - the engine of NWDSSearch.
 *
 * The base object's name is resolved through the calling context
 * (ERR_NO_SUCH_ENTRY when it does not exist).  The scope picks the entries
 * examined: DS_SEARCH_ENTRY the base alone, DS_SEARCH_SUBORDINATES its
 * immediate subordinates, DS_SEARCH_SUBTREE the base and every entry below
 * it; any other scope is ERR_INVALID_REQUEST.  With searchAliases set, an
 * alias in scope stands for the entry its Aliased Object Name names, which
 * is examined in its place, and in a subtree search the search continues in
 * that entry's subtree (each entry once, however many aliases lead to it);
 * an alias whose object does not exist is left out.  Without it, an alias
 * is examined as itself.  A base that is an alias is dereferenced when the
 * context dereferences aliases (DCV_DEREF_ALIASES) or searchAliases is set.
 *
 * The filter (filter.h) is a buffer initialised for DSV_SEARCH_FILTER
 * (ERR_BAD_VERB otherwise) holding attribute names, each followed by zero or
 * more values, or one filter written as text; a null filter, or one without
 * names, matches every entry in scope.  Which index answers which part of a
 * filter, and how the scope is tested, is set out in search_plan.h: an
 * equality, prefix, range, presence or class assertion finds its candidates
 * in the value index, and only the rest of the filter is tested on them; a
 * filter without such an assertion walks the scope once, in pages.
 *
 * countObjectsToSearch > 0 bounds the entries examined; 0 or less is no
 * bound.  countObjectsSearched (when not null) is set, on every successful
 * call, to the number of entries the search has examined so far.
 *
 * The first call resolves the base and plans the search; every call then
 * takes the matches from the search's cursor as it fills the buffer, so a
 * search holds one page of matches at most, never its whole result.  An
 * empty or null base name is the context's name context.  The result
 * buffer need not be
 * initialised by the caller: the search initialises it for DSV_SEARCH and
 * fills it as
 *   OBJECT_COUNT (OBJECT ATTR_COUNT (ATTR RESULT_VALUE*)*)*
 * each OBJECT carrying the entry's full typed name, its attribute count,
 * object flags, subordinate count, modification time and base class, as a
 * listing gives them.  DS_ATTRIBUTE_NAMES gives each attribute with a value
 * count of 0 and its syntax id, DS_ATTRIBUTE_VALUES its values too; the
 * attributes are all the entry's (allAttrs) or those named in attrNames (a
 * buffer initialised for DSV_SEARCH or DSV_READ) that the entry has; hidden
 * attributes never.  allAttrs false with no attrNames buffer gives the
 * objects without attributes.  DS_EFFECTIVE_PRIVILEGES gives each attribute
 * with one value of syntax SYN_INTEGER, the privileges the context's
 * identity holds on it.  DS_VALUE_INFO and DS_ABBREVIATED_VALUE give the
 * values with their value information (value_info.h).
 *
 * Rights (rights.h): the base must be an entry the context's identity may
 * browse (ERR_NO_SUCH_ENTRY otherwise); only entries it may browse, and
 * compare every filter attribute on, match; attributes it may not read
 * (compare, for names; any right, for privileges) are left out.
 *
 * The attributes and values are read when their object is written, so an
 * entry removed after it was found is left out.  A part
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
#include <optional>
#include <set>
#include <string>
#include <unordered_set>
#include <vector>

#include "call.h"
#include "entries.h"
#include "items.h"
#include "iteration.h"
#include "rights.h"
#include "search_plan.h"
#include "value_info.h"

namespace nwc {

namespace {

struct PendingSearch : IterationState {
  nuint32 info_type = DS_ATTRIBUTE_VALUES;
  bool all_attrs = true;
  bool no_attrs = false;           /* neither all nor named attributes */
  std::vector<std::string> wanted; /* folded attribute names (not all_attrs) */
  SearchCursor matches;            /* hands out the matching entries in turn */
  std::vector<std::string> compared; /* the filter's attributes: compare is needed on them */
};

/* The names of the attributes the filter asserts on, each once. */
void compared_attrs(const Schema &schema, const FilterNode &f, std::vector<std::string> &out) {
  if (f.is_assertion()) {
    const AttrDef *a = schema.attribute_by_id(f.attr_id);
    if (a != nullptr && std::find(out.begin(), out.end(), a->name) == out.end()) out.push_back(a->name);
    return;
  }
  for (const FilterNode &c : f.children) compared_attrs(schema, c, out);
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
    std::vector<ValueInfo> info; /* beside values, with value information */
  };
  std::vector<Attr> attrs;
  size_t cost = 0;
};

/* The full name of entry `e`: its RDN as the store keeps it (written as
   names.h format_rdn writes it) in front of its parent's name (kept by the
   store for containers). */
Expected<std::string> full_name(Store &store, const Entry &e) {
  if (e.parent == kNoEntry) return format_dn(Dn{});
  if (e.rdn.empty()) return fail(ERR_INCONSISTENT_DATABASE);
  if (e.parent == store.root_id()) return e.rdn;
  auto up = store.name_text_of(e.parent);
  if (!up) return fail(up.status());
  return e.rdn + '.' + *up;
}

/* What one object of the result is; false (status 0) when it no longer
   exists.  Values are given in their stored encoding, which is the one a
   result carries. */
NWDSCCODE describe(const Op &op, const PendingSearch &s, EntryId id, const Store::KeyRow *row, ObjectOut &o,
                   bool &exists) {
  Store &store = *op.store;
  exists = false;
  Expected<Entry> e = Entry{};
  if (row != nullptr) /* as the index gave it, in this transaction */
    e = Entry{id, row->parent, row->rdn, row->cls, row->flags, row->ctime, row->mtime};
  else
    e = store.entry(id);
  if (!e) return e.status() == ERR_NO_SUCH_ENTRY ? 0 : e.status();
  auto subordinates = subordinate_count(op, id, e->flags, e->cls);
  if (!subordinates) return subordinates.status();
  auto full = full_name(store, *e);
  if (!full) return full.status() == ERR_NO_SUCH_ENTRY ? 0 : full.status();
  /* The values are read first: the rights take the entry's ACL from them. */
  std::optional<std::vector<Store::EncodedValue>> values;
  if (!s.no_attrs) {
    auto v = s.all_attrs ? store.encoded_values(id) : store.encoded_values(id, attrs_to_read(*op.schema, s.wanted));
    if (!v) return v.status() == ERR_NO_SUCH_ENTRY ? 0 : v.status();
    values = std::move(*v);
  }
  const KnownEntry known{values ? &*values : nullptr, true, e->parent, true};
  Privileges rights;
  if (NWDSCCODE st = effective_rights(store, identity_of(op), id, rights, &known)) return st;
  /* An entry the identity may not browse, or compare the filter's
     attributes on, does not match. */
  if (!(rights.entry & DS_ENTRY_BROWSE)) return 0;
  for (const std::string &c : s.compared)
    if (!(rights.attr(c) & DS_ATTR_COMPARE)) return 0;
  o.entry = std::move(*e);
  o.full = std::move(*full);
  o.flags = o.entry.flags & (DS_ALIAS_ENTRY | DS_PARTITION_ROOT | DS_CONTAINER_ENTRY);
  if (op.schema->is_a(o.entry.cls, "Alias")) o.flags |= DS_ALIAS_ENTRY;
  o.subordinates = *subordinates;
  o.cost = name_cost(o.full) + 4 * kNumberCost + name_cost(o.entry.cls) + kNumberCost;
  if (!values) {
    exists = true;
    return 0;
  }
  const bool names_only = s.info_type == DS_ATTRIBUTE_NAMES;
  const bool privileges = s.info_type == DS_EFFECTIVE_PRIVILEGES;
  const bool with_info = carries_value_info(s.info_type);
  Rdn rdn;
  if (with_info && o.entry.parent != kNoEntry)
    if (auto r = parse_rdn(o.entry.rdn)) rdn = std::move(*r);
  const nuint32 needed = names_only ? DS_ATTR_COMPARE : DS_ATTR_READ;
  /* Values come grouped by attribute: whether an attribute is given, and
     what is held on it, is worked out at its first value. */
  const AttrDef *last = nullptr;
  bool given = false;
  for (Store::EncodedValue &v : *values) {
    if (last == nullptr || v.attr_id != last->id) {
      last = op.schema->attribute_by_id(v.attr_id);
      given = last != nullptr && !(last->flags & DS_HIDDEN_ATTR);
      if (given && !s.all_attrs)
        given = std::find(s.wanted.begin(), s.wanted.end(), fold_case(last->name)) != s.wanted.end();
      if (!given) continue;
      /* Attributes the identity may not read (compare, for names; any
         right, for privileges) are left out. */
      const nuint32 held = rights.attr(last->name);
      if (privileges ? held == 0 : (held & needed) != needed) {
        given = false;
        continue;
      }
      if (privileges) {
        o.attrs.push_back({last->name, SYN_INTEGER,
                           {encode_value(Value::integer(SYN_INTEGER, static_cast<int32_t>(held)))},
                           {}});
        o.cost += ResultWriter::attr_cost(last->name) + value_cost(o.attrs.back().values.back());
        given = false; /* one value per attribute */
        continue;
      }
      o.attrs.push_back({last->name, last->syntax, {}, {}});
      o.cost += ResultWriter::attr_cost(last->name);
    }
    if (!given || names_only) continue;
    o.attrs.back().values.push_back(std::move(v.data));
    o.cost += value_cost(o.attrs.back().values.back());
    if (with_info) {
      auto decoded = decode_value(v.syntax, o.attrs.back().values.back());
      if (!decoded) return decoded.status();
      const StoredValue sv{v.id, v.attr_id, last->name, std::move(*decoded), v.mtime};
      o.attrs.back().info.push_back(value_info(o.entry, rdn, *last, sv, s.info_type));
      o.cost += ResultWriter::value_info_cost(o.attrs.back().values.back()) - value_cost(o.attrs.back().values.back());
    }
  }
  exists = true;
  return 0;
}

/* Writes the next part of `s` into `buf` (inside the call's read
   transaction); `more` tells whether objects remain after it. */
NWDSCCODE fill(const Op &op, PendingSearch &s, Buffer &buf, bool &more) {
  more = false;
  ResultWriter w(buf, DSV_SEARCH);
  const size_t count_at = w.next_index();
  if (!w.add_count(tag::OBJECT_COUNT, 0)) return ERR_INSUFFICIENT_BUFFER;
  s.matches.next_call();
  nuint32 given = 0;
  const bool names_only = s.info_type == DS_ATTRIBUTE_NAMES;
  for (;;) {
    EntryId id = kNoEntry;
    bool any = false;
    const Store::KeyRow *row = nullptr;
    if (NWDSCCODE st = s.matches.peek(*op.store, id, any, row)) return st;
    if (!any) break;
    ObjectOut o;
    bool exists = false;
    if (NWDSCCODE st = describe(op, s, id, row, o, exists)) return st;
    if (!exists) {
      s.matches.pop();
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
      for (size_t k = 0; k < a.values.size(); ++k)
        ok = ok && (a.info.empty() ? w.add_value(a.values[k], a.syntax)
                                   : w.add_value_info(a.values[k], a.syntax, a.info[k].flags,
                                                      a.info[k].seconds, a.info[k].replica_event));
    }
    if (!ok) return ERR_SYSTEM_ERROR; /* the cost above is what these charge */
    ++given;
    s.matches.pop();
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
  /* Each call in one read transaction, begun before anything is read: the
     plan and the first part (or a later part) see one state of the store,
     and the store's locks are taken once. */
  Op op;
  if (NWDSCCODE st = begin_op(context, op, Transaction::kRead)) return st;
  std::unique_ptr<IterationState> state;
  if (*iterationHandle != NO_MORE_ITERATIONS) {
    if (NWDSCCODE st = resume_iteration(DSV_SEARCH, context, *iterationHandle, op.store->path(), state))
      return st;
  } else {
    if (infoType > DS_ABBREVIATED_VALUE) return ERR_INVALID_REQUEST;
    if (scope != DS_SEARCH_ENTRY && scope != DS_SEARCH_SUBORDINATES && scope != DS_SEARCH_SUBTREE)
      return ERR_INVALID_REQUEST;
    auto fresh = std::make_unique<PendingSearch>();
    fresh->info_type = infoType;
    fresh->all_attrs = allAttrs != 0;
    if (!fresh->all_attrs) {
      if (attrNames == nullptr) {
        fresh->no_attrs = true;
      } else {
        std::vector<RequestAttr> req;
        const nuint32 verb = buffer_of(attrNames)->verb == DSV_READ ? DSV_READ : DSV_SEARCH;
        if (NWDSCCODE st = request_attrs(attrNames, verb, req)) return st;
        for (const RequestAttr &r : req) fresh->wanted.push_back(fold_case(r.name));
      }
    }
    FilterNode f;
    if (NWDSCCODE st = filter_from_buffer(op, filter, f)) return st;
    {
      EntryId base = kNoEntry;
      std::string base_path;
      if (NWDSCCODE st = search_base(op, baseObjectName, searchAliases != 0, base, base_path)) return st;
      /* A base the identity may not browse is not there. */
      if (NWDSCCODE st = check_browse(op, base)) return st;
      compared_attrs(*op.schema, f, fresh->compared);
      if (NWDSCCODE st = fresh->matches.start(op, base, base_path, scope, searchAliases != 0, std::move(f),
                                              countObjectsToSearch))
        return st;
    }
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
  const nint32 examined = s.matches.examined();
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
