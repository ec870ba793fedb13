/*
 * entry_check.cpp - the engine of NWDSInspectEntry: a consistency check of one
 * entry.
 *
 * Checked: the entry's parent exists and may contain its class; its class
 * is known and effective; every value's attribute is known, allowed by the
 * class, of the attribute's syntax and passes the syntax check; single-
 * valued attributes have one value; every mandatory attribute has a value;
 * every name inside a value (ACL special subjects aside) names an entry
 * that exists.  Each finding is one item of errBuffer (initialised for
 * DSV_INSPECT_ENTRY): ATTR_COUNT n, then per finding an ATTR named after the
 * attribute concerned ("Object Class" for the class, "[Entry]" for the
 * entry's place) with one Case Exact String value telling what is wrong;
 * NWDSGetAttrCount, NWDSGetAttrName and NWDSGetAttrVal read them.  The
 * status is 0 for a sound entry and ERR_INCONSISTENT_DATABASE when there
 * are findings (those that fit errBuffer are in it).  serverName, when
 * given, must name an NCP Server.  The entry is the one the name gives (an
 * alias itself when the name ends at one).  Rights (rights.h): the entry must
 * be one the identity may browse; the values of attributes it may not read
 * are not examined.
 */
#include <map>

#include "aliases.h"
#include "entry_info.h"
#include "items.h"
#include "rights.h"

namespace nwc {

NWDSCCODE inspect_entry(NWDSContextHandle context, const nstr8 *serverName,
                        const nstr8 *objectName, pBuf_T errBuffer) {
  std::lock_guard<std::recursive_mutex> g(directory_lock());
  Op op;
  if (NWDSCCODE st = begin_op(context, op)) return st;
  Transaction tx(*op.store, Transaction::kRead);
  if (tx.status()) return tx.status();
  if (NWDSCCODE st = check_server_name(op, serverName)) return st;
  EntryId id = kNoEntry;
  if (NWDSCCODE st = find_name(op, objectName, Leaf::itself, id)) return st;
  auto e = op.store->entry(id);
  if (!e) return e.status();
  const Schema &s = *op.schema;
  std::vector<std::pair<std::string, std::string>> findings;
  if (e->parent != kNoEntry) {
    auto pe = op.store->entry(e->parent);
    if (!pe) findings.push_back({"[Entry]", "parent does not exist"});
    else if (!s.may_contain(pe->cls, e->cls)) findings.push_back({"[Entry]", "parent may not contain " + e->cls});
  }
  const ClassDef *c = s.class_def(e->cls);
  if (c == nullptr) findings.push_back({"Object Class", "unknown class " + e->cls});
  else if (!(c->flags & DS_EFFECTIVE_CLASS)) findings.push_back({"Object Class", "class is not effective"});
  auto values = op.store->values(id);
  if (!values) return values.status();
  Privileges rights;
  if (NWDSCCODE st = effective_rights(*op.store, identity_of(op), id, rights)) return st;
  std::map<std::string, size_t> counts;
  for (const StoredValue &sv : *values) {
    const AttrDef *a = s.attribute_by_id(sv.attr_id);
    if (a == nullptr) {
      findings.push_back({"[Entry]", "value of an unknown attribute"});
      continue;
    }
    ++counts[a->name];
    if (!(rights.attr(a->name) & DS_ATTR_READ)) continue; /* what it may not read, it is not told */
    if (c != nullptr && !s.allows(e->cls, a->name)) findings.push_back({a->name, "not allowed by the class"});
    if (sv.value.syntax != a->syntax || s.check_value(*a, sv.value) != 0)
      findings.push_back({a->name, "value does not agree with the syntax"});
    if (names_an_entry(sv.value.syntax) && name_field(sv.value.syntax) < sv.value.texts.size()) {
      const std::string &n = sv.value.texts[name_field(sv.value.syntax)];
      if (is_special_subject(n)) continue;
      auto dn = parse_dn(n);
      if (!dn || !op.store->find(*dn)) findings.push_back({a->name, "names an entry that does not exist: " + n});
    }
  }
  for (const auto &[name, n] : counts) {
    const AttrDef *a = s.attribute(name);
    if (a != nullptr && (a->flags & DS_SINGLE_VALUED_ATTR) && n > 1)
      findings.push_back({name, "single-valued attribute with several values"});
  }
  if (c != nullptr)
    for (const std::string &m : s.mandatory(e->cls))
      if (counts.find(m) == counts.end()) findings.push_back({m, "mandatory attribute without value"});
  ResultWriter w(*buffer_of(errBuffer), DSV_INSPECT_ENTRY);
  const size_t count_at = w.next_index();
  if (!w.add_count(tag::ATTR_COUNT, 0)) return ERR_INSUFFICIENT_BUFFER;
  nuint32 given = 0;
  for (const auto &[attr, text] : findings) {
    const std::string enc = encode_value(Value::text(SYN_CE_STRING, text));
    if (!w.fits(ResultWriter::attr_cost(attr) + value_cost(enc))) break;
    w.add_attr(attr, 1, SYN_CE_STRING);
    w.add_value(enc, SYN_CE_STRING);
    ++given;
  }
  w.set_number(count_at, given);
  return findings.empty() ? 0 : ERR_INCONSISTENT_DATABASE;
}

} // namespace nwc
