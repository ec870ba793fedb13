// Partitions and replicas through the public functions: splitting, joining,
// adding and removing partitions, adding, removing and retyping replicas (one
// master per ring), listing a server's partitions part by part, the partition
// root of an object, and the synchronisation and repair calls, each with the
// codes it gives for names that are missing, not partition roots or not
// servers.  Every test works in its own organization, which it splits off the
// top partition and joins back at the end.
#include <gtest/gtest.h>
#include <string>
#include <utility>
#include <vector>

#include "client_dir.h"

namespace {

using client_dir::ClientDir;
using Ring = std::vector<std::pair<std::string, nuint32>>; // partition root, replica type

class ClientPartitions : public ClientDir {
protected:
  void SetUp() override {
    ClientDir::SetUp();
    if (HasFatalFailure()) return;
    ASSERT_EQ(Add("CN=SRV1", {{"Object Class", SYN_CLASS_NAME, {"NCP Server"}}}), 0);
    ASSERT_EQ(Add("CN=SRV2", {{"Object Class", SYN_CLASS_NAME, {"NCP Server"}}}), 0);
    ASSERT_EQ(Add("OU=Sales", {{"Object Class", SYN_CLASS_NAME, {"Organizational Unit"}}}), 0);
    ASSERT_EQ(Add("OU=Inner.OU=Sales", {{"Object Class", SYN_CLASS_NAME, {"Organizational Unit"}}}), 0);
    ASSERT_EQ(AddUser("CN=U.OU=Inner.OU=Sales"), 0);
    ASSERT_EQ(AddUser("CN=Leaf"), 0);
    org_dn = "O=" + org;
    me = org_dn + "."; // the context's own entry, as names are formatted for it
  }
  void TearDown() override {
    // Whatever a test left split is joined back, innermost first.
    for (const char *p : {"OU=Inner.OU=Sales", "OU=Sales", "OU=A", "OU=B", "OU=C", ""}) {
      std::string n = *p ? std::string(p) + "." + org_dn : org_dn;
      (void)NWDSJoinPartitions(ctx, ("." + n).c_str(), 0);
    }
    ClientDir::TearDown();
  }
  std::string Root(const std::string &object) {
    char out[MAX_DN_BYTES];
    NWDSCCODE st = NWDSGetPartitionRoot(ctx, object.c_str(), out);
    return st == 0 ? std::string(out) : "status " + std::to_string(st);
  }
  // Every partition the server holds, over all parts of a listing with a
  // result buffer of `size` bytes.
  Ring List(const std::string &server, size_t size = DEFAULT_MESSAGE_LEN, int *parts = nullptr,
            NWDSCCODE *status = nullptr) {
    Ring r;
    pBuf_T out = Buf(nwc::NO_VERB, size);
    nint32 it = NO_MORE_ITERATIONS;
    int n = 0;
    do {
      NWDSCCODE st = NWDSListPartitions(ctx, &it, server.c_str(), out);
      if (status != nullptr) *status = st;
      if (st != 0) break;
      ++n;
      char name[MAX_DN_BYTES];
      nuint32 count = 0;
      EXPECT_EQ(NWDSGetServerName(ctx, out, name, &count), 0);
      EXPECT_EQ(std::string(name), server) << "each part opens with the server";
      for (nuint32 i = 0; i < count; ++i) {
        nuint32 type = 99;
        EXPECT_EQ(NWDSGetPartitionInfo(ctx, out, name, &type), 0);
        r.emplace_back(name, type);
      }
      nuint32 type;
      EXPECT_NE(NWDSGetPartitionInfo(ctx, out, name, &type), 0) << "no more than the count";
    } while (it != NO_MORE_ITERATIONS && n < 100);
    if (parts != nullptr) *parts = n;
    return r;
  }
  // The replica type the server holds of `partition` (99: none).
  nuint32 TypeOn(const std::string &server, const std::string &partition) {
    for (const auto &[p, t] : List(server))
      if (p == partition) return t;
    return 99;
  }
  std::string org_dn, me;
};

TEST_F(ClientPartitions, SplitCopiesTheParentRingAndJoinMergesBack) {
  EXPECT_EQ(Root("CN=U.OU=Inner.OU=Sales"), "[Root]");
  ASSERT_EQ(NWDSSplitPartition(ctx, ("." + org_dn).c_str(), 0), 0);
  EXPECT_EQ(Root("CN=U.OU=Inner.OU=Sales"), me);
  EXPECT_EQ(Root("CN=Leaf"), me);
  ASSERT_EQ(NWDSAddReplica(ctx, "CN=SRV1", ("." + org_dn).c_str(), RT_SECONDARY), 0);
  ASSERT_EQ(NWDSAddReplica(ctx, "CN=SRV2", ("." + org_dn).c_str(), RT_READONLY), 0);

  ASSERT_EQ(NWDSSplitPartition(ctx, "OU=Sales", 0), 0);
  EXPECT_EQ(Root("CN=U.OU=Inner.OU=Sales"), "OU=Sales");
  EXPECT_EQ(Root("OU=Sales"), "OU=Sales") << "a root is in its own partition";
  EXPECT_EQ(Root("CN=Leaf"), me);
  EXPECT_EQ(List("CN=SRV1"), (Ring{{me, RT_SECONDARY}, {"OU=Sales", RT_SECONDARY}}));
  EXPECT_EQ(List("CN=SRV2"), (Ring{{me, RT_READONLY}, {"OU=Sales", RT_READONLY}}));
  // The copied ring keeps its master: the master cannot be removed from it.
  EXPECT_EQ(NWDSChangeReplicaType(ctx, "OU=Sales", "CN=SRV1", RT_MASTER), 0);
  EXPECT_EQ(TypeOn("CN=SRV1", me), RT_SECONDARY) << "the parent ring is its own";

  EXPECT_EQ(NWDSSplitPartition(ctx, "OU=Sales", 0), ERR_PARTITION_ALREADY_EXISTS);
  EXPECT_EQ(NWDSSplitPartition(ctx, "CN=Leaf", 0), ERR_ENTRY_NOT_CONTAINER);
  EXPECT_EQ(NWDSSplitPartition(ctx, "OU=Missing", 0), ERR_NO_SUCH_ENTRY);
  EXPECT_EQ(NWDSJoinPartitions(ctx, "OU=Inner.OU=Sales", 0), ERR_NOT_ROOT_PARTITION);
  EXPECT_EQ(NWDSJoinPartitions(ctx, "OU=Missing", 0), ERR_NO_SUCH_ENTRY);
  EXPECT_EQ(NWDSJoinPartitions(ctx, "[Root]", 0), ERR_INVALID_REQUEST);

  ASSERT_EQ(NWDSJoinPartitions(ctx, "OU=Sales", 0), 0);
  EXPECT_EQ(Root("CN=U.OU=Inner.OU=Sales"), me);
  EXPECT_EQ(List("CN=SRV1"), (Ring{{me, RT_SECONDARY}}));
  EXPECT_EQ(NWDSJoinPartitions(ctx, "OU=Sales", 0), ERR_NOT_ROOT_PARTITION) << "joined once";
  ASSERT_EQ(NWDSJoinPartitions(ctx, ("." + org_dn).c_str(), 0), 0);
  EXPECT_EQ(Root("CN=Leaf"), "[Root]");
  EXPECT_EQ(List("CN=SRV1"), Ring{});
}

TEST_F(ClientPartitions, ReplicaRingsKeepOneMaster) {
  const std::string p = "." + org_dn;
  ASSERT_EQ(NWDSSplitPartition(ctx, p.c_str(), 0), 0);
  ASSERT_EQ(NWDSAddReplica(ctx, "CN=SRV1", p.c_str(), RT_SECONDARY), 0);
  EXPECT_EQ(NWDSAddReplica(ctx, "CN=SRV1", p.c_str(), RT_READONLY), ERR_REPLICA_ALREADY_EXISTS);
  EXPECT_EQ(NWDSAddReplica(ctx, "CN=SRV2", p.c_str(), 3), ERR_INVALID_REPLICA_TYPE);
  EXPECT_EQ(NWDSAddReplica(ctx, "CN=Leaf", p.c_str(), RT_SECONDARY), ERR_NO_SERVER_FOUND);
  EXPECT_EQ(NWDSAddReplica(ctx, "CN=Nobody", p.c_str(), RT_SECONDARY), ERR_NO_SUCH_ENTRY);
  EXPECT_EQ(NWDSAddReplica(ctx, "CN=SRV2", "OU=Sales", RT_SECONDARY), ERR_NOT_ROOT_PARTITION);
  EXPECT_EQ(List("CN=SRV2"), Ring{}) << "failed adds change nothing";

  // A new master demotes the old one; the master can be neither removed
  // nor turned into another type.
  ASSERT_EQ(NWDSChangeReplicaType(ctx, p.c_str(), "CN=SRV1", RT_MASTER), 0);
  EXPECT_EQ(TypeOn("CN=SRV1", me), RT_MASTER);
  EXPECT_EQ(NWDSRemoveReplica(ctx, "CN=SRV1", p.c_str()), ERR_CRUCIAL_REPLICA);
  EXPECT_EQ(NWDSChangeReplicaType(ctx, p.c_str(), "CN=SRV1", RT_READONLY), ERR_CRUCIAL_REPLICA);
  EXPECT_EQ(NWDSChangeReplicaType(ctx, p.c_str(), "CN=SRV2", RT_READONLY), ERR_REPLICA_NOT_ON);
  EXPECT_EQ(NWDSChangeReplicaType(ctx, p.c_str(), "CN=SRV1", 7), ERR_INVALID_REPLICA_TYPE);

  // Adding a master is adding a replica and naming it the master.
  ASSERT_EQ(NWDSAddReplica(ctx, "CN=SRV2", p.c_str(), RT_MASTER), 0);
  EXPECT_EQ(TypeOn("CN=SRV2", me), RT_MASTER);
  EXPECT_EQ(TypeOn("CN=SRV1", me), RT_SECONDARY);
  ASSERT_EQ(NWDSChangeReplicaType(ctx, p.c_str(), "CN=SRV1", RT_READONLY), 0);
  EXPECT_EQ(TypeOn("CN=SRV1", me), RT_READONLY);

  ASSERT_EQ(NWDSRemoveReplica(ctx, "CN=SRV1", p.c_str()), 0);
  EXPECT_EQ(List("CN=SRV1"), Ring{});
  EXPECT_EQ(NWDSRemoveReplica(ctx, "CN=SRV1", p.c_str()), ERR_REPLICA_NOT_ON);
  EXPECT_EQ(NWDSRemoveReplica(ctx, "CN=Leaf", p.c_str()), ERR_NO_SERVER_FOUND);
  EXPECT_EQ(NWDSRemoveReplica(ctx, "CN=SRV2", "CN=Leaf"), ERR_NOT_ROOT_PARTITION);
  EXPECT_EQ(TypeOn("CN=SRV2", me), RT_MASTER);
}

TEST_F(ClientPartitions, ListingIsContinuedThroughTheIterationHandle) {
  for (const char *ou : {"OU=A", "OU=B", "OU=C"})
    ASSERT_EQ(Add(ou, {{"Object Class", SYN_CLASS_NAME, {"Organizational Unit"}}}), 0);
  const std::string p = "." + org_dn;
  ASSERT_EQ(NWDSSplitPartition(ctx, p.c_str(), 0), 0);
  ASSERT_EQ(NWDSAddReplica(ctx, "CN=SRV1", p.c_str(), RT_READONLY), 0);
  for (const char *ou : {"OU=A", "OU=B", "OU=C"}) ASSERT_EQ(NWDSSplitPartition(ctx, ou, 0), 0);
  const Ring all{{me, RT_READONLY}, {"OU=A", RT_READONLY}, {"OU=B", RT_READONLY},
                 {"OU=C", RT_READONLY}};
  int parts = 0;
  EXPECT_EQ(List("CN=SRV1", DEFAULT_MESSAGE_LEN, &parts), all);
  EXPECT_EQ(parts, 1);
  // A budget for the server and about one partition: every partition once,
  // over several parts.
  EXPECT_EQ(List("CN=SRV1", 120, &parts), all);
  EXPECT_GE(parts, 2);

  // An unfinished listing is closed with its verb; the handle is then dead.
  pBuf_T out = Buf(nwc::NO_VERB, 120);
  nint32 it = NO_MORE_ITERATIONS;
  ASSERT_EQ(NWDSListPartitions(ctx, &it, "CN=SRV1", out), 0);
  ASSERT_NE(it, NO_MORE_ITERATIONS);
  EXPECT_EQ(NWDSCloseIteration(ctx, it, DSV_LIST), ERR_INVALID_ITERATION);
  EXPECT_EQ(NWDSCloseIteration(ctx, it, DSV_LIST_PARTITIONS), 0);
  EXPECT_EQ(NWDSListPartitions(ctx, &it, "CN=SRV1", out), ERR_INVALID_ITERATION);

  NWDSCCODE st = 0;
  List("CN=SRV1", 24, nullptr, &st);
  EXPECT_EQ(st, ERR_INSUFFICIENT_BUFFER);
  List("CN=Missing", DEFAULT_MESSAGE_LEN, nullptr, &st);
  EXPECT_EQ(st, ERR_NO_SUCH_ENTRY);
  List("CN=Leaf", DEFAULT_MESSAGE_LEN, nullptr, &st);
  EXPECT_EQ(st, ERR_NO_SERVER_FOUND);
  EXPECT_EQ(List("CN=SRV2"), Ring{}) << "a server without replicas lists none";
}

TEST_F(ClientPartitions, RemovePartitionMergesALeafPartitionHeldByItsMasterAlone) {
  const std::string p = "." + org_dn;
  ASSERT_EQ(NWDSSplitPartition(ctx, p.c_str(), 0), 0);
  ASSERT_EQ(NWDSAddReplica(ctx, "CN=SRV1", p.c_str(), RT_SECONDARY), 0);
  ASSERT_EQ(NWDSSplitPartition(ctx, "OU=Sales", 0), 0);
  ASSERT_EQ(NWDSSplitPartition(ctx, "OU=Inner.OU=Sales", 0), 0);
  EXPECT_EQ(NWDSRemovePartition(ctx, "OU=Sales"), ERR_MULTIPLE_REPLICAS);
  ASSERT_EQ(NWDSRemoveReplica(ctx, "CN=SRV1", "OU=Sales"), 0);
  EXPECT_EQ(NWDSRemovePartition(ctx, "OU=Sales"), ERR_NOT_LEAF_PARTITION);
  EXPECT_EQ(Root("CN=U.OU=Inner.OU=Sales"), "OU=Inner.OU=Sales") << "nothing changed";
  EXPECT_EQ(NWDSRemovePartition(ctx, "CN=Leaf"), ERR_NOT_ROOT_PARTITION);
  EXPECT_EQ(NWDSRemovePartition(ctx, "OU=Missing"), ERR_NO_SUCH_ENTRY);
  EXPECT_EQ(NWDSRemovePartition(ctx, "[Root]"), ERR_INVALID_REQUEST);

  ASSERT_EQ(NWDSRemoveReplica(ctx, "CN=SRV1", "OU=Inner.OU=Sales"), 0);
  ASSERT_EQ(NWDSRemovePartition(ctx, "OU=Inner.OU=Sales"), 0);
  EXPECT_EQ(Root("CN=U.OU=Inner.OU=Sales"), "OU=Sales") << "its entries stay, in the parent";
  ASSERT_EQ(NWDSRemovePartition(ctx, "OU=Sales"), 0);
  EXPECT_EQ(Root("CN=U.OU=Inner.OU=Sales"), me);
  EXPECT_EQ(List("CN=SRV1"), (Ring{{me, RT_SECONDARY}}));
}

TEST_F(ClientPartitions, AddPartitionMakesAContainerARootMasteredOnTheServer) {
  pBuf_T info = Buf(DSV_ADD_ENTRY);
  nint32 it = 5;
  ASSERT_EQ(NWDSAddPartition(ctx, "CN=SRV2", "OU=Sales", &it, 0, info), 0);
  EXPECT_EQ(it, NO_MORE_ITERATIONS);
  EXPECT_EQ(Root("CN=U.OU=Inner.OU=Sales"), "OU=Sales");
  EXPECT_EQ(List("CN=SRV2"), (Ring{{"OU=Sales", RT_MASTER}}));
  EXPECT_EQ(NWDSRemoveReplica(ctx, "CN=SRV2", "OU=Sales"), ERR_CRUCIAL_REPLICA);
  EXPECT_EQ(NWDSSyncPartition(ctx, "CN=SRV1", "OU=Sales", 0), ERR_REPLICA_NOT_ON)
      << "the ring is the master alone";

  it = 5;
  EXPECT_EQ(NWDSAddPartition(ctx, "CN=SRV1", "OU=Sales", &it, 0, info), ERR_PARTITION_ALREADY_EXISTS);
  EXPECT_EQ(it, 5) << "left alone on failure";
  EXPECT_EQ(NWDSAddPartition(ctx, "CN=SRV1", "CN=Leaf", nullptr, 0, info), ERR_ENTRY_NOT_CONTAINER);
  EXPECT_EQ(NWDSAddPartition(ctx, "CN=Leaf", "OU=Inner.OU=Sales", nullptr, 0, info), ERR_NO_SERVER_FOUND);
  EXPECT_EQ(NWDSAddPartition(ctx, "CN=SRV1", "OU=Missing", nullptr, 0, info), ERR_NO_SUCH_ENTRY);
  EXPECT_EQ(List("CN=SRV1"), Ring{});
  ASSERT_EQ(NWDSRemovePartition(ctx, "OU=Sales"), 0);
  EXPECT_EQ(List("CN=SRV2"), Ring{});
}

TEST_F(ClientPartitions, SynchronisationAndRepairNeedExistingPartitionsAndServers) {
  const std::string p = "." + org_dn;
  ASSERT_EQ(NWDSSplitPartition(ctx, p.c_str(), 0), 0);
  ASSERT_EQ(NWDSAddReplica(ctx, "CN=SRV1", p.c_str(), RT_SECONDARY), 0);

  EXPECT_EQ(NWDSSyncPartition(ctx, "CN=SRV1", p.c_str(), 10), 0);
  EXPECT_EQ(NWDSPartitionReceiveAllUpdates(ctx, p.c_str(), "CN=SRV1"), 0);
  EXPECT_EQ(NWDSPartitionSendAllUpdates(ctx, p.c_str(), "CN=SRV1"), 0);
  EXPECT_EQ(NWDSRepairTimeStamps(ctx, p.c_str()), 0);
  EXPECT_EQ(NWDSReloadDS(ctx, "CN=SRV2"), 0);

  EXPECT_EQ(NWDSSyncPartition(ctx, "CN=SRV2", p.c_str(), 0), ERR_REPLICA_NOT_ON);
  EXPECT_EQ(NWDSPartitionReceiveAllUpdates(ctx, p.c_str(), "CN=SRV2"), ERR_REPLICA_NOT_ON);
  EXPECT_EQ(NWDSPartitionSendAllUpdates(ctx, p.c_str(), "CN=SRV2"), ERR_REPLICA_NOT_ON);
  EXPECT_EQ(NWDSSyncPartition(ctx, "CN=SRV1", "OU=Sales", 0), ERR_NOT_ROOT_PARTITION);
  EXPECT_EQ(NWDSPartitionSendAllUpdates(ctx, "OU=Missing", "CN=SRV1"), ERR_NO_SUCH_ENTRY);
  EXPECT_EQ(NWDSPartitionReceiveAllUpdates(ctx, p.c_str(), "CN=Leaf"), ERR_NO_SERVER_FOUND);
  EXPECT_EQ(NWDSRepairTimeStamps(ctx, "OU=Sales"), ERR_NOT_ROOT_PARTITION);
  EXPECT_EQ(NWDSRepairTimeStamps(ctx, "OU=Missing"), ERR_NO_SUCH_ENTRY);
  EXPECT_EQ(NWDSReloadDS(ctx, "CN=Leaf"), ERR_NO_SERVER_FOUND);
  EXPECT_EQ(NWDSReloadDS(ctx, "CN=Missing"), ERR_NO_SUCH_ENTRY);

  // Nothing is ever in progress to abort.
  EXPECT_EQ(NWDSAbortPartitionOperation(ctx, p.c_str()), ERR_CANNOT_ABORT);
  EXPECT_EQ(NWDSAbortPartitionOperation(ctx, "OU=Sales"), ERR_NOT_ROOT_PARTITION);
  EXPECT_EQ(NWDSAbortPartitionOperation(ctx, "OU=Missing"), ERR_NO_SUCH_ENTRY);

  EXPECT_EQ(Root("CN=Nobody"), "status " + std::to_string(ERR_NO_SUCH_ENTRY));
  EXPECT_EQ(NWDSGetPartitionRoot(ctx, "CN=Leaf", nullptr), ERR_NULL_POINTER);
}

} // namespace
