// Directory names: parsing, resolving against a name context, formatting,
// abbreviating and comparing dotted distinguished names.  Pure functions,
// no directory access.
//
// Text form (UTF-8):
//   name      = "[Root]" | ["."] rdn *("." rdn) *"."
//   rdn       = ava *("+" ava)
//   ava       = [type "="] value
// A backslash takes the next character literally (`\.`, `\=`, `\+`, `\\`).
// Unescaped blanks around the separators are dropped and runs of blanks
// inside a value count as one.
//
// Resolution (parse_name with DCV_CANONICALIZE_NAMES):
//   - a leading dot makes the name absolute (below [Root]); the name
//     context is not used;
//   - otherwise the name is relative: the name context is appended, and each
//     trailing dot first removes one RDN from the name context's leaf end
//     ("Admin." with context OU=Sales.O=Example is CN=Admin.O=Example);
//   - RDNs without a type get the default types on the resolved name:
//     leftmost CN, rightmost O, the others OU.  A name of one RDN is O
//     (only containers sit directly below [Root]).  A name context on its
//     own is typed as a container (rightmost O, others OU).
// Without DCV_CANONICALIZE_NAMES names are taken as full names: the name
// context is ignored and trailing dots are an error.
//
// Output (format_name):
//   - DCV_CANONICALIZE_NAMES clear, or a name context of [Root]: the full
//     name ("CN=Admin.O=Example"), no leading dot;
//   - otherwise relative to the name context: below it, the RDNs under the
//     context ("CN=Bob" for CN=Bob.OU=Sales.O=Example under context
//     OU=Sales.O=Example); elsewhere, the RDNs below the nearest common
//     ancestor followed by one dot per context level climbed ("CN=Admin."
//     for CN=Admin.O=Example, "CN=X.O=Other.." for CN=X.O=Other, and
//     "OU=Sales." for the context itself) -- the same form parse_name reads;
//   - typeless (values only) when DCV_TYPELESS_NAMES is set;
//   - [Root] itself is always "[Root]".
//
// Invariants:
//   - A parsed Dn is absolute: rdns[0] is the leaf, rdns.back() sits
//     directly below [Root]; the empty Dn is [Root].
//   - After parse_dn/parse_name/parse_name_context every AVA has a type;
//     standard types (CN, OU, O, C, L, S, SA) are upper case.
//   - A resolved name formats (typed, full) to at most MAX_DN_CHARS
//     characters and MAX_DN_BYTES - 1 bytes; an RDN to at most
//     MAX_RDN_BYTES - 1 bytes.
//   - Matching is case-insensitive (simple Unicode folding); rdn_key and
//     dn_key give the normalised text two equal names share.
//
// Status codes: ERR_INVALID_OBJECT_NAME (-314) for malformed or too long
// names and for trailing dots that climb above [Root];
// ERR_INCONSISTENT_MULTIAVA (-317) for a multi-valued RDN with an untyped
// part; ERR_DUPLICATE_TYPE (-335) for a type repeated in one RDN;
// ERR_COUNTRY_NAME_TOO_LONG (-318) for a C= value longer than two
// characters; ERR_RDN_TOO_LONG (-334).
#ifndef NWC_NAMES_H
#define NWC_NAMES_H

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "names/expected.h"

namespace nwc {

struct Ava {
  std::string type;   // attribute name; empty only before typing
  std::string value;  // unescaped, blanks normalised
  bool inferred = false;  // type came from the default typing rules
};

struct Rdn {
  std::vector<Ava> avas;
};

struct Dn {
  std::vector<Rdn> rdns;  // leaf first
  bool is_root() const { return rdns.empty(); }
  size_t depth() const { return rdns.size(); }
  Dn parent() const;  // [Root] for [Root]
};

// ---- parsing --------------------------------------------------------------
// A full name (leading dot optional, no trailing dots), typed by the
// default rules.  "[Root]" (any case) is the root.
Expected<Dn> parse_dn(std::string_view text);

// A name context: "" or "[Root]" is the root; typed as a container.
Expected<Dn> parse_name_context(std::string_view text);

// A name as a caller gives it, resolved against the name context text when
// `flags` has DCV_CANONICALIZE_NAMES (see the header comment).
Expected<Dn> parse_name(std::string_view text, std::string_view name_context, uint32_t flags);

// Same, with an already parsed name context.
Expected<Dn> resolve_name(std::string_view text, const Dn& name_context, uint32_t flags);

// One RDN as written in an entry's name ("CN=Admin", "CN=a+UID=b"); an
// untyped AVA is an error (-314).
Expected<Rdn> parse_rdn(std::string_view text);

// ---- formatting -------------------------------------------------------------
std::string escape_value(std::string_view value);
std::string format_rdn(const Rdn& rdn, bool typeless = false);
std::string format_dn(const Dn& dn, bool typeless = false);  // full name
std::string format_name(const Dn& dn, const Dn& name_context, uint32_t flags);

// format_name(parse_dn(full), name_context, flags) worked out from the text
// alone, for a full name in the form the engines write (standard types in
// capitals, one AVA per RDN, values of ASCII letters, digits, '-', '_' and
// single inner blanks); `context_text` is format_dn(name_context).  Nothing
// for any other name, which must be parsed.
std::optional<std::string> format_plain_name(std::string_view full, std::string_view context_text,
                                             bool context_is_root, uint32_t flags);

// The shortest name that resolves back to dn under the name context: the
// relative form, without types when the default typing rules give the
// same types back (always without types under DCV_TYPELESS_NAMES).
std::string abbreviate_name(const Dn& dn, const Dn& name_context, uint32_t flags);

// Textual: the same name with every "type=" removed, dots and escapes kept.
Expected<std::string> remove_all_types(std::string_view text);

// ---- comparing --------------------------------------------------------------
// Simple case folding of UTF-8 text (ASCII, Latin-1, Latin Extended-A,
// Greek, Cyrillic); bytes that are not valid UTF-8 are kept as they are.
std::string fold_case(std::string_view text);
// The same into `out` (replacing what it held), so that a caller folding
// name after name can keep one buffer.
void fold_case_into(std::string& out, std::string_view text);
// Number of characters (code points) in UTF-8 text.
size_t count_chars(std::string_view text);
// Case-insensitive equality of two texts, blanks normalised as in names.
bool ci_equal(std::string_view a, std::string_view b);

std::string rdn_key(const Rdn& rdn);        // types and values
std::string rdn_value_key(const Rdn& rdn);  // values only (typeless lookup)
std::string dn_key(const Dn& dn);
bool same_rdn(const Rdn& a, const Rdn& b);
bool same_dn(const Dn& a, const Dn& b);
// True when dn lies strictly below ancestor.
bool is_below(const Dn& dn, const Dn& ancestor);

// Upper-cases the standard naming type abbreviations; others are kept.
std::string canonical_type(std::string_view type);

}  // namespace nwc

#endif
