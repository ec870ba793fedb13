// contexts_xs.cpp - directory contexts: create, duplicate, free, read and change
// their settings, and the client's default name context.
//
// NWDSGetContext and NWDSSetContext are written out by hand: the key decides
// whether the setting travels as an integer or as a text, and any other key
// stops the script before the client is called.
#include "frame/registry.h"

namespace vorla {
namespace {

// Text settings are read into an area of this size.
constexpr std::size_t kContextTextArea = 514;

bool integer_key(int32_t key) {
  return key == DCK_FLAGS || key == DCK_CONFIDENCE || key == DCK_REFERRAL_SCOPE || key == DCK_LAST_CONNECTION;
}
bool text_key(int32_t key) { return key == DCK_NAME_CONTEXT || key == DCK_TREE_NAME; }

[[noreturn]] void illegal_key(pTHX_ int32_t key) {
  // Ends in a line feed, so the interpreter adds no location.
  Perl_croak(aTHX_ "Illegal key type received in GetAttrVal: %d.\n", static_cast<int>(key));
}

using GetContextSig = Signature<"NWDSGetContext", Int<"context">, Int<"key">>;
XS_INTERNAL(xs_NWDSGetContext) {
  dXSARGS;
  GetContextSig::check(aTHX_ items);
  SP -= items;
  const int32_t context = to_i32(aTHX_ ST(0));
  const int32_t key = to_i32(aTHX_ ST(1));
  if (integer_key(key)) {
    int32_t value = 0;
    last_status = NWDSGetContext(context, key, &value);
    if (last_status == 0)
      mXPUSHi(value);
    else
      XPUSHs(&PL_sv_undef);
  } else if (text_key(key)) {
    char area[kContextTextArea];
    area[0] = 0;
    last_status = NWDSGetContext(context, key, area);
    area[sizeof area - 1] = 0;
    if (last_status == 0)
      mXPUSHs(newSVpv(area, 0));
    else
      XPUSHs(&PL_sv_undef);
  } else {
    illegal_key(aTHX_ key);
  }
  PUTBACK;
}

using SetContextSig = Signature<"NWDSSetContext", Int<"context">, Int<"key">, Int<"value">>;
XS_INTERNAL(xs_NWDSSetContext) {
  dXSARGS;
  SetContextSig::check(aTHX_ items);
  const int32_t context = to_i32(aTHX_ ST(0));
  const int32_t key = to_i32(aTHX_ ST(1));
  int32_t status;
  if (integer_key(key)) {
    const int32_t value = to_i32(aTHX_ ST(2));
    status = NWDSSetContext(context, key, &value);
  } else if (text_key(key)) {
    status = NWDSSetContext(context, key, to_text(aTHX_ ST(2)));
  } else {
    illegal_key(aTHX_ key);
  }
  VORLA_RETURN_INT(status);
}

const SubEntry kSubs[] = {
    bind<"NWDSCreateContext", Form::Direct, NWDSCreateContext>(),
    bind<"NWDSCreateContextHandle", Form::Value, NWDSCreateContextHandle, Out<int32_t>>(),
    bind<"NWDSDuplicateContext", Form::Direct, NWDSDuplicateContext, Int<"oldContext">>(),
    bind<"NWDSDuplicateContextHandle", Form::Status, NWDSDuplicateContextHandle,
         Int<"srcContextHandle">, InOutInt<"destContextHandle">>(),
    bind<"NWDSFreeContext", Form::Status, NWDSFreeContext, Int<"contextHandle">>(),
    custom<GetContextSig, xs_NWDSGetContext>(),
    custom<SetContextSig, xs_NWDSSetContext>(),
    bind<"NWDSGetDefNameContext", Form::Value, NWDSGetDefNameContext,
         Int<"context">, Fixed<nuint32{kContextTextArea}>, OutText<kContextTextArea>>(),
    bind<"NWDSSetDefNameContext", Form::Status, NWDSSetDefNameContext,
         Int<"context">, Int<"nameContextLen">, Str<"nameContext">>(),
    // The first argument is required but never read: the client always gets
    // the full 256-byte area.
    bind<"NWGetDefaultNameContext", Form::Status, NWGetDefaultNameContext,
         Unused<"bufferSize">, Fixed<nuint16{256}>, InOutStr<"context", 256>>(),
    bind<"NWSetDefaultNameContext", Form::Status, NWSetDefaultNameContext,
         U16<"contextLength">, Str<"context">>(),
};

}  // namespace

const Family kContextSubs = family(kSubs);

}  // namespace vorla
