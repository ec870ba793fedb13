// The store's file layout: a store written while each value was a table row
// of its own (an id, and a unique index over entry, attribute and key) opens
// rewritten into the layout clustered by entry, with every value, the order
// of values and the value index intact; a store whose value table still
// names foreign keys opens without them, its values kept and still removed
// with their entry.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "names/names.h"
#include "store/store.h"

using namespace nwc;

namespace {

int exec(Store& st, const char* sql) { return sqlite3_exec(st.db(), sql, nullptr, nullptr, nullptr); }

std::string text_of(Store& st, const char* sql) {
  sqlite3_stmt* q = nullptr;
  std::string out;
  if (sqlite3_prepare_v2(st.db(), sql, -1, &q, nullptr) == SQLITE_OK)
    while (sqlite3_step(q) == SQLITE_ROW) {
      for (int c = 0; c < sqlite3_column_count(q); ++c) {
        const auto* b = static_cast<const char*>(sqlite3_column_blob(q, c));
        out.append(b ? b : "", static_cast<size_t>(sqlite3_column_bytes(q, c))).push_back('|');
      }
      out.push_back('\n');
    }
  sqlite3_finalize(q);
  return out;
}

// A store file of this process's own, none there yet (nor its log).
std::string fresh_store_path(const std::string& name) {
  const std::string path = (std::filesystem::temp_directory_path() / (name + std::to_string(getpid()) + ".db")).string();
  for (const char* ext : {"", "-wal", "-shm"}) std::filesystem::remove(path + ext);
  return path;
}

// An entry's values as read: attribute, encoding, time, in the order given.
using Read = std::vector<std::tuple<std::string, std::string, int64_t>>;
Read read_values(Store& st, EntryId id) {
  Read out;
  auto vals = st.values(id);
  EXPECT_TRUE(vals.ok());
  if (vals.ok())
    for (const StoredValue& v : *vals) out.emplace_back(v.attr, encode_value(v.value), v.mtime);
  return out;
}

constexpr const char* kEveryValue =
    "SELECT entry, attr, syntax, data, value_key, mtime FROM attr_values ORDER BY entry, attr, value_key";

// The older layout, its value ids handed out with the entries in reverse
// (so they follow neither the key nor the entry order) and in insertion
// order within each entry.
constexpr const char* kToRowLayout = R"SQL(
DROP TRIGGER entry_takes_its_values;
ALTER TABLE attr_values RENAME TO clustered;
DROP INDEX values_by_attr_key_entry;
CREATE TABLE attr_values(
  id INTEGER PRIMARY KEY,
  entry INTEGER NOT NULL REFERENCES entries(id) ON DELETE CASCADE,
  attr INTEGER NOT NULL REFERENCES attr_defs(id),
  syntax INTEGER NOT NULL,
  data BLOB NOT NULL,
  value_key BLOB NOT NULL,
  mtime INTEGER NOT NULL,
  UNIQUE(entry, attr, value_key));
CREATE INDEX values_by_attr_key_entry ON attr_values(attr, value_key, entry);
INSERT INTO attr_values(entry, attr, syntax, data, value_key, mtime)
  SELECT entry, attr, syntax, data, value_key, mtime FROM clustered ORDER BY entry DESC, seq;
DROP TABLE clustered;
)SQL";

