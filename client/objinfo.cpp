/*
 * objinfo.cpp - the engine of NWDSReadObjectInfo.
 *
 * The entry is found through the context (an alias is dereferenced when the
 * context's DCV_DEREF_ALIASES says so, and read as itself otherwise).  Its
 * name is written as the context shows names (as NWDSGetObjectName does);
 * a relative form that would not fit MAX_DN_BYTES is written as the full
 * name instead, which always fits, so the name is never cut.  The record
 * gets the object flags, subordinate count, modification time and base
 * class, as a listing gives them.
 */
#include <cstring>

#include "aliases.h"
#include "entry_info.h"
#include "items.h"

namespace nwc {

nuint32 object_flags(const Schema &schema, const Entry &e) {
  nuint32 flags = e.flags & (DS_ALIAS_ENTRY | DS_PARTITION_ROOT | DS_CONTAINER_ENTRY);
  if (is_alias(schema, e)) flags |= DS_ALIAS_ENTRY;
  if (schema.is_container(e.cls)) flags |= DS_CONTAINER_ENTRY;
  return flags;
}

NWDSCCODE check_server_name(const Op &op, const nstr8 *serverName) {
  if (serverName == nullptr || *serverName == '\0') return 0;
  EntryId id = kNoEntry;
  if (NWDSCCODE st = find_entry(op, serverName, id)) return st;
  auto e = op.store->entry(id);
  if (!e) return e.status();
  return op.schema->is_a(e->cls, "NCP Server") ? 0 : ERR_NO_SUCH_ENTRY;
}

NWDSCCODE read_object_info(NWDSContextHandle context, const nstr8 *object,
                           pnstr8 distinguishedName, Object_Info_T *objectInfo) {
  std::lock_guard<std::recursive_mutex> g(directory_lock());
  Op op;
  if (NWDSCCODE st = begin_op(context, op)) return st;
  Transaction tx(*op.store, Transaction::kRead);
  if (tx.status()) return tx.status();
  EntryId id = kNoEntry;
  if (NWDSCCODE st = find_entry(op, object, id)) return st;
  auto e = op.store->entry(id);
  if (!e) return e.status();
  auto dn = op.store->dn_of(id);
  if (!dn) return dn.status();
  auto subs = op.store->child_count(id);
  if (!subs) return subs.status();
  std::string name = format_name(*dn, name_context_of(op.ctx), op.ctx.flags);
  if (name.size() + 1 > MAX_DN_BYTES) name = format_dn(*dn, (op.ctx.flags & DCV_TYPELESS_NAMES) != 0);
  if (name.size() + 1 > MAX_DN_BYTES) return ERR_INVALID_OBJECT_NAME;
  std::memcpy(distinguishedName, name.c_str(), name.size() + 1);
  std::memset(objectInfo, 0, sizeof *objectInfo);
  objectInfo->objectFlags = object_flags(*op.schema, *e);
  objectInfo->subordinateCount = *subs;
  objectInfo->modificationTime = static_cast<nuint32>(e->mtime);
  const size_t n = std::min(e->cls.size(), sizeof objectInfo->baseClass - 1);
  std::memcpy(objectInfo->baseClass, e->cls.data(), n);
  return 0;
}

} // namespace nwc
