// The store: seeding, entries and values, schema changes, replica rings,
// files and the process-wide handle, and durability across processes.
#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>

#include "names/names.h"
#include "nwclient.h"
#include "store/queries.h"
#include "store/store.h"

using namespace nwc;

namespace {

class TempDir {
 public:
  TempDir() {
    char tmpl[] = "/tmp/nwc-engine-XXXXXX";
    path_ = mkdtemp(tmpl);
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  std::string operator/(std::string_view name) const { return path_ + "/" + std::string(name); }

 private:
  std::string path_;
};

// Sets (or unsets, with nullptr) an environment variable for one scope.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    had_ = std::getenv(name) != nullptr;
    value ? setenv(name, value, 1) : unsetenv(name);
  }
  ~ScopedEnv() { had_ ? setenv(name_, old_.c_str(), 1) : unsetenv(name_); }

 private:
  const char* name_;
  std::string old_;
  bool had_ = false;
};

std::unique_ptr<Store> open_store(const std::string& path, const SeedConfig& cfg = {}) {
  auto s = Store::open(path, cfg);
  EXPECT_TRUE(s.ok()) << path << ": " << s.status();
  return s ? std::move(*s) : nullptr;
}

Rdn rdn(std::string_view text) { return *parse_rdn(text); }

EntryId find(Store& s, std::string_view name) {
  auto d = parse_dn(name);
  if (!d) return -1;
  auto id = s.find(*d);
  return id ? *id : -1;
}

std::string name_of(Store& s, EntryId id) {
  auto d = s.dn_of(id);
  return d ? format_dn(*d) : "error";
}

std::set<std::string> texts(Store& s, EntryId id, std::string_view attr) {
  std::set<std::string> out;
  auto v = s.values(id, attr);
  if (v)
    for (const auto& sv : *v) out.insert(sv.value.texts.at(0));
  return out;
}

mode_t file_mode(const std::string& path) {
  struct stat st{};
  return stat(path.c_str(), &st) == 0 ? (st.st_mode & 0777) : 0;
}

std::string pragma(Store& s, const char* sql) {
  sqlite3_stmt* st = nullptr;
  std::string out;
  if (sqlite3_prepare_v2(s.db(), sql, -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW)
    out = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
  sqlite3_finalize(st);
  return out;
}

// The plan lines of a query that read a table without an index.
std::vector<std::string> full_scans(Store& s, const char* sql) {
  std::vector<std::string> scans;
  sqlite3_stmt* st = nullptr;
  const std::string explain = std::string("EXPLAIN QUERY PLAN ") + sql;
  if (sqlite3_prepare_v2(s.db(), explain.c_str(), -1, &st, nullptr) != SQLITE_OK) return {"bad sql"};
  while (sqlite3_step(st) == SQLITE_ROW) {
    const std::string detail = reinterpret_cast<const char*>(sqlite3_column_text(st, 3));
    if (detail.rfind("SCAN", 0) == 0) scans.push_back(detail);
  }
  sqlite3_finalize(st);
  return scans;
}

}  // namespace

TEST(EngineStore, LookupsGoThroughIndexes) {
  auto s = open_store(":memory:");
  ASSERT_TRUE(s);
  for (const char* sql : queries::kIndexed) EXPECT_TRUE(full_scans(*s, sql).empty()) << sql;
  // The check itself: a lookup by a column without an index is a scan.
  EXPECT_FALSE(full_scans(*s, "SELECT id FROM entries WHERE rdn = ?").empty());
}

