/*
 * ldap/backend.cpp - the LDAP Directory and what its operations share:
 * beginning an operation, resolving names, running requests (see
 * ldap/backend.h).
 */
#include "ldap/backend.h"

#include "backends.h"
#include "ldap/mapping.h"

namespace nwc {

const Directory &ldap_directory() {
  using namespace ldap;
  static const Directory d{
      &ldap::read_entry,      &ldap::search_entries,  &ldap::compare_value,
      &ldap::list_entries,    &ldap::list_by_class_and_name, &ldap::list_containers,
      &ldap::count_by_class_and_name, &ldap::add_object, &ldap::modify_object,
      &ldap::remove_object,   &ldap::modify_rdn,      &ldap::modify_dn,
      &ldap::move_object,     &ldap::login,           &ldap::logout,
      &ldap::who_am_i,        &ldap::verify_object_password, &ldap::change_object_password,
      &ldap::generate_object_key_pair, &ldap::get_syntax_id, &ldap::read_class_defs,
      &ldap::read_attr_defs,
  };
  return d;
}

namespace ldap {

NWDSCCODE begin(NWDSContextHandle context, LOp &op) {
  op.handle = context;
  if (NWDSCCODE st = context_snapshot(context, op.ctx)) return st;
  auto s = current_settings();
  if (!s) return s.status();
  op.s = *s;
  op.session = session_of(op.ctx, op.s);
  return server_schema(context, op.s, op.schema);
}

NWDSCCODE resolve(const LOp &op, const char *name, Dn &dn, std::string &ldap_dn) {
  auto parsed = parse_name(name, op.ctx.name_context, op.ctx.flags);
  if (!parsed) return parsed.status();
  dn = std::move(*parsed);
  ldap_dn = dn_to_ldap(dn);
  return 0;
}

NWDSCCODE resolve_entry(const LOp &op, const char *name, Dn &dn, std::string &ldap_dn) {
  if (NWDSCCODE st = resolve(op, name, dn, ldap_dn)) return st;
  return dn.is_root() ? ERR_INVALID_REQUEST : 0;
}

NWDSCCODE run(LOp &op, const std::function<int(LDAP *)> &fn, bool resend) {
  return ldap_status(op.session->run(op.s, fn, resend));
}

NWDSCCODE search(LOp &op, const Query &q, std::vector<RawEntry> &found) {
  return run(op, [&](LDAP *ld) {
    found.clear();
    return fetch(ld, op.s, q, found);
  }, true);
}

} // namespace ldap
} // namespace nwc
