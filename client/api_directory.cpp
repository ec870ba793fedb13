/*
 * api_directory.cpp - the public functions that read, search, list, modify,
 * query rights on and stream directory entries, and the name utilities: one
 * call-layer line each (call.h).
 */
#include "backends.h"
#include "call.h"
#include "connections.h"
#include "entries.h"
#include "entry_info.h"
#include "iteration.h"
#include "names_api.h"
#include "rename.h"
#include "rights.h"
#include "streams.h"

extern "C" {

/* ---- reading and searching ------------------------------------------------ */
NWDSCCODE NWDSRead(NWDSContextHandle context, const nstr8 *object, nuint32 infoType,
                   nbool8 allAttrs, pBuf_T attrNames, nint32 *iterationHandle,
                   pBuf_T objectInfo) {
  NWC_CALL(DIRECTORY(read_entry), context, object, infoType, allAttrs, opt(attrNames), io(iterationHandle), objectInfo);
}

NWDSCCODE NWDSReadObjectInfo(NWDSContextHandle context, const nstr8 *object,
                             pnstr8 distinguishedName, Object_Info_T *objectInfo) {
  NWC_CALL(read_object_info, context, object, out(distinguishedName), out(objectInfo));
}

NWDSCCODE NWDSReadReferences(NWDSContextHandle context, const nstr8 *serverName,
                             const nstr8 *objectName, nuint32 infoType, nbool8 allAttrs,
                             pBuf_T attrNames, nuint32 timeFilter, nint32 *iterationHandle,
                             pBuf_T objectInfo) {
  NWC_CALL(read_references, context, serverName, objectName, infoType, allAttrs, opt(attrNames), timeFilter,
           io(iterationHandle), objectInfo);
}

NWDSCCODE NWDSSearch(NWDSContextHandle context, const nstr8 *baseObjectName, nint32 scope,
                     nbool8 searchAliases, pBuf_T filter, nuint32 infoType, nbool8 allAttrs,
                     pBuf_T attrNames, nint32 *iterationHandle, nint32 countObjectsToSearch,
                     nint32 *countObjectsSearched, pBuf_T objectInfo) {
  NWC_CALL(DIRECTORY(search_entries), context, baseObjectName, scope, searchAliases, opt(filter), infoType, allAttrs,
           opt(attrNames), io(iterationHandle), countObjectsToSearch,
           opt(out(countObjectsSearched)), objectInfo);
}

NWDSCCODE NWDSCompare(NWDSContextHandle context, const nstr8 *object, pBuf_T buf,
                      nbool8 *matched) {
  NWC_CALL(DIRECTORY(compare_value), context, object, buf, out(matched));
}

NWDSCCODE NWDSInspectEntry(NWDSContextHandle context, const nstr8 *serverName,
                           const nstr8 *objectName, pBuf_T errBuffer) {
  NWC_CALL(inspect_entry, context, serverName, objectName, errBuffer);
}

/* ---- listing and iteration -------------------------------------------------- */
NWDSCCODE NWDSList(NWDSContextHandle context, const nstr8 *object, nint32 *iterationHandle,
                   pBuf_T subordinates) {
  NWC_CALL(DIRECTORY(list_entries), context, object, io(iterationHandle), subordinates);
}

NWDSCCODE NWDSListByClassAndName(NWDSContextHandle context, const nstr8 *objectName,
                                 const nstr8 *className, const nstr8 *subordinateName,
                                 nint32 *iterationHandle, pBuf_T subordinates) {
  NWC_CALL(DIRECTORY(list_by_class_and_name), context, objectName, opt(className), opt(subordinateName),
           io(iterationHandle), subordinates);
}

NWDSCCODE NWDSListContainableClasses(NWDSContextHandle context, const nstr8 *parentObject,
                                     nint32 *iterationHandle, pBuf_T containableClasses) {
  NWC_CALL(list_containable_classes, context, parentObject, io(iterationHandle), containableClasses);
}

NWDSCCODE NWDSListContainers(NWDSContextHandle context, const nstr8 *object,
                             nint32 *iterationHandle, pBuf_T subordinates) {
  NWC_CALL(DIRECTORY(list_containers), context, object, io(iterationHandle), subordinates);
}

NWDSCCODE NWDSGetCountByClassAndName(NWDSContextHandle context, const nstr8 *objectName,
                                     const nstr8 *className, const nstr8 *subordinateName,
                                     nint32 *count) {
  NWC_CALL(DIRECTORY(count_by_class_and_name), context, objectName, opt(className), opt(subordinateName),
           out(count));
}

NWDSCCODE NWDSCloseIteration(NWDSContextHandle context, nint32 iterationHandle,
                             nuint32 operation) {
  NWC_CALL(close_iteration, context, iterationHandle, operation);
}

/* ---- modifying entries ------------------------------------------------------- */
NWDSCCODE NWDSAddObject(NWDSContextHandle context, const nstr8 *objectName,
                        nint32 *iterationHandle, nbool8 more, pBuf_T objectInfo) {
  NWC_CALL(DIRECTORY(add_object), context, objectName, opt(io(iterationHandle)), more, objectInfo);
}

NWDSCCODE NWDSModifyObject(NWDSContextHandle context, const nstr8 *objectName,
                           nint32 *iterationHandle, nbool8 more, pBuf_T changes) {
  NWC_CALL(DIRECTORY(modify_object), context, objectName, opt(io(iterationHandle)), more, changes);
}

NWDSCCODE NWDSModifyDN(NWDSContextHandle context, const nstr8 *objectName,
                       const nstr8 *newDN, nbool8 deleteOldRDN) {
  NWC_CALL(DIRECTORY(modify_dn), context, objectName, newDN, deleteOldRDN);
}

NWDSCCODE NWDSModifyRDN(NWDSContextHandle context, const nstr8 *objectName,
                        const nstr8 *newDN, nbool8 deleteOldRDN) {
  NWC_CALL(DIRECTORY(modify_rdn), context, objectName, newDN, deleteOldRDN);
}

NWDSCCODE NWDSMoveObject(NWDSContextHandle context, const nstr8 *objectName,
                         const nstr8 *destParentDN, const nstr8 *destRDN) {
  NWC_CALL(DIRECTORY(move_object), context, objectName, destParentDN, destRDN);
}

NWDSCCODE NWDSRemoveObject(NWDSContextHandle context, const nstr8 *object) {
  NWC_CALL(DIRECTORY(remove_object), context, object);
}

NWDSCCODE NWDSBackupObject(NWDSContextHandle context, const nstr8 *objectName,
                           nint32 *iterationHandle, pBuf_T objectInfo) {
  NWC_CALL(backup_object, context, objectName, io(iterationHandle), objectInfo);
}

NWDSCCODE NWDSRestoreObject(NWDSContextHandle context, const nstr8 *objectName,
                            nint32 *iterationHandle, nbool8 more, nuint32 size,
                            const nuint8 *objectInfo) {
  NWC_CALL(restore_object, context, objectName, opt(io(iterationHandle)), more, size, objectInfo);
}

NWDSCCODE NWDSAddSecurityEquiv(NWDSContextHandle context, const nstr8 *equalFrom,
                               const nstr8 *equalTo) {
  NWC_CALL(add_security_equiv, context, equalFrom, equalTo);
}

NWDSCCODE NWDSRemSecurityEquiv(NWDSContextHandle context, const nstr8 *equalFrom,
                               const nstr8 *equalTo) {
  NWC_CALL(remove_security_equiv, context, equalFrom, equalTo);
}

/* ---- effective rights ---------------------------------------------------------- */
NWDSCCODE NWDSGetEffectiveRights(NWDSContextHandle context, const nstr8 *subjectName,
                                 const nstr8 *objectName, const nstr8 *attrName,
                                 nuint32 *privileges) {
  NWC_CALL(get_effective_rights, context, subjectName, objectName, attrName, out(privileges));
}

NWDSCCODE NWDSListAttrsEffectiveRights(NWDSContextHandle context, const nstr8 *objectName,
                                       const nstr8 *subjectName, nbool8 allAttrs,
                                       pBuf_T attrNames, nint32 *iterationHandle,
                                       pBuf_T privilegeInfo) {
  NWC_CALL(list_attrs_effective_rights, context, objectName, opt(subjectName), allAttrs,
           opt(attrNames), io(iterationHandle), privilegeInfo);
}

/* ---- streams ------------------------------------------------------------------- */
NWDSCCODE NWDSOpenStream(NWDSContextHandle context, const nstr8 *objectName,
                         const nstr8 *attrName, nflag32 flags, NWFILE_HANDLE *fileHandle) {
  NWC_CALL(open_stream, context, objectName, attrName, flags, out(fileHandle));
}

/* ---- name utilities -------------------------------------------------------------- */
NWDSCCODE NWDSAbbreviateName(NWDSContextHandle context, const nstr8 *inName,
                             pnstr8 abbreviatedName) {
  NWC_CALL(abbreviate_name_for_context, context, inName, out(abbreviatedName));
}

NWDSCCODE NWDSCanonicalizeName(NWDSContextHandle context, const nstr8 *objectName,
                               pnstr8 canonName) {
  NWC_CALL(canonicalize_name, context, objectName, out(canonName));
}

NWDSCCODE NWDSRemoveAllTypes(NWDSContextHandle context, const nstr8 *name,
                             pnstr8 strippedName) {
  NWC_CALL(remove_name_types, context, name, out(strippedName));
}

NWDSCCODE NWDSReplaceAttrNameAbbrev(NWDSContextHandle context, const nstr8 *inStr,
                                    pnstr8 outStr) {
  NWC_CALL(replace_attr_name_abbrev, context, inStr, out(outStr));
}

NWDSCCODE NWDSWhoAmI(NWDSContextHandle context, pnstr8 objectName) {
  NWC_CALL(DIRECTORY(who_am_i), context, out(objectName));
}

NWDSCCODE NWDSGetSyntaxID(NWDSContextHandle context, const nstr8 *attrName,
                          nuint32 *syntaxID) {
  NWC_CALL(DIRECTORY(get_syntax_id), context, attrName, out(syntaxID));
}

NWDSCCODE NWDSCIStringsMatch(NWDSContextHandle context, const nstr8 *string1,
                             const nstr8 *string2, nint32 *matches) {
  NWC_CALL(ci_strings_match, context, string1, string2, out(matches));
}

NWDSCCODE NWDSMapIDToName(NWDSContextHandle context, NWCONN_HANDLE conn, nuint32 objectID,
                          pnstr8 object) {
  NWC_CALL(map_id_to_name, context, conn, objectID, out(object));
}

NWDSCCODE NWDSResolveName(NWDSContextHandle context, const nstr8 *objectName,
                          NWCONN_HANDLE *conn, nuint32 *objectID) {
  NWC_CALL(resolve_name_to_id, context, objectName, out(conn), out(objectID));
}

} /* extern "C" */