TEST(EngineStore, NewTreeIsSeeded) {
  SeedConfig cfg;
  cfg.tree = "T1";
  cfg.organization = "Acme";
  cfg.server = "SRV9";
  auto s = open_store(":memory:", cfg);
  ASSERT_TRUE(s);
  EXPECT_EQ(s->tree_name().value(), "T1");

  const EntryId root = s->root_id();
  const EntryId org = find(*s, "O=Acme");
  const EntryId admin = find(*s, "CN=Admin.O=Acme");
  const EntryId server = find(*s, "CN=SRV9.O=Acme");
  ASSERT_GT(org, 0);
  ASSERT_GT(admin, 0);
  ASSERT_GT(server, 0);
  EXPECT_EQ(name_of(*s, admin), "CN=Admin.O=Acme");
  EXPECT_EQ(s->entry(root)->cls, "Tree Root");
  EXPECT_EQ(s->entry(admin)->cls, "User");
  EXPECT_EQ(s->entry(server)->cls, "NCP Server");
  EXPECT_TRUE(s->entry(root)->flags & DS_PARTITION_ROOT);
  EXPECT_TRUE(s->entry(org)->flags & DS_CONTAINER_ENTRY);
  EXPECT_FALSE(s->entry(admin)->flags & DS_CONTAINER_ENTRY);
  EXPECT_EQ(s->child_count(root).value(), 1u);
  EXPECT_EQ(s->child_count(org).value(), 2u);

  EXPECT_EQ(texts(*s, admin, "Surname"), std::set<std::string>{"Admin"});
  EXPECT_EQ(texts(*s, admin, "CN"), std::set<std::string>{"Admin"});
  EXPECT_EQ(texts(*s, admin, "Object Class"),
            (std::set<std::string>{"User", "Organizational Person", "Person", "Top"}));
  EXPECT_EQ(texts(*s, org, "O"), std::set<std::string>{"Acme"});
  auto address = s->values(server, "Network Address");
  ASSERT_TRUE(address.ok());
  ASSERT_EQ(address->size(), 1u);
  EXPECT_EQ(address->front().value.nums[0], 9u);
  EXPECT_EQ(address->front().value.blobs[0].size(), 6u);
  EXPECT_EQ(s->values(server, "Version")->size(), 1u);

  auto acl = s->values(root, "ACL");
  ASSERT_TRUE(acl.ok());
  ASSERT_EQ(acl->size(), 2u);
  EXPECT_EQ(acl->at(0).value, Value::acl("[Entry Rights]", "[Public]", DS_ENTRY_BROWSE));
  EXPECT_EQ(acl->at(1).value, Value::acl("[Entry Rights]", "CN=Admin.O=Acme", DS_ENTRY_SUPERVISOR));

  EXPECT_EQ(s->partitions().value(), std::vector<EntryId>{root});
  auto ring = s->replicas(root);
  ASSERT_TRUE(ring.ok());
  ASSERT_EQ(ring->size(), 1u);
  EXPECT_EQ(ring->front().server, server);
  EXPECT_EQ(ring->front().type, uint32_t{RT_MASTER});
  EXPECT_EQ(ring->front().number, 1u);
  EXPECT_EQ(s->replicas_on(server)->size(), 1u);

  // No password was configured: the Admin cannot log in.
  EXPECT_FALSE(s->has_password(admin).value());
  EXPECT_EQ(s->check_password(admin, ""), ERR_FAILED_AUTHENTICATION);
  EXPECT_EQ(s->check_password(admin, "admin"), ERR_FAILED_AUTHENTICATION);
}

TEST(EngineStore, PasswordsAreKeptOnlyAsSaltedHashes) {
  SeedConfig cfg;
  cfg.has_admin_password = true;
  cfg.admin_password = "s3cret";
  auto s = open_store(":memory:", cfg);
  ASSERT_TRUE(s);
  const EntryId admin = find(*s, "CN=Admin.O=Example");
  EXPECT_EQ(s->check_password(admin, "s3cret"), 0);
  EXPECT_EQ(s->check_password(admin, "S3cret"), ERR_FAILED_AUTHENTICATION);
  EXPECT_EQ(s->check_password(admin, ""), ERR_FAILED_AUTHENTICATION);
  EXPECT_EQ(s->check_password(admin, std::string("s3cret\0x", 8)), ERR_FAILED_AUTHENTICATION);

  for (const auto& v : s->values(admin).value()) {
    for (const auto& t : v.value.texts) EXPECT_EQ(t.find("s3cret"), std::string::npos) << v.attr;
    for (const auto& t : v.value.texts) EXPECT_EQ(t.find("$y$"), std::string::npos) << v.attr;
  }
  const std::string hash = pragma(*s, "SELECT hash FROM secrets");
  EXPECT_EQ(hash.rfind("$y$", 0), 0u) << hash;
  EXPECT_EQ(hash.find("s3cret"), std::string::npos);

  // Same password, other salt; a new password replaces the old one.
  const EntryId server = find(*s, "CN=VORLA_SRV1.O=Example");
  ASSERT_EQ(s->set_password(server, "s3cret"), 0);
  EXPECT_EQ(s->check_password(server, "s3cret"), 0);
  EXPECT_NE(pragma(*s, "SELECT count(DISTINCT hash) FROM secrets"), "1");
  ASSERT_EQ(s->set_password(admin, "n3w"), 0);
  EXPECT_EQ(s->check_password(admin, "s3cret"), ERR_FAILED_AUTHENTICATION);
  EXPECT_EQ(s->check_password(admin, "n3w"), 0);
  ASSERT_EQ(s->clear_password(admin), 0);
  EXPECT_EQ(s->check_password(admin, "n3w"), ERR_FAILED_AUTHENTICATION);
  EXPECT_EQ(s->check_password(999999, "x"), ERR_NO_SUCH_ENTRY);
}

