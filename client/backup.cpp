/*
 * backup.cpp - the engines of NWDSBackupObject and NWDSRestoreObject.
 *
 * Backup data is text (printable ASCII, lines ended by a line feed):
 *
 *   NWC-BACKUP 1
 *   class <hex of the base class>
 *   rdn <hex of the entry's RDN, typed, as the entry's name has it>
 *   value <syntax id> <hex of the attribute name> <hex of the encoded value>
 *   ...                               (every value of the entry, ACLs too)
 *   end <number of value lines> <FNV-1a 64 of all the bytes before "end", hex>
 *
 * The names inside values are full typed names.  Passwords are not entry
 * values and are not in a backup.
 *
 * NWDSBackupObject takes the text on its first call and gives it in the
 * result buffer (initialised for DSV_BACKUP_ENTRY) as one attribute,
 * ATTR_COUNT 1, ATTR "Backup Data" (syntax Case Exact String) with as many
 * values as fit, each a piece of the text: NWDSGetAttrCount, NWDSGetAttrName
 * and NWDSGetAttrVal read it.  What does not fit follows through an
 * iteration of DSV_BACKUP_ENTRY; the pieces of all parts, joined in order,
 * are the backup data.  The entry backed up is the one the name gives (an
 * alias itself when the name ends at one).
 *
 * Rights (rights.h): a backup needs the read right on every attribute the
 * entry has a value of (ERR_NO_ACCESS otherwise: a backup never leaves a
 * value out); a restore needs browse and add on the parent, as an add does.
 *
 * NWDSRestoreObject takes the data in one call or in several (`more` set on
 * all but the last; the parts are kept in an iteration of DSV_RESTORE_ENTRY,
 * at most kMaxRestoreBytes in all) and, on the last, adds the entry under
 * `objectName` with the backup's class and values in one transaction.  An
 * RDN whose type was only inferred gets the backup's naming type when the
 * class names entries by it; when the name differs from the backup's, the
 * old RDN's naming values are left out.  Refused, changing nothing:
 *  - data that is not a whole backup of this form (foreign, truncated,
 *    altered: a checksum, count or line that does not agree):
 *    ERR_INVALID_REQUEST;
 *  - an entry already at the name: ERR_ENTRY_ALREADY_EXISTS; a parent that
 *    does not exist: ERR_NO_SUCH_ENTRY, or may not contain the class:
 *    ERR_ILLEGAL_CONTAINMENT;
 *  - a class or attribute the schema no longer has (ERR_NO_SUCH_CLASS,
 *    ERR_NO_SUCH_ATTRIBUTE), a value of another syntax than its attribute's
 *    now (ERR_SYNTAX_VIOLATION), an attribute the class does not allow
 *    (ERR_ILLEGAL_ATTRIBUTE), a mandatory attribute without value
 *    (ERR_MISSING_MANDATORY).
 */
#include <cstdio>

#include "aliases.h"
#include "entry_info.h"
#include "items.h"
#include "iteration.h"
#include "rights.h"

