// Value text writer: turns a native attribute value record, as the client
// library delivers it, into the line layout of its syntax.
//
// Invariants:
//  - Every line written ends with one line feed; text fields are copied as
//    they are (no escaping), a null text pointer is written as the empty text.
//  - The output is a growable string, so values of any size come back whole;
//    the only cap is the layout's own: at most 8192 octet-string bytes are
//    listed (the length line always states the full length).
//  - Nothing beyond what the record owns is read: net addresses shorter than
//    ten bytes (or without bytes) are padded with 00 in the ten-byte form.
//  - Ids outside the structured class (other than the stream syntax, whose
//    text is empty) append nothing.
#ifndef VORLA_VALUES_RENDER_H
#define VORLA_VALUES_RENDER_H

#include <cstddef>
#include <cstdint>
#include <string>

namespace vorla {

// Number of octet-string bytes the value text lists.
inline constexpr std::size_t kListedOctetLimit = 8192;

// Appends the value text of the record at value (of syntax syntaxId) to out.
// A null value appends nothing.
void RenderAttrValue(const void* value, uint32_t syntaxId, std::string& out);

}  // namespace vorla

#endif
