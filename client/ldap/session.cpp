/*
 * ldap/session.cpp - connecting, binding, awaiting results and the table of
 * anonymous sessions (see session.h).
 */
#include "ldap/session.h"

#include <ldap.h>
#include <poll.h>

#include <cstdlib>
#include <cstring>
#include <map>

#include "context.h"
#include "ldap/mapping.h"

namespace nwc::ldap {

namespace {

bool starts_with(const char *s, const char *prefix) {
  return std::strncmp(s, prefix, std::strlen(prefix)) == 0;
}

int hexval(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string percent_decode(const std::string &s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '%' && i + 2 < s.size() && hexval(s[i + 1]) >= 0 && hexval(s[i + 2]) >= 0) {
      out += static_cast<char>(hexval(s[i + 1]) * 16 + hexval(s[i + 2]));
      i += 2;
    } else {
      out += s[i];
    }
  }
  return out;
}

bool truthy(const char *v) {
  return v != nullptr && (std::strcmp(v, "1") == 0 || strcasecmp(v, "yes") == 0 ||
                          strcasecmp(v, "on") == 0 || strcasecmp(v, "true") == 0);
}

/* True when the connection's socket has something to read although no
   request is outstanding: the server closed it or said it is going. */
bool looks_closed(LDAP *ld) {
  int fd = -1;
  if (ldap_get_option(ld, LDAP_OPT_DESC, &fd) != LDAP_OPT_SUCCESS || fd < 0) return false;
  pollfd p{fd, POLLIN, 0};
  return ::poll(&p, 1, 0) > 0 && (p.revents & (POLLIN | POLLHUP | POLLERR)) != 0;
}

int open_connection(const Settings &s, LDAP *&out) {
  out = nullptr;
  LDAP *ld = nullptr;
  if (ldap_initialize(&ld, s.server.c_str()) != LDAP_SUCCESS || ld == nullptr) return LDAP_CONNECT_ERROR;
  int version = LDAP_VERSION3;
  ldap_set_option(ld, LDAP_OPT_PROTOCOL_VERSION, &version);
  ldap_set_option(ld, LDAP_OPT_REFERRALS, LDAP_OPT_OFF);
  timeval tv{s.timeout, 0};
  ldap_set_option(ld, LDAP_OPT_NETWORK_TIMEOUT, &tv);
  ldap_set_option(ld, LDAP_OPT_TIMEOUT, &tv);
  if (!s.cafile.empty()) {
    ldap_set_option(ld, LDAP_OPT_X_TLS_CACERTFILE, s.cafile.c_str());
    int hard = LDAP_OPT_X_TLS_HARD;
    ldap_set_option(ld, LDAP_OPT_X_TLS_REQUIRE_CERT, &hard);
    int server_ctx = 0;
    ldap_set_option(ld, LDAP_OPT_X_TLS_NEWCTX, &server_ctx);
  }
  if (s.starttls) {
    int rc = ldap_start_tls_s(ld, nullptr, nullptr);
    if (rc != LDAP_SUCCESS) {
      ldap_unbind_ext_s(ld, nullptr, nullptr);
      /* The server answered but the handshake failed: the certificate
         does not chain to the CA file or names another host. */
      if (rc == LDAP_CONNECT_ERROR) return kTlsHandshakeFailed;
      return is_connection_failure(rc) ? rc : LDAP_CONNECT_ERROR;
    }
  }
  out = ld;
  return LDAP_SUCCESS;
}

struct Anonymous {
  std::mutex lock;
  std::map<std::string, std::shared_ptr<Session>> by_server;
};
Anonymous &anonymous() {
  static Anonymous *a = new Anonymous(); /* never destroyed: callers may run at exit */
  return *a;
}

} // namespace

bool is_ldap_url(const char *store) {
  return store != nullptr &&
         (starts_with(store, "ldap://") || starts_with(store, "ldaps://") || starts_with(store, "ldapi://"));
}

Expected<Settings> current_settings() {
  const char *store = std::getenv("NWCLIENT_STORE");
  if (!is_ldap_url(store)) return fail(ERR_INVALID_REQUEST);
  Settings s;
  std::string url(store);
  const size_t hostpart = url.find("://") + 3;
  const size_t slash = url.find('/', hostpart);
  s.server = url.substr(0, slash);
  if (slash != std::string::npos) {
    std::string dn = url.substr(slash + 1);
    dn = dn.substr(0, dn.find('?'));
    s.base = percent_decode(dn);
  }
  if (const char *t = std::getenv("NWCLIENT_LDAP_TIMEOUT"); t != nullptr && *t != '\0') {
    char *end = nullptr;
    long v = std::strtol(t, &end, 10);
    if (end != t && *end == '\0' && v > 0 && v <= 3600) s.timeout = static_cast<int>(v);
  }
  s.starttls = truthy(std::getenv("NWCLIENT_LDAP_STARTTLS"));
  if (const char *ca = std::getenv("NWCLIENT_LDAP_CAFILE")) s.cafile = ca;
  return s;
}

