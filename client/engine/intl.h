/*
 * intl.h - the client's locale, Unicode tables and start-up state.
 *
 * The locale record comes from the process locale (LC_CTYPE's code set,
 * localeconv(), nl_langinfo()).  Code pages are the client's numbers
 * (65001 UTF-8, 437, 850, 819 ISO-8859-1, 1252, ...); a code page is
 * convertible when iconv has a converter for it.  The country id is the
 * DOS/telephone country code of the locale's territory (US 1, DE 49, ...);
 * "C", "POSIX" and a locale without a territory give 1.
 *
 * Unicode tables: NWInitUnicodeTables loads the converter of one code page;
 * until then, and after NWFreeUnicodeTables, conversion fails with
 * ERR_UNICODE_TABLES_NOT_LOADED.  The conversion handle is the address of
 * one token of the client's own; any other handle gives ERR_INVALID_HANDLE.
 * NWUnicodeToLocal writes the text and its zero byte, at most maxLen bytes in
 * all; *len is the text's length without the terminator.  A character that
 * has no mapping becomes the noMap byte, or '?' when noMap is 0.  A text that
 * does not fit gives ERR_BUFFER_FULL and dest holds "" (when maxLen > 0).
 */
#ifndef NWC_INTL_H
#define NWC_INTL_H

#include <string_view>

#include "nwclient.h"

namespace nwc {

/* The code page of a code-set name as nl_langinfo(CODESET) gives it
   ("UTF-8" 65001, "ISO-8859-1" 819, "ANSI_X3.4-1968" 437, ...); 0 unknown. */
nint32 code_page_from_codeset(std::string_view codeset);
/* The country id of a locale name ("de_DE.UTF-8" 49, "C" 1). */
nint32 country_from_locale_name(std::string_view name);
/* The iconv name of a code page, or null when the client has none. */
const char *iconv_name_of(nint32 code_page);

/* ---- engines (api_startup.cpp) ------------------------------------------ */
NWCCODE calls_init(void *in, void *out);
NWCCODE calls_term(void *reserved);
NWDSCCODE net_init(void *in, void *out);
NWDSCCODE net_term(void *reserved);
NWCCODE get_net_version(nuint8 *majorVersion, nuint8 *minorVersion, nuint8 *revisionLevel,
                        nuint8 *betaReleaseLevel);
LCONV *fill_lconv(LCONV *lconvPtr);
NWCCODE init_unicode_tables(nint32 countryCode, nint32 codePage);
NWCCODE free_unicode_tables();
NWCCODE get_unicode_to_local_handle(void **handle);
NWCCODE unicode_to_local(void *ruleHandle, nuint8 *dest, nuint32 maxLen, const unicode *src,
                         nuint8 noMap, nuint32 *len);

/* The version NWGetNWNetVersion reports: the NetWare client 4.91 SP5. */
inline constexpr nuint8 NET_VERSION[4] = {4, 91, 5, 0};

} // namespace nwc

#endif /* NWC_INTL_H */
