/*
 * connections.cpp - connections, servers and trees (connections.h).
 *
 * Every engine takes the directory lock, then the table's mutex (Session),
 * so that a handle cannot change meaning between its check and its use.
 */
#include "connections.h"

#include <cstdint>
#include <cstring>
#include <iterator>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "context.h"
#include "entries.h"
#include "items.h"
#include "names/names.h"
#include "store/store.h"

namespace nwc {

namespace {

struct Conn {
  EntryId server = kNoEntry;
  nuint32 locks = 0;
};

struct Table {
  std::mutex m;
  Store *store = nullptr; /* the store the connections were opened on */
  std::string path;
  std::map<NWCONN_HANDLE, Conn> conns;
  NWCONN_HANDLE next = 1;
  NWCONN_HANDLE monitored = 0;
  bool has_preferred_tree = false;
  std::string preferred_tree;
};

Table &table() {
  static Table *t = new Table; /* usable until exit */
  return *t;
}

/* The locks of one engine call and the store it works on. */
struct Session {
  std::unique_lock<std::recursive_mutex> dir{directory_lock()};
  std::unique_lock<std::mutex> tab;
  Store *store = nullptr;
  Table &t = table();

  NWDSCCODE begin() {
    auto s = current_store();
    if (!s) return s.status();
    store = *s;
    tab = std::unique_lock<std::mutex>(t.m);
    if (t.store != store || t.path != store->path()) {
      t.conns.clear();
      t.monitored = 0;
      t.store = store;
      t.path = store->path();
    }
    return 0;
  }
};

bool is_server(Store &store, EntryId id) {
  auto classes = store.values(id, "Object Class");
  if (!classes) return false;
  for (const StoredValue &v : *classes)
    if (!v.value.texts.empty() && ci_equal(v.value.texts[0], "NCP Server")) return true;
  return false;
}

/* The server of a live connection. */
NWDSCCODE server_of(Session &s, NWCONN_HANDLE h, EntryId &server) {
  auto it = s.t.conns.find(h);
  if (it == s.t.conns.end()) return ERR_INVALID_CONN_HANDLE;
  if (!s.store->entry(it->second.server) || !is_server(*s.store, it->second.server)) {
    s.t.conns.erase(it);
    if (s.t.monitored == h) s.t.monitored = 0;
    return ERR_INVALID_CONN_HANDLE;
  }
  server = it->second.server;
  return 0;
}

/* Begins `s` on the live connection `conn`, giving its server. */
NWDSCCODE begin_on(Session &s, NWCONN_HANDLE conn, EntryId &server) {
  if (NWDSCCODE st = s.begin()) return st;
  return server_of(s, conn, server);
}

/* The connection to `server`, opened when it has none. */
NWCONN_HANDLE open_handle(Session &s, EntryId server) {
  for (const auto &[h, c] : s.t.conns)
    if (c.server == server) return h;
  NWCONN_HANDLE h = s.t.next++;
  while (h == 0 || s.t.conns.count(h) != 0) h = s.t.next++;
  s.t.conns[h] = Conn{server, 0};
  return h;
}

/* The server holding the master replica of `partition`. */
Expected<EntryId> master_of(Store &store, EntryId partition) {
  auto reps = store.replicas(partition);
  if (!reps) return fail(reps.status());
  for (const Replica &r : *reps)
    if (r.type == RT_MASTER && is_server(store, r.server)) return r.server;
  return fail(ERR_NO_SERVER_FOUND);
}

/* Cuts `s` to at most `max_bytes` bytes at a UTF-8 character boundary. */
std::string cut_utf8(const std::string &s, size_t max_bytes) {
  if (s.size() <= max_bytes) return s;
  size_t n = max_bytes;
  while (n > 0 && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80) --n;
  return s.substr(0, n);
}

/* The server's own name: the value of its entry's RDN. */
NWDSCCODE server_name(Store &store, EntryId server, std::string &out) {
  auto e = store.entry(server);
  if (!e) return e.status();
  auto rdn = parse_rdn(e->rdn);
  if (!rdn) return rdn.status();
  out.clear();
  for (size_t i = 0; i < rdn->avas.size(); ++i) out += (i ? "+" : "") + rdn->avas[i].value;
  return 0;
}

/* Writes `s` and its terminator to `area` when they fit `limit` bytes. */
NWDSCCODE put_text(const std::string &s, void *area, size_t limit, NWDSCCODE too_long) {
  if (s.size() + 1 > limit) return too_long;
  std::memcpy(area, s.c_str(), s.size() + 1);
  return 0;
}

/* The store's tree name, checked against the local limit of tree names. */
NWDSCCODE tree_name_of(Store &store, std::string &out) {
  auto t = store.tree_name();
  if (!t) return t.status();
  if (t->size() + 1 > MAX_TREE_NAME_BYTES) return ERR_INVALID_DS_NAME;
  out = *t;
  return 0;
}

/* UTF-8 to UTF-16 units; false for a text that is not UTF-8. */
bool to_utf16(std::string_view s, std::vector<unicode> &out) {
  out.clear();
  for (size_t i = 0; i < s.size();) {
    const unsigned char b = static_cast<unsigned char>(s[i]);
    const unsigned n = b < 0x80            ? 0
                       : (b & 0xE0) == 0xC0 ? 1
                       : (b & 0xF0) == 0xE0 ? 2
                       : (b & 0xF8) == 0xF0 ? 3
                                            : 9;
    if (n == 9 || i + n >= s.size()) return false;
    char32_t cp = n == 0 ? b : n == 1 ? (b & 0x1F) : n == 2 ? (b & 0x0F) : (b & 0x07);
    for (unsigned k = 1; k <= n; ++k) {
      const unsigned char c = static_cast<unsigned char>(s[i + k]);
      if ((c & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (c & 0x3F);
    }
    i += n + 1;
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<unicode>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<unicode>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<unicode>(cp));
    }
  }
  return true;
}

/* A '*' / '?' pattern against a text, without regard to case. */
bool glob_match(std::string_view pat, std::string_view text) {
  size_t p = 0, t = 0, star = std::string_view::npos, mark = 0;
  while (t < text.size()) {
    if (p < pat.size() && (pat[p] == '?' || pat[p] == text[t])) {
      ++p;
      ++t;
    } else if (p < pat.size() && pat[p] == '*') {
      star = p++;
      mark = t;
    } else if (star != std::string_view::npos) {
      p = star + 1;
      t = ++mark;
    } else {
      return false;
    }
  }
  while (p < pat.size() && pat[p] == '*') ++p;
  return p == pat.size();
}

/* The server's Network Address values. */
NWDSCCODE addresses_of(Store &store, EntryId server, std::vector<Value> &out) {
  out.clear();
  auto vals = store.values(server, "Network Address");
  if (!vals) return vals.status() == ERR_NO_SUCH_ATTRIBUTE ? 0 : vals.status();
  for (StoredValue &v : *vals) out.push_back(std::move(v.value));
  return 0;
}

/* Fills `buf` with the server's addresses (connections.h). */
NWDSCCODE write_addresses(Store &store, EntryId server, pBuf_T buf, nuint32 &count) {
  std::vector<Value> addrs;
  if (NWDSCCODE st = addresses_of(store, server, addrs)) return st;
  ResultWriter w(*buffer_of(buf), DSV_READ);
  if (!w.add_count(tag::ATTR_COUNT, static_cast<nuint32>(addrs.size())) ||
      !w.add_values_header("Network Address", static_cast<nuint32>(addrs.size()), SYN_NET_ADDRESS))
    return ERR_INSUFFICIENT_BUFFER;
  for (const Value &v : addrs)
    if (!w.add_value(encode_value(v), SYN_NET_ADDRESS)) return ERR_INSUFFICIENT_BUFFER;
  count = static_cast<nuint32>(addrs.size());
  return 0;
}

/* The full name of `id` formatted for the context. */
NWDSCCODE name_for(Store &store, EntryId id, const Context &ctx, std::string &out) {
  auto dn = store.dn_of(id);
  if (!dn) return dn.status();
  out = format_name(*dn, name_context_of(ctx), ctx.flags);
  return 0;
}

void set_last_connection(NWDSContextHandle context, NWCONN_HANDLE h) {
  (void)with_context(context, [h](Context &c) -> NWDSCCODE {
    c.last_connection = static_cast<nint32>(h);
    return 0;
  });
}

/* The server holding the master replica of [Root] (else the first server). */
Expected<EntryId> home_server(Store &store) {
  auto m = master_of(store, store.root_id());
  if (m) return m;
  auto servers = store.find_by_value("Object Class", Value::text(SYN_CLASS_NAME, "NCP Server"));
  if (!servers) return fail(servers.status());
  if (servers->empty()) return fail(ERR_NO_SERVER_FOUND);
  return servers->front();
}

} // namespace

void forget_connections() {
  Table &t = table();
  std::lock_guard<std::mutex> g(t.m);
  t.conns.clear();
  t.monitored = 0;
  t.has_preferred_tree = false;
  t.preferred_tree.clear();
  t.store = nullptr;
  t.path.clear();
}

NWDSCCODE authenticate(NWCONN_HANDLE conn, nflag32, NWDS_Session_Key_T *) {
  Session s;
  EntryId server;
  if (NWDSCCODE st = begin_on(s, conn, server)) return st;
  return any_context_logged_in() ? 0 : ERR_NOT_LOGGED_IN;
}

NWDSCCODE get_monitored_connection(NWCONN_HANDLE *conn) {
  Session s;
  if (NWDSCCODE st = s.begin()) return st;
  EntryId server;
  if (s.t.monitored == 0 || server_of(s, s.t.monitored, server) != 0) return ERR_NO_CONNECTION;
  *conn = s.t.monitored;
  return 0;
}

NWDSCCODE get_monitored_conn_ref(NWDSContextHandle context, nuint32 *connRef) {
  if (!context_is_live(context)) return ERR_BAD_CONTEXT;
  NWCONN_HANDLE h = 0;
  if (NWDSCCODE st = get_monitored_connection(&h)) return st;
  *connRef = h;
  return 0;
}

NWDSCCODE open_monitored_conn(NWDSContextHandle context, NWCONN_HANDLE *connHandle) {
  if (!context_is_live(context)) return ERR_BAD_CONTEXT;
  NWCONN_HANDLE h;
  {
    Session s;
    if (NWDSCCODE st = s.begin()) return st;
    auto server = home_server(*s.store);
    if (!server) return server.status();
    h = open_handle(s, *server);
    s.t.monitored = h;
  }
  set_last_connection(context, h);
  *connHandle = h;
  return 0;
}

NWDSCCODE set_monitored_connection(NWCONN_HANDLE conn) {
  Session s;
  EntryId server;
  if (NWDSCCODE st = begin_on(s, conn, server)) return st;
  s.t.monitored = conn;
  return 0;
}

NWDSCCODE lock_connection(NWCONN_HANDLE conn) {
  Session s;
  EntryId server;
  if (NWDSCCODE st = begin_on(s, conn, server)) return st;
  nuint32 &locks = s.t.conns[conn].locks;
  if (locks == UINT32_MAX) return ERR_INVALID_REQUEST;
  ++locks;
  return 0;
}

NWDSCCODE unlock_connection(NWCONN_HANDLE conn) {
  Session s;
  EntryId server;
  if (NWDSCCODE st = begin_on(s, conn, server)) return st;
  nuint32 &locks = s.t.conns[conn].locks;
  if (locks == 0) return ERR_INVALID_REQUEST;
  --locks;
  return 0;
}

NWDSCCODE open_conn_to_nds_server(NWDSContextHandle context, const nstr8 *serverName,
                                  NWCONN_HANDLE *connHandle) {
  Context ctx;
  if (NWDSCCODE st = context_snapshot(context, ctx)) return st;
  NWCONN_HANDLE h;
  {
    Session s;
    if (NWDSCCODE st = s.begin()) return st;
    auto dn = parse_name(serverName, ctx.name_context, ctx.flags);
    if (!dn) return dn.status();
    auto id = s.store->find(*dn);
    if (!id) return id.status();
    if (!is_server(*s.store, *id)) return ERR_NO_SERVER_FOUND;
    h = open_handle(s, *id);
  }
  set_last_connection(context, h);
  *connHandle = h;
  return 0;
}

NWDSCCODE get_connection_info(NWCONN_HANDLE conn, nuint8 *connStatus, nuint8 *connType,
                              nuint8 *serverFlags, nuint8 *serverName, nuint8 *transType,
                              nuint32 *transLen, nuint8 *transAddr, nuint16 *distance,
                              nuint16 *maxPacketSize) {
  Session s;
  EntryId server;
  if (NWDSCCODE st = begin_on(s, conn, server)) return st;
  std::string name;
  if (NWDSCCODE st = server_name(*s.store, server, name)) return st;
  name = cut_utf8(name, NW_MAX_SERVER_NAME_LEN - 1);
  std::vector<Value> addrs;
  if (NWDSCCODE st = addresses_of(*s.store, server, addrs)) return st;
  nuint32 type = 0;
  std::string addr;
  if (!addrs.empty() && !addrs[0].nums.empty() && !addrs[0].blobs.empty()) {
    type = addrs[0].nums[0];
    addr = addrs[0].blobs[0].substr(0, MAX_NET_ADDRESS_BYTES);
  }
  const nuint32 locks = s.t.conns[conn].locks;
  if (connStatus != nullptr)
    *connStatus = static_cast<nuint8>(kConnStatusConnected |
                                      (any_context_logged_in() ? kConnStatusAuthenticated : 0) |
                                      (locks > 0 ? kConnStatusLocked : 0));
  if (connType != nullptr) *connType = kConnTypeDirectory;
  if (serverFlags != nullptr) *serverFlags = kServerFlagsDirectory;
  if (serverName != nullptr) std::memcpy(serverName, name.c_str(), name.size() + 1);
  if (transType != nullptr) *transType = static_cast<nuint8>(type);
  if (transLen != nullptr) *transLen = static_cast<nuint32>(addr.size());
  if (transAddr != nullptr && !addr.empty()) std::memcpy(transAddr, addr.data(), addr.size());
  if (distance != nullptr) *distance = 0;
  if (maxPacketSize != nullptr) *maxPacketSize = kMaxPacketSize;
  return 0;
}

NWDSCCODE get_connection_slot(nuint8, nuint8 transType, nuint32 transLen, nuint8 *transBuf,
                              NWCONN_HANDLE *conn) {
  if (transLen == 0) return ERR_NO_SERVER_FOUND;
  Session s;
  if (NWDSCCODE st = s.begin()) return st;
  auto servers = s.store->find_with_attribute("Network Address");
  if (!servers) return servers.status();
  for (EntryId server : *servers) {
    if (!is_server(*s.store, server)) continue;
    std::vector<Value> addrs;
    if (NWDSCCODE st = addresses_of(*s.store, server, addrs)) return st;
    for (const Value &v : addrs) {
      if (v.nums.empty() || v.blobs.empty() || v.nums[0] != transType) continue;
      const std::string &a = v.blobs[0];
      if (a.size() != transLen || static_cast<nuint8>(a[0]) != transBuf[0]) continue;
      *conn = open_handle(s, server);
      return 0;
    }
  }
  return ERR_NO_SERVER_FOUND;
}

NWDSCCODE get_ds_ver_info(NWCONN_HANDLE conn, nuint32 *dsVersion, nuint32 *rootMostEntryDepth,
                          pnstr8 sapName, nuint32 *flags, unicode *treeName) {
  Session s;
  EntryId server;
  if (NWDSCCODE st = begin_on(s, conn, server)) return st;
  std::string name;
  if (NWDSCCODE st = server_name(*s.store, server, name)) return st;
  name = cut_utf8(name, MAX_SAP_NAME_BYTES - 1);
  auto tree = s.store->tree_name();
  if (!tree) return tree.status();
  std::vector<unicode> units;
  if (!to_utf16(*tree, units) || units.size() + 1 > MAX_TREE_NAME_BYTES) return ERR_INVALID_DS_NAME;
  nuint32 depth = 0xFFFFFFFFu;
  auto reps = s.store->replicas_on(server);
  if (!reps) return reps.status();
  for (const Replica &r : *reps) {
    auto dn = s.store->dn_of(r.partition);
    if (!dn) return dn.status();
    if (dn->depth() < depth) depth = static_cast<nuint32>(dn->depth());
  }
  if (dsVersion != nullptr) *dsVersion = kDsVersion;
  if (rootMostEntryDepth != nullptr) *rootMostEntryDepth = depth;
  if (sapName != nullptr) std::memcpy(sapName, name.c_str(), name.size() + 1);
  if (flags != nullptr) *flags = 0;
  if (treeName != nullptr) {
    units.push_back(0);
    std::memcpy(treeName, units.data(), units.size() * sizeof(unicode));
  }
  return 0;
}

NWDSCCODE get_bindery_context(NWDSContextHandle context, NWCONN_HANDLE conn,
                              nuint8 *BinderyEmulationContext) {
  if (!context_is_live(context)) return ERR_BAD_CONTEXT;
  Session s;
  EntryId server;
  if (NWDSCCODE st = begin_on(s, conn, server)) return st;
  auto dn = s.store->dn_of(server);
  if (!dn) return dn.status();
  return put_text(format_dn(dn->parent()), BinderyEmulationContext, MAX_DN_BYTES,
                  ERR_INVALID_OBJECT_NAME);
}

NWCCODE get_num_connections(nuint16 *numConnections) {
  Session s;
  if (NWDSCCODE st = s.begin()) return st;
  nuint16 n = 0;
  for (auto it = s.t.conns.begin(); it != s.t.conns.end();) {
    EntryId server;
    auto next = std::next(it);
    if (server_of(s, it->first, server) == 0 && n < UINT16_MAX) ++n;
    it = next;
  }
  *numConnections = n;
  return 0;
}

NWDSCCODE get_server_dn(NWDSContextHandle context, NWCONN_HANDLE conn, pnstr8 serverDN) {
  Context ctx;
  if (NWDSCCODE st = context_snapshot(context, ctx)) return st;
  Session s;
  EntryId server;
  if (NWDSCCODE st = begin_on(s, conn, server)) return st;
  std::string name;
  if (NWDSCCODE st = name_for(*s.store, server, ctx, name)) return st;
  return put_text(name, serverDN, MAX_DN_BYTES, ERR_INVALID_OBJECT_NAME);
}

NWDSCCODE get_server_addresses(NWDSContextHandle context, NWCONN_HANDLE conn,
                               nuint32 *countNetAddress, pBuf_T netAddresses) {
  if (!context_is_live(context)) return ERR_BAD_CONTEXT;
  Session s;
  EntryId server;
  if (NWDSCCODE st = begin_on(s, conn, server)) return st;
  nuint32 count = 0;
  if (NWDSCCODE st = write_addresses(*s.store, server, netAddresses, count)) return st;
  *countNetAddress = count;
  return 0;
}

NWDSCCODE get_object_host_server_address(NWDSContextHandle context, const nstr8 *objectName,
                                         pnstr8 serverName, pBuf_T netAddresses) {
  Context ctx;
  if (NWDSCCODE st = context_snapshot(context, ctx)) return st;
  Session s;
  if (NWDSCCODE st = s.begin()) return st;
  auto dn = parse_name(objectName, ctx.name_context, ctx.flags);
  if (!dn) return dn.status();
  auto id = s.store->find(*dn);
  if (!id) return id.status();
  auto part = s.store->partition_of(*id);
  if (!part) return part.status();
  auto server = master_of(*s.store, *part);
  if (!server) return server.status();
  std::string name;
  if (NWDSCCODE st = name_for(*s.store, *server, ctx, name)) return st;
  if (name.size() + 1 > MAX_DN_BYTES) return ERR_INVALID_OBJECT_NAME;
  nuint32 count = 0;
  if (NWDSCCODE st = write_addresses(*s.store, *server, netAddresses, count)) return st;
  return put_text(name, serverName, MAX_DN_BYTES, ERR_INVALID_OBJECT_NAME);
}

nint32 is_ds_server(NWCONN_HANDLE conn, pnstr8 treeName) {
  Session s;
  if (s.begin() != 0) return 0;
  EntryId server;
  if (server_of(s, conn, server) != 0) return 0;
  std::string tree;
  if (tree_name_of(*s.store, tree) != 0) return 0;
  if (treeName != nullptr) std::memcpy(treeName, tree.c_str(), tree.size() + 1);
  return 1;
}

NWCCODE get_preferred_ds_server(NWCONN_HANDLE *conn) {
  Session s;
  if (NWDSCCODE st = s.begin()) return st;
  if (s.t.has_preferred_tree) {
    auto tree = s.store->tree_name();
    if (!tree) return tree.status();
    if (!ci_equal(*tree, s.t.preferred_tree)) return ERR_NO_SERVER_FOUND;
  }
  auto server = home_server(*s.store);
  if (!server) return server.status();
  *conn = open_handle(s, *server);
  return 0;
}

NWCCODE get_preferred_conn_name(nuint8 *preferredName, nuint8 *preferredType) {
  Session s;
  if (NWDSCCODE st = s.begin()) return st;
  std::string tree = s.t.preferred_tree;
  if (!s.t.has_preferred_tree)
    if (NWDSCCODE st = tree_name_of(*s.store, tree)) return st;
  if (NWDSCCODE st = put_text(tree, preferredName, MAX_TREE_NAME_BYTES, ERR_INVALID_DS_NAME))
    return st;
  *preferredType = kPreferredNameTree;
  return 0;
}

NWCCODE set_preferred_ds_tree(nuint16 length, const nuint8 *treeName) {
  const char *p = reinterpret_cast<const char *>(treeName);
  const std::string tree(p, strnlen(p, length));
  if (tree.empty() || tree.size() + 1 > MAX_TREE_NAME_BYTES ||
      count_chars(tree) > MAX_TREE_NAME_CHARS)
    return ERR_INVALID_DS_NAME;
  std::vector<unicode> units;
  if (!to_utf16(tree, units)) return ERR_INVALID_DS_NAME;
  Table &t = table();
  std::lock_guard<std::mutex> g(t.m);
  t.preferred_tree = tree;
  t.has_preferred_tree = true;
  return 0;
}

NWDSCCODE scan_conns_for_trees(NWDSContextHandle context, nuint32 numOfPtrs, nuint32 *numOfTrees,
                               pnstr8 *treeBufPtrs) {
  if (!context_is_live(context)) return ERR_BAD_CONTEXT;
  if (numOfPtrs > 0 && treeBufPtrs[0] == nullptr) return ERR_NULL_POINTER;
  Session s;
  if (NWDSCCODE st = s.begin()) return st;
  std::string tree;
  if (NWDSCCODE st = tree_name_of(*s.store, tree)) return st;
  if (numOfPtrs > 0) std::memcpy(treeBufPtrs[0], tree.c_str(), tree.size() + 1);
  *numOfTrees = 1;
  return 0;
}

NWDSCCODE scan_for_available_trees(NWDSContextHandle context, NWCONN_HANDLE connHandle,
                                   const nstr8 *scanFilter, nint32 *scanIndex, pnstr8 treeName) {
  if (!context_is_live(context)) return ERR_BAD_CONTEXT;
  Session s;
  if (NWDSCCODE st = s.begin()) return st;
  EntryId server;
  if (NWDSCCODE st = server_of(s, connHandle, server)) return st;
  std::string tree;
  if (NWDSCCODE st = tree_name_of(*s.store, tree)) return st;
  /* The first call passes -1 (all bits set); 0 is taken as a first call too. */
  if (*scanIndex != -1 && *scanIndex != 0) return ERR_NO_SUCH_ENTRY;
  if (scanFilter != nullptr && *scanFilter != '\0' &&
      !glob_match(fold_case(scanFilter), fold_case(tree)))
    return ERR_NO_SUCH_ENTRY;
  std::memcpy(treeName, tree.c_str(), tree.size() + 1);
  *scanIndex = 1;
  return 0;
}

NWDSCCODE map_id_to_name(NWDSContextHandle context, NWCONN_HANDLE conn, nuint32 objectID,
                         pnstr8 object) {
  Context ctx;
  if (NWDSCCODE st = context_snapshot(context, ctx)) return st;
  Session s;
  EntryId server;
  if (NWDSCCODE st = begin_on(s, conn, server)) return st;
  if (objectID == 0) return ERR_NO_SUCH_ENTRY;
  std::string name;
  if (NWDSCCODE st = name_for(*s.store, static_cast<EntryId>(objectID), ctx, name)) return st;
  return put_text(name, object, MAX_DN_BYTES, ERR_INVALID_OBJECT_NAME);
}

NWDSCCODE resolve_name_to_id(NWDSContextHandle context, const nstr8 *objectName,
                             NWCONN_HANDLE *conn, nuint32 *objectID) {
  Context ctx;
  if (NWDSCCODE st = context_snapshot(context, ctx)) return st;
  Session s;
  if (NWDSCCODE st = s.begin()) return st;
  auto dn = parse_name(objectName, ctx.name_context, ctx.flags);
  if (!dn) return dn.status();
  auto id = s.store->find(*dn);
  if (!id) return id.status();
  if (*id <= 0 || *id > static_cast<EntryId>(UINT32_MAX)) return ERR_SYSTEM_ERROR;
  auto part = s.store->partition_of(*id);
  if (!part) return part.status();
  auto server = master_of(*s.store, *part);
  if (!server) return server.status();
  *conn = open_handle(s, *server);
  *objectID = static_cast<nuint32>(*id);
  return 0;
}

} // namespace nwc
