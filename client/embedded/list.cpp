/*
 * list.cpp - the engines of NWDSList, NWDSListByClassAndName,
 * NWDSListContainers and NWDSGetCountByClassAndName.
 *
 * A listing gives the immediate subordinates of one entry (its name resolved
 * through the calling context; ERR_NO_SUCH_ENTRY when it does not exist) in
 * the order of their entry ids, which is the order they were added.  The
 * result buffer need not be initialised by the caller: the listing
 * initialises it for DSV_LIST and fills it as
 *   OBJECT_COUNT (OBJECT ATTR_COUNT)*
 * each OBJECT carrying the subordinate's full typed name (the reader formats
 * it for its context), an attribute count of 0, its object flags
 * (DS_CONTAINER_ENTRY for containers, DS_ALIAS_ENTRY for aliases, and
 * DS_PARTITION_ROOT where the store has it), its subordinate count, its
 * modification time and its base class; each ATTR_COUNT is 0.
 *
 * A result that does not fit the buffer's budget is cut at an object and
 * continued through an iteration of DSV_LIST that remembers the container
 * and the last entry id given; every further call gives the subordinates
 * with larger ids.  So each subordinate comes at most once over all the
 * parts, whatever changes the container meanwhile: an entry removed before
 * its turn is not given, one added meanwhile is given in a later part, and
 * a container removed meanwhile ends the listing with an empty part.  The
 * last part hands back NO_MORE_ITERATIONS; a part is never empty unless the
 * whole listing is (an empty container: a count of 0).
 *
 * Rights (rights.h): a container the context's identity may not browse is
 * ERR_NO_SUCH_ENTRY, and subordinates it may not browse are neither given
 * nor counted.
 *
 * Filters (NWDSListByClassAndName, NWDSGetCountByClassAndName): a class
 * name keeps the subordinates whose base class it is, case-insensitively; a
 * subordinate name keeps those whose RDN matches it, case-insensitively,
 * `*` standing for any run of characters.  A name with a `=` is matched
 * against the whole RDN typed ("CN=B*" keeps CN=Bob); any other against each
 * value of the RDN, and against a multi-valued RDN typeless ("a+b").
 * Blanks in the name count as in names: trimmed, runs made one.  A null or
 * empty class or name
 * keeps every subordinate.  NWDSListContainers keeps the subordinates that
 * are containers.  A name whose literal start (before any `*`) holds no
 * `=`, dot, plus, backslash or blank is answered from the child index (the
 * subordinates whose names begin so, and those with multi-part RDNs); a
 * class name alone from the index of classes by parent; any other filter
 * walks the container.
 *
 * Status codes: ERR_BAD_CONTEXT; ERR_NO_SUCH_ENTRY for a missing container;
 * ERR_INVALID_ITERATION for a handle that is not a live listing of the
 * context, or whose listing was made on another store (NWCLIENT_STORE
 * changed); ERR_INSUFFICIENT_BUFFER when not even one object fits an empty
 * result buffer (the listing, and a handle passed in, are then given up).
 * On failure the caller's handle and count are left as they were.
 */
#include <string>

#include "call.h"
#include "entries.h"
#include "items.h"
#include "iteration.h"
#include "rights.h"

