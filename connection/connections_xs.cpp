// connections_xs.cpp - connections, servers and trees: open, monitor, lock
// and inspect connections, find servers, their names, addresses and
// versions, and scan for and choose directory trees.
//
// NWDSGetDSVerInfo is written out by hand: it makes up to three client calls
// (the version record, the Unicode-to-local handle, the tree name's
// conversion) and leaves the status of the last one made in the last status.
#include <cstring>

#include "frame/registry.h"

namespace vorla {
namespace {

using B = BufClass;

constexpr std::size_t kSapNameArea = MAX_SAP_NAME_BYTES;          // 47
constexpr std::size_t kTreeUnicodeUnits = MAX_TREE_NAME_BYTES;    // 66 units, 132 bytes
constexpr std::size_t kTreeLocalArea = MAX_TREE_NAME_BYTES;       // 66

using VerInfoSig = Signature<"NWDSGetDSVerInfo", Int<"conn">>;
XS_INTERNAL(xs_NWDSGetDSVerInfo) {
  dXSARGS;
  PERL_UNUSED_VAR(cv);
  VerInfoSig::check(aTHX_ items);
  SP -= items;
  const auto conn = static_cast<NWCONN_HANDLE>(to_i32(aTHX_ ST(0)));
  char server[kSapNameArea] = {};
  unicode tree[kTreeUnicodeUnits] = {};
  char local[kTreeLocalArea] = {};
  nuint32 version = 0, depth = 0, flags = 0, len = 0;
  void* handle = nullptr;

  last_status = NWDSGetDSVerInfo(conn, &version, &depth, server, &flags, tree);
  if (last_status == 0) last_status = NWGetUnicodeToLocalHandle(&handle);
  if (last_status == 0)
    last_status = NWUnicodeToLocal(handle, reinterpret_cast<nuint8*>(local), kTreeLocalArea, tree, 0, &len);
  if (last_status != 0) {
    XPUSHs(&PL_sv_undef);
    PUTBACK;
    return;
  }
  server[sizeof server - 1] = 0;
  local[sizeof local - 1] = 0;
  EXTEND(SP, 5);
  mPUSHi(static_cast<IV>(static_cast<int32_t>(version)));
  mPUSHi(static_cast<IV>(static_cast<int32_t>(depth)));
  mPUSHs(newSVpv(server, 0));
  mPUSHi(static_cast<IV>(static_cast<int32_t>(flags)));
  mPUSHs(newSVpv(local, 0));
  PUTBACK;
}

// NWDSGetConnectionInfo is written out by hand too: of its nine values the
// fourth is the server's name as text and the seventh the transport address
// as upper-case hexadecimal text, two digits per byte of the transport
// length (empty when there is none).
using ConnInfoSig = Signature<"NWDSGetConnectionInfo", Int<"conn">>;
XS_INTERNAL(xs_NWDSGetConnectionInfo) {
  dXSARGS;
  PERL_UNUSED_VAR(cv);
  ConnInfoSig::check(aTHX_ items);
  SP -= items;
  const auto conn = static_cast<NWCONN_HANDLE>(to_i32(aTHX_ ST(0)));
  nuint8 status = 0, type = 0, flags = 0, trans_type = 0;
  nuint8 server[NW_MAX_SERVER_NAME_LEN + 1] = {};
  nuint8 addr[MAX_NET_ADDRESS_BYTES] = {};
  nuint32 trans_len = 0;
  nuint16 distance = 0, packet = 0;
  last_status = NWDSGetConnectionInfo(conn, &status, &type, &flags, server, &trans_type, &trans_len, addr,
                                      &distance, &packet);
  if (last_status != 0) {
    XPUSHs(&PL_sv_undef);
    PUTBACK;
    return;
  }
  server[sizeof server - 1] = 0;
  static const char kDigits[] = "0123456789ABCDEF";
  char hex[2 * MAX_NET_ADDRESS_BYTES + 1] = {};
  const nuint32 n = trans_len < MAX_NET_ADDRESS_BYTES ? trans_len : MAX_NET_ADDRESS_BYTES;
  for (nuint32 i = 0; i < n; ++i) {
    hex[2 * i] = kDigits[addr[i] >> 4];
    hex[2 * i + 1] = kDigits[addr[i] & 15];
  }
  EXTEND(SP, 9);
  mPUSHi(static_cast<IV>(status));
  mPUSHi(static_cast<IV>(type));
  mPUSHi(static_cast<IV>(flags));
  mPUSHs(newSVpv(reinterpret_cast<const char*>(server), 0));
  mPUSHi(static_cast<IV>(trans_type));
  mPUSHi(static_cast<IV>(static_cast<int32_t>(trans_len)));
  mPUSHs(newSVpvn(hex, 2 * n));
  mPUSHi(static_cast<IV>(distance));
  mPUSHi(static_cast<IV>(packet));
  PUTBACK;
}

// The transport buffer is one byte: the client is never told of more.
auto connection_slot = [](nuint8 connType, nuint8 transType, int32_t transLen, nuint8* transBuf,
                          NWCONN_HANDLE* conn) {
  const nuint32 len = transLen > 1 ? 1u : static_cast<nuint32>(transLen < 0 ? 0 : transLen);
  return NWDSGetConnectionSlot(connType, transType, len, transBuf, conn);
};

// The length passed is the tree text's own byte length; the script's is not read.
auto preferred_tree = [](const char* tree) {
  return NWSetPreferredDSTree(static_cast<nuint16>(std::strlen(tree)), reinterpret_cast<const nuint8*>(tree));
};

const SubEntry kSubs[] = {
    bind<"NWDSGetMonitoredConnection", Form::Status, NWDSGetMonitoredConnection, InOutInt<"conn">>(),
    bind<"NWDSGetMonitoredConnRef", Form::Status, NWDSGetMonitoredConnRef, Int<"context">, InOutInt<"connRef">>(),
    bind<"NWDSOpenMonitoredConn", Form::Status, NWDSOpenMonitoredConn, Int<"context">, InOutInt<"connHandle">>(),
    bind<"NWDSSetMonitoredConnection", Form::Status, NWDSSetMonitoredConnection, Int<"conn">>(),
    bind<"NWDSLockConnection", Form::Status, NWDSLockConnection, Int<"conn">>(),
    bind<"NWDSUnlockConnection", Form::Status, NWDSUnlockConnection, Int<"conn">>(),
    bind<"NWDSOpenConnToNDSServer", Form::Status, NWDSOpenConnToNDSServer, Int<"context">, Str<"serverName">,
         InOutInt<"connHandle">>(),
    custom<ConnInfoSig, xs_NWDSGetConnectionInfo>(),
    bind<"NWDSGetConnectionSlot", Form::Status, connection_slot, U8<"connType">, U8<"transType">, Int<"transLen">,
         InOutInt<"transBuf", nuint8>, InOutInt<"conn">>(),
    custom<VerInfoSig, xs_NWDSGetDSVerInfo>(),
    bind<"NWDSGetBinderyContext", Form::Status, NWDSGetBinderyContext, Int<"context">, Int<"conn">,
         InOutStr<"BinderyEmulationContext", MAX_DN_BYTES>>(),
    bind<"NWGetNumConnections", Form::Status, NWGetNumConnections, InOutInt<"numConnections", nuint16>>(),
    bind<"NWDSGetServerDN", Form::Status, NWDSGetServerDN, Int<"context">, Int<"conn">,
         InOutStr<"serverDN", MAX_DN_BYTES>>(),
    bind<"NWDSGetServerAddresses", Form::Status, NWDSGetServerAddresses, Int<"context">, Int<"conn">,
         InOutInt<"countNetAddress">, HandleReset<"netAddresses", B>>(),
    bind<"NWDSGetObjectHostServerAddress", Form::Status, NWDSGetObjectHostServerAddress, Int<"context">,
         Str<"objectName">, InOutStr<"serverName", MAX_DN_BYTES>, HandleReset<"netAddresses", B>>(),
    // The status slot carries the client's answer: non-zero for a directory server.
    bind<"NWIsDSServer", Form::Status, NWIsDSServer, Int<"conn">, InOutStr<"treeName", MAX_TREE_NAME_BYTES>>(),
    bind<"NWGetPreferredDSServer", Form::Status, NWGetPreferredDSServer, InOutInt<"conn">>(),
    bind<"NWGetPreferredConnName", Form::Status, NWGetPreferredConnName, InOutStr<"preferredName", MAX_DN_BYTES>,
         InOutInt<"preferredType", nuint8>>(),
    bind<"NWDSScanConnsForTrees", Form::Status, NWDSScanConnsForTrees, Int<"context">, Int<"numOfPtrs">,
         InOutInt<"numOfTrees">, Native<"treeBufPtrs">>(),
    bind<"NWDSScanForAvailableTrees", Form::Status, NWDSScanForAvailableTrees, Int<"context">, Int<"connHandle">,
         Str<"scanFilter">, InOutInt<"scanIndex">, InOutStr<"treeName", MAX_TREE_NAME_BYTES>>(),
    bind<"NWSetPreferredDSTree", Form::Status, preferred_tree, Unused<"length">, Str<"tree">>(),
};

}  // namespace

const Family kConnectionSubs = family(kSubs);

}  // namespace vorla
