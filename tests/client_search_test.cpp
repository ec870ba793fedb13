// Searching through the public function NWDSSearch on a container of mixed
// entries: the three scopes, equality and presence filters, aliases, the
// attribute information asked for, results in several parts with small
// result buffers, closed iterations, limits and the error statuses.
#include <gtest/gtest.h>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "client_dir.h"
#include "iteration.h"

namespace {

using client_dir::Attr;
using client_dir::ClientDir;

struct Found {
  nuint32 attr_count = 0;
  Object_Info_T info{};
  std::map<std::string, nuint32> syntaxes;
  std::map<std::string, std::vector<nwc::Value>> values;
  std::map<std::string, nuint32> value_counts; // as the attribute item says
};

struct Result {
  std::map<std::string, Found> objects;
  std::vector<std::string> order; // names over all parts, as given
  int parts = 0;
  nint32 searched = -7;
  NWDSCCODE status = 0;

  std::set<std::string> names() const { return {order.begin(), order.end()}; }
};

struct Query {
  nint32 scope = DS_SEARCH_SUBTREE;
  bool aliases = false;
  pBuf_T filter = nullptr;
  nuint32 info = DS_ATTRIBUTE_VALUES;
  const std::vector<std::string> *names = nullptr; // null: all attributes
  size_t size = DEFAULT_MESSAGE_LEN;
  nint32 limit = 0;
  std::function<void(const Result &)> after_first_part; // runs between the first part and the rest
};

class ClientSearch : public ClientDir {
protected:
  void SetUp() override {
    ClientDir::SetUp();
    if (HasFatalFailure()) return;
    ASSERT_EQ(Add("OU=Mixed", {{"Object Class", SYN_CLASS_NAME, {"Organizational Unit"}}}), 0);
    ASSERT_EQ(AddUser("CN=Alice.OU=Mixed", {{"Title", SYN_CI_STRING, {"Clerk"}}}), 0);
    ASSERT_EQ(Add("OU=Sub1.OU=Mixed", {{"Object Class", SYN_CLASS_NAME, {"Organizational Unit"}}}), 0);
    ASSERT_EQ(AddUser("CN=Inner.OU=Sub1.OU=Mixed", {{"Title", SYN_CI_STRING, {"Manager"}}}), 0);
    ASSERT_EQ(AddUser("CN=Bob.OU=Mixed"), 0);
    ASSERT_EQ(Add("CN=Staff.OU=Mixed", {{"Object Class", SYN_CLASS_NAME, {"Group"}}}), 0);
    ASSERT_EQ(Add("CN=Link.OU=Mixed", {{"Object Class", SYN_CLASS_NAME, {"Alias"}},
                                       {"Aliased Object Name", SYN_DIST_NAME, {"CN=Inner.OU=Sub1.OU=Mixed"}}}),
              0);
    ASSERT_EQ(AddUser("CN=bert.OU=Mixed", {{"Title", SYN_CI_STRING, {"clerk"}}}), 0);
  }

  pBuf_T Filter(const std::vector<Attr> &attrs) {
    pBuf_T f = Buf(DSV_SEARCH_FILTER);
    EXPECT_EQ(Put(f, attrs), 0);
    return f;
  }