TEST(EngineStore, EntriesAndValuesKeepTheirInvariants) {
  auto s = open_store(":memory:");
  ASSERT_TRUE(s);
  const EntryId org = find(*s, "O=Example");
  auto sales = s->add_entry(org, rdn("OU=Sales"), "Organizational Unit", {});
  ASSERT_TRUE(sales.ok());
  EXPECT_EQ(s->add_entry(org, rdn("ou=SALES"), "Organizational Unit", {}).status(), ERR_ENTRY_ALREADY_EXISTS);
  EXPECT_EQ(s->add_entry(999999, rdn("OU=X"), "Organizational Unit", {}).status(), ERR_NO_SUCH_ENTRY);
  EXPECT_EQ(s->add_entry(org, rdn("OU=X"), "Wizard", {}).status(), ERR_NO_SUCH_CLASS);

  auto bob = s->add_entry(*sales, rdn("CN=Bob"), "User",
                          {{"Surname", Value::text(SYN_CI_STRING, "Smith")},
                           {"Telephone Number", Value::text(SYN_TEL_NUMBER, "555-1234")},
                           {"Login Disabled", Value::integer(SYN_BOOLEAN, 0)},
                           {"Member", Value::text(SYN_DIST_NAME, "admin.example")}});
  ASSERT_TRUE(bob.ok());
  EXPECT_EQ(texts(*s, *bob, "CN"), std::set<std::string>{"Bob"});
  EXPECT_EQ(texts(*s, *bob, "Member"), std::set<std::string>{"CN=admin.O=example"});  // canonical form
  EXPECT_EQ(s->add_value(*bob, "Telephone Number", Value::text(SYN_TEL_NUMBER, "555 1234")), ERR_DUPLICATE_VALUE);
  ASSERT_EQ(sqlite3_exec(s->db(), "UPDATE entries SET mtime = 1", nullptr, nullptr, nullptr), SQLITE_OK);
  EXPECT_EQ(s->add_value(*bob, "Telephone Number", Value::text(SYN_TEL_NUMBER, "555 9999")), 0);
  EXPECT_GT(s->entry(*bob)->mtime, 1);
  EXPECT_EQ(s->entry(*sales)->mtime, 1);
  EXPECT_EQ(s->add_value(*bob, "Login Disabled", Value::integer(SYN_BOOLEAN, 1)), ERR_CANT_HAVE_MULTIPLE_VALUES);
  EXPECT_EQ(s->add_value(*bob, "Login Disabled", Value::integer(SYN_BOOLEAN, 0)), ERR_DUPLICATE_VALUE);
  EXPECT_EQ(s->add_value(*bob, "No Such Thing", Value::text(SYN_CI_STRING, "x")), ERR_NO_SUCH_ATTRIBUTE);
  EXPECT_EQ(s->add_value(*bob, "Surname", Value::integer(SYN_INTEGER, 3)), ERR_SYNTAX_VIOLATION);
  EXPECT_EQ(s->add_value(*bob, "Surname", Value::text(SYN_CI_STRING, std::string(65, 's'))), ERR_SYNTAX_VIOLATION);
  EXPECT_EQ(s->add_value(999999, "Surname", Value::text(SYN_CI_STRING, "x")), ERR_NO_SUCH_ENTRY);

  // A failed add leaves nothing behind.
  EXPECT_EQ(s->add_entry(*sales, rdn("CN=Broken"), "User",
                         {{"Surname", Value::text(SYN_CI_STRING, "ok")},
                          {"Login Disabled", Value::integer(SYN_BOOLEAN, 5)}})
                .status(),
            ERR_SYNTAX_VIOLATION);
  EXPECT_EQ(s->child(*sales, rdn("CN=Broken")).status(), ERR_NO_SUCH_ENTRY);
  EXPECT_EQ(s->child_count(*sales).value(), 1u);

  // Values by attribute, removal, lookups through the value index.
  auto phones = s->values(*bob, "telephone number");
  ASSERT_TRUE(phones.ok());
  ASSERT_EQ(phones->size(), 2u);
  EXPECT_EQ(phones->at(0).attr, "Telephone Number");
  EXPECT_EQ(phones->at(0).value.texts[0], "555-1234");
  EXPECT_EQ(s->find_by_value("Surname", Value::text(SYN_CI_STRING, "SMITH")).value(), std::vector<EntryId>{*bob});
  EXPECT_EQ(s->find_by_value("Member", Value::text(SYN_DIST_NAME, "CN=Admin.O=Example")).value(),
            std::vector<EntryId>{*bob});
  EXPECT_EQ(s->find_with_attribute("Telephone Number").value(), std::vector<EntryId>{*bob});
  EXPECT_TRUE(s->has_value(*bob, "Telephone Number", Value::text(SYN_TEL_NUMBER, "5559999")).value());
  EXPECT_EQ(s->remove_value(*bob, "Telephone Number", Value::text(SYN_TEL_NUMBER, "555-9999")), 0);
  EXPECT_FALSE(s->has_value(*bob, "Telephone Number", Value::text(SYN_TEL_NUMBER, "5559999")).value());
  EXPECT_EQ(s->remove_value(*bob, "Telephone Number", Value::text(SYN_TEL_NUMBER, "555-9999")), ERR_NO_SUCH_VALUE);
  EXPECT_EQ(s->remove_attribute(*bob, "Title"), ERR_NO_SUCH_ATTRIBUTE);
  EXPECT_EQ(s->clear_attribute(*bob, "Title"), 0);
  EXPECT_EQ(s->remove_attribute(*bob, "Telephone Number"), 0);
  EXPECT_TRUE(s->find_with_attribute("Telephone Number")->empty());

  // All values come grouped by attribute.
  std::vector<std::string> attrs;
  for (const auto& v : s->values(*bob).value())
    if (attrs.empty() || attrs.back() != v.attr) attrs.push_back(v.attr);
  std::set<std::string> distinct(attrs.begin(), attrs.end());
  EXPECT_EQ(distinct.size(), attrs.size());

  // Removal: leaves only, and not [Root] or a server holding replicas.
  EXPECT_EQ(s->remove_entry(*sales), ERR_ENTRY_IS_NOT_LEAF);
  EXPECT_EQ(s->remove_entry(s->root_id()), ERR_INVALID_REQUEST);
  EXPECT_EQ(s->remove_entry(find(*s, "CN=VORLA_SRV1.O=Example")), ERR_CRUCIAL_REPLICA);
  EXPECT_EQ(s->remove_entry(*bob), 0);
  EXPECT_EQ(s->values(*bob).status(), ERR_NO_SUCH_ENTRY);
  EXPECT_TRUE(s->find_by_value("Surname", Value::text(SYN_CI_STRING, "Smith"))->empty());
  EXPECT_EQ(s->remove_entry(*sales), 0);
  EXPECT_EQ(s->remove_entry(*sales), ERR_NO_SUCH_ENTRY);
}

