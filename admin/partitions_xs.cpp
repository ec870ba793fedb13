// partitions_xs.cpp - partitions and replicas: create, split, join, remove,
// list and synchronise partitions, add, remove and retype replicas, and
// reload the directory service.
#include "frame/registry.h"

namespace vorla {
namespace {

using B = BufClass;

constexpr std::size_t kPartitionRootArea = 514;
static_assert(kPartitionRootArea >= MAX_DN_BYTES);

const SubEntry kSubs[] = {
    bind<"NWDSAddPartition", Form::Value, NWDSAddPartition, Int<"context">, Str<"server">, Str<"partitionRoot">,
         Iter<"iterationHandle">, U8<"more">, Handle<"objectInfo", B>>(),
    bind<"NWDSRemovePartition", Form::Status, NWDSRemovePartition, Int<"context">, Str<"partitionRoot">>(),
    bind<"NWDSSplitPartition", Form::Status, NWDSSplitPartition, Int<"context">, Str<"subordinatePartition">,
         Int<"flags">>(),
    bind<"NWDSJoinPartitions", Form::Status, NWDSJoinPartitions, Int<"context">, Str<"subordinatePartition">,
         Int<"flags">>(),
    bind<"NWDSAbortPartitionOperation", Form::Status, NWDSAbortPartitionOperation, Int<"context">,
         Str<"partitionRoot">>(),
    // The third argument is counted and never read.
    bind<"NWDSGetPartitionRoot", Form::Value, NWDSGetPartitionRoot, Int<"context">, Str<"objectName">,
         Unused<"partitionRoot">, OutText<kPartitionRootArea>>(),
    bind<"NWDSListPartitions", Form::Status, NWDSListPartitions, Int<"context">, InOutInt<"iterationHandle">,
         Str<"server">, HandleReset<"partitions", B>>(),
    bind<"NWDSRepairTimeStamps", Form::Status, NWDSRepairTimeStamps, Int<"context">, Str<"partitionRoot">>(),
    bind<"NWDSAddReplica", Form::Status, NWDSAddReplica, Int<"context">, Str<"server">, Str<"partitionRoot">,
         Int<"replicaType">>(),
    bind<"NWDSRemoveReplica", Form::Status, NWDSRemoveReplica, Int<"context">, Str<"server">,
         Str<"partitionRoot">>(),
    bind<"NWDSChangeReplicaType", Form::Status, NWDSChangeReplicaType, Int<"context">, Str<"replicaName">,
         Str<"server">, Int<"newReplicaType">>(),
    bind<"NWDSSyncPartition", Form::Status, NWDSSyncPartition, Int<"context">, Str<"server">, Str<"partition">,
         Int<"seconds">>(),
    bind<"NWDSPartitionReceiveAllUpdates", Form::Status, NWDSPartitionReceiveAllUpdates, Int<"context">,
         Str<"partitionRoot">, Str<"serverName">>(),
    bind<"NWDSPartitionSendAllUpdates", Form::Status, NWDSPartitionSendAllUpdates, Int<"context">,
         Str<"partitionRoot">, Str<"serverName">>(),
    bind<"NWDSReloadDS", Form::Status, NWDSReloadDS, Int<"context">, Str<"serverName">>(),
};

}  // namespace

const Family kPartitionSubs = family(kSubs);

}  // namespace vorla
