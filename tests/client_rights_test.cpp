// The rights model, one group per rule, each seen through
// NWDSGetEffectiveRights: supervisor and [Root], [Public], inheritance, the
// inheritance mask, replacement at a lower level, named attributes, groups,
// equivalences (one step), containers; then the list of NWDSListAttrs-
// EffectiveRights and the privileges of a read, and that a change to an ACL
// is seen at once.
#include <gtest/gtest.h>
#include <map>
#include <string>

#include "client_dir.h"

namespace {

using client_dir::ClientDir;

constexpr nuint32 kEntryAll = DS_ENTRY_MASK;
constexpr nuint32 kAttrAll = DS_ATTR_MASK;
constexpr nuint32 kRead = DS_ATTR_COMPARE | DS_ATTR_READ;

class ClientRights : public ClientDir {
protected:
  void SetUp() override {
    ClientDir::SetUp();
    // OU=Top > OU=Mid > OU=Low, and the users in OU=People.
    for (const char *ou : {"OU=Top", "OU=Mid.OU=Top", "OU=Low.OU=Mid.OU=Top", "OU=People"})
      ASSERT_EQ(Add(ou, {{"Object Class", SYN_CLASS_NAME, {"Organizational Unit"}}}), 0);
    for (const char *u : {"CN=U.OU=People", "CN=V.OU=People", "CN=W.OU=People"}) ASSERT_EQ(AddUser(u), 0);
    ASSERT_EQ(Add("CN=G.OU=People", {{"Object Class", SYN_CLASS_NAME, {"Group"}}}), 0);
  }
  // Adds one ACL value to `object`.
  void Grant(const std::string &object, std::string attr, std::string subject, nuint32 mask) {
    Object_ACL_T acl{attr.data(), subject.data(), mask};
    ASSERT_EQ(Modify(object, DS_ADD_VALUE, {"ACL", SYN_OBJECT_ACL, {&acl}}), 0) << object;
  }
  void AddName(const std::string &object, const char *attr, const char *name) {
    ASSERT_EQ(Modify(object, DS_ADD_VALUE, {attr, SYN_DIST_NAME, {name}}), 0);
  }
  nuint32 Rights(const std::string &subject, const std::string &object,
                 const char *attr = "[Entry Rights]") {
    nuint32 p = 0xDEAD;
    EXPECT_EQ(NWDSGetEffectiveRights(ctx, subject.c_str(), object.c_str(), attr, &p), 0)
        << subject << " on " << object << " " << attr;
    return p;
  }
  const std::string U = "CN=U.OU=People";
  const std::string kAdmin = ".CN=Admin.O=Example";
};

TEST_F(ClientRights, SupervisorOfRootImpliesEveryRightEverywhere) {
  EXPECT_EQ(Rights(kAdmin, "OU=Low.OU=Mid.OU=Top"), kEntryAll);
  EXPECT_EQ(Rights(kAdmin, "OU=Low.OU=Mid.OU=Top", "[All Attributes Rights]"), kAttrAll);
  EXPECT_EQ(Rights(kAdmin, U, "Surname"), kAttrAll);
  // Attribute supervisor gives every attribute right, read gives compare,
  // write gives self.
  Grant("OU=Top", "[All Attributes Rights]", U, DS_ATTR_SUPERVISOR);
  Grant("OU=Mid.OU=Top", "[All Attributes Rights]", U, DS_ATTR_READ | DS_ATTR_WRITE);
  EXPECT_EQ(Rights(U, "OU=Top", "Description"), kAttrAll);
  EXPECT_EQ(Rights(U, "OU=Mid.OU=Top", "Description"), nuint32{DS_ATTR_COMPARE | DS_ATTR_READ |
                                                               DS_ATTR_WRITE | DS_ATTR_SELF});
  EXPECT_EQ(Rights(U, "OU=Top"), nuint32{DS_ENTRY_BROWSE}) << "attribute rights are not entry rights";
}

TEST_F(ClientRights, PublicMayBrowseOnlyAndRootMeansAnyLoggedInObject) {
  EXPECT_EQ(Rights("[Public]", "OU=Low.OU=Mid.OU=Top"), nuint32{DS_ENTRY_BROWSE});
  EXPECT_EQ(Rights("[Public]", U, "Surname"), 0u);
  Grant("OU=Top", "[Entry Rights]", "[Root]", DS_ENTRY_ADD);
  EXPECT_EQ(Rights(U, "OU=Mid.OU=Top"), nuint32{DS_ENTRY_BROWSE | DS_ENTRY_ADD});
  EXPECT_EQ(Rights("[Public]", "OU=Mid.OU=Top"), nuint32{DS_ENTRY_BROWSE}) << "[Root] is not [Public]";
  // A user's own defaults: it reads itself, writes its login script, and
  // every logged-in object reads its network address.
  EXPECT_EQ(Rights(U, U, "Surname"), kRead);
  EXPECT_EQ(Rights(U, U, "Login Script"), kRead | DS_ATTR_WRITE | DS_ATTR_SELF);
  EXPECT_EQ(Rights("CN=V.OU=People", U, "Network Address"), kRead);
  EXPECT_EQ(Rights("CN=V.OU=People", U, "Surname"), 0u);
}

TEST_F(ClientRights, GrantsFlowDownAndAMaskFiltersOnlyWhatFlowsIn) {
  Grant("OU=Top", "[Entry Rights]", U, DS_ENTRY_ADD | DS_ENTRY_DELETE);
  Grant("OU=Top", "[All Attributes Rights]", U, DS_ATTR_WRITE);
  EXPECT_EQ(Rights(U, "OU=Low.OU=Mid.OU=Top"), nuint32{DS_ENTRY_BROWSE | DS_ENTRY_ADD | DS_ENTRY_DELETE});
  EXPECT_EQ(Rights(U, "OU=Low.OU=Mid.OU=Top", "Description"), nuint32{DS_ATTR_WRITE | DS_ATTR_SELF});

  // The mask on Mid keeps browse and delete: Mid and below lose add, and
  // attribute rights (masked to nothing) no longer flow in.  It filters the
  // Admin's supervisor too, so the Admin is given it on Mid itself first.
  Grant("OU=Mid.OU=Top", "[Entry Rights]", kAdmin, DS_ENTRY_SUPERVISOR);
  Grant("OU=Mid.OU=Top", "[Entry Rights]", "[Inheritance Mask]", DS_ENTRY_BROWSE | DS_ENTRY_DELETE);
  Grant("OU=Mid.OU=Top", "[All Attributes Rights]", "[Inheritance Mask]", 0);
  EXPECT_EQ(Rights(U, "OU=Top"), nuint32{DS_ENTRY_BROWSE | DS_ENTRY_ADD | DS_ENTRY_DELETE});
  EXPECT_EQ(Rights(U, "OU=Mid.OU=Top"), nuint32{DS_ENTRY_BROWSE | DS_ENTRY_DELETE});
  EXPECT_EQ(Rights(U, "OU=Low.OU=Mid.OU=Top"), nuint32{DS_ENTRY_BROWSE | DS_ENTRY_DELETE});
  EXPECT_EQ(Rights(U, "OU=Low.OU=Mid.OU=Top", "Description"), 0u);
  EXPECT_EQ(Rights(kAdmin, "OU=Low.OU=Mid.OU=Top"), kEntryAll);
  // A grant on the masked entry itself is not filtered.
  Grant("OU=Mid.OU=Top", "[Entry Rights]", U, DS_ENTRY_RENAME | DS_ENTRY_ADD);
  EXPECT_EQ(Rights(U, "OU=Mid.OU=Top"), nuint32{DS_ENTRY_BROWSE | DS_ENTRY_RENAME | DS_ENTRY_ADD});
  // Supervisor is filtered like any inherited right, as the one bit it is
  // (what it implies is worked out after the masks).
  Grant("OU=Top", "[Entry Rights]", "CN=V.OU=People", DS_ENTRY_SUPERVISOR);
  EXPECT_EQ(Rights("CN=V.OU=People", "OU=Top"), kEntryAll);
  EXPECT_EQ(Rights("CN=V.OU=People", "OU=Mid.OU=Top"), nuint32{DS_ENTRY_BROWSE}) << "[Public]'s";
}

TEST_F(ClientRights, AnAssignmentLowerDownReplacesWhatItsTrusteeInherits) {
  Grant("OU=Top", "[Entry Rights]", U, DS_ENTRY_ADD | DS_ENTRY_DELETE | DS_ENTRY_RENAME);
  Grant("OU=Mid.OU=Top", "[Entry Rights]", U, DS_ENTRY_RENAME);
  EXPECT_EQ(Rights(U, "OU=Mid.OU=Top"), nuint32{DS_ENTRY_BROWSE | DS_ENTRY_RENAME})
      << "browse still comes from [Public]";
  EXPECT_EQ(Rights(U, "OU=Low.OU=Mid.OU=Top"), nuint32{DS_ENTRY_BROWSE | DS_ENTRY_RENAME})
      << "and the replacement flows on";
  // A named attribute's assignment replaces the trustee's all-attributes
  // rights for that attribute, on that entry only.
  Grant("OU=Top", "[All Attributes Rights]", U, kRead);
  Grant("OU=Mid.OU=Top", "Description", U, DS_ATTR_WRITE);
  EXPECT_EQ(Rights(U, "OU=Mid.OU=Top", "Description"), nuint32{DS_ATTR_WRITE | DS_ATTR_SELF});
  EXPECT_EQ(Rights(U, "OU=Mid.OU=Top", "Telephone Number"), kRead);
  EXPECT_EQ(Rights(U, "OU=Low.OU=Mid.OU=Top", "Description"), kRead) << "named rights do not flow down";
}

TEST_F(ClientRights, GroupsEquivalencesOneStepAndContainersAreTrustees) {
  const std::string V = "CN=V.OU=People", W = "CN=W.OU=People";
  Grant("OU=Low.OU=Mid.OU=Top", "[Entry Rights]", "CN=G.OU=People", DS_ENTRY_ADD);
  EXPECT_EQ(Rights(U, "OU=Low.OU=Mid.OU=Top"), nuint32{DS_ENTRY_BROWSE});
  AddName(U, "Group Membership", "CN=G.OU=People");
  EXPECT_EQ(Rights(U, "OU=Low.OU=Mid.OU=Top"), nuint32{DS_ENTRY_BROWSE | DS_ENTRY_ADD}) << "a group";

  Grant("OU=Mid.OU=Top", "[Entry Rights]", W, DS_ENTRY_DELETE);
  ASSERT_EQ(NWDSAddSecurityEquiv(ctx, U.c_str(), V.c_str()), 0);
  ASSERT_EQ(NWDSAddSecurityEquiv(ctx, V.c_str(), W.c_str()), 0);
  EXPECT_EQ(Rights(V, "OU=Mid.OU=Top"), nuint32{DS_ENTRY_BROWSE | DS_ENTRY_DELETE});
  EXPECT_EQ(Rights(U, "OU=Mid.OU=Top"), nuint32{DS_ENTRY_BROWSE}) << "equivalence is one step";
  Grant("OU=Mid.OU=Top", "[Entry Rights]", V, DS_ENTRY_RENAME);
  EXPECT_EQ(Rights(U, "OU=Mid.OU=Top"), nuint32{DS_ENTRY_BROWSE | DS_ENTRY_RENAME}) << "an equivalence";

  Grant("OU=Top", "[Entry Rights]", "OU=People", DS_ENTRY_SUPERVISOR);
  EXPECT_EQ(Rights(W, "OU=Top"), kEntryAll) << "the container above a user";
  Grant("OU=Top", "[Entry Rights]", ".O=" + org, DS_ENTRY_DELETE);
  EXPECT_EQ(Rights("CN=V.OU=People", "OU=Top"), kEntryAll);
  EXPECT_EQ(Rights(kAdmin, "OU=Top"), kEntryAll);
  EXPECT_EQ(Rights(U, "OU=People"), nuint32{DS_ENTRY_BROWSE}) << "a grant to a container is not on it";
  EXPECT_EQ(Rights("CN=Nobody", "OU=Top"), 0u) << "a subject that does not exist holds nothing";

  Grant(W, "Telephone Number", "[Self]", DS_ATTR_WRITE);
  EXPECT_TRUE(Rights(W, W, "Telephone Number") & DS_ATTR_WRITE) << "[Self] is the entry itself";
  EXPECT_FALSE(Rights(V, W, "Telephone Number") & DS_ATTR_WRITE) << "and no other";
}

TEST_F(ClientRights, ListAttrsReadAndSearchShowThePrivileges) {
  // All the attributes a user may have, over several small parts.
  pBuf_T out = Buf(nwc::NO_VERB, 200);
  nint32 it = NO_MORE_ITERATIONS;
  std::map<std::string, nuint32> seen;
  int parts = 0;
  do {
    ASSERT_EQ(NWDSListAttrsEffectiveRights(ctx, U.c_str(), U.c_str(), 1, nullptr, &it, out), 0);
    ++parts;
    nuint32 n = 0;
    ASSERT_EQ(NWDSGetAttrCount(ctx, out, &n), 0);
    for (nuint32 i = 0; i < n; ++i) {
      char name[MAX_SCHEMA_NAME_BYTES];
      nuint32 count = 0, syn = 0;
      nint32 mask = -1;
      ASSERT_EQ(NWDSGetAttrName(ctx, out, name, &count, &syn), 0);
      ASSERT_EQ(count, 1u);
      ASSERT_EQ(syn, nuint32{SYN_INTEGER});
      ASSERT_EQ(NWDSGetAttrVal(ctx, out, syn, &mask), 0);
      EXPECT_EQ(seen.count(name), 0u) << name << " given twice";
      seen[name] = static_cast<nuint32>(mask);
    }
  } while (it != NO_MORE_ITERATIONS && parts < 1000);
  EXPECT_GT(parts, 2);
  EXPECT_EQ(seen["Surname"], kRead);
  EXPECT_EQ(seen["Login Script"], kRead | DS_ATTR_WRITE | DS_ATTR_SELF);
  EXPECT_GT(seen.size(), 20u);

  // Named attributes, for the context's own identity (a null subject).
  pBuf_T names = Buf(DSV_GET_EFFECTIVE_RIGHTS);
  ASSERT_EQ(NWDSPutAttrName(ctx, names, "Surname"), 0);
  it = NO_MORE_ITERATIONS;
  ASSERT_EQ(NWDSListAttrsEffectiveRights(ctx, U.c_str(), nullptr, 0, names, &it, out), 0);
  EXPECT_EQ(it, NO_MORE_ITERATIONS);
  nuint32 n = 0, count = 0, syn = 0;
  nint32 mask = 0;
  char name[MAX_SCHEMA_NAME_BYTES];
  ASSERT_EQ(NWDSGetAttrCount(ctx, out, &n), 0);
  ASSERT_EQ(n, 1u);
  ASSERT_EQ(NWDSGetAttrName(ctx, out, name, &count, &syn), 0);
  ASSERT_EQ(NWDSGetAttrVal(ctx, out, syn, &mask), 0);
  EXPECT_EQ(mask, nint32{DS_ATTR_MASK}) << "the Admin";

  // A read with DS_EFFECTIVE_PRIVILEGES gives each present attribute once.
  client_dir::ReadBack r = Read(U, DEFAULT_MESSAGE_LEN, DS_EFFECTIVE_PRIVILEGES);
  ASSERT_EQ(r.status, 0);
  ASSERT_EQ(r.values.count("Surname"), 1u);
  EXPECT_EQ(r.values["Surname"], std::vector<nwc::Value>{nwc::Value::integer(SYN_INTEGER, DS_ATTR_MASK)});
  EXPECT_EQ(r.syntaxes["Surname"], nuint32{SYN_INTEGER});
}

TEST_F(ClientRights, AChangedAclIsSeenAtOnce) {
  EXPECT_EQ(Rights(U, "OU=Top"), nuint32{DS_ENTRY_BROWSE});
  Grant("OU=Top", "[Entry Rights]", U, DS_ENTRY_ADD);
  EXPECT_EQ(Rights(U, "OU=Top"), nuint32{DS_ENTRY_BROWSE | DS_ENTRY_ADD});
  std::string a = "[Entry Rights]", s = U;
  Object_ACL_T acl{a.data(), s.data(), DS_ENTRY_ADD};
  ASSERT_EQ(Modify("OU=Top", DS_REMOVE_VALUE, {"ACL", SYN_OBJECT_ACL, {&acl}}), 0);
  EXPECT_EQ(Rights(U, "OU=Top"), nuint32{DS_ENTRY_BROWSE});
  nuint32 p = 0;
  EXPECT_EQ(NWDSGetEffectiveRights(ctx, U.c_str(), "OU=Top", "No Such Attr", &p), ERR_NO_SUCH_ATTRIBUTE);
  EXPECT_EQ(NWDSGetEffectiveRights(ctx, U.c_str(), "OU=Nowhere", "[Entry Rights]", &p), ERR_NO_SUCH_ENTRY);
}

} // namespace
