/*
 * filter.h - search filters: their tree, how they are made from a filter
 * buffer or from a filter written as text, and how they are tested on one
 * entry of the store.
 *
 * A filter is a tree of and, or and not over assertions on one attribute
 * each: equality with one value, a substring pattern (a string value with
 * `*` standing for any run of characters), >= and <= (syntaxes that support
 * ordering), and presence.  Values are kept as their equality keys
 * (schema.h equality_key), so an assertion is tested on the keys of an
 * entry's values alone, under the attribute's matching rule (case, blanks
 * and dashes as the syntax says; a pattern's pieces are keyed the same way).
 * Keys order as the syntax orders (integers as numbers, strings by their
 * folded text), which is what >= and <= compare.
 *
 * From a buffer (DSV_SEARCH_FILTER): attribute names each followed by zero
 * or more values; a name alone is presence, a name with values holds when
 * one of them does (an or), and every name must hold (an and).  A value of
 * a string syntax that holds `*` is a pattern.  A buffer whose one item is
 * an attribute name beginning with "(" carries a filter written as text in
 * the LDAP filter grammar with the directory's attribute names instead:
 *   filter  = "(" ( "&" filter+ | "|" filter+ | "!" filter | item ) ")"
 *   item    = attr ( "=" | "~=" | ">=" | "<=" ) value
 * where attr runs to the operator (blanks around it are dropped), "=*" is
 * presence, `*` in a value of "=" makes a pattern, "\" and two hexadecimal
 * digits is a byte taken literally (`\2a` a literal star, `\28` "("), and
 * blanks between filters are allowed.  "~=" is equality: this directory has
 * no other approximate match.  Values are read in the attribute's syntax:
 * strings as they are, integers in decimal (Boolean also TRUE or FALSE),
 * distinguished names resolved through the context.
 *
 * Status codes: ERR_INVALID_FILTER_SYNTAX for text that does not follow the
 * grammar (nothing is searched); ERR_NO_SUCH_ATTRIBUTE for an attribute
 * unknown to the schema; ERR_INVALID_COMPARISON for a value of another
 * syntax than its attribute's or one the text cannot give, equality on a
 * syntax without equality matching, ordering on one without order, or a
 * pattern on a syntax that is not a string.
 */
#ifndef NWC_FILTER_H
#define NWC_FILTER_H

#include <string>
#include <string_view>
#include <vector>

#include "entries.h"

namespace nwc {

struct FilterNode {
  enum Kind { And, Or, Not, Equal, Pattern, AtLeast, AtMost, Present };
  Kind kind = And;
  std::vector<FilterNode> children; /* And, Or (any number), Not (one) */
  /* Assertions: */
  int64_t attr_id = 0;
  std::string key;                   /* Equal, AtLeast, AtMost */
  std::vector<std::string> pieces;   /* Pattern: initial, any..., final (size >= 2) */

  bool is_assertion() const { return kind >= Equal; }
};

/* The range of the value index an assertion's matches lie in: keys from
   `lo` on, up to `hi` (inclusive or not) when bounded. */
struct KeyRange {
  std::string lo;
  bool bounded = false;
  std::string hi;
  bool hi_inclusive = false;
  bool single = false; /* lo == hi: one key, each entry at most once */
};
KeyRange key_range_of(const FilterNode &assertion);

/* Whether a value with equality key `key` satisfies the assertion. */
bool key_matches(const FilterNode &assertion, const std::string &key);

/* The filter a DSV_SEARCH_FILTER buffer carries (null: one that matches
   every entry, an And without children). */
NWDSCCODE filter_from_buffer(const Op &op, pBuf_T filter, FilterNode &out);
/* A filter written as text (filter_text.cpp). */
NWDSCCODE parse_filter_text(const Op &op, std::string_view text, FilterNode &out);
/* Assertions on `attr` (filter_eval.cpp): Equal, AtLeast or AtMost with the
   value `v`, taken as it is; a pattern of texts that stood between stars;
   presence. */
NWDSCCODE make_assertion(const AttrDef &attr, FilterNode::Kind kind, const Value &v, FilterNode &out);
NWDSCCODE make_pattern(const AttrDef &attr, const std::vector<std::string> &pieces, FilterNode &out);
FilterNode make_presence(const AttrDef &attr);
/* Whether values of the syntax are texts a pattern applies to. */
bool is_string_syntax(nuint32 syntax);

/* Whether the entry satisfies the filter. */
Expected<bool> filter_holds(Store &store, EntryId id, const FilterNode &f);

} // namespace nwc

#endif /* NWC_FILTER_H */