TEST(EngineStore, ListingLookupAndRenaming) {
  auto s = open_store(":memory:");
  ASSERT_TRUE(s);
  const EntryId org = find(*s, "O=Example");
  auto ou = s->add_entry(org, rdn("OU=Staff"), "Organizational Unit", {});
  ASSERT_TRUE(ou.ok());
  for (int i = 0; i < 25; ++i)
    ASSERT_TRUE(s->add_entry(*ou, rdn("CN=u" + std::to_string(i)), "User",
                             {{"Surname", Value::text(SYN_CI_STRING, "S")}})
                    .ok());
  EXPECT_EQ(s->child_count(*ou).value(), 25u);
  std::vector<EntryId> seen;
  EntryId after = kNoEntry;
  for (size_t page : {10u, 10u, 5u}) {
    auto part = s->children(*ou, after, 10);
    ASSERT_TRUE(part.ok());
    ASSERT_EQ(part->size(), page);
    for (const Entry& e : *part) seen.push_back(e.id);
    after = part->back().id;
  }
  EXPECT_TRUE(s->children(*ou, after, 10)->empty());
  EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
  EXPECT_EQ(std::set<EntryId>(seen.begin(), seen.end()).size(), 25u);

  // Typeless names guess O and CN; a single sibling with the same values
  // under its real types is still found.
  auto us = s->add_entry(s->root_id(), rdn("C=US"), "Country", {});
  ASSERT_TRUE(us.ok());
  auto acme = s->add_entry(*us, rdn("O=Acme"), "Organization", {});
  ASSERT_TRUE(acme.ok());
  EXPECT_EQ(find(*s, "Acme.US"), *acme);
  EXPECT_EQ(find(*s, "O=Acme.O=US"), -1);  // typed names are taken as written
  EXPECT_EQ(find(*s, "u7.Staff.Example"), find(*s, "CN=u7.OU=Staff.O=Example"));

  // Rename and move.
  const EntryId u1 = find(*s, "CN=u1.OU=Staff.O=Example");
  ASSERT_EQ(s->move_entry(u1, *ou, rdn("CN=Robert")), 0);
  EXPECT_EQ(name_of(*s, u1), "CN=Robert.OU=Staff.O=Example");
  EXPECT_EQ(texts(*s, u1, "CN"), (std::set<std::string>{"u1", "Robert"}));
  EXPECT_EQ(s->move_entry(u1, *ou, rdn("CN=u2")), ERR_ENTRY_ALREADY_EXISTS);
  EXPECT_EQ(name_of(*s, u1), "CN=Robert.OU=Staff.O=Example");
  ASSERT_EQ(s->move_entry(u1, org, rdn("CN=Robert")), 0);
  EXPECT_EQ(find(*s, "CN=Robert.O=Example"), u1);
  EXPECT_EQ(s->move_entry(*ou, find(*s, "CN=u3.OU=Staff.O=Example"), rdn("OU=Staff")), ERR_INVALID_REQUEST);
  EXPECT_EQ(s->move_entry(*ou, *ou, rdn("OU=Staff")), ERR_INVALID_REQUEST);
}

