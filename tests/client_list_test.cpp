// Listing through the public functions: NWDSList, NWDSListByClassAndName,
// NWDSListContainers and NWDSGetCountByClassAndName on a container of mixed
// entries, walked part by part with small result buffers, with filters,
// wildcards, an empty and a missing container, listings that change between
// parts and closed iterations.
#include <algorithm>
#include <ctime>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "client_dir.h"
#include "iteration.h"

namespace {

using client_dir::ClientDir;

struct Listed {
  std::string name;
  nuint32 attrs = 0;
  Object_Info_T info{};
};

struct Listing {
  std::vector<Listed> objects; // over all parts, in the order given
  int parts = 0;
  NWDSCCODE status = 0;

  std::vector<std::string> names() const {
    std::vector<std::string> n;
    for (const Listed &o : objects) n.push_back(o.name);
    return n;
  }
  const Listed *find(const std::string &name) const {
    for (const Listed &o : objects)
      if (o.name == name) return &o;
    return nullptr;
  }
};

enum class How { list, by_class_and_name, containers };

class ClientList : public ClientDir {
protected:
  void SetUp() override {
    ClientDir::SetUp();
    if (HasFatalFailure()) return;
    // Added in this order; a listing gives them in it.
    ASSERT_EQ(Add("OU=Mixed", {{"Object Class", SYN_CLASS_NAME, {"Organizational Unit"}}}), 0);
    ASSERT_EQ(AddUser("CN=Alice.OU=Mixed"), 0);
    ASSERT_EQ(Add("OU=Sub1.OU=Mixed", {{"Object Class", SYN_CLASS_NAME, {"Organizational Unit"}}}), 0);
    ASSERT_EQ(AddUser("CN=Inner.OU=Sub1.OU=Mixed"), 0);
    ASSERT_EQ(AddUser("CN=Bob.OU=Mixed"), 0);
    ASSERT_EQ(Add("CN=Staff.OU=Mixed", {{"Object Class", SYN_CLASS_NAME, {"Group"}}}), 0);
    ASSERT_EQ(Add("CN=Link.OU=Mixed", {{"Object Class", SYN_CLASS_NAME, {"Alias"}},
                                       {"Aliased Object Name", SYN_DIST_NAME, {"CN=Alice.OU=Mixed"}}}),
              0);
    ASSERT_EQ(AddUser("CN=bert.OU=Mixed"), 0);
    ASSERT_EQ(Add("OU=Sub2.OU=Mixed", {{"Object Class", SYN_CLASS_NAME, {"Organizational Unit"}}}), 0);
    ASSERT_EQ(AddUser("CN=Carol Ann.OU=Mixed"), 0);
  }

  // Every part of a listing with a result buffer of `size` bytes that the
  // caller did not initialise, walked as a script walks it.
  Listing List(const std::string &container, size_t size = DEFAULT_MESSAGE_LEN,
               How how = How::list, const char *cls = nullptr, const char *name = nullptr) {
    Listing l;
    pBuf_T out = Buf(nwc::NO_VERB, size);
    nint32 it = NO_MORE_ITERATIONS;
    do {
      switch (how) {
      case How::list: l.status = NWDSList(ctx, container.c_str(), &it, out); break;
      case How::by_class_and_name:
        l.status = NWDSListByClassAndName(ctx, container.c_str(), cls, name, &it, out);
        break;
      case How::containers: l.status = NWDSListContainers(ctx, container.c_str(), &it, out); break;
      }
      if (l.status != 0) return l;
      ++l.parts;
      WalkPart(out, l);
    } while (it != NO_MORE_ITERATIONS && l.parts < 1000);
    return l;
  }

  // Reads one part of a listing into `l`, checking that it ends where its
  // count says.
  void WalkPart(pBuf_T out, Listing &l) {
    nuint32 count = 0;
    ASSERT_EQ(NWDSGetObjectCount(ctx, out, &count), 0);
    for (nuint32 i = 0; i < count; ++i) {
      Listed o;
      char name[MAX_DN_BYTES];
      ASSERT_EQ(NWDSGetObjectName(ctx, out, name, &o.attrs, &o.info), 0);
      o.name = name;
      l.objects.push_back(o);
    }
    char name[MAX_DN_BYTES];
    nuint32 attrs;
    Object_Info_T info;
    EXPECT_EQ(NWDSGetObjectName(ctx, out, name, &attrs, &info), ERR_BUFFER_EMPTY)
        << "the part holds more objects than its count";
  }

