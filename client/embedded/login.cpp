/*
 * login.cpp - logging contexts in and out, and the password functions
 * (login.h).
 */
#include "login.h"

#include <mutex>
#include <string>

#include "context.h"
#include "entries.h"
#include "rights.h"

namespace nwc {

namespace {

/* The entry `objectName` names through the context; ERR_NO_SUCH_ENTRY when
   there is none.  Caller holds the directory lock. */
NWDSCCODE find_object(NWDSContextHandle context, const char *objectName, Op &op, EntryId &id) {
  if (NWDSCCODE st = begin_op(context, op)) return st;
  return find_entry(op, objectName, id);
}

/* True when the entry's "Login Disabled" holds true. */
Expected<bool> login_disabled(Store &store, EntryId id) {
  auto vals = store.values(id, "Login Disabled");
  if (!vals) {
    if (vals.status() == ERR_NO_SUCH_ATTRIBUTE) return false;
    return fail(vals.status());
  }
  for (const StoredValue &v : *vals)
    if (!v.value.nums.empty() && v.value.nums[0] != 0) return true;
  return false;
}

/* 0 when `password` is the entry's password, or is empty and the entry has
   none; ERR_FAILED_AUTHENTICATION otherwise. */
NWDSCCODE password_matches(Store &store, EntryId id, const char *password) {
  auto has = store.has_password(id);
  if (!has) return has.status();
  if (!*has) return *password == '\0' ? 0 : ERR_FAILED_AUTHENTICATION;
  return store.check_password(id, password);
}

/* Sets the entry's password; an empty one removes it. */
NWDSCCODE store_password(Store &store, EntryId id, const char *password) {
  return *password == '\0' ? store.clear_password(id) : store.set_password(id, password);
}

} // namespace

NWDSCCODE login(NWDSContextHandle context, nflag32 /*optionsFlag*/, const nstr8 *objectName,
                const nstr8 *password, nuint32 /*validityPeriod*/) {
  std::string name;
  EntryId id = kNoEntry;
  {
    std::lock_guard<std::recursive_mutex> g(directory_lock());
    Op op;
    if (NWDSCCODE st = find_object(context, objectName, op, id)) return st;
    if (NWDSCCODE st = op.store->check_password(id, password)) return st;
    auto disabled = login_disabled(*op.store, id);
    if (!disabled) return disabled.status();
    if (*disabled) return ERR_ACCOUNT_DISABLED;
    auto dn = op.store->dn_of(id);
    if (!dn) return dn.status();
    name = format_dn(*dn, false);
  }
  return with_context(context, [&](Context &c) -> NWDSCCODE {
    c.identity = name;
    c.identity_entry = id;
    return 0;
  });
}

NWDSCCODE logout(NWDSContextHandle context) {
  return with_context(context, [](Context &c) -> NWDSCCODE {
    if (c.identity.empty()) return ERR_NOT_LOGGED_IN;
    c.identity.clear();
    c.identity_entry = 0;
    return 0;
  });
}

NWDSCCODE can_ds_authenticate(NWDSContextHandle context) {
  return with_context(context, [](Context &c) -> NWDSCCODE {
    return c.identity.empty() ? ERR_NOT_LOGGED_IN : 0;
  });
}

nint32 is_ds_authenticated() { return any_context_logged_in() ? 1 : 0; }

NWDSCCODE change_object_password(NWDSContextHandle context, nflag32 /*optionsFlag*/,
                                 const nstr8 *objectName, const nstr8 *oldPassword,
                                 const nstr8 *newPassword) {
  std::lock_guard<std::recursive_mutex> g(directory_lock());
  Op op;
  EntryId id = kNoEntry;
  if (NWDSCCODE st = find_object(context, objectName, op, id)) return st;
  Transaction tx(*op.store);
  if (NWDSCCODE st = tx.status()) return st;
  if (NWDSCCODE st = password_matches(*op.store, id, oldPassword)) return st;
  if (NWDSCCODE st = store_password(*op.store, id, newPassword)) return st;
  return tx.commit();
}

NWDSCCODE verify_object_password(NWDSContextHandle context, nflag32 /*optionsFlag*/,
                                 const nstr8 *objectName, const nstr8 *password) {
  std::lock_guard<std::recursive_mutex> g(directory_lock());
  Op op;
  EntryId id = kNoEntry;
  if (NWDSCCODE st = find_object(context, objectName, op, id)) return st;
  return password_matches(*op.store, id, password);
}

NWDSCCODE generate_object_key_pair(NWDSContextHandle context, const nstr8 *objectName,
                                   const nstr8 *objectPassword, nflag32 /*optionsFlag*/) {
  std::lock_guard<std::recursive_mutex> g(directory_lock());
  Op op;
  EntryId id = kNoEntry;
  if (NWDSCCODE st = find_object(context, objectName, op, id)) return st;
  if (NWDSCCODE st = check_entry(op, id, DS_ENTRY_SUPERVISOR)) return st;
  return store_password(*op.store, id, objectPassword);
}

} // namespace nwc
