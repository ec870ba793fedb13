// Schema lookups: definitions by name, effective class sets, containment,
// value checks against attribute definitions, checks of new definitions.
#include "schema/schema.h"

#include <algorithm>
#include <set>

#include "names/names.h"

namespace nwc {
namespace {

bool is_text_syntax(uint32_t s) {
  switch (s) {
    case SYN_DIST_NAME:
    case SYN_CE_STRING:
    case SYN_CI_STRING:
    case SYN_PR_STRING:
    case SYN_NU_STRING:
    case SYN_TEL_NUMBER:
    case SYN_CLASS_NAME:
    case SYN_FAX_NUMBER:
    case SYN_EMAIL_ADDRESS: return true;
    default: return false;
  }
}

bool is_integer_syntax(uint32_t s) {
  return s == SYN_INTEGER || s == SYN_COUNTER || s == SYN_INTERVAL || s == SYN_TIME;
}

bool within(int64_t n, const AttrDef& a) { return n >= a.lower && n <= a.upper; }

}  // namespace

Schema::Schema(std::vector<AttrDef> attrs, std::vector<ClassDef> classes)
    : attrs_(std::move(attrs)), classes_(std::move(classes)) {
  for (size_t i = 0; i < attrs_.size(); ++i) {
    attr_index_.emplace(fold_case(attrs_[i].name), i);
    if (attrs_[i].id) attr_ids_.emplace(attrs_[i].id, i);
  }
  for (size_t i = 0; i < classes_.size(); ++i) class_index_.emplace(fold_case(classes_[i].name), i);
  effective_.resize(classes_.size());
  for (size_t i = 0; i < classes_.size(); ++i) {
    Effective& e = effective_[i];
    e.lineage.push_back(i);
    for (size_t k = 0; k < e.lineage.size(); ++k) {  // breadth first: nearest first
      for (const auto& sup : classes_[e.lineage[k]].super_classes) {
        auto it = class_index_.find(fold_case(sup));
        if (it != class_index_.end() && std::find(e.lineage.begin(), e.lineage.end(), it->second) == e.lineage.end())
          e.lineage.push_back(it->second);
      }
    }
    // An attribute mandatory anywhere in the lineage is not optional.
    std::set<std::string> seen;
    for (auto list : {&ClassDef::mandatory, &ClassDef::optional}) {
      auto& out = list == &ClassDef::mandatory ? e.mandatory : e.optional;
      for (size_t k : e.lineage) {
        for (const auto& n : classes_[k].*list) {
          const AttrDef* a = attribute(n);
          const std::string name = a ? a->name : n;
          if (!seen.insert(fold_case(name)).second) continue;
          out.push_back(name);
          if (list == &ClassDef::mandatory) e.mandatory_defs.push_back(a);
        }
      }
    }
    e.allows.assign(attrs_.size(), false);
    for (const auto* names : {&e.mandatory, &e.optional})
      for (const auto& n : *names)
        if (const AttrDef* a = attribute(n)) e.allows[static_cast<size_t>(a - attrs_.data())] = true;
  }
}

namespace {

// A name folded for a lookup in one of the indexes, in a buffer kept per
// thread: the lookups by name on every call allocate nothing.  Valid until
// the next call on the thread.
const std::string& lookup_key(std::string_view name) {
  thread_local std::string key;
  fold_case_into(key, name);
  return key;
}

}  // namespace

const AttrDef* Schema::attribute(std::string_view name) const {
  auto it = attr_index_.find(lookup_key(name));
  return it == attr_index_.end() ? nullptr : &attrs_[it->second];
}

const AttrDef* Schema::attribute_by_id(int64_t id) const {
  auto it = attr_ids_.find(id);
  return it == attr_ids_.end() ? nullptr : &attrs_[it->second];
}

const ClassDef* Schema::class_def(std::string_view name) const {
  auto it = class_index_.find(lookup_key(name));
  return it == class_index_.end() ? nullptr : &classes_[it->second];
}

const Schema::Effective* Schema::effective(std::string_view cls) const {
  const ClassDef* c = class_def(cls);
  return c ? &effective_[position(*c)] : nullptr;
}

std::vector<const ClassDef*> Schema::lineage(std::string_view cls) const {
  std::vector<const ClassDef*> out;
  if (const Effective* e = effective(cls))
    for (size_t k : e->lineage) out.push_back(&classes_[k]);
  return out;
}

std::vector<std::string> Schema::mandatory(std::string_view cls) const {
  const Effective* e = effective(cls);
  return e ? e->mandatory : std::vector<std::string>{};
}

std::vector<std::string> Schema::optional(std::string_view cls) const {
  const Effective* e = effective(cls);
  return e ? e->optional : std::vector<std::string>{};
}

const std::vector<const AttrDef*>& Schema::mandatory_defs(const ClassDef& cls) const {
  return effective_[position(cls)].mandatory_defs;
}

std::vector<std::string> Schema::naming(std::string_view cls) const {
  if (const Effective* e = effective(cls))
    for (size_t k : e->lineage)
      if (!classes_[k].naming.empty()) return classes_[k].naming;
  return {};
}

std::vector<std::string> Schema::containment(std::string_view cls) const {
  if (const Effective* e = effective(cls))
    for (size_t k : e->lineage)
      if (!classes_[k].containment.empty()) return classes_[k].containment;
  return {};
}

bool Schema::is_a(std::string_view cls, std::string_view ancestor) const {
  const Effective* e = effective(cls);
  const ClassDef* a = class_def(ancestor);
  if (!e || !a) return false;
  return std::find(e->lineage.begin(), e->lineage.end(), position(*a)) != e->lineage.end();
}

bool Schema::may_contain(std::string_view parent, std::string_view child) const {
  const ClassDef* p = class_def(parent);
  if (!p || !(p->flags & DS_CONTAINER_CLASS)) return false;
  for (const auto& k : containment(child))
    if (is_a(parent, k)) return true;
  return false;
}

bool Schema::is_container(std::string_view cls) const {
  const ClassDef* c = class_def(cls);
  return c && (c->flags & DS_CONTAINER_CLASS);
}

bool Schema::allows(std::string_view cls, std::string_view attr) const {
  const AttrDef* a = attribute(attr);
  if (!a) return false;
  const ClassDef* c = class_def(cls);
  if (!c) return fold_case(cls) == "unknown";  // placeholders keep whatever they had
  return allows(*c, *a);
}

bool Schema::allows(const ClassDef& cls, const AttrDef& attr) const {
  if (fold_case(cls.name) == "unknown") return true;
  return effective_[position(cls)].allows[static_cast<size_t>(&attr - attrs_.data())];
}

Expected<uint32_t> Schema::syntax_of(std::string_view attr) const {
  const AttrDef* a = attribute(attr);
  if (!a) return fail(ERR_NO_SUCH_ATTRIBUTE);
  return a->syntax;
}

Status Schema::check_value(const AttrDef& attr, const Value& v) const {
  if (v.syntax != attr.syntax) return ERR_SYNTAX_VIOLATION;
  if (Status s = check_syntax(v)) return s;
  if (v.syntax == SYN_CLASS_NAME && !class_def(v.texts[0])) return ERR_SYNTAX_VIOLATION;
  if (!(attr.flags & DS_SIZED_ATTR)) return 0;
  bool ok = true;
  if (is_text_syntax(v.syntax))
    ok = within(static_cast<int64_t>(count_chars(v.texts[0])), attr);
  else if (v.syntax == SYN_PATH)
    ok = within(static_cast<int64_t>(count_chars(v.texts[1])), attr);
  else if (is_integer_syntax(v.syntax))
    ok = within(v.syntax == SYN_TIME ? static_cast<int64_t>(v.nums[0])
                                     : static_cast<int64_t>(static_cast<int32_t>(v.nums[0])),
                attr);
  else if (v.syntax == SYN_OCTET_STRING || v.syntax == SYN_UNKNOWN)
    ok = within(static_cast<int64_t>(v.blobs[0].size()), attr);
  return ok ? 0 : ERR_SYNTAX_VIOLATION;
}

namespace {

Status check_schema_name(std::string_view name, Status too_long) {
  if (name.empty() || name.find_first_not_of(" \t") == std::string_view::npos) return ERR_INVALID_DS_NAME;
  if (count_chars(name) > MAX_SCHEMA_NAME_CHARS) return too_long;
  if (name.find('\0') != std::string_view::npos) return ERR_INVALID_DS_NAME;
  return 0;
}

}  // namespace

Status Schema::check_new_attribute(const AttrDef& a) const {
  if (Status s = check_schema_name(a.name, ERR_ATTR_NAME_TOO_LONG)) return s;
  if (attribute(a.name)) return ERR_ATTRIBUTE_ALREADY_EXISTS;
  if (a.syntax >= kSyntaxCount) return ERR_INVALID_ATTR_SYNTAX;
  if ((a.flags & DS_SIZED_ATTR) && a.lower > a.upper) return ERR_INVALID_ATTR_SYNTAX;
  return 0;
}

Status Schema::check_new_class(const ClassDef& c) const {
  if (Status s = check_schema_name(c.name, ERR_INVALID_DS_NAME)) return s;
  if (class_def(c.name)) return ERR_CLASS_ALREADY_EXISTS;
  if (c.super_classes.empty()) return ERR_NO_SUCH_CLASS;
  for (const auto& s : c.super_classes)
    if (!class_def(s)) return ERR_NO_SUCH_CLASS;
  for (const auto& k : c.containment)
    if (!class_def(k) && fold_case(k) != fold_case(c.name)) return ERR_NO_SUCH_CLASS;
  for (const auto* list : {&c.naming, &c.mandatory, &c.optional})
    for (const auto& n : *list)
      if (!attribute(n)) return ERR_NO_SUCH_ATTRIBUTE;
  auto has_duplicates = [](const std::vector<std::string>& v) {
    std::set<std::string> seen;
    for (const auto& s : v)
      if (!seen.insert(fold_case(s)).second) return true;
    return false;
  };
  if (has_duplicates(c.mandatory)) return ERR_DUPLICATE_MANDATORY;
  if (has_duplicates(c.optional)) return ERR_DUPLICATE_OPTIONAL;
  for (const auto& m : c.mandatory)
    for (const auto& o : c.optional)
      if (fold_case(m) == fold_case(o)) return ERR_DUPLICATE_OPTIONAL;

  // Effective sets of the new class as if it were defined.
  std::set<std::string> allowed;
  std::vector<std::string> naming = c.naming;
  std::vector<std::string> containment = c.containment;
  for (const auto* list : {&c.mandatory, &c.optional})
    for (const auto& n : *list) allowed.insert(fold_case(n));
  for (const auto& s : c.super_classes) {
    for (const auto& n : mandatory(s)) allowed.insert(fold_case(n));
    for (const auto& n : optional(s)) allowed.insert(fold_case(n));
    if (naming.empty()) naming = this->naming(s);
    if (containment.empty()) containment = this->containment(s);
  }
  for (const auto& n : c.naming)
    if (!allowed.count(fold_case(n))) return ERR_BAD_NAMING_ATTRIBUTES;
  if (c.flags & DS_EFFECTIVE_CLASS) {
    if (containment.empty()) return ERR_AMBIGUOUS_CONTAINMENT;
    if (naming.empty()) return ERR_AMBIGUOUS_NAMING;
  }
  return 0;
}

}  // namespace nwc
