// The schema and partition results through the public readers: class
// definitions with their five item lists, syntax lists, and the partitions
// of a server; filled through the result writer, walked as a script walks
// them, including the wrong verbs, empty results and reading past the end.
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "client_dir.h"
#include "items.h"

namespace {

using client_dir::ClientDir;
using nwc::ClassDef;

class ClientSchemaItems : public ClientDir {
protected:
  // A result buffer of `size` bytes and its engine-side buffer.
  pBuf_T Result(nwc::Buffer *&b, size_t size = DEFAULT_MESSAGE_LEN) {
    pBuf_T out = Buf(nwc::NO_VERB, size);
    b = nwc::live_buffer(out);
    return out;
  }
  // The names of the list at the read position, read as a script does.
  std::vector<std::string> List(pBuf_T out) {
    nuint32 n = 99;
    EXPECT_EQ(NWDSGetClassItemCount(ctx, out, &n), 0);
    std::vector<std::string> v;
    for (nuint32 i = 0; i < n; ++i) {
      char item[MAX_SCHEMA_NAME_BYTES];
      EXPECT_EQ(NWDSGetClassItem(ctx, out, item), 0);
      v.emplace_back(item);
    }
    char extra[MAX_SCHEMA_NAME_BYTES];
    EXPECT_EQ(NWDSGetClassItem(ctx, out, extra), ERR_BUFFER_EMPTY) << "past the end of the list";
    return v;
  }
  using Names = std::vector<std::string>;
};

ClassDef Full() {
  ClassDef d;
  d.name = "Printer Queue";
  d.flags = DS_CONTAINER_CLASS | DS_EFFECTIVE_CLASS;
  d.super_classes = {"Top", "Resource"};
  d.containment = {"Organization", "Organizational Unit", "Locality"};
  d.naming = {"CN"};
  d.mandatory = {"CN", "Host Server", "Queue Directory"};
  d.optional = {"Description", "See Also"};
  d.asn1 = std::string("\x2a\x86\x48\x00\x01", 5);
  return d;
}

ClassDef Bare() {
  ClassDef d;
  d.name = "Bare";
  d.flags = DS_NONREMOVABLE_CLASS;
  d.super_classes = {"Top"};
  return d;
}

TEST_F(ClientSchemaItems, ClassWithEveryListIsWalkedInThePublishedOrder) {
  nwc::Buffer *b;
  pBuf_T out = Result(b);
  {
    nwc::ResultWriter w(*b, DSV_READ_CLASS_DEF);
    ASSERT_TRUE(w.add_count(nwc::tag::CLASS_DEF_COUNT, 2));
    ASSERT_TRUE(w.add_class_def(Full(), DS_EXPANDED_CLASS_DEFS));
    ASSERT_TRUE(w.add_class_def(Bare(), DS_CLASS_DEFS));
  }
  nuint32 n = 0;
  char name[MAX_SCHEMA_NAME_BYTES];
  Class_Info_T info;
  std::memset(&info, 0xAB, sizeof info);
  ASSERT_EQ(NWDSGetClassDefCount(ctx, out, &n), 0);
  EXPECT_EQ(n, 2u);
  ASSERT_EQ(NWDSGetClassDef(ctx, out, name, &info), 0);
  EXPECT_STREQ(name, "Printer Queue");
  EXPECT_EQ(info.classFlags, nuint32{DS_CONTAINER_CLASS | DS_EFFECTIVE_CLASS});
  ASSERT_EQ(info.asn1ID.length, 5u);
  EXPECT_EQ(std::memcmp(info.asn1ID.data, "\x2a\x86\x48\x00\x01", 5), 0);
  for (size_t i = 5; i < MAX_ASN1_NAME; ++i) EXPECT_EQ(info.asn1ID.data[i], 0) << "byte " << i;
  EXPECT_EQ(List(out), (Names{"Top", "Resource"})) << "super classes";
  EXPECT_EQ(List(out), (Names{"Organization", "Organizational Unit", "Locality"})) << "containment";
  EXPECT_EQ(List(out), (Names{"CN"})) << "naming";
  EXPECT_EQ(List(out), (Names{"CN", "Host Server", "Queue Directory"})) << "mandatory";
  EXPECT_EQ(List(out), (Names{"Description", "See Also"})) << "optional";
  EXPECT_EQ(NWDSGetClassItemCount(ctx, out, &n), ERR_BUFFER_EMPTY) << "five lists, no sixth";

  ASSERT_EQ(NWDSGetClassDef(ctx, out, name, &info), 0);
  EXPECT_STREQ(name, "Bare");
  EXPECT_EQ(info.classFlags, nuint32{DS_NONREMOVABLE_CLASS});
  EXPECT_EQ(info.asn1ID.length, 0u);
  EXPECT_EQ(List(out), (Names{"Top"}));
  for (int i = 0; i < 4; ++i) EXPECT_EQ(List(out), Names{}) << "empty list " << i;
  EXPECT_EQ(NWDSGetClassItemCount(ctx, out, &n), ERR_BUFFER_EMPTY);
  EXPECT_EQ(NWDSGetClassDef(ctx, out, name, &info), ERR_BUFFER_EMPTY);
  EXPECT_EQ(NWDSGetClassDefCount(ctx, out, &n), ERR_BUFFER_EMPTY) << "read once, at the start";
}

TEST_F(ClientSchemaItems, InfoTypesDecideWhatFollowsTheClassName) {
  nwc::Buffer *b;
  pBuf_T out = Result(b);
  EXPECT_EQ(nwc::class_def_parts(DS_CLASS_DEF_NAMES), 0u);
  EXPECT_EQ(nwc::class_def_parts(DS_INFO_CLASS_DEFS), nwc::kClassHasInfo);
  for (nuint32 t : {DS_CLASS_DEFS, DS_EXPANDED_CLASS_DEFS, DS_FULL_CLASS_DEFS})
    EXPECT_EQ(nwc::class_def_parts(t), nwc::kClassHasInfo | nwc::kClassHasLists) << t;
  {
    nwc::ResultWriter w(*b, DSV_READ_CLASS_DEF);
    ASSERT_TRUE(w.add_count(nwc::tag::CLASS_DEF_COUNT, 3));
    ASSERT_TRUE(w.add_class_def(Full(), DS_CLASS_DEF_NAMES));
    ASSERT_TRUE(w.add_class_def(Full(), DS_INFO_CLASS_DEFS));
    ASSERT_TRUE(w.add_class_def(Bare(), DS_FULL_CLASS_DEFS));
    const size_t items = b->items.size(), used = b->used;
    EXPECT_FALSE(w.add_class_def(Full(), DS_FULL_CLASS_DEFS + 1)) << "no such info type";
    EXPECT_EQ(b->items.size(), items);
    EXPECT_EQ(b->used, used);
  }
  nuint32 n = 0;
  char name[MAX_SCHEMA_NAME_BYTES];
  Class_Info_T info, untouched;
  std::memset(&info, 0x5A, sizeof info);
  std::memcpy(&untouched, &info, sizeof info);
  ASSERT_EQ(NWDSGetClassDefCount(ctx, out, &n), 0);
  ASSERT_EQ(NWDSGetClassDef(ctx, out, name, &info), 0);
  EXPECT_STREQ(name, "Printer Queue");
  EXPECT_EQ(std::memcmp(&info, &untouched, sizeof info), 0) << "names only: classInfo is ignored";
  EXPECT_EQ(NWDSGetClassItemCount(ctx, out, &n), ERR_BUFFER_EMPTY) << "names only: no lists";
  ASSERT_EQ(NWDSGetClassDef(ctx, out, name, nullptr), 0) << "classInfo may be null";
  ASSERT_EQ(NWDSGetClassDef(ctx, out, name, nullptr), 0);
  EXPECT_STREQ(name, "Bare");
  EXPECT_EQ(NWDSGetClassDef(ctx, out, name, nullptr), ERR_BUFFER_EMPTY);
  // Again from the second class, with its information read this time.
  b->cursor = 2;
  ASSERT_EQ(NWDSGetClassDef(ctx, out, name, &info), 0);
  EXPECT_EQ(info.classFlags, nuint32{DS_CONTAINER_CLASS | DS_EFFECTIVE_CLASS});
  EXPECT_EQ(info.asn1ID.length, 5u);
  EXPECT_EQ(NWDSGetClassItemCount(ctx, out, &n), ERR_BUFFER_EMPTY) << "information only: no lists";
  ASSERT_EQ(NWDSGetClassDef(ctx, out, name, &info), 0);
  EXPECT_STREQ(name, "Bare");
  EXPECT_EQ(List(out), (Names{"Top"})) << "a full definition has the lists";
}

TEST_F(ClientSchemaItems, UnreadListsAndNamesArePassedOver) {
  nwc::Buffer *b;
  pBuf_T out = Result(b);
  {
    nwc::ResultWriter w(*b, DSV_READ_CLASS_DEF);
    ASSERT_TRUE(w.add_count(nwc::tag::CLASS_DEF_COUNT, 2));
    ASSERT_TRUE(w.add_class_def(Full(), DS_CLASS_DEFS));
    ASSERT_TRUE(w.add_class_def(Bare(), DS_CLASS_DEFS));
  }
  nuint32 n = 0;
  char name[MAX_SCHEMA_NAME_BYTES], item[MAX_SCHEMA_NAME_BYTES];
  EXPECT_EQ(NWDSGetClassItemCount(ctx, out, &n), ERR_BUFFER_EMPTY) << "no class read yet";
  EXPECT_EQ(NWDSGetClassItem(ctx, out, item), ERR_BUFFER_EMPTY);
  ASSERT_EQ(NWDSGetClassDef(ctx, out, name, nullptr), 0) << "the count may be skipped";
  EXPECT_STREQ(name, "Printer Queue");
  EXPECT_EQ(NWDSGetClassItem(ctx, out, item), ERR_BUFFER_EMPTY) << "a list's count comes first";
  ASSERT_EQ(NWDSGetClassItemCount(ctx, out, &n), 0);
  EXPECT_EQ(n, 2u);
  ASSERT_EQ(NWDSGetClassItem(ctx, out, item), 0);
  EXPECT_STREQ(item, "Top");
  ASSERT_EQ(NWDSGetClassItemCount(ctx, out, &n), 0) << "the rest of the super classes passed over";
  EXPECT_EQ(n, 3u) << "containment";
  ASSERT_EQ(NWDSGetClassDef(ctx, out, name, nullptr), 0) << "the rest of the class passed over";
  EXPECT_STREQ(name, "Bare");
  EXPECT_EQ(List(out), (Names{"Top"}));
}

TEST_F(ClientSchemaItems, ReadersRefuseOtherVerbsAndUnfilledBuffers) {
  nwc::Buffer *b;
  pBuf_T search = Result(b);
  {
    nwc::ResultWriter w(*b, DSV_SEARCH);
    ASSERT_TRUE(w.add_count(nwc::tag::OBJECT_COUNT, 0));
  }
  pBuf_T fresh = Buf(nwc::NO_VERB), request = Buf(DSV_READ_CLASS_DEF);
  nwc::Buffer *cb;
  pBuf_T classes = Result(cb);
  {
    nwc::ResultWriter w(*cb, DSV_READ_CLASS_DEF);
    ASSERT_TRUE(w.add_count(nwc::tag::CLASS_DEF_COUNT, 0));
  }
  nuint32 n = 7, type = 0;
  char name[MAX_DN_BYTES];
  for (pBuf_T wrong : {search, fresh}) {
    EXPECT_EQ(NWDSGetClassDefCount(ctx, wrong, &n), ERR_BAD_VERB);
    EXPECT_EQ(NWDSGetClassDef(ctx, wrong, name, nullptr), ERR_BAD_VERB);
    EXPECT_EQ(NWDSGetClassItemCount(ctx, wrong, &n), ERR_BAD_VERB);
    EXPECT_EQ(NWDSGetClassItem(ctx, wrong, name), ERR_BAD_VERB);
    EXPECT_EQ(NWDSGetSyntaxCount(ctx, wrong, &n), ERR_BAD_VERB);
    EXPECT_EQ(NWDSGetServerName(ctx, wrong, name, &n), ERR_BAD_VERB);
    EXPECT_EQ(NWDSGetPartitionInfo(ctx, wrong, name, &type), ERR_BAD_VERB);
  }
  EXPECT_EQ(n, 7u) << "nothing written on failure";
  // A class result is read by the class readers only.
  EXPECT_EQ(NWDSGetSyntaxCount(ctx, classes, &n), ERR_BAD_VERB);
  EXPECT_EQ(NWDSGetServerName(ctx, classes, name, &n), ERR_BAD_VERB);
  EXPECT_EQ(NWDSGetAttrCount(ctx, classes, &n), ERR_BAD_VERB);
  EXPECT_EQ(NWDSGetObjectCount(ctx, classes, &n), ERR_BAD_VERB);
  // Initialised for the verb but filled by no operation.
  EXPECT_EQ(NWDSGetClassDefCount(ctx, request, &n), ERR_BUFFER_EMPTY);
  // An empty result: a count of none, then nothing.
  ASSERT_EQ(NWDSGetClassDefCount(ctx, classes, &n), 0);
  EXPECT_EQ(n, 0u);
  EXPECT_EQ(NWDSGetClassDef(ctx, classes, name, nullptr), ERR_BUFFER_EMPTY);
  // The call layer's checks come first.
  EXPECT_EQ(NWDSGetClassDefCount(-5, classes, &n), ERR_BAD_CONTEXT);
  EXPECT_EQ(NWDSGetClassDef(ctx, classes, nullptr, nullptr), ERR_NULL_POINTER);
  EXPECT_EQ(NWDSGetServerName(ctx, classes, name, nullptr), ERR_NULL_POINTER);
  pBuf_T dead = nullptr;
  ASSERT_EQ(NWDSAllocBuf(64, &dead), 0);
  ASSERT_EQ(NWDSFreeBuf(dead), 0);
  EXPECT_EQ(NWDSGetClassItem(ctx, dead, name), ERR_INVALID_HANDLE);
  EXPECT_EQ(NWDSGetPartitionInfo(ctx, dead, name, &type), ERR_INVALID_HANDLE);
}

TEST_F(ClientSchemaItems, AClassIsAddedWholeOrNotAtAll) {
  const ClassDef d = Full();
  const size_t cost = nwc::ResultWriter::class_def_cost(d, DS_CLASS_DEFS);
  // name, flags, ASN.1 length and bytes, then five counts and 11 names
  size_t expect = nwc::name_cost(d.name) + 4 + 4 + 8 + 5 * 4;
  for (const auto *l : {&d.super_classes, &d.containment, &d.naming, &d.mandatory, &d.optional})
    for (const auto &s : *l) expect += nwc::name_cost(s);
  EXPECT_EQ(cost, expect);
  EXPECT_EQ(nwc::ResultWriter::class_def_cost(d, DS_CLASS_DEF_NAMES), nwc::name_cost(d.name));

  nwc::Buffer *b;
  pBuf_T out = Result(b, 4 + cost + cost - 1);
  nwc::ResultWriter w(*b, DSV_READ_CLASS_DEF);
  ASSERT_TRUE(w.add_count(nwc::tag::CLASS_DEF_COUNT, 0));
  ASSERT_TRUE(w.add_class_def(d, DS_CLASS_DEFS));
  EXPECT_EQ(b->used, 4 + cost) << "charged what class_def_cost says";
  const size_t items = b->items.size();
  EXPECT_FALSE(w.add_class_def(d, DS_CLASS_DEFS)) << "one byte short";
  EXPECT_EQ(b->items.size(), items) << "no part of it added";
  EXPECT_EQ(b->used, 4 + cost);
  EXPECT_TRUE(w.add_class_def(Bare(), DS_CLASS_DEF_NAMES)) << "a smaller one still fits";
  w.set_number(0, 2);
  nuint32 n = 0;
  char name[MAX_SCHEMA_NAME_BYTES];
  ASSERT_EQ(NWDSGetClassDefCount(ctx, out, &n), 0);
  EXPECT_EQ(n, 2u);
  ASSERT_EQ(NWDSGetClassDef(ctx, out, name, nullptr), 0);
  ASSERT_EQ(NWDSGetClassDef(ctx, out, name, nullptr), 0);
  EXPECT_STREQ(name, "Bare");
}

TEST_F(ClientSchemaItems, NamesAndIdsNeverOverrunTheCallersAreas) {
  // 32 characters of three bytes each: 96 bytes, more than the area holds.
  std::string wide;
  for (int i = 0; i < 32; ++i) wide += "\xE2\x82\xAC";
  ClassDef d = Bare();
  d.name = wide;
  d.super_classes = {wide};
  d.asn1 = std::string(40, '\x07');
  nwc::Buffer *b;
  pBuf_T out = Result(b);
  {
    nwc::ResultWriter w(*b, DSV_READ_CLASS_DEF);
    ASSERT_TRUE(w.add_count(nwc::tag::CLASS_DEF_COUNT, 1));
    ASSERT_TRUE(w.add_class_def(d, DS_CLASS_DEFS));
  }
  struct {
    char area[MAX_SCHEMA_NAME_BYTES];
    char guard[8];
  } name, item;
  std::memset(&name, 0x33, sizeof name);
  std::memset(&item, 0x33, sizeof item);
  struct {
    Class_Info_T info;
    char guard[8];
  } info;
  std::memset(&info, 0x33, sizeof info);
  nuint32 n = 0;
  ASSERT_EQ(NWDSGetClassDefCount(ctx, out, &n), 0);
  ASSERT_EQ(NWDSGetClassDef(ctx, out, name.area, &info.info), 0);
  EXPECT_EQ(std::string(name.area), wide.substr(0, 63)) << "cut at a character, 21 of them";
  EXPECT_EQ(std::string(name.guard, 8), std::string(8, '\x33'));
  EXPECT_EQ(info.info.asn1ID.length, nuint32{MAX_ASN1_NAME});
  EXPECT_EQ(std::string(info.guard, 8), std::string(8, '\x33'));
  ASSERT_EQ(NWDSGetClassItemCount(ctx, out, &n), 0);
  ASSERT_EQ(NWDSGetClassItem(ctx, out, item.area), 0);
  EXPECT_EQ(std::string(item.area), wide.substr(0, 63));
  EXPECT_EQ(std::string(item.guard, 8), std::string(8, '\x33'));
}

TEST_F(ClientSchemaItems, SyntaxesAreCountedAndReadAsAttributeNames) {
  nwc::Buffer *b;
  pBuf_T out = Result(b);
  {
    nwc::ResultWriter w(*b, DSV_READ_SYNTAXES);
    ASSERT_TRUE(w.add_count(nwc::tag::ATTR_COUNT, 2));
    ASSERT_TRUE(w.add_syntax("Distinguished Name", SYN_DIST_NAME, 0x11));
    ASSERT_TRUE(w.add_syntax("Integer", SYN_INTEGER, 0x13));
  }
  nuint32 n = 0, count = 9, syn = 0;
  char an[MAX_SCHEMA_NAME_BYTES];
  EXPECT_EQ(NWDSGetAttrName(ctx, out, an, &count, &syn), 0) << "the count may be skipped";
  b->cursor = 0;
  ASSERT_EQ(NWDSGetSyntaxCount(ctx, out, &n), 0);
  EXPECT_EQ(n, 2u);
  EXPECT_EQ(NWDSGetSyntaxCount(ctx, out, &n), ERR_BUFFER_EMPTY) << "one count, at the start";
  ASSERT_EQ(NWDSGetAttrName(ctx, out, an, &count, &syn), 0);
  EXPECT_STREQ(an, "Distinguished Name");
  EXPECT_EQ(count, 0u) << "no values follow a syntax";
  EXPECT_EQ(syn, nuint32{SYN_DIST_NAME});
  ASSERT_EQ(NWDSGetAttrName(ctx, out, an, &count, &syn), 0);
  EXPECT_STREQ(an, "Integer");
  EXPECT_EQ(syn, nuint32{SYN_INTEGER});
  EXPECT_EQ(NWDSGetAttrName(ctx, out, an, &count, &syn), ERR_BUFFER_EMPTY);
  b->cursor = 0;
  ASSERT_EQ(NWDSGetAttrCount(ctx, out, &n), 0) << "the same count through NWDSGetAttrCount";
  EXPECT_EQ(n, 2u);
  // A read result has attributes, not syntaxes.
  nwc::Buffer *rb;
  pBuf_T read = Result(rb);
  {
    nwc::ResultWriter w(*rb, DSV_READ);
    ASSERT_TRUE(w.add_count(nwc::tag::ATTR_COUNT, 0));
  }
  EXPECT_EQ(NWDSGetSyntaxCount(ctx, read, &n), ERR_BAD_VERB);
}

TEST_F(ClientSchemaItems, PartitionsOfAServerAreNamedForTheContext) {
  nwc::Buffer *b;
  pBuf_T out = Result(b);
  {
    nwc::ResultWriter w(*b, DSV_LIST_PARTITIONS);
    const size_t server = w.next_index();
    ASSERT_TRUE(w.add_server("CN=FS1.O=" + org, 0));
    ASSERT_TRUE(w.add_partition("OU=Sales.O=" + org, RT_MASTER));
    ASSERT_TRUE(w.add_partition("OU=Lab.O=Other", RT_READONLY));
    w.set_number(server, 2);
  }
  nuint32 count = 0, type = 99;
  char name[MAX_DN_BYTES];
  EXPECT_EQ(NWDSGetPartitionInfo(ctx, out, name, &type), 0) << "the server name may be skipped";
  EXPECT_STREQ(name, "OU=Sales");
  b->cursor = 0;
  ASSERT_EQ(NWDSGetServerName(ctx, out, name, &count), 0);
  EXPECT_STREQ(name, "CN=FS1") << "relative to the name context";
  EXPECT_EQ(count, 2u);
  ASSERT_EQ(NWDSGetPartitionInfo(ctx, out, name, &type), 0);
  EXPECT_STREQ(name, "OU=Sales");
  EXPECT_EQ(type, nuint32{RT_MASTER});
  ASSERT_EQ(NWDSGetPartitionInfo(ctx, out, name, &type), 0);
  EXPECT_STREQ(name, "OU=Lab.O=Other.") << "one dot per level climbed";
  EXPECT_EQ(type, nuint32{RT_READONLY});
  EXPECT_EQ(NWDSGetPartitionInfo(ctx, out, name, &type), ERR_BUFFER_EMPTY);
  EXPECT_EQ(NWDSGetServerName(ctx, out, name, &count), ERR_BUFFER_EMPTY) << "one server per part";

  nuint32 flags = DCV_DEFAULT_FLAGS | DCV_TYPELESS_NAMES;
  ASSERT_EQ(NWDSSetContext(ctx, DCK_FLAGS, &flags), 0);
  b->cursor = 0;
  ASSERT_EQ(NWDSGetServerName(ctx, out, name, &count), 0);
  EXPECT_STREQ(name, "FS1") << "typeless when the context says so";
  SetNameContext("[Root]");
  ASSERT_EQ(NWDSGetPartitionInfo(ctx, out, name, &type), 0);
  EXPECT_EQ(std::string(name), "Sales." + org);

  // A server that holds no partition in this part.
  {
    nwc::ResultWriter w(*b, DSV_LIST_PARTITIONS);
    ASSERT_TRUE(w.add_server("CN=FS2.O=" + org, 0));
  }
  ASSERT_EQ(NWDSGetServerName(ctx, out, name, &count), 0);
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(NWDSGetPartitionInfo(ctx, out, name, &type), ERR_BUFFER_EMPTY);
}

} // namespace