namespace nwc {

namespace {

constexpr const char *kMagic = "NWC-BACKUP 1";
constexpr const char *kDataAttr = "Backup Data";
constexpr size_t kMaxPiece = 4096;
constexpr size_t kMaxRestoreBytes = size_t{64} << 20;

/* A backup gives every value of the entry, so it needs the read right on
   every attribute the entry has a value of; a restore is an add and needs
   the add right on the parent (browse was checked when it was found). */
NWDSCCODE may_back_up(const Op &op, EntryId entry) {
  Privileges rights;
  if (NWDSCCODE st = effective_rights(*op.store, identity_of(op), entry, rights)) return st;
  auto values = op.store->values(entry);
  if (!values) return values.status();
  for (const StoredValue &sv : *values)
    if ((rights.attr(sv.attr) & DS_ATTR_READ) != DS_ATTR_READ) return ERR_NO_ACCESS;
  return 0;
}
NWDSCCODE may_restore(const Op &op, EntryId parent) { return check_entry(op, parent, DS_ENTRY_ADD); }

uint64_t fnv1a(std::string_view s) {
  uint64_t h = 14695981039346656037ull;
  for (unsigned char c : s) {
    h ^= c;
    h *= 1099511628211ull;
  }
  return h;
}

std::string hex(std::string_view s) {
  static const char *d = "0123456789ABCDEF";
  std::string out;
  out.reserve(2 * s.size());
  for (unsigned char c : s) {
    out += d[c >> 4];
    out += d[c & 15];
  }
  return out;
}

bool unhex(std::string_view s, std::string &out) {
  if (s.size() % 2) return false;
  auto nib = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
  };
  out.clear();
  for (size_t i = 0; i < s.size(); i += 2) {
    int a = nib(s[i]), b = nib(s[i + 1]);
    if (a < 0 || b < 0) return false;
    out += static_cast<char>(a << 4 | b);
  }
  return true;
}

std::vector<std::string_view> words(std::string_view line) {
  std::vector<std::string_view> out;
  size_t i = 0;
  while (i <= line.size()) {
    size_t j = line.find(' ', i);
    if (j == std::string_view::npos) j = line.size();
    out.push_back(line.substr(i, j - i));
    i = j + 1;
  }
  return out;
}

struct PendingBackup : IterationState {
  std::string text;
  size_t next = 0;
};

struct PendingRestore : IterationState {
  std::string data;
};

NWDSCCODE make_backup(const Op &op, EntryId id, std::string &out) {
  auto e = op.store->entry(id);
  if (!e) return e.status();
  auto values = op.store->values(id);
  if (!values) return values.status();
  out = std::string(kMagic) + "\n";
  out += "class " + hex(e->cls) + "\n";
  out += "rdn " + hex(e->rdn) + "\n";
  size_t n = 0;
  for (const StoredValue &sv : *values) {
    out += "value " + std::to_string(sv.value.syntax) + " " + hex(sv.attr) + " " +
           hex(encode_value(sv.value)) + "\n";
    ++n;
  }
  char tail[64];
  std::snprintf(tail, sizeof tail, "end %zu %016llX\n", n,
                static_cast<unsigned long long>(fnv1a(out)));
  out += tail;
  return 0;
}

/* Writes the next part of `b` into `buf`. */
NWDSCCODE fill(PendingBackup &b, Buffer &buf) {
  ResultWriter w(buf, DSV_BACKUP_ENTRY);
  if (!w.add_count(tag::ATTR_COUNT, 1)) return ERR_INSUFFICIENT_BUFFER;
  const size_t attr_at = w.next_index();
  if (!w.add_attr(kDataAttr, 0, SYN_CE_STRING)) return ERR_INSUFFICIENT_BUFFER;
  nuint32 given = 0;
  while (b.next < b.text.size()) {
    size_t n = std::min(kMaxPiece, b.text.size() - b.next);
    const size_t room = buf.room();
    const size_t overhead = value_cost(encode_value(Value::text(SYN_CE_STRING, "")));
    if (room < overhead + 4) break;
    n = std::min(n, room - overhead - 3);
    std::string enc = encode_value(Value::text(SYN_CE_STRING, b.text.substr(b.next, n)));
    while (n > 0 && !w.fits(value_cost(enc))) {
      --n;
      enc = encode_value(Value::text(SYN_CE_STRING, b.text.substr(b.next, n)));
    }
    if (n == 0 || !w.add_value(enc, SYN_CE_STRING)) break;
    b.next += n;
    ++given;
  }
  w.set_number(attr_at, given);
  return given > 0 || b.next >= b.text.size() ? 0 : ERR_INSUFFICIENT_BUFFER;
}

struct Parsed {
  std::string cls;
  Rdn rdn;
  std::vector<NewValue> values;
};

/* Reads backup data; ERR_INVALID_REQUEST for anything that is not one. */
NWDSCCODE parse_backup(const Schema &s, std::string_view data, Parsed &out) {
  const size_t end_at = data.rfind("\nend ");
  if (data.substr(0, std::string_view(kMagic).size() + 1) != std::string(kMagic) + "\n" ||
      end_at == std::string_view::npos || data.empty() || data.back() != '\n')
    return ERR_INVALID_REQUEST;
  const std::string_view body = data.substr(0, end_at + 1);
  const auto tail = words(data.substr(end_at + 1, data.size() - end_at - 2));
  char sum[32];
  std::snprintf(sum, sizeof sum, "%016llX", static_cast<unsigned long long>(fnv1a(body)));
  if (tail.size() != 3 || tail[2] != sum) return ERR_INVALID_REQUEST;
  size_t lines = 0, pos = 0;
  bool have_class = false, have_rdn = false;
  std::vector<std::pair<const AttrDef *, Value>> values;
  while (pos < body.size()) {
    const size_t nl = body.find('\n', pos);
    const std::string_view line = body.substr(pos, nl - pos);
    pos = nl + 1;
    if (lines++ == 0) continue; /* the magic */
    const auto w = words(line);
    std::string a, b;
    if (w.size() == 2 && w[0] == "class" && !have_class && unhex(w[1], a)) {
      out.cls = a;
      have_class = true;
    } else if (w.size() == 2 && w[0] == "rdn" && !have_rdn && unhex(w[1], a)) {
      auto r = parse_rdn(a);
      if (!r) return ERR_INVALID_REQUEST;
      out.rdn = *r;
      have_rdn = true;
    } else if (w.size() == 4 && w[0] == "value" && unhex(w[2], a) && unhex(w[3], b)) {
      unsigned long syn = 0;
      if (std::sscanf(std::string(w[1]).c_str(), "%lu", &syn) != 1 || syn >= kSyntaxCount)
        return ERR_INVALID_REQUEST;
      auto v = decode_value(static_cast<uint32_t>(syn), b);
      if (!v) return ERR_INVALID_REQUEST;
      const AttrDef *def = s.attribute(a);
      if (def == nullptr) return ERR_NO_SUCH_ATTRIBUTE;
      if (def->syntax != syn) return ERR_SYNTAX_VIOLATION;
      values.push_back({def, std::move(*v)});
    } else {
      return ERR_INVALID_REQUEST;
    }
  }
  if (!have_class || !have_rdn || tail[1] != std::to_string(values.size())) return ERR_INVALID_REQUEST;
  for (auto &[def, v] : values) {
    if (Status st = normalise_value(v)) return st;
    if (Status st = s.check_value(*def, v)) return st;
    out.values.push_back({def->name, std::move(v)});
  }
  return 0;
}

bool in_list(const std::vector<std::string> &list, std::string_view name) {
  for (const auto &n : list)
    if (ci_equal(n, name)) return true;
  return false;
}

NWDSCCODE apply_restore(Op &op, const char *objectName, std::string_view data) {
  const Schema &s = *op.schema;
  Parsed p;
  if (NWDSCCODE st = parse_backup(s, data, p)) return st;
  const ClassDef *c = s.class_def(p.cls);
  if (c == nullptr) return ERR_NO_SUCH_CLASS;
  if (!(c->flags & DS_EFFECTIVE_CLASS)) return ERR_NOT_EFFECTIVE_CLASS;
  auto dn = resolve(op, objectName);
  if (!dn) return dn.status();
  if (dn->is_root()) return ERR_CANT_ADD_ROOT;
  EntryId parent = kNoEntry;
  if (NWDSCCODE st = find_dn(op, dn->parent(), Leaf::follow, parent)) return st;
  if (NWDSCCODE st = may_restore(op, parent)) return st;
  auto pe = op.store->entry(parent);
  if (!pe) return pe.status();
  if (!s.may_contain(pe->cls, c->name)) return ERR_ILLEGAL_CONTAINMENT;
  Rdn rdn = dn->rdns.front();
  const std::vector<std::string> naming = s.naming(c->name);
  for (Ava &ava : rdn.avas) {
    if (ava.inferred && rdn.avas.size() == 1 && !naming.empty()) {
      std::string t = naming.front();
      if (p.rdn.avas.size() == 1 && in_list(naming, p.rdn.avas.front().type)) t = p.rdn.avas.front().type;
      ava.type = canonical_type(t);
      ava.inferred = false;
    } else if (!in_list(naming, ava.type)) {
      return ERR_ILLEGAL_DS_NAME;
    }
  }
  if (auto existing = op.store->child(*&parent, rdn)) return ERR_ENTRY_ALREADY_EXISTS;
  std::vector<NewValue> values;
  const bool renamed = !same_rdn(rdn, p.rdn);
  for (NewValue &nv : p.values) {
    if (!s.allows(c->name, nv.attr)) return ERR_ILLEGAL_ATTRIBUTE;
    bool old_naming = false;
    if (renamed)
      for (const Ava &ava : p.rdn.avas)
        old_naming = old_naming || (ci_equal(ava.type, nv.attr) &&
                                    equality_key(Value::text(nv.value.syntax, ava.value)) ==
                                        equality_key(nv.value));
    if (!old_naming) values.push_back(std::move(nv));
  }
  for (const std::string &m : s.mandatory(c->name)) {
    if (ci_equal(m, "Object Class")) continue;
    bool present = false;
    for (const Ava &ava : rdn.avas) present = present || ci_equal(ava.type, m);
    for (const NewValue &nv : values) present = present || ci_equal(nv.attr, m);
    if (!present) return ERR_MISSING_MANDATORY;
  }
  auto id = op.store->add_entry(parent, rdn, c->name, values);
  return id ? 0 : id.status();
}

} // namespace

