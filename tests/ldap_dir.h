// The fixture of the LDAP backend tests: a private slapd (scripts/slapd) for
// the test suite, started in a temporary folder and stopped by its pid when
// the suite ends or the process exits, a store URL naming it, a context
// logged in as the server's Admin and a container of the test's own under
// O=Example.  Skips with a message when /usr/sbin/slapd is not installed.
#ifndef VORLA_TESTS_LDAP_DIR_H
#define VORLA_TESTS_LDAP_DIR_H

#include <gtest/gtest.h>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <unistd.h>

#include "client_dir.h"

namespace ldap_dir {

inline constexpr const char *kLdapAdminPassword = "admin-pw";

// Output of a shell command (stdout), or "" when it could not run.
inline std::string shell(const std::string &cmd) {
  std::string out;
  if (FILE *p = popen(cmd.c_str(), "r")) {
    char buf[4096];
    for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
    pclose(p);
  }
  return out;
}

// One slapd for the process's LDAP tests.
struct Server {
  std::string dir, url, port;
  bool running = false;

  bool start() {
    char tmpl[] = "/tmp/vorla-slapd-XXXXXX";
    if (mkdtemp(tmpl) == nullptr) return false;
    dir = tmpl;
    url = shell("bash " VORLA_SOURCE_DIR "/scripts/slapd start " + dir + " 2>&1");
    while (!url.empty() && (url.back() == '\n' || url.back() == ' ')) url.pop_back();
    port = shell("cat " + dir + "/port");
    while (!port.empty() && port.back() == '\n') port.pop_back();
    running = url.rfind("ldap://", 0) == 0;
    return running;
  }
  void stop() {
    if (!dir.empty()) shell("bash " VORLA_SOURCE_DIR "/scripts/slapd stop " + dir);
    running = false;
  }
  // Starts slapd again on the same port and database (the entries kept).
  bool restart() {
    const std::string cmd = "cd " + dir + " && (/usr/sbin/slapd -f slapd.conf -h ldap://127.0.0.1:" + port +
                            "/ -d 0 > slapd.log 2>&1 & echo $! > pid) && for i in $(seq 1 100); do "
                            "ldapsearch -x -H ldap://127.0.0.1:" + port +
                            "/ -b '' -s base >/dev/null 2>&1 && break; sleep 0.1; done";
    shell(cmd);
    running = true;
    return true;
  }
  void remove_dir() {
    if (!dir.empty()) shell("rm -rf " + dir);
  }
  // ldapsearch as the Admin: the LDIF it prints.
  std::string search(const std::string &base, const std::string &scope, const std::string &attrs) const {
    return shell("ldapsearch -x -LLL -o ldif-wrap=no -H ldap://127.0.0.1:" + port +
                 "/ -D cn=Admin,o=Example -w " + kLdapAdminPassword + " -s " + scope + " -b '" + base + "' '(objectClass=*)' " +
                 attrs + " 2>&1");
  }
};

inline Server &server() {
  static Server *s = [] {
    auto *srv = new Server();
    if (access("/usr/sbin/slapd", X_OK) == 0 && srv->start())
      std::atexit([] {
        server().stop();
        server().remove_dir();
      });
    return srv;
  }();
  return *s;
}

class LdapDir : public client_dir::ClientDir {
protected:
  void SetUp() override {
    if (access("/usr/sbin/slapd", X_OK) != 0) GTEST_SKIP() << "slapd is not installed (/usr/sbin/slapd): LDAP tests skipped";
    ASSERT_TRUE(server().running || server().restart()) << "slapd did not start";
    store = std::make_unique<ScopedEnv>("NWCLIENT_STORE", server().url.c_str());
    ctx = NWDSCreateContext();
    ASSERT_GT(ctx, 0);
    ASSERT_EQ(NWDSLogin(ctx, 0, ".CN=Admin.O=Example", kLdapAdminPassword, 0), 0);
    admin = NWDSDuplicateContext(ctx);
    static int serial = 0;
    ou = "T" + std::to_string(getpid()) + "x" + std::to_string(++serial);
    SetNameContext("O=Example");
    ASSERT_EQ(Add("OU=" + ou, {{"Object Class", SYN_CLASS_NAME, {"Organizational Unit"}}}), 0);
    SetNameContext("OU=" + ou + ".O=Example");
  }
  void TearDown() override {
    for (pBuf_T b : bufs) NWDSFreeBuf(b);
    bufs.clear();
    if (admin > 0) NWDSFreeContext(admin);
    if (ctx > 0) NWDSFreeContext(ctx);
  }
  // The test's container as an LDAP DN.
  std::string base() const { return "ou=" + ou + ",o=Example"; }

  std::string ou;
  std::unique_ptr<ScopedEnv> store;
};

} // namespace ldap_dir

#endif
