/*
 * connections.h - connections, servers and trees (connections.cpp): the
 * engines of the public connection functions and of the two that tie object
 * ids to connections (NWDSMapIDToName, NWDSResolveName).
 *
 * A connection is a small positive handle (1, 2, ...) to one directory
 * server of the current store: an entry whose Object Class values include
 * "NCP Server" (the seeded one, or any added later).  There is at most one
 * connection per server: opening a server that already has one gives the
 * same handle.  The table of connections, the monitored connection, the
 * lock counts and the preferred tree are kept per process under one mutex,
 * taken after the directory lock (entries.h), never before it.
 *
 * Connections belong to the store they were opened on: when NWCLIENT_STORE
 * names another store (or the store is reopened) the table is emptied and
 * the old handles are unknown.  A handle whose server entry has since been
 * removed (or is no longer a server) is unknown as well.
 *
 * What a connection reports (NWDSGetConnectionInfo, NWDSGetDSVerInfo):
 *  - connection status: kConnStatusConnected, plus kConnStatusAuthenticated
 *    while some context of the process is logged in, plus kConnStatusLocked
 *    while its lock count is above 0;
 *  - connection type kConnTypeDirectory, server flags kServerFlagsDirectory;
 *  - server name: the server's entry name (its RDN value), cut at a
 *    character boundary to NW_MAX_SERVER_NAME_LEN bytes with its terminator
 *    (MAX_SAP_NAME_BYTES for the SAP name of NWDSGetDSVerInfo);
 *  - transport type, length and address: the first "Network Address" value
 *    of the server (address at most MAX_NET_ADDRESS_BYTES bytes; a server
 *    without one reports type 0 and length 0);
 *  - distance 0 (the store is local), maximum packet size kMaxPacketSize;
 *  - DS version kDsVersion; root-most entry depth: the depth of the highest
 *    partition root the server holds a replica of ([Root] is 0), or
 *    0xFFFFFFFF when it holds none; flags 0; the tree name as UTF-16 with its
 *    terminator, at most MAX_TREE_NAME_BYTES units (a name of
 *    MAX_TREE_NAME_CHARS characters outside the basic plane needs 65).
 *
 * Result buffers of NWDSGetServerAddresses / NWDSGetObjectHostServerAddress
 * are read results (DSV_READ) laid out as the published client reads them:
 * NWDSGetAttrCount gives the number of addresses, then NWDSGetAttrVal
 * (SYN_NET_ADDRESS) gives one address per call.  The addresses follow a
 * header "Network Address" (SYN_NET_ADDRESS, the address count) that the
 * value readers step over, so a script that reads NWDSGetAttrName first, as
 * for a read result, finds the same values after it.
 *
 * Status codes chosen where the published documentation leaves one:
 *  - a handle that names no connection: ERR_INVALID_CONN_HANDLE;
 *  - NWDSOpenConnToNDSServer: a name that does not exist ERR_NO_SUCH_ENTRY,
 *    an entry that is not a server ERR_NO_SERVER_FOUND;
 *  - no monitored connection set: ERR_NO_CONNECTION;
 *  - NWDSUnlockConnection on a connection that is not locked:
 *    ERR_INVALID_REQUEST;
 *  - NWDSGetConnectionSlot for an address no server has, NWGetPreferredDSServer
 *    while the preferred tree is not the store's, a partition without a
 *    master replica: ERR_NO_SERVER_FOUND;
 *  - NWDSScanForAvailableTrees past the last tree: ERR_NO_SUCH_ENTRY
 *    (scanIndex starts at -1, all bits set, as the published client has it;
 *    0 is a first call too; after the store's one tree it is 1, and past
 *    it is left as it was);
 *  - NWSetPreferredDSTree with an empty name or one longer than
 *    MAX_TREE_NAME_CHARS characters / MAX_TREE_NAME_BYTES bytes with its
 *    terminator: ERR_INVALID_DS_NAME;
 *  - a result buffer too small: ERR_INSUFFICIENT_BUFFER;
 *  - a name longer than its output area: ERR_INVALID_OBJECT_NAME (DNs),
 *    ERR_INVALID_DS_NAME (tree names);
 *  - NWDSAuthenticate while no context of the process is logged in:
 *    ERR_NOT_LOGGED_IN.
 * Outputs are written only on success.
 */
#ifndef NWC_CONNECTIONS_H
#define NWC_CONNECTIONS_H

#include "nwclient.h"

