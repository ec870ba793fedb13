/*
 * containable.cpp - the engine of NWDSListContainableClasses.
 *
 * The classes an entry may contain: every effective class whose containment
 * (its own, or its nearest super class's) names the entry's class or one of
 * that class's super classes; none for an entry whose class is not a
 * container.  A parent given through an alias is dereferenced by the
 * context's flags.  The result buffer is initialised for
 * DSV_LIST_CONTAINABLE_CLASSES and laid out CLASS_ITEM_COUNT
 * RESULT_CLASS_ITEM*, read with NWDSGetClassItemCount and NWDSGetClassItem;
 * classes in the schema's order.  What does not fit is continued through an
 * iteration of DSV_LIST_CONTAINABLE_CLASSES (the list is taken on the first
 * call); a buffer too small for one class is ERR_INSUFFICIENT_BUFFER.
 */
#include "entry_info.h"
#include "items.h"
#include "iteration.h"

namespace nwc {

namespace {

struct PendingClasses : IterationState {
  std::vector<std::string> classes;
  size_t next = 0;
};

} // namespace

NWDSCCODE list_containable_classes(NWDSContextHandle context, const nstr8 *parentObject,
                                   nint32 *iterationHandle, pBuf_T containableClasses) {
  std::lock_guard<std::recursive_mutex> g(directory_lock());
  Op op;
  if (NWDSCCODE st = begin_op(context, op)) return st;
  std::unique_ptr<IterationState> state;
  if (*iterationHandle != NO_MORE_ITERATIONS) {
    if (NWDSCCODE st = take_iteration(DSV_LIST_CONTAINABLE_CLASSES, context, *iterationHandle, state))
      return st;
  } else {
    EntryId id = kNoEntry;
    if (NWDSCCODE st = find_entry(op, parentObject, id)) return st;
    auto e = op.store->entry(id);
    if (!e) return e.status();
    auto fresh = std::make_unique<PendingClasses>();
    for (const ClassDef &c : op.schema->classes())
      if ((c.flags & DS_EFFECTIVE_CLASS) && op.schema->may_contain(e->cls, c.name))
        fresh->classes.push_back(c.name);
    state = std::move(fresh);
  }
  auto &p = static_cast<PendingClasses &>(*state);
  ResultWriter w(*buffer_of(containableClasses), DSV_LIST_CONTAINABLE_CLASSES);
  const size_t count_at = w.next_index();
  if (!w.add_count(tag::CLASS_ITEM_COUNT, 0)) return ERR_INSUFFICIENT_BUFFER;
  nuint32 given = 0;
  while (p.next < p.classes.size() && w.add_class_item(p.classes[p.next])) {
    ++p.next;
    ++given;
  }
  w.set_number(count_at, given);
  if (p.next >= p.classes.size()) {
    *iterationHandle = NO_MORE_ITERATIONS;
    return 0;
  }
  if (given == 0) {
    buffer_of(containableClasses)->reset(DSV_LIST_CONTAINABLE_CLASSES);
    return ERR_INSUFFICIENT_BUFFER;
  }
  return open_iteration(DSV_LIST_CONTAINABLE_CLASSES, context, std::move(state), *iterationHandle);
}

} // namespace nwc
