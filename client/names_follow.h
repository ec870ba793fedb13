/*
 * names_follow.h - names inside values follow their entries.
 *
 * Values of other entries (and of the entry itself) that name an entry --
 * Member, Group Membership, Security Equals, Equivalent To Me, the subjects
 * of ACL values, Aliased Object Name, and the names inside Typed Name, Back
 * Link, Hold, Path and Replica Pointer values -- are kept pointing at it:
 *  - after a rename or a move every such value names the entry (and, for a
 *    container, every entry below it) under its new name; the value keeps
 *    its other fields, and a value whose new form the holder already has is
 *    merged into it;
 *  - after a removal such values are removed, except the last value of an
 *    attribute the holder's class makes mandatory (an alias keeps naming a
 *    removed object, as a dangling alias, rather than lose its mandatory
 *    Aliased Object Name).
 * Both run inside the caller's transaction, so the operation and all the
 * values it touches are one change.
 */
#ifndef NWC_NAMES_FOLLOW_H
#define NWC_NAMES_FOLLOW_H

#include "entries.h"

namespace nwc {

/* Rewrites the values naming `from` (and, with `subtree`, the entries below
   it) to name `to`. */
NWDSCCODE follow_names(const Op &op, const Dn &from, const Dn &to, bool subtree);
/* Removes the values naming the removed entry `gone`. */
NWDSCCODE drop_names_of(const Op &op, const Dn &gone);

} // namespace nwc

#endif /* NWC_NAMES_FOLLOW_H */
