// The store: one directory tree kept in an SQLite database.
//
// A store holds the tree's entries, their attribute values, the schema
// definitions, partitions and replicas, password hashes and a few meta
// values (tree name, schema version).  A new store is created and seeded
// (base schema, [Root], one Organization, its Admin user, one NCP Server
// holding the master replica of the root partition, default rights) from
// the environment:
//   NWCLIENT_STORE          database file; ":memory:" is a private tree that
//                           lives as long as the process; unset:
//                           $XDG_DATA_HOME/nwclient/tree.db, else
//                           ~/.local/share/nwclient/tree.db
//   NWCLIENT_TREE           tree name            (default VORLA_TREE)
//   NWCLIENT_ORGANIZATION   organization name    (default Example)
//   NWCLIENT_SERVER         server name          (default VORLA_SRV1)
//   NWCLIENT_ADMIN_PASSWORD the Admin's first password; unset: Admin has no
//                           password and cannot log in until one is set
// A tree, organization or server name that is too long or cannot be an
// entry name is ignored (the default applies).  These are read only when a
// store is created; an existing store keeps its own names.
//
// Invariants:
//   - The database file is created mode 0600; the database runs in WAL mode
//     with foreign keys on and a 10 s busy timeout, so several processes
//     can share it and a killed process loses no committed change.  The
//     log is written through the file layer of wal_writer.h: a commit's
//     pages in one write rather than two per page.
//   - Every change is one transaction: each mutating member runs inside a
//     Transaction of its own, or inside the caller's when one is open
//     (nested ones become savepoints).  A failed member changes nothing,
//     but for add_entry inside a caller's transaction, which the caller
//     rolls back when the add fails (Transaction::kPart).
//   - Entry names are unique per parent by rdn key (names.h rdn_key);
//     finding an entry by name, listing a container and finding entries by
//     an attribute value go through indexes (logarithmic in the tree).
//   - Every entry carries its ancestry as a path key: its parent's path key
//     followed by its own id (path_step), [Root]'s being its id alone.  So
//     the entries of a subtree are exactly those whose path key begins with
//     the subtree root's, one range of the path index; add_entry and
//     move_entry keep the keys of the entry and of everything below it.
//   - Every entry carries the values of its RDN's naming attributes and the
//     names of its class lineage as Object Class values.
//   - Attribute values are normalised (names.h canonical names inside) and
//     checked against the schema; equal values (schema.h equality_key) are
//     never stored twice on one attribute; a single-valued attribute never
//     has two values.
//   - The store keeps the data consistent, not the directory rules:
//     containment, mandatory attributes, the attributes a class allows,
//     read-only attributes and rights are checked by the caller (with
//     Schema) before it writes.
//   - Password hashes (yescrypt) live in their own table and never appear
//     among the attribute values.
//   - Each replica ring has at most one master.
//   - The process-wide handle (current_store) follows NWCLIENT_STORE: it
//     is reopened when the variable changes between calls and after fork().
//   - Prepared statements are kept per connection and reused.  The
//     schema's version is read again only when another connection has
//     committed since (PRAGMA data_version, read once per transaction: an
//     open transaction does not see later commits), after this connection
//     changed the schema, or after a rollback.
//   - find() keeps the names it resolved (and their ancestors) with their
//     rows, and dn_of() the names of the containers it met (the entries it
//     went up through, and one asked for that is a container), and
//     name_text_of() those names written out.  Each cache
//     holds at most about kMaxCachedNames names, the recently used ones
//     (recent.h).  The caches are dropped when another process commits
//     anything (PRAGMA data_version), when this connection removes or moves
//     an entry or changes its flags, and when any transaction or savepoint
//     rolls back; a name resolved only through inferred types is not kept,
//     since a later sibling can change what it means.
//
// Status codes: ERR_NO_SUCH_ENTRY, ERR_ENTRY_ALREADY_EXISTS,
// ERR_NO_SUCH_ATTRIBUTE, ERR_NO_SUCH_CLASS, ERR_NO_SUCH_VALUE,
// ERR_DUPLICATE_VALUE, ERR_CANT_HAVE_MULTIPLE_VALUES, ERR_SYNTAX_VIOLATION,
// ERR_ENTRY_IS_NOT_LEAF, ERR_FAILED_AUTHENTICATION, the schema and replica
// codes named at each member, ERR_DS_LOCKED when the database stays busy,
// ERR_DATA_STORE_FAILURE for any other database failure.
#ifndef NWC_STORE_H
#define NWC_STORE_H

