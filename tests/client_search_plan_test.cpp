// How searches reach the store: every statement an indexed equality search
// runs is explained by SQLite and none reads the entries or values table
// whole; the ancestry a subtree search relies on follows a moved container;
// and a store made before entries carried their ancestry gets it when
// opened.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "client_dir.h"
#include "store/store.h"

namespace {

using client_dir::ClientDir;

std::vector<std::string> *g_seen = nullptr;

int remember(unsigned, void *, void *stmt, void *) {
  if (g_seen != nullptr) g_seen->push_back(sqlite3_sql(static_cast<sqlite3_stmt *>(stmt)));
  return 0;
}

// Plan lines of `sql` that read a whole table (a SCAN not of a subquery).
std::vector<std::string> table_scans(sqlite3 *db, const std::string &sql) {
  std::vector<std::string> out;
  sqlite3_stmt *st = nullptr;
  if (sqlite3_prepare_v2(db, ("EXPLAIN QUERY PLAN " + sql).c_str(), -1, &st, nullptr) != SQLITE_OK)
    return {"cannot explain: " + sql};
  while (sqlite3_step(st) == SQLITE_ROW) {
    const std::string d = reinterpret_cast<const char *>(sqlite3_column_text(st, 3));
    if (d.rfind("SCAN", 0) == 0 && d.find("subquery") == std::string::npos) out.push_back(d);
  }
  sqlite3_finalize(st);
  return out;
}

class ClientSearchPlan : public ClientDir {
protected:
  std::set<std::string> Names(const std::string &base, pBuf_T filter, nint32 scope = DS_SEARCH_SUBTREE) {
    std::set<std::string> names;
    pBuf_T out = Buf(nwc::NO_VERB);
    nint32 it = NO_MORE_ITERATIONS, searched = 0;
    do {
      EXPECT_EQ(NWDSSearch(ctx, base.c_str(), scope, 0, filter, DS_ATTRIBUTE_NAMES, 1, nullptr, &it, 0,
                           &searched, out),
                0);
      nuint32 count = 0;
      EXPECT_EQ(NWDSGetObjectCount(ctx, out, &count), 0);
      for (nuint32 i = 0; i < count; ++i) {
        char name[MAX_DN_BYTES];
        nuint32 attrs = 0;
        Object_Info_T info{};
        EXPECT_EQ(NWDSGetObjectName(ctx, out, name, &attrs, &info), 0);
        for (nuint32 a = 0; a < attrs; ++a) {
          char an[MAX_SCHEMA_NAME_BYTES];
          nuint32 vc = 0, syn = 0;
          EXPECT_EQ(NWDSGetAttrName(ctx, out, an, &vc, &syn), 0);
        }
        names.insert(name);
      }
    } while (it != NO_MORE_ITERATIONS);
    last_searched = searched;
    return names;
  }
  pBuf_T Equal(const char *attr, const char *value) {
    pBuf_T f = Buf(DSV_SEARCH_FILTER);
    EXPECT_EQ(Put(f, {{attr, SYN_CI_STRING, {value}}}), 0);
    return f;
  }
  nint32 last_searched = 0;
};

TEST_F(ClientSearchPlan, AnIndexedEqualitySearchScansNoTable) {
  ASSERT_EQ(Add("OU=Staff", {{"Object Class", SYN_CLASS_NAME, {"Organizational Unit"}}}), 0);
  for (int i = 0; i < 300; ++i)
    ASSERT_EQ(AddUser("CN=u" + std::to_string(i) + ".OU=Staff",
                      {{"Title", SYN_CI_STRING, {i == 123 ? "Pilot" : "Clerk"}}}),
              0);
  auto store = nwc::current_store();
  ASSERT_TRUE(store.ok());
  sqlite3 *db = (*store)->db();
  std::vector<std::string> seen;
  g_seen = &seen;
  sqlite3_trace_v2(db, SQLITE_TRACE_STMT, remember, nullptr);
  const auto found = Names("", Equal("Title", "pilot"));
  sqlite3_trace_v2(db, 0, nullptr, nullptr);
  g_seen = nullptr;
  EXPECT_EQ(found, std::set<std::string>{"CN=u123.OU=Staff"});
  EXPECT_EQ(last_searched, 1) << "one candidate examined, not the 302 entries in scope";

  bool used_value_index = false;
  for (const std::string &sql : std::set<std::string>(seen.begin(), seen.end())) {
    if (sql.rfind("SELECT", 0) != 0 && sql.rfind("WITH", 0) != 0) continue; // BEGIN, COMMIT, PRAGMA
    EXPECT_TRUE(table_scans(db, sql).empty()) << sql;
    if (sql.find("v.value_key") != std::string::npos) used_value_index = true;
  }
  EXPECT_TRUE(used_value_index) << "the candidates came from the value index";
  // The check itself: a search that walks the scope reads the path index,
  // and a lookup without an index would show as a scan.
  EXPECT_FALSE(table_scans(db, "SELECT id FROM entries WHERE rdn = 'x'").empty());
}

TEST_F(ClientSearchPlan, SubtreesFollowAMovedContainer) {
  for (const char *ou : {"OU=A", "OU=B", "OU=Inner.OU=A"})
    ASSERT_EQ(Add(ou, {{"Object Class", SYN_CLASS_NAME, {"Organizational Unit"}}}), 0);
  ASSERT_EQ(AddUser("CN=Deep.OU=Inner.OU=A", {{"Title", SYN_CI_STRING, {"Mover"}}}), 0);
  ASSERT_EQ(AddUser("CN=Stay.OU=A", {{"Title", SYN_CI_STRING, {"Mover"}}}), 0);
  ASSERT_EQ(NWDSMoveObject(ctx, "OU=Inner.OU=A", "OU=B", "OU=Inner"), 0);
  // Answered from the value index, scoped by path key; and walked.
  EXPECT_EQ(Names("OU=B", Equal("Title", "mover")), std::set<std::string>{"CN=Deep.OU=Inner.OU=B"});
  EXPECT_EQ(Names("OU=A", Equal("Title", "mover")), std::set<std::string>{"CN=Stay.OU=A"});
  EXPECT_EQ(Names("OU=B", nullptr),
            (std::set<std::string>{"OU=B", "OU=Inner.OU=B", "CN=Deep.OU=Inner.OU=B"}));
  // An entry added below the moved container lands in its new subtree.
  ASSERT_EQ(AddUser("CN=Late.OU=Inner.OU=B", {{"Title", SYN_CI_STRING, {"Mover"}}}), 0);
  EXPECT_EQ(Names("OU=B", Equal("Title", "mover")),
            (std::set<std::string>{"CN=Deep.OU=Inner.OU=B", "CN=Late.OU=Inner.OU=B"}));
}

TEST(StoreAncestry, AStoreWithoutPathKeysGetsThemWhenOpened) {
  const std::string path =
      (std::filesystem::temp_directory_path() / ("ancestry-" + std::to_string(getpid()) + ".db")).string();
  std::filesystem::remove(path);
  {
    auto s = nwc::Store::open(path, nwc::SeedConfig{});
    ASSERT_TRUE(s.ok());
    nwc::Store &st = **s;
    auto org = st.find(nwc::parse_dn("O=Example").value());
    ASSERT_TRUE(org.ok());
    auto ou = st.add_entry(*org, nwc::parse_rdn("OU=Old").value(), "Organizational Unit", {});
    ASSERT_TRUE(ou.ok());
    auto user = st.add_entry(*ou, nwc::parse_rdn("CN=Kept").value(), "User",
                             {{"Surname", nwc::Value::text(SYN_CI_STRING, "Kept")}});
    ASSERT_TRUE(user.ok());
    // As a store made before entries carried their ancestry.
    ASSERT_EQ(sqlite3_exec(st.db(), "DROP INDEX entries_by_path; UPDATE entries SET path = NULL", nullptr,
                           nullptr, nullptr),
              SQLITE_OK);
  }
  auto s = nwc::Store::open(path, nwc::SeedConfig{});
  ASSERT_TRUE(s.ok());
  nwc::Store &st = **s;
  auto org = st.find(nwc::parse_dn("O=Example").value());
  auto user = st.find(nwc::parse_dn("CN=Kept.OU=Old.O=Example").value());
  ASSERT_TRUE(org.ok() && user.ok());
  auto org_path = st.path_of(*org), user_path = st.path_of(*user);
  ASSERT_TRUE(org_path.ok() && user_path.ok());
  EXPECT_EQ(user_path->rfind(*org_path, 0), 0u) << "the user's key begins with its organization's";
  auto below = st.count_subtree(*org_path, 100);
  ASSERT_TRUE(below.ok());
  EXPECT_EQ(*below, 5u) << "the organization, Admin, the server, OU=Old and its user";
  std::filesystem::remove(path);
  std::filesystem::remove(path + "-wal");
  std::filesystem::remove(path + "-shm");
}

} // namespace
