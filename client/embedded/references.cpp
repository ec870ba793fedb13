/*
 * references.cpp - the engine of NWDSReadReferences.
 *
 * The references held for an entry are, in this client, the entries whose
 * values name it (values_naming: Member, Security Equals, ACL subjects,
 * Aliased Object Name, ...).  The result (DSV_READ_REFERENCES, laid out as
 * a search result, OBJECT_COUNT (OBJECT ATTR_COUNT (ATTR RESULT_VALUE*)*)*)
 * gives each such entry once, in entry-id order, with the attributes of it
 * that name the entry: all of them with allAttrs, else those named in
 * attrNames; DS_ATTRIBUTE_NAMES gives the names, DS_ATTRIBUTE_VALUES the
 * naming values too (other info types: ERR_INVALID_REQUEST).  timeFilter,
 * when not 0, keeps only values modified at or after it (seconds since
 * 1970).  serverName, when given, must name an NCP Server.  An object that
 * does not fit is continued through an iteration of DSV_READ_REFERENCES.
 * Rights (rights.h): the entry must be one the identity may browse; a
 * referring entry is given only when it may browse it too, and with only the
 * attributes it may read (compare, for names).
 */
#include <algorithm>
#include <map>

#include "entry_info.h"
#include "items.h"
#include "iteration.h"
#include "rights.h"

namespace nwc {

namespace {

struct RefObject {
  std::string full;
  Entry entry;
  nuint32 subordinates = 0;
  std::vector<std::pair<const AttrDef *, std::vector<std::string>>> attrs;
};

struct PendingRefs : IterationState {
  nuint32 info_type = DS_ATTRIBUTE_VALUES;
  std::vector<RefObject> objects;
  size_t next = 0;
};

} // namespace

NWDSCCODE read_references(NWDSContextHandle context, const nstr8 *serverName,
                          const nstr8 *objectName, nuint32 infoType, nbool8 allAttrs,
                          pBuf_T attrNames, nuint32 timeFilter, nint32 *iterationHandle,
                          pBuf_T objectInfo) {
  std::lock_guard<std::recursive_mutex> g(directory_lock());
  Op op;
  if (NWDSCCODE st = begin_op(context, op)) return st;
  std::unique_ptr<IterationState> state;
  if (*iterationHandle != NO_MORE_ITERATIONS) {
    if (NWDSCCODE st = take_iteration(DSV_READ_REFERENCES, context, *iterationHandle, state)) return st;
  } else {
    if (infoType != DS_ATTRIBUTE_NAMES && infoType != DS_ATTRIBUTE_VALUES) return ERR_INVALID_REQUEST;
    std::vector<std::string> wanted;
    if (!allAttrs) {
      if (attrNames == nullptr) return ERR_NULL_POINTER;
      std::vector<RequestAttr> req;
      const nuint32 verb = buffer_of(attrNames)->verb == DSV_SEARCH ? DSV_SEARCH : DSV_READ;
      if (NWDSCCODE st = request_attrs(attrNames, verb, req)) return st;
      for (const RequestAttr &r : req) wanted.push_back(fold_case(r.name));
    }
    Transaction tx(*op.store, Transaction::kRead);
    if (tx.status()) return tx.status();
    if (NWDSCCODE st = check_server_name(op, serverName)) return st;
    EntryId id = kNoEntry;
    if (NWDSCCODE st = find_entry(op, objectName, id)) return st;
    auto dn = op.store->dn_of(id);
    if (!dn) return dn.status();
    auto refs = op.store->values_naming(*dn, false);
    if (!refs) return refs.status();
    std::map<EntryId, RefObject> by_entry;
    std::map<EntryId, Privileges> rights;
    const nuint32 needed = infoType == DS_ATTRIBUTE_NAMES ? DS_ATTR_COMPARE : DS_ATTR_READ;
    for (const NameRef &r : *refs) {
      const AttrDef *a = op.schema->attribute_by_id(r.attr_id);
      if (a == nullptr || (a->flags & DS_HIDDEN_ATTR)) continue;
      auto held = rights.find(r.entry);
      if (held == rights.end()) {
        held = rights.emplace(r.entry, Privileges{}).first;
        if (NWDSCCODE st = effective_rights(*op.store, identity_of(op), r.entry, held->second)) return st;
      }
      if (!(held->second.entry & DS_ENTRY_BROWSE) || (held->second.attr(a->name) & needed) != needed) continue;
      if (!allAttrs && std::find(wanted.begin(), wanted.end(), fold_case(a->name)) == wanted.end()) continue;
      if (timeFilter != 0) {
        bool recent = false;
        auto vals = op.store->values(r.entry, a->name);
        if (!vals) return vals.status();
        for (const StoredValue &sv : *vals)
          recent = recent || (sv.id == r.seq && sv.mtime >= static_cast<int64_t>(timeFilter));
        if (!recent) continue;
      }
      RefObject &o = by_entry[r.entry];
      if (o.attrs.empty() || o.attrs.back().first != a) o.attrs.push_back({a, {}});
      o.attrs.back().second.push_back(encode_value(r.value));
    }
    auto fresh = std::make_unique<PendingRefs>();
    fresh->info_type = infoType;
    for (auto &[eid, o] : by_entry) {
      auto e = op.store->entry(eid);
      if (!e) return e.status();
      auto edn = op.store->dn_of(eid);
      if (!edn) return edn.status();
      auto subs = subordinate_count(op, eid, e->flags, e->cls);
      if (!subs) return subs.status();
      o.entry = *e;
      o.full = format_dn(*edn);
      o.subordinates = *subs;
      fresh->objects.push_back(std::move(o));
    }
    state = std::move(fresh);
  }
  auto &p = static_cast<PendingRefs &>(*state);
  Buffer &buf = *buffer_of(objectInfo);
  ResultWriter w(buf, DSV_READ_REFERENCES);
  const size_t count_at = w.next_index();
  if (!w.add_count(tag::OBJECT_COUNT, 0)) return ERR_INSUFFICIENT_BUFFER;
  const bool names_only = p.info_type == DS_ATTRIBUTE_NAMES;
  nuint32 given = 0;
  while (p.next < p.objects.size()) {
    const RefObject &o = p.objects[p.next];
    size_t cost = name_cost(o.full) + 4 * kNumberCost + name_cost(o.entry.cls) + kNumberCost;
    for (const auto &[a, vals] : o.attrs) {
      cost += ResultWriter::attr_cost(a->name);
      if (!names_only)
        for (const std::string &v : vals) cost += value_cost(v);
    }
    if (!w.fits(cost)) break;
    const nuint32 n = static_cast<nuint32>(o.attrs.size());
    w.add_object(o.full, n, object_flags(*op.schema, o.entry), o.subordinates,
                 static_cast<nuint32>(o.entry.mtime), o.entry.cls);
    w.add_count(tag::ATTR_COUNT, n);
    for (const auto &[a, vals] : o.attrs) {
      w.add_attr(a->name, names_only ? 0 : static_cast<nuint32>(vals.size()), a->syntax);
      if (!names_only)
        for (const std::string &v : vals) w.add_value(v, a->syntax);
    }
    ++given;
    ++p.next;
  }
  w.set_number(count_at, given);
  if (p.next >= p.objects.size()) {
    *iterationHandle = NO_MORE_ITERATIONS;
    return 0;
  }
  if (given == 0) {
    buf.reset(DSV_READ_REFERENCES);
    return ERR_INSUFFICIENT_BUFFER;
  }
  return open_iteration(DSV_READ_REFERENCES, context, std::move(state), *iterationHandle);
}

} // namespace nwc
