// Partitions (by their root entries) and replica rings.
#include "store/sql.h"
#include "store/store.h"

namespace nwc {
namespace {

constexpr uint32_t kMaxReplicaType = 3;  // master, secondary, read-only, subordinate reference

Expected<std::vector<Replica>> read_replicas(StoreStmt& q) {
  std::vector<Replica> out;
  int rc;
  while ((rc = q.step()) == SQLITE_ROW) {
    Replica r;
    r.partition = q.i64(0);
    r.server = q.i64(1);
    r.type = static_cast<uint32_t>(q.i64(2));
    r.number = static_cast<uint32_t>(q.i64(3));
    r.state = static_cast<uint32_t>(q.i64(4));
    out.push_back(r);
  }
  if (rc != SQLITE_DONE) return fail(sql_status(rc));
  return out;
}

}  // namespace

Expected<std::vector<EntryId>> Store::partitions() {
  StoreStmt q(*this, "SELECT root FROM partitions ORDER BY root");
  std::vector<EntryId> out;
  int rc;
  while ((rc = q.step()) == SQLITE_ROW) out.push_back(q.i64(0));
  if (rc != SQLITE_DONE) return fail(sql_status(rc));
  return out;
}

Expected<EntryId> Store::partition_of(EntryId id) {
  for (EntryId cur = id; cur != kNoEntry;) {
    StoreStmt q(*this, "SELECT 1 FROM partitions WHERE root = ?");
    const int rc = q.bind(1, cur).step();
    if (rc == SQLITE_ROW) return cur;
    if (rc != SQLITE_DONE) return fail(sql_status(rc));
    auto e = entry(cur);
    if (!e) return fail(e.status());
    cur = e->parent;
  }
  return fail(ERR_NO_SUCH_PARTITION);
}

Status Store::add_partition(EntryId root) {
  Transaction tx(*this);
  if (tx.status()) return tx.status();
  auto e = entry(root);
  if (!e) return e.status();
  {
    StoreStmt q(*this, "INSERT INTO partitions(root, state, ctime) VALUES(?, 0, ?)");
    const int rc = q.bind(1, root).bind(2, now_seconds()).step();
    if ((rc & 0xFF) == SQLITE_CONSTRAINT) return ERR_PARTITION_ALREADY_EXISTS;
    if (rc != SQLITE_DONE) return sql_status(rc);
  }
  if (Status st = set_entry_flags(root, e->flags | DS_PARTITION_ROOT)) return st;
  return tx.commit();
}

Status Store::remove_partition(EntryId root) {
  Transaction tx(*this);
  if (tx.status()) return tx.status();
  auto e = entry(root);
  if (!e) return e.status();
  {
    StoreStmt q(*this, "DELETE FROM partitions WHERE root = ?");
    if (Status st = q.bind(1, root).run()) return st;
    if (sqlite3_changes(db_) == 0) return ERR_NO_SUCH_PARTITION;
  }
  if (Status st = set_entry_flags(root, e->flags & ~uint32_t{DS_PARTITION_ROOT})) return st;
  return tx.commit();
}

Expected<std::vector<Replica>> Store::replicas(EntryId partition) {
  StoreStmt q(*this, "SELECT partition, server, type, number, state FROM replicas WHERE partition = ? ORDER BY number");
  q.bind(1, partition);
  return read_replicas(q);
}

Expected<std::vector<Replica>> Store::replicas_on(EntryId server) {
  StoreStmt q(*this, "SELECT partition, server, type, number, state FROM replicas WHERE server = ? ORDER BY partition");
  q.bind(1, server);
  return read_replicas(q);
}

Expected<uint32_t> Store::add_replica(EntryId partition, EntryId server, uint32_t type) {
  if (type > kMaxReplicaType) return fail(ERR_ILLEGAL_REPLICA_TYPE);
  Transaction tx(*this);
  if (tx.status()) return fail(tx.status());
  if (Status st = ensure_entry(server)) return fail(st);
  {
    StoreStmt q(*this, "SELECT 1 FROM partitions WHERE root = ?");
    if (q.bind(1, partition).step() != SQLITE_ROW) return fail(ERR_NO_SUCH_PARTITION);
  }
  {
    StoreStmt q(*this, "SELECT 1 FROM replicas WHERE partition = ? AND server = ?");
    if (q.bind(1, partition).bind(2, server).step() == SQLITE_ROW) return fail(ERR_REPLICA_ALREADY_EXISTS);
  }
  uint32_t number = 1;
  {
    StoreStmt q(*this, "SELECT coalesce(max(number), 0) + 1 FROM replicas WHERE partition = ?");
    if (q.bind(1, partition).step() != SQLITE_ROW) return fail(ERR_DATA_STORE_FAILURE);
    number = static_cast<uint32_t>(q.i64(0));
  }
  StoreStmt q(*this, "INSERT INTO replicas(partition, server, type, number, state) VALUES(?,?,?,?,0)");
  const int rc = q.bind(1, partition).bind(2, server).bind(3, int64_t{type}).bind(4, int64_t{number}).step();
  if ((rc & 0xFF) == SQLITE_CONSTRAINT) return fail(ERR_ILLEGAL_REPLICA_TYPE);  // a second master
  if (rc != SQLITE_DONE) return fail(sql_status(rc));
  if (Status st = tx.commit()) return fail(st);
  return number;
}

Status Store::remove_replica(EntryId partition, EntryId server) {
  Transaction tx(*this);
  if (tx.status()) return tx.status();
  {
    StoreStmt q(*this, "SELECT type FROM replicas WHERE partition = ? AND server = ?");
    const int rc = q.bind(1, partition).bind(2, server).step();
    if (rc == SQLITE_DONE) return ERR_REPLICA_NOT_ON;
    if (rc != SQLITE_ROW) return sql_status(rc);
    if (q.i64(0) == RT_MASTER) return ERR_CRUCIAL_REPLICA;
  }
  StoreStmt q(*this, "DELETE FROM replicas WHERE partition = ? AND server = ?");
  if (Status st = q.bind(1, partition).bind(2, server).run()) return st;
  return tx.commit();
}

Status Store::set_replica_type(EntryId partition, EntryId server, uint32_t type) {
  if (type > kMaxReplicaType) return ERR_ILLEGAL_REPLICA_TYPE;
  Transaction tx(*this);
  if (tx.status()) return tx.status();
  int64_t current = 0;
  {
    StoreStmt q(*this, "SELECT type FROM replicas WHERE partition = ? AND server = ?");
    const int rc = q.bind(1, partition).bind(2, server).step();
    if (rc == SQLITE_DONE) return ERR_REPLICA_NOT_ON;
    if (rc != SQLITE_ROW) return sql_status(rc);
    current = q.i64(0);
  }
  if (current == RT_MASTER && type != RT_MASTER) return ERR_CRUCIAL_REPLICA;  // name a new master instead
  if (type == RT_MASTER) {
    StoreStmt q(*this, "UPDATE replicas SET type = ? WHERE partition = ? AND type = ?");
    if (Status st = q.bind(1, int64_t{RT_SECONDARY}).bind(2, partition).bind(3, int64_t{RT_MASTER}).run()) return st;
  }
  StoreStmt q(*this, "UPDATE replicas SET type = ? WHERE partition = ? AND server = ?");
  if (Status st = q.bind(1, int64_t{type}).bind(2, partition).bind(3, server).run()) return st;
  return tx.commit();
}

}  // namespace nwc
