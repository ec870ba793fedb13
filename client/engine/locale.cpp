/*
 * locale.cpp - code pages, country ids and the locale record (NWLlocaleconv).
 *
 * Invariants: the record is filled completely (zeroed first, every text
 * field zero-terminated within its width, a text cut short never ends in a
 * partial UTF-8 sequence); the C library's locale queries, which share static
 * storage, are made under one mutex.
 *
 * The record's fields beyond code page and country id:
 *   formatFlags   frac_digits, p_cs_precedes, p_sign_posn, n_sign_posn
 *                 (CHAR_MAX where the locale leaves them unspecified)
 *   dataListSeparator  ";" where the decimal point is ",", else ","
 *   dateFormat    0 month-day-year, 1 day-month-year, 2 year-month-day
 *   timeFormat    0 for a 12-hour clock, 1 for a 24-hour clock
 *   date/time separators, am and pm from nl_langinfo().
 */
#include "intl.h"

#include <cctype>
#include <clocale>
#include <cstring>
#include <langinfo.h>
#include <mutex>
#include <string>

namespace nwc {

namespace {

struct CodePageName {
  nint32 id;
  const char *iconv;
};

const CodePageName kCodePages[] = {
    {65001, "UTF-8"},       {437, "CP437"},         {850, "CP850"},
    {852, "CP852"},         {855, "CP855"},         {857, "CP857"},
    {860, "CP860"},         {861, "CP861"},         {862, "CP862"},
    {863, "CP863"},         {865, "CP865"},         {866, "CP866"},
    {869, "CP869"},         {874, "CP874"},         {932, "CP932"},
    {936, "GBK"},           {949, "CP949"},         {950, "BIG5"},
    {1250, "CP1250"},       {1251, "CP1251"},       {1252, "CP1252"},
    {1253, "CP1253"},       {1254, "CP1254"},       {1255, "CP1255"},
    {1256, "CP1256"},       {1257, "CP1257"},       {1258, "CP1258"},
    {819, "ISO-8859-1"},    {28591, "ISO-8859-1"},  {28592, "ISO-8859-2"},
    {28593, "ISO-8859-3"},  {28594, "ISO-8859-4"},  {28595, "ISO-8859-5"},
    {28596, "ISO-8859-6"},  {28597, "ISO-8859-7"},  {28598, "ISO-8859-8"},
    {28599, "ISO-8859-9"},  {28603, "ISO-8859-13"}, {28605, "ISO-8859-15"},
    {20127, "ASCII"},       {20866, "KOI8-R"},      {21866, "KOI8-U"},
    {20932, "EUC-JP"},      {51949, "EUC-KR"},      {54936, "GB18030"},
};

/* Code-set names (upper case, without '-', '_', '.' and blanks) that are
   not simply the iconv name of their code page. */
struct Alias {
  const char *name;
  nint32 id;
};
const Alias kAliases[] = {
    {"ANSIX341968", 437}, {"ASCII", 437},      {"USASCII", 437},   {"IBM437", 437},
    {"IBM850", 850},      {"IBM852", 852},     {"IBM866", 866},    {"ISO88591", 819},
    {"LATIN1", 819},      {"GB2312", 936},     {"EUCCN", 936},     {"BIG5HKSCS", 950},
    {"SHIFTJIS", 932},    {"SJIS", 932},       {"WINDOWS1250", 1250},
    {"WINDOWS1251", 1251}, {"WINDOWS1252", 1252}, {"WINDOWS1253", 1253},
    {"WINDOWS1254", 1254}, {"WINDOWS1255", 1255}, {"WINDOWS1256", 1256},
    {"WINDOWS1257", 1257}, {"WINDOWS1258", 1258}, {"TIS620", 874},
};

std::string squeeze(std::string_view s) {
  std::string r;
  for (char c : s) {
    if (c == '-' || c == '_' || c == '.' || c == ' ') continue;
    r += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
  }
  return r;
}

struct Country {
  char territory[3];
  nint32 id;
};
const Country kCountries[] = {
    {"US", 1},   {"CA", 2},   {"RU", 7},   {"EG", 20},  {"ZA", 27},  {"GR", 30},
    {"NL", 31},  {"BE", 32},  {"FR", 33},  {"ES", 34},  {"HU", 36},  {"IT", 39},
    {"RO", 40},  {"CH", 41},  {"CZ", 42},  {"SK", 421}, {"AT", 43},  {"GB", 44},
    {"DK", 45},  {"SE", 46},  {"NO", 47},  {"PL", 48},  {"DE", 49},  {"PE", 51},
    {"MX", 52},  {"AR", 54},  {"BR", 55},  {"CL", 56},  {"CO", 57},  {"VE", 58},
    {"MY", 60},  {"AU", 61},  {"ID", 62},  {"PH", 63},  {"NZ", 64},  {"SG", 65},
    {"TH", 66},  {"JP", 81},  {"KR", 82},  {"VN", 84},  {"CN", 86},  {"TR", 90},
    {"IN", 91},  {"PK", 92},  {"IR", 98},  {"PT", 351}, {"LU", 352}, {"IE", 353},
    {"IS", 354}, {"FI", 358}, {"BG", 359}, {"LT", 370}, {"LV", 371}, {"EE", 372},
    {"UA", 380}, {"SI", 386}, {"HR", 385}, {"RS", 381}, {"HK", 852}, {"TW", 886},
    {"IL", 972}, {"SA", 966}, {"AE", 971},
};

std::mutex g_locale_lock;

/* Copies `s` into a field of `width` bytes, zero-terminated; a cut text does
   not keep a partial UTF-8 sequence. */
void put(char *field, size_t width, const char *s) {
  if (s == nullptr || width == 0) return;
  size_t n = std::strlen(s);
  if (n >= width) {
    n = width - 1;
    while (n > 0 && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80) --n;
  }
  std::memcpy(field, s, n);
  field[n] = '\0';
}

/* A one-byte separator a record can hold: ASCII punctuation or a blank. */
bool is_separator(char c) {
  return c == ' ' || (c > ' ' && c < 0x7F && c != '%' && !std::isalnum(static_cast<unsigned char>(c)));
}

/* Order and separator of a strftime date format ("%m/%d/%y" -> 0, '/'). */
void date_order(const char *fmt, nint32 &order, char &sep) {
  order = 0;
  sep = '/';
  if (fmt == nullptr) return;
  std::string f(fmt);
  if (f.find("%D") != std::string::npos) return;
  if (f.find("%F") != std::string::npos) {
    order = 2;
    sep = '-';
    return;
  }
  size_t d = f.find("%d"), m = f.find("%m"), y = f.find("%y");
  if (d == std::string::npos) d = f.find("%e");
  if (y == std::string::npos) y = f.find("%Y");
  if (d == std::string::npos || m == std::string::npos || y == std::string::npos) return;
  size_t first = d;
  if (y < d && y < m) order = 2, first = y;
  else if (d < m) order = 1, first = d;
  else order = 0, first = m;
  if (first + 2 < f.size() && is_separator(f[first + 2])) sep = f[first + 2];
}

void time_style(const char *fmt, nstr8 &twenty_four, char &sep) {
  twenty_four = 1;
  sep = ':';
  if (fmt == nullptr) return;
  std::string f(fmt);
  if (f.find("%r") != std::string::npos || f.find("%I") != std::string::npos ||
      f.find("%l") != std::string::npos || f.find("%p") != std::string::npos)
    twenty_four = 0;
  size_t h = f.find_first_of("HIl", 0);
  while (h != std::string::npos && (h == 0 || f[h - 1] != '%')) h = f.find_first_of("HIl", h + 1);
  if (h != std::string::npos && h + 1 < f.size() && is_separator(f[h + 1])) sep = f[h + 1];
}

} // namespace

nint32 code_page_from_codeset(std::string_view codeset) {
  std::string want = squeeze(codeset);
  if (want.empty()) return 0;
  for (const Alias &a : kAliases)
    if (want == a.name) return a.id;
  for (const CodePageName &c : kCodePages)
    if (want == squeeze(c.iconv)) return c.id;
  return 0;
}

nint32 country_from_locale_name(std::string_view name) {
  size_t us = name.find('_');
  if (us == std::string_view::npos) return 1;
  std::string_view t = name.substr(us + 1);
  t = t.substr(0, t.find_first_of(".@"));
  if (t.size() != 2) return 1;
  char up[3] = {static_cast<char>(t[0] & ~0x20), static_cast<char>(t[1] & ~0x20), 0};
  for (const Country &c : kCountries)
    if (std::strcmp(c.territory, up) == 0) return c.id;
  return 1;
}

const char *iconv_name_of(nint32 code_page) {
  for (const CodePageName &c : kCodePages)
    if (c.id == code_page) return c.iconv;
  return nullptr;
}

LCONV *fill_lconv(LCONV *l) {
  std::lock_guard<std::mutex> g(g_locale_lock);
  std::memset(l, 0, sizeof *l);
  const struct lconv *c = std::localeconv();
  put(l->decimalPoint, sizeof l->decimalPoint, c->decimal_point);
  put(l->thousandsSeparator, sizeof l->thousandsSeparator, c->thousands_sep);
  put(l->grouping, sizeof l->grouping, c->grouping);
  put(l->currencySymbol, sizeof l->currencySymbol, c->currency_symbol);
  put(l->intCurrencySymbol, sizeof l->intCurrencySymbol, c->int_curr_symbol);
  put(l->monDecimalPoint, sizeof l->monDecimalPoint, c->mon_decimal_point);
  put(l->monThousandsSeparator, sizeof l->monThousandsSeparator, c->mon_thousands_sep);
  put(l->monGrouping, sizeof l->monGrouping, c->mon_grouping);
  put(l->positiveSign, sizeof l->positiveSign, c->positive_sign);
  put(l->negativeSign, sizeof l->negativeSign, c->negative_sign);
  l->formatFlags[0] = c->frac_digits;
  l->formatFlags[1] = c->p_cs_precedes;
  l->formatFlags[2] = c->p_sign_posn;
  l->formatFlags[3] = c->n_sign_posn;

  nint32 cp = code_page_from_codeset(nl_langinfo(CODESET));
  l->code_page = cp != 0 ? cp : 437;
  const char *name = std::setlocale(LC_ALL, nullptr);
  if (name != nullptr && std::strchr(name, ';') != nullptr) name = std::setlocale(LC_CTYPE, nullptr);
  l->country_id = country_from_locale_name(name != nullptr ? name : "C");

  put(l->dataListSeparator, sizeof l->dataListSeparator,
      std::strcmp(l->decimalPoint, ",") == 0 ? ";" : ",");
  char sep;
  date_order(nl_langinfo(D_FMT), l->dateFormat, sep);
  l->dateSeparator[0] = sep;
  time_style(nl_langinfo(T_FMT), l->timeFormat, sep);
  l->timeSeparator[0] = sep;
  put(l->am, sizeof l->am, nl_langinfo(AM_STR));
  put(l->pm, sizeof l->pm, nl_langinfo(PM_STR));
  return l;
}

} // namespace nwc
