/*
 * streams.h - stream attributes opened as file descriptors (streams.cpp).
 */
#ifndef NWC_STREAMS_H
#define NWC_STREAMS_H

#include "nwclient.h"

namespace nwc {

NWDSCCODE open_stream(NWDSContextHandle context, const nstr8 *objectName, const nstr8 *attrName,
                      nflag32 flags, NWFILE_HANDLE *fileHandle);

} // namespace nwc

#endif /* NWC_STREAMS_H */
