// syntax_xs.cpp - Vorla::IsNumType, Vorla::IsStringType, Vorla::IsMLType: a
// script asks which script form a syntax's values take.  No client call; the
// result is a truth value, not a status.
#include "frame/registry.h"
#include "values/syntax.h"

namespace vorla {
namespace {

template <class Sig, SyntaxClass C>
void xs_is_class(pTHX_ CV* cv) {
  dXSARGS;
  PERL_UNUSED_VAR(cv);
  Sig::check(aTHX_ items);
  const auto id = static_cast<uint32_t>(to_i32(aTHX_ ST(0)));
  VORLA_RETURN_INT(SyntaxClassOf(id) == C ? 1 : 0);
}

template <Text Name, SyntaxClass C>
constexpr SubEntry is_class() {
  using Sig = Signature<Name, Int<"syntaxId">>;
  return custom<Sig, xs_is_class<Sig, C>>();
}

const SubEntry kSubs[] = {
    is_class<"IsNumType", SyntaxClass::Integer>(),
    is_class<"IsStringType", SyntaxClass::String>(),
    is_class<"IsMLType", SyntaxClass::Structured>(),
};

}  // namespace

const Family kSyntaxSubs = family(kSubs);

}  // namespace vorla
