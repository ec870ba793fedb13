/*
 * search_plan.h - which entries a search examines and in what order: the
 * scope as a set of roots in the store's ancestry, the filter's driving
 * assertion answered from the value index, and a cursor that hands out the
 * matching entries page by page, so that no search holds its whole result.
 *
 * Which filters are answered from which index (the plan is made once, at
 * the first call of a search):
 *  - An assertion whose matches lie in one range of the value index
 *    (attribute, equality key, entry) can drive: equality (one key),
 *    a pattern with a literal prefix (the keys beginning with it), >= and
 *    <= (the keys from or up to the value), presence (all the attribute's
 *    keys).  An Object Class assertion is one of these: every entry holds
 *    the names of its class lineage as Object Class values.  An or whose
 *    branches can all drive drives as the union of their ranges; a value
 *    list in a filter buffer is such an or.
 *  - An assertion's range is first read for kFewRows + 1 rows: when that
 *    is the whole range, those rows are its count and the search's first
 *    page (a selective search reads its range once).
 *  - Of an and, the child whose ranges hold the fewest index rows (counted
 *    up to kCountCap) drives; the other children are tested only on its
 *    candidates.  A filter with no child that can drive (a not, a pattern
 *    without a prefix, an or with such a branch), or whose best range holds
 *    more rows than the scope holds entries (and more than a few), walks the
 *    scope instead.
 *  - A candidate is in scope when its path key lies under a subtree root's,
 *    its parent is a root of a one-level scope, or it is a root of an entry
 *    scope: a test on the row the index gave, without a walk.
 *  - The walk reads the scope in pages of the path index (a subtree) or of
 *    the parent index (one level), in path or id order.
 *  - An entry is given once: a candidate is skipped when an earlier key of
 *    the same range, or an earlier branch of the or, already gave it.
 *
 * Aliases: with searchAliases, an alias in scope is not examined itself;
 * the entry it names is, and in a subtree search that entry's subtree is
 * searched too (each entry once, however many aliases lead to it).  The
 * aliases in scope are found through the Object Class index; an alias whose
 * object does not exist is left out.
 *
 * countObjectsToSearch > 0 bounds the entries examined: the candidates in
 * scope that the driving assertion holds for, or the entries walked.
 */
#ifndef NWC_SEARCH_PLAN_H
#define NWC_SEARCH_PLAN_H

#include <deque>
#include <string>
#include <vector>

#include "filter.h"

namespace nwc {

inline constexpr size_t kCountCap = 4096;

/* The entry a search starts from: the base name resolved through the
   context (an empty or null name is the context's name context), an alias
   dereferenced when the context dereferences aliases or the search follows
   them (ERR_NO_SUCH_ENTRY when its object does not exist).  `path` is
   its path key, or empty when an alias was dereferenced. */
NWDSCCODE search_base(const Op &op, const nstr8 *name, bool aliases, EntryId &out, std::string &path);
/* The entry an alias names (through aliases of aliases, a few deep);
   kNoEntry when it names none that exists. */
Expected<EntryId> alias_target(Store &store, EntryId alias);

class SearchCursor {
public:
  SearchCursor() = default;
  SearchCursor(const SearchCursor &) = delete;
  SearchCursor &operator=(const SearchCursor &) = delete;

  /* Plans the search of `filter` below `base` (already resolved and, where
     asked, dereferenced; `base_path` its path key, or empty to look it up)
     with `scope`.  Inside a read transaction. */
  NWDSCCODE start(const Op &op, EntryId base, const std::string &base_path, nint32 scope, bool aliases,
                  FilterNode filter, nint32 limit);
  /* The next matching entry (`any` false at the end), without taking it;
     `row` its row when the index gave it in this call's transaction (null
     otherwise: read it). */
  NWDSCCODE peek(Store &store, EntryId &id, bool &any, const Store::KeyRow *&row);
  void pop() { ready_.pop_front(); }
  /* A new call of the search, in a transaction of its own: the rows kept
     from an earlier one are read again. */
  void next_call() { ++call_; }
  nint32 examined() const { return examined_; }
  bool uses_index() const { return indexed_; }

private:
  struct Root {
    EntryId id = kNoEntry;
    std::string path;
    nint32 kind = DS_SEARCH_SUBTREE;
  };
  bool covered(size_t below, EntryId id, EntryId parent, const std::string &path) const;
  NWDSCCODE add_alias_roots(Store &store);
  NWDSCCODE refill(Store &store);
  NWDSCCODE refill_index(Store &store);
  NWDSCCODE refill_walk(Store &store);
  /* A candidate in scope (with its row, from the index, taken when it is
     kept): counted, then tested; kept when it matches. */
  NWDSCCODE consider(Store &store, EntryId id, Store::KeyRow *row = nullptr);
  bool is_alias(const Schema &schema, uint32_t flags, const std::string &cls) const;

  FilterNode filter_;
  std::vector<Root> roots_;
  bool aliases_ = false;
  std::shared_ptr<const Schema> schema_;
  int64_t alias_attr_ = 0;
  std::string alias_key_;
  nint32 limit_ = 0;
  nint32 examined_ = 0;

  bool indexed_ = false;
  /* Index plan: the ranges of the driving node and the rest of the filter
     (the and's other children, or nothing when it is the whole filter). */
  std::vector<FilterNode> drivers_;
  bool test_rest_ = false; /* the driver is child skip_child_ of an and */
  size_t skip_child_ = 0;
  size_t driver_ = 0;
  std::string after_key_;
  EntryId after_entry_ = kNoEntry;
  /* The driver's whole range when planning read it all (a few rows). */
  std::vector<Store::KeyRow> first_rows_;
  bool have_first_rows_ = false;
  /* Walk plan: the root being walked and the position in it. */
  size_t root_ = 0;
  std::string after_path_;
  EntryId after_id_ = kNoEntry;
  bool root_started_ = false;

  struct Ready {
    EntryId id = kNoEntry;
    bool has_row = false;
    Store::KeyRow row;
    uint64_t call = 0;
  };
  std::deque<Ready> ready_;
  uint64_t call_ = 0;
  bool done_ = false;
};

} // namespace nwc

#endif /* NWC_SEARCH_PLAN_H */
