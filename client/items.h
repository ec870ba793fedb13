/*
 * items.h - what the items of a buffer mean (the Item of buffer.h).
 *
 * Request items, written by the Put functions:
 *   ATTR_NAME    name: an attribute name                (NWDSPutAttrName)
 *   CHANGE       name: the attribute, number: the DS_ change type
 *                                                       (NWDSPutChange)
 *   VALUE        number: syntax id, value: the encoded Value (schema.h
 *                encode_value), names inside it already resolved to their
 *                full typed form                        (NWDSPutAttrVal)
 *   CLASS_BEGIN  opens the next list of class items     (NWDSBeginClassItem)
 *   CLASS_ITEM   name: a class, attribute or syntax name (NWDSPutClassItem)
 * A VALUE follows the ATTR_NAME or CHANGE it belongs to.
 *
 * Result items, written by the operations through ResultWriter:
 *   OBJECT_COUNT number: the objects in this part
 *   OBJECT       name: the full typed name; number: attributes given in this
 *                part; number2: object flags; number3: subordinate count;
 *                number4: modification time; text: base class
 *   ATTR_COUNT   number: the attributes that follow (in this part)
 *   ATTR         name: the attribute; number: the values that follow it in
 *                this part; number2: its syntax id
 *   RESULT_VALUE number: syntax id; value: the encoded Value, names inside
 *                it in full typed form (the reader formats them for its
 *                context)
 * A read result is ATTR_COUNT (ATTR RESULT_VALUE*)*; a search or list result
 * OBJECT_COUNT (OBJECT ATTR_COUNT (ATTR RESULT_VALUE*)*)*.  An attribute whose
 * values do not all fit one part is continued in the next part under its
 * name again: over all parts every value is given exactly once.
 *
 * Class definitions (DSV_READ_CLASS_DEF):
 *   CLASS_DEF_COUNT   number: the classes in this part  (NWDSGetClassDefCount)
 *   CLASS_DEF         name: the class; number: what follows it (kClassHasInfo,
 *                     kClassHasLists); number2: class flags; value: the
 *                     ASN.1 id bytes (at most MAX_ASN1_NAME)  (NWDSGetClassDef)
 *   CLASS_ITEM_COUNT  number: the names in this list    (NWDSGetClassItemCount)
 *   RESULT_CLASS_ITEM name: a class or attribute name   (NWDSGetClassItem)
 * laid out CLASS_DEF_COUNT (CLASS_DEF [CLASS_ITEM_COUNT RESULT_CLASS_ITEM*]x5)*,
 * the five lists in the published order: super classes, containment classes,
 * naming attributes, mandatory attributes, optional attributes.  Which info
 * types carry what: DS_CLASS_DEF_NAMES the name alone; DS_INFO_CLASS_DEFS the
 * name and the class information (flags, ASN.1 id); DS_CLASS_DEFS,
 * DS_EXPANDED_CLASS_DEFS and DS_FULL_CLASS_DEFS the name, the information
 * and the five lists (expanded or not is the operation's choice of lists).
 * A class is never split between parts: add_class_def adds all of it or
 * nothing.
 *
 * Syntaxes (DSV_READ_SYNTAXES): ATTR_COUNT (the syntaxes in this part, read
 * with NWDSGetSyntaxCount or NWDSGetAttrCount), then one ATTR per syntax:
 * name: the syntax name; number: 0 (no values follow); number2: the syntax
 * id; number3: its matching flags.  The entries are read with
 * NWDSGetAttrName (name, 0, syntax id), the header having no syntax reader.
 *
 * Attribute definitions (DSV_READ_ATTR_DEF): ATTR_COUNT (the definitions in
 * this part), then one ATTR per attribute: name: the attribute; number: 0
 * (no values follow); number2: its syntax id; and, with DS_ATTR_DEFS,
 * number3: its flags; number4: its lower bound; value: its upper bound (4
 * bytes, little-endian) then its ASN.1 id bytes.  Read with NWDSGetAttrName
 * (name, 0, syntax id), as syntaxes are.
 *
 * Effective rights (DSV_GET_EFFECTIVE_RIGHTS, NWDSListAttrsEffectiveRights)
 * and reads and searches with DS_EFFECTIVE_PRIVILEGES: each attribute is an
 * ATTR with one RESULT_VALUE of syntax SYN_INTEGER, the privileges.
 *
 * Partitions of a server (DSV_LIST_PARTITIONS):
 *   SERVER            name: the server's full typed name; number: the
 *                     partitions in this part              (NWDSGetServerName)
 *   PARTITION         name: the partition root's full typed name; number:
 *                     the replica type (RT_)            (NWDSGetPartitionInfo)
 * laid out SERVER PARTITION*.  The readers format the names for their
 * context, as NWDSGetObjectName does.
 *
 * Costs charged against a buffer's budget are the sizes of the items as the
 * wire protocol would carry them: 4 bytes per number, names as UTF-16 with
 * their terminator and a 4-byte length, padded to 4 bytes, values as their
 * encoding with a 4-byte length.
 *
 * Which Put and Get functions belong to which verb is decided by
 * writer_allowed() / reader_allowed(); any other pairing is ERR_BAD_VERB.
 */
