/*
 * backends.cpp - the embedded Directory (today's engines) and the choice of
 * backend per call (see backends.h).
 */
#include "backends.h"

#include <cstdlib>

#include "entries.h"
#include "ldap/session.h"
#include "login.h"
#include "names_api.h"
#include "rename.h"
#include "schema_api.h"

namespace nwc {

const Directory &embedded_directory() {
  static const Directory d{
      &read_entry,      &search_entries,         &compare_value,          &list_entries,
      &list_by_class_and_name, &list_containers, &count_by_class_and_name, &add_object,
      &modify_object,   &remove_object,          &modify_rdn,             &modify_dn,
      &move_object,     &login,                  &logout,                 &who_am_i,
      &verify_object_password, &change_object_password, &generate_object_key_pair,
      &get_syntax_id,   &read_class_defs,        &read_attr_defs,
  };
  return d;
}

const Directory &directory() {
  return ldap::is_ldap_url(std::getenv("NWCLIENT_STORE")) ? ldap_directory() : embedded_directory();
}

} // namespace nwc
