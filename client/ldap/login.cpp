/*
 * ldap/login.cpp - logging in and out, "Who am I?" and the password
 * functions on the LDAP backend.
 *
 * NWDSLogin binds as the object (its name resolved through the context) on
 * a connection of the context's own, which every later call of the context
 * uses; NWDSLogout drops it and the context is anonymous again.  A password
 * is never traced, logged or kept anywhere but in that session.
 *
 * An empty password never authenticates: LDAP would take a bind with a
 * name and no password as an unauthenticated (anonymous) bind, so login and
 * verification with "" fail with ERR_FAILED_AUTHENTICATION without asking
 * the server.
 *
 * NWDSChangeObjectPassword binds as the object with the old password on a
 * connection of its own and changes the password there (password modify
 * extended operation, the old password given too); NWDSGenerateObjectKeyPair
 * sets it with the context's own rights.  An empty new password removes
 * the password (userPassword deleted) rather than letting the server make
 * one up.  Status codes: a wrong password ERR_FAILED_AUTHENTICATION,
 * NWDSLogout and NWDSWhoAmI of an anonymous context ERR_NOT_LOGGED_IN.
 */
#include <ldap.h>

#include <cstring>

#include "items.h"
#include "ldap/backend.h"
#include "ldap/mapping.h"

namespace nwc::ldap {

namespace {

int exchange(LDAP *ld, int timeout, int msgid_rc, int msgid) {
  if (msgid_rc != LDAP_SUCCESS) return msgid_rc;
  LDAPMessage *res = nullptr;
  if (int rc = await(ld, msgid, timeout, &res)) return rc;
  return result_code(ld, res, true);
}

/* Sets (or, empty, removes) the password of `ldn` on `ld`. */
int set_password(LDAP *ld, int timeout, const std::string &ldn, const char *old_pw, const std::string &new_pw) {
  int msgid = -1;
  if (new_pw.empty()) {
    char type[] = "userPassword";
    LDAPMod m{};
    m.mod_op = LDAP_MOD_DELETE;
    m.mod_type = type;
    LDAPMod *mods[] = {&m, nullptr};
    int rc = ldap_modify_ext(ld, ldn.c_str(), mods, nullptr, nullptr, &msgid);
    rc = exchange(ld, timeout, rc, msgid);
    return rc == LDAP_NO_SUCH_ATTRIBUTE ? LDAP_SUCCESS : rc;
  }
  berval user{ldn.size(), const_cast<char *>(ldn.data())};
  berval oldb{old_pw ? std::strlen(old_pw) : 0, const_cast<char *>(old_pw ? old_pw : "")};
  berval newb{new_pw.size(), const_cast<char *>(new_pw.data())};
  int rc = ldap_passwd(ld, &user, old_pw ? &oldb : nullptr, &newb, nullptr, nullptr, &msgid);
  return exchange(ld, timeout, rc, msgid);
}

NWDSCCODE auth_status(int rc) {
  if (rc == LDAP_INVALID_CREDENTIALS || rc == LDAP_UNWILLING_TO_PERFORM || rc == LDAP_INAPPROPRIATE_AUTH)
    return ERR_FAILED_AUTHENTICATION;
  return ldap_status(rc);
}

NWDSCCODE copy_name(const std::string &name, pnstr8 out) {
  if (name.size() >= MAX_DN_BYTES) return ERR_INVALID_OBJECT_NAME;
  std::memcpy(out, name.c_str(), name.size() + 1);
  return 0;
}

} // namespace

NWDSCCODE login(NWDSContextHandle context, nflag32, const nstr8 *objectName, const nstr8 *password, nuint32) {
  LOp op;
  if (NWDSCCODE st = begin(context, op)) return st;
  Dn dn;
  std::string ldn;
  if (NWDSCCODE st = resolve(op, objectName, dn, ldn)) return st;
  if (dn.is_root()) return ERR_NO_SUCH_ENTRY;
  if (*password == '\0') return ERR_FAILED_AUTHENTICATION;
  auto session = std::make_shared<Session>(op.s.server, ldn, password);
  if (int rc = session->run(op.s, [](LDAP *) { return LDAP_SUCCESS; }, false)) return auth_status(rc);
  std::shared_ptr<Session> previous;
  NWDSCCODE st = with_context(context, [&](Context &c) -> NWDSCCODE {
    previous = std::move(c.ldap_session);
    c.identity = format_dn(dn, false);
    c.identity_entry = 0;
    c.ldap_session = session;
    return 0;
  });
  return st; /* `previous` goes here, outside the context table's lock */
}

NWDSCCODE logout(NWDSContextHandle context) {
  std::shared_ptr<Session> previous;
  return with_context(context, [&](Context &c) -> NWDSCCODE {
    if (c.identity.empty()) return ERR_NOT_LOGGED_IN;
    c.identity.clear();
    c.identity_entry = 0;
    previous = std::move(c.ldap_session);
    return 0;
  });
}

NWDSCCODE who_am_i(NWDSContextHandle context, pnstr8 objectName) {
  LOp op;
  if (NWDSCCODE st = begin(context, op)) return st;
  std::string authzid;
  NWDSCCODE st = run(op, [&](LDAP *ld) {
    int msgid = -1;
    int rc = ldap_whoami(ld, nullptr, nullptr, &msgid);
    if (rc != LDAP_SUCCESS) return rc;
    LDAPMessage *res = nullptr;
    if ((rc = await(ld, msgid, op.s.timeout, &res)) != LDAP_SUCCESS) return rc;
    berval *id = nullptr;
    rc = ldap_parse_whoami(ld, res, &id);
    if (rc == LDAP_SUCCESS) rc = result_code(ld, res, false);
    ldap_msgfree(res);
    if (id != nullptr) {
      authzid.assign(id->bv_val, id->bv_len);
      ber_bvfree(id);
    }
    return rc;
  }, true);
  if (st) return st;
  if (authzid.rfind("dn:", 0) != 0 || authzid.size() == 3) return ERR_NOT_LOGGED_IN;
  auto dn = dn_from_ldap(authzid.substr(3));
  if (!dn) return ERR_INVALID_SERVER_RESPONSE;
  return copy_name(format_name(*dn, name_context_of(op.ctx), op.ctx.flags), objectName);
}

NWDSCCODE verify_object_password(NWDSContextHandle context, nflag32, const nstr8 *objectName,
                                 const nstr8 *password) {
  LOp op;
  if (NWDSCCODE st = begin(context, op)) return st;
  Dn dn;
  std::string ldn;
  if (NWDSCCODE st = resolve(op, objectName, dn, ldn)) return st;
  if (*password == '\0') return ERR_FAILED_AUTHENTICATION;
  return auth_status(try_bind(op.s, ldn, password));
}

NWDSCCODE change_object_password(NWDSContextHandle context, nflag32, const nstr8 *objectName,
                                 const nstr8 *oldPassword, const nstr8 *newPassword) {
  LOp op;
  if (NWDSCCODE st = begin(context, op)) return st;
  Dn dn;
  std::string ldn;
  if (NWDSCCODE st = resolve(op, objectName, dn, ldn)) return st;
  if (*oldPassword == '\0') return ERR_FAILED_AUTHENTICATION;
  Session own(op.s.server, ldn, oldPassword);
  int rc = own.run(op.s, [&](LDAP *ld) { return set_password(ld, op.s.timeout, ldn, oldPassword, newPassword); },
                   false);
  /* A context logged in as the object binds with the new password when it
     has to connect again. */
  if (rc == LDAP_SUCCESS && op.session->dn() == ldn) op.session->set_password(newPassword);
  return auth_status(rc);
}

NWDSCCODE generate_object_key_pair(NWDSContextHandle context, const nstr8 *objectName, const nstr8 *objectPassword,
                                   nflag32) {
  LOp op;
  if (NWDSCCODE st = begin(context, op)) return st;
  Dn dn;
  std::string ldn;
  if (NWDSCCODE st = resolve(op, objectName, dn, ldn)) return st;
  return run(op, [&](LDAP *ld) { return set_password(ld, op.s.timeout, ldn, nullptr, objectPassword); }, false);
}

} // namespace nwc::ldap
