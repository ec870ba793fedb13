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
