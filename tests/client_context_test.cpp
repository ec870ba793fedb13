// Directory contexts in the client: creation and defaults, every key, freed
// and unknown handles, duplicates, the default name context functions, the
// table limit, and concurrent use of the table.
#include <cstring>
#include <gtest/gtest.h>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "client_env.h"
#include "context.h"
#include "nwclient.h"

namespace {

std::string get_text(NWDSContextHandle c, nint32 key, NWDSCCODE *st = nullptr) {
  char area[MAX_DN_BYTES];
  std::memset(area, 'x', sizeof area);
  NWDSCCODE s = NWDSGetContext(c, key, area);
  if (st != nullptr) *st = s;
  return s == 0 ? std::string(area) : std::string("<error>");
}

nint32 get_int(NWDSContextHandle c, nint32 key) {
  nint32 v = 0x5A5A5A5A;
  EXPECT_EQ(NWDSGetContext(c, key, &v), 0) << "key " << key;
  return v;
}

class ClientContext : public ::testing::Test {
protected:
  void SetUp() override { nwc::forget_default_name_context(); }
  void TearDown() override {
    for (NWDSContextHandle h : made) NWDSFreeContext(h);
    nwc::forget_default_name_context();
  }
  NWDSContextHandle make() {
    NWDSContextHandle h = NWDSCreateContext();
    EXPECT_GT(h, 0);
    made.push_back(h);
    return h;
  }
  ScopedEnv no_faults{"NWCLIENT_FAULTS", nullptr};
  ScopedEnv no_trace{"NWCLIENT_TRACE", nullptr};
  std::vector<NWDSContextHandle> made;
};

TEST_F(ClientContext, NewContextTakesTheDefaultsAndTheConfiguration) {
  // A private tree: an existing file store would give its own tree name.
  ScopedEnv store("NWCLIENT_STORE", ":memory:");
  {
    ScopedEnv nc("NWCLIENT_NAME_CONTEXT", nullptr);
    ScopedEnv tree("NWCLIENT_TREE", nullptr);
    NWDSContextHandle c = make();
    EXPECT_EQ(get_int(c, DCK_FLAGS), DCV_DEFAULT_FLAGS);
    EXPECT_EQ(get_int(c, DCK_FLAGS), 19);
    EXPECT_EQ(get_int(c, DCK_CONFIDENCE), 0);
    EXPECT_EQ(get_int(c, DCK_REFERRAL_SCOPE), 0);
    EXPECT_EQ(get_int(c, DCK_LAST_CONNECTION), 0);
    EXPECT_EQ(get_text(c, DCK_NAME_CONTEXT), "[Root]");
    EXPECT_EQ(get_text(c, DCK_TREE_NAME), "VORLA_TREE");
  }
  ScopedEnv nc("NWCLIENT_NAME_CONTEXT", "OU=Sales.O=Example");
  ScopedEnv tree("NWCLIENT_TREE", "ACME_TREE");
  NWDSContextHandle c = make();
  EXPECT_EQ(get_text(c, DCK_NAME_CONTEXT), "OU=Sales.O=Example");
  EXPECT_EQ(get_text(c, DCK_TREE_NAME), "ACME_TREE");
  // An over-long configured tree name is ignored.
  for (size_t n : {size_t(MAX_TREE_NAME_CHARS + 1), size_t(MAX_TREE_NAME_BYTES)}) {
    ScopedEnv big("NWCLIENT_TREE", std::string(n, 'T').c_str());
    EXPECT_EQ(get_text(make(), DCK_TREE_NAME), "VORLA_TREE") << n;
  }
  ScopedEnv longest("NWCLIENT_TREE", std::string(MAX_TREE_NAME_CHARS, 'T').c_str());
  EXPECT_EQ(get_text(make(), DCK_TREE_NAME), std::string(MAX_TREE_NAME_CHARS, 'T'));
}

TEST_F(ClientContext, IntegerKeysReadBackAsSet) {
  NWDSContextHandle c = make();
  struct {
    nint32 key, value;
  } cases[] = {{DCK_FLAGS, DCV_TYPELESS_NAMES | DCV_DEREF_ALIASES},
               {DCK_FLAGS, INT32_MIN},
               {DCK_CONFIDENCE, 2},
               {DCK_REFERRAL_SCOPE, -1},
               {DCK_LAST_CONNECTION, 77}};
  for (auto cs : cases) {
    ASSERT_EQ(NWDSSetContext(c, cs.key, &cs.value), 0);
    EXPECT_EQ(get_int(c, cs.key), cs.value) << "key " << cs.key;
  }
  // Each key is its own setting.
  EXPECT_EQ(get_int(c, DCK_FLAGS), INT32_MIN);
  EXPECT_EQ(get_int(c, DCK_CONFIDENCE), 2);
}

TEST_F(ClientContext, TextKeysAreKeptExactlyAsSetWithinTheirLimits) {
  NWDSContextHandle c = make();
  for (const char *nc : {"OU=Sales.O=Example", "Sales.Example.", "", ".a\\.b+c..", "[Root]"}) {
    ASSERT_EQ(NWDSSetContext(c, DCK_NAME_CONTEXT, nc), 0) << nc;
    EXPECT_EQ(get_text(c, DCK_NAME_CONTEXT), nc);
  }
  std::string fits(MAX_DN_BYTES - 1, 'n'), too_long(MAX_DN_BYTES, 'n');
  ASSERT_EQ(NWDSSetContext(c, DCK_NAME_CONTEXT, fits.c_str()), 0);
  EXPECT_EQ(get_text(c, DCK_NAME_CONTEXT), fits);
  EXPECT_EQ(NWDSSetContext(c, DCK_NAME_CONTEXT, too_long.c_str()), ERR_INVALID_DS_NAME);
  EXPECT_EQ(get_text(c, DCK_NAME_CONTEXT), fits) << "a refused text leaves the setting";

  // A tree name: at most 32 characters, and its bytes within the area.
  std::string tree_fits;
  for (int i = 0; i < MAX_TREE_NAME_CHARS; ++i) tree_fits += "\xC3\xA4"; // 64 bytes
  ASSERT_EQ(NWDSSetContext(c, DCK_TREE_NAME, "OTHER_TREE"), 0);
  EXPECT_EQ(get_text(c, DCK_TREE_NAME), "OTHER_TREE");
  ASSERT_EQ(NWDSSetContext(c, DCK_TREE_NAME, tree_fits.c_str()), 0);
  for (std::string bad : {std::string(MAX_TREE_NAME_CHARS + 1, 't'), tree_fits + "t",
                          std::string(MAX_TREE_NAME_BYTES, 't')})
    EXPECT_EQ(NWDSSetContext(c, DCK_TREE_NAME, bad.c_str()), ERR_INVALID_DS_NAME) << bad;
  EXPECT_EQ(get_text(c, DCK_TREE_NAME), tree_fits);
  // The name context is its own setting.
  EXPECT_EQ(get_text(c, DCK_NAME_CONTEXT), fits);
}

TEST_F(ClientContext, IllegalKeysAreRefusedWithoutTouchingTheValue) {
  NWDSContextHandle c = make();
  for (nint32 key : {0, DCK_TRANSPORT_TYPE, 6, 7, 9, 10, 12, -1, 1000}) {
    nint32 v = 1234;
    EXPECT_EQ(NWDSGetContext(c, key, &v), ERR_BAD_KEY) << key;
    EXPECT_EQ(v, 1234);
    EXPECT_EQ(NWDSSetContext(c, key, &v), ERR_BAD_KEY) << key;
  }
  EXPECT_EQ(get_int(c, DCK_FLAGS), DCV_DEFAULT_FLAGS);
  nint32 v = 0;
  EXPECT_EQ(NWDSGetContext(c, DCK_FLAGS, nullptr), ERR_NULL_POINTER);
  EXPECT_EQ(NWDSSetContext(c, DCK_FLAGS, nullptr), ERR_NULL_POINTER);
  EXPECT_EQ(NWDSGetContext(c, DCK_FLAGS, &v), 0);
}

TEST_F(ClientContext, FreedAndUnknownHandlesAreBadContexts) {
  NWDSContextHandle c = NWDSCreateContext();
  ASSERT_GT(c, 0);
  ASSERT_EQ(NWDSFreeContext(c), 0);
  char area[MAX_DN_BYTES];
  nint32 v = 1;
  NWDSContextHandle out = 99;
  for (NWDSContextHandle h : {c, 0, -1, nwc::MAX_CONTEXTS + 1, INT32_MAX, INT32_MIN}) {
    SCOPED_TRACE(h);
    EXPECT_EQ(NWDSFreeContext(h), ERR_BAD_CONTEXT);
    EXPECT_EQ(NWDSGetContext(h, DCK_FLAGS, &v), ERR_BAD_CONTEXT);
    EXPECT_EQ(NWDSSetContext(h, DCK_FLAGS, &v), ERR_BAD_CONTEXT);
    EXPECT_EQ(NWDSGetDefNameContext(h, sizeof area, area), ERR_BAD_CONTEXT);
    EXPECT_EQ(NWDSSetDefNameContext(h, 3, "O=X"), ERR_BAD_CONTEXT);
    EXPECT_EQ(NWDSDuplicateContext(h), ERR_BAD_CONTEXT);
    EXPECT_EQ(NWDSDuplicateContextHandle(h, &out), ERR_BAD_CONTEXT);
    EXPECT_EQ(out, 99);
  }
  // A freed handle is not the next one issued.
  NWDSContextHandle next = make();
  EXPECT_NE(next, c);
}

TEST_F(ClientContext, DuplicateCopiesEverySettingAndStaysSeparate) {
  NWDSContextHandle c = make();
  nint32 flags = DCV_TYPELESS_NAMES, conf = 1, scope = 2, last = 3;
  ASSERT_EQ(NWDSSetContext(c, DCK_FLAGS, &flags), 0);
  ASSERT_EQ(NWDSSetContext(c, DCK_CONFIDENCE, &conf), 0);
  ASSERT_EQ(NWDSSetContext(c, DCK_REFERRAL_SCOPE, &scope), 0);
  ASSERT_EQ(NWDSSetContext(c, DCK_LAST_CONNECTION, &last), 0);
  ASSERT_EQ(NWDSSetContext(c, DCK_NAME_CONTEXT, "OU=Dup.O=Example"), 0);
  ASSERT_EQ(NWDSSetContext(c, DCK_TREE_NAME, "DUP_TREE"), 0);

  NWDSContextHandle d1 = NWDSDuplicateContext(c);
  ASSERT_GT(d1, 0);
  made.push_back(d1);
  NWDSContextHandle d2 = -1;
  ASSERT_EQ(NWDSDuplicateContextHandle(c, &d2), 0);
  made.push_back(d2);
  EXPECT_NE(d1, c);
  EXPECT_NE(d2, d1);
  for (NWDSContextHandle d : {d1, d2}) {
    EXPECT_EQ(get_int(d, DCK_FLAGS), flags);
    EXPECT_EQ(get_int(d, DCK_CONFIDENCE), conf);
    EXPECT_EQ(get_int(d, DCK_REFERRAL_SCOPE), scope);
    EXPECT_EQ(get_int(d, DCK_LAST_CONNECTION), last);
    EXPECT_EQ(get_text(d, DCK_NAME_CONTEXT), "OU=Dup.O=Example");
    EXPECT_EQ(get_text(d, DCK_TREE_NAME), "DUP_TREE");
  }
  ASSERT_EQ(NWDSSetContext(d1, DCK_NAME_CONTEXT, "O=Changed"), 0);
  EXPECT_EQ(get_text(c, DCK_NAME_CONTEXT), "OU=Dup.O=Example");
  ASSERT_EQ(NWDSFreeContext(c), 0);
  made.erase(made.begin());
  EXPECT_EQ(get_text(d2, DCK_NAME_CONTEXT), "OU=Dup.O=Example") << "a duplicate outlives its source";
}

TEST_F(ClientContext, DefNameContextUsesTheGivenSizes) {
  NWDSContextHandle c = make();
  ASSERT_EQ(NWDSSetDefNameContext(c, 9, "O=Example"), 0);
  char area[MAX_DN_BYTES];
  ASSERT_EQ(NWDSGetDefNameContext(c, sizeof area, area), 0);
  EXPECT_STREQ(area, "O=Example");
  EXPECT_EQ(get_text(c, DCK_NAME_CONTEXT), "O=Example") << "the same setting as the key";
  // Exactly the text and its terminator fit; one byte less does not.
  std::memset(area, 'x', sizeof area);
  EXPECT_EQ(NWDSGetDefNameContext(c, 10, area), 0);
  EXPECT_STREQ(area, "O=Example");
  std::memset(area, 'x', sizeof area);
  EXPECT_EQ(NWDSGetDefNameContext(c, 9, area), ERR_BUFFER_FULL);
  EXPECT_EQ(area[0], '\0');
  EXPECT_EQ(area[1], 'x') << "nothing written past the given size";
  EXPECT_EQ(NWDSGetDefNameContext(c, 0, area), ERR_BUFFER_FULL);
  // The length bounds the text taken; a zero byte ends it earlier.
  ASSERT_EQ(NWDSSetDefNameContext(c, 3, "O=Example"), 0);
  EXPECT_EQ(get_text(c, DCK_NAME_CONTEXT), "O=E");
  ASSERT_EQ(NWDSSetDefNameContext(c, 4000, "O=Short"), 0);
  EXPECT_EQ(get_text(c, DCK_NAME_CONTEXT), "O=Short");
  std::string too_long(MAX_DN_BYTES, 'n');
  EXPECT_EQ(NWDSSetDefNameContext(c, MAX_DN_BYTES, too_long.c_str()), ERR_INVALID_DS_NAME);
  EXPECT_EQ(get_text(c, DCK_NAME_CONTEXT), "O=Short");
  EXPECT_EQ(NWDSGetDefNameContext(c, sizeof area, nullptr), ERR_NULL_POINTER);
}

TEST_F(ClientContext, ClientDefaultNameContextIsSetForNewContextsOnly) {
  ScopedEnv nc("NWCLIENT_NAME_CONTEXT", "O=FromEnv");
  nuint8 area[256];
  ASSERT_EQ(NWGetDefaultNameContext(sizeof area, area), 0);
  EXPECT_STREQ(reinterpret_cast<char *>(area), "O=FromEnv");
  NWDSContextHandle before = make();

  const nuint8 text[] = "OU=Set.O=Example\0ignored";
  ASSERT_EQ(NWSetDefaultNameContext(sizeof text - 1, text), 0) << "stops at the zero byte";
  ASSERT_EQ(NWGetDefaultNameContext(sizeof area, area), 0);
  EXPECT_STREQ(reinterpret_cast<char *>(area), "OU=Set.O=Example");
  EXPECT_EQ(get_text(make(), DCK_NAME_CONTEXT), "OU=Set.O=Example");
  EXPECT_EQ(get_text(before, DCK_NAME_CONTEXT), "O=FromEnv");
  {
    ScopedEnv other("NWCLIENT_NAME_CONTEXT", "O=Other");
    ASSERT_EQ(NWGetDefaultNameContext(sizeof area, area), 0);
    EXPECT_STREQ(reinterpret_cast<char *>(area), "OU=Set.O=Example") << "a set default wins";
  }
  ASSERT_EQ(NWSetDefaultNameContext(4, text), 0);
  ASSERT_EQ(NWGetDefaultNameContext(sizeof area, area), 0);
  EXPECT_STREQ(reinterpret_cast<char *>(area), "OU=S");

  std::memset(area, 'x', sizeof area);
  EXPECT_EQ(NWGetDefaultNameContext(4, area), ERR_BUFFER_FULL);
  EXPECT_EQ(area[0], '\0');
  EXPECT_EQ(area[4], 'x');
  EXPECT_EQ(NWGetDefaultNameContext(5, area), 0);
  EXPECT_EQ(NWGetDefaultNameContext(sizeof area, nullptr), ERR_NULL_POINTER);
  std::string too_long(MAX_DN_BYTES, 'n');
  EXPECT_EQ(NWSetDefaultNameContext(MAX_DN_BYTES, reinterpret_cast<const nuint8 *>(too_long.c_str())),
            ERR_INVALID_DS_NAME);
}

TEST_F(ClientContext, CreationFailsAtTheTableLimitAndRecovers) {
  std::vector<NWDSContextHandle> all;
  for (int i = 0; i <= nwc::MAX_CONTEXTS; ++i) {
    NWDSContextHandle h = NWDSCreateContext();
    if (h < 0) {
      EXPECT_EQ(h, ERR_CONTEXT_CREATION);
      break;
    }
    all.push_back(h);
  }
  EXPECT_LE(all.size(), static_cast<size_t>(nwc::MAX_CONTEXTS));
  EXPECT_GT(all.size(), static_cast<size_t>(nwc::MAX_CONTEXTS) - 16) << "others hold few contexts";
  EXPECT_EQ(std::set<NWDSContextHandle>(all.begin(), all.end()).size(), all.size());
  NWDSContextHandle h = 555;
  EXPECT_EQ(NWDSCreateContextHandle(&h), ERR_CONTEXT_CREATION);
  EXPECT_EQ(h, 555);
  EXPECT_EQ(NWDSDuplicateContext(all.front()), ERR_CONTEXT_CREATION);
  EXPECT_EQ(NWDSDuplicateContextHandle(all.front(), &h), ERR_CONTEXT_CREATION);
  ASSERT_EQ(NWDSFreeContext(all.back()), 0);
  h = NWDSCreateContext();
  EXPECT_EQ(h, all.back()) << "the one free slot is reissued";
  all.back() = h;
  for (NWDSContextHandle x : all) EXPECT_EQ(NWDSFreeContext(x), 0);
}

TEST_F(ClientContext, ConcurrentUseKeepsContextsApart) {
  constexpr int kThreads = 4, kEach = 100;
  std::vector<std::thread> threads;
  std::vector<int> bad(kThreads, 0);
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, &bad] {
      std::vector<NWDSContextHandle> mine;
      for (int i = 0; i < kEach; ++i) {
        NWDSContextHandle h = NWDSCreateContext();
        if (h < 0) { ++bad[t]; continue; }
        std::string nc = "OU=T" + std::to_string(t) + "N" + std::to_string(i);
        if (NWDSSetContext(h, DCK_NAME_CONTEXT, nc.c_str()) != 0) ++bad[t];
        mine.push_back(h);
      }
      for (size_t i = 0; i < mine.size(); ++i) {
        std::string want = "OU=T" + std::to_string(t) + "N" + std::to_string(i);
        if (get_text(mine[i], DCK_NAME_CONTEXT) != want) ++bad[t];
        if (NWDSFreeContext(mine[i]) != 0) ++bad[t];
      }
    });
  }
  for (auto &th : threads) th.join();
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(bad[t], 0) << "thread " << t;
}

TEST_F(ClientContext, EnginesSeeTheContextThroughSnapshotAndWithContext) {
  NWDSContextHandle c = make();
  ASSERT_EQ(NWDSSetContext(c, DCK_NAME_CONTEXT, "O=Engine"), 0);
  nwc::Context snap;
  ASSERT_EQ(nwc::context_snapshot(c, snap), 0);
  EXPECT_EQ(snap.name_context, "O=Engine");
  EXPECT_EQ(snap.flags, static_cast<nuint32>(DCV_DEFAULT_FLAGS));
  EXPECT_EQ(nwc::with_context(c, [](nwc::Context &x) {
              x.flags |= DCV_TYPELESS_NAMES;
              return 7;
            }),
            7);
  EXPECT_EQ(get_int(c, DCK_FLAGS), DCV_DEFAULT_FLAGS | DCV_TYPELESS_NAMES);
  EXPECT_EQ(nwc::context_snapshot(-3, snap), ERR_BAD_CONTEXT);
  EXPECT_TRUE(nwc::context_is_live(c));
  EXPECT_FALSE(nwc::context_is_live(0));
}

} // namespace
