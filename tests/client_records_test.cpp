// Native value records to Values and back: every syntax's record is read into
// a Value, written out as one block of exactly the size reported (the
// sanitizers see any byte written past it), and read back from that block to
// the same Value, with every pointer of the block pointing inside it.
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

#include "nwclient.h"
#include "records.h"

namespace {

using nwc::Value;

struct Block {
  explicit Block(size_t n) : p(std::malloc(n ? n : 1)), size(n) {}
  ~Block() { std::free(p); }
  bool inside(const void *q, size_t len = 1) const {
    auto *c = static_cast<const char *>(q);
    auto *b = static_cast<const char *>(p);
    return c >= b && c + len <= b + size;
  }
  void *p;
  size_t size;
};

// Writes `v` out and reads the block back; checks the round trip.
std::unique_ptr<Block> RoundTrip(const Value &v) {
  auto b = std::make_unique<Block>(nwc::record_size(v));
  nwc::value_to_record(v, b->p);
  Value back;
  EXPECT_EQ(nwc::record_to_value(v.syntax, b->p, back), 0) << v.syntax;
  EXPECT_EQ(back, v) << "syntax " << v.syntax;
  return b;
}

Value FromRecord(nuint32 syntax, const void *rec) {
  Value v;
  EXPECT_EQ(nwc::record_to_value(syntax, rec, v), 0) << syntax;
  return v;
}

TEST(ClientRecords, IntegersAndTextsHaveTheirPlainSizes) {
  for (nuint32 s : {SYN_BOOLEAN, SYN_INTEGER, SYN_COUNTER, SYN_TIME, SYN_INTERVAL}) {
    nint32 x = s == SYN_BOOLEAN ? 1 : -7;
    Value v = FromRecord(s, &x);
    EXPECT_EQ(nwc::record_size(v), 4u);
    auto b = RoundTrip(v);
    nint32 y;
    std::memcpy(&y, b->p, 4);
    EXPECT_EQ(y, x);
  }
  for (nuint32 s : {SYN_DIST_NAME, SYN_CE_STRING, SYN_CI_STRING, SYN_PR_STRING, SYN_NU_STRING,
                    SYN_TEL_NUMBER, SYN_CLASS_NAME}) {
    Value v = FromRecord(s, "Text 12");
    EXPECT_EQ(nwc::record_size(v), 8u) << "text and its zero byte";
    auto b = RoundTrip(v);
    EXPECT_STREQ(static_cast<const char *>(b->p), "Text 12");
  }
  Value stream = FromRecord(SYN_STREAM, nullptr);
  EXPECT_EQ(nwc::record_size(stream), 0u);
  Value none;
  EXPECT_EQ(nwc::record_to_value(SYN_INTEGER, nullptr, none), ERR_NULL_POINTER);
  EXPECT_EQ(nwc::record_to_value(28, "x", none), ERR_NO_SUCH_SYNTAX);
}

TEST(ClientRecords, ListsKeepTheirOrderAndTheirEmptyForms) {
  char a[] = "first", b[] = "second";
  CI_List_T n2{nullptr, b}, n1{&n2, a};
  Value list = FromRecord(SYN_CI_LIST, &n1);
  EXPECT_EQ(list.texts, (std::vector<std::string>{"first", "second"}));
  auto blk = RoundTrip(list);
  auto *head = static_cast<CI_List_T *>(blk->p);
  ASSERT_TRUE(blk->inside(head->next, sizeof(CI_List_T)));
  EXPECT_TRUE(blk->inside(head->s));
  EXPECT_EQ(head->next->next, nullptr);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(head->next) % alignof(CI_List_T), 0u);

  char empty[] = "";
  CI_List_T lone{nullptr, empty};
  EXPECT_TRUE(FromRecord(SYN_CI_LIST, &lone).texts.empty()) << "one empty node: no items";
  RoundTrip(FromRecord(SYN_CI_LIST, &lone));

  nuint8 x[] = {1, 2, 3}, y[] = {0xFF};
  Octet_List_T o2{nullptr, 1, y}, o1{&o2, 3, x};
  Value octets = FromRecord(SYN_OCTET_LIST, &o1);
  EXPECT_EQ(octets.blobs, (std::vector<std::string>{std::string("\1\2\3", 3), "\xFF"}));
  RoundTrip(octets);
  Octet_List_T nothing{nullptr, 0, nullptr};
  Value no_octets = FromRecord(SYN_OCTET_LIST, &nothing);
  EXPECT_TRUE(no_octets.blobs.empty());
  auto nb = RoundTrip(no_octets);
  EXPECT_EQ(static_cast<Octet_List_T *>(nb->p)->data, nullptr);
  // One empty octet string is not the empty list.
  nuint8 z = 0;
  Octet_List_T one_empty{nullptr, 0, &z};
  EXPECT_EQ(FromRecord(SYN_OCTET_LIST, &one_empty).blobs.size(), 1u);
  RoundTrip(FromRecord(SYN_OCTET_LIST, &one_empty));
}

