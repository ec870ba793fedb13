/*
 * names_api.h - the engines of the public name utilities (names_api.cpp):
 * canonicalizing, abbreviating and untyping names, expanding attribute-name
 * abbreviations, comparing case-ignore strings and telling the name a
 * context is logged in as.
 *
 * All of them are name operations: none looks anything up in the directory,
 * so a name need not exist to be canonicalized or abbreviated.
 *
 * Every output area receives at most MAX_DN_BYTES bytes, terminator
 * included; a result that would be longer is refused (the area is then left
 * as it was):
 *  - a name: ERR_INVALID_OBJECT_NAME (the parser already refuses names that
 *    cannot be written in MAX_DN_BYTES, so this only guards);
 *  - the text of NWDSReplaceAttrNameAbbrev: ERR_ATTR_NAME_TOO_LONG.
 */
#ifndef NWC_NAMES_API_H
#define NWC_NAMES_API_H

#include "nwclient.h"

namespace nwc {

/* The full typed name of `objectName` as the context reads it: relative
   names are completed with the name context (trailing dots climb), typeless
   parts get the default types.  Always typed, whatever DCV_TYPELESS_NAMES
   says, and always full, whatever DCV_CANONICALIZE_NAMES says.  "[Root]"
   for the root. */
NWDSCCODE canonicalize_name(NWDSContextHandle context, const nstr8 *objectName, pnstr8 canonName);

/* `inName` is a distinguished name (leading dot optional; typeless parts
   get the default types).  The result is its shortest form relative to the
   context's name context (one trailing dot per level climbed).  With
   DCV_TYPELESS_NAMES set the types are removed where possible: the typeless
   form is given when reading it back under the default typing rules gives
   the same name, the typed form otherwise.  With the flag clear the result
   keeps its types. */
NWDSCCODE abbreviate_name_for_context(NWDSContextHandle context, const nstr8 *inName,
                                      pnstr8 abbreviatedName);

/* The same name with every "type=" removed; escapes, a leading dot and
   trailing dots kept.  Textual: not resolved against the name context, so
   the types are not guaranteed to come back the same. */
NWDSCCODE remove_name_types(NWDSContextHandle context, const nstr8 *name, pnstr8 strippedName);

/* `inStr` is an attribute name.  The abbreviations of the naming attributes
   (CN, C, L, O, OU, S, SA; any case, blanks around ignored) give their long
   forms (Common Name, Country Name, Locality Name, Organization Name,
   Organizational Unit Name, State or Province Name, Street Address); any
   other text is copied unchanged. */
NWDSCCODE replace_attr_name_abbrev(NWDSContextHandle context, const nstr8 *inStr, pnstr8 outStr);

/* *matches = 1 when the two texts are equal as case-ignore strings, else 0:
   case is ignored, leading and trailing white space (blank, tab or
   underscore) does not count and a run of white space inside counts as one
   blank. */
NWDSCCODE ci_strings_match(NWDSContextHandle context, const nstr8 *string1, const nstr8 *string2,
                           nint32 *matches);

/* The name the context is logged in as, formatted for the context like any
   output name (relative to the name context under DCV_CANONICALIZE_NAMES,
   typeless under DCV_TYPELESS_NAMES).  ERR_NOT_LOGGED_IN when the context
   has not logged in. */
NWDSCCODE who_am_i(NWDSContextHandle context, pnstr8 objectName);

} // namespace nwc

#endif /* NWC_NAMES_API_H */
