// The LDAP backend, finding entries and identities: searches (filter buffers
// and filter text, scopes, size limit), listings larger than the server's
// size limit through the iteration handle, login / logout / "Who am I?" and
// passwords, and a server that stops, hangs and comes back.
#include <chrono>
#include <csignal>
#include <set>

#include "ldap_dir.h"

namespace {

using ldap_dir::LdapDir;
using ldap_dir::server;
using ldap_dir::shell;

class LdapSearch : public LdapDir {
protected:
  // The object names of every part of a search or listing; `parts` counted.
  std::set<std::string> Names(const std::function<NWDSCCODE(nint32 *, pBuf_T)> &call, size_t size,
                              NWDSCCODE &status, int &parts) {
    std::set<std::string> names;
    pBuf_T out = Buf(nwc::NO_VERB, size);
    nint32 it = NO_MORE_ITERATIONS;
    parts = 0;
    do {
      if ((status = call(&it, out)) != 0) return names;
      ++parts;
      nuint32 n = 0;
      EXPECT_EQ(NWDSGetObjectCount(ctx, out, &n), 0);
      for (nuint32 i = 0; i < n; ++i) {
        char name[MAX_DN_BYTES];
        nuint32 attrs = 0;
        Object_Info_T info;
        EXPECT_EQ(NWDSGetObjectName(ctx, out, name, &attrs, &info), 0);
        names.insert(name);
      }
    } while (it != NO_MORE_ITERATIONS && parts < 100000);
    return names;
  }
  std::set<std::string> Search(nint32 scope, pBuf_T filter, NWDSCCODE &st, nint32 limit = 0) {
    int parts = 0;
    return Names([&](nint32 *it, pBuf_T out) {
      nint32 searched = 0;
      return NWDSSearch(ctx, "", scope, 0, filter, DS_ATTRIBUTE_VALUES, 1, nullptr, it, limit, &searched, out);
    }, DEFAULT_MESSAGE_LEN, st, parts);
  }
  pBuf_T Filter(const std::string &text) {
    pBuf_T f = Buf(DSV_SEARCH_FILTER);
    EXPECT_EQ(NWDSPutAttrName(ctx, f, text.c_str()), 0);
    return f;
  }
};

TEST_F(LdapSearch, FiltersScopesAndSizeLimit) {
  ASSERT_EQ(AddUser("CN=Gil", {{"Title", SYN_CI_STRING, {"Clerk"}}}), 0);
  ASSERT_EQ(AddUser("CN=Hal", {{"Title", SYN_CI_STRING, {"Boss"}}}), 0);
  ASSERT_EQ(Add("OU=Deep", {{"Object Class", SYN_CLASS_NAME, {"Organizational Unit"}}}), 0);
  ASSERT_EQ(AddUser("CN=Ida.OU=Deep", {{"Title", SYN_CI_STRING, {"Clerk"}}}), 0);
  NWDSCCODE st = 0;
  using S = std::set<std::string>;
  EXPECT_EQ(Search(DS_SEARCH_SUBTREE, Filter("(Title=clerk)"), st), (S{"CN=Gil", "CN=Ida.OU=Deep"}));
  EXPECT_EQ(st, 0);
  EXPECT_EQ(Search(DS_SEARCH_SUBORDINATES, Filter("(&(Object Class=User)(!(Title=Boss)))"), st), (S{"CN=Gil"}));
  EXPECT_EQ(Search(DS_SEARCH_SUBTREE, Filter("(|(CN=H*)(CN=Id*))"), st), (S{"CN=Hal", "CN=Ida.OU=Deep"}));
  // A filter buffer: names with values (an or per name, an and across names).
  pBuf_T f = Buf(DSV_SEARCH_FILTER);
  ASSERT_EQ(Put(f, {{"Title", SYN_CI_STRING, {"Clerk", "Boss"}}, {"Surname", SYN_CI_STRING, {"Test*"}}}), 0);
  EXPECT_EQ(Search(DS_SEARCH_SUBORDINATES, f, st), (S{"CN=Gil", "CN=Hal"}));
  EXPECT_EQ(Search(DS_SEARCH_ENTRY, nullptr, st).size(), 1u);
  EXPECT_EQ(Search(DS_SEARCH_SUBTREE, nullptr, st, 2).size(), 2u); // countObjectsToSearch bounds it
  EXPECT_EQ(st, 0);
  Search(DS_SEARCH_SUBTREE, Filter("(Title=clerk"), st);
  EXPECT_EQ(st, ERR_INVALID_FILTER_SYNTAX);
}

TEST_F(LdapSearch, ListsMoreThanTheServerSizeLimitThroughTheHandle) {
  // slapd's configuration limits a plain search to 500 entries.
  std::string ldif;
  for (int i = 0; i < 620; ++i)
    ldif += "dn: cn=u" + std::to_string(i) + "," + base() + "\nobjectClass: inetOrgPerson\ncn: u" +
            std::to_string(i) + "\nsn: S\n\n";
  const std::string file = server().dir + "/many.ldif";
  FILE *out = fopen(file.c_str(), "w");
  ASSERT_NE(out, nullptr);
  fputs(ldif.c_str(), out);
  fclose(out);
  shell("ldapadd -x -H ldap://127.0.0.1:" + server().port + " -D cn=Admin,o=Example -w admin-pw -f " + file +
        " >/dev/null 2>&1");
  ASSERT_EQ(Add("OU=Box", {{"Object Class", SYN_CLASS_NAME, {"Organizational Unit"}}}), 0);
  NWDSCCODE st = 0;
  int parts = 0;
  const std::string here = ".OU=" + ou + ".O=Example";
  auto names = Names([&](nint32 *it, pBuf_T b) { return NWDSList(ctx, here.c_str(), it, b); }, 4096, st, parts);
  EXPECT_EQ(st, 0);
  EXPECT_EQ(names.size(), 621u);
  EXPECT_GT(parts, 5);
  EXPECT_EQ(names.count("CN=u619"), 1u);
  nint32 count = 0;
  EXPECT_EQ(NWDSGetCountByClassAndName(ctx, here.c_str(), "User", "u1*", &count), 0);
  EXPECT_EQ(count, 1 + 10 + 100); // u1, u10..u19, u100..u199
  names = Names([&](nint32 *it, pBuf_T b) { return NWDSListContainers(ctx, here.c_str(), it, b); }, 4096, st, parts);
  EXPECT_EQ(names, std::set<std::string>{"OU=Box"});
  SetNameContext("[Root]");
  names = Names([&](nint32 *it, pBuf_T b) { return NWDSList(ctx, "[Root]", it, b); }, 4096, st, parts);
  EXPECT_EQ(names, std::set<std::string>{"O=Example"});
}

TEST_F(LdapSearch, LoginWhoAmIAndPasswords) {
  ASSERT_EQ(AddUser("CN=Jo"), 0);
  const std::string jo = ".CN=Jo.OU=" + ou + ".O=Example";
  EXPECT_EQ(NWDSGenerateObjectKeyPair(ctx, "CN=Jo", "jo-pw-1", 0), 0);
  EXPECT_EQ(Read("CN=Jo").values.count("Password"), 0u) << "a password never leaves the server";
  NWDSContextHandle c = NWDSCreateContext();
  char me[MAX_DN_BYTES];
  EXPECT_EQ(NWDSWhoAmI(c, me), ERR_NOT_LOGGED_IN);
  EXPECT_EQ(NWDSLogin(c, 0, jo.c_str(), "wrong", 0), ERR_FAILED_AUTHENTICATION);
  EXPECT_EQ(NWDSLogin(c, 0, jo.c_str(), "", 0), ERR_FAILED_AUTHENTICATION);
  ASSERT_EQ(NWDSLogin(c, 0, jo.c_str(), "jo-pw-1", 0), 0);
  ASSERT_EQ(NWDSWhoAmI(c, me), 0);
  EXPECT_EQ(std::string(me), jo.substr(1));
  EXPECT_EQ(NWDSVerifyObjectPassword(ctx, 0, "CN=Jo", "jo-pw-1"), 0);
  EXPECT_EQ(NWDSVerifyObjectPassword(ctx, 0, "CN=Jo", "nope"), ERR_FAILED_AUTHENTICATION);
  EXPECT_EQ(NWDSChangeObjectPassword(ctx, 0, "CN=Jo", "nope", "jo-pw-2"), ERR_FAILED_AUTHENTICATION);
  EXPECT_EQ(NWDSChangeObjectPassword(ctx, 0, "CN=Jo", "jo-pw-1", "jo-pw-2"), 0);
  EXPECT_EQ(NWDSVerifyObjectPassword(ctx, 0, "CN=Jo", "jo-pw-2"), 0);
  // The server's rules apply to the identity: Jo may not change the Admin.
  pBuf_T b = Buf(DSV_MODIFY_ENTRY);
  ASSERT_EQ(Put(b, {{"Description", SYN_CI_STRING, {"x"}}}, DS_ADD_VALUE), 0);
  EXPECT_EQ(NWDSModifyObject(c, ".CN=Admin.O=Example", nullptr, 0, b), ERR_NO_ACCESS);
  EXPECT_EQ(NWDSLogout(c), 0);
  EXPECT_EQ(NWDSWhoAmI(c, me), ERR_NOT_LOGGED_IN);
  EXPECT_EQ(NWDSLogout(c), ERR_NOT_LOGGED_IN);
  NWDSFreeContext(c);
}

TEST_F(LdapSearch, ServerDownHungAndBackAgain) {
  ASSERT_EQ(AddUser("CN=Kim"), 0);
  ScopedEnv timeout("NWCLIENT_LDAP_TIMEOUT", "1");
  const pid_t pid = std::stoi(shell("cat " + server().dir + "/pid"));
  // A server that does not answer: the timeout, not a hang.
  ASSERT_EQ(kill(pid, SIGSTOP), 0);
  for (int i = 0; i < 100 && shell("cut -d' ' -f3 /proc/" + std::to_string(pid) + "/stat") != "T\n"; ++i)
    usleep(10000); /* until it has stopped */
  auto t0 = std::chrono::steady_clock::now();
  const NWDSCCODE hung = Read("CN=Kim").status;
  const auto waited = std::chrono::steady_clock::now() - t0;
  kill(pid, SIGCONT);
  EXPECT_EQ(hung, ERR_NO_CONNECTION);
  EXPECT_LT(waited, std::chrono::seconds(4));
  // A server gone, then back on the same port: the next call reconnects.
  server().stop();
  EXPECT_EQ(Read("CN=Kim").status, ERR_NO_CONNECTION);
  EXPECT_EQ(AddUser("CN=Lou"), ERR_NO_CONNECTION);
  ASSERT_TRUE(server().restart());
  EXPECT_EQ(Read("CN=Kim").status, 0);
  EXPECT_EQ(AddUser("CN=Lou"), 0);
}

} // namespace
