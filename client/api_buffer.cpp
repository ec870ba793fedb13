/*
 * api_buffer.cpp - the public buffer functions and result readers: one
 * call-layer line each (call.h).  Allocation, initialisation and release are
 * in buffer.cpp; the writers and readers are not built yet (the call layer
 * still checks that their buffer is live).
 */
#include "buffer.h"
#include "call.h"

extern "C" {

NWDSCCODE NWDSAllocBuf(size_t size, pBuf_T *buf) { NWC_CALL(alloc_buf, size, out(buf)); }

NWDSCCODE NWDSInitBuf(NWDSContextHandle context, nuint32 operation, pBuf_T buf) {
  NWC_CALL(init_buf, context, operation, buf);
}

NWDSCCODE NWDSFreeBuf(pBuf_T buf) { NWC_CALL(free_buf, buf); }

NWDSCCODE NWDSPutAttrName(NWDSContextHandle context, pBuf_T buf, const nstr8 *attrName) {
  NWC_TODO(context, buf, attrName);
}

NWDSCCODE NWDSPutChange(NWDSContextHandle context, pBuf_T buf, nuint32 changeType,
                        const nstr8 *attrName) {
  NWC_TODO(context, buf, changeType, attrName);
}

NWDSCCODE NWDSBeginClassItem(NWDSContextHandle context, pBuf_T buf) { NWC_TODO(context, buf); }

NWDSCCODE NWDSPutClassItem(NWDSContextHandle context, pBuf_T buf, const nstr8 *itemName) {
  NWC_TODO(context, buf, itemName);
}

NWDSCCODE NWDSPutAttrVal(NWDSContextHandle context, pBuf_T buf, nuint32 syntaxID,
                         const void *attrVal) {
  NWC_TODO(context, buf, syntaxID, attrVal);
}

NWDSCCODE NWDSComputeAttrValSize(NWDSContextHandle context, pBuf_T buf, nuint32 syntaxID,
                                 nuint32 *attrValSize) {
  NWC_TODO(context, buf, syntaxID, out(attrValSize));
}

NWDSCCODE NWDSGetAttrVal(NWDSContextHandle context, pBuf_T buf, nuint32 syntaxID,
                         void *attrVal) {
  NWC_TODO(context, buf, syntaxID, out(attrVal));
}

NWDSCCODE NWDSGetObjectCount(NWDSContextHandle context, pBuf_T buf, nuint32 *objectCount) {
  NWC_TODO(context, buf, out(objectCount));
}

NWDSCCODE NWDSGetObjectName(NWDSContextHandle context, pBuf_T buf, pnstr8 objectName,
                            nuint32 *attrCount, Object_Info_T *objectInfo) {
  NWC_TODO(context, buf, out(objectName), opt(out(attrCount)), opt(out(objectInfo)));
}

NWDSCCODE NWDSGetAttrCount(NWDSContextHandle context, pBuf_T buf, nuint32 *attrCount) {
  NWC_TODO(context, buf, out(attrCount));
}

NWDSCCODE NWDSGetAttrName(NWDSContextHandle context, pBuf_T buf, pnstr8 attrName,
                          nuint32 *attrValCount, nuint32 *syntaxID) {
  NWC_TODO(context, buf, out(attrName), out(attrValCount), out(syntaxID));
}

NWDSCCODE NWDSGetClassDefCount(NWDSContextHandle context, pBuf_T buf, nuint32 *classDefCount) {
  NWC_TODO(context, buf, out(classDefCount));
}

NWDSCCODE NWDSGetClassDef(NWDSContextHandle context, pBuf_T buf, pnstr8 className,
                          Class_Info_T *classInfo) {
  NWC_TODO(context, buf, out(className), opt(out(classInfo)));
}

NWDSCCODE NWDSGetClassItemCount(NWDSContextHandle context, pBuf_T buf, nuint32 *itemCount) {
  NWC_TODO(context, buf, out(itemCount));
}

NWDSCCODE NWDSGetClassItem(NWDSContextHandle context, pBuf_T buf, pnstr8 itemName) {
  NWC_TODO(context, buf, out(itemName));
}

NWDSCCODE NWDSGetSyntaxCount(NWDSContextHandle context, pBuf_T buf, nuint32 *syntaxCount) {
  NWC_TODO(context, buf, out(syntaxCount));
}

NWDSCCODE NWDSGetPartitionInfo(NWDSContextHandle context, pBuf_T buf, pnstr8 partitionName,
                               nuint32 *replicaType) {
  NWC_TODO(context, buf, out(partitionName), out(replicaType));
}

NWDSCCODE NWDSGetServerName(NWDSContextHandle context, pBuf_T buf, pnstr8 serverName,
                            nuint32 *partitionCount) {
  NWC_TODO(context, buf, out(serverName), out(partitionCount));
}

} /* extern "C" */
