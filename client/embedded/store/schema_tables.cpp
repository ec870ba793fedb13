// The store's schema tables: loading the definitions (kept until the
// schema's version moves), defining and removing attributes and classes.
// Every change bumps the schema version in the same transaction, so another
// connection reloads on its next look.
#include <cstdlib>
#include <map>

#include "store/sql.h"
#include "store/store.h"

namespace nwc {
Expected<std::shared_ptr<const Schema>> Store::load_schema() {
  std::vector<AttrDef> attrs;
  {
    StoreStmt q(*this, "SELECT id, name, syntax, flags, lower_bound, upper_bound, asn1 FROM attr_defs ORDER BY id");
    int rc;
    while ((rc = q.step()) == SQLITE_ROW) {
      AttrDef a;
      a.id = q.i64(0);
      a.name = q.text(1);
      a.syntax = static_cast<uint32_t>(q.i64(2));
      a.flags = static_cast<uint32_t>(q.i64(3));
      a.lower = static_cast<int32_t>(q.i64(4));
      a.upper = static_cast<int32_t>(q.i64(5));
      a.asn1 = q.blob(6);
      attrs.push_back(std::move(a));
    }
    if (rc != SQLITE_DONE) return fail(sql_status(rc));
  }
  std::vector<ClassDef> classes;
  std::map<int64_t, size_t> by_id;
  {
    StoreStmt q(*this, "SELECT id, name, flags, asn1 FROM class_defs ORDER BY id");
    int rc;
    while ((rc = q.step()) == SQLITE_ROW) {
      ClassDef c;
      c.id = q.i64(0);
      c.name = q.text(1);
      c.flags = static_cast<uint32_t>(q.i64(2));
      c.asn1 = q.blob(3);
      by_id[c.id] = classes.size();
      classes.push_back(std::move(c));
    }
    if (rc != SQLITE_DONE) return fail(sql_status(rc));
  }
  {
    StoreStmt q(*this, "SELECT class_id, kind, item FROM class_items ORDER BY class_id, kind, pos");
    int rc;
    while ((rc = q.step()) == SQLITE_ROW) {
      auto it = by_id.find(q.i64(0));
      if (it == by_id.end()) continue;
      ClassDef& c = classes[it->second];
      std::vector<std::string>* lists[] = {&c.super_classes, &c.containment, &c.naming, &c.mandatory, &c.optional};
      const int64_t kind = q.i64(1);
      if (kind >= 0 && kind < 5) lists[kind]->push_back(q.text(2));
    }
    if (rc != SQLITE_DONE) return fail(sql_status(rc));
  }
  return std::shared_ptr<const Schema>(std::make_shared<Schema>(std::move(attrs), std::move(classes)));
}

// The version is read again only when another process may have written
// (data_version moved) or this one changed the schema or rolled back.
Expected<std::shared_ptr<const Schema>> Store::schema() {
  const uint64_t other = other_writes();
  if (schema_checked_ && schema_ && other == schema_other_) return schema_;
  auto version = meta("schema_version");
  if (!version) return fail(version.status());
  if (!schema_ || *version != schema_version_) {
    auto loaded = load_schema();
    if (!loaded) return fail(loaded.status());
    schema_ = *loaded;
    schema_version_ = *version;
  }
  schema_checked_ = true;
  schema_other_ = other;
  return schema_;
}

Status Store::bump_schema_version() {
  auto v = meta("schema_version");
  const long long n = v ? std::atoll(v->c_str()) : 0;
  schema_checked_ = false;
  access_written();
  return set_meta("schema_version", std::to_string(n + 1));
}


Status insert_attr_def(Store& st, const AttrDef& a) {
  StoreStmt q(st, "INSERT INTO attr_defs(name, name_key, syntax, flags, lower_bound, upper_bound, asn1) VALUES(?,?,?,?,?,?,?)");
  return q.bind(1, a.name).bind(2, fold_case(a.name)).bind(3, int64_t{a.syntax}).bind(4, int64_t{a.flags})
      .bind(5, int64_t{a.lower}).bind(6, int64_t{a.upper}).bind_blob(7, a.asn1).run();
}

Status insert_class_items(Store& st, int64_t class_id, int kind, const std::vector<std::string>& items, int first_pos) {
  for (size_t i = 0; i < items.size(); ++i) {
    StoreStmt q(st, "INSERT INTO class_items(class_id, kind, pos, item, item_key) VALUES(?,?,?,?,?)");
    if (Status s = q.bind(1, class_id).bind(2, int64_t{kind}).bind(3, static_cast<int64_t>(first_pos + static_cast<int>(i)))
                       .bind(4, items[i]).bind(5, fold_case(items[i])).run())
      return s;
  }
  return 0;
}

Status insert_class_def(Store& st, const ClassDef& c) {
  {
    StoreStmt q(st, "INSERT INTO class_defs(name, name_key, flags, asn1) VALUES(?,?,?,?)");
    if (Status s = q.bind(1, c.name).bind(2, fold_case(c.name)).bind(3, int64_t{c.flags}).bind_blob(4, c.asn1).run())
      return s;
  }
  const int64_t id = sqlite3_last_insert_rowid(st.db());
  const std::vector<std::string>* lists[] = {&c.super_classes, &c.containment, &c.naming, &c.mandatory, &c.optional};
  for (int kind = 0; kind < 5; ++kind)
    if (Status s = insert_class_items(st, id, kind, *lists[kind], 0)) return s;
  return 0;
}


Status Store::define_attribute(const AttrDef& def) {
  Transaction tx(*this);
  if (tx.status()) return tx.status();
  auto s = schema();
  if (!s) return s.status();
  if (Status st = (*s)->check_new_attribute(def)) return st;
  AttrDef a = def;
  if (!(a.flags & DS_SIZED_ATTR)) a.lower = a.upper = 0;
  if (Status st = insert_attr_def(*this, a)) return st;
  if (Status st = bump_schema_version()) return st;
  return tx.commit();
}

Status Store::define_class(const ClassDef& def) {
  Transaction tx(*this);
  if (tx.status()) return tx.status();
  auto s = schema();
  if (!s) return s.status();
  if (Status st = (*s)->check_new_class(def)) return st;
  if (Status st = insert_class_def(*this, def)) return st;
  if (Status st = bump_schema_version()) return st;
  return tx.commit();
}

Status Store::add_optional_attribute(std::string_view cls, std::string_view attr) {
  Transaction tx(*this);
  if (tx.status()) return tx.status();
  auto s = schema();
  if (!s) return s.status();
  const ClassDef* c = (*s)->class_def(cls);
  if (!c) return ERR_NO_SUCH_CLASS;
  const AttrDef* a = (*s)->attribute(attr);
  if (!a) return ERR_NO_SUCH_ATTRIBUTE;
  for (const auto* list : {&c->mandatory, &c->optional})
    for (const auto& n : *list)
      if (fold_case(n) == fold_case(a->name)) return ERR_DUPLICATE_OPTIONAL;
  if (Status st = insert_class_items(*this, c->id, 4, {a->name}, static_cast<int>(c->optional.size()))) return st;
  if (Status st = bump_schema_version()) return st;
  return tx.commit();
}

Status Store::remove_attribute_def(std::string_view name) {
  Transaction tx(*this);
  if (tx.status()) return tx.status();
  auto s = schema();
  if (!s) return s.status();
  const AttrDef* a = (*s)->attribute(name);
  if (!a) return ERR_NO_SUCH_ATTRIBUTE;
  if (a->flags & DS_NONREMOVABLE_ATTR) return ERR_SCHEMA_IS_NONREMOVABLE;
  {
    StoreStmt q(*this, "SELECT 1 FROM class_items WHERE item_key = ? AND kind >= 2 LIMIT 1");
    if (q.bind(1, fold_case(a->name)).step() == SQLITE_ROW) return ERR_SCHEMA_IS_IN_USE;
  }
  {
    StoreStmt q(*this, "SELECT 1 FROM attr_values WHERE attr = ? LIMIT 1");
    if (q.bind(1, a->id).step() == SQLITE_ROW) return ERR_SCHEMA_IS_IN_USE;
  }
  {
    StoreStmt q(*this, "DELETE FROM attr_defs WHERE id = ?");
    if (Status st = q.bind(1, a->id).run()) return st;
  }
  if (Status st = bump_schema_version()) return st;
  return tx.commit();
}

Status Store::remove_class_def(std::string_view name) {
  Transaction tx(*this);
  if (tx.status()) return tx.status();
  auto s = schema();
  if (!s) return s.status();
  const ClassDef* c = (*s)->class_def(name);
  if (!c) return ERR_NO_SUCH_CLASS;
  if (c->flags & DS_NONREMOVABLE_CLASS) return ERR_SCHEMA_IS_NONREMOVABLE;
  const std::string key = fold_case(c->name);
  {
    StoreStmt q(*this, "SELECT 1 FROM class_items WHERE item_key = ? AND kind <= 1 AND class_id <> ? LIMIT 1");
    if (q.bind(1, key).bind(2, c->id).step() == SQLITE_ROW) return ERR_SCHEMA_IS_IN_USE;
  }
  {
    StoreStmt q(*this, "SELECT 1 FROM entries WHERE class_key = ? LIMIT 1");
    if (q.bind(1, key).step() == SQLITE_ROW) return ERR_SCHEMA_IS_IN_USE;
  }
  {
    StoreStmt q(*this, "DELETE FROM class_defs WHERE id = ?");
    if (Status st = q.bind(1, c->id).run()) return st;
  }
  if (Status st = bump_schema_version()) return st;
  return tx.commit();
}

}  // namespace nwc
