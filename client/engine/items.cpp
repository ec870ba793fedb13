/*
 * items.cpp - the buffer item protocol (items.h): the request writers and
 * the result readers (the result writer is result_writer.cpp).
 *
 * Choices where the published documentation leaves one:
 *  - a writer or reader on a buffer not initialised, initialised for a verb
 *    it does not belong to, or (writers) on a buffer an operation filled:
 *    ERR_BAD_VERB;
 *  - an attribute name that is empty: ERR_INVALID_DS_NAME; longer than
 *    MAX_SCHEMA_NAME_CHARS characters: ERR_ATTR_NAME_TOO_LONG; a class item
 *    longer than a distinguished name: ERR_INVALID_DS_NAME;
 *  - a change type outside DS_ADD_ATTRIBUTE..DS_CLEAR_VALUE: ERR_INVALID_REQUEST;
 *  - a value with no attribute name or change before it:
 *    ERR_ATTR_TYPE_EXPECTED; a value after a change that takes none
 *    (DS_REMOVE_ATTRIBUTE, DS_CLEAR_ATTRIBUTE): ERR_ATTR_TYPE_NOT_EXPECTED;
 *  - a value its syntax does not allow, or whose names do not resolve:
 *    ERR_SYNTAX_VIOLATION; a syntax id above 27: ERR_NO_SUCH_SYNTAX;
 *  - readers skip what the caller chose not to read: NWDSGetAttrName passes
 *    over unread values (and an attribute count), NWDSGetObjectName over the
 *    rest of the previous object; a reader that finds no item of its kind
 *    before the end (or the next object) gives ERR_BUFFER_EMPTY, as does
 *    any reader on a buffer no operation has filled;
 *  - NWDSComputeAttrValSize / NWDSGetAttrVal with a syntax id other than the
 *    value's: ERR_BAD_SYNTAX;
 *  - a name longer than the caller's area can take is not possible: names
 *    are bounded by MAX_DN_BYTES and MAX_SCHEMA_NAME_BYTES (nwclient.h); a
 *    text that would not fit is cut at a character boundary, never overrun;
 *  - class results: NWDSGetClassDef passes over the unread lists of the
 *    previous class; NWDSGetClassItemCount over the unread names of the
 *    previous list, but not into the next class; NWDSGetClassItem reads only
 *    a name of the list at hand, so reading more names than the count gives
 *    ERR_BUFFER_EMPTY; NWDSGetClassDef leaves classInfo alone when the
 *    result holds names only (DS_CLASS_DEF_NAMES), and zeroes the ASN.1 id
 *    bytes past its length otherwise;
 *  - partition results: NWDSGetPartitionInfo passes over a server name not
 *    read; NWDSGetServerName finds the one server of the part, once.
 */
#include "items.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "filter.h"
#include "records.h"