TEST(EngineStore, SchemaChangesPersistAndAreGuarded) {
  TempDir dir;
  const std::string path = dir / "schema.db";
  {
    auto s = open_store(path);
    ASSERT_TRUE(s);
    AttrDef badge{0, "Badge Number", SYN_INTEGER, DS_SINGLE_VALUED_ATTR, 0, 0, ""};
    ASSERT_EQ(s->define_attribute(badge), 0);
    EXPECT_EQ(s->define_attribute(badge), ERR_ATTRIBUTE_ALREADY_EXISTS);
    ClassDef contractor;
    contractor.name = "Contractor";
    contractor.flags = DS_EFFECTIVE_CLASS;
    contractor.super_classes = {"User"};
    contractor.optional = {"Badge Number"};
    ASSERT_EQ(s->define_class(contractor), 0);
    ASSERT_EQ(s->add_optional_attribute("Group", "badge number"), 0);
    EXPECT_EQ(s->add_optional_attribute("Group", "Badge Number"), ERR_DUPLICATE_OPTIONAL);
    EXPECT_EQ(s->add_optional_attribute("Wizard", "CN"), ERR_NO_SUCH_CLASS);
    auto c = s->add_entry(find(*s, "O=Example"), rdn("CN=Carl"), "Contractor",
                          {{"Surname", Value::text(SYN_CI_STRING, "C")},
                           {"Badge Number", Value::integer(SYN_INTEGER, 7)}});
    ASSERT_TRUE(c.ok()) << c.status();
  }
  auto s = open_store(path);
  ASSERT_TRUE(s);
  auto schema = s->schema();
  ASSERT_TRUE(schema.ok());
  ASSERT_NE((*schema)->attribute("Badge Number"), nullptr);
  EXPECT_TRUE((*schema)->allows("Contractor", "Badge Number"));
  EXPECT_TRUE((*schema)->allows("Contractor", "Surname"));
  EXPECT_TRUE((*schema)->allows("Group", "Badge Number"));
  const EntryId carl = find(*s, "CN=Carl.O=Example");
  ASSERT_GT(carl, 0);
  EXPECT_EQ(texts(*s, carl, "Object Class").count("Contractor"), 1u);
  EXPECT_EQ(s->values(carl, "Badge Number")->at(0).value.nums[0], 7u);

  // A second connection sees definitions made by the first.
  auto other = open_store(path);
  ASSERT_TRUE(other);
  ASSERT_EQ(s->define_attribute(AttrDef{0, "Shoe Size", SYN_INTEGER, 0, 0, 0, ""}), 0);
  EXPECT_NE(other->schema().value()->attribute("shoe size"), nullptr);

  EXPECT_EQ(s->remove_attribute_def("CN"), ERR_SCHEMA_IS_NONREMOVABLE);
  EXPECT_EQ(s->remove_class_def("User"), ERR_SCHEMA_IS_NONREMOVABLE);
  EXPECT_EQ(s->remove_attribute_def("Badge Number"), ERR_SCHEMA_IS_IN_USE);
  EXPECT_EQ(s->remove_class_def("Contractor"), ERR_SCHEMA_IS_IN_USE);
  ASSERT_EQ(s->remove_entry(carl), 0);
  EXPECT_EQ(s->remove_class_def("Contractor"), 0);
  EXPECT_EQ(s->remove_class_def("Contractor"), ERR_NO_SUCH_CLASS);
  EXPECT_EQ(s->remove_attribute_def("Badge Number"), ERR_SCHEMA_IS_IN_USE);  // still optional in Group
  EXPECT_EQ(s->remove_attribute_def("Shoe Size"), 0);
  EXPECT_EQ(other->schema().value()->attribute("Shoe Size"), nullptr);
}

