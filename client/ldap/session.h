/*
 * ldap/session.h - connections to the LDAP server and the settings that
 * shape them.
 *
 * The store URL (NWCLIENT_STORE) names the server and the base:
 * "ldap://127.0.0.1:3890/o=Example" is the server ldap://127.0.0.1:3890 and
 * the base o=Example (ldaps:// and ldapi:// likewise; the DN part is
 * %-decoded; a URL without a DN has no base, and nothing is found under
 * [Root]).  Settings, read on every call:
 *   NWCLIENT_LDAP_TIMEOUT   seconds any one exchange with the server may
 *                           take, connecting included (default 10; a server
 *                           that does not answer in time is ERR_NO_CONNECTION)
 *   NWCLIENT_LDAP_STARTTLS  "1" / "yes" / "on": StartTLS before binding (the
 *                           call fails with ERR_NO_CONNECTION when the server
 *                           refuses it, with ERR_INVALID_CERTIFICATE when
 *                           the handshake fails -- a certificate that does
 *                           not chain to the CA file or names another host;
 *                           nothing is sent in clear first)
 *   NWCLIENT_LDAP_CAFILE    the CA certificates that the server's
 *                           certificate must chain to (ldaps:// and StartTLS)
 *
 * Sessions: a context that has not logged in works on one anonymous
 * connection per server shared by every such context; NWDSLogin gives the
 * context a Session of its own, bound as the object (duplicates share it,
 * NWDSLogout and freeing the context drop it).  The password stays in the
 * Session's memory, so that a connection lost can be bound again; it is never
 * traced, logged or put in a status.
 *
 * Invariants:
 *  - One call at a time uses a Session's connection (its mutex is held for
 *    the whole exchange).
 *  - No exchange waits past the timeout: requests are sent asynchronously
 *    and their results awaited with it; a request that times out is
 *    abandoned and the connection dropped.
 *  - A connection is used only under the TLS settings it was made with;
 *    when they change, the next call connects afresh under the new ones.
 *  - A connection found closed (the server went away between calls) is
 *    dropped and made again before the request is sent; a connection that
 *    fails under a request is dropped, so the next call connects afresh.
 *    Only requests that change nothing are sent again on the new connection.
 */
#ifndef NWC_LDAP_SESSION_H
#define NWC_LDAP_SESSION_H

#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "names/expected.h"
#include "nwclient.h"

typedef struct ldap LDAP;
namespace nwc { struct Context; }
typedef struct ldapmsg LDAPMessage;

namespace nwc::ldap {

/* The result code of a connection whose TLS handshake failed (outside
   libldap's codes; ldap_status() gives ERR_INVALID_CERTIFICATE). */
inline constexpr int kTlsHandshakeFailed = -1000;

/* True when `store` (an NWCLIENT_STORE value) names an LDAP server. */
bool is_ldap_url(const char *store);

struct Settings {
  std::string server; /* scheme://host:port */
  std::string base;   /* the DN of the URL ("" when none) */
  int timeout = 10;   /* seconds */
  bool starttls = false;
  std::string cafile;
};
/* The settings now in force; ERR_INVALID_REQUEST when NWCLIENT_STORE is not
   an LDAP URL. */
Expected<Settings> current_settings();

class Session {
public:
  Session(std::string server, std::string dn, std::string password)
      : server_(std::move(server)), dn_(std::move(dn)), password_(std::move(password)) {}
  ~Session();
  Session(const Session &) = delete;
  Session &operator=(const Session &) = delete;

  const std::string &server() const { return server_; }
  const std::string &dn() const { return dn_; } /* "" when anonymous */
  /* The password to bind with from now on (the object changed it). */
  void set_password(std::string password) {
    std::lock_guard<std::mutex> g(lock_);
    password_ = std::move(password);
  }

  /* Runs `op` on the connection (connected and bound first when needed)
     and returns its LDAP result code; LDAP_SERVER_DOWN, LDAP_CONNECT_ERROR
     or LDAP_TIMEOUT when the server cannot be reached in time, and the
     bind's code when the bind fails.  `resend` allows sending `op` once
     more on a fresh connection when the first one was lost under it. */
  int run(const Settings &s, const std::function<int(LDAP *)> &op, bool resend);

private:
  int connect(const Settings &s);
  void drop();

  static std::string tls_key(const Settings &s);

  std::mutex lock_;
  LDAP *ld_ = nullptr;
  std::string ld_tls_; /* the TLS settings ld_ was made under */
  std::string server_, dn_, password_;
};

/* The session the context works on (its own, or the shared anonymous one of
   the server).  A session bound on another server than `s` names (the
   store changed since the login) is not used: the anonymous one is. */
NWDSCCODE session_of(NWDSContextHandle context, const Settings &s, std::shared_ptr<Session> &out);
/* The same for a context already looked at. */
std::shared_ptr<Session> session_of(const Context &context, const Settings &s);

/* Waits for the result of request `msgid` (LDAP_TIMEOUT after `timeout`
   seconds, the request abandoned); on success `*res` holds all of it (for a
   search, every entry and the final result). */
int await(LDAP *ld, int msgid, int timeout, LDAPMessage **res);
/* The result code (and, when asked, matched DN) of a final result; frees
   `res` when `free_it`. */
int result_code(LDAP *ld, LDAPMessage *res, bool free_it);
/* Binds on a connection of its own and drops it (password checks):
   LDAP_SUCCESS, LDAP_INVALID_CREDENTIALS, or why it could not be tried. */
int try_bind(const Settings &s, const std::string &dn, const std::string &password);

} // namespace nwc::ldap

#endif /* NWC_LDAP_SESSION_H */