TEST(StoreLayout, AStoreOfValueRowsOpensClusteredWithEveryValue) {
  const std::string path = fresh_store_path("layout-");
  std::string before;
  Read user_before;
  EntryId user = kNoEntry, ou = kNoEntry;
  {
    auto s = Store::open(path, SeedConfig{});
    ASSERT_TRUE(s.ok());
    Store& st = **s;
    auto org = st.find(parse_dn("O=Example").value());
    ASSERT_TRUE(org.ok());
    auto o = st.add_entry(*org, parse_rdn("OU=Old").value(), "Organizational Unit", {});
    ASSERT_TRUE(o.ok());
    ou = *o;
    // Values added out of key order, and attributes interleaved.
    auto u = st.add_entry(ou, parse_rdn("CN=Kept").value(), "User",
                          {{"Description", Value::text(SYN_CI_STRING, "zeta")},
                           {"Surname", Value::text(SYN_CI_STRING, "Kept")},
                           {"Description", Value::text(SYN_CI_STRING, "alpha")}});
    ASSERT_TRUE(u.ok());
    user = *u;
    ASSERT_EQ(st.add_value(user, "See Also", Value::text(SYN_DIST_NAME, "OU=Old.O=Example")), 0);
    ASSERT_EQ(st.add_value(user, "Description", Value::text(SYN_CI_STRING, "mid")), 0);
    before = text_of(st, kEveryValue);
    user_before = read_values(st, user);
    ASSERT_EQ(exec(st, kToRowLayout), SQLITE_OK) << sqlite3_errmsg(st.db());
    ASSERT_EQ(text_of(st, kEveryValue), before);
  }
  auto s = Store::open(path, SeedConfig{});
  ASSERT_TRUE(s.ok());
  Store& st = **s;
  EXPECT_NE(text_of(st, "SELECT sql FROM sqlite_master WHERE name = 'attr_values'").find("WITHOUT ROWID"),
            std::string::npos);
  EXPECT_EQ(text_of(st, "SELECT name FROM sqlite_master WHERE tbl_name = 'attr_values' ORDER BY name"),
            "attr_values|\nvalues_by_attr_key_entry|\n")
      << "the older table and its unique index are gone";
  EXPECT_EQ(text_of(st, kEveryValue), before);
  EXPECT_EQ(read_values(st, user), user_before);
  ASSERT_GE(user_before.size(), 5u);
  EXPECT_EQ(std::get<1>(user_before[1]), encode_value(Value::text(SYN_CI_STRING, "alpha")))
      << "Description's values in the order they were added";

  // Writes and lookups in the new layout: a value added now comes last, the
  // value index and the references to an entry answer, and deleting the
  // entry deletes its values.
  ASSERT_EQ(st.add_value(user, "Description", Value::text(SYN_CI_STRING, "first")), 0);
  auto desc = st.values(user, "Description");
  ASSERT_TRUE(desc.ok());
  ASSERT_EQ(desc->size(), 4u);
  EXPECT_EQ(desc->back().value.texts, std::vector<std::string>{"first"});
  auto found = st.find_by_value("Surname", Value::text(SYN_CI_STRING, "kept"));
  ASSERT_TRUE(found.ok());
  EXPECT_EQ(*found, std::vector<EntryId>{user});
  auto refs = st.values_naming(parse_dn("OU=Old.O=Example").value(), false);
  ASSERT_TRUE(refs.ok());
  ASSERT_EQ(refs->size(), 1u);
  EXPECT_EQ((*refs)[0].entry, user);
  ASSERT_EQ(st.remove_entry(user), 0);
  EXPECT_EQ(text_of(st, ("SELECT count(*) FROM attr_values WHERE entry = " + std::to_string(user)).c_str()), "0|\n");
  for (const char* ext : {"", "-wal", "-shm"}) std::filesystem::remove(path + ext);
}

// The value table as stores before this one defined it: with foreign keys.
constexpr const char* kWithReferences = R"SQL(
PRAGMA writable_schema=ON;
UPDATE sqlite_schema SET sql = replace(replace(sql,
  'entry INTEGER NOT NULL,', 'entry INTEGER NOT NULL REFERENCES entries(id) ON DELETE CASCADE,'),
  'attr INTEGER NOT NULL,', 'attr INTEGER NOT NULL REFERENCES attr_defs(id),')
  WHERE name = 'attr_values';
DROP TRIGGER entry_takes_its_values;
PRAGMA writable_schema=OFF;
)SQL";

TEST(StoreLayout, AValueTableWithForeignKeysOpensWithoutThemAndKeepsItsValues) {
  const std::string path = fresh_store_path("layout-fk-");
  std::string before;
  EntryId user = kNoEntry;
  {
    auto s = Store::open(path, SeedConfig{});
    ASSERT_TRUE(s.ok());
    Store& st = **s;
    auto org = st.find(parse_dn("O=Example").value());
    ASSERT_TRUE(org.ok());
    auto u = st.add_entry(*org, parse_rdn("CN=Kept").value(), "User", {{"Surname", Value::text(SYN_CI_STRING, "Kept")}});
    ASSERT_TRUE(u.ok());
    user = *u;
    const int version = std::stoi(text_of(st, "PRAGMA schema_version"));
    ASSERT_EQ(exec(st, kWithReferences), SQLITE_OK) << sqlite3_errmsg(st.db());
    ASSERT_EQ(exec(st, ("PRAGMA schema_version=" + std::to_string(version + 1)).c_str()), SQLITE_OK);
    ASSERT_NE(text_of(st, "SELECT sql FROM sqlite_schema WHERE name = 'attr_values'").find("REFERENCES"),
              std::string::npos);
    before = text_of(st, kEveryValue);
  }
  auto s = Store::open(path, SeedConfig{});
  ASSERT_TRUE(s.ok());
  Store& st = **s;
  EXPECT_EQ(text_of(st, "SELECT sql FROM sqlite_schema WHERE name = 'attr_values'").find("REFERENCES"),
            std::string::npos);
  EXPECT_EQ(text_of(st, "PRAGMA integrity_check"), "ok|\n");
  EXPECT_EQ(text_of(st, kEveryValue), before);
  ASSERT_EQ(st.add_value(user, "Description", Value::text(SYN_CI_STRING, "after")), 0);
  ASSERT_EQ(st.remove_entry(user), 0);
  EXPECT_EQ(text_of(st, ("SELECT count(*) FROM attr_values WHERE entry = " + std::to_string(user)).c_str()), "0|\n")
      << "an entry's values go with it";
  for (const char* ext : {"", "-wal", "-shm"}) std::filesystem::remove(path + ext);
}

}  // namespace
