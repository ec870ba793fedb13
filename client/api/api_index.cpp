/*
 * api_index.cpp - the list of the public functions, in header order.
 *
 * Naming every function here links every api_*.cpp into any program that
 * asks for the list, and lets the list be read off the functions themselves:
 * each is called once in probe mode (call.h), where it reports its call site
 * (name, argument text, whether it is built) and does nothing else.
 */
#include "call.h"

namespace nwc {

namespace {

using Probe = const Site *(*)();
struct IndexEntry {
  const char *name;
  Probe probe;
};

#define FN(f) {#f, [] { return probe_function(&::f); }}
const IndexEntry kFunctions[] = {
    FN(NWDSCreateContext),
    FN(NWDSCreateContextHandle),
    FN(NWDSDuplicateContext),
    FN(NWDSDuplicateContextHandle),
    FN(NWDSFreeContext),
    FN(NWDSGetContext),
    FN(NWDSSetContext),
    FN(NWDSGetDefNameContext),
    FN(NWDSSetDefNameContext),
    FN(NWGetDefaultNameContext),
    FN(NWSetDefaultNameContext),
    FN(NWCallsInit),
    FN(NWCallsTerm),
    FN(NWLlocaleconv),
    FN(NWInitUnicodeTables),
    FN(NWFreeUnicodeTables),
    FN(NWGetNWNetVersion),
    FN(NWNetInit),
    FN(NWNetTerm),
    FN(NWGetUnicodeToLocalHandle),
    FN(NWUnicodeToLocal),
    FN(NWDSAllocBuf),
    FN(NWDSInitBuf),
    FN(NWDSFreeBuf),
    FN(NWDSPutAttrName),
    FN(NWDSPutChange),
    FN(NWDSBeginClassItem),
    FN(NWDSPutClassItem),
    FN(NWDSPutAttrVal),
    FN(NWDSComputeAttrValSize),
    FN(NWDSGetAttrVal),
    FN(NWDSGetObjectCount),
    FN(NWDSGetObjectName),
    FN(NWDSGetAttrCount),
    FN(NWDSGetAttrName),
    FN(NWDSGetClassDefCount),
    FN(NWDSGetClassDef),
    FN(NWDSGetClassItemCount),
    FN(NWDSGetClassItem),
    FN(NWDSGetSyntaxCount),
    FN(NWDSGetPartitionInfo),
    FN(NWDSGetServerName),
    FN(NWDSRead),
    FN(NWDSReadObjectInfo),
    FN(NWDSReadReferences),
    FN(NWDSSearch),
    FN(NWDSCompare),
    FN(NWDSInspectEntry),
    FN(NWDSList),
    FN(NWDSListByClassAndName),
    FN(NWDSListContainableClasses),
    FN(NWDSListContainers),
    FN(NWDSGetCountByClassAndName),
    FN(NWDSCloseIteration),
    FN(NWDSAddObject),
    FN(NWDSModifyObject),
    FN(NWDSModifyDN),
    FN(NWDSModifyRDN),
    FN(NWDSMoveObject),
    FN(NWDSRemoveObject),
    FN(NWDSBackupObject),
    FN(NWDSRestoreObject),
    FN(NWDSAddSecurityEquiv),
    FN(NWDSRemSecurityEquiv),
    FN(NWDSGetEffectiveRights),
    FN(NWDSListAttrsEffectiveRights),
    FN(NWDSOpenStream),
    FN(NWDSAbbreviateName),
    FN(NWDSCanonicalizeName),
    FN(NWDSRemoveAllTypes),
    FN(NWDSReplaceAttrNameAbbrev),
    FN(NWDSWhoAmI),
    FN(NWDSGetSyntaxID),
    FN(NWDSCIStringsMatch),
    FN(NWDSMapIDToName),
    FN(NWDSResolveName),
    FN(NWDSLogin),
    FN(NWDSLogout),
    FN(NWDSAuthenticate),
    FN(NWDSCanDSAuthenticate),
    FN(NWIsDSAuthenticated),
    FN(NWDSChangeObjectPassword),
    FN(NWDSVerifyObjectPassword),
    FN(NWDSGenerateObjectKeyPair),
    FN(NWDSGetMonitoredConnection),
    FN(NWDSGetMonitoredConnRef),
    FN(NWDSOpenMonitoredConn),
    FN(NWDSSetMonitoredConnection),
    FN(NWDSLockConnection),
    FN(NWDSUnlockConnection),
    FN(NWDSOpenConnToNDSServer),
    FN(NWDSGetConnectionInfo),
    FN(NWDSGetConnectionSlot),
    FN(NWDSGetDSVerInfo),
    FN(NWDSGetBinderyContext),
    FN(NWGetNumConnections),
    FN(NWDSGetServerDN),
    FN(NWDSGetServerAddresses),
    FN(NWDSGetObjectHostServerAddress),
    FN(NWIsDSServer),
    FN(NWGetPreferredDSServer),
    FN(NWGetPreferredConnName),
    FN(NWDSScanConnsForTrees),
    FN(NWDSScanForAvailableTrees),
    FN(NWSetPreferredDSTree),
    FN(NWDSAddPartition),
    FN(NWDSRemovePartition),
    FN(NWDSSplitPartition),
    FN(NWDSJoinPartitions),
    FN(NWDSAbortPartitionOperation),
    FN(NWDSGetPartitionRoot),
    FN(NWDSListPartitions),
    FN(NWDSRepairTimeStamps),
    FN(NWDSAddReplica),
    FN(NWDSRemoveReplica),
    FN(NWDSChangeReplicaType),
    FN(NWDSSyncPartition),
    FN(NWDSPartitionReceiveAllUpdates),
    FN(NWDSPartitionSendAllUpdates),
    FN(NWDSReloadDS),
    FN(NWDSReadAttrDef),
    FN(NWDSReadClassDef),
    FN(NWDSReadSyntaxes),
    FN(NWDSReadSyntaxDef),
    FN(NWDSModifyClassDef),
    FN(NWDSRemoveAttrDef),
    FN(NWDSRemoveClassDef),
    FN(NWDSSyncSchema),
};
#undef FN

} // namespace

const std::vector<FunctionInfo> &function_list() {
  static const std::vector<FunctionInfo> list = [] {
    std::vector<FunctionInfo> v;
    for (const IndexEntry &e : kFunctions) {
      const Site *s = e.probe();
      v.push_back(s != nullptr ? FunctionInfo{s->name, s->params, s->build}
                               : FunctionInfo{e.name, "", Build::todo});
    }
    return v;
  }();
  return list;
}

} // namespace nwc
