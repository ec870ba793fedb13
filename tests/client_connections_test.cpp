// Connections, servers and trees through the public functions: each test
// adds its own NCP Server (with addresses no other test uses) to its own
// organization, opens connections to it and to the seeded server, and checks
// what they report, that output areas are never overrun and that stale or
// foreign handles are refused.
#include <gtest/gtest.h>
#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

#include "client_dir.h"
#include "connections.h"
#include "store/store.h"

namespace {

using client_dir::ClientDir;

constexpr nuint32 kTcp = 9;
constexpr NWCONN_HANDLE kBogus = 0x7FFF0000u;

class ClientConn : public ClientDir {
protected:
  void SetUp() override {
    nwc::forget_connections();
    ClientDir::SetUp();
    static nuint8 serial = 0xA0;
    first = serial++;
    addr1 = {static_cast<char>(first), '\x90', '\x0A', '\x00', '\x00', '\x07'};
    addr2 = {static_cast<char>(first), '\x91', '\x0A', '\x00', '\x00', '\x08'};
  }
  void TearDown() override {
    NWDSLogout(ctx);
    nwc::forget_connections();
    ClientDir::TearDown();
  }
  // Adds an NCP Server `cn` under the test's organization with the given
  // TCP addresses.
  NWDSCCODE AddServer(const std::string &cn, const std::vector<std::string> &addrs) {
    std::vector<Net_Address_T> recs;
    for (const std::string &a : addrs)
      recs.push_back({kTcp, static_cast<nuint32>(a.size()),
                      reinterpret_cast<nuint8 *>(const_cast<char *>(a.data()))});
    client_dir::Attr na{"Network Address", SYN_NET_ADDRESS, {}};
    for (const Net_Address_T &r : recs) na.values.push_back(&r);
    std::vector<client_dir::Attr> attrs{{"Object Class", SYN_CLASS_NAME, {"NCP Server"}}};
    if (!recs.empty()) attrs.push_back(na);
    return Add("CN=" + cn, attrs);
  }
  NWCONN_HANDLE Open(const std::string &name) {
    NWCONN_HANDLE h = 0;
    EXPECT_EQ(NWDSOpenConnToNDSServer(ctx, name.c_str(), &h), 0) << name;
    return h;
  }
  std::string Tree() {
    char t[MAX_TREE_NAME_BYTES];
    EXPECT_EQ(NWIsDSServer(Open("SRV"), t), 1);
    return t;
  }
  nuint8 first = 0;
  std::string addr1, addr2;
};

TEST_F(ClientConn, OpenResolvesThroughTheContextAndReusesTheHandle) {
  nuint16 before = 0;
  ASSERT_EQ(NWGetNumConnections(&before), 0);
  EXPECT_EQ(before, 0);
  ASSERT_EQ(AddServer("SRV", {addr1}), 0);
  NWCONN_HANDLE h = Open("SRV"); /* relative to the organization */
  EXPECT_GT(h, 0u);
  EXPECT_EQ(Open("CN=SRV.O=" + org + "."), h) << "a second open of the same server";
  nint32 last = 0;
  ASSERT_EQ(NWDSGetContext(ctx, DCK_LAST_CONNECTION, &last), 0);
  EXPECT_EQ(static_cast<NWCONN_HANDLE>(last), h);

  NWCONN_HANDLE home = 0;
  ASSERT_EQ(NWDSOpenMonitoredConn(ctx, &home), 0);
  EXPECT_NE(home, h);
  nuint16 n = 0;
  ASSERT_EQ(NWGetNumConnections(&n), 0);
  EXPECT_EQ(n, 2);

  NWCONN_HANDLE out = 12345;
  EXPECT_EQ(NWDSOpenConnToNDSServer(ctx, "CN=Nobody", &out), ERR_NO_SUCH_ENTRY);
  ASSERT_EQ(AddUser("CN=u1"), 0);
  EXPECT_EQ(NWDSOpenConnToNDSServer(ctx, "CN=u1", &out), ERR_NO_SERVER_FOUND);
  EXPECT_EQ(NWDSOpenConnToNDSServer(ctx, "[Root]", &out), ERR_NO_SERVER_FOUND);
  EXPECT_EQ(out, 12345u) << "nothing written on failure";
  EXPECT_EQ(NWDSOpenConnToNDSServer(ctx + 4000, "SRV", &out), ERR_BAD_CONTEXT);

  // Removing the server makes its handle unknown.
  ASSERT_EQ(NWDSRemoveObject(ctx, "CN=SRV"), 0);
  EXPECT_EQ(NWDSLockConnection(h), ERR_INVALID_CONN_HANDLE);
  ASSERT_EQ(NWGetNumConnections(&n), 0);
  EXPECT_EQ(n, 1);
}

TEST_F(ClientConn, MonitoredConnectionAndLocks) {
  NWCONN_HANDLE c = 0;
  nuint32 ref = 0;
  EXPECT_EQ(NWDSGetMonitoredConnection(&c), ERR_NO_CONNECTION);
  EXPECT_EQ(NWDSGetMonitoredConnRef(ctx, &ref), ERR_NO_CONNECTION);
  NWCONN_HANDLE home = 0;
  ASSERT_EQ(NWDSOpenMonitoredConn(ctx, &home), 0);
  ASSERT_EQ(NWDSGetMonitoredConnection(&c), 0);
  EXPECT_EQ(c, home);
  ASSERT_EQ(NWDSGetMonitoredConnRef(ctx, &ref), 0);
  EXPECT_EQ(ref, home);
  NWCONN_HANDLE pref = 0;
  ASSERT_EQ(NWGetPreferredDSServer(&pref), 0);
  EXPECT_EQ(pref, home) << "the server holding the master of [Root]";

  ASSERT_EQ(AddServer("SRV", {addr1}), 0);
  NWCONN_HANDLE h = Open("SRV");
  ASSERT_EQ(NWDSSetMonitoredConnection(h), 0);
  ASSERT_EQ(NWDSGetMonitoredConnection(&c), 0);
  EXPECT_EQ(c, h);
  EXPECT_EQ(NWDSSetMonitoredConnection(kBogus), ERR_INVALID_CONN_HANDLE);
  EXPECT_EQ(NWDSSetMonitoredConnection(0), ERR_INVALID_CONN_HANDLE);
  ASSERT_EQ(NWDSGetMonitoredConnection(&c), 0);
  EXPECT_EQ(c, h) << "a refused handle leaves the monitored one";

  auto status = [](NWCONN_HANDLE conn) {
    nuint8 s = 0xEE;
    EXPECT_EQ(NWDSGetConnectionInfo(conn, &s, nullptr, nullptr, nullptr, nullptr, nullptr,
                                    nullptr, nullptr, nullptr),
              0);
    return s;
  };
  EXPECT_EQ(status(h) & nwc::kConnStatusLocked, 0);
  ASSERT_EQ(NWDSLockConnection(h), 0);
  ASSERT_EQ(NWDSLockConnection(h), 0);
  EXPECT_NE(status(h) & nwc::kConnStatusLocked, 0);
  EXPECT_EQ(status(home) & nwc::kConnStatusLocked, 0) << "locks are per connection";
  ASSERT_EQ(NWDSUnlockConnection(h), 0);
  EXPECT_NE(status(h) & nwc::kConnStatusLocked, 0) << "one lock still held";
  ASSERT_EQ(NWDSUnlockConnection(h), 0);
  EXPECT_EQ(status(h) & nwc::kConnStatusLocked, 0);
  EXPECT_EQ(NWDSUnlockConnection(h), ERR_INVALID_REQUEST);
  EXPECT_EQ(NWDSLockConnection(kBogus), ERR_INVALID_CONN_HANDLE);
  EXPECT_EQ(NWDSUnlockConnection(kBogus), ERR_INVALID_CONN_HANDLE);
}

TEST_F(ClientConn, ConnectionInfoAndSlot) {
  ASSERT_EQ(AddServer("SRV", {addr1, addr2}), 0);
  NWCONN_HANDLE h = Open("SRV");
  nuint8 st = 0, type = 0, flags = 0, ttype = 0;
  nuint32 tlen = 0;
  nuint16 dist = 7, pkt = 0;
  std::vector<nuint8> name(NW_MAX_SERVER_NAME_LEN + 8, 'Z');
  std::vector<nuint8> addr(MAX_NET_ADDRESS_BYTES + 8, 'Z');
  ASSERT_EQ(NWDSGetConnectionInfo(h, &st, &type, &flags, name.data(), &ttype, &tlen, addr.data(),
                                  &dist, &pkt),
            0);
  EXPECT_EQ(st & nwc::kConnStatusConnected, nwc::kConnStatusConnected);
  EXPECT_EQ(type, nwc::kConnTypeDirectory);
  EXPECT_EQ(flags, nwc::kServerFlagsDirectory);
  EXPECT_STREQ(reinterpret_cast<char *>(name.data()), "SRV");
  EXPECT_EQ(ttype, kTcp);
  ASSERT_EQ(tlen, 6u);
  EXPECT_EQ(std::string(reinterpret_cast<char *>(addr.data()), 6), addr1) << "the first address";
  EXPECT_EQ(addr[6], 'Z');
  EXPECT_EQ(dist, 0);
  EXPECT_EQ(pkt, nwc::kMaxPacketSize);
  EXPECT_EQ(NWDSGetConnectionInfo(kBogus, &st, &type, &flags, name.data(), &ttype, &tlen,
                                  addr.data(), &dist, &pkt),
            ERR_INVALID_CONN_HANDLE);

  // A long server name is cut to the published limit at a character boundary.
  std::string longname(NW_MAX_SERVER_NAME_LEN - 2, 'L');
  longname += "\xC3\xA9\xC3\xA9"; /* two 2-byte characters straddle the limit */
  ASSERT_EQ(AddServer(longname, {}), 0);
  NWCONN_HANDLE hl = Open(longname);
  std::fill(name.begin(), name.end(), 'Z');
  ASSERT_EQ(NWDSGetConnectionInfo(hl, nullptr, nullptr, nullptr, name.data(), &ttype, &tlen,
                                  addr.data(), nullptr, nullptr),
            0);
  EXPECT_EQ(std::string(reinterpret_cast<char *>(name.data())),
            std::string(NW_MAX_SERVER_NAME_LEN - 2, 'L'));
  for (size_t i = NW_MAX_SERVER_NAME_LEN; i < name.size(); ++i) EXPECT_EQ(name[i], 'Z');
  EXPECT_EQ(ttype, 0) << "a server without an address";
  EXPECT_EQ(tlen, 0u);

  // The slot of an address: its server's connection (first byte, type, length).
  NWCONN_HANDLE c = 0;
  nuint8 b = first;
  ASSERT_EQ(NWDSGetConnectionSlot(nwc::kConnTypeDirectory, kTcp, 6, &b, &c), 0);
  EXPECT_EQ(c, h);
  c = 99;
  EXPECT_EQ(NWDSGetConnectionSlot(0, kTcp + 1, 6, &b, &c), ERR_NO_SERVER_FOUND);
  EXPECT_EQ(NWDSGetConnectionSlot(0, kTcp, 5, &b, &c), ERR_NO_SERVER_FOUND);
  b = 0xFF;
  EXPECT_EQ(NWDSGetConnectionSlot(0, kTcp, 6, &b, &c), ERR_NO_SERVER_FOUND);
  EXPECT_EQ(c, 99u);
}

TEST_F(ClientConn, DSVersionAndServerNames) {
  ASSERT_EQ(AddServer("SRV", {addr1}), 0);
  NWCONN_HANDLE h = Open("SRV");
  const std::string tree = Tree();
  nuint32 ver = 0, depth = 0, flags = 9;
  std::vector<char> sap(MAX_SAP_NAME_BYTES + 4, 'Z');
  std::vector<unicode> t(MAX_TREE_NAME_BYTES + 4, 0x5A5A);
  ASSERT_EQ(NWDSGetDSVerInfo(h, &ver, &depth, sap.data(), &flags, t.data()), 0);
  EXPECT_EQ(ver, nwc::kDsVersion);
  EXPECT_EQ(depth, 0xFFFFFFFFu) << "holds no replica";
  EXPECT_STREQ(sap.data(), "SRV");
  EXPECT_EQ(flags, 0u);
  std::string back;
  size_t i = 0;
  for (; i < t.size() && t[i] != 0; ++i) back += static_cast<char>(t[i]);
  EXPECT_EQ(back, tree) << "the tree name as UTF-16 (ASCII here)";
  EXPECT_EQ(t[i + 1], 0x5A5A) << "nothing past the terminator";

  NWCONN_HANDLE home = 0;
  ASSERT_EQ(NWDSOpenMonitoredConn(ctx, &home), 0);
  ASSERT_EQ(NWDSGetDSVerInfo(home, nullptr, &depth, nullptr, nullptr, nullptr), 0);
  EXPECT_EQ(depth, 0u) << "the seeded server holds the [Root] partition";
  EXPECT_EQ(NWDSGetDSVerInfo(kBogus, &ver, &depth, sap.data(), &flags, t.data()),
            ERR_INVALID_CONN_HANDLE);

  char dn[MAX_DN_BYTES];
  ASSERT_EQ(NWDSGetServerDN(ctx, h, dn), 0);
  EXPECT_STREQ(dn, "CN=SRV") << "formatted for the context";
  NWDSContextHandle root = NWDSCreateContext();
  ASSERT_GT(root, 0);
  ASSERT_EQ(NWDSSetContext(root, DCK_NAME_CONTEXT, "[Root]"), 0);
  ASSERT_EQ(NWDSGetServerDN(root, h, dn), 0);
  EXPECT_EQ(std::string(dn), "CN=SRV.O=" + org);
  ASSERT_EQ(NWDSGetBinderyContext(root, h, reinterpret_cast<nuint8 *>(dn)), 0);
  EXPECT_EQ(std::string(dn), "O=" + org);
  EXPECT_EQ(NWDSGetServerDN(root, kBogus, dn), ERR_INVALID_CONN_HANDLE);
  EXPECT_EQ(NWDSGetBinderyContext(root, kBogus, reinterpret_cast<nuint8 *>(dn)),
            ERR_INVALID_CONN_HANDLE);
  NWDSFreeContext(root);
  EXPECT_EQ(NWDSGetServerDN(root, h, dn), ERR_BAD_CONTEXT);
}

TEST_F(ClientConn, AddressBuffersAndHostServer) {
  ASSERT_EQ(AddServer("SRV", {addr1, addr2}), 0);
  NWCONN_HANDLE h = Open("SRV");
  pBuf_T out = Buf(nwc::NO_VERB);
  nuint32 count = 0;
  ASSERT_EQ(NWDSGetServerAddresses(ctx, h, &count, out), 0);
  ASSERT_EQ(count, 2u);
  nuint32 attrs = 0, vals = 0, syn = 0;
  ASSERT_EQ(NWDSGetAttrCount(ctx, out, &attrs), 0);
  EXPECT_EQ(attrs, 2u) << "the attribute count is the number of addresses";
  char an[MAX_SCHEMA_NAME_BYTES];
  ASSERT_EQ(NWDSGetAttrName(ctx, out, an, &vals, &syn), 0);
  EXPECT_STREQ(an, "Network Address");
  EXPECT_EQ(vals, 2u);
  EXPECT_EQ(syn, static_cast<nuint32>(SYN_NET_ADDRESS));
  for (const std::string &want : {addr1, addr2}) {
    nuint32 size = 0;
    ASSERT_EQ(NWDSComputeAttrValSize(ctx, out, SYN_NET_ADDRESS, &size), 0);
    std::vector<char> area(size);
    ASSERT_EQ(NWDSGetAttrVal(ctx, out, SYN_NET_ADDRESS, area.data()), 0);
    auto *na = reinterpret_cast<Net_Address_T *>(area.data());
    EXPECT_EQ(na->addressType, kTcp);
    ASSERT_EQ(na->addressLength, want.size());
    EXPECT_EQ(std::string(reinterpret_cast<char *>(na->address), na->addressLength), want);
  }
  EXPECT_EQ(NWDSGetAttrVal(ctx, out, SYN_NET_ADDRESS, an), ERR_BUFFER_EMPTY);
  // The addresses read straight after the count, with no attribute name read.
  ASSERT_EQ(NWDSGetServerAddresses(ctx, h, &count, out), 0);
  ASSERT_EQ(NWDSGetAttrCount(ctx, out, &attrs), 0);
  for (const std::string &want : {addr1, addr2}) {
    nuint32 size = 0;
    ASSERT_EQ(NWDSComputeAttrValSize(ctx, out, SYN_NET_ADDRESS, &size), 0);
    std::vector<char> area(size);
    ASSERT_EQ(NWDSGetAttrVal(ctx, out, SYN_NET_ADDRESS, area.data()), 0);
    auto *na = reinterpret_cast<Net_Address_T *>(area.data());
    EXPECT_EQ(std::string(reinterpret_cast<char *>(na->address), na->addressLength), want);
  }

  pBuf_T tiny = Buf(nwc::NO_VERB, 24);
  count = 77;
  EXPECT_EQ(NWDSGetServerAddresses(ctx, h, &count, tiny), ERR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(count, 77u);
  EXPECT_EQ(NWDSGetServerAddresses(ctx, kBogus, &count, out), ERR_INVALID_CONN_HANDLE);

  // The host of an object: the master of its partition.  The organization
  // becomes a partition mastered by SRV.
  ASSERT_EQ(AddUser("CN=u1"), 0);
  NWCONN_HANDLE c = 0;
  nuint32 org_id = 0, srv_id = 0, user_id = 0;
  ASSERT_EQ(NWDSResolveName(ctx, ("O=" + org + ".").c_str(), &c, &org_id), 0);
  ASSERT_EQ(NWDSResolveName(ctx, "CN=SRV", &c, &srv_id), 0);
  NWCONN_HANDLE home = 0;
  ASSERT_EQ(NWDSOpenMonitoredConn(ctx, &home), 0);
  EXPECT_EQ(c, home) << "the organization is still in the [Root] partition";
  char name[MAX_DN_BYTES];
  ASSERT_EQ(NWDSGetObjectHostServerAddress(ctx, "CN=u1", name, out), 0);
  char home_dn[MAX_DN_BYTES];
  ASSERT_EQ(NWDSGetServerDN(ctx, home, home_dn), 0);
  EXPECT_STREQ(name, home_dn);

  auto store = nwc::current_store();
  ASSERT_TRUE(store.ok());
  ASSERT_EQ((*store)->add_partition(org_id), 0);
  ASSERT_TRUE((*store)->add_replica(org_id, srv_id, RT_MASTER).ok());
  ASSERT_EQ(NWDSGetObjectHostServerAddress(ctx, "CN=u1", name, out), 0);
  EXPECT_STREQ(name, "CN=SRV");
  ASSERT_EQ(NWDSGetAttrCount(ctx, out, &attrs), 0);
  ASSERT_EQ(NWDSGetAttrName(ctx, out, an, &vals, &syn), 0);
  EXPECT_EQ(vals, 2u);
  ASSERT_EQ(NWDSResolveName(ctx, "CN=u1", &c, &user_id), 0);
  EXPECT_EQ(c, h) << "the connection to the partition's master";
  nuint32 depth = 0;
  ASSERT_EQ(NWDSGetDSVerInfo(h, nullptr, &depth, nullptr, nullptr, nullptr), 0);
  EXPECT_EQ(depth, 1u);
  EXPECT_EQ(NWDSGetObjectHostServerAddress(ctx, "CN=ghost", name, out), ERR_NO_SUCH_ENTRY);
}

TEST_F(ClientConn, ObjectIdsMapBackToNames) {
  ASSERT_EQ(AddUser("CN=u1"), 0);
  NWCONN_HANDLE c = 0;
  nuint32 id = 0;
  ASSERT_EQ(NWDSResolveName(ctx, "CN=u1", &c, &id), 0);
  EXPECT_GT(id, 0u);
  EXPECT_GT(c, 0u);
  std::vector<char> name(MAX_DN_BYTES + 8, 'Z');
  ASSERT_EQ(NWDSMapIDToName(ctx, c, id, name.data()), 0);
  EXPECT_STREQ(name.data(), "CN=u1");
  EXPECT_EQ(name[MAX_DN_BYTES], 'Z');
  NWDSContextHandle root = NWDSCreateContext();
  ASSERT_EQ(NWDSSetContext(root, DCK_NAME_CONTEXT, "[Root]"), 0);
  ASSERT_EQ(NWDSMapIDToName(root, c, id, name.data()), 0);
  EXPECT_EQ(std::string(name.data()), "CN=u1.O=" + org);
  NWDSFreeContext(root);

  NWCONN_HANDLE c2 = 5;
  nuint32 id2 = 6;
  EXPECT_EQ(NWDSResolveName(ctx, "CN=ghost", &c2, &id2), ERR_NO_SUCH_ENTRY);
  EXPECT_EQ(c2, 5u);
  EXPECT_EQ(id2, 6u);
  EXPECT_EQ(NWDSMapIDToName(ctx, c, 0, name.data()), ERR_NO_SUCH_ENTRY);
  EXPECT_EQ(NWDSMapIDToName(ctx, c, 0xFFFFFFF0u, name.data()), ERR_NO_SUCH_ENTRY);
  EXPECT_EQ(NWDSMapIDToName(ctx, kBogus, id, name.data()), ERR_INVALID_CONN_HANDLE);
  ASSERT_EQ(NWDSRemoveObject(ctx, "CN=u1"), 0);
  EXPECT_EQ(NWDSMapIDToName(ctx, c, id, name.data()), ERR_NO_SUCH_ENTRY);
}

TEST_F(ClientConn, TreesScansAndPreferences) {
  ASSERT_EQ(AddServer("SRV", {addr1}), 0);
  NWCONN_HANDLE h = Open("SRV");
  const std::string tree = Tree();
  ASSERT_FALSE(tree.empty());
  EXPECT_EQ(NWIsDSServer(h, nullptr), 1);
  char t[MAX_TREE_NAME_BYTES] = "untouched";
  EXPECT_EQ(NWIsDSServer(kBogus, t), 0);
  EXPECT_STREQ(t, "untouched");

  char a[MAX_TREE_NAME_BYTES] = "", b[MAX_TREE_NAME_BYTES] = "second";
  pnstr8 ptrs[2] = {a, b};
  nuint32 found = 0;
  ASSERT_EQ(NWDSScanConnsForTrees(ctx, 2, &found, ptrs), 0);
  EXPECT_EQ(found, 1u);
  EXPECT_EQ(std::string(a), tree);
  EXPECT_STREQ(b, "second");
  ASSERT_EQ(NWDSScanConnsForTrees(ctx, 0, &found, ptrs), 0);
  EXPECT_EQ(found, 1u);

  nint32 idx = -1; // the first call's value
  char got[MAX_TREE_NAME_BYTES] = "";
  ASSERT_EQ(NWDSScanForAvailableTrees(ctx, h, nullptr, &idx, got), 0);
  EXPECT_EQ(std::string(got), tree);
  EXPECT_NE(idx, 0);
  EXPECT_EQ(NWDSScanForAvailableTrees(ctx, h, nullptr, &idx, got), ERR_NO_SUCH_ENTRY);
  std::string lower = tree.substr(0, 3);
  for (char &ch : lower) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  idx = 0;
  EXPECT_EQ(NWDSScanForAvailableTrees(ctx, h, (lower + "*").c_str(), &idx, got), 0);
  idx = 0;
  EXPECT_EQ(NWDSScanForAvailableTrees(ctx, h, "NO_SUCH_TREE*", &idx, got), ERR_NO_SUCH_ENTRY);
  EXPECT_EQ(idx, 0);
  EXPECT_EQ(NWDSScanForAvailableTrees(ctx, kBogus, nullptr, &idx, got), ERR_INVALID_CONN_HANDLE);

  nuint8 pname[MAX_TREE_NAME_BYTES];
  nuint8 ptype = 0;
  ASSERT_EQ(NWGetPreferredConnName(pname, &ptype), 0);
  EXPECT_EQ(std::string(reinterpret_cast<char *>(pname)), tree);
  EXPECT_EQ(ptype, nwc::kPreferredNameTree);
  const std::string other = "OTHER_TREE";
  ASSERT_EQ(NWSetPreferredDSTree(static_cast<nuint16>(other.size()),
                                 reinterpret_cast<const nuint8 *>(other.c_str())),
            0);
  ASSERT_EQ(NWGetPreferredConnName(pname, &ptype), 0);
  EXPECT_EQ(std::string(reinterpret_cast<char *>(pname)), other);
  NWCONN_HANDLE pref = 0;
  EXPECT_EQ(NWGetPreferredDSServer(&pref), ERR_NO_SERVER_FOUND);
  // The length bounds the name.
  ASSERT_EQ(NWSetPreferredDSTree(5, reinterpret_cast<const nuint8 *>("SHORTENED")), 0);
  ASSERT_EQ(NWGetPreferredConnName(pname, &ptype), 0);
  EXPECT_STREQ(reinterpret_cast<char *>(pname), "SHORT");
  const std::string too_long(MAX_TREE_NAME_CHARS + 1, 'T');
  EXPECT_EQ(NWSetPreferredDSTree(static_cast<nuint16>(too_long.size()),
                                 reinterpret_cast<const nuint8 *>(too_long.c_str())),
            ERR_INVALID_DS_NAME);
  EXPECT_EQ(NWSetPreferredDSTree(0, reinterpret_cast<const nuint8 *>("X")), ERR_INVALID_DS_NAME);
  ASSERT_EQ(NWSetPreferredDSTree(static_cast<nuint16>(tree.size()),
                                 reinterpret_cast<const nuint8 *>(tree.c_str())),
            0);
  ASSERT_EQ(NWGetPreferredDSServer(&pref), 0);
  EXPECT_GT(pref, 0u);
}

TEST_F(ClientConn, AuthenticateNeedsALoggedInContext) {
  ASSERT_EQ(AddServer("SRV", {addr1}), 0);
  NWCONN_HANDLE h = Open("SRV");
  ASSERT_EQ(AddUser("CN=u1"), 0);
  ASSERT_EQ(NWDSGenerateObjectKeyPair(ctx, "CN=u1", "pw", 0), 0);
  ASSERT_EQ(NWDSLogout(ctx), 0);
  ASSERT_EQ(NWDSLogout(admin), 0);
  EXPECT_EQ(NWDSAuthenticate(h, 0, nullptr), ERR_NOT_LOGGED_IN);
  ASSERT_EQ(NWDSLogin(ctx, 0, "CN=u1", "pw", 0), 0);
  EXPECT_EQ(NWDSAuthenticate(h, 0, nullptr), 0);
  EXPECT_EQ(NWDSAuthenticate(kBogus, 0, nullptr), ERR_INVALID_CONN_HANDLE);
  nuint8 st = 0;
  ASSERT_EQ(NWDSGetConnectionInfo(h, &st, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                  nullptr, nullptr),
            0);
  EXPECT_NE(st & nwc::kConnStatusAuthenticated, 0);
  ASSERT_EQ(NWDSLogout(ctx), 0);
  EXPECT_EQ(NWDSAuthenticate(h, 0, nullptr), ERR_NOT_LOGGED_IN);
}

TEST_F(ClientConn, HandlesBelongToTheirStore) {
  ASSERT_EQ(AddServer("SRV", {addr1}), 0);
  NWCONN_HANDLE h = Open("SRV");
  NWCONN_HANDLE home = 0;
  ASSERT_EQ(NWDSOpenMonitoredConn(ctx, &home), 0);
  char path[] = "/tmp/vorla_conn_XXXXXX";
  int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  close(fd);
  std::remove(path);
  {
    ScopedEnv other("NWCLIENT_STORE", path);
    /* The seeded servers of both stores have the same entry id. */
    EXPECT_EQ(NWIsDSServer(home, nullptr), 0) << "a handle of another store";
    EXPECT_EQ(NWIsDSServer(h, nullptr), 0);
    NWCONN_HANDLE c = 0;
    ASSERT_EQ(NWDSOpenMonitoredConn(ctx, &c), 0);
    EXPECT_EQ(NWIsDSServer(c, nullptr), 1);
  }
  EXPECT_EQ(NWDSLockConnection(h), ERR_INVALID_CONN_HANDLE) << "the table was emptied";
  EXPECT_GT(Open("SRV"), 0u);
  for (const char *suffix : {"", "-wal", "-shm"}) std::remove((std::string(path) + suffix).c_str());
}

} // namespace
