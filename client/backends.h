/*
 * backends.h - the seam between the public functions and the directory they
 * work on.
 *
 * A Directory is the set of directory operations one backend carries:
 * resolving, reading, listing, searching, comparing, adding, modifying,
 * renaming, moving and removing entries, logging in and out and the
 * password functions, and the schema reads.  Each member has the engine's
 * signature, so a public function names DIRECTORY(op) in its NWC_CALL line
 * where it named the engine, and the call layer (checks, faults, trace) is
 * unchanged.  Two implementations:
 *   - the embedded one: today's engines over the SQLite store (read.cpp,
 *     search.cpp, list.cpp, entries.cpp, rename.cpp, login.cpp,
 *     schema_api.cpp, names_api.cpp);
 *   - the LDAP one (ldap/backend.h): the same operations against an LDAP
 *     server.
 * directory() picks one on every call from NWCLIENT_STORE: an ldap://,
 * ldaps:// or ldapi:// URL selects LDAP, anything else the embedded store.
 * Contexts, buffers and their items, names, value records, iterations,
 * the call layer, trace and fault plan are shared by both.
 *
 * The functions outside this set (partitions, replicas, streams, schema
 * changes, rights queries, security equivalences, ids) stay embedded-only:
 * under an LDAP URL the store refuses to open (ERR_INVALID_REQUEST) and
 * they change nothing.
 */
#ifndef NWC_BACKENDS_H
#define NWC_BACKENDS_H

#include "nwclient.h"

namespace nwc {

struct Directory {
  /* reading and searching */
  NWDSCCODE (*read_entry)(NWDSContextHandle, const nstr8 *, nuint32, nbool8, pBuf_T, nint32 *, pBuf_T);
  NWDSCCODE (*search_entries)(NWDSContextHandle, const nstr8 *, nint32, nbool8, pBuf_T, nuint32, nbool8,
                              pBuf_T, nint32 *, nint32, nint32 *, pBuf_T);
  NWDSCCODE (*compare_value)(NWDSContextHandle, const nstr8 *, pBuf_T, nbool8 *);
  /* listing */
  NWDSCCODE (*list_entries)(NWDSContextHandle, const nstr8 *, nint32 *, pBuf_T);
  NWDSCCODE (*list_by_class_and_name)(NWDSContextHandle, const nstr8 *, const nstr8 *, const nstr8 *,
                                      nint32 *, pBuf_T);
  NWDSCCODE (*list_containers)(NWDSContextHandle, const nstr8 *, nint32 *, pBuf_T);
  NWDSCCODE (*count_by_class_and_name)(NWDSContextHandle, const nstr8 *, const nstr8 *, const nstr8 *,
                                       nint32 *);
  /* changing entries */
  NWDSCCODE (*add_object)(NWDSContextHandle, const nstr8 *, nint32 *, nbool8, pBuf_T);
  NWDSCCODE (*modify_object)(NWDSContextHandle, const nstr8 *, nint32 *, nbool8, pBuf_T);
  NWDSCCODE (*remove_object)(NWDSContextHandle, const nstr8 *);
  NWDSCCODE (*modify_rdn)(NWDSContextHandle, const nstr8 *, const nstr8 *, nbool8);
  NWDSCCODE (*modify_dn)(NWDSContextHandle, const nstr8 *, const nstr8 *, nbool8);
  NWDSCCODE (*move_object)(NWDSContextHandle, const nstr8 *, const nstr8 *, const nstr8 *);
  /* identities and passwords */
  NWDSCCODE (*login)(NWDSContextHandle, nflag32, const nstr8 *, const nstr8 *, nuint32);
  NWDSCCODE (*logout)(NWDSContextHandle);
  NWDSCCODE (*who_am_i)(NWDSContextHandle, pnstr8);
  NWDSCCODE (*verify_object_password)(NWDSContextHandle, nflag32, const nstr8 *, const nstr8 *);
  NWDSCCODE (*change_object_password)(NWDSContextHandle, nflag32, const nstr8 *, const nstr8 *,
                                      const nstr8 *);
  NWDSCCODE (*generate_object_key_pair)(NWDSContextHandle, const nstr8 *, const nstr8 *, nflag32);
  /* schema reads */
  NWDSCCODE (*get_syntax_id)(NWDSContextHandle, const nstr8 *, nuint32 *);
  NWDSCCODE (*read_class_defs)(NWDSContextHandle, nuint32, nbool8, pBuf_T, nint32 *, pBuf_T);
  NWDSCCODE (*read_attr_defs)(NWDSContextHandle, nuint32, nbool8, pBuf_T, nint32 *, pBuf_T);
};

const Directory &embedded_directory();
const Directory &ldap_directory(); /* ldap/backend.cpp */
/* The backend NWCLIENT_STORE selects now. */
const Directory &directory();

/* The engine that hands a call to directory()'s member M. */
template <auto M> struct Via;
template <class R, class... P, R (*Directory::*M)(P...)> struct Via<M> {
  static R call(P... p) { return (directory().*M)(p...); }
};

} // namespace nwc

#define DIRECTORY(op) Via<&Directory::op>::call

#endif /* NWC_BACKENDS_H */
