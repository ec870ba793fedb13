/*
 * ldap/results.h - LDAP entries turned into result buffers: the objects of
 * a search or listing and the attributes of a read, in the items the
 * module's readers expect (items.h), continued through iterations.
 *
 * Invariants:
 *  - An object is given whole in one part; an attribute of a read may be
 *    cut between values and continues under its name in the next part;
 *    over all parts everything is given exactly once.
 *  - Attribute names are the directory's (mapping.h), syntaxes the
 *    server's schema's, values encoded as the embedded store encodes them.
 *  - The server's bookkeeping attributes that the results' object fields
 *    are read from (structuralObjectClass, hasSubordinates,
 *    modifyTimestamp) are not given as attributes unless asked for by name;
 *    a password (userPassword) is never given, even to an identity the
 *    server would show it to.
 */
#ifndef NWC_LDAP_RESULTS_H
#define NWC_LDAP_RESULTS_H

#include <string>
#include <vector>

#include "buffer.h"
#include "iteration.h"
#include "ldap/fetch.h"
#include "schema/schema.h"

namespace nwc::ldap {

/* The information a value carries under DS_VALUE_INFO / DS_ABBREVIATED_VALUE:
   its flags (value_info.h: present, naming, base class) and, for
   DS_VALUE_INFO, the entry's modification time (an LDAP server keeps no
   time per value); replica and event are 0. */
struct ValueFlags {
  nuint32 flags = 0;
  nuint32 seconds = 0;
};

struct AttrOut {
  std::string name;
  nuint32 syntax = 0;
  std::vector<std::string> values; /* encoded */
  std::vector<ValueFlags> info;    /* one per value when the info type carries it */
  size_t next = 0;                 /* read: the first value not given yet */
  size_t value_cost(size_t k) const;
};

struct ObjOut {
  std::string full;
  std::string base_class;
  nuint32 flags = 0;
  nuint32 subordinates = 0;
  nuint32 mtime = 0;
  std::vector<AttrOut> attrs;
  size_t cost = 0;
};

/* The attributes to ask the server for, and the bookkeeping ones besides. */
std::vector<std::string> query_attrs(bool all, const std::vector<std::string> &ldap_names);
/* Whether attribute names alone may be asked of the server for a names-only
   result: not when Member may be among them, whose stand-in (groups.h) only
   its values tell. */
bool names_only_request(bool all, const std::vector<std::string> &ldap_names);

/* An entry as a result object; `all` gives every user attribute, else those
   of `wanted` (LDAP names, any case) the entry has; `info_type`
   DS_ATTRIBUTE_NAMES gives names only, DS_VALUE_INFO and
   DS_ABBREVIATED_VALUE the values with their information.  False when the
   server's DN does not parse. */
bool describe(const Schema &schema, const RawEntry &e, bool all, const std::vector<std::string> &wanted,
              bool with_attrs, nuint32 info_type, ObjOut &out);
/* The information types a read or search of this backend gives: names,
   values, and values with their information; DS_EFFECTIVE_PRIVILEGES has no
   LDAP carrier. */
inline bool carried_info_type(nuint32 info_type) {
  return info_type == DS_ATTRIBUTE_NAMES || info_type == DS_ATTRIBUTE_VALUES || info_type == DS_VALUE_INFO ||
         info_type == DS_ABBREVIATED_VALUE;
}

/* A search or listing under way: its objects and the next one to give. */
struct PendingObjects : IterationState {
  std::vector<ObjOut> objs;
  size_t next = 0;
  bool names_only = false;
};
/* Writes the next part into `buf` under `verb` (DSV_SEARCH, DSV_LIST);
   `more` tells whether objects remain.  ERR_INSUFFICIENT_BUFFER when not one
   object fits. */
NWDSCCODE fill_objects(PendingObjects &p, Buffer &buf, nuint32 verb, bool &more);

/* A read under way. */
struct PendingAttrs : IterationState {
  std::vector<AttrOut> attrs;
  size_t next = 0;
  bool names_only = false;
};
/* Writes the next part of a read; false when not one attribute fits. */
bool fill_attrs(PendingAttrs &p, Buffer &buf);


} // namespace nwc::ldap

#endif /* NWC_LDAP_RESULTS_H */