TEST(ClientRecords, StructuredRecordsRoundTrip) {
  nuint8 bytes[] = {0, 0x0A, 0xFF};
  Octet_String_T os{3, bytes};
  Value octet = FromRecord(SYN_OCTET_STRING, &os);
  auto ob = RoundTrip(octet);
  EXPECT_TRUE(ob->inside(static_cast<Octet_String_T *>(ob->p)->data, 3));
  RoundTrip(FromRecord(SYN_UNKNOWN, &os));
  Octet_String_T hollow{2, nullptr};
  Value bad;
  EXPECT_EQ(nwc::record_to_value(SYN_OCTET_STRING, &hollow, bad), ERR_SYNTAX_VIOLATION);

  char tel[] = "+1 555 0100";
  nuint8 bits[] = {0xA5, 0x01};
  Fax_Number_T fax{tel, {9, bits}};
  Value f = FromRecord(SYN_FAX_NUMBER, &fax);
  EXPECT_EQ(f.blobs[0].size(), 2u) << "9 bits take two bytes";
  RoundTrip(f);
  Fax_Number_T plain{tel, {0, nullptr}};
  auto pb = RoundTrip(FromRecord(SYN_FAX_NUMBER, &plain));
  EXPECT_EQ(static_cast<Fax_Number_T *>(pb->p)->parameters.data, nullptr);

  nuint8 addr[] = {0, 0, 0x12, 0x34, 0, 0, 0x1B, 0x2C, 0x3D, 0x4E, 0x04, 0x51};
  Net_Address_T na{0, 12, addr};
  RoundTrip(FromRecord(SYN_NET_ADDRESS, &na));
  Net_Address_T na0{9, 0, nullptr};
  RoundTrip(FromRecord(SYN_NET_ADDRESS, &na0));

  char mail[] = "bob@example.com", vol[] = "CN=SYS.O=Example", path[] = "\\home\\bob";
  EMail_Address_T em{1, mail};
  RoundTrip(FromRecord(SYN_EMAIL_ADDRESS, &em));
  Path_T p{4, vol, path};
  auto pathb = RoundTrip(FromRecord(SYN_PATH, &p));
  EXPECT_STREQ(static_cast<Path_T *>(pathb->p)->path, "\\home\\bob");

  char attr[] = "[Entry Rights]", subj[] = "[Public]";
  Object_ACL_T acl{attr, subj, 0x1F};
  RoundTrip(FromRecord(SYN_OBJECT_ACL, &acl));

  char l1[] = "1 Main St", l2[] = "Springfield", blank[] = "";
  Postal_Address_T po = {l1, l2, blank, nullptr, blank, blank};
  Value postal = FromRecord(SYN_PO_ADDRESS, po);
  EXPECT_EQ(postal.texts.size(), 6u);
  EXPECT_EQ(postal.texts[3], "") << "a null line is the empty text";
  auto pob = RoundTrip(postal);
  for (int i = 0; i < 6; ++i) EXPECT_TRUE(pob->inside(static_cast<pnstr8 *>(pob->p)[i]));

  NWDS_TimeStamp_T ts{100, 2, 1};
  RoundTrip(FromRecord(SYN_TIMESTAMP, &ts));
  char obj[] = "CN=Admin.O=Example";
  Back_Link_T bl{77, obj};
  RoundTrip(FromRecord(SYN_BACK_LINK, &bl));
  Typed_Name_T tn{obj, 3, 0x10};
  RoundTrip(FromRecord(SYN_TYPED_NAME, &tn));
  Hold_T h{obj, 500};
  RoundTrip(FromRecord(SYN_HOLD, &h));
}

TEST(ClientRecords, ReplicaPointerCarriesItsAddressesInline) {
  const size_t head = offsetof(Replica_Pointer_T, replicaAddressHint);
  std::vector<char> mem(head + 3 * sizeof(Net_Address_T));
  auto *rp = reinterpret_cast<Replica_Pointer_T *>(mem.data());
  auto *addrs = reinterpret_cast<Net_Address_T *>(mem.data() + head);
  char server[] = "CN=SRV1.O=Example";
  nuint8 a1[] = {1, 2, 3, 4}, a2[] = {9, 9};
  rp->serverName = server;
  rp->replicaType = RT_SECONDARY;
  rp->replicaNumber = 3;
  rp->count = 3;
  addrs[0] = {9, 4, a1};
  addrs[1] = {1, 2, a2};
  addrs[2] = {0, 0, nullptr};
  Value v = FromRecord(SYN_REPLICA_POINTER, rp);
  EXPECT_EQ(v.nums, (std::vector<uint32_t>{RT_SECONDARY, 3, 9, 1, 0}));
  auto b = RoundTrip(v);
  auto *out = static_cast<Replica_Pointer_T *>(b->p);
  ASSERT_EQ(out->count, 3u);
  auto *oa = reinterpret_cast<Net_Address_T *>(static_cast<char *>(b->p) + head);
  EXPECT_TRUE(b->inside(&oa[2], sizeof(Net_Address_T))) << "count addresses inline";
  EXPECT_TRUE(b->inside(oa[0].address, 4));
  EXPECT_EQ(std::memcmp(oa[0].address, a1, 4), 0);

  rp->count = 0;
  RoundTrip(FromRecord(SYN_REPLICA_POINTER, rp));
}

} // namespace
