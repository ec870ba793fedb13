// frame_xs.cpp - the bootstrap, the two fatal stops, the last status and the
// constant lookup: the parts of the module that every sub shares.
//
// The bootstrap checks the module version as text, byte for byte, then
// installs every sub of every family with its prototype.  It is the only
// symbol the shared object exports (under two names).
#include "frame/constants.h"
#include "frame/registry.h"

#ifndef VORLA_VERSION_TEXT
#error "VORLA_VERSION_TEXT must be defined by the build"
#endif

namespace vorla {

void usage_stop(pTHX_ const char* usage) { Perl_croak(aTHX_ "%s", usage); }

void class_stop(pTHX_ const char* arg, const char* cls) {
  Perl_croak(aTHX_ "%s is not of type %s", arg, cls);
}

namespace {

using GetLastErrSig = Signature<"GetLastErr">;
XS_INTERNAL(xs_GetLastErr) {
  dXSARGS;
  GetLastErrSig::check(aTHX_ items);
  VORLA_RETURN_INT(last_status);
}

// Vorla::constant(name, arg): the value as a floating-point number, or 0 with
// errno set to EINVAL when the name is not in the table.
using ConstantSig = Signature<"constant", Str<"name">, Int<"arg">, TightUsage>;
XS_INTERNAL(xs_constant) {
  dXSARGS;
  ConstantSig::check(aTHX_ items);
  STRLEN len = 0;
  const char* name = SvPV(ST(0), len);
  (void)to_i32(aTHX_ ST(1));  // converted, not used by the lookup
  const Constant* c = find_constant(name, len);
  dXSTARG;
  XSprePUSH;
  EXTEND(SP, 1);
  PUSHn(c ? c->value : 0.0);
  errno = c ? 0 : EINVAL;
  XSRETURN(1);
}

const SubEntry kSubs[] = {
    custom<GetLastErrSig, xs_GetLastErr>(),
    custom<ConstantSig, xs_constant>(),
};

const Family* const kFamilies[] = {
    &kFrameSubs,     &kContextSubs,  &kStartupSubs, &kBufferSubs,     &kSyntaxSubs,     &kAttrValueSubs,
    &kReaderSubs,    &kReadSubs,     &kListSubs,    &kModifySubs,     &kRightsSubs,     &kStreamSubs,
    &kNameSubs,      &kLoginSubs,    &kConnectionSubs, &kPartitionSubs, &kSchemaSubs,
};

constexpr char kVersion[] = VORLA_VERSION_TEXT;
constexpr char kSourceFile[] = "Vorla.c";

// The version check: the second argument when given, else the package's
// $XS_VERSION, else its $VERSION; no check when none of them exists.
void check_version(pTHX_ I32 items, SV** args) {
  const char* module = SvPV_nolen(args[0]);
  SV* version = nullptr;
  const char* var = "";
  if (items >= 2) {
    version = args[1];
  } else {
    var = "XS_VERSION";
    version = get_sv(Perl_form(aTHX_ "%s::%s", module, var), 0);
    if (!version || !SvOK(version)) {
      var = "VERSION";
      version = get_sv(Perl_form(aTHX_ "%s::%s", module, var), 0);
    }
  }
  if (!version) return;
  STRLEN len = 0;
  const char* text = SvOK(version) ? SvPV(version, len) : "";
  if (!SvOK(version) || len != sizeof(kVersion) - 1 || std::memcmp(text, kVersion, len) != 0)
    Perl_croak(aTHX_ "%s object version %s does not match $%s::%s %s", module, kVersion, module, var, text);
}

}  // namespace

const Family kFrameSubs = family(kSubs);

}  // namespace vorla

// The loader finds the bootstrap under either name.
extern "C" __attribute__((visibility("default"))) void boot_Vorla(pTHX_ CV* cv);
extern "C" __attribute__((visibility("default"))) void _boot_Vorla(pTHX_ CV* cv) __attribute__((alias("boot_Vorla")));

extern "C" void boot_Vorla(pTHX_ CV* cv) {
  using namespace vorla;
  dXSARGS;
  PERL_UNUSED_VAR(cv);
  check_version(aTHX_ items, &ST(0));
  char full[128];
  for (const Family* fam : kFamilies) {
    for (std::size_t i = 0; i < fam->count; ++i) {
      const SubEntry& e = fam->subs[i];
      std::snprintf(full, sizeof full, "Vorla::%s", e.name);
      newXS_flags(full, e.xsub, kSourceFile, e.proto, 0);
    }
  }
  XSRETURN_YES;
}
