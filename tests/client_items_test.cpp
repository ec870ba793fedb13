// The buffer item protocol through the public functions: which writers and
// readers belong to which verb, the budget of request and result buffers,
// syntax checks on values, reading past the end, iteration handles, and the
// object readers of search and list results.
#include <cstring>
#include <gtest/gtest.h>

#include "client_dir.h"
#include "items.h"
#include "iteration.h"

namespace {

using client_dir::ClientDir;
using nwc::Value;

class ClientItems : public ClientDir {};

TEST_F(ClientItems, WritersBelongToTheirVerbs) {
  pBuf_T read = Buf(DSV_READ), modify = Buf(DSV_MODIFY_ENTRY), classes = Buf(DSV_DEFINE_CLASS);
  pBuf_T fresh = Buf(nwc::NO_VERB);
  EXPECT_EQ(NWDSPutAttrName(ctx, read, "CN"), 0);
  EXPECT_EQ(NWDSPutChange(ctx, read, DS_ADD_VALUE, "CN"), ERR_BAD_VERB);
  EXPECT_EQ(NWDSPutAttrVal(ctx, read, SYN_CI_STRING, "x"), ERR_BAD_VERB);
  EXPECT_EQ(NWDSPutAttrName(ctx, modify, "CN"), ERR_BAD_VERB);
  EXPECT_EQ(NWDSPutChange(ctx, modify, DS_ADD_VALUE, "CN"), 0);
  EXPECT_EQ(NWDSPutChange(ctx, modify, 8, "CN"), ERR_INVALID_REQUEST) << "no such change type";
  EXPECT_EQ(NWDSBeginClassItem(ctx, modify), ERR_BAD_VERB);
  EXPECT_EQ(NWDSBeginClassItem(ctx, classes), 0);
  EXPECT_EQ(NWDSPutClassItem(ctx, classes, "Top"), 0);
  EXPECT_EQ(NWDSPutClassItem(ctx, read, "Top"), ERR_BAD_VERB);
  EXPECT_EQ(NWDSPutAttrName(ctx, fresh, "CN"), ERR_BAD_VERB) << "not initialised";
  EXPECT_EQ(NWDSPutAttrName(ctx, read, ""), ERR_INVALID_DS_NAME);
  EXPECT_EQ(NWDSPutAttrName(ctx, read, std::string(33, 'a').c_str()), ERR_ATTR_NAME_TOO_LONG);
  EXPECT_EQ(NWDSPutAttrName(-3, read, "CN"), ERR_BAD_CONTEXT);
  for (nuint32 v : {DSV_READ, DSV_COMPARE, DSV_ADD_ENTRY, DSV_SEARCH, DSV_SEARCH_FILTER,
                    DSV_READ_ATTR_DEF, DSV_MODIFY_CLASS_DEF})
    EXPECT_TRUE(nwc::writer_allowed(nwc::Writer::attr_name, v)) << v;
  for (nuint32 v : {DSV_ADD_ENTRY, DSV_MODIFY_ENTRY, DSV_COMPARE, DSV_SEARCH_FILTER})
    EXPECT_TRUE(nwc::writer_allowed(nwc::Writer::value, v)) << v;
  EXPECT_FALSE(nwc::writer_allowed(nwc::Writer::value, DSV_READ));
}

TEST_F(ClientItems, ValuesNeedANameAndASyntaxTheyFit) {
  pBuf_T add = Buf(DSV_ADD_ENTRY), mod = Buf(DSV_MODIFY_ENTRY);
  nint32 two = 2, one = 1;
  EXPECT_EQ(NWDSPutAttrVal(ctx, add, SYN_CI_STRING, "x"), ERR_ATTR_TYPE_EXPECTED);
  ASSERT_EQ(NWDSPutAttrName(ctx, add, "Login Disabled"), 0);
  EXPECT_EQ(NWDSPutAttrVal(ctx, add, SYN_BOOLEAN, &two), ERR_SYNTAX_VIOLATION);
  EXPECT_EQ(NWDSPutAttrVal(ctx, add, SYN_BOOLEAN, &one), 0);
  EXPECT_EQ(NWDSPutAttrVal(ctx, add, SYN_NU_STRING, "12a"), ERR_SYNTAX_VIOLATION);
  EXPECT_EQ(NWDSPutAttrVal(ctx, add, SYN_NU_STRING, "12 34"), 0);
  EXPECT_EQ(NWDSPutAttrVal(ctx, add, SYN_PR_STRING, "caf\xC3\xA9"), ERR_SYNTAX_VIOLATION);
  EXPECT_EQ(NWDSPutAttrVal(ctx, add, SYN_CI_STRING, "   "), ERR_SYNTAX_VIOLATION);
  EXPECT_EQ(NWDSPutAttrVal(ctx, add, SYN_DIST_NAME, "CN=a..."), ERR_SYNTAX_VIOLATION)
      << "climbs above [Root]";
  EXPECT_EQ(NWDSPutAttrVal(ctx, add, 28, "x"), ERR_NO_SUCH_SYNTAX);
  EXPECT_EQ(NWDSPutAttrVal(ctx, add, SYN_INTEGER, nullptr), ERR_NULL_POINTER);
  EXPECT_EQ(NWDSPutAttrVal(ctx, add, SYN_STREAM, nullptr), 0) << "a stream has no value of its own";
  // Attribute-specific limits are the operation's, not the buffer's.
  EXPECT_EQ(NWDSPutAttrVal(ctx, add, SYN_CI_STRING, std::string(2000, 'x').c_str()), 0);

  ASSERT_EQ(NWDSPutChange(ctx, mod, DS_CLEAR_ATTRIBUTE, "Title"), 0);
  EXPECT_EQ(NWDSPutAttrVal(ctx, mod, SYN_CI_STRING, "x"), ERR_ATTR_TYPE_NOT_EXPECTED);
  ASSERT_EQ(NWDSPutChange(ctx, mod, DS_ADD_VALUE, "Title"), 0);
  EXPECT_EQ(NWDSPutAttrVal(ctx, mod, SYN_CI_STRING, "x"), 0);
}

TEST_F(ClientItems, RequestItemsAreChargedAgainstTheBudget) {
  pBuf_T small = Buf(DSV_ADD_ENTRY, 64);
  nwc::Buffer *b = nwc::live_buffer(small);
  ASSERT_EQ(NWDSPutAttrName(ctx, small, "Description"), 0); // 4 + 24
  const size_t used = b->used;
  EXPECT_GE(used, 24u);
  EXPECT_EQ(NWDSPutAttrVal(ctx, small, SYN_CI_STRING, std::string(60, 'd').c_str()), ERR_BUFFER_FULL);
  EXPECT_EQ(b->used, used) << "a refused item is not added";
  EXPECT_EQ(b->items.size(), 1u);
  EXPECT_EQ(NWDSPutAttrVal(ctx, small, SYN_CI_STRING, "short"), 0);
  while (NWDSPutAttrVal(ctx, small, SYN_CI_STRING, "more") == 0) {
  }
  EXPECT_LE(b->used, b->size);
  EXPECT_EQ(NWDSInitBuf(ctx, DSV_ADD_ENTRY, small), 0);
  EXPECT_EQ(b->used, 0u) << "a new init empties the budget";
}

TEST_F(ClientItems, ReadersBelongToTheirVerbsAndStopAtTheEnd) {
  ASSERT_EQ(AddUser("CN=Walk", {{"Title", SYN_CI_STRING, {"One", "Two"}}}), 0);
  pBuf_T names = Buf(DSV_READ), out = Buf(nwc::NO_VERB);
  ASSERT_EQ(NWDSPutAttrName(ctx, names, "Title"), 0);
  nuint32 n = 0, count = 0, syn = 0, size = 0;
  char an[MAX_SCHEMA_NAME_BYTES];
  EXPECT_EQ(NWDSGetAttrCount(ctx, out, &n), ERR_BAD_VERB) << "nothing initialised or filled";
  EXPECT_EQ(NWDSGetAttrCount(ctx, names, &n), ERR_BUFFER_EMPTY) << "a request is no result";
  nint32 it = NO_MORE_ITERATIONS;
  ASSERT_EQ(NWDSRead(ctx, "CN=Walk", DS_ATTRIBUTE_VALUES, 0, names, &it, out), 0);
  EXPECT_EQ(it, NO_MORE_ITERATIONS);
  EXPECT_EQ(NWDSGetObjectCount(ctx, out, &n), ERR_BAD_VERB) << "a read result has no objects";
  ASSERT_EQ(NWDSGetAttrCount(ctx, out, &n), 0);
  EXPECT_EQ(n, 1u);
  ASSERT_EQ(NWDSGetAttrName(ctx, out, an, &count, &syn), 0);
  EXPECT_STREQ(an, "Title");
  EXPECT_EQ(count, 2u);
  EXPECT_EQ(syn, nuint32{SYN_CI_STRING});
  EXPECT_EQ(NWDSComputeAttrValSize(ctx, out, SYN_INTEGER, &size), ERR_BAD_SYNTAX);
  ASSERT_EQ(NWDSComputeAttrValSize(ctx, out, syn, &size), 0);
  EXPECT_EQ(size, 4u) << "\"One\" and its zero byte";
  char val[16];
  ASSERT_EQ(NWDSGetAttrVal(ctx, out, syn, val), 0);
  EXPECT_STREQ(val, "One");
  ASSERT_EQ(NWDSGetAttrVal(ctx, out, syn, val), 0);
  EXPECT_STREQ(val, "Two");
  EXPECT_EQ(NWDSGetAttrVal(ctx, out, syn, val), ERR_BUFFER_EMPTY);
  EXPECT_EQ(NWDSComputeAttrValSize(ctx, out, syn, &size), ERR_BUFFER_EMPTY);
  EXPECT_EQ(NWDSGetAttrName(ctx, out, an, &count, &syn), ERR_BUFFER_EMPTY);
  EXPECT_EQ(NWDSGetAttrCount(ctx, out, &n), ERR_BUFFER_EMPTY);
}

TEST_F(ClientItems, ReadOfNamesAndOfChosenAttributes) {
  ASSERT_EQ(AddUser("CN=Chosen", {{"Title", SYN_CI_STRING, {"T"}}}), 0);
  auto names = Read("CN=Chosen", DEFAULT_MESSAGE_LEN, DS_ATTRIBUTE_NAMES);
  ASSERT_EQ(names.status, 0);
  EXPECT_EQ(names.values.size(), 5u) << "Object Class, CN, Surname, Title, ACL (a new user's own)";
  EXPECT_TRUE(names.values["Title"].empty()) << "names carry no values";
  EXPECT_EQ(names.syntaxes["Title"], nuint32{SYN_CI_STRING});

  std::vector<std::string> pick = {"Title", "No Such Attribute", "Full Name"};
  auto some = Read("CN=Chosen", DEFAULT_MESSAGE_LEN, DS_ATTRIBUTE_VALUES, &pick);
  ASSERT_EQ(some.status, 0);
  EXPECT_EQ(some.values.size(), 1u) << "unknown and absent names are left out";
  std::vector<std::string> absent = {"Full Name"};
  EXPECT_EQ(Read("CN=Chosen", DEFAULT_MESSAGE_LEN, DS_ATTRIBUTE_VALUES, &absent).status,
            ERR_NO_SUCH_ATTRIBUTE);

  pBuf_T out = Buf(nwc::NO_VERB);
  nint32 it = NO_MORE_ITERATIONS;
  // No names and not all: the entry without attribute information.
  ASSERT_EQ(NWDSRead(ctx, "CN=Chosen", DS_ATTRIBUTE_VALUES, 0, nullptr, &it, out), 0);
  nuint32 none = 99;
  ASSERT_EQ(NWDSGetAttrCount(ctx, out, &none), 0);
  EXPECT_EQ(none, 0u);
  EXPECT_EQ(NWDSRead(ctx, "CN=Chosen", DS_ATTRIBUTE_VALUES, 0, Buf(DSV_SEARCH), &it, out), ERR_BAD_VERB);
  EXPECT_EQ(NWDSRead(ctx, "CN=Chosen", 9, 1, nullptr, &it, out), ERR_INVALID_REQUEST);
  EXPECT_EQ(NWDSRead(ctx, "CN=Nobody", DS_ATTRIBUTE_VALUES, 1, nullptr, &it, out), ERR_NO_SUCH_ENTRY);
  EXPECT_EQ(NWDSRead(ctx, "CN=Chosen", DS_ATTRIBUTE_VALUES, 1, nullptr, &it, Buf(nwc::NO_VERB, 8)),
            ERR_INSUFFICIENT_BUFFER) << "not one attribute fits";
  EXPECT_EQ(it, NO_MORE_ITERATIONS);
}

TEST_F(ClientItems, IterationHandlesAreClosedOnceAndOnlyByTheirOperation) {
  std::vector<const void *> many;
  std::vector<std::string> texts;
  for (int i = 0; i < 40; ++i) texts.push_back("Title number " + std::to_string(i));
  for (auto &t : texts) many.push_back(t.c_str());
  ASSERT_EQ(AddUser("CN=Long", {{"Title", SYN_CI_STRING, many}}), 0);
  pBuf_T out = Buf(nwc::NO_VERB, 256);
  const size_t live = nwc::live_iteration_count();
  nint32 it = NO_MORE_ITERATIONS;
  ASSERT_EQ(NWDSRead(ctx, "CN=Long", DS_ATTRIBUTE_VALUES, 1, nullptr, &it, out), 0);
  ASSERT_GE(it, 0);
  EXPECT_EQ(nwc::live_iteration_count(), live + 1);
  const nint32 first = it;
  ASSERT_EQ(NWDSRead(ctx, "CN=Long", DS_ATTRIBUTE_VALUES, 1, nullptr, &it, out), 0);
  ASSERT_GE(it, 0);
  nint32 stale = first;
  EXPECT_EQ(NWDSRead(ctx, "CN=Long", DS_ATTRIBUTE_VALUES, 1, nullptr, &stale, out),
            ERR_INVALID_ITERATION) << "a handle already used on";
  NWDSContextHandle other = NWDSDuplicateContext(ctx);
  EXPECT_EQ(NWDSCloseIteration(other, it, DSV_READ), ERR_INVALID_ITERATION) << "another context";
  EXPECT_EQ(NWDSCloseIteration(ctx, it, DSV_SEARCH), ERR_INVALID_ITERATION) << "another operation";
  EXPECT_EQ(NWDSCloseIteration(ctx, it, DSV_READ), 0);
  EXPECT_EQ(NWDSCloseIteration(ctx, it, DSV_READ), ERR_INVALID_ITERATION) << "closed";
  EXPECT_EQ(NWDSCloseIteration(ctx, NO_MORE_ITERATIONS, DSV_READ), ERR_INVALID_ITERATION);
  EXPECT_EQ(NWDSRead(ctx, "CN=Long", DS_ATTRIBUTE_VALUES, 1, nullptr, &it, out), ERR_INVALID_ITERATION);
  EXPECT_EQ(nwc::live_iteration_count(), live);
  NWDSFreeContext(other);
}

TEST_F(ClientItems, ObjectResultsAreWalkedObjectByObject) {
  pBuf_T out = Buf(nwc::NO_VERB, 4096);
  nwc::Buffer *b = nwc::live_buffer(out);
  {
    nwc::ResultWriter w(*b, DSV_SEARCH);
    ASSERT_TRUE(w.add_count(nwc::tag::OBJECT_COUNT, 2));
    ASSERT_TRUE(w.add_object("CN=Ann.O=" + org, 1, DS_CONTAINER_ENTRY, 3, 1234, "User"));
    ASSERT_TRUE(w.add_count(nwc::tag::ATTR_COUNT, 1));
    ASSERT_TRUE(w.add_attr("See Also", 1, SYN_DIST_NAME));
    ASSERT_TRUE(w.add_value(nwc::encode_value(Value::text(SYN_DIST_NAME, "CN=Bob.O=" + org)), SYN_DIST_NAME));
    ASSERT_TRUE(w.add_object("OU=X.O=Other", 0, 0, 0, 0, "Organizational Unit"));
    ASSERT_TRUE(w.add_count(nwc::tag::ATTR_COUNT, 0));
  }
  nuint32 n = 0, attrs = 0, count = 0, syn = 0;
  char name[MAX_DN_BYTES], an[MAX_SCHEMA_NAME_BYTES];
  Object_Info_T info;
  ASSERT_EQ(NWDSGetObjectCount(ctx, out, &n), 0);
  EXPECT_EQ(n, 2u);
  ASSERT_EQ(NWDSGetObjectName(ctx, out, name, &attrs, &info), 0);
  EXPECT_STREQ(name, "CN=Ann") << "relative to the name context";
  EXPECT_EQ(attrs, 1u);
  EXPECT_EQ(info.objectFlags, nuint32{DS_CONTAINER_ENTRY});
  EXPECT_EQ(info.subordinateCount, 3u);
  EXPECT_EQ(info.modificationTime, 1234u);
  EXPECT_STREQ(info.baseClass, "User");
  ASSERT_EQ(NWDSGetAttrCount(ctx, out, &n), 0) << "right after the object name";
  EXPECT_EQ(n, 1u);
  ASSERT_EQ(NWDSGetAttrName(ctx, out, an, &count, &syn), 0);
  char val[MAX_DN_BYTES];
  ASSERT_EQ(NWDSGetAttrVal(ctx, out, syn, val), 0);
  EXPECT_STREQ(val, "CN=Bob");
  // The second object without its attribute count read first.
  ASSERT_EQ(NWDSGetObjectName(ctx, out, name, nullptr, nullptr), 0);
  EXPECT_STREQ(name, "OU=X.O=Other.") << "one dot per level climbed";
  EXPECT_EQ(NWDSGetAttrName(ctx, out, an, &count, &syn), ERR_BUFFER_EMPTY);
  EXPECT_EQ(NWDSGetObjectName(ctx, out, name, nullptr, nullptr), ERR_BUFFER_EMPTY);
  nuint32 flags = DCV_DEFAULT_FLAGS | DCV_TYPELESS_NAMES;
  ASSERT_EQ(NWDSSetContext(ctx, DCK_FLAGS, &flags), 0);
  b->cursor = 1;
  ASSERT_EQ(NWDSGetObjectName(ctx, out, name, nullptr, nullptr), 0);
  EXPECT_STREQ(name, "Ann") << "typeless when the context says so";
}

} // namespace
