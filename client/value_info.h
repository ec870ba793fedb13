/*
 * value_info.h - the information a read or search gives with each value
 * under DS_VALUE_INFO and DS_ABBREVIATED_VALUE (value_info.cpp).
 *
 * DS_VALUE_INFO: each value with its value flags and its modification
 * timestamp (the seconds the value was last written; replica number 0, the
 * event id the low 16 bits of the value's row, so two values written in
 * the same second still differ).  DS_ABBREVIATED_VALUE: each value with its
 * flags, the timestamp left 0.  Both go in RESULT_VALUE items through
 * ResultWriter::add_value_info; NWDSGetAttrVal reads the value of such an
 * item as of any other, so a script walks these results as it walks
 * DS_ATTRIBUTE_VALUES results.
 *
 * Value flags: kValuePresent on every value; kValueNaming on a value that
 * names the entry (a value of its RDN); kValueBaseClass on the "Object
 * Class" value that is the entry's base class.
 */
#ifndef NWC_VALUE_INFO_H
#define NWC_VALUE_INFO_H

#include "entries.h"

namespace nwc {

inline constexpr nuint32 kValueNaming = 0x0001;
inline constexpr nuint32 kValueBaseClass = 0x0002;
inline constexpr nuint32 kValuePresent = 0x0004;

struct ValueInfo {
  nuint32 flags = 0;
  nuint32 seconds = 0;
  nuint32 replica_event = 0;
};

inline bool carries_value_info(nuint32 infoType) {
  return infoType == DS_VALUE_INFO || infoType == DS_ABBREVIATED_VALUE;
}

/* The information of one stored value of `e` (whose RDN is `rdn`). */
ValueInfo value_info(const Entry &e, const Rdn &rdn, const AttrDef &attr, const StoredValue &sv,
                     nuint32 infoType);

} // namespace nwc

#endif /* NWC_VALUE_INFO_H */
