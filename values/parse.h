// Value text reader: turns a script's value text into the client library's
// native value record for a structured syntax.
//
// Invariants:
//  - The text is split in place: each line feed that ends a line the layout
//    takes becomes a zero byte, and the record's text fields point into the
//    text, which must therefore outlive the record.  Runs of line feeds count
//    as one separator (leading ones are skipped), a carriage return stays
//    part of its line, and lines after the last one the layout takes are left
//    as they were.  Splitting stops at the end of the text or its first zero
//    byte, whichever comes first; the text's length never changes.
//  - Every field is set: a missing text line gives the empty text, a missing
//    number line 0, listed bytes without a line 0.  A number line that does
//    not start with a number of its format makes the whole text undecodable.
//  - Records and their further blocks (list nodes, octet bytes, address
//    bytes) come from the C heap, are zero-filled before use, and are
//    released only by FreeParsedValue; a parse that fails midway has already
//    released what it took.
#ifndef VORLA_VALUES_PARSE_H
#define VORLA_VALUES_PARSE_H

#include <cstddef>
#include <cstdint>

namespace vorla {

// Parses len bytes of text (fewer if a zero byte comes first) by the layout of
// syntaxId.  Returns nullptr when the text cannot be decoded: SYN_UNKNOWN and
// every id without a layout, a malformed number or address line, a replica
// count the remaining lines cannot back, or an allocation failure.
//
// Shapes returned, by syntax:
//  - SYN_CI_LIST: the first of one node per line; a text without lines gives
//    one node holding the empty text (a list value always has a node).
//  - SYN_OCTET_LIST: one Octet_List_T with next null, length 0 and data null,
//    the library's way of passing an octet list without octet strings.
//  - SYN_FAX_NUMBER: parameters with bit count 0 and null bits.
//  - SYN_NET_ADDRESS: exactly addressLength bytes (null when 0), the first
//    min(addressLength, 10) from the text, the rest 0.
//  - SYN_REPLICA_POINTER: room for count inline addresses (at least one), each
//    with addressLength 10 and ten bytes of its own.
//  - SYN_PO_ADDRESS: an array of six text pointers.
void* ParseAttrValue(char* text, std::size_t len, uint32_t syntaxId);

// The same for a zero-terminated text.
void* ParseAttrValue(char* text, uint32_t syntaxId);

// Releases a record made by ParseAttrValue for the same syntaxId, with every
// block allocated for it.  Never touches the text the fields point into.
// A null value is ignored.
void FreeParsedValue(void* value, uint32_t syntaxId) noexcept;

}  // namespace vorla

#endif