#include <cstdint>
#include <limits>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "names/expected.h"
#include "names/names.h"
#include "schema/schema.h"
#include "store/recent.h"

struct sqlite3;
struct sqlite3_stmt;

namespace nwc {

using EntryId = int64_t;
constexpr EntryId kNoEntry = 0;

struct Entry {
  EntryId id = kNoEntry;
  EntryId parent = kNoEntry;  // kNoEntry for [Root]
  std::string rdn;            // as written, "CN=Admin"; empty for [Root]
  std::string cls;            // base class
  uint32_t flags = 0;         // DS_PARTITION_ROOT | DS_CONTAINER_ENTRY | DS_ALIAS_ENTRY
  int64_t ctime = 0;          // seconds since 1970
  int64_t mtime = 0;
};

// What finding an entry by name gives besides its id (and what the names
// cache keeps of it): none of these change while the entry keeps its name,
// but for flags, whose change empties the cache.
struct EntryRow {
  EntryId id = kNoEntry;
  EntryId parent = kNoEntry;  // kNoEntry for [Root]
  std::string rdn;
  std::string cls;
  uint32_t flags = 0;
  std::string path;  // the path key (ancestry.cpp); empty when not read
};

struct StoredValue {
  int64_t id = 0;  // the value's seq: unique within its entry, increases with insertion
  int64_t attr_id = 0;
  std::string attr;  // definition spelling
  Value value;
  int64_t mtime = 0;
};

// A stored value that carries a name (see Store::values_naming).
struct NameRef {
  int64_t seq = 0;  // StoredValue::id
  EntryId entry = kNoEntry;
  int64_t attr_id = 0;
  Value value;
};

// True for the syntaxes whose values carry a distinguished name, and the
// index of that name among the value's texts.
bool names_an_entry(uint32_t syntax);
size_t name_field(uint32_t syntax);

struct NewValue {
  std::string attr;
  Value value;
};

struct Replica {
  EntryId partition = kNoEntry;  // the partition's root entry
  EntryId server = kNoEntry;
  uint32_t type = RT_MASTER;
  uint32_t number = 0;
  uint32_t state = 0;  // 0: on
};

struct SeedConfig {
  std::string tree = "VORLA_TREE";
  std::string organization = "Example";
  std::string server = "VORLA_SRV1";
  bool has_admin_password = false;
  std::string admin_password;
  static SeedConfig from_environment();
};

class Transaction;
class StoreStmt;

class Store {
 public:
  // Opens the store at path (":memory:" for a private one), creating the
  // file and seeding the tree with `seed` when it is new.
  static Expected<std::unique_ptr<Store>> open(const std::string& path, const SeedConfig& seed);
  ~Store();
  Store(const Store&) = delete;
  Store& operator=(const Store&) = delete;

  const std::string& path() const { return path_; }
  sqlite3* db() { return db_; }

  // ---- meta -------------------------------------------------------------------
  Expected<std::string> tree_name();
  Expected<std::string> meta(std::string_view key);  // ERR_NO_SUCH_VALUE if unset
  Status set_meta(std::string_view key, std::string_view value);

  // A number that changes whenever anything is written to the store, by this
  // process or another; two equal readings mean nothing changed in between.
  // Caches kept above the store (rights, resolved names) compare it to know
  // when they are stale.  Cheap: no disk access.
  uint64_t generation();
  // A number that changes whenever another process writes to the store, or
  // this one writes what effective rights are worked out from: values of
  // ACL, Security Equals or Group Membership, the removal or move of an
  // entry, the schema, or a rollback.  The rights cache compares it.
  uint64_t access_generation();

  // ---- schema -----------------------------------------------------------------
  // The tree's current definitions (reloaded when another process or this
  // one changed them).
  Expected<std::shared_ptr<const Schema>> schema();
  Status define_attribute(const AttrDef& def);    // Schema::check_new_attribute codes
  Status define_class(const ClassDef& def);       // Schema::check_new_class codes
  // ERR_NO_SUCH_CLASS, ERR_NO_SUCH_ATTRIBUTE, ERR_DUPLICATE_OPTIONAL
  Status add_optional_attribute(std::string_view cls, std::string_view attr);
  // ERR_SCHEMA_IS_NONREMOVABLE, ERR_SCHEMA_IS_IN_USE
  Status remove_attribute_def(std::string_view name);
  Status remove_class_def(std::string_view name);

