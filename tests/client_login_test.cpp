// Logging in and out and the password functions through the public functions,
// on users of a private organization: which passwords open which doors, what
// NWDSWhoAmI answers before, during and after a login, that a duplicate
// context carries the identity, and that passwords never reach a trace.
// The fixture's `ctx` starts logged out; `admin` (the Admin) sets passwords.
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "client_dir.h"

namespace {

using client_dir::ClientDir;

class ClientLogin : public ClientDir {
protected:
  void SetUp() override {
    ClientDir::SetUp();
    ASSERT_EQ(NWDSLogout(ctx), 0);
  }
  void TearDown() override {
    NWDSLogout(ctx);
    ClientDir::TearDown();
  }
  // NWDSWhoAmI on `c`: the name, or "status <n>".
  std::string Who(NWDSContextHandle c) {
    std::vector<char> area(MAX_DN_BYTES + 16, 'Z');
    NWDSCCODE st = NWDSWhoAmI(c, area.data());
    for (size_t i = MAX_DN_BYTES; i < area.size(); ++i)
      EXPECT_EQ(area[i], 'Z') << "written past MAX_DN_BYTES";
    return st == 0 ? std::string(area.data()) : "status " + std::to_string(st);
  }
  void SetFlags(NWDSContextHandle c, nuint32 flags) {
    ASSERT_EQ(NWDSSetContext(c, DCK_FLAGS, &flags), 0);
  }
  NWDSCCODE Login(const char *name, const char *pw) { return NWDSLogin(ctx, 0, name, pw, 0); }
  NWDSCCODE Verify(const char *name, const char *pw) {
    return NWDSVerifyObjectPassword(ctx, 0, name, pw);
  }
  NWDSCCODE Change(const char *name, const char *old_pw, const char *new_pw) {
    return NWDSChangeObjectPassword(ctx, 0, name, old_pw, new_pw);
  }
};

TEST_F(ClientLogin, LoginNeedsAnExistingObjectWithTheRightPassword) {
  ASSERT_EQ(AddUser("CN=Ann"), 0);
  EXPECT_EQ(Login("CN=Ann", ""), ERR_FAILED_AUTHENTICATION) << "no password: no login";
  EXPECT_EQ(Login("CN=Ann", "anything"), ERR_FAILED_AUTHENTICATION);
  EXPECT_EQ(Who(ctx), "status -337");

  ASSERT_EQ(NWDSGenerateObjectKeyPair(admin, "CN=Ann", "Ann-pw-1", 0), 0);
  EXPECT_EQ(Login("CN=Ann", "ann-pw-1"), ERR_FAILED_AUTHENTICATION) << "case counts";
  EXPECT_EQ(Login("CN=Ann", ""), ERR_FAILED_AUTHENTICATION);
  EXPECT_EQ(Login("CN=Nobody", "Ann-pw-1"), ERR_NO_SUCH_ENTRY);
  EXPECT_EQ(Login("CN=Ann.", "Ann-pw-1"), ERR_NO_SUCH_ENTRY) << "names go through the context";
  EXPECT_EQ(Who(ctx), "status -337") << "failed logins leave the context as it was";
  EXPECT_EQ(NWDSCanDSAuthenticate(ctx), ERR_NOT_LOGGED_IN);

  EXPECT_EQ(Login("ann", "Ann-pw-1"), 0) << "typeless, any case";
  EXPECT_EQ(Who(ctx), "CN=Ann");
  EXPECT_EQ(NWDSCanDSAuthenticate(ctx), 0);
  EXPECT_EQ(NWIsDSAuthenticated(), 1);
  EXPECT_EQ(Login(("." + std::string("CN=Ann.O=") + org).c_str(), "Ann-pw-1"), 0) << "absolute";
  EXPECT_EQ(NWDSLogin(99999, 0, "CN=Ann", "Ann-pw-1", 0), ERR_BAD_CONTEXT);
}

TEST_F(ClientLogin, WhoAmIFormatsTheIdentityForTheContext) {
  ASSERT_EQ(AddUser("CN=Bo Diddley"), 0);
  ASSERT_EQ(NWDSGenerateObjectKeyPair(admin, "CN=Bo Diddley", "pw", 0), 0);
  EXPECT_EQ(Who(ctx), "status -337");
  ASSERT_EQ(Login("Bo  Diddley", "pw"), 0);
  EXPECT_EQ(Who(ctx), "CN=Bo Diddley");
  SetFlags(ctx, DCV_DEFAULT_FLAGS | DCV_TYPELESS_NAMES);
  EXPECT_EQ(Who(ctx), "Bo Diddley");
  SetFlags(ctx, DCV_DEFAULT_FLAGS & ~nuint32{DCV_CANONICALIZE_NAMES});
  EXPECT_EQ(Who(ctx), "CN=Bo Diddley.O=" + org);
  SetFlags(ctx, DCV_DEFAULT_FLAGS);
  SetNameContext("[Root]");
  EXPECT_EQ(Who(ctx), "CN=Bo Diddley.O=" + org);
  SetNameContext("OU=Elsewhere.O=" + org);
  EXPECT_EQ(Who(ctx), "CN=Bo Diddley.");

  ASSERT_EQ(NWDSLogout(ctx), 0);
  EXPECT_EQ(Who(ctx), "status -337");
  EXPECT_EQ(NWDSLogout(ctx), ERR_NOT_LOGGED_IN);
  EXPECT_EQ(NWDSCanDSAuthenticate(ctx), ERR_NOT_LOGGED_IN);
}

TEST_F(ClientLogin, IdentityBelongsToTheContextAndItsDuplicates) {
  ASSERT_EQ(AddUser("CN=Cy"), 0);
  ASSERT_EQ(AddUser("CN=Di"), 0);
  ASSERT_EQ(NWDSGenerateObjectKeyPair(admin, "CN=Cy", "cy", 0), 0);
  ASSERT_EQ(NWDSGenerateObjectKeyPair(admin, "CN=Di", "di", 0), 0);
  ASSERT_EQ(NWDSLogout(admin), 0);
  NWDSContextHandle other = NWDSCreateContext();
  ASSERT_GT(other, 0);
  ASSERT_EQ(NWDSSetContext(other, DCK_NAME_CONTEXT, ("O=" + org).c_str()), 0);
  EXPECT_EQ(NWIsDSAuthenticated(), 0);

  ASSERT_EQ(Login("CN=Cy", "cy"), 0);
  EXPECT_EQ(Who(other), "status -337") << "another context stays [Public]";
  NWDSContextHandle dup = NWDSDuplicateContext(ctx);
  ASSERT_GT(dup, 0);
  EXPECT_EQ(Who(dup), "CN=Cy");

  // A failed login keeps the identity; a successful one replaces it.
  EXPECT_EQ(Login("CN=Di", "cy"), ERR_FAILED_AUTHENTICATION);
  EXPECT_EQ(Who(ctx), "CN=Cy");
  ASSERT_EQ(Login("CN=Di", "di"), 0);
  EXPECT_EQ(Who(ctx), "CN=Di");
  EXPECT_EQ(Who(dup), "CN=Cy") << "the duplicate is its own context";

  ASSERT_EQ(NWDSLogout(ctx), 0);
  EXPECT_EQ(Who(dup), "CN=Cy");
  EXPECT_EQ(NWIsDSAuthenticated(), 1) << "the duplicate is still logged in";
  ASSERT_EQ(NWDSFreeContext(dup), 0);
  EXPECT_EQ(NWIsDSAuthenticated(), 0) << "freeing a context forgets its login";
  NWDSFreeContext(other);
}

TEST_F(ClientLogin, DisabledLoginIsRefusedOnlyWithTheRightPassword) {
  nint32 yes = 1, no = 0;
  ASSERT_EQ(AddUser("CN=Ed", {{"Login Disabled", SYN_BOOLEAN, {&yes}}}), 0);
  ASSERT_EQ(NWDSGenerateObjectKeyPair(admin, "CN=Ed", "ed", 0), 0);
  EXPECT_EQ(Login("CN=Ed", "wrong"), ERR_FAILED_AUTHENTICATION);
  EXPECT_EQ(Login("CN=Ed", "ed"), ERR_ACCOUNT_DISABLED);
  EXPECT_EQ(Who(ctx), "status -337");
  EXPECT_EQ(Verify("CN=Ed", "ed"), 0) << "the password itself is still right";
  ASSERT_EQ(Modify("CN=Ed", DS_OVERWRITE_VALUE, {"Login Disabled", SYN_BOOLEAN, {&no}}, admin), 0);
  EXPECT_EQ(Login("CN=Ed", "ed"), 0);
}

TEST_F(ClientLogin, ChangeAndVerifyPasswords) {
  ASSERT_EQ(AddUser("CN=Flo"), 0);
  // No password yet: it is the empty one.
  EXPECT_EQ(Verify("CN=Flo", ""), 0);
  EXPECT_EQ(Verify("CN=Flo", "x"), ERR_FAILED_AUTHENTICATION);
  EXPECT_EQ(Change("CN=Flo", "x", "first"), ERR_FAILED_AUTHENTICATION);
  ASSERT_EQ(Change("CN=Flo", "", "first"), 0);
  EXPECT_EQ(Verify("CN=Flo", "first"), 0);
  EXPECT_EQ(Verify("CN=Flo", ""), ERR_FAILED_AUTHENTICATION);

  // A refused change changes nothing.
  EXPECT_EQ(Change("CN=Flo", "First", "second"), ERR_FAILED_AUTHENTICATION);
  EXPECT_EQ(Verify("CN=Flo", "first"), 0);
  EXPECT_EQ(Verify("CN=Flo", "second"), ERR_FAILED_AUTHENTICATION);

  ASSERT_EQ(Change("CN=Flo", "first", "second"), 0);
  EXPECT_EQ(Verify("CN=Flo", "first"), ERR_FAILED_AUTHENTICATION);
  EXPECT_EQ(Login("CN=Flo", "first"), ERR_FAILED_AUTHENTICATION);
  EXPECT_EQ(Login("CN=Flo", "second"), 0);

  // The key pair call sets a password without knowing the old one; it needs
  // the supervisor right on the object, which a user lacks even on itself.
  EXPECT_EQ(NWDSGenerateObjectKeyPair(ctx, "CN=Flo", "third", 0), ERR_NO_ACCESS);
  EXPECT_EQ(Verify("CN=Flo", "second"), 0) << "refused: nothing changed";
  ASSERT_EQ(NWDSGenerateObjectKeyPair(admin, "CN=Flo", "third", 0), 0);
  EXPECT_EQ(Verify("CN=Flo", "second"), ERR_FAILED_AUTHENTICATION);
  EXPECT_EQ(Verify("CN=Flo", "third"), 0);

  // An empty new password removes it: no more logins.
  ASSERT_EQ(Change("CN=Flo", "third", ""), 0);
  EXPECT_EQ(Verify("CN=Flo", ""), 0);
  EXPECT_EQ(Login("CN=Flo", ""), ERR_FAILED_AUTHENTICATION);

  EXPECT_EQ(Verify("CN=Nobody", ""), ERR_NO_SUCH_ENTRY);
  EXPECT_EQ(Change("CN=Nobody", "", "x"), ERR_NO_SUCH_ENTRY);
  EXPECT_EQ(NWDSGenerateObjectKeyPair(admin, "CN=Nobody", "x", 0), ERR_NO_SUCH_ENTRY);
  EXPECT_EQ(Verify("CN=Flo", nullptr), ERR_NULL_POINTER);
}

TEST_F(ClientLogin, PasswordsNeverReachTheTrace) {
  ASSERT_EQ(AddUser("CN=Gus"), 0);
  TraceFile t;
  ASSERT_EQ(NWDSGenerateObjectKeyPair(admin, "CN=Gus", "Secret-A", 0), 0);
  ASSERT_EQ(Change("CN=Gus", "Secret-A", "Secret-B"), 0);
  EXPECT_EQ(Change("CN=Gus", "Secret-C", "Secret-D"), ERR_FAILED_AUTHENTICATION);
  ASSERT_EQ(Verify("CN=Gus", "Secret-B"), 0);
  EXPECT_EQ(Login("CN=Gus", "Secret-E"), ERR_FAILED_AUTHENTICATION);
  ASSERT_EQ(Login("CN=Gus", "Secret-B"), 0);
  ASSERT_EQ(NWDSLogout(ctx), 0);
  const auto lines = t.lines();
  ASSERT_EQ(lines.size(), 7u);
  for (const auto &l : lines) {
    EXPECT_EQ(l.find("Secret"), std::string::npos) << l;
  }
  EXPECT_EQ(lines[1], "NWDSChangeObjectPassword(context=" + std::to_string(ctx) +
                          ", optionsFlag=0, objectName=\"CN=Gus\", oldPassword=\"***\", "
                          "newPassword=\"***\") = 0");
  EXPECT_EQ(lines[4], "NWDSLogin(context=" + std::to_string(ctx) +
                          ", optionsFlag=0, objectName=\"CN=Gus\", password=\"***\", "
                          "validityPeriod=0) = -669");
}

} // namespace