namespace nwc {

namespace {


bool in(nuint32 verb, std::initializer_list<nuint32> verbs) {
  for (nuint32 v : verbs)
    if (v == verb) return true;
  return false;
}

/* The fields of a Value that hold distinguished names. */
template <class F> void for_each_name(Value &v, F f) {
  switch (v.syntax) {
  case SYN_DIST_NAME: case SYN_BACK_LINK: case SYN_TYPED_NAME: case SYN_HOLD:
  case SYN_REPLICA_POINTER: case SYN_PATH:
    if (!v.texts.empty()) f(v.texts[0]);
    break;
  case SYN_OBJECT_ACL:
    if (v.texts.size() > 1 && !is_special_subject(v.texts[1])) f(v.texts[1]);
    break;
  default:
    break;
  }
}

/* The request buffer `buf` if writer `w` may write into it. */
NWDSCCODE writable(pBuf_T buf, Writer w, Buffer *&out) {
  out = buffer_of(buf);
  if (out->verb == NO_VERB || out->result || !writer_allowed(w, out->verb)) return ERR_BAD_VERB;
  return 0;
}

/* The result buffer `buf` if reader `r` may read it. */
NWDSCCODE readable(NWDSContextHandle context, pBuf_T buf, Reader r, Buffer *&out) {
  if (!context_is_live(context)) return ERR_BAD_CONTEXT;
  out = buffer_of(buf);
  if (out->verb == NO_VERB || !reader_allowed(r, out->verb)) return ERR_BAD_VERB;
  if (!out->result) return ERR_BUFFER_EMPTY;
  return 0;
}

NWDSCCODE check_attr_name(const nstr8 *name) {
  if (*name == '\0') return ERR_INVALID_DS_NAME;
  if (count_chars(name) > MAX_SCHEMA_NAME_CHARS) return ERR_ATTR_NAME_TOO_LONG;
  return 0;
}

/* A filter written as text rides in a filter buffer as one attribute name
   beginning with "(" (filter.h); such a name may be long. */
constexpr size_t kMaxFilterText = 65536;
bool is_filter_text(nuint32 verb, const nstr8 *name) {
  return verb == DSV_SEARCH_FILTER && name[0] == '(' && std::strlen(name) <= kMaxFilterText;
}

/* In a filter, a string value may hold `*` wildcards: its syntax is checked
   on the text without them (a value of stars alone is any value). */
Value filter_pattern_checked(nuint32 verb, const Value &v) {
  if (verb != DSV_SEARCH_FILTER || !is_string_syntax(v.syntax) || v.texts.size() != 1 ||
      v.texts[0].find('*') == std::string::npos)
    return v;
  Value w = v;
  w.texts[0].erase(std::remove(w.texts[0].begin(), w.texts[0].end(), '*'), w.texts[0].end());
  if (w.texts[0].find_first_not_of(" \t") == std::string::npos) w.texts[0] = v.syntax == SYN_NU_STRING ? "0" : "a";
  return w;
}

/* Copies `s` with its zero byte into an area of `limit` bytes; a text too
   long is cut before the character that would not fit (UTF-8). */
void copy_text(const std::string &s, char *dst, size_t limit) {
  size_t n = s.size();
  if (n >= limit) {
    n = limit - 1;
    while (n > 0 && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80) --n;
  }
  std::memcpy(dst, s.data(), n);
  dst[n] = '\0';
}

/* A full typed name as the reader's context shows it.  A name in the form
   the engines write is worked out from its text and the context's (kept
   for the last name context used on this thread); any other is parsed. */
std::string output_name(const std::string &full, const Context &ctx) {
  struct Last {
    bool have = false;
    std::string name_context, text;
    bool root = true;
  };
  thread_local Last last;
  if (!last.have || last.name_context != ctx.name_context) {
    const Dn nc = name_context_of(ctx);
    last.root = nc.is_root();
    last.text = last.root ? std::string() : format_dn(nc);
    last.name_context = ctx.name_context;
    last.have = true;
  }
  if (auto plain = format_plain_name(full, last.text, last.root, ctx.flags)) return std::move(*plain);
  if (auto dn = parse_dn(full)) return format_name(*dn, name_context_of(ctx), ctx.flags);
  return full;
}

/* The item at the read position if it has tag `t`, else null. */
const Item *at(const Buffer &b, nuint32 t) {
  return b.cursor < b.items.size() && b.items[b.cursor].tag == t ? &b.items[b.cursor] : nullptr;
}

/* The value at the read position, decoded and formatted for `ctx`. */
NWDSCCODE current_value(Buffer &b, NWDSContextHandle context, nuint32 syntaxID, Value &v) {
  if (b.verb == DSV_READ && b.cursor < b.items.size() && b.items[b.cursor].tag == tag::ATTR &&
      b.items[b.cursor].number3 == kStepOver)
    ++b.cursor;
  if (b.cursor >= b.items.size() || b.items[b.cursor].tag != tag::RESULT_VALUE)
    return ERR_BUFFER_EMPTY;
  const Item &it = b.items[b.cursor];
  if (syntaxID != it.number) return ERR_BAD_SYNTAX;
  auto d = decode_value(it.number, std::string_view(reinterpret_cast<const char *>(it.value.data()),
                                                    it.value.size()));
  if (!d) return d.status();
  Context ctx;
  if (NWDSCCODE st = context_snapshot(context, ctx)) return st;
  v = std::move(*d);
  format_value_names(v, ctx);
  return 0;
}

} // namespace

bool writer_allowed(Writer w, nuint32 verb) {
  switch (w) {
  case Writer::attr_name:
    return in(verb, {DSV_READ, DSV_COMPARE, DSV_ADD_ENTRY, DSV_SEARCH, DSV_SEARCH_FILTER,
                     DSV_READ_ATTR_DEF, DSV_MODIFY_CLASS_DEF, DSV_GET_EFFECTIVE_RIGHTS,
                     DSV_READ_REFERENCES, DSV_ADD_PARTITION});
  case Writer::change:
    return verb == DSV_MODIFY_ENTRY;
  case Writer::value:
    return in(verb, {DSV_ADD_ENTRY, DSV_MODIFY_ENTRY, DSV_COMPARE, DSV_SEARCH_FILTER,
                     DSV_ADD_PARTITION});
  case Writer::class_begin:
    return in(verb, {DSV_DEFINE_CLASS, DSV_MODIFY_CLASS_DEF});
  case Writer::class_item:
    return in(verb, {DSV_DEFINE_CLASS, DSV_READ_CLASS_DEF, DSV_MODIFY_CLASS_DEF, DSV_READ_SYNTAXES});
  }
  return false;
}

bool reader_allowed(Reader r, nuint32 verb) {
  switch (r) {
  case Reader::object_count:
  case Reader::object_name:
    return in(verb, {DSV_SEARCH, DSV_LIST, DSV_READ_REFERENCES});
  case Reader::attr_count:
  case Reader::attr_name:
    return in(verb, {DSV_READ, DSV_SEARCH, DSV_LIST, DSV_READ_REFERENCES, DSV_READ_ATTR_DEF,
                     DSV_READ_SYNTAXES, DSV_GET_EFFECTIVE_RIGHTS, DSV_BACKUP_ENTRY, DSV_INSPECT_ENTRY});
  case Reader::attr_value:
    return in(verb, {DSV_READ, DSV_SEARCH, DSV_READ_REFERENCES, DSV_BACKUP_ENTRY, DSV_INSPECT_ENTRY,
                     DSV_GET_EFFECTIVE_RIGHTS});
  case Reader::class_def_count:
  case Reader::class_def:
    return verb == DSV_READ_CLASS_DEF;
  case Reader::class_item_count:
  case Reader::class_item:
    return verb == DSV_READ_CLASS_DEF || verb == DSV_LIST_CONTAINABLE_CLASSES;
  case Reader::syntax_count:
    return verb == DSV_READ_SYNTAXES;
  case Reader::server_name:
  case Reader::partition_info:
    return verb == DSV_LIST_PARTITIONS;
  }
  return false;
}

/* ---- names inside values ------------------------------------------------------ */
Dn name_context_of(const Context &ctx) {
  auto nc = parse_name_context(ctx.name_context);
  return nc ? *nc : Dn{};
}

Status resolve_value_names(Value &v, const Context &ctx) {
  Status st = 0;
  for_each_name(v, [&](std::string &text) {
    if (st != 0) return;
    auto dn = parse_name(text, ctx.name_context, ctx.flags);
    if (!dn) st = dn.status();
    else text = format_dn(*dn);
  });
  return st;
}

void format_value_names(Value &v, const Context &ctx) {
  const Dn nc = name_context_of(ctx);
  for_each_name(v, [&](std::string &text) {
    if (auto dn = parse_dn(text)) text = format_name(*dn, nc, ctx.flags);
  });
}

/* ---- writers ----------------------------------------------------------------------- */
NWDSCCODE put_attr_name(NWDSContextHandle context, pBuf_T buf, const nstr8 *attrName) {
  if (!context_is_live(context)) return ERR_BAD_CONTEXT;
  Buffer *b;
  if (NWDSCCODE st = writable(buf, Writer::attr_name, b)) return st;
  if (!is_filter_text(b->verb, attrName))
    if (NWDSCCODE st = check_attr_name(attrName)) return st;
  Item it;
  it.tag = tag::ATTR_NAME;
  it.name = attrName;
  it.cost = name_cost(it.name);
  return b->add(std::move(it));
}

NWDSCCODE put_change(NWDSContextHandle context, pBuf_T buf, nuint32 changeType,
                     const nstr8 *attrName) {
  if (!context_is_live(context)) return ERR_BAD_CONTEXT;
  Buffer *b;
  if (NWDSCCODE st = writable(buf, Writer::change, b)) return st;
  if (changeType > DS_CLEAR_VALUE) return ERR_INVALID_REQUEST;
  if (NWDSCCODE st = check_attr_name(attrName)) return st;
  Item it;
  it.tag = tag::CHANGE;
  it.name = attrName;
  it.number = changeType;
  it.cost = kNumberCost + name_cost(it.name);
  return b->add(std::move(it));
}

NWDSCCODE put_attr_val(NWDSContextHandle context, pBuf_T buf, nuint32 syntaxID,
                       const void *attrVal) {
  Context ctx;
  if (NWDSCCODE st = context_snapshot(context, ctx)) return st;
  Buffer *b;
  if (NWDSCCODE st = writable(buf, Writer::value, b)) return st;
  if (syntaxID >= kSyntaxCount) return ERR_NO_SUCH_SYNTAX;
  /* The attribute name or change this value belongs to. */
  const Item *owner = nullptr;
  for (size_t i = b->items.size(); i-- > 0;) {
    if (b->items[i].tag == tag::VALUE) continue;
    if (b->items[i].tag == tag::ATTR_NAME || b->items[i].tag == tag::CHANGE) owner = &b->items[i];
    break;
  }
  if (owner == nullptr) return ERR_ATTR_TYPE_EXPECTED;
  if (owner->tag == tag::CHANGE &&
      (owner->number == DS_REMOVE_ATTRIBUTE || owner->number == DS_CLEAR_ATTRIBUTE))
    return ERR_ATTR_TYPE_NOT_EXPECTED;
  Value v;
  if (NWDSCCODE st = record_to_value(syntaxID, attrVal, v)) return st;
  if (resolve_value_names(v, ctx) != 0) return ERR_SYNTAX_VIOLATION;
  if (Status st = normalise_value(v)) return st;
  if (Status st = check_syntax(filter_pattern_checked(b->verb, v))) return st;
  const std::string enc = encode_value(v);
  Item it;
  it.tag = tag::VALUE;
  it.number = syntaxID;
  it.value.assign(enc.begin(), enc.end());
  it.cost = value_cost(enc);
  return b->add(std::move(it));
}

NWDSCCODE begin_class_item(NWDSContextHandle context, pBuf_T buf) {
  if (!context_is_live(context)) return ERR_BAD_CONTEXT;
  Buffer *b;
  if (NWDSCCODE st = writable(buf, Writer::class_begin, b)) return st;
  Item it;
  it.tag = tag::CLASS_BEGIN;
  it.cost = kNumberCost;
  return b->add(std::move(it));
}

NWDSCCODE put_class_item(NWDSContextHandle context, pBuf_T buf, const nstr8 *itemName) {
  if (!context_is_live(context)) return ERR_BAD_CONTEXT;
  Buffer *b;
  if (NWDSCCODE st = writable(buf, Writer::class_item, b)) return st;
  if (*itemName == '\0' || std::strlen(itemName) >= MAX_DN_BYTES) return ERR_INVALID_DS_NAME;
  Item it;
  it.tag = tag::CLASS_ITEM;
  it.name = itemName;
  it.cost = name_cost(it.name);
  return b->add(std::move(it));
}

/* ---- readers ----------------------------------------------------------------------- */
NWDSCCODE compute_attr_val_size(NWDSContextHandle context, pBuf_T buf, nuint32 syntaxID,
                                nuint32 *attrValSize) {
  Buffer *b;
  if (NWDSCCODE st = readable(context, buf, Reader::attr_value, b)) return st;
  Value v;
  if (NWDSCCODE st = current_value(*b, context, syntaxID, v)) return st;
  *attrValSize = static_cast<nuint32>(record_size(v));
  return 0;
}

NWDSCCODE get_attr_val(NWDSContextHandle context, pBuf_T buf, nuint32 syntaxID, void *attrVal) {
  Buffer *b;
  if (NWDSCCODE st = readable(context, buf, Reader::attr_value, b)) return st;
  Value v;
  if (NWDSCCODE st = current_value(*b, context, syntaxID, v)) return st;
  value_to_record(v, attrVal);
  ++b->cursor;
  return 0;
}

NWDSCCODE get_object_count(NWDSContextHandle context, pBuf_T buf, nuint32 *objectCount) {
  Buffer *b;
  if (NWDSCCODE st = readable(context, buf, Reader::object_count, b)) return st;
  if (b->cursor >= b->items.size() || b->items[b->cursor].tag != tag::OBJECT_COUNT)
    return ERR_BUFFER_EMPTY;
  *objectCount = b->items[b->cursor++].number;
  return 0;
}

NWDSCCODE get_object_name(NWDSContextHandle context, pBuf_T buf, pnstr8 objectName,
                          nuint32 *attrCount, Object_Info_T *objectInfo) {
  Buffer *b;
  if (NWDSCCODE st = readable(context, buf, Reader::object_name, b)) return st;
  size_t i = b->cursor;
  while (i < b->items.size() && b->items[i].tag != tag::OBJECT) ++i;
  if (i >= b->items.size()) return ERR_BUFFER_EMPTY;
  Context ctx;
  if (NWDSCCODE st = context_snapshot(context, ctx)) return st;
  const Item &it = b->items[i];
  copy_text(output_name(it.name, ctx), objectName, MAX_DN_BYTES);
  if (attrCount != nullptr) *attrCount = it.number;
  if (objectInfo != nullptr) {
    std::memset(objectInfo, 0, sizeof *objectInfo);
    objectInfo->objectFlags = it.number2;
    objectInfo->subordinateCount = it.number3;
    objectInfo->modificationTime = it.number4;
    copy_text(it.text, objectInfo->baseClass, sizeof objectInfo->baseClass);
  }
  b->cursor = i + 1;
  return 0;
}

NWDSCCODE get_attr_count(NWDSContextHandle context, pBuf_T buf, nuint32 *attrCount) {
  Buffer *b;
  if (NWDSCCODE st = readable(context, buf, Reader::attr_count, b)) return st;
  if (b->cursor >= b->items.size() || b->items[b->cursor].tag != tag::ATTR_COUNT)
    return ERR_BUFFER_EMPTY;
  *attrCount = b->items[b->cursor++].number;
  return 0;
}

NWDSCCODE get_attr_name(NWDSContextHandle context, pBuf_T buf, pnstr8 attrName,
                        nuint32 *attrValCount, nuint32 *syntaxID) {
  Buffer *b;
  if (NWDSCCODE st = readable(context, buf, Reader::attr_name, b)) return st;
  size_t i = b->cursor;
  while (i < b->items.size() &&
         (b->items[i].tag == tag::RESULT_VALUE || b->items[i].tag == tag::ATTR_COUNT))
    ++i;
  if (i >= b->items.size() || b->items[i].tag != tag::ATTR) return ERR_BUFFER_EMPTY;
  const Item &it = b->items[i];
  copy_text(it.name, attrName, MAX_SCHEMA_NAME_BYTES);
  *attrValCount = it.number;
  *syntaxID = it.number2;
  b->cursor = i + 1;
  return 0;
}

/* ---- class definition readers ----------------------------------------------------- */
NWDSCCODE get_class_def_count(NWDSContextHandle context, pBuf_T buf, nuint32 *classDefCount) {
  Buffer *b;
  if (NWDSCCODE st = readable(context, buf, Reader::class_def_count, b)) return st;
  const Item *it = at(*b, tag::CLASS_DEF_COUNT);
  if (it == nullptr) return ERR_BUFFER_EMPTY;
  *classDefCount = it->number;
  ++b->cursor;
  return 0;
}

NWDSCCODE get_class_def(NWDSContextHandle context, pBuf_T buf, pnstr8 className,
                        Class_Info_T *classInfo) {
  Buffer *b;
  if (NWDSCCODE st = readable(context, buf, Reader::class_def, b)) return st;
  size_t i = b->cursor;
  while (i < b->items.size() && b->items[i].tag != tag::CLASS_DEF) ++i;
  if (i >= b->items.size()) return ERR_BUFFER_EMPTY;
  const Item &it = b->items[i];
  copy_text(it.name, className, MAX_SCHEMA_NAME_BYTES);
  if (classInfo != nullptr && (it.number & kClassHasInfo)) {
    std::memset(classInfo, 0, sizeof *classInfo);
    classInfo->classFlags = it.number2;
    const size_t n = std::min<size_t>(it.value.size(), MAX_ASN1_NAME);
    classInfo->asn1ID.length = static_cast<nuint32>(n);
    if (n != 0) std::memcpy(classInfo->asn1ID.data, it.value.data(), n);
  }
  b->cursor = i + 1;
  return 0;
}

NWDSCCODE get_class_item_count(NWDSContextHandle context, pBuf_T buf, nuint32 *itemCount) {
  Buffer *b;
  if (NWDSCCODE st = readable(context, buf, Reader::class_item_count, b)) return st;
  size_t i = b->cursor;
  while (i < b->items.size() && b->items[i].tag == tag::RESULT_CLASS_ITEM) ++i;
  if (i >= b->items.size() || b->items[i].tag != tag::CLASS_ITEM_COUNT) return ERR_BUFFER_EMPTY;
  *itemCount = b->items[i].number;
  b->cursor = i + 1;
  return 0;
}

NWDSCCODE get_class_item(NWDSContextHandle context, pBuf_T buf, pnstr8 itemName) {
  Buffer *b;
  if (NWDSCCODE st = readable(context, buf, Reader::class_item, b)) return st;
  const Item *it = at(*b, tag::RESULT_CLASS_ITEM);
  if (it == nullptr) return ERR_BUFFER_EMPTY;
  copy_text(it->name, itemName, MAX_SCHEMA_NAME_BYTES);
  ++b->cursor;
  return 0;
}

/* ---- syntax and partition readers --------------------------------------------------- */
NWDSCCODE get_syntax_count(NWDSContextHandle context, pBuf_T buf, nuint32 *syntaxCount) {
  Buffer *b;
  if (NWDSCCODE st = readable(context, buf, Reader::syntax_count, b)) return st;
  const Item *it = at(*b, tag::ATTR_COUNT);
  if (it == nullptr) return ERR_BUFFER_EMPTY;
  *syntaxCount = it->number;
  ++b->cursor;
  return 0;
}

NWDSCCODE get_server_name(NWDSContextHandle context, pBuf_T buf, pnstr8 serverName,
                          nuint32 *partitionCount) {
  Buffer *b;
  if (NWDSCCODE st = readable(context, buf, Reader::server_name, b)) return st;
  size_t i = b->cursor;
  while (i < b->items.size() && b->items[i].tag != tag::SERVER) ++i;
  if (i >= b->items.size()) return ERR_BUFFER_EMPTY;
  Context ctx;
  if (NWDSCCODE st = context_snapshot(context, ctx)) return st;
  copy_text(output_name(b->items[i].name, ctx), serverName, MAX_DN_BYTES);
  *partitionCount = b->items[i].number;
  b->cursor = i + 1;
  return 0;
}

NWDSCCODE get_partition_info(NWDSContextHandle context, pBuf_T buf, pnstr8 partitionName,
                             nuint32 *replicaType) {
  Buffer *b;
  if (NWDSCCODE st = readable(context, buf, Reader::partition_info, b)) return st;
  size_t i = b->cursor;
  if (i < b->items.size() && b->items[i].tag == tag::SERVER) ++i;
  if (i >= b->items.size() || b->items[i].tag != tag::PARTITION) return ERR_BUFFER_EMPTY;
  Context ctx;
  if (NWDSCCODE st = context_snapshot(context, ctx)) return st;
  copy_text(output_name(b->items[i].name, ctx), partitionName, MAX_DN_BYTES);
  *replicaType = b->items[i].number;
  b->cursor = i + 1;
  return 0;
}

} // namespace nwc
