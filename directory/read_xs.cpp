// read_xs.cpp - reading and searching: read an entry's attributes, its
// distinguished name and object information, the references a server holds,
// search a subtree, compare a value, inspect an entry.
#include "frame/registry.h"

namespace vorla {
namespace {

using B = BufClass;

const SubEntry kSubs[] = {
    bind<"NWDSRead", Form::Value, NWDSRead, Int<"context">, Str<"object">, Int<"infoType">, U8<"allAttrs">,
         Handle<"attrNames", B>, Iter<"iterationHandle">, Handle<"objectInfo", B>>(),
    bind<"NWDSReadObjectInfo", Form::Status, NWDSReadObjectInfo, Int<"context">, Str<"object">,
         InOutStr<"distinguishedName", MAX_DN_BYTES>, HandleReset<"objectInfo", ObjectInfoClass>>(),
    bind<"NWDSReadReferences", Form::Status, NWDSReadReferences, Int<"context">, Str<"serverName">,
         Str<"objectName">, Int<"infoType">, U8<"allAttrs">, Handle<"attrNames", B>, Int<"timeFilter">,
         InOutInt<"iterationHandle">, HandleReset<"objectInfo", B>>(),
    bind<"NWDSSearch", Form::Status, NWDSSearch, Int<"context">, Str<"baseObjectName">, Int<"scope">,
         U8<"searchAliases">, Handle<"filter", B>, Int<"infoType">, U8<"allAttrs">, Handle<"attrNames", B>,
         InOutInt<"iterationHandle">, Int<"countObjectsToSearch">, InOutInt<"countObjectsSearched">,
         HandleReset<"objectInfo", B>>(),
    bind<"NWDSCompare", Form::Value, NWDSCompare, Int<"context">, Str<"objectName">, Handle<"buf", B>,
         Out<nbool8>>(),
    bind<"NWDSInspectEntry", Form::Status, NWDSInspectEntry, Int<"context">, Str<"serverName">,
         Str<"objectName">, HandleReset<"errBuffer", B>>(),
};

}  // namespace

const Family kReadSubs = family(kSubs);

}  // namespace vorla
