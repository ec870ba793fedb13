/*
 * entry_info.h - the engines that tell about one entry and carry it whole:
 * object information (objinfo.cpp), containable classes (containable.cpp),
 * references and inspection (references.cpp, entry_check.cpp), backup and
 * restore (backup.cpp).  Each file states its rules at its head.
 */
#ifndef NWC_ENTRY_INFO_H
#define NWC_ENTRY_INFO_H

#include "entries.h"

namespace nwc {

NWDSCCODE read_object_info(NWDSContextHandle context, const nstr8 *object,
                           pnstr8 distinguishedName, Object_Info_T *objectInfo);
NWDSCCODE list_containable_classes(NWDSContextHandle context, const nstr8 *parentObject,
                                   nint32 *iterationHandle, pBuf_T containableClasses);
NWDSCCODE read_references(NWDSContextHandle context, const nstr8 *serverName,
                          const nstr8 *objectName, nuint32 infoType, nbool8 allAttrs,
                          pBuf_T attrNames, nuint32 timeFilter, nint32 *iterationHandle,
                          pBuf_T objectInfo);
NWDSCCODE inspect_entry(NWDSContextHandle context, const nstr8 *serverName,
                        const nstr8 *objectName, pBuf_T errBuffer);
NWDSCCODE backup_object(NWDSContextHandle context, const nstr8 *objectName,
                        nint32 *iterationHandle, pBuf_T objectInfo);
NWDSCCODE restore_object(NWDSContextHandle context, const nstr8 *objectName,
                         nint32 *iterationHandle, nbool8 more, nuint32 size,
                         const nuint8 *objectInfo);

/* The object flags a listing gives an entry (DS_ALIAS_ENTRY,
   DS_PARTITION_ROOT, DS_CONTAINER_ENTRY). */
nuint32 object_flags(const Schema &schema, const Entry &e);
/* A name server the caller named, when it named one: an NCP Server entry
   (ERR_NO_SUCH_ENTRY otherwise); null or empty names any. */
NWDSCCODE check_server_name(const Op &op, const nstr8 *serverName);

} // namespace nwc

#endif /* NWC_ENTRY_INFO_H */
