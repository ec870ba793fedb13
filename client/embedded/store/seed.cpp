// Seeding a new store: base schema, [Root], the organization, its Admin,
// the NCP Server with the master replica of the root partition, default
// rights and the Admin's first password.
#include "store/sql.h"
#include "store/store.h"

namespace nwc {
namespace {

constexpr uint32_t kNetAddressTcp = 9;  // NT_TCP: port (2 bytes), IPv4 address (4 bytes)
constexpr int kFormatVersion = 1;

Expected<Rdn> naming_rdn(std::string_view type, std::string_view value) {
  Rdn r{{Ava{std::string(type), std::string(value), false}}};
  // Through the parser, so that the configured names obey the name limits.
  return parse_rdn(format_rdn(r));
}

}  // namespace

Status Store::seed(const SeedConfig& cfg) {
  if (cfg.tree.empty() || count_chars(cfg.tree) > MAX_TREE_NAME_CHARS) return ERR_INVALID_DS_NAME;
  auto org_rdn = naming_rdn("O", cfg.organization);
  auto admin_rdn = naming_rdn("CN", "Admin");
  auto server_rdn = naming_rdn("CN", cfg.server);
  if (!org_rdn || !admin_rdn || !server_rdn) return ERR_INVALID_OBJECT_NAME;

  for (const AttrDef& a : base_attributes())
    if (Status s = insert_attr_def(*this, a)) return s;
  for (const ClassDef& c : base_classes())
    if (Status s = insert_class_def(*this, c)) return s;
  if (Status s = set_meta("format_version", std::to_string(kFormatVersion))) return s;
  if (Status s = set_meta("schema_version", "1")) return s;
  if (Status s = set_meta("tree_name", cfg.tree)) return s;
  if (Status s = set_meta("created", std::to_string(now_seconds()))) return s;

  // [Root]: no name of its own; the root of the first partition.
  {
    const int64_t now = now_seconds();
    StoreStmt q(*this,
                "INSERT INTO entries(parent, rdn, rdn_key, rdn_value_key, class, class_key, flags, ctime, mtime) "
                "VALUES(NULL, '', '', '', ?, ?, ?, ?, ?)");
    q.bind(1, "Tree Root").bind(2, fold_case("Tree Root"))
        .bind(3, int64_t{DS_PARTITION_ROOT | DS_CONTAINER_ENTRY}).bind(4, now).bind(5, now);
    if (Status s = q.run()) return s;
    root_ = sqlite3_last_insert_rowid(db_);
    StoreStmt p(*this, "UPDATE entries SET path = ? WHERE id = ?");
    if (Status s = p.bind_blob(1, path_step(root_)).bind(2, root_).run()) return s;
  }
  for (const char* cls : {"Tree Root", "Top"})
    if (Status s = add_value(root_, "Object Class", Value::text(SYN_CLASS_NAME, cls))) return s;

  auto org = add_entry(root_, *org_rdn, "Organization", {});
  if (!org) return org.status();
  auto admin = add_entry(*org, *admin_rdn, "User", {{"Surname", Value::text(SYN_CI_STRING, "Admin")}});
  if (!admin) return admin.status();
  const std::string address{'\x02', '\x0C', '\x7F', '\x00', '\x00', '\x01'};  // 127.0.0.1:524
  auto server = add_entry(*org, *server_rdn, "NCP Server",
                          {{"Network Address", Value::net_address(kNetAddressTcp, address)},
                           {"Version", Value::text(SYN_CI_STRING, "nwclient embedded directory 1.0")}});
  if (!server) return server.status();

  // Default rights: everyone may browse the tree, Admin supervises it.
  auto admin_dn = dn_of(*admin);
  if (!admin_dn) return admin_dn.status();
  if (Status s = add_value(root_, "ACL", Value::acl("[Entry Rights]", "[Public]", DS_ENTRY_BROWSE))) return s;
  if (Status s = add_value(root_, "ACL", Value::acl("[Entry Rights]", format_dn(*admin_dn), DS_ENTRY_SUPERVISOR)))
    return s;

  {
    StoreStmt q(*this, "INSERT INTO partitions(root, state, ctime) VALUES(?, 0, ?)");
    if (Status s = q.bind(1, root_).bind(2, now_seconds()).run()) return s;
  }
  auto replica = add_replica(root_, *server, RT_MASTER);
  if (!replica) return replica.status();

  if (cfg.has_admin_password)
    if (Status s = set_password(*admin, cfg.admin_password)) return s;
  return 0;
}

}  // namespace nwc
