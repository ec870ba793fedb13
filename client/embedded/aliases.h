/*
 * aliases.h - finding entries by name through aliases.
 *
 * An alias is an entry of class Alias (or one flagged DS_ALIAS_ENTRY); its
 * "Aliased Object Name" names the entry it stands for.  With the context's
 * DCV_DEREF_ALIASES set, a name that passes through an alias (an alias as
 * one of the containers of the name) goes on below the aliased entry, and a
 * name whose last part is an alias resolves to the aliased entry when the
 * operation reads or changes the object (`Leaf::follow`).  Operations on the
 * alias entry itself -- removing, renaming or moving it, backing it up --
 * ask for `Leaf::itself`: only the containers of the name are dereferenced.
 * Without DCV_DEREF_ALIASES nothing is dereferenced.
 *
 * Invariants:
 *  - Aliases are leaves, so a name the store finds as it stands has no alias
 *    among its containers; only a name the store does not find is walked
 *    part by part.
 *  - An alias of an alias is followed too, at most kMaxAliasHops times;
 *    a longer chain or a loop is ERR_ALIAS_OF_AN_ALIAS.
 *  - An alias whose object does not exist resolves to ERR_NO_SUCH_ENTRY.
 *  - The entry found (and an alias it was reached through) must be one the
 *    context's identity may browse; otherwise the name is ERR_NO_SUCH_ENTRY.
 */
#ifndef NWC_ALIASES_H
#define NWC_ALIASES_H

#include "entries.h"

namespace nwc {

inline constexpr int kMaxAliasHops = 8;

enum class Leaf { follow, itself };

bool is_alias(const Schema &schema, const Entry &e);
bool is_alias(const Schema &schema, const EntryRow &e);
/* The entry the alias `alias` names (ERR_NO_SUCH_ENTRY when none exists). */
Expected<EntryId> aliased_entry(Store &store, EntryId alias);
/* The entry `dn` names under the context's alias rule, with its row.  The
   browse right on the entry reached is left to the caller, who may have
   read the entry's values by then (check_browse); an alias passed on the
   way is checked here. */
NWDSCCODE locate_dn(const Op &op, const Dn &dn, Leaf leaf, EntryRow &row);
/* The same with the browse right on the entry reached checked. */
NWDSCCODE find_dn(const Op &op, const Dn &dn, Leaf leaf, EntryRow &row);
NWDSCCODE find_dn(const Op &op, const Dn &dn, Leaf leaf, EntryId &id);
/* The same for a name as the caller gave it. */
NWDSCCODE find_name(const Op &op, const char *name, Leaf leaf, EntryId &id);

} // namespace nwc

#endif /* NWC_ALIASES_H */
