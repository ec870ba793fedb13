// The LDAP backend over TLS and a local socket, on a slapd of its own
// (scripts/slapd with SLAPD_TLS=1: a throwaway CA, StartTLS on a loopback
// port, an ldapi socket, nothing answered on a connection that is neither):
// a read works over StartTLS with the CA file, fails as a bad certificate
// without it, and works over ldapi.
#include "ldap_dir.h"

namespace {

using ldap_dir::shell;

std::string trimmed(std::string s) {
  while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) s.pop_back();
  return s;
}

// A read of the organization through a fresh context: its status.
NWDSCCODE read_organization() {
  NWDSContextHandle c = NWDSCreateContext();
  if (c < 0) return c;
  pBuf_T out = nullptr;
  NWDSAllocBuf(DEFAULT_MESSAGE_LEN, &out);
  nint32 it = NO_MORE_ITERATIONS;
  const NWDSCCODE st = NWDSRead(c, ".O=Example", DS_ATTRIBUTE_VALUES, 1, nullptr, &it, out);
  NWDSFreeBuf(out);
  NWDSFreeContext(c);
  return st;
}

TEST(LdapTls, StartTlsWithTheCaFileAndLdapi) {
  if (access("/usr/sbin/slapd", X_OK) != 0 || trimmed(shell("command -v openssl")).empty())
    GTEST_SKIP() << "slapd or openssl is not installed";
  char tmpl[] = "/tmp/vorla-tls-XXXXXX";
  ASSERT_NE(mkdtemp(tmpl), nullptr);
  const std::string dir = tmpl;
  struct Stop {
    std::string dir;
    ~Stop() { shell("bash " VORLA_SOURCE_DIR "/scripts/slapd stop " + dir + "; rm -rf " + dir); }
  } stop{dir};
  const std::string url = trimmed(shell("SLAPD_TLS=1 bash " VORLA_SOURCE_DIR "/scripts/slapd start " + dir + " 2>&1"));
  ASSERT_EQ(url.rfind("ldap://", 0), 0u) << url;
  ScopedEnv store("NWCLIENT_STORE", url.c_str());
  ScopedEnv timeout("NWCLIENT_LDAP_TIMEOUT", "5");
  EXPECT_EQ(read_organization(), ERR_NO_ACCESS) << "in clear the server answers nothing";
  {
    ScopedEnv tls("NWCLIENT_LDAP_STARTTLS", "1");
    EXPECT_EQ(read_organization(), ERR_INVALID_CERTIFICATE) << "a CA the client does not trust";
    ScopedEnv ca("NWCLIENT_LDAP_CAFILE", (dir + "/tls/ca.pem").c_str());
    EXPECT_EQ(read_organization(), 0);
  }
  const std::string ldapi = trimmed(shell("cat " + dir + "/ldapi_url"));
  ASSERT_EQ(ldapi.rfind("ldapi://", 0), 0u) << ldapi;
  ScopedEnv local("NWCLIENT_STORE", ldapi.c_str());
  EXPECT_EQ(read_organization(), 0);
}

} // namespace