NWDSCCODE backup_object(NWDSContextHandle context, const nstr8 *objectName,
                        nint32 *iterationHandle, pBuf_T objectInfo) {
  std::lock_guard<std::recursive_mutex> g(directory_lock());
  Op op;
  if (NWDSCCODE st = begin_op(context, op)) return st;
  std::unique_ptr<IterationState> state;
  if (*iterationHandle != NO_MORE_ITERATIONS) {
    if (NWDSCCODE st = take_iteration(DSV_BACKUP_ENTRY, context, *iterationHandle, state)) return st;
  } else {
    Transaction tx(*op.store, Transaction::kRead);
    if (tx.status()) return tx.status();
    EntryId id = kNoEntry;
    if (NWDSCCODE st = find_name(op, objectName, Leaf::itself, id)) return st;
    if (id == op.store->root_id()) return ERR_INVALID_REQUEST;
    if (NWDSCCODE st = may_back_up(op, id)) return st;
    auto fresh = std::make_unique<PendingBackup>();
    if (NWDSCCODE st = make_backup(op, id, fresh->text)) return st;
    state = std::move(fresh);
  }
  auto &b = static_cast<PendingBackup &>(*state);
  Buffer &out = *buffer_of(objectInfo);
  if (NWDSCCODE st = fill(b, out)) {
    out.reset(DSV_BACKUP_ENTRY);
    return st;
  }
  if (b.next >= b.text.size()) {
    *iterationHandle = NO_MORE_ITERATIONS;
    return 0;
  }
  return open_iteration(DSV_BACKUP_ENTRY, context, std::move(state), *iterationHandle);
}

