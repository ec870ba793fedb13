// names_xs.cpp - name utilities: abbreviate, canonicalise, strip types,
// replace attribute abbreviations, compare, look up syntax ids, map ids to
// names, resolve names, and tell who a context is logged in as.
//
// Every name area has room for the longest name the client writes
// (MAX_DN_BYTES, terminator included), so no result can overrun its area.
#include "frame/registry.h"

namespace vorla {
namespace {

constexpr std::size_t kAbbreviateArea = 1032;
constexpr std::size_t kNameArea = 514;
static_assert(kNameArea >= MAX_DN_BYTES && kAbbreviateArea >= MAX_DN_BYTES);

const SubEntry kSubs[] = {
    bind<"NWDSAbbreviateName", Form::Value, NWDSAbbreviateName, Int<"context">, Str<"inName">,
         OutText<kAbbreviateArea>>(),
    bind<"NWDSCanonicalizeName", Form::Value, NWDSCanonicalizeName, Int<"context">, Str<"objectName">,
         OutText<kNameArea>>(),
    bind<"NWDSRemoveAllTypes", Form::Value, NWDSRemoveAllTypes, Int<"context">, Str<"name">, OutText<kNameArea>>(),
    bind<"NWDSReplaceAttrNameAbbrev", Form::Value, NWDSReplaceAttrNameAbbrev, Int<"context">, Str<"inStr">,
         OutText<kNameArea>>(),
    bind<"NWDSWhoAmI", Form::Value, NWDSWhoAmI, Int<"context">, OutText<kNameArea>>(),
    bind<"NWDSGetSyntaxID", Form::Value, NWDSGetSyntaxID, Int<"context">, Str<"attrName">, Out<nuint32>>(),
    bind<"NWDSCIStringsMatch", Form::Status, NWDSCIStringsMatch, Int<"context">, Str<"string1">, Str<"string2">,
         InOutInt<"matches">>(),
    bind<"NWDSMapIDToName", Form::Status, NWDSMapIDToName, Int<"context">, Int<"conn">, Int<"objectID">,
         InOutStr<"object", MAX_DN_BYTES>>(),
    bind<"NWDSResolveName", Form::Status, NWDSResolveName, Int<"context">, Str<"objectName">, InOutInt<"conn">,
         InOutInt<"objectID">>(),
};

}  // namespace

const Family kNameSubs = family(kSubs);

}  // namespace vorla
