// The store's cache of resolved names: what another process renames or
// removes, and what a rolled-back change added, is never found through it.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "names/names.h"
#include "store/store.h"

using namespace nwc;

namespace {

EntryId find(Store& s, std::string_view name) {
  auto id = s.find(*parse_dn(name));
  return id ? *id : -1;
}

Rdn rdn(std::string_view text) { return *parse_rdn(text); }

}  // namespace

TEST(EngineNamesCache, SeesAnotherProcessRenameAndRemoval) {
  char tmpl[] = "/tmp/nwc-names-XXXXXX";
  const std::string dir = mkdtemp(tmpl);
  const std::string path = dir + "/names.db";
  {
    auto opened = Store::open(path, SeedConfig{});
    ASSERT_TRUE(opened.ok());
    Store& s = **opened;
    const EntryId org = find(s, "O=Example");
    auto ou = s.add_entry(org, rdn("OU=Sales"), "Organizational Unit", {});
    ASSERT_TRUE(ou.ok());
    auto a = s.add_entry(*ou, rdn("CN=a"), "Organizational Role", {});
    auto b = s.add_entry(*ou, rdn("CN=b"), "Organizational Role", {});
    ASSERT_TRUE(a.ok() && b.ok());
    // Resolved (and kept) here before the other process changes them.
    ASSERT_EQ(find(s, "CN=a.OU=Sales.O=Example"), *a);
    ASSERT_EQ(find(s, "CN=b.OU=Sales.O=Example"), *b);

    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      // Another process: b goes, a takes b's name, the container is renamed.
      auto other = Store::open(path, SeedConfig{});
      int rc = !other.ok();
      if (!rc) rc = (*other)->remove_entry(*b) != 0;
      if (!rc) rc = (*other)->move_entry(*a, *ou, rdn("CN=b")) != 0;
      if (!rc) rc = (*other)->move_entry(*ou, org, rdn("OU=Sold")) != 0;
      _exit(rc);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    EXPECT_EQ(find(s, "CN=a.OU=Sales.O=Example"), -1);
    EXPECT_EQ(find(s, "CN=b.OU=Sales.O=Example"), -1);
    EXPECT_EQ(find(s, "OU=Sales.O=Example"), -1);
    EXPECT_EQ(find(s, "CN=b.OU=Sold.O=Example"), *a);

    // In this process: an entry found inside a change that rolls back.
    {
      Transaction tx(s);
      auto t = s.add_entry(*ou, rdn("CN=t"), "Organizational Role", {});
      ASSERT_TRUE(t.ok());
      EXPECT_EQ(find(s, "CN=t.OU=Sold.O=Example"), *t);
    }
    EXPECT_EQ(find(s, "CN=t.OU=Sold.O=Example"), -1);
  }
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
}

// Bounded to about its capacity, the cache drops the names least recently
// used, never one in use, and never gives a value other than the last put.
TEST(EngineNamesCache, KeepsTheRecentlyUsedWithinItsBound) {
  Recent<int, int> r(4);  // two generations of two
  r.put(1, 10);
  r.put(2, 20);
  r.put(3, 30);  // 1 and 2 become the older generation
  ASSERT_NE(r.get(1), nullptr);
  EXPECT_EQ(*r.get(1), 10);  // used: moves to the newer one
  r.put(2, 21);              // a key put again holds its new value only
  r.put(4, 40);              // 2 and 4 fill the newer generation, 3 and 1 the older
  r.put(5, 50);              // and 5 starts another: 3 and 1 go
  EXPECT_EQ(r.get(3), nullptr);
  EXPECT_EQ(r.get(1), nullptr);
  ASSERT_NE(r.get(2), nullptr);
  EXPECT_EQ(*r.get(2), 21);
  EXPECT_LE(r.size(), 4u);
}

// A name found again after its entry's flags changed tells the new flags.
TEST(EngineNamesCache, FlagsChangeIsSeenThroughTheCache) {
  auto opened = Store::open(":memory:", SeedConfig{});
  ASSERT_TRUE(opened.ok());
  Store& s = **opened;
  auto org = s.locate(*parse_dn("O=Example"));
  ASSERT_TRUE(org.ok());
  ASSERT_EQ(s.set_entry_flags(org->id, org->flags | DS_ALIAS_ENTRY), 0);
  auto again = s.locate(*parse_dn("O=Example"));
  ASSERT_TRUE(again.ok());
  EXPECT_EQ(again->id, org->id);
  EXPECT_NE(again->flags & DS_ALIAS_ENTRY, 0u);
}
