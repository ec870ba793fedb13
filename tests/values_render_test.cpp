// Syntax classes, rights letters and the value text writer: the documented
// layouts by example, and values larger than any fixed area would hold.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

#include "tests/values_records.h"
#include "values/rights.h"
#include "values/syntax.h"

namespace {

using vorla::SyntaxClass;
using vorla::SyntaxClassOf;
using vorla::testing::AddressesOf;
using vorla::testing::RecordArena;
using vorla::testing::Render;

std::size_t CountLines(const std::string& s) {
  return static_cast<std::size_t>(std::count(s.begin(), s.end(), '\n'));
}

bool EndsWith(const std::string& s, const std::string& suffix) {
  return s.size() >= suffix.size() && s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

TEST(ValuesSyntax, EveryIdFallsIntoItsClass) {
  const std::set<uint32_t> integer = {7, 8, 22, 24, 27};
  const std::set<uint32_t> string = {1, 2, 3, 4, 5, 10, 20};
  for (uint32_t id = 0; id < 28; ++id) {
    SyntaxClass expected = SyntaxClass::Structured;
    if (integer.count(id)) expected = SyntaxClass::Integer;
    if (string.count(id)) expected = SyntaxClass::String;
    if (id == 21) expected = SyntaxClass::NoValue;
    EXPECT_EQ(SyntaxClassOf(id), expected) << "id " << id;
  }
  for (uint32_t id : {28u, 29u, 30u, 36u, 37u, 38u, 1000u, 0x7FFFFFFFu, 0xFFFFFFFFu}) {
    EXPECT_EQ(SyntaxClassOf(id), SyntaxClass::Unsupported) << "id " << id;
  }
}

std::string Letters(const char* name, uint32_t mask) {
  std::string out;
  vorla::RightsToLetters(name, mask, out);
  return out;
}

TEST(ValuesRights, WriterPicksTheAlphabetByExactName) {
  EXPECT_EQ(Letters("[Entry Rights]", 0x1F), "[BADRS]");
  EXPECT_EQ(Letters("[Entry Rights]", 0xFFFFFFFF), "[BADRS]");
  EXPECT_EQ(Letters("[SMS Rights]", 0x3F), "[SBRCDA]");
  EXPECT_EQ(Letters("Telephone Number", 0x2F), "[CRWAS]");
  EXPECT_EQ(Letters("Telephone Number", 0x10), "[]");
  EXPECT_EQ(Letters("[entry rights]", 0x1F), "[CRWA]");
  EXPECT_EQ(Letters("[SMS RIGHTS]", 0x20), "[S]");
  EXPECT_EQ(Letters(nullptr, 0x05), "[CW]");
  EXPECT_EQ(Letters("[Entry Rights]", 0), "[]");
  EXPECT_EQ(Letters("[Entry Rights]", 0x12), "[AS]");  // ascending bit order
}

TEST(ValuesRights, ReaderIgnoresCaseOrderAndStrangers) {
  EXPECT_EQ(vorla::LettersToRights("[Entry Rights]", "rsdab"), 0x1Fu);
  EXPECT_EQ(vorla::LettersToRights("Surname", "rsdab"), 0x2Au);
  EXPECT_EQ(vorla::LettersToRights("[SMS Rights]", "SBRCDA"), 0x3Fu);
  EXPECT_EQ(vorla::LettersToRights("[entry RIGHTS]", "[S]"), 0x10u);
  EXPECT_EQ(vorla::LettersToRights("[sms rights]", "[a a 9 x]"), 0x20u);
  EXPECT_EQ(vorla::LettersToRights("[Entry Rights]", "[CW]"), 0u);
  EXPECT_EQ(vorla::LettersToRights(nullptr, "BADRS"), 0u);
  EXPECT_EQ(vorla::LettersToRights("[Entry Rights]", nullptr), 0u);
}

TEST(ValuesRights, EveryLetterMaskReadsBackToItself) {
  struct Case { const char* name; uint32_t letterBits; };
  for (const Case c : {Case{"[Entry Rights]", 0x1F}, Case{"[SMS Rights]", 0x3F}, Case{"CN", 0x2F}}) {
    for (uint32_t mask = 0; mask < 64; ++mask) {
      const std::string letters = Letters(c.name, mask);
      EXPECT_EQ(vorla::LettersToRights(c.name, letters.c_str()), mask & c.letterBits)
          << c.name << " " << mask << " " << letters;
    }
  }
}

TEST(ValuesRender, DocumentedExamples) {
  RecordArena a;
  Net_Address_T net{0, 12, a.Bytes({0x00, 0x00, 0x12, 0x34, 0x00, 0x00, 0x1B, 0x2C, 0x3D, 0x4E, 0x04, 0x51})};
  EXPECT_EQ(Render(&net, SYN_NET_ADDRESS), "0\n12\n00001234:00001B2C3D4E\n");

  Object_ACL_T acl{a.Text("[Entry Rights]"), a.Text("S"), 0x1F};
  EXPECT_EQ(Render(&acl, SYN_OBJECT_ACL), "[Entry Rights]\n[BADRS]\nS\n");
  acl.protectedAttrName = a.Text("[entry rights]");
  EXPECT_EQ(Render(&acl, SYN_OBJECT_ACL), "[entry rights]\n[CRWA]\nS\n");

  Octet_String_T octets{3, a.Bytes({0x00, 0x0A, 0xFF})};
  EXPECT_EQ(Render(&octets, SYN_OCTET_STRING), "3\n0\nA\nFF\n");

  NWDS_TimeStamp_T ts{100, 2, 1};
  EXPECT_EQ(Render(&ts, SYN_TIMESTAMP), "100\n65538\n");

  CI_List_T b{nullptr, a.Text("b")};
  CI_List_T list{&b, a.Text("a")};
  EXPECT_EQ(Render(&list, SYN_CI_LIST), "a\nb\n");
}

TEST(ValuesRender, EveryOtherLayout) {
  RecordArena a;
  Fax_Number_T fax{a.Text("+1 555 0100"), {8, a.Bytes({0xFF})}};
  EXPECT_EQ(Render(&fax, SYN_FAX_NUMBER), "+1 555 0100\n");
  EMail_Address_T mail{4294967295u, a.Text("x@y")};
  EXPECT_EQ(Render(&mail, SYN_EMAIL_ADDRESS), "4294967295\nx@y\n");
  Path_T path{4, a.Text("SYS"), a.Text("PUBLIC\\X")};
  EXPECT_EQ(Render(&path, SYN_PATH), "4\nSYS\nPUBLIC\\X\n");
  Back_Link_T link{77, a.Text("CN=S1")};
  EXPECT_EQ(Render(&link, SYN_BACK_LINK), "77\nCN=S1\n");
  Typed_Name_T typed{a.Text("Q"), 0xAB, 0};
  EXPECT_EQ(Render(&typed, SYN_TYPED_NAME), "Q\n0xab\n0x0\n");
  Hold_T hold{a.Text("H"), 42};
  EXPECT_EQ(Render(&hold, SYN_HOLD), "H\n42\n");
  pnstr8 postal[6] = {a.Text("1"), a.Text("2"), a.Text("3"), a.Text("4"), a.Text("5"), a.Text("6")};
  EXPECT_EQ(Render(postal, SYN_PO_ADDRESS), "1\n2\n3\n4\n5\n6\n");

  Replica_Pointer_T* r = a.Replica(2);
  r->serverName = a.Text("FS1");
  r->replicaType = -1;
  r->replicaNumber = 3;
  AddressesOf(r)[0] = {1, 10, a.Bytes({1, 2, 3, 4, 5, 6, 7, 8, 9, 10})};
  AddressesOf(r)[1] = {9, 12, a.Bytes({0xDE, 0xAD, 0xBE, 0xEF, 0, 0, 0, 0, 0, 0xFF, 1, 1})};
  EXPECT_EQ(Render(r, SYN_REPLICA_POINTER),
            "FS1\n4294967295\n3\n2\n1\n01020304:05060708090A\n9\nDEADBEEF:0000000000FF\n");

  Octet_List_T olist{nullptr, 1, a.Bytes({1})};
  for (uint32_t id : {uint32_t{SYN_UNKNOWN}, uint32_t{SYN_OCTET_LIST}, uint32_t{SYN_STREAM},
                      uint32_t{SYN_INTEGER}, 40u}) {
    std::string out = "kept";
    vorla::RenderAttrValue(&olist, id, out);
    EXPECT_EQ(out, "kept") << "id " << id;
  }
}

TEST(ValuesRender, ShortOrMissingAddressBytesArePaddedNotOverread) {
  RecordArena a;
  Net_Address_T shortAddr{6, 3, a.Bytes({0xAA, 0xBB, 0xCC})};  // exactly 3 bytes owned
  EXPECT_EQ(Render(&shortAddr, SYN_NET_ADDRESS), "6\n3\nAABBCC00:000000000000\n");
  Net_Address_T noBytes{6, 5, nullptr};
  EXPECT_EQ(Render(&noBytes, SYN_NET_ADDRESS), "6\n5\n00000000:000000000000\n");
  Replica_Pointer_T* r = a.Replica(1);
  AddressesOf(r)[0] = {2, 1, a.Bytes({0x7F})};
  EXPECT_EQ(Render(r, SYN_REPLICA_POINTER), "\n0\n0\n1\n2\n7F000000:000000000000\n");
}

TEST(ValuesRender, LargeValuesComeBackWhole) {
  RecordArena a;
  std::vector<nuint8> bytes(100000);
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<nuint8>(i * 7);
  Octet_String_T big{100000, a.Bytes(bytes)};
  const std::string octetText = Render(&big, SYN_OCTET_STRING);
  EXPECT_EQ(CountLines(octetText), 1u + 8192u);
  EXPECT_EQ(octetText.substr(0, 7), "100000\n");
  EXPECT_TRUE(EndsWith(octetText, "\nF9\n"));  // byte 8191: (8191 * 7) & 0xFF

  std::vector<CI_List_T> nodes(10000);
  for (std::size_t i = 0; i < nodes.size(); ++i) {
    nodes[i].s = a.Text("node" + std::to_string(i));
    nodes[i].next = i + 1 < nodes.size() ? &nodes[i + 1] : nullptr;
  }
  const std::string listText = Render(nodes.data(), SYN_CI_LIST);
  EXPECT_EQ(CountLines(listText), 10000u);
  EXPECT_TRUE(EndsWith(listText, "\nnode9999\n"));

  const std::string longLine(5000, 'p');
  pnstr8 postal[6];
  for (auto& line : postal) line = a.Text(longLine);
  EXPECT_EQ(Render(postal, SYN_PO_ADDRESS).size(), 6u * 5001u);

  Replica_Pointer_T* r = a.Replica(600);
  r->serverName = a.Text("S");
  for (uint32_t i = 0; i < 600; ++i) AddressesOf(r)[i] = {i, 10, a.Bytes(std::vector<nuint8>(10, 0xEE))};
  const std::string replicaText = Render(r, SYN_REPLICA_POINTER);
  EXPECT_EQ(CountLines(replicaText), 4u + 1200u);
  EXPECT_TRUE(EndsWith(replicaText, "\n599\nEEEEEEEE:EEEEEEEEEEEE\n"));
}

}  // namespace
