/*
 * api_admin.cpp - the public partition, replica and schema functions: one
 * call-layer line each (call.h).
 */
#include "backends.h"
#include "call.h"
#include "partitions_api.h"
#include "schema_api.h"

extern "C" {

/* ---- partitions and replicas ------------------------------------------------------ */
NWDSCCODE NWDSAddPartition(NWDSContextHandle context, const nstr8 *server,
                           const nstr8 *partitionRoot, nint32 *iterationHandle, nbool8 more,
                           pBuf_T objectInfo) {
  NWC_CALL(add_partition, context, server, partitionRoot, opt(io(iterationHandle)), more, objectInfo);
}

NWDSCCODE NWDSRemovePartition(NWDSContextHandle context, const nstr8 *partitionRoot) {
  NWC_CALL(remove_partition, context, partitionRoot);
}

NWDSCCODE NWDSSplitPartition(NWDSContextHandle context, const nstr8 *subordinatePartition,
                             nflag32 flags) {
  NWC_CALL(split_partition, context, subordinatePartition, flags);
}

NWDSCCODE NWDSJoinPartitions(NWDSContextHandle context, const nstr8 *subordinatePartition,
                             nflag32 flags) {
  NWC_CALL(join_partitions, context, subordinatePartition, flags);
}

NWDSCCODE NWDSAbortPartitionOperation(NWDSContextHandle context, const nstr8 *partitionRoot) {
  NWC_CALL(abort_partition_operation, context, partitionRoot);
}

NWDSCCODE NWDSGetPartitionRoot(NWDSContextHandle context, const nstr8 *objectName,
                               pnstr8 partitionRoot) {
  NWC_CALL(get_partition_root, context, objectName, out(partitionRoot));
}

NWDSCCODE NWDSListPartitions(NWDSContextHandle context, nint32 *iterationHandle,
                             const nstr8 *server, pBuf_T partitions) {
  NWC_CALL(list_partitions, context, io(iterationHandle), server, partitions);
}

NWDSCCODE NWDSRepairTimeStamps(NWDSContextHandle context, const nstr8 *partitionRoot) {
  NWC_CALL(repair_time_stamps, context, partitionRoot);
}

NWDSCCODE NWDSAddReplica(NWDSContextHandle context, const nstr8 *server,
                         const nstr8 *partitionRoot, nuint32 replicaType) {
  NWC_CALL(add_replica, context, server, partitionRoot, replicaType);
}

NWDSCCODE NWDSRemoveReplica(NWDSContextHandle context, const nstr8 *server,
                            const nstr8 *partitionRoot) {
  NWC_CALL(remove_replica, context, server, partitionRoot);
}

NWDSCCODE NWDSChangeReplicaType(NWDSContextHandle context, const nstr8 *replicaName,
                                const nstr8 *server, nuint32 newReplicaType) {
  NWC_CALL(change_replica_type, context, replicaName, server, newReplicaType);
}

NWDSCCODE NWDSSyncPartition(NWDSContextHandle context, const nstr8 *server,
                            const nstr8 *partition, nuint32 seconds) {
  NWC_CALL(sync_partition, context, server, partition, seconds);
}

NWDSCCODE NWDSPartitionReceiveAllUpdates(NWDSContextHandle context, const nstr8 *partitionRoot,
                                         const nstr8 *serverName) {
  NWC_CALL(partition_receive_all_updates, context, partitionRoot, serverName);
}

NWDSCCODE NWDSPartitionSendAllUpdates(NWDSContextHandle context, const nstr8 *partitionRoot,
                                      const nstr8 *serverName) {
  NWC_CALL(partition_send_all_updates, context, partitionRoot, serverName);
}

NWDSCCODE NWDSReloadDS(NWDSContextHandle context, const nstr8 *serverName) {
  NWC_CALL(reload_ds, context, serverName);
}

/* ---- schema -------------------------------------------------------------------------- */
NWDSCCODE NWDSReadAttrDef(NWDSContextHandle context, nuint32 infoType, nbool8 allAttrs,
                          pBuf_T attrNames, nint32 *iterationHandle, pBuf_T attrDefs) {
  NWC_CALL(DIRECTORY(read_attr_defs), context, infoType, allAttrs, opt(attrNames), io(iterationHandle), attrDefs);
}

NWDSCCODE NWDSReadClassDef(NWDSContextHandle context, nuint32 infoType, nbool8 allClasses,
                           pBuf_T classNames, nint32 *iterationHandle, pBuf_T classDefs) {
  NWC_CALL(DIRECTORY(read_class_defs), context, infoType, allClasses, opt(classNames), io(iterationHandle), classDefs);
}

NWDSCCODE NWDSReadSyntaxes(NWDSContextHandle context, nuint32 infoType, nbool8 allSyntaxes,
                           pBuf_T syntaxNames, nint32 *iterationHandle, pBuf_T syntaxDefs) {
  NWC_CALL(read_syntaxes, context, infoType, allSyntaxes, opt(syntaxNames), io(iterationHandle), syntaxDefs);
}

NWDSCCODE NWDSReadSyntaxDef(NWDSContextHandle context, nuint32 syntaxID,
                            Syntax_Info_T *syntaxDef) {
  NWC_CALL(read_syntax_def, context, syntaxID, out(syntaxDef));
}

NWDSCCODE NWDSModifyClassDef(NWDSContextHandle context, const nstr8 *className,
                             pBuf_T optionalAttrs) {
  NWC_CALL(modify_class_def, context, className, optionalAttrs);
}

NWDSCCODE NWDSRemoveAttrDef(NWDSContextHandle context, const nstr8 *attrName) {
  NWC_CALL(remove_attr_def, context, attrName);
}

NWDSCCODE NWDSRemoveClassDef(NWDSContextHandle context, const nstr8 *className) {
  NWC_CALL(remove_class_def, context, className);
}

NWDSCCODE NWDSSyncSchema(NWDSContextHandle context, const nstr8 *server, nuint32 seconds) {
  NWC_CALL(sync_schema, context, server, seconds);
}

} /* extern "C" */
