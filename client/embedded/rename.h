/*
 * rename.h - the engines that rename and move directory entries and keep
 * security equivalences (rename.cpp).
 */
#ifndef NWC_RENAME_H
#define NWC_RENAME_H

#include "nwclient.h"

namespace nwc {

NWDSCCODE modify_rdn(NWDSContextHandle context, const nstr8 *objectName, const nstr8 *newDN,
                     nbool8 deleteOldRDN);
NWDSCCODE modify_dn(NWDSContextHandle context, const nstr8 *objectName, const nstr8 *newDN,
                    nbool8 deleteOldRDN);
NWDSCCODE move_object(NWDSContextHandle context, const nstr8 *objectName,
                      const nstr8 *destParentDN, const nstr8 *destRDN);
NWDSCCODE add_security_equiv(NWDSContextHandle context, const nstr8 *equalFrom,
                             const nstr8 *equalTo);
NWDSCCODE remove_security_equiv(NWDSContextHandle context, const nstr8 *equalFrom,
                                const nstr8 *equalTo);

} // namespace nwc

#endif /* NWC_RENAME_H */
