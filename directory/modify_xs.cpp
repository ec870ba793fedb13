// modify_xs.cpp - changing the directory: add, modify, rename, move, remove,
// back up and restore entries, and manage security equivalences.
//
// NWDSRestoreObject is written out by hand: the backup data comes as the
// bytes of a string, and the client is never told of more bytes than the
// string holds.
#include "frame/registry.h"

namespace vorla {
namespace {

using B = BufClass;

using RestoreSig = Signature<"NWDSRestoreObject", Int<"context">, Str<"objectName">, InOutInt<"iterationHandle">,
                             U8<"more">, Int<"size">, Unused<"objectInfo">>;
XS_INTERNAL(xs_NWDSRestoreObject) {
  dXSARGS;
  PERL_UNUSED_VAR(cv);
  RestoreSig::check(aTHX_ items);
  const int32_t context = to_i32(aTHX_ ST(0));
  const char* name = to_text(aTHX_ ST(1));
  int32_t iteration = to_i32(aTHX_ ST(2));
  const auto more = static_cast<nbool8>(to_i32(aTHX_ ST(3)));
  const int32_t size = to_i32(aTHX_ ST(4));
  STRLEN len = 0;
  const char* data = SvPV(ST(5), len);
  const nuint32 passed = size < 0 ? 0 : (static_cast<STRLEN>(size) > len ? static_cast<nuint32>(len)
                                                                       : static_cast<nuint32>(size));
  const int32_t status = NWDSRestoreObject(context, name, &iteration, more, passed,
                                           reinterpret_cast<const nuint8*>(data));
  sv_setiv(ST(2), iteration);
  VORLA_RETURN_INT(status);
}

const SubEntry kSubs[] = {
    bind<"NWDSAddObject", Form::Value, NWDSAddObject, Int<"context">, Str<"objectName">, Iter<"iterationHandle">,
         U8<"more">, Handle<"objectInfo", B>>(),
    bind<"NWDSModifyObject", Form::Value, NWDSModifyObject, Int<"context">, Str<"objectName">,
         Iter<"iterationHandle">, U8<"more">, Handle<"changes", B>>(),
    bind<"NWDSModifyDN", Form::Status, NWDSModifyDN, Int<"context">, Str<"objectName">, Str<"newDN">,
         U8<"deleteOldRDN">>(),
    bind<"NWDSModifyRDN", Form::Status, NWDSModifyRDN, Int<"context">, Str<"objectName">, Str<"newDN">,
         U8<"deleteOldRDN">>(),
    bind<"NWDSMoveObject", Form::Status, NWDSMoveObject, Int<"context">, Str<"objectName">, Str<"destParentDN">,
         Str<"destRDN">>(),
    bind<"NWDSRemoveObject", Form::Status, NWDSRemoveObject, Int<"context">, Str<"object">>(),
    bind<"NWDSBackupObject", Form::Status, NWDSBackupObject, Int<"context">, Str<"objectName">,
         InOutInt<"iterationHandle">, HandleReset<"objectInfo", B>>(),
    custom<RestoreSig, xs_NWDSRestoreObject>(),
    bind<"NWDSAddSecurityEquiv", Form::Status, NWDSAddSecurityEquiv, Int<"context">, Str<"equalFrom">,
         Str<"equalTo">>(),
    bind<"NWDSRemSecurityEquiv", Form::Status, NWDSRemSecurityEquiv, Int<"context">, Str<"equalFrom">,
         Str<"equalTo">>(),
};

}  // namespace

const Family kModifySubs = family(kSubs);

}  // namespace vorla
