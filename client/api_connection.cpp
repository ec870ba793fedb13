/*
 * api_connection.cpp - the public login, authentication, password,
 * connection, server and tree functions: one call-layer line each (call.h).
 * Passwords are wrapped in secret() so that a trace never shows them.
 */
#include "backends.h"
#include "call.h"
#include "connections.h"
#include "login.h"

extern "C" {

/* ---- login, authentication, passwords ------------------------------------------ */
NWDSCCODE NWDSLogin(NWDSContextHandle context, nflag32 optionsFlag, const nstr8 *objectName,
                    const nstr8 *password, nuint32 validityPeriod) {
  NWC_CALL(DIRECTORY(login), context, optionsFlag, objectName, secret(password), validityPeriod);
}

NWDSCCODE NWDSLogout(NWDSContextHandle context) { NWC_CALL(DIRECTORY(logout), context); }

NWDSCCODE NWDSAuthenticate(NWCONN_HANDLE conn, nflag32 optionsFlag,
                           NWDS_Session_Key_T *sessionKey) {
  NWC_CALL(authenticate, conn, optionsFlag, opt(sessionKey));
}

NWDSCCODE NWDSCanDSAuthenticate(NWDSContextHandle context) {
  NWC_CALL(can_ds_authenticate, context);
}

nint32 NWIsDSAuthenticated(void) { NWC_CALL(is_ds_authenticated); }

NWDSCCODE NWDSChangeObjectPassword(NWDSContextHandle context, nflag32 optionsFlag,
                                   const nstr8 *objectName, const nstr8 *oldPassword,
                                   const nstr8 *newPassword) {
  NWC_CALL(DIRECTORY(change_object_password), context, optionsFlag, objectName, secret(oldPassword),
           secret(newPassword));
}

NWDSCCODE NWDSVerifyObjectPassword(NWDSContextHandle context, nflag32 optionsFlag,
                                   const nstr8 *objectName, const nstr8 *password) {
  NWC_CALL(DIRECTORY(verify_object_password), context, optionsFlag, objectName, secret(password));
}

NWDSCCODE NWDSGenerateObjectKeyPair(NWDSContextHandle context, const nstr8 *objectName,
                                    const nstr8 *objectPassword, nflag32 optionsFlag) {
  NWC_CALL(DIRECTORY(generate_object_key_pair), context, objectName, secret(objectPassword), optionsFlag);
}

/* ---- connections, servers, trees ------------------------------------------------ */
NWDSCCODE NWDSGetMonitoredConnection(NWCONN_HANDLE *conn) {
  NWC_CALL(get_monitored_connection, out(conn));
}

NWDSCCODE NWDSGetMonitoredConnRef(NWDSContextHandle context, nuint32 *connRef) {
  NWC_CALL(get_monitored_conn_ref, context, out(connRef));
}

NWDSCCODE NWDSOpenMonitoredConn(NWDSContextHandle context, NWCONN_HANDLE *connHandle) {
  NWC_CALL(open_monitored_conn, context, out(connHandle));
}

NWDSCCODE NWDSSetMonitoredConnection(NWCONN_HANDLE conn) {
  NWC_CALL(set_monitored_connection, conn);
}

NWDSCCODE NWDSLockConnection(NWCONN_HANDLE conn) { NWC_CALL(lock_connection, conn); }

NWDSCCODE NWDSUnlockConnection(NWCONN_HANDLE conn) { NWC_CALL(unlock_connection, conn); }

NWDSCCODE NWDSOpenConnToNDSServer(NWDSContextHandle context, const nstr8 *serverName,
                                  NWCONN_HANDLE *connHandle) {
  NWC_CALL(open_conn_to_nds_server, context, serverName, out(connHandle));
}

NWDSCCODE NWDSGetConnectionInfo(NWCONN_HANDLE conn, nuint8 *connStatus, nuint8 *connType,
                                nuint8 *serverFlags, nuint8 *serverName, nuint8 *transType,
                                nuint32 *transLen, nuint8 *transAddr, nuint16 *distance,
                                nuint16 *maxPacketSize) {
  NWC_CALL(get_connection_info, conn, opt(out(connStatus)), opt(out(connType)),
           opt(out(serverFlags)), opt(out(serverName)), opt(out(transType)), opt(out(transLen)),
           opt(out(transAddr)), opt(out(distance)), opt(out(maxPacketSize)));
}

NWDSCCODE NWDSGetConnectionSlot(nuint8 connType, nuint8 transType, nuint32 transLen,
                                nuint8 *transBuf, NWCONN_HANDLE *conn) {
  NWC_CALL(get_connection_slot, connType, transType, transLen, transBuf, out(conn));
}

NWDSCCODE NWDSGetDSVerInfo(NWCONN_HANDLE conn, nuint32 *dsVersion,
                           nuint32 *rootMostEntryDepth, pnstr8 sapName, nuint32 *flags,
                           unicode *treeName) {
  NWC_CALL(get_ds_ver_info, conn, opt(out(dsVersion)), opt(out(rootMostEntryDepth)),
           opt(out(sapName)), opt(out(flags)), opt(out(treeName)));
}

NWDSCCODE NWDSGetBinderyContext(NWDSContextHandle context, NWCONN_HANDLE conn,
                                nuint8 *BinderyEmulationContext) {
  NWC_CALL(get_bindery_context, context, conn, out(BinderyEmulationContext));
}

NWCCODE NWGetNumConnections(nuint16 *numConnections) {
  NWC_CALL(get_num_connections, out(numConnections));
}

NWDSCCODE NWDSGetServerDN(NWDSContextHandle context, NWCONN_HANDLE conn, pnstr8 serverDN) {
  NWC_CALL(get_server_dn, context, conn, out(serverDN));
}

NWDSCCODE NWDSGetServerAddresses(NWDSContextHandle context, NWCONN_HANDLE conn,
                                 nuint32 *countNetAddress, pBuf_T netAddresses) {
  NWC_CALL(get_server_addresses, context, conn, out(countNetAddress), netAddresses);
}

NWDSCCODE NWDSGetObjectHostServerAddress(NWDSContextHandle context, const nstr8 *objectName,
                                         pnstr8 serverName, pBuf_T netAddresses) {
  NWC_CALL(get_object_host_server_address, context, objectName, out(serverName),
           netAddresses);
}

nint32 NWIsDSServer(NWCONN_HANDLE conn, pnstr8 treeName) {
  NWC_CALL(is_ds_server, conn, opt(out(treeName)));
}

NWCCODE NWGetPreferredDSServer(NWCONN_HANDLE *conn) {
  NWC_CALL(get_preferred_ds_server, out(conn));
}

NWCCODE NWGetPreferredConnName(nuint8 *preferredName, nuint8 *preferredType) {
  NWC_CALL(get_preferred_conn_name, out(preferredName), out(preferredType));
}

NWDSCCODE NWDSScanConnsForTrees(NWDSContextHandle context, nuint32 numOfPtrs,
                                nuint32 *numOfTrees, pnstr8 *treeBufPtrs) {
  NWC_CALL(scan_conns_for_trees, context, numOfPtrs, out(numOfTrees), treeBufPtrs);
}

NWDSCCODE NWDSScanForAvailableTrees(NWDSContextHandle context, NWCONN_HANDLE connHandle,
                                    const nstr8 *scanFilter, nint32 *scanIndex,
                                    pnstr8 treeName) {
  NWC_CALL(scan_for_available_trees, context, connHandle, opt(scanFilter), io(scanIndex),
           out(treeName));
}

NWCCODE NWSetPreferredDSTree(nuint16 length, const nuint8 *treeName) {
  NWC_CALL(set_preferred_ds_tree, length, textn(treeName, length));
}

} /* extern "C" */