  // ---- entries ----------------------------------------------------------------
  EntryId root_id() const { return root_; }
  // Walks the name from [Root]; an RDN whose types were inferred also
  // matches a single sibling with the same values under other types.
  Expected<EntryId> find(const Dn& dn);
  // The same with the entry's row, taken from the names cache when kept.
  Expected<EntryRow> locate(const Dn& dn);
  Expected<EntryId> child(EntryId parent, const Rdn& rdn);
  Expected<Entry> entry(EntryId id);
  Expected<Dn> dn_of(EntryId id);
  // A container's full name as format_dn writes it, kept beside its Dn.
  Expected<std::string> name_text_of(EntryId container);
  // Children with id > after, by id, at most limit of them.
  Expected<std::vector<Entry>> children(EntryId parent, EntryId after = kNoEntry,
                                        size_t limit = std::numeric_limits<size_t>::max());
  // The same for the children whose base class has the folded name
  // `class_key`.
  Expected<std::vector<Entry>> children_of_class(EntryId parent, const std::string& class_key, EntryId after,
                                                 size_t limit);
  Expected<uint32_t> child_count(EntryId parent);
  // Adds an entry with its values in one transaction (inside the caller's,
  // without a savepoint: a caller whose add failed rolls its own back).
  // The RDN's values and the Object Class lineage are added when missing;
  // DS_CONTAINER_ENTRY is set for container classes.  ERR_NO_SUCH_ENTRY
  // (parent), ERR_ENTRY_ALREADY_EXISTS, ERR_NO_SUCH_CLASS, value codes.
  Expected<EntryId> add_entry(EntryId parent, const Rdn& rdn, std::string_view cls,
                              const std::vector<NewValue>& values, uint32_t flags = 0);
  // ERR_ENTRY_IS_NOT_LEAF, ERR_PARTITION_ROOT, ERR_CRUCIAL_REPLICA (a server
  // holding replicas), ERR_INVALID_REQUEST ([Root]).
  Status remove_entry(EntryId id);
  // New parent and/or RDN; the new RDN's values are added when missing.
  // ERR_ENTRY_ALREADY_EXISTS, ERR_INVALID_REQUEST (into itself or [Root]).
  Status move_entry(EntryId id, EntryId new_parent, const Rdn& new_rdn);
  Status set_entry_flags(EntryId id, uint32_t flags);
  Status touch(EntryId id);  // modification time = now

  // ---- values -----------------------------------------------------------------
  // Changing a value sets the entry's modification time.
  // All values, grouped by attribute (attributes in the order their first
  // value was stored) and by insertion within an attribute.
  Expected<std::vector<StoredValue>> values(EntryId id);
  // The same values undecoded: attribute id, syntax, the stored encoding
  // (schema.h encode_value), the equality key, row and modification time,
  // in the same order.
  struct EncodedValue {
    int64_t attr_id = 0;
    uint32_t syntax = 0;
    std::string data;
    std::string key;
    int64_t id = 0;  // the value's seq (StoredValue::id)
    int64_t mtime = 0;
  };
  Expected<std::vector<EncodedValue>> encoded_values(EntryId id);
  // The same for the attributes `attrs` (ids) only.
  Expected<std::vector<EncodedValue>> encoded_values(EntryId id, const std::vector<int64_t>& attrs);
  Expected<std::vector<StoredValue>> values(EntryId id, std::string_view attr);
  Status add_value(EntryId id, std::string_view attr, const Value& v);
  Status remove_value(EntryId id, std::string_view attr, const Value& v);  // ERR_NO_SUCH_VALUE
  Status remove_attribute(EntryId id, std::string_view attr);  // ERR_NO_SUCH_ATTRIBUTE if absent
  Status clear_attribute(EntryId id, std::string_view attr);   // absent is fine
  Expected<bool> has_value(EntryId id, std::string_view attr, const Value& v);
  // True when the entry has any value of the attribute.
  Expected<bool> has_attribute(EntryId id, std::string_view attr);
  // Entries holding a value equal to v / any value of the attribute.
  Expected<std::vector<EntryId>> find_by_value(std::string_view attr, const Value& v);
  Expected<std::vector<EntryId>> find_with_attribute(std::string_view attr);
  // Values (of any entry) whose name (names_an_entry) is `dn`, found through
  // the value index; with `subtree`, also those naming an entry below dn
  // (every value of those syntaxes is read).  By entry, each entry's values
  // in insertion order (per attribute unless `subtree`).
  Expected<std::vector<NameRef>> values_naming(const Dn& dn, bool subtree);

