// startup_xs.cpp - starting and releasing the client libraries, the locale
// record, the Unicode tables and the library version.
//
// None of these subs touches the last status.  NWLlocaleconv is written out by
// hand: it reads two fields of the client's 128-byte locale record.
#include "frame/registry.h"

namespace vorla {
namespace {

// Room for what the client may write into NWNetInit's out argument.
constexpr std::size_t kNetInitOutArea = 256;

constexpr std::size_t kCodePageOffset = 56;
constexpr std::size_t kCountryOffset = 60;
static_assert(offsetof(LCONV, code_page) == kCodePageOffset);
static_assert(offsetof(LCONV, country_id) == kCountryOffset);
static_assert(sizeof(LCONV) == NW_LOCALE_RECORD_BYTES);

using LocaleSig = Signature<"NWLlocaleconv">;
XS_INTERNAL(xs_NWLlocaleconv) {
  dXSARGS;
  LocaleSig::check(aTHX_ items);
  SP -= items;
  LCONV record;
  std::memset(&record, 0, sizeof record);  // a failing client leaves zeros, not stack bytes
  (void)NWLlocaleconv(&record);
  EXTEND(SP, 2);
  mPUSHi(static_cast<IV>(record.code_page));
  mPUSHi(static_cast<IV>(record.country_id));
  PUTBACK;
}

const SubEntry kSubs[] = {
    // Both arguments go through the numeric conversion, then the client gets
    // two null pointers.
    bind<"NWCallsInit", Form::Status, NWCallsInit,
         IntUnused<"unused1">, IntUnused<"unused2">, TightUsage, NullPtr, NullPtr>(),
    bind<"NWCallsTerm", Form::Status, NWCallsTerm, Unused<"unused1">, NullPtr>(),
    custom<LocaleSig, xs_NWLlocaleconv>(),
    bind<"NWInitUnicodeTables", Form::Status, NWInitUnicodeTables, Int<"countryCode">, Int<"codePage">>(),
    bind<"NWFreeUnicodeTables", Form::Status, NWFreeUnicodeTables>(),
    bind<"NWGetNWNetVersion", Form::List, NWGetNWNetVersion,
         Unused<"void">, Out<nuint8>, Out<nuint8>, Out<nuint8>, Out<nuint8>>(),
    bind<"NWNetInit", Form::Status, NWNetInit, Raw<"in">, RawOut<"out", kNetInitOutArea>>(),
    bind<"NWNetTerm", Form::Status, NWNetTerm, Raw<"reserved">>(),
};

}  // namespace

const Family kStartupSubs = family(kSubs);

}  // namespace vorla
