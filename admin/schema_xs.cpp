// schema_xs.cpp - schema definitions: read attribute, class and syntax
// definitions, change a class's optional attributes, remove definitions, and
// synchronise a server's schema.
#include "frame/registry.h"

namespace vorla {
namespace {

using B = BufClass;

const SubEntry kSubs[] = {
    bind<"NWDSReadAttrDef", Form::Status, NWDSReadAttrDef, Int<"context">, Int<"infoType">, U8<"allAttrs">,
         Handle<"attrNames", B>, InOutInt<"iterationHandle">, HandleReset<"attrDefs", B>>(),
    bind<"NWDSReadClassDef", Form::Status, NWDSReadClassDef, Int<"context">, Int<"infoType">, U8<"allClasses">,
         Handle<"classNames", B>, InOutInt<"iterationHandle">, HandleReset<"classDefs", B>>(),
    bind<"NWDSReadSyntaxes", Form::Status, NWDSReadSyntaxes, Int<"context">, Int<"infoType">, U8<"allSyntaxes">,
         Handle<"syntaxNames", B>, InOutInt<"iterationHandle">, HandleReset<"syntaxDefs", B>>(),
    bind<"NWDSReadSyntaxDef", Form::Status, NWDSReadSyntaxDef, Int<"context">, Int<"syntaxID">,
         HandleReset<"syntaxDef", SyntaxInfoClass>>(),
    bind<"NWDSModifyClassDef", Form::Status, NWDSModifyClassDef, Int<"context">, Str<"className">,
         Handle<"optionalAttrs", B>>(),
    bind<"NWDSRemoveAttrDef", Form::Status, NWDSRemoveAttrDef, Int<"context">, Str<"attrName">>(),
    bind<"NWDSRemoveClassDef", Form::Status, NWDSRemoveClassDef, Int<"context">, Str<"className">>(),
    bind<"NWDSSyncSchema", Form::Status, NWDSSyncSchema, Int<"context">, Str<"server">, Int<"seconds">>(),
};

}  // namespace

const Family kSchemaSubs = family(kSubs);

}  // namespace vorla