#ifndef NWC_ITEMS_H
#define NWC_ITEMS_H

#include <string>
#include <string_view>

#include "buffer.h"
#include "context.h"
#include "names/names.h"
#include "schema/schema.h"

namespace nwc {

namespace tag {
inline constexpr nuint32 ATTR_NAME = 1;
inline constexpr nuint32 CHANGE = 2;
inline constexpr nuint32 VALUE = 3;
inline constexpr nuint32 CLASS_BEGIN = 4;
inline constexpr nuint32 CLASS_ITEM = 5;
inline constexpr nuint32 OBJECT_COUNT = 10;
inline constexpr nuint32 OBJECT = 11;
inline constexpr nuint32 ATTR_COUNT = 12;
inline constexpr nuint32 ATTR = 13;
inline constexpr nuint32 RESULT_VALUE = 14;
inline constexpr nuint32 CLASS_DEF_COUNT = 15;
inline constexpr nuint32 CLASS_DEF = 16;
inline constexpr nuint32 CLASS_ITEM_COUNT = 17;
inline constexpr nuint32 RESULT_CLASS_ITEM = 18;
inline constexpr nuint32 SERVER = 19;
inline constexpr nuint32 PARTITION = 20;
} // namespace tag

/* number3 of an ATTR item the value readers step over. */
inline constexpr nuint32 kStepOver = 1;
/* The number of a CLASS_DEF item: what follows the class name. */
inline constexpr nuint32 kClassHasInfo = 1;  /* flags and ASN.1 id */
inline constexpr nuint32 kClassHasLists = 2; /* the five item lists */
/* What a class definition carries for a DS_ info type (0 for an unknown one). */
nuint32 class_def_parts(nuint32 infoType);

enum class Writer { attr_name, change, value, class_begin, class_item };
enum class Reader {
  object_count, object_name, attr_count, attr_name, attr_value,
  class_def_count, class_def, class_item_count, class_item,
  syntax_count, server_name, partition_info
};

bool writer_allowed(Writer w, nuint32 verb);
bool reader_allowed(Reader r, nuint32 verb);

/* Bytes charged for a name / a number / an encoded value. */
size_t name_cost(std::string_view name);
inline constexpr size_t kNumberCost = 4;
size_t value_cost(const std::string &encoded);

/* ---- names inside values ---------------------------------------------------- */
/* Resolves the names inside `v` (DN fields, ACL subjects) against the
   context's name context and flags: their full typed form.  Fails with the
   name's own status. */
Status resolve_value_names(Value &v, const Context &ctx);
/* Formats the (full, typed) names inside `v` for output under `ctx`. */
void format_value_names(Value &v, const Context &ctx);
/* The context's name context, parsed ([Root] when it does not parse). */
Dn name_context_of(const Context &ctx);

/* ---- result writer ------------------------------------------------------------ */
/* Fills a result buffer up to its budget.  Each add_ call either adds its
   item or, when the item does not fit, adds nothing and returns false; a
   budget smaller than the first item (a buffer of 1 to 3 bytes) leaves the
   result empty, and nothing written later refers to an item that is not
   there. */
class ResultWriter {
public:
  /* Resets `buf` for `verb` and marks it a result. */
  ResultWriter(Buffer &buf, nuint32 verb);
  bool fits(size_t cost) const { return cost <= buf_.room(); }
  bool add_count(nuint32 tag_id, nuint32 count);
  bool add_object(const std::string &full_name, nuint32 attrs, nuint32 flags,
                  nuint32 subordinates, nuint32 mtime, const std::string &base_class);
  bool add_attr(const std::string &name, nuint32 values, nuint32 syntax);
  /* An ATTR item that NWDSGetAttrVal and NWDSComputeAttrValSize step over
     (number3 kStepOver): values a reader may take with or without reading
     the attribute's name first. */
  bool add_values_header(const std::string &name, nuint32 values, nuint32 syntax);
  bool add_value(const std::string &encoded, nuint32 syntax);
  /* A value with its information (DS_VALUE_INFO, DS_ABBREVIATED_VALUE):
     number2 the value flags (DS_PRESENT, DS_NAMING, ...), number3 the
     seconds of its modification timestamp, number4 its replica number (high
     16 bits) and event id (low 16 bits).  Read with NWDSGetAttrVal as any
     value; the information costs 12 bytes more. */
  bool add_value_info(const std::string &encoded, nuint32 syntax, nuint32 flags,
                      nuint32 seconds, nuint32 replica_event);
  static size_t value_info_cost(const std::string &encoded) { return value_cost(encoded) + 3 * kNumberCost; }
  /* One name of a class-name list (a RESULT_CLASS_ITEM). */
  bool add_class_item(const std::string &name);
  /* One class definition as `infoType` shows it (class_def_parts): the
     CLASS_DEF and, with lists, the five lists in the published order.  All
     of it or nothing; false for an info type no class definition has. */
  bool add_class_def(const ClassDef &def, nuint32 infoType);
  static size_t class_def_cost(const ClassDef &def, nuint32 infoType);
  /* One attribute definition of a DSV_READ_ATTR_DEF result (an ATTR item):
     the name and syntax, with `full` also flags, bounds and ASN.1 id. */
  bool add_attr_def(const AttrDef &def, bool full);
  static size_t attr_def_cost(const AttrDef &def, bool full);
  /* One syntax of a DSV_READ_SYNTAXES result (an ATTR item). */
  bool add_syntax(const std::string &name, nuint32 id, nuint32 flags);
  /* The server of a DSV_LIST_PARTITIONS result, then its partitions. */
  bool add_server(const std::string &full_name, nuint32 partitions);
  bool add_partition(const std::string &full_root_name, nuint32 replica_type);
  /* Sets the number of an item already written (a count known only later).
     An index this writer has not written (the item did not fit the budget)
     is refused: nothing changes and the answer is false. */
  bool set_number(size_t index, nuint32 n) {
    if (index >= buf_.items.size()) return false;
    buf_.items[index].number = n;
    return true;
  }
  /* The index the next item added will have. */
  size_t next_index() const { return buf_.items.size(); }
  static size_t attr_cost(const std::string &name) { return name_cost(name) + 2 * kNumberCost; }

private:
  Buffer &buf_;
};

/* ---- the engines of the buffer writers and readers (api_buffer.cpp) ------- */
NWDSCCODE put_attr_name(NWDSContextHandle context, pBuf_T buf, const nstr8 *attrName);
NWDSCCODE put_change(NWDSContextHandle context, pBuf_T buf, nuint32 changeType,
                     const nstr8 *attrName);
NWDSCCODE put_attr_val(NWDSContextHandle context, pBuf_T buf, nuint32 syntaxID,
                       const void *attrVal);
NWDSCCODE begin_class_item(NWDSContextHandle context, pBuf_T buf);
NWDSCCODE put_class_item(NWDSContextHandle context, pBuf_T buf, const nstr8 *itemName);
NWDSCCODE compute_attr_val_size(NWDSContextHandle context, pBuf_T buf, nuint32 syntaxID,
                                nuint32 *attrValSize);
NWDSCCODE get_attr_val(NWDSContextHandle context, pBuf_T buf, nuint32 syntaxID, void *attrVal);
NWDSCCODE get_object_count(NWDSContextHandle context, pBuf_T buf, nuint32 *objectCount);
NWDSCCODE get_object_name(NWDSContextHandle context, pBuf_T buf, pnstr8 objectName,
                          nuint32 *attrCount, Object_Info_T *objectInfo);
NWDSCCODE get_attr_count(NWDSContextHandle context, pBuf_T buf, nuint32 *attrCount);
NWDSCCODE get_attr_name(NWDSContextHandle context, pBuf_T buf, pnstr8 attrName,
                        nuint32 *attrValCount, nuint32 *syntaxID);
NWDSCCODE get_class_def_count(NWDSContextHandle context, pBuf_T buf, nuint32 *classDefCount);
NWDSCCODE get_class_def(NWDSContextHandle context, pBuf_T buf, pnstr8 className,
                        Class_Info_T *classInfo);
NWDSCCODE get_class_item_count(NWDSContextHandle context, pBuf_T buf, nuint32 *itemCount);
NWDSCCODE get_class_item(NWDSContextHandle context, pBuf_T buf, pnstr8 itemName);
NWDSCCODE get_syntax_count(NWDSContextHandle context, pBuf_T buf, nuint32 *syntaxCount);
NWDSCCODE get_server_name(NWDSContextHandle context, pBuf_T buf, pnstr8 serverName,
                          nuint32 *partitionCount);
NWDSCCODE get_partition_info(NWDSContextHandle context, pBuf_T buf, pnstr8 partitionName,
                             nuint32 *replicaType);

} // namespace nwc

#endif /* NWC_ITEMS_H */
