/*
 * read.cpp - the engine of NWDSRead.
 *
 * The first call takes a snapshot of the entry's attributes (those asked for,
 * or all with allAttrs; hidden attributes never) and fills the result buffer
 * from it up to the buffer's budget; what does not fit stays in an iteration
 * of DSV_READ, and each further call with its handle gives the next part.
 * Working from the snapshot, every value is given exactly once over all the
 * parts, whatever changes the entry meanwhile.  An attribute whose values are
 * cut is given again under its name in the next part with the rest.
 *
 * DS_ATTRIBUTE_NAMES gives each attribute with a value count of 0 and its
 * syntax id; DS_ATTRIBUTE_VALUES the values too; DS_EFFECTIVE_PRIVILEGES
 * each attribute with one value of syntax SYN_INTEGER, the privileges the
 * context's identity holds on it (rights.h), attributes it holds none on
 * left out.  Values need the read right, names the compare right: an
 * attribute without it is left out of an all-attributes read, and naming
 * one is ERR_NO_ACCESS.  An entry the identity may not browse is
 * ERR_NO_SUCH_ENTRY.  DS_VALUE_INFO and DS_ABBREVIATED_VALUE give the values
 * as DS_ATTRIBUTE_VALUES does, each with its value information
 * (value_info.h).  The result buffer need not be initialised by
 * the caller: the read initialises it for DSV_READ.  Names not known to the
 * schema, or without a value on the entry, are left out; when none of the
 * names asked for is present the read fails with ERR_NO_SUCH_ATTRIBUTE.
 * allAttrs false with no attrNames buffer reads the entry without attribute
 * information: a result of no attributes.  A name ending at an alias reads
 * the aliased entry when the context dereferences aliases.
 */
#include "aliases.h"
#include "call.h"
#include "entries.h"
#include "items.h"
#include "iteration.h"
#include "rights.h"
#include "value_info.h"

