// The rights cache across this process's own writes: it is kept over writes
// that rights are not worked out from, so these checks make sure that the
// writes they are worked out from are seen at once: a grant that rolled back
// with its modify, and a move that takes a user out of the container its
// rights came through.
#include <gtest/gtest.h>
#include <string>

#include "client_dir.h"

namespace {

class ClientRightsCache : public client_dir::ClientDir {
protected:
  nuint32 Rights(const std::string &subject, const std::string &object) {
    nuint32 p = 0xDEAD;
    EXPECT_EQ(NWDSGetEffectiveRights(ctx, subject.c_str(), object.c_str(), "[Entry Rights]", &p), 0);
    return p;
  }
};

TEST_F(ClientRightsCache, AGrantThatRolledBackAndAMoveAreSeenAtOnce) {
  for (const char *ou : {"OU=Box", "OU=Other", "OU=Target"})
    ASSERT_EQ(Add(ou, {{"Object Class", SYN_CLASS_NAME, {"Organizational Unit"}}}), 0);
  ASSERT_EQ(AddUser("CN=U.OU=Box"), 0);
  const std::string U = "CN=U.OU=Box";
  EXPECT_EQ(Rights(U, "OU=Target"), nuint32{DS_ENTRY_BROWSE});

  // One modify: a grant to U, then a change that fails.  The Admin's
  // rights on the entry are checked between the two, with the grant in.
  std::string attr = "[Entry Rights]", subject = U;
  Object_ACL_T acl{attr.data(), subject.data(), DS_ENTRY_DELETE};
  pBuf_T b = Buf(DSV_MODIFY_ENTRY);
  ASSERT_EQ(Put(b, {{"ACL", SYN_OBJECT_ACL, {&acl}}}, DS_ADD_VALUE), 0);
  ASSERT_EQ(Put(b, {{"Description", SYN_CI_STRING, {"not there"}}}, DS_REMOVE_VALUE), 0);
  EXPECT_EQ(NWDSModifyObject(ctx, "OU=Target", nullptr, 0, b), ERR_NO_SUCH_VALUE);
  EXPECT_EQ(Rights(U, "OU=Target"), nuint32{DS_ENTRY_BROWSE}) << "the grant rolled back";

  // Rights through the container: gone when the user moves out of it.
  std::string box = ".OU=Box.O=" + org;
  Object_ACL_T to_box{attr.data(), box.data(), DS_ENTRY_RENAME};
  ASSERT_EQ(Modify("OU=Target", DS_ADD_VALUE, {"ACL", SYN_OBJECT_ACL, {&to_box}}), 0);
  EXPECT_EQ(Rights(U, "OU=Target"), nuint32{DS_ENTRY_BROWSE | DS_ENTRY_RENAME});
  ASSERT_EQ(NWDSMoveObject(ctx, U.c_str(), "OU=Other", "CN=U"), 0);
  EXPECT_EQ(Rights("CN=U.OU=Other", "OU=Target"), nuint32{DS_ENTRY_BROWSE}) << "no longer below OU=Box";
}

} // namespace