  // Every part of a search from `base`, walked as a script walks it.
  Result Search(const std::string &base, const Query &q) {
    Result r;
    pBuf_T req = nullptr;
    if (q.names != nullptr) {
      req = Buf(DSV_SEARCH);
      for (const auto &n : *q.names) EXPECT_EQ(NWDSPutAttrName(ctx, req, n.c_str()), 0);
    }
    pBuf_T out = Buf(nwc::NO_VERB, q.size);
    nint32 it = NO_MORE_ITERATIONS;
    do {
      r.status = NWDSSearch(ctx, base.c_str(), q.scope, q.aliases, q.filter, q.info,
                            q.names == nullptr, req, &it, q.limit, &r.searched, out);
      if (r.status != 0) return r;
      ++r.parts;
      nuint32 count = 0;
      EXPECT_EQ(NWDSGetObjectCount(ctx, out, &count), 0);
      if (it != NO_MORE_ITERATIONS) {
        EXPECT_GT(count, 0u) << "a part before the last is not empty";
      }
      for (nuint32 i = 0; i < count; ++i) {
        char name[MAX_DN_BYTES];
        Found f;
        EXPECT_EQ(NWDSGetObjectName(ctx, out, name, &f.attr_count, &f.info), 0);
        for (nuint32 a = 0; a < f.attr_count; ++a) {
          char an[MAX_SCHEMA_NAME_BYTES];
          nuint32 vc = 0, syn = 0;
          EXPECT_EQ(NWDSGetAttrName(ctx, out, an, &vc, &syn), 0);
          f.syntaxes[an] = syn;
          f.value_counts[an] = vc;
          for (nuint32 k = 0; k < vc; ++k) {
            nuint32 size = 0;
            EXPECT_EQ(NWDSComputeAttrValSize(ctx, out, syn, &size), 0);
            std::vector<char> area(size ? size : 1);
            EXPECT_EQ(NWDSGetAttrVal(ctx, out, syn, area.data()), 0);
            nwc::Value v;
            EXPECT_EQ(nwc::record_to_value(syn, area.data(), v), 0);
            f.values[an].push_back(v);
          }
        }
        EXPECT_EQ(r.objects.count(name), 0u) << name << " given twice";
        r.objects[name] = f;
        r.order.push_back(name);
      }
      if (r.parts == 1 && q.after_first_part) q.after_first_part(r);
    } while (it != NO_MORE_ITERATIONS && r.parts < 1000);
    return r;
  }
  Result Search(const std::string &base, nint32 scope, pBuf_T filter = nullptr) {
    Query q;
    q.scope = scope;
    q.filter = filter;
    return Search(base, q);
  }

