// buffers_xs.cpp - buffer handles and request building: allocate, initialise
// and free buffers, and put attribute names, changes and class items into them.
#include "frame/registry.h"

namespace vorla {
namespace {

using B = BufClass;

const SubEntry kSubs[] = {
    bind<"NWDSAllocBuf", Form::Status, NWDSAllocBuf, Int<"size">, HandleOut<"pBuf", B>>(),
    bind<"NWDSInitBuf", Form::Status, NWDSInitBuf, Int<"context">, Int<"flag">, HandleReset<"pBuf", B>>(),
    bind<"NWDSFreeBuf", Form::Status, NWDSFreeBuf, Handle<"pBuf", B>>(),
    bind<"NWDSPutAttrName", Form::Status, NWDSPutAttrName, Int<"context">, Handle<"buf", B>, Str<"attrName">>(),
    bind<"NWDSPutChange", Form::Status, NWDSPutChange,
         Int<"context">, Handle<"buf", B>, Int<"changeType">, Str<"attrName">>(),
    bind<"NWDSBeginClassItem", Form::Status, NWDSBeginClassItem, Int<"context">, Handle<"buf", B>>(),
    bind<"NWDSPutClassItem", Form::Status, NWDSPutClassItem, Int<"context">, Handle<"buf", B>, Str<"itemName">>(),
    // Class and syntax lists are class-item lists under the names scripts use.
    bind<"NWDSPutClassName", Form::Status, NWDSPutClassItem, Int<"context">, Handle<"buf", B>, Str<"itemName">>(),
    bind<"NWDSPutSyntaxName", Form::Status, NWDSPutClassItem,
         Int<"context">, Handle<"buf", B>, Str<"syntaxName">>(),
};

}  // namespace

const Family kBufferSubs = family(kSubs);

}  // namespace vorla
