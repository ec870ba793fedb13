/*
 * entries.h - the engines that add, modify, remove, read and compare
 * directory entries, and what they share.
 *
 * Every operation resolves the names it is given through the calling
 * context (its name context and flags, names.h), works on the current store
 * (store.h) under the schema's rules, and changes the store in one
 * transaction: a failed operation changes nothing.
 *
 * Every operation checks the rights of the context's identity (rights.h):
 * an entry it may not browse is not there (ERR_NO_SUCH_ENTRY, find_entry
 * included); add needs add on the parent, remove delete on the entry, modify
 * write on each attribute changed (or self, for adding or removing only the
 * identity's own name), a read read and a compare compare on the attribute;
 * a missing right is ERR_NO_ACCESS and changes nothing.  A new User gets the
 * ACL values of default_acl() besides those asked for.
 *
 * Status codes chosen where the published documentation leaves one:
 *  - a parent container or entry that does not exist: ERR_NO_SUCH_ENTRY;
 *    adding [Root]: ERR_CANT_ADD_ROOT;
 *  - no "Object Class" value: ERR_MISSING_MANDATORY; an unknown class:
 *    ERR_NO_SUCH_CLASS; several classes none of which descends from all the
 *    others: ERR_OBJECT_CLASS_VIOLATION; a class that is not effective:
 *    ERR_NOT_EFFECTIVE_CLASS;
 *  - an RDN whose attribute does not name entries of the class:
 *    ERR_ILLEGAL_DS_NAME (an RDN whose single type was only inferred takes
 *    the class's first naming attribute instead);
 *  - writing an attribute the schema marks read-only: ERR_NO_ACCESS;
 *    changing "Object Class" after the entry exists: ERR_OBJECT_CLASS_VIOLATION;
 *  - a value whose syntax is not the attribute's: ERR_SYNTAX_VIOLATION;
 *    a compare with such a value, or on an attribute without equality
 *    matching: ERR_INVALID_COMPARISON;
 *  - reading or comparing an attribute the entry has no value of:
 *    ERR_NO_SUCH_ATTRIBUTE (a read of several names gives those present);
 *  - a read result buffer too small for a single item: ERR_INSUFFICIENT_BUFFER;
 *  - a compare request that is not one attribute name and one value:
 *    ERR_INVALID_REQUEST;
 *  - removing [Root]: ERR_INVALID_REQUEST.
 */
#ifndef NWC_ENTRIES_H
#define NWC_ENTRIES_H

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "buffer.h"
#include "context.h"
#include "store/store.h"

namespace nwc {

/* Serialises the directory operations of this process on the store. */
std::recursive_mutex &directory_lock();

/* What an operation works with: the caller's context, the store and its
   schema. */
struct Op {
  Context ctx;
  Store *store = nullptr;
  std::shared_ptr<const Schema> schema;
  std::unique_ptr<Transaction> tx; /* when begun with a transaction kind */
};
NWDSCCODE begin_op(NWDSContextHandle context, Op &op);
/* The same inside one transaction opened before anything is read, so that
   the whole operation sees one state of the store and takes the store's
   locks once.  A write operation ends it with op.tx->commit(); left open,
   it is rolled back when the Op goes. */
NWDSCCODE begin_op(NWDSContextHandle context, Op &op, Transaction::Kind kind);
/* A name as the context resolves it. */
Expected<Dn> resolve(const Op &op, const char *name);
/* The entry a name resolves to through the context (ERR_NO_SUCH_ENTRY when
   none, or when the context's identity may not browse it), aliases
   dereferenced by the context's flags (aliases.h). */
NWDSCCODE find_entry(const Op &op, const char *name, EntryId &id);

/* The number of an entry's subordinates, counted only for a container: an
   entry of a leaf class holds none, since every add, move and restore checks
   that the parent's class may contain the entry's. */
Expected<uint32_t> subordinate_count(const Op &op, EntryId id, uint32_t flags, const std::string &cls);

/* The attributes a read of the attributes `names` (folded) takes values
   of: those the schema knows, and ACL, which the rights are worked out
   from (rights.h KnownEntry). */
std::vector<int64_t> attrs_to_read(const Schema &schema, const std::vector<std::string> &names);

/* One attribute of a request: its name, the change (for modify) and the
   values that followed it. */
struct RequestAttr {
  std::string name;
  nuint32 change = 0;
  std::vector<Value> values;
};
/* The attributes of a request buffer of `verb` (ERR_BAD_VERB for another). */
NWDSCCODE request_attrs(pBuf_T buf, nuint32 verb, std::vector<RequestAttr> &out);

/* ---- engines (api_directory.cpp) --------------------------------------------- */
NWDSCCODE add_object(NWDSContextHandle context, const nstr8 *objectName,
                     nint32 *iterationHandle, nbool8 more, pBuf_T objectInfo);
NWDSCCODE modify_object(NWDSContextHandle context, const nstr8 *objectName,
                        nint32 *iterationHandle, nbool8 more, pBuf_T changes);
NWDSCCODE remove_object(NWDSContextHandle context, const nstr8 *object);
NWDSCCODE compare_value(NWDSContextHandle context, const nstr8 *object, pBuf_T buf,
                        nbool8 *matched);
NWDSCCODE get_syntax_id(NWDSContextHandle context, const nstr8 *attrName, nuint32 *syntaxID);
NWDSCCODE read_entry(NWDSContextHandle context, const nstr8 *object, nuint32 infoType,
                     nbool8 allAttrs, pBuf_T attrNames, nint32 *iterationHandle,
                     pBuf_T objectInfo); /* read.cpp */
/* list.cpp */
NWDSCCODE list_entries(NWDSContextHandle context, const nstr8 *object, nint32 *iterationHandle,
                       pBuf_T subordinates);
NWDSCCODE list_by_class_and_name(NWDSContextHandle context, const nstr8 *objectName,
                                 const nstr8 *className, const nstr8 *subordinateName,
                                 nint32 *iterationHandle, pBuf_T subordinates);
NWDSCCODE list_containers(NWDSContextHandle context, const nstr8 *object,
                          nint32 *iterationHandle, pBuf_T subordinates);
NWDSCCODE count_by_class_and_name(NWDSContextHandle context, const nstr8 *objectName,
                                  const nstr8 *className, const nstr8 *subordinateName,
                                  nint32 *count);
/* search.cpp */
NWDSCCODE search_entries(NWDSContextHandle context, const nstr8 *baseObjectName, nint32 scope,
                         nbool8 searchAliases, pBuf_T filter, nuint32 infoType, nbool8 allAttrs,
                         pBuf_T attrNames, nint32 *iterationHandle, nint32 countObjectsToSearch,
                         nint32 *countObjectsSearched, pBuf_T objectInfo);

} // namespace nwc

#endif /* NWC_ENTRIES_H */