  nint32 Count(const std::string &container, const char *cls, const char *name) {
    nint32 n = -12345;
    EXPECT_EQ(NWDSGetCountByClassAndName(ctx, container.c_str(), cls, name, &n), 0)
        << (cls ? cls : "NULL") << " " << (name ? name : "NULL");
    return n;
  }

  const std::vector<std::string> all = {
      "CN=Alice.OU=Mixed", "OU=Sub1.OU=Mixed", "CN=Bob.OU=Mixed", "CN=Staff.OU=Mixed",
      "CN=Link.OU=Mixed",  "CN=bert.OU=Mixed", "OU=Sub2.OU=Mixed", "CN=Carol Ann.OU=Mixed"};
};

TEST_F(ClientList, SmallBufferGivesEverySubordinateOnceInAddOrderWithItsInfo) {
  const Listing whole = List("OU=Mixed");
  ASSERT_EQ(whole.status, 0);
  EXPECT_EQ(whole.parts, 1);
  EXPECT_EQ(whole.names(), all);

  // About two objects per part: the listing needs several parts.
  const Listing parts = List("OU=Mixed", 220);
  ASSERT_EQ(parts.status, 0);
  EXPECT_GE(parts.parts, 4);
  EXPECT_EQ(parts.names(), all) << "each subordinate exactly once, in the order added";

  const nuint32 now = static_cast<nuint32>(std::time(nullptr));
  struct Want {
    nuint32 flags, subordinates;
    std::string cls;
  };
  const std::map<std::string, Want> want = {
      {"CN=Alice.OU=Mixed", {0, 0, "User"}},
      {"OU=Sub1.OU=Mixed", {DS_CONTAINER_ENTRY, 1, "Organizational Unit"}},
      {"CN=Staff.OU=Mixed", {0, 0, "Group"}},
      {"CN=Link.OU=Mixed", {DS_ALIAS_ENTRY, 0, "Alias"}},
      {"OU=Sub2.OU=Mixed", {DS_CONTAINER_ENTRY, 0, "Organizational Unit"}}};
  for (const Listing *l : {&whole, &parts}) {
    for (const Listed &o : l->objects) {
      SCOPED_TRACE(o.name);
      EXPECT_EQ(o.attrs, 0u);
      EXPECT_LE(o.info.modificationTime, now);
      EXPECT_GT(o.info.modificationTime, now - 600);
      auto w = want.find(o.name);
      if (w == want.end()) {
        EXPECT_EQ(o.info.objectFlags, 0u);
        EXPECT_STREQ(o.info.baseClass, "User");
        continue;
      }
      EXPECT_EQ(o.info.objectFlags, w->second.flags);
      EXPECT_EQ(o.info.subordinateCount, w->second.subordinates);
      EXPECT_EQ(o.info.baseClass, w->second.cls);
    }
  }

  // The names are formatted for the reading context.
  SetNameContext("OU=Mixed.O=" + org);
  const Listing here = List(".OU=Sub1.OU=Mixed.O=" + org, 220);
  ASSERT_EQ(here.status, 0);
  EXPECT_EQ(here.names(), std::vector<std::string>{"CN=Inner.OU=Sub1"});
  nuint32 typeless = DCV_DEREF_ALIASES | DCV_XLATE_STRINGS | DCV_CANONICALIZE_NAMES | DCV_TYPELESS_NAMES;
  ASSERT_EQ(NWDSSetContext(ctx, DCK_FLAGS, &typeless), 0);
  EXPECT_EQ(List("Sub1").names(), std::vector<std::string>{"Inner.Sub1"});
}

TEST_F(ClientList, ClassAndNameFiltersAndTheirCounts) {
  struct Case {
    const char *cls, *name;
    std::vector<std::string> want;
  };
  const std::vector<Case> cases = {
      {nullptr, nullptr, all},
      {"", "", all},
      {nullptr, "*", all},
      {"user", nullptr,
       {"CN=Alice.OU=Mixed", "CN=Bob.OU=Mixed", "CN=bert.OU=Mixed", "CN=Carol Ann.OU=Mixed"}},
      {"ORGANIZATIONAL UNIT", "", {"OU=Sub1.OU=Mixed", "OU=Sub2.OU=Mixed"}},
      {"Person", nullptr, {}}, // base class only, not the super classes
      {nullptr, "b*", {"CN=Bob.OU=Mixed", "CN=bert.OU=Mixed"}},
      {"", "B*T", {"CN=bert.OU=Mixed"}},
      {nullptr, "*o*", {"CN=Bob.OU=Mixed", "CN=Carol Ann.OU=Mixed"}}, // values, not "OU=..."
      {nullptr, "ou=*", {"OU=Sub1.OU=Mixed", "OU=Sub2.OU=Mixed"}},
      {nullptr, "sub*", {"OU=Sub1.OU=Mixed", "OU=Sub2.OU=Mixed"}},
      {nullptr, "*2", {"OU=Sub2.OU=Mixed"}},
      {nullptr, "alice", {"CN=Alice.OU=Mixed"}},
      {nullptr, "ali", {}},
      {nullptr, "carol  ann", {"CN=Carol Ann.OU=Mixed"}},
      {nullptr, "c*a*n", {"CN=Carol Ann.OU=Mixed"}},
      {nullptr, "cn=b*", {"CN=Bob.OU=Mixed", "CN=bert.OU=Mixed"}},
      {"Group", "b*", {}},
      {"User", "B*", {"CN=Bob.OU=Mixed", "CN=bert.OU=Mixed"}},
      {"alias", nullptr, {"CN=Link.OU=Mixed"}},
      {"NoSuchClass", nullptr, {}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(std::string(c.cls ? c.cls : "NULL") + " / " + (c.name ? c.name : "NULL"));
    const Listing l = List("OU=Mixed", 220, How::by_class_and_name, c.cls, c.name);
    ASSERT_EQ(l.status, 0);
    EXPECT_EQ(l.names(), c.want);
    EXPECT_EQ(Count("OU=Mixed", c.cls, c.name), static_cast<nint32>(c.want.size()));
  }
}

TEST_F(ClientList, ANamesFirstLettersFindMultiPartAndEscapedNames) {
  // The matching part of L=aa+S=Ab2 is not its first in key order.
  const std::string in = "OU=Sub2.OU=Mixed";
  ASSERT_EQ(AddUser("CN=ab1." + in), 0);
  ASSERT_EQ(Add("L=aa+S=Ab2." + in, {{"Object Class", SYN_CLASS_NAME, {"Locality"}}}), 0);
  ASSERT_EQ(AddUser("CN=b ab." + in), 0);
  ASSERT_EQ(AddUser("CN=ab\\.c." + in), 0);
  const std::vector<std::string> want = {"CN=ab1." + in, "L=aa+S=Ab2." + in, "CN=ab\\.c." + in};
  for (size_t size : {size_t{DEFAULT_MESSAGE_LEN}, size_t{220}}) {
    const Listing l = List(in, size, How::by_class_and_name, nullptr, "AB*");
    ASSERT_EQ(l.status, 0);
    EXPECT_EQ(l.names(), want) << size;
  }
  EXPECT_EQ(Count(in, nullptr, "AB*"), 3);
  EXPECT_EQ(Count(in, "User", "ab*"), 2);
  EXPECT_EQ(Count(in, nullptr, "ab.*"), 1);
  EXPECT_EQ(Count(in, nullptr, "s=ab*"), 0) << "a typed pattern matches the whole RDN";
}

TEST_F(ClientList, ContainersOnly) {
  const Listing l = List("OU=Mixed", 200, How::containers);
  ASSERT_EQ(l.status, 0);
  EXPECT_EQ(l.names(), (std::vector<std::string>{"OU=Sub1.OU=Mixed", "OU=Sub2.OU=Mixed"}));
  EXPECT_EQ(l.parts, 2) << "one container per part in this buffer";
  for (const Listed &o : l.objects) EXPECT_EQ(o.info.objectFlags & DS_CONTAINER_ENTRY, nuint32{DS_CONTAINER_ENTRY});
  EXPECT_EQ(List("OU=Sub1.OU=Mixed", 200, How::containers).names(), std::vector<std::string>{});
}

TEST_F(ClientList, EmptyAndMissingContainers) {
  pBuf_T out = Buf(DSV_READ, 200); // initialised for another verb: the listing re-initialises it
  for (How how : {How::list, How::by_class_and_name, How::containers}) {
    nint32 it = NO_MORE_ITERATIONS;
    NWDSCCODE st = how == How::list ? NWDSList(ctx, "OU=Sub2.OU=Mixed", &it, out)
                   : how == How::containers
                       ? NWDSListContainers(ctx, "OU=Sub2.OU=Mixed", &it, out)
                       : NWDSListByClassAndName(ctx, "OU=Sub2.OU=Mixed", nullptr, nullptr, &it, out);
    ASSERT_EQ(st, 0);
    EXPECT_EQ(it, NO_MORE_ITERATIONS);
    nuint32 count = 99;
    EXPECT_EQ(NWDSGetObjectCount(ctx, out, &count), 0);
    EXPECT_EQ(count, 0u);
  }
  EXPECT_EQ(Count("OU=Sub2.OU=Mixed", nullptr, nullptr), 0);
  // A leaf has no subordinates either.
  EXPECT_EQ(List("CN=Alice.OU=Mixed").objects.size(), 0u);

  nint32 it = NO_MORE_ITERATIONS;
  EXPECT_EQ(NWDSList(ctx, "OU=Nowhere", &it, out), ERR_NO_SUCH_ENTRY);
  EXPECT_EQ(it, NO_MORE_ITERATIONS) << "the handle is left as it was";
  EXPECT_EQ(NWDSListContainers(ctx, "OU=Nowhere", &it, out), ERR_NO_SUCH_ENTRY);
  EXPECT_EQ(NWDSListByClassAndName(ctx, "OU=Nowhere", "User", "*", &it, out), ERR_NO_SUCH_ENTRY);
  nint32 n = 77;
  EXPECT_EQ(NWDSGetCountByClassAndName(ctx, "OU=Nowhere", nullptr, nullptr, &n), ERR_NO_SUCH_ENTRY);
  EXPECT_EQ(n, 77) << "the count is left as it was";
  EXPECT_EQ(NWDSList(ctx, "a..b", &it, out), ERR_INVALID_OBJECT_NAME);
  EXPECT_EQ(NWDSList(-5, "OU=Mixed", &it, out), ERR_BAD_CONTEXT);
}

TEST_F(ClientList, CloseIterationReleasesAnUnfinishedListing) {
  pBuf_T out = Buf(nwc::NO_VERB, 220);
  const size_t before = nwc::live_iteration_count();
  nint32 it = NO_MORE_ITERATIONS;
  ASSERT_EQ(NWDSList(ctx, "OU=Mixed", &it, out), 0);
  ASSERT_NE(it, NO_MORE_ITERATIONS);
  ASSERT_GE(it, 0);
  EXPECT_EQ(nwc::live_iteration_count(), before + 1);
  EXPECT_EQ(NWDSCloseIteration(ctx, it, DSV_READ), ERR_INVALID_ITERATION) << "another operation's";
  EXPECT_EQ(NWDSCloseIteration(ctx, it, DSV_LIST), 0);
  EXPECT_EQ(nwc::live_iteration_count(), before);
  EXPECT_EQ(NWDSCloseIteration(ctx, it, DSV_LIST), ERR_INVALID_ITERATION);
  const nint32 stale = it;
  EXPECT_EQ(NWDSList(ctx, "OU=Mixed", &it, out), ERR_INVALID_ITERATION);
  EXPECT_EQ(it, stale);

  // The filtered listings keep theirs the same way, under DSV_LIST; a
  // handle is not taken by a read.
  it = NO_MORE_ITERATIONS;
  ASSERT_EQ(NWDSListByClassAndName(ctx, "OU=Mixed", "User", nullptr, &it, out), 0);
  ASSERT_NE(it, NO_MORE_ITERATIONS);
  EXPECT_EQ(NWDSRead(ctx, "OU=Mixed", DS_ATTRIBUTE_NAMES, 1, nullptr, &it, out), ERR_INVALID_ITERATION);
  EXPECT_EQ(NWDSCloseIteration(ctx, it, DSV_LIST), 0);

  // A finished listing leaves nothing behind.
  List("OU=Mixed", 220);
  List("OU=Mixed", 200, How::containers);
  EXPECT_EQ(nwc::live_iteration_count(), before);
}

TEST_F(ClientList, BufferTooSmallForOneObject) {
  const size_t before = nwc::live_iteration_count();
  pBuf_T tiny = Buf(nwc::NO_VERB, 40);
  nint32 it = NO_MORE_ITERATIONS;
  EXPECT_EQ(NWDSList(ctx, "OU=Mixed", &it, tiny), ERR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(it, NO_MORE_ITERATIONS);
  // The same buffer is big enough for an empty listing's count.
  EXPECT_EQ(NWDSList(ctx, "OU=Sub2.OU=Mixed", &it, tiny), 0);
  EXPECT_EQ(nwc::live_iteration_count(), before);
  // A listing that continues into a buffer too small gives up its iteration.
  pBuf_T out = Buf(nwc::NO_VERB, 220);
  ASSERT_EQ(NWDSList(ctx, "OU=Mixed", &it, out), 0);
  ASSERT_NE(it, NO_MORE_ITERATIONS);
  EXPECT_EQ(NWDSList(ctx, "OU=Mixed", &it, tiny), ERR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(nwc::live_iteration_count(), before);
}

TEST_F(ClientList, ListingThatChangesBetweenPartsNeverRepeats) {
  ASSERT_EQ(Add("OU=Moving", {{"Object Class", SYN_CLASS_NAME, {"Organizational Unit"}}}), 0);
  for (const char *cn : {"A1", "A2", "A3", "A4", "A5", "A6"})
    ASSERT_EQ(AddUser(std::string("CN=") + cn + ".OU=Moving"), 0);
  pBuf_T out = Buf(nwc::NO_VERB, 220);
  Listing l;
  nint32 it = NO_MORE_ITERATIONS;
  ASSERT_EQ(NWDSList(ctx, "OU=Moving", &it, out), 0);
  WalkPart(out, l);
  ASSERT_NE(it, NO_MORE_ITERATIONS);
  const size_t first = l.objects.size();
  ASSERT_GE(first, 1u);
  ASSERT_LT(first, 5u);
  // Remove the first one given and the last one not given yet; add one.
  ASSERT_EQ(NWDSRemoveObject(ctx, "CN=A1.OU=Moving"), 0);
  ASSERT_EQ(NWDSRemoveObject(ctx, "CN=A6.OU=Moving"), 0);
  ASSERT_EQ(AddUser("CN=A7.OU=Moving"), 0);
  while (it != NO_MORE_ITERATIONS && l.parts < 100) {
    ASSERT_EQ(NWDSList(ctx, "OU=Moving", &it, out), 0);
    ++l.parts;
    WalkPart(out, l);
  }
  std::vector<std::string> want = {"CN=A1.OU=Moving", "CN=A2.OU=Moving", "CN=A3.OU=Moving",
                                   "CN=A4.OU=Moving", "CN=A5.OU=Moving", "CN=A7.OU=Moving"};
  EXPECT_EQ(l.names(), want);

  // The container itself goes away in the middle: the listing ends empty.
  it = NO_MORE_ITERATIONS;
  ASSERT_EQ(NWDSList(ctx, "OU=Moving", &it, out), 0);
  ASSERT_NE(it, NO_MORE_ITERATIONS);
  for (const char *cn : {"A1", "A2", "A3", "A4", "A5", "A7"})
    NWDSRemoveObject(ctx, (std::string("CN=") + cn + ".OU=Moving").c_str());
  ASSERT_EQ(NWDSRemoveObject(ctx, "OU=Moving"), 0);
  ASSERT_EQ(NWDSList(ctx, "OU=Moving", &it, out), 0);
  EXPECT_EQ(it, NO_MORE_ITERATIONS);
  nuint32 count = 99;
  EXPECT_EQ(NWDSGetObjectCount(ctx, out, &count), 0);
  EXPECT_EQ(count, 0u);
}

} // namespace
