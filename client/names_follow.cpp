/*
 * names_follow.cpp - names inside values follow their entries
 * (names_follow.h).
 */
#include "names_follow.h"

namespace nwc {

namespace {

/* The name `named` (at or below `from`) moved below `to`. */
Dn moved(const Dn &named, const Dn &from, const Dn &to) {
  Dn out;
  const size_t own = named.depth() - from.depth();
  out.rdns.assign(named.rdns.begin(), named.rdns.begin() + static_cast<std::ptrdiff_t>(own));
  out.rdns.insert(out.rdns.end(), to.rdns.begin(), to.rdns.end());
  return out;
}

} // namespace

NWDSCCODE follow_names(const Op &op, const Dn &from, const Dn &to, bool subtree) {
  Store &st = *op.store;
  auto refs = st.values_naming(from, subtree);
  if (!refs) return refs.status();
  for (const NameRef &r : *refs) {
    const AttrDef *a = op.schema->attribute_by_id(r.attr_id);
    if (a == nullptr) return ERR_INCONSISTENT_DATABASE;
    const size_t f = name_field(r.value.syntax);
    auto named = parse_dn(r.value.texts[f]);
    if (!named) continue;
    Value v = r.value;
    v.texts[f] = format_dn(moved(*named, from, to));
    if (Status s = st.remove_value(r.entry, a->name, r.value); s != 0 && s != ERR_NO_SUCH_VALUE) return s;
    if (Status s = st.add_value(r.entry, a->name, v); s != 0 && s != ERR_DUPLICATE_VALUE) return s;
  }
  return 0;
}

NWDSCCODE drop_names_of(const Op &op, const Dn &gone) {
  Store &st = *op.store;
  auto refs = st.values_naming(gone, false);
  if (!refs) return refs.status();
  for (const NameRef &r : *refs) {
    const AttrDef *a = op.schema->attribute_by_id(r.attr_id);
    if (a == nullptr) return ERR_INCONSISTENT_DATABASE;
    auto holder = st.entry(r.entry);
    if (!holder) return holder.status();
    bool mandatory = false;
    for (const std::string &m : op.schema->mandatory(holder->cls)) mandatory = mandatory || ci_equal(m, a->name);
    if (mandatory) {
      auto left = st.values(r.entry, a->name);
      if (!left) return left.status();
      if (left->size() <= 1) continue;
    }
    if (Status s = st.remove_value(r.entry, a->name, r.value); s != 0 && s != ERR_NO_SUCH_VALUE) return s;
  }
  return 0;
}

} // namespace nwc