  static std::vector<std::string> Texts(const Found &f, const std::string &attr) {
    std::vector<std::string> out;
    auto it = f.values.find(attr);
    if (it != f.values.end())
      for (const auto &v : it->second) out.push_back(v.texts.empty() ? "" : v.texts[0]);
    return out;
  }
};

using Names = std::set<std::string>;
const Names kChildren{"CN=Alice.OU=Mixed", "OU=Sub1.OU=Mixed", "CN=Bob.OU=Mixed",
                      "CN=Staff.OU=Mixed", "CN=Link.OU=Mixed", "CN=bert.OU=Mixed"};

TEST_F(ClientSearch, EachScopeExaminesItsEntriesWithANullFilter) {
  Result entry = Search("OU=Mixed", DS_SEARCH_ENTRY);
  ASSERT_EQ(entry.status, 0);
  EXPECT_EQ(entry.names(), Names{"OU=Mixed"});
  EXPECT_EQ(entry.searched, 1);
  EXPECT_EQ(entry.objects["OU=Mixed"].info.objectFlags & DS_CONTAINER_ENTRY, nuint32{DS_CONTAINER_ENTRY});
  EXPECT_EQ(entry.objects["OU=Mixed"].info.subordinateCount, 6u);

  Result subs = Search("OU=Mixed", DS_SEARCH_SUBORDINATES);
  ASSERT_EQ(subs.status, 0);
  EXPECT_EQ(subs.names(), kChildren);
  EXPECT_EQ(subs.searched, 6);
  // In the order the entries were added.
  EXPECT_EQ(subs.order.front(), "CN=Alice.OU=Mixed");
  EXPECT_EQ(subs.order.back(), "CN=bert.OU=Mixed");
  EXPECT_STREQ(reinterpret_cast<const char *>(subs.objects["CN=Staff.OU=Mixed"].info.baseClass), "Group");
  EXPECT_EQ(subs.objects["CN=Link.OU=Mixed"].info.objectFlags & DS_ALIAS_ENTRY, nuint32{DS_ALIAS_ENTRY});

  Result tree = Search("OU=Mixed", DS_SEARCH_SUBTREE);
  ASSERT_EQ(tree.status, 0);
  Names all = kChildren;
  all.insert({"OU=Mixed", "CN=Inner.OU=Sub1.OU=Mixed"});
  EXPECT_EQ(tree.names(), all);
  EXPECT_EQ(tree.searched, 8);

  Result leaf = Search("CN=Bob.OU=Mixed", DS_SEARCH_SUBORDINATES);
  ASSERT_EQ(leaf.status, 0);
  EXPECT_TRUE(leaf.names().empty());
  EXPECT_EQ(leaf.parts, 1);
  EXPECT_EQ(leaf.searched, 0);
}

TEST_F(ClientSearch, EqualityAndPresenceFiltersMatchCaseInsensitively) {
  // One value: the attribute's matching rule ignores case.
  EXPECT_EQ(Search("OU=Mixed", DS_SEARCH_SUBTREE, Filter({{"Title", SYN_CI_STRING, {"CLERK"}}})).names(),
            (Names{"CN=Alice.OU=Mixed", "CN=bert.OU=Mixed"}));
  // Several values: any of them.
  EXPECT_EQ(Search("OU=Mixed", DS_SEARCH_SUBTREE,
                   Filter({{"CN", SYN_CI_STRING, {"alice", "INNER", "nobody"}}}))
                .names(),
            (Names{"CN=Alice.OU=Mixed", "CN=Inner.OU=Sub1.OU=Mixed"}));
  // A name alone: presence.
  EXPECT_EQ(Search("OU=Mixed", DS_SEARCH_SUBTREE, Filter({{"Title", SYN_CI_STRING, {}}})).names(),
            (Names{"CN=Alice.OU=Mixed", "CN=Inner.OU=Sub1.OU=Mixed", "CN=bert.OU=Mixed"}));
  EXPECT_EQ(Search("OU=Mixed", DS_SEARCH_SUBTREE, Filter({{"Aliased Object Name", SYN_DIST_NAME, {}}}))
                .names(),
            Names{"CN=Link.OU=Mixed"});
  // Every assertion must hold.
  EXPECT_EQ(Search("OU=Mixed", DS_SEARCH_SUBTREE,
                   Filter({{"Title", SYN_CI_STRING, {}}, {"CN", SYN_CI_STRING, {"Bert", "Bob"}}}))
                .names(),
            Names{"CN=bert.OU=Mixed"});
  EXPECT_EQ(Search("OU=Mixed", DS_SEARCH_SUBTREE,
                   Filter({{"Object Class", SYN_CLASS_NAME, {"user"}}, {"Title", SYN_CI_STRING, {"manager"}}}))
                .names(),
            Names{"CN=Inner.OU=Sub1.OU=Mixed"});
  // Inherited classes match too: a User is an Organizational Person.
  EXPECT_EQ(Search("OU=Mixed", DS_SEARCH_SUBORDINATES,
                   Filter({{"Object Class", SYN_CLASS_NAME, {"Organizational Person"}}}))
                .names(),
            (Names{"CN=Alice.OU=Mixed", "CN=Bob.OU=Mixed", "CN=bert.OU=Mixed"}));
  // Found through the value index, a container still tells how many
  // subordinates it has, and a leaf none.
  Result by_name = Search("OU=Mixed", DS_SEARCH_SUBTREE, Filter({{"OU", SYN_CI_STRING, {"sub1"}}}));
  ASSERT_EQ(by_name.names(), Names{"OU=Sub1.OU=Mixed"});
  EXPECT_EQ(by_name.objects["OU=Sub1.OU=Mixed"].info.subordinateCount, 1u);
  Result leaf = Search("OU=Mixed", DS_SEARCH_SUBTREE, Filter({{"CN", SYN_CI_STRING, {"Inner"}}}));
  ASSERT_EQ(leaf.names(), Names{"CN=Inner.OU=Sub1.OU=Mixed"});
  EXPECT_EQ(leaf.objects["CN=Inner.OU=Sub1.OU=Mixed"].info.subordinateCount, 0u);
  // The scope still applies to a filter answered from the value index.
  EXPECT_EQ(Search("OU=Mixed", DS_SEARCH_SUBORDINATES, Filter({{"Title", SYN_CI_STRING, {"manager"}}}))
                .names(),
            Names{});
  // Nothing matches: one empty part; the value index holds no candidate, so
  // no entry is examined.
  Result none = Search("OU=Mixed", DS_SEARCH_SUBTREE, Filter({{"Title", SYN_CI_STRING, {"Pilot"}}}));
  EXPECT_EQ(none.status, 0);
  EXPECT_EQ(none.parts, 1);
  EXPECT_TRUE(none.names().empty());
  EXPECT_EQ(none.searched, 0);
}

TEST_F(ClientSearch, AliasesAreDereferencedOnlyWhenAsked) {
  Query q;
  q.scope = DS_SEARCH_SUBORDINATES;
  q.aliases = false;
  Result own = Search("OU=Mixed", q);
  EXPECT_EQ(own.names(), kChildren);

  q.aliases = true;
  Result deref = Search("OU=Mixed", q);
  ASSERT_EQ(deref.status, 0);
  Names expected = kChildren;
  expected.erase("CN=Link.OU=Mixed");
  expected.insert("CN=Inner.OU=Sub1.OU=Mixed");
  EXPECT_EQ(deref.names(), expected);

  // The filter is applied to the aliased object.
  q.filter = Filter({{"Title", SYN_CI_STRING, {"Manager"}}});
  EXPECT_EQ(Search("OU=Mixed", q).names(), Names{"CN=Inner.OU=Sub1.OU=Mixed"});
  q.aliases = false;
  EXPECT_TRUE(Search("OU=Mixed", q).names().empty());

  // Through the whole subtree the aliased object comes once.
  Query t;
  t.aliases = true;
  Result tree = Search("OU=Mixed", t);
  ASSERT_EQ(tree.status, 0);
  EXPECT_EQ(tree.objects.count("CN=Link.OU=Mixed"), 0u);
  EXPECT_EQ(tree.names().size(), 7u);
}

TEST_F(ClientSearch, GivesAttributeNamesOrValuesOfAllOrNamedAttributes) {
  Query q;
  q.scope = DS_SEARCH_ENTRY;
  Result values = Search("CN=Alice.OU=Mixed", q);
  ASSERT_EQ(values.status, 0);
  const Found &v = values.objects["CN=Alice.OU=Mixed"];
  EXPECT_EQ(v.attr_count, v.syntaxes.size());
  EXPECT_EQ(Texts(v, "Surname"), std::vector<std::string>{"Tester"});
  EXPECT_EQ(Texts(v, "Title"), std::vector<std::string>{"Clerk"});
  EXPECT_EQ(v.syntaxes.at("Surname"), nuint32{SYN_CI_STRING});
  EXPECT_EQ(v.values.count("Object Class"), 1u);
  // The same attributes and values as a read of the entry.
  auto read = Read("CN=Alice.OU=Mixed");
  ASSERT_EQ(read.status, 0);
  EXPECT_EQ(v.values, read.values);

  q.info = DS_ATTRIBUTE_NAMES;
  Result names = Search("CN=Alice.OU=Mixed", q);
  ASSERT_EQ(names.status, 0);
  const Found &n = names.objects["CN=Alice.OU=Mixed"];
  EXPECT_EQ(n.syntaxes, v.syntaxes);
  for (const auto &[attr, count] : n.value_counts) EXPECT_EQ(count, 0u) << attr;

  std::vector<std::string> wanted{"surname", "Telephone Number", "TITLE"};
  q.info = DS_ATTRIBUTE_VALUES;
  q.names = &wanted;
  Result some = Search("CN=Alice.OU=Mixed", q);
  ASSERT_EQ(some.status, 0);
  const Found &s = some.objects["CN=Alice.OU=Mixed"];
  EXPECT_EQ(s.attr_count, 2u);
  EXPECT_EQ(Texts(s, "Surname"), std::vector<std::string>{"Tester"});
  EXPECT_EQ(Texts(s, "Title"), std::vector<std::string>{"Clerk"});

  // An entry with none of the named attributes is still found, without any.
  Result group = Search("CN=Staff.OU=Mixed", q);
  ASSERT_EQ(group.status, 0);
  ASSERT_EQ(group.objects.count("CN=Staff.OU=Mixed"), 1u);
  EXPECT_EQ(group.objects["CN=Staff.OU=Mixed"].attr_count, 0u);
}

TEST_F(ClientSearch, SmallBuffersGiveEveryObjectOnceOverSeveralParts) {
  for (int i = 0; i < 30; ++i)
    ASSERT_EQ(AddUser("CN=Many" + std::to_string(i) + ".OU=Sub1.OU=Mixed",
                      {{"Title", SYN_CI_STRING, {"Bulk"}}}),
              0);
  Query big;
  Result whole = Search("OU=Mixed", big);
  ASSERT_EQ(whole.status, 0);
  ASSERT_EQ(whole.names().size(), 38u);

  for (nuint32 info : {nuint32{DS_ATTRIBUTE_VALUES}, nuint32{DS_ATTRIBUTE_NAMES}}) {
    Query q;
    q.info = info;
    q.size = 1000;
    Result parts = Search("OU=Mixed", q);
    ASSERT_EQ(parts.status, 0) << info;
    EXPECT_GT(parts.parts, 3) << info;
    EXPECT_EQ(parts.order.size(), 38u) << info; // none twice (checked while walking)
    EXPECT_EQ(parts.names(), whole.names()) << info;
    EXPECT_EQ(parts.order, whole.order) << info;
    EXPECT_EQ(parts.searched, 38) << info;
    if (info == DS_ATTRIBUTE_VALUES) {
      for (const auto &[name, f] : parts.objects) EXPECT_EQ(f.values, whole.objects[name].values) << name;
    }
  }

  // With a filter: only the matches, still each once.
  Query f;
  f.size = 1000;
  f.filter = Filter({{"Title", SYN_CI_STRING, {"bulk"}}});
  Result bulk = Search("OU=Mixed", f);
  ASSERT_EQ(bulk.status, 0);
  EXPECT_GT(bulk.parts, 1);
  EXPECT_EQ(bulk.order.size(), 30u);
  EXPECT_EQ(bulk.names().size(), 30u);

  // What changes between two parts is given as it is then: a search reads
  // its matches ahead, and those read in one part but given in a later one
  // are read again (renamed: under the new name; removed: left out).
  Query changing;
  changing.size = 1000;
  changing.info = DS_ATTRIBUTE_NAMES;
  changing.filter = f.filter;
  size_t given_first = 0;
  changing.after_first_part = [&](const Result &r) {
    given_first = r.order.size();
    for (int i = 0; i < 30; ++i)
      ASSERT_EQ(NWDSModifyRDN(ctx, ("CN=Many" + std::to_string(i) + ".OU=Sub1.OU=Mixed").c_str(),
                              ("CN=Moved" + std::to_string(i)).c_str(), 1),
                0);
    ASSERT_EQ(NWDSRemoveObject(ctx, "CN=Moved29.OU=Sub1.OU=Mixed"), 0);
  };
  Result after = Search("OU=Mixed", changing);
  ASSERT_EQ(after.status, 0);
  ASSERT_LT(given_first, 29u) << "the last match is left for a later part";
  ASSERT_EQ(after.order.size(), 29u) << "the one removed is left out";
  for (size_t k = 0; k < after.order.size(); ++k)
    EXPECT_EQ(after.order[k].rfind(k < given_first ? "CN=Many" : "CN=Moved", 0), 0u) << after.order[k];

  // A buffer that cannot hold one object.
  Query tiny;
  tiny.size = 40;
  EXPECT_EQ(Search("OU=Mixed", tiny).status, ERR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(nwc::live_iteration_count(), 0u);
}

TEST_F(ClientSearch, ClosingAnIterationReleasesTheSearch) {
  for (int i = 0; i < 10; ++i) ASSERT_EQ(AddUser("CN=C" + std::to_string(i) + ".OU=Mixed"), 0);
  const size_t live = nwc::live_iteration_count();
  pBuf_T out = Buf(nwc::NO_VERB, 500);
  nint32 it = NO_MORE_ITERATIONS, searched = 0;
  ASSERT_EQ(NWDSSearch(ctx, "OU=Mixed", DS_SEARCH_SUBTREE, 0, nullptr, DS_ATTRIBUTE_VALUES, 1, nullptr,
                       &it, 0, &searched, out),
            0);
  ASSERT_GE(it, 0);
  EXPECT_EQ(nwc::live_iteration_count(), live + 1);
  EXPECT_EQ(NWDSCloseIteration(ctx, it, DSV_LIST), ERR_INVALID_ITERATION) << "another operation";
  EXPECT_EQ(NWDSCloseIteration(ctx, it, DSV_SEARCH), 0);
  EXPECT_EQ(nwc::live_iteration_count(), live);
  const nint32 stale = it;
  EXPECT_EQ(NWDSSearch(ctx, "OU=Mixed", DS_SEARCH_SUBTREE, 0, nullptr, DS_ATTRIBUTE_VALUES, 1, nullptr,
                       &it, 0, &searched, out),
            ERR_INVALID_ITERATION);
  EXPECT_EQ(it, stale) << "the handle is left as it was";
  EXPECT_EQ(NWDSCloseIteration(ctx, stale, DSV_SEARCH), ERR_INVALID_ITERATION);
}

TEST_F(ClientSearch, CountObjectsToSearchBoundsTheEntriesExamined) {
  Query q;
  q.limit = 3;
  Result first = Search("OU=Mixed", q);
  ASSERT_EQ(first.status, 0);
  EXPECT_EQ(first.searched, 3);
  // The first three entries by id: the base and its first two subordinates.
  EXPECT_EQ(first.order, (std::vector<std::string>{"OU=Mixed", "CN=Alice.OU=Mixed", "OU=Sub1.OU=Mixed"}));
  q.filter = Filter({{"Title", SYN_CI_STRING, {}}});
  EXPECT_EQ(Search("OU=Mixed", q).names(), Names{"CN=Alice.OU=Mixed"});
  q.limit = 0;
  EXPECT_EQ(Search("OU=Mixed", q).names().size(), 3u);
}

TEST_F(ClientSearch, RefusesBadRequestsWithTheirStatus) {
  nint32 it = NO_MORE_ITERATIONS, searched = 42;
  pBuf_T out = Buf(nwc::NO_VERB);
  auto search = [&](const char *base, nint32 scope, pBuf_T filter, nuint32 info = DS_ATTRIBUTE_VALUES) {
    it = NO_MORE_ITERATIONS;
    return NWDSSearch(ctx, base, scope, 0, filter, info, 1, nullptr, &it, 0, &searched, out);
  };
  EXPECT_EQ(search("CN=Nobody.OU=Mixed", DS_SEARCH_SUBTREE, nullptr), ERR_NO_SUCH_ENTRY);
  EXPECT_EQ(search("OU=Nowhere", DS_SEARCH_ENTRY, nullptr), ERR_NO_SUCH_ENTRY);
  EXPECT_EQ(searched, 42) << "the count is left as it was on failure";
  EXPECT_EQ(it, NO_MORE_ITERATIONS);
  EXPECT_EQ(search("OU=Mixed", 7, nullptr), ERR_INVALID_REQUEST);
  EXPECT_EQ(search("OU=Mixed", DS_SEARCH_SUBTREE, nullptr, 99), ERR_INVALID_REQUEST);

  pBuf_T wrong_verb = Buf(DSV_READ);
  ASSERT_EQ(NWDSPutAttrName(ctx, wrong_verb, "CN"), 0);
  EXPECT_EQ(search("OU=Mixed", DS_SEARCH_SUBTREE, wrong_verb), ERR_BAD_VERB);
  EXPECT_EQ(search("OU=Mixed", DS_SEARCH_SUBTREE, Filter({{"No Such Attribute Here", SYN_CI_STRING, {}}})),
            ERR_NO_SUCH_ATTRIBUTE);
  // allAttrs off without a list of names: the entries without attributes.
  it = NO_MORE_ITERATIONS;
  EXPECT_EQ(NWDSSearch(ctx, "OU=Mixed", DS_SEARCH_ENTRY, 0, nullptr, DS_ATTRIBUTE_VALUES, 0, nullptr, &it, 0,
                       &searched, out),
            0);
  nuint32 count = 0, attrs = 99;
  char name[MAX_DN_BYTES];
  Object_Info_T info{};
  EXPECT_EQ(NWDSGetObjectCount(ctx, out, &count), 0);
  EXPECT_EQ(count, 1u);
  EXPECT_EQ(NWDSGetObjectName(ctx, out, name, &attrs, &info), 0);
  EXPECT_STREQ(name, "OU=Mixed");
  EXPECT_EQ(attrs, 0u);
  EXPECT_EQ(NWDSSearch(ctx + 1000, "OU=Mixed", DS_SEARCH_ENTRY, 0, nullptr, DS_ATTRIBUTE_VALUES, 1, nullptr,
                       &it, 0, &searched, out),
            ERR_BAD_CONTEXT);
  // The count may be left out.
  it = NO_MORE_ITERATIONS;
  EXPECT_EQ(NWDSSearch(ctx, "OU=Mixed", DS_SEARCH_ENTRY, 0, nullptr, DS_ATTRIBUTE_VALUES, 1, nullptr, &it, 0,
                       nullptr, out),
            0);
}

} // namespace