TEST(EngineStore, ReplicaRingsHaveOneMaster) {
  auto s = open_store(":memory:");
  ASSERT_TRUE(s);
  const EntryId org = find(*s, "O=Example");
  const EntryId srv1 = find(*s, "CN=VORLA_SRV1.O=Example");
  auto east = s->add_entry(org, rdn("OU=East"), "Organizational Unit", {});
  auto srv2 = s->add_entry(org, rdn("CN=SRV2"), "NCP Server", {});
  ASSERT_TRUE(east.ok() && srv2.ok());
  auto user = s->add_entry(*east, rdn("CN=Eve"), "User", {{"Surname", Value::text(SYN_CI_STRING, "E")}});
  ASSERT_TRUE(user.ok());

  EXPECT_EQ(s->partition_of(*user).value(), s->root_id());
  ASSERT_EQ(s->add_partition(*east), 0);
  EXPECT_EQ(s->add_partition(*east), ERR_PARTITION_ALREADY_EXISTS);
  EXPECT_TRUE(s->entry(*east)->flags & DS_PARTITION_ROOT);
  EXPECT_EQ(s->partition_of(*user).value(), *east);
  EXPECT_EQ(s->partition_of(org).value(), s->root_id());

  EXPECT_EQ(s->add_replica(*east, srv1, RT_MASTER).value(), 1u);
  EXPECT_EQ(s->add_replica(*east, *srv2, RT_MASTER).status(), ERR_ILLEGAL_REPLICA_TYPE);
  EXPECT_EQ(s->add_replica(*east, *srv2, 7).status(), ERR_ILLEGAL_REPLICA_TYPE);
  EXPECT_EQ(s->add_replica(*east, *srv2, RT_SECONDARY).value(), 2u);
  EXPECT_EQ(s->add_replica(*east, *srv2, RT_READONLY).status(), ERR_REPLICA_ALREADY_EXISTS);
  EXPECT_EQ(s->add_replica(*user, *srv2, RT_READONLY).status(), ERR_NO_SUCH_PARTITION);

  ASSERT_EQ(s->set_replica_type(*east, *srv2, RT_MASTER), 0);
  auto ring = s->replicas(*east).value();
  ASSERT_EQ(ring.size(), 2u);
  EXPECT_EQ(ring[0].server, srv1);
  EXPECT_EQ(ring[0].type, uint32_t{RT_SECONDARY});
  EXPECT_EQ(ring[1].type, uint32_t{RT_MASTER});
  EXPECT_EQ(s->set_replica_type(*east, *srv2, RT_READONLY), ERR_CRUCIAL_REPLICA);
  EXPECT_EQ(s->remove_replica(*east, *srv2), ERR_CRUCIAL_REPLICA);
  EXPECT_EQ(s->remove_replica(*east, srv1), 0);
  EXPECT_EQ(s->remove_replica(*east, srv1), ERR_REPLICA_NOT_ON);
  EXPECT_EQ(s->replicas_on(*srv2)->size(), 1u);

  EXPECT_EQ(s->remove_entry(*east), ERR_ENTRY_IS_NOT_LEAF);
  ASSERT_EQ(s->remove_partition(*east), 0);
  EXPECT_EQ(s->remove_partition(*east), ERR_NO_SUCH_PARTITION);
  EXPECT_FALSE(s->entry(*east)->flags & DS_PARTITION_ROOT);
  EXPECT_TRUE(s->replicas_on(*srv2)->empty());
}

