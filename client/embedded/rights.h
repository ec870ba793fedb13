/*
 * rights.h - the rights model: what an identity may do to an entry and its
 * attributes, and the checks the engines make with it (rights.cpp).
 *
 * Rights are granted by Object ACL values in the "ACL" attribute of entries.
 * Each value names a protected attribute ("[Entry Rights]", "[All Attributes
 * Rights]" or an attribute name), a subject (a distinguished name or one of
 * the special subjects) and a mask: entry rights (DS_ENTRY_BROWSE, _ADD,
 * _DELETE, _RENAME, _SUPERVISOR) for "[Entry Rights]", attribute rights
 * (DS_ATTR_COMPARE, _READ, _WRITE, _SELF, _SUPERVISOR) otherwise.  A value
 * whose subject is "[Inheritance Mask]" is the entry's inherited rights
 * filter for its protected attribute.
 *
 * The rules:
 *  1. Trustees.  An identity acts as: the object itself; each object its
 *     "Security Equals" names (one step: the equivalences of those objects
 *     do not count); each group its "Group Membership" names; every
 *     container above it up to [Root]; "[Root]" (any logged-in identity);
 *     "[Public]" (everyone).  A context that has not logged in is "[Public]"
 *     alone.  Subject names are matched as names (case and type spelling
 *     do not matter).  The subject "[Self]" in an ACL value names the entry
 *     that holds the value: it grants the object itself, on itself.
 *  2. Inheritance.  For each trustee on its own, rights are worked out from
 *     [Root] down to the entry: at each entry below [Root] the rights
 *     inherited from its parent are first filtered by the entry's
 *     "[Inheritance Mask]" values (only what the mask keeps flows in; a
 *     mask never limits what the entry itself grants), then a trustee's own
 *     assignment on the entry replaces what that trustee inherited there
 *     (several values for one trustee and protected attribute add up).
 *     "[Entry Rights]" and "[All Attributes Rights]" flow down this way.
 *  3. Named attributes.  An assignment on a named attribute holds on the
 *     entry that carries it only (it does not flow down), and for its
 *     trustee it takes the place of that trustee's "[All Attributes
 *     Rights]" for that attribute.  Inheritance masks name "[Entry Rights]"
 *     or "[All Attributes Rights]"; a mask on a named attribute has nothing
 *     to filter.
 *  4. The effective rights are the union over all trustees.
 *  5. Implications.  Entry supervisor gives every entry right and every
 *     attribute right on every attribute of the entry.  It is filtered by a
 *     mask like any other inherited right, as the one bit it is: what it
 *     implies is worked out after the masks and replacements, so a mask
 *     without supervisor takes all of it away (the Admin included, unless
 *     granted on the masked entry itself).  Attribute supervisor gives
 *     every attribute right; read gives compare; write gives self.
 *
 * Cost: the rights of one identity on one entry are worked out once and kept
 * (with what flows to the entry's children) until the store's access
 * generation moves (store.h: any write by another process; by this one, a
 * write to what rights are worked out from), so such a change is seen on the
 * next check, while other writes (a new entry, a changed telephone number)
 * keep the cache.  The cache is used under the directory lock (entries.h).
 */
#ifndef NWC_RIGHTS_H
#define NWC_RIGHTS_H

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "entries.h"

namespace nwc {

inline constexpr const char *kEntryRightsName = "[Entry Rights]";
inline constexpr const char *kAllAttrsRightsName = "[All Attributes Rights]";
inline constexpr nuint32 kAllEntryRights = DS_ENTRY_MASK;
inline constexpr nuint32 kAllAttrRights = DS_ATTR_MASK;

/* The effective rights of one identity on one entry. */
struct Privileges {
  nuint32 entry = 0;     /* entry rights */
  nuint32 all_attrs = 0; /* attribute rights on an attribute without a named assignment */
  /* Attributes with a named assignment on the entry: folded name, rights. */
  std::vector<std::pair<std::string, nuint32>> named;
  /* The rights on attribute `attr` (any spelling). */
  nuint32 attr(std::string_view attr) const;
};

/* Who an identity is: the entry it logged in as (kNoEntry: [Public] only). */
struct Identity {
  EntryId entry = kNoEntry;
};
inline Identity identity_of(const Op &op) { return Identity{op.ctx.identity_entry}; }

/* What a caller has read of an entry already, so that its rights are worked
   out without reading it again: its values as encoded_values gives them
   (its ACL is taken from there) and, when known, its parent.  An entry met
   once (a search's result) is worked out without being kept. */
struct KnownEntry {
  const std::vector<Store::EncodedValue> *values = nullptr;
  bool parent_known = false;
  EntryId parent = kNoEntry;
  bool once = false;
};

/* Rights of `who` on `object` (cached; see the header comment). */
NWDSCCODE effective_rights(Store &store, Identity who, EntryId object, Privileges &out,
                           const KnownEntry *known = nullptr);

/* ---- the checks of the engines: 0, or the status to fail with ----------- */
/* ERR_NO_SUCH_ENTRY when the context's identity may not browse `object`
   (whose parent, when the caller knows it, is `parent`). */
NWDSCCODE check_browse(const Op &op, EntryId object);
NWDSCCODE check_browse(const Op &op, EntryId object, EntryId parent);
/* ERR_NO_ACCESS unless the identity holds every entry right in `rights`. */
NWDSCCODE check_entry(const Op &op, EntryId object, nuint32 rights);
/* ERR_NO_ACCESS unless the identity holds every right of `rights` on `attr`. */
NWDSCCODE check_attr(const Op &op, EntryId object, std::string_view attr, nuint32 rights);
/* ERR_NO_ACCESS unless the identity may make the change `change` (a DS_
   change type) with `values` to `attr`: write, or self when every value is
   the identity's own name and the change adds or removes values. */
NWDSCCODE check_change(const Op &op, EntryId object, std::string_view attr, nuint32 change,
                       const std::vector<Value> &values);
/* ERR_NO_ACCESS unless the identity is supervisor of [Root]. */
NWDSCCODE check_root_supervisor(const Op &op);

/* The ACL values a new entry of class `cls` gets besides the ones asked for:
   a User reads all its attributes and reads and writes its login script and
   print job configuration; any logged-in object ([Root]) reads its network
   address and group membership. */
std::vector<Value> default_acl(const Schema &schema, std::string_view cls, const std::string &full_name);

/* Forgets every cached right (for tests that time the first computation). */
void forget_cached_rights();

/* ---- the engines of the public rights functions (rights_api.cpp) -------- */
NWDSCCODE get_effective_rights(NWDSContextHandle context, const nstr8 *subjectName,
                               const nstr8 *objectName, const nstr8 *attrName,
                               nuint32 *privileges);
NWDSCCODE list_attrs_effective_rights(NWDSContextHandle context, const nstr8 *objectName,
                                      const nstr8 *subjectName, nbool8 allAttrs,
                                      pBuf_T attrNames, nint32 *iterationHandle,
                                      pBuf_T privilegeInfo);

} // namespace nwc

#endif /* NWC_RIGHTS_H */
