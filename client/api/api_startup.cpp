/*
 * api_startup.cpp - the public start-up, locale and Unicode functions: one
 * call-layer line each (call.h); the work is in startup.cpp, locale.cpp and
 * unicode.cpp.
 */
#include "call.h"
#include "intl.h"

extern "C" {

NWCCODE NWCallsInit(void *in, void *out) { NWC_CALL(calls_init, opt(in), opt(out)); }

NWCCODE NWCallsTerm(void *reserved) { NWC_CALL(calls_term, opt(reserved)); }

LCONV *NWLlocaleconv(LCONV *lconvPtr) { NWC_CALL(fill_lconv, out(lconvPtr)); }

NWCCODE NWInitUnicodeTables(nint32 countryCode, nint32 codePage) {
  NWC_CALL(init_unicode_tables, countryCode, codePage);
}

NWCCODE NWFreeUnicodeTables(void) { NWC_CALL(free_unicode_tables); }

NWCCODE NWGetNWNetVersion(nuint8 *majorVersion, nuint8 *minorVersion,
                          nuint8 *revisionLevel, nuint8 *betaReleaseLevel) {
  NWC_CALL(get_net_version, out(majorVersion), out(minorVersion), out(revisionLevel),
           out(betaReleaseLevel));
}

NWDSCCODE NWNetInit(void *in, void *out) { NWC_CALL(net_init, opt(in), opt(out)); }

NWDSCCODE NWNetTerm(void *reserved) { NWC_CALL(net_term, opt(reserved)); }

NWCCODE NWGetUnicodeToLocalHandle(void **handle) {
  NWC_CALL(get_unicode_to_local_handle, out(handle));
}

NWCCODE NWUnicodeToLocal(void *ruleHandle, nuint8 *dest, nuint32 maxLen,
                         const unicode *src, nuint8 noMap, nuint32 *len) {
  NWC_CALL(unicode_to_local, ruleHandle, out(dest), maxLen, src, noMap, opt(out(len)));
}

} /* extern "C" */
