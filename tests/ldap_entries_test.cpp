// The LDAP backend, entries: what an add writes is on the server (ldapsearch)
// and reads back with the directory's names and syntaxes; modify change
// types applied as one request, whole or not at all; rename, move, remove.
#include <algorithm>

#include "ldap_dir.h"

namespace {

using ldap_dir::LdapDir;
using ldap_dir::server;

class LdapEntries : public LdapDir {};

TEST_F(LdapEntries, AddWritesTheServerAndReadGivesValuesInTheirSyntaxes) {
  const char *addr[6] = {"1 Main St", "Springfield $ East", "", "", "", ""};
  ASSERT_EQ(AddUser("CN=Ann", {{"Telephone Number", SYN_TEL_NUMBER, {"555-0100"}},
                               {"Internet EMail Address", SYN_CI_STRING, {"ann@example.com"}},
                               {"Postal Address", SYN_PO_ADDRESS, {addr}},
                               {"See Also", SYN_DIST_NAME, {".CN=Admin.O=Example"}}}),
            0);
  // NWDSAddObject with a context of another name context: the name resolves.
  const std::string ldif = server().search("cn=Ann," + base(), "base", "sn telephoneNumber mail postalAddress objectClass");
  EXPECT_NE(ldif.find("sn: Tester"), std::string::npos) << ldif;
  EXPECT_NE(ldif.find("telephoneNumber: 555-0100"), std::string::npos) << ldif;
  EXPECT_NE(ldif.find("mail: ann@example.com"), std::string::npos) << ldif;
  EXPECT_NE(ldif.find("objectClass: inetOrgPerson"), std::string::npos) << ldif;
  EXPECT_NE(ldif.find("postalAddress: 1 Main St$Springfield \\24 East"), std::string::npos) << ldif;

  auto r = Read("CN=Ann");
  ASSERT_EQ(r.status, 0);
  EXPECT_EQ(r.syntaxes["Surname"], SYN_CI_STRING);
  EXPECT_EQ(r.syntaxes["Telephone Number"], SYN_TEL_NUMBER);
  EXPECT_EQ(r.syntaxes["See Also"], SYN_DIST_NAME);
  EXPECT_EQ(r.syntaxes["Object Class"], SYN_CLASS_NAME);
  ASSERT_EQ(r.values["See Also"].size(), 1u);
  EXPECT_EQ(r.values["See Also"][0].texts[0], "CN=Admin."); // formatted for the name context
  ASSERT_EQ(r.values["Postal Address"].size(), 1u);
  EXPECT_EQ(r.values["Postal Address"][0].texts[1], "Springfield $ East");
  bool user = false;
  for (const auto &v : r.values["Object Class"]) user = user || v.texts[0] == "User";
  EXPECT_TRUE(user);
  // A result buffer too small for everything at once: parts through the handle.
  auto small = Read("CN=Ann", 200);
  ASSERT_EQ(small.status, 0);
  EXPECT_GT(small.parts, 1);
  EXPECT_EQ(small.values, r.values);

  nuint32 syn = 0;
  EXPECT_EQ(NWDSGetSyntaxID(ctx, "Postal Address", &syn), 0);
  EXPECT_EQ(syn, nuint32{SYN_PO_ADDRESS});
  EXPECT_EQ(NWDSGetSyntaxID(ctx, "No Such Attribute Here", &syn), ERR_NO_SUCH_ATTRIBUTE);
  EXPECT_EQ(AddUser("CN=Ann"), ERR_ENTRY_ALREADY_EXISTS);
  EXPECT_EQ(Read("CN=Nobody").status, ERR_NO_SUCH_ENTRY);
}

TEST_F(LdapEntries, ModifyAppliesEveryChangeOrNone) {
  ASSERT_EQ(AddUser("CN=Bo", {{"Title", SYN_CI_STRING, {"Clerk"}}}), 0);
  // A good change followed by one the server refuses: nothing is applied.
  pBuf_T b = Buf(DSV_MODIFY_ENTRY);
  ASSERT_EQ(Put(b, {{"Description", SYN_CI_STRING, {"first"}}}, DS_ADD_VALUE), 0);
  ASSERT_EQ(Put(b, {{"Title", SYN_CI_STRING, {"Clerk"}}}, DS_ADD_VALUE), 0);
  EXPECT_EQ(NWDSModifyObject(ctx, "CN=Bo", nullptr, 0, b), ERR_DUPLICATE_VALUE);
  EXPECT_EQ(server().search("cn=Bo," + base(), "base", "description").find("description:"), std::string::npos);

  EXPECT_EQ(Modify("CN=Bo", DS_OVERWRITE_VALUE, {"Title", SYN_CI_STRING, {"Clerk"}}), 0); // held: no change
  EXPECT_EQ(Modify("CN=Bo", DS_ADD_ATTRIBUTE, {"Title", SYN_CI_STRING, {"Boss"}}), ERR_ATTRIBUTE_ALREADY_EXISTS);
  EXPECT_EQ(Modify("CN=Bo", DS_ADDITIONAL_VALUE, {"Description", SYN_CI_STRING, {"x"}}), ERR_NO_SUCH_ATTRIBUTE);
  EXPECT_EQ(Modify("CN=Bo", DS_REMOVE_VALUE, {"Title", SYN_CI_STRING, {"Janitor"}}), ERR_NO_SUCH_VALUE);
  EXPECT_EQ(Modify("CN=Bo", DS_CLEAR_VALUE, {"Title", SYN_CI_STRING, {"Janitor"}}), 0);
  EXPECT_EQ(Modify("CN=Bo", DS_ADD_VALUE, {"Title", SYN_CI_STRING, {"Boss"}}), 0);
  EXPECT_EQ(Modify("CN=Bo", DS_CLEAR_VALUE, {"Title", SYN_CI_STRING, {"clerk"}}), 0); // matched without case
  EXPECT_EQ(Modify("CN=Bo", DS_CLEAR_ATTRIBUTE, {"Description", SYN_CI_STRING, {}}), 0);
  auto r = Read("CN=Bo");
  ASSERT_EQ(r.status, 0);
  ASSERT_EQ(r.values["Title"].size(), 1u);
  EXPECT_EQ(r.values["Title"][0].texts[0], "Boss");
  EXPECT_EQ(Modify("CN=Bo", DS_REMOVE_ATTRIBUTE, {"Surname", SYN_CI_STRING, {}}), ERR_OBJECT_CLASS_VIOLATION);
  // Changes of one attribute in one request: each sees what the one before left.
  pBuf_T seq = Buf(DSV_MODIFY_ENTRY);
  ASSERT_EQ(Put(seq, {{"Title", SYN_CI_STRING, {}}}, DS_REMOVE_ATTRIBUTE), 0);
  ASSERT_EQ(Put(seq, {{"Title", SYN_CI_STRING, {"Chief"}}}, DS_ADD_VALUE), 0);
  ASSERT_EQ(Put(seq, {{"Title", SYN_CI_STRING, {"Head"}}}, DS_ADD_ATTRIBUTE), 0);
  EXPECT_EQ(NWDSModifyObject(ctx, "CN=Bo", nullptr, 0, seq), ERR_ATTRIBUTE_ALREADY_EXISTS);
  seq = Buf(DSV_MODIFY_ENTRY);
  ASSERT_EQ(Put(seq, {{"Title", SYN_CI_STRING, {}}}, DS_REMOVE_ATTRIBUTE), 0);
  ASSERT_EQ(Put(seq, {{"Title", SYN_CI_STRING, {"Chief"}}}, DS_ADD_ATTRIBUTE), 0);
  ASSERT_EQ(Put(seq, {{"Title", SYN_CI_STRING, {"chief", "Head"}}}, DS_OVERWRITE_VALUE), 0);
  EXPECT_EQ(NWDSModifyObject(ctx, "CN=Bo", nullptr, 0, seq), 0);
  r = Read("CN=Bo");
  ASSERT_EQ(r.values["Title"].size(), 2u);
  EXPECT_EQ(r.values["Title"][0].texts[0] + r.values["Title"][1].texts[0], "ChiefHead");
  EXPECT_EQ(Modify("CN=Bo", DS_CLEAR_ATTRIBUTE, {"Title", SYN_CI_STRING, {}}), 0);
  EXPECT_EQ(Modify("CN=Bo", DS_CLEAR_ATTRIBUTE, {"Title", SYN_CI_STRING, {}}), 0); // not there: nothing to do
  EXPECT_EQ(Modify("CN=Bo", DS_ADD_ATTRIBUTE, {"Title", SYN_CI_STRING, {"Boss"}}), 0);
  // The server compares under its own matching rule (case ignored).
  pBuf_T cmp = Buf(DSV_COMPARE);
  ASSERT_EQ(Put(cmp, {{"Title", SYN_CI_STRING, {"BOSS"}}}), 0);
  nbool8 matched = 0;
  EXPECT_EQ(NWDSCompare(ctx, "CN=Bo", cmp, &matched), 0);
  EXPECT_EQ(matched, 1);
}

TEST_F(LdapEntries, AGroupWithoutMembersHoldsAStandInNoScriptSees) {
  ASSERT_EQ(AddUser("CN=Mo"), 0);
  ASSERT_EQ(Add("CN=Crew", {{"Object Class", SYN_CLASS_NAME, {"Group"}}}), 0);
  const std::string mo = ".CN=Mo.OU=" + ou + ".O=Example";
  auto on_server = [&] { return server().search("cn=Crew," + base(), "base", "member"); };
  auto members = [&] {
    auto r = Read("CN=Crew");
    EXPECT_EQ(r.status, 0);
    return r.values["Member"].size();
  };
  auto compare = [&](nbool8 &matched) {
    pBuf_T cmp = Buf(DSV_COMPARE);
    EXPECT_EQ(Put(cmp, {{"Member", SYN_DIST_NAME, {mo.c_str()}}}), 0);
    return NWDSCompare(ctx, "CN=Crew", cmp, &matched);
  };
  auto found_by_presence = [&] {
    pBuf_T f = Buf(DSV_SEARCH_FILTER);
    EXPECT_EQ(NWDSPutAttrName(ctx, f, "(Member=*)"), 0);
    pBuf_T out = Buf(nwc::NO_VERB);
    nint32 it = NO_MORE_ITERATIONS, searched = 0;
    EXPECT_EQ(NWDSSearch(ctx, "", DS_SEARCH_SUBORDINATES, 0, f, DS_ATTRIBUTE_NAMES, 1, nullptr, &it, 0, &searched, out), 0);
    nuint32 n = 0;
    EXPECT_EQ(NWDSGetObjectCount(ctx, out, &n), 0);
    return n;
  };
  EXPECT_NE(on_server().find("member:"), std::string::npos);
  EXPECT_EQ(members(), 0u);
  std::vector<std::string> just{"Member"};
  EXPECT_EQ(Read("CN=Crew", DEFAULT_MESSAGE_LEN, DS_ATTRIBUTE_NAMES, &just).status, ERR_NO_SUCH_ATTRIBUTE);
  EXPECT_EQ(Read("CN=Crew", DEFAULT_MESSAGE_LEN, DS_ATTRIBUTE_NAMES).values.count("Member"), 0u);
  nbool8 matched = 9;
  EXPECT_EQ(compare(matched), ERR_NO_SUCH_ATTRIBUTE);
  EXPECT_EQ(found_by_presence(), 0u);
  // A real member takes the stand-in's place; the last one leaving brings it back.
  EXPECT_EQ(Modify("CN=Crew", DS_ADD_VALUE, {"Member", SYN_DIST_NAME, {mo.c_str()}}), 0);
  std::string ldif = on_server();
  EXPECT_NE(ldif.find("member: cn=Mo,ou=" + ou + ",o=Example\n"), std::string::npos) << ldif;
  EXPECT_EQ(ldif.find("member:"), ldif.rfind("member:")) << "one member value: " << ldif;
  EXPECT_EQ(members(), 1u);
  EXPECT_EQ(compare(matched), 0);
  EXPECT_EQ(matched, 1);
  EXPECT_EQ(found_by_presence(), 1u);
  EXPECT_EQ(Modify("CN=Crew", DS_REMOVE_VALUE, {"Member", SYN_DIST_NAME, {mo.c_str()}}), 0);
  ldif = on_server();
  EXPECT_TRUE(ldif.find("member:") != std::string::npos && ldif.find("member: cn=") == std::string::npos) << ldif;
  EXPECT_EQ(members(), 0u);
  // The stand-in is no Member for the change types either.
  EXPECT_EQ(Modify("CN=Crew", DS_REMOVE_ATTRIBUTE, {"Member", SYN_DIST_NAME, {}}), ERR_NO_SUCH_ATTRIBUTE);
  EXPECT_EQ(Modify("CN=Crew", DS_ADD_ATTRIBUTE, {"Member", SYN_DIST_NAME, {mo.c_str()}}), 0);
  EXPECT_EQ(members(), 1u);
  EXPECT_EQ(Modify("CN=Crew", DS_REMOVE_ATTRIBUTE, {"Member", SYN_DIST_NAME, {}}), 0);
  EXPECT_EQ(members(), 0u);
  EXPECT_EQ(Add("CN=Band", {{"Object Class", SYN_CLASS_NAME, {"Group"}}, {"Member", SYN_DIST_NAME, {mo.c_str()}}}), 0);
  EXPECT_EQ(server().search("cn=Band," + base(), "base", "member").find("member:\n"), std::string::npos);
}

TEST_F(LdapEntries, ValueInformationOnReadsAndSearches) {
  ASSERT_EQ(AddUser("CN=Cid"), 0);
  pBuf_T out = Buf(nwc::NO_VERB);
  nint32 it = NO_MORE_ITERATIONS, searched = 0;
  for (nuint32 info : {DS_VALUE_INFO, DS_ABBREVIATED_VALUE}) {
    ASSERT_EQ(NWDSRead(ctx, "CN=Cid", info, 1, nullptr, &it, out), 0);
    const nuint32 seconds = client_dir::ExpectUserValueInfo(out, info);
    // A search gives the same information.
    ASSERT_EQ(NWDSSearch(ctx, "CN=Cid", DS_SEARCH_ENTRY, 0, nullptr, info, 1, nullptr, &it, 0, &searched, out), 0);
    EXPECT_EQ(client_dir::ExpectUserValueInfo(out, info), seconds);
  }
  // Effective privileges have no LDAP carrier: refused, not answered with nothing.
  EXPECT_EQ(NWDSRead(ctx, "CN=Cid", DS_EFFECTIVE_PRIVILEGES, 1, nullptr, &it, out), ERR_INVALID_REQUEST);
  EXPECT_EQ(NWDSSearch(ctx, "CN=Cid", DS_SEARCH_ENTRY, 0, nullptr, DS_EFFECTIVE_PRIVILEGES, 1, nullptr, &it, 0,
                       &searched, out), ERR_INVALID_REQUEST);
}

TEST_F(LdapEntries, ClassDefinitionsComeFromTheServerSchema) {
  pBuf_T names = Buf(DSV_READ_CLASS_DEF);
  ASSERT_EQ(NWDSPutClassItem(ctx, names, "User"), 0);
  pBuf_T out = Buf(nwc::NO_VERB);
  nint32 it = NO_MORE_ITERATIONS;
  ASSERT_EQ(NWDSReadClassDef(ctx, DS_EXPANDED_CLASS_DEFS, 0, names, &it, out), 0);
  nuint32 n = 0;
  ASSERT_EQ(NWDSGetClassDefCount(ctx, out, &n), 0);
  ASSERT_EQ(n, 1u);
  char name[MAX_SCHEMA_NAME_BYTES];
  Class_Info_T info;
  ASSERT_EQ(NWDSGetClassDef(ctx, out, name, &info), 0);
  EXPECT_STREQ(name, "User");
  EXPECT_TRUE(info.classFlags & DS_EFFECTIVE_CLASS);
  std::vector<std::vector<std::string>> lists(5);
  for (auto &list : lists) {
    nuint32 count = 0;
    ASSERT_EQ(NWDSGetClassItemCount(ctx, out, &count), 0);
    for (nuint32 i = 0; i < count; ++i) {
      ASSERT_EQ(NWDSGetClassItem(ctx, out, name), 0);
      list.push_back(name);
    }
  }
  auto has = [](const std::vector<std::string> &l, const char *x) { return std::find(l.begin(), l.end(), x) != l.end(); };
  EXPECT_TRUE(has(lists[0], "Organizational Person")) << "super classes, expanded";
  EXPECT_TRUE(has(lists[3], "Surname") && has(lists[3], "CN")) << "mandatory, from person";
  EXPECT_TRUE(has(lists[4], "Internet EMail Address")) << "optional";
}

TEST_F(LdapEntries, RenameMoveAndRemove) {
  ASSERT_EQ(Add("OU=Sub", {{"Object Class", SYN_CLASS_NAME, {"Organizational Unit"}}}), 0);
  ASSERT_EQ(AddUser("CN=Cy"), 0);
  EXPECT_EQ(NWDSModifyRDN(ctx, "CN=Cy", "Cyd", 1), 0); // the old RDN's type
  EXPECT_EQ(Read("CN=Cy").status, ERR_NO_SUCH_ENTRY);
  ASSERT_EQ(Read("CN=Cyd").status, 0);
  EXPECT_EQ(NWDSMoveObject(ctx, "CN=Cyd", "OU=Sub", "CN=Cyd"), 0);
  EXPECT_NE(server().search("cn=Cyd,ou=Sub," + base(), "base", "cn").find("dn: cn=Cyd,ou=Sub"), std::string::npos);
  EXPECT_EQ(NWDSModifyDN(ctx, "CN=Cyd.OU=Sub", "CN=Dee", 1), 0); // back to the test's container
  EXPECT_EQ(Read("CN=Dee").status, 0);
  EXPECT_EQ(NWDSRemoveObject(ctx, "OU=Sub"), 0);
  ASSERT_EQ(AddUser("CN=Eve.OU=Sub2"), ERR_NO_SUCH_ENTRY);
  EXPECT_EQ(NWDSRemoveObject(ctx, "CN=Dee"), 0);
  EXPECT_EQ(server().search("cn=Dee," + base(), "base", "cn").find("dn:"), std::string::npos);
  SetNameContext("O=Example");
  EXPECT_EQ(NWDSRemoveObject(ctx, ("OU=" + ou).c_str()), 0);
  ASSERT_EQ(Add("OU=" + ou, {{"Object Class", SYN_CLASS_NAME, {"Organizational Unit"}}}), 0);
  ASSERT_EQ(AddUser("CN=F.OU=" + ou), 0);
  EXPECT_EQ(NWDSRemoveObject(ctx, ("OU=" + ou).c_str()), ERR_ENTRY_IS_NOT_LEAF);
}

} // namespace
