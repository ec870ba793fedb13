/*
 * partitions_api.cpp - the engines of the public partition and replica
 * functions; what they do and the codes they give are in partitions_api.h.
 */
#include "partitions_api.h"

#include <cstring>
#include <string>
#include <vector>

#include "entries.h"
#include "items.h"
#include "iteration.h"
#include "rights.h"

namespace nwc {

namespace {

/* An existing NCP Server. */
NWDSCCODE find_server(const Op &op, const nstr8 *name, EntryId &id) {
  if (NWDSCCODE st = find_entry(op, name, id)) return st;
  auto e = op.store->entry(id);
  if (!e) return e.status();
  if (!op.schema->is_a(e->cls, "NCP Server")) return ERR_NO_SERVER_FOUND;
  return 0;
}

Expected<bool> is_partition_root(Store &store, EntryId id) {
  auto all = store.partitions();
  if (!all) return fail(all.status());
  for (EntryId p : *all)
    if (p == id) return true;
  return false;
}

/* An existing partition, named by its root, that the context's identity
   supervises (ERR_NO_ACCESS otherwise). */
NWDSCCODE find_partition(const Op &op, const nstr8 *name, EntryId &id) {
  if (NWDSCCODE st = find_entry(op, name, id)) return st;
  auto is_root = is_partition_root(*op.store, id);
  if (!is_root) return is_root.status();
  if (!*is_root) return ERR_NOT_ROOT_PARTITION;
  return check_entry(op, id, DS_ENTRY_SUPERVISOR);
}

/* The partition and server of a replica call; the server need not hold a
   replica. */
NWDSCCODE find_ring_and_server(const Op &op, const nstr8 *partition, const nstr8 *server,
                               EntryId &part, EntryId &srv) {
  if (NWDSCCODE st = find_partition(op, partition, part)) return st;
  return find_server(op, server, srv);
}

NWDSCCODE holds_replica(Store &store, EntryId part, EntryId srv) {
  auto ring = store.replicas(part);
  if (!ring) return ring.status();
  for (const Replica &r : *ring)
    if (r.server == srv) return 0;
  return ERR_REPLICA_NOT_ON;
}

bool known_type(nuint32 type) {
  return type == RT_MASTER || type == RT_SECONDARY || type == RT_READONLY;
}

/* Opens the operation under the directory lock the caller holds. */
NWDSCCODE start(NWDSContextHandle context, Op &op) {
  if (!context_is_live(context)) return ERR_BAD_CONTEXT;
  return begin_op(context, op);
}

/* The partition holding the parent of `root` (a partition root that is not
   the top one); ERR_INVALID_REQUEST for the top partition. */
NWDSCCODE parent_partition(Store &store, EntryId root, EntryId &parent) {
  auto e = store.entry(root);
  if (!e) return e.status();
  if (e->parent == kNoEntry) return ERR_INVALID_REQUEST;
  auto p = store.partition_of(e->parent);
  if (!p) return p.status() == ERR_NO_SUCH_PARTITION ? ERR_INVALID_REQUEST : p.status();
  parent = *p;
  return 0;
}

/* Makes `root` a partition root whose ring copies `ring` (by replica
   number). */
NWDSCCODE make_partition(Store &store, EntryId root, const std::vector<Replica> &ring) {
  auto e = store.entry(root);
  if (!e) return e.status();
  if (!(e->flags & DS_CONTAINER_ENTRY)) return ERR_ENTRY_NOT_CONTAINER;
  if (Status st = store.add_partition(root)) return st;
  for (const Replica &r : ring) {
    auto n = store.add_replica(root, r.server, r.type);
    if (!n) return n.status();
  }
  return 0;
}

/* Merges the partition rooted at `root` into its parent partition. */
NWDSCCODE merge_into_parent(Store &store, EntryId root) {
  EntryId parent = kNoEntry;
  if (NWDSCCODE st = parent_partition(store, root, parent)) return st;
  return store.remove_partition(root); /* its replicas go with it */
}

/* ---- listing --------------------------------------------------------------------- */

struct PendingPartitions : IterationState {
  EntryId server = kNoEntry;
  EntryId after = kNoEntry; /* the last partition given */
};

NWDSCCODE fill_partitions(const Op &op, PendingPartitions &l, Buffer &buf, bool &more) {
  more = false;
  ResultWriter w(buf, DSV_LIST_PARTITIONS);
  Transaction tx(*op.store, Transaction::kRead);
  if (tx.status()) return tx.status();
  auto server_dn = op.store->dn_of(l.server);
  if (!server_dn) return server_dn.status();
  const size_t server_at = w.next_index();
  if (!w.add_server(format_dn(*server_dn), 0)) return ERR_INSUFFICIENT_BUFFER;
  auto held = op.store->replicas_on(l.server);
  if (!held) return held.status();
  nuint32 given = 0;
  for (const Replica &r : *held) {
    if (r.partition <= l.after) continue;
    auto root = op.store->dn_of(r.partition);
    if (!root) return root.status();
    if (!w.add_partition(format_dn(*root), r.type)) {
      more = true;
      break;
    }
    l.after = r.partition;
    ++given;
  }
  w.set_number(server_at, given);
  if (more && given == 0) return ERR_INSUFFICIENT_BUFFER;
  return 0;
}

} // namespace

NWDSCCODE add_partition(NWDSContextHandle context, const nstr8 *server,
                        const nstr8 *partitionRoot, nint32 *iterationHandle, nbool8 /*more*/,
                        pBuf_T /*objectInfo*/) {
  std::lock_guard<std::recursive_mutex> g(directory_lock());
  Op op;
  if (NWDSCCODE st = start(context, op)) return st;
  EntryId srv = kNoEntry, root = kNoEntry;
  if (NWDSCCODE st = find_server(op, server, srv)) return st;
  if (NWDSCCODE st = find_entry(op, partitionRoot, root)) return st;
  if (NWDSCCODE st = check_entry(op, root, DS_ENTRY_SUPERVISOR)) return st;
  Transaction tx(*op.store);
  if (tx.status()) return tx.status();
  Replica master;
  master.server = srv;
  master.type = RT_MASTER;
  if (NWDSCCODE st = make_partition(*op.store, root, {master})) return st;
  if (Status st = tx.commit()) return st;
  if (iterationHandle != nullptr) *iterationHandle = NO_MORE_ITERATIONS;
  return 0;
}

NWDSCCODE remove_partition(NWDSContextHandle context, const nstr8 *partitionRoot) {
  std::lock_guard<std::recursive_mutex> g(directory_lock());
  Op op;
  if (NWDSCCODE st = start(context, op)) return st;
  EntryId root = kNoEntry;
  if (NWDSCCODE st = find_partition(op, partitionRoot, root)) return st;
  Transaction tx(*op.store);
  if (tx.status()) return tx.status();
  EntryId parent = kNoEntry;
  if (NWDSCCODE st = parent_partition(*op.store, root, parent)) return st;
  auto ring = op.store->replicas(root);
  if (!ring) return ring.status();
  for (const Replica &r : *ring)
    if (r.type != RT_MASTER) return ERR_MULTIPLE_REPLICAS;
  auto all = op.store->partitions();
  if (!all) return all.status();
  for (EntryId p : *all) {
    if (p == root) continue;
    auto e = op.store->entry(p);
    if (!e) return e.status();
    if (e->parent == kNoEntry) continue;
    auto above = op.store->partition_of(e->parent);
    if (!above) return above.status();
    if (*above == root) return ERR_NOT_LEAF_PARTITION;
  }
  if (NWDSCCODE st = merge_into_parent(*op.store, root)) return st;
  return tx.commit();
}

NWDSCCODE split_partition(NWDSContextHandle context, const nstr8 *subordinatePartition,
                          nflag32 /*flags*/) {
  std::lock_guard<std::recursive_mutex> g(directory_lock());
  Op op;
  if (NWDSCCODE st = start(context, op)) return st;
  EntryId root = kNoEntry;
  if (NWDSCCODE st = find_entry(op, subordinatePartition, root)) return st;
  if (NWDSCCODE st = check_entry(op, root, DS_ENTRY_SUPERVISOR)) return st;
  Transaction tx(*op.store);
  if (tx.status()) return tx.status();
  auto holder = op.store->partition_of(root);
  if (!holder) return holder.status();
  if (*holder == root) return ERR_PARTITION_ALREADY_EXISTS;
  auto ring = op.store->replicas(*holder);
  if (!ring) return ring.status();
  if (NWDSCCODE st = make_partition(*op.store, root, *ring)) return st;
  return tx.commit();
}

NWDSCCODE join_partitions(NWDSContextHandle context, const nstr8 *subordinatePartition,
                          nflag32 /*flags*/) {
  std::lock_guard<std::recursive_mutex> g(directory_lock());
  Op op;
  if (NWDSCCODE st = start(context, op)) return st;
  EntryId root = kNoEntry;
  if (NWDSCCODE st = find_partition(op, subordinatePartition, root)) return st;
  Transaction tx(*op.store);
  if (tx.status()) return tx.status();
  if (NWDSCCODE st = merge_into_parent(*op.store, root)) return st;
  return tx.commit();
}

NWDSCCODE abort_partition_operation(NWDSContextHandle context, const nstr8 *partitionRoot) {
  std::lock_guard<std::recursive_mutex> g(directory_lock());
  Op op;
  if (NWDSCCODE st = start(context, op)) return st;
  EntryId root = kNoEntry;
  if (NWDSCCODE st = find_partition(op, partitionRoot, root)) return st;
  return ERR_CANNOT_ABORT;
}

NWDSCCODE get_partition_root(NWDSContextHandle context, const nstr8 *objectName,
                             pnstr8 partitionRoot) {
  std::lock_guard<std::recursive_mutex> g(directory_lock());
  Op op;
  if (NWDSCCODE st = start(context, op)) return st;
  EntryId id = kNoEntry;
  if (NWDSCCODE st = find_entry(op, objectName, id)) return st;
  Transaction tx(*op.store, Transaction::kRead);
  if (tx.status()) return tx.status();
  auto root = op.store->partition_of(id);
  if (!root) return root.status();
  auto dn = op.store->dn_of(*root);
  if (!dn) return dn.status();
  const std::string name = format_name(*dn, name_context_of(op.ctx), op.ctx.flags);
  if (name.size() + 1 > MAX_DN_BYTES) return ERR_INVALID_OBJECT_NAME;
  std::memcpy(partitionRoot, name.c_str(), name.size() + 1);
  return 0;
}

NWDSCCODE list_partitions(NWDSContextHandle context, nint32 *iterationHandle,
                          const nstr8 *server, pBuf_T partitions) {
  std::lock_guard<std::recursive_mutex> g(directory_lock());
  Op op;
  if (NWDSCCODE st = start(context, op)) return st;
  std::unique_ptr<IterationState> state;
  if (*iterationHandle != NO_MORE_ITERATIONS) {
    if (NWDSCCODE st = resume_iteration(DSV_LIST_PARTITIONS, context, *iterationHandle, op.store->path(), state))
      return st;
  } else {
    auto fresh = std::make_unique<PendingPartitions>();
    if (NWDSCCODE st = find_server(op, server, fresh->server)) return st;
    fresh->store_path = op.store->path();
    state = std::move(fresh);
  }
  auto &l = static_cast<PendingPartitions &>(*state);
  Buffer &out = *buffer_of(partitions);
  bool more = false;
  if (NWDSCCODE st = fill_partitions(op, l, out, more)) {
    out.reset(DSV_LIST_PARTITIONS);
    return st;
  }
  return keep_or_finish(DSV_LIST_PARTITIONS, context, std::move(state), more, iterationHandle, out);
}

NWDSCCODE repair_time_stamps(NWDSContextHandle context, const nstr8 *partitionRoot) {
  std::lock_guard<std::recursive_mutex> g(directory_lock());
  Op op;
  if (NWDSCCODE st = start(context, op)) return st;
  EntryId root = kNoEntry;
  return find_partition(op, partitionRoot, root);
}

NWDSCCODE add_replica(NWDSContextHandle context, const nstr8 *server,
                      const nstr8 *partitionRoot, nuint32 replicaType) {
  std::lock_guard<std::recursive_mutex> g(directory_lock());
  Op op;
  if (NWDSCCODE st = start(context, op)) return st;
  if (!known_type(replicaType)) return ERR_INVALID_REPLICA_TYPE;
  EntryId part = kNoEntry, srv = kNoEntry;
  if (NWDSCCODE st = find_ring_and_server(op, partitionRoot, server, part, srv)) return st;
  Transaction tx(*op.store);
  if (tx.status()) return tx.status();
  const nuint32 first = replicaType == RT_MASTER ? RT_SECONDARY : replicaType;
  auto n = op.store->add_replica(part, srv, first);
  if (!n) return n.status();
  if (replicaType == RT_MASTER)
    if (Status st = op.store->set_replica_type(part, srv, RT_MASTER)) return st;
  return tx.commit();
}

NWDSCCODE remove_replica(NWDSContextHandle context, const nstr8 *server,
                         const nstr8 *partitionRoot) {
  std::lock_guard<std::recursive_mutex> g(directory_lock());
  Op op;
  if (NWDSCCODE st = start(context, op)) return st;
  EntryId part = kNoEntry, srv = kNoEntry;
  if (NWDSCCODE st = find_ring_and_server(op, partitionRoot, server, part, srv)) return st;
  return op.store->remove_replica(part, srv);
}

NWDSCCODE change_replica_type(NWDSContextHandle context, const nstr8 *replicaName,
                              const nstr8 *server, nuint32 newReplicaType) {
  std::lock_guard<std::recursive_mutex> g(directory_lock());
  Op op;
  if (NWDSCCODE st = start(context, op)) return st;
  if (!known_type(newReplicaType)) return ERR_INVALID_REPLICA_TYPE;
  EntryId part = kNoEntry, srv = kNoEntry;
  if (NWDSCCODE st = find_ring_and_server(op, replicaName, server, part, srv)) return st;
  return op.store->set_replica_type(part, srv, newReplicaType);
}

NWDSCCODE sync_partition(NWDSContextHandle context, const nstr8 *server,
                         const nstr8 *partition, nuint32 /*seconds*/) {
  std::lock_guard<std::recursive_mutex> g(directory_lock());
  Op op;
  if (NWDSCCODE st = start(context, op)) return st;
  EntryId part = kNoEntry, srv = kNoEntry;
  if (NWDSCCODE st = find_ring_and_server(op, partition, server, part, srv)) return st;
  return holds_replica(*op.store, part, srv);
}

NWDSCCODE partition_receive_all_updates(NWDSContextHandle context, const nstr8 *partitionRoot,
                                        const nstr8 *serverName) {
  std::lock_guard<std::recursive_mutex> g(directory_lock());
  Op op;
  if (NWDSCCODE st = start(context, op)) return st;
  EntryId part = kNoEntry, srv = kNoEntry;
  if (NWDSCCODE st = find_ring_and_server(op, partitionRoot, serverName, part, srv)) return st;
  return holds_replica(*op.store, part, srv);
}

NWDSCCODE partition_send_all_updates(NWDSContextHandle context, const nstr8 *partitionRoot,
                                     const nstr8 *serverName) {
  return partition_receive_all_updates(context, partitionRoot, serverName);
}

NWDSCCODE reload_ds(NWDSContextHandle context, const nstr8 *serverName) {
  std::lock_guard<std::recursive_mutex> g(directory_lock());
  Op op;
  if (NWDSCCODE st = start(context, op)) return st;
  EntryId srv = kNoEntry;
  return find_server(op, serverName, srv);
}

} // namespace nwc