TEST(EngineStore, FileStoreIsPrivateAndReopensTheSameTree) {
  TempDir dir;
  const std::string path = dir / "nested/deeper/tree.db";
  {
    SeedConfig cfg;
    cfg.tree = "FIRST";
    auto s = open_store(path, cfg);
    ASSERT_TRUE(s);
    EXPECT_EQ(file_mode(path), 0600u);
    EXPECT_EQ(pragma(*s, "PRAGMA journal_mode"), "wal");
    EXPECT_EQ(pragma(*s, "PRAGMA foreign_keys"), "1");
    ASSERT_TRUE(s->add_entry(find(*s, "O=Example"), rdn("OU=Kept"), "Organizational Unit", {}).ok());
    if (std::filesystem::exists(path + "-wal")) {
      EXPECT_EQ(file_mode(path + "-wal"), 0600u);
    }
  }
  SeedConfig other;
  other.tree = "SECOND";
  other.organization = "Other";
  auto s = open_store(path, other);
  ASSERT_TRUE(s);
  EXPECT_EQ(s->tree_name().value(), "FIRST");
  EXPECT_GT(find(*s, "OU=Kept.O=Example"), 0);
  EXPECT_EQ(find(*s, "O=Other"), -1);
  EXPECT_EQ(s->child_count(s->root_id()).value(), 1u);
  EXPECT_EQ(Store::open(dir / "nested", SeedConfig{}).status(), ERR_DATA_STORE_FAILURE);  // a directory
}

TEST(EngineStore, CurrentStoreFollowsTheEnvironment) {
  TempDir dir;
  const std::string a = dir / "a.db", b = dir / "b.db";
  EntryId kept = -1;
  {
    ScopedEnv env("NWCLIENT_STORE", a.c_str());
    auto s = current_store();
    ASSERT_TRUE(s.ok());
    EXPECT_EQ((*s)->path(), a);
    kept = (*s)->add_entry(find(**s, "O=Example"), rdn("OU=OnlyInA"), "Organizational Unit", {}).value();
  }
  {
    ScopedEnv env("NWCLIENT_STORE", b.c_str());
    auto s = current_store();
    ASSERT_TRUE(s.ok());
    EXPECT_EQ((*s)->path(), b);
    EXPECT_EQ(find(**s, "OU=OnlyInA.O=Example"), -1);
  }
  {
    ScopedEnv env("NWCLIENT_STORE", ":memory:");
    auto s = current_store();
    ASSERT_TRUE(s.ok());
    auto mine = (*s)->add_entry(find(**s, "O=Example"), rdn("OU=EngineStoreProbe"), "Organizational Unit", {});
    ASSERT_TRUE(mine.ok());
    {
      ScopedEnv to_a("NWCLIENT_STORE", a.c_str());
      auto sa = current_store();
      ASSERT_TRUE(sa.ok());
      EXPECT_EQ(find(**sa, "OU=OnlyInA.O=Example"), kept);
    }
    auto again = current_store();
    ASSERT_TRUE(again.ok());
    EXPECT_EQ(*again, *s);  // the private tree outlives the switch
    EXPECT_EQ(find(**again, "OU=EngineStoreProbe.O=Example"), *mine);
    EXPECT_EQ((*again)->remove_entry(*mine), 0);
  }
  {
    ScopedEnv store("NWCLIENT_STORE", nullptr);
    ScopedEnv xdg("XDG_DATA_HOME", (dir / "xdg").c_str());
    ScopedEnv org("NWCLIENT_ORGANIZATION", "Globex");
    ScopedEnv tree("NWCLIENT_TREE", "GLOBEX_TREE");
    ScopedEnv pw("NWCLIENT_ADMIN_PASSWORD", "pw");
    EXPECT_EQ(store_path_from_environment(), dir / "xdg/nwclient/tree.db");
    auto s = current_store();
    ASSERT_TRUE(s.ok());
    EXPECT_EQ(file_mode(dir / "xdg/nwclient/tree.db"), 0600u);
    EXPECT_EQ((*s)->tree_name().value(), "GLOBEX_TREE");
    const EntryId admin = find(**s, "CN=Admin.O=Globex");
    ASSERT_GT(admin, 0);
    EXPECT_EQ(check_password(admin, "pw"), 0);
    EXPECT_EQ(check_password(admin, "wrong"), ERR_FAILED_AUTHENTICATION);
  }
  {
    ScopedEnv tree("NWCLIENT_TREE", std::string(40, 'T').c_str());
    ScopedEnv org("NWCLIENT_ORGANIZATION", "Bad=Name");
    ScopedEnv srv("NWCLIENT_SERVER", std::string(47, 'S').c_str());
    ScopedEnv pw("NWCLIENT_ADMIN_PASSWORD", nullptr);
    const SeedConfig cfg = SeedConfig::from_environment();
    EXPECT_EQ(cfg.tree, "VORLA_TREE");
    EXPECT_EQ(cfg.organization, "Bad=Name");  // escaped in the name, fine as a value
    EXPECT_EQ(cfg.server, "VORLA_SRV1");
    EXPECT_FALSE(cfg.has_admin_password);
  }
  {
    ScopedEnv store("NWCLIENT_STORE", nullptr);
    ScopedEnv xdg("XDG_DATA_HOME", nullptr);
    ScopedEnv home("HOME", (dir / "home").c_str());
    EXPECT_EQ(store_path_from_environment(), dir / "home/.local/share/nwclient/tree.db");
  }
}

