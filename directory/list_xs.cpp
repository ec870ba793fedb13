// list_xs.cpp - listing subordinates, containers and containable classes,
// counting entries, and closing an iteration early.
#include "frame/registry.h"

namespace vorla {
namespace {

using B = BufClass;

const SubEntry kSubs[] = {
    bind<"NWDSList", Form::Value, NWDSList, Int<"context">, Str<"object">, Iter<"iterationHandle">,
         Handle<"subordinates", B>>(),
    bind<"NWDSListByClassAndName", Form::Status, NWDSListByClassAndName, Int<"context">, Str<"objectName">,
         Str<"className">, Str<"subordinateName">, InOutInt<"iterationHandle">, HandleReset<"subordinates", B>>(),
    bind<"NWDSListContainableClasses", Form::Status, NWDSListContainableClasses, Int<"context">,
         Str<"parentObject">, InOutInt<"iterationHandle">, HandleReset<"containableClasses", B>>(),
    bind<"NWDSListContainers", Form::Status, NWDSListContainers, Int<"context">, Str<"object">,
         InOutInt<"iterationHandle">, HandleReset<"subordinates", B>>(),
    bind<"NWDSGetCountByClassAndName", Form::Status, NWDSGetCountByClassAndName, Int<"context">,
         Str<"objectName">, Str<"className">, Str<"subordinateName">, InOutInt<"count">>(),
    bind<"NWDSCloseIteration", Form::Status, NWDSCloseIteration, Int<"context">, Int<"iterationHandle">,
         Int<"operation">>(),
};

}  // namespace

const Family kListSubs = family(kSubs);

}  // namespace vorla