  // ---- ancestry and index ranges (ancestry.cpp, search_index.cpp) -----------
  // The path key of an entry, and the step one id adds to its parent's.
  Expected<std::string> path_of(EntryId id);
  static std::string path_step(EntryId id);
  // One row of the value index: an entry holding a value of the attribute
  // whose equality key is `key`, with the entry's row (parent, path key,
  // flags, class, rdn, times).
  struct KeyRow {
    std::string key;
    EntryId entry = kNoEntry;
    EntryId parent = kNoEntry;
    std::string path;
    uint32_t flags = 0;
    std::string cls;
    std::string rdn;
    int64_t ctime = 0;
    int64_t mtime = 0;
  };
  // The rows of attribute `attr_id` after (after_key, after_entry) in (key,
  // entry) order, up to `hi` (none: to the end; `hi_inclusive` says whether
  // a key equal to hi is in), at most limit of them.
  Expected<std::vector<KeyRow>> key_range(int64_t attr_id, const std::string& after_key,
                                          EntryId after_entry, const std::string* hi,
                                          bool hi_inclusive, size_t limit);
  // How many rows key_range from lo (inclusive) would give, counting up to
  // `cap` at most.
  Expected<size_t> count_key_range(int64_t attr_id, const std::string& lo, const std::string* hi,
                                   bool hi_inclusive, size_t cap);
  // Entries of the subtree whose root has path key `root_path` (the root
  // included), after path key `after` (empty: from the start) in path
  // order, at most limit of them; and their count up to `cap`.
  struct PathRow {
    EntryId id = kNoEntry;
    EntryId parent = kNoEntry;
    std::string path;
    uint32_t flags = 0;
    std::string cls;
  };
  Expected<PathRow> path_row(EntryId id);  // ERR_NO_SUCH_ENTRY
  Expected<std::vector<PathRow>> subtree_page(const std::string& root_path, const std::string& after,
                                              size_t limit);
  Expected<size_t> count_subtree(const std::string& root_path, size_t cap);
  // Equality keys of the entry's values of one attribute, in key order;
  // whether it holds one equal to `key`; whether it holds any.
  Expected<std::vector<std::string>> keys_of(EntryId id, int64_t attr_id);
  // The entry's values of one attribute as encoded_values gives them, in
  // key order, straight from the index: no check that the entry exists
  // (nothing when it has none or does not) and no reordering.
  Expected<std::vector<EncodedValue>> keyed_values(EntryId id, int64_t attr_id);
  Expected<bool> has_key(EntryId id, int64_t attr_id, const std::string& key);
  Expected<bool> has_attribute(EntryId id, int64_t attr_id);

  // The subordinates of `parent` that can have an RDN value beginning with
  // `prefix` (folded, without '.', '=', '+', '\\' or blanks): those whose
  // typeless rdn key begins with it, and those with a multi-part RDN where a
  // later part does.  A superset of the matches, by id.
  Expected<std::vector<EntryId>> children_by_value_prefix(EntryId parent, const std::string& prefix);

  // ---- passwords --------------------------------------------------------------
  Status set_password(EntryId id, std::string_view password);
  Status clear_password(EntryId id);
  Expected<bool> has_password(EntryId id);
  // 0 when the password matches; ERR_FAILED_AUTHENTICATION when it does
  // not or the entry has no password.
  Status check_password(EntryId id, std::string_view password);

  // ---- partitions and replicas ------------------------------------------------
  Expected<std::vector<EntryId>> partitions();
  Expected<EntryId> partition_of(EntryId id);  // nearest partition root at or above
  Status add_partition(EntryId root);          // ERR_PARTITION_ALREADY_EXISTS
  Status remove_partition(EntryId root);       // ERR_NO_SUCH_PARTITION
  Expected<std::vector<Replica>> replicas(EntryId partition);
  Expected<std::vector<Replica>> replicas_on(EntryId server);
  // Number = highest in the ring + 1.  ERR_REPLICA_ALREADY_EXISTS,
  // ERR_ILLEGAL_REPLICA_TYPE (a second master or an unknown type).
  Expected<uint32_t> add_replica(EntryId partition, EntryId server, uint32_t type);
  Status remove_replica(EntryId partition, EntryId server);  // ERR_REPLICA_NOT_ON, ERR_CRUCIAL_REPLICA (master)
  // Making a replica master turns the old master into a secondary.
  Status set_replica_type(EntryId partition, EntryId server, uint32_t type);