NWDSCCODE restore_object(NWDSContextHandle context, const nstr8 *objectName,
                         nint32 *iterationHandle, nbool8 more, nuint32 size,
                         const nuint8 *objectInfo) {
  std::lock_guard<std::recursive_mutex> g(directory_lock());
  if (!context_is_live(context)) return ERR_BAD_CONTEXT;
  std::unique_ptr<IterationState> state;
  if (iterationHandle != nullptr && *iterationHandle != NO_MORE_ITERATIONS) {
    if (NWDSCCODE st = take_iteration(DSV_RESTORE_ENTRY, context, *iterationHandle, state)) return st;
  } else {
    state = std::make_unique<PendingRestore>();
  }
  auto &r = static_cast<PendingRestore &>(*state);
  if (size > kMaxRestoreBytes - r.data.size()) return ERR_NOT_ENOUGH_MEMORY;
  r.data.append(reinterpret_cast<const char *>(objectInfo), size);
  if (more) {
    if (iterationHandle == nullptr) return ERR_NULL_POINTER;
    return open_iteration(DSV_RESTORE_ENTRY, context, std::move(state), *iterationHandle);
  }
  if (iterationHandle != nullptr) *iterationHandle = NO_MORE_ITERATIONS;
  Op op;
  if (NWDSCCODE st = begin_op(context, op, Transaction::kWrite)) return st;
  if (NWDSCCODE st = apply_restore(op, objectName, r.data)) return st;
  return op.tx->commit();
}

} // namespace nwc
