// attrval_xs.cpp - attribute values crossing the boundary: NWDSGetAttrVal turns
// the client's native value into an integer, a string or value text by the
// syntax class; NWDSPutAttrVal does the reverse; NWDSComputeAttrValSize is the
// plain size query and TestFunc a sub without effect.
//
// Memory: the native value area is held on the save stack between ENTER and
// LEAVE, so it is released before the sub returns and also when a __WARN__
// handler turns the unknown-syntax warning into a fatal error.  Value text is
// built in a growable string, so a value of any size comes back whole.  A
// parsed value is released right after the client call, whatever its status.
#include <new>

#include "frame/registry.h"
#include "values/parse.h"
#include "values/render.h"
#include "values/syntax.h"

namespace vorla {
namespace {

using B = BufClass;

SV* rendered_value(pTHX_ const void* area, uint32_t syntax) {
  try {
    std::string text;
    RenderAttrValue(area, syntax, text);
    return newSVpvn(text.data(), text.size());
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

using GetAttrValSig = Signature<"NWDSGetAttrVal", Int<"context">, Handle<"buf", B>, Int<"syntaxID">>;
XS_INTERNAL(xs_NWDSGetAttrVal) {
  dXSARGS;
  PERL_UNUSED_VAR(cv);
  GetAttrValSig::check(aTHX_ items);
  SP -= items;
  const int32_t context = to_i32(aTHX_ ST(0));
  const auto syntax = static_cast<uint32_t>(to_i32(aTHX_ ST(2)));
  auto* buf = static_cast<Buf_T*>(to_handle(aTHX_ ST(1), "buf", B::name));

  nuint32 size = 0;
  last_status = NWDSComputeAttrValSize(context, buf, syntax, &size);
  if (last_status != 0) {
    XPUSHs(&PL_sv_undef);
    PUTBACK;
    return;
  }
  ENTER;
  char* area;
  Newx(area, size ? size : 1, char);
  SAVEFREEPV(area);
  last_status = NWDSGetAttrVal(context, buf, syntax, area);
  SV* result = &PL_sv_undef;
  if (last_status == 0) {
    switch (SyntaxClassOf(syntax)) {
      case SyntaxClass::Integer: {
        // A cell narrower than four bytes is widened with zeros.
        uint32_t bits = 0;
        std::memcpy(&bits, area, size < sizeof bits ? size : sizeof bits);
        result = sv_2mortal(newSViv(static_cast<IV>(static_cast<int32_t>(bits))));
        break;
      }
      case SyntaxClass::String:
        result = sv_2mortal(newSVpvn(area, strnlen(area, size)));
        break;
      case SyntaxClass::Structured: {
        SV* text = rendered_value(aTHX_ area, syntax);
        if (!text) Perl_croak_no_mem();
        result = sv_2mortal(text);
        break;
      }
      case SyntaxClass::NoValue:
        break;
      case SyntaxClass::Unsupported:
        Perl_warn(aTHX_ "NWDSGetAttrVal() called with unknown syntaxID: %lu\n", static_cast<unsigned long>(syntax));
        break;
    }
  }
  LEAVE;
  XPUSHs(result);
  PUTBACK;
}

[[noreturn]] void need_integer(pTHX_ int32_t syntax) {
  Perl_croak(aTHX_ "PutAttrVal() need Integer as parameter Attrval when syntaxId is %d.", static_cast<int>(syntax));
}
[[noreturn]] void need_string(pTHX_ int32_t syntax) {
  Perl_croak(aTHX_ "PutAttrVal() need String as parameter Attrval when syntaxId is %d.", static_cast<int>(syntax));
}

// A plain string scalar: interpreter type exactly PV, holding a string.
bool plain_string(SV* sv) { return SvTYPE(sv) == SVt_PV && SvPOK(sv) && !SvROK(sv); }

using PutAttrValSig =
    Signature<"NWDSPutAttrVal", Int<"context">, Handle<"pBuf", B>, Int<"syntaxID">, Unused<"attrVal">>;
XS_INTERNAL(xs_NWDSPutAttrVal) {
  dXSARGS;
  PERL_UNUSED_VAR(cv);
  PutAttrValSig::check(aTHX_ items);
  const int32_t context = to_i32(aTHX_ ST(0));
  const int32_t syntax = to_i32(aTHX_ ST(2));
  SV* value = ST(3);
  auto* buf = static_cast<Buf_T*>(to_handle(aTHX_ ST(1), "pBuf", B::name));
  const auto id = static_cast<uint32_t>(syntax);

  int32_t status = 0;
  switch (SyntaxClassOf(id)) {
    case SyntaxClass::Integer: {
      // Exactly an integer scalar: not a numeric string, a float, undef, or a
      // reference (which the interpreter also keeps in an integer body).
      if (SvTYPE(value) != SVt_IV || !SvIOK(value) || SvROK(value)) need_integer(aTHX_ syntax);
      const auto cell = static_cast<int32_t>(SvIVX(value));
      status = NWDSPutAttrVal(context, buf, id, &cell);
      break;
    }
    case SyntaxClass::String:
      if (!plain_string(value)) need_string(aTHX_ syntax);
      status = NWDSPutAttrVal(context, buf, id, SvPVX(value));
      break;
    case SyntaxClass::Structured: {
      if (!plain_string(value)) need_string(aTHX_ syntax);
      // The value text is split in place in the script's own variable.  A
      // shared (copy-on-write) buffer is made the variable's own first; a
      // read-only scalar is never written: its text is read from a copy.
      ENTER;
      char* text;
      STRLEN len;
      if (SvREADONLY(value)) {
        len = SvCUR(value);
        Newx(text, len + 1, char);
        SAVEFREEPV(text);
        std::memcpy(text, SvPVX(value), len + 1);
      } else {
        text = SvPV_force(value, len);
      }
      void* parsed = ParseAttrValue(text, len, id);
      if (!parsed) {
        LEAVE;
        Perl_croak(aTHX_ "PutAttrVal() could not decode syntaxID: %d.\n", static_cast<int>(syntax));
      }
      status = NWDSPutAttrVal(context, buf, id, parsed);
      FreeParsedValue(parsed, id);
      LEAVE;
      break;
    }
    case SyntaxClass::NoValue:
      status = NWDSPutAttrVal(context, buf, id, nullptr);
      break;
    case SyntaxClass::Unsupported:
      Perl_croak(aTHX_ "PutAttrVal(x, x, %d, x) called with unknown syntaxID.", static_cast<int>(syntax));
  }
  VORLA_RETURN_INT(status);
}

const SubEntry kSubs[] = {
    bind<"NWDSComputeAttrValSize", Form::Status, NWDSComputeAttrValSize,
         Int<"context">, Handle<"buf", B>, Int<"syntaxID">, InOutInt<"attrValSize">>(),
    // Converts its arguments and tests its handle, then answers 1 without a
    // client call.
    bind<"TestFunc", Form::Direct, [](Buf_T*) { return 1; },
         IntUnused<"context">, Handle<"buf", B>, IntUnused<"attr1">, Unused<"outbuf">>(),
    custom<GetAttrValSig, xs_NWDSGetAttrVal>(),
    custom<PutAttrValSig, xs_NWDSPutAttrVal>(),
};

}  // namespace

const Family kAttrValueSubs = family(kSubs);

}  // namespace vorla