namespace nwc {

inline constexpr nuint8 kConnStatusConnected = 0x01;
inline constexpr nuint8 kConnStatusAuthenticated = 0x02;
inline constexpr nuint8 kConnStatusLocked = 0x04;
inline constexpr nuint8 kConnTypeDirectory = 0x02;
inline constexpr nuint8 kServerFlagsDirectory = 0x01;
inline constexpr nuint16 kMaxPacketSize = 4096;
inline constexpr nuint32 kDsVersion = 10552;
/* The name type NWGetPreferredConnName gives: a directory tree. */
inline constexpr nuint8 kPreferredNameTree = 8;

/* Forgets every connection, the monitored one, the locks and the preferred
   tree (for tests). */
void forget_connections();

NWDSCCODE authenticate(NWCONN_HANDLE conn, nflag32 optionsFlag, NWDS_Session_Key_T *sessionKey);
NWDSCCODE get_monitored_connection(NWCONN_HANDLE *conn);
NWDSCCODE get_monitored_conn_ref(NWDSContextHandle context, nuint32 *connRef);
NWDSCCODE open_monitored_conn(NWDSContextHandle context, NWCONN_HANDLE *connHandle);
NWDSCCODE set_monitored_connection(NWCONN_HANDLE conn);
NWDSCCODE lock_connection(NWCONN_HANDLE conn);
NWDSCCODE unlock_connection(NWCONN_HANDLE conn);
NWDSCCODE open_conn_to_nds_server(NWDSContextHandle context, const nstr8 *serverName,
                                  NWCONN_HANDLE *connHandle);
NWDSCCODE get_connection_info(NWCONN_HANDLE conn, nuint8 *connStatus, nuint8 *connType,
                              nuint8 *serverFlags, nuint8 *serverName, nuint8 *transType,
                              nuint32 *transLen, nuint8 *transAddr, nuint16 *distance,
                              nuint16 *maxPacketSize);
/* Reads one byte of transBuf (the first) whatever transLen says: a server
   matches when one of its addresses has type transType, length transLen and
   that first byte.  The server's connection is opened when it has none. */
NWDSCCODE get_connection_slot(nuint8 connType, nuint8 transType, nuint32 transLen,
                              nuint8 *transBuf, NWCONN_HANDLE *conn);
NWDSCCODE get_ds_ver_info(NWCONN_HANDLE conn, nuint32 *dsVersion, nuint32 *rootMostEntryDepth,
                          pnstr8 sapName, nuint32 *flags, unicode *treeName);
/* The full typed name of the server's container (MAX_DN_BYTES). */
NWDSCCODE get_bindery_context(NWDSContextHandle context, NWCONN_HANDLE conn,
                              nuint8 *BinderyEmulationContext);
NWCCODE get_num_connections(nuint16 *numConnections);
/* The server's name formatted for the context (MAX_DN_BYTES). */
NWDSCCODE get_server_dn(NWDSContextHandle context, NWCONN_HANDLE conn, pnstr8 serverDN);
NWDSCCODE get_server_addresses(NWDSContextHandle context, NWCONN_HANDLE conn,
                               nuint32 *countNetAddress, pBuf_T netAddresses);
/* The server holding the master replica of the object's partition: its name
   formatted for the context (MAX_DN_BYTES) and its addresses. */
NWDSCCODE get_object_host_server_address(NWDSContextHandle context, const nstr8 *objectName,
                                         pnstr8 serverName, pBuf_T netAddresses);
/* 1 and the tree name (MAX_TREE_NAME_BYTES, when treeName is not null) for a
   connection; 0 for a handle that names none. */
nint32 is_ds_server(NWCONN_HANDLE conn, pnstr8 treeName);
/* The connection to the server holding the master replica of [Root]
   (opened when needed). */
NWCCODE get_preferred_ds_server(NWCONN_HANDLE *conn);
/* The preferred tree (NWSetPreferredDSTree, else the store's tree;
   MAX_TREE_NAME_BYTES) and kPreferredNameTree. */
NWCCODE get_preferred_conn_name(nuint8 *preferredName, nuint8 *preferredType);
NWCCODE set_preferred_ds_tree(nuint16 length, const nuint8 *treeName);
/* The store's tree, written to treeBufPtrs[0] (MAX_TREE_NAME_BYTES) when
   numOfPtrs is at least 1; *numOfTrees = 1. */
NWDSCCODE scan_conns_for_trees(NWDSContextHandle context, nuint32 numOfPtrs, nuint32 *numOfTrees,
                               pnstr8 *treeBufPtrs);
/* scanFilter: null, "" or "*" for every tree, else a pattern with '*' and
   '?' matched without regard to case. */
NWDSCCODE scan_for_available_trees(NWDSContextHandle context, NWCONN_HANDLE connHandle,
                                   const nstr8 *scanFilter, nint32 *scanIndex, pnstr8 treeName);

/* Object ids are the store's entry ids; any connection reaches every entry. */
NWDSCCODE map_id_to_name(NWDSContextHandle context, NWCONN_HANDLE conn, nuint32 objectID,
                         pnstr8 object);
/* The entry's id and the connection (opened when needed) to the server
   holding the master replica of its partition. */
NWDSCCODE resolve_name_to_id(NWDSContextHandle context, const nstr8 *objectName,
                             NWCONN_HANDLE *conn, nuint32 *objectID);

} // namespace nwc

#endif /* NWC_CONNECTIONS_H */
