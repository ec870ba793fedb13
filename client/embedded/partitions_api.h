/*
 * partitions_api.h - the engines of the public partition and replica
 * functions (partitions_api.cpp).
 *
 * Partitions are named by their root entries and replicas by their server
 * and partition; both live in the store (store.h).  Every name is resolved
 * through the calling context; every change is one transaction, so a failed
 * call changes nothing.
 *
 * Behaviour:
 *  - NWDSSplitPartition makes the named container a partition root; its
 *    ring is a copy of its parent partition's ring (same servers, same
 *    types, in the same order).  flags are not used.
 *  - NWDSJoinPartitions merges the named partition into its parent
 *    partition: the root stops being a partition root and its replicas go
 *    (the parent's ring holds its entries from then on).  flags are not used.
 *  - NWDSRemovePartition: a partition whose ring is the master alone and
 *    that holds no subordinate partitions is merged into its parent as a
 *    join does (its entries stay in the tree, in the parent partition).
 *  - NWDSAddPartition makes an existing container, named by partitionRoot,
 *    a partition root with a single replica, the master, on server.  The
 *    objectInfo buffer and `more` are accepted and not read; the iteration
 *    handle, when given, is set to NO_MORE_ITERATIONS on success.
 *  - NWDSAddReplica adds a secondary or read-only replica; adding a master
 *    makes the new replica the master and the old master a secondary.
 *  - NWDSChangeReplicaType: making a replica the master turns the old
 *    master into a secondary; the master itself cannot be turned into
 *    another type (name a new master instead).
 *  - NWDSRemoveReplica refuses the master.
 *  - NWDSListPartitions gives, for the server, SERVER then one PARTITION
 *    (root name, replica type) per replica it holds, by partition; a result
 *    that does not fit is continued through an iteration of
 *    DSV_LIST_PARTITIONS, each part opening with the SERVER again (its count
 *    is the partitions of that part).
 *  - NWDSGetPartitionRoot: the root of the partition holding the object,
 *    formatted for the context, at most MAX_DN_BYTES with its terminator.
 *  - NWDSSyncPartition, NWDSPartitionReceiveAllUpdates,
 *    NWDSPartitionSendAllUpdates: succeed when the partition exists and the
 *    server holds a replica of it; NWDSRepairTimeStamps when the partition
 *    exists; NWDSReloadDS when the server exists.  They change nothing.
 *  - NWDSAbortPartitionOperation: partition operations finish within their
 *    call, so none is ever in progress: ERR_CANNOT_ABORT for an existing
 *    partition.
 *
 * Rights (rights.h): every operation on a partition or its replicas needs
 * the supervisor right on the partition root (adding or splitting off a
 * partition: on the entry that becomes its root); ERR_NO_ACCESS otherwise.
 * Listing partitions and finding an entry's partition root need none.
 *
 * Status codes chosen where the published documentation leaves one:
 *  - a name that does not exist: ERR_NO_SUCH_ENTRY; a server name that is
 *    not an NCP Server: ERR_NO_SERVER_FOUND;
 *  - a partition root name that is an entry but not a partition root:
 *    ERR_NOT_ROOT_PARTITION;
 *  - splitting (or adding a partition at) an entry that is not a container:
 *    ERR_ENTRY_NOT_CONTAINER; one already a partition root:
 *    ERR_PARTITION_ALREADY_EXISTS;
 *  - joining or removing the tree's top partition: ERR_INVALID_REQUEST;
 *  - removing a partition with replicas besides the master:
 *    ERR_MULTIPLE_REPLICAS; with subordinate partitions:
 *    ERR_NOT_LEAF_PARTITION;
 *  - a replica type other than RT_MASTER, RT_SECONDARY, RT_READONLY:
 *    ERR_INVALID_REPLICA_TYPE; a replica already on the server:
 *    ERR_REPLICA_ALREADY_EXISTS; no replica on the server:
 *    ERR_REPLICA_NOT_ON; removing or retyping the master: ERR_CRUCIAL_REPLICA;
 *  - a partition root name too long for MAX_DN_BYTES: ERR_INVALID_OBJECT_NAME;
 *  - a listing handle that is not live for the context, or made on another
 *    store: ERR_INVALID_ITERATION; not even the server and one partition fit
 *    an empty result buffer: ERR_INSUFFICIENT_BUFFER.
 */
#ifndef NWC_PARTITIONS_API_H
#define NWC_PARTITIONS_API_H

#include "nwclient.h"

namespace nwc {

NWDSCCODE add_partition(NWDSContextHandle context, const nstr8 *server,
                        const nstr8 *partitionRoot, nint32 *iterationHandle, nbool8 more,
                        pBuf_T objectInfo);
NWDSCCODE remove_partition(NWDSContextHandle context, const nstr8 *partitionRoot);
NWDSCCODE split_partition(NWDSContextHandle context, const nstr8 *subordinatePartition,
                          nflag32 flags);
NWDSCCODE join_partitions(NWDSContextHandle context, const nstr8 *subordinatePartition,
                          nflag32 flags);
NWDSCCODE abort_partition_operation(NWDSContextHandle context, const nstr8 *partitionRoot);
NWDSCCODE get_partition_root(NWDSContextHandle context, const nstr8 *objectName,
                             pnstr8 partitionRoot);
NWDSCCODE list_partitions(NWDSContextHandle context, nint32 *iterationHandle,
                          const nstr8 *server, pBuf_T partitions);
NWDSCCODE repair_time_stamps(NWDSContextHandle context, const nstr8 *partitionRoot);
NWDSCCODE add_replica(NWDSContextHandle context, const nstr8 *server,
                      const nstr8 *partitionRoot, nuint32 replicaType);
NWDSCCODE remove_replica(NWDSContextHandle context, const nstr8 *server,
                         const nstr8 *partitionRoot);
NWDSCCODE change_replica_type(NWDSContextHandle context, const nstr8 *replicaName,
                              const nstr8 *server, nuint32 newReplicaType);
NWDSCCODE sync_partition(NWDSContextHandle context, const nstr8 *server,
                         const nstr8 *partition, nuint32 seconds);
NWDSCCODE partition_receive_all_updates(NWDSContextHandle context, const nstr8 *partitionRoot,
                                        const nstr8 *serverName);
NWDSCCODE partition_send_all_updates(NWDSContextHandle context, const nstr8 *partitionRoot,
                                     const nstr8 *serverName);
NWDSCCODE reload_ds(NWDSContextHandle context, const nstr8 *serverName);

} // namespace nwc

#endif /* NWC_PARTITIONS_API_H */
