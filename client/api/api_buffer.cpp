/*
 * api_buffer.cpp - the public buffer functions and result readers: one
 * call-layer line each (call.h).  Allocation, initialisation and release are
 * in buffer.cpp, the writers and every result reader (entries, class
 * definitions, syntaxes, partitions) in items.cpp (the item protocol,
 * items.h).
 *
 * NWDSPutAttrVal takes a null value for SYN_STREAM (a stream has no value of
 * its own); for every other syntax a null value is ERR_NULL_POINTER.
 */
#include "buffer.h"
#include "call.h"
#include "items.h"

extern "C" {

NWDSCCODE NWDSAllocBuf(size_t size, pBuf_T *buf) { NWC_CALL(alloc_buf, size, out(buf)); }

NWDSCCODE NWDSInitBuf(NWDSContextHandle context, nuint32 operation, pBuf_T buf) {
  NWC_CALL(init_buf, context, operation, buf);
}

NWDSCCODE NWDSFreeBuf(pBuf_T buf) { NWC_CALL(free_buf, buf); }

NWDSCCODE NWDSPutAttrName(NWDSContextHandle context, pBuf_T buf, const nstr8 *attrName) {
  NWC_CALL(put_attr_name, context, buf, attrName);
}

NWDSCCODE NWDSPutChange(NWDSContextHandle context, pBuf_T buf, nuint32 changeType,
                        const nstr8 *attrName) {
  NWC_CALL(put_change, context, buf, changeType, attrName);
}

NWDSCCODE NWDSBeginClassItem(NWDSContextHandle context, pBuf_T buf) {
  NWC_CALL(begin_class_item, context, buf);
}

NWDSCCODE NWDSPutClassItem(NWDSContextHandle context, pBuf_T buf, const nstr8 *itemName) {
  NWC_CALL(put_class_item, context, buf, itemName);
}

NWDSCCODE NWDSPutAttrVal(NWDSContextHandle context, pBuf_T buf, nuint32 syntaxID,
                         const void *attrVal) {
  NWC_CALL(put_attr_val, context, buf, syntaxID, opt(attrVal));
}

NWDSCCODE NWDSComputeAttrValSize(NWDSContextHandle context, pBuf_T buf, nuint32 syntaxID,
                                 nuint32 *attrValSize) {
  NWC_CALL(compute_attr_val_size, context, buf, syntaxID, out(attrValSize));
}

NWDSCCODE NWDSGetAttrVal(NWDSContextHandle context, pBuf_T buf, nuint32 syntaxID,
                         void *attrVal) {
  NWC_CALL(get_attr_val, context, buf, syntaxID, out(attrVal));
}

NWDSCCODE NWDSGetObjectCount(NWDSContextHandle context, pBuf_T buf, nuint32 *objectCount) {
  NWC_CALL(get_object_count, context, buf, out(objectCount));
}

NWDSCCODE NWDSGetObjectName(NWDSContextHandle context, pBuf_T buf, pnstr8 objectName,
                            nuint32 *attrCount, Object_Info_T *objectInfo) {
  NWC_CALL(get_object_name, context, buf, out(objectName), opt(out(attrCount)), opt(out(objectInfo)));
}

NWDSCCODE NWDSGetAttrCount(NWDSContextHandle context, pBuf_T buf, nuint32 *attrCount) {
  NWC_CALL(get_attr_count, context, buf, out(attrCount));
}

NWDSCCODE NWDSGetAttrName(NWDSContextHandle context, pBuf_T buf, pnstr8 attrName,
                          nuint32 *attrValCount, nuint32 *syntaxID) {
  NWC_CALL(get_attr_name, context, buf, out(attrName), out(attrValCount), out(syntaxID));
}

NWDSCCODE NWDSGetClassDefCount(NWDSContextHandle context, pBuf_T buf, nuint32 *classDefCount) {
  NWC_CALL(get_class_def_count, context, buf, out(classDefCount));
}

NWDSCCODE NWDSGetClassDef(NWDSContextHandle context, pBuf_T buf, pnstr8 className,
                          Class_Info_T *classInfo) {
  NWC_CALL(get_class_def, context, buf, out(className), opt(out(classInfo)));
}

NWDSCCODE NWDSGetClassItemCount(NWDSContextHandle context, pBuf_T buf, nuint32 *itemCount) {
  NWC_CALL(get_class_item_count, context, buf, out(itemCount));
}

NWDSCCODE NWDSGetClassItem(NWDSContextHandle context, pBuf_T buf, pnstr8 itemName) {
  NWC_CALL(get_class_item, context, buf, out(itemName));
}

NWDSCCODE NWDSGetSyntaxCount(NWDSContextHandle context, pBuf_T buf, nuint32 *syntaxCount) {
  NWC_CALL(get_syntax_count, context, buf, out(syntaxCount));
}

NWDSCCODE NWDSGetPartitionInfo(NWDSContextHandle context, pBuf_T buf, pnstr8 partitionName,
                               nuint32 *replicaType) {
  NWC_CALL(get_partition_info, context, buf, out(partitionName), out(replicaType));
}

NWDSCCODE NWDSGetServerName(NWDSContextHandle context, pBuf_T buf, pnstr8 serverName,
                            nuint32 *partitionCount) {
  NWC_CALL(get_server_name, context, buf, out(serverName), out(partitionCount));
}

} /* extern "C" */
