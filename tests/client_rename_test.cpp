// Renaming and moving entries and security equivalences through the public
// functions, against the process's store (NWCLIENT_STORE=:memory:).
#include <algorithm>

#include "client_dir.h"

namespace {

using client_dir::ClientDir;

std::vector<std::string> Texts(const client_dir::ReadBack &r, const std::string &attr) {
  std::vector<std::string> out;
  auto it = r.values.find(attr);
  if (it == r.values.end()) return out;
  for (const nwc::Value &v : it->second) out.push_back(v.texts.empty() ? "" : v.texts[0]);
  std::sort(out.begin(), out.end());
  return out;
}

class ClientRename : public ClientDir {
protected:
  NWDSCCODE AddOU(const std::string &name) {
    return Add(name, {{"Object Class", SYN_CLASS_NAME, {"Organizational Unit"}}});
  }
  std::string Full(const std::string &rel) { return rel + ".O=" + org; }
};

TEST_F(ClientRename, ModifyRDNKeepsOrRemovesTheOldNamingValue) {
  ASSERT_EQ(AddUser("Alice"), 0);
  ASSERT_EQ(NWDSModifyRDN(ctx, "CN=Alice", "CN=Bob", 0), 0);
  EXPECT_EQ(Read("CN=Alice").status, ERR_NO_SUCH_ENTRY);
  auto kept = Read("CN=Bob");
  ASSERT_EQ(kept.status, 0);
  EXPECT_EQ(Texts(kept, "CN"), (std::vector<std::string>{"Alice", "Bob"}));
  EXPECT_EQ(Texts(kept, "Surname"), (std::vector<std::string>{"Tester"})) << "other values follow";

  // An untyped new RDN takes the old RDN's type; the old values go.
  ASSERT_EQ(NWDSModifyRDN(ctx, "CN=Bob", "Carol", 1), 0);
  auto removed = Read("CN=Carol");
  ASSERT_EQ(removed.status, 0);
  EXPECT_EQ(Texts(removed, "CN"), (std::vector<std::string>{"Alice", "Carol"}))
      << "only Bob, the naming value being replaced, is removed";

  // The kept old value is an ordinary value: it may be removed now.
  EXPECT_EQ(Modify("CN=Carol", DS_REMOVE_VALUE, {"CN", SYN_CI_STRING, {"Alice"}}), 0);
  EXPECT_EQ(Modify("CN=Carol", DS_REMOVE_VALUE, {"CN", SYN_CI_STRING, {"Carol"}}),
            ERR_CANT_REMOVE_NAMING_VALUE);
  EXPECT_EQ(Texts(Read("CN=Carol"), "CN"), (std::vector<std::string>{"Carol"}));
}

TEST_F(ClientRename, ModifyRDNFailuresChangeNothing) {
  ASSERT_EQ(AddUser("One"), 0);
  ASSERT_EQ(AddUser("Two"), 0);
  EXPECT_EQ(NWDSModifyRDN(ctx, "CN=One", "CN=Two", 1), ERR_ENTRY_ALREADY_EXISTS);
  EXPECT_EQ(NWDSModifyRDN(ctx, "CN=One", "cn=TWO", 0), ERR_ENTRY_ALREADY_EXISTS) << "names match without case";
  EXPECT_EQ(NWDSModifyRDN(ctx, "CN=Nobody", "CN=Three", 1), ERR_NO_SUCH_ENTRY);
  EXPECT_EQ(NWDSModifyRDN(ctx, "CN=One", "CN=Three.OU=X", 1), ERR_INVALID_RDN);
  EXPECT_EQ(NWDSModifyRDN(ctx, "CN=One", "O=Three", 1), ERR_ILLEGAL_DS_NAME) << "O does not name users";
  EXPECT_EQ(NWDSModifyRDN(ctx, "CN=One", nullptr, 1), ERR_NULL_POINTER);
  auto one = Read("CN=One");
  ASSERT_EQ(one.status, 0);
  EXPECT_EQ(Texts(one, "CN"), (std::vector<std::string>{"One"}));
  // A change of case only is a rename of the entry onto itself.
  EXPECT_EQ(NWDSModifyRDN(ctx, "CN=One", "CN=ONE", 1), 0);
  EXPECT_EQ(Read("CN=one").status, 0);
}

TEST_F(ClientRename, MoveObjectMovesTheSubtree) {
  ASSERT_EQ(AddOU("OU=Src"), 0);
  ASSERT_EQ(AddOU("OU=Inner.OU=Src"), 0);
  ASSERT_EQ(AddUser("CN=Deep.OU=Inner.OU=Src"), 0);
  ASSERT_EQ(AddUser("CN=Top.OU=Src"), 0);
  ASSERT_EQ(AddOU("OU=Dst"), 0);

  ASSERT_EQ(NWDSMoveObject(ctx, "OU=Src", "OU=Dst", "OU=Moved"), 0);
  EXPECT_EQ(Read("OU=Src").status, ERR_NO_SUCH_ENTRY);
  EXPECT_EQ(Read("CN=Deep.OU=Inner.OU=Src").status, ERR_NO_SUCH_ENTRY);
  auto moved = Read("OU=Moved.OU=Dst");
  ASSERT_EQ(moved.status, 0);
  EXPECT_EQ(Texts(moved, "OU"), (std::vector<std::string>{"Moved"}));
  auto deep = Read("CN=Deep.OU=Inner.OU=Moved.OU=Dst");
  ASSERT_EQ(deep.status, 0);
  EXPECT_EQ(Texts(deep, "Surname"), (std::vector<std::string>{"Tester"}));
  EXPECT_EQ(Read("CN=Top.OU=Moved.OU=Dst").status, 0);

  nint32 count = 0;
  ASSERT_EQ(NWDSGetCountByClassAndName(ctx, "OU=Moved.OU=Dst", nullptr, nullptr, &count), 0);
  EXPECT_EQ(count, 2);

  // Moving a leaf back out, keeping its name, through a full name.
  SetNameContext("[Root]");
  const std::string top = "CN=Top.OU=Moved.OU=Dst.O=" + org, dest = "O=" + org;
  ASSERT_EQ(NWDSMoveObject(ctx, top.c_str(), dest.c_str(), "CN=Top"), 0);
  EXPECT_EQ(Read("CN=Top.O=" + org).status, 0);
  EXPECT_EQ(Read(top).status, ERR_NO_SUCH_ENTRY);
}

TEST_F(ClientRename, MoveObjectFailures) {
  ASSERT_EQ(AddOU("OU=A"), 0);
  ASSERT_EQ(AddOU("OU=B.OU=A"), 0);
  ASSERT_EQ(AddOU("OU=B"), 0);
  ASSERT_EQ(AddUser("U"), 0);
  EXPECT_EQ(NWDSMoveObject(ctx, "OU=A", "OU=B.OU=A", "OU=A"), ERR_INVALID_REQUEST) << "into itself";
  EXPECT_EQ(NWDSMoveObject(ctx, "OU=A", "OU=A", "OU=A2"), ERR_INVALID_REQUEST);
  EXPECT_EQ(NWDSMoveObject(ctx, "OU=A", "OU=Nowhere", "OU=A"), ERR_NO_SUCH_ENTRY);
  EXPECT_EQ(NWDSMoveObject(ctx, "OU=Missing", "OU=B", "OU=Missing"), ERR_NO_SUCH_ENTRY);
  EXPECT_EQ(NWDSMoveObject(ctx, "OU=A", "CN=U", "OU=A"), ERR_ILLEGAL_CONTAINMENT) << "a user contains nothing";
  EXPECT_EQ(NWDSMoveObject(ctx, "OU=B", "OU=A", "OU=B"), ERR_ENTRY_ALREADY_EXISTS);
  EXPECT_EQ(NWDSMoveObject(ctx, "[Root]", "OU=A", "O=X"), ERR_INVALID_REQUEST);
  EXPECT_EQ(Read("OU=B.OU=A").status, 0);
  EXPECT_EQ(Read("OU=B").status, 0);
  EXPECT_EQ(Read("OU=A").status, 0);
}

TEST_F(ClientRename, ModifyDNRenamesAndMoves) {
  ASSERT_EQ(AddOU("OU=Dst"), 0);
  ASSERT_EQ(AddUser("Mover"), 0);
  ASSERT_EQ(NWDSModifyDN(ctx, "CN=Mover", "CN=Moved.OU=Dst", 1), 0);
  EXPECT_EQ(Read("CN=Mover").status, ERR_NO_SUCH_ENTRY);
  auto r = Read("CN=Moved.OU=Dst");
  ASSERT_EQ(r.status, 0);
  EXPECT_EQ(Texts(r, "CN"), (std::vector<std::string>{"Moved"}));
  // Same parent, new name, old value kept.
  ASSERT_EQ(NWDSModifyDN(ctx, "CN=Moved.OU=Dst", "CN=Again.OU=Dst", 0), 0);
  EXPECT_EQ(Texts(Read("CN=Again.OU=Dst"), "CN"), (std::vector<std::string>{"Again", "Moved"}));
  EXPECT_EQ(NWDSModifyDN(ctx, "CN=Again.OU=Dst", "CN=X.OU=Nowhere", 1), ERR_NO_SUCH_ENTRY);
  EXPECT_EQ(NWDSModifyDN(ctx, "OU=Dst", "OU=Inside.CN=Again.OU=Dst", 1), ERR_INVALID_REQUEST);
}

TEST_F(ClientRename, SecurityEquivalencesBothWays) {
  ASSERT_EQ(AddUser("From"), 0);
  ASSERT_EQ(AddUser("To"), 0);
  // Names in values are read back relative to the name context.
  const std::string from_dn = "CN=From", to_dn = "CN=To";

  ASSERT_EQ(NWDSAddSecurityEquiv(ctx, "CN=From", "CN=To"), 0);
  EXPECT_EQ(Texts(Read("CN=From"), "Security Equals"), (std::vector<std::string>{to_dn}));
  EXPECT_EQ(Texts(Read("CN=To"), "Equivalent To Me"), (std::vector<std::string>{from_dn}));
  EXPECT_EQ(Texts(Read("CN=To"), "Security Equals"), std::vector<std::string>{}) << "one way only";
  EXPECT_EQ(NWDSAddSecurityEquiv(ctx, "CN=From", "CN=To"), ERR_DUPLICATE_VALUE);
  EXPECT_EQ(NWDSAddSecurityEquiv(ctx, "CN=From", "CN=Ghost"), ERR_NO_SUCH_ENTRY);
  EXPECT_EQ(NWDSAddSecurityEquiv(ctx, "CN=Ghost", "CN=To"), ERR_NO_SUCH_ENTRY);

  ASSERT_EQ(NWDSRemSecurityEquiv(ctx, "CN=From", "CN=To"), 0);
  EXPECT_EQ(Texts(Read("CN=From"), "Security Equals"), std::vector<std::string>{});
  EXPECT_EQ(Texts(Read("CN=To"), "Equivalent To Me"), std::vector<std::string>{});
  EXPECT_EQ(NWDSRemSecurityEquiv(ctx, "CN=From", "CN=To"), ERR_NO_SUCH_VALUE);
  EXPECT_EQ(NWDSRemSecurityEquiv(ctx, "CN=From", "CN=Ghost"), ERR_NO_SUCH_ENTRY);

  // Added again, the pair comes back; a reverse removal is a different pair.
  ASSERT_EQ(NWDSAddSecurityEquiv(ctx, "CN=From", "CN=To"), 0);
  EXPECT_EQ(NWDSRemSecurityEquiv(ctx, "CN=To", "CN=From"), ERR_NO_SUCH_VALUE);
  EXPECT_EQ(Texts(Read("CN=To"), "Equivalent To Me"), (std::vector<std::string>{from_dn}));
  SetNameContext("[Root]");
  EXPECT_EQ(Texts(Read(Full("CN=From")), "Security Equals"), (std::vector<std::string>{Full("CN=To")}));
}

} // namespace
