/*
 * rights.cpp - effective rights worked out from the ACL values of the tree,
 * their cache, and the checks of the engines (rights.h states the rules).
 *
 * The cache holds, for the current store and access generation, each entry's
 * parent and parsed ACL, each identity's trustee names, and per identity and
 * entry the rights of each trustee there (what flows on to the children) and
 * the effective Privileges.  An entry's rights are built from its parent's,
 * so a subtree is worked out once from the top.  A change that rights
 * depend on moves the store's access generation and empties the cache.  Entries asked for directly
 * are kept only while they are among the last kMaxAskedNodes asked, so a
 * walk over a large container does not grow the cache; a search's results
 * are not kept at all (KnownEntry::once).
 */
#include "rights.h"

#include <algorithm>
#include <deque>
#include <unordered_map>

namespace nwc {

nuint32 Privileges::attr(std::string_view name) const {
  if (!named.empty()) {
    const std::string key = fold_case(name);
    for (const auto &[n, r] : named)
      if (n == key) return r;
  }
  return all_attrs;
}

namespace {

enum class Kind { entry, all_attrs, named };

/* One ACL value.  Its subject comes from its equality key; the rest is
   decoded from `data` only when the value is used (its subject is a
   trustee of the identity asking, the inheritance mask or [Self]), since
   most values of an entry name trustees of other identities. */
struct AclItem {
  Kind kind = Kind::entry;
  std::string attr;    /* folded, for Kind::named */
  std::string subject; /* subject_key */
  bool is_mask = false;
  nuint32 mask = 0;
  bool decoded = true; /* false: kind, attr and mask are still in data */
  bool valid = true;   /* decoded to an ACL value */
  nuint32 syntax = 0;
  std::string data;    /* the stored encoding, until decoded */
};

struct EntryInfo {
  EntryId parent = kNoEntry;
  std::vector<AclItem> acl;
};

/* One trustee's rights at an entry: what it holds there and passes on. */
struct Held {
  nuint32 entry = 0;
  nuint32 all_attrs = 0;
};

struct Node {
  std::vector<Held> held; /* by trustee, in IdentityInfo::trustees order */
  Privileges privileges;
};

struct IdentityInfo {
  EntryId self = kNoEntry;
  std::vector<std::string> trustees; /* subject keys; the object's own second */
  std::unordered_map<EntryId, Node> nodes;
};

struct Cache {
  const Store *store = nullptr;
  std::string path;
  uint64_t generation = 0;
  std::unordered_map<EntryId, EntryInfo> entries;
  std::unordered_map<EntryId, IdentityInfo> identities;
  int64_t acl_attr = 0; /* the ACL attribute's id, once looked up */
  size_t nodes = 0;
  /* The (identity, entry) nodes that were asked for directly, oldest
     first: mostly leaves, met once by a walk over a large container.  Only
     the newest kMaxAskedNodes are kept, so that a walk does not grow the
     cache; the containers above them, reached as parents, stay. */
  std::deque<std::pair<EntryId, EntryId>> asked;
};

constexpr size_t kMaxCachedNodes = 200000;
constexpr size_t kMaxAskedNodes = 1024;

Cache &cache() {
  static Cache *c = new Cache; /* used under the directory lock; kept until exit */
  return *c;
}

const std::string kPublicKey = "\x01" + fold_case("[Public]");
const std::string kRootKey = "\x01" + fold_case("[Root]");
const std::string kMaskKey = "\x01" + fold_case("[Inheritance Mask]");
const std::string kSelfKey = "\x01" + fold_case("[Self]");

std::string subject_key(std::string_view s) {
  if (is_special_subject(s)) return "\x01" + fold_case(s);
  auto dn = parse_dn(s);
  return dn ? dn_key(*dn) : "\x02" + fold_case(s);
}

Kind kind_of(std::string_view protected_attr) {
  if (protected_attr.find('[') == std::string_view::npos) return Kind::named; /* both are bracketed */
  if (ci_equal(protected_attr, kEntryRightsName)) return Kind::entry;
  if (ci_equal(protected_attr, kAllAttrsRightsName) || ci_equal(protected_attr, "[All Attribute Rights]"))
    return Kind::all_attrs;
  return Kind::named;
}

nuint32 attr_implied(nuint32 r) {
  if (r & DS_ATTR_SUPERVISOR) return kAllAttrRights;
  if (r & DS_ATTR_READ) r |= DS_ATTR_COMPARE;
  if (r & DS_ATTR_WRITE) r |= DS_ATTR_SELF;
  return r & kAllAttrRights;
}

/* The cache, emptied when the store or its generation changed. */
Cache &fresh_cache(Store &store) {
  Cache &c = cache();
  const uint64_t gen = store.access_generation();
  if (c.store != &store || c.path != store.path() || c.generation != gen || c.nodes > kMaxCachedNodes) {
    c.entries.clear();
    c.identities.clear();
    c.asked.clear();
    c.nodes = 0;
    c.acl_attr = 0;
    c.store = &store;
    c.path = store.path();
    c.generation = gen;
  }
  return c;
}

/* The ACL attribute's id. */
NWDSCCODE acl_attr(Cache &c, Store &store, int64_t &out) {
  if (c.acl_attr == 0) {
    auto sc = store.schema();
    if (!sc) return sc.status();
    const AttrDef *acl = (*sc)->attribute("ACL");
    if (acl == nullptr) return ERR_INCONSISTENT_DATABASE;
    c.acl_attr = acl->id;
  }
  out = c.acl_attr;
  return 0;
}

/* Takes the protected attribute and privileges of ACL value `v` into `a`;
   false when `v` is not one (such a value is left out). */
bool take(AclItem &a, const Value &v) {
  if (v.texts.size() < 2 || v.nums.empty()) return false;
  a.kind = kind_of(v.texts[0]);
  if (a.kind == Kind::named) a.attr = fold_case(v.texts[0]);
  a.mask = v.nums[0];
  return true;
}

/* An ACL value comes with its equality key, which begins with the subject's
   key (schema.h equality_key): the subject is taken from there rather than
   parsed again. */
void add_acl_item(EntryInfo &info, const Value &v, const std::string &key) {
  AclItem item;
  if (!take(item, v)) return;
  const size_t end = key.find('\0');
  item.subject = end == std::string::npos ? subject_key(v.texts[1]) : key.substr(0, end);
  item.is_mask = item.subject == kMaskKey;
  info.acl.push_back(std::move(item));
}

/* The same from the stored encoding, decoded when used (a key without a
   subject is decoded now). */
NWDSCCODE add_encoded_acl_item(EntryInfo &info, nuint32 syntax, const std::string &data, const std::string &key) {
  const size_t end = key.find('\0');
  if (end == std::string::npos) {
    auto v = decode_value(syntax, data);
    if (!v) return v.status();
    add_acl_item(info, *v, key);
    return 0;
  }
  AclItem item;
  item.subject = key.substr(0, end);
  item.is_mask = item.subject == kMaskKey;
  item.decoded = false;
  item.syntax = syntax;
  item.data = data;
  info.acl.push_back(std::move(item));
  return 0;
}

/* Decodes an item kept encoded; false when the value is not an ACL value
   (left out, as add_acl_item leaves it out).  The same few values recur on
   many entries (every user's defaults name [Root] on the same two
   attributes): what an ACL value decoded to is kept, by its encoding, for
   the next entry that holds it. */
Expected<bool> usable(AclItem &a) {
  if (a.decoded) return a.valid;
  constexpr size_t kMaxKept = 256;
  static auto *kept = new std::unordered_map<std::string, AclItem>; /* under the directory lock */
  const bool keep = a.syntax == SYN_OBJECT_ACL; /* one encoding, one meaning */
  auto it = keep ? kept->find(a.data) : kept->end();
  AclItem fresh;
  if (it == kept->end()) {
    auto v = decode_value(a.syntax, a.data);
    if (!v) return fail(v.status());
    fresh.valid = take(fresh, *v);
    if (keep) {
      if (kept->size() >= kMaxKept) kept->clear();
      it = kept->emplace(std::move(a.data), std::move(fresh)).first;
    }
  }
  const AclItem &d = it != kept->end() ? it->second : fresh;
  a.decoded = true;
  a.data = std::string();
  a.valid = d.valid;
  a.kind = d.kind;
  a.attr = d.attr;
  a.mask = d.mask;
  return a.valid;
}

/* An entry's parent and ACL, from what the caller knows or from the store. */
NWDSCCODE load_entry_info(Cache &c, Store &store, EntryId id, EntryInfo &info, const KnownEntry *known) {
  int64_t acl = 0;
  if (NWDSCCODE st = acl_attr(c, store, acl)) return st;
  if (known != nullptr && known->parent_known) {
    info.parent = known->parent;
  } else {
    auto e = store.entry(id);
    if (!e) return e.status();
    info.parent = e->parent;
  }
  Expected<std::vector<Store::EncodedValue>> read = std::vector<Store::EncodedValue>{};
  if (known == nullptr || known->values == nullptr) {
    read = store.keyed_values(id, acl);
    if (!read) return read.status();
  }
  const std::vector<Store::EncodedValue> &values = known != nullptr && known->values != nullptr ? *known->values : *read;
  info.acl.reserve(static_cast<size_t>(std::count_if(values.begin(), values.end(),
                                                     [&](const Store::EncodedValue &ev) { return ev.attr_id == acl; })));
  for (const Store::EncodedValue &ev : values) {
    if (ev.attr_id != acl) continue;
    if (NWDSCCODE st = add_encoded_acl_item(info, ev.syntax, ev.data, ev.key)) return st;
  }
  return 0;
}

NWDSCCODE entry_info(Cache &c, Store &store, EntryId id, EntryInfo *&out,
                     const KnownEntry *known = nullptr) {
  auto it = c.entries.find(id);
  if (it == c.entries.end()) {
    EntryInfo info;
    if (NWDSCCODE st = load_entry_info(c, store, id, info, known)) return st;
    it = c.entries.emplace(id, std::move(info)).first;
  }
  out = &it->second;
  return 0;
}

/* The trustee names `who` acts as (rights.h rule 1). */
NWDSCCODE identity_info(Cache &c, Store &store, Identity who, IdentityInfo *&out) {
  auto it = c.identities.find(who.entry);
  if (it == c.identities.end()) {
    IdentityInfo info;
    info.self = who.entry;
    if (who.entry != kNoEntry) {
      info.trustees.push_back(kRootKey);
      if (auto dn = store.dn_of(who.entry)) {
        info.trustees.push_back(dn_key(*dn));
        for (Dn up = dn->parent(); !up.is_root(); up = up.parent()) info.trustees.push_back(dn_key(up));
        for (const char *attr : {"Security Equals", "Group Membership"}) {
          auto vals = store.values(who.entry, attr);
          if (!vals) return vals.status();
          for (const StoredValue &sv : *vals)
            if (!sv.value.texts.empty()) info.trustees.push_back(subject_key(sv.value.texts[0]));
        }
      } else if (dn.status() != ERR_NO_SUCH_ENTRY) {
        return dn.status();
      }
    }
    info.trustees.push_back(kPublicKey);
    it = c.identities.emplace(who.entry, std::move(info)).first;
  }
  out = &it->second;
  return 0;
}

int trustee_index(const IdentityInfo &ii, const std::string &key) {
  for (size_t i = 0; i < ii.trustees.size(); ++i)
    if (ii.trustees[i] == key) return static_cast<int>(i);
  return -1;
}

NWDSCCODE node_of(Cache &c, Store &store, IdentityInfo &ii, EntryId id, const Node *&out,
                  const KnownEntry *known = nullptr);

/* The rights at entry `id` from its parent's (rights.h rules 2 to 5). */
NWDSCCODE make_node(Cache &c, Store &store, IdentityInfo &ii, EntryId id, EntryInfo *info, Node &node) {
  const size_t n = ii.trustees.size();
  node.held.assign(n, Held{});
  if (info->parent != kNoEntry) {
    const Node *up = nullptr;
    if (NWDSCCODE st = node_of(c, store, ii, info->parent, up)) return st;
    node.held = up->held;
    /* The inheritance masks filter what flows in. */
    for (AclItem &a : info->acl) {
      if (!a.is_mask) continue;
      auto ok = usable(a);
      if (!ok) return ok.status();
      if (!*ok || a.kind == Kind::named) continue;
      for (Held &h : node.held) (a.kind == Kind::entry ? h.entry : h.all_attrs) &= a.mask;
    }
  }
  /* A trustee's own assignment replaces what it inherited.  Named
     assignments are few (a user's defaults have four): kept in a list
     pointing at the items' attribute names rather than in maps. */
  struct Own {
    Held held;
    bool entry = false, all_attrs = false;
  };
  struct Named {
    const std::string *attr;
    size_t trustee;
    nuint32 mask;
  };
  std::vector<Own> own(n);
  std::vector<Named> named;
  for (AclItem &a : info->acl) {
    if (a.is_mask) continue;
    /* [Self] on an entry is the entry itself as a trustee. */
    const int t = a.subject == kSelfKey ? (id == ii.self && ii.trustees.size() > 2 ? 1 : -1)
                                        : trustee_index(ii, a.subject);
    if (t < 0) continue;
    auto ok = usable(a);
    if (!ok) return ok.status();
    if (!*ok) continue;
    Own &o = own[static_cast<size_t>(t)];
    switch (a.kind) {
    case Kind::entry: o.held.entry |= a.mask; o.entry = true; break;
    case Kind::all_attrs: o.held.all_attrs |= a.mask; o.all_attrs = true; break;
    case Kind::named: named.push_back({&a.attr, static_cast<size_t>(t), a.mask}); break;
    }
  }
  for (size_t t = 0; t < n; ++t) {
    if (own[t].entry) node.held[t].entry = own[t].held.entry;
    if (own[t].all_attrs) node.held[t].all_attrs = own[t].held.all_attrs;
  }
  Privileges &p = node.privileges;
  for (const Held &h : node.held) {
    p.entry |= h.entry;
    p.all_attrs |= h.all_attrs;
  }
  if (p.entry & DS_ENTRY_SUPERVISOR) {
    p.entry = kAllEntryRights;
    p.all_attrs = kAllAttrRights;
    named.clear();
  }
  p.entry &= kAllEntryRights;
  p.all_attrs = attr_implied(p.all_attrs);
  /* An attribute with a named assignment: each trustee holds what it was
     given on it, or else its all-attributes rights. */
  std::sort(named.begin(), named.end(), [](const Named &x, const Named &y) {
    return *x.attr != *y.attr ? *x.attr < *y.attr : x.trustee < y.trustee;
  });
  for (size_t i = 0; i < named.size();) {
    size_t j = i;
    nuint32 r = 0;
    for (size_t t = 0; t < n; ++t) {
      const size_t from = j;
      nuint32 given = 0;
      for (; j < named.size() && *named[j].attr == *named[i].attr && named[j].trustee == t; ++j) given |= named[j].mask;
      r |= j != from ? given : node.held[t].all_attrs;
    }
    p.named.emplace_back(*named[i].attr, attr_implied(r));
    i = j;
  }
  return 0;
}

NWDSCCODE node_of(Cache &c, Store &store, IdentityInfo &ii, EntryId id, const Node *&out,
                  const KnownEntry *known) {
  if (auto it = ii.nodes.find(id); it != ii.nodes.end()) {
    out = &it->second;
    return 0;
  }
  EntryInfo *info = nullptr;
  if (NWDSCCODE st = entry_info(c, store, id, info, known)) return st;
  Node node;
  if (NWDSCCODE st = make_node(c, store, ii, id, info, node)) return st;
  ++c.nodes;
  out = &ii.nodes.emplace(id, std::move(node)).first->second;
  return 0;
}

} // namespace

NWDSCCODE effective_rights(Store &store, Identity who, EntryId object, Privileges &out,
                           const KnownEntry *known) {
  Cache &c = fresh_cache(store);
  IdentityInfo *ii = nullptr;
  if (NWDSCCODE st = identity_info(c, store, who, ii)) return st;
  if (auto it = ii->nodes.find(object); it != ii->nodes.end()) {
    out = it->second.privileges;
    return 0;
  }
  if (known != nullptr && known->once) {
    EntryInfo info;
    Node node;
    if (NWDSCCODE st = load_entry_info(c, store, object, info, known)) return st;
    if (NWDSCCODE st = make_node(c, store, *ii, object, &info, node)) return st;
    out = std::move(node.privileges);
    return 0;
  }
  const Node *node = nullptr;
  if (NWDSCCODE st = node_of(c, store, *ii, object, node, known)) return st;
  out = node->privileges;
  c.asked.emplace_back(who.entry, object);
  if (c.asked.size() > kMaxAskedNodes) {
    const auto [id_of, entry] = c.asked.front();
    c.asked.pop_front();
    if (auto it = c.identities.find(id_of); it != c.identities.end() && it->second.nodes.erase(entry)) --c.nodes;
    c.entries.erase(entry);
  }
  return 0;
}

NWDSCCODE check_browse(const Op &op, EntryId object) {
  Privileges p;
  if (NWDSCCODE st = effective_rights(*op.store, identity_of(op), object, p)) return st;
  return (p.entry & DS_ENTRY_BROWSE) ? 0 : ERR_NO_SUCH_ENTRY;
}

NWDSCCODE check_browse(const Op &op, EntryId object, EntryId parent) {
  const KnownEntry known{nullptr, true, parent};
  Privileges p;
  if (NWDSCCODE st = effective_rights(*op.store, identity_of(op), object, p, &known)) return st;
  return (p.entry & DS_ENTRY_BROWSE) ? 0 : ERR_NO_SUCH_ENTRY;
}

NWDSCCODE check_entry(const Op &op, EntryId object, nuint32 rights) {
  Privileges p;
  if (NWDSCCODE st = effective_rights(*op.store, identity_of(op), object, p)) return st;
  return (p.entry & rights) == rights ? 0 : ERR_NO_ACCESS;
}

NWDSCCODE check_attr(const Op &op, EntryId object, std::string_view attr, nuint32 rights) {
  Privileges p;
  if (NWDSCCODE st = effective_rights(*op.store, identity_of(op), object, p)) return st;
  return (p.attr(attr) & rights) == rights ? 0 : ERR_NO_ACCESS;
}

NWDSCCODE check_change(const Op &op, EntryId object, std::string_view attr, nuint32 change,
                       const std::vector<Value> &values) {
  Privileges p;
  if (NWDSCCODE st = effective_rights(*op.store, identity_of(op), object, p)) return st;
  const nuint32 held = p.attr(attr);
  if (held & DS_ATTR_WRITE) return 0;
  if (!(held & DS_ATTR_SELF) || values.empty() || op.ctx.identity_entry == kNoEntry) return ERR_NO_ACCESS;
  const bool by_value = change == DS_ADD_VALUE || change == DS_ADDITIONAL_VALUE ||
                        change == DS_REMOVE_VALUE || change == DS_CLEAR_VALUE;
  if (!by_value) return ERR_NO_ACCESS;
  auto me = op.store->dn_of(op.ctx.identity_entry);
  if (!me) return ERR_NO_ACCESS;
  const std::string my_key = dn_key(*me);
  for (const Value &v : values) {
    if (v.syntax != SYN_DIST_NAME || v.texts.empty()) return ERR_NO_ACCESS;
    auto dn = parse_dn(v.texts[0]);
    if (!dn || dn_key(*dn) != my_key) return ERR_NO_ACCESS;
  }
  return 0;
}

NWDSCCODE check_root_supervisor(const Op &op) {
  return check_entry(op, op.store->root_id(), DS_ENTRY_SUPERVISOR);
}

std::vector<Value> default_acl(const Schema &schema, std::string_view cls, const std::string &full_name) {
  std::vector<Value> out;
  if (!schema.is_a(cls, "User")) return out;
  const nuint32 rw = DS_ATTR_COMPARE | DS_ATTR_READ | DS_ATTR_WRITE;
  out.push_back(Value::acl(kAllAttrsRightsName, full_name, DS_ATTR_COMPARE | DS_ATTR_READ));
  for (const char *attr : {"Login Script", "Print Job Configuration"})
    if (schema.allows(cls, attr)) out.push_back(Value::acl(attr, full_name, rw));
  for (const char *attr : {"Network Address", "Group Membership"})
    if (schema.allows(cls, attr)) out.push_back(Value::acl(attr, "[Root]", DS_ATTR_COMPARE | DS_ATTR_READ));
  return out;
}

void forget_cached_rights() {
  Cache &c = cache();
  c.entries.clear();
  c.identities.clear();
  c.asked.clear();
  c.nodes = 0;
  c.acl_attr = 0;
  c.store = nullptr;
}

} // namespace nwc
