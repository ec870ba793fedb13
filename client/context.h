/*
 * context.h - directory contexts: the handle table and its settings.
 *
 * A context is a slot of a fixed table of MAX_CONTEXTS, named by a small
 * positive handle (1..MAX_CONTEXTS).  Handles are issued round-robin, so a
 * freed handle stays unknown (ERR_BAD_CONTEXT) for as long as possible and
 * only comes back once every other slot has been issued since.
 *
 * Invariants:
 *  - A live context's name context fits MAX_DN_BYTES and its tree name
 *    MAX_TREE_NAME_BYTES, terminator included (and MAX_TREE_NAME_CHARS
 *    characters); both read back exactly as set
 *    (a name context is resolved when a name is used, never when set).
 *  - A new context takes DCV_DEFAULT_FLAGS, confidence, referral scope and
 *    last connection 0, the client-wide default name context and the
 *    configured tree name.  A duplicate copies every setting.
 *  - The client-wide default name context is the one NWSetDefaultNameContext
 *    last set, or, until then, the configured one (config.h).
 *  - The table and the default are guarded by one mutex; with_context() runs
 *    its function under it, so that function must not call back into here.
 *
 * For the engines: context_snapshot() gives a copy of a context's settings
 * (name resolution wants name_context and flags); with_context() changes a
 * context in place.  Fields added to Context (an identity, say) are copied by
 * a duplicate and cleared when the slot is freed.
 */
#ifndef NWC_CONTEXT_H
#define NWC_CONTEXT_H

#include <memory>
#include <string>
#include <type_traits>

#include "nwclient.h"

namespace nwc {

namespace ldap { class Session; }

inline constexpr int MAX_CONTEXTS = 4096;

struct Context {
  nuint32 flags = DCV_DEFAULT_FLAGS;
  nint32 confidence = 0;
  nint32 referral_scope = 0;
  nint32 last_connection = 0;
  std::string name_context;
  std::string tree_name;
  /* The identity NWDSLogin established (login.h): the object's typed full
     name as it stood at login and its entry in the store; empty / 0 while
     the context has not logged in (it then acts as [Public]). */
  std::string identity;
  long long identity_entry = 0;
  /* On the LDAP backend, the connection bound as that identity (shared by
     duplicates; null while the context uses the anonymous one). */
  std::shared_ptr<ldap::Session> ldap_session;
};

/* A borrowed callable NWDSCCODE(Context &): no copy, no allocation. */
class ContextFn {
public:
  template <class F, class = std::enable_if_t<!std::is_same_v<std::decay_t<F>, ContextFn>>>
  ContextFn(const F &f)
      : obj_(&f), call_([](const void *o, Context &c) -> NWDSCCODE {
          return (*static_cast<const F *>(o))(c);
        }) {}
  NWDSCCODE operator()(Context &c) const { return call_(obj_, c); }

private:
  const void *obj_;
  NWDSCCODE (*call_)(const void *, Context &);
};

/* True while `h` names a live context. */
bool context_is_live(NWDSContextHandle h);
/* A copy of the live context `h`; ERR_BAD_CONTEXT when `h` is not live. */
NWDSCCODE context_snapshot(NWDSContextHandle h, Context &out);
/* Runs `fn` on the live context `h` under the table lock and returns what it
   returns; ERR_BAD_CONTEXT (without running it) when `h` is not live. */
NWDSCCODE with_context(NWDSContextHandle h, ContextFn fn);
/* True when some live context has a logged-in identity. */
bool any_context_logged_in();
/* The client-wide default name context. */
std::string default_name_context();

/* ---- the engines of the context functions (api_context.cpp) ------------- */
NWDSContextHandle create_context();
NWDSCCODE create_context_handle(NWDSContextHandle *newHandle);
NWDSContextHandle duplicate_context(NWDSContextHandle oldContext);
NWDSCCODE duplicate_context_handle(NWDSContextHandle src, NWDSContextHandle *dest);
NWDSCCODE free_context(NWDSContextHandle context);
NWDSCCODE get_context(NWDSContextHandle context, nint32 key, void *value);
NWDSCCODE set_context(NWDSContextHandle context, nint32 key, const void *value);
NWDSCCODE get_def_name_context(NWDSContextHandle context, nuint32 nameContextLen,
                               pnstr8 nameContext);
NWDSCCODE set_def_name_context(NWDSContextHandle context, nuint32 nameContextLen,
                               const nstr8 *nameContext);
NWCCODE get_default_name_context(nuint16 bufferSize, nuint8 *context);
NWCCODE set_default_name_context(nuint16 contextLength, const nuint8 *context);

/* Forgets the default set by NWSetDefaultNameContext, so that the configured
   one applies again (for tests). */
void forget_default_name_context();

} // namespace nwc

#endif /* NWC_CONTEXT_H */
