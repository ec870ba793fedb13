/*
 * ldap/backend.h - the LDAP backend: the directory operations of backends.h
 * carried out against an LDAP server through OpenLDAP's libldap.
 *
 * Selected by an NWCLIENT_STORE of ldap://host:port/BASE (ldaps://,
 * ldapi:// too); connection settings in session.h, name and result code
 * mapping in mapping.h, syntaxes and values in schema.h.
 *
 * The operations:
 *   NWDSRead                 a base search (DS_ATTRIBUTE_NAMES, _VALUES,
 *                            DS_VALUE_INFO, DS_ABBREVIATED_VALUE);
 *                            the result continues through an iteration when
 *                            it does not fit the buffer
 *   NWDSSearch               the filter buffer (or filter text) as an LDAP
 *                            filter; scopes entry / one level / subtree;
 *                            countObjectsToSearch > 0 as the size limit
 *                            (countObjectsSearched: the entries returned)
 *   NWDSList, NWDSListContainers, NWDSListByClassAndName,
 *   NWDSGetCountByClassAndName  one-level searches with the paged results
 *                            control, given through the iteration handle
 *   NWDSCompare              an LDAP compare
 *   NWDSAddObject            an add (several buffers with `more` gathered
 *                            first); "Object Class" values name the classes
 *   NWDSModifyObject         the change types as one modify request, which
 *                            the server applies whole or not at all
 *   NWDSModifyRDN, NWDSModifyDN, NWDSMoveObject   modify DN (with a new
 *                            superior for a move or a DN in another parent)
 *   NWDSRemoveObject         a delete
 *   NWDSLogin / NWDSLogout   a simple bind as the object on a connection of
 *                            the context's own / back to the anonymous one
 *   NWDSWhoAmI               the "Who am I?" extended operation
 *   NWDSVerifyObjectPassword a bind on a connection of its own
 *   NWDSChangeObjectPassword, NWDSGenerateObjectKeyPair   the password
 *                            modify extended operation (no key pair: the
 *                            server keeps the password only)
 *   NWDSGetSyntaxID, NWDSReadAttrDef, NWDSReadClassDef   from the subschema
 * Rights are the server's: a refusal comes back as its status
 * (ERR_NO_ACCESS) and nothing changes.
 *
 * Result objects carry the entry's full typed name, its base class (the
 * structural object class), DS_CONTAINER_ENTRY / DS_ALIAS_ENTRY, a
 * subordinate count of 1 when the server says the entry has subordinates
 * (hasSubordinates) and 0 otherwise -- LDAP gives no count -- and the
 * modification time (modifyTimestamp).  [Root] is the server's root: it
 * lists (and a one-level search of it finds) the URL's base entry.
 *
 * Not carried by an LDAP server, refused with ERR_INVALID_REQUEST and
 * changing nothing: partitions and replicas, streams, schema changes
 * (NWDSDefineAttr, NWDSDefineClass, NWDSModifyClassDef, NWDSRemove*Def),
 * effective rights (NWDSGetEffectiveRights, DS_EFFECTIVE_PRIVILEGES reads
 * and searches), security equivalences, backups and restores, ids
 * (NWDSResolveName, NWDSMapIDToName).  Reads and searches give names,
 * values, and values with their information (DS_VALUE_INFO with the
 * entry's modifyTimestamp as each value's time, DS_ABBREVIATED_VALUE).
 */
#ifndef NWC_LDAP_BACKEND_H
#define NWC_LDAP_BACKEND_H

#include <memory>
#include <string>

#include "context.h"
#include "ldap/fetch.h"
#include "ldap/schema.h"
#include "ldap/session.h"
#include "names/names.h"

namespace nwc::ldap {

/* What an operation works with: the caller's context, the settings, its
   session and the server's schema. */
struct LOp {
  NWDSContextHandle handle = 0;
  Context ctx;
  Settings s;
  std::shared_ptr<Session> session;
  std::shared_ptr<const Schema> schema;
};
NWDSCCODE begin(NWDSContextHandle context, LOp &op);
/* A name resolved through the context, as a Dn and as an LDAP DN. */
NWDSCCODE resolve(const LOp &op, const char *name, Dn &dn, std::string &ldap_dn);
/* The same for an entry to change: [Root] is ERR_INVALID_REQUEST. */
NWDSCCODE resolve_entry(const LOp &op, const char *name, Dn &dn, std::string &ldap_dn);
/* Runs `fn` on the session; the published status of its result. */
NWDSCCODE run(LOp &op, const std::function<int(LDAP *)> &fn, bool resend);
/* Runs the search `q` on the session (sent again on a fresh connection when
   the old one was lost under it); `found` holds what it gave. */
NWDSCCODE search(LOp &op, const Query &q, std::vector<RawEntry> &found);

/* ---- the engines (one file per concern) ------------------------------------- */
NWDSCCODE read_entry(NWDSContextHandle, const nstr8 *, nuint32, nbool8, pBuf_T, nint32 *, pBuf_T);
NWDSCCODE search_entries(NWDSContextHandle, const nstr8 *, nint32, nbool8, pBuf_T, nuint32, nbool8, pBuf_T,
                         nint32 *, nint32, nint32 *, pBuf_T);
NWDSCCODE compare_value(NWDSContextHandle, const nstr8 *, pBuf_T, nbool8 *);
NWDSCCODE list_entries(NWDSContextHandle, const nstr8 *, nint32 *, pBuf_T);
NWDSCCODE list_by_class_and_name(NWDSContextHandle, const nstr8 *, const nstr8 *, const nstr8 *, nint32 *,
                                 pBuf_T);
NWDSCCODE list_containers(NWDSContextHandle, const nstr8 *, nint32 *, pBuf_T);
NWDSCCODE count_by_class_and_name(NWDSContextHandle, const nstr8 *, const nstr8 *, const nstr8 *, nint32 *);
NWDSCCODE add_object(NWDSContextHandle, const nstr8 *, nint32 *, nbool8, pBuf_T);
NWDSCCODE modify_object(NWDSContextHandle, const nstr8 *, nint32 *, nbool8, pBuf_T);
NWDSCCODE remove_object(NWDSContextHandle, const nstr8 *);
NWDSCCODE modify_rdn(NWDSContextHandle, const nstr8 *, const nstr8 *, nbool8);
NWDSCCODE modify_dn(NWDSContextHandle, const nstr8 *, const nstr8 *, nbool8);
NWDSCCODE move_object(NWDSContextHandle, const nstr8 *, const nstr8 *, const nstr8 *);
NWDSCCODE login(NWDSContextHandle, nflag32, const nstr8 *, const nstr8 *, nuint32);
NWDSCCODE logout(NWDSContextHandle);
NWDSCCODE who_am_i(NWDSContextHandle, pnstr8);
NWDSCCODE verify_object_password(NWDSContextHandle, nflag32, const nstr8 *, const nstr8 *);
NWDSCCODE change_object_password(NWDSContextHandle, nflag32, const nstr8 *, const nstr8 *, const nstr8 *);
NWDSCCODE generate_object_key_pair(NWDSContextHandle, const nstr8 *, const nstr8 *, nflag32);
NWDSCCODE get_syntax_id(NWDSContextHandle, const nstr8 *, nuint32 *);
NWDSCCODE read_class_defs(NWDSContextHandle, nuint32, nbool8, pBuf_T, nint32 *, pBuf_T);
NWDSCCODE read_attr_defs(NWDSContextHandle, nuint32, nbool8, pBuf_T, nint32 *, pBuf_T);

} // namespace nwc::ldap

#endif /* NWC_LDAP_BACKEND_H */