std::string Session::tls_key(const Settings &s) { return (s.starttls ? "1" : "0") + s.cafile; }

Session::~Session() { drop(); }

void Session::drop() {
  if (ld_ != nullptr) ldap_unbind_ext_s(ld_, nullptr, nullptr);
  ld_ = nullptr;
}

int Session::connect(const Settings &s) {
  drop();
  LDAP *ld = nullptr;
  if (int rc = open_connection(s, ld)) return rc;
  berval cred{password_.size(), const_cast<char *>(password_.data())};
  int msgid = -1;
  int rc = ldap_sasl_bind(ld, dn_.empty() ? "" : dn_.c_str(), LDAP_SASL_SIMPLE, &cred, nullptr, nullptr,
                          &msgid);
  if (rc == LDAP_SUCCESS) {
    LDAPMessage *res = nullptr;
    rc = await(ld, msgid, s.timeout, &res);
    if (rc == LDAP_SUCCESS) rc = result_code(ld, res, true);
  }
  if (rc != LDAP_SUCCESS) {
    ldap_unbind_ext_s(ld, nullptr, nullptr);
    return rc;
  }
  ld_ = ld;
  ld_tls_ = tls_key(s);
  return LDAP_SUCCESS;
}

int Session::run(const Settings &s, const std::function<int(LDAP *)> &op, bool resend) {
  std::lock_guard<std::mutex> g(lock_);
  /* A connection made under other TLS settings is not used: turning
     StartTLS on must not leave requests going out in clear. */
  const bool had = ld_ != nullptr && ld_tls_ == tls_key(s) && !looks_closed(ld_);
  if (!had) {
    if (int rc = connect(s)) return rc;
  }
  int rc = op(ld_);
  if (is_connection_failure(rc)) {
    drop();
    /* A connection that was already open may have died while idle; one
       made just now failed for real. */
    if (had && resend && rc != LDAP_TIMEOUT) {
      if (int c = connect(s)) return c;
      rc = op(ld_);
      if (is_connection_failure(rc)) drop();
    }
  }
  return rc;
}

NWDSCCODE session_of(NWDSContextHandle context, const Settings &s, std::shared_ptr<Session> &out) {
  Context c;
  if (NWDSCCODE st = context_snapshot(context, c)) return st;
  out = session_of(c, s);
  return 0;
}

std::shared_ptr<Session> session_of(const Context &c, const Settings &s) {
  if (c.ldap_session && c.ldap_session->server() == s.server) {
    return c.ldap_session;
  }
  Anonymous &a = anonymous();
  std::lock_guard<std::mutex> g(a.lock);
  auto &slot = a.by_server[s.server];
  if (!slot) slot = std::make_shared<Session>(s.server, "", "");
  return slot;
}

int await(LDAP *ld, int msgid, int timeout, LDAPMessage **res) {
  *res = nullptr;
  timeval tv{timeout, 0};
  int kind = ldap_result(ld, msgid, LDAP_MSG_ALL, &tv, res);
  if (kind == 0) {
    ldap_abandon_ext(ld, msgid, nullptr, nullptr);
    return LDAP_TIMEOUT;
  }
  if (kind < 0) {
    int err = LDAP_SERVER_DOWN;
    ldap_get_option(ld, LDAP_OPT_RESULT_CODE, &err);
    return err == LDAP_SUCCESS ? LDAP_SERVER_DOWN : err;
  }
  return LDAP_SUCCESS;
}

int result_code(LDAP *ld, LDAPMessage *res, bool free_it) {
  LDAPMessage *final = res;
  for (LDAPMessage *m = ldap_first_message(ld, res); m != nullptr; m = ldap_next_message(ld, m)) {
    int t = ldap_msgtype(m);
    if (t != LDAP_RES_SEARCH_ENTRY && t != LDAP_RES_SEARCH_REFERENCE && t != LDAP_RES_INTERMEDIATE) final = m;
  }
  int err = LDAP_OTHER;
  if (ldap_parse_result(ld, final, &err, nullptr, nullptr, nullptr, nullptr, 0) != LDAP_SUCCESS)
    err = LDAP_OTHER;
  if (free_it) ldap_msgfree(res);
  return err;
}

int try_bind(const Settings &s, const std::string &dn, const std::string &password) {
  Session one(s.server, dn, password);
  return one.run(s, [](LDAP *) { return LDAP_SUCCESS; }, false);
}

} // namespace nwc::ldap
