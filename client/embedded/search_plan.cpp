/*
 * search_plan.cpp - the plan of a search and its cursor (search_plan.h says
 * which filters are answered from which index).
 *
 * Invariants: every entry handed out is in scope, satisfies the filter when
 * it is tested, and is handed out once; the cursor keeps only its position
 * (a key and entry of the value index, or a path key or id of the walk) and
 * at most one page of matches between calls.
 */
#include "search_plan.h"

#include <algorithm>

namespace nwc {

namespace {

constexpr size_t kPage = 256;
constexpr size_t kMaxRoots = 1024; /* alias targets searched, at most */
constexpr int kMaxAliasChain = 8;
constexpr size_t kFewRows = 16;

bool can_drive(const FilterNode &n) {
  if (n.is_assertion()) return true;
  if (n.kind != FilterNode::Or || n.children.empty()) return false;
  return std::all_of(n.children.begin(), n.children.end(), [](const FilterNode &c) { return c.is_assertion(); });
}

/* Index rows the node's ranges hold, counted up to kCountCap each. */
Expected<size_t> estimate(Store &store, const FilterNode &n) {
  size_t total = 0;
  auto one = [&](const FilterNode &a) -> Status {
    const KeyRange r = key_range_of(a);
    auto c = store.count_key_range(a.attr_id, r.lo, r.bounded ? &r.hi : nullptr, r.hi_inclusive, kCountCap);
    if (!c) return c.status();
    total += *c;
    return 0;
  };
  if (n.is_assertion()) {
    if (Status s = one(n)) return fail(s);
  } else {
    for (const FilterNode &c : n.children)
      if (Status s = one(c)) return fail(s);
  }
  return total;
}

} // namespace

Expected<EntryId> alias_target(Store &store, EntryId alias) {
  EntryId cur = alias;
  for (int hop = 0; hop < kMaxAliasChain; ++hop) {
    auto vals = store.values(cur, "Aliased Object Name");
    if (!vals) return fail(vals.status());
    EntryId next = kNoEntry;
    for (const StoredValue &sv : *vals) {
      if (sv.value.texts.empty()) continue;
      auto dn = parse_dn(sv.value.texts[0]);
      if (!dn) continue;
      auto id = store.find(*dn);
      if (id) {
        next = *id;
        break;
      }
      if (id.status() != ERR_NO_SUCH_ENTRY) return fail(id.status());
    }
    if (next == kNoEntry) return kNoEntry;
    auto e = store.values(next, "Aliased Object Name");
    if (!e) return fail(e.status());
    if (e->empty()) return next; /* not an alias itself */
    cur = next;
  }
  return kNoEntry; /* a chain too long, or a loop */
}

NWDSCCODE search_base(const Op &op, const nstr8 *name, bool aliases, EntryId &out, std::string &path) {
  Expected<Dn> dn = (name == nullptr || *name == '\0') ? parse_name_context(op.ctx.name_context) : resolve(op, name);
  if (!dn) return dn.status();
  auto base = op.store->locate(*dn);
  if (!base) return base.status();
  out = base->id;
  path = base->path;
  if (!aliases && !(op.ctx.flags & DCV_DEREF_ALIASES)) return 0;
  if ((base->flags & DS_ALIAS_ENTRY) || op.schema->is_a(base->cls, "Alias")) {
    auto target = alias_target(*op.store, out);
    if (!target) return target.status();
    if (*target == kNoEntry) return ERR_NO_SUCH_ENTRY;
    out = *target;
    path.clear();
  }
  return 0;
}

bool SearchCursor::is_alias(const Schema &schema, uint32_t flags, const std::string &cls) const {
  return (flags & DS_ALIAS_ENTRY) || schema.is_a(cls, "Alias");
}

bool SearchCursor::covered(size_t below, EntryId id, EntryId parent, const std::string &path) const {
  for (size_t i = 0; i < below && i < roots_.size(); ++i) {
    const Root &r = roots_[i];
    if (r.kind == DS_SEARCH_ENTRY ? id == r.id
        : r.kind == DS_SEARCH_SUBORDINATES ? parent == r.id
                                           : path.compare(0, r.path.size(), r.path) == 0)
      return true;
  }
  return false;
}

NWDSCCODE SearchCursor::add_alias_roots(Store &store) {
  for (size_t i = 0; i < roots_.size() && roots_.size() < kMaxRoots; ++i) {
    const Root root = roots_[i];
    if (root.kind == DS_SEARCH_ENTRY) continue;
    std::string after_key = alias_key_;
    EntryId after = kNoEntry;
    for (;;) {
      auto rows = store.key_range(alias_attr_, after_key, after, &alias_key_, true, kPage);
      if (!rows) return rows.status();
      for (const Store::KeyRow &row : *rows) {
        after_key = row.key;
        after = row.entry;
        const bool inside = root.kind == DS_SEARCH_SUBORDINATES
                                ? row.parent == root.id
                                : row.path.compare(0, root.path.size(), root.path) == 0;
        if (!inside) continue;
        auto target = alias_target(store, row.entry);
        if (!target) return target.status();
        if (*target == kNoEntry) continue;
        auto t = store.path_row(*target);
        if (!t) return t.status();
        if (covered(roots_.size(), t->id, t->parent, t->path)) continue;
        if (roots_.size() >= kMaxRoots) break;
        roots_.push_back({t->id, t->path, root.kind == DS_SEARCH_SUBTREE ? DS_SEARCH_SUBTREE : DS_SEARCH_ENTRY});
      }
      if (rows->size() < kPage) break;
    }
  }
  return 0;
}

NWDSCCODE SearchCursor::start(const Op &op, EntryId base, const std::string &base_path, nint32 scope,
                              bool aliases, FilterNode filter, nint32 limit) {
  Store &store = *op.store;
  filter_ = std::move(filter);
  schema_ = op.schema;
  aliases_ = aliases;
  limit_ = limit;
  if (base_path.empty()) {
    auto b = store.path_row(base);
    if (!b) return b.status();
    roots_.push_back({base, b->path, scope});
  } else {
    roots_.push_back({base, base_path, scope});
  }
  if (aliases_) {
    const AttrDef *oc = op.schema->attribute("Object Class");
    if (oc == nullptr) return ERR_INCONSISTENT_DATABASE;
    alias_attr_ = oc->id;
    alias_key_ = equality_key(Value::text(SYN_CLASS_NAME, "Alias"));
    if (NWDSCCODE st = add_alias_roots(store)) return st;
  }
  if (scope == DS_SEARCH_ENTRY && roots_.size() == 1) return 0; /* one entry: nothing to plan */

  /* The driving node: the filter itself, or the cheapest child of an and.
     An assertion's range is first read for a few rows: when that is all
     of it, those rows are its count, and the first page of the search if
     it drives (a selective search costs one range read, not two). */
  const FilterNode *best = nullptr;
  size_t best_rows = 0, best_child = 0;
  std::vector<Store::KeyRow> best_first;
  bool best_whole = false;
  auto weigh = [&](const FilterNode &n, size_t child) -> NWDSCCODE {
    if (!can_drive(n)) return 0;
    std::vector<Store::KeyRow> first;
    bool whole = false;
    size_t rows = 0;
    if (n.is_assertion()) {
      const KeyRange r = key_range_of(n);
      auto few = store.key_range(n.attr_id, r.lo, kNoEntry, r.bounded ? &r.hi : nullptr, r.hi_inclusive,
                                 kFewRows + 1);
      if (!few) return few.status();
      whole = few->size() <= kFewRows;
      if (whole) {
        rows = few->size();
        first = std::move(*few);
      }
    }
    if (!whole) {
      auto counted = estimate(store, n);
      if (!counted) return counted.status();
      rows = *counted;
    }
    if (best == nullptr || rows < best_rows) {
      best = &n;
      best_rows = rows;
      best_child = child;
      best_first = std::move(first);
      best_whole = whole;
    }
    return 0;
  };
  if (filter_.kind == FilterNode::And) {
    for (size_t i = 0; i < filter_.children.size(); ++i)
      if (NWDSCCODE st = weigh(filter_.children[i], i)) return st;
  } else if (NWDSCCODE st = weigh(filter_, 0)) {
    return st;
  }
  if (best == nullptr) return 0;
  /* Entries in scope, counted up to one more than the best range holds; a
     range of a few rows drives whatever the scope (it costs as little). */
  size_t in_scope = best_rows <= kFewRows ? best_rows : 0;
  for (const Root &r : roots_) {
    if (best_rows <= kFewRows || in_scope > best_rows) break;
    if (r.kind == DS_SEARCH_ENTRY) {
      ++in_scope;
    } else if (r.kind == DS_SEARCH_SUBORDINATES) {
      auto n = store.child_count(r.id);
      if (!n) return n.status();
      in_scope += *n;
    } else {
      auto n = store.count_subtree(r.path, best_rows + 1);
      if (!n) return n.status();
      in_scope += *n;
    }
  }
  if (best_rows > in_scope) return 0; /* the walk is cheaper */
  indexed_ = true;
  test_rest_ = best != &filter_;
  skip_child_ = best_child;
  if (best->is_assertion())
    drivers_.push_back(*best);
  else
    drivers_ = best->children;
  after_key_ = key_range_of(drivers_[0]).lo;
  after_entry_ = kNoEntry;
  first_rows_ = std::move(best_first);
  have_first_rows_ = best_whole;
  return 0;
}

NWDSCCODE SearchCursor::peek(Store &store, EntryId &id, bool &any, const Store::KeyRow *&row) {
  while (ready_.empty() && !done_)
    if (NWDSCCODE st = refill(store)) return st;
  any = !ready_.empty();
  row = nullptr;
  if (any) {
    const Ready &r = ready_.front();
    id = r.id;
    if (r.has_row && r.call == call_) row = &r.row;
  }
  return 0;
}

NWDSCCODE SearchCursor::refill(Store &store) { return indexed_ ? refill_index(store) : refill_walk(store); }

NWDSCCODE SearchCursor::consider(Store &store, EntryId id, Store::KeyRow *row) {
  if (limit_ > 0 && examined_ >= limit_) {
    done_ = true;
    return 0;
  }
  ++examined_;
  bool ok = true;
  if (!indexed_) {
    auto h = filter_holds(store, id, filter_);
    if (!h) return h.status();
    ok = *h;
  } else if (test_rest_) {
    for (size_t i = 0; ok && i < filter_.children.size(); ++i) {
      if (i == skip_child_) continue;
      auto h = filter_holds(store, id, filter_.children[i]);
      if (!h) return h.status();
      ok = *h;
    }
  }
  if (ok) {
    Ready r;
    r.id = id;
    r.call = call_;
    if (row != nullptr) {
      r.has_row = true;
      r.row = std::move(*row);
    }
    ready_.push_back(std::move(r));
  }
  return 0;
}

NWDSCCODE SearchCursor::refill_index(Store &store) {
  if (driver_ >= drivers_.size()) {
    done_ = true;
    return 0;
  }
  const FilterNode &d = drivers_[driver_];
  const KeyRange r = key_range_of(d);
  Expected<std::vector<Store::KeyRow>> rows = std::vector<Store::KeyRow>{};
  if (have_first_rows_) { /* the whole range, read while planning */
    have_first_rows_ = false;
    rows = std::move(first_rows_);
    first_rows_.clear();
  } else {
    rows = store.key_range(d.attr_id, after_key_, after_entry_, r.bounded ? &r.hi : nullptr, r.hi_inclusive,
                           kPage);
  }
  if (!rows) return rows.status();
  for (Store::KeyRow &row : *rows) {
    if (done_) return 0;
    after_key_ = row.key;
    after_entry_ = row.entry;
    if (!key_matches(d, row.key)) continue;
    if (!covered(roots_.size(), row.entry, row.parent, row.path)) continue;
    if (aliases_ && is_alias(*schema_, row.flags, row.cls)) continue;
    if (!r.single) { /* given already under an earlier key of this range? */
      auto keys = store.keys_of(row.entry, d.attr_id);
      if (!keys) return keys.status();
      bool earlier = false;
      for (const std::string &k : *keys)
        if (k >= r.lo && k < row.key && key_matches(d, k)) earlier = true;
      if (earlier) continue;
    }
    bool given = false; /* or under an earlier branch of the or? */
    for (size_t j = 0; j < driver_ && !given; ++j) {
      auto h = filter_holds(store, row.entry, drivers_[j]);
      if (!h) return h.status();
      given = *h;
    }
    if (given) continue;
    if (NWDSCCODE st = consider(store, row.entry, &row)) return st;
  }
  if (rows->size() < kPage && !done_) {
    if (++driver_ < drivers_.size()) {
      after_key_ = key_range_of(drivers_[driver_]).lo;
      after_entry_ = kNoEntry;
    } else {
      done_ = true;
    }
  }
  return 0;
}

NWDSCCODE SearchCursor::refill_walk(Store &store) {
  if (root_ >= roots_.size()) {
    done_ = true;
    return 0;
  }
  const Root &r = roots_[root_];
  bool finished = false;
  auto take = [&](EntryId id, EntryId parent, const std::string &path, uint32_t flags,
                  const std::string &cls) -> NWDSCCODE {
    if (covered(root_, id, parent, path)) return 0;
    if (aliases_ && is_alias(*schema_, flags, cls)) return 0;
    return consider(store, id);
  };
  if (r.kind == DS_SEARCH_ENTRY) {
    auto row = store.path_row(r.id);
    if (row) {
      if (NWDSCCODE st = take(row->id, row->parent, row->path, row->flags, row->cls)) return st;
    } else if (row.status() != ERR_NO_SUCH_ENTRY) {
      return row.status();
    }
    finished = true;
  } else if (r.kind == DS_SEARCH_SUBORDINATES) {
    auto page = store.children(r.id, after_id_, kPage);
    if (!page) return page.status();
    for (const Entry &e : *page) {
      if (done_) return 0;
      after_id_ = e.id;
      if (NWDSCCODE st = take(e.id, e.parent, r.path + Store::path_step(e.id), e.flags, e.cls)) return st;
    }
    finished = page->size() < kPage;
  } else {
    auto page = store.subtree_page(r.path, after_path_, kPage);
    if (!page) return page.status();
    for (const Store::PathRow &row : *page) {
      if (done_) return 0;
      after_path_ = row.path;
      if (NWDSCCODE st = take(row.id, row.parent, row.path, row.flags, row.cls)) return st;
    }
    finished = page->size() < kPage;
  }
  if (finished && !done_) {
    ++root_;
    after_path_.clear();
    after_id_ = kNoEntry;
  }
  return 0;
}

} // namespace nwc
