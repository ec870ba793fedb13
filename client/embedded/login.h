/*
 * login.h - the engines of the public login, authentication and password
 * functions (login.cpp).
 *
 * A context logs in as one directory object: NWDSLogin records the object's
 * name and entry in the context (Context::identity, identity_entry), a
 * duplicate copies it, NWDSLogout and freeing the context forget it.  The
 * identity is what NWDSWhoAmI names and what rights checks act for; a
 * context that has not logged in acts as [Public].
 *
 * Names are resolved through the calling context; each password change is
 * one transaction on the store.  Passwords are kept only as the store's
 * salted hashes and never leave these functions.
 *
 * Status codes chosen where the published documentation leaves one:
 *  - an object that does not exist: ERR_NO_SUCH_ENTRY;
 *  - NWDSLogin with a wrong password, or for an object without a password:
 *    ERR_FAILED_AUTHENTICATION;
 *  - NWDSLogin with the right password for an object whose "Login Disabled"
 *    is true: ERR_ACCOUNT_DISABLED (-220) (the password is checked first,
 *    so the state of an account is not told to a caller who does not know
 *    its password);
 *  - NWDSLogout, NWDSCanDSAuthenticate on a context that has not logged in:
 *    ERR_NOT_LOGGED_IN;
 *  - NWDSVerifyObjectPassword, NWDSChangeObjectPassword with a wrong (old)
 *    password: ERR_FAILED_AUTHENTICATION.  As the published functions say,
 *    an object without a password has the empty password there: "" verifies
 *    and is the old password to give when setting its first one.  An empty
 *    new password removes the password (the object can no longer log in).
 *
 * NWDSGenerateObjectKeyPair sets the object's password (an empty one removes
 * it); no key pair is made or stored: nothing in this library uses one.
 * Rights (rights.h): NWDSGenerateObjectKeyPair needs the supervisor right on
 * the object (ERR_NO_ACCESS otherwise, nothing changed); changing a password
 * with the old one needs no right beyond finding the object.  Names must
 * be of objects the context's identity may browse, as everywhere.
 */
#ifndef NWC_LOGIN_H
#define NWC_LOGIN_H

#include "nwclient.h"

namespace nwc {

NWDSCCODE login(NWDSContextHandle context, nflag32 optionsFlag, const nstr8 *objectName,
                const nstr8 *password, nuint32 validityPeriod);
NWDSCCODE logout(NWDSContextHandle context);
NWDSCCODE can_ds_authenticate(NWDSContextHandle context);
/* 1 when some context of the process has logged in, else 0. */
nint32 is_ds_authenticated();
NWDSCCODE change_object_password(NWDSContextHandle context, nflag32 optionsFlag,
                                 const nstr8 *objectName, const nstr8 *oldPassword,
                                 const nstr8 *newPassword);
NWDSCCODE verify_object_password(NWDSContextHandle context, nflag32 optionsFlag,
                                 const nstr8 *objectName, const nstr8 *password);
NWDSCCODE generate_object_key_pair(NWDSContextHandle context, const nstr8 *objectName,
                                   const nstr8 *objectPassword, nflag32 optionsFlag);

} // namespace nwc

#endif /* NWC_LOGIN_H */