 private:
  Status delete_attribute(EntryId id, std::string_view attr, bool must_exist);
  Expected<std::vector<EncodedValue>> read_encoded(EntryId id, StoreStmt& q);
  friend class Transaction;
  friend class StoreStmt;
  Store() = default;
  Status init(const SeedConfig& seed);
  Status upgrade_layout();  // ancestry.cpp
  Status lay_out_values();  // values_layout.cpp
  Status drop_value_references();  // values_layout.cpp
  static constexpr int kBusyTimeoutMs = 10000;  // how long a statement waits for another connection's lock
  // The seq the next value added to entry `id` gets.
  Expected<int64_t> next_value_seq(EntryId id);
  Status move_paths(EntryId id, EntryId new_parent);
  Status seed(const SeedConfig& cfg);
  Status exec(const char* sql);
  struct Cached {
    sqlite3_stmt* st = nullptr;
    bool busy = false;
  };
  Cached* acquire(std::string_view sql);
  void release(Cached* c);
  void end_transaction();  // the outermost transaction ended
  void rolled_back();      // a transaction or savepoint rolled back
  uint64_t other_writes();  // PRAGMA data_version, sampled once per transaction
  void access_written() { ++access_writes_; }
  void note_value_write(const AttrDef& a);  // access_written() for the attributes rights read
  Expected<const AttrDef*> attr_def(const Schema& s, std::string_view name);
  Status insert_value(const Schema& s, EntryId id, const AttrDef& a, Value v, bool ignore_duplicate);
  Status ensure_entry(EntryId id);
  // The write-ahead log's copying back (store.cpp).
  static constexpr int kCopyBackFrames = 8192;
  static constexpr int kReaderCopyBackFrames = 4096;
  static int wal_written(void* self, sqlite3* db, const char* name, int frames);
  void copy_back();
  int wal_frames_ = 0;  // in the log after this connection's last commit; 0 once copying back was tried
  Expected<std::shared_ptr<const Schema>> load_schema();
  Status bump_schema_version();

  std::string path_;
  sqlite3* db_ = nullptr;
  EntryId root_ = kNoEntry;
  int tx_depth_ = 0;
  std::shared_ptr<const Schema> schema_;
  std::string schema_version_;
  bool schema_checked_ = false;  // schema_ is current while data_version stays schema_other_
  uint64_t schema_other_ = 0;
  bool other_sampled_ = false;   // in the open transaction
  uint64_t access_writes_ = 0;   // this connection's writes that rights depend on
  uint64_t other_ = 0;
  struct SqlHash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
  };
  // Every prepared form of one text (more than one while uses nest).
  std::unordered_map<std::string, std::vector<std::unique_ptr<Cached>>, SqlHash, std::equal_to<>> stmts_;
  static constexpr size_t kMaxCachedNames = 100000;
  struct NameCache {
    uint64_t other = 0;
    Recent<std::string, EntryRow> rows{kMaxCachedNames};  // dn_cache_key -> row
    Recent<EntryId, Dn> dns{kMaxCachedNames};             // containers' names, by id
    Recent<EntryId, std::string> texts{kMaxCachedNames};  // containers' names written out, by id
  } names_;
  void forget_names() {
    names_.rows.clear();
    names_.dns.clear();
    names_.texts.clear();
  }
  void check_names();  // drops the names when another process wrote
};

// A transaction on a store: BEGIN IMMEDIATE (writers) or BEGIN (readers)
// when none is open, a savepoint for a writer inside an open one (a reader
// there just joins it).  Rolled back on destruction unless committed.
// kPart is a writer whose caller undoes the whole of its own transaction
// when the part fails: inside an open transaction it joins it without a
// savepoint (a savepoint copies every page the part changes, which for an
// add is a tenth of its cost), alone it is a writer like kWrite.
class Transaction {
 public:
  enum Kind { kRead, kWrite, kPart };
  explicit Transaction(Store& store, Kind kind = kWrite);
  ~Transaction();
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;
  Status status() const { return status_; }  // of the begin
  Status commit();

 private:
  Store& store_;
  int level_ = 0;
  int64_t changes_ = 0;  // the connection's total changes at the start
  bool savepoint_ = false;  // nested and taken as a savepoint
  Status status_ = 0;
  bool done_ = false;
};

// The process-wide store selected by NWCLIENT_STORE (see the header
// comment); seeded from the environment when new.
Expected<Store*> current_store();
// The path current_store() would use now.
std::string store_path_from_environment();

// Password helpers on the current store.
Status set_password(EntryId entry, std::string_view password);
Status check_password(EntryId entry, std::string_view password);

}  // namespace nwc

#endif
