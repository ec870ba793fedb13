/*
 * unicode.cpp - the Unicode tables: loading a code page's converter and
 * converting UTF-16 texts to it (see intl.h for the rules).
 *
 * Invariants: `cd` is open exactly while `loaded`; the converter keeps state,
 * so every use is under the lock and starts from its initial state; the
 * destination is written only after the whole text has been converted, so a
 * text that does not fit leaves no partial output behind.
 *
 * Choices: an unknown country code is accepted (the client keeps no
 * per-country collation); a code page without a converter is refused with
 * ERR_UNICODE_TABLES_NOT_LOADED and leaves loaded tables as they were;
 * loading again replaces the tables; freeing tables that are not loaded
 * succeeds.
 */
#include "intl.h"

#include <bit>
#include <cerrno>
#include <cstring>
#include <iconv.h>
#include <mutex>
#include <string>

namespace nwc {

namespace {

struct Tables {
  std::mutex lock;
  bool loaded = false;
  nint32 code_page = 0;
  nint32 country = 0;
  iconv_t cd = reinterpret_cast<iconv_t>(-1);
};

Tables &tables() {
  static Tables *t = new Tables; /* never destroyed: usable until exit */
  return *t;
}

/* The one conversion handle the client hands out. */
char g_rule_token;

const char *utf16_name() {
  return std::endian::native == std::endian::little ? "UTF-16LE" : "UTF-16BE";
}

bool is_high(unicode u) { return u >= 0xD800 && u <= 0xDBFF; }
bool is_low(unicode u) { return u >= 0xDC00 && u <= 0xDFFF; }

} // namespace

NWCCODE init_unicode_tables(nint32 countryCode, nint32 codePage) {
  const char *name = iconv_name_of(codePage);
  if (name == nullptr) return ERR_UNICODE_TABLES_NOT_LOADED;
  iconv_t cd = iconv_open(name, utf16_name());
  if (cd == reinterpret_cast<iconv_t>(-1)) return ERR_UNICODE_TABLES_NOT_LOADED;
  Tables &t = tables();
  std::lock_guard<std::mutex> g(t.lock);
  if (t.loaded) iconv_close(t.cd);
  t.cd = cd;
  t.loaded = true;
  t.code_page = codePage;
  t.country = countryCode;
  return 0;
}

NWCCODE free_unicode_tables() {
  Tables &t = tables();
  std::lock_guard<std::mutex> g(t.lock);
  if (t.loaded) iconv_close(t.cd);
  t.cd = reinterpret_cast<iconv_t>(-1);
  t.loaded = false;
  return 0;
}

NWCCODE get_unicode_to_local_handle(void **handle) {
  Tables &t = tables();
  std::lock_guard<std::mutex> g(t.lock);
  if (!t.loaded) {
    *handle = nullptr;
    return ERR_UNICODE_TABLES_NOT_LOADED;
  }
  *handle = &g_rule_token;
  return 0;
}

NWCCODE unicode_to_local(void *ruleHandle, nuint8 *dest, nuint32 maxLen, const unicode *src,
                         nuint8 noMap, nuint32 *len) {
  Tables &t = tables();
  std::lock_guard<std::mutex> g(t.lock);
  if (len != nullptr) *len = 0;
  if (!t.loaded) return ERR_UNICODE_TABLES_NOT_LOADED;
  if (ruleHandle != &g_rule_token) return ERR_INVALID_HANDLE;

  size_t units = 0;
  while (src[units] != 0) ++units;
  const char substitute = noMap != 0 ? static_cast<char>(noMap) : '?';

  std::string outs;
  char *in = const_cast<char *>(reinterpret_cast<const char *>(src));
  size_t in_left = units * sizeof(unicode);
  char chunk[256];
  iconv(t.cd, nullptr, nullptr, nullptr, nullptr);
  bool flushing = false; /* all input taken; writing the final shift state */
  for (;;) {
    char *o = chunk;
    size_t o_left = sizeof chunk;
    size_t r = flushing ? iconv(t.cd, nullptr, nullptr, &o, &o_left)
                        : iconv(t.cd, &in, &in_left, &o, &o_left);
    outs.append(chunk, sizeof chunk - o_left);
    if (r != static_cast<size_t>(-1)) {
      if (flushing) break;
      flushing = true;
      continue;
    }
    if (errno == E2BIG) continue;
    if (flushing || (errno != EILSEQ && errno != EINVAL)) return ERR_UNICODE_TABLES_NOT_LOADED;
    /* An unmappable or malformed character: one unit, or a surrogate pair. */
    unicode u;
    std::memcpy(&u, in, sizeof u);
    size_t skip = sizeof(unicode);
    if (is_high(u) && in_left >= 2 * sizeof(unicode)) {
      unicode v;
      std::memcpy(&v, in + sizeof(unicode), sizeof v);
      if (is_low(v)) skip *= 2;
    }
    in += skip;
    in_left -= skip;
    outs += substitute;
  }

  if (outs.size() + 1 > maxLen) {
    if (maxLen > 0) dest[0] = 0;
    return ERR_BUFFER_FULL;
  }
  std::memcpy(dest, outs.data(), outs.size());
  dest[outs.size()] = 0;
  if (len != nullptr) *len = static_cast<nuint32>(outs.size());
  return 0;
}

} // namespace nwc
