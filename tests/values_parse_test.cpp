// The value text reader: documented examples, in-place splitting, missing and
// malformed lines, and the layouts whose reading this module settles itself
// (octet lists, fax parameters, short net addresses, replica addresses).
// Refusals that fail midway are checked for leaks by the sanitizer build.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/values_records.h"

namespace {

using vorla::testing::Parsed;

// A literal with its embedded zero bytes.
template <std::size_t N>
std::string Raw(const char (&s)[N]) {
  return std::string(s, N - 1);
}

std::vector<nuint8> BytesOf(const nuint8* p, std::size_t n) { return std::vector<nuint8>(p, p + n); }

TEST(ValuesParse, DocumentedExamples) {
  std::string net = "0\n12\n00001234:00001B2C3D4E\n";
  Parsed n(net, SYN_NET_ADDRESS);
  ASSERT_TRUE(n.ok());
  EXPECT_EQ(n.as<Net_Address_T>()->addressType, 0u);
  ASSERT_EQ(n.as<Net_Address_T>()->addressLength, 12u);
  EXPECT_EQ(BytesOf(n.as<Net_Address_T>()->address, 12),
            (std::vector<nuint8>{0, 0, 0x12, 0x34, 0, 0, 0x1B, 0x2C, 0x3D, 0x4E, 0, 0}));

  struct AclCase { const char* text; uint32_t mask; };
  for (const AclCase c : {AclCase{"[Entry Rights]\nrsdab\nS\n", 0x1F}, AclCase{"Surname\nrsdab\nS\n", 0x2A},
                          AclCase{"[SMS Rights]\nSBRCDA\nS\n", 0x3F}, AclCase{"[ENTRY rights]\n[BADRS]\nS\n", 0x1F}}) {
    std::string text = c.text;
    Parsed acl(text, SYN_OBJECT_ACL);
    ASSERT_TRUE(acl.ok());
    EXPECT_EQ(acl.as<Object_ACL_T>()->privileges, c.mask) << c.text;
    EXPECT_STREQ(acl.as<Object_ACL_T>()->subjectName, "S");
  }

  std::string postal = "one\ntwo\n\nfour\nfive\n";
  Parsed p(postal, SYN_PO_ADDRESS);
  ASSERT_TRUE(p.ok());
  const pnstr8* lines = p.as<pnstr8>();
  EXPECT_STREQ(lines[2], "four");
  EXPECT_STREQ(lines[3], "five");
  EXPECT_STREQ(lines[4], "");
  EXPECT_STREQ(lines[5], "");

  std::string ts = "100\n65538\n";
  Parsed t(ts, SYN_TIMESTAMP);
  ASSERT_TRUE(t.ok());
  EXPECT_EQ(t.as<NWDS_TimeStamp_T>()->wholeSeconds, 100u);
  EXPECT_EQ(t.as<NWDS_TimeStamp_T>()->replicaNum, 2u);
  EXPECT_EQ(t.as<NWDS_TimeStamp_T>()->eventID, 1u);

  std::string octets = "3\n0\nA\nFF\n";
  Parsed o(octets, SYN_OCTET_STRING);
  ASSERT_TRUE(o.ok());
  ASSERT_EQ(o.as<Octet_String_T>()->length, 3u);
  EXPECT_EQ(BytesOf(o.as<Octet_String_T>()->data, 3), (std::vector<nuint8>{0, 0x0A, 0xFF}));

  std::string typed = "Q\n0xab\n0X10 trailing\n";
  Parsed ty(typed, SYN_TYPED_NAME);
  ASSERT_TRUE(ty.ok());
  EXPECT_EQ(ty.as<Typed_Name_T>()->level, 0xABu);
  EXPECT_EQ(ty.as<Typed_Name_T>()->interval, 0x10u);
}

TEST(ValuesParse, SplitsTheCallersTextInPlace) {
  std::string text = "H\n7\nextra\nmore\n";
  const std::size_t before = text.size();
  Parsed h(text, SYN_HOLD);
  ASSERT_TRUE(h.ok());
  EXPECT_EQ(text.size(), before);
  EXPECT_EQ(text, Raw("H\0" "7\0" "extra\nmore\n"));  // untaken lines keep their line feeds
  EXPECT_EQ(h.as<Hold_T>()->objectName, text.data());                 // a pointer into the text, not a copy

  std::string oneLine = "just one line";
  Parsed f(oneLine, SYN_FAX_NUMBER);
  ASSERT_TRUE(f.ok());
  EXPECT_EQ(oneLine, "just one line");

  std::string runs = "\n\n\n4\n\n\nSYS\r\n\nP";  // leading and repeated line feeds count as one
  Parsed path(runs, SYN_PATH);
  ASSERT_TRUE(path.ok());
  EXPECT_EQ(path.as<Path_T>()->nameSpaceType, 4u);
  EXPECT_STREQ(path.as<Path_T>()->volumeName, "SYS\r");  // a carriage return stays on its line
  EXPECT_STREQ(path.as<Path_T>()->path, "P");
  EXPECT_EQ(runs, Raw("\n\n\n4\0\n\nSYS\r\0\nP"));
}

TEST(ValuesParse, CarriageReturnsAndZeroBytes) {
  std::string mail = "\n\n 7 units\r\n\n\naddr\r\n";
  Parsed m(mail, SYN_EMAIL_ADDRESS);
  ASSERT_TRUE(m.ok());
  EXPECT_EQ(m.as<EMail_Address_T>()->type, 7u);
  EXPECT_STREQ(m.as<EMail_Address_T>()->address, "addr\r");

  std::string list = Raw("a\nb\0c\nd\n");  // splitting stops at the first zero byte
  Parsed l(list, SYN_CI_LIST);
  ASSERT_TRUE(l.ok());
  EXPECT_STREQ(l.as<CI_List_T>()->s, "a");
  ASSERT_NE(l.as<CI_List_T>()->next, nullptr);
  EXPECT_STREQ(l.as<CI_List_T>()->next->s, "b");
  EXPECT_EQ(l.as<CI_List_T>()->next->next, nullptr);
  EXPECT_EQ(list, Raw("a\0b\0c\nd\n"));
}

TEST(ValuesParse, MalformedNumberLinesAreRefused) {
  struct Case { uint32_t syntax; const char* text; };
  for (const Case c : {Case{SYN_EMAIL_ADDRESS, "x\naddr\n"}, Case{SYN_PATH, "-\nSYS\nP\n"},
                       Case{SYN_BACK_LINK, "srv\n4\n"}, Case{SYN_TIMESTAMP, "100\nabc\n"},
                       Case{SYN_TYPED_NAME, "n\n1f\n0x1\n"}, Case{SYN_TYPED_NAME, "n\n0x1\n 0x2\n"},
                       Case{SYN_HOLD, "n\nmany\n"}, Case{SYN_NET_ADDRESS, "0\n10\nzz:00\n"},
                       Case{SYN_OCTET_STRING, "four\n"}, Case{SYN_OCTET_STRING, "4\n1\n2\nGG\n"},
                       Case{SYN_REPLICA_POINTER, "S\n0\nx\n0\n"},
                       Case{SYN_REPLICA_POINTER, "S\n0\n1\n2\n1\n00000000:000000000000\n2\n??\n"},
                       Case{SYN_REPLICA_POINTER, "S\n0\n1\n2\n1\n00000000:000000000000\n2\n"},
                       Case{SYN_REPLICA_POINTER, "S\n0\n1\n4294967295\n"}, Case{SYN_UNKNOWN, "1\n2\n"},
                       Case{SYN_INTEGER, "8\n"}, Case{SYN_STREAM, ""}, Case{40, "x\n"},
                       // stated lengths no value can have are not allocated
                       Case{SYN_OCTET_STRING, "4294967295\n1\n"},
                       Case{SYN_NET_ADDRESS, "0\n4000000000\n00001234:00001B2C3D4E\n"}}) {
    std::string text = c.text;
    Parsed v(text, c.syntax);
    EXPECT_FALSE(v.ok()) << "syntax " << c.syntax << ": " << c.text;
  }
}

TEST(ValuesParse, MissingLinesGiveEmptyTextsAndZeros) {
  std::string empty;
  Parsed list(empty, SYN_CI_LIST);
  ASSERT_TRUE(list.ok());
  EXPECT_STREQ(list.as<CI_List_T>()->s, "");
  EXPECT_EQ(list.as<CI_List_T>()->next, nullptr);

  std::string pathText = "3\n";
  Parsed path(pathText, SYN_PATH);
  ASSERT_TRUE(path.ok());
  EXPECT_EQ(path.as<Path_T>()->nameSpaceType, 3u);
  EXPECT_STREQ(path.as<Path_T>()->volumeName, "");
  EXPECT_STREQ(path.as<Path_T>()->path, "");

  std::string aclText = "[Entry Rights]\n";
  Parsed acl(aclText, SYN_OBJECT_ACL);
  ASSERT_TRUE(acl.ok());
  EXPECT_EQ(acl.as<Object_ACL_T>()->privileges, 0u);
  EXPECT_STREQ(acl.as<Object_ACL_T>()->subjectName, "");

  std::string typedText = "n\n";
  Parsed typed(typedText, SYN_TYPED_NAME);
  ASSERT_TRUE(typed.ok());
  EXPECT_EQ(typed.as<Typed_Name_T>()->level, 0u);
  EXPECT_EQ(typed.as<Typed_Name_T>()->interval, 0u);

  std::string octetText = "5\n0A\n";
  Parsed octets(octetText, SYN_OCTET_STRING);
  ASSERT_TRUE(octets.ok());
  EXPECT_EQ(BytesOf(octets.as<Octet_String_T>()->data, 5), (std::vector<nuint8>{0x0A, 0, 0, 0, 0}));

  std::string netText = "1\n";
  Parsed net(netText, SYN_NET_ADDRESS);
  ASSERT_TRUE(net.ok());
  EXPECT_EQ(net.as<Net_Address_T>()->addressLength, 0u);
  EXPECT_EQ(net.as<Net_Address_T>()->address, nullptr);

  std::string replicaText = "srv\n";
  Parsed replica(replicaText, SYN_REPLICA_POINTER);
  ASSERT_TRUE(replica.ok());
  EXPECT_EQ(replica.as<Replica_Pointer_T>()->count, 0u);
  EXPECT_EQ(replica.as<Replica_Pointer_T>()->replicaType, 0);
}

TEST(ValuesParse, NetAddressBytesStayWithinTheStatedLength) {
  std::string shortText = "0\n3\nAABBCCDD:EEFF00112233\n";  // three bytes allocated, three written
  Parsed s(shortText, SYN_NET_ADDRESS);
  ASSERT_TRUE(s.ok());
  EXPECT_EQ(BytesOf(s.as<Net_Address_T>()->address, 3), (std::vector<nuint8>{0xAA, 0xBB, 0xCC}));

  std::string partial = "0\n10\n0A0B\n";  // the line stops before the colon: the rest stays 0
  Parsed p(partial, SYN_NET_ADDRESS);
  ASSERT_TRUE(p.ok());
  EXPECT_EQ(BytesOf(p.as<Net_Address_T>()->address, 10), (std::vector<nuint8>{0x0A, 0x0B, 0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(ValuesParse, OctetListsAndFaxParametersAreEmpty) {
  std::string text = "3\n1\n2\n3\n";
  Parsed list(text, SYN_OCTET_LIST);
  ASSERT_TRUE(list.ok());
  EXPECT_EQ(list.as<Octet_List_T>()->next, nullptr);
  EXPECT_EQ(list.as<Octet_List_T>()->length, 0u);
  EXPECT_EQ(list.as<Octet_List_T>()->data, nullptr);
  EXPECT_EQ(text, "3\n1\n2\n3\n");

  std::string faxText = "555-0100\nextra\n";
  Parsed fax(faxText, SYN_FAX_NUMBER);
  ASSERT_TRUE(fax.ok());
  EXPECT_STREQ(fax.as<Fax_Number_T>()->telephoneNumber, "555-0100");
  EXPECT_EQ(fax.as<Fax_Number_T>()->parameters.numOfBits, 0u);
  EXPECT_EQ(fax.as<Fax_Number_T>()->parameters.data, nullptr);
}

TEST(ValuesParse, ReplicaAddressesReadAsWritten) {
  std::string text = "FS1\n-1\n3\n3\n1\n01020304:05060708090A\n9\nDEADBEEF:0000000000FF\n\n2\n00\nignored\n";
  Parsed r(text, SYN_REPLICA_POINTER);
  ASSERT_TRUE(r.ok());
  auto* v = r.as<Replica_Pointer_T>();
  EXPECT_STREQ(v->serverName, "FS1");
  EXPECT_EQ(v->replicaType, -1);
  EXPECT_EQ(v->replicaNumber, 3);
  ASSERT_EQ(v->count, 3u);
  const Net_Address_T* a = vorla::testing::AddressesOf(v);
  EXPECT_EQ(a[0].addressType, 1u);
  EXPECT_EQ(a[1].addressType, 9u);
  EXPECT_EQ(a[2].addressType, 2u);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(a[i].addressLength, 10u);
  EXPECT_EQ(BytesOf(a[1].address, 10), (std::vector<nuint8>{0xDE, 0xAD, 0xBE, 0xEF, 0, 0, 0, 0, 0, 0xFF}));
  EXPECT_EQ(BytesOf(a[2].address, 10), std::vector<nuint8>(10, 0));
  EXPECT_TRUE(text.ends_with(Raw("FF\0\n" "2\0" "00\0ignored\n")));  // lines after the layout stay
}

TEST(ValuesParse, LargeRenderedValuesReadBack) {
  vorla::testing::RecordArena arena;
  std::vector<nuint8> bytes(100000);
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<nuint8>(i * 13 + 1);
  Octet_String_T big{100000, arena.Bytes(bytes)};
  std::string octetText = vorla::testing::Render(&big, SYN_OCTET_STRING);
  Parsed o(octetText, SYN_OCTET_STRING);
  ASSERT_TRUE(o.ok());
  ASSERT_EQ(o.as<Octet_String_T>()->length, 100000u);
  std::vector<nuint8> expected(bytes.begin(), bytes.begin() + 8192);
  expected.resize(100000, 0);  // the bytes after the 8192nd have no line
  EXPECT_EQ(BytesOf(o.as<Octet_String_T>()->data, 100000), expected);

  std::string listText;
  for (int i = 0; i < 10000; ++i) listText += "n" + std::to_string(i) + "\n";
  Parsed l(listText, SYN_CI_LIST);
  ASSERT_TRUE(l.ok());
  int count = 0;
  const CI_List_T* last = nullptr;
  for (const CI_List_T* n = l.as<CI_List_T>(); n != nullptr; n = n->next, ++count) last = n;
  EXPECT_EQ(count, 10000);
  EXPECT_STREQ(last->s, "n9999");
}

}  // namespace