namespace nwc {

namespace {

using EncodedValue = Store::EncodedValue;

struct PendingRead : IterationState {
  struct Attr {
    std::string name;
    nuint32 syntax = 0;
    std::vector<std::string> values; /* encoded */
    std::vector<ValueInfo> info;     /* beside values, with value information */
    size_t next = 0;                 /* the first value not given yet */
  };
  nuint32 info_type = DS_ATTRIBUTE_VALUES;
  std::vector<Attr> attrs;
  size_t next = 0; /* the first attribute not finished */
};

NWDSCCODE snapshot(NWDSContextHandle context, const nstr8 *object, nuint32 infoType,
                   bool allAttrs, pBuf_T attrNames, PendingRead &out) {
  std::vector<std::string> wanted;
  const bool none = !allAttrs && attrNames == nullptr; /* the entry alone */
  if (!allAttrs && !none) {
    std::vector<RequestAttr> req;
    if (NWDSCCODE st = request_attrs(attrNames, DSV_READ, req)) return st;
    for (auto &r : req) wanted.push_back(fold_case(r.name));
  }
  Op op;
  if (NWDSCCODE st = begin_op(context, op, Transaction::kRead)) return st;
  auto dn = resolve(op, object);
  if (!dn) return dn.status();
  EntryRow found;
  if (NWDSCCODE st = locate_dn(op, *dn, Leaf::follow, found)) return st;
  const EntryId id = found.id;
  out.info_type = infoType;
  if (none) return check_browse(op, id, found.parent);
  /* The stored encoding is the one a result carries; value information
     needs the stored values' rows and times as well.  The values are read
     before the rights, which take the entry's ACL from them. */
  const bool with_info = carries_value_info(infoType);
  std::vector<EncodedValue> plain;
  std::vector<StoredValue> rows;
  Entry entry;
  Rdn rdn;
  if (with_info) {
    auto sv = op.store->values(id);
    if (!sv) return sv.status();
    rows = std::move(*sv);
    for (const StoredValue &v : rows) plain.push_back({v.attr_id, v.value.syntax, encode_value(v.value), {}, v.id, v.mtime});
    auto e = op.store->entry(id);
    if (!e) return e.status();
    entry = std::move(*e);
    if (id != op.store->root_id())
      if (auto r = parse_rdn(entry.rdn)) rdn = std::move(*r);
  } else {
    auto ev = allAttrs ? op.store->encoded_values(id)
                       : op.store->encoded_values(id, attrs_to_read(*op.schema, wanted));
    if (!ev) return ev.status();
    plain = std::move(*ev);
  }
  Privileges rights;
  const KnownEntry known{&plain, true, found.parent};
  if (NWDSCCODE st = effective_rights(*op.store, identity_of(op), id, rights, &known)) return st;
  if (!(rights.entry & DS_ENTRY_BROWSE)) return ERR_NO_SUCH_ENTRY;
  const bool privileges = infoType == DS_EFFECTIVE_PRIVILEGES;
  const nuint32 needed = infoType == DS_ATTRIBUTE_NAMES ? DS_ATTR_COMPARE : DS_ATTR_READ;
  const AttrDef *last = nullptr;
  bool last_given = false;
  for (size_t i = 0; i < plain.size(); ++i) {
    EncodedValue &v = plain[i];
    if (last == nullptr || v.attr_id != last->id) {
      last = op.schema->attribute_by_id(v.attr_id);
      last_given = last != nullptr && !(last->flags & DS_HIDDEN_ATTR);
      if (last_given && !allAttrs) {
        bool asked = false;
        const std::string key = fold_case(last->name);
        for (const auto &w : wanted) asked = asked || w == key;
        last_given = asked;
      }
      if (!last_given) continue;
      const nuint32 held = rights.attr(last->name);
      if (privileges ? held == 0 : (held & needed) != needed) {
        if (!allAttrs && !privileges) return ERR_NO_ACCESS;
        last_given = false;
        continue;
      }
      if (privileges) {
        out.attrs.push_back({last->name, SYN_INTEGER,
                             {encode_value(Value::integer(SYN_INTEGER, static_cast<int32_t>(held)))}, {}, 0});
        last_given = false; /* one value per attribute */
        continue;
      }
      out.attrs.push_back({last->name, last->syntax, {}, {}, 0});
    }
    if (!last_given) continue;
    out.attrs.back().values.push_back(std::move(v.data));
    if (with_info) out.attrs.back().info.push_back(value_info(entry, rdn, *last, rows[i], infoType));
  }
  if (!allAttrs && !wanted.empty() && out.attrs.empty()) return ERR_NO_SUCH_ATTRIBUTE;
  return 0;
}

/* Writes the next part of `r` into `buf`; false when the buffer cannot hold
   the attribute count, or not one attribute fitted although some remained. */
bool fill(PendingRead &r, Buffer &buf) {
  ResultWriter w(buf, DSV_READ);
  const size_t count_at = w.next_index();
  if (!w.add_count(tag::ATTR_COUNT, 0)) return false; /* not even the count fits */
  nuint32 given = 0;
  const bool names_only = r.info_type == DS_ATTRIBUTE_NAMES;
  while (r.next < r.attrs.size()) {
    PendingRead::Attr &a = r.attrs[r.next];
    if (names_only) {
      if (!w.add_attr(a.name, 0, a.syntax)) break;
      ++given;
      ++r.next;
      continue;
    }
    /* An attribute header goes in only with its first value. */
    const bool info = !a.info.empty();
    auto cost = [&](size_t k) {
      return info ? ResultWriter::value_info_cost(a.values[k]) : value_cost(a.values[k]);
    };
    auto add = [&](size_t k) {
      if (!info) return w.add_value(a.values[k], a.syntax);
      const ValueInfo &vi = a.info[k];
      return w.add_value_info(a.values[k], a.syntax, vi.flags, vi.seconds, vi.replica_event);
    };
    if (!w.fits(ResultWriter::attr_cost(a.name) + cost(a.next))) break;
    const size_t attr_at = w.next_index();
    w.add_attr(a.name, 0, a.syntax);
    ++given;
    nuint32 n = 0;
    while (a.next < a.values.size() && add(a.next)) {
      ++a.next;
      ++n;
    }
    w.set_number(attr_at, n);
    if (a.next < a.values.size()) break;
    ++r.next;
  }
  w.set_number(count_at, given);
  return given > 0 || r.next >= r.attrs.size();
}

} // namespace

NWDSCCODE read_entry(NWDSContextHandle context, const nstr8 *object, nuint32 infoType,
                     nbool8 allAttrs, pBuf_T attrNames, nint32 *iterationHandle,
                     pBuf_T objectInfo) {
  std::lock_guard<std::recursive_mutex> g(directory_lock());
  if (!context_is_live(context)) return ERR_BAD_CONTEXT;
  if (infoType > DS_ABBREVIATED_VALUE) return ERR_INVALID_REQUEST;
  std::unique_ptr<IterationState> state;
  if (*iterationHandle != NO_MORE_ITERATIONS) {
    if (NWDSCCODE st = take_iteration(DSV_READ, context, *iterationHandle, state)) return st;
  } else {
    auto fresh = std::make_unique<PendingRead>();
    if (NWDSCCODE st = snapshot(context, object, infoType, allAttrs != 0, attrNames, *fresh))
      return st;
    state = std::move(fresh);
  }
  auto &r = static_cast<PendingRead &>(*state);
  Buffer &out = *buffer_of(objectInfo);
  if (!fill(r, out)) {
    out.reset(DSV_READ);
    return ERR_INSUFFICIENT_BUFFER;
  }
  if (r.next >= r.attrs.size()) {
    *iterationHandle = NO_MORE_ITERATIONS;
    return 0;
  }
  return open_iteration(DSV_READ, context, std::move(state), *iterationHandle);
}

} // namespace nwc
