// login_xs.cpp - logging in and out, authenticating, and object passwords and
// key pairs.  Passwords go straight to the client and are never kept.
#include "frame/registry.h"

namespace vorla {
namespace {

const SubEntry kSubs[] = {
    bind<"NWDSLogin", Form::Status, NWDSLogin, Int<"context">, Int<"optionsFlag">, Str<"objectName">,
         Str<"password">, Int<"validityPeriod">>(),
    bind<"NWDSLogout", Form::Status, NWDSLogout, Int<"context">>(),
    // Only the connection is read; the client always gets option 0 and no key.
    bind<"NWDSAuthenticate", Form::Status, NWDSAuthenticate, Int<"conn">, Unused<"optionsFlag">,
         Unused<"sessionKey">, Fixed<nflag32{0}>, NullPtr>(),
    bind<"NWDSCanDSAuthenticate", Form::Status, NWDSCanDSAuthenticate, Int<"context">>(),
    bind<"NWIsDSAuthenticated", Form::Status, NWIsDSAuthenticated>(),
    bind<"NWDSChangeObjectPassword", Form::Status, NWDSChangeObjectPassword, Int<"context">, Int<"optionsFlag">,
         Str<"objectName">, Str<"oldPassword">, Str<"newPassword">>(),
    bind<"NWDSVerifyObjectPassword", Form::Status, NWDSVerifyObjectPassword, Int<"contextHandle">,
         Int<"optionsFlag">, Str<"objectName">, Str<"password">>(),
    bind<"NWDSGenerateObjectKeyPair", Form::Status, NWDSGenerateObjectKeyPair, Int<"context">, Str<"objectName">,
         Str<"objectPassword">, Int<"optionsFlag">>(),
};

}  // namespace

const Family kLoginSubs = family(kSubs);

}  // namespace vorla