namespace {

// Adds Organizational Roles "<prefix><i>" below O=Example, one transaction
// each, writing i to fd after each commit.  Runs in a child process.
[[noreturn]] void insert_forever(const std::string& path, const std::string& prefix, int count, int fd) {
  auto s = Store::open(path, SeedConfig{});
  if (!s) _exit(2);
  const EntryId org = find(**s, "O=Example");
  for (int i = 0; i < count; ++i) {
    auto id = (*s)->add_entry(org, rdn("CN=" + prefix + std::to_string(i)), "Organizational Role", {});
    if (!id) _exit(3);
    if (fd >= 0 && write(fd, &i, sizeof i) != sizeof i) _exit(4);
  }
  _exit(0);
}

}  // namespace

TEST(EngineStore, GenerationMovesWithEveryWriteFromAnyProcess) {
  TempDir dir;
  const std::string path = dir / "gen.db";
  auto s = open_store(path);
  ASSERT_TRUE(s);
  const uint64_t g0 = s->generation();
  EXPECT_EQ(s->generation(), g0);  // reading changes nothing
  const EntryId org = find(*s, "O=Example");
  ASSERT_TRUE(s->add_entry(org, rdn("CN=g1"), "Organizational Role", {}));
  const uint64_t g1 = s->generation();
  EXPECT_NE(g1, g0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) insert_forever(path, "g", 1, -1);
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_NE(s->generation(), g1);
}

TEST(EngineStore, KilledWriterLosesNoCommittedChange) {
  TempDir dir;
  const std::string path = dir / "killed.db";
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    close(fds[0]);
    insert_forever(path, "k", 1000000, fds[1]);
  }
  close(fds[1]);
  int last = -1, got = 0;
  while (got < 300 && read(fds[0], &last, sizeof last) == sizeof last) ++got;
  kill(child, SIGKILL);
  int status = 0;
  waitpid(child, &status, 0);
  int more;
  while (read(fds[0], &more, sizeof more) == sizeof more) last = more;
  close(fds[0]);
  ASSERT_TRUE(WIFSIGNALED(status)) << "the writer ended before it was killed";
  ASSERT_GE(last, 299);

  auto s = open_store(path);
  ASSERT_TRUE(s);
  EXPECT_EQ(pragma(*s, "PRAGMA integrity_check"), "ok");
  EXPECT_EQ(pragma(*s, "PRAGMA foreign_key_check"), "");
  const EntryId org = find(*s, "O=Example");
  for (int i = 0; i <= last; ++i)
    ASSERT_TRUE(s->child(org, rdn("CN=k" + std::to_string(i))).ok()) << "lost k" << i;
  // Every entry that made it is whole: its naming value and class lineage.
  const EntryId k0 = find(*s, "CN=k0.O=Example");
  EXPECT_EQ(texts(*s, k0, "Object Class"), (std::set<std::string>{"Organizational Role", "Top"}));
}

TEST(EngineStore, ConcurrentWritersShareOneNewStore) {
  TempDir dir;
  const std::string path = dir / "shared.db";
  constexpr int kEach = 150;
  pid_t kids[2];
  for (int k = 0; k < 2; ++k) {
    kids[k] = fork();
    ASSERT_GE(kids[k], 0);
    if (kids[k] == 0) insert_forever(path, "w" + std::to_string(k) + "-", kEach, -1);
  }
  for (pid_t kid : kids) {
    int status = 0;
    ASSERT_EQ(waitpid(kid, &status, 0), kid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
  }
  auto s = open_store(path);
  ASSERT_TRUE(s);
  EXPECT_EQ(s->child_count(s->root_id()).value(), 1u);  // seeded once
  const EntryId org = find(*s, "O=Example");
  EXPECT_EQ(s->child_count(org).value(), 2u + 2 * kEach);
  for (int k = 0; k < 2; ++k)
    for (int i = 0; i < kEach; ++i)
      ASSERT_TRUE(s->child(org, rdn("CN=w" + std::to_string(k) + "-" + std::to_string(i))).ok());
  EXPECT_EQ(s->replicas(s->root_id())->size(), 1u);
}
