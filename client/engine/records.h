/*
 * records.h - native value records (the value types of nwclient.h) to and
 * from the schema's generic Value.
 *
 * Into a Value (what NWDSPutAttrVal is given), by syntax:
 *   integer syntaxes (7, 8, 22, 24, 27)   an nint32
 *   string syntaxes (1-5, 10, 20)         a zero-terminated text
 *   0  Unknown                            an Octet_String_T (its bytes are kept)
 *   6  Case Ignore List                   a CI_List_T chain; a single node with
 *                                         an empty (or null) text is the list
 *                                         without items
 *   9  Octet String                       Octet_String_T
 *   11 Fax Number                         Fax_Number_T; 0 bits with null data is
 *                                         "no parameters"
 *   12 Net Address                        Net_Address_T; length 0 with a null
 *                                         address is the empty address
 *   13 Octet List                         Octet_List_T chain; a single node of
 *                                         length 0 with null data is the list
 *                                         without octet strings
 *   14, 15, 16, 17, 19, 23, 25, 26        their records (replica pointer with
 *                                         `count` addresses inline)
 *   18 Postal Address                     six text pointers
 *   21 Stream                             nothing (the pointer may be null)
 * A null text pointer inside a record is the empty text.  A record whose
 * byte pointer is null while its length is not 0 is refused
 * (ERR_SYNTAX_VIOLATION): nothing would back the stated length.
 *
 * Out of a Value (what NWDSGetAttrVal gives): one contiguous block, the
 * record first, then any further nodes or inline records, then the texts
 * (each with its zero byte) and bytes; every pointer in it points inside the
 * block; records and nodes are aligned for their pointers.  record_size() is
 * the exact size of that block: 4 for integer syntaxes, the text and its zero
 * byte for string syntaxes, 0 for a stream.
 */
#ifndef NWC_RECORDS_H
#define NWC_RECORDS_H

#include <cstddef>

#include "nwclient.h"
#include "schema/schema.h"

namespace nwc {

/* True for the syntaxes whose native value is one nint32. */
bool is_integer_record(nuint32 syntax);
/* True for the syntaxes whose native value is one zero-terminated text. */
bool is_text_record(nuint32 syntax);

/* The Value of the native record `rec` of `syntax`: 0, ERR_NO_SUCH_SYNTAX
   (an id above 27), ERR_NULL_POINTER (no record where one is needed) or
   ERR_SYNTAX_VIOLATION (a record that cannot stand for a value). */
NWDSCCODE record_to_value(nuint32 syntax, const void *rec, Value &out);

/* The size of the block value_to_record() writes for `v`. */
size_t record_size(const Value &v);
/* Writes `v` as one block of record_size(v) bytes at `dst`. */
void value_to_record(const Value &v, void *dst);

} // namespace nwc

#endif /* NWC_RECORDS_H */
