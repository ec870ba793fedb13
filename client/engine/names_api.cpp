/*
 * names_api.cpp - the engines of the public name utilities (names_api.h).
 *
 * They work on the context's settings and on names.h alone: no store, so no
 * directory lock.  Each output is built in full first and written to the
 * caller's area only when it fits MAX_DN_BYTES with its terminator.
 */
#include "names_api.h"

#include <array>
#include <cstring>
#include <string>
#include <string_view>

#include "context.h"
#include "names/names.h"

namespace nwc {

namespace {

/* Writes `s` with its terminator to `area` when it fits MAX_DN_BYTES;
   `too_long` otherwise, the area untouched. */
NWDSCCODE put_out(const std::string &s, char *area, NWDSCCODE too_long) {
  if (s.size() + 1 > MAX_DN_BYTES) return too_long;
  std::memcpy(area, s.c_str(), s.size() + 1);
  return 0;
}

/* The context's name context, parsed. */
NWDSCCODE name_context_of(const Context &c, Dn &out) {
  auto nc = parse_name_context(c.name_context);
  if (!nc) return nc.status();
  out = std::move(*nc);
  return 0;
}

bool is_white(char ch) { return ch == ' ' || ch == '\t' || ch == '_'; }

/* Case-ignore form: white space trimmed, inner runs as one blank, folded. */
std::string case_ignore_key(std::string_view s) {
  std::string out;
  bool pending_blank = false;
  for (char ch : s) {
    if (is_white(ch)) {
      pending_blank = !out.empty();
      continue;
    }
    if (pending_blank) out += ' ';
    pending_blank = false;
    out += ch;
  }
  return fold_case(out);
}

struct Abbrev {
  std::string_view shorter, longer;
};
constexpr std::array<Abbrev, 7> kAbbrevs{{{"CN", "Common Name"},
                                          {"C", "Country Name"},
                                          {"L", "Locality Name"},
                                          {"O", "Organization Name"},
                                          {"OU", "Organizational Unit Name"},
                                          {"S", "State or Province Name"},
                                          {"SA", "Street Address"}}};

std::string_view trim_blanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

} // namespace

NWDSCCODE canonicalize_name(NWDSContextHandle context, const nstr8 *objectName, pnstr8 canonName) {
  Context c;
  if (NWDSCCODE st = context_snapshot(context, c)) return st;
  auto dn = parse_name(objectName, c.name_context, c.flags | DCV_CANONICALIZE_NAMES);
  if (!dn) return dn.status();
  return put_out(format_dn(*dn, false), canonName, ERR_INVALID_OBJECT_NAME);
}

NWDSCCODE abbreviate_name_for_context(NWDSContextHandle context, const nstr8 *inName,
                                      pnstr8 abbreviatedName) {
  Context c;
  if (NWDSCCODE st = context_snapshot(context, c)) return st;
  Dn nc;
  if (NWDSCCODE st = name_context_of(c, nc)) return st;
  auto dn = parse_dn(inName);
  if (!dn) return dn.status();
  const std::string out = (c.flags & DCV_TYPELESS_NAMES)
                              ? abbreviate_name(*dn, nc, 0)
                              : format_name(*dn, nc, DCV_CANONICALIZE_NAMES);
  return put_out(out, abbreviatedName, ERR_INVALID_OBJECT_NAME);
}

NWDSCCODE remove_name_types(NWDSContextHandle context, const nstr8 *name, pnstr8 strippedName) {
  if (!context_is_live(context)) return ERR_BAD_CONTEXT;
  auto out = remove_all_types(name);
  if (!out) return out.status();
  return put_out(*out, strippedName, ERR_INVALID_OBJECT_NAME);
}

NWDSCCODE replace_attr_name_abbrev(NWDSContextHandle context, const nstr8 *inStr, pnstr8 outStr) {
  if (!context_is_live(context)) return ERR_BAD_CONTEXT;
  const std::string_view in(inStr);
  const std::string_view key = trim_blanks(in);
  for (const Abbrev &a : kAbbrevs)
    if (fold_case(key) == fold_case(a.shorter))
      return put_out(std::string(a.longer), outStr, ERR_ATTR_NAME_TOO_LONG);
  return put_out(std::string(in), outStr, ERR_ATTR_NAME_TOO_LONG);
}

NWDSCCODE ci_strings_match(NWDSContextHandle context, const nstr8 *string1, const nstr8 *string2,
                           nint32 *matches) {
  if (!context_is_live(context)) return ERR_BAD_CONTEXT;
  *matches = case_ignore_key(string1) == case_ignore_key(string2) ? 1 : 0;
  return 0;
}

NWDSCCODE who_am_i(NWDSContextHandle context, pnstr8 objectName) {
  Context c;
  if (NWDSCCODE st = context_snapshot(context, c)) return st;
  if (c.identity.empty()) return ERR_NOT_LOGGED_IN;
  auto dn = parse_dn(c.identity);
  if (!dn) return dn.status();
  Dn nc;
  if (c.flags & DCV_CANONICALIZE_NAMES)
    if (NWDSCCODE st = name_context_of(c, nc)) return st;
  return put_out(format_name(*dn, nc, c.flags), objectName, ERR_INVALID_OBJECT_NAME);
}

} // namespace nwc
