/*
 * result_writer.cpp - how the operations fill a result buffer (ResultWriter,
 * items.h): each item with what it costs of the buffer's budget, added
 * whole or not at all, so that a reader never meets half an item.
 *
 * An item costs its numbers (kNumberCost each) and its texts and values,
 * each rounded up to four bytes: a name as UTF-16 with its terminator, a
 * value as its encoded record.
 */
#include "items.h"

#include <array>

namespace nwc {

namespace {
size_t round4(size_t n) { return (n + 3) / 4 * 4; }

/* A name with one number: a server or a partition of a partition listing. */
Item named_item(decltype(Item::tag) t, const std::string &name, nuint32 number) {
  Item it;
  it.tag = t;
  it.name = name;
  it.number = number;
  it.cost = name_cost(name) + kNumberCost;
  return it;
}

/* A value of a result, costing `cost`. */
Item value_item(const std::string &encoded, nuint32 syntax, size_t cost) {
  Item it;
  it.tag = tag::RESULT_VALUE;
  it.number = syntax;
  it.value.assign(encoded.begin(), encoded.end());
  it.cost = cost;
  return it;
}
} // namespace

nuint32 class_def_parts(nuint32 infoType) {
  switch (infoType) {
  case DS_CLASS_DEF_NAMES: return 0;
  case DS_INFO_CLASS_DEFS: return kClassHasInfo;
  case DS_CLASS_DEFS: case DS_EXPANDED_CLASS_DEFS: case DS_FULL_CLASS_DEFS:
    return kClassHasInfo | kClassHasLists;
  default: return 0;
  }
}

size_t name_cost(std::string_view name) { return kNumberCost + round4(2 * (count_chars(name) + 1)); }

size_t value_cost(const std::string &encoded) { return kNumberCost + round4(encoded.size()); }

/* ---- result writer --------------------------------------------------------------- */
ResultWriter::ResultWriter(Buffer &buf, nuint32 verb) : buf_(buf) {
  buf_.reset(verb);
  buf_.result = true;
}

bool ResultWriter::add_count(nuint32 tag_id, nuint32 count) {
  Item it;
  it.tag = tag_id;
  it.number = count;
  it.cost = kNumberCost;
  return buf_.add(std::move(it)) == 0;
}

bool ResultWriter::add_object(const std::string &full_name, nuint32 attrs, nuint32 flags,
                              nuint32 subordinates, nuint32 mtime, const std::string &base_class) {
  Item it;
  it.tag = tag::OBJECT;
  it.name = full_name;
  it.number = attrs;
  it.number2 = flags;
  it.number3 = subordinates;
  it.number4 = mtime;
  it.text = base_class;
  it.cost = name_cost(full_name) + 4 * kNumberCost + name_cost(base_class);
  return buf_.add(std::move(it)) == 0;
}

bool ResultWriter::add_attr(const std::string &name, nuint32 values, nuint32 syntax) {
  Item it;
  it.tag = tag::ATTR;
  it.name = name;
  it.number = values;
  it.number2 = syntax;
  it.cost = attr_cost(name);
  return buf_.add(std::move(it)) == 0;
}

bool ResultWriter::add_value(const std::string &encoded, nuint32 syntax) {
  return buf_.add(value_item(encoded, syntax, value_cost(encoded))) == 0;
}

bool ResultWriter::add_values_header(const std::string &name, nuint32 values, nuint32 syntax) {
  if (!add_attr(name, values, syntax)) return false;
  buf_.items.back().number3 = kStepOver;
  return true;
}

bool ResultWriter::add_value_info(const std::string &encoded, nuint32 syntax, nuint32 flags,
                                  nuint32 seconds, nuint32 replica_event) {
  Item it = value_item(encoded, syntax, value_info_cost(encoded));
  it.number2 = flags;
  it.number3 = seconds;
  it.number4 = replica_event;
  return buf_.add(std::move(it)) == 0;
}

bool ResultWriter::add_class_item(const std::string &name) {
  Item it;
  it.tag = tag::RESULT_CLASS_ITEM;
  it.name = name;
  it.cost = name_cost(name);
  return buf_.add(std::move(it)) == 0;
}

namespace {
bool known_class_info_type(nuint32 t) { return t <= DS_FULL_CLASS_DEFS; }

/* The five lists of a class, in the published order. */
std::array<const std::vector<std::string> *, 5> class_lists(const ClassDef &def) {
  return {&def.super_classes, &def.containment, &def.naming, &def.mandatory, &def.optional};
}
} // namespace

size_t ResultWriter::class_def_cost(const ClassDef &def, nuint32 infoType) {
  const nuint32 parts = class_def_parts(infoType);
  size_t cost = name_cost(def.name);
  if (parts & kClassHasInfo)
    cost += kNumberCost + kNumberCost + round4(std::min<size_t>(def.asn1.size(), MAX_ASN1_NAME));
  if (parts & kClassHasLists)
    for (const auto *list : class_lists(def)) {
      cost += kNumberCost;
      for (const std::string &n : *list) cost += name_cost(n);
    }
  return cost;
}

bool ResultWriter::add_class_def(const ClassDef &def, nuint32 infoType) {
  if (!known_class_info_type(infoType) || !fits(class_def_cost(def, infoType))) return false;
  const nuint32 parts = class_def_parts(infoType);
  Item it;
  it.tag = tag::CLASS_DEF;
  it.name = def.name;
  it.number = parts;
  it.cost = name_cost(def.name);
  if (parts & kClassHasInfo) {
    it.number2 = def.flags;
    const size_t n = std::min<size_t>(def.asn1.size(), MAX_ASN1_NAME);
    it.value.assign(def.asn1.begin(), def.asn1.begin() + static_cast<std::ptrdiff_t>(n));
    it.cost += 2 * kNumberCost + round4(n);
  }
  /* The whole cost fits: none of the adds below can fail. */
  buf_.add(std::move(it));
  if (parts & kClassHasLists)
    for (const auto *list : class_lists(def)) {
      add_count(tag::CLASS_ITEM_COUNT, static_cast<nuint32>(list->size()));
      for (const std::string &n : *list) {
        Item ci;
        ci.tag = tag::RESULT_CLASS_ITEM;
        ci.name = n;
        ci.cost = name_cost(n);
        buf_.add(std::move(ci));
      }
    }
  return true;
}

size_t ResultWriter::attr_def_cost(const AttrDef &def, bool full) {
  size_t cost = attr_cost(def.name);
  if (full) cost += 3 * kNumberCost + round4(std::min<size_t>(def.asn1.size(), MAX_ASN1_NAME));
  return cost;
}

bool ResultWriter::add_attr_def(const AttrDef &def, bool full) {
  Item it;
  it.tag = tag::ATTR;
  it.name = def.name;
  it.number = 0;
  it.number2 = def.syntax;
  if (full) {
    it.number3 = def.flags;
    it.number4 = static_cast<nuint32>(def.lower);
    const nuint32 upper = static_cast<nuint32>(def.upper);
    for (int i = 0; i < 4; ++i) it.value.push_back(static_cast<nuint8>(upper >> (8 * i)));
    const size_t n = std::min<size_t>(def.asn1.size(), MAX_ASN1_NAME);
    it.value.insert(it.value.end(), def.asn1.begin(),
                    def.asn1.begin() + static_cast<std::ptrdiff_t>(n));
  }
  it.cost = attr_def_cost(def, full);
  return buf_.add(std::move(it)) == 0;
}

bool ResultWriter::add_syntax(const std::string &name, nuint32 id, nuint32 flags) {
  Item it;
  it.tag = tag::ATTR;
  it.name = name;
  it.number = 0;
  it.number2 = id;
  it.number3 = flags;
  it.cost = attr_cost(name) + kNumberCost;
  return buf_.add(std::move(it)) == 0;
}

bool ResultWriter::add_server(const std::string &full_name, nuint32 partitions) {
  return buf_.add(named_item(tag::SERVER, full_name, partitions)) == 0;
}

bool ResultWriter::add_partition(const std::string &full_root_name, nuint32 replica_type) {
  return buf_.add(named_item(tag::PARTITION, full_root_name, replica_type)) == 0;
}

} // namespace nwc
