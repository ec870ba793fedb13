/*
 * schema_api.h - the engines of the public schema functions (schema_api.cpp).
 *
 * Changing the schema needs the supervisor right on [Root] (rights.h):
 * ERR_NO_ACCESS otherwise, and nothing changes.  Reading it needs none.
 */
#ifndef NWC_SCHEMA_API_H
#define NWC_SCHEMA_API_H

#include "nwclient.h"

namespace nwc {

NWDSCCODE read_class_defs(NWDSContextHandle context, nuint32 infoType, nbool8 allClasses,
                          pBuf_T classNames, nint32 *iterationHandle, pBuf_T classDefs);
NWDSCCODE read_attr_defs(NWDSContextHandle context, nuint32 infoType, nbool8 allAttrs,
                         pBuf_T attrNames, nint32 *iterationHandle, pBuf_T attrDefs);
NWDSCCODE read_syntaxes(NWDSContextHandle context, nuint32 infoType, nbool8 allSyntaxes,
                        pBuf_T syntaxNames, nint32 *iterationHandle, pBuf_T syntaxDefs);
NWDSCCODE read_syntax_def(NWDSContextHandle context, nuint32 syntaxID,
                          Syntax_Info_T *syntaxDef);
NWDSCCODE modify_class_def(NWDSContextHandle context, const nstr8 *className,
                           pBuf_T optionalAttrs);
NWDSCCODE remove_attr_def(NWDSContextHandle context, const nstr8 *attrName);
NWDSCCODE remove_class_def(NWDSContextHandle context, const nstr8 *className);
NWDSCCODE sync_schema(NWDSContextHandle context, const nstr8 *server, nuint32 seconds);

} // namespace nwc

#endif /* NWC_SCHEMA_API_H */
