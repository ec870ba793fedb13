// rights_xs.cpp - effective rights of a subject on an entry or its attributes,
// as plain integer masks.
#include "frame/registry.h"

namespace vorla {
namespace {

using B = BufClass;

const SubEntry kSubs[] = {
    bind<"NWDSGetEffectiveRights", Form::Status, NWDSGetEffectiveRights, Int<"context">, Str<"subjectName">,
         Str<"objectName">, Str<"attrName">, InOutInt<"privileges">>(),
    bind<"NWDSListAttrsEffectiveRights", Form::Status, NWDSListAttrsEffectiveRights, Int<"context">,
         Str<"objectName">, Str<"subjectName">, U8<"allAttrs">, Handle<"attrNames", B>,
         InOutInt<"iterationHandle">, HandleReset<"privilegeInfo", B>>(),
};

}  // namespace

const Family kRightsSubs = family(kSubs);

}  // namespace vorla