namespace nwc {

namespace {

/* Subordinates read from the store per query. */
constexpr size_t kPage = 64;

struct Filter {
  std::string class_key; /* folded; empty: any class */
  std::string pattern;   /* folded, blanks normalised; empty: any name */
  bool containers_only = false;
};

struct PendingList : IterationState {
  EntryId parent = kNoEntry;
  EntryId after = kNoEntry; /* the last subordinate looked at */
  Filter filter;
};

/* Blanks trimmed at both ends and runs of blanks made one, as names keep
   their values. */
std::string normalise_blanks(std::string_view s) {
  std::string out;
  bool blank = false;
  for (char c : s) {
    if (c == ' ' || c == '\t') {
      blank = !out.empty();
      continue;
    }
    if (blank) out += ' ';
    blank = false;
    out += c;
  }
  return out;
}

/* True when `text` matches `pattern` entirely; `*` matches any run of bytes
   (both are folded UTF-8, so a run always ends between characters where the
   literal parts match). */
bool glob_match(std::string_view pattern, std::string_view text) {
  size_t p = 0, t = 0;
  size_t star = std::string_view::npos, resume = 0;
  while (t < text.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      resume = t;
    } else if (p < pattern.size() && pattern[p] == text[t]) {
      ++p;
      ++t;
    } else if (star != std::string_view::npos) {
      p = star + 1;
      t = ++resume;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

Filter make_filter(const nstr8 *className, const nstr8 *subordinateName, bool containers_only) {
  Filter f;
  if (className != nullptr) f.class_key = fold_case(normalise_blanks(className));
  if (subordinateName != nullptr) f.pattern = fold_case(normalise_blanks(subordinateName));
  f.containers_only = containers_only;
  return f;
}

bool name_matches(const std::string &pattern, const Rdn &rdn) {
  if (pattern.empty()) return true;
  if (pattern.find('=') != std::string::npos) return glob_match(pattern, fold_case(format_rdn(rdn)));
  for (const Ava &a : rdn.avas)
    if (glob_match(pattern, fold_case(a.value))) return true;
  return rdn.avas.size() > 1 && glob_match(pattern, fold_case(format_rdn(rdn, true)));
}

bool matches(const Filter &f, const Entry &e, const Rdn &rdn) {
  if (f.containers_only && !(e.flags & DS_CONTAINER_ENTRY)) return false;
  if (!f.class_key.empty() && fold_case(e.cls) != f.class_key) return false;
  return name_matches(f.pattern, rdn);
}

/* The literal start of a name pattern matched against RDN values (no `=`),
   when it can be looked up in the child index: up to the first `*`, and
   without the characters a stored name escapes or blanks (empty: it
   cannot). */
std::string index_prefix(const std::string &pattern) {
  if (pattern.find('=') != std::string::npos) return {};
  const std::string p = pattern.substr(0, pattern.find('*'));
  if (p.find_first_of(".+\\ \t") != std::string::npos) return {};
  return p;
}

/* Calls `visit(entry, rdn)` for each subordinate of l.parent after l.after
   that passes the filter, in id order, until it returns false.  l.after
   follows the subordinates looked at: on a false return it stays before
   the entry that was refused.  A name pattern with a literal start takes
   its candidates from the child index, a class from the class index; any
   other filter walks the container. */
template <class Visit> NWDSCCODE walk(Store &store, PendingList &l, Visit visit) {
  if (const std::string prefix = index_prefix(l.filter.pattern); !prefix.empty()) {
    auto ids = store.children_by_value_prefix(l.parent, prefix);
    if (!ids) return ids.status();
    for (EntryId id : *ids) {
      if (id <= l.after) continue;
      auto e = store.entry(id);
      if (!e) {
        if (e.status() == ERR_NO_SUCH_ENTRY) continue;
        return e.status();
      }
      auto rdn = parse_rdn(e->rdn);
      if (rdn && matches(l.filter, *e, *rdn)) {
        NWDSCCODE st = 0;
        if (!visit(*e, *rdn, st)) return st;
      }
      l.after = id;
    }
    return 0;
  }
  /* A class alone takes its candidates from the class index. */
  const bool by_class = !l.filter.class_key.empty();
  for (;;) {
    auto page = by_class ? store.children_of_class(l.parent, l.filter.class_key, l.after, kPage)
                         : store.children(l.parent, l.after, kPage);
    if (!page) return page.status();
    for (const Entry &e : *page) {
      auto rdn = parse_rdn(e.rdn);
      if (rdn && matches(l.filter, e, *rdn)) {
        NWDSCCODE st = 0;
        if (!visit(e, *rdn, st)) return st;
      }
      l.after = e.id;
    }
    if (page->size() < kPage) return 0;
  }
}

/* Writes the next part of `l` into `buf` (inside the call's read
   transaction); `more` tells whether subordinates remain after it. */
NWDSCCODE fill(const Op &op, PendingList &l, Buffer &buf, bool &more) {
  more = false;
  ResultWriter w(buf, DSV_LIST);
  const size_t count_at = w.next_index();
  if (!w.add_count(tag::OBJECT_COUNT, 0)) return ERR_INSUFFICIENT_BUFFER;
  auto parent_dn = op.store->dn_of(l.parent);
  if (!parent_dn) return parent_dn.status() == ERR_NO_SUCH_ENTRY ? 0 : parent_dn.status();
  nuint32 given = 0;
  NWDSCCODE st = walk(*op.store, l, [&](const Entry &e, const Rdn &rdn, NWDSCCODE &err) {
    if (NWDSCCODE r = check_browse(op, e.id, e.parent)) {
      if (r == ERR_NO_SUCH_ENTRY) return true; /* not there for this identity */
      err = r;
      return false;
    }
    Dn dn;
    dn.rdns.reserve(parent_dn->rdns.size() + 1);
    dn.rdns.push_back(rdn);
    dn.rdns.insert(dn.rdns.end(), parent_dn->rdns.begin(), parent_dn->rdns.end());
    const std::string full = format_dn(dn);
    const size_t cost = name_cost(full) + 4 * kNumberCost + name_cost(e.cls) + kNumberCost;
    if (!w.fits(cost)) {
      more = true;
      return false;
    }
    auto subordinates = subordinate_count(op, e.id, e.flags, e.cls);
    if (!subordinates) {
      err = subordinates.status();
      return false;
    }
    nuint32 flags = e.flags & (DS_ALIAS_ENTRY | DS_PARTITION_ROOT | DS_CONTAINER_ENTRY);
    if (op.schema->is_a(e.cls, "Alias")) flags |= DS_ALIAS_ENTRY;
    const nuint32 mtime = static_cast<nuint32>(e.mtime);
    if (!w.add_object(full, 0, flags, *subordinates, mtime, e.cls) ||
        !w.add_count(tag::ATTR_COUNT, 0)) {
      more = true; /* the cost above is what these charge: not reached */
      return false;
    }
    ++given;
    return true;
  });
  w.set_number(count_at, given);
  if (st != 0) return st;
  if (more && given == 0) return ERR_INSUFFICIENT_BUFFER;
  return 0;
}

NWDSCCODE list(NWDSContextHandle context, const nstr8 *object, const Filter &filter,
               nint32 *iterationHandle, pBuf_T subordinates) {
  std::lock_guard<std::recursive_mutex> g(directory_lock());
  if (!context_is_live(context)) return ERR_BAD_CONTEXT;
  Op op; /* one read transaction: the name, the rows and the rights see one state */
  if (NWDSCCODE st = begin_op(context, op, Transaction::kRead)) return st;
  std::unique_ptr<IterationState> state;
  if (*iterationHandle != NO_MORE_ITERATIONS) {
    if (NWDSCCODE st = resume_iteration(DSV_LIST, context, *iterationHandle, op.store->path(), state))
      return st;
  } else {
    auto fresh = std::make_unique<PendingList>();
    if (NWDSCCODE st = find_entry(op, object, fresh->parent)) return st;
    fresh->store_path = op.store->path();
    fresh->filter = filter;
    state = std::move(fresh);
  }
  auto &l = static_cast<PendingList &>(*state);
  Buffer &out = *buffer_of(subordinates);
  bool more = false;
  if (NWDSCCODE st = fill(op, l, out, more)) {
    out.reset(DSV_LIST);
    return st;
  }
  return keep_or_finish(DSV_LIST, context, std::move(state), more, iterationHandle, out);
}

} // namespace

NWDSCCODE list_entries(NWDSContextHandle context, const nstr8 *object, nint32 *iterationHandle,
                       pBuf_T subordinates) {
  return list(context, object, make_filter(nullptr, nullptr, false), iterationHandle,
              subordinates);
}

NWDSCCODE list_by_class_and_name(NWDSContextHandle context, const nstr8 *objectName,
                                 const nstr8 *className, const nstr8 *subordinateName,
                                 nint32 *iterationHandle, pBuf_T subordinates) {
  return list(context, objectName, make_filter(className, subordinateName, false),
              iterationHandle, subordinates);
}

NWDSCCODE list_containers(NWDSContextHandle context, const nstr8 *object,
                          nint32 *iterationHandle, pBuf_T subordinates) {
  return list(context, object, make_filter(nullptr, nullptr, true), iterationHandle,
              subordinates);
}

NWDSCCODE count_by_class_and_name(NWDSContextHandle context, const nstr8 *objectName,
                                  const nstr8 *className, const nstr8 *subordinateName,
                                  nint32 *count) {
  std::lock_guard<std::recursive_mutex> g(directory_lock());
  if (!context_is_live(context)) return ERR_BAD_CONTEXT;
  Op op;
  if (NWDSCCODE st = begin_op(context, op, Transaction::kRead)) return st;
  PendingList l;
  if (NWDSCCODE st = find_entry(op, objectName, l.parent)) return st;
  l.filter = make_filter(className, subordinateName, false);
  nint32 n = 0;
  if (NWDSCCODE st = walk(*op.store, l, [&](const Entry &e, const Rdn &, NWDSCCODE &err) {
        NWDSCCODE r = check_browse(op, e.id, e.parent);
        if (r == 0) ++n;
        else if (r != ERR_NO_SUCH_ENTRY) err = r;
        return r == 0 || r == ERR_NO_SUCH_ENTRY;
      }))
    return st;
  *count = n;
  return 0;
}

} // namespace nwc
