// readers_xs.cpp - the result-buffer readers: object and attribute counts,
// names with value counts and syntax ids, class definitions and items, syntax
// counts, partition and server entries.  The client keeps the read position.
#include "frame/registry.h"

namespace vorla {
namespace {

using B = BufClass;

constexpr std::size_t kObjectNameArea = 514;
constexpr std::size_t kAttrNameArea = 257;
static_assert(kObjectNameArea >= MAX_DN_BYTES && kAttrNameArea >= MAX_SCHEMA_NAME_BYTES);

const SubEntry kSubs[] = {
    bind<"NWDSGetObjectCount", Form::Value, NWDSGetObjectCount, Int<"context">, Handle<"buf", B>, Out<nuint32>>(),
    // The object information the client fills beside the name is not returned.
    bind<"NWDSGetObjectName", Form::Value, NWDSGetObjectName, Int<"context">, Handle<"buf", B>,
         OutText<kObjectNameArea>, Out<nuint32>, Area<sizeof(Object_Info_T)>>(),
    bind<"NWDSGetAttrCount", Form::Value, NWDSGetAttrCount, Int<"context">, Handle<"buf", B>, Out<nuint32>>(),
    bind<"NWDSGetAttrName", Form::Value, NWDSGetAttrName, Int<"context">, Handle<"buf", B>,
         OutText<kAttrNameArea>, Out<nuint32>, Out<nuint32>>(),
    bind<"NWDSGetClassDefCount", Form::Status, NWDSGetClassDefCount,
         Int<"context">, Handle<"buf", B>, InOutInt<"classDefCount">>(),
    bind<"NWDSGetClassDef", Form::Status, NWDSGetClassDef, Int<"context">, Handle<"buf", B>,
         InOutStr<"className", MAX_SCHEMA_NAME_BYTES>, HandleReset<"classInfo", ClassInfoClass>>(),
    bind<"NWDSGetClassItemCount", Form::Status, NWDSGetClassItemCount,
         Int<"context">, Handle<"buf", B>, InOutInt<"itemCount">>(),
    bind<"NWDSGetClassItem", Form::Status, NWDSGetClassItem,
         Int<"context">, Handle<"buf", B>, InOutStr<"itemName", MAX_DN_BYTES>>(),
    bind<"NWDSGetSyntaxCount", Form::Status, NWDSGetSyntaxCount,
         Int<"context">, Handle<"buf", B>, InOutInt<"syntaxCount">>(),
    bind<"NWDSGetPartitionInfo", Form::Status, NWDSGetPartitionInfo, Int<"context">, Handle<"buf", B>,
         InOutStr<"partitionName", MAX_DN_BYTES>, InOutInt<"replicaType">>(),
    bind<"NWDSGetServerName", Form::Status, NWDSGetServerName, Int<"context">, Handle<"buf", B>,
         InOutStr<"serverName", MAX_DN_BYTES>, InOutInt<"partitionCount">>(),
};

}  // namespace

const Family kReaderSubs = family(kSubs);

}  // namespace vorla
